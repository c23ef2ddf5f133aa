#include "CommDevice.h"

#include <cstring>
#include <memory>

#include "LogContext.h"

std::atomic<CCommDevice*> CCommDevice::s_current{nullptr};

namespace {

const char kSource[] = "CommDevice";

HANDLE NewAutoResetEvent() { return CreateEventA(nullptr, FALSE, FALSE, nullptr); }

}  // namespace

CCommDevice::CCommDevice(const CPrinterParameters* owner, CLogContext* logContext)
    : m_owner(owner),
      m_logContext(logContext),
      m_receiveStopEvent(NewAutoResetEvent()),
      m_sendStopEvent(NewAutoResetEvent()),
      m_immediateStopEvent(NewAutoResetEvent()),
      m_watchResponseStopEvent(NewAutoResetEvent()),
      m_pollNowEvent(NewAutoResetEvent()),
      m_statusPolledEvent(NewAutoResetEvent()),
      m_immediateResponseEvent(NewAutoResetEvent()),
      m_syncResponseEvent(NewAutoResetEvent()),
      m_asyncResponseEvent(NewAutoResetEvent()),
      m_immediateErrorEvent(NewAutoResetEvent()),
      m_sendErrorEvent(NewAutoResetEvent()),
      m_printWaitChangedEvent(NewAutoResetEvent()) {
  s_current.store(this);
}

CCommDevice::~CCommDevice() {
  CCommDevice* self = this;
  s_current.compare_exchange_strong(self, nullptr);
  ShutDownOutput();  // threads end and queued lists go back while the module is bound
  // A module still bound here was never closed: end its slot (the sub-module keeps this
  // object as the slot's callback context) and free it so the process does not keep it.
  if (m_module.valid()) {
    if (m_slot != -1) (void)TerminateSubSO();
    (void)UnloadSubSODLL();
  }
}

CCommDevice* CCommDevice::Current() { return s_current.load(); }

void CCommDevice::Log(DWORD category, const char* function, int line, const char* tag,
                      std::string_view text, std::string_view detail) const {
  if (m_logContext) m_logContext->Write(category, function, kSource, line, tag, text, detail);
}

void CCommDevice::LogF(DWORD category, const char* function, int line, const char* tag,
                       const char* format, const char* argument) const {
  if (m_logContext) m_logContext->WriteF(category, function, kSource, line, tag, format, argument);
}

BOOL CCommDevice::LoadSubSODLL(const char* path) {
  static const char kFn[] = "CCommDevice::LoadSubSODLL";
  if (m_module.valid() && !UnloadSubSODLL()) return 0;
  HMODULE module = LoadLibraryA(path);
  if (!module) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO,
        Fmt("Failed to load Sub SO DLL. GetLastError = %lu", GetLastError()));
    return 0;
  }
  m_module.reset(module);
  bool all = true;
  // The entry points sit in binding order, one pointer each.
  auto* slots = reinterpret_cast<FARPROC*>(&m_entry);
  for (size_t i = 0; i < sizeof(kPrnExportNames) / sizeof(kPrnExportNames[0]); ++i) {
    slots[i] = GetProcAddress(module, kPrnExportNames[i]);
    if (!slots[i]) {
      all = false;
      Log(LOG_ERROR, kFn, __LINE__, TAG_INFO,
          Fmt("Get the function pointer(%s) Failed. GetLastError = %lu", kPrnExportNames[i],
              GetLastError()));
    }
  }
  if (all) return 1;
  Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Get the Sub SO function pointer Failed.");
  if (!FreeLibrary(m_module.release())) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO,
        Fmt("Failed to release Sub SO. GetLastError = %lu", GetLastError()));
  }
  ClearEntryPoints();
  return 0;
}

BOOL CCommDevice::UnloadSubSODLL() {
  static const char kFn[] = "CCommDevice::UnloadSubSODLL";
  if (m_module.valid()) {
    if (!FreeLibrary(m_module.get())) {
      Log(LOG_ERROR, kFn, __LINE__, TAG_INFO,
          Fmt("Failed to release Sub SO. GetLastError = %lu", GetLastError()));
      return 0;
    }
    (void)m_module.release();
  }
  ClearEntryPoints();
  m_slot = -1;
  return 1;
}

long CCommDevice::InitializeSubSO(const char* deviceName, long serviceObjectVersion,
                                  PrnPropertySnapshot* snapshot) {
  static const char kFn[] = "CCommDevice::InitializeSubSO";
  if (!m_entry.initSubSO) return OPOS_E_ILLEGAL;
  m_slot = -1;
  const long result = m_entry.initSubSO(deviceName, serviceObjectVersion, snapshot, &m_slot, this);
  if (result == OPOS_SUCCESS) {
    RegisterCallbacks();
    return OPOS_SUCCESS;
  }
  if (m_slot != -1 && m_entry.terminateSubSO) {
    // A failed initialisation keeps its slot until terminateSubSO; end it now, or the
    // slot stays taken for the life of the process once the DLL is unloaded.
    const long ended = m_entry.terminateSubSO(m_slot);
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Ended the slot of the failed initialisation.",
        Fmt("Slot = %ld, Return value = %ld", m_slot, ended));
    m_slot = -1;
  }
  return NegativeTo106(result, kFn, "InitializeSubSO");
}

void CCommDevice::RegisterCallbacks() {
  PrnTokenizerRecord tokenizer{&CCommDevice::ConvertPrintData};
  PrnStatusFunctionSet status{&CCommDevice::OnStatusNotify,
                              reinterpret_cast<void*>(&CCommDevice::OnStatusReserved1),
                              &CCommDevice::OnDirectIONotify,
                              reinterpret_cast<void*>(&CCommDevice::OnStatusReserved2)};
  PrnResponseCodeRecord response{&CCommDevice::OnResponseCode};
  PrnErrorNoticeRecord error{&CCommDevice::OnErrorNotify};
  PrnStatusEventRecord statusEvent{reinterpret_cast<void**>(&m_statusEvent)};
  const struct {
    long id;
    void* record;
  } kCallbacks[] = {
      {PRN_CALLBACK_PRINT_DATA_TOKENIZER, &tokenizer},
      {PRN_CALLBACK_STATUS_FUNCTION_SET, &status},
      {PRN_CALLBACK_RESPONSE_CODE, &response},
      {PRN_CALLBACK_ERROR_NOTICE, &error},
      {PRN_CALLBACK_STATUS_EVENT, &statusEvent},
  };
  // The sub-module copies the words out; its answers are not examined.
  for (const auto& callback : kCallbacks) {
    (void)m_entry.setCallbackFunction(callback.id, static_cast<void**>(callback.record), m_slot);
  }
}

BOOL CCommDevice::TerminateSubSO() {
  if (!m_entry.terminateSubSO) return 0;
  const long result = m_entry.terminateSubSO(m_slot);
  m_slot = -1;
  return result == OPOS_SUCCESS ? 1 : 0;
}

long CCommDevice::NegativeTo106(long result, const char* function, const char* name) const {
  if (result >= 0) return result;
  Log(LOG_INFO, function, __LINE__, TAG_INFO, Fmt("%s function failed.", name),
      Fmt("Return value = %ld", result));
  Log(LOG_INFO, function, __LINE__, TAG_EXIT, Fmt("%s method end.", name));
  return OPOS_E_ILLEGAL;
}

long CCommDevice::ConnectPrinter() {
  if (!m_entry.connectPrinter) return OPOS_E_ILLEGAL;
  return NegativeTo106(m_entry.connectPrinter(m_slot), "CCommDevice::ConnectPrinter",
                       "ConnectPrinter");
}

long CCommDevice::ClosePrinter() {
  if (!m_entry.disconnectPrinter) return OPOS_E_ILLEGAL;
  return NegativeTo106(m_entry.disconnectPrinter(m_slot), "CCommDevice::ClosePrinter",
                       "lpdisconnectPrinter");
}

BOOL CCommDevice::GetCapability(PrnCapabilityBlock* block) {
  if (!m_entry.getCapability) return 0;
  PrnCapabilityArgs args{block};
  return m_entry.getCapability(PRN_CAPABILITY_BLOCK, reinterpret_cast<long*>(&args), m_slot) ==
                 OPOS_SUCCESS
             ? 1
             : 0;
}

long CCommDevice::CallService(long serviceId, void* block) {
  if (!m_entry.otherMethod) return OPOS_E_ILLEGAL;
  return m_entry.otherMethod(serviceId, static_cast<long*>(block), m_slot);
}

long CCommDevice::OtherMethod1001(PrnInputProperty* record, PrnPropertySnapshot* snapshot) {
  PrnRecordSnapshotArgs args{record, snapshot};
  return CallService(PRN_SERVICE_ACTIVATE_DEVICE, &args);
}

long CCommDevice::OtherMethod1002() { return CallService(PRN_SERVICE_DEACTIVATE_DEVICE, nullptr); }

long CCommDevice::ReleaseSubSOData(void* data) {
  PrnListArgs args{static_cast<PrnTokenList*>(data)};
  return CallService(PRN_SERVICE_FREE_COMMAND_LIST, &args);
}

long CCommDevice::OtherMethod1005() {
  // The block is read by nobody after the call; it goes out with every byte 0xFF.
  auto block = std::make_unique<PrnStatusRecord>();
  std::memset(block.get(), 0xFF, sizeof(*block));
  return CallService(PRN_SERVICE_RESTORE_PRINTER, block.get());
}

long CCommDevice::OtherMethod1006(PrnInputProperty* record, PrnStationState* stationState,
                                  PrnTokenList* list, long position1, long position2,
                                  PrnTokenList* pageModeList) {
  PrnPageModeAreaArgs args{record, stationState, list, position1, position2, pageModeList};
  return CallService(PRN_SERVICE_PAGE_MODE_AREA, &args);
}

long CCommDevice::OtherMethod1007(PrnTokenList* target, PrnTokenList* source) {
  PrnMoveTokensArgs args{target, source};
  return CallService(PRN_SERVICE_MOVE_COMMAND_TOKENS, &args);
}

long CCommDevice::OtherMethod1008(long characterSet) {
  PrnCodePageArgs args{characterSet};
  return CallService(PRN_SERVICE_SET_CHARACTER_SET, &args);
}

long CCommDevice::OtherMethod1009(PrnTokenList* list) {
  PrnListArgs args{list};
  return CallService(PRN_SERVICE_SCAN_COMMAND_TOKENS, &args);
}

long CCommDevice::BuildRequestData(PrnInputProperty* record, PrnStationState* stationState,
                                   PrnTokenList* list, long queue) {
  PrnRequestDeviceDataArgs args{record, stationState, list, queue};
  return CallService(PRN_SERVICE_REQUEST_DEVICE_DATA, &args);
}

long CCommDevice::OtherMethod1011(long* cutDistance, long* lineEndFlags, long* resolution) {
  PrnFixedParametersArgs args{cutDistance, lineEndFlags, resolution};
  return CallService(PRN_SERVICE_GET_FIXED_PARAMETERS, &args);
}

long CCommDevice::SendEscapeToken(long tokenCode, const unsigned char* data, long length,
                                  long value, PrnTokenList* list, PrnCommandToken** newToken) {
  PrnAddTokenArgs args{tokenCode, data, length, value, list, newToken};
  return CallService(PRN_SERVICE_ADD_COMMAND_TOKEN, &args);
}

long CCommDevice::AppendCommandTokens(PrnTokenList* logo, PrnTokenList* list) {
  PrnCopyTokensArgs args{logo, list};
  return CallService(PRN_SERVICE_APPEND_COMMAND_TOKENS, &args);
}

long CCommDevice::OtherMethod1015(PrnPropertySnapshot* snapshot) {
  PrnSnapshotArgs args{snapshot};
  return CallService(PRN_SERVICE_FREE_RESULT_RECORD, &args);
}

long CCommDevice::OtherMethod1016(PrnInputProperty* record) {
  PrnRecordArgs args{record};
  return CallService(PRN_SERVICE_INIT_DEVICE, &args);
}

PrnTokenList* CCommDevice::OtherMethod1018(long station) {
  PrnTokenList* list = nullptr;
  PrnCreateListArgs args{station, &list};
  (void)CallService(PRN_SERVICE_CREATE_COMMAND_LIST, &args);
  return list;
}

long CCommDevice::OtherMethod1019(PrnTokenList* source, PrnTokenList** target) {
  PrnCloneTokensArgs args{source, target};
  return CallService(PRN_SERVICE_CLONE_COMMAND_TOKENS, &args);
}

long CCommDevice::OtherMethod1020(long station, long requestedChars, long lineWidth,
                                  const char* lineCharsList, long* chosenChars, long* charWidth,
                                  long* charSpacing) {
  PrnSelectLineCharsFontArgs args{station,     requestedChars, lineWidth, lineCharsList,
                                  chosenChars, charWidth,      charSpacing};
  return CallService(PRN_SERVICE_SELECT_LINE_CHARS_FONT, &args);
}

long CCommDevice::OtherMethod1021(PrnInputProperty* record, PrnPropertySnapshot* snapshot) {
  PrnRecordSnapshotArgs args{record, snapshot};
  return CallService(PRN_SERVICE_CHARACTER_PITCH, &args);
}

long CCommDevice::SetResponseIdToken(long* responseId, PrnTokenList** list) {
  PrnResponseIdArgs args{responseId, list};
  return CallService(PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN, &args);
}

long CCommDevice::OtherMethod1024(PrnInputProperty* record, PrnPropertySnapshot* snapshot) {
  PrnRecordSnapshotArgs args{record, snapshot};
  return CallService(PRN_SERVICE_ENABLED_EVENT_NOTIFY, &args);
}

long CCommDevice::ReleaseImageHandles() {
  if (m_topLogo) {
    (void)ReleaseSubSOData(m_topLogo);
    m_topLogo = nullptr;
  }
  long result = 0;
  if (m_bottomLogo) {
    result = ReleaseSubSOData(m_bottomLogo);
    m_bottomLogo = nullptr;
  }
  return result;
}
