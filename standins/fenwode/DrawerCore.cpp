#include "DrawerCore.h"

#include <chrono>

namespace fenwode {

namespace {

constexpr long kSentinel = -7;  // no state word the drawer writes has this value

}  // namespace

DrawerCore::DrawerCore()
    : statusEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  statusEventWord_ = statusEvent_.get();
  state_.checkHealthAllowed = 1;
}

DrawerCore::~DrawerCore() {
  if (enabled_) (void)Disable();
  if (claimed_) (void)Release();
  if (open_) Close();
  StopStatusThread();
}

bool DrawerCore::Load(const char* path) {
  module_.reset(LoadLibraryA(path));
  if (!module_.valid()) return false;
  void** slots = reinterpret_cast<void**>(&exports_);
  for (int i = 0; i < 9; ++i) {
    slots[i] = reinterpret_cast<void*>(GetProcAddress(module_.get(), kDrwExportNames[i]));
    if (!slots[i]) {
      module_.reset();
      return false;
    }
  }
  return true;
}

long DrawerCore::Open(const char* deviceName, long coreVersion) {
  init_ = DrwInitRecord{};
  long slot = -1;
  const long result = exports_.initSubSO(deviceName, coreVersion, &init_, &slot);
  if (slot >= 0) {  // a failed initialisation keeps the slot until it is terminated
    slot_ = slot;
    open_ = true;
  }
  if (result != 0) return result;
  DrwEventFunctionRecord events{nullptr, &DrawerCore::OnEvent};
  const long r1 = exports_.setCallbackFunction(DRW_CALLBACK_EVENT_FUNCTION,
                                               reinterpret_cast<void**>(&events), slot_,
                                               reinterpret_cast<long>(this));
  DrwStatusEventRecord status{&statusEventWord_};
  const long r2 = exports_.setCallbackFunction(DRW_CALLBACK_STATUS_EVENT,
                                               reinterpret_cast<void**>(&status), slot_, 0);
  return r1 != 0 ? r1 : r2;
}

long DrawerCore::Claim() {
  const long result = exports_.connectPrinter(slot_);
  claimed_ = result == 0;
  return result;
}

long DrawerCore::Enable() {
  StopStatusThread();  // enabling again: a running thread must not be overwritten
  ResetEvent(stopEvent_.get());
  statusThread_ = std::thread([this] { StatusLoop(); });
  const long result = exports_.otherMethod(DRW_SERVICE_ACTIVATE_DEVICE, nullptr, slot_);
  enabled_ = result == 0;
  if (!enabled_) StopStatusThread();
  return result;
}

long DrawerCore::Disable() {
  const long result = exports_.otherMethod(DRW_SERVICE_DEACTIVATE_DEVICE, nullptr, slot_);
  StopStatusThread();
  enabled_ = false;
  return result;
}

long DrawerCore::Release() {
  claimed_ = false;
  return exports_.disconnectPrinter(slot_);
}

long DrawerCore::Close() {
  for (char* text : {init_.description, init_.deviceDescription, init_.shortDescription})
    (void)ReleaseText(text);
  init_.description = init_.deviceDescription = init_.shortDescription = nullptr;
  open_ = false;
  return exports_.terminateSubSO(slot_);
}

long DrawerCore::CloseWithoutDisable() {
  StopStatusThread();
  enabled_ = claimed_ = false;
  return Close();
}

long DrawerCore::ReleaseText(char* text) {
  DrwReleaseBufferArgs block{text};
  return exports_.otherMethod(DRW_SERVICE_RELEASE_BUFFER, reinterpret_cast<long*>(&block),
                              slot_);
}

MethodCall DrawerCore::Call(long methodId, long* block, int words) {
  MethodCall call;
  block[words - 1] = reinterpret_cast<long>(&call.record);
  call.record.waitFlag = 1;
  call.preResult = exports_.preMethod(methodId, block, slot_);
  if (call.preResult != 0) {
    call.result = call.preResult;
  } else {
    ++executing_;
    call.result = exports_.executeMethod(methodId, block, slot_);
    --executing_;
  }
  return call;
}

MethodCall DrawerCore::OpenDrawer() {
  long block[2] = {reinterpret_cast<long>(&state_), 0};
  return Call(DRW_METHOD_OPEN_DRAWER, block, 2);
}

MethodCall DrawerCore::WaitForDrawerClose() {
  // Beep timeout, frequency, duration and delay: the drawer does not beep.
  long block[6] = {reinterpret_cast<long>(&state_), 1000, 3200, 500, 200, 0};
  return Call(DRW_METHOD_WAIT_FOR_DRAWER_CLOSE, block, 6);
}

MethodCall DrawerCore::CheckHealth(long level, bool allowed) {
  DrwStateRecord state{};
  state.checkHealthAllowed = allowed ? 1 : 0;
  long block[3] = {reinterpret_cast<long>(&state), level, 0};
  return Call(DRW_METHOD_CHECK_HEALTH, block, 3);
}

long SUBAPI_CALL DrawerCore::OnEvent(DrwStateWords* state, long code, long userWord) {
  auto* self = reinterpret_cast<DrawerCore*>(userWord);
  {
    std::lock_guard<std::mutex> l(self->lock_);
    self->events_.push_back({code, state ? *state : DrwStateWords{kSentinel, kSentinel, 0}});
  }
  self->changed_.notify_all();
  return 0;
}

// On each signal: every queued word, one 1012 call each, until a call leaves the record
// as it was (nothing was queued).
void DrawerCore::StatusLoop() {
  const HANDLE waits[] = {stopEvent_.get(), statusEvent_.get()};
  while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    ResetEvent(statusEvent_.get());
    for (;;) {
      DrwStateWords record{kSentinel, kSentinel, kSentinel};
      DrwProcessStatusArgs block{&record};
      (void)exports_.otherMethod(DRW_SERVICE_PROCESS_STATUS, reinterpret_cast<long*>(&block),
                                 slot_);
      if (record.powerState == kSentinel) break;
    }
  }
}

void DrawerCore::StopStatusThread() {
  if (!statusThread_.joinable()) return;
  SetEvent(stopEvent_.get());
  statusThread_.join();
}

std::vector<Event> DrawerCore::Events() const {
  std::lock_guard<std::mutex> l(lock_);
  return events_;
}

void DrawerCore::ClearEvents() {
  std::lock_guard<std::mutex> l(lock_);
  events_.clear();
}

bool DrawerCore::WaitForEvent(long code, DWORD timeoutMs) {
  std::unique_lock<std::mutex> l(lock_);
  return changed_.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] {
    for (const Event& e : events_)
      if (e.code == code) return true;
    return false;
  });
}

}  // namespace fenwode
