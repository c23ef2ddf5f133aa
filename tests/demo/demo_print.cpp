// Prints one receipt the way the service object drives the printer sub-module: open, claim,
// enable, PrintNormal (pre, execute, response id, render, write), wait for the printer's
// completion answer, disable, release, close. Shows the bytes the printer received.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FakeCore.h"
#include "PrnTokenWalk.h"
#include "SampleSupport.h"
#include "TbxSim.h"
#include "TestPrinter.h"

namespace {

constexpr char kDevice[] = "KVRDemoPrinter";
constexpr char kPrinter[] = "KVR Demo TBX910QD";
constexpr long kResponseId = 12;  // the first synchronous id

// ESC "|" sequences as UnifiedPOS print data carries them.
constexpr char kReceipt[] =
    "\x1b|cA\x1b|bCKVR CORNER SHOP\n"
    "\x1b|cA1 Station Road\n"
    "\n"
    "Coffee                  2.40\n"
    "Croissant               1.90\n"
    "\x1b|bCTOTAL                   4.30\n"
    "\n"
    "\x1b|cAThank you!\n"
    "\x1b|fP";

bool WriteDeviceKey() {
  return WriteDeviceEntry(kDevice, {{"DriverName", kPrinter}, {"PaperSize", "1"}});
}

bool Step(const char* what, long result) {
  std::printf("%-34s %ld\n", what, result);
  return result == 0;
}

bool PrintReceipt(fakecore::FakeCore& core) {
  fakecore::CoreRecords rec;
  PrnRecordArgs init{&rec.input};
  PrnRecordSnapshotArgs activate{&rec.input, &rec.snapshot};
  if (!Step("open (initSubSO)", core.Open(kDevice)) ||
      !Step("claim: init device (1016)", core.Other(PRN_SERVICE_INIT_DEVICE, &init)) ||
      !Step("claim: connectPrinter", core.exports().connectPrinter(core.slot())) ||
      !Step("claim: activate (1001)", core.Other(PRN_SERVICE_ACTIVATE_DEVICE, &activate)) ||
      !Step("enable (1024)", core.Other(PRN_SERVICE_ENABLED_EVENT_NOTIFY, &activate)))
    return false;
  TbxSim_ClearWritten(kPrinter);

  long rce = -1;
  PrnPreStationTextArgs pre{&rec.input, PRN_STATION_RECEIPT, kReceipt, &rce};
  PrnTokenList* list = nullptr;
  PrnExecStationTextArgs exec{&rec.input, &rec.station, PRN_STATION_RECEIPT, kReceipt, &list,
                              &rec.snapshot};
  if (!Step("PrintNormal: pre", core.Pre(PRN_METHOD_PRINT_NORMAL, &pre)) ||
      !Step("PrintNormal: execute", core.Execute(PRN_METHOD_PRINT_NORMAL, &exec)) || !list)
    return false;
  core.Track(list);
  long id = kResponseId;
  PrnResponseIdArgs idArgs{&id, &list};
  PrnRequestDeviceDataArgs render{&rec.input, &rec.station, list, 2};
  if (!Step("response id token (1022)", core.Other(PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN, &idArgs)) ||
      !Step("render tokens (1010)", core.Other(PRN_SERVICE_REQUEST_DEVICE_DATA, &render)))
    return false;
  std::vector<BYTE> bytes = PrnTokenBytes(list);
  long severity = 0;
  const char* text = nullptr;
  PrnWriteArgs write{0, bytes.data(), static_cast<long>(bytes.size()), &severity, &text, &rce};
  if (!Step("write (1004)", core.Other(PRN_SERVICE_WRITE_PRINTER_DATA, &write)) ||
      !Step("free list (1003)", core.HandBack(list)))
    return false;

  // The receive thread's poll: the completion answer arrives as a response id.
  for (int round = 0; round < 250 && core.responseIds.empty(); ++round) {
    WaitForSingleObject(core.statusEvent(), 20);
    ResetEvent(core.statusEvent());
    PrnStatusRecord status = fakecore::MakeStatusRecord();
    PrnPropertySnapshot result{};
    PrnProcStatusArgs poll{&status, &result};
    if (core.Other(PRN_SERVICE_PROC_CALLBACK_STATUS, &poll) != 0) break;
  }
  std::printf("%-34s %s\n", "completion (response id 12)",
              !core.responseIds.empty() && core.responseIds[0] == kResponseId ? "received"
                                                                               : "MISSING");
  const std::string written = TbxSimWritten(kPrinter);
  const std::vector<BYTE> received(written.begin(), written.end());

  const bool done = !core.responseIds.empty() &&
                    Step("disable (1002)", core.Other(PRN_SERVICE_DEACTIVATE_DEVICE, nullptr)) &&
                    Step("release: disconnectPrinter", core.exports().disconnectPrinter(core.slot())) &&
                    Step("close (terminateSubSO)", core.Close());
  PrintHexListing(received);
  return done && received == bytes;
}

}  // namespace

int main() {
  std::string error;
  if (!AddTestPrinter(kPrinter, &error) || !WriteDeviceKey()) {
    std::printf("set-up failed: %s\n", error.c_str());
    return 1;
  }
  fakecore::FakeCore core;
  if (!core.Load()) {
    std::printf("prennik.dll did not load\n");
    return 1;
  }
  const bool ok = PrintReceipt(core);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, DeviceKey(kDevice).c_str());
  std::printf("\n%s\n", ok ? "Receipt printed." : "Receipt NOT printed.");
  return ok ? 0 : 1;
}
