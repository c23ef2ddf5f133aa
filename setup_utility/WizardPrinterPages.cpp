#include "WizardPrinterPages.h"

#include "KvrOposUtilityDoc.h"
#include "ViewChoices.h"
#include "WizardCommonPages.h"
#include "wizard_views_resource.h"

namespace {

constexpr char kDefaultTimeout[] = "10000";
constexpr char kFallbackCharacterSet[] = "932";
constexpr int kTimeoutEditLimit = 5;

// A page's optional option list: the label and combo shown only when the model has it.
struct OptionalList {
  int label;
  int combo;
  const OptionList ModelInfo::*list;
  std::string DeviceValues::*value;  // null: shown, but stored another way
};
const OptionalList kOptionalLists[] = {
    {IDC_SET_PAPER_LABEL, IDC_SET_PAPER, &ModelInfo::paperList, &DeviceValues::paperSize},
    {IDC_SET_WIDTH_LABEL, IDC_SET_WIDTH, &ModelInfo::printWidthList, &DeviceValues::printWidth},
    {IDC_SET_MARK_LABEL, IDC_SET_MARK, &ModelInfo::markModeList, &DeviceValues::markMode},
    {IDC_SET_NEAREND_LABEL, IDC_SET_NEAREND, &ModelInfo::nearEndList, nullptr},
};

}  // namespace

// ---- model page

void CAddDevicePagePtr1::OnInitDialog() {
  CKvrOposUtilityDoc& doc = Doc();
  std::vector<std::string> models;
  for (int row = kModelRowCount - 1; row > kGenericModelRow; --row)
    if (doc.IsModelModulePresent(row, kPosPrinter)) models.push_back(doc.ModelRow(row).modelName);
  m_form.SetItems(IDC_MODEL_COMBO, models);
  m_form.Select(IDC_MODEL_COMBO, 0);
}

void CAddDevicePagePtr1::OnSetActive() {
  // Without a model whose files are installed there is nothing to add.
  const unsigned next = m_form.ItemCount(IDC_MODEL_COMBO) > 0 ? kWizNext : 0;
  m_buttons = next | (Doc().m_wizard.startCode != 1 ? kWizBack : 0);
}

void CAddDevicePagePtr1::OnSelChange(int id) {
  if (id == IDC_MODEL_COMBO) Doc().m_new.values.driverName.clear();
}

void CAddDevicePagePtr1::Store() {
  CKvrOposUtilityDoc& doc = Doc();
  doc.m_new.modelName = m_form.GetText(IDC_MODEL_COMBO);
  doc.SetModelRow(doc.FindModelRowForName(doc.m_new.modelName));
}

// ---- driver page

void CAddDevicePagePtr2::OnSetActive() {
  CKvrOposUtilityDoc& doc = Doc();
  const std::string name = GenerateNewDeviceName(doc, kPosPrinter, doc.m_new.modelName);
  m_form.SetText(IDC_NEW_DEVICE_NAME, name);
  if (m_context.refreshPrinters) m_context.refreshPrinters();
  m_form.SetItems(IDC_DRIVER_COMBO, UsableWindowsPrinters(doc, doc.CurrentModel(), ""));
  // A name no longer offered falls back to the first printer, so the page never hides one.
  if (doc.m_new.values.driverName.empty() ||
      !m_form.SelectText(IDC_DRIVER_COMBO, doc.m_new.values.driverName))
    m_form.Select(IDC_DRIVER_COMBO, 0);

  const WizardState& w = doc.m_wizard;
  m_form.Enable(IDC_DRIVER_COMBO, false);
  if (name.empty()) {
    m_buttons = (w.contextMenu || w.startCode == 2) ? 0 : kWizBack;
    return;
  }
  doc.m_new.values.driverName = m_form.GetText(IDC_DRIVER_COMBO);
  const bool fromDeviceMenu =
      w.contextMenu && (doc.m_nNodeType == kNodeKvrPrinter || doc.m_nNodeType == kNodeKvrPrinterName);
  const unsigned back = (fromDeviceMenu || w.startCode == 2) ? 0 : kWizBack;
  const bool taken = !doc.m_new.values.driverName.empty();
  m_buttons = back | (taken ? kWizNext : 0);
  m_form.Enable(IDC_DRIVER_COMBO, taken);
}

void CAddDevicePagePtr2::Store() {
  Doc().m_new.deviceName = m_form.GetText(IDC_NEW_DEVICE_NAME);
  Doc().m_new.values.driverName = m_form.GetText(IDC_DRIVER_COMBO);
}

// ---- settings page

void CAddDevicePagePtr3::OnSetActive() {
  CKvrOposUtilityDoc& doc = Doc();
  const ModelInfo& row = doc.CurrentModel();
  const DeviceValues& v = doc.m_new.values;
  m_form.SetText(IDC_SET_SPEED_LABEL, row.printSpeedName);
  m_form.SetText(IDC_SET_SEND_TIMEOUT, v.sendTimeout);
  m_form.SetText(IDC_SET_RECEIVE_TIMEOUT, v.receiveTimeout);
  m_form.Text(IDC_SET_SEND_TIMEOUT).textLimit = kTimeoutEditLimit;
  m_form.Text(IDC_SET_RECEIVE_TIMEOUT).textLimit = kTimeoutEditLimit;
  m_form.SetItems(IDC_SET_COMPLETION, ChoiceLabels(kCompletionChoices));
  m_form.Select(IDC_SET_COMPLETION, ChoiceIndex(kCompletionChoices, v.processCompletionTiming));

  // The model's lists come back with their defaults on every activation.
  const std::pair<int, const OptionList*> lists[] = {{IDC_SET_PAPER, &row.paperList},
                                                     {IDC_SET_WIDTH, &row.printWidthList},
                                                     {IDC_SET_MARK, &row.markModeList},
                                                     {IDC_SET_SPEED, &row.printSpeedList}};
  for (const auto& [combo, list] : lists) {
    m_form.SetItems(combo, OptionLabels(*list));
    m_form.Select(combo, list->defaultIndex);
  }
  m_form.SetItems(IDC_SET_CODEPAGE, OptionLabels(row.codePageList));
  if (!m_form.SelectText(IDC_SET_CODEPAGE,
                         doc.Registry().GetDefaultCharacterSet(kPosPrinter, doc.m_new.modelName)))
    m_form.SelectText(IDC_SET_CODEPAGE, kFallbackCharacterSet);
  m_form.SetItems(IDC_SET_NEAREND, ChoiceLabels(kNearEndChoices));
  m_form.Select(IDC_SET_NEAREND, ChoiceIndex(kNearEndChoices, v.nearEnd));

  for (const OptionalList& o : kOptionalLists) {
    const bool present = HasList(row.*o.list);
    m_form.Label(o.label).visible = present;
    m_form.Show(o.combo, present);
  }
  SetButtons();
}

void CAddDevicePagePtr3::SetButtons() {
  const bool valid = CKvrOposUtilityDoc::IsValidTimeout(m_form.GetText(IDC_SET_SEND_TIMEOUT)) &&
                     CKvrOposUtilityDoc::IsValidTimeout(m_form.GetText(IDC_SET_RECEIVE_TIMEOUT));
  m_buttons = kWizBack | (valid ? kWizNext : 0);
}

void CAddDevicePagePtr3::OnEditChange(int id) { SetButtons(); }

void CAddDevicePagePtr3::Store() {
  CKvrOposUtilityDoc& doc = Doc();
  const ModelInfo& row = doc.CurrentModel();
  DeviceValues& v = doc.m_new.values;
  for (auto [edit, value] : {std::pair{IDC_SET_SEND_TIMEOUT, &v.sendTimeout},
                             std::pair{IDC_SET_RECEIVE_TIMEOUT, &v.receiveTimeout}}) {
    const std::string text = m_form.GetText(edit);
    *value = CKvrOposUtilityDoc::IsValidTimeout(text) ? text : kDefaultTimeout;
  }
  v.processCompletionTiming =
      ChoiceValue(kCompletionChoices, m_form.Selected(IDC_SET_COMPLETION));
  for (const OptionalList& o : kOptionalLists) {
    const int selected = m_form.Selected(o.combo);
    if (o.value != nullptr && HasList(row.*o.list) && selected >= 0)
      v.*o.value = OptionValue(row.*o.list, selected);
  }
  v.printSpeed = PrintSpeedForIndex(m_form.Selected(IDC_SET_SPEED));
  const std::string codePage = m_form.GetText(IDC_SET_CODEPAGE);
  if (!codePage.empty()) v.printerCharacterSet = codePage;
  if (HasList(row.nearEndList))
    v.nearEnd = ChoiceValue(kNearEndChoices, m_form.Selected(IDC_SET_NEAREND));
  RecordLastPage();
}

int CAddDevicePagePtr3::OnWizardNext() {
  Store();
  // A model without a drawer-kick port skips the drawer pages.
  if (!HasList(Doc().CurrentModel().pulseList)) return m_context.Count() - 1;
  return kStepOn;
}
