// Module-wide status tables, one entry per drawer slot: the queue of status words that the
// printer SDK's thread hands in through the slot's status callback, the lock over it, and
// the address of the core's status event.
//
// Each entry's lock lives as long as the module, not as long as the slot's instance: a
// status callback that the SDK delivers after the instance ended finds no queue and is
// dropped, instead of entering a deleted lock.
#pragma once
#include "Win.h"

#include <deque>

#include "CommPrinterDriver.h"
#include "DrawerSubApi.h"

namespace tollek {

class CStatusTables {
 public:
  static CStatusTables& Instance();

  // The slot's queue comes into being empty with its instance and goes with it (words
  // still queued are dropped, the event address forgotten).
  void Open(long slot);
  void Close(long slot);

  // The address of the core's event handle, read again each time it is signalled.
  void SetEventAddress(long slot, HANDLE* address);

  // postCallbackStatus: under the slot's lock queues the word and signals the core's
  // event. 0; a word for a slot without a queue, or outside 0..15, is dropped.
  long Post(long slot, DWORD word);
  // The oldest queued word (first in, first out); false when there is none.
  [[nodiscard]] bool Take(long slot, DWORD* word);
  void Discard(long slot);

  // StatusCallbackThunk0 .. StatusCallbackThunk15: the SDK callback bound to each slot.
  static StatusCallback Thunk(long slot);

  CStatusTables(const CStatusTables&) = delete;
  CStatusTables& operator=(const CStatusTables&) = delete;

 private:
  CStatusTables();
  ~CStatusTables();

  struct Entry {
    CRITICAL_SECTION lock;
    std::deque<DWORD>* queue = nullptr;  // null while the slot has no instance
    HANDLE* eventAddress = nullptr;
  };
  Entry* Find(long slot);

  Entry entries_[DRW_SLOT_COUNT];
};

long postCallbackStatus(long slot, DWORD word);

}  // namespace tollek
