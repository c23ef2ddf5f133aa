#include "SubSOSettings.h"

#include <cstdlib>
#include <cstring>

#include "ScopedHandle.h"

namespace {

enum class Kind { Text, Number, FlagIsOne, FlagNonZero };

struct SettingRow {
  const char* name;
  const char* fallback;
  bool emptyTakesDefault;
  Kind kind;
  std::string CSubSOSettings::*text;  // Kind::Text
  long CSubSOSettings::*number;       // every other kind
};

// The device values in the order they are read, with the defaults a new device entry gets.
const SettingRow kSettingRows[] = {
    {"Version", "", false, Kind::Text, &CSubSOSettings::Version, nullptr},
    {"DriverName", "", false, Kind::Text, &CSubSOSettings::DriverName, nullptr},
    {"PaperSize", "3", true, Kind::Number, nullptr, &CSubSOSettings::PaperSize},
    {"_PrintWidth", "0", true, Kind::Number, nullptr, &CSubSOSettings::PrintWidth},
    {"PrintSpeed", "0", true, Kind::Number, nullptr, &CSubSOSettings::PrintSpeed},
    {"DefaultCharacterSet", "932", true, Kind::Number, nullptr,
     &CSubSOSettings::DefaultCharacterSet},
    {"LogFileNameSub", "", true, Kind::Text, &CSubSOSettings::LogFileNameSub, nullptr},
    {"LogRetentionPeriod", "1", true, Kind::Number, nullptr, &CSubSOSettings::LogRetentionPeriod},
    {"LogLevelSub", "-1", true, Kind::Number, nullptr, &CSubSOSettings::LogLevelSub},
    {"LogFileSize", "256", true, Kind::Number, nullptr, &CSubSOSettings::LogFileSize},
    {"SendTimeout", "10000", true, Kind::Number, nullptr, &CSubSOSettings::SendTimeout},
    {"_NearEnd", "0", true, Kind::FlagIsOne, nullptr, &CSubSOSettings::NearEnd},
    {"MarkMode", "0", true, Kind::FlagIsOne, nullptr, &CSubSOSettings::MarkMode},
    {"MCAutoSave", "1", true, Kind::FlagNonZero, nullptr, &CSubSOSettings::MCAutoSave},
    {"ProcessCompletionTiming", "1", true, Kind::FlagNonZero, nullptr,
     &CSubSOSettings::ProcessCompletionTiming},
    {"ReceiveTimeout", "10000", true, Kind::Number, nullptr, &CSubSOSettings::ReceiveTimeout},
    {"DataRegistrationTimeout", "30000", true, Kind::Number, nullptr,
     &CSubSOSettings::DataRegistrationTimeout},
    {"GS1ModuleSize", "2", true, Kind::Number, nullptr, &CSubSOSettings::GS1ModuleSize},
};

long ToNumber(const char* text) { return std::strtol(text, nullptr, 10); }

}  // namespace

bool ReadRegistryString(const char* keyPath, const char* valueName, char* buffer) {
  return subsupport::ReadHklmText(keyPath, valueName, buffer) >= 0;
}

bool ReadDeviceSettings(const char* deviceKey, CSubSOSettings* settings) {
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, deviceKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    key.reset();
  bool allPresent = true;
  char buffer[kRegistryStringSize];
  for (const SettingRow& row : kSettingRows) {
    const bool found =
        key.valid() && subsupport::QueryRegistryText(key.get(), row.name, buffer) >= 0;
    const char* value = buffer;
    if (!found || (row.emptyTakesDefault && buffer[0] == '\0')) {
      value = row.fallback;
      allPresent = false;
    }
    switch (row.kind) {
      case Kind::Text:
        settings->*row.text = value;
        break;
      case Kind::Number:
        settings->*row.number = ToNumber(value);
        break;
      case Kind::FlagIsOne:
        settings->*row.number = ToNumber(value) == 1 ? 1 : 0;
        break;
      case Kind::FlagNonZero:
        settings->*row.number = ToNumber(value) != 0 ? 1 : 0;
        break;
    }
    if (row.text == &CSubSOSettings::Version) settings->CurrentStation = 2;
  }
  return allPresent;
}
