// The device's life through the stand-in Control Object, with vasselin.dll created by its
// ProgID, the real prennik.dll and the simulated printer: each method before and after
// each step, the capabilities, status changes at the printer as StatusUpdateEvents, the
// claim across two processes, and nothing left behind after Close.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DispatchedDevice.h"
#include "OposCodes.h"
#include "PrinterSubApi.h"
#include "RecordingSub.h"
#include "ScopedHandle.h"
#include "TbxSim.h"
#include "TestSupport.h"
#include "Win.h"

#include <tlhelp32.h>

namespace {

using costandin::Arg;

const wchar_t kProgId[] = L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
constexpr char kDevice[] = "SoLifecycleDevice";
constexpr wchar_t kDeviceW[] = L"SoLifecycleDevice";
constexpr char kCapsDevice[] = "SoLifecycleCapsDevice";
constexpr char kPrinter[] = "SoLifecyclePrinter";
constexpr char kWindowName[] = "POSPrinter:CRJDevice:KVRCORE:20100314";

// The service object's window in this process: other test programs on the same desktop
// have windows of the same name.
BOOL CALLBACK MatchOwnWindow(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  if (process != GetCurrentProcessId() || strcmp(title, kWindowName) != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}
HWND OwnWindow() {
  HWND found = nullptr;
  EnumWindows(MatchOwnWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}
constexpr DWORD kSafetyMs = 30000;

enum Pidx : long {
  kClaimed = 1, kDeviceEnabled = 3, kResultCode = 6, kResultCodeExtended = 7, kState = 9,
  kPowerNotify = 13, kPowerState = 14, kCoverOpen = 8003, kRecEmpty = 8014,
  kRecNearEnd = 8021,
};

// The capability properties in the order of the capability block (words 0-67).
const long kCapabilityPidx[68] = {
    504,  501,  502,  505,  503,  8548, 8501, 8502, 8559, 8503, 8504, 8558, 8549,  // 0-12
    8513, 8505, 8506, 8507, 8508, 8509, 8510, 8511, 8512, 8514, 8550, 8551,        // journal
    8527, 8515, 8516, 8562, 8517, 8518, 8519, 8520, 8521, 8522, 8523, 8524, 8525,  // receipt
    8526, 8528, 8529, 8530, 8531, 8552, 8553, 8554, 8560,
    8544, 8540, 8532, 8533, 8563, 8534, 8535, 8536, 8537, 8538, 8539, 8541, 8542,  // slip
    8543, 8545, 8546, 8547, 8555, 8556, 8557, 8561,
};

void WriteDeviceKey(sotest::DeviceKey& key, const std::string& subModule) {
  key.SetString("DriverName", kPrinter);
  key.SetString("PaperSize", "1", /*terminated=*/false);
  key.SetString("_NearEnd", "1", false);
  if (!subModule.empty()) key.SetString("SubSODLLPath", sotest::BinFolder() + subModule);
}

class Lifecycle : public sotest::DispatchedDevice {
 protected:
  Lifecycle() : DispatchedDevice(kDeviceW) {}
  static void SetUpTestSuite() { RegisterServerFor(kPrinter); }

  void SetUp() override {
    WriteDeviceKey(key_, "prennik.dll");
    TbxSim_Reset(kPrinter);
    ASSERT_EQ(co_.Create(kProgId), S_OK);
  }
  void TearDown() override { co_.ReleaseObject(); }

  sotest::DeviceKey key_{kDevice};
};

TEST_F(Lifecycle, EachMethodAnswersAsTheDevicesStateAllows) {
  struct Row {
    const char* step;
    std::function<long()> act;
    long result, claimed, enabled, state;
  };
  auto enable = [this](long on) { return [this, on] { return SetProp(kDeviceEnabled, on); }; };
  auto claim = [this](long timeout) { return [this, timeout] { return Call(L"ClaimDevice", {Arg::Long(timeout)}); }; };
  auto release = [this] { return Call(L"ReleaseDevice"); };
  auto close = [this] { return Call(L"CloseService"); };
  const Row rows[] = {
      {"claim before open", claim(0), OPOS_E_CLOSED, 0, 0, 1},
      {"enable before open", enable(1), OPOS_E_NOTCLAIMED, 0, 0, 1},
      {"release before open", release, OPOS_E_CLOSED, 0, 0, 1},
      {"close before open", close, OPOS_E_CLOSED, 0, 0, 1},
      {"open", [this] { return Open(); }, OPOS_SUCCESS, 0, 0, 2},
      {"enable before claim", enable(1), OPOS_E_NOTCLAIMED, 0, 0, 2},
      {"release before claim", release, OPOS_E_ILLEGAL, 0, 0, 2},
      {"claim with a timeout below -1", claim(-2), OPOS_E_ILLEGAL, 0, 0, 2},
      {"claim", claim(1000), OPOS_SUCCESS, 1, 0, 2},
      {"claim again", claim(0), OPOS_SUCCESS, 1, 0, 2},
      {"disable while disabled", enable(0), OPOS_SUCCESS, 1, 0, 2},
      {"enable", enable(1), OPOS_SUCCESS, 1, 1, 2},
      {"enable again", enable(1), OPOS_SUCCESS, 1, 1, 2},
      {"disable", enable(0), OPOS_SUCCESS, 1, 0, 2},
      {"enable once more", enable(1), OPOS_SUCCESS, 1, 1, 2},
      {"release while enabled", release, OPOS_SUCCESS, 0, 0, 2},
      {"claim after release", claim(0), OPOS_SUCCESS, 1, 0, 2},
      {"enable for close", enable(1), OPOS_SUCCESS, 1, 1, 2},
      {"close while claimed and enabled", close, OPOS_SUCCESS, 0, 0, 1},
      {"close again", close, OPOS_E_CLOSED, 0, 0, 1},
      {"open again: the slot was given back", [this] { return Open(); }, OPOS_SUCCESS, 0, 0, 2},
      {"final close", close, OPOS_SUCCESS, 0, 0, 1},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.act(), row.result) << row.step;
    EXPECT_EQ(Prop(kResultCode), row.result) << row.step;
    EXPECT_EQ(Prop(kClaimed), row.claimed) << row.step;
    EXPECT_EQ(Prop(kDeviceEnabled), row.enabled) << row.step;
    EXPECT_EQ(Prop(kState), row.state) << row.step;
  }
  EXPECT_EQ(Call(L"GetOpenResult"), 0);
  EXPECT_EQ(co_.SinkReferences(), 0);
}

TEST_F(Lifecycle, OpenResultNamesWhatFailed) {
  RecordingSubModule recording((sotest::BinFolder() + "recording_sub.dll").c_str());
  ASSERT_TRUE(recording.Loaded());
  struct Row {
    const char* failure;
    const char* subModule;  // "" leaves SubSODLLPath out
    bool keyExists;
    std::function<void(costandin::ControlObject&)> arrange;
    long result, openResult;
  };
  auto nothing = [](costandin::ControlObject&) {};
  const Row rows[] = {
      {"no device key", "prennik.dll", false, nothing, OPOS_E_NOSERVICE, 302},
      {"no SubSODLLPath", "", true, nothing, OPOS_E_NOSERVICE, 304},
      {"a sub-module missing an export", "recording_sub_nocallback.dll", true, nothing,
       OPOS_E_NOSERVICE, 304},
      {"a sub-module that is no DLL", "no_such_sub.dll", true, nothing, OPOS_E_NOSERVICE, 304},
      {"initSubSO failing", "recording_sub.dll", true,
       [&](costandin::ControlObject&) { recording.ScriptInit(111, RECSUB_SLOT_ALLOCATE); },
       OPOS_E_NOSERVICE, 304},
      {"a Control Object without SOStatusUpdate", "prennik.dll", true,
       [](costandin::ControlObject& co) { co.RefuseName(L"SOStatusUpdate"); }, OPOS_E_NOSERVICE,
       305},
      // The zero-filled block is applied whatever the request answered: no failure.
      {"the capability request failing", "recording_sub.dll", true,
       [&](costandin::ControlObject&) {
         recording.SetResult(RECSUB_GET_CAPABILITY, PRN_CAPABILITY_BLOCK, 111);
       },
       OPOS_SUCCESS, 0},
  };
  for (const Row& row : rows) {
    recording.Reset();
    recording.ScriptInit(0, RECSUB_SLOT_ALLOCATE);
    costandin::ControlObject co;
    ASSERT_EQ(co.Create(kProgId), S_OK);
    {
      sotest::DeviceKey key("SoLifecycleFailingDevice");
      WriteDeviceKey(key, row.subModule);
      row.arrange(co);
      const wchar_t* name = row.keyExists ? L"SoLifecycleFailingDevice" : L"SoLifecycleNoKey";
      EXPECT_EQ(co.CallLong(L"OpenService", {Arg::Text(L"POSPrinter"), Arg::Text(name), Arg::Sink()}),
                row.result)
          << row.failure;
    }
    EXPECT_EQ(co.CallLong(L"GetOpenResult"), row.openResult) << row.failure;
    EXPECT_EQ(co.SinkReferences(), 0) << row.failure;
    if (row.result == OPOS_SUCCESS) {
      for (long pidx : kCapabilityPidx) {
        EXPECT_EQ(co.CallLong(L"GetPropertyNumber", {Arg::Long(pidx)}), 0) << pidx;
      }
      EXPECT_EQ(co.CallLong(L"CloseService"), OPOS_SUCCESS);
      continue;
    }
    EXPECT_EQ(co.CallLong(L"GetPropertyNumber", {Arg::Long(kState)}), 1) << row.failure;
    EXPECT_EQ(OwnWindow(), nullptr) << row.failure << ": no window left";
    EXPECT_EQ(co.CallLong(L"ClaimDevice", {Arg::Long(0)}), OPOS_E_CLOSED) << row.failure;
    EXPECT_EQ(recording.TakenSlots(), 0) << row.failure;
  }
  // prennik refuses a second slot for one device: a slot left taken would fail this.
  EXPECT_EQ(Open(), OPOS_SUCCESS);
  EXPECT_EQ(Call(L"CloseService"), OPOS_SUCCESS);
}

TEST_F(Lifecycle, CapabilitiesAreThoseTheSubModuleReports) {
  // The block as prennik reports it for a device with the same settings, read directly.
  sotest::DeviceKey capsKey(kCapsDevice);
  WriteDeviceKey(capsKey, "prennik.dll");
  ScopedModule prennik(LoadLibraryA((sotest::BinFolder() + "prennik.dll").c_str()));
  ASSERT_TRUE(prennik.valid());
  auto init = reinterpret_cast<PrnInitSubSOFn>(
      reinterpret_cast<void*>(GetProcAddress(prennik.get(), "initSubSO")));
  auto terminate = reinterpret_cast<PrnTerminateSubSOFn>(
      reinterpret_cast<void*>(GetProcAddress(prennik.get(), "terminateSubSO")));
  auto getCapability = reinterpret_cast<PrnGetCapabilityFn>(
      reinterpret_cast<void*>(GetProcAddress(prennik.get(), "getCapability")));
  auto other = reinterpret_cast<PrnOtherMethodFn>(
      reinterpret_cast<void*>(GetProcAddress(prennik.get(), "otherMethod")));
  ASSERT_TRUE(init && terminate && getCapability && other);
  PrnPropertySnapshot snapshot{};
  long slot = -1;
  ASSERT_EQ(init(kCapsDevice, 1014001, &snapshot, &slot, nullptr), 0);
  PrnSnapshotArgs release{&snapshot};
  (void)other(PRN_SERVICE_FREE_RESULT_RECORD, reinterpret_cast<long*>(&release), slot);
  PrnCapabilityBlock expected{};
  PrnCapabilityArgs args{&expected};
  ASSERT_EQ(getCapability(PRN_CAPABILITY_BLOCK, reinterpret_cast<long*>(&args), slot), 0);
  ASSERT_EQ(terminate(slot), 0);

  ASSERT_EQ(Open(), OPOS_SUCCESS);
  const long* words = reinterpret_cast<const long*>(&expected);
  for (int i = 0; i < 68; ++i) EXPECT_EQ(Prop(kCapabilityPidx[i]), words[i]) << "word " << i;
  EXPECT_EQ(Prop(8525), 1) << "CapRecNearEndSensor follows _NearEnd";
  EXPECT_EQ(Call(L"CloseService"), OPOS_SUCCESS);
}

TEST_F(Lifecycle, PrinterStatusReachesTheApplicationAsStatusUpdateEvents) {
  ASSERT_EQ(Open(), OPOS_SUCCESS);
  ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(1000)}), OPOS_SUCCESS);
  ASSERT_EQ(SetProp(kPowerNotify, 1), OPOS_SUCCESS);
  ASSERT_EQ(SetProp(kDeviceEnabled, 1), OPOS_SUCCESS);
  ASSERT_TRUE(WaitForStatus(2001)) << "online at enabling";
  EXPECT_EQ(Prop(kPowerState), 2001);

  const struct {
    const char* change;
    std::function<void()> act;
    long status;
    long pidx, value;
  } rows[] = {
      {"cover open", [] { TbxSim_SetCoverOpen(kPrinter, TRUE); }, 11, kCoverOpen, 1},
      {"cover closed", [] { TbxSim_SetCoverOpen(kPrinter, FALSE); }, 12, kCoverOpen, 0},
      {"paper near end", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_NEAR_END); }, 25,
       kRecNearEnd, 1},
      {"paper empty", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_EMPTY); }, 24, kRecEmpty, 1},
      {"paper back", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_PRESENT); }, 26, kRecEmpty, 0},
      {"offline", [] { TbxSim_SetOnline(kPrinter, FALSE); }, 2004, kPowerState, 2004},
      {"online again", [] { TbxSim_SetOnline(kPrinter, TRUE); }, 2001, kPowerState, 2001},
  };
  for (const auto& row : rows) {
    co_.ClearEvents();
    row.act();
    ASSERT_TRUE(WaitForStatus(row.status)) << row.change;
    // The record was applied before the event was queued.
    EXPECT_EQ(Prop(row.pidx), row.value) << row.change;
  }
  EXPECT_EQ(SetProp(kDeviceEnabled, 0), OPOS_SUCCESS);
  EXPECT_EQ(Prop(kPowerState), 2000) << "not known once disabled";
  co_.ClearEvents();
  TbxSim_SetCoverOpen(kPrinter, TRUE);
  EXPECT_EQ(Call(L"CloseService"), OPOS_SUCCESS);
  EXPECT_TRUE(co_.Events().empty()) << "nothing reported while disabled";
  TbxSim_SetCoverOpen(kPrinter, FALSE);
}

// RecLineChars through prennik: the line-characters service picks the entry and the font,
// and the service object takes the characters and the line height.
TEST_F(Lifecycle, RecLineCharsTakesTheSubModulesChoice) {
  ASSERT_EQ(Open(), OPOS_SUCCESS);
  ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(1000)}), OPOS_SUCCESS);
  ASSERT_EQ(SetProp(kDeviceEnabled, 1), OPOS_SUCCESS);
  DISPID getString = 0;
  ASSERT_EQ(co_.GetIDsOfNames(L"GetPropertyString", &getString), S_OK);
  VARIANT list;
  VariantInit(&list);
  ASSERT_EQ(co_.Invoke(getString, {Arg::Long(1008003)}, &list), S_OK);
  ASSERT_EQ(V_VT(&list), VT_BSTR);
  const std::wstring entries(V_BSTR(&list));
  VariantClear(&list);
  // The second entry: font 2, 24 dots high (the sub-module's table).
  const size_t comma = entries.find(L',');
  ASSERT_NE(comma, std::wstring::npos) << "a list of several entries";
  const long second = std::stol(entries.substr(comma + 1));
  EXPECT_EQ(SetProp(8016, second), OPOS_SUCCESS);
  EXPECT_EQ(Prop(8016), second);
  EXPECT_EQ(Prop(8017), 24) << "RecLineHeight in dots (MapMode 1)";
  EXPECT_GE(Prop(8018), 24) << "RecLineSpacing no smaller than the line";
  EXPECT_EQ(Call(L"CloseService"), OPOS_SUCCESS);
}

// Threads and windows of this process.
long CountThreads() {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  long count = 0;
  for (BOOL more = Thread32First(snapshot.get(), &entry); more;
       more = Thread32Next(snapshot.get(), &entry)) {
    count += entry.th32OwnerProcessID == GetCurrentProcessId();
  }
  return count;
}

TEST_F(Lifecycle, NothingIsLeftBehindAfterClose) {
  using CanUnloadFn = HRESULT(WINAPI*)();
  auto canUnloadNow = reinterpret_cast<CanUnloadFn>(
      reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
  ASSERT_NE(canUnloadNow, nullptr);
  // A first cycle brings up what the process keeps for good (the SDK's and COM's own).
  for (int cycle = 0; cycle < 2; ++cycle) {
    const long threads = CountThreads();
    DWORD handles = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &handles));
    ASSERT_EQ(Open(), OPOS_SUCCESS);
    ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(1000)}), OPOS_SUCCESS);
    ASSERT_EQ(SetProp(kDeviceEnabled, 1), OPOS_SUCCESS);
    EXPECT_GT(CountThreads(), threads) << "worker and event threads run";
    EXPECT_NE(OwnWindow(), nullptr);
    EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 1);
    // An application's own thread messages survive Close: only the window's are drained.
    bool quitKept = false, ownKept = false;
    co_.RunOnThread([&] {
      PostThreadMessageA(GetCurrentThreadId(), WM_APP + 7, 0, 0);
      PostQuitMessage(0);
      EXPECT_EQ(Call(L"CloseService"), OPOS_SUCCESS);
      MSG msg;
      ownKept = PeekMessageA(&msg, nullptr, WM_APP + 7, WM_APP + 7, PM_REMOVE) != 0;
      quitKept = PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
    });
    EXPECT_TRUE(ownKept);
    EXPECT_TRUE(quitKept);
    if (cycle == 0) continue;
    EXPECT_EQ(CountThreads(), threads) << "every thread ended";
    DWORD after = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &after));
    EXPECT_EQ(after, handles) << "every handle closed";
    EXPECT_EQ(OwnWindow(), nullptr);
    EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 0);
  }
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "the Control Object still holds the object";
  co_.ReleaseObject();
  EXPECT_EQ(canUnloadNow(), S_OK);
  ASSERT_EQ(co_.Create(kProgId), S_OK);  // for TearDown
}

// Dropped without Close, the object still ends its device: no reference of ours keeps the
// Control Object (and so the object and its claim) alive.
TEST_F(Lifecycle, AnApplicationThatDropsTheObjectUnclosedLeavesTheClaimFree) {
  ASSERT_EQ(Open(), OPOS_SUCCESS);
  ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(1000)}), OPOS_SUCCESS);
  EXPECT_EQ(co_.SinkReferences(), 0);
  co_.ReleaseObject();
  EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 0);
  ScopedHandle semaphore(OpenSemaphoreA(SYNCHRONIZE, FALSE, kDevice));
  EXPECT_FALSE(semaphore.valid()) << "the claim semaphore is gone with the object";
  ASSERT_EQ(co_.Create(kProgId), S_OK);
  EXPECT_EQ(Open(), OPOS_SUCCESS);
  EXPECT_EQ(Call(L"ClaimDevice", {Arg::Long(0)}), OPOS_SUCCESS);
  EXPECT_EQ(Call(L"CloseService"), OPOS_SUCCESS);
}

TEST_F(Lifecycle, AnotherProcessHoldsTheClaimUntilItReleases) {
  const std::string names[] = {"SoLifecycleReady", "SoLifecycleRelease", "SoLifecycleDone"};
  ScopedHandle ready(CreateEventA(nullptr, TRUE, FALSE, names[0].c_str()));
  ScopedHandle release(CreateEventA(nullptr, TRUE, FALSE, names[1].c_str()));
  ScopedHandle done(CreateEventA(nullptr, TRUE, FALSE, names[2].c_str()));
  std::string command = "\"" + sotest::BinFolder() + "lifecycle_claimer.exe\" " + kDevice + " " +
                        names[0] + " " + names[1] + " " + names[2];
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  HANDLE waits[] = {ready.get(), process.hProcess};
  ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, kSafetyMs * 4), WAIT_OBJECT_0)
      << "the other process claimed";

  ASSERT_EQ(Open(), OPOS_SUCCESS);
  EXPECT_EQ(Call(L"ClaimDevice", {Arg::Long(0)}), OPOS_E_TIMEOUT);
  EXPECT_EQ(Call(L"ClaimDevice", {Arg::Long(100)}), OPOS_E_TIMEOUT);
  EXPECT_EQ(Prop(kClaimed), 0);
  SetEvent(release.get());
  EXPECT_EQ(Call(L"ClaimDevice", {Arg::Long(-1)}), OPOS_SUCCESS) << "once the other releases";
  EXPECT_EQ(WaitForSingleObject(done.get(), 0), WAIT_OBJECT_0) << "it said it released";
  EXPECT_EQ(Call(L"CloseService"), OPOS_SUCCESS);
  ASSERT_EQ(WaitForSingleObject(process.hProcess, kSafetyMs * 4), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

}  // namespace
