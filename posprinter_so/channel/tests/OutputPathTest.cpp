// The output path of the device channel against the real prennik.dll and the simulated
// printer: queued requests written in order, response ids matched, completion and idle
// messages posted to a window, synchronous results, write failures and thread ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CommDevice.h"
#include "FakeLog.h"
#include "LogContext.h"
#include "OutputTestSupport.h"
#include "ScopedHandle.h"
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
// Printed text without line feeds, each DC2 q as <response id>.
std::string Readable(const Bytes& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == 0x12 && i + 2 < bytes.size() && bytes[i + 1] == 0x71) {
      text += "<" + std::to_string(bytes[i + 2] & 0x0F) + ">";
      i += 2;
    } else if (bytes[i] != '\n') {
      text += static_cast<char>(bytes[i]);
    }
  }
  return text;
}
// DC2 q n: the printer answers with n itself, which is 0x80 plus the response id.
Bytes ResponseToken(BYTE id) { return {0x12, 0x71, static_cast<BYTE>(0x80 | id)}; }

std::string LineText(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "L%02d\n", n);
  return text;
}

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
    TbxSim_HoldWriteReturns(kPrinter, -1);
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

  // Lines first..last-1 queued while the printer holds its answers (all written, `written`
  // response-id tokens in all, or one waits for a free id); then the answers come: exactly
  // these lines complete, in order, and no error is raised.
  void PrintHeldThenOnlyTheseComplete(int first, int last, size_t written) {
    std::vector<long> ids;
    for (int i = first; i < last; ++i) ids.push_back(PrintAsync(LineText(i).c_str()));
    ASSERT_TRUE(PumpUntil([&] {
      return Tokens() == written || !fakelog::LinesContaining(L"waits for the answer").empty();
    }));
    TbxSim_HoldCompletions(kPrinter, -1);
    ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(ids.back()); }))
        << "posted: " << PostedText();
    EXPECT_EQ(CompletedIds(), ids);
    EXPECT_TRUE(owner_.errors.empty()) << "first error " << owner_.errors[0];
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

// OutputIDs 1 to last, the order every output completes in.
std::vector<long> IdsUpTo(long last) {
  std::vector<long> ids;
  for (long id = 1; id <= last; ++id) ids.push_back(id);
  return ids;
}

// Eleven outputs (response ids 0-10) are taken by the printer, their answers held back. The
// twelfth would take the last free id: written now, no id would be left for a write whose
// answer could tell the printer lost the others. It waits for the first output's answer.
TEST_F(OutputPath, TheTwelfthUnansweredWriteWaitsForTheFirstAnswer) {
  Open(/*mode=*/1);
  fakelog::Clear();
  TbxSim_HoldCompletions(kPrinter, 0);
  for (int i = 0; i < 11; ++i) (void)PrintAsync(LineText(i).c_str());
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 11; }));
  (void)PrintAsync(LineText(11).c_str());
  const long last = PrintAsync(LineText(12).c_str());
  ASSERT_TRUE(PumpUntil([] { return !fakelog::LinesContaining(L"waits for the answer").empty(); }))
      << "written at once: " << Tokens() << " response-id tokens";
  EXPECT_EQ(Tokens(), 11u);
  TbxSim_HoldCompletions(kPrinter, 1);  // the first answer only
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 12; }));
  PumpUntil([] { return true; });
  EXPECT_EQ(CompletedIds(), std::vector<long>{1});
  TbxSim_HoldCompletions(kPrinter, -1);
  ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(last); })) << "posted: " << PostedText();
  EXPECT_EQ(CompletedIds(), IdsUpTo(last));
}

// Output written and not answered yet when the printer's power goes: the printer forgets
// those bytes and their answers. Each such output is reported (ErrorEvent 107, answered
// retry) and written again, later output goes on, and every output completes once, in
// order, on an answer of its own line, never on another output's.
struct PowerCycleRow {
  const char* name;
  int unanswered;      // outputs written before the power goes
  bool writeWhileOff;  // the next output is queued while the printer is off
  int total;
  bool earlyAnswer;    // the resend's answer comes before its write call returns
};

class PowerCycle : public OutputPath, public ::testing::WithParamInterface<PowerCycleRow> {
 protected:
  // The printer's power comes back before anything is written; the sub-module reports it
  // off, then online (the status path reports power only to an enabled device).
  void ReportPowerBetweenWrites() {
    PrnStatusRecord record;
    std::memset(&record, 0xFF, sizeof record);
    record.powerState = 2004;
    (void)CCommDevice::OnStatusNotify(&record, 2004, &channel_);
    TbxSim_SetPower(kPrinter, TRUE);
    record.powerState = 2001;
    (void)CCommDevice::OnStatusNotify(&record, 2001, &channel_);
  }
};

TEST_P(PowerCycle, EveryOutputCompletesOnceOnItsOwnAnswer) {
  const PowerCycleRow row = GetParam();
  Open(/*mode=*/1, /*receiveTimeoutMs=*/1500);
  fakelog::Clear();
  owner_.retry = true;
  TbxSim_HoldCompletions(kPrinter, 0);
  for (int i = 0; i < row.unanswered; ++i) (void)PrintAsync(LineText(i).c_str());
  // At most eleven unanswered writes: one id stays free.
  const size_t taken = size_t(row.unanswered < 11 ? row.unanswered : 11);
  ASSERT_TRUE(PumpUntil([&] { return Tokens() >= taken; }));
  const size_t powerLost = Written().size();
  owner_.onError = [&] {
    TbxSim_SetPower(kPrinter, TRUE);
    if (row.earlyAnswer) TbxSim_HoldWriteReturns(kPrinter, 0);
  };
  TbxSim_SetPower(kPrinter, FALSE);
  int n = row.unanswered;
  if (row.writeWhileOff)
    (void)PrintAsync(LineText(n++).c_str());
  else
    ReportPowerBetweenWrites();
  ASSERT_TRUE(PumpUntil([&] { return !owner_.errors.empty(); })) << "the lost output is reported";
  EXPECT_EQ(owner_.errors[0], 107);
  TbxSim_HoldCompletions(kPrinter, -1);
  if (row.earlyAnswer) {
    ASSERT_TRUE(PumpUntil([] {
      return !fakelog::LinesContaining(L"came before its write returned").empty();
    })) << "the resend's answer while its write is under way";
    owner_.onError = nullptr;
    TbxSim_HoldWriteReturns(kPrinter, -1);
  }
  long last = 0;
  while (n < row.total) last = PrintAsync(LineText(n++).c_str());
  ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(last); }))
      << "posted: " << PostedText() << "; waiting: " << channel_.PrintWaitCount();
  EXPECT_EQ(CompletedIds(), IdsUpTo(last)) << "each output once, in order";
  // A reported loss: the resends' answers end the wait for those the printer lost, nothing
  // waits for the response timeout. (Unreported, as when nothing is written while the
  // printer is off, only the time-out tells.)
  if (!row.writeWhileOff) EXPECT_TRUE(fakelog::LinesContaining(L"given up").empty());
  const std::string written = TbxSimWritten(kPrinter), printed = TbxSimPrinted(kPrinter);
  for (int i = 0; i < row.total; ++i) {
    if (i < row.unanswered) {
      EXPECT_NE(written.find(LineText(i), powerLost), std::string::npos)
          << LineText(i) << " lost with the power and not written again";
    }
    EXPECT_NE(printed.find(LineText(i)), std::string::npos) << LineText(i) << " never printed";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, PowerCycle,
                         ::testing::Values(
                             // Ten: with eleven unanswered the next write waits for an id.
                             PowerCycleRow{"TenLostThenAWriteRefused", 10, true, 26, false},
                             PowerCycleRow{"OneLostThenAWriteRefused", 1, true, 15, false},
                             PowerCycleRow{"OneLostAnsweredBeforeItsResendReturns", 1, true, 15,
                                           true},
                             PowerCycleRow{"FourLostNothingRefused", 4, false, 28, false},
                             PowerCycleRow{"TwelveLostNothingRefused", 12, false, 26, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Five outputs taken by the printer and unanswered, the sixth refused and the error answered
// clear while nine more wait in the queue. The printer still answers the five it took; the
// next two outputs reuse two of their ids and must wait for their own answers.
TEST_F(OutputPath, AnswersOfClearedWritesCompleteNoLaterOutput) {
  Open(/*mode=*/1);
  fakelog::Clear();
  TbxSim_HoldCompletions(kPrinter, 0);
  for (int i = 0; i < 5; ++i) (void)PrintAsync(LineText(i).c_str());
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 5; }));
  ScopedHandle queued(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  owner_.retry = false;
  owner_.onError = [&] { WaitForSingleObject(queued.get(), 30000); };
  TbxSim_FailNext(kPrinter, "DirectIOEx write", -110, 1);
  for (int i = 5; i < 15; ++i) (void)PrintAsync(LineText(i).c_str());
  SetEvent(queued.get());
  ASSERT_TRUE(PumpUntil([&] {
    return owner_.errors.size() == 1 && channel_.QueuedCount(OUTPUT_QUEUE_NORMAL) == 0 &&
           channel_.PrintWaitCount() == 0;
  }));
  owner_.onError = nullptr;
  const long first = PrintAsync("C0\n"), second = PrintAsync("C1\n");  // response ids 3 and 4
  ASSERT_TRUE(PumpUntil([] {
    return Tokens() == 7 || !fakelog::LinesContaining(L"waits for the answer").empty();
  }));
  TbxSim_HoldCompletions(kPrinter, 5);  // the answers of the five cleared writes
  ASSERT_TRUE(PumpUntil([] { return AnswersSeen() >= 5 && Tokens() == 7; }));
  PumpUntil([] { return true; });
  EXPECT_TRUE(CompletedIds().empty()) << "completed by a cleared write's answer: " << PostedText();
  TbxSim_HoldCompletions(kPrinter, -1);
  ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(second); })) << "posted: " << PostedText();
  EXPECT_EQ(CompletedIds(), (std::vector<long>{first, second}));
}

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
  // Every copy written before any answer comes: which ids are free stays fixed.
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 8; })) << Readable(Written());
  TbxSim_HoldCompletions(kPrinter, -1);
  ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(last); })) << "posted: " << PostedText();
  // Each copy goes with a response id no other unanswered write holds: the first copies'
  // answers may still come.
  EXPECT_EQ(Readable(Written()), "A<0>B<1>C<2>A<3>A<4>B<5>C<6>D<7>");
  EXPECT_EQ(CompletedIds(), (std::vector<long>{1, 2, 3, 4}));
}

// The printer prints but holds its answers for longer than ReceiveTimeout: the unanswered
// outputs are given up (ErrorEvent 112). The answers still come later; each stands for no
// output, neither the given-up one (answered retry, its resend's answer completes it) nor a
// later output (answered clear) that took the next id.
class GiveUp : public OutputPath, public ::testing::WithParamInterface<bool> {};

TEST_P(GiveUp, LateAnswersCompleteNoOutput) {
  const bool retry = GetParam();
  Open(/*mode=*/1, /*receiveTimeoutMs=*/1500);
  owner_.retry = retry;
  TbxSim_HoldCompletions(kPrinter, 0);
  for (int i = 0; i < 12; ++i) (void)PrintAsync(LineText(i).c_str());
  ASSERT_TRUE(PumpUntil([&] { return !owner_.errors.empty(); }));
  EXPECT_EQ(owner_.errors[0], 112);
  long last = 12;
  if (retry) {  // the first output's resend is written
    ASSERT_TRUE(PumpUntil([] {
      const std::string written = TbxSimWritten(kPrinter);
      return written.find(LineText(0), written.find(LineText(0)) + 1) != std::string::npos;
    }));
  } else {
    last = PrintAsync("X\n");
    ASSERT_TRUE(PumpUntil([] { return TbxSimWritten(kPrinter).find("X\n") != std::string::npos; }));
  }
  const size_t seen = AnswersSeen();
  TbxSim_HoldCompletions(kPrinter, 1);  // the answer to the first output's first copy
  ASSERT_TRUE(PumpUntil([&] { return AnswersSeen() >= seen + 1; }));
  PumpUntil([] { return true; });
  EXPECT_TRUE(CompletedIds().empty()) << "a given-up write's answer completed " << PostedText();
  TbxSim_HoldCompletions(kPrinter, -1);
  ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(last); })) << "posted: " << PostedText();
  EXPECT_EQ(CompletedIds(), retry ? IdsUpTo(last) : std::vector<long>{last});
  EXPECT_EQ(owner_.errors.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Answers, GiveUp, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Retry" : "Clear"; });

// ClearOutput (clear, printer reset, owed answers dropped) while the send thread's write of
// an output is under way: its bytes reach the printer after the reset. Its answer stays owed,
// for no output: the output that takes its id next is not completed by it, and neither it
// nor the output queued behind it completes.
TEST_F(OutputPath, AWriteUnderWayAtClearOutputKeepsItsAnswerOwed) {
  Open(/*mode=*/1);
  fakelog::Clear();
  TbxSim_SetResetOfflineTime(kPrinter, 0);
  TbxSim_HoldWrites(kPrinter, 0);
  (void)PrintAsync("A\n");  // response id 0, its write held in the call
  (void)PrintAsync("B\n");
  ASSERT_TRUE(PumpUntil([] { return TbxSim_GetWaitingWrites(kPrinter) == 1; }));
  channel_.ClearAllQueues();
  (void)channel_.OtherMethod1005();
  channel_.DropOwedAnswers();
  TbxSim_HoldCompletions(kPrinter, 0);
  TbxSim_HoldWrites(kPrinter, -1);
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 1; }));
  PrintHeldThenOnlyTheseComplete(0, 11, 12);  // response ids 2-11, then 0
  EXPECT_EQ(TbxSimWritten(kPrinter).find("B\n"), std::string::npos) << "a cleared output written";
}

// Release (the threads stop) and Claim again while the printer owes answers for three
// outputs: the answers stay owed, for no output, and complete none of the outputs written
// after the claim, whose ids go on from before.
TEST_F(OutputPath, AnswersOwedAtReleaseCompleteNothingAfterClaim) {
  Open(/*mode=*/1);
  fakelog::Clear();
  TbxSim_HoldCompletions(kPrinter, 0);
  for (int i = 0; i < 3; ++i) (void)PrintAsync(LineText(i).c_str());
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 3; }));
  ASSERT_TRUE(channel_.StopAllThreads());
  ASSERT_TRUE(channel_.StartAllThreads());
  PrintHeldThenOnlyTheseComplete(3, 15, 15);
}

// Release while more output is queued than ids are free: the stopping send thread still
// writes every queued output, each as the printer's answers free an id.
TEST_F(OutputPath, StoppingWritesEveryQueuedOutputAsAnswersFreeIds) {
  Open(/*mode=*/1);
  TbxSim_HoldCompletions(kPrinter, 0);
  for (int i = 0; i < 14; ++i) (void)PrintAsync(LineText(i).c_str());
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 11; }));
  fakelog::Clear();
  std::thread stopper([this] { (void)channel_.StopSendThread(); });
  const bool stopping = PumpUntil(
      [] { return !fakelog::LinesContaining(L"Wait for thread termination.").empty(); });
  TbxSim_HoldCompletions(kPrinter, -1);
  stopper.join();
  ASSERT_TRUE(stopping);
  EXPECT_EQ(Tokens(), 14u);
  const std::string written = TbxSimWritten(kPrinter);
  for (int i = 0; i < 14; ++i)
    EXPECT_NE(written.find(LineText(i)), std::string::npos) << LineText(i) << " dropped";
}

// A power blip the printer reports late (after it answered output written since): that answer
// proves the three outputs before the blip lost. They are reported and written again; the
// outputs the printer answered are not, and every output completes once, in order.
TEST_F(OutputPath, ALatePowerReportResendsOnlyWhatIsUnanswered) {
  Open(/*mode=*/1);
  owner_.retry = true;
  TbxSim_HoldCompletions(kPrinter, 0);
  for (int i = 0; i < 3; ++i) (void)PrintAsync(LineText(i).c_str());
  ASSERT_TRUE(PumpUntil([] { return Tokens() == 3; }));
  TbxSim_OverrideStatus(kPrinter, TRUE, TbxSim_GetStatusWord(kPrinter));  // nothing reported
  TbxSim_SetPower(kPrinter, FALSE);
  TbxSim_SetPower(kPrinter, TRUE);
  fakelog::Clear();
  bool reported = false;
  owner_.onError = [&] {  // the off report comes while the error is raised
    if (reported) return;
    reported = true;
    // Answered once the printer answered the eight written since the blip (the ninth waits
    // for an id): those are not written again.
    for (int i = 0; i < 3000 && AnswersSeen() < 8; ++i) Sleep(10);
    PrnStatusRecord record;
    std::memset(&record, 0xFF, sizeof record);
    record.powerState = 2004;
    (void)CCommDevice::OnStatusNotify(&record, 2004, &channel_);
    record.powerState = 2001;
    (void)CCommDevice::OnStatusNotify(&record, 2001, &channel_);
  };
  TbxSim_HoldCompletions(kPrinter, -1);
  long last = 0;
  for (int i = 3; i < 12; ++i) last = PrintAsync(LineText(i).c_str());
  ASSERT_TRUE(PumpUntil([&] { return !owner_.errors.empty(); }));
  TbxSim_OverrideStatus(kPrinter, FALSE, 0);
  ASSERT_TRUE(PumpUntil([&] { return CompletedThenIdle(last); })) << "posted: " << PostedText();
  EXPECT_EQ(CompletedIds(), IdsUpTo(last));
  EXPECT_EQ(owner_.errors[0], 107);
  const std::string written = TbxSimWritten(kPrinter);
  for (int i = 0; i < 12; ++i) {
    size_t copies = 0;
    for (size_t at = written.find(LineText(i)); at != std::string::npos;
         at = written.find(LineText(i), at + 1))
      ++copies;
    EXPECT_EQ(copies, i < 3 ? 2u : 1u) << LineText(i);
  }
}

// Two synchronous outputs time out (112) while the printer holds its answers: both their
// answers may still come, so the third is not written with either id until one came.
TEST_F(OutputPath, ASynchronousWriteWaitsWhileBothItsIdsAreOwed) {
  Open(/*mode=*/1, /*receiveTimeoutMs=*/1500);
  TbxSim_HoldCompletions(kPrinter, 0);
  long extended = 0;
  EXPECT_EQ(PrintSync("S1\n", 1, &extended), 112);
  EXPECT_EQ(PrintSync("S2\n", 1, &extended), 112);
  fakelog::Clear();
  long result = -1;
  std::mutex lock;
  COutputCompletion target;
  target.resultCell = &result;
  target.extendedCell = &extended;
  target.resultLock = &lock;
  (void)channel_.Output(new PrnInputProperty(Record()), new PrnStationState{}, TextList("S3\n"),
                        1, OUTPUT_COMPLETE_BY_RESULT, target);
  ASSERT_TRUE(PumpUntil([] {
    return Tokens() == 3 || !fakelog::LinesContaining(L"waits for the answer").empty();
  }));
  EXPECT_EQ(Tokens(), 2u) << "written while both synchronous ids are owed";
  TbxSim_HoldCompletions(kPrinter, -1);
  ASSERT_TRUE(PumpUntil([&] {
    std::lock_guard<std::mutex> hold(lock);
    return result != -1;
  }));
  EXPECT_EQ(result, 0);
  const std::string printed = TbxSimPrinted(kPrinter);
  EXPECT_NE(printed.find("S3\n"), std::string::npos);
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
