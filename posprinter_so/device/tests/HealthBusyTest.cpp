// CheckHealth and DirectIO while asynchronous output waits for the answer to its error: the
// service object runs in this process on the stand-in Control Object's thread, against
// prennik.dll and the simulated printer, so the test can reach its State and queues.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

#include "CommDevice.h"
#include "ControlObjectStandIn.h"
#include "DeviceClaim.h"
#include "OposCodes.h"
#include "POSPrinter.h"
#include "TbxSim.h"
#include "TestPrinter.h"
#include "TestSupport.h"

namespace {

constexpr char kDevice[] = "SoHealthBusyDevice";
constexpr char kPrinter[] = "SoHealthBusyPrinter";
constexpr long kPidxDeviceEnabled = 3, kPidxFreezeEvents = 4, kPidxState = 9,
               kPidxCoverOpen = 8003, kPidxAsyncMode = 8001;
constexpr long kStateIdle = 2, kStateBusy = 3;

class Bstr {
 public:
  explicit Bstr(const char* text) {
    std::wstring wide(text, text + strlen(text));
    m_bstr = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  ~Bstr() { SysFreeString(m_bstr); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* Address() { return &m_bstr; }
  operator BSTR() const { return m_bstr; }

 private:
  BSTR m_bstr;
};

std::string Written() { return TbxSimWritten(kPrinter); }

// Waits, bounded, until the condition holds.
bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 3000; ++i) {
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

class HealthBusy : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(AddTestPrinter(kPrinter, &error)) << error;
    key_.SetString("SubSODLLPath", sotest::BinFolder() + "prennik.dll");
    key_.SetString("DriverName", kPrinter);
    key_.SetString("PaperSize", "1", /*terminated=*/false);
    TbxSim_Reset(kPrinter);
    so_ = sotest::NewServiceObject();
    ASSERT_NE(so_, nullptr);
    Bstr cls("POSPrinter"), name(kDevice);
    ASSERT_EQ(Call([&] { return so_->OpenService(cls, name, co_.Sink()); }), 0);
    ASSERT_EQ(Call([&] { return so_->Claim(5000); }), 0);
    ASSERT_EQ(SetNumber(kPidxDeviceEnabled, 1), 0);
    TbxSim_ClearWritten(kPrinter);
  }

  void TearDown() override {
    if (!so_) return;
    TbxSim_SetCoverOpen(kPrinter, FALSE);
    co_.SetErrorResponse(12);  // clear what still waits
    (void)SetNumber(kPidxFreezeEvents, 0);
    WaitUntil([&] { return Number(kPidxState) == kStateIdle; });
    EXPECT_EQ(Call([&] { return so_->Close(); }), 0);
    so_->Release();
  }

  long Call(const std::function<long()>& call) {
    long result = -1;
    co_.RunOnThread([&] { result = call(); });
    return result;
  }
  long Number(long pidx) { return Call([&] { return so_->GetPropertyNumber(pidx); }); }
  long SetNumber(long pidx, long value) {
    return Call([&] {
      so_->SetPropertyNumber(pidx, value);
      return so_->Properties().ResultCode;
    });
  }

  // An asynchronous output whose error (cover open) waits, unfired, for the application.
  void LeaveOutputWaitingOnItsError() {
    TbxSim_SetCoverOpen(kPrinter, TRUE);
    ASSERT_TRUE(WaitUntil([&] { return Number(kPidxCoverOpen) == 1; }));
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

  sotest::DeviceKey key_{kDevice};
  costandin::ControlObject co_;
  CPOSPrinter* so_ = nullptr;
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

}  // namespace
