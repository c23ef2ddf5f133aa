// The right-hand forms' logic: what they show for a loaded device, and what each change of a
// control stores in the document's selected-device values.
#include "ViewForms.h"
#include "WizardTestSupport.h"
#include "wizard_views_resource.h"

namespace {

using Items = std::vector<std::string>;

std::string g_launched;
UINT WINAPI RecordLaunch(LPCSTR commandLine, UINT) {
  g_launched = commandLine;
  return 33;
}

// A choice in a combo and the value it stores.
struct ChoiceRow {
  int id;
  const char* choice;
  std::string DeviceValues::*value;
  const char* stored;
};

class ViewForms : public WizardFixture {
 protected:
  ViewForms() {
    SetPrinters({{"QwPrinterC", kTbxDriver},
                 {"QwPrinterA", kTbxDriver},
                 {"QwTaken", kTbxDriver},
                 {"QwOtherDriver", "Generic Driver"}});
    DeviceValues v;
    v.sendTimeout = "5000";
    v.receiveTimeout = "6000";
    v.processCompletionTiming = "0";
    v.driverName = "QwPrinterA";
    v.paperSize = "0";
    v.markMode = "1";
    v.printSpeed = "2";
    v.printerCharacterSet = "1252";
    v.logRetentionPeriod = "30";
    v.logLevelCore = "0";
    v.logLevelSub = "4";
    v.version = kTestModuleVersion;
    v.printerProgId = kKvrPrinterProgId;
    v.description = "KVR TBX910QD POS Printer Service Object";
    v.coreSODLLPath = modules.Path() + "\\vasselin.dll";
    v.subSODLLPath = modules.Path() + "\\prennik.dll";
    EXPECT_EQ(doc->Registry().CreatePosPrinterKey("TBX910QD", v, kModelRows[1]), 1);
    AddPrinterKey("TBX910QD-09", "QwTaken");
    v.pulseTime = "3";
    v.invertDrawerStatus = "T";
    v.drawerProgId = kKvrDrawerProgId;
    v.description = "KVR TBX910QD Cash Drawer Service Object";
    v.coreSODLLPath = modules.Path() + "\\fenwode.dll";
    v.subSODLLPath = modules.Path() + "\\tollek.dll";
    v.drawerNo = "1";
    EXPECT_EQ(doc->Registry().CreateCashDrawerKey("TBX910QD_1", v), 1);
  }

  // The tree selects the printer; the form is then filled against the test's printers.
  void SelectPrinter() {
    Select({"TBX910QD", "POSPrinter", "KVR POS Devices"});
    doc->m_installedPrinters = printers;
  }
  void SelectDrawer() { Select({"TBX910QD_1", "CashDrawer", "KVR POS Devices"}); }

  static void Choose(CFormLogic& view, int id, const std::string& text) {
    ASSERT_TRUE(view.Form().SelectText(id, text)) << text;
    view.OnSelChange(id);
  }
  template <size_t N>
  void ExpectChoicesStored(CFormLogic& view, const ChoiceRow (&rows)[N]) {
    for (const ChoiceRow& row : rows) {
      Choose(view, row.id, row.choice);
      EXPECT_EQ(doc->m_selected.*row.value, row.stored) << row.choice;
    }
  }
};

TEST_F(ViewForms, PrinterFormShowsTheLoadedDevice) {
  SelectPrinter();
  ASSERT_TRUE(messages.shown.empty());
  CRight22View view(*doc);
  view.OnInitialUpdate();
  const FormState& form = view.Form();
  EXPECT_EQ(form.GetText(IDC_VIEW_DEVICE_NAME), "TBX910QD");
  EXPECT_EQ(form.GetText(IDC_VIEW_SEND_TIMEOUT), "5000");
  EXPECT_EQ(form.GetText(IDC_VIEW_RECEIVE_TIMEOUT), "6000");
  EXPECT_EQ(form.Controls().at(IDC_VIEW_SEND_TIMEOUT).textLimit, 5);
  EXPECT_EQ(form.Controls().at(IDC_VIEW_RECEIVE_TIMEOUT).textLimit, 5);
  EXPECT_EQ(form.GetText(IDC_VIEW_LOG_FOLDER), doc->m_logFolder + "OposPrinter");
  EXPECT_EQ(form.GetText(IDC_VIEW_LOG_FOLDER).substr(1), ":\\ProgramData\\KVR\\Logs\\OposPrinter");
  EXPECT_EQ(form.GetText(IDC_VIEW_VERSION), "Version : 1.14.1.7");
  EXPECT_EQ(form.Items(IDC_VIEW_DRIVER), (Items{"QwPrinterA", "QwPrinterC", "Unselected"}));
  EXPECT_EQ(form.GetText(IDC_VIEW_DRIVER), "QwPrinterA");
  const std::pair<int, const char*> shown[] = {
      {IDC_VIEW_COMPLETION, "Data Transmitted"}, {IDC_VIEW_PAPER, "40mm/288dots"},
      {IDC_VIEW_CODEPAGE, "1252"},               {IDC_VIEW_SPEED, "Middle"},
      {IDC_VIEW_MARK, "Enable"},                 {IDC_VIEW_CORE_LEVEL, "Error"},
      {IDC_VIEW_SUB_LEVEL, "Trace"},             {IDC_VIEW_RETENTION, "30 days"}};
  for (const auto& [id, text] : shown) EXPECT_EQ(form.GetText(id), text) << id;
  EXPECT_EQ(form.Items(IDC_VIEW_RETENTION),
            (Items{"1 day", "3 days", "10 days", "30 days", "90 days"}));
  EXPECT_EQ(form.Items(IDC_VIEW_CORE_LEVEL), (Items{"No Output", "Error", "Trace"}));
  EXPECT_TRUE(form.IsVisible(IDC_VIEW_PAPER) && form.IsVisible(IDC_VIEW_PAPER_LABEL));
  EXPECT_TRUE(form.IsVisible(IDC_VIEW_MARK) && form.IsVisible(IDC_VIEW_MARK_LABEL));
}

TEST_F(ViewForms, PrinterFormDriverChoice) {
  struct Row {
    const char* why;
    const char* stored;
    const char* shown;
    const char* storedAfter;
  };
  const Row rows[] = {
      {"this device's own printer", "QwPrinterA", "QwPrinterA", "QwPrinterA"},
      {"no printer", "", "Unselected", ""},
      {"the spooler's name in other case", "qwprintera", "QwPrinterA", "qwprintera"},
      // Only looking keeps a binding the spooler cannot serve now; the form says so.
      {"a printer that is gone", "QwGone", "QwGone (not available)", "QwGone"},
      {"a printer another device drives", "QwTaken", "QwTaken (not available)", "QwTaken"},
      {"only the start of a name", "QwPrint", "QwPrint (not available)", "QwPrint"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    reg.SetString(reg.DevicePath(kPosPrinter, "TBX910QD"), "DriverName", row.stored);
    SelectPrinter();
    CRight22View view(*doc);
    view.OnInitialUpdate();
    EXPECT_EQ(view.Form().GetText(IDC_VIEW_DRIVER), row.shown);
    EXPECT_EQ(view.Form().Items(IDC_VIEW_DRIVER).back(), "Unselected");
    EXPECT_EQ(doc->m_selected.driverName, row.storedAfter);
    Select({"KVR POS Devices"});  // leaving the printer writes it back
    EXPECT_EQ(reg.Text(reg.DevicePath(kPosPrinter, "TBX910QD"), "DriverName"), row.storedAfter);
  }
  // The user's choice replaces the unavailable printer; choosing it again changes nothing.
  reg.SetString(reg.DevicePath(kPosPrinter, "TBX910QD"), "DriverName", "QwGone");
  SelectPrinter();
  CRight22View view(*doc);
  view.OnInitialUpdate();
  EXPECT_EQ(view.Form().Items(IDC_VIEW_DRIVER),
            (Items{"QwPrinterA", "QwPrinterC", "QwGone (not available)", "Unselected"}));
  Choose(view, IDC_VIEW_DRIVER, "QwGone (not available)");
  EXPECT_EQ(doc->m_selected.driverName, "QwGone");
  Choose(view, IDC_VIEW_DRIVER, "QwPrinterC");
  EXPECT_EQ(doc->m_selected.driverName, "QwPrinterC");
  Choose(view, IDC_VIEW_DRIVER, "Unselected");
  EXPECT_EQ(doc->m_selected.driverName, "");
}

TEST_F(ViewForms, PrinterFormStoresEachChoiceAtOnce) {
  SelectPrinter();
  CRight22View view(*doc);
  view.OnInitialUpdate();
  const ChoiceRow rows[] = {
      {IDC_VIEW_COMPLETION, "Printed", &DeviceValues::processCompletionTiming, "1"},
      {IDC_VIEW_COMPLETION, "Data Transmitted", &DeviceValues::processCompletionTiming, "0"},
      {IDC_VIEW_PAPER, "58mm/432dots", &DeviceValues::paperSize, "1"},
      {IDC_VIEW_CODEPAGE, "437", &DeviceValues::printerCharacterSet, "437"},
      {IDC_VIEW_SPEED, "High", &DeviceValues::printSpeed, "1"},
      {IDC_VIEW_MARK, "Disable", &DeviceValues::markMode, "0"},
      {IDC_VIEW_CORE_LEVEL, "Trace", &DeviceValues::logLevelCore, "4"},
      {IDC_VIEW_SUB_LEVEL, "No Output", &DeviceValues::logLevelSub, "-1"},
      {IDC_VIEW_RETENTION, "90 days", &DeviceValues::logRetentionPeriod, "90"},
      {IDC_VIEW_RETENTION, "1 day", &DeviceValues::logRetentionPeriod, "1"},
  };
  ExpectChoicesStored(view, rows);
}

TEST_F(ViewForms, PrinterFormShowsDefaultsForValuesOutsideItsListsWithoutStoring) {
  SelectPrinter();
  doc->m_selected.paperSize = "7";
  doc->m_selected.logLevelCore = "2";  // accepted by the repair, not offered by the form
  doc->m_selected.logRetentionPeriod = "45";
  CRight22View view(*doc);
  view.OnInitialUpdate();
  EXPECT_EQ(view.Form().GetText(IDC_VIEW_PAPER), "58mm/432dots");
  EXPECT_EQ(view.Form().GetText(IDC_VIEW_CORE_LEVEL), "No Output");
  EXPECT_EQ(view.Form().GetText(IDC_VIEW_RETENTION), "1 day");
  EXPECT_EQ(doc->m_selected.paperSize, "7");
  EXPECT_EQ(doc->m_selected.logLevelCore, "2");
  EXPECT_EQ(doc->m_selected.logRetentionPeriod, "45");
}

TEST_F(ViewForms, PrinterFormTimeoutIsStoredWhenItsEditLosesTheFocus) {
  SelectPrinter();
  CRight22View view(*doc);
  view.OnInitialUpdate();
  struct Row {
    int id;
    const char* typed;
    bool valid;
  };
  const Row rows[] = {{IDC_VIEW_SEND_TIMEOUT, "2999", false},
                      {IDC_VIEW_SEND_TIMEOUT, "+5000", false},
                      {IDC_VIEW_SEND_TIMEOUT, "", false},
                      {IDC_VIEW_SEND_TIMEOUT, "3000", true},
                      {IDC_VIEW_RECEIVE_TIMEOUT, "90001", false},
                      {IDC_VIEW_RECEIVE_TIMEOUT, "90000", true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    const bool send = row.id == IDC_VIEW_SEND_TIMEOUT;
    std::string& stored = send ? doc->m_selected.sendTimeout : doc->m_selected.receiveTimeout;
    const std::string before = stored;
    messages.shown.clear();
    view.Form().SetText(row.id, row.typed);
    view.OnEditChange(row.id);
    EXPECT_EQ(doc->m_wizard.invalidEntry, !row.valid);
    EXPECT_EQ(view.OnEditKillFocus(row.id), !row.valid);
    EXPECT_FALSE(doc->m_wizard.invalidEntry);
    if (row.valid) {
      EXPECT_EQ(stored, row.typed);
      EXPECT_TRUE(messages.shown.empty());
      continue;
    }
    EXPECT_EQ(stored, before);
    EXPECT_EQ(view.Form().GetText(row.id), before);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, send ? "An invalid value is set in the SendTimeout. "
                                           : "An invalid value is set in the ReceiveTimeout. ");
    EXPECT_EQ(messages.shown[0].icon, 0u);
  }
}

TEST_F(ViewForms, DrawerFormShowsAndStoresItsValues) {
  SelectDrawer();
  CRight03View view(*doc);
  view.OnInitialUpdate();
  const FormState& form = view.Form();
  EXPECT_EQ(form.GetText(IDC_VIEW_DEVICE_NAME), "TBX910QD_1");
  EXPECT_EQ(form.GetText(IDC_VIEW_DRIVER), "QwPrinterA");
  EXPECT_EQ(form.Items(IDC_VIEW_PULSE),
            (Items{"100", "200", "300", "400", "500", "600", "700", "800"}));
  EXPECT_EQ(form.GetText(IDC_VIEW_PULSE), "300");
  EXPECT_EQ(form.GetText(IDC_VIEW_INVERT), "Enable");
  EXPECT_EQ(form.GetText(IDC_VIEW_LOG_FOLDER), doc->m_logFolder + "OposDrawer");
  EXPECT_EQ(form.GetText(IDC_VIEW_VERSION), "Version : 1.14.1.7");
  EXPECT_EQ(form.GetText(IDC_VIEW_RETENTION), "30 days");

  const ChoiceRow rows[] = {{IDC_VIEW_PULSE, "600", &DeviceValues::pulseTime, "6"},
                      {IDC_VIEW_PULSE, "100", &DeviceValues::pulseTime, "1"},
                      {IDC_VIEW_INVERT, "Disable", &DeviceValues::invertDrawerStatus, "F"},
                      {IDC_VIEW_INVERT, "Enable", &DeviceValues::invertDrawerStatus, "T"},
                      {IDC_VIEW_CORE_LEVEL, "No Output", &DeviceValues::logLevelCore, "-1"},
                      {IDC_VIEW_SUB_LEVEL, "Error", &DeviceValues::logLevelSub, "0"},
                      {IDC_VIEW_RETENTION, "3 days", &DeviceValues::logRetentionPeriod, "3"}};
  ExpectChoicesStored(view, rows);
}

TEST_F(ViewForms, DrawerFormWithoutValues) {
  SelectDrawer();
  doc->m_selected.pulseTime = "";
  doc->m_selected.driverName = "";
  CRight03View view(*doc);
  view.OnInitialUpdate();
  EXPECT_EQ(view.Form().GetText(IDC_VIEW_PULSE), "100");
  EXPECT_EQ(view.Form().GetText(IDC_VIEW_DRIVER), "Unselected");
  EXPECT_EQ(doc->m_selected.pulseTime, "");
}

TEST_F(ViewForms, RestrictedFormsKeepOnlyTheirFewControls) {
  SelectDrawer();
  CRight03View drawer(*doc);
  drawer.OnInitialUpdate();
  drawer.EnableControls(false);
  for (int id : {IDC_VIEW_PULSE, IDC_VIEW_INVERT, IDC_VIEW_VERSION})
    EXPECT_TRUE(drawer.Form().IsEnabled(id)) << id;
  for (int id : {IDC_VIEW_DEVICE_NAME, IDC_VIEW_DRIVER, IDC_VIEW_CORE_LEVEL, IDC_VIEW_SUB_LEVEL,
                 IDC_VIEW_RETENTION, IDC_VIEW_LOG_FOLDER})
    EXPECT_FALSE(drawer.Form().IsEnabled(id)) << id;
  drawer.EnableControls(true);
  EXPECT_TRUE(drawer.Form().IsEnabled(IDC_VIEW_CORE_LEVEL));

  SelectPrinter();
  CRight22View printer(*doc);
  printer.OnInitialUpdate();
  printer.EnableControls(false);
  EXPECT_TRUE(printer.Form().IsEnabled(IDC_VIEW_VERSION));
  EXPECT_TRUE(printer.Form().IsEnabled(IDC_VIEW_SPEED_LABEL));  // a static text
  for (int id : {IDC_VIEW_SEND_TIMEOUT, IDC_VIEW_DRIVER, IDC_VIEW_SPEED, IDC_VIEW_PAPER})
    EXPECT_FALSE(printer.Form().IsEnabled(id)) << id;
}

TEST_F(ViewForms, ClassFormShowsTheNameAndRunsTheHealthCheck) {
  AddPrinterKey("QwForeign", "", "OPOS.POSPRINTER.SO.OTHER");
  Select({"QwForeign", "POSPrinter", "Other POS Devices"});
  CRight00View view(*doc);
  view.OnInitialUpdate();
  EXPECT_EQ(view.Form().GetText(IDC_VIEW_DEVICE_NAME), "QwForeign");
  EXPECT_EQ(view.Form().ItemCount(IDC_VIEW_DRIVER), 0);
  doc->SetLauncher(RecordLaunch);
  g_launched.clear();
  view.OnButton(IDC_VIEW_CHECKHEALTH);
  EXPECT_EQ(g_launched, "varnhold.exe QwForeign/p");
}

}  // namespace
