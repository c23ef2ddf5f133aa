// The OPOS methods that reach the printer. Each is routed and answers the state checks of
// the method frame (103 not claimed, 105 disabled); the frame itself replaces these bodies.
#include "POSPrinter.h"

long CPOSPrinter::CheckHealth(long) { return RoutedMethod("CheckHealth"); }
long CPOSPrinter::DirectIO(long, long*, BSTR*) { return RoutedMethod("DirectIO"); }
long CPOSPrinter::CompareFirmwareVersion(BSTR, long*) {
  return RoutedMethod("CompareFirmwareVersion");
}
long CPOSPrinter::ResetStatistics(BSTR) { return RoutedMethod("ResetStatistics"); }
long CPOSPrinter::RetrieveStatistics(BSTR*) { return RoutedMethod("RetrieveStatistics"); }
long CPOSPrinter::UpdateFirmware(BSTR) { return RoutedMethod("UpdateFirmware"); }
long CPOSPrinter::UpdateStatistics(BSTR) { return RoutedMethod("UpdateStatistics"); }
