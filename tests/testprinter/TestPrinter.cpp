#include "TestPrinter.h"

#include "Win.h"
#include <winspool.h>

namespace {

std::string Failure(const char* call) {
  return std::string(call) + " failed, error " + std::to_string(GetLastError());
}

char* Text(const std::string& s) { return const_cast<char*>(s.c_str()); }

}  // namespace

SpoolerChangesHeld::SpoolerChangesHeld()
    : mutex_(CreateMutexA(nullptr, FALSE, "KvrTestSpoolerChange")) {
  if (mutex_) WaitForSingleObject(mutex_, 60000);
}

SpoolerChangesHeld::~SpoolerChangesHeld() {
  if (!mutex_) return;
  ReleaseMutex(mutex_);
  CloseHandle(mutex_);
}

bool AddTestPrinter(const std::string& printerName, std::string* error,
                    const std::string& driverName) {
  SpoolerChangesHeld lock;
  std::string driverFile = "wineps.drv";
  std::string dataFile = "generic.ppd";
  DRIVER_INFO_3A driver = {};
  driver.cVersion = 3;
  driver.pName = Text(driverName);
  driver.pDriverPath = Text(driverFile);
  driver.pDataFile = Text(dataFile);
  driver.pConfigFile = Text(driverFile);
  if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) {
    *error = Failure("AddPrinterDriverA");
    return false;
  }
  std::string port = "FILE:";
  std::string processor = "winprint";
  std::string dataType = "RAW";
  PRINTER_INFO_2A info = {};
  info.pPrinterName = Text(printerName);
  info.pPortName = Text(port);
  info.pDriverName = Text(driverName);
  info.pPrintProcessor = Text(processor);
  info.pDatatype = Text(dataType);
  HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
  if (printer == nullptr) {
    if (GetLastError() != ERROR_PRINTER_ALREADY_EXISTS) {
      *error = Failure("AddPrinterA");
      return false;
    }
    return true;
  }
  ClosePrinter(printer);
  return true;
}

bool DeleteTestPrinter(const std::string& printerName) {
  SpoolerChangesHeld lock;
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSA access = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterA(Text(printerName), &printer, &access)) return true;
  const bool deleted = DeletePrinter(printer) != FALSE;
  ClosePrinter(printer);
  return deleted;
}
