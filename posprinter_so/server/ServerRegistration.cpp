#include "ServerRegistration.h"

#include <string>

#include "ServerIds.h"

namespace {

enum class Data { kProgId, kClsid, kModulePath, kThreadingModel };

struct RegistryRow {
  const char* parent;     // nullptr: the ProgID key, else "CLSID\<clsid>"
  const char* subkey;     // under the parent, or nullptr for the parent itself
  const char* valueName;  // nullptr: the default value
  Data data;
  bool removeTree;        // unregistration removes this key with everything below it
};

// Automation server entries, user type names equal to the ProgID.
constexpr RegistryRow kEntries[] = {
    {nullptr, nullptr, nullptr, Data::kProgId, true},
    {nullptr, "CLSID", nullptr, Data::kClsid, false},
    {"CLSID", nullptr, nullptr, Data::kProgId, true},
    {"CLSID", "ProgID", nullptr, Data::kProgId, false},
    {"CLSID", "InProcServer32", nullptr, Data::kModulePath, false},
    {"CLSID", "InProcServer32", "ThreadingModel", Data::kThreadingModel, false},
};

std::string KeyPath(const RegistryRow& row, const std::string& progId) {
  std::string path = row.parent ? std::string("CLSID\\") + kClsidText : progId;
  if (row.subkey) path += std::string("\\") + row.subkey;
  return path;
}

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  return (n == 0 || n >= MAX_PATH) ? std::string() : std::string(path, n);
}

// Constant-initialised and without a destructor, like every module global here.
SRWLOCK g_unregisterLock = SRWLOCK_INIT;

// The ProgID the CLSID key names, as a key name of its own under HKEY_CLASSES_ROOT; empty
// when it is none. The text comes from the registry: an empty one would make the tree
// removal below empty HKEY_CLASSES_ROOT itself, and one with a backslash would name some
// other key.
std::string RegisteredProgIdKey(LPCOLESTR registered) {
  const int n = WideCharToMultiByte(CP_ACP, 0, registered, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string progId(n, '\0');
  if (WideCharToMultiByte(CP_ACP, 0, registered, -1, &progId[0], n, nullptr, nullptr) != n) {
    return std::string();
  }
  progId.resize(n - 1);
  return progId.find('\\') == std::string::npos ? progId : std::string();
}

HRESULT UnregisterLocked() {
  LPOLESTR registeredProgId = nullptr;
  if (FAILED(ProgIDFromCLSID(CLSID_POSPrinterSO, &registeredProgId))) return S_OK;
  const std::string progId = RegisteredProgIdKey(registeredProgId);
  CoTaskMemFree(registeredProgId);
  for (const RegistryRow& row : kEntries) {
    if (!row.removeTree) continue;
    if (!row.parent && progId.empty()) continue;  // no usable ProgID: its key stays
    const LONG error = RegDeleteTreeA(HKEY_CLASSES_ROOT, KeyPath(row, progId).c_str());
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return E_FAIL;
  }
  return S_OK;
}

}  // namespace

HRESULT RegisterServer(HMODULE module) {
  const std::string modulePath = ModulePath(module);
  if (modulePath.empty()) return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);
  for (const RegistryRow& row : kEntries) {
    std::string data;
    switch (row.data) {
      case Data::kProgId: data = kProgIdA; break;
      case Data::kClsid: data = kClsidText; break;
      case Data::kModulePath: data = modulePath; break;
      case Data::kThreadingModel: data = kThreadingModel; break;
    }
    HKEY key = nullptr;
    LONG error = RegCreateKeyExA(HKEY_CLASSES_ROOT, KeyPath(row, kProgIdA).c_str(), 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (error == ERROR_SUCCESS) {
      error = RegSetValueExA(key, row.valueName, 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>(data.size() + 1));
      RegCloseKey(key);
    }
    if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  }
  return S_OK;
}

HRESULT UnregisterServer() {
  AcquireSRWLockExclusive(&g_unregisterLock);
  const HRESULT hr = UnregisterLocked();
  ReleaseSRWLockExclusive(&g_unregisterLock);
  return hr;
}
