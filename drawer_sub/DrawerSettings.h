// Device settings of one drawer, read from its registry entry under HKLM.
#pragma once
#include "Win.h"

#include <string>

#include "RegistryText.h"

namespace tollek {

inline constexpr char kCashDrawerClassKey[] = "SOFTWARE\\OLEforRetail\\ServiceOPOS\\CashDrawer";

using subsupport::kRegistryStringSize;

struct DrawerSettings {
  long LogRetentionPeriod = 1;
  long LogLevelSub = -1;
  std::string LogFileNameSub;
  long LogFileSize = 256;
  std::string DriverName;
  long PulseTime = 1;           // 1..8, units of 100 ms
  long InvertDrawerStatus = 0;  // 1 exactly when the value is "T"
  long DrawerNo = 1;            // connector 1 or 2; others send no connector byte
  long SendTimeout = 5000;      // ms
};

// A non-empty REG_SZ value of HKLM\keyPath into buffer (kRegistryStringSize bytes), always
// NUL-terminated; data stored with or without its terminator reads the same. False, buffer
// empty, when the key or value is missing, of another type, empty or too long.
[[nodiscard]] bool ReadRegistryString(const char* keyPath, const char* valueName, char* buffer);

// Every setting of HKLM\deviceKey, each one that cannot be read taking its default.
[[nodiscard]] DrawerSettings ReadDrawerSettings(const char* deviceKey);

}  // namespace tollek
