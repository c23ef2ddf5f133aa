// CRJCollection: what the printer last reported about itself, per device. Turns the 32-bit
// automatic status word into error and paper flags, reports changes to the core's status
// function as StatusUpdate codes, keeps the power state, answers the error gate that every
// printer write and query asks first, and maps internal error codes to OPOS results.
#pragma once
#include "Win.h"

#include <atomic>
#include <string>

#include "OposCodes.h"
#include "PrinterSdk.h"
#include "PrinterSubCallbacks.h"
#include "PrinterSubRecords.h"

class CLogContext;
struct CSubSOSettings;

// Internal error codes: why an operation of the sub-module failed. Only
// CRJCollection::GetErrorInfo turns them into ResultCode, ResultCodeExtended and text.
enum RJErrorCode : long {
  RJ_ERR_NONE = 0,
  RJ_ERR_OFFLINE = 1,
  RJ_ERR_TIMEOUT = 2,
  RJ_ERR_FAILURE = 3,
  RJ_ERR_AUTOCUTTER = 12,
  RJ_ERR_RECEIPT_EMPTY = 15,
  RJ_ERR_JOURNAL_EMPTY = 16,
  RJ_ERR_COVER_OPEN = 17,
  RJ_ERR_HEAD_TEMPERATURE = 18,
  RJ_ERR_BATTERY = 19,
  RJ_ERR_UNRECOVERABLE = 20,
  RJ_ERR_VP_VOLTAGE = 21,
  RJ_ERR_BITMAP_TOO_BIG = 30,
  RJ_ERR_BITMAP_NO_MEMORY = 31,
  RJ_ERR_MARK_PAPER_JAM = 32,
};

// Bits of the status word the store gives a meaning; 0 and exactly 0x80000000 mean offline.
enum RJStatusBit : DWORD {
  RJ_ST_VP_VOLTAGE = 0x01,
  RJ_ST_UNRECOVERABLE = 0x02,
  RJ_ST_HEAD_TEMPERATURE = 0x04,
  RJ_ST_AUTOCUTTER = 0x08,
  RJ_ST_PAPER_END = 0x10,
  RJ_ST_PAPER_NEAR_END = 0x20,
  RJ_ST_MARK_PAPER_JAM = 0x40,
  RJ_ST_COVER_OPEN = 0x80,
  RJ_ST_RESET_REQUEST = 0x400,
  RJ_ST_AUXILIARY = 0x2000,
  RJ_ST_OFFLINE = 0x80000000,
};

using subsupport::IsOfflineStatusWord;

class CRJCollection {
 public:
  // settings: the device's settings (near-end sensor, mark mode, current station), read
  // only; log: the device's log context. Neither is owned; both outlive the store.
  CRJCollection(const CSubSOSettings* settings, const CLogContext* log);
  ~CRJCollection();
  CRJCollection(const CRJCollection&) = delete;
  CRJCollection& operator=(const CRJCollection&) = delete;

  // The core's callback context, passed last to every call of the status function.
  void SetCoreContext(void* context);

  // Clears every error, paper, reset-request and latch flag; power state 2000, no reset
  // cause. The recovery state, paper state and auxiliary flag stay.
  void ResetStatus();
  // Takes the word of the status query at enable: sets the power state and the flags and
  // returns the internal code of the highest-ranking condition (0 when none). Reports nothing.
  [[nodiscard]] long SetInitialStatus(DWORD statusWord);
  // Reports cover, paper and power state through statusFn (with a NULL record), then copies
  // them into the snapshot (may be NULL).
  void ReportCurrentStatus(PrnStatusFn statusFn, PrnPropertySnapshot* snapshot);
  // Decodes an online word: logs and reports every flag change. Returns 1 when the word newly
  // raised an error together with the reset request and no reset cause was latched yet.
  // Offline words change nothing here (they go to PowerStatusRecieveAction).
  [[nodiscard]] long StatusUpdateReceiveAction(DWORD statusWord, PrnStatusRecord* record,
                                               PrnStatusFn statusFn, void* reserved);
  // Power transitions (online 2001, off/offline 2004) and the recovery state. Returns 0.
  long PowerStatusRecieveAction(DWORD statusWord, PrnStatusRecord* record, PrnStatusFn statusFn,
                                void* reserved);

  // The error gate: 0 when the printer may be written to, else the internal code of why not.
  [[nodiscard]] long GetErrorCode();
  // Maps an internal code: always writes resultCode and resultCodeExtended; severity and text
  // only when textWanted is non-zero. Any output may be NULL. Returns 0.
  long GetErrorInfo(long code, long* resultCode, long* resultCodeExtended, long textWanted,
                    long* severity, std::string* text);

  [[nodiscard]] long GetRecoveryState();
  void SetRecoveryState(long state);
  // The latched reset cause (an internal code, 0 when none), cleared by taking it.
  [[nodiscard]] long TakeResetCause();
  // "%d" of the paper state (type 1), the auxiliary flag (type 4) or 0 (any other type).
  void GetCounterText(std::string* text, long type);

  // 2000 unknown, 2001 online, 2004 off/offline.
  [[nodiscard]] long PowerState() const { return m_powerState.load(); }

 private:
  struct FlagRule;
  struct Changes;
  struct ErrorReport;
  struct GateRow;
  static const FlagRule kFlagRules[];        // how each status bit sets a flag
  static const ErrorReport kErrorReports[];  // error flags reported through the record
  static const GateRow kGateOrder[];         // the error gate's order

  bool OnReceipt() const;  // the current station is the receipt
  bool NearEndSensor() const;
  bool MarkMode() const;
  void Log(DWORD category, const char* function, int line, const char* text) const;
  void Report(PrnStatusFn statusFn, PrnStatusRecord* record, long code);
  void DecodeFlags(DWORD statusWord, Changes* changes);
  void ReportErrorFlags(const Changes& changes, PrnStatusRecord* record, PrnStatusFn statusFn);
  void ReportPaper(const Changes& changes, PrnStatusRecord* record, PrnStatusFn statusFn);
  long LatchResetCause(const Changes& changes);

  // Fields 1-17: flags are 0 or 1 (status lock).
  long m_fRecEmpty = 0;
  long m_fRecNearEnd = 0;
  long m_fJrnEmpty = 0;
  long m_fJrnNearEnd = 0;
  long m_fMarkPaperJam = 0;
  long m_fCoverOpen = 0;
  long m_fVpVoltage = 0;
  long m_fUnrecoverable = 0;
  long m_fAutocutter = 0;
  long m_fHeadTemperature = 0;
  long m_fBattery = 0;  // no status bit sets it; only ever cleared
  long m_fResetRequest = 0;
  long m_fResetCauseLatched = 0;
  long m_recoveryState = 0;  // 0 idle, 1 reset under way, 2 offline during it, 3 back online
  long m_paperState = 0;     // 2 for near end plus 1 for paper end, from the last word
  long m_fAuxiliary = 0;
  long m_thirdCounter = 0;

  CRITICAL_SECTION m_statusLock;  // fields above and the reset cause
  CRITICAL_SECTION m_powerLock;   // transitions of the power state; taken before m_statusLock
  const CLogContext* m_log;
  const CSubSOSettings* m_settings;
  // Written under m_powerLock; read without it by the gate, which holds m_statusLock and may
  // not take the power lock after it.
  std::atomic<long> m_powerState{OPOS_PS_UNKNOWN};
  long m_resetCause = 0;
  void* m_coreContext = nullptr;
};
