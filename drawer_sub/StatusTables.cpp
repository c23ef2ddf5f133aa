#include "StatusTables.h"

#include <array>
#include <new>
#include <utility>

namespace tollek {

namespace {

class LockHold {
 public:
  explicit LockHold(CRITICAL_SECTION* lock) : lock_(lock) { EnterCriticalSection(lock_); }
  ~LockHold() { LeaveCriticalSection(lock_); }
  LockHold(const LockHold&) = delete;
  LockHold& operator=(const LockHold&) = delete;

 private:
  CRITICAL_SECTION* lock_;
};

template <long N>
long WINAPI StatusCallbackThunk(long statusWord) {
  return postCallbackStatus(N, DWORD(statusWord));
}

template <long... N>
constexpr std::array<StatusCallback, sizeof...(N)> MakeThunks(
    std::integer_sequence<long, N...>) {
  return {&StatusCallbackThunk<N>...};
}

}  // namespace

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
  LockHold hold(&e->lock);
  delete std::exchange(e->queue, queue);
  e->eventAddress = nullptr;
}

void CStatusTables::Close(long slot) {
  Entry* e = Find(slot);
  if (!e) return;
  std::deque<DWORD>* queue;
  {
    LockHold hold(&e->lock);
    queue = std::exchange(e->queue, nullptr);
    e->eventAddress = nullptr;
  }
  delete queue;
}

void CStatusTables::SetEventAddress(long slot, HANDLE* address) {
  Entry* e = Find(slot);
  if (!e) return;
  LockHold hold(&e->lock);
  e->eventAddress = address;
}

long CStatusTables::Post(long slot, DWORD word) {
  Entry* e = Find(slot);
  if (!e) return 0;
  LockHold hold(&e->lock);
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
  LockHold hold(&e->lock);
  if (!e->queue || e->queue->empty()) return false;
  *word = e->queue->front();
  e->queue->pop_front();
  return true;
}

void CStatusTables::Discard(long slot) {
  Entry* e = Find(slot);
  if (!e) return;
  LockHold hold(&e->lock);
  if (e->queue) e->queue->clear();
}

StatusCallback CStatusTables::Thunk(long slot) {
  static constexpr auto kThunks = MakeThunks(std::make_integer_sequence<long, DRW_SLOT_COUNT>());
  return slot >= 0 && slot < DRW_SLOT_COUNT ? kThunks[size_t(slot)] : nullptr;
}

long postCallbackStatus(long slot, DWORD word) {
  return CStatusTables::Instance().Post(slot, word);
}

}  // namespace tollek
