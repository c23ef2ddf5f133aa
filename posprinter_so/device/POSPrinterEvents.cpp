// The service object's side of event delivery: the queue and its thread, the hidden window,
// and the four firings into the Control Object on its own thread.
#include <memory>

#include "CommDevice.h"
#include "DeviceClaim.h"
#include "LogContext.h"
#include "POSPrinter.h"

namespace {

enum : long { kStateClosed = 1, kStateIdle = 2, kStateBusy = 3, kStateError = 4 };
enum : long { kErrorResponseClear = 12 };

}  // namespace

void CPOSPrinter::DoQueueEvent(COPOSEvent* event) { m_events.Queue(event); }

bool CPOSPrinter::StartEventThread() {
  static const char kFn[] = "CPOSPrinter::DoDeviceEnabled";
  Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "Event thread.", "Begin thread.");
  if (m_events.Start()) return true;
  Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "Failed to begin thread.", "Event thread.");
  return false;
}

void CPOSPrinter::EndEventThread() { m_events.End(); }

size_t CPOSPrinter::PurgeEvents() {
  if (m_events.Count() == 0) return 0;
  Log(LOG_INFO, "CPOSPrinter::Close", __LINE__, TAG_INFO, "Delete event queue data...");
  return m_events.Purge();
}

bool CPOSPrinter::ReleaseErrorWaiters() { return ClearOutputErrors(/*alsoOthers=*/false); }

bool CPOSPrinter::PurgeEventQueue() { return ClearOutputErrors(/*alsoOthers=*/true); }

bool CPOSPrinter::ClearOutputErrors(bool alsoOthers) {
  bool found = false;
  if (m_firingError && m_firingError->Waiter) {
    m_firingError->Waiter->Answer(CErrorWaiter::kClear);
    found = true;
  }
  // The send thread's wait too, while its event is still posted to the window: the output
  // ends now, not when the application's thread gets to that event (which is then stale).
  found = m_claim->AnswerErrorWait(CErrorWaiter::kClear) || found;
  return m_events.RemoveOutputErrors(CErrorWaiter::kClear, alsoOthers) || found;
}

void CPOSPrinter::LogDroppedEvent(const COPOSEvent* event) const {
  Log(LOG_INFO, "CRJDevice::OnCOFireEventNotify", __LINE__, TAG_INFO, "Event dropped.",
      Fmt("%ld", static_cast<long>(event->Kind())));
}

void CPOSPrinter::DeleteEvent(COPOSEvent* event) {
  if (event && event->Kind() >= kEventDirectIO && event->Kind() <= kEventStatusUpdate) delete event;
}

bool CPOSPrinter::CreateHiddenWindow() {
  if (m_window) return true;
  auto window = std::make_unique<CRJDevice>(this, m_channel);
  if (!window->Create()) return false;
  m_window = std::move(window);
  m_events.SetTarget(m_window->Handle());
  return true;
}

void CPOSPrinter::DestroyHiddenWindow() {
  if (!m_window) return;
  m_events.SetTarget(nullptr);
  m_window->Destroy();
  m_window.reset();
}

void CPOSPrinter::ShutDownEvents() {
  EndEventThread();
  DestroyHiddenWindow();
  (void)PurgeEvents();
}

bool CPOSPrinter::TakeFlagWhenIdle() {
  const bool set = m_props.FlagWhenIdle != 0;
  m_props.FlagWhenIdle = 0;
  return set;
}

void CPOSPrinter::WireEventEffects() {
  m_effects.signalEventData = [this] { WakeEventThread(); };
  m_effects.queueStatusUpdate = [this](long status) {
    DoQueueEvent(new CStatusUpdateEvent(status));
  };
  m_effects.markSettingsChanged = [this] {
    if (m_window) m_window->SetSettingsChanged(1);
  };
}

void CPOSPrinter::DoFireDirectIOEventToCO(CDirectIOEvent* event) {
  static const char kFn[] = "CPOSPrinter::DoFireDirectIOEventToCO";
  Log(LOG_INFO, kFn, __LINE__, TAG_ENTER, "SODirectIO");
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "EventNumber", Fmt("%ld", event->EventNumber));
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "pData", Fmt("%ld", event->pData));
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "pString", Fmt("%ls", event->pString.c_str()));
  long data = event->pData;
  BSTR text = SysAllocStringLen(event->pString.data(),
                                static_cast<UINT>(event->pString.size()));
  (void)m_driver.SODirectIO(event->EventNumber, &data, &text);
  SysFreeString(text);  // the Control Object may have replaced it; what is there now is ours
  Log(LOG_INFO, kFn, __LINE__, TAG_EXIT, "SODirectIO");
}

void CPOSPrinter::DoFireErrorEventToCO(CErrorEventExt* event) {
  static const char kFn[] = "CPOSPrinter::DoFireErrorEventToCO";
  Log(LOG_INFO, kFn, __LINE__, TAG_ENTER, "SOError");
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "ResultCode", Fmt("%ld", event->ResultCode));
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "ResultCodeExtended",
      Fmt("%ld", event->ResultCodeExtended));
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "ErrorLocus", Fmt("%ld", event->ErrorLocus));
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "ErrorResponse", Fmt("%ld", event->ErrorResponse));
  SetState(kStateError);
  if (m_window) m_window->SetSettingsChanged(1);
  {
    std::lock_guard<std::mutex> hold(m_errorPropertiesLock);
    m_props.ErrorStation = event->ErrorStation;
    m_props.ErrorLevel = event->ErrorLevel;
    m_props.ErrorString = event->ErrorString;
  }
  m_firingError = event;
  (void)m_driver.SOError(event->ResultCode, event->ResultCodeExtended, event->ErrorLocus,
                         &event->ErrorResponse);
  // Forgotten in every case: the window deletes the event when this returns.
  m_firingError = nullptr;
  if (event->Waiter) {
    const bool clear = event->ErrorResponse == kErrorResponseClear;
    // A disable, release or Close inside the handler answered already and ended the output
    // that failed; what is queued now came after it (a new claim's, a new open's).
    const bool endedInside = event->Waiter->Get() != CErrorWaiter::kNone;
    // Cleared before the application gets its thread back: output it queues once the handler
    // returns is not the output it cleared.
    if (clear && !endedInside && GetState() != kStateClosed) m_channel->ClearAllQueues();
    event->Waiter->Answer(clear ? CErrorWaiter::kClear : CErrorWaiter::kRetry);
    // The output goes on: retried (busy even if a disable that answered 113 set idle), or
    // cleared and then idle.
    std::lock_guard<std::mutex> hold(m_stateLock);
    const bool retried = !clear && m_props.State == kStateIdle;
    if (!endedInside && (m_props.State == kStateError || retried)) m_props.State = kStateBusy;
  }
  Log(LOG_INFO, kFn, __LINE__, TAG_EXIT, "SOError");
}

void CPOSPrinter::DoFireOutputCompleteEventToCO(COutputCompleteEvent* event) {
  static const char kFn[] = "CPOSPrinter::DoFireOutputCompleteEventToCO";
  Log(LOG_INFO, kFn, __LINE__, TAG_ENTER, "SOOutputComplete");
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "OutputID", Fmt("%ld", event->OutputID));
  (void)m_driver.SOOutputComplete(event->OutputID);
  Log(LOG_INFO, kFn, __LINE__, TAG_EXIT, "SOOutputComplete");
}

void CPOSPrinter::DoFireStatusUpdateEventToCO(CStatusUpdateEvent* event) {
  static const char kFn[] = "CPOSPrinter::DoFireStatusUpdateEventToCO";
  Log(LOG_INFO, kFn, __LINE__, TAG_ENTER, "SOStatusUpdate");
  Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, "Status", Fmt("%ld", event->Status));
  (void)m_driver.SOStatusUpdate(event->Status);
  Log(LOG_INFO, kFn, __LINE__, TAG_EXIT, "SOStatusUpdate");
}
