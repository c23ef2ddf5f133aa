// Device settings of one printer slot, read from the device's registry key.
#pragma once
#include "Win.h"

#include <string>

#include "RegistryText.h"
#include "SubLogContext.h"

// Registry key of every POSPrinter device entry under HKLM.
inline constexpr char kPosPrinterClassKey[] = "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter";

// The values the sub-module keeps per device; every number is a signed 32-bit word.
struct CSubSOSettings {
  std::string Version;
  std::string LogFileNameSub;
  long LogLevelSub = -1;
  long LogFileSize = 256;
  long DefaultCharacterSet = 932;
  std::string DriverName;
  long SendTimeout = 10000;
  long NearEnd = 0;     // 1 exactly when "_NearEnd" is 1
  long MarkMode = 0;    // 1 exactly when "MarkMode" is 1
  long MCAutoSave = 1;  // 1 when "MCAutoSave" is not 0
  std::string ModelText;
  std::string PortName;
  long PaperSize = 3;
  long PrintWidth = 0;
  long PrintSpeed = 0;
  long CurrentStation = 2;  // the receipt; the journal is never selected
  long ProcessCompletionTiming = 1;
  long ReceiveTimeout = 10000;
  long DataRegistrationTimeout = 30000;
  long LogRetentionPeriod = 1;
  long GS1ModuleSize = 2;
};

using subsupport::kRegistryStringSize;

// Reads a REG_SZ value under HKLM\keyPath into buffer (kRegistryStringSize bytes), always
// NUL-terminated. Data stored with or without its terminator is accepted; a value of another
// type, or one too long for the buffer, counts as missing. Returns false (buffer empty) when
// the key or the value is missing.
[[nodiscard]] bool ReadRegistryString(const char* keyPath, const char* valueName, char* buffer);

// Reads every device value under HKLM\deviceKey into settings, each missing value taking its
// default (and an empty one too where the device entry may leave it blank). Returns true when
// every value was present. The Windows printer fields (ModelText, PortName) are not touched.
[[nodiscard]] bool ReadDeviceSettings(const char* deviceKey, CSubSOSettings* settings);

// Log category mask for a LogLevelSub setting.
[[nodiscard]] inline DWORD LogLevelMaskFromSetting(long logLevelSub) {
  return subsupport::LogLevelMask(logLevelSub);
}
