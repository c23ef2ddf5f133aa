// Helpers shared by the core's tests: device keys in the registry, the service object
// created through the class factory, and the bin folder.
#pragma once
#include <string>
#include <vector>

#include "Win.h"

class CPOSPrinter;

namespace sotest {

constexpr char kDeviceRoot[] = "SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\";

// A device key that exists for the life of the object (deleted with its values after).
class DeviceKey {
 public:
  explicit DeviceKey(const std::string& deviceName);
  ~DeviceKey();
  DeviceKey(const DeviceKey&) = delete;
  DeviceKey& operator=(const DeviceKey&) = delete;

  // Raw data of any type, exactly the bytes given (no terminator added).
  void SetRaw(const char* name, DWORD type, const void* data, DWORD size);
  // A string value; with `terminated` false the NUL is left out, as the setup utility does.
  void SetString(const char* name, const std::string& value, bool terminated = true);
  void SetDword(const char* name, DWORD value);
  const std::string& Name() const { return m_name; }

 private:
  std::string m_name;
  HKEY m_key = nullptr;
};

// A new service object from the class factory, with its one reference.
CPOSPrinter* NewServiceObject();

// The folder of the running test program, with a trailing backslash.
std::string BinFolder();

}  // namespace sotest
