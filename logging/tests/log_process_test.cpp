// Two processes of several threads each write into one daily file at once: every line
// arrives whole, exactly once.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>

#include <shlobj.h>

#include "LogTestFiles.h"
#include "LogWriter.h"
#include "ScopedHandle.h"

namespace {

const int kThreads = 4;
const int kLines = 250;

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

TEST(LogProcesses, TwoWritersEveryLineWholeNoneLost) {
  char folderName[17];
  snprintf(folderName, sizeof(folderName), "LogMP%08lx", GetCurrentProcessId());
  wchar_t appData[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE));
  const std::wstring folder = std::wstring(appData) + L"\\KVR\\Logs\\" +
                              std::wstring(folderName, folderName + strlen(folderName));
  RemoveTree(folder);

  const char letters[2] = {'A', 'B'};
  ScopedHandle processes[2];
  DWORD processIds[2] = {};
  for (int c = 0; c < 2; ++c) {
    wchar_t command[MAX_PATH * 2];
    swprintf(command, MAX_PATH * 2, L"\"%ls\\log_writer_child.exe\" %hs %hc %d %d",
             ExeFolder().c_str(), folderName, letters[c], kThreads, kLines);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info))
        << GetLastError();
    CloseHandle(info.hThread);
    processes[c].reset(info.hProcess);
    processIds[c] = info.dwProcessId;
  }
  for (auto& process : processes) {
    ASSERT_EQ(WaitForSingleObject(process.get(), 240000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u);
  }

  // A run across midnight spreads over two daily files, each with its own header.
  const std::string header = NewFileHeader(CSystemInfo::Query());
  std::set<std::string> seen;
  for (const std::wstring& name : ListFiles(folder, L"*.log")) {
    const std::string text = ReadWholeFile(folder + L"\\" + name);
    ASSERT_EQ(text.compare(0, header.size(), header), 0);
    for (const std::string& line : SplitLines(text.substr(header.size()))) {
      int month, day, hour, minute, second, millisecond, number, t, i;
      unsigned pid, tid;
      char child;
      ASSERT_EQ(sscanf(line.c_str(),
                       "[%2d/%2d %2d:%2d(%2d.%3d)]\t[%8x(%8x)]\t[I] \t[LogTest] \t"
                       "CChild::Write(%d) \tchild %c thread %d line %d",
                       &month, &day, &hour, &minute, &second, &millisecond, &pid, &tid, &number,
                       &child, &t, &i),
                12)
          << "garbled: " << line;
      char expected[512];
      snprintf(expected, sizeof(expected),
               "[%02d/%02d %02d:%02d(%02d.%03d)]\t[%08x(%08x)]\t[I] \t[LogTest] \t"
               "CChild::Write(%d) \tchild %c thread %d line %d %s",
               month, day, hour, minute, second, millisecond, pid, tid, i, child, t, i,
               std::string((t * 31 + i * 7) % 200, static_cast<char>('a' + t)).c_str());
      ASSERT_EQ(line, expected) << "garbled";
      EXPECT_EQ(pid, processIds[child == 'A' ? 0 : 1]) << line;
      EXPECT_TRUE(seen.insert(std::string(1, child) + "/" + std::to_string(t) + "/" +
                              std::to_string(i)).second)
          << "twice: " << line;
    }
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(2 * kThreads * kLines));
  RemoveTree(folder);
}

}  // namespace
