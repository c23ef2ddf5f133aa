// Per-slot queue of printer status words. The printer SDK calls the slot's status callback on
// a thread of its own; the callback only queues the word and signals the core's status event,
// and the core's receive thread drains the queue later.
#pragma once
#include "Win.h"

#include <deque>

#include "PrinterSdk.h"
#include "PrinterSubIds.h"

inline constexpr long kStatusSlotCount = PRN_SLOT_COUNT;  // one queue a slot

// SDK status callback: one per slot, stdcall, the 32-bit status word.
using StatusCallbackFn = subsupport::SdkStatusCallback;

class CStatusQueue {
 public:
  CStatusQueue();
  ~CStatusQueue();
  CStatusQueue(const CStatusQueue&) = delete;
  CStatusQueue& operator=(const CStatusQueue&) = delete;

  // The queue of a slot (0-7), or nullptr. The queues and their locks live as long as the
  // module, so a callback that arrives after its slot closed still finds a lock to take.
  static CStatusQueue* ForSlot(long slot);

  // Open when the slot's instance is created; Close when it is deleted. While closed, words
  // are dropped and the status event is neither kept nor signalled.
  void Open();
  void Close();
  bool IsOpen();

  // Address of the core's status-event handle; the handle is read through it at each signal.
  void SetEventAddress(HANDLE* eventAddress);

  // Queues a word and signals the status event; dropped when the queue is closed. Returns 0.
  long Post(DWORD statusWord);
  // Discards every queued word.
  void Discard();
  // Removes the oldest word; false when the queue is empty.
  [[nodiscard]] bool PopOldest(DWORD* statusWord);
  // Waits pauseMs while holding the lock (a callback arriving meanwhile waits too), then
  // removes the oldest word; false when the queue is empty.
  [[nodiscard]] bool PauseThenPopOldest(DWORD pauseMs, DWORD* statusWord);
  size_t Size();

 private:
  CRITICAL_SECTION lock_;
  std::deque<DWORD> words_;
  HANDLE* eventAddress_ = nullptr;
  bool open_ = false;
};

// Queues a word for a slot (any thread). Returns 0; an unknown or closed slot drops the word.
long postCallbackStatus(long slot, DWORD statusWord);

// The status callback that serves a slot, or nullptr outside 0-7.
[[nodiscard]] StatusCallbackFn StatusCallbackForSlot(long slot);
