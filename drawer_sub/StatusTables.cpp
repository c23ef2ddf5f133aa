#include "StatusTables.h"

#include <new>
#include <utility>

#include "CsHold.h"
#include "SlotStatusCallbacks.h"

namespace tollek {

CStatusTables& CStatusTables::Instance() {
  static CStatusTables tables;
  return tables;
}

CStatusTables::CStatusTables() {
  for (Entry& e : entries_) InitializeCriticalSection(&e.lock);
}

CStatusTables::~CStatusTables() {
  for (Entry& e : entries_) {
    delete e.queue;
    DeleteCriticalSection(&e.lock);
  }
}

CStatusTables::Entry* CStatusTables::Find(long slot) {
  return slot >= 0 && slot < DRW_SLOT_COUNT ? &entries_[slot] : nullptr;
}

void CStatusTables::Open(long slot) {
  Entry* e = Find(slot);
  if (!e) return;
  auto* queue = new std::deque<DWORD>();
  subsupport::CsHold hold(&e->lock);
  delete std::exchange(e->queue, queue);
  e->eventAddress = nullptr;
}

void CStatusTables::Close(long slot) {
  Entry* e = Find(slot);
  if (!e) return;
  std::deque<DWORD>* queue;
  {
    subsupport::CsHold hold(&e->lock);
    queue = std::exchange(e->queue, nullptr);
    e->eventAddress = nullptr;
  }
  delete queue;
}

void CStatusTables::SetEventAddress(long slot, HANDLE* address) {
  Entry* e = Find(slot);
  if (!e) return;
  subsupport::CsHold hold(&e->lock);
  e->eventAddress = address;
}

long CStatusTables::Post(long slot, DWORD word) {
  Entry* e = Find(slot);
  if (!e) return 0;
  subsupport::CsHold hold(&e->lock);
  if (!e->queue) return 0;  // the instance has ended: nobody will process the word
  try {
    e->queue->push_back(word);
  } catch (const std::bad_alloc&) {
    return 0;  // the SDK's thread gets no exception; the word is lost
  }
  // A core that has not registered its event yet finds the word on its first processing.
  if (e->eventAddress && *e->eventAddress) SetEvent(*e->eventAddress);
  return 0;
}

bool CStatusTables::Take(long slot, DWORD* word) {
  Entry* e = Find(slot);
  if (!e) return false;
  subsupport::CsHold hold(&e->lock);
  if (!e->queue || e->queue->empty()) return false;
  *word = e->queue->front();
  e->queue->pop_front();
  return true;
}

void CStatusTables::Discard(long slot) {
  Entry* e = Find(slot);
  if (!e) return;
  subsupport::CsHold hold(&e->lock);
  if (e->queue) e->queue->clear();
}

StatusCallback CStatusTables::Thunk(long slot) {
  return subsupport::SlotStatusCallback<&postCallbackStatus, DRW_SLOT_COUNT>(slot);
}

long postCallbackStatus(long slot, DWORD word) {
  return CStatusTables::Instance().Post(slot, word);
}

}  // namespace tollek
