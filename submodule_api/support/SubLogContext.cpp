#include "SubLogContext.h"

#include <cstdarg>
#include <cstdio>

#include "CsHold.h"
#include "Log.h"

namespace subsupport {

namespace {

CSubLogContext::LineObserver g_observer = nullptr;

}  // namespace

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
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

void CSubLogContext::SetLineObserver(LineObserver observer) { g_observer = observer; }

CSubLogContext::CSubLogContext(const char* moduleLiteral) : module_(moduleLiteral) {
  InitializeCriticalSection(&lock_);
}

CSubLogContext::~CSubLogContext() { DeleteCriticalSection(&lock_); }

void CSubLogContext::Configure(const char* deviceName, long logFileSize,
                               long logRetentionPeriod, long logLevelSub,
                               const char* logFileNameSub) {
  CsHold hold(&lock_);
  prefix_ = "[";
  prefix_ += deviceName ? deviceName : "";
  prefix_ += "] ";
  if (logFileNameSub && *logFileNameSub) (void)SetLogNames(Widen(logFileNameSub).c_str());
  SetLogLevel(LogLevelMask(logLevelSub), static_cast<DWORD>(logRetentionPeriod),
              static_cast<DWORD>(logFileSize));
}

std::string CSubLogContext::Prefix() const {
  CsHold hold(&lock_);
  return prefix_;
}

void CSubLogContext::Emit(const char* moduleLiteral, const std::string& prefix,
                          DWORD category, const char* function, const char* file, int line,
                          const char* tag, const char* text, const char* detail) {
  std::string message = prefix;
  message += tag ? tag : "";
  message += ' ';
  message += text ? text : "";
  message += ' ';
  message += detail ? detail : "";
  if (g_observer) g_observer(category, function, message.c_str());
  const std::wstring wide = Widen(message);
  OutputLogEx(category, moduleLiteral, function, file, line, GetCurrentProcessId(),
              GetCurrentThreadId(), L"%s", wide.c_str());
}

void CSubLogContext::Write(DWORD category, const char* function, const char* file, int line,
                           const char* tag, const char* text, const char* detail) const {
  if (!g_observer && !LogLineWanted(category)) {
    // Not written: nothing to build, but the library still gets the call, which keeps its
    // trace ring and clears old files.
    OutputLogEx(category, module_, function, file, line, GetCurrentProcessId(),
                GetCurrentThreadId(), L"");
    return;
  }
  Emit(module_, Prefix(), category, function, file, line, tag, text, detail);
}

void CSubLogContext::DumpBytes(DWORD category, const char* function, int line,
                               const void* data, DWORD length, const wchar_t* caption) const {
  OutputDump(category, data, length, module_, function, line, GetCurrentProcessId(),
             GetCurrentThreadId(), caption);
}

}  // namespace subsupport
