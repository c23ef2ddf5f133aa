// CRegistry against a private registry root: exact value names and bytes, reads of data with
// and without a terminator, enumeration, deletes and their messages.
#include "QuTestSupport.h"
#include "Registry.h"
#include "ScopedHandle.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr char kDeleteFailed[] = "It failed in the deleting.";

// A printer value set with a distinct text in every field, so a wrong mapping shows.
DeviceValues DistinctPrinterValues() {
  DeviceValues v;
  v.sendTimeout = "5000";
  v.receiveTimeout = "6000";
  v.processCompletionTiming = "0";
  v.driverName = "QuWinPrinter";
  v.paperSize = "1";
  v.printWidth = "576";
  v.markMode = "1";
  v.printSpeed = "2";
  v.nearEnd = "0";
  v.printerCharacterSet = "1252";
  v.logRetentionPeriod = "30";
  v.logLevelCore = "0";
  v.logLevelSub = "4";
  v.version = "1.14.1.7";
  v.printerProgId = "OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
  v.description = "KVR TBX910QD POS Printer Service Object";
  v.coreSODLLPath = "C:\\kvr\\vasselin.dll";
  v.subSODLLPath = "C:\\kvr\\prennik.dll";
  return v;
}

DeviceValues DistinctDrawerValues() {
  DeviceValues v;
  v.driverName = "QuWinPrinter";
  v.logRetentionPeriod = "10";
  v.logLevelCore = "0";
  v.logLevelSub = "4";
  v.pulseTime = "3";
  v.invertDrawerStatus = "T";
  v.version = "1.14.1.7";
  v.drawerProgId = "OPOS.CASHDRAWER.SO.KVR.CORE.TBXQD";
  v.description = "KVR TBX910QD Cash Drawer Service Object";
  v.coreSODLLPath = "C:\\kvr\\fenwode.dll";
  v.subSODLLPath = "C:\\kvr\\tollek.dll";
  v.drawerNo = "2";
  return v;
}

// The TBX910QD printer entry: rows 6 (PrintWidth) and 9 (NearEnd) are absent for this model.
const std::vector<RegistryValue> kTbxPrinterEntry = {
    {"SendTimeout", "5000"},
    {"ReceiveTimeout", "6000"},
    {"ProcessCompletionTiming", "0"},
    {"DriverName", "QuWinPrinter"},
    {"PaperSize", "1"},
    {"MarkMode", "1"},
    {"PrintSpeed", "2"},
    {"DefaultCharacterSet", "1252"},
    {"LogRetentionPeriod", "30"},
    {"LogLevelCore", "0"},
    {"LogLevelSub", "4"},
    {"Version", "1.14.1.7"},
    {"", "OPOS.POSPRINTER.SO.KVR.CORE.TBXQD"},
    {"Description", "KVR TBX910QD POS Printer Service Object"},
    {"CoreSODLLPath", "C:\\kvr\\vasselin.dll"},
    {"SubSODLLPath", "C:\\kvr\\prennik.dll"},
};

const std::vector<RegistryValue> kDrawerEntry = {
    {"DriverName", "QuWinPrinter"},
    {"LogRetentionPeriod", "10"},
    {"LogLevelCore", "0"},
    {"LogLevelSub", "4"},
    {"PulseTime", "3"},
    {"InvertDrawerStatus", "T"},
    {"Version", "1.14.1.7"},
    {"", "OPOS.CASHDRAWER.SO.KVR.CORE.TBXQD"},
    {"Description", "KVR TBX910QD Cash Drawer Service Object"},
    {"CoreSODLLPath", "C:\\kvr\\fenwode.dll"},
    {"SubSODLLPath", "C:\\kvr\\tollek.dll"},
    {"DrawerNo", "2"},
};

std::vector<std::string> Names(const std::vector<RegistryValue>& values) {
  std::vector<std::string> names;
  for (const RegistryValue& v : values) names.push_back(v.name);
  return names;
}

class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest() : reg(CurrentTestName()), registry(reg.Location(), &messages) {}

  // Every expected value is REG_SZ with exactly the text's bytes (no terminator), and the key
  // holds nothing else.
  void ExpectKeyHolds(const std::string& path, const std::vector<RegistryValue>& expected) {
    for (const RegistryValue& v : expected) {
      DWORD type = 0;
      std::string bytes;
      ASSERT_TRUE(reg.Raw(path, v.name, &type, &bytes)) << "value [" << v.name << "]";
      EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << v.name;
      EXPECT_EQ(bytes, v.data) << "value [" << v.name << "] size " << bytes.size();
    }
    EXPECT_EQ(reg.ValueCount(path), expected.size());
  }

  PrivateRegistry reg;
  RecordedMessages messages;
  CRegistry registry;
};

TEST(RegistryEntries, PrinterEntryOrderFollowsTheModelsLists) {
  EXPECT_EQ(PosPrinterEntry(DistinctPrinterValues(), kModelRows[1]), kTbxPrinterEntry);
  // The generic row has a print-width list (empty) but no near-end list.
  const std::vector<std::string> generic = {
      "SendTimeout", "ReceiveTimeout", "ProcessCompletionTiming", "DriverName", "PaperSize",
      "PrintWidth", "MarkMode", "PrintSpeed", "DefaultCharacterSet", "LogRetentionPeriod",
      "LogLevelCore", "LogLevelSub", "Version", "", "Description", "CoreSODLLPath",
      "SubSODLLPath"};
  EXPECT_EQ(Names(PosPrinterEntry(DistinctPrinterValues(), kModelRows[0])), generic);
}

TEST(RegistryEntries, DrawerEntryAndRewrite) {
  EXPECT_EQ(CashDrawerEntry(DistinctDrawerValues()), kDrawerEntry);
  const std::vector<std::string> plain = {"DriverName", "LogRetentionPeriod", "LogLevelCore",
                                          "LogLevelSub", "PulseTime", "InvertDrawerStatus"};
  EXPECT_EQ(Names(CashDrawerRewrite(DistinctDrawerValues(), false)), plain);
  std::vector<std::string> repaired = plain;
  repaired.insert(repaired.end(),
                  {"Version", "Description", "CoreSODLLPath", "SubSODLLPath", "DrawerNo"});
  EXPECT_EQ(Names(CashDrawerRewrite(DistinctDrawerValues(), true)), repaired);
}

TEST(RegistryEntries, ReadOrderMapsBackByPosition) {
  const std::vector<std::string> printer = {
      "SendTimeout", "ReceiveTimeout", "ProcessCompletionTiming", "DriverName", "PaperSize",
      "NearEnd", "DefaultCharacterSet", "LogLevelCore", "LogLevelSub", "Version", "",
      "Description", "CoreSODLLPath", "SubSODLLPath", "PrintSpeed", "LogRetentionPeriod",
      "PrintWidth", "MarkMode"};
  EXPECT_EQ(PosPrinterReadNames(kModelRows[1]), printer);
  const std::vector<std::string> drawer = {
      "DriverName", "PulseTime", "InvertDrawerStatus", "LogLevelCore", "LogLevelSub", "Version",
      "", "Description", "CoreSODLLPath", "SubSODLLPath", "DrawerNo", "LogRetentionPeriod"};
  EXPECT_EQ(CashDrawerReadNames(), drawer);

  std::vector<std::string> read;
  for (size_t i = 0; i < printer.size(); ++i) read.push_back("v" + std::to_string(i));
  DeviceValues v;
  CopyPosPrinterValues(read, &v);
  EXPECT_EQ(v.sendTimeout, "v0");
  EXPECT_EQ(v.nearEnd, "v5");
  EXPECT_EQ(v.printerProgId, "v10");
  EXPECT_EQ(v.printSpeed, "v14");
  EXPECT_EQ(v.markMode, "v17");
  DeviceValues d;
  CopyCashDrawerValues(read, &d);
  EXPECT_EQ(d.invertDrawerStatus, "v2");
  EXPECT_EQ(d.drawerProgId, "v6");
  EXPECT_EQ(d.drawerNo, "v10");
  EXPECT_EQ(d.logRetentionPeriod, "v11");
}

TEST_F(RegistryTest, CreatedPrinterHoldsItsValuesWithoutTerminators) {
  ASSERT_EQ(registry.CreatePosPrinterKey("TBX910QD", DistinctPrinterValues(), kModelRows[1]), 1);
  ExpectKeyHolds(reg.DevicePath(kPosPrinter, "TBX910QD"), kTbxPrinterEntry);
}

TEST_F(RegistryTest, CreatedDrawerHoldsItsValuesWithoutTerminators) {
  ASSERT_EQ(registry.CreateCashDrawerKey("TBX910QD_2", DistinctDrawerValues()), 1);
  ExpectKeyHolds(reg.DevicePath(kCashDrawer, "TBX910QD_2"), kDrawerEntry);
}

TEST_F(RegistryTest, EmptyStringIsWrittenWithZeroBytes) {
  DeviceValues v = DistinctPrinterValues();
  v.driverName.clear();
  ASSERT_EQ(registry.CreatePosPrinterKey("QuEmpty", v, kModelRows[1]), 1);
  DWORD type = 0;
  std::string bytes = "sentinel";
  ASSERT_TRUE(reg.Raw(reg.DevicePath(kPosPrinter, "QuEmpty"), "DriverName", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes.size(), 0u);
}

TEST_F(RegistryTest, CreateRefusesNamesThatAreNoDeviceKey) {
  for (const char* name : {"", "A\\B"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(registry.CreatePosPrinterKey(name, DistinctPrinterValues(), kModelRows[1]), 0);
    EXPECT_EQ(registry.CreateCashDrawerKey(name, DistinctDrawerValues()), 0);
  }
  EXPECT_FALSE(reg.KeyExists(reg.ClassPath(kPosPrinter)));
  EXPECT_FALSE(reg.KeyExists(reg.ClassPath(kCashDrawer)));
}

TEST_F(RegistryTest, RewriteNeedsAnExistingKey) {
  EXPECT_EQ(registry.WritePosPrinterValues("QuNoSuch", DistinctPrinterValues(), kModelRows[1]), 0);
  EXPECT_EQ(registry.WriteCashDrawerValues("QuNoSuch", DistinctDrawerValues(), true), 0);
  EXPECT_FALSE(reg.KeyExists(reg.DevicePath(kPosPrinter, "QuNoSuch")));
  EXPECT_FALSE(reg.KeyExists(reg.DevicePath(kCashDrawer, "QuNoSuch")));
}

TEST_F(RegistryTest, DrawerRewriteWithoutRepairLeavesComputedValues) {
  ASSERT_EQ(registry.CreateCashDrawerKey("QuDrawer_1", DistinctDrawerValues()), 1);
  DeviceValues changed = DistinctDrawerValues();
  changed.pulseTime = "5";
  changed.version = "2.0.0.0";
  changed.drawerNo = "1";
  changed.drawerProgId = "OTHER";
  const std::string path = reg.DevicePath(kCashDrawer, "QuDrawer_1");
  ASSERT_EQ(registry.WriteCashDrawerValues("QuDrawer_1", changed, /*repaired=*/false), 1);
  EXPECT_EQ(reg.Text(path, "PulseTime"), "5");
  EXPECT_EQ(reg.Text(path, "Version"), "1.14.1.7");
  EXPECT_EQ(reg.Text(path, "DrawerNo"), "2");
  ASSERT_EQ(registry.WriteCashDrawerValues("QuDrawer_1", changed, /*repaired=*/true), 1);
  EXPECT_EQ(reg.Text(path, "Version"), "2.0.0.0");
  EXPECT_EQ(reg.Text(path, "DrawerNo"), "1");
  EXPECT_EQ(reg.Text(path, ""), "OPOS.CASHDRAWER.SO.KVR.CORE.TBXQD");  // never rewritten
}

TEST_F(RegistryTest, WriteStopsAtTheFirstFailingValue) {
  const std::string path = reg.ClassPath(kPosPrinter) + "\\QuStop";
  reg.SetString(path, "CreatesTheKey", "x");
  ScopedRegKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, key.receive()),
            ERROR_SUCCESS);
  // A value name longer than the registry allows fails; the value after it is not written and
  // the one before it stays.
  const std::string tooLong(20000, 'n');
  EXPECT_EQ(CRegistry::WriteValues(key.get(), {{"First", "1"}, {tooLong, "2"}, {"Third", "3"}}), 0);
  EXPECT_EQ(reg.Text(path, "First"), "1");
  EXPECT_FALSE(reg.HasValue(path, "Third"));
}

TEST_F(RegistryTest, WriteThroughAReadOnlyKeyFails) {
  const std::string path = reg.ClassPath(kPosPrinter) + "\\QuReadOnly";
  reg.SetString(path, "CreatesTheKey", "x");
  ScopedRegKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.receive()),
            ERROR_SUCCESS);
  EXPECT_EQ(CRegistry::WriteValues(key.get(), {{"First", "1"}}), 0);
  EXPECT_FALSE(reg.HasValue(path, "First"));
}

TEST_F(RegistryTest, ReadStringValueAcceptsDataWithOrWithoutTerminator) {
  const std::string path = reg.DevicePath(kPosPrinter, "QuRead");
  const std::string full(256, 'a');
  reg.SetString(path, "Bare", "10000");
  reg.SetString(path, "Terminated", "10000", true);
  reg.SetString(path, "Full", full);                      // 256 bytes, no room for a NUL
  reg.SetString(path, "TooLong", full + "b");             // 257 bytes
  reg.SetString(path, "FullTerminated", full, true);      // 257 bytes with the NUL
  const DWORD number = 5000;
  reg.SetRaw(path, "Dword", REG_DWORD, &number, sizeof(number));
  reg.SetRaw(path, "Expand", REG_EXPAND_SZ, "10000", 6);
  const struct {
    const char* name;
    int result;
    std::string text;
  } rows[] = {
      {"Bare", 1, "10000"},
      {"Terminated", 1, "10000"},
      {"Full", 1, full},
      {"TooLong", 0, "sentinel"},
      {"FullTerminated", 0, "sentinel"},
      {"Dword", 0, "sentinel"},
      {"Expand", 0, "sentinel"},
      {"Missing", 0, "sentinel"},
  };
  for (const auto& row : rows) {
    std::string text = "sentinel";
    EXPECT_EQ(registry.ReadStringValue(path, row.name, &text), row.result) << row.name;
    EXPECT_EQ(text, row.text) << row.name;
  }
  std::string text = "sentinel";
  EXPECT_EQ(registry.ReadStringValue(path + "\\NoKey", "Bare", &text), 0);
  EXPECT_EQ(text, "sentinel");
  EXPECT_EQ(registry.ReadValue(path, "Dword"), "");
}

TEST_F(RegistryTest, EnumValuesTakesEveryValueOfTheClassKey) {
  std::vector<LogicalNameRecord> names;
  EXPECT_EQ(registry.EnumValues(kPosPrinter, &names), 0);  // no class key yet
  const std::string cls = reg.ClassPath(kPosPrinter);
  reg.SetString(cls, "LogicalA", "DeviceA");
  reg.SetString(cls, "LogicalB", "DeviceB", true);
  const DWORD number = 7;
  reg.SetRaw(cls, "LogicalC", REG_DWORD, &number, sizeof(number));
  ASSERT_EQ(registry.EnumValues(kPosPrinter, &names), 1);
  ASSERT_EQ(names.size(), 3u);
  // Wine lists values in name order.
  EXPECT_EQ(names[0].logicalName, "LogicalA");
  EXPECT_EQ(names[0].deviceName, "DeviceA");
  EXPECT_EQ(names[1].deviceName, "DeviceB");
  EXPECT_EQ(names[2].logicalName, "LogicalC");
  EXPECT_EQ(names[2].deviceName, std::string("\x07", 1));
}

TEST_F(RegistryTest, EnumDevicesListsTheDeviceKeys) {
  std::vector<DeviceRecord> devices;
  EXPECT_EQ(registry.EnumDevices(kCashDrawer, &devices), 0);
  reg.SetString(reg.DevicePath(kCashDrawer, "QuB"), "DrawerNo", "1");
  reg.SetString(reg.DevicePath(kCashDrawer, "QuA"), "DrawerNo", "1");
  ASSERT_EQ(registry.EnumDevices(kCashDrawer, &devices), 1);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].name, "QuA");
  EXPECT_EQ(devices[1].name, "QuB");
}

TEST_F(RegistryTest, LogicalNamesAreAddedAndDeleted) {
  reg.SetString(reg.DevicePath(kPosPrinter, "QuP"), "DriverName", "");
  ASSERT_EQ(registry.AddLogicalDeviceName(kPosPrinter, "QuLogical", "QuP"), 1);
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(reg.Raw(reg.ClassPath(kPosPrinter), "QuLogical", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, "QuP");
  // An empty logical name would set the class key's default value.
  EXPECT_EQ(registry.AddLogicalDeviceName(kPosPrinter, "", "QuP"), 0);
  EXPECT_FALSE(reg.HasValue(reg.ClassPath(kPosPrinter), ""));

  EXPECT_EQ(registry.DeleteValue(kPosPrinter, "QuLogical"), 1);
  EXPECT_FALSE(reg.HasValue(reg.ClassPath(kPosPrinter), "QuLogical"));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(registry.DeleteValue(kPosPrinter, "QuLogical"), 0);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text,
            std::string(kDeleteFailed) + "\nThe value \"QuLogical\" of the registry key \"" +
                registry.FullKeyName(reg.ClassPath(kPosPrinter)) + "\" could not be deleted.\n" +
                CRegistry::SystemErrorText(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(messages.shown[0].icon, static_cast<unsigned>(MB_ICONEXCLAMATION));
  EXPECT_EQ(registry.DeleteValue(kScanner, "QuLogical"), 0);  // no class key
  EXPECT_EQ(messages.shown.size(), 2u);
}

// A write or delete the registry refuses names the key (and value) and gives the system's
// reason, so an add or delete without the rights to write does not pass in silence.
TEST_F(RegistryTest, RefusedWritesAndDeletesTellTheKeyAndTheReason) {
  // A class key made volatile takes no lasting device key: the create is refused.
  {
    ScopedRegKey service, volatileClass;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, registry.Location().servicePath.c_str(), 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, service.receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(service.get(), "POSPrinter", 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, volatileClass.receive(), nullptr),
              ERROR_SUCCESS);
  }
  reg.SetString(reg.DevicePath(kCashDrawer, "QuParent") + "\\Child", "X", "1");
  const std::string tooLong(20000, 'n');
  const std::string printerKey = registry.FullKeyName(reg.DevicePath(kPosPrinter, "QuNew"));
  const std::string drawerKey = registry.FullKeyName(reg.DevicePath(kCashDrawer, "QuGone"));
  const std::string parentKey = registry.FullKeyName(reg.DevicePath(kCashDrawer, "QuParent"));
  const std::string classKey = registry.FullKeyName(reg.ClassPath(kCashDrawer));
  const struct {
    const char* what;
    std::function<int()> run;
    std::string firstLine;
    LONG error;  // 0: any the system explains
  } rows[] = {
      {"create", [&] { return registry.CreatePosPrinterKey("QuNew", DistinctPrinterValues(),
                                                          kModelRows[1]); },
       "The registry key \"" + printerKey + "\" could not be created.",
       ERROR_CHILD_MUST_BE_VOLATILE},
      {"rewrite", [&] { return registry.WriteCashDrawerValues("QuGone", DistinctDrawerValues(),
                                                             false); },
       "The registry key \"" + drawerKey + "\" could not be opened for writing.",
       ERROR_FILE_NOT_FOUND},
      {"value", [&] { return registry.AddLogicalDeviceName(kCashDrawer, tooLong, "QuParent"); },
       "The value \"" + tooLong + "\" of the registry key \"" + classKey +
           "\" could not be written.",
       0},  // the platforms differ in the code for a name too long
      // A key that still holds a key of its own is not deleted.
      {"delete", [&] { return registry.DeleteKey(kCashDrawer, "QuParent"); },
       "The registry key \"" + parentKey + "\" could not be deleted.", ERROR_ACCESS_DENIED},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    messages.shown.clear();
    EXPECT_EQ(row.run(), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, static_cast<unsigned>(MB_ICONEXCLAMATION));
    const std::string& text = messages.shown[0].text;
    const size_t newline = text.find('\n');
    EXPECT_EQ(text.substr(0, newline), row.firstLine);
    const std::string reason = newline == std::string::npos ? "" : text.substr(newline + 1);
    if (row.error != 0) {
      EXPECT_EQ(reason, CRegistry::SystemErrorText(row.error));
    }
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(reason.rfind("error ", 0), 0u) << "the system's own text: " << reason;
  }
  EXPECT_FALSE(reg.KeyExists(reg.DevicePath(kPosPrinter, "QuNew")));
  EXPECT_TRUE(reg.KeyExists(reg.DevicePath(kCashDrawer, "QuParent")));
}

TEST_F(RegistryTest, DeleteKeyFailsQuietlyForAMissingKey) {
  reg.SetString(reg.DevicePath(kCashDrawer, "QuD_1"), "DrawerNo", "1");
  EXPECT_EQ(registry.DeleteKey(kCashDrawer, "QuD_2"), 0);
  EXPECT_EQ(registry.DeleteKey(kCashDrawer, ""), 0);  // would aim at the class key
  EXPECT_TRUE(reg.KeyExists(reg.ClassPath(kCashDrawer)));
  EXPECT_EQ(registry.DeleteKey(kCashDrawer, "QuD_1"), 1);
  EXPECT_FALSE(reg.KeyExists(reg.DevicePath(kCashDrawer, "QuD_1")));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RegistryTest, DeleteLogicalNamesOfRemovesOnlyThatDevicesNames) {
  const std::string cls = reg.ClassPath(kCashDrawer);
  reg.SetString(cls, "L1", "QuP_1");
  reg.SetString(cls, "L2", "QuOther");
  reg.SetString(cls, "L3", "QuP_1");
  reg.SetString(cls, "L4", "QuP_10");
  EXPECT_EQ(registry.DeleteLogicalNamesOf(kCashDrawer, "QuP_1"), 1);
  EXPECT_FALSE(reg.HasValue(cls, "L1"));
  EXPECT_FALSE(reg.HasValue(cls, "L3"));
  EXPECT_TRUE(reg.HasValue(cls, "L2"));
  EXPECT_TRUE(reg.HasValue(cls, "L4"));
}

TEST_F(RegistryTest, DrawerReadTakesItsPrintersWindowsPrinter) {
  reg.SetString(reg.DevicePath(kPosPrinter, "QuP"), "DriverName", "PrinterX");
  reg.SetString(reg.DevicePath(kPosPrinter, "QuBare"), "DriverName", "");
  const struct {
    const char* drawer;
    const char* own;
    const char* shown;
  } rows[] = {
      {"QuP_1", "PrinterY", "PrinterX"},   // the printer's name wins
      {"QuP_2", "", "PrinterX"},
      {"QuBare_1", "PrinterY", "PrinterY"},  // a printer without one does not wipe the drawer's
      {"QuNone_1", "PrinterY", "PrinterY"},  // no such printer
      {"Q1", "PrinterY", "PrinterY"},        // too short to name a printer
  };
  for (const auto& row : rows) {
    reg.SetString(reg.DevicePath(kCashDrawer, row.drawer), "DriverName", row.own);
    const std::vector<std::string> values = registry.ReadCashDrawerValues(row.drawer);
    ASSERT_EQ(values.size(), 12u);
    EXPECT_EQ(values[0], row.shown) << row.drawer;
    EXPECT_EQ(reg.Text(reg.DevicePath(kCashDrawer, row.drawer), "DriverName"), row.own);
  }
}

TEST_F(RegistryTest, CharacterSetOfTheSystemLanguage) {
  EXPECT_EQ(CRegistry::CharacterSetForLanguage(1033), "999");
  EXPECT_EQ(CRegistry::CharacterSetForLanguage(1041), "932");
  EXPECT_EQ(CRegistry::CharacterSetForLanguage(1031), "932");
  // The test runner pins an English locale.
  EXPECT_EQ(CRegistry::GetSystemCharacterSet(), "999");
  reg.SetString(reg.DevicePath(kPosPrinter, "TBX910QD"), "DefaultCharacterSet", "1252");
  EXPECT_EQ(registry.GetDefaultCharacterSet(kPosPrinter, "TBX910QD"), "1252");
  EXPECT_EQ(registry.GetDefaultCharacterSet(kPosPrinter, "QuMissing"), "999");
  EXPECT_EQ(registry.GetDefaultCharacterSet(kLineDisplay, "TBX910QD"), "999");
  EXPECT_EQ(registry.GetDefaultCharacterSet(kPosPrinter, ""), "999");
}

TEST_F(RegistryTest, ProgIdIsRegisteredOnlyWithAReadableClsid) {
  EXPECT_FALSE(registry.IsProgIdRegistered(kPrinterServiceProgId));
  reg.SetString(reg.Location().classesPath + "\\" + kDrawerServiceProgId, "", "no CLSID key");
  EXPECT_FALSE(registry.IsProgIdRegistered(kDrawerServiceProgId));
  reg.RegisterProgId(kPrinterServiceProgId);
  EXPECT_TRUE(registry.IsProgIdRegistered(kPrinterServiceProgId));
}

TEST_F(RegistryTest, PrinterDriverUseMarksMissingAndSharedPrinters) {
  const struct {
    const char* device;
    const char* driver;
    bool maker;
    bool noPrinter;
    bool missingOrShared;
  } rows[] = {
      {"QuA", "WinP1", true, false, false},  // first to name WinP1 claims it
      {"QuB", "WinP1", true, false, true},   // shared
      {"QuC", "", true, true, false},
      {"QuD", "WinGone", true, false, true},  // not installed
      {"QuE", "WinP2", false, false, false},  // not the maker's: not examined
  };
  std::vector<DeviceRecord> devices;
  for (const auto& row : rows) {
    reg.SetString(reg.DevicePath(kPosPrinter, row.device), "DriverName", row.driver);
    DeviceRecord d;
    d.name = row.device;
    d.makerDevice = row.maker;
    devices.push_back(d);
  }
  std::vector<InstalledPrinter> installed = {{"WinP1", "", "KVR TBX910QD"},
                                             {"WinP2", "", "KVR TBX910QD"}};
  registry.MarkPrinterDriverUse(&devices, &installed);
  for (size_t i = 0; i < devices.size(); ++i) {
    EXPECT_EQ(devices[i].noWindowsPrinter, rows[i].noPrinter) << rows[i].device;
    EXPECT_EQ(devices[i].printerMissingOrShared, rows[i].missingOrShared) << rows[i].device;
  }
  EXPECT_EQ(installed[0].claimedBy, "QuA");
  EXPECT_EQ(installed[1].claimedBy, "");
}

TEST(RegistryDefaults, TheRealLocationIsTheServiceOposKey) {
  CRegistry registry;
  EXPECT_EQ(registry.ClassKeyPath(kPosPrinter), "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter");
  EXPECT_EQ(registry.DeviceKeyPath(kCashDrawer, "QuX_1"),
            "SOFTWARE\\OLEforRetail\\ServiceOPOS\\CashDrawer\\QuX_1");
  EXPECT_EQ(registry.Location().root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(registry.Location().classesRoot, HKEY_CLASSES_ROOT);
}

}  // namespace
