// The drawer's printer channel against the simulated printer: loading the SDK, connect and
// the printer mutex, writes and their codes, framed reads, and the memory-switch check of
// activation.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "CommPrinterDriver.h"
#include "LogCapture.h"
#include "LogContext.h"
#include "OposCodes.h"
#include "ScopedHandle.h"
#include "TbxSim.h"

namespace {

using Bytes = std::vector<BYTE>;
using tollek::CCommPrinterDriver;

long WINAPI CountingCallback(long) { return 0; }

class DrawerChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    printer_ = std::string("DrwChan.") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
    TbxSim_Reset(printer_.c_str());
    ASSERT_TRUE(channel_.LoadPrinterDriverDLL("TbxQdApi.dll"));
  }
  Bytes Written() {
    return TbxSimWrittenBytes(printer_.c_str());
  }
  LONG Calls(const char* entry) { return TbxSim_GetCallCount(printer_.c_str(), entry); }
  bool MutexExists() {
    ScopedHandle m(OpenMutexA(SYNCHRONIZE, FALSE, MutexName().c_str()));
    return m.valid();
  }
  std::string MutexName() { return "KVR_OPOS_PRINTERDRIVERMUTEX." + printer_; }

  drwtest::LogCapture log_;
  tollek::CLogContext context_;
  CCommPrinterDriver channel_{context_};
  std::string printer_;
};

TEST_F(DrawerChannelTest, LoadNeedsEveryEntryPoint) {
  CCommPrinterDriver other(context_);
  EXPECT_FALSE(other.LoadPrinterDriverDLL("DrwNoSuchSdk.dll"));
  EXPECT_FALSE(other.LoadPrinterDriverDLL("kernel32.dll"));  // loads, but no SDK entries
  EXPECT_TRUE(log_.Has("GetProcAddress failed. OpenMonPrinterA"));
  EXPECT_EQ(OPOS_E_FAILURE, other.ConnectPrinter(printer_.c_str())) << "nothing was kept";
  EXPECT_TRUE(other.UnloadPrinterDriverDLL());
}

TEST_F(DrawerChannelTest, ConnectCreatesTheSharedMutexAndDisconnectDeletesIt) {
  ASSERT_EQ(0, channel_.ConnectPrinter(printer_.c_str()));
  EXPECT_TRUE(MutexExists());
  EXPECT_TRUE(log_.Has("PFN_OPEN_PRINTER Success i_hdl = "));
  EXPECT_TRUE(log_.Has("Status = 0x00008100"));
  EXPECT_TRUE(channel_.DisconnectPrinter());
  EXPECT_FALSE(MutexExists());
  EXPECT_EQ(0, TbxSim_GetOpenHandleCount(printer_.c_str()));
  EXPECT_TRUE(log_.Has("PFN_CLOSE_PRINTER Success"));
}

TEST_F(DrawerChannelTest, FailedConnectKeepsNeitherMutexNorHandle) {
  const struct {
    const char* why;
    const char* entry;  // injected failure, or null for an offline printer
    LONG code;
    long result;
    const char* logged;
  } rows[] = {
      {"offline", nullptr, 0, OPOS_E_NOHARDWARE, "Offline detected."},
      {"open refused", "OpenMonPrinterA", -1, OPOS_E_FAILURE,
       "PFN_OPEN_PRINTER DRIVER_ERROR_CODE = -1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    TbxSim_Reset(printer_.c_str());
    if (row.entry) TbxSim_FailNext(printer_.c_str(), row.entry, row.code, 1);
    else TbxSim_SetOnline(printer_.c_str(), FALSE);
    EXPECT_EQ(row.result, channel_.ConnectPrinter(printer_.c_str()));
    EXPECT_TRUE(log_.Has(row.logged));
    EXPECT_FALSE(MutexExists());
    EXPECT_EQ(0, TbxSim_GetOpenHandleCount(printer_.c_str()));
  }
}

TEST_F(DrawerChannelTest, WriteResultCodes) {
  ASSERT_EQ(0, channel_.ConnectPrinter(printer_.c_str()));
  const BYTE kick[] = {0x10, 0x14, 0x01, 0x00, 0x01};
  const struct {
    const char* why;
    const char* entry;
    LONG code;
    long result;
    bool written;
  } rows[] = {
      {"success", nullptr, 0, OPOS_SUCCESS, true},
      {"offline", "DirectIOEx", -110, OPOS_E_NOHARDWARE, false},
      {"timeout", "DirectIOEx", -70, OPOS_E_TIMEOUT, false},
      {"other SDK failure", "DirectIOEx", -1, OPOS_E_ILLEGAL, false},
      {"printer lock timed out", "LockPrinter", -70, OPOS_E_TIMEOUT, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    TbxSim_ClearWritten(printer_.c_str());
    const LONG locks = Calls("LockPrinter"), unlocks = Calls("UnlockPrinter");
    if (row.entry) TbxSim_FailNext(printer_.c_str(), row.entry, row.code, 1);
    EXPECT_EQ(row.result, channel_.WritePrinterData(kick, sizeof kick, 1000));
    EXPECT_EQ(row.written ? Bytes(kick, kick + sizeof kick) : Bytes(), Written());
    EXPECT_EQ(1, Calls("LockPrinter") - locks);
    // Unlocked after every lock that was granted, and only then.
    const bool locked = !row.entry || std::string(row.entry) != "LockPrinter";
    EXPECT_EQ(locked ? 1 : 0, Calls("UnlockPrinter") - unlocks);
  }
  EXPECT_EQ(OPOS_E_ILLEGAL, channel_.WritePrinterData(nullptr, 5, 1000));
  EXPECT_EQ(OPOS_E_ILLEGAL, channel_.WritePrinterData(kick, 0, 1000));
  (void)channel_.DisconnectPrinter();
  EXPECT_EQ(OPOS_E_ILLEGAL, channel_.WritePrinterData(kick, sizeof kick, 1000));
  EXPECT_TRUE(log_.Has("The printer is not connected."));
}

// The printer sub-module takes the same named mutex for its own writes: while it holds it,
// a drawer pulse waits.
TEST_F(DrawerChannelTest, WriteWaitsWhileThePrinterMutexIsHeld) {
  ASSERT_EQ(0, channel_.ConnectPrinter(printer_.c_str()));
  // The mutex exists already, so creating it does not take it: the wait does.
  ScopedHandle mutex(CreateMutexA(nullptr, FALSE, MutexName().c_str()));
  ASSERT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mutex.get(), 0));
  const BYTE kick[] = {0x10, 0x14, 0x01, 0x00, 0x01};
  auto write = std::async(std::launch::async,
                          [&] { return channel_.WritePrinterData(kick, sizeof kick, 1000); });
  EXPECT_EQ(std::future_status::timeout, write.wait_for(std::chrono::milliseconds(300)));
  EXPECT_TRUE(Written().empty());
  ReleaseMutex(mutex.get());
  EXPECT_EQ(OPOS_SUCCESS, write.get());
  EXPECT_EQ(Bytes(kick, kick + sizeof kick), Written());
}

TEST_F(DrawerChannelTest, FramedReadAssemblesSkipsAndRestarts) {
  ASSERT_EQ(0, channel_.ConnectPrinter(printer_.c_str()));
  const BYTE query[] = {0x12, 0x6C, 0x00};
  // Noise before the frame, a false start, a low byte inside the frame: all skipped.
  const Bytes scripted = {0x41, 0x0E, 0xE1, 0x0E, 0xE2, 0x35, 0xE3, 0x00, 0xE9};
  TbxSim_ScriptReply(printer_.c_str(), scripted.data(), DWORD(scripted.size()));
  TbxSim_SetReplySplit(printer_.c_str(), 2);  // several receive calls
  BYTE frame[16] = {};
  DWORD length = sizeof frame;
  EXPECT_EQ(0, channel_.fnGetPrinterDataEx(query, sizeof query, &length, frame, 2000));
  EXPECT_EQ((Bytes{0x0E, 0xE2, 0xE3, 0x00}), Bytes(frame, frame + length));

  // A frame longer than the room: the room is filled, nothing past it.
  const Bytes longFrame = {0x0E, 0xE1, 0xE2, 0xE3, 0xE4, 0x00};
  TbxSim_ScriptReply(printer_.c_str(), longFrame.data(), DWORD(longFrame.size()));
  BYTE small[5] = {0, 0, 0x55, 0x55, 0x55};
  length = 2;
  EXPECT_EQ(0, channel_.fnGetPrinterDataEx(query, sizeof query, &length, small, 2000));
  EXPECT_EQ(6u, length);
  EXPECT_EQ((Bytes{0x0E, 0xE1, 0x55, 0x55, 0x55}), Bytes(small, small + 5));

  // A frame that never ends: the deadline answers 1460.
  const Bytes endless = {0x0E, 0xE1, 0xE2};
  TbxSim_ScriptReply(printer_.c_str(), endless.data(), DWORD(endless.size()));
  length = sizeof frame;
  EXPECT_EQ(CCommPrinterDriver::kFrameTimeout,
            channel_.fnGetPrinterDataEx(query, sizeof query, &length, frame, 200));
}

// Switch 5 (low three bits) and switch 13 (bit 2) must read 0x04; activation mends them.
TEST_F(DrawerChannelTest, ActivationChecksAndWritesTheMemorySwitches) {
  const struct {
    const char* why;
    BYTE switch5, switch13;
    bool locked;
    long result;
    Bytes written;
    BYTE final5, final13;
  } rows[] = {
      {"already right", 0x04, 0x04, false, 0, {}, 0x04, 0x04},
      {"other bits kept", 0xFC, 0xF4, false, 0, {}, 0xFC, 0xF4},
      {"both wrong", 0x00, 0x00, false, 0,
       {0x12, 0x77, 0x85, 0x04, 0x00, 0x12, 0x77, 0x8D, 0x04, 0x00}, 0x04, 0x04},
      {"switch 5 merged, 13 rewritten as it is", 0xFB, 0x04, false, 0,
       {0x12, 0x77, 0x85, 0xFC, 0x00, 0x12, 0x77, 0x8D, 0x04, 0x00}, 0xFC, 0x04},
      {"printer does not take them", 0x00, 0x00, true, OPOS_E_FAILURE,
       {0x12, 0x77, 0x85, 0x04, 0x00, 0x12, 0x77, 0x8D, 0x04, 0x00}, 0x00, 0x00},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    TbxSim_Reset(printer_.c_str());
    TbxSim_SetMemorySwitch(printer_.c_str(), 5, row.switch5);
    TbxSim_SetMemorySwitch(printer_.c_str(), 13, row.switch13);
    TbxSim_LockMemorySwitches(printer_.c_str(), row.locked);
    ASSERT_EQ(0, channel_.ConnectPrinter(printer_.c_str()));
    EXPECT_EQ(row.result, channel_.ActivateDevice(&CountingCallback, 2000));
    Bytes written = Written();
    // The queries themselves (DC2 l NUL) are recorded too; keep only the switch writes.
    Bytes writes;
    for (size_t i = 0; i + 4 < written.size(); ++i)
      if (written[i] == 0x12 && written[i + 1] == 0x77) writes.insert(writes.end(), &written[i], &written[i + 5]);
    EXPECT_EQ(row.written, writes);
    EXPECT_EQ(row.final5, TbxSim_GetMemorySwitch(printer_.c_str(), 5));
    EXPECT_EQ(row.final13, TbxSim_GetMemorySwitch(printer_.c_str(), 13));
    EXPECT_EQ(row.result == 0 ? 1 : 0, Calls("SetStatusBackFunction"));
    (void)channel_.DisconnectPrinter();
  }
}

TEST_F(DrawerChannelTest, BadFunctionSettingRepliesFailActivation) {
  const struct {
    const char* why;
    Bytes reply;
    const char* logged;
  } rows[] = {
      {"nothing", {}, "Error = 1460"},
      {"short frame", {0x0E, 0xE4, 0xE0, 0x00},
       "The reception result of the function setting response is invalid."},
  };
  ASSERT_EQ(0, channel_.ConnectPrinter(printer_.c_str()));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.why);
    TbxSim_ScriptReply(printer_.c_str(), row.reply.data(), DWORD(row.reply.size()));
    EXPECT_EQ(OPOS_E_FAILURE, channel_.ActivateDevice(&CountingCallback, 300));
    EXPECT_TRUE(log_.Has(row.logged));
  }
  EXPECT_EQ(0, Calls("SetStatusBackFunction"));
  // An offline printer at the query: 107.
  TbxSim_FailNext(printer_.c_str(), "DirectIOEx", -110, 1);
  EXPECT_EQ(OPOS_E_NOHARDWARE, channel_.ActivateDevice(&CountingCallback, 300));
}

}  // namespace
