// A small OPOS application: registers vasselin.dll, writes a POSPrinter device entry for
// prennik.dll and the simulated printer, and prints one receipt asynchronously through the
// Control Object the way a point-of-sale program does. Every call is shown with its result,
// every event as it arrives, then the bytes the printer received and where the log is. It
// fails unless every output completed and the printer received the barcode and the cut.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ControlObjectStandIn.h"
#include "SampleSupport.h"
#include "TbxSim.h"
#include "TestPrinter.h"
#include "Win.h"

#include <shlobj.h>

namespace {

using costandin::Arg;

const wchar_t kProgId[] = L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
constexpr char kDevice[] = "KVRReceiptPrinter";
constexpr wchar_t kDeviceW[] = L"KVRReceiptPrinter";
constexpr char kPrinter[] = "KVR TBX910QD Receipt";
constexpr DWORD kEventWaitMs = 30000;

constexpr long kPidxDeviceEnabled = 3, kPidxOutputId = 5, kPidxResultCode = 6,
               kPidxResultCodeExtended = 7, kPidxState = 9, kPidxAsyncMode = 8001;
constexpr long kStateIdle = 2;
constexpr long kReceiptStation = 2;                                   // PTR_S_RECEIPT
constexpr long kBarcodeEan13 = 104, kBarcodeCentre = -2, kTextBelow = -13;

// UnifiedPOS escape sequences: centre, bold, double width, normal, feed lines, feed and cut.
const wchar_t kReceipt[] =
    L"\x1b|cA\x1b|bC\x1b|2CKVR CORNER SHOP\n"
    L"\x1b|cA1 Station Road\n"
    L"\n"
    L"Coffee                        2.40\n"
    L"Croissant                     1.90\n"
    L"\x1b|bCTOTAL                         4.30\x1b|N\n";
const wchar_t kFooter[] = L"\x1b|cAThank you!\n\x1b|3lF\x1b|fP";

bool Show(const char* what, long result, long expected = 0) {
  std::printf("  %-44s %ld%s\n", what, result, result == expected ? "" : "   <-- FAILED");
  return result == expected;
}

bool RegisterServer() {
  return Show("DllRegisterServer (HRESULT)", RegisterServiceObject());
}

bool WriteDevice() {
  // Log level 2: information, warnings and errors of the service object and the sub-module.
  const bool ok = WriteDeviceEntry(kDevice, {{"DriverName", kPrinter},
                                             {"PaperSize", "1"},
                                             {"LogLevelCore", "2"},
                                             {"LogLevelSub", "2"}});
  std::printf("  device entry HKLM\\%s\n    DriverName \"%s\", SubSODLLPath \"%sprennik.dll\"\n",
              DeviceKey(kDevice).c_str(), kPrinter, BinFolder().c_str());
  return ok || Show("write the device entry", 1);
}

class Application {
 public:
  long Call(const char* shown, const wchar_t* name, const std::vector<Arg>& args = {}) {
    const long result = co_.CallLong(name, args);
    if (result != 0) {
      const long code = co_.CallLong(L"GetPropertyNumber", {Arg::Long(kPidxResultCode)});
      const long extended =
          co_.CallLong(L"GetPropertyNumber", {Arg::Long(kPidxResultCodeExtended)});
      std::printf("  %-44s %ld   <-- FAILED (ResultCode %ld, extended %ld)\n", shown, result,
                  code, extended);
    } else {
      std::printf("  %-44s %ld\n", shown, result);
    }
    return result;
  }
  long Set(const char* shown, long pidx, long value) {
    (void)co_.CallLong(L"SetPropertyNumber", {Arg::Long(pidx), Arg::Long(value)}, 0);
    return Call(shown, L"GetPropertyNumber", {Arg::Long(kPidxResultCode)});
  }
  long Get(long pidx) { return co_.CallLong(L"GetPropertyNumber", {Arg::Long(pidx)}); }

  // Waits until every output has its SOOutputComplete, showing every event that arrives
  // meanwhile; names each output that never completed.
  bool WaitForOutputsComplete(const std::vector<long>& outputIds) {
    std::vector<long> pending = outputIds;
    for (DWORD waited = 0; !pending.empty() && waited < kEventWaitMs; waited += 20) {
      const std::vector<costandin::EventRecord> events = co_.Events();
      for (; shown_ < events.size(); ++shown_) ShowEvent(events[shown_]);
      for (const auto& e : events)
        if (e.name == L"SOOutputComplete" && !e.numbers.empty())
          pending.erase(std::remove(pending.begin(), pending.end(), e.numbers[0]), pending.end());
      if (!pending.empty()) Sleep(20);
    }
    for (long id : pending)
      std::printf("  no OutputCompleteEvent for OutputID %ld   <-- FAILED\n", id);
    return pending.empty();
  }

  bool Run() {
    std::printf("\nThrough the Control Object (%ls):\n", kProgId);
    if (!Show("create the service object (HRESULT)", co_.Create(kProgId))) return false;
    if (Call("OpenService(\"POSPrinter\", device)", L"OpenService",
             {Arg::Text(L"POSPrinter"), Arg::Text(kDeviceW), Arg::Sink()}) != 0)
      return false;
    bool ok = Call("ClaimDevice(1000)", L"ClaimDevice", {Arg::Long(1000)}) == 0 &&
              Set("DeviceEnabled = TRUE", kPidxDeviceEnabled, 1) == 0 &&
              Set("AsyncMode = TRUE", kPidxAsyncMode, 1) == 0;
    if (ok) {
      TbxSim_ClearWritten(kPrinter);
      ok = Print();
    }
    // The device turns idle once the last output has left every queue.
    for (DWORD waited = 0; waited < kEventWaitMs && Get(kPidxState) != kStateIdle; waited += 20)
      Sleep(20);
    ok &= Set("DeviceEnabled = FALSE", kPidxDeviceEnabled, 0) == 0;
    ok &= Call("ReleaseDevice()", L"ReleaseDevice") == 0;
    ok &= Call("CloseService()", L"CloseService") == 0;
    const std::vector<costandin::EventRecord> events = co_.Events();
    for (; shown_ < events.size(); ++shown_) ShowEvent(events[shown_]);
    co_.ReleaseObject();
    return ok;
  }

 private:
  bool Print() {
    std::vector<long> outputIds;
    const struct {
      const char* shown;
      const wchar_t* method;
      std::vector<Arg> args;
    } outputs[] = {
        {"PrintNormal(receipt, header and items)", L"PrintNormal",
         {Arg::Long(kReceiptStation), Arg::Text(kReceipt)}},
        {"PrintBarCode(receipt, EAN-13, centred)", L"PrintBarCode",
         {Arg::Long(kReceiptStation), Arg::Text(L"490123456789"), Arg::Long(kBarcodeEan13),
          Arg::Long(80), Arg::Long(300), Arg::Long(kBarcodeCentre), Arg::Long(kTextBelow)}},
        {"PrintNormal(receipt, footer, feed and cut)", L"PrintNormal",
         {Arg::Long(kReceiptStation), Arg::Text(kFooter)}},
    };
    for (const auto& output : outputs) {
      if (Call(output.shown, output.method, output.args) != 0) return false;
      outputIds.push_back(Get(kPidxOutputId));
      std::printf("    OutputID %ld\n", outputIds.back());
    }
    return WaitForOutputsComplete(outputIds);
  }

  static void ShowEvent(const costandin::EventRecord& e) {
    std::string numbers;
    for (long n : e.numbers) numbers += (numbers.empty() ? "" : ", ") + std::to_string(n);
    std::printf("  event %ls(%s)\n", e.name.c_str(), numbers.c_str());
  }

  costandin::ControlObject co_;
  size_t shown_ = 0;
};

// The commands the receipt must reach the printer with, in this order: the EAN-13 symbol
// (GS k 2, the 12 digits given, NUL: the printer adds the check digit) and the full cut of
// the footer's feed and cut (GS V 0).
const std::string kBarcodeCommand = std::string("\x1dk\x02" "490123456789") + '\0';
const std::string kCutCommand("\x1dV\x00", 3);

bool Found(const char* what, bool found) {
  std::printf("  %-44s %s\n", what, found ? "received" : "missing   <-- FAILED");
  return found;
}

bool CheckReceived(const std::string& bytes) {
  std::printf("\nWhat the printer must have received:\n");
  const size_t barcode = bytes.find(kBarcodeCommand);
  const size_t after = barcode == std::string::npos ? 0 : barcode + kBarcodeCommand.size();
  const bool ok = Found("EAN-13 barcode 490123456789 (GS k 2)", barcode != std::string::npos);
  return Found("full cut after the barcode (GS V 0)",
               bytes.find(kCutCommand, after) != std::string::npos) &&
         ok;
}

// The trace logs this run wrote: one folder per module, one file a day.
void ShowLogFiles() {
  char appData[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE)) return;
  const std::string base = std::string(appData) + "\\KVR\\Logs\\";
  std::printf("\nTrace logs:\n");
  WIN32_FIND_DATAA module;
  HANDLE modules = FindFirstFileA((base + "*").c_str(), &module);
  if (modules == INVALID_HANDLE_VALUE) return;
  do {
    if (!(module.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || module.cFileName[0] == '.')
      continue;
    const std::string folder = base + module.cFileName + "\\";
    WIN32_FIND_DATAA file;
    HANDLE files = FindFirstFileA((folder + "*.log").c_str(), &file);
    if (files == INVALID_HANDLE_VALUE) continue;
    do {
      std::printf("  %s%s (%lu bytes)\n", folder.c_str(), file.cFileName, file.nFileSizeLow);
    } while (FindNextFileA(files, &file));
    FindClose(files);
  } while (FindNextFileA(modules, &module));
  FindClose(modules);
}

}  // namespace

int main() {
  std::printf("Setting up:\n");
  std::string error;
  bool ok = RegisterServer() && WriteDevice();
  if (ok && !AddTestPrinter(kPrinter, &error)) {
    std::printf("  Windows printer \"%s\": %s   <-- FAILED\n", kPrinter, error.c_str());
    ok = false;
  }
  const bool setUp = ok;
  if (setUp) {
    Application application;
    ok = application.Run();
  }
  const std::string received = TbxSimWritten(kPrinter);
  PrintHexListing(std::vector<BYTE>(received.begin(), received.end()));
  if (setUp) ok = CheckReceived(received) && ok;
  ShowLogFiles();
  std::printf("\n%s\n", ok ? "Receipt printed." : "Receipt NOT printed.");
  return ok ? 0 : 1;
}
