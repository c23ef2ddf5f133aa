#include "DrawerSettings.h"

#include <cstdlib>
#include <cstring>

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
  return subsupport::ReadHklmText(keyPath, valueName, buffer) > 0;
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
