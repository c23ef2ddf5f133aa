#include "WindowsPrinter.h"

#include <vector>

#include "PrennikResources.h"
#include "ScopedHandle.h"
#include "Win.h"
#include <winspool.h>

namespace {

constexpr char kModelFamily[] = "TBX910QD/911QD";
constexpr char kModelSingle[] = "TBX910QD";
constexpr char kMaker[] = "KVR ";

struct PrinterHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ClosePrinter(h); }
};

}  // namespace

bool QueryWindowsPrinter(const char* printerName, CWindowsPrinterInfo* info) {
  if (printerName == nullptr || printerName[0] == '\0') return false;
  ScopedResource<PrinterHandleTraits> printer;
  if (!OpenPrinterA(const_cast<char*>(printerName), printer.receive(), nullptr)) return false;
  DWORD needed = 0;
  GetPrinterA(printer.get(), 2, nullptr, 0, &needed);
  std::vector<BYTE> block(needed > 0 ? needed : 1, 0);
  if (needed == 0 || !GetPrinterA(printer.get(), 2, block.data(), needed, &needed)) return false;
  const auto* level2 = reinterpret_cast<const PRINTER_INFO_2A*>(block.data());
  info->portName = level2->pPortName ? level2->pPortName : "";
  info->driverName = level2->pDriverName ? level2->pDriverName : "";
  return true;
}

std::string ModelFromDriverName(const std::string& driverName) {
  return driverName.find(kModelFamily) == std::string::npos ? kModelFamily : kModelSingle;
}

CDescriptionTexts MakeDescriptionTexts() {
  const std::string base = std::string(kMaker) + kModelFamily;
  const std::string posPrinter = LoadModuleString(kStringPosPrinter);
  CDescriptionTexts texts;
  texts.device = base + posPrinter;
  texts.serviceObject = texts.device + LoadModuleString(kStringServiceObject);
  texts.physical = base.substr(sizeof(kMaker) - 1) + posPrinter;
  return texts;
}
