// The output path of the device channel against the real prennik.dll and the simulated
// printer: queued requests written in order, response ids matched, completion and idle
// messages posted to a window, synchronous results, write failures and thread ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "CommDevice.h"
#include "FakeLog.h"
#include "LogContext.h"
#include "OutputTestSupport.h"
#include "SimulatedPrinter.h"

namespace {

constexpr char kDevice[] = "SoOutputPathDevice";
constexpr char kPrinter[] = "SoOutputPathPrinter";
using Bytes = std::vector<BYTE>;

struct Posted {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Posted> g_posted;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == DataSendCompleteMessage() || message == WhenIdleMessage())
    g_posted.push_back({message, wParam, lParam});
  return DefWindowProcA(window, message, wParam, lParam);
}

Bytes Text(const char* s) { return Bytes(s, s + strlen(s)); }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
// DC2 q n: the printer answers with n itself, which is 0x80 plus the response id.
Bytes ResponseToken(BYTE id) { return {0x12, 0x71, static_cast<BYTE>(0x80 | id)}; }

class OutputPath : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(sotest::UseSimulatedPrinter(key_, kPrinter));
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "SoOutputPathWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr,
                            wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    g_posted.clear();
  }

  void TearDown() override {
    TbxSim_HoldWrites(kPrinter, -1);  // a held write would keep the send thread from ending
    TbxSim_HoldCompletions(kPrinter, -1);
    EXPECT_TRUE(channel_.StopAllThreads());
    EXPECT_FALSE(channel_.IsAnyThreadRunning());
    channel_.ClearAllQueues();
    if (channel_.Slot() != -1) {
      (void)channel_.ClosePrinter();
      EXPECT_TRUE(channel_.TerminateSubSO());
    }
    EXPECT_TRUE(channel_.UnloadSubSODLL());
    DestroyWindow(window_);
  }

  // Binds prennik, connects the printer and starts the threads in the given mode.
  void Open(long mode, long receiveTimeoutMs = 5000, bool start = true, long pollMs = 20) {
    key_.SetString("ProcessCompletionTiming", mode ? "1" : "0");
    key_.SetString("ReceiveTimeout", std::to_string(receiveTimeoutMs));
    ASSERT_TRUE(channel_.LoadSubSODLL((sotest::BinFolder() + "prennik.dll").c_str()));
    PrnPropertySnapshot snapshot{};
    ASSERT_EQ(channel_.InitializeSubSO(kDevice, 1014001, &snapshot), 0);
    (void)channel_.OtherMethod1015(&snapshot);
    PrnInputProperty input = Record();
    (void)channel_.OtherMethod1016(&input);
    ASSERT_EQ(channel_.ConnectPrinter(), 0);
    channel_.SetChannelOwner(&owner_);
    channel_.SetResponseIdMode(mode);
    channel_.ResetOutputID();  // as OpenService does: the first asynchronous OutputID is 1
    channel_.SetResponseTimeout(receiveTimeoutMs);
    channel_.SetStatusPollInterval(pollMs);
    TbxSim_ClearWritten(kPrinter);
    if (start) {
      ASSERT_TRUE(channel_.StartAllThreads());
    }
  }

  static PrnInputProperty Record() { return sotest::ReceiptInputProperty(); }

  // A receipt list with one text token, the way the tokenizer adds print data.
  PrnTokenList* TextList(const char* text) {
    PrnTokenList* list = channel_.OtherMethod1018(PRN_STATION_RECEIPT);
    PrnCommandToken* token = nullptr;
    EXPECT_EQ(channel_.SendEscapeToken(101, reinterpret_cast<const unsigned char*>(text),
                                       static_cast<long>(strlen(text)), 0, list, &token),
              0);
    return list;
  }

  long PrintAsync(const char* text) {
    COutputCompletion target;
    target.window = window_;
    target.message = DataSendCompleteMessage();
    return channel_.Output(new PrnInputProperty(Record()), new PrnStationState{}, TextList(text),
                           1, OUTPUT_COMPLETE_BY_MESSAGE, target);
  }

  // Queues a synchronous request and waits, the way the hidden window's caller does.
  long PrintSync(const char* text, long queueSelector, long* extended) {
    long result = -1;
    std::mutex lock;
    COutputCompletion target;
    target.resultCell = &result;
    target.extendedCell = extended;
    target.resultLock = &lock;
    (void)channel_.Output(new PrnInputProperty(Record()), new PrnStationState{}, TextList(text),
                          queueSelector, OUTPUT_COMPLETE_BY_RESULT, target);
    EXPECT_TRUE(PumpUntil([&] {
      std::lock_guard<std::mutex> hold(lock);
      return result != -1;
    }));
    return result;
  }

  // Dispatches the window's messages until the condition holds (bounded, never a hang).
  static bool PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 3000; ++i) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
      if (done()) return true;
      Sleep(10);
    }
    return false;
  }

  static std::string PostedText() {
    std::string text;
    for (const Posted& p : g_posted)
      text += (p.message == WhenIdleMessage() ? "idle " : "complete(") +
              (p.message == WhenIdleMessage() ? std::string() : std::to_string(p.lParam) + ") ");
    return text;
  }

  // A completion for the request, and an idle notice after it.
  static bool CompletedThenIdle(long outputId) {
    bool completed = false;
    for (const Posted& p : g_posted) {
      if (p.message == DataSendCompleteMessage() && p.lParam == outputId) completed = true;
      if (completed && p.message == WhenIdleMessage()) return true;
    }
    return false;
  }

  // OutputIDs completed so far, in the order their messages came.
  static std::vector<long> CompletedIds() {
    std::vector<long> ids;
    for (const Posted& p : g_posted)
      if (p.message == DataSendCompleteMessage()) ids.push_back(static_cast<long>(p.lParam));
    return ids;
  }

  // Response ids the watch-response thread has looked at (one line each).
  static size_t AnswersSeen() { return fakelog::LinesContaining(L"  RequestCode is").size(); }

  static size_t Tokens() {
    const Bytes bytes = Written();
    size_t n = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) n += bytes[i] == 0x12 && bytes[i + 1] == 0x71;
    return n;
  }

  static Bytes Written() {
    const std::string bytes = TbxSimWritten(kPrinter);
    return Bytes(bytes.begin(), bytes.end());
  }

  sotest::DeviceKey key_{kDevice};
  CLogContext log_;
  sotest::FakeChannelOwner owner_;
  CCommDevice channel_{nullptr, &log_};
  HWND window_ = nullptr;
};

TEST_F(OutputPath, ConfirmedRequestsCompleteInOrderThenIdle) {
  Open(/*mode=*/1);
  EXPECT_EQ(PrintAsync("AB\n"), 1);
  EXPECT_EQ(PrintAsync("CD\n"), 2);
  ASSERT_TRUE(PumpUntil([] { return g_posted.size() >= 3; }));
  EXPECT_EQ(Written(), Cat({Text("AB\n"), ResponseToken(0), Text("CD\n"), ResponseToken(1)}));
  ASSERT_EQ(g_posted.size(), 3u);
  EXPECT_EQ(g_posted[0].message, DataSendCompleteMessage());
  EXPECT_EQ(g_posted[0].lParam, 1);
  EXPECT_EQ(g_posted[1].message, DataSendCompleteMessage());
  EXPECT_EQ(g_posted[1].lParam, 2);
  EXPECT_EQ(g_posted[2].message, WhenIdleMessage());
  EXPECT_EQ(channel_.PrintWaitCount(), 0u);
}

// The printer can confirm an output before the response thread has begun (a loaded machine
// schedules it late); the confirmation must still complete the output.
TEST_F(OutputPath, AConfirmationBeforeTheResponseThreadBeginsIsTaken) {
  Open(/*mode=*/1, 5000, /*start=*/false);
  ASSERT_TRUE(channel_.StartSendThread());
  ASSERT_TRUE(channel_.StartRecvThread());
  const long id = PrintAsync("AB\n");
  ASSERT_TRUE(PumpUntil([&] { return channel_.HasAsyncResponseId(); }));
  ASSERT_TRUE(channel_.StartWatchResponseThread());
  EXPECT_TRUE(PumpUntil([&] { return CompletedThenIdle(id); })) << "posted: " << PostedText();
}

TEST_F(OutputPath, WithoutResponseIdsCompletionFollowsTheWrite) {
  Open(/*mode=*/0);
  EXPECT_EQ(PrintAsync("AB\n"), 1);
  ASSERT_TRUE(PumpUntil([] { return g_posted.size() >= 2; }));
  EXPECT_EQ(Written(), Text("AB\n")) << "no response-id token without response ids";
  EXPECT_EQ(g_posted[0].message, DataSendCompleteMessage());
  EXPECT_EQ(g_posted[0].lParam, 1);
  EXPECT_EQ(g_posted[1].message, WhenIdleMessage());
}

TEST_F(OutputPath, SynchronousRequestsWaitForTheirOwnAnswer) {
  Open(/*mode=*/1);
  long extended = -1;
  EXPECT_EQ(PrintSync("AB\n", 1, &extended), 0);
  EXPECT_EQ(PrintSync("CD\n", 0, &extended), 0);
  EXPECT_EQ(Written(),
            Cat({Text("AB\n"), ResponseToken(12), Text("CD\n"), ResponseToken(14)}));
  EXPECT_TRUE(g_posted.empty()) << "synchronous output posts nothing";
}

TEST_F(OutputPath, UnansweredSynchronousRequestTimesOut) {
  Open(/*mode=*/1, /*receiveTimeoutMs=*/200);
  TbxSim_SetReplyDelay(kPrinter, 5000);
  fakelog::Clear();
  long extended = -1;
  EXPECT_EQ(PrintSync("AB\n", 1, &extended), 112) << "normal queue: ReceiveTimeout";
  EXPECT_EQ(PrintSync("CD\n", 0, &extended), 0) << "immediate queue keeps 0";
  std::vector<std::pair<DWORD, std::wstring>> waits;
  for (const auto& line : fakelog::Lines())
    if (line.function == "CCommDevice::WaitSyncAnswer") waits.push_back({line.category, line.text});
  const std::vector<std::pair<DWORD, std::wstring>> expected = {
      {0x10, L"[Info    ] Send thread. Wait for event notification."},
      {0x10, L"[Info    ] Send thread. notification."},
      {0x2, L"[Info    ] Send thread. Wait notify time out."},
      {0x10, L"[Info    ] Immediate thread. Wait for event notification."},
      {0x10, L"[Info    ] Immediate thread. notification..."},
      {0x10, L"[Info    ] Immediate thread. Wait notify time out."},
  };
  EXPECT_EQ(waits, expected);
}

// The status poll comes only once a minute, and the printer answers a while after the
// write: the answer must still be taken as soon as it is there, not at the next poll.
TEST_F(OutputPath, AnswersBetweenStatusPollsCompleteAtOnce) {
  Open(/*mode=*/1, /*receiveTimeoutMs=*/120000, /*start=*/false, /*pollMs=*/60000);
  ASSERT_TRUE(channel_.StartAllThreads());
  TbxSim_SetReplyDelay(kPrinter, 300);
  long results[2] = {-1, -1}, extended[2] = {-1, -1};
  std::mutex lock;
  for (long selector : {1L, 0L}) {  // normal queue, then immediate queue
    COutputCompletion target;
    target.resultCell = &results[1 - selector];
    target.extendedCell = &extended[1 - selector];
    target.resultLock = &lock;
    (void)channel_.Output(new PrnInputProperty(Record()), new PrnStationState{},
                          TextList(selector ? "AB\n" : "CD\n"), selector,
                          OUTPUT_COMPLETE_BY_RESULT, target);
    EXPECT_TRUE(PumpUntil([&] {
      std::lock_guard<std::mutex> hold(lock);
      return results[1 - selector] != -1;
    })) << "queue selector " << selector << " still waits for the next status poll";
  }
  const long id = PrintAsync("EF\n");
  EXPECT_TRUE(PumpUntil([&] { return CompletedThenIdle(id); })) << "posted: " << PostedText();
  // Stopped before the cells go: a request still waiting is answered now.
  EXPECT_TRUE(channel_.StopAllThreads());
  EXPECT_EQ(results[0], 0);
  EXPECT_EQ(results[1], 0);
  EXPECT_EQ(Written(), Cat({Text("AB\n"), ResponseToken(12), Text("CD\n"), ResponseToken(14),
                            Text("EF\n"), ResponseToken(0)}));
}

TEST_F(OutputPath, FailedWritesAnswerTheirCodes) {
  const struct {
    LONG sdkResult;
    long expected;
  } rows[] = {{-110, 107}, {-70, 112}, {-1, 111}};
  Open(/*mode=*/0);
  for (const auto& row : rows) {
    TbxSim_FailNext(kPrinter, "DirectIOEx", row.sdkResult, 1);
    long extended = -1;
    EXPECT_EQ(PrintSync("AB\n", 1, &extended), row.expected) << "SDK " << row.sdkResult;
  }
  EXPECT_TRUE(owner_.errors.empty()) << "synchronous errors are not events";
}

TEST_F(OutputPath, AsynchronousErrorIsRaisedAndClearedOrDropped) {
  Open(/*mode=*/1);
  owner_.retry = false;
  TbxSim_FailNext(kPrinter, "DirectIOEx write", -110, 1);
  (void)PrintAsync("AB\n");
  ASSERT_TRUE(PumpUntil([&] { return !owner_.errors.empty(); }));
  EXPECT_EQ(owner_.errors[0], 107);
  ASSERT_TRUE(PumpUntil([&] { return channel_.PrintWaitCount() == 0; })) << "cleared";

  // Disabled: no event, and the failed request does not hold back the next one.
  owner_.enabled = false;
  g_posted.clear();
  TbxSim_FailNext(kPrinter, "DirectIOEx write", -110, 1);
  (void)PrintAsync("CD\n");
  const long next = PrintAsync("EF\n");
  // A late idle notice of the first part, or one between the two requests, may come too.
  ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(next); }))
      << "posted: " << PostedText() << "; waiting for confirmation: " << channel_.PrintWaitCount()
      << "; errors: " << owner_.errors.size();
  EXPECT_EQ(owner_.errors.size(), 1u);
  for (const Posted& p : g_posted) {
    if (p.message == DataSendCompleteMessage()) {
      EXPECT_EQ(p.lParam, next);
    }
  }
}

// Twelve outputs (response ids 0-11) are taken by the printer, their answers held back; the
// thirteenth reuses id 0 and its write fails, so all thirteen are written again (retry). The
// printer owes ids 0-11 twice, for both copies, before the thirteenth's own 0. The second 0
// is a stale answer for the first output: it must not complete the thirteenth, neither once
// that is written (its answer is still to come) nor while its write is under way and then
// refused (its line would be lost: told printed, never resent).
struct StaleAnswerRow {
  const char* name;
  bool refuseResend;
};

class StaleAnswer : public OutputPath, public ::testing::WithParamInterface<StaleAnswerRow> {};

TEST_P(StaleAnswer, NeverCompletesALaterOutputWithItsId) {
  const bool refuseResend = GetParam().refuseResend;
  Open(/*mode=*/1);
  fakelog::Clear();
  owner_.retry = true;
  TbxSim_HoldCompletions(kPrinter, 0);
  char text[16];
  for (int i = 0; i < 12; ++i) {
    std::snprintf(text, sizeof text, "L%02d\n", i);
    (void)PrintAsync(text);
  }
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 12; }));
  // Set once the thirteenth's first write has failed: its resend is the one held.
  if (refuseResend) owner_.onError = [] { TbxSim_HoldWrites(kPrinter, 12); };
  TbxSim_FailNext(kPrinter, "DirectIOEx write", -110, 1);
  const long last = PrintAsync("L12\n");
  ASSERT_TRUE(PumpUntil([&] {
    return refuseResend ? TbxSim_GetWaitingWrites(kPrinter) == 1 : Tokens() == 25;
  }));
  owner_.onError = nullptr;
  TbxSim_HoldCompletions(kPrinter, 24);  // both copies of outputs 1-12 answered
  ASSERT_TRUE(PumpUntil([] { return AnswersSeen() >= 24; }));
  PumpUntil([] { return true; });  // what was posted meanwhile
  std::vector<long> expected;
  for (long id = 1; id <= 12; ++id) expected.push_back(id);
  EXPECT_EQ(CompletedIds(), expected) << "nothing answered the thirteenth yet";
  if (refuseResend) {
    TbxSim_SetOnline(kPrinter, FALSE);
    owner_.onError = [] { TbxSim_SetOnline(kPrinter, TRUE); };
    TbxSim_HoldWrites(kPrinter, -1);
  }
  TbxSim_HoldCompletions(kPrinter, -1);
  ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(last); })) << "posted: " << PostedText();
  expected.push_back(last);
  EXPECT_EQ(CompletedIds(), expected) << "each output completes once, in order";
  EXPECT_NE(TbxSimWritten(kPrinter).find("L12"), std::string::npos)
      << "the thirteenth line reached the printer";
}

INSTANTIATE_TEST_SUITE_P(Rows, StaleAnswer,
                         ::testing::Values(StaleAnswerRow{"ResendWritten", false},
                                           StaleAnswerRow{"ResendUnderWayThenRefused", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Three outputs taken by the printer and unanswered; the fourth fails and all four are
// written again; of those the first goes through and the second fails once more. The second
// retry must put the two at the front of the prior queue, ahead of the third and fourth that
// still wait there: the printer gets every output again in its first order.
TEST_F(OutputPath, RetriesResendInTheFirstOrderAheadOfAnEarlierResend) {
  Open(/*mode=*/1);
  owner_.retry = true;
  TbxSim_HoldCompletions(kPrinter, 0);
  (void)PrintAsync("A\n");
  (void)PrintAsync("B\n");
  (void)PrintAsync("C\n");
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 3; }));
  // At the first error: the resend of A goes through, that of B waits.
  owner_.onError = [] { TbxSim_HoldWrites(kPrinter, 1); };
  TbxSim_FailNext(kPrinter, "DirectIOEx write", -110, 1);
  const long last = PrintAsync("D\n");
  ASSERT_TRUE(PumpUntil([] { return TbxSim_GetWaitingWrites(kPrinter) == 1; }));
  owner_.onError = nullptr;
  TbxSim_FailNext(kPrinter, "DirectIOEx write", -110, 1);
  TbxSim_HoldWrites(kPrinter, -1);
  ASSERT_TRUE(PumpUntil([&] { return owner_.errors.size() == 2; }));
  TbxSim_HoldCompletions(kPrinter, -1);
  ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(last); })) << "posted: " << PostedText();
  const Bytes a = Cat({Text("A\n"), ResponseToken(0)}), b = Cat({Text("B\n"), ResponseToken(1)}),
              c = Cat({Text("C\n"), ResponseToken(2)}), d = Cat({Text("D\n"), ResponseToken(3)});
  EXPECT_EQ(Written(), Cat({a, b, c, a, a, b, c, d}));
  EXPECT_EQ(CompletedIds(), (std::vector<long>{1, 2, 3, 4}));
}

TEST_F(OutputPath, StoppingTheSendThreadWritesWhatIsQueuedFirst) {
  Open(/*mode=*/0, 5000, /*start=*/false);
  (void)PrintAsync("A\n");
  (void)PrintAsync("B\n");
  (void)PrintAsync("C\n");
  ASSERT_TRUE(channel_.StartSendThread());
  EXPECT_TRUE(channel_.StopSendThread());
  EXPECT_EQ(Written(), Text("A\nB\nC\n"));
  EXPECT_EQ(channel_.QueuedCount(OUTPUT_QUEUE_NORMAL), 0u);
}

TEST_F(OutputPath, ClearedRequestsGiveTheirListsBackAndReleaseSynchronousCallers) {
  Open(/*mode=*/1, 5000, /*start=*/false);
  (void)PrintAsync("A\n");
  long result = -1, extended = -1;
  std::mutex lock;
  COutputCompletion target;
  target.resultCell = &result;
  target.extendedCell = &extended;
  target.resultLock = &lock;
  (void)channel_.Output(new PrnInputProperty(Record()), new PrnStationState{}, TextList("B\n"), 0,
                        OUTPUT_COMPLETE_BY_RESULT, target);
  channel_.ClearAllQueues();
  EXPECT_EQ(channel_.QueuedCount(OUTPUT_QUEUE_NORMAL), 0u);
  EXPECT_EQ(channel_.QueuedCount(OUTPUT_QUEUE_IMMEDIATE), 0u);
  EXPECT_EQ(result, 111) << "a waiting synchronous caller is answered, not left polling";
  EXPECT_TRUE(Written().empty());
}

TEST_F(OutputPath, AThreadThatFailsToStartLeavesNoneRunning) {
  Open(/*mode=*/1, 5000, /*start=*/false);
  channel_.FailThreadStartForTest(2);  // the immediate thread
  EXPECT_FALSE(channel_.StartAllThreads());
  EXPECT_FALSE(channel_.IsAnyThreadRunning());
}

}  // namespace
