// The service object's OPOS property values. Lengths are held in printer dots; the texts
// are ANSI. Each property keeps a word of its own; initial values are those of a newly
// created, closed object.
#pragma once
#include <string>

#include "PrinterSubRecords.h"

struct CPropertyCache {
  CPropertyCache() : Caps() {
    Caps.capUpdateStatistics = 1;
    Caps.capCharacterSet = 1;
    Caps.capTransaction = 1;
    Caps.capCoverSensor = 1;
  }

  // Common properties.
  long BinaryConversion = 0;
  std::string CheckHealthText;
  long Claimed = 0;
  long FreezeEvents = 0;
  long OpenResult = 0;
  long OutputID = 0;
  long PowerState = 2000;
  long ResultCode = 101;
  long ResultCodeExtended = 0;
  long State = 1;
  std::string ServiceObjectDescription;
  long ServiceObjectVersion = 0;
  std::string DeviceDescription;
  std::string DeviceName;

  // The 68 capability words, in the order of the capability block.
  PrnCapabilityBlock Caps;

  // Printer values.
  long AsyncMode = 0;
  long CartridgeNotify = 0;
  std::string CharacterSetList;
  long ErrorLevel = 1;
  long ErrorStation = 0;
  std::string FontTypefaceList;
  long MapCharacterSet = 0;
  std::string PageModeArea;
  long PageModeDescriptor = 0;
  long RotateSpecial = 1;
  std::string JrnLineCharsList;
  long JrnCartridgeState = 0x10000000;
  long JrnCurrentCartridge = 0;
  std::string RecLineCharsList;
  long RecLinesToPaperCut = 0;
  std::string RecBarCodeRotationList;
  long RecCartridgeState = 0x10000000;
  long RecCurrentCartridge = 0;
  std::string RecBitmapRotationList;
  long SlpLineChars = 0;
  std::string SlpLineCharsList;
  long SlpLineHeight = 0;
  long SlpLineSpacing = 0;
  long SlpLineWidth = 0;
  long SlpLetterQuality = 0;
  long SlpEmpty = 0;
  long SlpNearEnd = 0;
  long SlpSidewaysMaxLines = 0;
  long SlpSidewaysMaxChars = 0;
  long SlpMaxLines = 0;
  long SlpLinesNearEndToEnd = 0;
  std::string SlpBarCodeRotationList;
  long SlpPrintSide = 0;
  long SlpCartridgeState = 0x10000000;
  long SlpCurrentCartridge = 0;
  std::string SlpBitmapRotationList;
  long MapMode = 1;
  long FlagWhenIdle = 0;
  long DeviceEnabled = 0;
  long CoverOpen = 0;
  long RecNearEnd = 0;
  long RecEmpty = 0;
  long RecLetterQuality = 0;
  long RecLineSpacing = 0;   // dots
  long RecLineHeight = 0;    // dots
  long RecLineChars = 0;
  long RecSidewaysMaxChars = 0;
  long RecLineWidth = 0;     // dots
  long JrnLineChars = 0;
  long JrnLineHeight = 0;    // dots
  long JrnLineSpacing = 0;   // dots
  long JrnLineWidth = 0;     // dots
  long JrnLetterQuality = 0;
  long JrnEmpty = 0;
  long JrnNearEnd = 0;
  long CharacterSet = 0;
  std::string PageModePrintArea;
  long PowerNotify = 0;
  long PageModeStation = 0;
  long RecSidewaysMaxLines = 0;
  long PageModeHorizontalPosition = 0;  // dots
  long PageModePrintDirection = 0;
  long PageModeVerticalPosition = 0;    // dots
  std::string ErrorString;

  long CarryWord = 0;      // the sub-module's word, carried through every snapshot
  long OfflineSeen = 0;    // status flags that ClearOutput waits on
  long OnlineSeen = 0;
};
