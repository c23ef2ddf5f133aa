// CheckHealth and DirectIO while asynchronous output waits for the answer to its error: the
// service object runs in this process on the stand-in Control Object's thread, against
// prennik.dll and the simulated printer, so the test can reach its State and queues.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

#include "CommDevice.h"
#include "DeviceClaim.h"
#include "OpenedDevice.h"
#include "OposCodes.h"

namespace {

constexpr char kDevice[] = "SoHealthBusyDevice";
constexpr char kPrinter[] = "SoHealthBusyPrinter";
constexpr long kPidxAsyncMode = 8001;
constexpr long kStateBusy = 3;

using sotest::Bstr;
using sotest::WaitUntil;

std::string Written() { return TbxSimWritten(kPrinter); }

class HealthBusy : public sotest::OpenedDevice {
 protected:
  HealthBusy() : OpenedDevice(kDevice, kPrinter) {}

  void TearDown() override {
    co_.SetErrorResponse(12);  // clear what still waits
    CloseWhenIdle(300);
  }

  // An asynchronous output whose error (cover open) waits, unfired, for the application.
  void LeaveOutputWaitingOnItsError() {
    ASSERT_NO_FATAL_FAILURE(OpenCover());
    ASSERT_EQ(SetNumber(kPidxFreezeEvents, 1), 0);
    ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
    Bstr data("Waiting\n");
    ASSERT_EQ(Call([&] { return so_->PrintNormal(2, data); }), 0);
    ASSERT_TRUE(WaitUntil([&] { return so_->QueuedEventCount() == 1; })) << "error queued";
    ASSERT_EQ(Number(kPidxState), kStateBusy);
  }

  // Runs `call` on the Control Object's thread; a call still blocked after 30 s is
  // released by disabling the claim (which ends the send thread's wait) and reported.
  long BoundedCall(const std::function<long()>& call, bool* finished) {
    auto future = std::async(std::launch::async, [&] { return Call(call); });
    *finished = future.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    if (!*finished) so_->ClaimObject()->SetEnabled(false);
    return future.get();
  }
};

TEST_F(HealthBusy, CheckHealthWhileBusyIsRefusedInBothModes) {
  LeaveOutputWaitingOnItsError();
  for (long async : {1L, 0L}) {
    ASSERT_EQ(SetNumber(kPidxAsyncMode, async), 0);
    for (long level : {1L, 2L}) {
      SCOPED_TRACE(level);
      EXPECT_EQ(Call([&] { return so_->CheckHealth(level); }), OPOS_E_BUSY);
    }
  }
  EXPECT_EQ(Written().find("HCheck"), std::string::npos);
}

// State may read idle while asynchronous output still waits for its error's answer (a late
// idle notice in the earlier life of the service object). A synchronous DirectIO that
// prints then waited behind that output, whose error only the blocked thread can fire.
TEST_F(HealthBusy, ASynchronousDirectIOBehindWaitingOutputIsRefused) {
  LeaveOutputWaitingOnItsError();
  Call([&] {
    so_->SetState(kStateIdle);
    return 0L;
  });
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 0), 0);
  long data = 3;
  Bstr text("");
  bool finished = false;
  const long result =
      BoundedCall([&] { return so_->DirectIO(201, &data, text.Address()); }, &finished);
  ASSERT_TRUE(finished) << "the synchronous DirectIO deadlocked";
  EXPECT_EQ(result, OPOS_E_BUSY);
  // Asynchronous, it would not wait: the sub-module's own rule decides (State idle here).
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  EXPECT_EQ(Call([&] { return so_->DirectIO(201, &data, text.Address()); }), OPOS_SUCCESS);
}

// A disable that answered 113 set State idle while the output still waits for its error's
// answer, and the cover closed again, so the call itself could print. A call that waits for
// the printer on this thread, whatever AsyncMode says, is refused instead of waiting behind
// that output for good.
TEST_F(HealthBusy, ACallThatWaitsAfterADisableAnswered113IsRefused) {
  LeaveOutputWaitingOnItsError();
  ASSERT_EQ(SetNumber(kPidxDeviceEnabled, 0), OPOS_E_BUSY);
  ASSERT_EQ(Number(kPidxState), kStateIdle);
  TbxSim_SetCoverOpen(kPrinter, FALSE);
  ASSERT_TRUE(WaitUntil([&] { return Number(kPidxCoverOpen) == 0; }));
  long data = 3;
  Bstr text("");
  const struct {
    const char* call;
    long async;
    std::function<long()> run;
  } rows[] = {
      {"CheckHealth(2)", 1, [&] { return so_->CheckHealth(2); }},
      {"CheckHealth(2)", 0, [&] { return so_->CheckHealth(2); }},
      {"DirectIO(201)", 0, [&] { return so_->DirectIO(201, &data, text.Address()); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.call) + ", AsyncMode " + std::to_string(row.async));
    ASSERT_EQ(SetNumber(kPidxAsyncMode, row.async), 0);
    bool finished = false;
    const long result = BoundedCall(row.run, &finished);
    ASSERT_TRUE(finished) << "the call waited behind the output";
    EXPECT_EQ(result, OPOS_E_BUSY);
  }
  EXPECT_EQ(Written().find("HCheck"), std::string::npos);
}

}  // namespace
