// The value sets of the device data model: one text per registry value.
#pragma once
#include "DeviceClass.h"

#include <string>

// The values of one device (the device shown in the right-hand form, or the one being added).
struct DeviceValues {
  // POSPrinter
  std::string driverName;               // DriverName: the Windows printer (drawers: the printer's)
  std::string coreSODLLPath;
  std::string subSODLLPath;
  std::string description;
  std::string sendTimeout;
  std::string receiveTimeout;
  std::string processCompletionTiming;
  std::string paperSize;
  std::string printWidth;
  std::string markMode;
  std::string printSpeed;               // stored under the model row's print-speed name
  std::string printerCharacterSet;      // DefaultCharacterSet of a printer
  std::string nearEnd;
  std::string printerProgId;            // default value of a printer key
  // CashDrawer
  std::string pulseTime;
  std::string invertDrawerStatus;
  std::string drawerNo;
  std::string drawerProgId;             // default value of a drawer key
  // LineDisplay and Scanner: kept for the shape of the model, never reached in this build
  std::string displayCharacterSet;
  std::string deviceBrightness;
  std::string defaultScreenMode;
  std::string displayProgId;
  std::string scannerProgId;
  // shared
  std::string logRetentionPeriod;
  std::string logLevelCore;
  std::string logLevelSub;
  std::string logSize;
  std::string version;
};

// One cash drawer connector of the printer being added.
struct NewDrawerValues {
  std::string deviceName;               // <printer>_1 or <printer>_2
  std::string pulseTime;                // "1".."8" (100 ms units)
  std::string invertDrawerStatus;       // "T" or "F"
};

// What the add-device wizard fills before Finish.
struct NewDeviceValues {
  std::string className;                // "POSPrinter" or "CashDrawer"
  std::string modelName;
  std::string deviceName;
  DeviceValues values;                  // printer values, log values, computed values
  std::string drawerCount;              // "0", "1" or "2"
  std::string connectionPrinter;        // the printer the drawers are wired to
  NewDrawerValues drawers[2];
  std::string progIds[kDeviceClassCount];
};

// Add Logical Device Name: per class a logical name and the device it is to point to.
struct LogicalNameValues {
  std::string className;
  std::string logicalName[kDeviceClassCount];
  std::string targetDevice[kDeviceClassCount];
};

// Device list entry, one per device key of a class.
struct DeviceRecord {
  std::string name;
  bool noWindowsPrinter = false;        // DriverName empty
  bool printerMissingOrShared = false;  // DriverName names no installed printer, or a taken one
  bool makerDevice = false;             // ProgID begins with the class's maker prefix
};

// An installed Windows printer driven by one of the models.
struct InstalledPrinter {
  std::string printerName;
  std::string claimedBy;                // the device that names it first
  std::string driverName;
};

// A logical device name: a value of the class key whose data is the device name.
struct LogicalNameRecord {
  std::string logicalName;
  std::string deviceName;
};
