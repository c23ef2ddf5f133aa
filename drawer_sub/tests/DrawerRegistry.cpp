#include "DrawerRegistry.h"

namespace drwtest {

std::string DeviceKey(const std::string& device) {
  return "SOFTWARE\\OLEforRetail\\ServiceOPOS\\CashDrawer\\" + device;
}

void DeleteDevice(const std::string& device) {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, DeviceKey(device).c_str());
}

void WriteDevice(const std::string& device, const std::vector<RegValue>& values) {
  DeleteDevice(device);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, DeviceKey(device).c_str(), 0, nullptr, 0,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  for (const RegValue& v : values) {
    const DWORD size = DWORD(v.data.size() + (v.terminated ? 1 : 0));
    RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.data.c_str()),
                   size);
  }
  RegCloseKey(key);
}

}  // namespace drwtest
