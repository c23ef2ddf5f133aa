// End-to-end figures of the service object against the simulated printer, in one run:
//  1. a synchronous PrintNormal of one line through the Control Object (median, 99th pct);
//  2. asynchronous PrintNormal calls per second, every OutputCompleteEvent received;
//  3. the service object's own cost for a 60-line receipt: the sub-module's execute phase
//     with the print-data tokenizer, and rendering into printer bytes, without the printer.
// Synchronous sends wait for the status poll to read the printer's answer and poll for
// that answer every millisecond, which sets a floor for (1).
#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "CommDevice.h"
#include "ControlObjectStandIn.h"
#include "LogContext.h"
#include "SampleSupport.h"
#include "TbxSim.h"
#include "TestPrinter.h"
#include "Win.h"

namespace {

using costandin::Arg;

const wchar_t kProgId[] = L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
constexpr char kDevice[] = "KVRBenchPrinter";
constexpr wchar_t kDeviceW[] = L"KVRBenchPrinter";
constexpr char kPrinter[] = "KVR TBX910QD Bench";
constexpr long kPidxDeviceEnabled = 3, kPidxOutputId = 5, kPidxAsyncMode = 8001;
constexpr long kReceipt = 2;
constexpr int kSyncCalls = 1000, kAsyncCalls = 5000, kReceiptRuns = 2000;

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}
LARGE_INTEGER Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t;
}

bool SetUp() {
  std::string error;
  // A synchronous send ends when the status poll reads the printer's answer: poll every
  // millisecond (the default RCVC of 100 ms would be the whole figure).
  return RegisterServiceObject() == S_OK && AddTestPrinter(kPrinter, &error) &&
         WriteDeviceEntry(kDevice, {{"DriverName", kPrinter}, {"PaperSize", "1"}, {"RCVC", "1"}});
}

// 60 lines of a receipt with the escape sequences a real one carries.
std::string SixtyLineReceipt() {
  std::string data = "\x1b|cA\x1b|bC\x1b|2CKVR CORNER SHOP\x1b|N\n";
  for (int line = 1; line < 59; ++line) {
    char row[64];
    std::snprintf(row, sizeof row, "Item %02d %-18s %6d.%02d\n", line, "Espresso beans",
                  line % 17, (line * 7) % 100);
    data += row;
  }
  data += "\x1b|bCTOTAL                          123.45\x1b|N\n";
  return data;
}

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

bool Through(costandin::ControlObject& co) {
  auto call = [&](const wchar_t* name, std::vector<Arg> args = {}) {
    return co.CallLong(name, args);
  };
  auto set = [&](long pidx, long value) {
    (void)co.CallLong(L"SetPropertyNumber", {Arg::Long(pidx), Arg::Long(value)}, 0);
  };
  if (co.Create(kProgId) != S_OK ||
      call(L"OpenService", {Arg::Text(L"POSPrinter"), Arg::Text(kDeviceW), Arg::Sink()}) != 0 ||
      call(L"ClaimDevice", {Arg::Long(1000)}) != 0)
    return false;
  set(kPidxDeviceEnabled, 1);

  // 1. Synchronous: each call returns once the printer confirmed the line.
  std::vector<double> micros;
  micros.reserve(kSyncCalls);
  for (int i = 0; i < kSyncCalls; ++i) {
    const LARGE_INTEGER start = Now();
    if (call(L"PrintNormal", {Arg::Long(kReceipt), Arg::Text(L"One line of a receipt\n")}) != 0)
      return false;
    micros.push_back(Seconds(start, Now()) * 1e6);
    if (i % 200 == 0) TbxSim_ClearWritten(kPrinter);
  }
  std::printf("synchronous PrintNormal, one line (%d calls): median %.0f us, 99th %.0f us "
              "(floor: the 1 ms status poll, RCVC, and the 1 ms answer poll)\n",
              kSyncCalls, Percentile(micros, 0.5), Percentile(micros, 0.99));

  // 2. Asynchronous: calls per second until the last OutputCompleteEvent.
  set(kPidxAsyncMode, 1);
  co.ClearEvents();
  const LARGE_INTEGER start = Now();
  for (int i = 0; i < kAsyncCalls; ++i)
    if (call(L"PrintNormal", {Arg::Long(kReceipt), Arg::Text(L"One line of a receipt\n")}) != 0)
      return false;
  const double queued = Seconds(start, Now());
  if (!co.WaitForEvents(kAsyncCalls, 120000)) {
    std::printf("asynchronous: only %u of %d OutputCompleteEvents arrived\n",
                unsigned(co.Events().size()), kAsyncCalls);
    return false;
  }
  const double all = Seconds(start, Now());
  std::set<long> ids;
  for (const auto& e : co.Events())
    if (e.name == L"SOOutputComplete" && !e.numbers.empty()) ids.insert(e.numbers[0]);
  std::printf("asynchronous PrintNormal, one line: %d calls queued in %.2f s, every "
              "OutputCompleteEvent in %.2f s: %.0f calls/s, %u distinct OutputIDs completed\n",
              kAsyncCalls, queued, all, kAsyncCalls / all, unsigned(ids.size()));
  const bool complete = ids.size() == size_t(kAsyncCalls);
  set(kPidxDeviceEnabled, 0);
  (void)call(L"ReleaseDevice");
  (void)call(L"CloseService");
  co.ReleaseObject();
  return complete;
}

// 3. Execute (tokenizer callback included) and rendering, in this process, no printer.
bool OwnCost() {
  CLogContext log;
  CCommDevice channel(nullptr, &log);
  if (!channel.LoadSubSODLL((BinFolder() + "prennik.dll").c_str())) return false;
  PrnPropertySnapshot init{};
  if (channel.InitializeSubSO(kDevice, 1014001, &init) != 0) return false;
  (void)channel.OtherMethod1015(&init);
  PrnInputProperty input{};
  input.serviceObjectVersion = 1014001;
  input.mapMode = 1;
  input.recLineSpacing = 30;
  input.recLineChars = 42;
  input.characterSet = 1252;
  const std::string data = SixtyLineReceipt();
  std::vector<double> micros;
  micros.reserve(kReceiptRuns);
  long bytes = 0;
  for (int run = 0; run < kReceiptRuns; ++run) {
    PrnStationState station{};
    PrnPropertySnapshot result{};
    result.positionWord1 = result.positionWord2 = -1;
    PrnTokenList* list = nullptr;
    PrnExecStationTextArgs exec{&input, &station, PRN_STATION_RECEIPT, data.c_str(), &list,
                                &result};
    const LARGE_INTEGER start = Now();
    if (channel.EntryPoints().executeMethod(PRN_METHOD_PRINT_NORMAL,
                                            reinterpret_cast<long*>(&exec), channel.Slot()) != 0 ||
        !list || channel.BuildRequestData(&input, &station, list, 2) != 0)
      return false;
    micros.push_back(Seconds(start, Now()) * 1e6);
    bytes = list->totalBytes;
    (void)channel.ReleaseSubSOData(list);
    (void)channel.OtherMethod1015(&result);
  }
  std::printf("own cost of a 60-line receipt (%zu bytes of data, %ld printer bytes): median "
              "%.1f us, 99th %.1f us over %d runs (tokenize and render, no printer)\n",
              data.size(), bytes, Percentile(micros, 0.5), Percentile(micros, 0.99),
              kReceiptRuns);
  (void)channel.TerminateSubSO();
  (void)channel.UnloadSubSODLL();
  return true;
}

}  // namespace

int main() {
  if (!SetUp()) {
    std::printf("set-up failed (registration, Windows printer or device entry)\n");
    return 1;
  }
  bool ok = OwnCost();
  {
    costandin::ControlObject co;
    ok = Through(co) && ok;
  }
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, DeviceKey(kDevice).c_str());
  std::printf("%s\n", ok ? "done" : "FAILED");
  return ok ? 0 : 1;
}
