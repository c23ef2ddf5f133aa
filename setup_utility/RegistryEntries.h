// The device registry entries: which values a device key holds, in which order they are
// written and read. One table per class; create, rewrite and read all run from them.
#pragma once
#include "DeviceValues.h"
#include "ModelTable.h"

#include <string>
#include <vector>

struct RegistryValue {
  std::string name;  // "" is the key's default value (the ProgID)
  std::string data;
};
inline bool operator==(const RegistryValue& a, const RegistryValue& b) {
  return a.name == b.name && a.data == b.data;
}

// The 18 printer values in write order; PaperSize, PrintWidth, MarkMode and NearEnd only when
// the model row has that option list; the print-speed value under the row's name.
std::vector<RegistryValue> PosPrinterEntry(const DeviceValues& values, const ModelInfo& row);

// The 12 drawer values in write order.
std::vector<RegistryValue> CashDrawerEntry(const DeviceValues& values);

// A drawer's rewrite: driver, log, pulse and inversion values; Version, Description, the two
// paths and DrawerNo only after a repair; never the ProgID.
std::vector<RegistryValue> CashDrawerRewrite(const DeviceValues& values, bool repaired);

// Value names asked for when a device is read, in array order.
std::vector<std::string> PosPrinterReadNames(const ModelInfo& row);
std::vector<std::string> CashDrawerReadNames();

// Copy a read array over the value set, by position (missing entries stay as they are).
void CopyPosPrinterValues(const std::vector<std::string>& read, DeviceValues* values);
void CopyCashDrawerValues(const std::vector<std::string>& read, DeviceValues* values);
