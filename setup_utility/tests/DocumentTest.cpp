// The data model over a private registry: loading with checks and repairs, committing,
// creating and deleting devices, logical names.
#include "DocTestFixture.h"

#include <gtest/gtest.h>

namespace {

using Field = std::string DeviceValues::*;

// A stored value, what the loaded device shows for it and whether that counts as a repair.
struct RepairRow {
  const char* name;
  const char* stored;  // nullptr: the value is missing
  Field field;
  const char* shown;
  bool repaired;
};

class DocumentTest : public DocumentFixture {};

TEST_F(DocumentTest, ACreatedPrinterLoadsWithoutRepair) {
  CreatePrinter("TBX910QD");
  SelectPrinter("TBX910QD");
  EXPECT_EQ(view, 22);
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
  EXPECT_EQ(doc->m_selectedDeviceName, "TBX910QD");
  const DeviceValues& v = doc->m_selected;
  EXPECT_EQ(v.sendTimeout, "10000");
  EXPECT_EQ(v.paperSize, "1");
  EXPECT_EQ(v.printerCharacterSet, "932");
  EXPECT_EQ(v.driverName, "QuWin");
  EXPECT_EQ(v.version, kTestModuleVersion);
  EXPECT_EQ(v.coreSODLLPath, FilePath("vasselin.dll"));
  EXPECT_EQ(v.subSODLLPath, FilePath("prennik.dll"));
  const std::string path = PrinterPath("TBX910QD");
  EXPECT_EQ(reg.Text(path, "Version"), kTestModuleVersion);
  EXPECT_EQ(reg.Text(path, ""), "OPOS.POSPRINTER.SO.KVR.CORE.TBXQD");
  EXPECT_EQ(reg.Text(path, "Description").rfind("KVR TBX910QD POS Printer Service Object, ", 0), 0u)
      << reg.Text(path, "Description");
  EXPECT_FALSE(reg.HasValue(path, "PrintWidth"));
  EXPECT_FALSE(reg.HasValue(path, "NearEnd"));
  EXPECT_EQ(reg.ValueCount(path), 16u);
}

TEST_F(DocumentTest, PrinterValuesAreCheckedAndRepaired) {
  const RepairRow rows[] = {
      {"SendTimeout", nullptr, &DeviceValues::sendTimeout, "10000", true},
      {"SendTimeout", "", &DeviceValues::sendTimeout, "10000", true},
      {"SendTimeout", "2999", &DeviceValues::sendTimeout, "10000", true},
      {"SendTimeout", "90001", &DeviceValues::sendTimeout, "10000", true},
      {"SendTimeout", "+5000", &DeviceValues::sendTimeout, "10000", true},
      {"SendTimeout", "-5000", &DeviceValues::sendTimeout, "10000", true},
      {"SendTimeout", "3000", &DeviceValues::sendTimeout, "3000", false},
      {"SendTimeout", "90000", &DeviceValues::sendTimeout, "90000", false},
      {"SendTimeout", "000005000", &DeviceValues::sendTimeout, "000005000", false},
      {"SendTimeout", "0000005000", &DeviceValues::sendTimeout, "10000", true},  // ten digits
      {"ReceiveTimeout", "12a45", &DeviceValues::receiveTimeout, "10000", true},
      {"ProcessCompletionTiming", "2", &DeviceValues::processCompletionTiming, "1", true},
      {"ProcessCompletionTiming", "0", &DeviceValues::processCompletionTiming, "0", false},
      {"PaperSize", "2", &DeviceValues::paperSize, "1", true},  // TBX910QD has "0" and "1"
      {"PaperSize", "0", &DeviceValues::paperSize, "0", false},
      {"MarkMode", "5", &DeviceValues::markMode, "0", true},
      {"PrintSpeed", "7", &DeviceValues::printSpeed, "0", true},
      {"PrintSpeed", "2", &DeviceValues::printSpeed, "2", false},
      // The registry holds code pages; an item's position is no code page.
      {"DefaultCharacterSet", "1252", &DeviceValues::printerCharacterSet, "1252", false},
      {"DefaultCharacterSet", "11", &DeviceValues::printerCharacterSet, "932", true},
      {"LogLevelCore", "2", &DeviceValues::logLevelCore, "2", false},
      {"LogLevelCore", "5", &DeviceValues::logLevelCore, "-1", true},
      {"LogLevelSub", "-2", &DeviceValues::logLevelSub, "-1", true},
      {"LogRetentionPeriod", "7", &DeviceValues::logRetentionPeriod, "1", true},
      {"LogRetentionPeriod", "90", &DeviceValues::logRetentionPeriod, "90", false},
      {"", "opos.posprinter.so.kvr.core.tbxqd", &DeviceValues::printerProgId,
       "OPOS.POSPRINTER.SO.KVR.CORE.TBXQD", true},
      // A version read from the file is taken without counting as a repair.
      {"Version", "9.9.9.9", &DeviceValues::version, kTestModuleVersion, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " = " + (row.stored ? row.stored : "(missing)"));
    SelectGroup();
    CreatePrinter("TBX910QD");
    if (row.stored)
      reg.SetString(PrinterPath("TBX910QD"), row.name, row.stored);
    else
      reg.Delete(PrinterPath("TBX910QD"), row.name);
    messages.shown.clear();
    SelectPrinter("TBX910QD");
    EXPECT_EQ(doc->m_selected.*row.field, row.shown);
    EXPECT_EQ(doc->m_fRepaired, row.repaired);
    if (row.repaired)
      EXPECT_EQ(messages.Texts(), std::vector<std::string>{kRepairedMessage});
    else
      EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_F(DocumentTest, PathsAndDescriptionFollowTheInstalledFiles) {
  CreatePrinter("TBX910QD");
  const std::string path = PrinterPath("TBX910QD");
  std::string otherCase = FilePath("VASSELIN.DLL");
  reg.SetString(path, "CoreSODLLPath", otherCase);
  SelectPrinter("TBX910QD");
  EXPECT_EQ(doc->m_selected.coreSODLLPath, otherCase);  // compared without case
  EXPECT_TRUE(messages.shown.empty());

  SelectGroup();
  reg.SetString(path, "SubSODLLPath", "C:\\nowhere\\prennik.dll");
  reg.SetString(path, "Description", "");
  SelectPrinter("TBX910QD");
  EXPECT_EQ(doc->m_selected.subSODLLPath, FilePath("prennik.dll"));
  EXPECT_EQ(doc->m_selected.description.rfind("KVR TBX910QD POS Printer Service Object, ", 0), 0u);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{kRepairedMessage});
  EXPECT_EQ(messages.shown[0].icon, 0u);
}

class MissingFilesTest : public DocumentFixture {
 protected:
  MissingFilesTest() : DocumentFixture({}) {}
};

TEST_F(MissingFilesTest, MissingServiceObjectFilesAreReported) {
  CreatePrinter("TBX910QD", "1");
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD"), "CoreSODLLPath"), "");
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD"), "Version"), "1.14.1.0");
  SelectPrinter("TBX910QD");
  EXPECT_EQ(messages.Texts(),
            (std::vector<std::string>{
                "Can not find the POS Printer Service Object, An invalid value is set in the "
                "CoreSODLLPath. ",
                "Can not find the POS Printer Service Object, An invalid value is set in the "
                "SubSODLLPath. "}));
  messages.shown.clear();
  SelectDrawer("TBX910QD_1");
  EXPECT_EQ(messages.Texts(),
            (std::vector<std::string>{
                "Can not find the Cash Drawer Service Object, An invalid value is set in the "
                "CoreSODLLPath. ",
                "Can not find the Cash Drawer Service Object, An invalid value is set in the "
                "SubSODLLPath. "}));
}

class UnversionedFilesTest : public DocumentFixture {
 protected:
  UnversionedFilesTest() : DocumentFixture({}, {"vasselin.dll", "prennik.dll"}) {}
};

TEST_F(UnversionedFilesTest, AVersionWithoutResourceStays) {
  CreatePrinter("TBX910QD");
  reg.SetString(PrinterPath("TBX910QD"), "Version", "1.0");
  SelectPrinter("TBX910QD");
  EXPECT_EQ(doc->m_selected.version, "1.0");
  EXPECT_TRUE(messages.shown.empty());
  SelectGroup();
  reg.SetString(PrinterPath("TBX910QD"), "Version", "");
  SelectPrinter("TBX910QD");
  EXPECT_EQ(doc->m_selected.version, "1.14.1.0");  // the model's
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{kRepairedMessage});
}

TEST_F(DocumentTest, DrawerValuesAreCheckedAndRepaired) {
  const RepairRow rows[] = {
      {"DrawerNo", "3", &DeviceValues::drawerNo, "1", true},
      {"DrawerNo", "2", &DeviceValues::drawerNo, "2", false},
      {"PulseTime", "0", &DeviceValues::pulseTime, "1", true},
      {"PulseTime", "9", &DeviceValues::pulseTime, "1", true},
      {"PulseTime", "8", &DeviceValues::pulseTime, "8", false},
      {"InvertDrawerStatus", "X", &DeviceValues::invertDrawerStatus, "F", true},
      {"InvertDrawerStatus", "T", &DeviceValues::invertDrawerStatus, "T", false},
      {"", "OPOS.CASHDRAWER.SO.KVR.CORE.1", &DeviceValues::drawerProgId,
       "OPOS.CASHDRAWER.SO.KVR.CORE.TBXQD", true},
      {"LogRetentionPeriod", "2", &DeviceValues::logRetentionPeriod, "1", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " = " + row.stored);
    SelectGroup();
    CreatePrinter("TBX910QD", "1");
    reg.SetString(DrawerPath("TBX910QD_1"), row.name, row.stored);
    messages.shown.clear();
    SelectDrawer("TBX910QD_1");
    EXPECT_EQ(view, 3);
    EXPECT_EQ(doc->m_selected.*row.field, row.shown);
    if (row.repaired)
      EXPECT_EQ(messages.Texts(), std::vector<std::string>{kRepairedMessage});
    else
      EXPECT_TRUE(messages.shown.empty());
  }
}

TEST_F(DocumentTest, DrawerShowsItsPrintersWindowsPrinterUntilRewritten) {
  CreatePrinter("TBX910QD", "1");
  reg.SetString(DrawerPath("TBX910QD_1"), "DriverName", "Elsewhere");
  SelectDrawer("TBX910QD_1");
  EXPECT_EQ(doc->m_selected.driverName, "QuWin");
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "DriverName"), "Elsewhere");
  SelectGroup();
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "DriverName"), "QuWin");
}

TEST_F(DocumentTest, DrawerRewriteWritesComputedValuesOnlyAfterARepair) {
  CreatePrinter("TBX910QD", "1");
  const std::string path = DrawerPath("TBX910QD_1");
  reg.SetString(path, "Version", "7.7.7.7");
  SelectDrawer("TBX910QD_1");
  EXPECT_EQ(doc->m_selected.version, kTestModuleVersion);  // taken quietly
  EXPECT_FALSE(doc->m_fRepaired);
  doc->m_selected.pulseTime = "4";
  SelectGroup();
  EXPECT_EQ(reg.Text(path, "PulseTime"), "4");
  EXPECT_EQ(reg.Text(path, "Version"), "7.7.7.7");

  reg.SetString(path, "DrawerNo", "3");
  SelectDrawer("TBX910QD_1");
  EXPECT_TRUE(doc->m_fRepaired);
  SelectGroup();
  EXPECT_FALSE(doc->m_fRepaired);
  EXPECT_EQ(reg.Text(path, "Version"), kTestModuleVersion);
  EXPECT_EQ(reg.Text(path, "DrawerNo"), "1");
}

TEST_F(DocumentTest, EditsAreWrittenWhenTheSelectionChanges) {
  CreatePrinter("TBX910QD");
  SelectPrinter("TBX910QD");
  doc->m_selected.sendTimeout = "4000";
  doc->m_selected.logLevelCore = "4";
  SelectGroup();
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD"), "SendTimeout"), "4000");
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD"), "LogLevelCore"), "4");
  // Nothing is loaded for a group: selecting another one writes nothing.
  reg.SetString(PrinterPath("TBX910QD"), "SendTimeout", "5000");
  Select({kOtherGroupText});
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD"), "SendTimeout"), "5000");
}

// With a logical name selected, the values belong to its device: they are written there, even
// when a device happens to bear the logical name's text.
TEST_F(DocumentTest, ALogicalNamesEditsReachItsDeviceOnly) {
  CreatePrinter("TBX910QD");
  CreatePrinter("TBX910QD-02");
  reg.SetString(reg.ClassPath(kPosPrinter), "TBX910QD", "TBX910QD-02");
  Select({"TBX910QD", "TBX910QD-02", "POSPrinter", kKvrGroupText});
  EXPECT_EQ(doc->m_nNodeType, kNodeKvrPrinterName);
  EXPECT_EQ(view, 22);
  EXPECT_EQ(doc->LoadedDeviceName(), "TBX910QD-02");
  doc->m_selected.sendTimeout = "4444";
  SelectGroup();
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD-02"), "SendTimeout"), "4444");
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD"), "SendTimeout"), "10000");
}

TEST_F(DocumentTest, APrinterIsCreatedWithTwoDrawers) {
  CreatePrinter("TBX910QD-02", "2");
  doc->m_new = NewDeviceValues();
  const std::string d1 = DrawerPath("TBX910QD-02_1");
  const std::vector<RegistryValue> drawer1 = {
      {"DriverName", "QuWin"},
      {"LogRetentionPeriod", "1"},
      {"LogLevelCore", "-1"},
      {"LogLevelSub", "-1"},
      {"PulseTime", "1"},
      {"InvertDrawerStatus", "F"},
      {"Version", kTestModuleVersion},
      {"", "OPOS.CASHDRAWER.SO.KVR.CORE.TBXQD"},
      {"CoreSODLLPath", FilePath("fenwode.dll")},
      {"SubSODLLPath", FilePath("tollek.dll")},
      {"DrawerNo", "1"},
  };
  for (const RegistryValue& v : drawer1) EXPECT_EQ(reg.Text(d1, v.name), v.data) << v.name;
  EXPECT_EQ(reg.Text(d1, "Description").rfind("KVR TBX910QD Cash Drawer Service Object, ", 0), 0u);
  EXPECT_EQ(reg.ValueCount(d1), 12u);
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD-02_2"), "DrawerNo"), "2");
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD-02"), "SubSODLLPath"), FilePath("prennik.dll"));
  EXPECT_EQ(doc->m_selectedDeviceName, "TBX910QD-02");
}

TEST_F(DocumentTest, DrawerSettingsComeFromTheirConnector) {
  doc->SetModelRow(1);
  doc->m_nTreePosition = 1;
  (void)doc->PrepareAddDevice();
  doc->m_new.deviceName = doc->m_new.connectionPrinter = "TBX910QD";
  doc->m_new.drawerCount = "2";
  doc->m_new.drawers[0] = {"TBX910QD_1", "3", "T"};
  doc->m_new.drawers[1] = {"TBX910QD_2", "8", "F"};
  doc->m_new.values.logLevelSub = "4";
  ASSERT_EQ(doc->CreateNewDevices(), 1);
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "PulseTime"), "3");
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "InvertDrawerStatus"), "T");
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_2"), "PulseTime"), "8");
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_2"), "InvertDrawerStatus"), "F");
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_2"), "LogLevelSub"), "4");
}

TEST_F(DocumentTest, CreationStopsAtTheFirstFailure) {
  doc->SetModelRow(1);
  doc->m_nTreePosition = 1;
  (void)doc->PrepareAddDevice();
  doc->m_new.deviceName = doc->m_new.connectionPrinter = "TBX910QD";
  doc->m_new.drawerCount = "2";
  doc->m_new.drawers[0].deviceName = "TBX910QD_1";
  doc->m_new.drawers[1].deviceName = "";  // can't be a key
  EXPECT_EQ(doc->CreateNewDevices(), 0);
  EXPECT_TRUE(reg.KeyExists(DrawerPath("TBX910QD_1")));  // not undone
  EXPECT_FALSE(reg.KeyExists(PrinterPath("TBX910QD")));
  EXPECT_EQ(reg.ValueCount(reg.ClassPath(kCashDrawer)), 0u);
}

TEST_F(DocumentTest, DrawersAreAddedToAnExistingPrinter) {
  CreatePrinter("TBX910QD");
  doc->m_nTreePosition = 2;
  const WizardPlan plan = doc->PrepareAddDevice();
  EXPECT_EQ(plan.startCode, 3);
  doc->m_new.connectionPrinter = "TBX910QD";
  doc->m_new.drawerCount = "1";
  doc->m_new.drawers[0].deviceName = "TBX910QD_1";
  doc->m_new.values.driverName = doc->Registry().GetDriverName("TBX910QD");
  ASSERT_EQ(doc->FinishAddDevice(true), 1);
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "DriverName"), "QuWin");
  EXPECT_EQ(doc->m_selectedDeviceName, "TBX910QD_1");
  EXPECT_EQ(doc->m_wizard.startCode, -1);
  EXPECT_TRUE(doc->m_new.className.empty());
}

// Drawer _1 is on screen with an edit pending when Add Device writes it anew for its printer.
// The pending edit goes first; the rebuilt tree selects the drawer again and then shows what
// the registry holds, writing nothing older back over it.
TEST_F(DocumentTest, AddingADrawerAgainShowsItsNewValuesAndKeepsThem) {
  CreatePrinter("TBX910QD", "1");
  SelectDrawer("TBX910QD_1");
  ASSERT_EQ(doc->m_selected.pulseTime, "1");
  doc->m_selected.pulseTime = "4";
  doc->m_selected.logLevelSub = "4";
  doc->m_nTreePosition = 2;
  (void)doc->PrepareAddDevice();
  doc->m_new.connectionPrinter = "TBX910QD";
  doc->m_new.drawerCount = "2";
  doc->m_new.drawers[0] = {"TBX910QD_1", "3", "T"};
  doc->m_new.drawers[1] = {"TBX910QD_2", "8", "F"};
  doc->m_new.values.driverName = doc->Registry().GetDriverName("TBX910QD");
  ASSERT_EQ(doc->FinishAddDevice(true), 1);
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "PulseTime"), "3");
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "LogLevelSub"), "-1");
  // What the rebuilt tree does: a fresh selection of the new selected device.
  ASSERT_EQ(doc->m_selectedDeviceName, "TBX910QD_1");
  doc->ResetSelection();
  SelectDrawer("TBX910QD_1");
  EXPECT_EQ(doc->m_selected.pulseTime, "3");
  EXPECT_EQ(doc->m_selected.invertDrawerStatus, "T");
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "PulseTime"), "3");
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "InvertDrawerStatus"), "T");
  SelectGroup();
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_1"), "PulseTime"), "3");
  EXPECT_EQ(reg.Text(DrawerPath("TBX910QD_2"), "PulseTime"), "8");
}

// Edits pending on another device reach its key before an Add Device; a failed creation still
// rebuilds the tree, since entries created before the failure stay.
TEST_F(DocumentTest, AddDeviceWritesPendingEditsFirstAndRebuildsAfterAFailure) {
  CreatePrinter("TBX910QD");
  SelectPrinter("TBX910QD");
  doc->m_selected.sendTimeout = "4000";
  doc->SetModelRow(1);
  doc->m_nTreePosition = 1;
  (void)doc->PrepareAddDevice();
  doc->m_new.deviceName = doc->m_new.connectionPrinter = "TBX910QD-02";
  doc->m_new.drawerCount = "2";
  doc->m_new.drawers[0].deviceName = "TBX910QD-02_1";
  doc->m_new.drawers[1].deviceName = "";  // can't be a key
  EXPECT_EQ(doc->FinishAddDevice(true), 1);
  EXPECT_EQ(reg.Text(PrinterPath("TBX910QD"), "SendTimeout"), "4000");
  EXPECT_TRUE(reg.KeyExists(DrawerPath("TBX910QD-02_1")));
  EXPECT_FALSE(reg.KeyExists(PrinterPath("TBX910QD-02")));
}

TEST_F(DocumentTest, CancelledWizardWritesNothingAndReturnsToTheGenericRow) {
  doc->SetModelRow(1);
  doc->m_nTreePosition = 1;
  (void)doc->PrepareAddDevice();
  doc->m_new.deviceName = "TBX910QD";
  EXPECT_EQ(doc->FinishAddDevice(false), 0);
  EXPECT_FALSE(reg.KeyExists(PrinterPath("TBX910QD")));
  EXPECT_EQ(doc->CurrentModelIndex(), 0);
}

TEST_F(DocumentTest, DeletingAPrinterTakesItsDrawersAndTheirLogicalNames) {
  CreatePrinter("TBX910QD", "1");
  CreatePrinter("TBX910QD-02", "1");
  const std::string printers = reg.ClassPath(kPosPrinter);
  const std::string drawers = reg.ClassPath(kCashDrawer);
  reg.SetString(printers, "L1", "TBX910QD");
  reg.SetString(printers, "L2", "TBX910QD-02");
  reg.SetString(drawers, "L3", "TBX910QD_1");
  reg.SetString(drawers, "L4", "TBX910QD_2");
  reg.SetString(drawers, "L5", "TBX910QD-02_1");
  SelectPrinter("TBX910QD");
  EXPECT_EQ(DeleteQuestion(doc->m_nNodeType, doc->m_selectedText),
            "Are you sure you want to delete [TBX910QD] and connection drawer device?");
  ASSERT_EQ(doc->DeleteSelectedNode(), 1);
  EXPECT_FALSE(reg.KeyExists(PrinterPath("TBX910QD")));
  EXPECT_FALSE(reg.KeyExists(DrawerPath("TBX910QD_1")));
  EXPECT_TRUE(reg.KeyExists(PrinterPath("TBX910QD-02")));
  EXPECT_TRUE(reg.KeyExists(DrawerPath("TBX910QD-02_1")));
  EXPECT_FALSE(reg.HasValue(printers, "L1"));
  EXPECT_FALSE(reg.HasValue(drawers, "L3"));
  EXPECT_FALSE(reg.HasValue(drawers, "L4"));  // its drawer key never existed
  EXPECT_TRUE(reg.HasValue(printers, "L2"));
  EXPECT_TRUE(reg.HasValue(drawers, "L5"));
  EXPECT_EQ(doc->m_selectedDeviceName, "POSPrinter");
  EXPECT_TRUE(messages.shown.empty());
  // The deleted device's values are not written back (nor is its key re-created).
  SelectGroup();
  EXPECT_FALSE(reg.KeyExists(PrinterPath("TBX910QD")));
}

TEST_F(DocumentTest, DeletingALogicalNameTakesOnlyThatValue) {
  CreatePrinter("TBX910QD", "1");
  const std::string drawers = reg.ClassPath(kCashDrawer);
  reg.SetString(drawers, "LD1", "TBX910QD_1");
  reg.SetString(drawers, "LD2", "TBX910QD_1");
  Select({"LD1", "TBX910QD_1", "CashDrawer", kKvrGroupText});
  EXPECT_EQ(doc->m_nNodeType, kNodeKvrDrawerName);
  ASSERT_EQ(doc->DeleteSelectedNode(), 1);
  EXPECT_FALSE(reg.HasValue(drawers, "LD1"));
  EXPECT_TRUE(reg.HasValue(drawers, "LD2"));
  EXPECT_TRUE(reg.KeyExists(DrawerPath("TBX910QD_1")));
  EXPECT_EQ(doc->m_selectedDeviceName, "TBX910QD_1");
  // Gone already: the failure is reported, with the value, its key and the reason.
  EXPECT_EQ(doc->DeleteSelectedNode(), 0);
  EXPECT_EQ(messages.Texts(),
            std::vector<std::string>{"It failed in the deleting.\nThe value \"LD1\" of the "
                                     "registry key \"" +
                                     doc->Registry().FullKeyName(drawers) +
                                     "\" could not be deleted.\n" +
                                     CRegistry::SystemErrorText(ERROR_FILE_NOT_FOUND)});
}

TEST_F(DocumentTest, GroupsAndClassesDeleteNothing) {
  CreatePrinter("TBX910QD");
  for (const TreePath& path : {TreePath{kKvrGroupText}, TreePath{"POSPrinter", kKvrGroupText},
                               TreePath{kOtherGroupText}}) {
    Select(path);
    EXPECT_EQ(doc->DeleteSelectedNode(), 0);
  }
  EXPECT_TRUE(reg.KeyExists(PrinterPath("TBX910QD")));
}

TEST_F(DocumentTest, ALogicalNameIsAddedForItsClass) {
  CreatePrinter("TBX910QD", "1");
  doc->m_nTreePosition = 2;
  const WizardPlan plan = doc->PrepareAddLogicalName();
  EXPECT_EQ(plan.caption, "Add Logical Device Name");
  EXPECT_EQ(plan.pages, (std::vector<WizardPage>{kLogicalNamePage, kEndPage}));
  EXPECT_EQ(doc->m_logical.className, "CashDrawer");
  EXPECT_TRUE(doc->m_wizard.logicalNameMode);
  doc->m_logical.logicalName[kCashDrawer] = "QuDrawerName";
  doc->m_logical.targetDevice[kCashDrawer] = "TBX910QD_1";
  ASSERT_EQ(doc->AddLogicalName(), 1);
  EXPECT_EQ(reg.Text(reg.ClassPath(kCashDrawer), "QuDrawerName"), "TBX910QD_1");
  EXPECT_EQ(doc->m_selectedDeviceName, "TBX910QD_1");
  doc->ClearLogicalName();
  EXPECT_FALSE(doc->m_wizard.logicalNameMode);
  EXPECT_TRUE(doc->m_logical.className.empty());
}

TEST_F(DocumentTest, ListsComeFromTheRegistry) {
  CreatePrinter("TBX910QD", "1");
  reg.SetString(PrinterPath("Foreign"), "", "opos.posprinter.so.kvr.core.tbxqd");
  reg.SetString(reg.ClassPath(kPosPrinter), "LP", "TBX910QD");
  doc->EnumerateAllDevices();
  doc->ClassifyAllDevices();
  doc->EnumerateAllClasses();
  ASSERT_EQ(doc->m_devices[kPosPrinter].size(), 2u);
  EXPECT_EQ(doc->m_devices[kPosPrinter][0].name, "Foreign");
  EXPECT_FALSE(doc->m_devices[kPosPrinter][0].makerDevice);  // the prefix is case-sensitive
  EXPECT_TRUE(doc->m_devices[kPosPrinter][1].makerDevice);
  ASSERT_EQ(doc->m_devices[kCashDrawer].size(), 1u);
  EXPECT_TRUE(doc->m_devices[kCashDrawer][0].makerDevice);
  EXPECT_EQ(doc->ModelRow(1).devicePresent, 1);
  ASSERT_EQ(doc->m_logicalNames[kPosPrinter].size(), 1u);
  EXPECT_EQ(doc->m_logicalNames[kPosPrinter][0].deviceName, "TBX910QD");
  EXPECT_TRUE(doc->m_classAvailable[kPosPrinter]);
  EXPECT_TRUE(doc->m_classAvailable[kCashDrawer]);
  EXPECT_FALSE(doc->m_classAvailable[kLineDisplay]);
  EXPECT_FALSE(doc->m_classAvailable[kScanner]);
}

TEST_F(DocumentTest, ModelModulesAreFoundBesideTheProgram) {
  EXPECT_TRUE(doc->IsModelModulePresent(1, kPosPrinter));
  EXPECT_TRUE(doc->IsModelModulePresent(1, kCashDrawer));
  EXPECT_FALSE(doc->IsModelModulePresent(1, kLineDisplay));
  EXPECT_EQ(CKvrOposUtilityDoc::GetFileVersionString(FilePath("prennik.dll")), kTestModuleVersion);
  EXPECT_EQ(CKvrOposUtilityDoc::GetFileVersionString(FilePath("nothing.dll")), "");
  EXPECT_EQ(CKvrOposUtilityDoc::GetFileVersionString(""), "");
  EXPECT_EQ(doc->ComputeCorePath(kCashDrawer, doc->ModelRow(0)), "");  // no model name
  EXPECT_EQ(doc->ComputeDescription(kPosPrinter, doc->ModelRow(0), FilePath("prennik.dll")), "");
  EXPECT_EQ(doc->m_logFolder.substr(1), ":\\ProgramData\\KVR\\Logs\\");
}

}  // namespace
