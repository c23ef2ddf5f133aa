// The module's application object: the instance table (slots 0-15, a CSubSO and the device
// name each), the lock over taking and releasing slots, and the register of texts the
// drawer hands to the core.
#pragma once
#include "Win.h"

#include <set>
#include <string>

#include "DrawerSubApi.h"

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

class CTollekApp {
 public:
  CTollekApp();
  // Deletes every instance still held, except while the process ends (the SDK's threads
  // are gone then and its library may already be detached: nothing is called into it).
  ~CTollekApp();
  CTollekApp(const CTollekApp&) = delete;
  CTollekApp& operator=(const CTollekApp&) = delete;

  // Under the module lock, the first free slot from 0 upward gets a new CSubSO and a copy
  // of the name; an occupied slot met before it holding the same name (case-sensitive)
  // refuses. 0 with *slot written, or -1 (duplicate, table full).
  [[nodiscard]] long AllocateSlot(const char* deviceName, long* slot);
  // The instance of a taken slot within 0..15, else null.
  [[nodiscard]] CSubSO* Instance(long slot) const;
  // Under the module lock: deletes the slot's CSubSO and name.
  void ReleaseSlot(long slot);
  void ExitInstance();

  CHandedOutTexts& Texts() { return texts_; }

  // Set by DllMain when the process is ending.
  static void SetProcessEnding();

 private:
  CRITICAL_SECTION lock_;
  CSubSO* instances_[DRW_SLOT_COUNT] = {};
  char* names_[DRW_SLOT_COUNT] = {};
  CHandedOutTexts texts_;
};

CTollekApp& TheApp();

}  // namespace tollek
