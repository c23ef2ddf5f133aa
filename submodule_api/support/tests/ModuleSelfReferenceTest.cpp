// The module's reference to itself: taken by the first instance, handed back by the last.
#include "ModuleSelfReference.h"

#include <gtest/gtest.h>

namespace {

TEST(ModuleSelfReferenceTest, FirstOpenedTakesItAndLastClosedHandsItBack) {
  subsupport::CModuleSelfReference self;
  self.Opened();
  self.Opened();
  EXPECT_EQ(self.Closed(), nullptr) << "one instance is still open";
  // Linked into this program: the reference is to the program's own module.
  const HMODULE last = self.Closed();
  EXPECT_EQ(last, GetModuleHandleA(nullptr));
  ASSERT_NE(last, nullptr);
  EXPECT_TRUE(FreeLibrary(last));
  // Open again after all were closed: a fresh reference.
  self.Opened();
  const HMODULE again = self.Closed();
  EXPECT_EQ(again, GetModuleHandleA(nullptr));
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(FreeLibrary(again));
}

}  // namespace
