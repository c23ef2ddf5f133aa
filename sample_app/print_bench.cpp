// End-to-end figures of the service object against the simulated printer, in one run:
//  1. a synchronous PrintNormal of one line through the Control Object (median, 99th pct),
//     at the default status poll RCVC of 100 ms and at RCVC 1 ms;
//  2. a 30-line receipt printed synchronously, one PrintNormal per line, at the default
//     settings (total and per line);
//  3. asynchronous PrintNormal calls per second at the default settings, every
//     OutputCompleteEvent received;
//  4. the service object's own cost for a 60-line receipt: its method frame (records, pre
//     phase, snapshot, request), the sub-module's execute phase with the print-data
//     tokenizer, rendering and the request's copy of the bytes, without the printer; with
//     trace logging off and on, the heap allocations it makes, counted by a hook on the
//     heap functions that the program and prennik.dll import, and what one trace line
//     costs that the level filters out.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "ClassFactory.h"
#include "CommDevice.h"
#include "ControlObjectStandIn.h"
#include "LogContext.h"
#include "POSPrinter.h"
#include "SampleSupport.h"
#include "TbxSim.h"
#include "TestPrinter.h"
#include "Win.h"

#include <shlobj.h>

namespace {

using costandin::Arg;

const wchar_t kProgId[] = L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
constexpr char kPrinter[] = "KVR TBX910QD Bench";
// Device entries: the default settings, the status poll at 1 ms, and trace logging on.
constexpr char kDefault[] = "KVRBenchPrinter";
constexpr char kFastPoll[] = "KVRBenchPrinterRcvc1";
constexpr char kTraced[] = "KVRBenchPrinterTrace";
constexpr long kPidxDeviceEnabled = 3, kPidxAsyncMode = 8001;
constexpr long kReceipt = 2;
constexpr int kSyncCalls = 300, kReceiptLines = 30, kLineReceipts = 5, kAsyncCalls = 2000;
constexpr int kReceiptRuns = 2000, kTracedRuns = 100;

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

std::wstring Wide(const char* text) { return std::wstring(text, text + strlen(text)); }

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// ---- heap allocations, counted per module on one thread ----
// Every allocation of the suite's code goes through the C runtime (operator new included,
// the C++ runtime is linked in) or straight to HeapAlloc; each module's import table is
// pointed at counting functions that forward to the real ones.
namespace heapcount {

enum Module { kProgram, kSubModule, kModules };
DWORD g_thread = 0;  // counts only while set, and only on this thread
long g_count[kModules] = {};

template <int M, typename Fn>
struct Hook {
  static Fn real;
};
template <int M, typename Fn>
Fn Hook<M, Fn>::real = nullptr;

inline void Count(int module) {
  if (g_thread && GetCurrentThreadId() == g_thread) ++g_count[module];
}

using MallocFn = void*(__cdecl*)(size_t);
using CallocFn = void*(__cdecl*)(size_t, size_t);
using ReallocFn = void*(__cdecl*)(void*, size_t);
using StrdupFn = char*(__cdecl*)(const char*);
using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);

template <int M>
void* __cdecl CountMalloc(size_t n) {
  Count(M);
  return Hook<M, MallocFn>::real(n);
}
template <int M>
void* __cdecl CountCalloc(size_t n, size_t size) {
  Count(M);
  return Hook<M, CallocFn>::real(n, size);
}
template <int M>
void* __cdecl CountRealloc(void* p, size_t n) {
  Count(M);
  return Hook<M, ReallocFn>::real(p, n);
}
template <int M>
char* __cdecl CountStrdup(const char* s) {
  Count(M);
  return Hook<M, StrdupFn>::real(s);
}
template <int M>
LPVOID WINAPI CountHeapAlloc(HANDLE heap, DWORD flags, SIZE_T n) {
  Count(M);
  return Hook<M, HeapAllocFn>::real(heap, flags, n);
}

// Points the module's import of dll!name at hook; the real address goes to *real.
bool Patch(HMODULE module, const char* dll, const char* name, void* hook, void** real) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return false;
  for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       import->Name; ++import) {
    if (_stricmp(reinterpret_cast<const char*>(base + import->Name), dll) != 0) continue;
    const DWORD namesAt = import->OriginalFirstThunk ? import->OriginalFirstThunk : import->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesAt);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD old = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old)) return false;
      *real = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook);
      VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
      return true;
    }
  }
  return false;
}

template <int M>
bool Install(HMODULE module) {
  static bool done = false;
  if (done) return true;
  bool any = false;
  any |= Patch(module, "msvcrt.dll", "malloc", reinterpret_cast<void*>(&CountMalloc<M>),
               reinterpret_cast<void**>(&Hook<M, MallocFn>::real));
  any |= Patch(module, "msvcrt.dll", "calloc", reinterpret_cast<void*>(&CountCalloc<M>),
               reinterpret_cast<void**>(&Hook<M, CallocFn>::real));
  any |= Patch(module, "msvcrt.dll", "realloc", reinterpret_cast<void*>(&CountRealloc<M>),
               reinterpret_cast<void**>(&Hook<M, ReallocFn>::real));
  any |= Patch(module, "msvcrt.dll", "_strdup", reinterpret_cast<void*>(&CountStrdup<M>),
               reinterpret_cast<void**>(&Hook<M, StrdupFn>::real));
  any |= Patch(module, "KERNEL32.dll", "HeapAlloc", reinterpret_cast<void*>(&CountHeapAlloc<M>),
               reinterpret_cast<void**>(&Hook<M, HeapAllocFn>::real));
  done = any;
  return any;
}

void Start() {
  std::fill(std::begin(g_count), std::end(g_count), 0);
  g_thread = GetCurrentThreadId();
}
void Stop() { g_thread = 0; }

}  // namespace heapcount

bool SetUp() {
  std::string error;
  const std::vector<std::pair<std::string, std::string>> base = {{"DriverName", kPrinter},
                                                                 {"PaperSize", "1"}};
  auto with = [&](std::vector<std::pair<std::string, std::string>> more) {
    more.insert(more.begin(), base.begin(), base.end());
    return more;
  };
  return RegisterServiceObject() == S_OK && AddTestPrinter(kPrinter, &error) &&
         WriteDeviceEntry(kDefault, base) && WriteDeviceEntry(kFastPoll, with({{"RCVC", "1"}})) &&
         WriteDeviceEntry(kTraced, with({{"LogLevelCore", "4"}, {"LogLevelSub", "4"}}));
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

// Opens, claims and enables a device through the Control Object stand-in.
class Device {
 public:
  explicit Device(const char* name) : name_(name) {
    ok_ = co_.Create(kProgId) == S_OK &&
          Call(L"OpenService", {Arg::Text(L"POSPrinter"), Arg::Text(Wide(name)), Arg::Sink()}) == 0 &&
          Call(L"ClaimDevice", {Arg::Long(1000)}) == 0;
    if (ok_) Set(kPidxDeviceEnabled, 1);
  }
  ~Device() {
    if (co_.HasObject()) {
      Set(kPidxDeviceEnabled, 0);
      (void)Call(L"ReleaseDevice");
      (void)Call(L"CloseService");
      co_.ReleaseObject();
    }
  }
  bool ok() const { return ok_; }
  long Call(const wchar_t* name, std::vector<Arg> args = {}) { return co_.CallLong(name, args); }
  void Set(long pidx, long value) {
    (void)co_.CallLong(L"SetPropertyNumber", {Arg::Long(pidx), Arg::Long(value)}, 0);
  }
  long PrintLine(const wchar_t* text) {
    return Call(L"PrintNormal", {Arg::Long(kReceipt), Arg::Text(text)});
  }
  costandin::ControlObject& co() { return co_; }

 private:
  const char* name_;
  costandin::ControlObject co_;
  bool ok_ = false;
};

// 1. Synchronous one-line PrintNormal: each call returns once the printer confirmed it.
bool SyncLine(const char* device, const char* label, double* median) {
  Device d(device);
  if (!d.ok()) return false;
  std::vector<double> micros;
  micros.reserve(kSyncCalls);
  for (int i = 0; i < kSyncCalls; ++i) {
    const LARGE_INTEGER start = Now();
    if (d.PrintLine(L"One line of a receipt\n") != 0) return false;
    micros.push_back(Seconds(start, Now()) * 1e6);
    if (i % 100 == 0) TbxSim_ClearWritten(kPrinter);
  }
  *median = Percentile(micros, 0.5);
  std::printf("synchronous PrintNormal, one line, %s (%d calls): median %.0f us, 99th %.0f us\n",
              label, kSyncCalls, *median, Percentile(micros, 0.99));
  return true;
}

// 2. A 30-line receipt, one synchronous PrintNormal per line, at the default settings.
bool SyncReceipt() {
  Device d(kDefault);
  if (!d.ok()) return false;
  std::vector<double> totals;
  for (int r = 0; r < kLineReceipts; ++r) {
    const LARGE_INTEGER start = Now();
    for (int line = 0; line < kReceiptLines; ++line) {
      wchar_t text[64];
      swprintf(text, 64, L"Item %02d Espresso beans          %2d.%02d\n", line, line % 17, line);
      if (d.PrintLine(text) != 0) return false;
    }
    totals.push_back(Seconds(start, Now()) * 1e3);
    TbxSim_ClearWritten(kPrinter);
  }
  const double total = Percentile(totals, 0.5);
  std::printf("30-line receipt, one synchronous PrintNormal per line, default settings "
              "(median of %d): %.0f ms, %.1f ms per line\n",
              kLineReceipts, total, total / kReceiptLines);
  return true;
}

// 3. Asynchronous: calls per second until the last OutputCompleteEvent.
bool Async() {
  Device d(kDefault);
  if (!d.ok()) return false;
  d.Set(kPidxAsyncMode, 1);
  d.co().ClearEvents();
  const LARGE_INTEGER start = Now();
  for (int i = 0; i < kAsyncCalls; ++i)
    if (d.PrintLine(L"One line of a receipt\n") != 0) return false;
  const double queued = Seconds(start, Now());
  if (!d.co().WaitForEvents(kAsyncCalls, 600000)) {
    std::printf("asynchronous: only %u of %d OutputCompleteEvents arrived\n",
                unsigned(d.co().Events().size()), kAsyncCalls);
    return false;
  }
  const double all = Seconds(start, Now());
  std::set<long> ids;
  for (const auto& e : d.co().Events())
    if (e.name == L"SOOutputComplete" && !e.numbers.empty()) ids.insert(e.numbers[0]);
  std::printf("asynchronous PrintNormal, one line, default settings: %d calls queued in "
              "%.2f s, every OutputCompleteEvent in %.2f s: %.0f calls/s, %u distinct "
              "OutputIDs completed\n",
              kAsyncCalls, queued, all, kAsyncCalls / all, unsigned(ids.size()));
  TbxSim_ClearWritten(kPrinter);
  return ids.size() == size_t(kAsyncCalls);
}

// 4. The service object's own cost, in this process: a service object of its own (this
// program links the service object's code) opened on the simulated printer, its worker
// threads stopped so that nothing is written; each run is one asynchronous PrintNormal
// (frame, pre and execute phases, request) and the send thread's part before the write
// (rendering and the request's copy of the bytes), then the request is freed.
struct OwnCostFigures {
  double median = 0, p99 = 0;
  long allocations[heapcount::kModules] = {};
  double logLines = 0;  // lines written per receipt, with trace logging on
};

// Lines of the traced device in today's log file of the service object and the sub-module
// (one folder for both): each starts its text with the device's prefix.
long LogFileLines() {
  char appData[MAX_PATH];
  if (!SHGetSpecialFolderPathA(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE)) return 0;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char path[MAX_PATH + 64];
  std::snprintf(path, sizeof path, "%s\\KVR\\Logs\\OposPrinter\\%04d%02d%02d.log", appData,
                now.wYear, now.wMonth, now.wDay);
  FILE* file = std::fopen(path, "rb");
  if (!file) return 0;
  std::string text;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  std::fclose(file);
  const std::string prefix = std::string("[") + kTraced + "] ";
  long lines = 0;
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1))
    ++lines;
  return lines;
}

bool OwnCost(const char* device, int runs, bool countHeap, OwnCostFigures* out) {
  costandin::ControlObject co;
  CPOSPrinter* so = nullptr;
  bool ok = false;
  const std::string data = SixtyLineReceipt();
  const std::wstring wide(data.begin(), data.end());
  long printerBytes = 0;
  co.RunOnThread([&] {
    IDispatch* object = nullptr;
    if (FAILED(CPOSPrinterClassFactory::Instance().CreateInstance(nullptr, IID_IDispatch,
                                                                  reinterpret_cast<void**>(&object))))
      return;
    so = static_cast<CPOSPrinter*>(object);
    BSTR cls = SysAllocString(L"POSPrinter");
    BSTR name = SysAllocString(Wide(device).c_str());
    BSTR text = SysAllocString(wide.c_str());
    const long openResult = so->OpenService(cls, name, co.Sink());
    const long claimResult = openResult == 0 ? so->Claim(5000) : -1;
    SysFreeString(cls);
    SysFreeString(name);
    if (openResult != 0 || claimResult != 0)
      std::printf("  %s: OpenService %ld (OpenResult %ld), ClaimDevice %ld\n", device, openResult,
                  so->GetOpenResult(), claimResult);
    if (openResult == 0 && claimResult == 0) {
      so->SetPropertyNumber(kPidxDeviceEnabled, 1);
      CCommDevice* channel = so->Channel();
      (void)channel->StopAllThreads();
      // After the stop: the receive thread hands its record's properties back as it ends.
      so->SetPropertyNumber(kPidxAsyncMode, 1);
      if (countHeap) {
        (void)heapcount::Install<heapcount::kProgram>(GetModuleHandleA(nullptr));
        (void)heapcount::Install<heapcount::kSubModule>(GetModuleHandleA("prennik.dll"));
      }
      std::vector<double> micros;
      micros.reserve(runs);
      const long linesBefore = countHeap ? 0 : LogFileLines();
      ok = true;
      for (int run = 0; run < runs && ok; ++run) {
        const bool counted = countHeap && run == runs - 1;  // steady state: the last run
        if (counted) heapcount::Start();
        const LARGE_INTEGER start = Now();
        const long printed = so->PrintNormal(kReceipt, text);
        COutputRequest* request = printed == 0 ? channel->GetSendQueue(OUTPUT_QUEUE_NORMAL) : nullptr;
        ok = request && request->length > 0;
        if (!ok)
          std::printf("  %s run %d: PrintNormal %ld (extended %ld), request %s\n", device, run, printed,
                      so->Properties().ResultCodeExtended, request ? "without bytes" : "missing");
        if (request) {
          printerBytes = request->length;
          channel->FreeRequestData(request);
          delete request;
        }
        micros.push_back(Seconds(start, Now()) * 1e6);
        if (counted) {
          heapcount::Stop();
          std::copy(std::begin(heapcount::g_count), std::end(heapcount::g_count), out->allocations);
        }
      }
      if (ok) {
        out->median = Percentile(micros, 0.5);
        out->p99 = Percentile(micros, 0.99);
        if (!countHeap) out->logLines = double(LogFileLines() - linesBefore) / runs;
      }
      so->SetPropertyNumber(kPidxDeviceEnabled, 0);
      (void)so->ReleaseDevice();
    }
    SysFreeString(text);
  });
  if (so) {
    co.RunOnThread([&] {
      (void)so->Close();
      so->Release();
    });
  }
  if (ok)
    std::printf("  (%zu bytes of print data, %ld printer bytes)\n", data.size(), printerBytes);
  return ok;
}

// What one trace line costs when the level filters it out: the PrintNormal line that carries
// the whole print data, on a log context whose level writes nothing.
double FilteredLineNanos(const std::string& data) {
  constexpr int kCalls = 20000;
  CLogContext log;
  log.Configure("KVRBenchPrinter", 256, 1, /*level=*/-1, "");
  const LARGE_INTEGER start = Now();
  for (int i = 0; i < kCalls; ++i)
    log.Write(LOG_INFO, "CPOSPrinter::OutputMethod", "print_bench.cpp", __LINE__, TAG_PARAM, "Data",
              data);
  return Seconds(start, Now()) * 1e9 / kCalls;
}

}  // namespace

// With the argument "own" only the own cost is measured.
int main(int argc, char** argv) {
  const bool ownOnly = argc > 1 && std::strcmp(argv[1], "own") == 0;
  if (!SetUp()) {
    std::printf("set-up failed (registration, Windows printer or device entries)\n");
    return 1;
  }
  bool ok = true;
  if (!ownOnly) {
    double at100 = 0, at1 = 0;
    ok = SyncLine(kDefault, "RCVC 100 ms (default)", &at100) && ok;
    ok = SyncLine(kFastPoll, "RCVC 1 ms", &at1) && ok;
    if (at1 > 0) std::printf("  ratio RCVC 100 / RCVC 1: %.2f\n", at100 / at1);
    ok = SyncReceipt() && ok;
    ok = Async() && ok;
  }

  OwnCostFigures off, on;
  std::printf("own cost of a 60-line receipt (frame, tokenize, render, request copy; no printer):\n");
  if (OwnCost(kDefault, kReceiptRuns, /*countHeap=*/true, &off)) {
    std::printf("  trace logging off: median %.1f us, 99th %.1f us over %d runs\n", off.median,
                off.p99, kReceiptRuns);
    std::printf("  heap allocations per receipt: %ld (service object %ld, prennik %ld)\n",
                off.allocations[0] + off.allocations[1], off.allocations[0], off.allocations[1]);
  } else {
    ok = false;
  }
  const double filtered = FilteredLineNanos(SixtyLineReceipt());
  std::printf("  a trace line filtered out by the level (the PrintNormal data line): %.0f ns\n",
              filtered);
  if (OwnCost(kTraced, kTracedRuns, /*countHeap=*/false, &on)) {
    std::printf("  trace logging on (LogLevelCore 4, LogLevelSub 4): median %.1f us, 99th "
                "%.1f us over %d runs\n",
                on.median, on.p99, kTracedRuns);
    const double share = on.logLines * filtered / 1000;
    std::printf("  %.0f trace lines per receipt; with logging off they cost about %.1f us, %.1f%% "
                "of the own cost\n",
                on.logLines, share, off.median > 0 ? 100 * share / off.median : 0);
  } else {
    ok = false;
  }
  for (const char* device : {kDefault, kFastPoll, kTraced})
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, DeviceKey(device).c_str());
  std::printf("%s\n", ok ? "done" : "FAILED");
  return ok ? 0 : 1;
}
