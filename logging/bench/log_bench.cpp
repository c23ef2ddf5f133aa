// log_bench: calls per second of the logger's paths, for one thread and for four threads:
//   filtered  a line whose category the level filters out (no ring, no file)
//   ring      a line that only enters the trace ring (level "errors only")
//   file      a line written to the daily file (open, append, close under the mutexes)
//   floor     one bare append of the same bytes to a file kept open
//   reopen    open, append and close of a file per line, as every entry does (for scale)
// Usage: log_bench [milliseconds per figure, default 1000]. Writes into the log folder
// "LogBench" under the common application-data folder and removes it afterwards.
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Log.h"

namespace {

const char kModule[] = "LogBnch\0LogBench";

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return c.QuadPart / frequency;
}

// Runs `call` on `threads` threads for about `seconds`; returns calls per second in all.
double Measure(int threads, double seconds, const std::function<void()>& call) {
  std::atomic<long long> total{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      while (!go.load()) std::this_thread::yield();
      long long count = 0;
      const double end = Now() + seconds;
      do {
        for (int i = 0; i < 64; ++i) call();
        count += 64;
      } while (Now() < end);
      total += count;
    });
  }
  const double start = Now();
  go.store(true);
  for (auto& worker : workers) worker.join();
  return total.load() / (Now() - start);
}

void Line(DWORD category) {
  OutputLogEx(category, kModule, "CBench::Run", __FILE__, __LINE__, GetCurrentProcessId(),
              GetCurrentThreadId(), L"%s%s %s %s", L"[LogBench] ", L"[Info    ]",
              L"PrintNormal", L"Station 2, 40 bytes");
}

std::wstring LogFolder() {
  wchar_t appData[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE);
  return std::wstring(appData) + L"\\KVR\\Logs\\LogBench";
}

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW((folder + L"\\" + found.cFileName).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = (argc > 1 ? atoi(argv[1]) : 1000) / 1000.0;
  const std::wstring folder = LogFolder();
  RemoveFolder(folder);

  // The same bytes a written line has, for the floor.
  const std::string bytes =
      "[12/10 14:07(47.857)]\t[000000fc(0000011c)]\t[I] \t[LogBnch] \tCBench::Run(63) \t"
      "[LogBench]  [Info    ] PrintNormal Station 2, 40 bytes\r\n";
  SetLogLevel(0x10, 1, 0);
  Line(0x10);  // creates the folder and the daily file
  const std::wstring floorFile = folder + L"\\floor.bin";
  const std::wstring reopenFile = folder + L"\\reopen.bin";
  HANDLE file = CreateFileW(floorFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "log_bench: cannot create %ls\n", floorFile.c_str());
    return 1;
  }

  printf("%-10s %8s %14s %14s\n", "path", "threads", "calls/s", "us/call/thread");
  const struct {
    const char* name;
    DWORD level;
    std::function<void()> call;
  } rows[] = {
      {"filtered", 0x10, [] { Line(0x100); }},
      {"ring", 0x2, [] { Line(0x10); }},
      {"file", 0x10, [] { Line(0x10); }},
      {"floor", 0x10,
       [&] {
         DWORD written = 0;
         WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
       }},
      {"reopen", 0x10,
       [&] {
         HANDLE each = CreateFileW(reopenFile.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
         DWORD written = 0;
         WriteFile(each, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
         CloseHandle(each);
       }},
  };
  for (int threads : {1, 4}) {
    for (const auto& row : rows) {
      SetLogLevel(row.level, 0, 0);
      const double rate = Measure(threads, seconds, row.call);
      printf("%-10s %8d %14.0f %14.3f\n", row.name, threads, rate, threads * 1e6 / rate);
    }
  }
  CloseHandle(file);
  RemoveFolder(folder);
  return 0;
}
