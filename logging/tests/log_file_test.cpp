// The logger against real files: each test has its own base folder under the temporary
// folder, a fixed clock (2024-03-07 09:05:02.007) and a settings key of its own.
#include <gtest/gtest.h>

#include <cstdarg>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <aclapi.h>

#include "Interface.h"
#include "LogTestFiles.h"
#include "ScopedHandle.h"

namespace {

const SYSTEMTIME kMarch7 = {2024, 3, 4, 7, 9, 5, 2, 7};
SYSTEMTIME g_now;
DWORD g_tick;
DWORD g_tickStep;

void WINAPI FakeLocalTime(LPSYSTEMTIME time) { *time = g_now; }
DWORD WINAPI FakeTickCount() {
  const DWORD tick = g_tick;
  g_tick += g_tickStep;
  return tick;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

const std::string kTitles = std::string(
    "\r\n\r\n\r\n[MM/dd HH:mm(ss.ms )]\t[Process info      ] \t[Lv]\t[Module ] \tMessage\r\n") +
    std::string(133, '-') + "\r\n";

// A text line as this fixture's calls produce it (function "CTest::Run", ids 0x1A4/0x9C).
std::string Expected(char letter, const char* tag, const std::string& message, int line = 12) {
  return std::string("[03/07 09:05(02.007)]\t[000001a4(0000009c)]\t[") + letter + "] \t[" + tag +
         "] \tCTest::Run(" + std::to_string(line) + ") \t" + message + "\r\n";
}

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_now = kMarch7;
    g_tick = 100000;
    g_tickStep = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_base = std::wstring(temp) + L"kvrlog_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             Widen(::testing::UnitTest::GetInstance()->current_test_info()->name());
    RemoveTree(m_base);
    m_options.baseFolder = m_base;
    m_options.settingsKey = L"SOFTWARE\\KVR\\LogTestMissing";
    m_options.settingsKeyWow = L"SOFTWARE\\Wow6432Node\\KVR\\LogTestMissing";
    m_options.localTime = FakeLocalTime;
    m_options.tickCount = FakeTickCount;
  }
  void TearDown() override { RemoveTree(m_base); }

  std::unique_ptr<CInterface> Logger(DWORD level) {
    auto logger = std::make_unique<CInterface>(m_options);
    if (level) logger->SetLogLevel(level, 0, 0);
    return logger;
  }
  static void Line(CInterface& logger, DWORD category, const char* module, int line,
                   const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    logger.OutputLogEx(category, module, "CTest::Run", line, 0x1A4, 0x9C, format, args);
    va_end(args);
  }
  std::wstring Folder(const wchar_t* name) const { return m_base + L"\\" + name; }
  std::wstring Daily(const wchar_t* folder) const { return Folder(folder) + L"\\20240307.log"; }
  static std::string Header() { return NewFileHeader(CSystemInfo::Query()); }

  std::wstring m_base;
  CLogOptions m_options;
};

TEST_F(LogFileTest, NewDailyFileHasHeaderThenLines) {
  auto log = Logger(0x12);
  Line(*log, 0x10, "LogTest\0LogA", 12, L"first %s", L"entry");
  const std::string header = Header();
  EXPECT_EQ(ReadWholeFile(Daily(L"LogA")), header + Expected('I', "LogTest", "first entry"));
  // The header's pieces on this machine (a 32-bit Wine prefix: native I386, no WOW64).
  EXPECT_EQ(header.substr(0, 27), "KVR Thermal Printer Log\r\n\r\n");
  EXPECT_NE(header.find("I386 Architecture 32bit process\r\n"
                        "_______________System Infomation____________________\r\n"),
            std::string::npos);
  EXPECT_EQ(header.substr(header.size() - 210), kTitles);

  Line(*log, 0x2, "LogTest\0LogA", 13, L"second");
  EXPECT_EQ(ReadWholeFile(Daily(L"LogA")), header + Expected('I', "LogTest", "first entry") +
                                              Expected('E', "LogTest", "second", 13));
}

TEST_F(LogFileTest, ErrorLineFollowsTheRing) {
  auto log = Logger(0x2);
  for (int line = 1; line <= 3; ++line) Line(*log, 0x10, "LogTest\0LogRing", line, L"kept?");
  EXPECT_FALSE(FileExists(Daily(L"LogRing"))) << "ring entries write nothing";
  Line(*log, 0x2, "LogTest\0LogRing", 50, L"failed");
  Line(*log, 0x2, "LogTest\0LogRing", 51, L"again");
  std::string ring;
  for (int line = 1; line <= 3; ++line) {
    ring += "$$$ [09:05(02.007)] [000001a4(0000009c)] CTest::Run(" + std::to_string(line) + ")\r\n";
  }
  EXPECT_EQ(ReadWholeFile(Daily(L"LogRing")), Header() + ring +
                                                 Expected('E', "LogTest", "failed", 50) + ring +
                                                 Expected('E', "LogTest", "again", 51));
}

TEST_F(LogFileTest, NothingWithoutKeyUntilSetLogLevel) {
  auto log = Logger(0);
  Line(*log, 0x2, "LogTest\0LogNoKey", 1, L"dropped");
  EXPECT_FALSE(FileExists(Daily(L"LogNoKey")));
  log->SetLogLevel(0x2, 1, 256);
  Line(*log, 0x2, "LogTest\0LogNoKey", 2, L"written");
  EXPECT_EQ(ReadWholeFile(Daily(L"LogNoKey")), Header() + Expected('E', "LogTest", "written", 2));
}

TEST_F(LogFileTest, HexDumpGoesIntoTheDailyFile) {
  auto log = Logger(0x3196);
  const BYTE bytes[20] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  log->OutputDump(0x2000, bytes, 20, "LogTest\0LogDump", "CTest::Send", 7, 0x1A4, 0x9C,
                  L"Send data.");
  Line(*log, 0x2000, "LogTest\0LogDump", 8, L"dump category as text: nothing");
  EXPECT_EQ(ReadWholeFile(Daily(L"LogDump")),
            Header() +
                "[03/07 09:05(02.007)]\t[000001a4(0000009c)]\t[SEND] \t[LogTest] \t"
                "CTest::Send(7) [20byte] Send data.\r\n"
                "Addr : +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F\r\n"
                "0000 : 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\r\n"
                "0010 : 10 11 12 13\r\n"
                "\r\n");

}

TEST_F(LogFileTest, RawDumpGoesIntoItsOwnFile) {
  // The raw dump bit lies above the 20 bits an override keeps: only the registry enables it.
  const std::wstring key = L"SOFTWARE\\KVR\\LogTestRaw_" + std::to_wstring(GetCurrentProcessId());
  {
    ScopedRegKey created;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, created.receive(), nullptr),
              ERROR_SUCCESS);
    const DWORD level = 0x200002;
    ASSERT_EQ(RegSetValueExW(created.get(), L"LogLevelPos", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&level), sizeof(level)),
              ERROR_SUCCESS);
  }
  m_options.settingsKey = key;
  auto log = Logger(0);
  const BYTE bytes[20] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  Line(*log, 0x2, "LogTest\0LogRaw", 1, L"before");
  const std::string daily = ReadWholeFile(Daily(L"LogRaw"));
  log->OutputDump(0x200000, bytes, 20, "LogTest\0LogRaw", "CTest::Send", 9, 1, 2, nullptr);
  const std::wstring raw = Folder(L"LogRaw") + L"\\20240307_02007.bin";
  EXPECT_EQ(ReadWholeFile(raw), std::string(bytes, bytes + 20));
  // Same second and millisecond: the newer dump replaces the file, never a mix of both.
  log->OutputDump(0x200000, bytes + 10, 4, "LogTest\0LogRaw", "CTest::Send", 9, 1, 2, nullptr);
  EXPECT_EQ(ReadWholeFile(raw), std::string(bytes + 10, bytes + 14));
  EXPECT_EQ(ReadWholeFile(Daily(L"LogRaw")), daily) << "raw dumps stay out of the daily file";
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

TEST_F(LogFileTest, RotationPastTheSizeLimit) {
  auto log = Logger(0x10);
  ASSERT_TRUE(CreateDirectoryW(m_base.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Folder(L"LogRot").c_str(), nullptr));
  const std::string line = Expected('I', "LogTest", "grows");
  auto prepare = [&](LONGLONG size) {
    ScopedFile file(CreateFileW(Daily(L"LogRot").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), "KVR ", 4, &written, nullptr));
    LARGE_INTEGER end;
    end.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file.get()));
  };
  // Exactly at the limit afterwards: stays.
  prepare(32000000 - static_cast<LONGLONG>(line.size()));
  Line(*log, 0x10, "LogTest\0LogRot", 12, L"grows");
  EXPECT_TRUE(FileExists(Daily(L"LogRot")));
  EXPECT_EQ(ListFiles(Folder(L"LogRot"), L"*.log").size(), 1u);

  // One byte past it: moved aside under the entry's own time stamp.
  prepare(32000000);
  Line(*log, 0x10, "LogTest\0LogRot", 12, L"grows");
  EXPECT_FALSE(FileExists(Daily(L"LogRot")));
  const std::wstring rotated = Folder(L"LogRot") + L"\\20240307_090502(007).log";
  const std::string moved = ReadWholeFile(rotated);
  EXPECT_EQ(moved.size(), 32000000 + line.size());
  EXPECT_EQ(moved.substr(moved.size() - line.size()), line);

  g_now.wMilliseconds = 8;
  Line(*log, 0x10, "LogTest\0LogRot", 12, L"fresh");
  EXPECT_EQ(ReadWholeFile(Daily(L"LogRot")),
            Header() + "[03/07 09:05(02.008)]\t[000001a4(0000009c)]\t[I] \t[LogTest] \t"
                       "CTest::Run(12) \tfresh\r\n");
}

TEST_F(LogFileTest, CleanupByAgeOncePerDayAndOnRetentionChange) {
  auto log = Logger(0);
  log->SetLogLevel(0x10, 10, 0);
  ASSERT_TRUE(CreateDirectoryW(m_base.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(Folder(L"LogAge").c_str(), nullptr));
  FILETIME reference;
  ASSERT_TRUE(SystemTimeToFileTime(&kMarch7, &reference));
  auto prepare = [&](const wchar_t* name, const char* content, int daysOld) {
    const std::wstring path = Folder(L"LogAge") + L"\\" + name;
    ASSERT_TRUE(WriteWholeFile(path, content));
    ULARGE_INTEGER t;
    t.LowPart = reference.dwLowDateTime;
    t.HighPart = reference.dwHighDateTime;
    t.QuadPart -= daysOld * 864000000000ULL;
    FILETIME written = {t.LowPart, t.HighPart};
    ScopedFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                0, nullptr));
    ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &written));
  };
  prepare(L"20240224.log", "KVR Thermal Printer Log\r\n", 12);
  prepare(L"20240224_101010(010).log", "KVR Thermal Printer Log\r\n", 12);
  prepare(L"20240223.log", "not one of ours", 12);
  prepare(L"20240226.log", "KVR Thermal Printer Log\r\n", 10);
  prepare(L"old.log", "KVR Thermal Printer Log\r\n", 30);

  Line(*log, 0x10, "LogTest\0LogAge", 12, L"day one");
  auto exists = [&](const wchar_t* name) { return FileExists(Folder(L"LogAge") + L"\\" + name); };
  EXPECT_FALSE(exists(L"20240224.log"));
  EXPECT_FALSE(exists(L"20240224_101010(010).log"));
  EXPECT_TRUE(exists(L"20240223.log")) << "does not start with \"KVR \"";
  EXPECT_TRUE(exists(L"20240226.log")) << "10 days old with retention 10";
  EXPECT_TRUE(exists(L"old.log")) << "not a 20*.log name";

  // Once per day: a further entry the same day does not look again.
  prepare(L"20240101.log", "KVR Thermal Printer Log\r\n", 66);
  Line(*log, 0x10, "LogTest\0LogAge", 12, L"same day");
  EXPECT_TRUE(exists(L"20240101.log"));

  // A new retention runs the clean-up again the same day.
  log->SetLogLevel(0x10, 1, 0);
  Line(*log, 0x10, "LogTest\0LogAge", 12, L"retention 1");
  EXPECT_FALSE(exists(L"20240101.log"));
  EXPECT_FALSE(exists(L"20240226.log"));
  EXPECT_TRUE(exists(L"20240307.log"));
}

TEST_F(LogFileTest, PendingLinesAndFailedMarker) {
  auto log = Logger(0x10);
  Line(*log, 0x10, "LogTest\0LogPend", 12, L"opened");
  std::string expected = Header() + Expected('I', "LogTest", "opened");
  const std::string text(250, 'p');  // each pending line takes 327 + 1 ('*') bytes of 1024
  {
    // Another program holds the file without sharing: lines wait in memory.
    ScopedFile holder(CreateFileW(Daily(L"LogPend").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.valid());
    for (int line = 1; line <= 4; ++line) Line(*log, 0x10, "LogTest\0LogPend", line, L"%hs", text.c_str());
    EXPECT_EQ(log->Writer().PendingLength(), 3 * (Expected('I', "LogTest", text, 1).size() + 1))
        << "the 4th did not fit";
  }
  Line(*log, 0x10, "LogTest\0LogPend", 5, L"reopened");
  for (int line = 1; line <= 3; ++line) expected += "*" + Expected('I', "LogTest", text, line);
  expected += "<=== Log output here failed\r\n" + Expected('I', "LogTest", "reopened", 5);
  EXPECT_EQ(ReadWholeFile(Daily(L"LogPend")), expected);
  EXPECT_EQ(log->Writer().PendingLength(), 0u);
}

TEST_F(LogFileTest, SlowOpenMarker) {
  auto log = Logger(0x10);
  g_tickStep = 10000;  // open took exactly 10000 ms: no marker
  Line(*log, 0x10, "LogTest\0LogSlow", 12, L"in time");
  g_tickStep = 10001;
  Line(*log, 0x10, "LogTest\0LogSlow", 13, L"late");
  EXPECT_EQ(ReadWholeFile(Daily(L"LogSlow")), Header() + Expected('I', "LogTest", "in time") +
                                                 "File access time is abnormal\r\n" +
                                                 Expected('I', "LogTest", "late", 13));
}

TEST_F(LogFileTest, FolderFromNamesUntilTheFirstValidLiteral) {
  auto log = Logger(0x10);
  EXPECT_EQ(log->SetLogNames(L"LogNamed", nullptr), 1);
  EXPECT_TRUE(FileExists(Folder(L"LogNamed"))) << "created at once";
  Line(*log, 0x10, nullptr, 1, L"no literal");
  Line(*log, 0x10, "LogTest\0" "0123456789abcdefg", 2, L"17 characters");
  Line(*log, 0x10, "LogTest\0LogLiteral", 3, L"literal");
  EXPECT_EQ(log->SetLogNames(L"LogIgnored", nullptr), 1);
  Line(*log, 0x10, nullptr, 4, L"after");
  EXPECT_FALSE(FileExists(Folder(L"LogIgnored")));
  EXPECT_EQ(ReadWholeFile(Daily(L"LogNamed")),
            Header() + Expected('I', "UNDEF  ", "no literal", 1) +
                Expected('I', "LogTest", "17 characters", 2));
  EXPECT_EQ(ReadWholeFile(Daily(L"LogLiteral")),
            Header() + Expected('I', "LogTest", "literal", 3) + Expected('I', "LogTest", "after", 4));

  // No name and no valid literal: "Undefined".
  auto other = Logger(0x10);
  Line(*other, 0x10, "LogTest\0" "0123456789abcdefg", 5, L"nowhere else");
  EXPECT_EQ(ReadWholeFile(Daily(L"Undefined")), Header() + Expected('I', "LogTest", "nowhere else", 5));
}

TEST_F(LogFileTest, NewModuleFolderIsOpenToAllUsers) {
  auto log = Logger(0x10);
  Line(*log, 0x10, "LogTest\0LogAcl", 1, L"x");
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(Folder(L"LogAcl").c_str(), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                                  &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID users = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS,
                                       0, 0, 0, 0, 0, 0, &users));
  bool granted = false;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if (!EqualSid(&ace->SidStart, users)) continue;
    granted = (ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)) ==
              (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  }
  FreeSid(users);
  LocalFree(descriptor);
  // Wine 8 accepts SetSecurityInfo on a folder but reports its own default DACL afterwards;
  // this row fails once Wine keeps the entry, and then expects it like Windows.
  const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version") != nullptr;
  EXPECT_EQ(granted, !wine);
}

TEST_F(LogFileTest, SetLogNamesFailureStartsOver) {
  auto log = Logger(0x10);
  ASSERT_TRUE(CreateDirectoryW(m_base.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(Folder(L"LogBlocked"), "a file, not a folder"));
  EXPECT_EQ(log->SetLogNames(L"LogBlocked", nullptr), 0);
  EXPECT_EQ(log->FolderName(), L"");
  EXPECT_EQ(log->State(), CLogfile::kFolderStart);
  Line(*log, 0x10, nullptr, 1, L"unnamed");
  EXPECT_EQ(ReadWholeFile(Daily(L"Undefined")), Header() + Expected('I', "UNDEF  ", "unnamed", 1));
}

TEST_F(LogFileTest, FolderThatCouldNotBeCreatedIsTriedAgain) {
  auto log = Logger(0x10);
  ASSERT_TRUE(CreateDirectoryW(m_base.c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(Folder(L"LogRetry"), "in the way"));
  Line(*log, 0x10, "LogTest\0LogRetry", 1, L"lost");
  ASSERT_TRUE(DeleteFileW(Folder(L"LogRetry").c_str()));
  Line(*log, 0x10, "LogTest\0LogRetry", 2, L"kept");
  EXPECT_EQ(ReadWholeFile(Daily(L"LogRetry")), Header() + Expected('I', "LogTest", "kept", 2));
}

TEST_F(LogFileTest, LinesStayWholeWhenTheLockWaitRunsOut) {
  m_options.lockWaitMs = 0;  // every contended entry goes ahead without the in-process turn
  auto log = Logger(0x10);
  const int kThreads = 8;
  const int kLines = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kLines; ++i) {
        const std::string padding((t * 37 + i * 11) % 300, static_cast<char>('a' + t));
        Line(*log, 0x10, "LogTest\0LogRace", 12, L"thread %d line %d %hs", t, i, padding.c_str());
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const std::string header = Header();
  const std::string text = ReadWholeFile(Daily(L"LogRace"));
  ASSERT_EQ(text.compare(0, header.size(), header), 0);
  std::set<std::string> seen;
  for (const std::string& line : SplitLines(text.substr(header.size()))) {
    const size_t space = line.find(" line ");
    ASSERT_NE(space, std::string::npos) << line;
    const std::string message = line.substr(line.find("\tthread ") + 1);
    ASSERT_EQ(line + "\r\n", Expected('I', "LogTest", message)) << "garbled: " << line;
    int t = -1, i = -1;
    ASSERT_EQ(sscanf(message.c_str(), "thread %d line %d", &t, &i), 2) << line;
    const std::string padding((t * 37 + i * 11) % 300, static_cast<char>('a' + t));
    EXPECT_EQ(message, "thread " + std::to_string(t) + " line " + std::to_string(i) + " " + padding);
    EXPECT_TRUE(seen.insert(message).second) << "twice: " << line;
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

class LogRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_tick = 100000;
    g_tickStep = 0;
    m_key = L"SOFTWARE\\KVR\\LogTest_" + std::to_wstring(GetCurrentProcessId());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str());
    m_options.settingsKey = m_key;
    m_options.settingsKeyWow = m_key + L"_Wow";
    m_options.tickCount = FakeTickCount;
  }
  void TearDown() override { RegDeleteKeyW(HKEY_LOCAL_MACHINE, m_key.c_str()); }
  void Set(const wchar_t* name, DWORD value) {
    ScopedRegKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, key.receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value),
                             sizeof(value)),
              ERROR_SUCCESS);
  }
  int LoadAt(DWORD tick) {
    g_tick = tick;
    return m_settings->Load();
  }

  std::wstring m_key;
  CLogOptions m_options;
  std::unique_ptr<CLogSettings> m_settings;
};

TEST_F(LogRegistryTest, ReadAndRefreshedEvery15Seconds) {
  m_settings = std::make_unique<CLogSettings>(m_options);
  EXPECT_EQ(LoadAt(100000), 0) << "no key";
  Set(L"LogLevelPos", 0x12);
  Set(L"MaxDumpSize", 0x10000);
  Set(L"LogLifeDays", 365);
  EXPECT_EQ(LoadAt(101000), 0) << "a missing key is looked for again only after 15 s";
  EXPECT_EQ(LoadAt(115000), 1);
  EXPECT_EQ(m_settings->Level(), 0x12);
  EXPECT_EQ(m_settings->MaxDumpBytes(), 0xFFFFu) << "cut to 0xFFFF";
  EXPECT_EQ(m_settings->LifeDays(), 365u) << "not clamped when read";
  Set(L"LogLevelPos", 0x2);
  EXPECT_EQ(LoadAt(115001), 1);
  EXPECT_EQ(m_settings->Level(), 0x2) << "the first read leaves the tick at 0: read again";
  Set(L"LogLevelPos", 0x10);
  EXPECT_EQ(LoadAt(130000), 1);
  EXPECT_EQ(m_settings->Level(), 0x2) << "within 15 s of the last read";
  EXPECT_EQ(LoadAt(130001), 1);
  EXPECT_EQ(m_settings->Level(), 0x10);
  Set(L"LogLevelPos", 0xFFFFFFFF);
  EXPECT_EQ(LoadAt(145001), 1);
  EXPECT_EQ(DecideLog(m_settings->Level(), 0x2), LogDecision::kNothing);
  EXPECT_EQ(DecideLog(m_settings->Level(), 0x10), LogDecision::kNothing);

  m_settings->Override(0x2, 0, 0);
  Set(L"LogLevelPos", 0x10);
  EXPECT_EQ(LoadAt(300000), 1);
  EXPECT_EQ(m_settings->Level(), 0x2) << "never read again after an override";
  EXPECT_EQ(m_settings->LifeDays(), 365u);
  EXPECT_EQ(m_settings->MaxDumpBytes(), 0xFFFFu);
}

TEST_F(LogRegistryTest, ThirtyTwoBitViewAndDefaults) {
  std::swap(m_options.settingsKey, m_options.settingsKeyWow);  // only the second path exists
  m_settings = std::make_unique<CLogSettings>(m_options);
  Set(L"LogLevelPos", 0x16);
  ScopedRegKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_key.c_str(), 0, KEY_SET_VALUE, key.receive()),
            ERROR_SUCCESS);
  const wchar_t tooLong[] = L"12345";  // 12 bytes: does not fit four, the default holds
  ASSERT_EQ(RegSetValueExW(key.get(), L"MaxDumpSize", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(tooLong), sizeof(tooLong)),
            ERROR_SUCCESS);
  EXPECT_EQ(LoadAt(100000), 1);
  EXPECT_EQ(m_settings->Level(), 0x16);
  EXPECT_EQ(m_settings->MaxDumpBytes(), 256u);
  EXPECT_EQ(m_settings->LifeDays(), 10u);
}

TEST_F(LogRegistryTest, FirstOverrideReadsTheKeyOnceForTheValuesItKeeps) {
  m_settings = std::make_unique<CLogSettings>(m_options);
  EXPECT_EQ(LoadAt(100000), 0) << "no key yet";
  Set(L"MaxDumpSize", 100);
  Set(L"LogLifeDays", 20);
  g_tick = 101000;  // within the pause after the missing key
  m_settings->Override(0x2, 0, 0);
  EXPECT_EQ(m_settings->MaxDumpBytes(), 100u);
  EXPECT_EQ(m_settings->LifeDays(), 20u);
  EXPECT_EQ(m_settings->Level(), 0x2);
}

TEST_F(LogRegistryTest, OverrideClamps) {
  m_settings = std::make_unique<CLogSettings>(m_options);
  m_settings->Override(0x7FFFFFFF, 365, 0x20000);
  EXPECT_EQ(m_settings->Level(), 0xFFFFF);
  EXPECT_EQ(m_settings->LifeDays(), 90u);
  EXPECT_EQ(m_settings->MaxDumpBytes(), 0xFFFFu);
  m_settings->Override(0x2, 0, 0);
  EXPECT_EQ(m_settings->Level(), 0x2);
  EXPECT_EQ(m_settings->LifeDays(), 90u) << "0 keeps the value in force";
  EXPECT_EQ(m_settings->MaxDumpBytes(), 0xFFFFu);
  m_settings->Override(0xFFFFFFFF, 30, 100);
  EXPECT_EQ(m_settings->Level(), 0xFFFFF) << "an override is never negative";
  EXPECT_EQ(m_settings->LifeDays(), 30u);
  EXPECT_EQ(m_settings->MaxDumpBytes(), 100u);
  EXPECT_EQ(m_settings->Load(), 1) << "logging works without the key";
}

}  // namespace
