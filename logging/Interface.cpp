#include "Interface.h"

#include "LogReport.h"

// Holds the in-process turn for one entry. A wait that times out goes ahead without it,
// which is safe because every entry formats into its own buffers and writes under the text
// mutex; the event is set again only by the thread that took it.
class CInterface::CLockTurn {
 public:
  CLockTurn(HANDLE event, DWORD timeoutMs, const char* function, int site) : m_event(event) {
    const DWORD result = WaitForSingleObject(event, timeoutMs);
    m_held = result == WAIT_OBJECT_0;
    if (!m_held && result != WAIT_TIMEOUT) LOG_REPORT(function, site);
  }
  ~CLockTurn() { Release(); }
  CLockTurn(const CLockTurn&) = delete;
  CLockTurn& operator=(const CLockTurn&) = delete;
  void Release() {
    if (m_held) SetEvent(m_event);
    m_held = false;
  }

 private:
  HANDLE m_event;
  bool m_held;
};

CInterface::CInterface(const CLogOptions& options)
    : CLogSettings(options),
      CLogfile(options),
      CMessage(options),
      m_writer(options.tickCount),
      m_lockEvent(CreateEventW(nullptr, FALSE, TRUE, nullptr)) {}

CInterface::~CInterface() {
  if (m_lockEvent) CloseHandle(m_lockEvent);
}

void CInterface::OutputLogEx(DWORD category, const char* module, const char* function,
                             int line, DWORD processId, DWORD threadId, const wchar_t* format,
                             va_list args) {
  const LogDecision decision = Load() ? DecideLog(Level(), category) : LogDecision::kNothing;
  switch (decision) {
    case LogDecision::kNothing:
      DeleteOldLogs();
      break;
    case LogDecision::kLine:
      if (format && *format) {
        OutputLogMessage(category, CModuleLiteral::Parse(module), function, line, processId,
                         threadId, format, args);
      }
      break;
    case LogDecision::kRing: {
      SYSTEMTIME now;
      Options().localTime(&now);
      m_ring.Add(now, processId, threadId, function, line);
      break;
    }
    case LogDecision::kHexDump:
    case LogDecision::kRawDump:
      LOG_REPORT("OutputLogEx", kReportDumpCategoryAsText);
      break;
  }
}

void CInterface::OutputDump(DWORD category, const void* data, DWORD length, const char* module,
                            const char* function, int line, DWORD processId, DWORD threadId,
                            const wchar_t* caption) {
  const LogDecision decision = Load() ? DecideLog(Level(), category) : LogDecision::kNothing;
  if (decision == LogDecision::kHexDump) {
    OutputDumpLog(category, CModuleLiteral::Parse(module), function, line, processId, threadId,
                  caption, static_cast<const BYTE*>(data), length);
  } else if (decision == LogDecision::kRawDump) {
    OutputDumpData(CModuleLiteral::Parse(module), data, length);
  }
}

int CInterface::SetLogNames(const wchar_t* folderName, const wchar_t* tagName) {
  int result = 1;
  if (folderName && *folderName && State() != kFolderFinal) {
    SetFolderName(folderName);
    if (!CreateLogFolder(nullptr)) {
      SetFolderName(L"");
      LOG_REPORT("CInterface::SetLogNames", kReportNamesFolder);
      ResetFolderState();
      result = 0;
    }
  }
  if (tagName && *tagName && State() != kFolderFinal) {
    char tag[32] = {};
    if (WideCharToMultiByte(CP_ACP, 0, tagName, -1, tag, sizeof(tag), nullptr, nullptr) > 0) {
      SetModuleTag(tag);
    } else {
      SetModuleTag("???    ");
      LOG_REPORT("CInterface::SetLogNames", kReportNamesTag);
    }
  }
  return result;
}

void CInterface::OutputLogMessage(DWORD category, const CModuleLiteral& literal,
                                  const char* function, int line, DWORD processId,
                                  DWORD threadId, const wchar_t* format, va_list args) {
  CLockTurn turn(m_lockEvent, Options().lockWaitMs, "CInterface::OutputLogMessage",
                 kReportLineLockWait);
  const SYSTEMTIME stamp = Stamp();
  std::wstring folder;
  if (!CreateLogFolder(&literal, &folder)) {
    LOG_REPORT("CInterface::OutputLogMessage", kReportLineFolder);
  } else {
    // Formatted before the file is opened, so other processes wait less for the mutex.
    std::string message;
    std::string text;
    const std::string tag = LineTag(literal);
    const CLogLine fields = {stamp, category, processId, threadId, tag.c_str(), function, line};
    if (!ExpandMessage(format, args, &message) || !TemplateMessage(fields, message, &text)) {
      LOG_REPORT("CMessage::TemplateMessage", kReportLineFormat);
    }
    CLogWriter::CTurn file(m_writer);
    (void)m_writer.Open(file, DailyFileName(folder, stamp));  // closed: lines wait in memory
    if (category & LOG_CAT_ERROR) m_writer.WriteLine(file, m_ring.GetText());
    m_writer.WriteLine(file, text);
    const std::wstring rotated = RotatedFileName(folder, stamp);
    (void)m_writer.Close(file, &rotated);
  }
  turn.Release();
  DeleteOldLogs();
}

void CInterface::OutputDumpLog(DWORD category, const CModuleLiteral& literal,
                               const char* function, int line, DWORD processId, DWORD threadId,
                               const wchar_t* caption, const BYTE* data, DWORD length) {
  if (!data || length == 0) return;
  CLockTurn turn(m_lockEvent, INFINITE, "CInterface::OutputDumpLog", kReportDumpLockWait);
  const SYSTEMTIME stamp = Stamp();
  std::wstring folder;
  if (!CreateLogFolder(&literal, &folder)) {
    LOG_REPORT("CInterface::OutputDumpLog", kReportDumpFolder);
    return;
  }
  const std::string tag = LineTag(literal);
  const CLogLine fields = {stamp, category, processId, threadId, tag.c_str(), function, line};
  const std::string block =
      TemplateDump(fields, CaptionToAnsi(caption), data, length, MaxDumpBytes());
  CLogWriter::CTurn file(m_writer);
  (void)m_writer.Open(file, DailyFileName(folder, stamp));
  m_writer.WriteLine(file, block);
  const std::wstring rotated = RotatedFileName(folder, stamp);
  (void)m_writer.Close(file, &rotated);
}

void CInterface::OutputDumpData(const CModuleLiteral& literal, const void* data, DWORD length) {
  if (!data || length == 0) {
    LOG_REPORT("CInterface::OutputDumpData", kReportRawDumpEmpty);
    return;
  }
  CLockTurn turn(m_lockEvent, INFINITE, "CInterface::OutputDumpData", kReportRawDumpLockWait);
  const SYSTEMTIME stamp = Stamp();
  std::wstring folder;
  if (!CreateLogFolder(&literal, &folder)) return;
  (void)m_writer.WriteRawFile(RawDumpFileName(folder, stamp), data, length);
}
