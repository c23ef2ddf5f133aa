// Printer connection and activation of one device: claim (1016, connectPrinter, 1001 with the
// memory switches), enable (1024) and disable (1002), release and close, and the writes of
// the send threads (1004, 1005).
#include "SubSO.h"

#include <cstdio>

#include "CommPrinterDriver.h"
#include "Log.h"
#include "MemorySwitches.h"
#include "RJCollection.h"
#include "RJDevice.h"
#include "StatusQueue.h"
#include "SubSOProperties.h"

namespace {

// Internal codes after which activation and enabling go on: the printer answers and only
// reports a condition that the application learns through status events.
constexpr long kCodesThatContinue[] = {RJ_ERR_NONE,           RJ_ERR_AUTOCUTTER,
                                       RJ_ERR_RECEIPT_EMPTY,  RJ_ERR_JOURNAL_EMPTY,
                                       RJ_ERR_COVER_OPEN,     RJ_ERR_HEAD_TEMPERATURE,
                                       RJ_ERR_BATTERY,        RJ_ERR_VP_VOLTAGE,
                                       RJ_ERR_MARK_PAPER_JAM};

bool Continues(long code) {
  for (long c : kCodesThatContinue)
    if (c == code) return true;
  return false;
}

// Room for the longest error text of the status store ("Head temperature error").
constexpr size_t kErrorTextSize = 64;

// The printer needs this long after the callback is registered before it takes the first
// command of an enabled device.
constexpr DWORD kEnableSettleMs = 100;

template <class Block>
Block* BlockOf(long* args) {
  return reinterpret_cast<Block*>(args);
}

}  // namespace

long CSubSO::MapErrorToSnapshot(long code, PrnPropertySnapshot* snapshot) {
  long resultCode = OPOS_E_FAILURE;
  long resultCodeExtended = 0;
  m_pCollection->GetErrorInfo(code, &resultCode, &resultCodeExtended, 0, nullptr, nullptr);
  if (snapshot) {
    snapshot->resultCode = resultCode;
    snapshot->resultCodeExtended = resultCodeExtended;
  }
  return resultCode;
}

long CSubSO::Leave(const char* name, long result, int line) const {
  LogResultExit(std::string("CSubSO::") + name, name, result, line);
  return result;
}

void CSubSO::Enter(const char* name, int line) const {
  LogEnter(std::string("CSubSO::") + name, name, line);
}

long CSubSO::initDevice(long*) {
  Enter("initDevice");
  if (!m_fInitialised) return Leave("initDevice", OPOS_E_ILLEGAL);
  m_pCollection->ResetStatus();
  return Leave("initDevice", OPOS_SUCCESS);
}

long CSubSO::initPrinterDLL() {
  Enter("initPrinterDLL");
  if (!m_fInitialised) return Leave("initPrinterDLL", OPOS_E_ILLEGAL);
  const long result =
      m_pDriver->ConnectPrinter(m_settings.PortName.c_str(), m_settings.DriverName.c_str(),
                                static_cast<DWORD>(m_settings.ReceiveTimeout));
  return Leave("initPrinterDLL", result);
}

long CSubSO::activateDevice(long* args) {
  PrnPropertySnapshot* snapshot = BlockOf<PrnRecordSnapshotArgs>(args)->snapshot;
  Enter("activateDevice");
  if (!m_fInitialised) {
    if (snapshot) snapshot->resultCode = OPOS_E_ILLEGAL;
    return Leave("activateDevice", OPOS_E_ILLEGAL);
  }
  long code = m_pDevice->SendInitializeCommand(SendTimeout());
  if (code != RJ_ERR_NONE) return Leave("activateDevice", MapErrorToSnapshot(code, snapshot));
  code = SyncMemorySwitches();
  if (!Continues(code)) return Leave("activateDevice", MapErrorToSnapshot(code, snapshot));
  m_fActivated = 1;
  m_fErrorRecovery = 0;
  if (snapshot) snapshot->resultCode = OPOS_SUCCESS;
  return Leave("activateDevice", OPOS_SUCCESS);
}

void CSubSO::ConvertRegDataToBinaryData(BYTE wanted[kSwitchBytes]) const {
  WantedSwitchBytes(m_settings.MarkMode, m_settings.PaperSize, m_settings.PrintSpeed, wanted);
  const char* const kLines[] = {"SWDIP1 = 0x%02X\n", "SWDIP4 = 0x%02X\n", "SWDIP5 = 0x%02X\n"};
  for (int i = 0; i < 3; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, kLines[i], wanted[kManagedSwitches[i].number - 1]);
    LogLine(LOG_CAT_INFO, "CSubSO::ConvertRegDataToBinaryData", kTagInfo, text);
  }
}

long CSubSO::SyncMemorySwitches() {
  BYTE wanted[kSwitchBytes];
  ConvertRegDataToBinaryData(wanted);
  BYTE current[kSwitchBytes];
  long code = m_pDriver->GetFunctionSetRespData(current);
  if (code != RJ_ERR_NONE) return code;
  BYTE pairs[6];
  if (!PlanSwitchWrite(wanted, current, pairs)) return RJ_ERR_NONE;
  code = m_pDevice->FunctionSet_Multi(pairs, 3, SendTimeout());
  if (code != RJ_ERR_NONE) return code;
  code = m_pDriver->GetFunctionSetRespData(current);
  if (code != RJ_ERR_NONE) return code;
  // A printer that did not take the switches: the settings cannot be honoured.
  return PlanSwitchWrite(wanted, current, pairs) ? RJ_ERR_FAILURE : RJ_ERR_NONE;
}

long CSubSO::enabledEventNotify(long* args) {
  PrnPropertySnapshot* snapshot = BlockOf<PrnRecordSnapshotArgs>(args)->snapshot;
  Enter("enabledEventNotify");
  if (!m_fInitialised) {
    if (snapshot) snapshot->resultCode = OPOS_E_ILLEGAL;
    return Leave("enabledEventNotify", OPOS_E_ILLEGAL);
  }
  m_pCollection->ResetStatus();
  DWORD word = 0;
  long result = m_pDriver->GetPrinterASB(&word);
  if (result != OPOS_SUCCESS) return Leave("enabledEventNotify", result);
  const long code = m_pCollection->SetInitialStatus(word);
  if (!Continues(code)) {
    // An unrecoverable printer is reported as one that cannot be reached.
    const long mapped = code == RJ_ERR_UNRECOVERABLE ? RJ_ERR_OFFLINE : code;
    return Leave("enabledEventNotify", MapErrorToSnapshot(mapped, snapshot));
  }
  m_pCollection->ReportCurrentStatus(m_statusFunctions.status, snapshot);
  m_pStatusQueue->Discard();
  result = m_pDriver->SetPrinterCallbackASB(StatusCallbackForSlot(m_slot));
  if (result != OPOS_SUCCESS) return Leave("enabledEventNotify", result);
  m_fCallbackRegistered = 1;
  Sleep(kEnableSettleMs);
  if (!m_fFirstEnable) {
    (void)m_pDevice->SendBufferClear(SendTimeout());
    if (snapshot) setInitProperty(snapshot);
    m_fFirstEnable = 1;
  }
  if (snapshot) {
    snapshot->carryWord = m_lPitch;
    snapshot->resultCode = OPOS_SUCCESS;
  }
  return Leave("enabledEventNotify", OPOS_SUCCESS);
}

long CSubSO::deactivateDevice(long*) {
  Enter("deactivateDevice");
  if (!m_fInitialised) return Leave("deactivateDevice", OPOS_E_ILLEGAL);
  m_pCollection->SetRecoveryState(0);
  (void)m_pDevice->SendBufferClear(SendTimeout());
  if (m_settings.MCAutoSave) (void)m_pDevice->SendDeactivateCommand(SendTimeout());
  CancelStatusCallback();
  m_pStatusQueue->Discard();
  return Leave("deactivateDevice", OPOS_SUCCESS);
}

void CSubSO::CancelStatusCallback() {
  if (!m_fCallbackRegistered) return;
  (void)m_pDriver->CancelPrinterCallbackASB();
  m_fCallbackRegistered = 0;
}

long CSubSO::terminatePrinterDLL() {
  Enter("terminatePrinterDLL");
  if (!m_fInitialised) return Leave("terminatePrinterDLL", OPOS_E_ILLEGAL);
  // Released while still enabled: no status word may reach this slot after the printer
  // is closed.
  CancelStatusCallback();
  const BOOL closed = m_pDriver->ClosePrinter();
  return Leave("terminatePrinterDLL", closed ? OPOS_SUCCESS : OPOS_E_ILLEGAL);
}

long CSubSO::terminateSubSODet() {
  Enter("terminateSubSO");
  if (!m_fInitialised) return Leave("terminateSubSO", OPOS_E_ILLEGAL);
  CancelStatusCallback();
  (void)m_pDriver->UnloadPrinterDriverDLL();
  m_fFirstEnable = 0;
  return Leave("terminateSubSO", OPOS_SUCCESS);
}

long CSubSO::WritePrinterData(long* args) {
  const auto* block = BlockOf<PrnWriteArgs>(args);
  // The text must outlive the call; each of the core's send threads gets its own. A plain
  // array: a thread-local object with a destructor pins the module until that thread ends.
  thread_local char threadErrorText[kErrorTextSize];
  std::string errorText;
  Enter("WritePrinterData");
  (void)m_pCollection->TakeResetCause();
  m_fErrorRecovery = 1;
  const DWORD length = block->length > 0 ? static_cast<DWORD>(block->length) : 0;
  const long code = m_pDriver->WritePrinterData(block->force ? TRUE : FALSE, block->data,
                                                length, SendTimeout());
  long resultCode = OPOS_SUCCESS;
  m_pCollection->GetErrorInfo(code, &resultCode, block->resultCodeExtended, 1, block->severity,
                              &errorText);
  if (resultCode == OPOS_E_FAILURE) {
    const long cause = m_pCollection->TakeResetCause();
    char text[32];
    std::snprintf(text, sizeof text, "ResetCouse = %ld", cause);
    LogLine(LOG_CAT_INFO, "CSubSO::WritePrinterData", kTagInfo, text);
    if (cause != 0)
      m_pCollection->GetErrorInfo(cause, &resultCode, block->resultCodeExtended, 1,
                                  block->severity, &errorText);
  }
  if (block->errorText) {
    std::snprintf(threadErrorText, sizeof threadErrorText, "%s", errorText.c_str());
    *block->errorText = threadErrorText;
  }
  return Leave("WritePrinterData", resultCode);
}

long CSubSO::restorePrinter(PrnStatusRecord* record) {
  return m_pDriver->RestorePrinter(record, reinterpret_cast<void*>(m_statusFunctions.status),
                                   reinterpret_cast<void*>(m_statusFunctions.directIOEvent));
}

long CSubSO::restorePrinterService(long* args) {
  Enter("restorePrinter");
  return Leave("restorePrinter", restorePrinter(reinterpret_cast<PrnStatusRecord*>(args)));
}
