#include "WizardTestSupport.h"

#include "wizard_views_resource.h"

WizardFixture::WizardFixture()
    : reg("Qw_" + CurrentTestName()), modules("qw_" + CurrentTestName(), AllModelFiles()) {
  reg.RegisterProgId(kKvrPrinterProgId);
  reg.RegisterProgId(kKvrDrawerProgId);
  doc = std::make_unique<CKvrOposUtilityDoc>(reg.Location(), &messages);
  doc->SetModuleFolder(modules.Path());
}

void WizardFixture::AddPrinterKey(const std::string& name, const std::string& driverName,
                                  const std::string& progId) {
  reg.SetString(reg.DevicePath(kPosPrinter, name), "", progId);
  reg.SetString(reg.DevicePath(kPosPrinter, name), "DriverName", driverName);
}

void WizardFixture::AddDrawerKey(const std::string& name, const std::string& progId) {
  reg.SetString(reg.DevicePath(kCashDrawer, name), "", progId);
}

void WizardFixture::AddLogicalName(DeviceClass cls, const std::string& logical,
                                   const std::string& device) {
  reg.SetString(reg.ClassPath(cls), logical, device);
}

void WizardFixture::Refill() {
  doc->EnumerateAllDevices();
  doc->ClassifyAllDevices();
  doc->EnumerateAllClasses();
}

void WizardFixture::Select(const TreePath& path) {
  Refill();
  (void)doc->OnTreeSelectionChanged(path);
  messages.shown.clear();
}

void WizardFixture::SetPrinters(const std::vector<std::pair<std::string, std::string>>& list) {
  printers.clear();
  for (const auto& [name, driver] : list) printers.push_back({name, "", driver});
}

std::function<void()> WizardFixture::PrinterSource() {
  return [this] { doc->m_installedPrinters = printers; };
}

WizardDriver::WizardDriver(CKvrOposUtilityDoc& doc, const WizardPlan& plan,
                           std::function<void()> refreshPrinters) {
  m_context.doc = &doc;
  m_context.pages = plan.pages;
  m_context.refreshPrinters = std::move(refreshPrinters);
  for (int i = 0; i < m_context.Count(); ++i) m_pages.push_back(CreateWizardPage(m_context, i));
  m_shown.assign(m_pages.size(), false);
  Activate(0);
}

void WizardDriver::Activate(int index) {
  m_current = index;
  if (!m_shown[index]) {
    m_pages[index]->OnInitDialog();
    m_shown[index] = true;
  }
  m_pages[index]->OnSetActive();
}

bool WizardDriver::Next() {
  if ((Buttons() & kWizNext) == 0) return false;
  const int target = Page().OnWizardNext();
  Activate(target == kStepOn ? m_current + 1 : target);
  return true;
}

bool WizardDriver::Back() {
  if ((Buttons() & kWizBack) == 0) return false;
  const int target = Page().OnWizardBack();
  Activate(target == kStepOn ? m_current - 1 : target);
  return true;
}

void WizardDriver::Choose(int id, const std::string& text) {
  ASSERT_TRUE(Form().SelectText(id, text)) << "no item " << text << " in " << id;
  Page().OnSelChange(id);
}

void WizardDriver::Type(int id, const std::string& text) {
  Form().SetText(id, text);
  Page().OnEditChange(id);
}

std::string PageName(WizardPage page) {
  static const char* const kNames[] = {"class", "model", "driver", "settings", "drawer count",
                                       "first drawer", "second drawer", "logical name", "end"};
  return kNames[page];
}

void EnterPrinterSettings(WizardDriver& wizard) {
  ASSERT_EQ(wizard.Current(), kPrinterSettingsPage);
  wizard.Type(IDC_SET_SEND_TIMEOUT, "5000");
  wizard.Choose(IDC_SET_COMPLETION, "Data Transmitted");
  wizard.Choose(IDC_SET_PAPER, "40mm/288dots");
  wizard.Choose(IDC_SET_MARK, "Enable");
  wizard.Choose(IDC_SET_SPEED, "Middle");
  wizard.Choose(IDC_SET_CODEPAGE, "1252");
}
