// Adding and deleting devices and logical names, and the health-check launch.
#include "KvrOposUtilityDoc.h"

namespace {

constexpr char kHealthCheckProgram[] = "varnhold.exe";
constexpr char kHealthCheckNotFound[] = "[varnhold.exe] was not found.";
constexpr char kHealthCheckFailed[] = "Loading the [varnhold.exe] failed.";

const char* HealthCheckSwitch(int nodeType) {
  switch (nodeType) {
    case 3: case 11: case 53: case 87: return "/p";
    case 4: case 12: case 54: case 88: return "/d";
    case 5: case 13: case 55: case 89: return "/l";
    case 6: case 14: case 56: case 90: return "/s";
    default: return "/n";
  }
}

}  // namespace

void CKvrOposUtilityDoc::SetNewDeviceDefaults() {
  m_new = NewDeviceValues();
  m_new.className = kClassNames[kPosPrinter];
  DeviceValues& v = m_new.values;
  v.sendTimeout = v.receiveTimeout = "10000";
  v.processCompletionTiming = "1";
  v.paperSize = "3";
  v.printWidth = "576";
  v.markMode = "0";
  v.printSpeed = "0";
  v.nearEnd = "1";
  v.printerCharacterSet = "932";
  for (NewDrawerValues& d : m_new.drawers) {
    d.pulseTime = "1";
    d.invertDrawerStatus = "F";
  }
  v.deviceBrightness = "10";
  v.defaultScreenMode = "1";
  v.displayCharacterSet = "932";
  v.logRetentionPeriod = "1";
  v.logLevelCore = v.logLevelSub = "-1";
  v.logSize = "0";
  const ModelInfo& row = CurrentModel();
  for (int cls = 0; cls < kDeviceClassCount; ++cls) m_new.progIds[cls] = row.progIds[cls];
  v.printerProgId = row.progIds[kPosPrinter];
  v.drawerProgId = row.progIds[kCashDrawer];
  v.version = row.version;
}

void CKvrOposUtilityDoc::ClearNewDevice() {
  m_new = NewDeviceValues();
  m_wizard.logicalNameMode = m_wizard.classPageShown = m_wizard.contextMenu = false;
  m_wizard.startCode = -1;
}

WizardPlan CKvrOposUtilityDoc::PrepareAddDevice() {
  SetNewDeviceDefaults();
  WizardPlan plan;
  plan.caption = "Add Device";
  const ModelInfo& row = CurrentModel();
  const int position = m_nTreePosition;
  if (position == 1 || position == 6) {
    m_new.className = kClassNames[kPosPrinter];
    if (HasModelName(row)) {
      m_new.modelName = row.modelName;
      plan.pages = {kPrinterDriverPage, kPrinterSettingsPage};
      plan.startCode = 2;
    } else {
      plan.pages = {kPrinterModelPage, kPrinterDriverPage, kPrinterSettingsPage};
      plan.startCode = 1;
    }
  } else if (position == 2 || position == 7) {
    m_new.className = kClassNames[kCashDrawer];
    plan.startCode = 3;
  } else {
    SetModelRow(kGenericModelRow);
    m_new.className = kClassNames[kPosPrinter];
    plan.pages = {kClassPage, kPrinterModelPage, kPrinterDriverPage, kPrinterSettingsPage};
    plan.startCode = 0;
  }
  const ModelInfo& chosen = CurrentModel();
  for (int cls = 0; cls < kDeviceClassCount; ++cls) m_new.progIds[cls] = chosen.progIds[cls];
  m_new.values.printerProgId = chosen.progIds[kPosPrinter];
  m_new.values.drawerProgId = chosen.progIds[kCashDrawer];
  m_new.values.version = chosen.version;
  if (m_classAvailable[kCashDrawer])
    plan.pages.insert(plan.pages.end(), {kDrawerCountPage, kFirstDrawerPage, kSecondDrawerPage});
  plan.pages.push_back(kEndPage);
  m_wizard.startCode = plan.startCode;
  return plan;
}

int CKvrOposUtilityDoc::CreateNewDevices() {
  const int drawers = m_new.drawerCount == "1" ? 1 : m_new.drawerCount == "2" ? 2 : 0;
  const std::string& printer =
      m_new.connectionPrinter.empty() ? m_new.deviceName : m_new.connectionPrinter;
  for (int connector = 1; connector <= drawers; ++connector) {
    const NewDrawerValues& d = m_new.drawers[connector - 1];
    (void)SelectModelRowForNewDevice(printer.empty() ? m_new.modelName : printer);
    DeviceValues v = BuildDeviceRecord(kCashDrawer, CurrentModel(), connector);
    v.driverName = m_new.values.driverName;
    v.logRetentionPeriod = m_new.values.logRetentionPeriod;
    v.logLevelCore = m_new.values.logLevelCore;
    v.logLevelSub = m_new.values.logLevelSub;
    v.pulseTime = d.pulseTime;
    v.invertDrawerStatus = d.invertDrawerStatus;
    if (!m_registry.CreateCashDrawerKey(d.deviceName, v)) return 0;
  }
  if (m_new.className == kClassNames[kPosPrinter]) {
    (void)SelectModelRowForNewDevice(m_new.modelName);
    const DeviceValues computed = BuildDeviceRecord(kPosPrinter, CurrentModel(), 0);
    DeviceValues v = m_new.values;
    v.coreSODLLPath = computed.coreSODLLPath;
    v.subSODLLPath = computed.subSODLLPath;
    v.description = computed.description;
    v.version = computed.version;
    v.printerProgId = computed.printerProgId;
    if (!m_registry.CreatePosPrinterKey(m_new.deviceName, v, CurrentModel())) return 0;
    m_selectedDeviceName = m_new.deviceName;
    m_nNodeType = kNodeKvrPrinter;
  } else if (drawers > 0) {
    m_selectedDeviceName = m_new.drawers[0].deviceName;
  }
  return 1;
}

int CKvrOposUtilityDoc::FinishAddDevice(bool finished) {
  int rebuild = 0;
  if (finished) {
    // The creation may rewrite the shown device (a drawer added again under its printer):
    // its pending edits go first, and what it held before is never written back after.
    (void)WriteLoadedDevice();
    (void)CreateNewDevices();
    ForgetLoadedDevice();
    rebuild = 1;
  } else {
    SetModelRow(kGenericModelRow);
  }
  ClearNewDevice();
  return rebuild;
}

WizardPlan CKvrOposUtilityDoc::PrepareAddLogicalName() {
  WizardPlan plan;
  plan.caption = "Add Logical Device Name";
  const int position = m_nTreePosition;
  if (position == 1 || position == 6) {
    m_logical.className = kClassNames[kPosPrinter];
    plan.startCode = 1;
  } else if (position == 2 || position == 7) {
    m_logical.className = kClassNames[kCashDrawer];
    plan.startCode = 3;
  } else {
    plan.pages.push_back(kClassPage);
    plan.startCode = 0;
    m_wizard.classPageShown = true;
  }
  plan.pages.insert(plan.pages.end(), {kLogicalNamePage, kEndPage});
  m_wizard.logicalNameMode = true;
  m_wizard.startCode = plan.startCode;
  return plan;
}

int CKvrOposUtilityDoc::AddLogicalName() {
  const int cls = DeviceClassFromName(m_logical.className);
  if (cls < 0) return 0;
  if (!m_registry.AddLogicalDeviceName(static_cast<DeviceClass>(cls), m_logical.logicalName[cls],
                                       m_logical.targetDevice[cls]))
    return 0;
  m_selectedDeviceName = m_logical.targetDevice[cls];
  return 1;
}

void CKvrOposUtilityDoc::ClearLogicalName() {
  m_logical = LogicalNameValues();
  m_wizard.logicalNameMode = m_wizard.classPageShown = m_wizard.contextMenu = false;
  m_wizard.startCode = -1;
}

int CKvrOposUtilityDoc::DeleteSelectedNode() {
  const int cls = ClassOfNodeType(m_nNodeType);
  if (cls != kPosPrinter && cls != kCashDrawer) return 0;
  const std::string name = m_selectedText;
  if (IsLogicalNameNode(m_nNodeType)) {
    if (!m_registry.DeleteValue(static_cast<DeviceClass>(cls), name)) return 0;
  } else if (cls == kPosPrinter) {
    if (!m_registry.DeleteKey(kPosPrinter, name)) return 0;
    // The drawers named after the printer go too, whether or not they exist.
    (void)m_registry.DeleteKey(kCashDrawer, name + "_1");
    (void)m_registry.DeleteKey(kCashDrawer, name + "_2");
    (void)m_registry.DeleteLogicalNamesOf(kPosPrinter, name);
    (void)m_registry.DeleteLogicalNamesOf(kCashDrawer, name + "_1");
    (void)m_registry.DeleteLogicalNamesOf(kCashDrawer, name + "_2");
  } else {
    if (!m_registry.DeleteKey(kCashDrawer, name)) return 0;
    (void)m_registry.DeleteLogicalNamesOf(kCashDrawer, name);
  }
  // A deleted device's values are not written back.
  if (!IsLogicalNameNode(m_nNodeType)) ForgetLoadedDevice();
  m_selectedDeviceName = m_parentText;
  return 1;
}

std::string CKvrOposUtilityDoc::HealthCheckCommandLine(const std::string& device, int nodeType) {
  // No blank between the name and the switch.
  return std::string(kHealthCheckProgram) + " " + device + HealthCheckSwitch(nodeType);
}

int CKvrOposUtilityDoc::RunCheckHealth() {
  (void)CommitSelectedDevice();
  const std::string command = HealthCheckCommandLine(m_selectedDeviceName, m_nNodeType);
  const UINT result = m_launcher(command.c_str(), SW_SHOWNORMAL);
  if (result == ERROR_FILE_NOT_FOUND) {
    m_messages->ShowMessage(kHealthCheckNotFound, MB_ICONSTOP);
    return 0;
  }
  if (result < 32) {
    m_messages->ShowMessage(kHealthCheckFailed, MB_ICONSTOP);
    return 0;
  }
  return 1;
}
