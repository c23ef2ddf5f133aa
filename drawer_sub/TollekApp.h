// The module's application object: the instance table (slots 0-15, a CSubSO and the device
// name each), the lock over taking and releasing slots and references, and the register of
// texts the drawer hands to the core.
#pragma once
#include "Win.h"

#include <set>
#include <string>

#include "DrawerSubApi.h"
#include "ModuleSelfReference.h"
#include "SlotTable.h"

namespace tollek {

class CSubSO;

// Texts allocated with new[] and handed to the core, which gives them back through
// otherMethod 1019 (or the drawer replaces them in a result record). Only a text found
// here is ever freed, so a double release or a foreign pointer frees nothing.
class CHandedOutTexts {
 public:
  CHandedOutTexts();
  ~CHandedOutTexts();  // the texts stay: the core may still hold them
  CHandedOutTexts(const CHandedOutTexts&) = delete;
  CHandedOutTexts& operator=(const CHandedOutTexts&) = delete;

  [[nodiscard]] char* Copy(const std::string& text);
  // true when the text was handed out (and is freed now).
  [[nodiscard]] bool Free(void* text);

 private:
  CRITICAL_SECTION lock_;
  std::set<void*> texts_;
};

// A reference to a slot's instance for the length of one call (none: null).
class CSubSORef {
 public:
  CSubSORef() = default;
  explicit CSubSORef(CSubSO* referenced) : instance_(referenced) {}
  ~CSubSORef();
  CSubSORef(CSubSORef&& other) noexcept : instance_(other.instance_) { other.instance_ = nullptr; }
  CSubSORef& operator=(CSubSORef&&) = delete;
  CSubSORef(const CSubSORef&) = delete;
  CSubSORef& operator=(const CSubSORef&) = delete;

  explicit operator bool() const { return instance_ != nullptr; }
  CSubSO* operator->() const { return instance_; }
  CSubSO* get() const { return instance_; }

 private:
  CSubSO* instance_ = nullptr;
};

class CTollekApp {
 public:
  CTollekApp();
  // Leaves every instance still held alone: it runs at the module's detach, under the loader
  // lock, where nothing may call the printer SDK or free a library. While an instance exists
  // the module holds a reference to itself, so a core that frees it without terminateSubSO
  // leaves it loaded (the SDK may still call its status callbacks) until the process ends.
  ~CTollekApp() = default;
  CTollekApp(const CTollekApp&) = delete;
  CTollekApp& operator=(const CTollekApp&) = delete;

  // Under the module lock, the first free slot from 0 upward gets a new CSubSO and a copy
  // of the name; an occupied slot met before it holding the same name (case-sensitive)
  // refuses. 0 with *slot written, or -1 (duplicate, table full).
  [[nodiscard]] long AllocateSlot(const char* deviceName, long* slot);
  // A reference to the instance of a taken slot within 0..15, else none.
  [[nodiscard]] CSubSORef Acquire(long slot);
  // Under the module lock, when the slot still holds instance: empties the slot, retires the
  // instance and drops the table's reference (the instance goes with the last one).
  void ReleaseSlot(long slot, CSubSO* instance);

  CHandedOutTexts& Texts() { return texts_; }

 private:
  subsupport::CSlotTable<CSubSO, DRW_SLOT_COUNT> slots_;
  subsupport::CModuleSelfReference selfReference_;  // under the table's lock
  CHandedOutTexts texts_;
};

CTollekApp& TheApp();

}  // namespace tollek
