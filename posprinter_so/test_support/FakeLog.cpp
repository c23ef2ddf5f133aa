#include "FakeLog.h"

#include <cstdarg>
#include <cstring>
#include <mutex>

#include "Log.h"

namespace fakelog {
namespace {

struct Record {
  std::mutex lock;
  std::vector<Line> lines;
  std::vector<std::wstring> names;
  std::vector<LevelCall> levels;
};

Record& R() {
  static Record record;
  return record;
}

// The library formats with msvcrt's _vsnwprintf, where %s in a wide format is wide.
using VsnwprintfFn = int(__cdecl*)(wchar_t*, size_t, const wchar_t*, va_list);
std::wstring Expand(const wchar_t* format, va_list args) {
  static const auto msvcrt = reinterpret_cast<VsnwprintfFn>(reinterpret_cast<void*>(
      GetProcAddress(LoadLibraryA("msvcrt.dll"), "_vsnwprintf")));
  wchar_t buffer[4096] = {};
  msvcrt(buffer, 4095, format, args);
  return buffer;
}

}  // namespace

void Clear() {
  std::lock_guard<std::mutex> hold(R().lock);
  R().lines.clear();
  R().names.clear();
  R().levels.clear();
}

std::vector<Line> Lines() {
  std::lock_guard<std::mutex> hold(R().lock);
  return R().lines;
}

std::vector<std::wstring> Names() {
  std::lock_guard<std::mutex> hold(R().lock);
  return R().names;
}

std::vector<LevelCall> LevelCalls() {
  std::lock_guard<std::mutex> hold(R().lock);
  return R().levels;
}

std::vector<Line> LinesContaining(const std::wstring& fragment) {
  std::vector<Line> found;
  for (const Line& line : Lines()) {
    if (line.text.find(fragment) != std::wstring::npos) found.push_back(line);
  }
  return found;
}

}  // namespace fakelog

void OutputLogEx(DWORD category, const char* module, const char* function, const char* file,
                 int, DWORD, DWORD, const wchar_t* format, ...) {
  const DWORD saved = GetLastError();
  va_list args;
  va_start(args, format);
  fakelog::Line line{category, module ? module : "", module ? module + strlen(module) + 1 : "",
                     function ? function : "", file ? file : "",
                     fakelog::Expand(format, args)};
  va_end(args);
  {
    std::lock_guard<std::mutex> hold(fakelog::R().lock);
    fakelog::R().lines.push_back(line);
  }
  SetLastError(saved);
}

// Every line is recorded, whatever the level.
bool LogLineWanted(DWORD) { return true; }

void OutputDump(DWORD, const void*, DWORD, const char*, const char*, int, DWORD, DWORD,
                const wchar_t*) {}

int SetLogNames(const wchar_t* name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> hold(fakelog::R().lock);
  fakelog::R().names.push_back(name);
  return 1;
}

void SetLogLevel(DWORD level, DWORD lifeDays, DWORD maxDumpSize) {
  std::lock_guard<std::mutex> hold(fakelog::R().lock);
  fakelog::R().levels.push_back({level, lifeDays, maxDumpSize});
}

void SetLogLevelEx(DWORD level, DWORD lifeDays, DWORD maxDumpSize) {
  SetLogLevel(level, lifeDays, maxDumpSize);
}

void LogAssert(int, const char*, int, const char*, DWORD) {}
