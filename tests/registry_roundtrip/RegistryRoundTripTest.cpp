// The device entries as the setup utility writes them (every string without its terminating
// NUL) are what the service objects read: vasselin's device settings and prennik's initSubSO
// for the printer, tollek's initSubSO for a drawer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeviceSettings.h"
#include "DrawerCore.h"
#include "KvrOposUtilityDoc.h"
#include "PrinterSubApi.h"
#include "ScopedHandle.h"
#include "TbxSim.h"
#include "TestPrinter.h"

namespace {

constexpr char kPrinter[] = "TBX910QD-RoundTrip";
constexpr char kWindowsPrinter[] = "KvrRoundTrip";  // the spooler's and the simulated printer's
constexpr char kServiceKey[] = "SOFTWARE\\OLEforRetail\\ServiceOPOS";

struct NoMessages final : IUserMessages {
  void ShowMessage(const std::string& text, unsigned) override { shown.push_back(text); }
  int Ask(const std::string&, unsigned) override { return IDCANCEL; }
  std::vector<std::string> shown;
};

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string file(path, n);
  return file.substr(0, file.rfind('\\'));
}

// The value's bytes exactly as stored.
std::string RawValue(const std::string& key, const char* name) {
  ScopedRegKey handle;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, handle.receive()) !=
      ERROR_SUCCESS)
    return "(no key)";
  char data[512];
  DWORD size = sizeof(data), type = 0;
  if (RegQueryValueExA(handle.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return "(no value)";
  return std::string(data, size);
}

class RegistryRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(AddTestPrinter(kWindowsPrinter, &error, "KVR TBX910QD")) << error;
    TbxSim_Reset(kWindowsPrinter);
    TbxSim_SetMemorySwitch(kWindowsPrinter, 5, 0x04);
    TbxSim_SetMemorySwitch(kWindowsPrinter, 13, 0x04);
    DeleteEntries();
    // What the add-device wizard's Finish does, through the document and CRegistry over the
    // machine's own ServiceOPOS key.
    doc_ = std::make_unique<CKvrOposUtilityDoc>(RegistryLocation{}, &messages_);
    doc_->SetModuleFolder(ProgramFolder());
    doc_->SetModelRow(1);
    doc_->m_nTreePosition = 1;
    (void)doc_->PrepareAddDevice();
    NewDeviceValues& n = doc_->m_new;
    n.deviceName = n.connectionPrinter = kPrinter;
    n.values.driverName = kWindowsPrinter;
    n.values.receiveTimeout = "6000";
    n.values.processCompletionTiming = "0";
    n.values.paperSize = "1";
    n.values.markMode = "1";
    n.values.logRetentionPeriod = "30";
    n.values.logLevelCore = "0";
    n.drawerCount = "2";
    n.drawers[0] = {std::string(kPrinter) + "_1", "1", "F"};
    n.drawers[1] = {std::string(kPrinter) + "_2", "3", "T"};
    ASSERT_EQ(doc_->CreateNewDevices(), 1);
    ASSERT_TRUE(messages_.shown.empty()) << messages_.shown[0];
  }
  void TearDown() override {
    DeleteEntries();
    DeleteTestPrinter(kWindowsPrinter);
  }
  void DeleteEntries() {
    CRegistry registry({}, &messages_);
    (void)registry.DeleteKey(kPosPrinter, kPrinter);
    (void)registry.DeleteKey(kCashDrawer, std::string(kPrinter) + "_1");
    (void)registry.DeleteKey(kCashDrawer, std::string(kPrinter) + "_2");
  }
  static std::string PrinterKey() { return std::string(kServiceKey) + "\\POSPrinter\\" + kPrinter; }
  static std::string DrawerKey(int n) {
    return std::string(kServiceKey) + "\\CashDrawer\\" + kPrinter + "_" + std::to_string(n);
  }

  NoMessages messages_;
  std::unique_ptr<CKvrOposUtilityDoc> doc_;
};

TEST_F(RegistryRoundTrip, WrittenWithoutTerminators) {
  const struct {
    std::string key;
    const char* name;
    std::string bytes;
  } rows[] = {
      {PrinterKey(), "DriverName", kWindowsPrinter},
      {PrinterKey(), "ReceiveTimeout", "6000"},
      {PrinterKey(), "PaperSize", "1"},
      {PrinterKey(), "SubSODLLPath", ProgramFolder() + "\\prennik.dll"},
      {DrawerKey(2), "PulseTime", "3"},
      {DrawerKey(2), "DrawerNo", "2"},
      {DrawerKey(2), "DriverName", kWindowsPrinter},
  };
  for (const auto& row : rows) EXPECT_EQ(RawValue(row.key, row.name), row.bytes) << row.name;
}

TEST_F(RegistryRoundTrip, VasselinReadsThePrinter) {
  CDeviceSettings settings;
  ASSERT_TRUE(settings.Load(kPrinter));
  EXPECT_EQ(settings.m_subSODLLPath, ProgramFolder() + "\\prennik.dll");
  EXPECT_EQ(settings.m_receiveTimeout, 6000);
  EXPECT_EQ(settings.m_processCompletionTiming, 0);
  EXPECT_EQ(settings.m_logRetentionPeriod, 30);
  EXPECT_EQ(settings.m_logLevelCore, 0);
}

TEST_F(RegistryRoundTrip, PrennikReadsThePrinter) {
  ScopedModule module(LoadLibraryA("prennik.dll"));
  ASSERT_TRUE(module.valid());
  PrnEntryPoints x;
  void** slots = reinterpret_cast<void**>(&x);
  for (int i = 0; i < 9; ++i) {
    slots[i] = reinterpret_cast<void*>(GetProcAddress(module.get(), kPrnExportNames[i]));
    ASSERT_NE(slots[i], nullptr) << kPrnExportNames[i];
  }
  PrnPropertySnapshot snapshot{};
  long slot = -1;
  ASSERT_EQ(0, x.initSubSO(kPrinter, 1014000, &snapshot, &slot, nullptr));
  // DriverName found the Windows printer (its driver names the model); PaperSize "1" is the
  // 80 mm paper's line widths; MarkMode "1" offers the mark feed.
  ASSERT_NE(snapshot.deviceDescription, nullptr);
  EXPECT_NE(std::string(snapshot.deviceDescription).find("TBX910QD"), std::string::npos)
      << snapshot.deviceDescription;
  ASSERT_NE(snapshot.recLineCharsList, nullptr);
  EXPECT_STREQ(snapshot.recLineCharsList, "27,30,33,36,43,48,54");
  PrnCapabilityBlock caps{};
  PrnCapabilityArgs args{&caps};
  ASSERT_EQ(0, x.getCapability(PRN_CAPABILITY_BLOCK, reinterpret_cast<long*>(&args), slot));
  EXPECT_EQ(caps.capRecMarkFeed, 15);
  // connectPrinter opens the printer that DriverName names.
  ASSERT_EQ(0, x.connectPrinter(slot));
  EXPECT_EQ(TbxSim_GetOpenHandleCount(kWindowsPrinter), 1);
  EXPECT_EQ(0, x.disconnectPrinter(slot));
  EXPECT_EQ(0, x.terminateSubSO(slot));
}

TEST_F(RegistryRoundTrip, TollekReadsADrawer) {
  fenwode::DrawerCore core;
  ASSERT_TRUE(core.Load());
  ASSERT_EQ(0, core.Open((std::string(kPrinter) + "_2").c_str()));
  // DriverName opens the printer's Windows printer; DrawerNo "2" and PulseTime "3" make the
  // kick; InvertDrawerStatus "T" reads the closed sensor as open.
  ASSERT_EQ(0, core.Claim());
  ASSERT_EQ(0, core.Enable());
  EXPECT_TRUE(core.WaitForEvent(1));
  TbxSim_ClearWritten(kWindowsPrinter);
  TbxSim_SetDrawerKickOpens(kWindowsPrinter, FALSE);
  EXPECT_EQ(core.OpenDrawer().result, 0);
  EXPECT_EQ(TbxSimWritten(kWindowsPrinter), std::string("\x10\x14\x01\x01\x03"));
  EXPECT_EQ(0, core.Disable());
  EXPECT_EQ(0, core.Release());
  EXPECT_EQ(0, core.Close());
}

}  // namespace
