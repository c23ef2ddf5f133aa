// The device's life as the Control Object drives it: OpenService, Claim, enabling and
// disabling, Release and Close. Each failed step undoes what the same call made before it.
#include <memory>

#include "BstrText.h"
#include "CommDevice.h"
#include "DeviceClaim.h"
#include "LogContext.h"
#include "POSPrinter.h"
#include "VasselinVersion.h"

namespace {

enum : long { kStateClosed = 1, kStateIdle = 2, kStateBusy = 3, kStateError = 4 };
constexpr long kPowerUnknown = 2000;
constexpr int kCloseIdleWaits = 30;
constexpr DWORD kCloseIdleWaitMs = 100;

}  // namespace

long CPOSPrinter::OpenService(BSTR /*deviceClass*/, BSTR deviceName, IDispatch* controlObject) {
  static const char kFn[] = "CPOSPrinter::OpenService";
  const std::string name = BstrToAnsi(deviceName);
  if (GetState() != kStateClosed) {
    // Binding again would free the sub-module while the worker threads still call it.
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "The device is open already.");
    return SetResultCode(OPOS_E_ILLEGAL, 0, "OpenService");
  }
  if (!ApplyDeviceSettings(name)) {
    m_props.OpenResult = OPEN_RESULT_NO_DEVICE_KEY;
    // No key, no settings: a log context that writes nothing.
    m_logContext->Configure(name, /*dumpSize=*/256, /*retentionDays=*/1, /*level=*/-1, "");
    return SetResultCode(OPOS_E_NOSERVICE, 0, "");
  }
  Log(LOG_INFO, kFn, __LINE__, TAG_ENTER, "OpenService");
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "DeviceName", name);
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "Version:", VASSELIN_VERSION_TEXT);

  if (!CreateHiddenWindow()) {
    m_props.OpenResult = OPEN_RESULT_NO_SUBMODULE;
    return SetResultCode(OPOS_E_FAILURE, 0, "OpenService");
  }
  // No reference of our own: the Control Object holds this object, and a reference back
  // would keep both alive for good when it is dropped without Close.
  m_driver.Attach(controlObject);
  if (FAILED(m_driver.LookUpEventIds())) {
    m_driver.Release();
    DestroyHiddenWindow();
    m_props.OpenResult = OPEN_RESULT_NO_CO_EVENTS;
    return SetResultCode(OPOS_E_NOSERVICE, 0, "OpenService");
  }
  if (!LoadSubSO()) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Failed to connect with Sub SO DLL.");
    DestroyHiddenWindow();
    m_driver.Release();
    m_props.OpenResult = OPEN_RESULT_NO_SUBMODULE;
    return SetResultCode(OPOS_E_NOSERVICE, 0, "OpenService");
  }
  if (!m_claim->Register(this, name, m_cutDistance, m_lineEndFlags, m_resolution)) {
    // A claim that can't be guarded across processes is no service either.
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Failed to create the claim semaphore.",
        Fmt("%lu", GetLastError()));
    UnloadSubSO();
    DestroyHiddenWindow();
    m_driver.Release();
    m_props.OpenResult = OPEN_RESULT_NO_SUBMODULE;
    return SetResultCode(OPOS_E_NOSERVICE, 0, "OpenService");
  }
  SetState(kStateIdle);
  m_props.OutputID = 0;
  m_channel->ResetOutputID();
  m_channel->ClearAllQueues();
  ResetStationBuffers();
  return SetResultCode(OPOS_SUCCESS, 0, "OpenService");
}

BOOL CPOSPrinter::LoadSubSO() {
  static const char kFn[] = "CPOSPrinter::LoadSubSO";
  if (m_settings.m_subSODLLPath.empty()) return FALSE;
  SetLastError(0);
  if (!m_window->LoadSubSODLL(m_settings.m_subSODLLPath.c_str())) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Failed to load Sub SO DLL.");
    return FALSE;
  }
  PrnInputProperty* record = CreateInputProperty();
  PrnPropertySnapshot* snapshot = BuildPropertySnapshot(record);
  if (m_window->InitializeSubSO(m_settings.m_deviceName.c_str(), m_props.ServiceObjectVersion,
                                snapshot) != OPOS_SUCCESS) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Failed to initialize Sub SO DLL.");
    if (!m_window->UnloadSubSODLL()) {
      Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Failed to unload Sub SO DLL.");
    }
    FreePropertyRecord(record);
    DeleteSnapshot(snapshot);  // the sub-module that filled it is gone
    return FALSE;
  }
  FreePropertyRecord(record);
  FreePropertySnapshot(snapshot);  // what initSubSO set reaches the cache
  // Applied whatever the request answered: a failed one leaves every capability 0.
  auto block = std::make_unique<PrnCapabilityBlock>();
  *block = PrnCapabilityBlock{};
  (void)m_channel->GetCapability(block.get());
  ApplyCapabilityBlock(block.get());
  long cutDistance = 0, lineEndFlags = 0, resolution = 0;
  (void)m_channel->OtherMethod1011(&cutDistance, &lineEndFlags, &resolution);
  SetFixedPrinterParameters(cutDistance, lineEndFlags, resolution);
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "Successful link to SubSO DLL.");
  return TRUE;
}

void CPOSPrinter::UnloadSubSO() {
  static const char kFn[] = "CPOSPrinter::Close";
  if (m_channel->IsBound() && !m_channel->TerminateSubSO()) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Failed to terminate Sub SO DLL.");
  }
  (void)m_channel->UnloadSubSODLL();
}

void CPOSPrinter::ResetStationBuffers() {
  DiscardStationBuffers();
  if (m_window) m_window->SetSettingsChanged(0);
}

long CPOSPrinter::Claim(long timeout) {
  static const char kFn[] = "CPOSPrinter::Claim";
  Log(LOG_INFO, kFn, __LINE__, TAG_ENTER, "ClaimDevice");
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "Timeout", Fmt("%ld", timeout));
  if (m_props.Claimed) return SetResultCode(OPOS_SUCCESS, 0, "ClaimDevice");
  // Without OpenService there is no claim semaphore to wait on.
  if (GetState() == kStateClosed) return SetResultCode(OPOS_E_CLOSED, 0, "ClaimDevice");
  if (timeout < -1) return SetResultCode(OPOS_E_ILLEGAL, 0, "ClaimDevice");
  if (!m_claim->Lock(timeout, this)) return SetResultCode(OPOS_E_TIMEOUT, 0, "ClaimDevice");
  SetPowerState(kPowerUnknown);
  PrnInputProperty* record = CreateInputProperty();
  (void)m_channel->OtherMethod1016(record);
  long result = m_channel->ConnectPrinter();
  if (result != OPOS_SUCCESS) {
    FreePropertyRecord(record);
    m_claim->Unlock(this);
    return SetResultCode(result, 0, "ClaimDevice");
  }
  // An event that can't be made answers 107 before any thread runs on it.
  if (!m_channel->CreateQueueEvents()) {
    result = OPOS_E_NOHARDWARE;
  } else if (!m_channel->StartAllThreads()) {
    result = OPOS_E_ILLEGAL;
  }
  PrnPropertySnapshot* snapshot = nullptr;
  if (result == OPOS_SUCCESS) {
    snapshot = BuildPropertySnapshot(record);
    result = m_channel->OtherMethod1001(record, snapshot);
  }
  if (result != OPOS_SUCCESS) {
    // Threads first: none may use the printer or the events after they are gone.
    (void)m_channel->StopAllThreads();
    (void)m_channel->ClosePrinter();
    m_channel->CloseQueueEvents();
  }
  FreePropertyRecord(record);
  FreePropertySnapshot(snapshot);  // applied on success and failure alike
  if (result != OPOS_SUCCESS) {
    m_claim->Unlock(this);
    return SetResultCode(result, 0, "ClaimDevice");
  }
  m_props.Claimed = 1;
  return SetResultCode(OPOS_SUCCESS, 0, "ClaimDevice");
}

void CPOSPrinter::DoDeviceEnabled(bool enable) {
  if ((m_props.DeviceEnabled != 0) == enable) {
    (void)SetResultCode(OPOS_SUCCESS, 0, "");
    return;
  }
  if (enable) {
    EnableDevice();
  } else {
    DisableDevice();
  }
}

void CPOSPrinter::EnableDevice() {
  static const char kFn[] = "CPOSPrinter::DoDeviceEnabled";
  (void)m_events.Purge();  // what was queued before enabling is not reported
  if (!StartEventThread()) {
    (void)SetResultCode(OPOS_E_NOHARDWARE, 0, "DeviceEnabled");
    return;
  }
  PrnInputProperty* record = CreateInputProperty();
  PrnPropertySnapshot* snapshot = BuildPropertySnapshot(record);
  const long result = m_channel->OtherMethod1024(record, snapshot);
  if (result != OPOS_SUCCESS) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Failed to enable device");
    const long extended = snapshot->resultCodeExtended;
    EndEventThread();
    FreePropertyRecord(record);
    ApplyEnableSnapshot(snapshot);  // still disabled: no power state taken from it
    (void)SetResultCode(result, extended, "DeviceEnabled");
    return;
  }
  m_props.DeviceEnabled = 1;
  if (m_window) m_window->SetSettingsChanged(1);
  m_claim->SetEnabled(true);
  FreePropertyRecord(record);
  ApplyEnableSnapshot(snapshot);
  (void)ApplyFlagWhenIdle(m_props.FlagWhenIdle);
  (void)SetResultCode(OPOS_SUCCESS, 0, "DeviceEnabled");
}

void CPOSPrinter::DisableDevice() {
  static const char kFn[] = "CPOSPrinter::DoDeviceEnabled";
  const long state = GetState();
  if (state == kStateBusy || state == kStateError) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "State busy or error", "DeviceDisabled");
    // Idle even while output is pending (a confirmation that never comes): the next
    // disable then succeeds and answers a waiting output error with clear.
    SetState(kStateIdle);
    (void)SetResultCode(OPOS_E_BUSY, 0, "DeviceEnabled");
    return;
  }
  (void)m_channel->OtherMethod1002();
  EndEventThread();
  // Answered clear and taken out of the queue: no stale ErrorEvent after the disable.
  ReleaseErrorWaiters();
  SetPowerState(kPowerUnknown);
  m_props.DeviceEnabled = 0;
  m_claim->SetEnabled(false);
  (void)SetResultCode(OPOS_SUCCESS, 0, "DeviceEnabled");
}

long CPOSPrinter::ReleaseDevice() {
  static const char kFn[] = "CPOSPrinter::ReleaseDevice";
  Log(LOG_INFO, kFn, __LINE__, TAG_ENTER, "ReleaseDevice");
  const long state = GetState();
  if (state == kStateClosed) return SetResultCode(OPOS_E_CLOSED, 0, "ReleaseDevice");
  if (state == kStateBusy || state == kStateError) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "State busy or error", "Release");
    SetState(kStateIdle);  // as for disabling: the next Release succeeds
    return SetResultCode(OPOS_E_BUSY, 0, "ReleaseDevice");
  }
  if (!m_props.Claimed) return SetResultCode(OPOS_E_ILLEGAL, 0, "ReleaseDevice");
  if (m_props.DeviceEnabled) DoDeviceEnabled(false);
  // The receive thread writes its start values back as it ends; the application's keep.
  long block[kSavedPropertyWords] = {};
  long saved = 0;
  SaveRestoreProperties(block, &saved);
  (void)m_channel->StopAllThreads();
  SaveRestoreProperties(block, &saved);
  (void)m_channel->ClosePrinter();
  m_channel->CloseQueueEvents();
  m_claim->Unlock(this);
  m_props.Claimed = 0;
  return SetResultCode(OPOS_SUCCESS, 0, "ReleaseDevice");
}

long CPOSPrinter::Close() {
  static const char kFn[] = "CPOSPrinter::Close";
  Log(LOG_INFO, kFn, __LINE__, TAG_ENTER, "Close");
  if (GetState() == kStateClosed) return SetResultCode(OPOS_E_CLOSED, 0, "Close");
  // Called again before this Close ended (nothing is fired meanwhile, so no handler of ours
  // does it): the outer Close is using the window and ends everything itself.
  if (m_closing.load()) return SetResultCode(OPOS_SUCCESS, 0, "Close");
  m_closing.store(true);
  // Only the window on this very thread would set State idle, so the wait looks at the
  // output itself; an output error fired to the handler that is closing now waits for
  // this thread, and waiting for it is pointless.
  auto busyOrError = [this] {
    const long state = GetState();
    return (state == kStateBusy || state == kStateError) && !m_firingError &&
           m_channel->HasPendingOutput();
  };
  for (int waits = 0; waits < kCloseIdleWaits && busyOrError(); ++waits) {
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "Wait for state idle...");
    Sleep(kCloseIdleWaitMs);
  }
  // Output may have ended during the last sleep.
  if (busyOrError()) Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "State busy to idle");
  SetState(kStateIdle);
  if (m_props.Claimed) (void)ReleaseDevice();
  // Nothing may post to the window or read it once it is gone.
  (void)m_channel->StopAllThreads();
  EndEventThread();
  (void)m_channel->ReleaseImageHandles();
  ResetStationBuffers();
  m_channel->ClearAllQueues();
  UnloadSubSO();
  m_claim->Unregister(this);
  DestroyHiddenWindow();
  (void)PurgeEvents();
  SetState(kStateClosed);
  m_driver.Release();
  m_closing.store(false);
  return SetResultCode(OPOS_SUCCESS, 0, "Close");
}

void CPOSPrinter::WireLifecycleEffects() {
  m_effects.setDeviceEnabled = [this](bool enable) { DoDeviceEnabled(enable); };
  m_effects.selectCharacterSet = [this](long characterSet) {
    return m_window ? m_window->SetCharacterSet(characterSet) : OPOS_E_FAILURE;
  };
  m_effects.selectLineChars = [this](long station, long lineChars) {
    if (!m_window) return static_cast<long>(OPOS_E_FAILURE);
    const bool receipt = station == 2;
    return m_window->ApplyLineChars(station, lineChars,
                                    receipt ? m_props.RecLineWidth : m_props.JrnLineWidth,
                                    receipt ? m_props.RecLineCharsList : m_props.JrnLineCharsList);
  };
  m_effects.recomputePageModeArea = [this] {
    PrnInputProperty* record = CreateInputProperty();
    PrnPropertySnapshot* snapshot = BuildPropertySnapshot(record);
    const long result = m_channel->OtherMethod1021(record, snapshot);
    FreePropertyRecord(record);
    FreePropertySnapshot(snapshot);  // brings PageModeArea and PageModePrintArea back
    return result;
  };
}
