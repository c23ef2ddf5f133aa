// Device settings read from the registry: defaults, empty, too long and unterminated values;
// the log context's module tag and log folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Log.h"
#include "LogContext.h"
#include "ModuleLogFile.h"
#include "ScopedHandle.h"
#include "SubSOSettings.h"

namespace {

const std::string kDeviceKey = std::string(kPosPrinterClassKey) + "\\SvcSettingsTestDevice";

class DeviceKey : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kDeviceKey.c_str());
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key_.receive(), nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    key_.reset();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kDeviceKey.c_str());
  }
  // Raw bytes exactly as given: no terminator is added.
  void SetRaw(const char* name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(RegSetValueExA(key_.get(), name, 0, type,
                             reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }
  void SetText(const char* name, const std::string& text) {
    SetRaw(name, REG_SZ, std::string(text.c_str(), text.size() + 1));
  }
  ScopedRegKey key_;
};

TEST(DeviceSettings, MissingKeyGivesEveryDefault) {
  CSubSOSettings s;
  s.PaperSize = 77;
  s.Version = "junk";
  EXPECT_FALSE(ReadDeviceSettings("SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\SvcNoSuchDevice", &s));
  EXPECT_EQ(s.Version, "");
  EXPECT_EQ(s.DriverName, "");
  EXPECT_EQ(s.PaperSize, 3);
  EXPECT_EQ(s.PrintWidth, 0);
  EXPECT_EQ(s.PrintSpeed, 0);
  EXPECT_EQ(s.DefaultCharacterSet, 932);
  EXPECT_EQ(s.LogFileNameSub, "");
  EXPECT_EQ(s.LogRetentionPeriod, 1);
  EXPECT_EQ(s.LogLevelSub, -1);
  EXPECT_EQ(s.LogFileSize, 256);
  EXPECT_EQ(s.SendTimeout, 10000);
  EXPECT_EQ(s.NearEnd, 0);
  EXPECT_EQ(s.MarkMode, 0);
  EXPECT_EQ(s.MCAutoSave, 1);
  EXPECT_EQ(s.ProcessCompletionTiming, 1);
  EXPECT_EQ(s.ReceiveTimeout, 10000);
  EXPECT_EQ(s.DataRegistrationTimeout, 30000);
  EXPECT_EQ(s.GS1ModuleSize, 2);
  EXPECT_EQ(s.CurrentStation, 2);
}

struct NumberRow {
  const char* value;
  DWORD type;
  std::string data;  // raw bytes written
  long CSubSOSettings::*field;
  long expected;
  const char* why;
};

TEST_F(DeviceKey, NumbersFromRegistryData) {
  const std::string tooLong(300, '1');
  const NumberRow rows[] = {
      {"PaperSize", REG_SZ, std::string("1\0", 2), &CSubSOSettings::PaperSize, 1, "plain"},
      {"PaperSize", REG_SZ, std::string("\0", 1), &CSubSOSettings::PaperSize, 3, "empty -> default"},
      {"PaperSize", REG_SZ, std::string("0", 1), &CSubSOSettings::PaperSize, 0, "no terminator"},
      {"PaperSize", REG_SZ, tooLong + '\0', &CSubSOSettings::PaperSize, 3, "too long -> default"},
      {"PaperSize", REG_DWORD, std::string("\1\0\0\0", 4), &CSubSOSettings::PaperSize, 3,
       "other type counts as missing"},
      {"PaperSize", REG_EXPAND_SZ, std::string("1\0", 2), &CSubSOSettings::PaperSize, 3,
       "REG_EXPAND_SZ counts as missing"},
      {"SendTimeout", REG_SZ, std::string("abc\0", 4), &CSubSOSettings::SendTimeout, 0,
       "non-digits convert to 0"},
      {"LogLevelSub", REG_SZ, std::string("4\0", 2), &CSubSOSettings::LogLevelSub, 4, "plain"},
      {"_NearEnd", REG_SZ, std::string("1\0", 2), &CSubSOSettings::NearEnd, 1, "1 is on"},
      {"_NearEnd", REG_SZ, std::string("2\0", 2), &CSubSOSettings::NearEnd, 0, "2 is off"},
      {"MarkMode", REG_SZ, std::string("2\0", 2), &CSubSOSettings::MarkMode, 0, "2 is off"},
      {"MCAutoSave", REG_SZ, std::string("2\0", 2), &CSubSOSettings::MCAutoSave, 1, "2 is on"},
      {"MCAutoSave", REG_SZ, std::string("0\0", 2), &CSubSOSettings::MCAutoSave, 0, "0 is off"},
      {"ProcessCompletionTiming", REG_SZ, std::string("0\0", 2),
       &CSubSOSettings::ProcessCompletionTiming, 0, "0 is off"},
      {"ProcessCompletionTiming", REG_SZ, std::string("\0", 1),
       &CSubSOSettings::ProcessCompletionTiming, 1, "empty -> default on"},
      {"DefaultCharacterSet", REG_SZ, std::string("1257\0", 5),
       &CSubSOSettings::DefaultCharacterSet, 1257, "kept as read"},
  };
  for (const NumberRow& row : rows) {
    SCOPED_TRACE(std::string(row.value) + ": " + row.why);
    RegDeleteValueA(key_.get(), row.value);
    SetRaw(row.value, row.type, row.data);
    CSubSOSettings s;
    (void)ReadDeviceSettings(kDeviceKey.c_str(), &s);
    EXPECT_EQ(s.*row.field, row.expected);
    RegDeleteValueA(key_.get(), row.value);
  }
}

TEST_F(DeviceKey, TextsKeepEmptyAndDropTooLong) {
  SetText("Version", "");
  SetText("DriverName", "SvcPrinter");
  SetRaw("LogFileNameSub", REG_SZ, std::string(256, 'n'));  // no room for the terminator
  CSubSOSettings s;
  s.Version = "junk";
  s.LogFileNameSub = "junk";
  EXPECT_FALSE(ReadDeviceSettings(kDeviceKey.c_str(), &s));
  EXPECT_EQ(s.Version, "");
  EXPECT_EQ(s.DriverName, "SvcPrinter");
  EXPECT_EQ(s.LogFileNameSub, "");
}

TEST_F(DeviceKey, AllValuesPresentReportsTrue) {
  const char* names[] = {"Version", "DriverName", "PaperSize", "_PrintWidth", "PrintSpeed",
                         "DefaultCharacterSet", "LogFileNameSub", "LogRetentionPeriod",
                         "LogLevelSub", "LogFileSize", "SendTimeout", "_NearEnd", "MarkMode",
                         "MCAutoSave", "ProcessCompletionTiming", "ReceiveTimeout",
                         "DataRegistrationTimeout", "GS1ModuleSize"};
  for (const char* name : names) SetText(name, "7");
  CSubSOSettings s;
  EXPECT_TRUE(ReadDeviceSettings(kDeviceKey.c_str(), &s));
  EXPECT_EQ(s.GS1ModuleSize, 7);
  EXPECT_EQ(s.Version, "7");
  RegDeleteValueA(key_.get(), "GS1ModuleSize");
  EXPECT_FALSE(ReadDeviceSettings(kDeviceKey.c_str(), &s));
  EXPECT_EQ(s.GS1ModuleSize, 2);
}

struct StringRow {
  std::string data;
  bool found;
  std::string expected;
  const char* why;
};

TEST_F(DeviceKey, StringReadAlwaysTerminates) {
  const StringRow rows[] = {
      {std::string("abc\0", 4), true, "abc", "terminated"},
      {"abc", true, "abc", "unterminated"},
      {std::string(255, 'x'), true, std::string(255, 'x'), "unterminated, fits with its NUL"},
      {std::string(255, 'y') + '\0', true, std::string(255, 'y'), "255 characters and NUL"},
      {std::string(256, 'z'), false, "", "unterminated, no room for the NUL"},
      {std::string(400, 'w') + '\0', false, "", "longer than the buffer"},
      {std::string("", 0), true, "", "zero bytes"},
  };
  for (const StringRow& row : rows) {
    SCOPED_TRACE(row.why);
    SetRaw("Probe", REG_SZ, row.data);
    std::vector<char> buffer(kRegistryStringSize + 16, 'X');
    EXPECT_EQ(ReadRegistryString(kDeviceKey.c_str(), "Probe", buffer.data()), row.found);
    EXPECT_EQ(std::string(buffer.data()), row.expected);
  }
  std::vector<char> buffer(kRegistryStringSize, 'X');
  EXPECT_FALSE(ReadRegistryString(kDeviceKey.c_str(), "NoSuchValue", buffer.data()));
  EXPECT_EQ(buffer[0], '\0');
}

TEST(DeviceSettings, LogLevelMasks) {
  const struct {
    long setting;
    DWORD mask;
  } rows[] = {{-1, 0}, {0, 0x2}, {1, 0x2}, {2, 0x16}, {3, 0x4}, {4, 0x3196}, {5, 0}, {-2, 0}};
  for (const auto& row : rows) EXPECT_EQ(LogLevelMaskFromSetting(row.setting), row.mask) << row.setting;
}

// The module literal's two parts: the tag each line carries, the folder its daily file is in.
TEST(DeviceLog, LinesCarryTheTagOpsPsbIntoTheOposPrinterFolder) {
  CLogContext context;
  context.Configure("PrennikLogTag", 0, 0, /*logLevelSub=*/2, nullptr);
  const std::string marker = subsupporttest::UniqueLogMarker("prennik-tag");
  SYSTEMTIME before;
  GetLocalTime(&before);
  context.Write(LOG_CAT_INFO, "CSubSO::LogTagProbe", "SubSO", 7, kTagInfo, marker.c_str());
  EXPECT_TRUE(subsupporttest::DailyLogHolds(
      L"OposPrinter",
      "\t[OPS_PSB] \tCSubSO::LogTagProbe(7) \t[PrennikLogTag] [Info    ] " + marker + " \r\n",
      before));
}

}  // namespace
