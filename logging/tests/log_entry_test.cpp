// The entry points on this program's own module logger, which writes into the real log
// folder under the common application-data folder (folder "LogTestEntry", no other program
// uses it).
#include <gtest/gtest.h>

#include <shlobj.h>

#include <functional>
#include <string>

#include "Interface.h"
#include "LogTestFiles.h"

namespace {

const char kModule[] = "LogTest\0LogTestEntry";

std::wstring LogFolder(const wchar_t* name) {
  wchar_t appData[MAX_PATH];
  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE));
  return std::wstring(appData) + L"\\KVR\\Logs\\" + name;
}

std::wstring TodaysFile() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t name[32];
  wsprintfW(name, L"\\%04d%02d%02d.log", now.wYear, now.wMonth, now.wDay);
  return LogFolder(L"LogTestEntry") + name;
}

std::string UniqueMarker(const char* what) {
  return std::string(what) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount());
}

// First in this program: the module logger has not chosen a folder yet, so SetLogNames
// creates one (and the base folder), which is where the platform calls touch the last error.
TEST(LogEntryPoints, SetLogNamesCreatesItsFolderAndKeepsLastError) {
  ASSERT_EQ(ModuleLogger()->State(), CLogfile::kFolderStart) << "must run before any entry";
  const std::wstring named = LogFolder(L"LogTestEntryNamed");
  RemoveTree(named);
  SetLastError(0xBEEF);
  EXPECT_EQ(SetLogNames(L"LogTestEntryNamed"), 1);
  EXPECT_EQ(GetLastError(), 0xBEEFu);
  EXPECT_TRUE(FileExists(named));
  RemoveTree(named);
}

TEST(LogEntryPoints, LineReachesTheCommonLogFolder) {
  SetLogLevel(0x12, 1, 0);
  const std::string marker = UniqueMarker("entry");
  OutputLogEx(0x10, kModule, "CEntry::Run", "log_entry_test.cpp", 7, GetCurrentProcessId(),
              GetCurrentThreadId(), L"%s and %hs %d", L"wide", marker.c_str(), 5);
  const std::string text = ReadWholeFile(TodaysFile());
  EXPECT_EQ(text.compare(0, 27, "KVR Thermal Printer Log\r\n\r\n"), 0);
  char ids[32];
  snprintf(ids, sizeof(ids), "]\t[%08x(%08x)]\t", static_cast<unsigned>(GetCurrentProcessId()),
           static_cast<unsigned>(GetCurrentThreadId()));
  EXPECT_NE(text.find(std::string(ids) + "[I] \t[LogTest] \tCEntry::Run(7) \twide and " + marker +
                      " 5\r\n"),
            std::string::npos);
}

TEST(LogEntryPoints, LastErrorIsKept) {
  SetLogLevel(0x2012, 0, 0);  // E, I and SEND
  const BYTE bytes[3] = {1, 2, 3};
  const struct {
    const char* what;
    std::function<void()> call;
  } rows[] = {
      {"filtered", [] { OutputLogEx(0x400, kModule, "F", "f", 1, 1, 1, L"v"); }},
      {"ring", [] { OutputLogEx(0x100, kModule, "F", "f", 2, 1, 1, L"t"); }},
      {"line", [] { OutputLogEx(0x10, kModule, "F", "f", 3, 1, 1, L"i"); }},
      {"error line", [] { OutputLogEx(0x2, kModule, "F", "f", 4, 1, 1, L"e"); }},
      {"empty format", [] { OutputLogEx(0x10, kModule, "F", "f", 5, 1, 1, L""); }},
      {"null format", [] { OutputLogEx(0x10, kModule, "F", "f", 6, 1, 1, nullptr); }},
      {"dump category as text", [] { OutputLogEx(0x2000, kModule, "F", "f", 7, 1, 1, L"d"); }},
      {"hex dump", [&] { OutputDump(0x2000, bytes, 3, kModule, "F", 8, 1, 1, L"Send data."); }},
      {"dump without data", [] { OutputDump(0x2000, nullptr, 3, kModule, "F", 9, 1, 1, nullptr); }},
      {"dump not enabled", [&] { OutputDump(0x1000, bytes, 3, kModule, "F", 10, 1, 1, nullptr); }},
      {"assert", [] { LogAssert(0, "f.cpp", 11, "F", 5); }},
      {"SetLogNames", [] { (void)SetLogNames(L"LogTestEntry"); }},
      {"SetLogLevel", [] { SetLogLevel(0x2012, 0, 0); }},
      {"SetLogLevelEx", [] { SetLogLevelEx(0x2012, 0, 0); }},
  };
  for (const auto& row : rows) {
    SetLastError(0xBEEF);
    row.call();
    EXPECT_EQ(GetLastError(), 0xBEEFu) << row.what;
  }
}

TEST(LogEntryPoints, EmptyFormatWritesNothing) {
  SetLogLevel(0x10, 0, 0);
  OutputLogEx(0x10, kModule, "F", "f", 1, 1, 1, L"%s", L"makes the file");
  const std::string before = ReadWholeFile(TodaysFile());
  OutputLogEx(0x10, kModule, "F", "f", 2, 1, 1, L"");
  OutputLogEx(0x10, kModule, "F", "f", 3, 1, 1, nullptr);
  EXPECT_EQ(ReadWholeFile(TodaysFile()), before);
}

// A caller may skip building exactly the lines that OutputLogEx would not write.
TEST(LogEntryPoints, LineWantedOnlyWhereALineIsWritten) {
  const struct {
    DWORD level, category;
    bool wanted;
  } rows[] = {
      {0x12, 0x10, true},       // information on
      {0x12, 0x2, true},        // errors on
      {0x2, 0x10, false},       // errors only: information goes to the ring
      {0x0, 0x2, false},        // nothing on
      {0x3196, 0x100, true},    // trace on
      {0x2012, 0x2000, false},  // a dump category is no line
  };
  for (const auto& row : rows) {
    SetLogLevel(row.level, 0, 0);
    SetLastError(0xBEEF);
    EXPECT_EQ(LogLineWanted(row.category), row.wanted) << row.level << "/" << row.category;
    EXPECT_EQ(GetLastError(), 0xBEEFu);
  }
}

TEST(LogEntryPoints, SetLogNamesRefusesWhatIsNoFolderName) {
  const std::wstring tooLong(260, L'n');
  const wchar_t* rows[] = {nullptr, L"", L"..", L".", L"a\\b", L"..\\..\\Windows", L"a/b",
                           L"c:x", L"a*b", tooLong.c_str()};
  for (const wchar_t* name : rows) {
    SetLastError(0);
    EXPECT_EQ(SetLogNames(name), 0) << (name ? std::wstring(name).size() : 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
}

TEST(LogEntryPoints, SetLogLevelClampsAndZeroKeeps) {
  CInterface* logger = ModuleLogger();
  ASSERT_NE(logger, nullptr);
  SetLogLevel(0x7FFFFFFF, 365, 0x20000);
  EXPECT_EQ(logger->Level(), 0xFFFFF);
  EXPECT_EQ(logger->LifeDays(), 90u);
  EXPECT_EQ(logger->MaxDumpBytes(), 0xFFFFu);
  SetLogLevelEx(0x2, 0, 0);
  EXPECT_EQ(logger->Level(), 0x2);
  EXPECT_EQ(logger->LifeDays(), 90u);
  EXPECT_EQ(logger->MaxDumpBytes(), 0xFFFFu);
  SetLogLevelEx(0x16, 10, 256);
  EXPECT_EQ(logger->Level(), 0x16);
  EXPECT_EQ(logger->LifeDays(), 10u);
  EXPECT_EQ(logger->MaxDumpBytes(), 256u);
}

}  // namespace
