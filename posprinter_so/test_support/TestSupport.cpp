#include "TestSupport.h"


namespace sotest {

DeviceKey::DeviceKey(const std::string& deviceName) : m_name(deviceName) {
  const std::string path = kDeviceRoot + deviceName;
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                  &m_key, nullptr);
}

DeviceKey::~DeviceKey() {
  if (m_key) RegCloseKey(m_key);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kDeviceRoot + m_name).c_str());
}

void DeviceKey::SetRaw(const char* name, DWORD type, const void* data, DWORD size) {
  RegSetValueExA(m_key, name, 0, type, static_cast<const BYTE*>(data), size);
}

void DeviceKey::SetString(const char* name, const std::string& value, bool terminated) {
  SetRaw(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + (terminated ? 1 : 0)));
}

void DeviceKey::SetDword(const char* name, DWORD value) {
  SetRaw(name, REG_DWORD, &value, sizeof(value));
}

std::string BinFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

}  // namespace sotest
