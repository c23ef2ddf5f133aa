// The status path of one device: the SDK's callback thread only queues status words for the
// slot (StatusQueue); the core's receive thread drains them here (service 1012).
#include "SubSO.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "CommPrinterDriver.h"
#include "Log.h"
#include "RJCollection.h"
#include "RJDevice.h"
#include "StatusQueue.h"

namespace {

// The printer answers DC2 q n with 0x80 | n once everything before it is printed.
constexpr BYTE kCompletionFirst = 0x80;
constexpr BYTE kCompletionLast = 0x8F;
// Pause between two queued words; a callback arriving meanwhile waits for it.
constexpr DWORD kBetweenWordsMs = 10;

}  // namespace

void CSubSO::NotifyCompletionResponses() {
  const char* function = "CSubSO::procCallbackStatus";
  BYTE buffer[CCommPrinterDriver::kRawBufferSize];
  const DWORD count = m_pDriver->GetRawDataImmediate(buffer);
  for (DWORD i = 0; i < count; ++i) {
    const BYTE b = buffer[i];
    if (b < kCompletionFirst || b > kCompletionLast) continue;
    LogLine(LOG_CAT_INFO, function, kTagInfo, "Received data.");
    m_pLogContext->Dump(LOG_CAT_READ, function, __LINE__, &b, 1);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", b);
    LogLine(LOG_CAT_INFO, function, kTagInfo, "Execution response reception data ", hex);
    (void)m_pDevice->NotifyResponseCode(b & 0x0F);
  }
}

void CSubSO::ProcessStatusWord(DWORD word, PrnStatusRecord* status,
                               PrnPropertySnapshot* result) {
  const char* function = "CSubSO::procCallbackStatus";
  PrnStatusFn statusFn = m_statusFunctions.status;
  void* reserved = reinterpret_cast<void*>(m_statusFunctions.directIOEvent);
  char text[64];
  std::snprintf(text, sizeof text, "ASB Data Callback = 0x%02X%02X%02X%02X",
                static_cast<unsigned>(word >> 24) & 0xFF, static_cast<unsigned>(word >> 16) & 0xFF,
                static_cast<unsigned>(word >> 8) & 0xFF, static_cast<unsigned>(word) & 0xFF);
  LogLine(LOG_CAT_INFO, function, kTagInfo, text);
  if (IsOfflineStatusWord(word)) {
    (void)m_pCollection->PowerStatusRecieveAction(word, status, statusFn, reserved);
    return;
  }
  // At most one reset per write: the write sets the flag again.
  if (m_pCollection->StatusUpdateReceiveAction(word, status, statusFn, reserved) == 1 &&
      m_fErrorRecovery.exchange(0) == 1) {
    LogLine(LOG_CAT_INFO, function, kTagInfo,
            "Printer reset processing starts for error recovery.");
    const long reset = restorePrinter(status);
    std::snprintf(text, sizeof text,
                  "Printer reset processing finished because error recoveried. = %ld", reset);
    LogLine(LOG_CAT_INFO, function, kTagInfo, text);
  }
  (void)m_pCollection->PowerStatusRecieveAction(word, status, statusFn, reserved);
  const long code = m_pCollection->GetErrorCode();
  if (code == RJ_ERR_NONE) return;
  std::string errorText;
  m_pCollection->GetErrorInfo(code, &result->resultCode, &result->resultCodeExtended, 1,
                              &result->errorLevel, &errorText);
  m_pDevice->SetErrorNoticeToCore(result->resultCode, result->resultCodeExtended,
                                  result->errorLevel, errorText.c_str());
}

long CSubSO::procCallbackStatus(long* args) {
  const auto* block = reinterpret_cast<PrnProcStatusArgs*>(args);
  if (!m_fInitialised) return OPOS_SUCCESS;
  // The core always passes both records; without them the words still reach the store.
  PrnStatusRecord scratchStatus;
  std::memset(&scratchStatus, 0xFF, sizeof scratchStatus);
  PrnPropertySnapshot scratchResult{};
  PrnStatusRecord* status = block->status ? block->status : &scratchStatus;
  PrnPropertySnapshot* result = block->result ? block->result : &scratchResult;

  if (m_settings.ProcessCompletionTiming) NotifyCompletionResponses();
  DWORD word = 0;
  if (!m_pStatusQueue->PopOldest(&word)) return OPOS_SUCCESS;
  do {
    LogLine(LOG_CAT_INFO, "CSubSO::procCallbackStatus", kTagInfo, "procCallbackStatus",
            "There is data in the callback status queue.");
    ProcessStatusWord(word, status, result);
  } while (m_pStatusQueue->PauseThenPopOldest(kBetweenWordsMs, &word));
  LogLine(LOG_CAT_INFO, "CSubSO::procCallbackStatus", kTagInfo, "procCallbackStatus", "exit");
  return OPOS_SUCCESS;
}
