#include "StatusQueue.h"

#include "CsHold.h"
#include "SlotStatusCallbacks.h"

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
  subsupport::CsHold guard(&lock_);
  words_.clear();
  eventAddress_ = nullptr;
  open_ = true;
}

void CStatusQueue::Close() {
  subsupport::CsHold guard(&lock_);
  words_.clear();
  eventAddress_ = nullptr;
  open_ = false;
}

bool CStatusQueue::IsOpen() {
  subsupport::CsHold guard(&lock_);
  return open_;
}

void CStatusQueue::SetEventAddress(HANDLE* eventAddress) {
  subsupport::CsHold guard(&lock_);
  if (open_) eventAddress_ = eventAddress;
}

long CStatusQueue::Post(DWORD statusWord) {
  subsupport::CsHold guard(&lock_);
  if (!open_) return 0;
  words_.push_back(statusWord);
  if (eventAddress_ != nullptr && *eventAddress_ != nullptr) SetEvent(*eventAddress_);
  return 0;
}

void CStatusQueue::Discard() {
  subsupport::CsHold guard(&lock_);
  words_.clear();
}

bool CStatusQueue::PopOldest(DWORD* statusWord) {
  subsupport::CsHold guard(&lock_);
  if (words_.empty()) return false;
  *statusWord = words_.front();
  words_.pop_front();
  return true;
}

bool CStatusQueue::PauseThenPopOldest(DWORD pauseMs, DWORD* statusWord) {
  subsupport::CsHold guard(&lock_);  // held through the pause; PopOldest enters it again
  Sleep(pauseMs);
  return PopOldest(statusWord);
}

size_t CStatusQueue::Size() {
  subsupport::CsHold guard(&lock_);
  return words_.size();
}

long postCallbackStatus(long slot, DWORD statusWord) {
  if (CStatusQueue* queue = CStatusQueue::ForSlot(slot)) return queue->Post(statusWord);
  return 0;
}

StatusCallbackFn StatusCallbackForSlot(long slot) {
  return subsupport::SlotStatusCallback<&postCallbackStatus, kStatusSlotCount>(slot);
}
