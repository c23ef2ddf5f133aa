#include "RJCollection.h"

#include <cstdio>

#include "CsHold.h"
#include "Log.h"
#include "LogContext.h"
#include "SubSOSettings.h"

namespace {

constexpr char kFile[] = "RJCollection";

// What an internal error code means to an application.
struct ErrorRow {
  long code;
  long resultCode;
  long resultCodeExtended;
  long severity;
  const char* text;
};
constexpr ErrorRow kErrorTable[] = {
    {RJ_ERR_NONE, OPOS_SUCCESS, 0, OPOS_SEVERITY_NONE, ""},
    {RJ_ERR_OFFLINE, OPOS_E_NOHARDWARE, 0, OPOS_SEVERITY_RECOVERABLE, "Off/Offline error"},
    {RJ_ERR_TIMEOUT, OPOS_E_TIMEOUT, 0, OPOS_SEVERITY_RECOVERABLE, "Time out"},
    {RJ_ERR_FAILURE, OPOS_E_FAILURE, 0, OPOS_SEVERITY_RECOVERABLE, "Failure"},
    {RJ_ERR_AUTOCUTTER, OPOS_E_EXTENDED, KVR_EPTR_AUTOCUTTER, OPOS_SEVERITY_RECOVERABLE,
     "Autocutter error"},
    {RJ_ERR_RECEIPT_EMPTY, OPOS_E_EXTENDED, OPOS_EPTR_REC_EMPTY, OPOS_SEVERITY_RECOVERABLE,
     "Out-of-paper error"},
    {RJ_ERR_JOURNAL_EMPTY, OPOS_E_EXTENDED, OPOS_EPTR_JRN_EMPTY, OPOS_SEVERITY_RECOVERABLE,
     "Out-of-paper error"},
    {RJ_ERR_COVER_OPEN, OPOS_E_EXTENDED, OPOS_EPTR_COVER_OPEN, OPOS_SEVERITY_RECOVERABLE,
     "Cover open error"},
    {RJ_ERR_HEAD_TEMPERATURE, OPOS_E_EXTENDED, KVR_EPTR_HEAD_TEMPERATURE,
     OPOS_SEVERITY_RECOVERABLE, "Head temperature error"},
    {RJ_ERR_BATTERY, OPOS_E_EXTENDED, KVR_EPTR_BATTERY, OPOS_SEVERITY_RECOVERABLE,
     "Battery error"},
    {RJ_ERR_UNRECOVERABLE, OPOS_E_EXTENDED, KVR_EPTR_UNRECOVERABLE, OPOS_SEVERITY_FATAL,
     "Unrecoverable error"},
    {RJ_ERR_VP_VOLTAGE, OPOS_E_EXTENDED, KVR_EPTR_VP_VOLTAGE, OPOS_SEVERITY_RECOVERABLE,
     "Vp voltage error"},
    {RJ_ERR_BITMAP_TOO_BIG, OPOS_E_EXTENDED, OPOS_EPTR_TOOBIG, OPOS_SEVERITY_RECOVERABLE, ""},
    {RJ_ERR_BITMAP_NO_MEMORY, OPOS_E_EXTENDED, KVR_EPTR_MEMORY_TOO_SMALL,
     OPOS_SEVERITY_RECOVERABLE, ""},
    {RJ_ERR_MARK_PAPER_JAM, OPOS_E_EXTENDED, KVR_EPTR_MARK_PAPER_JAM, OPOS_SEVERITY_RECOVERABLE,
     "Mark paper jam error"},
};
constexpr ErrorRow kUnknownError = {-1, OPOS_E_FAILURE, 0, OPOS_SEVERITY_RECOVERABLE, "Failure"};

// StatusUpdate codes of the status function.
enum : long {
  SU_COVER_OPEN = 11,
  SU_COVER_OK = 12,
  SU_JRN_EMPTY = 21,
  SU_JRN_NEAREMPTY = 22,
  SU_JRN_PAPEROK = 23,
  SU_REC_EMPTY = 24,
  SU_REC_NEAREMPTY = 25,
  SU_REC_PAPEROK = 26,
  SU_ERROR_FLAGS = 0,  // an error word of the record changed
};

// The paper codes of the current station.
struct PaperCodes {
  long empty, nearEmpty, ok;
};
PaperCodes PaperCodesOf(bool receipt) {
  return receipt ? PaperCodes{SU_REC_EMPTY, SU_REC_NEAREMPTY, SU_REC_PAPEROK}
                 : PaperCodes{SU_JRN_EMPTY, SU_JRN_NEAREMPTY, SU_JRN_PAPEROK};
}

// record, or scratch with every word -1 when there is none.
PrnStatusRecord* RecordOrScratch(PrnStatusRecord* record, PrnStatusRecord* scratch) {
  if (record) return record;
  FillMemory(scratch, sizeof *scratch, 0xFF);
  return scratch;
}

}  // namespace

// Which flags one status word changed, and the error it newly raised.
struct CRJCollection::Changes {
  bool vp = false, unrecoverable = false, head = false, cutter = false, recEmpty = false,
       jrnEmpty = false, recNear = false, jrnNear = false, mark = false, cover = false,
       resetRequest = false;
  long raise = 0;
  long cause = 0;
};

// One decoded condition of the status word. The paper rows name the receipt's flag first and
// the journal's second; the current station picks one.
struct CRJCollection::FlagRule {
  enum When { kAlways, kNearEndSensor, kMarkMode };
  DWORD bit;
  long CRJCollection::*receiptFlag;
  long CRJCollection::*journalFlag;
  bool Changes::*receiptChanged;
  bool Changes::*journalChanged;
  When when;
  long receiptCode;  // internal code of a new occurrence, 0 for none
  long journalCode;
  bool cancelsRaise;  // the unrecoverable error: no reset for what came with it
  const char* occurred;  // NULL: changed silently
  const char* recovered;
  DWORD occurredCategory;
};

using C = CRJCollection;

const C::FlagRule C::kFlagRules[] = {
    {RJ_ST_VP_VOLTAGE, &C::m_fVpVoltage, &C::m_fVpVoltage, &C::Changes::vp, &C::Changes::vp,
     FlagRule::kAlways, RJ_ERR_VP_VOLTAGE, RJ_ERR_VP_VOLTAGE, false,
     "Vp voltage error has occurred.", "Vp voltage error has recoveried.", LOG_CAT_ERROR},
    {RJ_ST_UNRECOVERABLE, &C::m_fUnrecoverable, &C::m_fUnrecoverable,
     &C::Changes::unrecoverable, &C::Changes::unrecoverable, FlagRule::kAlways, 0, 0, true,
     "A unrecoverable error has occurred.", "Unrecoverable error has recoveried.",
     LOG_CAT_ERROR},
    {RJ_ST_HEAD_TEMPERATURE, &C::m_fHeadTemperature, &C::m_fHeadTemperature,
     &C::Changes::head, &C::Changes::head, FlagRule::kAlways, RJ_ERR_HEAD_TEMPERATURE,
     RJ_ERR_HEAD_TEMPERATURE, false, "A auto-recoverable error has occurred.",
     "Auto-recoverable error has recoveried.", LOG_CAT_ERROR},
    {RJ_ST_AUTOCUTTER, &C::m_fAutocutter, &C::m_fAutocutter, &C::Changes::cutter,
     &C::Changes::cutter, FlagRule::kAlways, RJ_ERR_AUTOCUTTER, RJ_ERR_AUTOCUTTER, false,
     "Autocutter error has occurred.", "Autocutter error has recoveried.", LOG_CAT_ERROR},
    {RJ_ST_PAPER_END, &C::m_fRecEmpty, &C::m_fJrnEmpty, &C::Changes::recEmpty,
     &C::Changes::jrnEmpty, FlagRule::kAlways, RJ_ERR_RECEIPT_EMPTY, RJ_ERR_JOURNAL_EMPTY, false,
     "Out-of-paper error has occurred.", "Out-of-paper error has recoveried.", LOG_CAT_ERROR},
    {RJ_ST_PAPER_NEAR_END, &C::m_fRecNearEnd, &C::m_fJrnNearEnd, &C::Changes::recNear,
     &C::Changes::jrnNear, FlagRule::kNearEndSensor, 0, 0, false,
     "NearEndSensor error has occurred.", "NearEndSensor error has recoveried.", LOG_CAT_INFO},
    {RJ_ST_MARK_PAPER_JAM, &C::m_fMarkPaperJam, &C::m_fMarkPaperJam, &C::Changes::mark,
     &C::Changes::mark, FlagRule::kMarkMode, RJ_ERR_MARK_PAPER_JAM, RJ_ERR_MARK_PAPER_JAM, false,
     "Mark paper jam error has occurred.", "Mark paper jam error has recoveried.",
     LOG_CAT_ERROR},
    {RJ_ST_COVER_OPEN, &C::m_fCoverOpen, &C::m_fCoverOpen, &C::Changes::cover,
     &C::Changes::cover, FlagRule::kAlways, RJ_ERR_COVER_OPEN, RJ_ERR_COVER_OPEN, false,
     "Cover open error has occurred.", "Cover open error has recoveried.", LOG_CAT_ERROR},
    {RJ_ST_RESET_REQUEST, &C::m_fResetRequest, &C::m_fResetRequest, &C::Changes::resetRequest,
     &C::Changes::resetRequest, FlagRule::kAlways, 0, 0, false, nullptr, nullptr, 0},
};

// Error flags reported through the record (code 0, or 11/12 for the cover), in report order.
struct CRJCollection::ErrorReport {
  long CRJCollection::*flag;
  bool CRJCollection::Changes::*changed;
  long PrnStatusRecord::*word;
  long codeSet;
  long codeClear;
};
const C::ErrorReport C::kErrorReports[] = {
    {&C::m_fCoverOpen, &C::Changes::cover, &PrnStatusRecord::coverOpen, SU_COVER_OPEN,
     SU_COVER_OK},
    {&C::m_fMarkPaperJam, &C::Changes::mark, &PrnStatusRecord::markPaperJam, SU_ERROR_FLAGS,
     SU_ERROR_FLAGS},
    {&C::m_fVpVoltage, &C::Changes::vp, &PrnStatusRecord::vpVoltageError, SU_ERROR_FLAGS,
     SU_ERROR_FLAGS},
    {&C::m_fAutocutter, &C::Changes::cutter, &PrnStatusRecord::autocutterError, SU_ERROR_FLAGS,
     SU_ERROR_FLAGS},
    {&C::m_fHeadTemperature, &C::Changes::head, &PrnStatusRecord::headTemperatureError,
     SU_ERROR_FLAGS, SU_ERROR_FLAGS},
};

// The gate's order: the first flag set gives the code.
struct CRJCollection::GateRow {
  long CRJCollection::*flag;
  long code;
};
const C::GateRow C::kGateOrder[] = {
    {&C::m_fUnrecoverable, RJ_ERR_UNRECOVERABLE},
    {&C::m_fBattery, RJ_ERR_BATTERY},
    {&C::m_fHeadTemperature, RJ_ERR_HEAD_TEMPERATURE},
    {&C::m_fVpVoltage, RJ_ERR_VP_VOLTAGE},
    {&C::m_fAutocutter, RJ_ERR_AUTOCUTTER},
    {&C::m_fCoverOpen, RJ_ERR_COVER_OPEN},
    {&C::m_fJrnEmpty, RJ_ERR_JOURNAL_EMPTY},
    {&C::m_fRecEmpty, RJ_ERR_RECEIPT_EMPTY},
    {&C::m_fMarkPaperJam, RJ_ERR_MARK_PAPER_JAM},
};

CRJCollection::CRJCollection(const CSubSOSettings* settings, const CLogContext* log)
    : m_log(log), m_settings(settings) {
  InitializeCriticalSection(&m_statusLock);
  InitializeCriticalSection(&m_powerLock);
}

CRJCollection::~CRJCollection() {
  DeleteCriticalSection(&m_powerLock);
  DeleteCriticalSection(&m_statusLock);
}

void CRJCollection::SetCoreContext(void* context) { m_coreContext = context; }

bool CRJCollection::OnReceipt() const { return !m_settings || m_settings->CurrentStation == 2; }
bool CRJCollection::NearEndSensor() const { return m_settings && m_settings->NearEnd == 1; }
bool CRJCollection::MarkMode() const { return m_settings && m_settings->MarkMode == 1; }

void CRJCollection::Log(DWORD category, const char* function, int line, const char* text) const {
  WriteLogLine(m_log, category, function, kFile, line, kTagInfo, text, "");
}

void CRJCollection::Report(PrnStatusFn statusFn, PrnStatusRecord* record, long code) {
  if (statusFn) statusFn(record, code, m_coreContext);
}

void CRJCollection::ResetStatus() {
  subsupport::CsHold power(&m_powerLock);
  subsupport::CsHold status(&m_statusLock);
  for (long C::*flag : {&C::m_fRecEmpty, &C::m_fRecNearEnd, &C::m_fJrnEmpty, &C::m_fJrnNearEnd,
                        &C::m_fMarkPaperJam, &C::m_fCoverOpen, &C::m_fVpVoltage,
                        &C::m_fUnrecoverable, &C::m_fAutocutter, &C::m_fHeadTemperature,
                        &C::m_fBattery, &C::m_fResetRequest, &C::m_fResetCauseLatched}) {
    this->*flag = 0;
  }
  m_powerState = OPOS_PS_UNKNOWN;
  m_resetCause = 0;
}

long CRJCollection::SetInitialStatus(DWORD word) {
  long result;
  {
    subsupport::CsHold power(&m_powerLock);
    const bool offline = IsOfflineStatusWord(word);
    m_powerState = offline ? OPOS_PS_OFF_OFFLINE : OPOS_PS_ONLINE;
    result = offline ? RJ_ERR_OFFLINE : RJ_ERR_NONE;
  }
  subsupport::CsHold status(&m_statusLock);
  const bool receipt = OnReceipt();
  // Later tests outrank earlier ones: the unrecoverable error is tested last.
  struct Initial {
    DWORD bit;
    bool enabled;
    long* flag;
    long code;  // 0: the flag is set but the result stays
  };
  const Initial tests[] = {
      {RJ_ST_HEAD_TEMPERATURE, true, &m_fHeadTemperature, RJ_ERR_HEAD_TEMPERATURE},
      {RJ_ST_PAPER_END, true, receipt ? &m_fRecEmpty : &m_fJrnEmpty,
       receipt ? RJ_ERR_RECEIPT_EMPTY : RJ_ERR_JOURNAL_EMPTY},
      {RJ_ST_PAPER_NEAR_END, NearEndSensor(), receipt ? &m_fRecNearEnd : &m_fJrnNearEnd, 0},
      {RJ_ST_MARK_PAPER_JAM, MarkMode(), &m_fMarkPaperJam, RJ_ERR_MARK_PAPER_JAM},
      {RJ_ST_COVER_OPEN, true, &m_fCoverOpen, RJ_ERR_COVER_OPEN},
      {RJ_ST_AUTOCUTTER, true, &m_fAutocutter, RJ_ERR_AUTOCUTTER},
      {RJ_ST_VP_VOLTAGE, true, &m_fVpVoltage, RJ_ERR_VP_VOLTAGE},
      {RJ_ST_UNRECOVERABLE, true, &m_fUnrecoverable, RJ_ERR_UNRECOVERABLE},
  };
  for (const Initial& t : tests) {
    if (!t.enabled || !(word & t.bit)) continue;
    *t.flag = 1;
    if (t.code != 0) result = t.code;
  }
  return result;
}

void CRJCollection::ReportCurrentStatus(PrnStatusFn statusFn, PrnPropertySnapshot* snapshot) {
  long cover, jrnEmpty, jrnNear, recEmpty, recNear, power;
  {
    subsupport::CsHold status(&m_statusLock);
    Report(statusFn, nullptr, m_fCoverOpen ? SU_COVER_OPEN : SU_COVER_OK);
    const bool receipt = OnReceipt();
    const long empty = receipt ? m_fRecEmpty : m_fJrnEmpty;
    const long nearEnd = receipt ? m_fRecNearEnd : m_fJrnNearEnd;
    const PaperCodes codes = PaperCodesOf(receipt);
    Report(statusFn, nullptr, empty ? codes.empty : nearEnd ? codes.nearEmpty : codes.ok);
    power = m_powerState;
    Report(statusFn, nullptr, power);
    cover = m_fCoverOpen;
    jrnEmpty = m_fJrnEmpty;
    jrnNear = m_fJrnNearEnd;
    recEmpty = m_fRecEmpty;
    recNear = m_fRecNearEnd;
  }
  if (!snapshot) return;
  snapshot->coverOpen = cover;
  snapshot->jrnEmpty = jrnEmpty;
  snapshot->jrnNearEnd = jrnNear;
  snapshot->recEmpty = recEmpty;
  snapshot->recNearEnd = recNear;
  snapshot->powerState = power;
}

long CRJCollection::StatusUpdateReceiveAction(DWORD word, PrnStatusRecord* record,
                                              PrnStatusFn statusFn, void* /*reserved*/) {
  if (IsOfflineStatusWord(word)) return 0;  // offline words carry no flags
  PrnStatusRecord scratch;
  record = RecordOrScratch(record, &scratch);
  subsupport::CsHold status(&m_statusLock);
  Changes changes;
  DecodeFlags(word, &changes);
  m_paperState = ((word & RJ_ST_PAPER_NEAR_END) ? 2 : 0) + ((word & RJ_ST_PAPER_END) ? 1 : 0);
  m_fAuxiliary = (word & RJ_ST_AUXILIARY) ? 1 : 0;
  ReportErrorFlags(changes, record, statusFn);
  ReportPaper(changes, record, statusFn);
  // Whether every error has now gone cannot change the answer: a word that raised an error
  // leaves that error set.
  return LatchResetCause(changes);
}

void CRJCollection::DecodeFlags(DWORD word, Changes* changes) {
  const bool receipt = OnReceipt();
  static const char* const kFunction = "CRJCollection::StatusUpdateReceiveAction";
  for (const FlagRule& r : kFlagRules) {
    const bool enabled = r.when == FlagRule::kAlways || (r.when == FlagRule::kNearEndSensor && NearEndSensor()) ||
                         (r.when == FlagRule::kMarkMode && MarkMode());
    const bool holds = enabled && (word & r.bit) != 0;
    long& flag = this->*(receipt ? r.receiptFlag : r.journalFlag);
    if (holds == (flag != 0)) continue;
    flag = holds ? 1 : 0;
    changes->*(receipt ? r.receiptChanged : r.journalChanged) = true;
    if (holds) {
      if (r.occurred) Log(r.occurredCategory, kFunction, __LINE__, r.occurred);
      const long code = receipt ? r.receiptCode : r.journalCode;
      if (r.cancelsRaise) {
        changes->raise = 0;
      } else if (code != 0) {
        changes->raise = 1;
        changes->cause = code;
      }
    } else if (r.recovered) {
      Log(LOG_CAT_INFO, kFunction, __LINE__, r.recovered);
    }
  }
}

void CRJCollection::ReportErrorFlags(const Changes& changes, PrnStatusRecord* record,
                                     PrnStatusFn statusFn) {
  for (const ErrorReport& e : kErrorReports) {
    if (!(changes.*e.changed)) continue;
    const long value = this->*e.flag;
    record->*e.word = value;
    Report(statusFn, record, value ? e.codeSet : e.codeClear);
  }
}

void CRJCollection::ReportPaper(const Changes& changes, PrnStatusRecord* record,
                                PrnStatusFn statusFn) {
  const bool receipt = OnReceipt();
  const bool nearChanged = receipt ? changes.recNear : changes.jrnNear;
  const bool emptyChanged = receipt ? changes.recEmpty : changes.jrnEmpty;
  const bool nearEnd = (receipt ? m_fRecNearEnd : m_fJrnNearEnd) != 0;
  const bool empty = (receipt ? m_fRecEmpty : m_fJrnEmpty) != 0;
  long& nearWord = receipt ? record->recNearEnd : record->jrnNearEnd;
  long& emptyWord = receipt ? record->recEmpty : record->jrnEmpty;
  const PaperCodes codes = PaperCodesOf(receipt);
  // Every rule that matches reports; one word can bring a near-end and an empty event.
  struct PaperRule {
    bool matches;
    long nearEndWord, emptyWord, code;
  };
  const PaperRule rules[] = {
      {nearChanged && nearEnd && !empty, 1, 0, codes.nearEmpty},
      {emptyChanged && empty, 0, 1, codes.empty},
      {nearChanged && !nearEnd && !empty, 0, 0, codes.ok},
      {emptyChanged && nearEnd && !empty, 1, 0, codes.nearEmpty},
      {emptyChanged && !nearEnd && !empty, 0, 0, codes.ok},
  };
  for (const PaperRule& r : rules) {
    if (!r.matches) continue;
    nearWord = r.nearEndWord;
    emptyWord = r.emptyWord;
    Report(statusFn, record, r.code);
  }
}

long CRJCollection::LatchResetCause(const Changes& changes) {
  if (m_fResetRequest && changes.raise == 1) {
    if (m_fResetCauseLatched) return 0;
    m_fResetCauseLatched = 1;
    m_resetCause = changes.cause;
    return 1;
  }
  m_fResetCauseLatched = 0;
  return 0;
}

long CRJCollection::PowerStatusRecieveAction(DWORD word, PrnStatusRecord* record,
                                             PrnStatusFn statusFn, void* /*reserved*/) {
  static const char* const kFunction = "CRJCollection::PowerStatusRecieveAction";
  PrnStatusRecord scratch;
  record = RecordOrScratch(record, &scratch);
  subsupport::CsHold power(&m_powerLock);
  if (IsOfflineStatusWord(word)) {
    if (m_powerState == OPOS_PS_OFF_OFFLINE) return 0;
    Log(LOG_CAT_ERROR, kFunction, __LINE__, "Offline detected.");
    m_powerState = OPOS_PS_OFF_OFFLINE;
    if (GetRecoveryState() == 1) {
      SetRecoveryState(2);  // offline because of the recovery reset: not reported
    } else {
      record->powerState = OPOS_PS_OFF_OFFLINE;
      Report(statusFn, record, OPOS_PS_OFF_OFFLINE);
    }
    return 0;
  }
  if (m_powerState != OPOS_PS_ONLINE) {
    Log(LOG_CAT_INFO, kFunction, __LINE__, "Online detected.");
    m_powerState = OPOS_PS_ONLINE;
    record->powerState = OPOS_PS_ONLINE;
    Report(statusFn, record, OPOS_PS_ONLINE);
    const long recovery = GetRecoveryState();
    if (recovery == 1 || recovery == 2) SetRecoveryState(3);
  }
  if (GetErrorCode() == RJ_ERR_FAILURE && GetRecoveryState() == 3) SetRecoveryState(0);
  return 0;
}

long CRJCollection::GetErrorCode() {
  subsupport::CsHold status(&m_statusLock);
  long code = RJ_ERR_NONE;
  for (const GateRow& g : kGateOrder) {
    if (this->*g.flag) {
      code = g.code;
      break;
    }
  }
  const long recovery = GetRecoveryState();
  if (code == RJ_ERR_NONE && recovery != 0) code = RJ_ERR_FAILURE;
  if (m_powerState.load() == OPOS_PS_OFF_OFFLINE && recovery == 0) code = RJ_ERR_OFFLINE;
  return code;
}

long CRJCollection::GetErrorInfo(long code, long* resultCode, long* resultCodeExtended,
                                 long textWanted, long* severity, std::string* text) {
  const ErrorRow* row = &kUnknownError;
  for (const ErrorRow& r : kErrorTable) {
    if (r.code == code) row = &r;
  }
  if (resultCode) *resultCode = row->resultCode;
  if (resultCodeExtended) *resultCodeExtended = row->resultCodeExtended;
  if (textWanted) {
    if (severity) *severity = row->severity;
    if (text) *text = row->text;
  }
  return 0;
}

long CRJCollection::GetRecoveryState() {
  subsupport::CsHold status(&m_statusLock);
  return m_recoveryState;
}

void CRJCollection::SetRecoveryState(long state) {
  subsupport::CsHold status(&m_statusLock);
  m_recoveryState = state;
}

long CRJCollection::TakeResetCause() {
  subsupport::CsHold status(&m_statusLock);
  const long cause = m_resetCause;
  m_resetCause = 0;
  return cause;
}

void CRJCollection::GetCounterText(std::string* text, long type) {
  if (!text) return;
  subsupport::CsHold status(&m_statusLock);
  const long value = type == 1 ? m_paperState : type == 4 ? m_fAuxiliary : m_thirdCounter;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value));
  *text = buffer;
}
