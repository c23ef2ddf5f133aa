// Device settings: registry values -> settings, channel timings and log configuration.
#include <gtest/gtest.h>

#include "CommDevice.h"
#include "DeviceSettings.h"
#include "FakeLog.h"
#include "LogContext.h"
#include "OposCodes.h"
#include "POSPrinter.h"
#include "TestSupport.h"

namespace {

using sotest::DeviceKey;

constexpr char kDevice[] = "SoSettingsTestPrinter";

// What Load leaves in every field; each row changes one.
struct Expected {
  std::string logFileNameCore = "";
  long logRetentionPeriod = 1;
  long logLevelCore = -1;
  long logFileSize = 256;
  std::string subSODLLPath = "";
  long processCompletionTiming = 1;
  long receiveTimeout = 10000;
  long dataRegistrationTimeout = 30000;
  long rcvc = 100;
};

void ExpectSettings(const CDeviceSettings& s, const Expected& e, const std::string& row) {
  EXPECT_EQ(s.m_logFileNameCore, e.logFileNameCore) << row;
  EXPECT_EQ(s.m_logRetentionPeriod, e.logRetentionPeriod) << row;
  EXPECT_EQ(s.m_logLevelCore, e.logLevelCore) << row;
  EXPECT_EQ(s.m_logFileSize, e.logFileSize) << row;
  EXPECT_EQ(s.m_subSODLLPath, e.subSODLLPath) << row;
  EXPECT_EQ(s.m_processCompletionTiming, e.processCompletionTiming) << row;
  EXPECT_EQ(s.m_receiveTimeout, e.receiveTimeout) << row;
  EXPECT_EQ(s.m_dataRegistrationTimeout, e.dataRegistrationTimeout) << row;
  EXPECT_EQ(s.m_rcvc, e.rcvc) << row;
}

struct ValueRow {
  const char* label;
  const char* name;
  DWORD type;
  std::string data;  // the exact bytes stored
  void (*expect)(Expected&);
};

const std::string kLong300(300, 'L');
const std::string kExact256(256, 'x');
const std::string kTooLong(9000, 'y');

const ValueRow kRows[] = {
    {"ReceiveTimeout empty with NUL reads 0", "ReceiveTimeout", REG_SZ, std::string("", 1),
     [](Expected& e) { e.receiveTimeout = 0; }},
    {"ReceiveTimeout empty without NUL reads 0", "ReceiveTimeout", REG_SZ, "",
     [](Expected& e) { e.receiveTimeout = 0; }},
    {"ReceiveTimeout without NUL, as the utility writes it", "ReceiveTimeout", REG_SZ, "5000",
     [](Expected& e) { e.receiveTimeout = 5000; }},
    {"ReceiveTimeout with NUL", "ReceiveTimeout", REG_SZ, std::string("4000", 5),
     [](Expected& e) { e.receiveTimeout = 4000; }},
    {"ProcessCompletionTiming 2 is stored as 1", "ProcessCompletionTiming", REG_SZ, "2",
     [](Expected& e) { e.processCompletionTiming = 1; }},
    {"ProcessCompletionTiming 0", "ProcessCompletionTiming", REG_SZ, "0",
     [](Expected& e) { e.processCompletionTiming = 0; }},
    {"ProcessCompletionTiming empty reads 0", "ProcessCompletionTiming", REG_SZ, "",
     [](Expected& e) { e.processCompletionTiming = 0; }},
    {"RCVC as REG_DWORD is not a string: default", "RCVC", REG_DWORD, std::string("\x32\0\0\0", 4),
     [](Expected&) {}},
    {"RCVC as REG_BINARY text: default", "RCVC", REG_BINARY, "50", [](Expected&) {}},
    {"RCVC as REG_MULTI_SZ: default", "RCVC", REG_MULTI_SZ, std::string("50\0\0", 4),
     [](Expected&) {}},
    {"numbers follow atol: blanks, sign, digits up to another character", "RCVC", REG_SZ,
     "  -42abc", [](Expected& e) { e.rcvc = -42; }},
    {"a value that starts with no number reads 0", "DataRegistrationTimeout", REG_SZ, "abc",
     [](Expected& e) { e.dataRegistrationTimeout = 0; }},
    {"REG_EXPAND_SZ without NUL is accepted unexpanded", "SubSODLLPath", REG_EXPAND_SZ,
     "%WINDIR%\\prennik.dll", [](Expected& e) { e.subSODLLPath = "%WINDIR%\\prennik.dll"; }},
    {"a text of exactly 256 characters without NUL", "LogFileNameCore", REG_SZ, kExact256,
     [](Expected& e) { e.logFileNameCore = kExact256; }},
    {"a text over 256 characters takes the large buffer", "LogFileNameCore", REG_SZ,
     kLong300 + std::string(1, '\0'), [](Expected& e) { e.logFileNameCore = kLong300; }},
    {"a text over 8192 characters is refused: default", "LogFileNameCore", REG_SZ, kTooLong,
     [](Expected&) {}},
    {"LogLevelCore 3", "LogLevelCore", REG_SZ, "3", [](Expected& e) { e.logLevelCore = 3; }},
    {"LogRetentionPeriod and the text after the NUL is ignored", "LogRetentionPeriod", REG_SZ,
     std::string("7\0" "99", 4), [](Expected& e) { e.logRetentionPeriod = 7; }},
};

TEST(DeviceSettings, MissingValuesTakeTheirDefaults) {
  DeviceKey key(kDevice);
  CDeviceSettings settings;
  ASSERT_TRUE(settings.Load(kDevice));
  ExpectSettings(settings, Expected(), "empty key");
}

TEST(DeviceSettings, EachValueRow) {
  for (const ValueRow& row : kRows) {
    DeviceKey key(kDevice);
    key.SetRaw(row.name, row.type, row.data.data(), static_cast<DWORD>(row.data.size()));
    CDeviceSettings settings;
    ASSERT_TRUE(settings.Load(kDevice)) << row.label;
    Expected expected;
    row.expect(expected);
    ExpectSettings(settings, expected, row.label);
  }
}

TEST(DeviceSettings, ReadStringReportsWhyAValueIsRefused) {
  DeviceKey key(kDevice);
  key.SetDword("Number", 5);
  key.SetString("Text", "abc", /*terminated=*/false);
  CDeviceSettings settings;
  ASSERT_EQ(settings.Open(kDevice), ERROR_SUCCESS);
  std::string value = "sentinel";
  EXPECT_EQ(settings.ReadString("Missing", &value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(settings.ReadString("Number", &value), ERROR_INVALID_DATA);
  EXPECT_EQ(value, "sentinel");
  EXPECT_EQ(settings.ReadString("Text", &value), ERROR_SUCCESS);
  EXPECT_EQ(value, "abc");
}

TEST(DeviceSettings, MissingKeyLoadsNothing) {
  DeviceKey classKeyExists(kDevice);
  CDeviceSettings settings;
  settings.m_receiveTimeout = 1234;
  EXPECT_FALSE(settings.Load("SoSettingsTestNoSuchDevice"));
  EXPECT_FALSE(settings.Load("")) << "an empty name is no device, not the class key";
  EXPECT_EQ(settings.m_receiveTimeout, 1234);
  EXPECT_EQ(settings.KeyBase(), "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\");
}

// LogLevelCore -> the mask handed to SetLogLevel.
struct LevelRow {
  const char* label;
  const char* value;  // nullptr: no value
  DWORD mask;
};
const LevelRow kLevelRows[] = {
    {"missing (default -1) writes nothing", nullptr, 0},
    {"empty reads 0: errors", "", 0x2},
    {"0: errors", "0", 0x2},
    {"1: errors", "1", 0x2},
    {"2: information, warnings, errors", "2", 0x16},
    {"3: warnings", "3", 0x4},
    {"4: dumps and trace too", "4", 0x3196},
    {"5: nothing", "5", 0},
    {"-2: nothing", "-2", 0},
};

class ServiceObjectSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    so_ = sotest::NewServiceObject();
    ASSERT_NE(so_, nullptr);
    fakelog::Clear();
  }
  void TearDown() override {
    if (so_) so_->Release();
  }
  CPOSPrinter* so_ = nullptr;
};

TEST_F(ServiceObjectSettings, LogLevelRowsReachTheLogLibrary) {
  for (const LevelRow& row : kLevelRows) {
    DeviceKey key(kDevice);
    if (row.value) key.SetString("LogLevelCore", row.value, /*terminated=*/false);
    fakelog::Clear();
    ASSERT_TRUE(so_->ApplyDeviceSettings(kDevice)) << row.label;
    const auto calls = fakelog::LevelCalls();
    ASSERT_EQ(calls.size(), 1u) << row.label;
    EXPECT_EQ(calls[0].level, row.mask) << row.label;
    EXPECT_EQ(calls[0].lifeDays, 1u) << row.label;
    EXPECT_EQ(calls[0].maxDumpSize, 256u) << row.label;
    EXPECT_TRUE(fakelog::Names().empty()) << row.label << ": no LogFileNameCore, no name";
  }
}

TEST_F(ServiceObjectSettings, DeviceKeyConfiguresLogAndChannel) {
  DeviceKey key(kDevice);
  key.SetString("LogFileNameCore", "CoreLog", /*terminated=*/false);
  key.SetString("LogRetentionPeriod", "30", false);
  key.SetString("LogFileSize", "4096", false);
  key.SetString("LogLevelCore", "2", false);
  key.SetString("ProcessCompletionTiming", "0", false);
  key.SetString("ReceiveTimeout", "7000", false);
  key.SetString("DataRegistrationTimeout", "", false);
  key.SetString("RCVC", "250", false);
  ASSERT_TRUE(so_->ApplyDeviceSettings(kDevice));

  ASSERT_EQ(fakelog::Names(), std::vector<std::wstring>{L"CoreLog"});
  const auto calls = fakelog::LevelCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].level, 0x16u);
  EXPECT_EQ(calls[0].lifeDays, 30u);
  EXPECT_EQ(calls[0].maxDumpSize, 4096u);

  CCommDevice* channel = so_->Channel();
  EXPECT_EQ(channel->GetResponseIdMode(), 0);
  EXPECT_EQ(channel->GetResponseTimeout(), 7000);
  EXPECT_EQ(channel->GetDataRegistrationTimeout(), 0);
  EXPECT_EQ(channel->GetStatusPollInterval(), 250);
  EXPECT_EQ(so_->LogContext()->Prefix(), std::string("[") + kDevice + "] ");
}

// Stored as read, but the channel never gets a time-out of 0 (an instant 112) or a
// negative one (an endless or busy wait): those read as the defaults.
TEST_F(ServiceObjectSettings, ZeroOrNegativeTimingsReachTheChannelAsTheirDefaults) {
  const struct {
    const char* receiveTimeout;
    const char* rcvc;
    long responseTimeout, pollInterval;
  } rows[] = {
      {"0", "0", 10000, 100},
      {"-5", "-1", 10000, 100},
      {"", "", 10000, 100},
      {"1", "1", 1, 1},
  };
  for (const auto& row : rows) {
    DeviceKey key(kDevice);
    key.SetString("ReceiveTimeout", row.receiveTimeout, /*terminated=*/false);
    key.SetString("RCVC", row.rcvc, false);
    ASSERT_TRUE(so_->ApplyDeviceSettings(kDevice));
    EXPECT_EQ(so_->Channel()->GetResponseTimeout(), row.responseTimeout) << row.receiveTimeout;
    EXPECT_EQ(so_->Channel()->GetStatusPollInterval(), row.pollInterval) << row.rcvc;
  }
}

TEST_F(ServiceObjectSettings, OpenServiceWithoutDeviceKeyAnswers104And302Silently) {
  BSTR cls = SysAllocString(L"POSPrinter");
  BSTR name = SysAllocString(L"SoSettingsTestNoSuchDevice");
  EXPECT_EQ(so_->OpenService(cls, name, nullptr), OPOS_E_NOSERVICE);
  SysFreeString(cls);
  SysFreeString(name);
  EXPECT_EQ(so_->GetOpenResult(), 302);
  EXPECT_EQ(so_->Properties().ResultCode, OPOS_E_NOSERVICE);
  EXPECT_TRUE(fakelog::Lines().empty());
  // The log context was configured to write nothing.
  const auto calls = fakelog::LevelCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].level, 0u);
  EXPECT_EQ(so_->LogContext()->Prefix(), "[SoSettingsTestNoSuchDevice] ");
}

TEST_F(ServiceObjectSettings, ConstructionLeavesAClosedObject) {
  const CPropertyCache& p = so_->Properties();
  EXPECT_EQ(p.State, 1);
  EXPECT_EQ(p.ResultCode, 101);
  EXPECT_EQ(p.PowerState, 2000);
  EXPECT_EQ(p.OpenResult, 0);
  EXPECT_EQ(p.Caps.capUpdateStatistics, 1);
  EXPECT_EQ(p.Caps.capCharacterSet, 1);
  EXPECT_EQ(p.Caps.capTransaction, 1);
  EXPECT_EQ(p.Caps.capCoverSensor, 1);
  EXPECT_EQ(p.Caps.capRecPresent, 0);
  EXPECT_EQ(p.JrnCartridgeState, 0x10000000);
  EXPECT_EQ(p.RotateSpecial, 1);
  EXPECT_EQ(p.MapMode, 1);
  EXPECT_EQ(p.ErrorLevel, 1);
  EXPECT_EQ(so_->Channel()->Slot(), -1);
  EXPECT_FALSE(so_->Channel()->IsBound());
  EXPECT_EQ(so_->LogContext()->Prefix(), "");
}

// This program carries a version resource 1.14.1.3 (version_test.rc).
TEST(ServiceObjectVersion, ComesFromTheModuleFileVersion) {
  EXPECT_EQ(CPOSPrinter::GetServiceObjectVersion(), 1014001);
  CPOSPrinter* so = sotest::NewServiceObject();
  ASSERT_NE(so, nullptr);
  EXPECT_EQ(so->Properties().ServiceObjectVersion, 1014001);
  so->Release();
}

TEST(LogContext, LinesCarryThePrefixAndKeepPercentSigns) {
  CLogContext context;
  context.Configure("Dev%s", 256, 1, 2, "");
  fakelog::Clear();
  SetLastError(12345);
  context.Write(LOG_INFO, "CPOSPrinter::Test", "POSPrinter", 1, TAG_INFO, "Text 100%", "d");
  EXPECT_EQ(GetLastError(), 12345u);
  const auto lines = fakelog::Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, L"[Dev%s] [Info    ] Text 100% d");
  EXPECT_EQ(lines[0].module, "OPS_PCR");
  EXPECT_EQ(lines[0].folder, "OposPrinter");
  EXPECT_EQ(lines[0].function, "CPOSPrinter::Test");
  EXPECT_EQ(lines[0].category, 0x10u);
}

}  // namespace
