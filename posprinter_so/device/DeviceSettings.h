// The device's registry values, read once per OpenService from
// HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\POSPrinter\<device name>.
#pragma once
#include <string>

#include "ScopedHandle.h"
#include "Win.h"

class CDeviceSettings {
 public:
  CDeviceSettings();

  // Opens the device's key for reading, replacing a key opened before; the registry error
  // (ERROR_FILE_NOT_FOUND for an empty name).
  [[nodiscard]] LONG Open(const std::string& deviceName);
  // A string value of the open key: REG_SZ or REG_EXPAND_SZ (not expanded), with or without
  // its terminating NUL, up to 8192 characters; the registry error, or ERROR_INVALID_DATA
  // for another type.
  [[nodiscard]] LONG ReadString(const char* valueName, std::string* value) const;
  // FALSE when the key can't be opened; otherwise reads every value (defaults for those
  // missing or unreadable), closes the key and returns TRUE.
  [[nodiscard]] BOOL Load(const std::string& deviceName);
  void Close();

  const std::string& KeyBase() const { return m_keyBase; }

  std::string m_deviceName;
  std::string m_logFileNameCore;
  long m_logLevelCore = 0;
  long m_logFileSize = 0;
  std::string m_subSODLLPath;
  long m_processCompletionTiming = 0;  // 0 or 1
  long m_receiveTimeout = 0;           // milliseconds
  long m_dataRegistrationTimeout = 0;  // milliseconds
  long m_rcvc = 0;                     // milliseconds
  long m_logRetentionPeriod = 0;       // days

 private:
  ScopedRegKey m_key;
  REGSAM m_access = KEY_READ;
  HKEY m_root = HKEY_LOCAL_MACHINE;
  std::string m_keyBase;
};
