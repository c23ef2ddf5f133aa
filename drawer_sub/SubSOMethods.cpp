// The OPOS CashDrawer methods: the method table of preMethod/executeMethod, OpenDrawer with
// its drawer-kick pulse, WaitForDrawerClose, CheckHealth, and the refused common methods.
#include <cstring>

#include "DrawerKick.h"
#include "Log.h"
#include "OposCodes.h"
#include "SubSO.h"
#include "TollekApp.h"

namespace tollek {

struct CSubSO::MethodRow {
  long id;
  int words;  // block length: state record first, result record last
  long (*pre)(CSubSO& s, long* w);
  long (*execute)(CSubSO& s, long* w);
};

namespace {

DrwStateRecord* State(long* w) { return reinterpret_cast<DrwStateRecord*>(w[0]); }
DrwResultRecord* Result(long* w, int words) {
  return reinterpret_cast<DrwResultRecord*>(w[words - 1]);
}

struct HealthTexts {
  const char* success;
  const char* failure;
};
// Levels 1 internal, 2 external, 3 interactive (exact texts, blank before the colon).
const HealthTexts kExternalTexts = {"External HCheck : Successful", "External HCheck : Failure"};
const HealthTexts kInteractiveTexts = {"Interactive HCheck : Successful",
                                       "Interactive HCheck : Failure"};
constexpr char kInternalSuccess[] = "Internal HCheck: Successful";

#define UNSUPPORTED_ROW(id, words, preName, executeName)                              \
  {id, words, [](CSubSO& s, long*) { return s.preUnsupported(preName); },            \
   [](CSubSO& s, long* w) { return s.executeUnsupported(executeName, Result(w, words)); }}

const CSubSO::MethodRow kMethods[] = {
    {DRW_METHOD_CHECK_HEALTH, 3,
     [](CSubSO& s, long* w) { return s.preCheckHealth(State(w), w[1], Result(w, 3)); },
     [](CSubSO& s, long* w) { return s.executeCheckHealth(State(w), w[1], Result(w, 3)); }},
    UNSUPPORTED_ROW(DRW_METHOD_COMPARE_FIRMWARE_VERSION, 4, "preCompareFirmwareVersion",
                    "executeCompareFirmwareVersion"),
    UNSUPPORTED_ROW(DRW_METHOD_DIRECT_IO, 5, "preDirectIO", "executeDirectIO"),
    UNSUPPORTED_ROW(DRW_METHOD_RESET_STATISTICS, 3, "preResetStatistics",
                    "executeResetStatistics"),
    UNSUPPORTED_ROW(DRW_METHOD_RETRIEVE_STATISTICS, 3, "preRetrieveStatistics",
                    "executeRetrieveStatistics"),
    UNSUPPORTED_ROW(DRW_METHOD_UPDATE_FIRMWARE, 3, "preUpdateFirmware", "executeUpdateFirmware"),
    UNSUPPORTED_ROW(DRW_METHOD_UPDATE_STATISTICS, 3, "preUpdateStatistics",
                    "executeUpdateStatistics"),
    {DRW_METHOD_OPEN_DRAWER, 2,
     [](CSubSO& s, long* w) { return s.preOpenDrawer(State(w), Result(w, 2)); },
     [](CSubSO& s, long* w) { return s.executeOpenDrawer(State(w), Result(w, 2)); }},
    {DRW_METHOD_WAIT_FOR_DRAWER_CLOSE, 6,
     [](CSubSO& s, long* w) {
       return s.preWaitForDrawerClose(State(w), w[1], w[2], w[3], w[4], Result(w, 6));
     },
     [](CSubSO& s, long* w) {
       return s.executeWaitForDrawerClose(State(w), w[1], w[2], w[3], w[4], Result(w, 6));
     }},
};

#undef UNSUPPORTED_ROW

}  // namespace

const CSubSO::MethodRow* CSubSO::FindMethod(long methodId) {
  for (const MethodRow& row : kMethods)
    if (row.id == methodId) return &row;
  return nullptr;
}

long CSubSO::RunPre(const MethodRow& row, long* block) {
  // The core's records are written without further checks: a missing one is refused.
  if (!block[0] || !block[row.words - 1]) return DRW_E_BAD_CALL;
  return row.pre(*this, block);
}

long CSubSO::RunExecute(const MethodRow& row, long* block) {
  if (!block[0] || !block[row.words - 1]) return DRW_E_BAD_CALL;
  return row.execute(*this, block);
}

// ---- pre phase ----------------------------------------------------------------------------

long CSubSO::preCheckHealth(DrwStateRecord*, long level, DrwResultRecord*) {
  static const char* const kOp = "preCheckHealth";
  Enter(kOp);
  if (!m_fInitialised) return Leave(kOp, DRW_E_BAD_CALL);
  return Leave(kOp, level >= 1 && level <= 3 ? OPOS_SUCCESS : OPOS_E_ILLEGAL);
}

long CSubSO::preOpenDrawer(DrwStateRecord*, DrwResultRecord*) {
  static const char* const kOp = "preOpenDrawer";
  Enter(kOp);
  return Leave(kOp, m_fInitialised ? OPOS_SUCCESS : long(DRW_E_BAD_CALL));
}

long CSubSO::preWaitForDrawerClose(DrwStateRecord*, long, long, long, long, DrwResultRecord*) {
  static const char* const kOp = "preWaitForDrawerClose";
  Enter(kOp);
  return Leave(kOp, m_fInitialised ? OPOS_SUCCESS : long(DRW_E_BAD_CALL));
}

long CSubSO::preUnsupported(const char* name) {
  Enter(name);
  return Leave(name, m_fInitialised ? DRW_E_UNSUPPORTED : DRW_E_BAD_CALL);
}

// ---- execute phase ------------------------------------------------------------------------

long CSubSO::executeUnsupported(const char* name, DrwResultRecord* result) {
  Enter(name);
  result->resultCode = OPOS_E_ILLEGAL;
  return Leave(name, OPOS_E_ILLEGAL);
}

long CSubSO::SendDrawerKick() {
  if (m_state.powerState == OPOS_PS_OFF_OFFLINE) return OPOS_E_NOHARDWARE;  // nothing sent
  BYTE command[kDrawerKickMaxBytes];
  const DWORD length = BuildDrawerKick(m_settings.DrawerNo, m_settings.PulseTime, command);
  return m_driver.WritePrinterData(command, length, DWORD(m_settings.SendTimeout));
}

long CSubSO::executeOpenDrawer(DrwStateRecord*, DrwResultRecord* result) {
  static const char* const kOp = "executeOpenDrawer";
  Enter(kOp);
  result->resultCode = SendDrawerKick();
  return Leave(kOp, result->resultCode);
}

long CSubSO::executeWaitForDrawerClose(DrwStateRecord*, long, long, long, long,
                                       DrwResultRecord* result) {
  static const char* const kOp = "executeWaitForDrawerClose";
  Enter(kOp);
  long code = OPOS_SUCCESS;
  for (bool waited = false;; waited = true) {
    // Reset before the state is read: a status processed from here on sets it again.
    ResetEvent(m_waitEvent.get());
    const long opened = m_state.drawerOpened;
    if (waited && opened == 0) {
      result->waitFlag = 0;  // the drawer was closed while we waited
      break;
    }
    if (m_state.powerState == OPOS_PS_OFF_OFFLINE) {
      code = OPOS_E_NOHARDWARE;
      break;
    }
    if (opened == 0) break;
    if (!m_activated) {
      // No status will come (never activated, deactivated, disconnected or ending): the
      // drawer is not known to be closed, which is no success.
      Line(LOG_CAT_ERROR, kOp, __LINE__, kTagInfo, "The device is not activated.");
      code = OPOS_E_FAILURE;
      break;
    }
    WaitForSingleObject(m_waitEvent.get(), INFINITE);
  }
  result->resultCode = code;
  return Leave(kOp, code);
}

void CSubSO::StoreText(DrwResultRecord* result, const char* text) {
  // Only a text this module handed out is freed: the core may have left its own there.
  if (result->text) (void)TheApp().Texts().Free(result->text);
  result->text = TheApp().Texts().Copy(text);
}

long CSubSO::executeCheckHealth(DrwStateRecord* state, long level, DrwResultRecord* result) {
  static const char* const kOp = "executeCheckHealth";
  Enter(kOp);
  if (level == 1) {
    StoreText(result, kInternalSuccess);
    result->resultCode = OPOS_SUCCESS;
    result->resultCodeExtended = 0;
    return Leave(kOp, OPOS_SUCCESS);
  }
  // Refused by the pre phase; nothing is written.
  if (level != 2 && level != 3) return Leave(kOp, OPOS_E_ILLEGAL);
  const HealthTexts& texts = level == 2 ? kExternalTexts : kInteractiveTexts;
  // The core allows the drawer to be opened as a test only with its flag set.
  const long code = state->checkHealthAllowed ? executeOpenDrawer(state, result)
                                              : long(OPOS_E_CLAIMED);
  result->resultCode = code;
  StoreText(result, code == OPOS_SUCCESS ? texts.success : texts.failure);
  return Leave(kOp, code);
}

}  // namespace tollek
