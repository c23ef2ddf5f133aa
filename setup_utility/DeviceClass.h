// The four OPOS device classes the utility knows by name; only the first two are ever served.
#pragma once
#include <string>

enum DeviceClass { kPosPrinter = 0, kCashDrawer = 1, kLineDisplay = 2, kScanner = 3 };
inline constexpr int kDeviceClassCount = 4;

// Class key names under ServiceOPOS, in class order.
inline constexpr const char* kClassNames[kDeviceClassCount] = {"POSPrinter", "CashDrawer",
                                                               "LineDisplay", "Scanner"};
// A device whose ProgID begins with its class's prefix is one of the maker's devices
// (case-sensitive compare).
inline constexpr const char* kMakerProgIdPrefixes[kDeviceClassCount] = {
    "OPOS.POSPRINTER.SO.KVR", "OPOS.CASHDRAWER.SO.KVR", "OPOS.LINEDISPLAY.SO.KVR",
    "OPOS.SCANNER.SO.KVR"};
// The service object cores whose COM registration decides which classes are offered.
inline constexpr char kPrinterServiceProgId[] = "OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
inline constexpr char kDrawerServiceProgId[] = "OPOS.CASHDRAWER.SO.KVR.CORE.TBXQD";

// Message boxes of the utility carry this caption.
inline constexpr char kUtilityCaption[] = "KVR OPOS Utility";

// -1 when the text names no class.
inline int DeviceClassFromName(const std::string& name) {
  for (int i = 0; i < kDeviceClassCount; ++i)
    if (name == kClassNames[i]) return i;
  return -1;
}
