// The core's log context on the real trace log library: a line the level filters out is not
// built, yet the library still gets the call, so the trace ring keeps where it came from.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "LogContext.h"
#include "LogTestFiles.h"

namespace {

std::wstring TodaysCoreLog() {
  wchar_t appData[MAX_PATH];
  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE));
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t name[32];
  wsprintfW(name, L"\\%04d%02d%02d.log", now.wYear, now.wMonth, now.wDay);
  return std::wstring(appData) + L"\\KVR\\Logs\\OposPrinter" + name;
}

TEST(CoreLogContext, AFilteredLineLeavesItsPlaceInTheRingAndNoText) {
  CLogContext log;
  log.Configure("LogContextDevice", 256, 1, /*level=*/0, "");  // errors only
  const std::string marker = "filtered-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount());
  log.Write(LOG_INFO, "CLogContextTest::Plain", "LogContextTest.cpp", 41, TAG_INFO, marker,
            marker);
  log.WriteF(LOG_TRACE, "CLogContextTest::Formatted", "LogContextTest.cpp", 42, TAG_INFO, "%s",
             marker.c_str());
  log.Write(LOG_ERROR, "CLogContextTest::Error", "LogContextTest.cpp", 43, TAG_INFO,
            "the error after " + marker.substr(9));
  const std::string text = ReadWholeFile(TodaysCoreLog());
  const size_t error = text.find("[LogContextDevice] [Info    ] the error after " + marker.substr(9));
  ASSERT_NE(error, std::string::npos) << "the error line is written";
  // The ring goes out before the error line: both filtered calls, by function and line.
  const size_t plain = text.rfind("CLogContextTest::Plain(41)", error);
  const size_t formatted = text.rfind("CLogContextTest::Formatted(42)", error);
  EXPECT_NE(plain, std::string::npos);
  EXPECT_NE(formatted, std::string::npos);
  EXPECT_LT(plain, formatted);
  EXPECT_EQ(text.find(marker), std::string::npos) << "no filtered text reaches the file";
}

TEST(CoreLogContext, AWrittenLineCarriesTextAndDetail) {
  CLogContext log;
  log.Configure("LogContextDevice", 256, 1, /*level=*/2, "");  // information and errors
  const std::string marker = "written-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount());
  log.Write(LOG_INFO, "CLogContextTest::Written", "LogContextTest.cpp", 51, TAG_PARAM, "Data",
            marker + " 100%");
  log.WriteF(LOG_INFO, "CLogContextTest::WrittenF", "LogContextTest.cpp", 52, TAG_ENTER,
             "%s method execution", marker.c_str());
  const std::string text = ReadWholeFile(TodaysCoreLog());
  EXPECT_NE(text.find("CLogContextTest::Written(51) \t[LogContextDevice] [Param   ] Data " +
                      marker + " 100%\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("CLogContextTest::WrittenF(52) \t[LogContextDevice] [Enter   ] " + marker +
                      " method execution \r\n"),
            std::string::npos);
}

}  // namespace
