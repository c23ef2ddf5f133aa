// A soak of asynchronous output under printer faults, on the stand-in Control Object's
// thread against prennik.dll and the simulated printer: numbered lines printed
// asynchronously while, at seeded irregular points, the printer's cover opens, its paper
// runs out, it goes offline for a while, its power goes off and on (losing what it had
// not printed and the answers not read, its report of it coming late) or it stops without
// a word for longer than ReceiveTimeout; the application calls ClearOutput, or releases and
// claims the device again, now and then; ErrorEvents are answered with retry, now and then
// with clear, and the printer's answers become readable late. Every accepted line must
// complete exactly once, in order, only once it printed, with no copy of it written after
// its OutputCompleteEvent, unless a clear dropped it; no write may carry a response id the
// printer still owes an answer for; once the printer is idle nothing may still wait. The
// seed is printed; the environment variable KVR_SOAK_SEED replays it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "OpenedDevice.h"
#include "OposCodes.h"

namespace {

constexpr char kDevice[] = "SoOutputSoakDevice";
constexpr char kPrinter[] = "SoOutputSoakPrinter";
constexpr long kPidxOutputId = 5, kPidxAsyncMode = 8001;
constexpr int kLines = 1000;
constexpr DWORD kReplyDelayMs = 150;

using sotest::Bstr;
using sotest::WaitUntil;

unsigned Seed() {
  if (const char* fixed = std::getenv("KVR_SOAK_SEED")) return std::strtoul(fixed, nullptr, 10);
  return std::random_device{}();
}

std::string LineText(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "Soak %05d", n);
  return text;
}

// One fault of the printer's, set now and taken back by its own thread after a while.
class Fault {
 public:
  Fault(int kind, DWORD ms, DWORD reportDelayMs = 0) : m_kind(kind), m_reportDelay(reportDelayMs) {
    Set(true);
    m_thread = std::thread([this, ms] {
      Sleep(ms);
      Set(false);
    });
  }
  ~Fault() { m_thread.join(); }

 private:
  void Set(bool on) {
    switch (m_kind) {
      case 0: TbxSim_SetCoverOpen(kPrinter, on); break;
      case 1: TbxSim_SetPaper(kPrinter, on ? TBXSIM_PAPER_EMPTY : TBXSIM_PAPER_PRESENT); break;
      case 2: TbxSim_SetOnline(kPrinter, !on); break;
      case 3:  // its reports, off and on again, come late
        if (on) TbxSim_SetReportDelay(kPrinter, m_reportDelay);
        TbxSim_SetPower(kPrinter, !on);
        if (!on) TbxSim_SetReportDelay(kPrinter, 0);
        break;
      default:  // stopped, and no status change reported: only ReceiveTimeout tells
        if (on) TbxSim_OverrideStatus(kPrinter, TRUE, TbxSim_GetStatusWord(kPrinter));
        TbxSim_SetCoverOpen(kPrinter, on);
        if (!on) TbxSim_OverrideStatus(kPrinter, FALSE, 0);
        break;
    }
  }
  int m_kind;
  DWORD m_reportDelay;
  std::thread m_thread;
};

class OutputSoak : public sotest::OpenedDevice {
 protected:
  OutputSoak() : OpenedDevice(kDevice, kPrinter) {}

  void SetUp() override {
    key_.SetString("ProcessCompletionTiming", "1");
    // Bounds the wait for answers a power loss took (and so the soak's length).
    key_.SetString("ReceiveTimeout", "1000");
    key_.SetString("RCVC", "20");
    ASSERT_NO_FATAL_FAILURE(OpenedDevice::SetUp());
    // Where the printer's records stood when each OutputCompleteEvent came.
    co_.SetHandler(L"SOOutputComplete", [this](const costandin::EventRecord& event, long*) {
      const DWORD written = TbxSim_GetWritten(kPrinter, nullptr, 0);
      const DWORD printed = TbxSim_GetPrinted(kPrinter, nullptr, 0);
      std::lock_guard<std::mutex> hold(m_lock);
      m_completions.push_back({event.numbers[0], written, printed});
    });
  }

  void TearDown() override {
    co_.ClearHandlers();
    TbxSim_SetReplyDelay(kPrinter, 0);
    CloseWhenIdle(600);
  }

  struct Completion {
    long outputId;
    DWORD recordSize;
    DWORD printedSize;
  };
  size_t CompletionCount() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_completions.size();
  }

  std::mutex m_lock;
  std::vector<Completion> m_completions;
};

TEST_F(OutputSoak, EveryLineReachesThePrinterInOrderAndCompletesOnceAfterItsLastCopy) {
  const unsigned seed = Seed();
  std::printf("[ soak     ] seed %u (KVR_SOAK_SEED=%u replays this run)\n", seed, seed);
  RecordProperty("seed", std::to_string(seed));
  std::mt19937 random(seed);
  auto between = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  // Mostly retry; one error in eight is answered clear, which may drop every output handed
  // out so far.
  std::mt19937 answers(seed);
  long clearedUpTo = 0;  // OutputIDs up to this one may have been cleared
  co_.SetHandler(L"SOError", [&](const costandin::EventRecord&, long* errorResponse) {
    const bool clear = std::uniform_int_distribution<int>(0, 7)(answers) == 0;
    *errorResponse = clear ? 12 : 11;
    if (clear) clearedUpTo = so_->GetPropertyNumber(kPidxOutputId);
  });
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  TbxSim_SetReplyDelay(kPrinter, kReplyDelayMs);

  std::map<long, int> lineOf;  // OutputID -> line
  std::vector<int> accepted;
  std::unique_ptr<Fault> fault;
  int faults = 0;
  for (int n = 0, nextFault = between(40, 110); n < kLines; ++n) {
    if (n == nextFault) {
      fault.reset();  // the one before has been taken back
      const int kind = between(0, 4);
      // A silent stop outlasts ReceiveTimeout: the outputs are given up, their answers late.
      const DWORD ms = static_cast<DWORD>(kind == 4 ? between(1100, 1500) : between(30, 400));
      fault.reset(new Fault(kind, ms, static_cast<DWORD>(between(0, 300))));
      ++faults;
      nextFault += between(40, 110);
    }
    Bstr data((LineText(n) + "\n").c_str());
    long id = 0;
    const long result = Call([&] {
      const long r = so_->PrintNormal(2, data);
      if (r == 0) id = so_->GetPropertyNumber(kPidxOutputId);
      return r;
    });
    if (result != 0) continue;  // refused: not the application's line any more
    lineOf[id] = n;
    accepted.push_back(n);
    const int action = between(0, 299);
    if (action < 2) {  // in the middle of a burst: drops what is not confirmed
      (void)Call([&] {
        const long r = so_->ClearOutput();
        clearedUpTo = so_->GetPropertyNumber(kPidxOutputId);
        return r;
      });
    } else if (action == 2) {  // released and claimed again: drops it too
      fault.reset();  // a printer that is off cannot be claimed
      ASSERT_EQ(Call([&] {
                  long r = so_->ReleaseDevice();
                  if (r == OPOS_E_BUSY) r = so_->ReleaseDevice();  // busy: State idle, then done
                  if (r == 0) r = so_->Claim(5000);
                  clearedUpTo = so_->GetPropertyNumber(kPidxOutputId);
                  return r;
                }),
                0);
      ASSERT_EQ(SetNumber(kPidxDeviceEnabled, 1), 0);
    }
    if (n % 200 == 0) fakelog::Clear();  // the recording log keeps every line otherwise
  }
  fault.reset();
  const long lastCleared = Call([&] { return clearedUpTo; });
  size_t owed = 0;  // lines nothing can have dropped
  for (const auto& [id, line] : lineOf) owed += id > lastCleared;
  auto completedAfterClear = [&] {
    std::lock_guard<std::mutex> hold(m_lock);
    size_t n = 0;
    for (const Completion& c : m_completions) n += c.outputId > lastCleared;
    return n;
  };
  ASSERT_TRUE(WaitUntil([&] { return completedAfterClear() >= owed; }, 1200))
      << "seed " << seed << ": " << completedAfterClear() << " of " << owed
      << " lines after the last clear completed";
  ASSERT_TRUE(WaitUntil([&] { return Number(kPidxState) == kStateIdle; }))
      << "seed " << seed << ": output still waits";

  const std::string record = TbxSimWritten(kPrinter), printed = TbxSimPrinted(kPrinter);
  std::vector<Completion> completions;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    completions = m_completions;
  }
  std::ostringstream faultsFound;
  int reported = 0;
  auto report = [&](const std::string& what) {
    if (reported++ < 10) faultsFound << "\n  " << what;
  };
  std::map<long, int> times;
  long previous = 0;
  for (const Completion& c : completions) {
    if (++times[c.outputId] == 2) report("OutputID " + std::to_string(c.outputId) + " completed twice");
    if (c.outputId <= previous)
      report("OutputID " + std::to_string(c.outputId) + " completed after " + std::to_string(previous));
    previous = c.outputId;
    auto line = lineOf.find(c.outputId);
    if (line == lineOf.end()) {
      report("OutputID " + std::to_string(c.outputId) + " was never handed out");
      continue;
    }
    const size_t last = record.rfind(LineText(line->second));
    if (last != std::string::npos && last + LineText(0).size() > c.recordSize)
      report(LineText(line->second) + " written again after its OutputCompleteEvent");
    const size_t print = printed.find(LineText(line->second));
    if (print == std::string::npos || print + LineText(0).size() > c.printedSize)
      report(LineText(line->second) + " completed before it printed");
  }
  size_t before = 0;
  for (const auto& [id, n] : lineOf) {
    const size_t first = record.find(LineText(n));
    if (first == std::string::npos) {
      if (id > lastCleared) report(LineText(n) + " never reached the printer");
      continue;
    }
    if (first < before) report(LineText(n) + " first printed before an earlier line");
    before = first;
  }
  for (const auto& [id, line] : lineOf)
    if (!times.count(id) && id > lastCleared)
      report(LineText(line) + " (OutputID " + std::to_string(id) + ") never completed");
  EXPECT_EQ(TbxSim_GetReusedIdWrites(kPrinter), 0)
      << "seed " << seed << ": writes with a response id the printer still owed an answer for";
  EXPECT_EQ(reported, 0) << "seed " << seed << ", " << faults << " faults, " << accepted.size()
                         << " lines accepted:" << faultsFound.str();
}

}  // namespace

namespace {

// The printer answers the last of two asynchronous lines: its OutputCompleteEvent's handler
// disables and releases the device, as an application that is done does. Nothing is left
// to print, so the device is already idle and both succeed.
class IdleAtLastCompletion : public sotest::OpenedDevice {
 protected:
  IdleAtLastCompletion() : OpenedDevice("SoIdleAtLastDevice", "SoIdleAtLastPrinter") {}
  void SetUp() override {
    key_.SetString("ProcessCompletionTiming", "1");
    ASSERT_NO_FATAL_FAILURE(OpenedDevice::SetUp());
  }
  void TearDown() override {
    co_.ClearHandlers();
    CloseWhenIdle(100);
  }
};

TEST_F(IdleAtLastCompletion, ItsHandlerDisablesAndReleases) {
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  long lastId = -1, disabled = -1, released = -1;
  co_.SetHandler(L"SOOutputComplete", [&](const costandin::EventRecord& event, long*) {
    if (event.numbers[0] != lastId) return;
    so_->SetPropertyNumber(kPidxDeviceEnabled, 0);
    disabled = so_->Properties().ResultCode;
    released = so_->ReleaseDevice();
  });
  Bstr first("First\n"), second("Second\n");
  ASSERT_EQ(Call([&] {
              long r = so_->PrintNormal(2, first);
              if (r == 0) r = so_->PrintNormal(2, second);
              lastId = so_->GetPropertyNumber(kPidxOutputId);
              return r;
            }),
            0);
  ASSERT_TRUE(WaitUntil([&] { return Call([&] { return released; }) != -1; }));
  EXPECT_EQ(disabled, 0) << "DeviceEnabled = false in the last OutputCompleteEvent";
  EXPECT_EQ(released, 0) << "ReleaseDevice in the last OutputCompleteEvent";
}

}  // namespace

namespace {

// Rounds of a few asynchronous lines, ClearOutput and one line more, with a healthy printer:
// ClearOutput's own printer reset is no fault of the printer's (no ErrorEvent), and the line
// printed after the last ClearOutput completes (an earlier one's OutputCompleteEvent may go
// with the next ClearOutput's purge), the device ending idle.
class ClearOutputRounds : public sotest::OpenedDevice {
 protected:
  ClearOutputRounds() : OpenedDevice("SoClearRoundsDevice", "SoClearRoundsPrinter") {}
  void SetUp() override {
    key_.SetString("ProcessCompletionTiming", "1");
    ASSERT_NO_FATAL_FAILURE(OpenedDevice::SetUp());
    co_.SetHandler(L"SOOutputComplete", [this](const costandin::EventRecord& event, long*) {
      completed_.push_back(event.numbers[0]);
    });
    co_.SetHandler(L"SOError", [this](const costandin::EventRecord& event, long* response) {
      errors_.push_back(event.numbers.empty() ? 0 : event.numbers[0]);
      *response = 12;  // clear
    });
  }
  void TearDown() override {
    co_.ClearHandlers();
    CloseWhenIdle(100);
  }
  std::vector<long> completed_, errors_;  // on the Control Object's thread only
};

TEST_F(ClearOutputRounds, ItsOwnResetRaisesNoErrorAndLaterLinesComplete) {
  constexpr long kPidxOutputId = 5, kPidxAsyncMode = 8001;
  constexpr int kRounds = 40;
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  TbxSim_SetResetOfflineTime(printer_, 20);
  long last = 0;
  for (int round = 0; round < kRounds; ++round) {
    for (int line = 0; line <= round % 4; ++line) {
      Bstr data(("Round " + std::to_string(round) + "\n").c_str());
      ASSERT_EQ(Call([&] { return so_->PrintNormal(2, data); }), 0);
    }
    ASSERT_EQ(Call([&] { return so_->ClearOutput(); }), 0);
    Bstr after(("After " + std::to_string(round) + "\n").c_str());
    ASSERT_EQ(Call([&] {
                const long r = so_->PrintNormal(2, after);
                last = so_->GetPropertyNumber(kPidxOutputId);
                return r;
              }),
              0);
  }
  EXPECT_TRUE(WaitUntil([&] {
    return Call([&] {
      return static_cast<long>(std::find(completed_.begin(), completed_.end(), last) !=
                               completed_.end());
    }) != 0;
  })) << "OutputID " << last << " printed after the last ClearOutput never completed";
  ASSERT_TRUE(WaitUntil([&] { return Number(kPidxState) == kStateIdle; }))
      << "output still waits";
  std::vector<long> errors;
  (void)Call([&] {
    errors = errors_;
    return 0L;
  });
  EXPECT_TRUE(errors.empty()) << errors.size() << " ErrorEvents, the first " << errors[0];
}

}  // namespace
