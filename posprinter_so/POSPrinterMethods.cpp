// The OPOS methods that reach the printer. Each is routed and answers the state checks of
// the method frame (103 not claimed, 105 disabled); the frame itself replaces these bodies.
#include "POSPrinter.h"

long CPOSPrinter::CheckHealth(long) { return RoutedMethod("CheckHealth"); }
long CPOSPrinter::DirectIO(long, long*, BSTR*) { return RoutedMethod("DirectIO"); }
long CPOSPrinter::ClearOutput() { return RoutedMethod("ClearOutput"); }
long CPOSPrinter::BeginInsertion(long) { return RoutedMethod("BeginInsertion"); }
long CPOSPrinter::BeginRemoval(long) { return RoutedMethod("BeginRemoval"); }
long CPOSPrinter::EndInsertion() { return RoutedMethod("EndInsertion"); }
long CPOSPrinter::EndRemoval() { return RoutedMethod("EndRemoval"); }
long CPOSPrinter::CutPaper(long) { return RoutedMethod("CutPaper"); }
long CPOSPrinter::PrintBarCode(long, BSTR, long, long, long, long, long) {
  return RoutedMethod("PrintBarCode");
}
long CPOSPrinter::PrintBitmap(long, BSTR, long, long) { return RoutedMethod("PrintBitmap"); }
long CPOSPrinter::PrintImmediate(long, BSTR) { return RoutedMethod("PrintImmediate"); }
long CPOSPrinter::PrintNormal(long, BSTR) { return RoutedMethod("PrintNormal"); }
long CPOSPrinter::PrintTwoNormal(long, BSTR, BSTR) { return RoutedMethod("PrintTwoNormal"); }
long CPOSPrinter::RotatePrint(long, long) { return RoutedMethod("RotatePrint"); }
long CPOSPrinter::SetBitmap(long, long, BSTR, long, long) { return RoutedMethod("SetBitmap"); }
long CPOSPrinter::SetLogo(long, BSTR) { return RoutedMethod("SetLogo"); }
long CPOSPrinter::TransactionPrint(long, long) { return RoutedMethod("TransactionPrint"); }
long CPOSPrinter::ValidateData(long, BSTR) { return RoutedMethod("ValidateData"); }
long CPOSPrinter::ChangePrintSide(long) { return RoutedMethod("ChangePrintSide"); }
long CPOSPrinter::MarkFeed(long) { return RoutedMethod("MarkFeed"); }
long CPOSPrinter::ClearPrintArea() { return RoutedMethod("ClearPrintArea"); }
long CPOSPrinter::PageModePrint(long) { return RoutedMethod("PageModePrint"); }
long CPOSPrinter::CompareFirmwareVersion(BSTR, long*) {
  return RoutedMethod("CompareFirmwareVersion");
}
long CPOSPrinter::ResetStatistics(BSTR) { return RoutedMethod("ResetStatistics"); }
long CPOSPrinter::RetrieveStatistics(BSTR*) { return RoutedMethod("RetrieveStatistics"); }
long CPOSPrinter::UpdateFirmware(BSTR) { return RoutedMethod("UpdateFirmware"); }
long CPOSPrinter::UpdateStatistics(BSTR) { return RoutedMethod("UpdateStatistics"); }
long CPOSPrinter::PrintMemoryBitmap(long, BSTR, long, long, long) {
  return RoutedMethod("PrintMemoryBitmap");
}
long CPOSPrinter::DrawRuledLine(long, BSTR, long, long, long, long) {
  return RoutedMethod("DrawRuledLine");
}
