// The service object's OPOS property values. Lengths are held in printer dots; the texts
// are ANSI. Each property keeps a word of its own; initial values are those of a newly
// created, closed object.
#pragma once
#include <cstddef>
#include <functional>
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
  // Set by every status record (one that reports no power state counts as not online);
  // ClearOutput clears OfflineSeen but waits on the power reports themselves.
  long OfflineSeen = 0;
  long OnlineSeen = 0;
};

// Words of the block SaveRestoreProperties fills around Release.
constexpr size_t kSavedPropertyWords = 54;

// OpenResult after a failed OpenService; it keeps its value until the next OpenService.
enum : long {
  OPEN_RESULT_NO_DEVICE_KEY = 302,  // the device's registry key is missing
  OPEN_RESULT_NO_SUBMODULE = 304,   // hidden window or sub-module could not be set up
  OPEN_RESULT_NO_CO_EVENTS = 305,   // the Control Object lacks an event method
};

// What property writes set going in the rest of the object: the lifecycle, the event queue,
// the hidden window and the sub-module's records. Those parts fill these in; a write whose
// effect is not there (yet) answers 111 rather than claim a success it did not have.
struct CPropertyEffects {
  // Enables (true) or disables the device; sets ResultCode itself.
  std::function<void(bool enable)> setDeviceEnabled;
  // FreezeEvents went to 0: wake the event thread for what it held back.
  std::function<void()> signalEventData;
  // Queues a StatusUpdate event with this status.
  std::function<void(long status)> queueStatusUpdate;
  // Service 1008 with the character set, through the hidden window; 0 on success.
  std::function<long(long characterSet)> selectCharacterSet;
  // The hidden window's line-characters operation for station 1 or 2; 0 on success, with
  // LineChars, LineHeight (and LineSpacing when smaller) set in the cache.
  std::function<long(long station, long lineChars)> selectLineChars;
  // Sets the hidden window's settings-changed word to 1.
  std::function<void()> markSettingsChanged;
  // Service 1021 with a fresh record and snapshot: PageModeArea and PageModePrintArea
  // written back into the cache; 0 on success.
  std::function<long()> recomputePageModeArea;
};
