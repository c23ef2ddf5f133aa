#include "SampleSupport.h"

#include <cstdio>
#include <string>

#include "ScopedHandle.h"

std::string BinFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

HRESULT RegisterServiceObject() {
  ScopedModule module(LoadLibraryA((BinFolder() + "vasselin.dll").c_str()));
  if (!module.get()) return HRESULT_FROM_WIN32(GetLastError());
  auto registerServer = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(module.get(), "DllRegisterServer")));
  return registerServer ? registerServer() : E_FAIL;
}

std::string DeviceKey(const std::string& device) {
  return "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\" + device;
}

bool WriteDeviceEntry(const std::string& device,
                      const std::vector<std::pair<std::string, std::string>>& values) {
  ScopedRegKey key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, DeviceKey(device).c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
    return false;
  auto all = values;
  all.emplace_back("SubSODLLPath", BinFolder() + "prennik.dll");
  bool ok = true;
  for (const auto& v : all)
    ok &= RegSetValueExA(key.get(), v.first.c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(v.second.c_str()),
                         static_cast<DWORD>(v.second.size() + 1)) == ERROR_SUCCESS;
  return ok;
}

void PrintHexListing(const std::vector<BYTE>& bytes) {
  std::printf("\nThe printer received %u bytes:\n", static_cast<unsigned>(bytes.size()));
  for (size_t row = 0; row < bytes.size(); row += 16) {
    std::string text;
    std::printf("  %04X ", static_cast<unsigned>(row));
    for (size_t i = row; i < row + 16; ++i) {
      if (i < bytes.size()) {
        std::printf(" %02X", bytes[i]);
        text += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '.';
      } else {
        std::printf("   ");
      }
    }
    std::printf("  %s\n", text.c_str());
  }
}
