// A sub-module's table of slots: one instance and the device name it was opened for in each,
// under one lock. The table owns neither: the module's application object decides when an
// instance goes (the printer deletes it, the drawer drops a reference).
#pragma once
#include "Win.h"

#include <cstring>
#include <memory>

#include "CsHold.h"

namespace subsupport {

template <class Instance, long Count>
class CSlotTable {
 public:
  CSlotTable() { InitializeCriticalSection(&lock_); }
  ~CSlotTable() { DeleteCriticalSection(&lock_); }  // what is still held stays
  CSlotTable(const CSlotTable&) = delete;
  CSlotTable& operator=(const CSlotTable&) = delete;

  // Under the lock: walks the slots upward from 0 and takes the first free one, unless an
  // occupied slot met before it holds the same name (byte comparison; names beyond the first
  // free slot are not compared). make(slot) builds the instance once the name is copied;
  // nothing may fail after it. True with *slot written; false (duplicate, table full) with
  // *slot untouched. A throw from the copy or from make leaves the slot free and passes on.
  template <class Make>
  [[nodiscard]] bool Take(const char* deviceName, long* slot, Make make) {
    CsHold hold(&lock_);
    for (long i = 0; i < Count; ++i) {
      if (!names_[i]) {
        const size_t n = std::strlen(deviceName);
        std::unique_ptr<char[]> name(new char[n + 1]);
        std::memcpy(name.get(), deviceName, n + 1);
        instances_[i] = make(i);
        names_[i] = name.release();
        *slot = i;
        return true;
      }
      if (std::strcmp(names_[i], deviceName) == 0) return false;  // the same device, open
    }
    return false;
  }

  // The instance of a taken slot within 0..Count-1, else null; read without the lock.
  Instance* At(long slot) const { return InRange(slot) ? instances_[slot] : nullptr; }

  // As At, under the lock, with use(instance) run there when the slot is taken (to take a
  // reference that outlives a concurrent Empty).
  template <class Use>
  Instance* AtLocked(long slot, Use use) {
    if (!InRange(slot)) return nullptr;
    CsHold hold(&lock_);
    Instance* instance = instances_[slot];
    if (instance) use(instance);
    return instance;
  }

  // Under the lock, when the slot is taken (by expected, unless that is null): empties the
  // slot, frees its name and hands the instance to done while still under the lock. True
  // when the slot was emptied.
  template <class Done>
  bool Empty(long slot, const Instance* expected, Done done) {
    if (!InRange(slot)) return false;
    CsHold hold(&lock_);
    Instance* instance = instances_[slot];
    if (!names_[slot] || (expected && instance != expected)) return false;
    delete[] names_[slot];
    names_[slot] = nullptr;
    instances_[slot] = nullptr;
    done(instance);
    return true;
  }

 private:
  static bool InRange(long slot) { return slot >= 0 && slot < Count; }

  CRITICAL_SECTION lock_;
  Instance* instances_[Count] = {};
  char* names_[Count] = {};
};

}  // namespace subsupport
