// The drawer driven through tollek.dll by the fenwode stand-in against the simulated
// printer: the drawer-kick bytes, OpenDrawer's results, WaitForDrawerClose, status events,
// CheckHealth, and the printer mutex shared with the printer sub-module.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "DrawerCore.h"
#include "DrawerRegistry.h"
#include "ScopedHandle.h"
#include "TbxSim.h"

namespace {

using Bytes = std::vector<BYTE>;
using fenwode::DrawerCore;
using fenwode::MethodCall;
using namespace std::chrono_literals;

// The wait has no time limit of its own: a test only checks that it has not ended yet.
constexpr auto kStillWaiting = 300ms;

class DrawerFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = std::string("DrwFlow.") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    TbxSim_Reset(name_.c_str());
    TbxSim_SetMemorySwitch(name_.c_str(), 5, 0x04);
    TbxSim_SetMemorySwitch(name_.c_str(), 13, 0x04);
    Configure({});
    ASSERT_TRUE(core_.Load());
  }
  void TearDown() override { drwtest::DeleteDevice(name_); }

  void Configure(std::vector<drwtest::RegValue> values) {
    values.push_back({"DriverName", name_});
    values.push_back({"SendTimeout", "1000"});
    drwtest::WriteDevice(name_, values);
  }
  // Open, claim and enable; the first status reports online and the drawer closed.
  void Start(DrawerCore& core) {
    ASSERT_EQ(0, core.Open(name_.c_str()));
    ASSERT_EQ(0, core.Claim());
    ASSERT_EQ(0, core.Enable());
    ASSERT_TRUE(core.WaitForEvent(0));
  }
  // Bounded: the call on another thread has entered the drawer's execute export.
  static bool InExecute(const DrawerCore& core) {
    for (int i = 0; i < 1000 && core.ExecutesRunning() == 0; ++i) Sleep(10);
    return core.ExecutesRunning() != 0;
  }
  Bytes Written() {
    return TbxSimWrittenBytes(name_.c_str());
  }
  std::vector<long> Codes() {
    std::vector<long> codes;
    for (const fenwode::Event& e : core_.Events()) codes.push_back(e.code);
    return codes;
  }

  DrawerCore core_;
  std::string name_;
};

// DrawerNo and PulseTime of the device entry select connector and pulse.
TEST_F(DrawerFlowTest, OpenDrawerSendsTheKickOfTheDeviceEntry) {
  const struct {
    const char* drawerNo;
    const char* pulseTime;
    Bytes bytes;
  } rows[] = {
      {"1", "1", {0x10, 0x14, 0x01, 0x00, 0x01}},
      {"2", "8", {0x10, 0x14, 0x01, 0x01, 0x08}},
      {"3", "2", {0x10, 0x14, 0x01, 0x02}},
      {"2", "9", {0x10, 0x14, 0x01, 0x01, 0x01}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.drawerNo) + "/" + row.pulseTime);
    Configure({{"DrawerNo", row.drawerNo}, {"PulseTime", row.pulseTime}});
    DrawerCore core;
    ASSERT_TRUE(core.Load());
    ASSERT_EQ(0, core.Open(name_.c_str()));
    ASSERT_EQ(0, core.Claim());
    TbxSim_ClearWritten(name_.c_str());
    const MethodCall call = core.OpenDrawer();
    EXPECT_EQ(0, call.result);
    EXPECT_EQ(0, call.record.resultCode);
    EXPECT_EQ(row.bytes, Written());
  }
}

TEST_F(DrawerFlowTest, StatusBecomesDrawerAndPowerEvents) {
  Start(core_);
  EXPECT_EQ((std::vector<long>{2001, 0}), Codes()) << "first word: online, drawer closed";
  EXPECT_EQ(2001, core_.Events()[1].state.powerState);
  core_.ClearEvents();
  ASSERT_EQ(0, core_.OpenDrawer().result);
  ASSERT_TRUE(core_.WaitForEvent(1));
  EXPECT_EQ(1, core_.Events().back().state.drawerOpened);
  TbxSim_SetOnline(name_.c_str(), FALSE);
  ASSERT_TRUE(core_.WaitForEvent(2004));
  TbxSim_SetOnline(name_.c_str(), TRUE);
  TbxSim_SetDrawerOpen(name_.c_str(), FALSE);
  ASSERT_TRUE(core_.WaitForEvent(0));
  EXPECT_EQ((std::vector<long>{1, 2004, 2001, 0}), Codes());
}

TEST_F(DrawerFlowTest, OpenDrawerResults) {
  Start(core_);
  const struct {
    const char* why;
    const char* entry;
    LONG code;
    long result;
  } rows[] = {
      {"write timed out", "DirectIOEx", -70, 112},
      {"printer went offline", "DirectIOEx", -110, 107},
      {"other SDK failure", "DirectIOEx", -1, 106},
      {"printer lock timed out", "LockPrinter", -70, 112},
  };
  for (const auto& row : rows) {
    TbxSim_FailNext(name_.c_str(), row.entry, row.code, 1);
    const MethodCall call = core_.OpenDrawer();
    EXPECT_EQ(row.result, call.result) << row.why;
    EXPECT_EQ(row.result, call.record.resultCode) << row.why;
  }
  // Once the drawer knows the printer is offline nothing is sent.
  TbxSim_SetOnline(name_.c_str(), FALSE);
  ASSERT_TRUE(core_.WaitForEvent(2004));
  TbxSim_ClearWritten(name_.c_str());
  EXPECT_EQ(107, core_.OpenDrawer().result);
  EXPECT_TRUE(Written().empty());
}

TEST_F(DrawerFlowTest, WaitForDrawerCloseEndsWhenTheDrawerCloses) {
  Start(core_);
  const MethodCall closed = core_.WaitForDrawerClose();
  EXPECT_EQ(0, closed.result) << "already closed: at once";
  EXPECT_EQ(1, closed.record.waitFlag) << "no wait, the flag is left";

  ASSERT_EQ(0, core_.OpenDrawer().result);
  ASSERT_TRUE(core_.WaitForEvent(1));
  auto wait = std::async(std::launch::async, [&] { return core_.WaitForDrawerClose(); });
  // Closed before the call got there, it would end at once, not by the wait.
  ASSERT_TRUE(InExecute(core_));
  EXPECT_EQ(std::future_status::timeout, wait.wait_for(kStillWaiting));
  TbxSim_SetDrawerOpen(name_.c_str(), FALSE);
  const MethodCall call = wait.get();
  EXPECT_EQ(0, call.result);
  EXPECT_EQ(0, call.record.resultCode);
  EXPECT_EQ(0, call.record.waitFlag) << "closed while waiting";
}

TEST_F(DrawerFlowTest, WaitForDrawerCloseEndsOfflineOrWhenDisabled) {
  Start(core_);
  ASSERT_EQ(0, core_.OpenDrawer().result);
  ASSERT_TRUE(core_.WaitForEvent(1));
  auto offline = std::async(std::launch::async, [&] { return core_.WaitForDrawerClose(); });
  ASSERT_TRUE(InExecute(core_));
  EXPECT_EQ(std::future_status::timeout, offline.wait_for(kStillWaiting));
  TbxSim_SetOnline(name_.c_str(), FALSE);
  EXPECT_EQ(107, offline.get().result);
  EXPECT_EQ(107, core_.WaitForDrawerClose().result) << "offline: at once";

  core_.ClearEvents();
  TbxSim_SetOnline(name_.c_str(), TRUE);
  ASSERT_TRUE(core_.WaitForEvent(2001));
  // Disabled while waiting: no status will come, the drawer is not known closed.
  auto disabled = std::async(std::launch::async, [&] { return core_.WaitForDrawerClose(); });
  ASSERT_TRUE(InExecute(core_));
  EXPECT_EQ(std::future_status::timeout, disabled.wait_for(kStillWaiting));
  ASSERT_EQ(0, core_.Disable());
  EXPECT_EQ(111, disabled.get().result);
  EXPECT_EQ(111, core_.WaitForDrawerClose().result) << "not activated: refused at once";
}

// Each drawer has its own wait: another drawer's close does not end it.
TEST_F(DrawerFlowTest, AnotherDrawersCloseDoesNotEndTheWait) {
  Start(core_);
  const std::string other = name_ + ".B";
  TbxSim_Reset(other.c_str());
  TbxSim_SetMemorySwitch(other.c_str(), 5, 0x04);
  TbxSim_SetMemorySwitch(other.c_str(), 13, 0x04);
  TbxSim_SetDrawerOpen(other.c_str(), TRUE);
  drwtest::WriteDevice(other, {{"DriverName", other}});
  DrawerCore second;
  ASSERT_TRUE(second.Load());
  ASSERT_EQ(0, second.Open(other.c_str()));
  ASSERT_EQ(0, second.Claim());
  ASSERT_EQ(0, second.Enable());
  ASSERT_TRUE(second.WaitForEvent(1));

  ASSERT_EQ(0, core_.OpenDrawer().result);
  ASSERT_TRUE(core_.WaitForEvent(1));
  auto wait = std::async(std::launch::async, [&] { return core_.WaitForDrawerClose(); });
  ASSERT_TRUE(InExecute(core_));
  TbxSim_SetDrawerOpen(other.c_str(), FALSE);
  ASSERT_TRUE(second.WaitForEvent(0));
  EXPECT_EQ(std::future_status::timeout, wait.wait_for(kStillWaiting));
  TbxSim_SetDrawerOpen(name_.c_str(), FALSE);
  EXPECT_EQ(0, wait.get().result);
  drwtest::DeleteDevice(other);
}

TEST_F(DrawerFlowTest, CheckHealthLevels) {
  Start(core_);
  const struct {
    long level;
    bool allowed;
    long result;
    const char* text;
    bool kicks;
  } rows[] = {
      {1, true, 0, "Internal HCheck: Successful", false},
      {2, true, 0, "External HCheck : Successful", true},
      {2, false, 102, "External HCheck : Failure", false},
      {3, true, 0, "Interactive HCheck : Successful", true},
      {3, false, 102, "Interactive HCheck : Failure", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.level) + (row.allowed ? " allowed" : " not allowed"));
    TbxSim_ClearWritten(name_.c_str());
    MethodCall call = core_.CheckHealth(row.level, row.allowed);
    EXPECT_EQ(row.result, call.result);
    EXPECT_EQ(row.result, call.record.resultCode);
    ASSERT_NE(nullptr, call.record.text);
    EXPECT_STREQ(row.text, call.record.text);
    EXPECT_EQ(row.kicks, !Written().empty());
    EXPECT_EQ(0, core_.ReleaseText(call.record.text));
  }
  EXPECT_EQ(106, core_.CheckHealth(4, true).result) << "refused by the pre phase";
  TbxSim_SetOnline(name_.c_str(), FALSE);
  ASSERT_TRUE(core_.WaitForEvent(2004));
  MethodCall internal = core_.CheckHealth(1, true);
  EXPECT_EQ(0, internal.result) << "the internal check does not reach the printer";
  MethodCall external = core_.CheckHealth(2, true);
  EXPECT_EQ(107, external.result);
  EXPECT_STREQ("External HCheck : Failure", external.record.text);
  for (char* text : {internal.record.text, external.record.text}) (void)core_.ReleaseText(text);
}

// The printer sub-module writes under the same named mutex: a pulse waits for it.
TEST_F(DrawerFlowTest, OpenDrawerWaitsWhileThePrinterHoldsItsMutex) {
  Start(core_);
  TbxSim_ClearWritten(name_.c_str());
  ScopedHandle mutex(
      CreateMutexA(nullptr, FALSE, ("KVR_OPOS_PRINTERDRIVERMUTEX." + name_).c_str()));
  ASSERT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError()) << "the drawer's mutex, by its name";
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.get(), 0));
  auto open = std::async(std::launch::async, [&] { return core_.OpenDrawer(); });
  EXPECT_EQ(std::future_status::timeout, open.wait_for(kStillWaiting));
  EXPECT_TRUE(Written().empty());
  ReleaseMutex(mutex.get());
  EXPECT_EQ(0, open.get().result);
  EXPECT_EQ((Bytes{0x10, 0x14, 0x01, 0x00, 0x01}), Written());
}

TEST_F(DrawerFlowTest, ConnectAndEnableFailures) {
  ASSERT_EQ(0, core_.Open(name_.c_str()));
  TbxSim_SetOnline(name_.c_str(), FALSE);
  EXPECT_EQ(107, core_.Claim());
  TbxSim_SetOnline(name_.c_str(), TRUE);
  ASSERT_EQ(0, core_.Claim());
  TbxSim_SetMemorySwitch(name_.c_str(), 5, 0x00);
  TbxSim_LockMemorySwitches(name_.c_str(), TRUE);
  EXPECT_EQ(111, core_.Enable()) << "switches the printer does not take";
  EXPECT_EQ(0, TbxSim_GetCallCount(name_.c_str(), "SetStatusBackFunction"));
  TbxSim_LockMemorySwitches(name_.c_str(), FALSE);
  EXPECT_EQ(0, core_.Enable());
  EXPECT_TRUE(core_.WaitForEvent(2001));
  // Enabled again: the core's one status thread goes on serving the drawer.
  EXPECT_EQ(0, core_.Enable());
  TbxSim_SetDrawerOpen(name_.c_str(), TRUE);
  EXPECT_TRUE(core_.WaitForEvent(1));
}

// A core that closes without disabling: the printer is let go and its status thread's
// callbacks end; the slot serves the next device with an empty queue.
TEST_F(DrawerFlowTest, CloseWithoutDisableLetsThePrinterGo) {
  Start(core_);
  const long slot = core_.slot();
  const DrwEntryPoints& x = core_.exports();
  EXPECT_EQ(0, core_.CloseWithoutDisable());
  EXPECT_EQ(0, TbxSim_GetOpenHandleCount(name_.c_str()));
  TbxSim_SetDrawerOpen(name_.c_str(), TRUE);  // no instance is left to hear of it

  DrawerCore next;
  ASSERT_TRUE(next.Load());
  ASSERT_EQ(0, next.Open(name_.c_str()));
  EXPECT_EQ(slot, next.slot());
  DrwStateWords record{-9, -9, -9};
  DrwProcessStatusArgs block{&record};
  EXPECT_EQ(0, x.otherMethod(1012, reinterpret_cast<long*>(&block), slot));
  EXPECT_EQ(-9, record.powerState) << "nothing queued for the new instance";
}

}  // namespace
