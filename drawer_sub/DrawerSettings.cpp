#include "DrawerSettings.h"

#include <cstdlib>
#include <cstring>

#include "ScopedHandle.h"

namespace tollek {

namespace {

// An optional sign and leading digits; text without them reads as 0.
long Decimal(const char* text) { return std::strtol(text, nullptr, 10); }

struct SettingRow {
  const char* name;
  const char* defaultText;
  void (*apply)(DrawerSettings& s, const char* text);
};

// In the order the values are read.
const SettingRow kSettingRows[] = {
    {"LogRetentionPeriod", "1", [](DrawerSettings& s, const char* t) { s.LogRetentionPeriod = Decimal(t); }},
    {"LogLevelSub", "-1", [](DrawerSettings& s, const char* t) { s.LogLevelSub = Decimal(t); }},
    {"LogFileNameSub", "", [](DrawerSettings& s, const char* t) { s.LogFileNameSub = t; }},
    {"LogFileSize", "256", [](DrawerSettings& s, const char* t) { s.LogFileSize = Decimal(t); }},
    {"DriverName", "", [](DrawerSettings& s, const char* t) { s.DriverName = t; }},
    {"PulseTime", "1",
     [](DrawerSettings& s, const char* t) {
       const long v = Decimal(t);
       s.PulseTime = v < 1 || v > 8 ? 1 : v;
     }},
    {"InvertDrawerStatus", "F",
     [](DrawerSettings& s, const char* t) { s.InvertDrawerStatus = std::strcmp(t, "T") == 0; }},
    {"DrawerNo", "1", [](DrawerSettings& s, const char* t) { s.DrawerNo = Decimal(t); }},
    // A negative time-out would read as some 49 days at the SDK: the default serves instead.
    {"SendTimeout", "5000",
     [](DrawerSettings& s, const char* t) {
       const long v = Decimal(t);
       s.SendTimeout = v < 0 ? 5000 : v;
     }},
};

}  // namespace

bool ReadRegistryString(const char* keyPath, const char* valueName, char* buffer) {
  buffer[0] = '\0';
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return false;
  DWORD type = 0, size = kRegistryStringSize;
  const LONG rc = RegQueryValueExA(key.get(), valueName, nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
  if (rc != ERROR_SUCCESS || type != REG_SZ) {  // ERROR_MORE_DATA: too long for the buffer
    buffer[0] = '\0';
    return false;
  }
  // Data written without its terminator comes back unterminated when it fills the buffer;
  // data that leaves no room for the NUL is too long.
  if (size > 0 && buffer[size - 1] == '\0') --size;
  if (size >= kRegistryStringSize) size = 0;
  buffer[size] = '\0';
  return size > 0;
}

DrawerSettings ReadDrawerSettings(const char* deviceKey) {
  DrawerSettings settings;
  char text[kRegistryStringSize];
  for (const SettingRow& row : kSettingRows) {
    row.apply(settings, ReadRegistryString(deviceKey, row.name, text) ? text : row.defaultText);
  }
  return settings;
}

}  // namespace tollek
