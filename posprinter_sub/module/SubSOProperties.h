// What the sub-module writes into the core's records: the capability block and the property
// snapshot (words, and heap texts in the snapshot's text slots).
#pragma once
#include <mutex>
#include <set>

#include "PrinterSubRecords.h"

using SnapshotTextSlot = char* PrnPropertySnapshot::*;

// The snapshot's text slots in the order they are released.
inline constexpr SnapshotTextSlot kSnapshotTextSlots[] = {
    &PrnPropertySnapshot::checkHealthText,        &PrnPropertySnapshot::deviceDescription,
    &PrnPropertySnapshot::deviceName,             &PrnPropertySnapshot::serviceObjectDescription,
    &PrnPropertySnapshot::characterSetList,       &PrnPropertySnapshot::errorString,
    &PrnPropertySnapshot::fontTypefaceList,       &PrnPropertySnapshot::pageModeArea,
    &PrnPropertySnapshot::jrnLineCharsList,       &PrnPropertySnapshot::recLineCharsList,
    &PrnPropertySnapshot::recBarCodeRotationList, &PrnPropertySnapshot::recBitmapRotationList,
    &PrnPropertySnapshot::slpLineCharsList,       &PrnPropertySnapshot::slpBarCodeRotationList,
    &PrnPropertySnapshot::slpBitmapRotationList,  &PrnPropertySnapshot::pageModePrintArea};

// Heap texts this instance attached to snapshots. Writing a slot again frees the text it
// attached there before, unless that text was released meanwhile; the core releases them all
// through ReleaseAll (service 1015), which may come on any of the core's threads.
class CSnapshotTexts {
 public:
  CSnapshotTexts() = default;
  CSnapshotTexts(const CSnapshotTexts&) = delete;
  CSnapshotTexts& operator=(const CSnapshotTexts&) = delete;

  void Put(PrnPropertySnapshot* snapshot, SnapshotTextSlot slot, const char* text);
  // Deletes every non-NULL text slot of the snapshot; the slots keep their values.
  void ReleaseAll(PrnPropertySnapshot* snapshot);

 private:
  std::mutex lock_;
  std::set<const char*> owned_;
};

// Capability words every instance starts with (all others 0).
void SetConstructorCapabilities(PrnCapabilityBlock* capabilities);

// First mode, during initialisation: receipt capabilities, rotation and character-set lists,
// RecLineCharsList for the paper size, and the pitch word.
void SetInitPropertiesFirst(PrnCapabilityBlock* capabilities, PrnPropertySnapshot* snapshot,
                            CSnapshotTexts* texts, long paperSize, long pitch);

// Second mode, at the first enable after activation: the line and paper words, the pitch
// (2400 afterwards) and the character set, which is returned (932 for one the printer lacks).
long SetInitPropertiesSecond(PrnPropertySnapshot* snapshot, long paperSize,
                             long defaultCharacterSet, long* pitch);

// Service 1020's choice for a requested number of characters per line.
struct CLineCharsChoice {
  long lineChars;  // the list entry chosen
  long font;
  long charWidth;
  long spacing;
};
[[nodiscard]] CLineCharsChoice ChooseLineCharsFont(const char* lineCharsList, long requested);
