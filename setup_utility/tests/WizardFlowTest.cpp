// Whole runs of the add-device wizards through their page logic, and the registry entries a
// finished run leaves: every value REG_SZ, its bytes exactly the text, no terminator.
#include "WizardTestSupport.h"
#include "wizard_views_resource.h"

namespace {

using Entry = std::vector<RegistryValue>;

class WizardFlow : public WizardFixture {
 protected:
  WizardFlow() { SetPrinters({{"QwPrinterB", kTbxDriver}, {"QwPrinterA", kTbxDriver}}); }

  // Every value of the entry stored exactly, and nothing else in the key; Description only
  // by its leading words (the maker's notice after them carries a file's year).
  void ExpectEntry(const std::string& path, const Entry& expected,
                   const std::string& descriptionLead) {
    SCOPED_TRACE(path);
    for (const RegistryValue& value : expected) {
      DWORD type = 0;
      std::string bytes;
      ASSERT_TRUE(reg.Raw(path, value.name, &type, &bytes)) << "missing " << value.name;
      EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << value.name;
      EXPECT_EQ(bytes, value.data) << value.name;
    }
    DWORD type = 0;
    std::string description;
    ASSERT_TRUE(reg.Raw(path, "Description", &type, &description));
    EXPECT_EQ(description.compare(0, descriptionLead.size(), descriptionLead), 0) << description;
    EXPECT_EQ(description.find('\0'), std::string::npos);
    EXPECT_EQ(reg.ValueCount(path), expected.size() + 1);
  }

  Entry DrawerEntry(const std::string& pulse, const std::string& invert, const std::string& no,
                    const std::string& driver) {
    return {{"DriverName", driver},
            {"LogRetentionPeriod", "1"},
            {"LogLevelCore", "-1"},
            {"LogLevelSub", "-1"},
            {"PulseTime", pulse},
            {"InvertDrawerStatus", invert},
            {"Version", kTestModuleVersion},
            {"", kKvrDrawerProgId},
            {"CoreSODLLPath", modules.Path() + "\\fenwode.dll"},
            {"SubSODLLPath", modules.Path() + "\\tollek.dll"},
            {"DrawerNo", no}};
  }

  // Add Device from the KVR printer class item: model, driver and settings pages first.
  WizardDriver StartFromPrinterClass() {
    Select({"POSPrinter", "KVR POS Devices"});
    return WizardDriver(*doc, doc->PrepareAddDevice(), PrinterSource());
  }

  // Model and driver pages with the second printer, settings entered, to the count page.
  void ThroughPrinterPages(WizardDriver& wizard) {
    ASSERT_EQ(wizard.Current(), kPrinterModelPage);
    ASSERT_TRUE(wizard.Next());
    ASSERT_EQ(wizard.Current(), kPrinterDriverPage);
    wizard.Choose(IDC_DRIVER_COMBO, "QwPrinterB");
    ASSERT_TRUE(wizard.Next());
    EnterPrinterSettings(wizard);
    ASSERT_TRUE(wizard.Next());
    ASSERT_EQ(wizard.Current(), kDrawerCountPage);
  }
};

TEST_F(WizardFlow, PrinterWithTwoDrawersWritesTheirEntries) {
  WizardDriver wizard = StartFromPrinterClass();
  ThroughPrinterPages(wizard);
  EXPECT_EQ(wizard.Form().Items(IDC_DRW_PRINTER), std::vector<std::string>{"TBX910QD"});
  EXPECT_FALSE(wizard.Form().IsEnabled(IDC_DRW_PRINTER));
  wizard.Choose(IDC_DRW_COUNT, "2");
  ASSERT_TRUE(wizard.Next());
  wizard.Choose(IDC_DRW_PULSE, "300");
  wizard.Choose(IDC_DRW_INVERT, "Enable");
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kSecondDrawerPage);
  wizard.Choose(IDC_DRW_PULSE, "800");
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kEndPage);
  ASSERT_TRUE(wizard.CanFinish());
  EXPECT_FALSE(reg.KeyExists(reg.ClassPath(kPosPrinter)));  // nothing before Finish

  ASSERT_EQ(doc->FinishAddDevice(/*finished=*/true), 1);
  ExpectEntry(reg.DevicePath(kPosPrinter, "TBX910QD"),
              {{"SendTimeout", "5000"},
               {"ReceiveTimeout", "10000"},
               {"ProcessCompletionTiming", "0"},
               {"DriverName", "QwPrinterB"},
               {"PaperSize", "0"},
               {"MarkMode", "1"},
               {"PrintSpeed", "2"},
               {"DefaultCharacterSet", "1252"},
               {"LogRetentionPeriod", "1"},
               {"LogLevelCore", "-1"},
               {"LogLevelSub", "-1"},
               {"Version", kTestModuleVersion},
               {"", kKvrPrinterProgId},
               {"CoreSODLLPath", modules.Path() + "\\vasselin.dll"},
               {"SubSODLLPath", modules.Path() + "\\prennik.dll"}},
              "KVR TBX910QD POS Printer Service Object");
  ExpectEntry(reg.DevicePath(kCashDrawer, "TBX910QD_1"), DrawerEntry("3", "T", "1", "QwPrinterB"),
              "KVR TBX910QD Cash Drawer Service Object");
  ExpectEntry(reg.DevicePath(kCashDrawer, "TBX910QD_2"), DrawerEntry("8", "F", "2", "QwPrinterB"),
              "KVR TBX910QD Cash Drawer Service Object");
  EXPECT_EQ(doc->m_selectedDeviceName, "TBX910QD");
  EXPECT_EQ(doc->m_nNodeType, kNodeKvrPrinter);
  EXPECT_EQ(doc->m_wizard.startCode, -1);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WizardFlow, NoDrawersGoesStraightToTheEndAndCreatesOnlyThePrinter) {
  WizardDriver wizard = StartFromPrinterClass();
  ThroughPrinterPages(wizard);
  ASSERT_TRUE(wizard.Next());  // count "0"
  ASSERT_EQ(wizard.Current(), kEndPage);
  ASSERT_TRUE(wizard.Back());
  EXPECT_EQ(wizard.Current(), kDrawerCountPage);
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(doc->FinishAddDevice(true), 1);
  EXPECT_TRUE(reg.KeyExists(reg.DevicePath(kPosPrinter, "TBX910QD")));
  EXPECT_FALSE(reg.KeyExists(reg.ClassPath(kCashDrawer)));
}

TEST_F(WizardFlow, OneDrawerSkipsTheSecondPageAndBackReturnsToTheFirst) {
  WizardDriver wizard = StartFromPrinterClass();
  ThroughPrinterPages(wizard);
  wizard.Choose(IDC_DRW_COUNT, "1");
  ASSERT_TRUE(wizard.Next());
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kEndPage);
  ASSERT_TRUE(wizard.Back());
  EXPECT_EQ(wizard.Current(), kFirstDrawerPage);
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(doc->FinishAddDevice(true), 1);
  EXPECT_TRUE(reg.KeyExists(reg.DevicePath(kCashDrawer, "TBX910QD_1")));
  EXPECT_FALSE(reg.KeyExists(reg.DevicePath(kCashDrawer, "TBX910QD_2")));
}

TEST_F(WizardFlow, DrawersForAnExistingPrinterTakeItsWindowsPrinter) {
  AddPrinterKey("TBX910QD-02", "QwPrinterA");
  reg.SetString(reg.DevicePath(kPosPrinter, "TBX910QD-02"), "SendTimeout", "7000");
  Select({"CashDrawer", "KVR POS Devices"});
  WizardDriver wizard(*doc, doc->PrepareAddDevice());
  ASSERT_EQ(wizard.Current(), kDrawerCountPage);
  EXPECT_EQ(wizard.Form().GetText(IDC_DRW_PRINTER), "TBX910QD-02");
  wizard.Choose(IDC_DRW_COUNT, "2");
  ASSERT_TRUE(wizard.Next());
  ASSERT_TRUE(wizard.Next());
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kEndPage);
  ASSERT_EQ(doc->FinishAddDevice(true), 1);
  ExpectEntry(reg.DevicePath(kCashDrawer, "TBX910QD-02_1"),
              DrawerEntry("1", "F", "1", "QwPrinterA"), "KVR TBX910QD Cash Drawer Service Object");
  ExpectEntry(reg.DevicePath(kCashDrawer, "TBX910QD-02_2"),
              DrawerEntry("1", "F", "2", "QwPrinterA"), "KVR TBX910QD Cash Drawer Service Object");
  EXPECT_EQ(reg.ValueCount(reg.DevicePath(kPosPrinter, "TBX910QD-02")), 3u);  // untouched
  EXPECT_EQ(doc->m_selectedDeviceName, "TBX910QD-02_1");
  EXPECT_EQ(doc->m_nNodeType, kNodeKvrDrawer);
}

TEST_F(WizardFlow, DrawerChosenOnTheClassPageSkipsThePrinterPagesBothWays) {
  AddPrinterKey("TBX910QD", "QwPrinterA");
  Select({"TBX910QD", "POSPrinter", "KVR POS Devices"});
  doc->m_nTreePosition = -1;  // a position of no group or class: the class page comes first
  WizardDriver wizard(*doc, doc->PrepareAddDevice(), PrinterSource());
  ASSERT_EQ(wizard.Current(), kClassPage);
  wizard.Choose(IDC_CLASS_COMBO, "CashDrawer");
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kDrawerCountPage);
  EXPECT_EQ(wizard.Buttons(), kWizBack | kWizNext);
  ASSERT_TRUE(wizard.Back());
  EXPECT_EQ(wizard.Current(), kClassPage);
}

TEST_F(WizardFlow, CancelWritesNothing) {
  WizardDriver wizard = StartFromPrinterClass();
  ThroughPrinterPages(wizard);
  wizard.Choose(IDC_DRW_COUNT, "2");
  ASSERT_TRUE(wizard.Next());
  ASSERT_TRUE(wizard.Next());
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kEndPage);
  EXPECT_EQ(doc->FinishAddDevice(/*finished=*/false), 0);
  EXPECT_FALSE(reg.KeyExists(reg.ClassPath(kPosPrinter)));
  EXPECT_FALSE(reg.KeyExists(reg.ClassPath(kCashDrawer)));
  EXPECT_EQ(doc->CurrentModelIndex(), 0);
  EXPECT_EQ(doc->m_new.deviceName, "");
}

TEST_F(WizardFlow, SecondPrinterOfTheModelGetsTheNextSuffix) {
  AddPrinterKey("TBX910QD", "QwPrinterA");
  Select({"TBX910QD", "POSPrinter", "KVR POS Devices"});
  WizardDriver wizard(*doc, doc->PrepareAddDevice(), PrinterSource());
  ASSERT_EQ(wizard.Current(), kPrinterDriverPage);
  EXPECT_EQ(wizard.Buttons(), kWizNext);  // the sequence began here
  EXPECT_EQ(wizard.Form().GetText(IDC_NEW_DEVICE_NAME), "TBX910QD-02");
  // QwPrinterA drives TBX910QD already.
  EXPECT_EQ(wizard.Form().Items(IDC_DRIVER_COMBO), std::vector<std::string>{"QwPrinterB"});
  ASSERT_TRUE(wizard.Next());
  ASSERT_TRUE(wizard.Next());
  wizard.Choose(IDC_DRW_COUNT, "1");
  ASSERT_TRUE(wizard.Next());
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(doc->FinishAddDevice(true), 1);
  EXPECT_EQ(reg.Text(reg.DevicePath(kPosPrinter, "TBX910QD-02"), "DriverName"), "QwPrinterB");
  EXPECT_EQ(reg.Text(reg.DevicePath(kCashDrawer, "TBX910QD-02_1"), "DriverName"), "QwPrinterB");
  EXPECT_EQ(reg.Text(reg.DevicePath(kPosPrinter, "TBX910QD"), "DriverName"), "QwPrinterA");
}

TEST_F(WizardFlow, LogicalNameAfterTheClassPageAndBackFromTheEnd) {
  AddPrinterKey("TBX910QD", "QwPrinterA");
  AddDrawerKey("TBX910QD_1");
  Select({"KVR POS Devices"});
  WizardDriver wizard(*doc, doc->PrepareAddLogicalName());
  ASSERT_EQ(wizard.Current(), kClassPage);
  wizard.Choose(IDC_CLASS_COMBO, "CashDrawer");
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kLogicalNamePage);
  EXPECT_EQ(wizard.Form().Items(IDC_LD_DEVICE), std::vector<std::string>{"TBX910QD_1"});
  EXPECT_EQ(wizard.Buttons(), kWizBack);
  wizard.Type(IDC_LD_NAME, "Till");
  EXPECT_EQ(wizard.Buttons(), kWizBack | kWizNext);
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kEndPage);
  // Back returns to the page that was shown last, not to the class page before it.
  ASSERT_TRUE(wizard.Back());
  EXPECT_EQ(wizard.Current(), kLogicalNamePage);
  EXPECT_EQ(wizard.Form().GetText(IDC_LD_NAME), "Till");
  ASSERT_TRUE(wizard.Next());
  ASSERT_TRUE(wizard.CanFinish());

  ASSERT_EQ(doc->AddLogicalName(), 1);
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(reg.Raw(reg.ClassPath(kCashDrawer), "Till", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, "TBX910QD_1");
  EXPECT_EQ(doc->m_selectedDeviceName, "TBX910QD_1");
  EXPECT_EQ(doc->m_nNodeType, kNodeKvrDrawerName);
}

}  // namespace
