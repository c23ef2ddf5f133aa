// The module's application object: the table of open devices (sub-module slots 0-7,
// one CSubSO each), their device names, and the lock that guards taking and releasing.
#pragma once
#include "Win.h"

#include "PrinterSubIds.h"
#include "SlotTable.h"

class CSubSO;

class CPrennikApp {
 public:
  CPrennikApp();
  ~CPrennikApp();  // the exit step: deletes whatever slots are still taken
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

  // Under the table lock: deletes the slot's CSubSO and name and empties the slot.
  void ReleaseSlot(long slot);

  // Deletes every instance and name still held, slot 0 to 7.
  void ExitInstance();

 private:
  subsupport::CSlotTable<CSubSO, PRN_SLOT_COUNT> slots_;
};

CPrennikApp& TheApp();
