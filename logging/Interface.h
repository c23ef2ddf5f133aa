// The logger of one module: settings, folders, formatting, the file writer and the trace
// ring. The entry points of Log.h act on the module's one static instance.
#pragma once
#include <cstdarg>

#include "LogWriter.h"
#include "Logfile.h"
#include "Message.h"
#include "TraceRing.h"

class CInterface : public CLogfile, public CMessage {
 public:
  explicit CInterface(const CLogOptions& options = CLogOptions());
  ~CInterface();
  CInterface(const CInterface&) = delete;
  CInterface& operator=(const CInterface&) = delete;

  // OutputLogEx and OutputDump: decide from the settings, then write, keep or drop.
  void OutputLogEx(DWORD category, const char* module, const char* function, int line,
                   DWORD processId, DWORD threadId, const wchar_t* format, va_list args);
  void OutputDump(DWORD category, const void* data, DWORD length, const char* module,
                  const char* function, int line, DWORD processId, DWORD threadId,
                  const wchar_t* caption);
  // Whether OutputLogEx would write a line of this category now.
  bool WantsLine(DWORD category) {
    return Load() && DecideLog(Level(), category) == LogDecision::kLine;
  }
  // Folder name (and module tag) used while no call carried a valid module literal.
  // 1, or 0 when the named folder could not be created.
  [[nodiscard]] int SetLogNames(const wchar_t* folderName, const wchar_t* tagName);
  void SetLogLevel(DWORD level, DWORD lifeDays, DWORD maxDumpSize) {
    Override(level, lifeDays, maxDumpSize);
  }

  // The three writers the decision leads to.
  void OutputLogMessage(DWORD category, const CModuleLiteral& literal, const char* function,
                        int line, DWORD processId, DWORD threadId, const wchar_t* format,
                        va_list args);
  void OutputDumpLog(DWORD category, const CModuleLiteral& literal, const char* function,
                     int line, DWORD processId, DWORD threadId, const wchar_t* caption,
                     const BYTE* data, DWORD length);
  void OutputDumpData(const CModuleLiteral& literal, const void* data, DWORD length);

  CLogWriter& Writer() { return m_writer; }
  CTraceRing& Ring() { return m_ring; }

 private:
  class CLockTurn;

  CLogWriter m_writer;
  CTraceRing m_ring;
  HANDLE m_lockEvent;  // auto-reset, signalled: the in-process turn at the files
};

// The module's logger, or null before its construction and after its destruction.
CInterface* ModuleLogger();
