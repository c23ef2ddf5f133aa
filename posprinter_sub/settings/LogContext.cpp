#include "LogContext.h"

#include "Log.h"
#include "SubSOSettings.h"


namespace {

// Module literal: tag, NUL, log folder name.
constexpr char kModule[] = "OPS_PSB\0OposPrinter";

CLogContext::LineObserver g_observer = nullptr;

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

void Emit(const std::string& prefix, DWORD category, const char* function, const char* file,
          int line, const char* tag, const char* text, const char* detail) {
  std::string message = prefix;
  message += tag ? tag : "";
  message += ' ';
  message += text ? text : "";
  message += ' ';
  message += detail ? detail : "";
  if (g_observer) g_observer(category, function, message.c_str());
  const std::wstring wide = Widen(message);
  OutputLogEx(category, kModule, function, file, line, GetCurrentProcessId(),
              GetCurrentThreadId(), L"%s", wide.c_str());
}

}  // namespace

void CLogContext::SetLineObserver(LineObserver observer) { g_observer = observer; }

CLogContext::CLogContext() { InitializeCriticalSection(&lock_); }

CLogContext::~CLogContext() { DeleteCriticalSection(&lock_); }

void CLogContext::Configure(const char* deviceName, long logFileSize, long logRetentionPeriod,
                            long logLevelSub, const char* logFileNameSub) {
  EnterCriticalSection(&lock_);
  prefix_ = "[";
  prefix_ += deviceName ? deviceName : "";
  prefix_ += "] ";
  if (logFileNameSub && *logFileNameSub) SetLogNames(Widen(logFileNameSub).c_str());
  SetLogLevel(LogLevelMaskFromSetting(logLevelSub), static_cast<DWORD>(logRetentionPeriod),
              static_cast<DWORD>(logFileSize));
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
  Emit(Prefix(), category, function, file, line, tag, text, detail);
}

void CLogContext::Dump(DWORD category, const char* function, int line, const void* data,
                       DWORD length) const {
  const std::wstring caption = Widen(Prefix());
  OutputDump(category, data, length, kModule, function, line, GetCurrentProcessId(),
             GetCurrentThreadId(), caption.c_str());
}

void WriteLogLine(const CLogContext* context, DWORD category, const char* function,
                  const char* file, int line, const char* tag, const char* text,
                  const char* detail) {
  Emit(context ? context->Prefix() : std::string(), category, function, file, line, tag, text,
       detail);
}
