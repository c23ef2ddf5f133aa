// The module's application object: the table of open devices (sub-module slots 0-7,
// one CSubSO each), their device names, the lock that guards taking and releasing, and the
// module's reference to itself while a device is open.
#pragma once
#include "Win.h"

#include "ModuleSelfReference.h"
#include "PrinterSubIds.h"
#include "SlotTable.h"

class CSubSO;

class CPrennikApp {
 public:
  CPrennikApp();
  // Leaves every instance still held alone: it runs at the module's detach, under the loader
  // lock, where nothing may close the printer, cancel the SDK's status callback or free a
  // library. While an instance exists the module holds a reference to itself, so a core that
  // frees it without terminateSubSO leaves it loaded (the SDK may still call its status
  // callback) until the process ends.
  ~CPrennikApp() = default;
  CPrennikApp(const CPrennikApp&) = delete;
  CPrennikApp& operator=(const CPrennikApp&) = delete;

  // Under the table lock: walks the slots upward from 0 and takes the first free one
  // (new CSubSO, copy of the name). An occupied slot met before it that holds the same
  // name (byte comparison) refuses; names beyond the first free slot are not compared.
  // 0 with *slot written; 106 with *slot untouched. When memory runs out the slot stays
  // free and the throw passes on (the export's guard answers 111). A NULL name reads as "".
  [[nodiscard]] long AllocateSlot(const char* deviceName, long* slot);

  // The instance of a valid, taken slot; NULL otherwise.
  CSubSO* Instance(long slot) const;

  // Under the table lock: deletes the slot's CSubSO and name and empties the slot; the last
  // instance to go gives back the module's reference to itself.
  void ReleaseSlot(long slot);

  // Releases every slot still taken, 0 to 7 (tests that link the module end with it).
  void ReleaseAllSlots();

 private:
  subsupport::CSlotTable<CSubSO, PRN_SLOT_COUNT> slots_;
  subsupport::CModuleSelfReference selfReference_;  // under the table's lock
};

CPrennikApp& TheApp();
