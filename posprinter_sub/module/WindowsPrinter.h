// The Windows printer behind a device: its port and driver, found through the spooler, and
// the model and description texts derived from them.
#pragma once
#include <string>

struct CWindowsPrinterInfo {
  std::string portName;
  std::string driverName;
};

// Level-2 information of the spooler's printer named printerName; false when the printer
// cannot be opened or queried (info untouched then).
[[nodiscard]] bool QueryWindowsPrinter(const char* printerName, CWindowsPrinterInfo* info);

// Model text for a Windows driver name.
[[nodiscard]] std::string ModelFromDriverName(const std::string& driverName);

// The three description texts the core shows for the device.
struct CDescriptionTexts {
  std::string serviceObject;  // DeviceServiceDescription: "KVR <model> POS Printer Service Object, ..."
  std::string device;         // DeviceDescription: "KVR <model> POS Printer"
  std::string physical;       // PhysicalDeviceDescription: "<model> POS Printer"
};
[[nodiscard]] CDescriptionTexts MakeDescriptionTexts();
