#include "HiddenWindow.h"

#include "CommDevice.h"
#include "DeviceClaim.h"
#include "OPOSEvent.h"
#include "POSPrinter.h"
#include "POSPrinterSOApp.h"
#include "PrinterSubRecords.h"

namespace {

const char kClassName[] = "KVRCORE_CRJDevice";
// Marks a window handed to its own thread to close: it keeps the module loaded until then.
const char kDetachedProperty[] = "KVRCORE_CRJDevice_Detached";

struct Handler {
  UINT (*message)();
  LRESULT (CRJDevice::*handle)(WPARAM, LPARAM);
};
const Handler kMessageMap[] = {
    {&DataSendCompleteMessage, &CRJDevice::OnDataSendComplete},
    {&COFireEventNotifyMessage, &CRJDevice::OnCOFireEventNotify},
    {&QueryRetryMessage, &CRJDevice::OnQueryRetry},
    {&WhenIdleMessage, &CRJDevice::OnWhenIdle},
};

enum : long { kStateIdle = 2 };

}  // namespace

const char CRJDevice::kWindowName[] = "POSPrinter:CRJDevice:KVRCORE:20100314";

CRJDevice::CRJDevice(CPOSPrinter* owner, CCommDevice* channel)
    : m_owner(owner), m_channel(channel) {}

CRJDevice::~CRJDevice() { Destroy(); }

bool CRJDevice::Create() {
  if (m_hwnd.load()) return true;
  // Registered for each window and unregistered after the last one goes: a class left
  // behind would keep this module's window procedure past an unload by COM.
  WNDCLASSA windowClass = {};
  windowClass.style = CS_CLASSDC;
  windowClass.lpfnWndProc = &CRJDevice::WindowProc;
  windowClass.hInstance = CPOSPrinterSOApp::Module();
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);  // ERROR_CLASS_ALREADY_EXISTS while another window lives
  HWND hwnd = CreateWindowExA(0, kClassName, kWindowName, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                              CPOSPrinterSOApp::Module(), nullptr);
  if (!hwnd) return false;
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  m_threadId = GetCurrentThreadId();
  m_hwnd.store(hwnd);
  return true;
}

void CRJDevice::Destroy() {
  HWND hwnd = m_hwnd.exchange(nullptr);
  if (!hwnd) return;
  if (GetCurrentThreadId() != m_threadId) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    // The window runs this module's code until its thread has closed it: COM must not
    // unload the module before then (WM_NCDESTROY gives the lock back).
    CPOSPrinterSOApp::LockApp();
    const bool marked = SetPropA(hwnd, kDetachedProperty, reinterpret_cast<HANDLE>(1));
    if (marked && PostMessageA(hwnd, WM_CLOSE, 0, 0)) return;
    // The window's thread has ended and the window with it: nothing else gives the lock
    // back (unless the window's WM_NCDESTROY took the mark first), nor frees the class.
    if (!marked || RemovePropA(hwnd, kDetachedProperty)) CPOSPrinterSOApp::UnlockApp();
    UnregisterClassA(kClassName, CPOSPrinterSOApp::Module());  // fails while others live
    return;
  }
  // Posted completions and events are handled before the window goes, so none is lost.
  // Only this window's: a peek filtered by window still hands out the thread's WM_QUIT
  // (Wine, like Windows, returns it whatever the filter), which belongs to the application
  // and is posted again.
  MSG message;
  bool quit = false;
  WPARAM quitCode = 0;
  while (PeekMessageA(&message, hwnd, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      quitCode = message.wParam;
      continue;
    }
    if (message.hwnd != hwnd) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  DestroyWindow(hwnd);
  UnregisterClassA(kClassName, CPOSPrinterSOApp::Module());  // fails while others live
}

void CRJDevice::DropCarriedEvent(UINT message, WPARAM wParam, LPARAM lParam) {
  COPOSEvent* event = nullptr;
  if (message == COFireEventNotifyMessage()) event = reinterpret_cast<COPOSEvent*>(wParam);
  if (message == QueryRetryMessage()) event = reinterpret_cast<COPOSEvent*>(lParam);
  if (!event) return;
  if (event->Kind() == kEventError) {
    auto* error = static_cast<CErrorEvent*>(event);
    if (error->Waiter) error->Waiter->Answer(CErrorWaiter::kClear);
  }
  delete event;
}

LRESULT CALLBACK CRJDevice::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCDESTROY && RemovePropA(hwnd, kDetachedProperty)) {
    CPOSPrinterSOApp::UnlockApp();
  }
  auto* self = reinterpret_cast<CRJDevice*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  for (const Handler& row : kMessageMap) {
    if (message != row.message()) continue;
    if (!self) {
      DropCarriedEvent(message, wParam, lParam);
      return 0;
    }
    return (self->*row.handle)(wParam, lParam);
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CRJDevice::OnDataSendComplete(WPARAM, LPARAM outputId) {
  m_owner->ClearErrorProperties();
  m_owner->DoQueueEvent(new COutputCompleteEvent(static_cast<long>(outputId)));
  // The last output done: idle before its event fires, so that a handler of it that
  // disables or releases the device is not refused as busy.
  if (!m_channel->HasPendingOutput()) (void)OnWhenIdle(0, 0);
  return 0;
}

LRESULT CRJDevice::OnCOFireEventNotify(WPARAM wParam, LPARAM) {
  auto* event = reinterpret_cast<COPOSEvent*>(wParam);
  if (!event) return 0;
  CPOSPrinter* owner = m_owner;
  // A Control Object that let go of the object is not called back, nor one that is
  // closing: what is still posted to this window is dropped.
  if (owner->DropsEvents()) {
    owner->LogDroppedEvent(event);
    DropCarriedEvent(COFireEventNotifyMessage(), wParam, 0);
    return 0;
  }
  // The handler may drop the Control Object's last reference and close the device, which
  // destroys this window: the owner lives until the firing is done, and neither it nor
  // this window is used once it is released.
  owner->AddOwnReference();
  FireEvent(owner, event);
  delete event;
  owner->ReleaseOwnReference();
  return 0;
}

void CRJDevice::FireEvent(CPOSPrinter* owner, COPOSEvent* event) {
  switch (event->Kind()) {
    case kEventDirectIO:
      owner->DoFireDirectIOEventToCO(static_cast<CDirectIOEvent*>(event));
      break;
    case kEventError: {
      auto* error = static_cast<CErrorEventExt*>(event);
      // Answered already, or its waiter gave up because the device was disabled after it
      // was posted: the application must not see a stale error.
      const bool stale = error->Waiter && (error->Waiter->Get() != CErrorWaiter::kNone ||
                                           !owner->ClaimObject()->IsEnabled());
      if (!stale) owner->DoFireErrorEventToCO(error);
      break;
    }
    case kEventOutputComplete:
      owner->DoFireOutputCompleteEventToCO(static_cast<COutputCompleteEvent*>(event));
      break;
    case kEventStatusUpdate:
      owner->DoFireStatusUpdateEventToCO(static_cast<CStatusUpdateEvent*>(event));
      break;
    default:
      break;
  }
}

LRESULT CRJDevice::OnQueryRetry(WPARAM, LPARAM errorEvent) {
  m_owner->DoQueueEvent(reinterpret_cast<COPOSEvent*>(errorEvent));
  return 0;
}

LRESULT CRJDevice::OnWhenIdle(WPARAM, LPARAM) {
  // A notice that comes late, after newer output was queued, must not make State idle.
  if (m_channel->HasPendingOutput()) return 0;
  m_owner->SetState(kStateIdle);
  if (m_owner->TakeFlagWhenIdle()) m_owner->DoQueueEvent(new CStatusUpdateEvent(1001));
  return 0;
}

long CRJDevice::IsStatusReportable(const PrnStatusRecord* record, long code) {
  const CPropertyCache& props = m_owner->Properties();
  if (record && !props.Claimed) return 0;
  switch (code) {
    case 11:
    case 12:
      return props.Caps.capCoverSensor;
    case 21:
    case 23:
      return props.Caps.capJrnEmptySensor;
    case 22:
      return props.Caps.capJrnNearEndSensor;
    case 24:
    case 26:
      return props.Caps.capRecEmptySensor;
    case 25:
      return props.Caps.capRecNearEndSensor;
    case 2001:
      m_settingsChanged.store(1);
      return props.PowerNotify == 1 ? 1 : 0;
    case 2004:
      return props.PowerNotify == 1 ? 1 : 0;
    default:
      return 1;
  }
}

void CRJDevice::QueueStatusUpdate(const PrnStatusRecord* record, long code) {
  // Applied first, so the application reads the new values when the event reaches it.
  if (record) m_owner->ApplyStatusRecord(record);
  m_owner->DoQueueEvent(new CStatusUpdateEvent(code));
}
