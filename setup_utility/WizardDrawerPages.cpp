#include "WizardDrawerPages.h"

#include "KvrOposUtilityDoc.h"
#include "ViewChoices.h"
#include "wizard_views_resource.h"

namespace {

const std::vector<std::string> kDrawerCounts = {"0", "1", "2"};

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Registered maker's printers of the newest model that have a drawer-kick port.
std::vector<std::string> PrintersWithDrawerPort(const CKvrOposUtilityDoc& doc) {
  const std::string newest = doc.ModelRow(kModelRowCount - 1).modelName;
  std::vector<std::string> printers;
  for (const DeviceRecord& d : doc.m_devices[kPosPrinter]) {
    if (!d.makerDevice || !StartsWith(d.name, newest)) continue;
    if (HasList(doc.ModelRow(doc.FindModelRowForName(d.name)).pulseList))
      printers.push_back(d.name);
  }
  return printers;
}

}  // namespace

// ---- drawer count page

bool CAddDevicePageDrw1::ForExistingPrinter() {
  return Doc().m_new.className == kClassNames[kCashDrawer];
}

void CAddDevicePageDrw1::OnSetActive() {
  NewDeviceValues& n = Doc().m_new;
  if (ForExistingPrinter()) {
    m_form.SetItems(IDC_DRW_PRINTER, PrintersWithDrawerPort(Doc()));
    // A printer no longer listed falls back to the first, as an empty choice does.
    if (n.connectionPrinter.empty() || !m_form.SelectText(IDC_DRW_PRINTER, n.connectionPrinter))
      m_form.Select(IDC_DRW_PRINTER, 0);
    m_form.Enable(IDC_DRW_PRINTER, true);
  } else {
    m_form.SetItems(IDC_DRW_PRINTER, {n.deviceName});
    m_form.Select(IDC_DRW_PRINTER, 0);
    m_form.Enable(IDC_DRW_PRINTER, false);
    n.connectionPrinter = n.deviceName;
  }
  m_form.SetItems(IDC_DRW_COUNT, kDrawerCounts);
  if (!m_form.SelectText(IDC_DRW_COUNT, n.drawerCount)) m_form.Select(IDC_DRW_COUNT, 0);
  SetButtons();
}

void CAddDevicePageDrw1::SetButtons() {
  CKvrOposUtilityDoc& doc = Doc();
  doc.m_new.connectionPrinter = m_form.GetText(IDC_DRW_PRINTER);
  const WizardState& w = doc.m_wizard;
  if (doc.m_new.connectionPrinter.empty()) {
    m_buttons = (w.contextMenu || w.startCode == 3) ? 0 : kWizBack;
    return;
  }
  const bool fromDeviceMenu =
      w.contextMenu && (doc.m_nNodeType == kNodeKvrDrawer || doc.m_nNodeType == kNodeKvrDrawerName);
  m_buttons = kWizNext | ((fromDeviceMenu || w.startCode == 3) ? 0 : kWizBack);
}

void CAddDevicePageDrw1::OnSelChange(int id) {
  if (id == IDC_DRW_PRINTER) SetButtons();
}

void CAddDevicePageDrw1::Store() {
  CKvrOposUtilityDoc& doc = Doc();
  NewDeviceValues& n = doc.m_new;
  n.connectionPrinter = m_form.GetText(IDC_DRW_PRINTER);
  n.drawerCount = m_form.GetText(IDC_DRW_COUNT);
  // Drawers of an existing printer drive that printer's Windows printer.
  if (ForExistingPrinter()) n.values.driverName = doc.Registry().GetDriverName(n.connectionPrinter);
  RecordLastPage();
}

int CAddDevicePageDrw1::OnWizardNext() {
  Store();
  if (Doc().m_new.drawerCount == "0") return m_context.Count() - 1;
  Doc().m_nNodeType = kNodeKvrDrawer;
  return kStepOn;
}

int CAddDevicePageDrw1::OnWizardBack() {
  Store();
  // Drawers for an existing printer came straight from the class page.
  return ForExistingPrinter() ? 0 : kStepOn;
}

// ---- drawer pages

void CAddDevicePageDrawer::OnSetActive() {
  CKvrOposUtilityDoc& doc = Doc();
  NewDrawerValues& d = doc.m_new.drawers[m_connector - 1];
  m_buttons = kWizBack | kWizNext;
  d.deviceName = doc.m_new.connectionPrinter + (m_connector == 1 ? "_1" : "_2");
  m_form.SetText(IDC_DRW_NAME, d.deviceName);
  // The first connector offers the model's pulse list, the second the fixed one.
  m_form.SetItems(IDC_DRW_PULSE, m_connector == 1 ? OptionLabels(doc.CurrentModel().pulseList)
                                                  : ChoiceLabels(kPulseChoices));
  if (!m_form.SelectText(IDC_DRW_PULSE, d.pulseTime + "00")) m_form.Select(IDC_DRW_PULSE, 0);
  m_form.SetItems(IDC_DRW_INVERT, ChoiceLabels(kInvertChoices));
  m_form.Select(IDC_DRW_INVERT, ChoiceIndex(kInvertChoices, d.invertDrawerStatus));
}

void CAddDevicePageDrawer::Store() {
  NewDrawerValues& d = Doc().m_new.drawers[m_connector - 1];
  d.pulseTime = ChoiceValue(kPulseChoices, m_form.Selected(IDC_DRW_PULSE));
  d.invertDrawerStatus = ChoiceValue(kInvertChoices, m_form.Selected(IDC_DRW_INVERT));
  RecordLastPage();
}

int CAddDevicePageDrawer::OnWizardNext() {
  Store();
  if (m_connector == 1 && Doc().m_new.drawerCount == "1") return m_context.Count() - 1;
  return kStepOn;
}
