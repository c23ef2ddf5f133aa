// Device settings from the registry into the instance, the version rule of initialisation,
// the log level masks, the log's module tag and folder, and the drawer-kick bytes.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "DrawerKick.h"
#include "DrawerRegistry.h"
#include "DrawerSettings.h"
#include "LogCapture.h"
#include "Log.h"
#include "LogContext.h"
#include "ModuleLogFile.h"
#include "SubSO.h"
#include "TbxSim.h"

namespace {

using drwtest::RegValue;
using tollek::DrawerSettings;

const std::string kDevice = "DrwCoreSettings";

struct SettingRow {
  const char* why;
  std::vector<RegValue> values;  // empty: the value is absent
  std::function<std::string(const DrawerSettings&)> field;
  std::string expected;
};

std::string N(long v) { return std::to_string(v); }

TEST(DrawerSettingsTest, RegistryValuesBecomeSettings) {
  auto pulse = [](const DrawerSettings& s) { return N(s.PulseTime); };
  auto invert = [](const DrawerSettings& s) { return N(s.InvertDrawerStatus); };
  auto drawerNo = [](const DrawerSettings& s) { return N(s.DrawerNo); };
  auto timeout = [](const DrawerSettings& s) { return N(s.SendTimeout); };
  auto driver = [](const DrawerSettings& s) { return s.DriverName; };
  const std::string longName(255, 'p');
  const SettingRow rows[] = {
      {"PulseTime absent: default", {}, pulse, "1"},
      {"PulseTime 8 is in range", {{"PulseTime", "8"}}, pulse, "8"},
      {"PulseTime 0 below range", {{"PulseTime", "0"}}, pulse, "1"},
      {"PulseTime 9 above range", {{"PulseTime", "9"}}, pulse, "1"},
      {"PulseTime negative", {{"PulseTime", "-3"}}, pulse, "1"},
      {"PulseTime no digits", {{"PulseTime", "abc"}}, pulse, "1"},
      {"PulseTime trailing text ignored", {{"PulseTime", "3x"}}, pulse, "3"},
      {"PulseTime without terminator", {{"PulseTime", "5", false}}, pulse, "5"},
      {"InvertDrawerStatus T", {{"InvertDrawerStatus", "T"}}, invert, "1"},
      {"InvertDrawerStatus T unterminated", {{"InvertDrawerStatus", "T", false}}, invert, "1"},
      {"InvertDrawerStatus lower case", {{"InvertDrawerStatus", "t"}}, invert, "0"},
      {"InvertDrawerStatus longer word", {{"InvertDrawerStatus", "TRUE"}}, invert, "0"},
      {"InvertDrawerStatus empty", {{"InvertDrawerStatus", ""}}, invert, "0"},
      {"DrawerNo 3 kept", {{"DrawerNo", "3"}}, drawerNo, "3"},
      {"DrawerNo absent", {}, drawerNo, "1"},
      {"SendTimeout empty: default, not 0", {{"SendTimeout", ""}}, timeout, "5000"},
      {"SendTimeout set", {{"SendTimeout", "1500"}}, timeout, "1500"},
      {"SendTimeout negative: default", {{"SendTimeout", "-1"}}, timeout, "5000"},
      {"SendTimeout of another type", {{"SendTimeout", "1500", true, REG_EXPAND_SZ}}, timeout,
       "5000"},
      {"DriverName text", {{"DriverName", "Printer A"}}, driver, "Printer A"},
      {"DriverName unterminated", {{"DriverName", "Printer B", false}}, driver, "Printer B"},
      {"DriverName of 255 characters", {{"DriverName", longName, false}}, driver, longName},
      {"DriverName too long for the buffer", {{"DriverName", longName + "q", false}}, driver, ""},
      {"LogFileNameSub text", {{"LogFileNameSub", "DrawerLog"}},
       [](const DrawerSettings& s) { return s.LogFileNameSub; }, "DrawerLog"},
      {"LogLevelSub absent", {}, [](const DrawerSettings& s) { return N(s.LogLevelSub); }, "-1"},
      {"LogRetentionPeriod absent", {},
       [](const DrawerSettings& s) { return N(s.LogRetentionPeriod); }, "1"},
      {"LogFileSize absent", {}, [](const DrawerSettings& s) { return N(s.LogFileSize); }, "256"},
      {"LogFileSize set", {{"LogFileSize", "1024"}},
       [](const DrawerSettings& s) { return N(s.LogFileSize); }, "1024"},
  };
  for (const SettingRow& row : rows) {
    drwtest::WriteDevice(kDevice, row.values);
    EXPECT_EQ(row.expected, row.field(tollek::ReadDrawerSettings(drwtest::DeviceKey(kDevice).c_str())))
        << row.why;
  }
  drwtest::DeleteDevice(kDevice);
  EXPECT_EQ(5000, tollek::ReadDrawerSettings(drwtest::DeviceKey(kDevice).c_str()).SendTimeout)
      << "no device key: every default";
}

TEST(DrawerSettingsTest, LogLevelMasks) {
  const struct {
    long level;
    DWORD mask;
  } rows[] = {{-1, 0}, {0, 0x2}, {1, 0x2}, {2, 0x16}, {3, 0x4}, {4, 0x3196}, {5, 0}};
  for (const auto& row : rows) EXPECT_EQ(row.mask, tollek::LogLevelMask(row.level)) << row.level;
}

// The module literal's two parts: the tag each line carries, the folder its daily file is in.
TEST(DrawerSettingsTest, LogLinesCarryTheTagOpsDsbIntoTheOposDrawerFolder) {
  tollek::CLogContext context;
  context.Configure("TollekLogTag", 0, 0, /*logLevelSub=*/2, nullptr);
  const std::string marker = subsupporttest::UniqueLogMarker("tollek-tag");
  SYSTEMTIME before;
  GetLocalTime(&before);
  context.Write(LOG_CAT_INFO, "CSubSO::LogTagProbe", "SubSO", 7, tollek::kTagInfo,
                marker.c_str());
  EXPECT_TRUE(subsupporttest::DailyLogHolds(
      L"OposDrawer",
      "\t[OPS_DSB] \tCSubSO::LogTagProbe(7) \t[TollekLogTag] [Info    ] " + marker + " \r\n",
      before));
}

// Kick: DLE DC4 1, the connector (0 for drawer 1, 1 for drawer 2, none otherwise), the pulse.
TEST(DrawerKickTest, CommandBytes) {
  const struct {
    long drawerNo, pulseTime;
    std::vector<BYTE> bytes;
  } rows[] = {
      {1, 1, {0x10, 0x14, 0x01, 0x00, 0x01}},
      {2, 8, {0x10, 0x14, 0x01, 0x01, 0x08}},
      {3, 2, {0x10, 0x14, 0x01, 0x02}},
      {0, 5, {0x10, 0x14, 0x01, 0x05}},
  };
  for (const auto& row : rows) {
    BYTE out[tollek::kDrawerKickMaxBytes] = {};
    const DWORD n = tollek::BuildDrawerKick(row.drawerNo, row.pulseTime, out);
    EXPECT_EQ(row.bytes, std::vector<BYTE>(out, out + n)) << row.drawerNo << "/" << row.pulseTime;
  }
}

// The instance reads its device entry at initialisation and checks the core's version.
TEST(DrawerInitTest, VersionRuleAndSettingsIntoTheInstance) {
  drwtest::LogCapture log;
  drwtest::WriteDevice(kDevice, {{"PulseTime", "6"}, {"DrawerNo", "2"},
                                 {"InvertDrawerStatus", "T"}, {"DriverName", "DrwCoreSet"}});
  const struct {
    long coreVersion;
    long result;
  } rows[] = {{1013999, DRW_E_UNSUPPORTED}, {1014000, 0}, {1015002, 0}, {2000000, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.coreVersion);
    tollek::CSubSO instance(3);
    DrwInitRecord init{};
    init.subModuleVersion = -5;
    EXPECT_EQ(row.result, instance.initSubSODet(kDevice.c_str(), row.coreVersion, &init));
    if (row.result != 0) {
      EXPECT_EQ(-5, init.subModuleVersion) << "nothing written";
      EXPECT_EQ(nullptr, init.description);
      EXPECT_FALSE(instance.initialised());
      continue;
    }
    EXPECT_EQ(1014001, init.subModuleVersion);  // file version 1.14.1.0
    EXPECT_EQ(6, instance.settings().PulseTime);
    EXPECT_EQ(2, instance.settings().DrawerNo);
    EXPECT_EQ(1, instance.settings().InvertDrawerStatus);
    EXPECT_EQ("DrwCoreSet", instance.settings().DriverName);
    for (char* text : {init.description, init.deviceDescription, init.shortDescription})
      EXPECT_EQ(0, tollek::CSubSO::releaseBuffer(text));
  }
  EXPECT_TRUE(log.Has("[" + kDevice + "] [Param   ] DeviceName " + kDevice));
  EXPECT_TRUE(log.Has("[Info    ] Version: 1014000000"));
  EXPECT_EQ(DWORD(0x2), log.CategoryOf("[Result  ] -2"));
  drwtest::DeleteDevice(kDevice);
}

// The instance's own lines: exact texts, and 0x10 for success or 0x2 for failure.
TEST(DrawerInitTest, LifecycleLogLines) {
  drwtest::LogCapture log;
  const std::string printer = "DrwCoreLogLines";
  drwtest::WriteDevice(kDevice, {{"DriverName", printer}});
  TbxSim_Reset(printer.c_str());
  TbxSim_SetOnline(printer.c_str(), FALSE);
  {
    tollek::CSubSO idle(4);
    EXPECT_EQ(DRW_E_BAD_CALL, idle.connectPrinterDet());
    EXPECT_EQ(DRW_E_BAD_CALL, idle.terminateSubSODet());
  }
  tollek::CSubSO instance(4);
  DrwInitRecord init{};
  ASSERT_EQ(0, instance.initSubSODet(kDevice.c_str(), 1014000, &init));
  EXPECT_EQ(OPOS_E_NOHARDWARE, instance.connectPrinterDet());
  const std::string p = "[" + kDevice + "] ";
  const struct {
    std::string line;
    DWORD category;
  } rows[] = {
      {"[Info    ] SubSO is not initialized. ", 0x2},
      {"[Result  ] -1 ", 0x2},
      {"[Exit    ] terminateSubSO", 0x2},
      {p + "[Enter   ] initSubSO ", 0x10},
      {p + "[Result  ] 0 ", 0x10},
      {p + "[Exit    ] initSubSO ", 0x10},
      {p + "[Enter   ] connectPrinter ", 0x10},
      {p + "[Info    ] Failed to connect printer dll. Return value = 107", 0x2},
      {p + "[Result  ] 107 ", 0x2},
      {p + "[Exit    ] connectPrinter ", 0x2},
  };
  for (const auto& row : rows) EXPECT_EQ(row.category, log.CategoryOf(row.line)) << row.line;
  for (char* text : {init.description, init.deviceDescription, init.shortDescription})
    EXPECT_EQ(0, tollek::CSubSO::releaseBuffer(text));
  drwtest::DeleteDevice(kDevice);
}

}  // namespace
