#include "DeviceSettings.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr DWORD kFirstBufferChars = 256;
constexpr DWORD kLargeBufferChars = 8192;

enum class Convert { kText, kNumber, kFlag };

struct SettingRow {
  const char* name;
  const char* defaultText;
  Convert convert;
  std::string CDeviceSettings::*text;
  long CDeviceSettings::*number;
};

// Read in this order; every value is text in the registry.
const SettingRow kSettings[] = {
    {"LogFileNameCore", "", Convert::kText, &CDeviceSettings::m_logFileNameCore, nullptr},
    {"LogRetentionPeriod", "1", Convert::kNumber, nullptr,
     &CDeviceSettings::m_logRetentionPeriod},
    {"LogLevelCore", "-1", Convert::kNumber, nullptr, &CDeviceSettings::m_logLevelCore},
    {"LogFileSize", "256", Convert::kNumber, nullptr, &CDeviceSettings::m_logFileSize},
    {"SubSODLLPath", "", Convert::kText, &CDeviceSettings::m_subSODLLPath, nullptr},
    {"ProcessCompletionTiming", "1", Convert::kFlag, nullptr,
     &CDeviceSettings::m_processCompletionTiming},
    {"ReceiveTimeout", "10000", Convert::kNumber, nullptr, &CDeviceSettings::m_receiveTimeout},
    {"DataRegistrationTimeout", "30000", Convert::kNumber, nullptr,
     &CDeviceSettings::m_dataRegistrationTimeout},
    {"RCVC", "100", Convert::kNumber, nullptr, &CDeviceSettings::m_rcvc},
};

}  // namespace

CDeviceSettings::CDeviceSettings()
    : m_keyBase(std::string("SOFTWARE\\OLEforRetail\\ServiceOPOS") + "\\" + "POSPrinter" +
                "\\") {}

LONG CDeviceSettings::Open(const std::string& deviceName) {
  // An empty name would open the device class's own key and read it as a device.
  if (deviceName.empty()) return ERROR_FILE_NOT_FOUND;
  HKEY key = nullptr;
  const std::string path = m_keyBase + deviceName;
  const LONG error = RegOpenKeyExA(m_root, path.c_str(), 0, m_access, &key);
  if (error == ERROR_SUCCESS) m_key.reset(key);
  return error;
}

void CDeviceSettings::Close() { m_key.reset(); }

LONG CDeviceSettings::ReadString(const char* valueName, std::string* value) const {
  if (!m_key.valid()) return ERROR_INVALID_HANDLE;
  std::vector<char> buffer;
  DWORD type = 0;
  DWORD size = 0;
  LONG error = ERROR_MORE_DATA;
  for (DWORD chars : {kFirstBufferChars, kLargeBufferChars}) {
    // One byte beyond what the registry may fill, for a terminator of our own.
    buffer.assign(chars + 1, '\0');
    size = chars;
    error = RegQueryValueExA(m_key.get(), valueName, nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (error != ERROR_MORE_DATA) break;
  }
  if (error != ERROR_SUCCESS) return error;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
  // The setup utility stores strings without their NUL: end the text here either way.
  buffer[size] = '\0';
  value->assign(buffer.data());
  return ERROR_SUCCESS;
}

BOOL CDeviceSettings::Load(const std::string& deviceName) {
  m_deviceName = deviceName;
  if (Open(deviceName) != ERROR_SUCCESS) return FALSE;
  for (const SettingRow& row : kSettings) {
    std::string text;
    if (ReadString(row.name, &text) != ERROR_SUCCESS) text = row.defaultText;
    switch (row.convert) {
      case Convert::kText:
        this->*row.text = text;
        break;
      case Convert::kNumber:
        this->*row.number = atol(text.c_str());
        break;
      case Convert::kFlag:
        this->*row.number = atol(text.c_str()) != 0 ? 1 : 0;
        break;
    }
  }
  Close();
  return TRUE;
}
