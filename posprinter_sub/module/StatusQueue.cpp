#include "StatusQueue.h"

#include <array>
#include <utility>

namespace {

class CLockGuard {
 public:
  explicit CLockGuard(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
  ~CLockGuard() { LeaveCriticalSection(lock_); }
  CLockGuard(const CLockGuard&) = delete;
  CLockGuard& operator=(const CLockGuard&) = delete;

 private:
  CRITICAL_SECTION* lock_;
};

template <int Slot>
long WINAPI SlotStatusCallback(long statusWord) {
  return postCallbackStatus(Slot, static_cast<DWORD>(statusWord));
}

template <int... Slots>
constexpr auto MakeCallbackTable(std::integer_sequence<int, Slots...>) {
  return std::array<StatusCallbackFn, sizeof...(Slots)>{&SlotStatusCallback<Slots>...};
}

}  // namespace

CStatusQueue::CStatusQueue() { InitializeCriticalSection(&lock_); }

CStatusQueue::~CStatusQueue() { DeleteCriticalSection(&lock_); }

CStatusQueue* CStatusQueue::ForSlot(long slot) {
  // Never destroyed: instances still being deleted at process exit, or an SDK thread still
  // reporting, must find the lock intact whatever the order of static destruction.
  static CStatusQueue* const queues = new CStatusQueue[kStatusSlotCount];
  if (slot < 0 || slot >= kStatusSlotCount) return nullptr;
  return &queues[slot];
}

void CStatusQueue::Open() {
  CLockGuard guard(&lock_);
  words_.clear();
  eventAddress_ = nullptr;
  open_ = true;
}

void CStatusQueue::Close() {
  CLockGuard guard(&lock_);
  words_.clear();
  eventAddress_ = nullptr;
  open_ = false;
}

bool CStatusQueue::IsOpen() {
  CLockGuard guard(&lock_);
  return open_;
}

void CStatusQueue::SetEventAddress(HANDLE* eventAddress) {
  CLockGuard guard(&lock_);
  if (open_) eventAddress_ = eventAddress;
}

long CStatusQueue::Post(DWORD statusWord) {
  CLockGuard guard(&lock_);
  if (!open_) return 0;
  words_.push_back(statusWord);
  if (eventAddress_ != nullptr && *eventAddress_ != nullptr) SetEvent(*eventAddress_);
  return 0;
}

void CStatusQueue::Discard() {
  CLockGuard guard(&lock_);
  words_.clear();
}

bool CStatusQueue::PopOldest(DWORD* statusWord) {
  CLockGuard guard(&lock_);
  if (words_.empty()) return false;
  *statusWord = words_.front();
  words_.pop_front();
  return true;
}

bool CStatusQueue::PauseThenPopOldest(DWORD pauseMs, DWORD* statusWord) {
  CLockGuard guard(&lock_);
  Sleep(pauseMs);
  if (words_.empty()) return false;
  *statusWord = words_.front();
  words_.pop_front();
  return true;
}

size_t CStatusQueue::Size() {
  CLockGuard guard(&lock_);
  return words_.size();
}

long postCallbackStatus(long slot, DWORD statusWord) {
  if (CStatusQueue* queue = CStatusQueue::ForSlot(slot)) return queue->Post(statusWord);
  return 0;
}

StatusCallbackFn StatusCallbackForSlot(long slot) {
  static constexpr auto kCallbacks =
      MakeCallbackTable(std::make_integer_sequence<int, kStatusSlotCount>{});
  if (slot < 0 || slot >= kStatusSlotCount) return nullptr;
  return kCallbacks[slot];
}
