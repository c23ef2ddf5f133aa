// Status of the drawer: the core's event function and status event, activation, and the
// processing of one queued status word into power and drawer state and events.
#include "Log.h"
#include "OposCodes.h"
#include "StatusTables.h"
#include "SubSO.h"

namespace tollek {

namespace {

// Event codes: the UnifiedPOS StatusUpdate values.
enum : long {
  kEventDrawerClosed = 0,
  kEventDrawerOpen = 1,
  kEventPowerOnline = OPOS_PS_ONLINE,
  kEventPowerOffline = OPOS_PS_OFF_OFFLINE,
};

constexpr DWORD kDrawerSensorBit = 0x8000;

bool IsOfflineWord(DWORD word) { return word == 0 || word == 0x80000000; }

}  // namespace

void CSubSO::setEventFunction(DrwEventFn eventFunction, void* /*unused*/, long userWord) {
  static const char* const kOp = "setEventFunction";
  Enter(kOp);
  m_eventFunction = eventFunction;
  m_userWord = userWord;
  Line(LOG_CAT_INFO, kOp, __LINE__, kTagExit, kOp);
}

long CSubSO::setStatusEventHandle(HANDLE* eventAddress) {
  CStatusTables::Instance().SetEventAddress(m_slot, eventAddress);
  return 0;
}

void CSubSO::EndActivation() {
  InterlockedExchange(&m_activated, 0);
  if (m_waitEvent.valid()) SetEvent(m_waitEvent.get());
}

long CSubSO::activateDevice() {
  static const char* const kOp = "activateDevice";
  Enter(kOp);
  if (!RequireInitialised(kOp)) return Leave(kOp, DRW_E_BAD_CALL);
  if (!m_waitEvent.valid()) {
    Line(LOG_CAT_ERROR, kOp, __LINE__, kTagInfo, "The wait event could not be created.");
    return Leave(kOp, OPOS_E_FAILURE);
  }
  ResetEvent(m_waitEvent.get());
  CStatusTables::Instance().Discard(m_slot);  // words from before this activation are stale
  const long result = m_driver.ActivateDevice(CStatusTables::Thunk(m_slot),
                                              DWORD(m_settings.SendTimeout));
  if (result != 0) {
    EndActivation();
    Line(LOG_CAT_ERROR, kOp, __LINE__, kTagInfo, "Failed to enable printer dll.",
         Format("Return value = %ld", result).c_str());
    return Leave(kOp, result);
  }
  InterlockedExchange(&m_activated, 1);
  return Leave(kOp, OPOS_SUCCESS);
}

long CSubSO::deactivateDevice() {
  static const char* const kOp = "deactivateDevice";
  Enter(kOp);
  if (!RequireInitialised(kOp)) return Leave(kOp, DRW_E_BAD_CALL);
  const long result = m_driver.DeactivateDevice();
  CStatusTables::Instance().Discard(m_slot);
  EndActivation();  // a WaitForDrawerClose still blocked ends now
  if (result != 0) {
    Line(LOG_CAT_ERROR, kOp, __LINE__, kTagInfo, "Failed to disable printer dll.",
         Format("Return value = %ld", result).c_str());
    return Leave(kOp, OPOS_E_FAILURE);
  }
  return Leave(kOp, OPOS_SUCCESS);
}

void CSubSO::FireEvent(long eventCode) {
  static const char* const kOp = "processStatus";
  Line(LOG_CAT_TRACE, kOp, __LINE__, kTagInfo, "StatusUpdate", Format("%ld", eventCode).c_str());
  // Processing before the core registered its event function reports to nobody.
  if (m_eventFunction) m_eventFunction(&m_state, eventCode, m_userWord);
}

long CSubSO::processStatus(DrwStateWords* record) {
  DWORD word = 0;
  if (!CStatusTables::Instance().Take(m_slot, &word)) return 0;
  if (IsOfflineWord(word)) {
    const long was = m_state.powerState;
    m_state.powerState = OPOS_PS_OFF_OFFLINE;
    // Offline is news only after the printer was seen online since the connect.
    if (m_state.statusSeen == 1 && was != OPOS_PS_OFF_OFFLINE) FireEvent(kEventPowerOffline);
    *record = m_state;
    SetEvent(m_waitEvent.get());  // a waiter learns that the printer went away
    return 0;
  }
  m_state.statusSeen = 1;
  const long was = m_state.powerState;
  m_state.powerState = OPOS_PS_ONLINE;
  if (was != OPOS_PS_ONLINE) FireEvent(kEventPowerOnline);
  // The sensor bit reads closed when set, unless the drawer is wired the other way round.
  const bool bit = (word & kDrawerSensorBit) != 0;
  const long opened = (bit == (m_settings.InvertDrawerStatus != 0)) ? 1 : 0;
  if (opened != m_state.drawerOpened) {
    m_state.drawerOpened = opened;
    if (opened) {
      FireEvent(kEventDrawerOpen);
    } else {
      FireEvent(kEventDrawerClosed);
      SetEvent(m_waitEvent.get());
    }
  }
  *record = m_state;
  return 0;
}

}  // namespace tollek
