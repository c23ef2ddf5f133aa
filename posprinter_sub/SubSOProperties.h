// What the sub-module writes into the core's records: the capability block and the property
// snapshot (words and heap texts at fixed byte offsets).
#pragma once
#include "Win.h"

#include <set>

// Words of the 68-word capability block, in the order of the POSPrinter capability properties.
enum CapabilityWord : int {
  kCapCompareFirmwareVersion, kCapPowerReporting, kCapStatisticsReporting, kCapUpdateFirmware,
  kCapUpdateStatistics, kCapCharacterSet, kCapConcurrentJrnRec, kCapConcurrentJrnSlp,
  kCapConcurrentPageMode, kCapConcurrentRecSlp, kCapCoverSensor, kCapMapCharacterSet,
  kCapTransaction, kCapJrnPresent, kCapJrn2Color, kCapJrnBold, kCapJrnDhigh, kCapJrnDwide,
  kCapJrnDwideDhigh, kCapJrnEmptySensor, kCapJrnItalic, kCapJrnNearEndSensor, kCapJrnUnderline,
  kCapJrnCartridgeSensor, kCapJrnColor, kCapRecPresent, kCapRec2Color, kCapRecBarCode,
  kCapRecRuledLine, kCapRecBitmap, kCapRecBold, kCapRecDhigh, kCapRecDwide, kCapRecDwideDhigh,
  kCapRecEmptySensor, kCapRecItalic, kCapRecLeft90, kCapRecNearEndSensor, kCapRecPapercut,
  kCapRecRight90, kCapRecRotate180, kCapRecStamp, kCapRecUnderline, kCapRecCartridgeSensor,
  kCapRecColor, kCapRecMarkFeed, kCapRecPageMode, kCapSlpPresent, kCapSlpFullslip, kCapSlp2Color,
  kCapSlpBarCode, kCapSlpRuledLine, kCapSlpBitmap, kCapSlpBold, kCapSlpDhigh, kCapSlpDwide,
  kCapSlpDwideDhigh, kCapSlpEmptySensor, kCapSlpItalic, kCapSlpLeft90, kCapSlpNearEndSensor,
  kCapSlpRight90, kCapSlpRotate180, kCapSlpUnderline, kCapSlpBothSidesPrint,
  kCapSlpCartridgeSensor, kCapSlpColor, kCapSlpPageMode,
  kCapabilityWords
};
static_assert(kCapabilityWords == 68, "68 capability words, 272 bytes");

// Byte offsets of the property snapshot words and text slots the sub-module writes.
enum SnapshotOffset : int {
  kSnapHealthText = 0, kSnapPowerState = 4, kSnapResultCode = 8, kSnapResultCodeExtended = 12,
  kSnapServiceDescription = 16, kSnapSubVersion = 20, kSnapDeviceDescription = 24,
  kSnapPhysicalDescription = 28, kSnapCharacterSetList = 40, kSnapPitchText = 64,
  kSnapPitchLimit = 68, kSnapRecLineCharsList = 88, kSnapRotationList1 = 96,
  kSnapRotationList2 = 108, kSnapCoverOpen = 188, kSnapRecNearEnd = 192, kSnapRecEmpty = 196,
  kSnapJrnEmpty = 244, kSnapJrnNearEnd = 248, kSnapCharacterSet = 252, kSnapAreaText = 256,
  kSnapPitch = 280, kSnapBarcodeWidth = 284, kSnapBarcodeHeight = 288
};
inline constexpr int kSnapshotBytes = 320;

// Byte offsets of the texts a snapshot may hold, in the order they are released.
inline constexpr int kSnapshotTextOffsets[] = {0,  24, 28,  16,  40,  52,  56,  64,
                                               76, 88, 96, 108, 116, 160, 176, 256};

inline long& SnapshotWord(void* snapshot, int offset) {
  return *reinterpret_cast<long*>(static_cast<BYTE*>(snapshot) + offset);
}
inline char*& SnapshotText(void* snapshot, int offset) {
  return *reinterpret_cast<char**>(static_cast<BYTE*>(snapshot) + offset);
}

// Heap texts this instance attached to snapshots. Writing a slot again frees the text it
// attached there before, unless that text was released meanwhile; the core releases them all
// through ReleaseSnapshotTexts.
class CSnapshotTexts {
 public:
  CSnapshotTexts() = default;
  CSnapshotTexts(const CSnapshotTexts&) = delete;
  CSnapshotTexts& operator=(const CSnapshotTexts&) = delete;

  void Put(void* snapshot, int offset, const char* text);
  // Deletes every non-NULL text slot of the snapshot; the slots keep their values.
  void ReleaseAll(void* snapshot);

 private:
  std::set<const char*> owned_;
};

// Capability words every instance starts with.
void SetConstructorCapabilities(long capabilities[kCapabilityWords]);

// First mode, during initialisation: receipt capabilities, rotation and character-set lists,
// RecLineCharsList for the paper size, and the pitch word.
void SetInitPropertiesFirst(long capabilities[kCapabilityWords], void* snapshot,
                            CSnapshotTexts* texts, long paperSize, long pitch);

// Second mode, at the first enable after activation: the line and paper words, the pitch
// (2400 afterwards) and the character set, which is returned (932 for one the printer lacks).
long SetInitPropertiesSecond(void* snapshot, long paperSize, long defaultCharacterSet,
                             long* pitch);

// Service 1020's choice for a requested number of characters per line.
struct CLineCharsChoice {
  long lineChars;  // the list entry chosen
  long font;
  long charWidth;
  long spacing;
};
[[nodiscard]] CLineCharsChoice ChooseLineCharsFont(const char* lineCharsList, long requested);
