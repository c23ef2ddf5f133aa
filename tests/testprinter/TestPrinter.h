// Adds a Windows printer to the spooler the way an installer would, so that code which looks
// printers up through the spooler finds one under Wine (whose spooler starts empty).
#pragma once
#include "Win.h"

#include <string>

// Test programs run side by side in one Wine prefix, and Wine's spooler neither copies driver
// files nor lists printers atomically: one program changes the spooler at a time, and a test
// that needs a printer listed holds changes off while it reads. Across processes; the holding
// thread may add and delete printers itself.
class SpoolerChangesHeld {
 public:
  SpoolerChangesHeld();
  ~SpoolerChangesHeld();
  SpoolerChangesHeld(const SpoolerChangesHeld&) = delete;
  SpoolerChangesHeld& operator=(const SpoolerChangesHeld&) = delete;

 private:
  HANDLE mutex_;
};

// Installs the driver (Wine's PostScript driver files under driverName) if needed, then a
// printer named printerName on port "FILE:" with that driver. Returns true when the printer
// exists afterwards; error holds the failing call otherwise.
[[nodiscard]] bool AddTestPrinter(const std::string& printerName, std::string* error,
                                  const std::string& driverName = "Wine PostScript Driver");

// Removes a printer added by AddTestPrinter; true when it is gone afterwards.
bool DeleteTestPrinter(const std::string& printerName);
