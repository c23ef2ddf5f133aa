#include "Registry.h"

#include "ScopedHandle.h"

#include <cstring>

namespace {

constexpr DWORD kStringBufferSize = 256;     // ReadStringValue's buffer
constexpr DWORD kEnumBufferSize = 260;       // EnumValues' name and data buffers
constexpr DWORD kDeleteAccess = KEY_QUERY_VALUE | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;
constexpr char kDeleteFailed[] = "It failed in the deleting.";

const char* RootName(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (root == HKEY_USERS) return "HKEY_USERS";
  return "(registry root)";
}

// Data may come with or without its terminator, and from any value type: the text ends at
// the first NUL or at the byte count, whichever is first.
std::string TextOf(const char* data, DWORD size) {
  const void* nul = std::memchr(data, '\0', size);
  return std::string(data, nul ? static_cast<const char*>(nul) - data : size);
}

}  // namespace

CRegistry::CRegistry(RegistryLocation where, IUserMessages* messages)
    : m_where(std::move(where)),
      m_messages(messages ? messages : &CMessageBoxMessages::Instance()) {}

std::string CRegistry::ClassKeyPath(DeviceClass cls) const {
  return m_where.servicePath + "\\" + kClassNames[cls];
}

std::string CRegistry::DeviceKeyPath(DeviceClass cls, const std::string& device) const {
  return ClassKeyPath(cls) + "\\" + device;
}

bool CRegistry::IsUsableKeyName(const std::string& name) {
  return !name.empty() && name.find('\\') == std::string::npos;
}

int CRegistry::ReadStringValue(const std::string& keyPath, const std::string& valueName,
                               std::string* text) const {
  ScopedRegKey key;
  if (RegOpenKeyExA(m_where.root, keyPath.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return 0;
  char data[kStringBufferSize];
  DWORD type = 0;
  DWORD size = sizeof(data);
  if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return 0;
  *text = TextOf(data, size);
  return 1;
}

std::string CRegistry::ReadValue(const std::string& keyPath, const std::string& valueName) const {
  std::string text;
  if (!ReadStringValue(keyPath, valueName, &text)) return {};
  return text;
}

int CRegistry::EnumDevices(DeviceClass cls, std::vector<DeviceRecord>* list) const {
  ScopedRegKey key;
  if (RegOpenKeyExA(m_where.root, ClassKeyPath(cls).c_str(), 0, KEY_READ, key.receive()) !=
      ERROR_SUCCESS)
    return 0;
  for (DWORD index = 0;; ++index) {
    char name[kStringBufferSize];
    DWORD length = sizeof(name);
    const LONG rc =
        RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return 1;
    if (rc != ERROR_SUCCESS) return 0;
    DeviceRecord record;
    record.name.assign(name, length);
    list->push_back(record);
  }
}

int CRegistry::EnumValues(DeviceClass cls, std::vector<LogicalNameRecord>* list) const {
  ScopedRegKey key;
  if (RegOpenKeyExA(m_where.root, ClassKeyPath(cls).c_str(), 0, KEY_READ, key.receive()) !=
      ERROR_SUCCESS)
    return 0;
  for (DWORD index = 0;; ++index) {
    char name[kEnumBufferSize];
    char data[kEnumBufferSize];
    DWORD nameLength = sizeof(name);
    DWORD dataSize = sizeof(data);
    const LONG rc = RegEnumValueA(key.get(), index, name, &nameLength, nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(data), &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) return 1;
    if (rc != ERROR_SUCCESS) return 0;
    list->push_back({std::string(name, nameLength), TextOf(data, dataSize)});
  }
}

std::vector<std::string> CRegistry::ReadAll(const std::string& path,
                                            const std::vector<std::string>& names) const {
  std::vector<std::string> values;
  for (const std::string& name : names) values.push_back(ReadValue(path, name));
  return values;
}

std::vector<std::string> CRegistry::ReadPosPrinterValues(const std::string& device,
                                                         const ModelInfo& row) const {
  return ReadAll(DeviceKeyPath(kPosPrinter, device), PosPrinterReadNames(row));
}

std::vector<std::string> CRegistry::ReadCashDrawerValues(const std::string& device) const {
  std::vector<std::string> values = ReadAll(DeviceKeyPath(kCashDrawer, device),
                                            CashDrawerReadNames());
  // The drawer follows the Windows printer of the printer it is wired to (<printer>_1,
  // <printer>_2). A name too short to hold a printer name, or a printer without a Windows
  // printer, leaves the drawer's own value in place rather than wiping it.
  if (device.size() > 2) {
    const std::string printerDriver = GetDriverName(device.substr(0, device.size() - 2));
    if (!printerDriver.empty() && printerDriver != values[0]) values[0] = printerDriver;
  }
  return values;
}

int CRegistry::WriteValues(HKEY key, const std::vector<RegistryValue>& values,
                           std::string* failedName, LONG* error) {
  std::vector<char> data;
  for (const RegistryValue& v : values) {
    // Stored without the terminating NUL: the data length is the character count. The API
    // counts a terminator the caller left out when the byte after the data is a NUL, so the
    // text goes from a copy followed by a non-NUL byte.
    data.assign(v.data.begin(), v.data.end());
    data.push_back('\xff');
    const LONG rc = RegSetValueExA(key, v.name.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(v.data.size()));
    if (rc != ERROR_SUCCESS) {
      if (failedName) *failedName = v.name;
      if (error) *error = rc;
      return 0;
    }
  }
  return 1;
}

std::string CRegistry::SystemErrorText(LONG error) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string line = n > 0 && text ? std::string(text, n) : std::string();
  if (text) LocalFree(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
    line.pop_back();
  return line.empty() ? "error " + std::to_string(error) : line;
}

std::string CRegistry::FullKeyName(const std::string& path) const {
  return std::string(RootName(m_where.root)) + "\\" + path;
}

void CRegistry::ReportFailure(const char* what, const std::string& path,
                              const std::string& valueName, LONG error, const char* lead) const {
  std::string text = lead ? std::string(lead) + "\n" : std::string();
  if (valueName.empty())
    text += "The registry key \"" + FullKeyName(path) + "\" could not be " + what + ".";
  else
    text += "The value \"" + valueName + "\" of the registry key \"" + FullKeyName(path) +
            "\" could not be " + what + ".";
  m_messages->ShowMessage(text + "\n" + SystemErrorText(error), MB_ICONEXCLAMATION);
}

int CRegistry::WriteAndReport(HKEY key, const std::string& path,
                              const std::vector<RegistryValue>& values) const {
  std::string failedName;
  LONG error = ERROR_SUCCESS;
  if (WriteValues(key, values, &failedName, &error)) return 1;
  ReportFailure("written", path, failedName.empty() ? "(Default)" : failedName, error);
  return 0;
}

int CRegistry::CreateAndWrite(const std::string& path,
                              const std::vector<RegistryValue>& values) const {
  ScopedRegKey key;
  const LONG rc = RegCreateKeyExA(m_where.root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                  key.receive(), nullptr);
  if (rc != ERROR_SUCCESS) {
    ReportFailure("created", path, "", rc);
    return 0;
  }
  return WriteAndReport(key.get(), path, values);
}

int CRegistry::OpenAndWrite(const std::string& path,
                            const std::vector<RegistryValue>& values) const {
  ScopedRegKey key;
  const LONG rc = RegOpenKeyExA(m_where.root, path.c_str(), 0, KEY_WRITE, key.receive());
  if (rc != ERROR_SUCCESS) {
    ReportFailure("opened for writing", path, "", rc);
    return 0;
  }
  return WriteAndReport(key.get(), path, values);
}

int CRegistry::CreatePosPrinterKey(const std::string& device, const DeviceValues& values,
                                   const ModelInfo& row) const {
  if (!IsUsableKeyName(device)) return 0;
  return CreateAndWrite(DeviceKeyPath(kPosPrinter, device), PosPrinterEntry(values, row));
}

int CRegistry::CreateCashDrawerKey(const std::string& device, const DeviceValues& values) const {
  if (!IsUsableKeyName(device)) return 0;
  return CreateAndWrite(DeviceKeyPath(kCashDrawer, device), CashDrawerEntry(values));
}

int CRegistry::WritePosPrinterValues(const std::string& device, const DeviceValues& values,
                                     const ModelInfo& row) const {
  if (!IsUsableKeyName(device)) return 0;
  return OpenAndWrite(DeviceKeyPath(kPosPrinter, device), PosPrinterEntry(values, row));
}

int CRegistry::WriteCashDrawerValues(const std::string& device, const DeviceValues& values,
                                     bool repaired) const {
  if (!IsUsableKeyName(device)) return 0;
  return OpenAndWrite(DeviceKeyPath(kCashDrawer, device), CashDrawerRewrite(values, repaired));
}

int CRegistry::AddLogicalDeviceName(DeviceClass cls, const std::string& logicalName,
                                    const std::string& device) const {
  // An empty name would set the class key's default value instead of adding a name.
  if (logicalName.empty() || device.empty()) return 0;
  return OpenAndWrite(ClassKeyPath(cls), {{logicalName, device}});
}

int CRegistry::DeleteValue(DeviceClass cls, const std::string& logicalName) const {
  const std::string path = ClassKeyPath(cls);
  if (logicalName.empty()) {
    m_messages->ShowMessage(kDeleteFailed, MB_ICONEXCLAMATION);
    return 0;
  }
  ScopedRegKey key;
  LONG rc = RegOpenKeyExA(m_where.root, path.c_str(), 0, kDeleteAccess, key.receive());
  if (rc == ERROR_SUCCESS) rc = RegDeleteValueA(key.get(), logicalName.c_str());
  if (rc != ERROR_SUCCESS) {
    ReportFailure("deleted", path, logicalName, rc, kDeleteFailed);
    return 0;
  }
  return 1;
}

int CRegistry::DeleteKey(DeviceClass cls, const std::string& device) const {
  // An empty name would aim at the class key itself.
  if (!IsUsableKeyName(device)) return 0;
  const std::string path = DeviceKeyPath(cls, device);
  LONG rc;
  {
    ScopedRegKey key;
    rc = RegOpenKeyExA(m_where.root, path.c_str(), 0, kDeleteAccess, key.receive());
  }
  // A key that is not there is no failure to tell: a printer's drawers are deleted whether or
  // not they exist.
  if (rc == ERROR_FILE_NOT_FOUND) return 0;
  if (rc == ERROR_SUCCESS) rc = RegDeleteKeyA(m_where.root, path.c_str());
  if (rc != ERROR_SUCCESS) {
    ReportFailure("deleted", path, "", rc);
    return 0;
  }
  return 1;
}

int CRegistry::DeleteLogicalNamesOf(DeviceClass cls, const std::string& device) const {
  // Collect first: deleting while enumerating shifts the indexes.
  std::vector<LogicalNameRecord> names;
  if (!EnumValues(cls, &names)) return 0;
  int result = 1;
  for (const LogicalNameRecord& n : names)
    if (n.deviceName == device && !DeleteValue(cls, n.logicalName)) result = 0;
  return result;
}

std::string CRegistry::GetDriverName(const std::string& printer) const {
  if (!IsUsableKeyName(printer)) return {};
  return ReadValue(DeviceKeyPath(kPosPrinter, printer), "DriverName");
}

std::string CRegistry::CharacterSetForLanguage(LANGID language) {
  return language == 1033 ? "999" : "932";
}

std::string CRegistry::GetSystemCharacterSet() {
  return CharacterSetForLanguage(GetSystemDefaultLangID());
}

std::string CRegistry::GetDefaultCharacterSet(DeviceClass cls,
                                              const std::string& modelDevice) const {
  const DeviceClass keyClass = cls == kPosPrinter ? kPosPrinter : kLineDisplay;
  std::string value;
  if (IsUsableKeyName(modelDevice))
    value = ReadValue(DeviceKeyPath(keyClass, modelDevice), "DefaultCharacterSet");
  return value.empty() ? GetSystemCharacterSet() : value;
}

void CRegistry::MarkPrinterDriverUse(std::vector<DeviceRecord>* printers,
                                     std::vector<InstalledPrinter>* installed) const {
  for (DeviceRecord& device : *printers) {
    if (!device.makerDevice) continue;
    device.noWindowsPrinter = false;
    device.printerMissingOrShared = false;
    const std::string driver = GetDriverName(device.name);
    if (driver.empty()) {
      device.noWindowsPrinter = true;
      continue;
    }
    InstalledPrinter* match = nullptr;
    for (InstalledPrinter& p : *installed)
      if (p.printerName == driver) match = &p;
    if (match == nullptr || !match->claimedBy.empty()) {
      device.printerMissingOrShared = true;
      continue;
    }
    match->claimedBy = device.name;
  }
}

bool CRegistry::IsProgIdRegistered(const std::string& progId) const {
  if (!IsUsableKeyName(progId)) return false;
  const std::string path =
      (m_where.classesPath.empty() ? "" : m_where.classesPath + "\\") + progId + "\\CLSID";
  ScopedRegKey key;
  if (RegOpenKeyExA(m_where.classesRoot, path.c_str(), 0, KEY_READ, key.receive()) !=
      ERROR_SUCCESS)
    return false;
  char data[kStringBufferSize];
  DWORD size = sizeof(data);
  return RegQueryValueExA(key.get(), "", nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                          &size) == ERROR_SUCCESS;
}
