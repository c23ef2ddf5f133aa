#include "ViewForms.h"

#include "KvrOposUtilityDoc.h"
#include "ViewChoices.h"
#include "wizard_views_resource.h"

namespace {

constexpr int kTimeoutEditLimit = 5;
constexpr int kLogFolderLimit = 254;
constexpr char kVersionLead[] = "Version : ";

// A timeout edit of the printer form, the value it edits and the message for a refused text.
struct TimeoutEdit {
  int id;
  std::string DeviceValues::*value;
  const char* invalidMessage;
};
const TimeoutEdit kTimeoutEdits[] = {
    {IDC_VIEW_SEND_TIMEOUT, &DeviceValues::sendTimeout,
     "An invalid value is set in the SendTimeout. "},
    {IDC_VIEW_RECEIVE_TIMEOUT, &DeviceValues::receiveTimeout,
     "An invalid value is set in the ReceiveTimeout. "},
};

const TimeoutEdit* FindTimeoutEdit(int id) {
  for (const TimeoutEdit& t : kTimeoutEdits)
    if (t.id == id) return &t;
  return nullptr;
}

// The log combos of both device forms and the fixed list behind each.
struct LogCombo {
  int id;
  const ChoiceList* choices;
  std::string DeviceValues::*value;
};
const LogCombo kLogCombos[] = {
    {IDC_VIEW_CORE_LEVEL, &kLogLevelChoices, &DeviceValues::logLevelCore},
    {IDC_VIEW_SUB_LEVEL, &kLogLevelChoices, &DeviceValues::logLevelSub},
    {IDC_VIEW_RETENTION, &kRetentionChoices, &DeviceValues::logRetentionPeriod},
};

// The printer form's combos that list one of the model's option lists by value.
struct ModelCombo {
  int id;
  int label;  // 0: shown even when the model has no such list
  const OptionList ModelInfo::*list;
  std::string DeviceValues::*value;
};
const ModelCombo kModelCombos[] = {
    {IDC_VIEW_PAPER, IDC_VIEW_PAPER_LABEL, &ModelInfo::paperList, &DeviceValues::paperSize},
    {IDC_VIEW_SPEED, 0, &ModelInfo::printSpeedList, &DeviceValues::printSpeed},
    {IDC_VIEW_MARK, IDC_VIEW_MARK_LABEL, &ModelInfo::markModeList, &DeviceValues::markMode},
};

}  // namespace

// ---- shared

void CRightViewLogic::OnButton(int id) {
  if (id == IDC_VIEW_CHECKHEALTH) (void)m_doc.RunCheckHealth();
}

void CRightViewLogic::EnableControls(bool enabled) {
  for (auto& [id, control] : m_form.Controls())
    if (control.kind != ControlState::kLabel)
      control.enabled = enabled || ViewControlStaysEnabled(id);
}

void CRightViewLogic::FillLogControls(const std::string& moduleFolder) {
  for (const LogCombo& c : kLogCombos) {
    m_form.SetItems(c.id, ChoiceLabels(*c.choices));
    m_form.Select(c.id, ChoiceIndex(*c.choices, m_doc.m_selected.*c.value));
  }
  m_form.SetText(IDC_VIEW_LOG_FOLDER, m_doc.m_logFolder + moduleFolder);
  m_form.Text(IDC_VIEW_LOG_FOLDER).textLimit = kLogFolderLimit;
}

bool CRightViewLogic::StoreLogControl(int id) {
  for (const LogCombo& c : kLogCombos)
    if (c.id == id) {
      m_doc.m_selected.*c.value = ChoiceValue(*c.choices, m_form.Selected(id));
      return true;
    }
  return false;
}

void CRightViewLogic::FillVersion() {
  m_form.SetText(IDC_VIEW_VERSION, kVersionLead + m_doc.m_selected.version);
}

bool ViewControlStaysEnabled(int id) {
  return id == IDC_VIEW_CHECKHEALTH || id == IDC_VIEW_PULSE || id == IDC_VIEW_INVERT ||
         id == IDC_VIEW_VERSION;
}

std::unique_ptr<CRightViewLogic> CreateRightViewLogic(int number, CKvrOposUtilityDoc& doc) {
  switch (number) {
    case kBlankViewNumber: return std::make_unique<CRightBlankView>(doc);
    case kClassViewNumber: return std::make_unique<CRight00View>(doc);
    case kDrawerViewNumber: return std::make_unique<CRight03View>(doc);
    case kPrinterViewNumber: return std::make_unique<CRight22View>(doc);
    default: return nullptr;
  }
}

// ---- printer form

int CRight22View::TemplateId() const { return IDD_VIEW_PRINTER; }

void CRight22View::OnInitialUpdate() {
  const DeviceValues& v = m_doc.m_selected;
  m_form.SetText(IDC_VIEW_DEVICE_NAME, m_doc.m_selectedDeviceName);
  for (const TimeoutEdit& t : kTimeoutEdits) {
    m_form.SetText(t.id, v.*t.value);
    m_form.Text(t.id).textLimit = kTimeoutEditLimit;
  }
  FillLogControls("OposPrinter");
  FillVersion();
  FillDriverCombo();
  FillModelCombos();
}

void CRight22View::FillDriverCombo() {
  const std::string& stored = m_doc.m_selected.driverName;
  std::vector<std::string> items =
      UsableWindowsPrinters(m_doc, m_doc.CurrentModel(), m_doc.m_selectedDeviceName);
  m_unavailableItem = -1;
  int selected = -1;
  // The spooler matches printer names without regard to case: such a name still names the
  // printer.
  for (size_t i = 0; i < items.size() && !stored.empty() && selected < 0; ++i)
    if (EqualsIgnoringCase(items[i], stored)) selected = static_cast<int>(i);
  for (size_t i = 0; i < items.size() && !stored.empty(); ++i)
    if (items[i] == stored) selected = static_cast<int>(i);
  // A stored printer that is missing, renamed or driven by another device stays stored (only
  // looking must not clear the binding) and is shown as not available until the user chooses.
  if (!stored.empty() && selected < 0) {
    items.push_back(stored + kUnavailablePrinterMark);
    m_unavailableItem = selected = static_cast<int>(items.size()) - 1;
  }
  items.push_back(kUnselectedPrinter);
  if (stored.empty()) selected = static_cast<int>(items.size()) - 1;
  m_form.SetItems(IDC_VIEW_DRIVER, items);
  m_form.Select(IDC_VIEW_DRIVER, selected);
}

void CRight22View::FillModelCombos() {
  const ModelInfo& row = m_doc.CurrentModel();
  const DeviceValues& v = m_doc.m_selected;
  m_form.SetItems(IDC_VIEW_COMPLETION, ChoiceLabels(kCompletionChoices));
  m_form.Select(IDC_VIEW_COMPLETION, ChoiceIndex(kCompletionChoices, v.processCompletionTiming));
  for (const ModelCombo& c : kModelCombos) {
    const OptionList& list = row.*c.list;
    m_form.SetItems(c.id, OptionLabels(list));
    m_form.Select(c.id, OptionIndexFromLast(list, v.*c.value));
    if (c.label != 0) {
      m_form.Show(c.id, HasList(list));
      m_form.Label(c.label).visible = HasList(list);
    }
  }
  m_form.SetItems(IDC_VIEW_CODEPAGE, OptionLabels(row.codePageList));
  m_form.SelectText(IDC_VIEW_CODEPAGE, v.printerCharacterSet);
}

void CRight22View::OnSelChange(int id) {
  DeviceValues& v = m_doc.m_selected;
  const int selected = m_form.Selected(id);
  if (StoreLogControl(id)) return;
  switch (id) {
    case IDC_VIEW_DRIVER:
      // "Unselected" is always the last item; the unavailable printer keeps what is stored.
      if (selected >= 0 && selected != m_unavailableItem)
        v.driverName = selected + 1 == m_form.ItemCount(id) ? "" : m_form.GetText(id);
      return;
    case IDC_VIEW_COMPLETION:
      v.processCompletionTiming = ChoiceValue(kCompletionChoices, selected);
      return;
    case IDC_VIEW_CODEPAGE:
      if (selected >= 0) v.printerCharacterSet = m_form.GetText(id);
      return;
    case IDC_VIEW_SPEED:
      v.printSpeed = PrintSpeedForIndex(selected);
      return;
    default:
      break;
  }
  for (const ModelCombo& c : kModelCombos)
    if (c.id == id && c.id != IDC_VIEW_SPEED && selected >= 0)
      v.*c.value = OptionValue(m_doc.CurrentModel().*c.list, selected);
}

void CRight22View::OnEditChange(int id) {
  if (FindTimeoutEdit(id) == nullptr) return;
  m_doc.m_wizard.invalidEntry = !CKvrOposUtilityDoc::IsValidTimeout(m_form.GetText(id));
}

bool CRight22View::OnEditKillFocus(int id) {
  const TimeoutEdit* t = FindTimeoutEdit(id);
  if (t == nullptr) return false;
  std::string& stored = m_doc.m_selected.*t->value;
  const std::string text = m_form.GetText(id);
  if (CKvrOposUtilityDoc::IsValidTimeout(text)) {
    stored = text;
    return false;
  }
  m_doc.Messages().ShowMessage(t->invalidMessage, 0);
  m_form.SetText(id, stored);
  m_doc.m_wizard.invalidEntry = false;
  return true;
}

void CRight22View::TakePendingEdits() {
  // An invalid text is never stored; its edit reports it when it loses the focus.
  for (const TimeoutEdit& t : kTimeoutEdits) {
    const std::string text = m_form.GetText(t.id);
    if (CKvrOposUtilityDoc::IsValidTimeout(text)) m_doc.m_selected.*t.value = text;
  }
}

// ---- cash drawer form

int CRight03View::TemplateId() const { return IDD_VIEW_DRAWER; }

void CRight03View::OnInitialUpdate() {
  const DeviceValues& v = m_doc.m_selected;
  m_form.SetText(IDC_VIEW_DEVICE_NAME, m_doc.m_selectedDeviceName);
  m_form.SetText(IDC_VIEW_DRIVER, v.driverName.empty() ? kUnselectedPrinter : v.driverName);
  FillLogControls("OposDrawer");
  FillVersion();
  m_form.SetItems(IDC_VIEW_PULSE, ChoiceLabels(kPulseChoices));
  if (!m_form.SelectText(IDC_VIEW_PULSE, v.pulseTime + "00")) m_form.Select(IDC_VIEW_PULSE, 0);
  m_form.SetItems(IDC_VIEW_INVERT, ChoiceLabels(kInvertChoices));
  m_form.Select(IDC_VIEW_INVERT, ChoiceIndex(kInvertChoices, v.invertDrawerStatus));
}

void CRight03View::OnSelChange(int id) {
  DeviceValues& v = m_doc.m_selected;
  if (StoreLogControl(id)) return;
  if (id == IDC_VIEW_PULSE) v.pulseTime = ChoiceValue(kPulseChoices, m_form.Selected(id));
  if (id == IDC_VIEW_INVERT)
    v.invertDrawerStatus = ChoiceValue(kInvertChoices, m_form.Selected(id));
}

// ---- class and blank forms

int CRight00View::TemplateId() const { return IDD_VIEW_CLASS; }

void CRight00View::OnInitialUpdate() {
  m_form.SetText(IDC_VIEW_DEVICE_NAME, m_doc.m_selectedDeviceName);
  m_form.SetItems(IDC_VIEW_DRIVER, {});
}

int CRightBlankView::TemplateId() const { return IDD_VIEW_BLANK; }
