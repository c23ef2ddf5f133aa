// CRegistry: the utility's only way into the registry. Every operation opens the key it
// needs and closes it before returning; operations answer 1 for success and 0 for failure. A
// create, rewrite or delete that the registry refuses tells the user the key and the reason:
// without them an add or delete run without the rights to write the machine's keys would
// silently do nothing.
#pragma once
#include "DeviceValues.h"
#include "ModelTable.h"
#include "RegistryEntries.h"
#include "UserMessages.h"
#include "Win.h"

#include <string>
#include <vector>

// Where the device entries and the COM registrations live. Tests point it at a private key.
struct RegistryLocation {
  HKEY root = HKEY_LOCAL_MACHINE;
  std::string servicePath = "SOFTWARE\\OLEforRetail\\ServiceOPOS";
  HKEY classesRoot = HKEY_CLASSES_ROOT;
  std::string classesPath;  // "" when the ProgID keys sit directly under classesRoot
};

class CRegistry {
 public:
  explicit CRegistry(RegistryLocation where = {}, IUserMessages* messages = nullptr);

  const RegistryLocation& Location() const { return m_where; }
  std::string ClassKeyPath(DeviceClass cls) const;
  std::string DeviceKeyPath(DeviceClass cls, const std::string& device) const;

  // Reads a REG_SZ value of a key under the root (at most 256 bytes; a value stored with or
  // without its terminator reads the same). *text is untouched on failure.
  [[nodiscard]] int ReadStringValue(const std::string& keyPath, const std::string& valueName,
                                    std::string* text) const;
  // The value's text, empty when missing or not a string; "" names the default value.
  std::string ReadValue(const std::string& keyPath, const std::string& valueName) const;

  // Appends one record per device key of the class, in the registry's order.
  [[nodiscard]] int EnumDevices(DeviceClass cls, std::vector<DeviceRecord>* list) const;
  // Appends one {logical name, device name} pair per value of the class key.
  [[nodiscard]] int EnumValues(DeviceClass cls, std::vector<LogicalNameRecord>* list) const;

  // The device's values in read order (PosPrinterReadNames), "" for each one missing.
  std::vector<std::string> ReadPosPrinterValues(const std::string& device,
                                                const ModelInfo& row) const;
  // The same for a drawer; DriverName is replaced by its printer's (the drawer's name without
  // its last two characters) when that printer names a Windows printer of its own.
  std::vector<std::string> ReadCashDrawerValues(const std::string& device) const;

  // Create the device key and write its whole entry; the first failing value ends the write
  // (nothing is undone). A device name that is empty or holds a backslash is refused.
  [[nodiscard]] int CreatePosPrinterKey(const std::string& device, const DeviceValues& values,
                                        const ModelInfo& row) const;
  [[nodiscard]] int CreateCashDrawerKey(const std::string& device,
                                        const DeviceValues& values) const;
  // Rewrite an existing device key (never creates one).
  [[nodiscard]] int WritePosPrinterValues(const std::string& device, const DeviceValues& values,
                                          const ModelInfo& row) const;
  [[nodiscard]] int WriteCashDrawerValues(const std::string& device, const DeviceValues& values,
                                          bool repaired) const;

  [[nodiscard]] int AddLogicalDeviceName(DeviceClass cls, const std::string& logicalName,
                                         const std::string& device) const;
  // Shows "It failed in the deleting." when the value can't be deleted.
  [[nodiscard]] int DeleteValue(DeviceClass cls, const std::string& logicalName) const;
  // A missing key fails quietly.
  [[nodiscard]] int DeleteKey(DeviceClass cls, const std::string& device) const;
  // Deletes every logical name of the class that points to the device; 1 when all went.
  [[nodiscard]] int DeleteLogicalNamesOf(DeviceClass cls, const std::string& device) const;

  std::string GetDriverName(const std::string& printer) const;
  static std::string GetSystemCharacterSet();
  static std::string CharacterSetForLanguage(LANGID language);
  // DefaultCharacterSet of the device named modelDevice (under POSPrinter for that class,
  // under LineDisplay otherwise); the system default when missing.
  std::string GetDefaultCharacterSet(DeviceClass cls, const std::string& modelDevice) const;

  // Marks which maker's printers have no Windows printer, or one that is missing or already
  // taken by an earlier device; the first device naming an installed printer claims it.
  void MarkPrinterDriverUse(std::vector<DeviceRecord>* printers,
                            std::vector<InstalledPrinter>* installed) const;

  // True when <ProgID>\CLSID exists under the classes root with a readable default value.
  bool IsProgIdRegistered(const std::string& progId) const;

  // Writes the values in order; stops at the first failure (0), whose value name and system
  // error code go to *failedName and *error when given.
  [[nodiscard]] static int WriteValues(HKEY key, const std::vector<RegistryValue>& values,
                                       std::string* failedName = nullptr, LONG* error = nullptr);
  // The system's text for an error code, one line without its line break ("error N" when the
  // system has none).
  static std::string SystemErrorText(LONG error);
  // The key's full name as the user knows it: the root's name, a backslash and the path.
  std::string FullKeyName(const std::string& path) const;
  static bool IsUsableKeyName(const std::string& name);

 private:
  [[nodiscard]] int CreateAndWrite(const std::string& path,
                                   const std::vector<RegistryValue>& values) const;
  [[nodiscard]] int OpenAndWrite(const std::string& path,
                                 const std::vector<RegistryValue>& values) const;
  // The values into the opened key; a failure is reported with the value it stopped at.
  [[nodiscard]] int WriteAndReport(HKEY key, const std::string& path,
                                   const std::vector<RegistryValue>& values) const;
  // Tells the user which key (and value) a write or delete failed on and the system's reason.
  void ReportFailure(const char* what, const std::string& path, const std::string& valueName,
                     LONG error, const char* lead = nullptr) const;
  std::vector<std::string> ReadAll(const std::string& path,
                                   const std::vector<std::string>& names) const;

  RegistryLocation m_where;
  IUserMessages* m_messages;
};
