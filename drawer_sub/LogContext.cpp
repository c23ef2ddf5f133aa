#include "LogContext.h"

#include <cstdarg>
#include <cstdio>

#include "Log.h"

namespace tollek {

namespace {

CLogContext::LineObserver g_observer = nullptr;

std::wstring Widen(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? size_t(n) : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
  return wide;
}

}  // namespace

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

DWORD LogLevelMask(long logLevelSub) {
  struct Row {
    long setting;
    DWORD mask;
  };
  // 0 and 1 errors only; 2 adds information and warnings; 4 adds dumps, trace and debug.
  static const Row kRows[] = {{-1, 0}, {0, 0x2}, {1, 0x2}, {2, 0x16}, {3, 0x4}, {4, 0x3196}};
  for (const Row& row : kRows)
    if (row.setting == logLevelSub) return row.mask;
  return 0;
}

void CLogContext::SetLineObserver(LineObserver observer) { g_observer = observer; }

CLogContext::CLogContext() { InitializeCriticalSection(&lock_); }

CLogContext::~CLogContext() { DeleteCriticalSection(&lock_); }

void CLogContext::Configure(const char* deviceName, long logFileSize, long logRetentionPeriod,
                            long logLevelSub, const char* logFileNameSub) {
  EnterCriticalSection(&lock_);
  prefix_ = std::string("[") + (deviceName ? deviceName : "") + "] ";
  if (logFileNameSub && *logFileNameSub) (void)SetLogNames(Widen(logFileNameSub).c_str());
  SetLogLevelEx(LogLevelMask(logLevelSub), DWORD(logRetentionPeriod), DWORD(logFileSize));
  LeaveCriticalSection(&lock_);
}

std::string CLogContext::Prefix() const {
  EnterCriticalSection(&lock_);
  std::string copy = prefix_;
  LeaveCriticalSection(&lock_);
  return copy;
}

void CLogContext::Write(DWORD category, const char* function, const char* file, int line,
                        const char* tag, const char* text, const char* detail) const {
  const std::string message = Prefix() + tag + ' ' + (text ? text : "") + ' ' +
                              (detail ? detail : "");
  if (g_observer) g_observer(category, function, message.c_str());
  OutputLogEx(category, kModuleLiteral, function, file, line, GetCurrentProcessId(),
              GetCurrentThreadId(), L"%s", Widen(message).c_str());
}

void CLogContext::Dump(DWORD category, const char* function, int line, const void* data,
                       DWORD length, DWORD maxBytes, const wchar_t* caption) const {
  OutputDump(category, data, length < maxBytes ? length : maxBytes, kModuleLiteral, function,
             line, GetCurrentProcessId(), GetCurrentThreadId(), caption);
}

}  // namespace tollek
