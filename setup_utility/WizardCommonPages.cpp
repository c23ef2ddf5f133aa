#include "WizardCommonPages.h"

#include "KvrOposUtilityDoc.h"
#include "ViewChoices.h"
#include "wizard_views_resource.h"

#include <cstdio>

namespace {

constexpr char kAddDeviceTitle[] = "Add Device";
constexpr char kAddLogicalNameTitle[] = "Add Logical Device Name";
constexpr char kTooManyDevices[] = "More than 99 devices can not be added.";

const char* SheetTitleFor(const CKvrOposUtilityDoc& doc) {
  return doc.m_wizard.logicalNameMode ? kAddLogicalNameTitle : kAddDeviceTitle;
}

bool InOtherGroup(int treePosition) { return treePosition >= 5 && treePosition <= 9; }

// Registry key names ignore case: a name differing only in case is the same device.
bool DeviceNameTaken(const CKvrOposUtilityDoc& doc, DeviceClass cls, const std::string& name) {
  for (const DeviceRecord& d : doc.m_devices[cls])
    if (EqualsIgnoringCase(d.name, name)) return true;
  return false;
}

}  // namespace

std::vector<std::string> AvailableClassNames(const CKvrOposUtilityDoc& doc) {
  std::vector<std::string> names;
  for (int cls = 0; cls < kDeviceClassCount; ++cls)
    if (doc.m_classAvailable[cls]) names.push_back(kClassNames[cls]);
  return names;
}

// ---- class choice dialog

int CAddSelectClassDlg::TemplateId() const { return IDD_SELECT_CLASS; }

void CAddSelectClassDlg::OnInitDialog() {
  m_title = SheetTitleFor(m_doc);
  m_form.SetItems(IDC_CLASS_COMBO, AvailableClassNames(m_doc));
  m_form.Select(IDC_CLASS_COMBO, 0);
  m_form.Label(IDOK).enabled = m_form.ItemCount(IDC_CLASS_COMBO) > 0;
}

int CAddSelectClassDlg::OnOK() {
  const int cls = DeviceClassFromName(m_form.GetText(IDC_CLASS_COMBO));
  int& position = m_doc.m_nTreePosition;
  const bool other = position == 5;
  if (cls == kPosPrinter) position = other ? 6 : 1;
  if (cls == kCashDrawer) position = other ? 7 : 2;
  return cls;
}

// ---- class page

void CAddDeviceCommPage::OnInitDialog() {
  m_form.SetItems(IDC_CLASS_COMBO, AvailableClassNames(Doc()));
  m_form.Select(IDC_CLASS_COMBO, 0);
}

void CAddDeviceCommPage::OnSetActive() {
  m_buttons = kWizNext;
  m_sheetTitle = SheetTitleFor(Doc());
}

void CAddDeviceCommPage::OnSelChange(int id) {
  // The class chosen so far; Next fixes it together with the tree position.
  CKvrOposUtilityDoc& doc = Doc();
  (doc.m_wizard.logicalNameMode ? doc.m_logical.className : doc.m_new.className) =
      m_form.GetText(IDC_CLASS_COMBO);
}

int CAddDeviceCommPage::OnWizardNext() {
  CKvrOposUtilityDoc& doc = Doc();
  const std::string chosen = m_form.GetText(IDC_CLASS_COMBO);
  const int cls = DeviceClassFromName(chosen);
  int& position = doc.m_nTreePosition;
  if (doc.m_wizard.logicalNameMode) {
    doc.m_logical.className = chosen;
    // The logical-name page tells the groups apart by the position alone.
    if (cls >= 0) position = (InOtherGroup(position) ? 6 : 1) + cls;
    return kStepOn;
  }
  doc.m_new.className = chosen;
  // Line display before scanner in the position codes, scanner before it in the class order.
  const int offset = cls == kPosPrinter ? 1 : cls == kCashDrawer ? 2 : cls == kScanner ? 4 : 3;
  if (position == 0) position = offset;
  else if (position == 5) position = 5 + offset;
  if (cls == kCashDrawer) {
    const int drawers = m_context.IndexOf(kDrawerCountPage);
    if (drawers >= 0) return drawers;
  }
  return kStepOn;
}

// ---- logical-name page

int CAddLDDevicePage::Class() { return DeviceClassFromName(Doc().m_logical.className); }

void CAddLDDevicePage::OnSetActive() {
  CKvrOposUtilityDoc& doc = Doc();
  const int cls = Class();
  m_form.Combo(IDC_LD_DEVICE);
  m_form.Text(IDC_LD_NAME).textLimit = kLogicalNameMax;
  std::vector<std::string> devices;
  if (cls >= 0) {
    doc.m_logical.targetDevice[cls] = doc.m_selectedDeviceName;
    // Devices of the tree group the command came from.
    const bool maker = !(doc.m_nTreePosition >= 5 && doc.m_nTreePosition <= 7);
    for (const DeviceRecord& d : doc.m_devices[cls])
      if (!d.name.empty() && d.makerDevice == maker) devices.push_back(d.name);
  }
  m_form.SetItems(IDC_LD_DEVICE, devices);
  if (cls >= 0 && !m_form.SelectText(IDC_LD_DEVICE, doc.m_logical.targetDevice[cls]))
    m_form.Select(IDC_LD_DEVICE, 0);
  m_form.SetText(IDC_LD_NAME, cls >= 0 ? doc.m_logical.logicalName[cls] : std::string());
  const bool any = !devices.empty();
  m_form.Enable(IDC_LD_DEVICE, any);
  m_form.Enable(IDC_LD_NAME, any);
  SetButtons();
}

void CAddLDDevicePage::SetButtons() {
  const unsigned back = Doc().m_wizard.classPageShown ? kWizBack : 0;
  const bool ready = !m_form.GetText(IDC_LD_DEVICE).empty() &&
                     IsValidLogicalName(Doc(), Class(), m_form.GetText(IDC_LD_NAME));
  m_buttons = back | (ready ? kWizNext : 0);
}

void CAddLDDevicePage::OnSelChange(int id) {
  const int cls = Class();
  if (id == IDC_LD_DEVICE && cls >= 0)
    Doc().m_logical.targetDevice[cls] = m_form.GetText(IDC_LD_DEVICE);
  SetButtons();
}

void CAddLDDevicePage::OnEditChange(int id) {
  const int cls = Class();
  const std::string name = m_form.GetText(IDC_LD_NAME);
  if (id == IDC_LD_NAME && cls >= 0 && IsValidLogicalName(Doc(), cls, name))
    Doc().m_logical.logicalName[cls] = name;
  SetButtons();
}

void CAddLDDevicePage::Store() {
  const int cls = Class();
  if (cls < 0) return;
  Doc().m_logical.targetDevice[cls] = m_form.GetText(IDC_LD_DEVICE);
  Doc().m_logical.logicalName[cls] = m_form.GetText(IDC_LD_NAME);
  // The end page's Back returns here, not to the class page before it.
  RecordLastPage();
}

int CAddLDDevicePage::OnWizardNext() {
  Store();
  const int cls = Class();
  if (cls >= 0) Doc().m_nNodeType = kNodeKvrPrinterName + cls;
  return kStepOn;
}

bool IsValidLogicalName(const CKvrOposUtilityDoc& doc, int cls, const std::string& name) {
  if (name.empty() || name.size() > static_cast<size_t>(kLogicalNameMax)) return false;
  if (cls < 0 || cls >= kDeviceClassCount) return false;
  // Value names ignore case: a name differing only in case would replace the existing one.
  for (const LogicalNameRecord& n : doc.m_logicalNames[cls])
    if (!n.logicalName.empty() && EqualsIgnoringCase(n.logicalName, name)) return false;
  return true;
}

// ---- end page

void CAddDeviceEndPage::OnSetActive() { m_buttons = kWizBack | kWizFinish; }

int CAddDeviceEndPage::OnWizardBack() {
  // Back to the last page really shown: pages skipped by a jump are not shown again.
  const int last = Doc().m_wizard.lastPageIndex;
  return last >= 0 && last < m_index ? last : kStepOn;
}

// ---- new device names

std::string GenerateNewDeviceName(CKvrOposUtilityDoc& doc, DeviceClass cls,
                                  const std::string& base) {
  const ModelInfo& row = doc.CurrentModel();
  // A key of the bare name may exist without counting as the model's device (another maker's
  // ProgID): it is never reused, or the wizard would overwrite that device.
  if (base == row.modelName && row.devicePresent == 0 && !DeviceNameTaken(doc, cls, base))
    return base;
  for (int n = 2; n < 100; ++n) {
    char suffix[8];
    std::snprintf(suffix, sizeof(suffix), "-%02d", n);
    const std::string candidate = base + suffix;
    if (!DeviceNameTaken(doc, cls, candidate)) return candidate;
  }
  doc.Messages().ShowMessage(kTooManyDevices, MB_ICONEXCLAMATION);
  return {};
}
