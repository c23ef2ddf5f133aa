#include <gtest/gtest.h>
#include <thread>
#include "Log.h"
TEST(Smoke, Runs) { std::thread t([]{}); t.join(); SetLastError(5); OutputLogEx(2,"A\0B","f","f",1,1,1,L"x"); EXPECT_EQ(GetLastError(), 5u); }
