#include "LogContext.h"

#include <cstdarg>
#include <cstdio>

#include "Log.h"

const char kCoreLogModule[] = "OPS_PCR\0OposPrinter";

namespace {

std::string FormatV(const char* format, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int needed = vsnprintf(small, sizeof(small), format, copy);
  va_end(copy);
  std::string out;
  if (needed < 0) {
    out = format;
  } else if (static_cast<size_t>(needed) < sizeof(small)) {
    out.assign(small, needed);
  } else {
    out.resize(needed + 1);
    vsnprintf(&out[0], out.size(), format, args);
    out.resize(needed);
  }
  return out;
}

}  // namespace

std::string Fmt(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatV(format, args);
  va_end(args);
  return out;
}

namespace {

// The library expands the message as a format with no arguments: a '%' in a device name
// or in print data must reach the file as itself.
std::wstring ToLogMessage(const std::string& line) {
  std::wstring wide;
  if (!line.empty()) {
    const int n = MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()),
                                      nullptr, 0);
    wide.resize(n > 0 ? n : 0);
    if (n > 0) {
      MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), &wide[0], n);
    }
  }
  std::wstring escaped;
  escaped.reserve(wide.size());
  for (wchar_t c : wide) {
    escaped += c;
    if (c == L'%') escaped += L'%';
  }
  return escaped;
}

std::wstring Widen(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

// A line the level does not write is not built; the library still gets the call, which
// keeps its trace ring and clears old files.
void CallWithoutLine(DWORD category, const char* function, const char* file, int line) {
  const DWORD savedError = GetLastError();
  OutputLogEx(category, kCoreLogModule, function, file, line, GetCurrentProcessId(),
              GetCurrentThreadId(), L"");
  SetLastError(savedError);
}

// LogLevelCore value -> category mask of the trace log library.
struct LevelRow {
  long level;
  DWORD mask;
};
constexpr LevelRow kLevelMasks[] = {
    {-1, 0},       // the default: nothing is written
    {0, 0x2},      // errors
    {1, 0x2},      // errors
    {2, 0x16},     // information, warnings, errors
    {3, 0x4},      // warnings
    {4, 0x3196},   // dumps, trace, debug, information, warnings, errors
};

}  // namespace

DWORD CLogContext::MaskForLevel(long level) {
  for (const LevelRow& row : kLevelMasks) {
    if (row.level == level) return row.mask;
  }
  return 0;
}

void CLogContext::Configure(const std::string& deviceName, long dumpSize, long retentionDays,
                            long level, const std::string& logFileName) {
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_prefix = "[" + deviceName + "] ";
  }
  const DWORD mask = MaskForLevel(level);
  if (!logFileName.empty()) {
    (void)SetLogNames(Widen(logFileName).c_str());
  }
  SetLogLevel(mask, static_cast<DWORD>(retentionDays), static_cast<DWORD>(dumpSize));
}

std::string CLogContext::Prefix() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_prefix;
}

void CLogContext::Write(DWORD category, const char* function, const char* file, int line,
                        const char* tag, std::string_view text, std::string_view detail) const {
  if (!LogLineWanted(category)) {
    CallWithoutLine(category, function, file, line);
    return;
  }
  const DWORD savedError = GetLastError();
  std::string joined = Prefix();
  joined += tag;
  joined += ' ';
  joined.append(text.data(), text.size());
  joined += ' ';
  joined.append(detail.data(), detail.size());
  const std::wstring message = ToLogMessage(joined);
  OutputLogEx(category, kCoreLogModule, function, file, line, GetCurrentProcessId(),
              GetCurrentThreadId(), message.c_str());
  SetLastError(savedError);
}

void CLogContext::WriteF(DWORD category, const char* function, const char* file, int line,
                         const char* tag, const char* format, ...) const {
  if (!LogLineWanted(category)) {
    CallWithoutLine(category, function, file, line);
    return;
  }
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  Write(category, function, file, line, tag, text);
}
