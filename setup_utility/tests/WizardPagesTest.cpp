// Page logic of the add-device wizards, one page at a time: what each page lists and selects,
// which buttons it offers, and what it stores in the document.
#include "WizardCommonPages.h"
#include "WizardTestSupport.h"
#include "wizard_views_resource.h"

#include <algorithm>

namespace {

using Items = std::vector<std::string>;

class WizardPages : public WizardFixture {
 protected:
  // Add Device from a printer device of the model: driver page first (start code 2).
  WizardDriver StartFromPrinterNode() {
    doc->m_nTreePosition = 1;
    doc->SetModelRow(1);
    return WizardDriver(*doc, doc->PrepareAddDevice(), PrinterSource());
  }
  void WipePrinters() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, reg.ClassPath(kPosPrinter).c_str()); }
};

// ---- new device names

TEST_F(WizardPages, NewNameIsTheLowestFreeSuffixAndNeverAnExistingKey) {
  struct Row {
    const char* why;
    std::vector<std::pair<const char*, const char*>> devices;  // name, ProgID
    const char* expected;
  };
  const char* other = "OPOS.POSPRINTER.SO.OTHER";
  const Row rows[] = {
      {"first device of the model", {}, "TBX910QD"},
      {"the model's device exists", {{"TBX910QD", kKvrPrinterProgId}}, "TBX910QD-02"},
      {"suffixes in use",
       {{"TBX910QD", kKvrPrinterProgId}, {"TBX910QD-02", kKvrPrinterProgId},
        {"TBX910QD-03", kKvrPrinterProgId}},
       "TBX910QD-04"},
      {"a deleted suffix is used again",
       {{"TBX910QD", kKvrPrinterProgId}, {"TBX910QD-03", kKvrPrinterProgId}},
       "TBX910QD-02"},
      {"key names ignore case",
       {{"TBX910QD", kKvrPrinterProgId}, {"tbx910qd-02", kKvrPrinterProgId}},
       "TBX910QD-03"},
      {"another maker's key of the bare name", {{"TBX910QD", other}}, "TBX910QD-02"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    WipePrinters();
    for (const auto& [name, progId] : row.devices) AddPrinterKey(name, "", progId);
    Refill();
    doc->SetModelRow(1);
    EXPECT_EQ(GenerateNewDeviceName(*doc, kPosPrinter, "TBX910QD"), row.expected);
  }
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WizardPages, HundredthDeviceOfANameIsRefusedWithTheMessage) {
  AddPrinterKey("TBX910QD", "");
  Refill();
  doc->SetModelRow(1);
  for (int n = 2; n <= 99; ++n) {
    char name[32];
    std::snprintf(name, sizeof(name), "TBX910QD-%02d", n);
    doc->m_devices[kPosPrinter].push_back({name, false, false, true});
  }
  EXPECT_EQ(GenerateNewDeviceName(*doc, kPosPrinter, "TBX910QD"), "");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "More than 99 devices can not be added.");
  EXPECT_EQ(messages.shown[0].icon, static_cast<unsigned>(MB_ICONEXCLAMATION));

  // The driver page then offers no Next, and Back only where the sequence allows it.
  SetPrinters({{"QwPrinter", kTbxDriver}});
  doc->m_nTreePosition = 1;
  WizardDriver wizard(*doc, doc->PrepareAddDevice(), PrinterSource());
  EXPECT_EQ(wizard.Current(), kPrinterDriverPage);
  EXPECT_EQ(wizard.Form().GetText(IDC_NEW_DEVICE_NAME), "");
  EXPECT_EQ(wizard.Buttons(), 0u);  // start code 2: the sequence began here
}

// ---- model page

TEST_F(WizardPages, ModelPageListsModelsWhoseFilesAreInstalled) {
  doc->m_nTreePosition = 1;  // printer class item: generic row, model page first
  doc->SetModelRow(0);
  doc->m_new.values.driverName = "QwStale";
  WizardDriver wizard(*doc, doc->PrepareAddDevice(), PrinterSource());
  ASSERT_EQ(wizard.Current(), kPrinterModelPage);
  EXPECT_EQ(wizard.Form().Items(IDC_MODEL_COMBO), Items{"TBX910QD"});
  EXPECT_EQ(wizard.Form().Selected(IDC_MODEL_COMBO), 0);
  EXPECT_EQ(wizard.Buttons(), kWizNext);  // start code 1: no Back
  wizard.Choose(IDC_MODEL_COMBO, "TBX910QD");
  EXPECT_EQ(doc->m_new.values.driverName, "");
  ASSERT_TRUE(wizard.Next());
  EXPECT_EQ(doc->m_new.modelName, "TBX910QD");
  EXPECT_EQ(doc->CurrentModelIndex(), 1);
}

TEST_F(WizardPages, ModelPageWithoutInstalledModelsOffersNoNext) {
  ModuleFolder empty("qw_empty_" + CurrentTestName(), {});
  doc->SetModuleFolder(empty.Path());
  doc->m_nTreePosition = 0;  // from a group: class page first, so Back is offered
  doc->SetModelRow(0);
  WizardDriver wizard(*doc, doc->PrepareAddDevice(), PrinterSource());
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kPrinterModelPage);
  EXPECT_EQ(wizard.Form().ItemCount(IDC_MODEL_COMBO), 0);
  EXPECT_EQ(wizard.Buttons(), kWizBack);
}

// ---- driver page

TEST_F(WizardPages, DriverPageOffersFreePrintersOfTheModelsDriverSorted) {
  SetPrinters({{"QwZeta", kTbxDriver},
               {"qwAlpha", kTbxDriver},
               {"QwMid", kTbxDriver},
               {"QwOtherDriver", "Generic Driver"},
               {"QwUsed", kTbxDriver}});
  AddPrinterKey("QwHolder", "qwused", "OPOS.POSPRINTER.SO.OTHER");  // any class member counts
  Refill();
  WizardDriver wizard = StartFromPrinterNode();
  ASSERT_EQ(wizard.Current(), kPrinterDriverPage);
  EXPECT_EQ(wizard.Form().GetText(IDC_NEW_DEVICE_NAME), "TBX910QD");
  EXPECT_EQ(wizard.Form().Items(IDC_DRIVER_COMBO), (Items{"qwAlpha", "QwMid", "QwZeta"}));
  EXPECT_EQ(wizard.Form().GetText(IDC_DRIVER_COMBO), "qwAlpha");
  EXPECT_EQ(doc->m_new.values.driverName, "qwAlpha");

  wizard.Choose(IDC_DRIVER_COMBO, "QwZeta");
  ASSERT_TRUE(wizard.Next());
  EXPECT_EQ(doc->m_new.deviceName, "TBX910QD");
  EXPECT_EQ(doc->m_new.values.driverName, "QwZeta");
  ASSERT_TRUE(wizard.Back());
  EXPECT_EQ(wizard.Form().GetText(IDC_DRIVER_COMBO), "QwZeta");  // the stored choice
}

TEST_F(WizardPages, DriverPageButtons) {
  struct Row {
    const char* why;
    int startCode;
    bool contextMenu;
    int nodeType;
    bool printers;
    unsigned buttons;
    bool comboEnabled;
  };
  const Row rows[] = {
      {"began on this page", 2, false, 3, true, kWizNext, true},
      {"began on the model page", 1, false, 2, true, kWizNext | kWizBack, true},
      {"device's context menu", 1, true, 3, true, kWizNext, true},
      {"logical name's context menu", 1, true, 53, true, kWizNext, true},
      {"class item's context menu", 1, true, 2, true, kWizNext | kWizBack, true},
      {"no free printer", 1, false, 2, false, kWizBack, false},
      {"no free printer, began here", 2, false, 3, false, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    SetPrinters({});
    if (row.printers) SetPrinters({{"QwPrinter", kTbxDriver}});
    doc->SetNewDeviceDefaults();
    doc->SetModelRow(1);
    doc->m_new.modelName = "TBX910QD";
    doc->m_wizard.startCode = row.startCode;
    doc->m_wizard.contextMenu = row.contextMenu;
    doc->m_nNodeType = row.nodeType;
    WizardDriver wizard(*doc, {"Add Device", {kPrinterDriverPage, kEndPage}, row.startCode},
                        PrinterSource());
    EXPECT_EQ(wizard.Buttons(), row.buttons);
    EXPECT_EQ(wizard.Form().IsEnabled(IDC_DRIVER_COMBO), row.comboEnabled);
  }
}

// ---- settings page

TEST_F(WizardPages, SettingsPageTimeoutsGateNextAndFallBackToTheDefault) {
  SetPrinters({{"QwPrinter", kTbxDriver}});
  WizardDriver wizard = StartFromPrinterNode();
  ASSERT_TRUE(wizard.Next());
  ASSERT_EQ(wizard.Current(), kPrinterSettingsPage);
  EXPECT_EQ(wizard.Buttons(), kWizBack | kWizNext);
  EXPECT_EQ(wizard.Form().Controls().at(IDC_SET_SEND_TIMEOUT).textLimit, 5);
  struct Row {
    const char* text;
    bool valid;
  };
  const Row rows[] = {{"3000", true},   {"90000", true},   {"10000", true}, {"2999", false},
                      {"90001", false}, {"-5000", false}, {"+5000", false}, {"", false},
                      {"12a45", false}};
  for (int edit : {IDC_SET_SEND_TIMEOUT, IDC_SET_RECEIVE_TIMEOUT}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.text) + " in " + std::to_string(edit));
      wizard.Type(edit, row.text);
      EXPECT_EQ(wizard.Buttons(), kWizBack | (row.valid ? kWizNext : 0u));
    }
    wizard.Type(edit, "4000");
  }
  // Leaving with Back while a timeout is refused stores the default for it.
  wizard.Type(IDC_SET_SEND_TIMEOUT, "2999");
  wizard.Type(IDC_SET_RECEIVE_TIMEOUT, "4500");
  ASSERT_TRUE(wizard.Back());
  EXPECT_EQ(doc->m_new.values.sendTimeout, "10000");
  EXPECT_EQ(doc->m_new.values.receiveTimeout, "4500");
}

TEST_F(WizardPages, SettingsPageShowsTheModelsListsWithTheirDefaults) {
  SetPrinters({{"QwPrinter", kTbxDriver}});
  WizardDriver wizard = StartFromPrinterNode();
  ASSERT_TRUE(wizard.Next());
  const FormState& form = wizard.Form();
  EXPECT_EQ(form.GetText(IDC_SET_SPEED_LABEL), "PrintSpeed");
  EXPECT_EQ(form.GetText(IDC_SET_SEND_TIMEOUT), "10000");
  EXPECT_EQ(form.Items(IDC_SET_COMPLETION), (Items{"Data Transmitted", "Printed"}));
  EXPECT_EQ(form.GetText(IDC_SET_COMPLETION), "Printed");
  EXPECT_EQ(form.Items(IDC_SET_PAPER), (Items{"40mm/288dots", "58mm/432dots"}));
  EXPECT_EQ(form.GetText(IDC_SET_PAPER), "58mm/432dots");
  EXPECT_EQ(form.Items(IDC_SET_SPEED), (Items{"RecLetterQuality Valid", "High", "Middle"}));
  EXPECT_EQ(form.Selected(IDC_SET_SPEED), 0);
  EXPECT_EQ(form.Items(IDC_SET_MARK), (Items{"Disable", "Enable"}));
  EXPECT_EQ(form.ItemCount(IDC_SET_CODEPAGE), 18);
  // TBX910QD has no print-width and no near-end list: both pairs are hidden.
  const std::pair<int, bool> shown[] = {{IDC_SET_PAPER, true},        {IDC_SET_PAPER_LABEL, true},
                                        {IDC_SET_MARK, true},         {IDC_SET_MARK_LABEL, true},
                                        {IDC_SET_WIDTH, false},       {IDC_SET_WIDTH_LABEL, false},
                                        {IDC_SET_NEAREND, false},     {IDC_SET_NEAREND_LABEL, false}};
  for (const auto& [id, visible] : shown) EXPECT_EQ(form.IsVisible(id), visible) << id;
}

TEST_F(WizardPages, SettingsPagePreselectsTheRegistrysCharacterSet) {
  struct Row {
    const char* stored;  // DefaultCharacterSet of the device named after the model
    const char* selected;
  };
  const Row rows[] = {{"1252", "1252"}, {"858", "858"}, {"4711", "932"}};
  SetPrinters({{"QwPrinter", kTbxDriver}});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored);
    reg.SetString(reg.DevicePath(kPosPrinter, "TBX910QD"), "DefaultCharacterSet", row.stored);
    WizardDriver wizard = StartFromPrinterNode();
    doc->m_new.modelName = "TBX910QD";
    ASSERT_TRUE(wizard.Next());
    EXPECT_EQ(wizard.Form().GetText(IDC_SET_CODEPAGE), row.selected);
  }
}

TEST_F(WizardPages, SettingsPageStoresValuesNotLabels) {
  SetPrinters({{"QwPrinter", kTbxDriver}});
  WizardDriver wizard = StartFromPrinterNode();
  ASSERT_TRUE(wizard.Next());
  EnterPrinterSettings(wizard);
  ASSERT_TRUE(wizard.Next());
  EXPECT_EQ(wizard.Current(), kDrawerCountPage);
  const DeviceValues& v = doc->m_new.values;
  EXPECT_EQ(v.sendTimeout, "5000");
  EXPECT_EQ(v.receiveTimeout, "10000");
  EXPECT_EQ(v.processCompletionTiming, "0");
  EXPECT_EQ(v.paperSize, "0");
  EXPECT_EQ(v.markMode, "1");
  EXPECT_EQ(v.printSpeed, "2");
  EXPECT_EQ(v.printerCharacterSet, "1252");
  EXPECT_EQ(v.printWidth, "576");  // no list for the model: left as it was
  EXPECT_EQ(v.nearEnd, "1");
  EXPECT_EQ(doc->m_wizard.lastPageIndex, 1);
}

TEST_F(WizardPages, GenericModelShowsItsEmptyWidthListAndNoNearEnd) {
  doc->SetNewDeviceDefaults();
  doc->SetModelRow(0);
  WizardDriver wizard(*doc, {"Add Device", {kPrinterSettingsPage, kEndPage}, 1});
  EXPECT_TRUE(wizard.Form().IsVisible(IDC_SET_WIDTH));
  EXPECT_EQ(wizard.Form().ItemCount(IDC_SET_WIDTH), 0);
  EXPECT_FALSE(wizard.Form().IsVisible(IDC_SET_NEAREND));
  EXPECT_EQ(wizard.Form().Items(IDC_SET_PAPER),
            (Items{"58mm/360dots", "58mm/432dots", "80mm/512dots", "80mm/576dots"}));
  EXPECT_EQ(wizard.Form().Selected(IDC_SET_PAPER), 3);
}

// ---- drawer pages

TEST_F(WizardPages, DrawersForAnExistingPrinterOfferOnlyMakersPrintersWithADrawerPort) {
  AddPrinterKey("TBX910QD", "QwDrawerPrinter");
  AddPrinterKey("TBX910QD-02", "");
  AddPrinterKey("TBX910QD-05", "", "OPOS.POSPRINTER.SO.OTHER");
  AddPrinterKey("X-TBX910QD", "");
  Refill();
  doc->m_nTreePosition = 2;
  WizardDriver wizard(*doc, doc->PrepareAddDevice());
  ASSERT_EQ(wizard.Current(), kDrawerCountPage);
  Items offered = wizard.Form().Items(IDC_DRW_PRINTER);
  std::sort(offered.begin(), offered.end());
  EXPECT_EQ(offered, (Items{"TBX910QD", "TBX910QD-02"}));
  EXPECT_TRUE(wizard.Form().IsEnabled(IDC_DRW_PRINTER));
  EXPECT_EQ(wizard.Form().Items(IDC_DRW_COUNT), (Items{"0", "1", "2"}));
  EXPECT_EQ(wizard.Form().GetText(IDC_DRW_COUNT), "0");
  EXPECT_EQ(wizard.Buttons(), kWizNext);  // start code 3: the sequence began here

  wizard.Choose(IDC_DRW_PRINTER, "TBX910QD");
  wizard.Choose(IDC_DRW_COUNT, "2");
  ASSERT_TRUE(wizard.Next());
  EXPECT_EQ(wizard.Current(), kFirstDrawerPage);
  EXPECT_EQ(doc->m_new.connectionPrinter, "TBX910QD");
  EXPECT_EQ(doc->m_new.drawerCount, "2");
  EXPECT_EQ(doc->m_new.values.driverName, "QwDrawerPrinter");
  EXPECT_EQ(doc->m_nNodeType, kNodeKvrDrawer);
}

TEST_F(WizardPages, DrawerCountPageWithoutAPrinterOffersNoNext) {
  struct Row {
    const char* why;
    int startCode;
    bool contextMenu;
    unsigned buttons;
  };
  const Row rows[] = {{"began here", 3, false, 0},
                      {"after the class page", 0, false, kWizBack},
                      {"from a context menu", 0, true, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    doc->SetNewDeviceDefaults();
    doc->m_new.className = "CashDrawer";
    doc->m_wizard.startCode = row.startCode;
    doc->m_wizard.contextMenu = row.contextMenu;
    WizardDriver wizard(*doc, {"Add Device", {kDrawerCountPage, kEndPage}, row.startCode});
    EXPECT_EQ(wizard.Form().ItemCount(IDC_DRW_PRINTER), 0);
    EXPECT_EQ(wizard.Buttons(), row.buttons);
  }
}

TEST_F(WizardPages, DrawerPagesNameTheDrawersAndStorePulseDigits) {
  doc->SetNewDeviceDefaults();
  doc->SetModelRow(1);
  doc->m_new.connectionPrinter = "TBX910QD-02";
  doc->m_new.drawerCount = "2";
  doc->m_new.drawers[0].pulseTime = "3";
  doc->m_new.drawers[1].pulseTime = "9";  // not a pulse time: the first item shows
  doc->m_new.drawers[1].invertDrawerStatus = "T";
  WizardDriver wizard(*doc, {"Add Device", {kFirstDrawerPage, kSecondDrawerPage, kEndPage}, 3});
  const Items pulses = {"100", "200", "300", "400", "500", "600", "700", "800"};
  EXPECT_EQ(wizard.Form().GetText(IDC_DRW_NAME), "TBX910QD-02_1");
  EXPECT_EQ(wizard.Form().Items(IDC_DRW_PULSE), pulses);
  EXPECT_EQ(wizard.Form().GetText(IDC_DRW_PULSE), "300");
  EXPECT_EQ(wizard.Form().Items(IDC_DRW_INVERT), (Items{"Disable", "Enable"}));
  EXPECT_EQ(wizard.Form().GetText(IDC_DRW_INVERT), "Disable");
  wizard.Choose(IDC_DRW_PULSE, "500");
  wizard.Choose(IDC_DRW_INVERT, "Enable");
  ASSERT_TRUE(wizard.Next());
  EXPECT_EQ(doc->m_new.drawers[0].deviceName, "TBX910QD-02_1");
  EXPECT_EQ(doc->m_new.drawers[0].pulseTime, "5");
  EXPECT_EQ(doc->m_new.drawers[0].invertDrawerStatus, "T");

  ASSERT_EQ(wizard.Current(), kSecondDrawerPage);
  EXPECT_EQ(wizard.Form().GetText(IDC_DRW_NAME), "TBX910QD-02_2");
  EXPECT_EQ(wizard.Form().Items(IDC_DRW_PULSE), pulses);
  EXPECT_EQ(wizard.Form().GetText(IDC_DRW_PULSE), "100");
  EXPECT_EQ(wizard.Form().GetText(IDC_DRW_INVERT), "Enable");
  wizard.Choose(IDC_DRW_PULSE, "800");
  wizard.Choose(IDC_DRW_INVERT, "Disable");
  ASSERT_TRUE(wizard.Next());
  EXPECT_EQ(doc->m_new.drawers[1].pulseTime, "8");
  EXPECT_EQ(doc->m_new.drawers[1].invertDrawerStatus, "F");
  EXPECT_EQ(doc->m_wizard.lastPageIndex, 1);
}

// ---- class choice and class page

TEST_F(WizardPages, ClassChoiceOffersRegisteredClassesAndMovesTheTreePosition) {
  struct Row {
    int position;
    const char* chosen;
    int expected;
  };
  const Row rows[] = {{0, "POSPrinter", 1}, {0, "CashDrawer", 2}, {5, "POSPrinter", 6},
                      {5, "CashDrawer", 7}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.position) + " " + row.chosen);
    doc->m_nTreePosition = row.position;
    CAddSelectClassDlg dialog(*doc);
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.Title(), "Add Device");
    EXPECT_EQ(dialog.Form().Items(IDC_CLASS_COMBO), (Items{"POSPrinter", "CashDrawer"}));
    EXPECT_EQ(dialog.Form().Selected(IDC_CLASS_COMBO), 0);
    EXPECT_TRUE(dialog.Form().IsEnabled(IDOK));
    dialog.Form().SelectText(IDC_CLASS_COMBO, row.chosen);
    EXPECT_EQ(dialog.OnOK(), DeviceClassFromName(row.chosen));
    EXPECT_EQ(doc->m_nTreePosition, row.expected);
  }
  doc->m_classAvailable[kPosPrinter] = doc->m_classAvailable[kCashDrawer] = false;
  CAddSelectClassDlg none(*doc);
  none.OnInitDialog();
  EXPECT_EQ(none.Form().ItemCount(IDC_CLASS_COMBO), 0);
  EXPECT_FALSE(none.Form().IsEnabled(IDOK));
}

TEST_F(WizardPages, ClassPageChoosingTheDrawerJumpsToTheDrawerPages) {
  struct Row {
    int position;
    const char* chosen;
    int expectedPosition;
    WizardPage next;
  };
  const Row rows[] = {{0, "POSPrinter", 1, kPrinterModelPage},
                      {0, "CashDrawer", 2, kDrawerCountPage},
                      {5, "CashDrawer", 7, kDrawerCountPage},
                      {3, "CashDrawer", 3, kDrawerCountPage}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.position) + " " + row.chosen);
    doc->SetNewDeviceDefaults();
    doc->m_nTreePosition = row.position;
    WizardDriver wizard(*doc, {"Add Device",
                               {kClassPage, kPrinterModelPage, kPrinterDriverPage,
                                kPrinterSettingsPage, kDrawerCountPage, kFirstDrawerPage,
                                kSecondDrawerPage, kEndPage},
                               0});
    EXPECT_EQ(wizard.Buttons(), kWizNext);
    EXPECT_EQ(wizard.Page().SheetTitle(), "Add Device");
    wizard.Choose(IDC_CLASS_COMBO, row.chosen);
    ASSERT_TRUE(wizard.Next());
    EXPECT_EQ(PageName(wizard.Current()), PageName(row.next));
    EXPECT_EQ(doc->m_new.className, row.chosen);
    EXPECT_EQ(doc->m_nTreePosition, row.expectedPosition);
  }
}

TEST_F(WizardPages, ClassPageInLogicalNameModeKeepsTheGroup) {
  struct Row {
    int position;
    const char* chosen;
    int expected;
  };
  const Row rows[] = {{0, "POSPrinter", 1}, {0, "CashDrawer", 2}, {5, "CashDrawer", 7},
                      {5, "POSPrinter", 6}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.position) + " " + row.chosen);
    doc->ClearLogicalName();
    doc->m_nTreePosition = row.position;
    WizardDriver wizard(*doc, doc->PrepareAddLogicalName());
    EXPECT_EQ(wizard.Page().SheetTitle(), "Add Logical Device Name");
    wizard.Choose(IDC_CLASS_COMBO, row.chosen);
    ASSERT_TRUE(wizard.Next());
    EXPECT_EQ(wizard.Current(), kLogicalNamePage);
    EXPECT_EQ(doc->m_logical.className, row.chosen);
    EXPECT_EQ(doc->m_nTreePosition, row.expected);
  }
}

// ---- logical-name page

TEST_F(WizardPages, LogicalNameRules) {
  doc->m_logicalNames[kPosPrinter] = {{"Receipt", "TBX910QD"}, {"", "TBX910QD"}};
  doc->m_logicalNames[kCashDrawer] = {{"Till", "TBX910QD_1"}};
  struct Row {
    int cls;
    std::string name;
    bool valid;
  };
  const Row rows[] = {
      {kPosPrinter, "", false},
      {kPosPrinter, std::string(20, 'L'), true},
      {kPosPrinter, std::string(21, 'L'), false},
      {kPosPrinter, "Receipt", false},
      {kPosPrinter, "receipt", false},  // the registry would replace "Receipt"
      {kPosPrinter, "Till", true},      // used only by the other class
      {kCashDrawer, "Till", false},
      {kCashDrawer, "Receipt", true},
  };
  for (const Row& row : rows)
    EXPECT_EQ(IsValidLogicalName(*doc, row.cls, row.name), row.valid)
        << row.name << " in " << kClassNames[row.cls];
}

TEST_F(WizardPages, LogicalNamePageListsDevicesOfTheCommandsGroup) {
  AddPrinterKey("TBX910QD", "");
  AddPrinterKey("TBX910QD-02", "");
  AddPrinterKey("QwForeign", "", "OPOS.POSPRINTER.SO.OTHER");
  AddLogicalName(kPosPrinter, "Receipt", "TBX910QD");
  Select({"TBX910QD-02", "POSPrinter", "KVR POS Devices"});
  WizardDriver wizard(*doc, doc->PrepareAddLogicalName());
  ASSERT_EQ(wizard.Current(), kLogicalNamePage);
  Items offered = wizard.Form().Items(IDC_LD_DEVICE);
  std::sort(offered.begin(), offered.end());
  EXPECT_EQ(offered, (Items{"TBX910QD", "TBX910QD-02"}));
  EXPECT_EQ(wizard.Form().GetText(IDC_LD_DEVICE), "TBX910QD-02");  // the tree's device
  EXPECT_EQ(wizard.Form().Controls().at(IDC_LD_NAME).textLimit, 20);
  EXPECT_EQ(wizard.Buttons(), 0u);  // no name yet, no class page before it

  wizard.Type(IDC_LD_NAME, "Receipt");
  EXPECT_EQ(wizard.Buttons(), 0u);
  wizard.Type(IDC_LD_NAME, "Kitchen");
  EXPECT_EQ(wizard.Buttons(), kWizNext);
  wizard.Choose(IDC_LD_DEVICE, "TBX910QD");
  ASSERT_TRUE(wizard.Next());
  EXPECT_EQ(wizard.Current(), kEndPage);
  EXPECT_EQ(doc->m_logical.logicalName[kPosPrinter], "Kitchen");
  EXPECT_EQ(doc->m_logical.targetDevice[kPosPrinter], "TBX910QD");
  EXPECT_EQ(doc->m_nNodeType, kNodeKvrPrinterName);

  // From the other group only that group's devices are offered.
  Select({"QwForeign", "POSPrinter", "Other POS Devices"});
  doc->ClearLogicalName();
  WizardDriver other(*doc, doc->PrepareAddLogicalName());
  EXPECT_EQ(other.Form().Items(IDC_LD_DEVICE), Items{"QwForeign"});
}

TEST_F(WizardPages, LogicalNamePageWithoutDevicesDisablesItsControls) {
  doc->m_nTreePosition = 2;
  WizardDriver wizard(*doc, doc->PrepareAddLogicalName());
  EXPECT_EQ(wizard.Form().ItemCount(IDC_LD_DEVICE), 0);
  EXPECT_FALSE(wizard.Form().IsEnabled(IDC_LD_DEVICE));
  EXPECT_FALSE(wizard.Form().IsEnabled(IDC_LD_NAME));
  EXPECT_EQ(wizard.Buttons(), 0u);
}

}  // namespace
