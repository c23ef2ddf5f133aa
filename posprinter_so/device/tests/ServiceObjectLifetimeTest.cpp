// The service object's end: Close and the final release, the Control Object's reference,
// and the events through the Control Object driver.
#include <gtest/gtest.h>

#include <functional>

#include "CommDevice.h"
#include "ControlObjectDriver.h"
#include "ControlObjectStandIn.h"
#include "DeviceClaim.h"
#include "FakeLog.h"
#include "OposCodes.h"
#include "POSPrinter.h"
#include "RecordedServiceObject.h"

namespace {

const std::string kRecording = sotest::RecordingSubPath();
constexpr char kDevice[] = "SoLifetimeTestPrinter";

class ServiceObjectLifetime : public sotest::RecordedServiceObject {
 protected:
  // What OpenService leaves behind: the sub-module bound with a slot, the claim
  // registration and the Control Object's interface. The claim is also taken.
  void OpenAndClaim() {
    ASSERT_NO_FATAL_FAILURE(BindSubModule(kDevice));
    ASSERT_TRUE(so_->ClaimObject()->Register(so_, kDevice, 99, 7, 203));
    ASSERT_TRUE(so_->ClaimObject()->Lock(0, so_));
    so_->Driver().Attach(co_.Sink());
    so_->SetState(2);
  }

  std::vector<RecSubCall> Terminations() const {
    std::vector<RecSubCall> found;
    for (const RecSubCall& call : sub_.Calls()) {
      if (call.exportId == RECSUB_TERMINATE_SUBSO) found.push_back(call);
    }
    return found;
  }

  costandin::ControlObject co_;
};

TEST_F(ServiceObjectLifetime, FinalReleaseWithoutCloseEndsTheDevice) {
  OpenAndClaim();
  ASSERT_EQ(co_.SinkReferences(), 0) << "the Control Object holds us, not we it";
  CDeviceClaim rival(nullptr);
  ASSERT_TRUE(rival.Register(nullptr, kDevice, 0, 0, 0));
  ASSERT_FALSE(rival.Lock(0, nullptr)) << "the service object holds the claim";

  so_->Release();
  so_ = nullptr;

  const auto ended = Terminations();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].slot, 0);
  EXPECT_EQ(sub_.TakenSlots(), 0);
  EXPECT_EQ(co_.SinkReferences(), 0) << "the Control Object's count is as it was";
  EXPECT_TRUE(rival.Lock(0, nullptr)) << "the claim was given back";
  rival.Unlock(nullptr);
}

TEST_F(ServiceObjectLifetime, CloseEndsOnceAndLeavesTheReferenceCountAsFound) {
  OpenAndClaim();
  fakelog::Clear();
  EXPECT_EQ(so_->Close(), OPOS_SUCCESS);
  EXPECT_TRUE(fakelog::LinesContaining(L"Wait for state idle").empty()) << "idle: no wait";
  EXPECT_EQ(so_->Properties().State, 1);
  EXPECT_EQ(co_.SinkReferences(), 0);
  EXPECT_FALSE(so_->Channel()->IsBound());
  EXPECT_EQ(so_->Close(), OPOS_E_CLOSED) << "a closed object answers 101";
  so_->Release();
  so_ = nullptr;
  EXPECT_EQ(Terminations().size(), 1u);
  EXPECT_EQ(co_.SinkReferences(), 0);
}

TEST_F(ServiceObjectLifetime, CloseWaitsThirtyTimesForPendingOutputThenClosesAnyway) {
  OpenAndClaim();
  so_->SetState(3);
  // Queued, with no send thread to take it.
  (void)so_->Channel()->Output(new PrnInputProperty{}, new PrnStationState{}, nullptr,
                               OUTPUT_QUEUE_NORMAL, OUTPUT_COMPLETE_BY_MESSAGE,
                               COutputCompletion{});
  fakelog::Clear();
  EXPECT_EQ(so_->Close(), OPOS_SUCCESS);
  EXPECT_EQ(so_->Properties().State, 1);
  const auto waits = fakelog::LinesContaining(L"[Info    ] Wait for state idle... ");
  ASSERT_EQ(waits.size(), 30u);
  EXPECT_EQ(waits[0].category, 0x10u);
  const auto gaveUp = fakelog::LinesContaining(L"[Info    ] State busy to idle ");
  ASSERT_EQ(gaveUp.size(), 1u);
  EXPECT_EQ(gaveUp[0].category, 0x2u);
  EXPECT_FALSE(so_->Channel()->HasPendingOutput()) << "dropped by Close";
}

// State busy with nothing pending: only the window on the closing thread would set it
// idle, so Close does not wait for that.
TEST_F(ServiceObjectLifetime, CloseDoesNotWaitWhenNothingIsPending) {
  OpenAndClaim();
  so_->SetState(3);
  fakelog::Clear();
  EXPECT_EQ(so_->Close(), OPOS_SUCCESS);
  EXPECT_EQ(so_->Properties().State, 1);
  EXPECT_TRUE(fakelog::LinesContaining(L"Wait for state idle").empty());
  EXPECT_TRUE(fakelog::LinesContaining(L"State busy to idle").empty());
}

TEST_F(ServiceObjectLifetime, AClosedObjectAnswers101ToClaimCloseAndRelease) {
  EXPECT_EQ(so_->Claim(0), OPOS_E_CLOSED);
  EXPECT_EQ(so_->Claim(-1), OPOS_E_CLOSED) << "nothing to wait on: no hang";
  EXPECT_EQ(so_->ReleaseDevice(), OPOS_E_CLOSED);
  EXPECT_EQ(so_->Close(), OPOS_E_CLOSED);
  EXPECT_EQ(so_->Properties().ResultCode, OPOS_E_CLOSED);
  EXPECT_TRUE(sub_.Calls().empty());
}

TEST_F(ServiceObjectLifetime, MethodsOfAnUnclaimedObjectAnswer103) {
  BSTR data = SysAllocString(L"text");
  EXPECT_EQ(so_->PrintNormal(2, data), OPOS_E_NOTCLAIMED);
  EXPECT_EQ(so_->CheckHealth(1), OPOS_E_NOTCLAIMED);
  EXPECT_EQ(so_->Properties().ResultCode, OPOS_E_NOTCLAIMED);
  SysFreeString(data);
}

TEST_F(ServiceObjectLifetime, COFreezeEventsSetsTheFlagOnly) {
  const long resultCode = so_->Properties().ResultCode;
  EXPECT_EQ(so_->COFreezeEvents(5), 0);
  EXPECT_EQ(so_->GetCOFreezeEvents(), 1);
  EXPECT_EQ(so_->COFreezeEvents(0), 0);
  EXPECT_EQ(so_->GetCOFreezeEvents(), 0);
  EXPECT_EQ(so_->Properties().ResultCode, resultCode);
}

// Without SubSODLLPath the sub-module can't be bound: 104 with OpenResult 304, the reason
// in the log, and nothing of the open left.
TEST_F(ServiceObjectLifetime, OpenServiceWithoutASubModuleAnswers104And304) {
  sotest::DeviceKey key("SoLifetimeNoSubModule");
  key.SetString("LogLevelCore", "4");
  BSTR cls = SysAllocString(L"POSPrinter");
  BSTR name = SysAllocString(L"SoLifetimeNoSubModule");
  fakelog::Clear();
  long opened = 0;
  co_.RunOnThread([&] { opened = so_->OpenService(cls, name, co_.Sink()); });
  SysFreeString(cls);
  SysFreeString(name);
  EXPECT_EQ(opened, OPOS_E_NOSERVICE);
  EXPECT_EQ(so_->GetOpenResult(), 304);
  const auto reason = fakelog::LinesContaining(L"[Info    ] Failed to connect with Sub SO DLL.");
  ASSERT_EQ(reason.size(), 1u);
  EXPECT_EQ(reason[0].category, 0x2u);
  EXPECT_EQ(fakelog::LinesContaining(L"[Result  ] 104").size(), 1u);
  EXPECT_EQ(fakelog::LinesContaining(L"[Exit    ] OpenService").size(), 1u);
  EXPECT_EQ(so_->Window(), nullptr);
  EXPECT_FALSE(so_->Driver().IsAttached());
  EXPECT_FALSE(so_->ClaimObject()->IsRegistered());
  EXPECT_EQ(so_->Properties().State, 1);
}

// This program's string table holds "1014004" under 14 and it has no version resource.
TEST(ServiceObjectVersionFallback, ComesFromStringResource14) {
  EXPECT_EQ(CPOSPrinter::GetServiceObjectVersion(), -1);
  CPOSPrinter* so = sotest::NewServiceObject();
  ASSERT_NE(so, nullptr);
  EXPECT_EQ(so->Properties().ServiceObjectVersion, 1014004);
  so->Release();
}

class ControlObjectDriverTest : public ::testing::Test {
 protected:
  costandin::ControlObject co_;
};

// A reference of the driver's own would make a cycle with the Control Object's reference
// to the service object: neither would ever go when the application drops both unclosed.
TEST_F(ControlObjectDriverTest, AttachAndReleaseNeverTouchTheControlObjectsCount) {
  {
    CControlObjectDriver driver;
    driver.Attach(co_.Sink());
    EXPECT_TRUE(driver.IsAttached());
    EXPECT_EQ(co_.SinkReferences(), 0);
    driver.Attach(co_.Sink());
    EXPECT_EQ(co_.SinkReferences(), 0);
    driver.Release();
    EXPECT_FALSE(driver.IsAttached());
    driver.Release();
    EXPECT_EQ(co_.SinkReferences(), 0);
    driver.Attach(co_.Sink());
  }
  EXPECT_EQ(co_.SinkReferences(), 0) << "destruction gives back nothing it never took";
}

TEST_F(ControlObjectDriverTest, AFailedLookUpThenReleaseLeavesTheCountAsFound) {
  co_.RefuseName(L"SOOutputComplete");
  CControlObjectDriver driver;
  driver.Attach(co_.Sink());
  EXPECT_EQ(driver.LookUpEventIds(), DISP_E_UNKNOWNNAME);
  driver.Release();
  EXPECT_EQ(co_.SinkReferences(), 0);
}

TEST_F(ControlObjectDriverTest, EventsArriveWithTheirArgumentsOnTheCallingThread) {
  CControlObjectDriver driver;
  long retryResponse = 11;
  long clearResponse = 11;
  long data = 42;
  BSTR text = SysAllocString(L"status text");
  co_.RunOnThread([&] {
    driver.Attach(co_.Sink());
    ASSERT_EQ(driver.LookUpEventIds(), S_OK);
    EXPECT_EQ(driver.SOError(111, 0, 1, &retryResponse), S_OK);
    co_.SetErrorResponse(12);
    EXPECT_EQ(driver.SOError(114, 1002, 1, &clearResponse), S_OK);
    EXPECT_EQ(driver.SOOutputComplete(5), S_OK);
    EXPECT_EQ(driver.SOStatusUpdate(2001), S_OK);
    EXPECT_EQ(driver.SODirectIO(7, &data, &text), S_OK);
    driver.Release();
  });
  EXPECT_EQ(retryResponse, 11) << "a Control Object that leaves ErrorResponse keeps retry";
  EXPECT_EQ(clearResponse, 12);
  const auto events = co_.Events();
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].name, L"SOError");
  EXPECT_EQ(events[0].numbers, (std::vector<long>{111, 0, 1, 11}));
  EXPECT_EQ(events[1].numbers, (std::vector<long>{114, 1002, 1, 11}));
  EXPECT_EQ(events[2].name, L"SOOutputComplete");
  EXPECT_EQ(events[2].numbers, std::vector<long>{5});
  EXPECT_EQ(events[3].name, L"SOStatusUpdate");
  EXPECT_EQ(events[3].numbers, std::vector<long>{2001});
  EXPECT_EQ(events[4].name, L"SODirectIO");
  EXPECT_EQ(events[4].numbers, (std::vector<long>{7, 42}));
  EXPECT_EQ(events[4].text, L"status text");
  for (const auto& event : events) EXPECT_EQ(event.threadId, co_.ThreadId());
  EXPECT_EQ(co_.SinkReferences(), 0);
  SysFreeString(text);
}

}  // namespace

namespace {

// OpenService for real against the recording sub-module, on the Control Object stand-in's
// thread, then Claim and enabling with one step made to fail at a time.
class ClaimSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sub_.Loaded());
    sub_.Reset();
    key_.SetString("SubSODLLPath", kRecording);
    so_ = sotest::NewServiceObject();
    ASSERT_NE(so_, nullptr);
    BSTR cls = SysAllocString(L"POSPrinter");
    BSTR name = SysAllocString(L"SoClaimStepsPrinter");
    long opened = -1;
    co_.RunOnThread([&] { opened = so_->OpenService(cls, name, co_.Sink()); });
    SysFreeString(cls);
    SysFreeString(name);
    ASSERT_EQ(opened, OPOS_SUCCESS);
  }
  void TearDown() override {
    co_.RunOnThread([&] {
      so_->SetState(2);
      EXPECT_EQ(so_->Close(), OPOS_SUCCESS);
      so_->Release();
    });
    EXPECT_EQ(sub_.TakenSlots(), 0);
  }

  // Sequence numbers of the recorded calls of one export (and service ID).
  std::vector<long> Seq(long exportId, long id = -1) const {
    std::vector<long> found;
    for (const RecSubCall& call : sub_.Calls())
      if (call.exportId == exportId && (id == -1 || call.id == id)) found.push_back(call.sequence);
    return found;
  }
  bool ClaimIsFree() {
    CDeviceClaim rival(nullptr);
    if (!rival.Register(nullptr, "SoClaimStepsPrinter", 0, 0, 0)) return false;
    const bool free = rival.Lock(0, nullptr);
    rival.Unlock(nullptr);
    return free;
  }

  sotest::DeviceKey key_{"SoClaimStepsPrinter"};
  RecordingSubModule sub_{kRecording.c_str()};
  costandin::ControlObject co_;
  CPOSPrinter* so_ = nullptr;
};

TEST_F(ClaimSteps, EachFailingStepIsUndoneAndTheNextClaimSucceeds) {
  const struct {
    const char* step;
    std::function<void(bool fail)> arrange;
    long result;
    bool disconnects;
  } rows[] = {
      {"connectPrinter", [this](bool fail) {
         sub_.SetResult(RECSUB_CONNECT_PRINTER, 0, fail ? 107 : 0);
       }, 107, false},
      {"an event", [this](bool fail) {
         so_->Channel()->FailEventCreationForTest(fail ? 1 : -1);
       }, 107, true},
      {"a worker thread", [this](bool fail) {
         so_->Channel()->FailThreadStartForTest(fail ? 2 : -1);
       }, 106, true},
      {"activation (1001)", [this](bool fail) {
         sub_.SetResult(RECSUB_OTHER_METHOD, 1001, fail ? 111 : 0);
       }, 111, true},
  };
  for (const auto& row : rows) {
    sub_.Reset();
    row.arrange(true);
    EXPECT_EQ(so_->Claim(0), row.result) << row.step;
    EXPECT_EQ(so_->Properties().ResultCode, row.result) << row.step;
    EXPECT_EQ(so_->Properties().Claimed, 0) << row.step;
    EXPECT_FALSE(so_->Channel()->IsAnyThreadRunning()) << row.step;
    EXPECT_TRUE(ClaimIsFree()) << row.step;
    const auto disconnects = Seq(RECSUB_DISCONNECT_PRINTER);
    ASSERT_EQ(disconnects.size(), row.disconnects ? 1u : 0u) << row.step;
    // Threads stop before the printer closes: no status poll after the disconnect.
    for (long poll : Seq(RECSUB_OTHER_METHOD, 1012)) {
      EXPECT_LT(poll, disconnects.empty() ? 1000000 : disconnects[0]) << row.step;
    }
    if (row.result == OPOS_E_NOHARDWARE && row.disconnects) {
      EXPECT_TRUE(Seq(RECSUB_OTHER_METHOD, 1012).empty()) << "no thread started on no event";
    }
    row.arrange(false);
    EXPECT_EQ(so_->Claim(0), OPOS_SUCCESS) << row.step;
    EXPECT_EQ(so_->ReleaseDevice(), OPOS_SUCCESS) << row.step;
  }
}

TEST_F(ClaimSteps, AFailedEnableLeavesTheDeviceDisabledWithoutAnEventThread) {
  ASSERT_EQ(so_->Claim(0), OPOS_SUCCESS);
  so_->FailNextEventThreadForTest();
  sub_.Reset();
  so_->SetPropertyNumber(3, 1);
  EXPECT_EQ(so_->Properties().ResultCode, OPOS_E_NOHARDWARE);
  EXPECT_EQ(so_->GetDeviceEnabled(), 0);
  EXPECT_TRUE(Seq(RECSUB_OTHER_METHOD, 1024).empty()) << "nothing enabled without its thread";

  sub_.SetResult(RECSUB_OTHER_METHOD, 1024, 111);
  so_->SetPropertyNumber(3, 1);
  EXPECT_EQ(so_->Properties().ResultCode, 111);
  EXPECT_EQ(so_->GetDeviceEnabled(), 0);
  EXPECT_FALSE(so_->IsEventThreadRunning());
  EXPECT_FALSE(so_->ClaimObject()->IsEnabled());

  sub_.SetResult(RECSUB_OTHER_METHOD, 1024, 0);
  so_->SetPropertyNumber(3, 1);
  EXPECT_EQ(so_->Properties().ResultCode, OPOS_SUCCESS);
  EXPECT_TRUE(so_->IsEventThreadRunning());
  EXPECT_TRUE(so_->ClaimObject()->IsEnabled());
}

TEST_F(ClaimSteps, DisableAndReleaseWhileBusyAnswer113AndSetIdle) {
  ASSERT_EQ(so_->Claim(0), OPOS_SUCCESS);
  so_->SetPropertyNumber(3, 1);
  ASSERT_EQ(so_->GetDeviceEnabled(), 1);
  so_->SetState(3);
  so_->SetPropertyNumber(3, 0);
  EXPECT_EQ(so_->Properties().ResultCode, OPOS_E_BUSY);
  EXPECT_EQ(so_->GetDeviceEnabled(), 1);
  EXPECT_EQ(so_->GetState(), 2);
  so_->SetState(4);
  EXPECT_EQ(so_->ReleaseDevice(), OPOS_E_BUSY);
  EXPECT_EQ(so_->GetClaimed(), 1);
  EXPECT_EQ(so_->GetState(), 2);
  EXPECT_EQ(so_->ReleaseDevice(), OPOS_SUCCESS);
  EXPECT_EQ(so_->GetDeviceEnabled(), 0) << "released devices are disabled first";
  EXPECT_EQ(Seq(RECSUB_OTHER_METHOD, 1002).size(), 1u);
}

}  // namespace

namespace {

// The property writes whose effect goes through the sub-module: CharacterSet (service
// 1008), RecLineChars (1020) and PageModeStation (1021, its snapshot applied).
TEST_F(ClaimSteps, PropertyWritesReachTheSubModule) {
  ASSERT_EQ(so_->Claim(0), OPOS_SUCCESS);
  so_->SetPropertyNumber(3, 1);
  ASSERT_EQ(so_->GetDeviceEnabled(), 1);
  CPropertyCache& p = so_->MutableProperties();
  p.CharacterSetList = "437,932";
  p.Caps.capRecPresent = 1;
  p.Caps.capRecPageMode = 1;
  p.RecLineCharsList = "42,56";
  p.RecLineWidth = 576;
  sub_.Reset();

  so_->SetPropertyNumber(8002, 932);
  EXPECT_EQ(p.ResultCode, OPOS_SUCCESS);
  EXPECT_EQ(p.CharacterSet, 932);
  ASSERT_EQ(Seq(RECSUB_OTHER_METHOD, 1008).size(), 1u);
  sub_.SetResult(RECSUB_OTHER_METHOD, 1008, 111);
  so_->SetPropertyNumber(8002, 437);
  EXPECT_EQ(p.ResultCode, OPOS_E_ILLEGAL) << "the sub-module refused it";
  EXPECT_EQ(p.CharacterSet, 932);

  so_->SetPropertyNumber(8016, 42);
  EXPECT_EQ(p.ResultCode, OPOS_SUCCESS);
  for (const RecSubCall& call : sub_.Calls()) {
    if (call.exportId != RECSUB_OTHER_METHOD || call.id != 1020) continue;
    EXPECT_EQ(call.words[0], 2) << "receipt";
    EXPECT_EQ(call.words[1], 42);
    EXPECT_EQ(call.words[2], 576) << "RecLineWidth in dots";
  }
  ASSERT_EQ(Seq(RECSUB_OTHER_METHOD, 1020).size(), 1u);

  so_->SetPropertyNumber(8049, 2);
  EXPECT_EQ(p.ResultCode, OPOS_SUCCESS);
  EXPECT_EQ(p.PageModeStation, 2);
  ASSERT_EQ(Seq(RECSUB_OTHER_METHOD, 1021).size(), 1u);
  EXPECT_EQ(Seq(RECSUB_OTHER_METHOD, 1015).size(), 1u) << "its snapshot released";
}

}  // namespace

namespace {

// The receive thread writes the status words of its start record back as it ends; Release
// keeps what the properties held before the threads stopped.
TEST_F(ClaimSteps, ReleaseKeepsThePropertiesTheEndingThreadsWouldOverwrite) {
  ASSERT_EQ(so_->Claim(0), OPOS_SUCCESS);
  so_->SetPropertyNumber(3, 1);
  ASSERT_EQ(so_->GetDeviceEnabled(), 1);
  CPropertyCache& p = so_->MutableProperties();
  p.CoverOpen = 1;
  p.RecEmpty = 1;
  p.MapMode = 3;
  EXPECT_EQ(so_->ReleaseDevice(), OPOS_SUCCESS);
  EXPECT_EQ(p.CoverOpen, 1);
  EXPECT_EQ(p.RecEmpty, 1);
  EXPECT_EQ(p.MapMode, 3);
  EXPECT_EQ(p.PowerState, 2000) << "not among the saved words";
}

}  // namespace
