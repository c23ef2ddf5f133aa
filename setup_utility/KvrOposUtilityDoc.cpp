#include "KvrOposUtilityDoc.h"
#include "PrinterList.h"

#include <winspool.h>

#include <algorithm>

namespace {

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string folder(path, n);
  const size_t slash = folder.rfind('\\');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

std::string LogFolder() {
  char windows[MAX_PATH];
  const UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
  const char drive = (n > 0 && n < MAX_PATH) ? windows[0] : 'C';
  return std::string(1, drive) + ":\\ProgramData\\KVR\\Logs\\";
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

CKvrOposUtilityDoc::CKvrOposUtilityDoc(const RegistryLocation& where, IUserMessages* messages)
    : m_logFolder(LogFolder()),
      m_messages(messages ? messages : &CMessageBoxMessages::Instance()),
      m_registry(where, m_messages),
      m_moduleFolder(ProgramFolder()),
      m_launcher(WinExec) {
  std::copy(std::begin(kModelRows), std::end(kModelRows), m_models.begin());
  m_classAvailable[kPosPrinter] = m_registry.IsProgIdRegistered(kPrinterServiceProgId);
  m_classAvailable[kCashDrawer] = m_registry.IsProgIdRegistered(kDrawerServiceProgId);
}

// ---- model table

void CKvrOposUtilityDoc::SetModelRow(int index) {
  if (index >= 0 && index < kModelRowCount) m_modelRow = index;
}

int CKvrOposUtilityDoc::FindModelRowForName(const std::string& name) const {
  for (int row = kModelRowCount - 1; row > 0; --row)
    if (StartsWith(name, m_models[row].modelName)) return row;
  return kGenericModelRow;
}

bool CKvrOposUtilityDoc::SelectModelRowForNewDevice(const std::string& name) {
  const int row = FindModelRowForName(name);
  if (row == kGenericModelRow) return false;
  m_modelRow = row;
  return true;
}

bool CKvrOposUtilityDoc::IsModelModulePresent(int row, DeviceClass cls) const {
  if (row < 0 || row >= kModelRowCount || m_moduleFolder.empty()) return false;
  const char* file = m_models[row].subFiles[cls][0] ? m_models[row].subFiles[cls]
                                                    : m_models[row].coreFiles[cls];
  return file[0] != '\0' && FileExists(m_moduleFolder + "\\" + file);
}

// ---- lists

void CKvrOposUtilityDoc::ReloadDevices() {
  m_installedPrinters.clear();
  FindInstalledPrinters();
  m_registry.MarkPrinterDriverUse(&m_devices[kPosPrinter], &m_installedPrinters);
}

void CKvrOposUtilityDoc::EnumerateAllDevices() {
  for (int cls = 0; cls < kDeviceClassCount; ++cls) {
    m_devices[cls].clear();
    (void)m_registry.EnumDevices(static_cast<DeviceClass>(cls), &m_devices[cls]);
  }
}

void CKvrOposUtilityDoc::ClassifyAllDevices() {
  for (int row = 1; row < kModelRowCount; ++row) m_models[row].devicePresent = 0;
  for (int cls = 0; cls < kDeviceClassCount; ++cls) {
    for (DeviceRecord& device : m_devices[cls]) {
      const std::string progId =
          m_registry.ReadValue(m_registry.DeviceKeyPath(static_cast<DeviceClass>(cls),
                                                        device.name), "");
      device.makerDevice = StartsWith(progId, kMakerProgIdPrefixes[cls]);
      if (cls != kPosPrinter || !device.makerDevice) continue;
      for (int row = 1; row < kModelRowCount; ++row)
        if (device.name == m_models[row].modelName) m_models[row].devicePresent = 1;
    }
  }
}

void CKvrOposUtilityDoc::EnumerateAllClasses() {
  for (int cls = 0; cls < kDeviceClassCount; ++cls) {
    m_logicalNames[cls].clear();
    (void)m_registry.EnumValues(static_cast<DeviceClass>(cls), &m_logicalNames[cls]);
  }
}

void CKvrOposUtilityDoc::FindInstalledPrinters() {
  std::vector<BYTE> buffer;
  DWORD count = 0;
  if (!ReadLocalPrinters(&buffer, &count)) return;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    // A printer being removed can show up without its strings.
    if (printers[i].pPrinterName == nullptr) continue;
    const char* driver = printers[i].pDriverName ? printers[i].pDriverName : "";
    for (int row = 1; row < kModelRowCount; ++row) {
      if (m_models[row].printerDriverName[0] != '\0' &&
          std::string(driver) == m_models[row].printerDriverName) {
        m_installedPrinters.push_back({printers[i].pPrinterName, "", driver});
        break;
      }
    }
  }
}

// ---- tree selection

void CKvrOposUtilityDoc::ResetSelection() {
  m_nNodeType = kNodeKvrGroup;
  m_selectedText.clear();
  m_parentText.clear();
  m_newSelectedText.clear();
}

int CKvrOposUtilityDoc::OnTreeSelectionChanged(const TreePath& path) {
  m_newSelectedText = path.empty() ? std::string() : path[0];
  (void)CommitSelectedDevice();
  m_nNodeType = ComputeNodeType(path);
  m_nTreePosition = ComputeTreePosition(path);
  m_selectedText = path.size() > 0 ? path[0] : std::string();
  m_parentText = path.size() > 1 ? path[1] : std::string();
  ChooseModelRow();
  LoadSelectedDevice();
  return RightViewForNode(m_nNodeType, HasModelName(CurrentModel()));
}

void CKvrOposUtilityDoc::ChooseModelRow() {
  switch (m_nNodeType) {
    case kNodeKvrPrinter:
    case kNodeKvrDrawer: m_modelRow = FindModelRowForName(m_selectedText); break;
    case kNodeKvrPrinterName:
    case kNodeKvrDrawerName: m_modelRow = FindModelRowForName(m_parentText); break;
    default: m_modelRow = kGenericModelRow; break;
  }
}

void CKvrOposUtilityDoc::LoadSelectedDevice() {
  ReloadDevices();
  m_wizard.logicalNameMode = m_wizard.classPageShown = m_wizard.contextMenu = false;
  if (m_nNodeType == kNodeKvrGroup || m_nNodeType == kNodeClass)
    m_selectedDeviceName.clear();
  else
    m_selectedDeviceName = IsLogicalNameNode(m_nNodeType) ? m_parentText : m_selectedText;

  const ModelInfo& row = CurrentModel();
  m_loaded = LoadedDevice();
  SetSelectedDefaults(row);
  if (!HasModelName(row) || m_selectedDeviceName.empty()) return;
  const int cls = ClassOfNodeType(m_nNodeType);
  if (cls == kPosPrinter) {
    LoadDeviceValues(kPosPrinter, row, m_registry.ReadPosPrinterValues(m_selectedDeviceName, row));
    RepairPrinterEntry(row);
  } else if (cls == kCashDrawer && HasList(row.pulseList)) {
    LoadDeviceValues(kCashDrawer, row, m_registry.ReadCashDrawerValues(m_selectedDeviceName));
    RepairCashDrawerEntry(row);
  } else {
    return;
  }
  m_loaded = {cls, m_selectedDeviceName, m_modelRow};
}

void CKvrOposUtilityDoc::LoadDeviceValues(DeviceClass cls, const ModelInfo& row,
                                          const std::vector<std::string>& read) {
  SetSelectedDefaults(row);
  if (!HasModelName(row)) return;
  if (cls == kPosPrinter) CopyPosPrinterValues(read, &m_selected);
  if (cls == kCashDrawer) CopyCashDrawerValues(read, &m_selected);
}

// The selected device name follows the tree as before, but the values are written to the
// device they were loaded from: with a logical name selected, a rewrite under the logical
// name's text would land in another device's key when a device of that name exists, and the
// edits made on the logical name's form would be lost. Writing also happens when the selection
// stays (the health check and the exit), so pending edits reach the registry first.
int CKvrOposUtilityDoc::CommitSelectedDevice() {
  if (m_nNodeType == kNodeKvrGroup || m_nNodeType == kNodeClass)
    m_selectedDeviceName.clear();
  else if (m_newSelectedText != m_selectedDeviceName)
    m_selectedDeviceName = m_selectedText;

  return WriteLoadedDevice();
}

int CKvrOposUtilityDoc::WriteLoadedDevice() {
  if (m_pendingEdits) m_pendingEdits();
  if (m_loaded.cls < 0 || m_loaded.name.empty()) return 0;
  const ModelInfo& row = m_models[m_loaded.row];
  if (!HasModelName(row)) return 0;
  int written = 0;
  if (m_loaded.cls == kPosPrinter)
    written = m_registry.WritePosPrinterValues(m_loaded.name, m_selected, row);
  else if (m_loaded.cls == kCashDrawer && HasList(row.pulseList))
    written = m_registry.WriteCashDrawerValues(m_loaded.name, m_selected, m_fRepaired);
  if (written) m_fRepaired = false;
  return written;
}
