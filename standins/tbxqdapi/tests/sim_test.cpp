// The simulated printer is exercised through the printer channel's tests; these cover what
// the channel cannot show: the order of completion bytes and the status callback thread.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "TbxSim.h"
#include "Win.h"

namespace {

using OpenFn = LONG(WINAPI*)(LONG, LPCSTR);
using CloseFn = LONG(WINAPI*)(LONG);
using DirectIOExFn = LONG(WINAPI*)(LONG, DWORD, const BYTE*, DWORD*, BYTE*, DWORD, LONG, LONG);
using ReadImmediateFn = LONG(WINAPI*)(LONG, DWORD*, BYTE*, LONG);
using CallbackFn = LONG(WINAPI*)(DWORD);
using SetCallbackFn = LONG(WINAPI*)(LONG, CallbackFn);
using CancelFn = LONG(WINAPI*)(LONG);

template <class F>
F Proc(HMODULE module, LPCSTR name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct Sdk {
  HMODULE module = GetModuleHandleA("TbxQdApi.dll");
  OpenFn open = Proc<OpenFn>(module, "OpenMonPrinterA");
  CloseFn close = Proc<CloseFn>(module, "CloseMonPrinter");
  DirectIOExFn io = Proc<DirectIOExFn>(module, "DirectIOEx");
  ReadImmediateFn immediate =
      Proc<ReadImmediateFn>(module, MAKEINTRESOURCEA(31));
  SetCallbackFn setCallback =
      Proc<SetCallbackFn>(module, "SetStatusBackFunction");
  CancelFn cancel = Proc<CancelFn>(module, "CancelStatusBack");
};

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TbxSim_Reset(nullptr);
    ASSERT_TRUE(sdk.open && sdk.close && sdk.io && sdk.immediate && sdk.setCallback &&
                sdk.cancel);
  }
  void Write(LONG handle, std::vector<BYTE> bytes) {
    ASSERT_EQ(TBXQD_OK, sdk.io(handle, DWORD(bytes.size()), bytes.data(), nullptr, nullptr,
                               1000, 1, 0));
  }
  std::vector<BYTE> Completions(LONG handle) {
    BYTE buffer[1024];
    DWORD length = sizeof buffer;
    EXPECT_EQ(TBXQD_OK, sdk.immediate(handle, &length, buffer, 0));
    return std::vector<BYTE>(buffer, buffer + length);
  }
  Sdk sdk;
};

TEST_F(SimTest, HandlesStartAtOneAndNamesIgnoreCase) {
  EXPECT_EQ(1, sdk.open(2, "Sim.Handles"));
  EXPECT_EQ(2, sdk.open(2, "SIM.HANDLES"));
  EXPECT_EQ(2, TbxSim_GetOpenHandleCount("sim.handles"));
  EXPECT_EQ(TBXQD_OK, sdk.close(1));
  EXPECT_EQ(TBXQD_ERR_HANDLE, sdk.close(1));
  EXPECT_EQ(1, TbxSim_GetOpenHandleCount("Sim.Handles"));
}

// Every DC2 q is answered with n | 0x80 in stream order; bytes that only look like DC2 q
// inside a raster image are data, and a command split over two writes still counts.
TEST_F(SimTest, ResponseIdsFollowTheStreamInOrder) {
  const LONG h = sdk.open(2, "Sim.Order");
  Write(h, {'A', 0x12, 0x71, 0x81,
            0x1D, 0x76, 0x30, 0x00, 0x03, 0x00, 0x01, 0x00, 0x12, 0x71, 0x85,  // GS v 0, 3x1
            0x12, 0x71, 0x82, 0x12});
  Write(h, {0x71, 0x83});
  EXPECT_EQ((std::vector<BYTE>{0x81, 0x82, 0x83}), Completions(h));
  EXPECT_TRUE(Completions(h).empty());
}

// A stopped printer answers nothing until it recovers; then the held bytes print in order.
TEST_F(SimTest, ResponseIdsWaitWhileTheCoverIsOpen) {
  const LONG h = sdk.open(2, "Sim.Held");
  Write(h, {0x12, 0x71, 0x80});
  TbxSim_SetCoverOpen("Sim.Held", TRUE);
  Write(h, {0x12, 0x71, 0x81, 0x12, 0x71, 0x82});
  EXPECT_EQ((std::vector<BYTE>{0x80}), Completions(h));
  TbxSim_SetCoverOpen("Sim.Held", FALSE);
  EXPECT_EQ((std::vector<BYTE>{0x81, 0x82}), Completions(h));
}

// A test holds completion bytes back and lets them through a counted few at a time.
TEST_F(SimTest, HeldCompletionsAreReadOnlyAsFarAsLetThrough) {
  const char* name = "Sim.HeldCompletions";
  const LONG h = sdk.open(2, name);
  TbxSim_HoldCompletions(name, 1);
  Write(h, {0x12, 0x71, 0x80, 0x12, 0x71, 0x81, 0x12, 0x71, 0x82});
  EXPECT_EQ((std::vector<BYTE>{0x80}), Completions(h));
  EXPECT_TRUE(Completions(h).empty());
  EXPECT_EQ(2u, TbxSim_GetPendingCompletions(name));
  TbxSim_HoldCompletions(name, -1);
  EXPECT_EQ((std::vector<BYTE>{0x81, 0x82}), Completions(h));
  EXPECT_EQ(0u, TbxSim_GetPendingCompletions(name));
}

// A held write waits inside the call; let go, it meets the printer as it is by then.
TEST_F(SimTest, AHeldWriteWaitsUntilLetGoAndIsThenTakenOrRefused) {
  const char* name = "Sim.HeldWrites";
  const LONG h = sdk.open(2, name);
  TbxSim_HoldWrites(name, 1);
  Write(h, {'A'});  // the one let through
  for (BOOL online : {TRUE, FALSE}) {
    SCOPED_TRACE(online);
    LONG result = 1;
    std::thread writer([&] {
      const BYTE b = 'B';
      result = sdk.io(h, 1, &b, nullptr, nullptr, 1000, 1, 0);
    });
    for (int i = 0; i < 3000 && TbxSim_GetWaitingWrites(name) == 0; ++i) Sleep(10);
    EXPECT_EQ(1, TbxSim_GetWaitingWrites(name));
    TbxSim_SetOnline(name, online);
    TbxSim_HoldWrites(name, 1);  // lets the waiting write go, holds the next again
    writer.join();
    EXPECT_EQ(online ? LONG(TBXQD_OK) : LONG(TBXQD_ERR_OFFLINE), result);
    EXPECT_EQ(0, TbxSim_GetWaitingWrites(name));
    TbxSim_SetOnline(name, TRUE);
    TbxSim_HoldWrites(name, 0);
  }
  TbxSim_HoldWrites(name, -1);
  std::vector<BYTE> written(8);
  written.resize(TbxSim_GetWritten(name, written.data(), DWORD(written.size())));
  EXPECT_EQ((std::vector<BYTE>{'A', 'B'}), written);
}

// Words seen by the callback, in arrival order.
std::mutex g_wordsLock;
std::vector<DWORD> g_words;
HANDLE g_wordArrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);
Sdk* g_sdk = nullptr;
LONG g_selfCancelHandle = 0;

LONG WINAPI RecordWord(DWORD word) {
  std::lock_guard<std::mutex> l(g_wordsLock);
  g_words.push_back(word);
  SetEvent(g_wordArrived);
  return 0;
}

LONG WINAPI CancelSelf(DWORD word) {
  g_sdk->cancel(g_selfCancelHandle);
  return RecordWord(word);
}

std::vector<DWORD> WaitForWords(size_t count) {
  for (;;) {
    {
      std::lock_guard<std::mutex> l(g_wordsLock);
      if (g_words.size() >= count) return g_words;
    }
    if (WaitForSingleObject(g_wordArrived, 5000) != WAIT_OBJECT_0) {
      std::lock_guard<std::mutex> l(g_wordsLock);
      return g_words;
    }
  }
}

void ClearWords() {
  std::lock_guard<std::mutex> l(g_wordsLock);
  g_words.clear();
}

TEST_F(SimTest, CallbackThreadRunsOnlyWhileACallbackIsRegistered) {
  ClearWords();
  const LONG h = sdk.open(2, "Sim.Callback");
  EXPECT_FALSE(TbxSim_IsStatusThreadRunning());
  ASSERT_EQ(TBXQD_OK, sdk.setCallback(h, &RecordWord));
  EXPECT_TRUE(TbxSim_IsStatusThreadRunning());

  const DWORD ready = TBXQD_ST_READY | TBXQD_ST_DRAWER_CLOSED;
  TbxSim_SetCoverOpen("Sim.Callback", TRUE);
  TbxSim_SetOnline("Sim.Callback", FALSE);
  EXPECT_EQ((std::vector<DWORD>{ready, ready | TBXQD_ST_COVER_OPEN, TBXQD_ST_OFFLINE}),
            WaitForWords(3));

  ASSERT_EQ(TBXQD_OK, sdk.cancel(h));
  EXPECT_FALSE(TbxSim_IsStatusThreadRunning());
  TbxSim_SetOnline("Sim.Callback", TRUE);
  EXPECT_EQ(3u, WaitForWords(3).size());  // nothing arrives after the cancel

  // Closing the last registered handle stops the thread too.
  ASSERT_EQ(TBXQD_OK, sdk.setCallback(h, &RecordWord));
  EXPECT_TRUE(TbxSim_IsStatusThreadRunning());
  ASSERT_EQ(TBXQD_OK, sdk.close(h));
  EXPECT_FALSE(TbxSim_IsStatusThreadRunning());
}

TEST_F(SimTest, CallbackMayCancelItself) {
  ClearWords();
  g_sdk = &sdk;
  g_selfCancelHandle = sdk.open(2, "Sim.SelfCancel");
  ASSERT_EQ(TBXQD_OK, sdk.setCallback(g_selfCancelHandle, &CancelSelf));
  ASSERT_EQ(1u, WaitForWords(1).size());
  EXPECT_FALSE(TbxSim_IsStatusThreadRunning());
  // A new registration starts a fresh thread.
  ASSERT_EQ(TBXQD_OK, sdk.setCallback(g_selfCancelHandle, &RecordWord));
  EXPECT_TRUE(TbxSim_IsStatusThreadRunning());
  EXPECT_EQ(2u, WaitForWords(2).size());
  ASSERT_EQ(TBXQD_OK, sdk.cancel(g_selfCancelHandle));
}

// A reset takes the printer offline for a short while and brings it back, both changes
// reported; with no offline time it stays online and reports nothing.
TEST_F(SimTest, ResetGoesOfflineForAWhileThenOnlineAgain) {
  using ResetFn = LONG(WINAPI*)(LONG);
  const auto reset = Proc<ResetFn>(sdk.module, "Reset");
  ASSERT_NE(reset, nullptr);
  const DWORD ready = TBXQD_ST_READY | TBXQD_ST_DRAWER_CLOSED;
  const struct {
    DWORD offlineMs;
    std::vector<DWORD> words;  // after the registration's first word
  } rows[] = {
      {TBXSIM_DEFAULT_RESET_OFFLINE_MS, {TBXQD_ST_OFFLINE, ready}},
      {1000, {TBXQD_ST_OFFLINE, ready}},
      {0, {}},
  };
  for (const auto& row : rows) {
    ClearWords();
    TbxSim_Reset(nullptr);
    const LONG h = sdk.open(2, "Sim.Reset");
    if (row.offlineMs != TBXSIM_DEFAULT_RESET_OFFLINE_MS)
      TbxSim_SetResetOfflineTime("Sim.Reset", row.offlineMs);
    ASSERT_EQ(TBXQD_OK, sdk.setCallback(h, &RecordWord));
    ASSERT_EQ(1u, WaitForWords(1).size());
    ASSERT_EQ(TBXQD_OK, reset(h));
    if (row.offlineMs == 0) {
      EXPECT_EQ(ready, TbxSim_GetStatusWord("Sim.Reset")) << "online throughout";
    } else if (row.offlineMs >= 1000) {  // long enough to look at it from here
      EXPECT_EQ(TBXQD_ST_OFFLINE, TbxSim_GetStatusWord("Sim.Reset")) << row.offlineMs;
      BYTE byte = 0x0A;
      EXPECT_EQ(TBXQD_ERR_OFFLINE, sdk.io(h, 1, &byte, nullptr, nullptr, 1000, 1, 0))
          << "nothing is taken while it resets";
      EXPECT_EQ(TBXQD_ERR_OFFLINE, reset(h)) << "no second reset meanwhile";
    }
    std::vector<DWORD> expected = {ready};
    expected.insert(expected.end(), row.words.begin(), row.words.end());
    EXPECT_EQ(expected, WaitForWords(expected.size())) << row.offlineMs;
    EXPECT_EQ(ready, TbxSim_GetStatusWord("Sim.Reset")) << row.offlineMs;
    ASSERT_EQ(TBXQD_OK, sdk.close(h));
  }
}

}  // namespace
