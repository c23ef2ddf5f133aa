// What the sample application and the benchmark share: the service object's registration,
// a POSPrinter device entry for prennik.dll, and a listing of the printer's bytes.
#pragma once
#include "Win.h"

#include <string>
#include <utility>
#include <vector>

// The folder of this program, where every DLL of the build lies; ends with a backslash.
std::string BinFolder();

// Loads vasselin.dll from the program's folder and registers it; the HRESULT, or the
// loader's error as an HRESULT.
HRESULT RegisterServiceObject();

// Creates HKLM\SOFTWARE\OLEforRetail\ServiceOPOS\POSPrinter\<device> with SubSODLLPath set to
// the build's prennik.dll and the given string values; false when a write failed.
bool WriteDeviceEntry(const std::string& device,
                      const std::vector<std::pair<std::string, std::string>>& values);
// The entry's key below HKLM.
std::string DeviceKey(const std::string& device);

void PrintHexListing(const std::vector<BYTE>& bytes);
