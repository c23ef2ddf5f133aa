// The entry points: plain functions on the module's one logger.
#include "Log.h"

#include <atomic>
#include <cstdio>

#include "Interface.h"
#include "LogReport.h"

namespace {

std::atomic<bool> g_ready{false};

// Built before the module's other static objects (highest user priority), so that their
// constructors and destructors may log; calls outside its lifetime do nothing.
struct CModuleLogger {
  CInterface logger;
  CModuleLogger() { g_ready.store(true, std::memory_order_release); }
  ~CModuleLogger() { g_ready.store(false, std::memory_order_release); }
};
CModuleLogger g_module __attribute__((init_priority(101)));

// Logging never changes the caller's last-error value.
class CLastErrorKeeper {
 public:
  CLastErrorKeeper() : m_saved(GetLastError()) {}
  ~CLastErrorKeeper() { SetLastError(m_saved); }

 private:
  DWORD m_saved;
};

}  // namespace

CInterface* ModuleLogger() {
  return g_ready.load(std::memory_order_acquire) ? &g_module.logger : nullptr;
}

void OutputLogEx(DWORD category, const char* module, const char* function, const char* file,
                 int line, DWORD processId, DWORD threadId, const wchar_t* format, ...) {
  CLastErrorKeeper keeper;
  CInterface* logger = ModuleLogger();
  if (!logger) return;
  va_list args;
  va_start(args, format);
  try {
    logger->OutputLogEx(category, module, function, line, processId, threadId, format, args);
  } catch (...) {
  }
  va_end(args);
}

bool LogLineWanted(DWORD category) {
  CLastErrorKeeper keeper;
  CInterface* logger = ModuleLogger();
  try {
    return logger && logger->WantsLine(category);
  } catch (...) {
    return false;
  }
}

void OutputDump(DWORD category, const void* data, DWORD length, const char* module,
                const char* function, int line, DWORD processId, DWORD threadId,
                const wchar_t* caption) {
  CLastErrorKeeper keeper;
  CInterface* logger = ModuleLogger();
  if (!logger) return;
  try {
    logger->OutputDump(category, data, length, module, function, line, processId, threadId,
                       caption);
  } catch (...) {
  }
}

int SetLogNames(const wchar_t* name) {
  CInterface* logger = ModuleLogger();
  const size_t length = name ? wcsnlen(name, 260) : 0;
  // The name becomes one folder below the log folder: nothing longer than a path component
  // allows, and nothing that would lead out of it.
  if (!logger || length == 0 || length >= 260 || !IsPlainFolderName(name, length)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Only a refused name reports through the last error; creating the folder leaves it alone.
  CLastErrorKeeper keeper;
  try {
    return logger->SetLogNames(name, nullptr);
  } catch (...) {
    return 0;
  }
}

void SetLogLevel(DWORD level, DWORD lifeDays, DWORD maxDumpSize) {
  CLastErrorKeeper keeper;  // the registry read must not show through
  if (CInterface* logger = ModuleLogger()) logger->SetLogLevel(level, lifeDays, maxDumpSize);
}

void SetLogLevelEx(DWORD level, DWORD lifeDays, DWORD maxDumpSize) {
  SetLogLevel(level, lifeDays, maxDumpSize);
}

std::wstring FormatAssertText(const char* file, int line, const char* function,
                              DWORD errorCode) {
  char text[512];
  snprintf(text, sizeof(text), "Assert!! \r\nFile:%s(line:%d)/ %s\r\n(system error code :%d)",
           file ? file : "", line, function ? function : "", static_cast<int>(errorCode));
  wchar_t wide[512];
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 512);
  return std::wstring(wide, length > 0 ? length - 1 : 0);
}

void LogAssert(int condition, const char* file, int line, const char* function,
               DWORD errorCode) {
  if (condition) return;
  CLastErrorKeeper keeper;
  try {
    OutputDebugStringW(FormatAssertText(file, line, function, errorCode).c_str());
  } catch (...) {
  }
}
