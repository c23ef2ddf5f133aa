// A soak of asynchronous output under printer faults, on the stand-in Control Object's
// thread against prennik.dll and the simulated printer: numbered lines printed
// asynchronously while, at seeded irregular points, the printer's cover opens, its paper
// runs out or it goes offline for a while; every ErrorEvent is answered with retry and the
// printer's answers become readable late. Every accepted line must reach the printer and
// complete exactly once, in order, with no copy of it written after its OutputCompleteEvent,
// and the first copies of the lines must stand in their order. The seed is printed; the
// environment variable KVR_SOAK_SEED replays it.
#include <gtest/gtest.h>

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
  Fault(int kind, DWORD ms) : m_kind(kind) {
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
      default: TbxSim_SetOnline(kPrinter, !on); break;
    }
  }
  int m_kind;
  std::thread m_thread;
};

class OutputSoak : public sotest::OpenedDevice {
 protected:
  OutputSoak() : OpenedDevice(kDevice, kPrinter) {}

  void SetUp() override {
    key_.SetString("ProcessCompletionTiming", "1");
    key_.SetString("ReceiveTimeout", "10000");
    key_.SetString("RCVC", "20");
    ASSERT_NO_FATAL_FAILURE(OpenedDevice::SetUp());
    // Where the printer's record stood when each OutputCompleteEvent came.
    co_.SetHandler(L"SOOutputComplete", [this](const costandin::EventRecord& event, long*) {
      const DWORD size = TbxSim_GetWritten(kPrinter, nullptr, 0);
      std::lock_guard<std::mutex> hold(m_lock);
      m_completions.push_back({event.numbers[0], size});
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
  co_.SetErrorResponse(11);  // retry
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  TbxSim_SetReplyDelay(kPrinter, kReplyDelayMs);

  std::map<long, int> lineOf;  // OutputID -> line
  std::vector<int> accepted;
  std::unique_ptr<Fault> fault;
  int faults = 0;
  for (int n = 0, nextFault = between(40, 110); n < kLines; ++n) {
    if (n == nextFault) {
      fault.reset();  // the one before has been taken back
      fault.reset(new Fault(between(0, 2), static_cast<DWORD>(between(30, 400))));
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
    if (n % 200 == 0) fakelog::Clear();  // the recording log keeps every line otherwise
  }
  fault.reset();
  ASSERT_TRUE(WaitUntil([&] { return CompletionCount() >= accepted.size(); }, 1200))
      << "seed " << seed << ": " << CompletionCount() << " of " << accepted.size()
      << " lines completed";
  ASSERT_TRUE(WaitUntil([&] { return Number(kPidxState) == kStateIdle; }));

  const std::string record = TbxSimWritten(kPrinter);
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
  }
  size_t before = 0;
  for (int n : accepted) {
    const size_t first = record.find(LineText(n));
    if (first == std::string::npos) {
      report(LineText(n) + " never reached the printer");
      continue;
    }
    if (first < before) report(LineText(n) + " first printed before an earlier line");
    before = first;
  }
  for (const auto& [id, line] : lineOf)
    if (!times.count(id)) report(LineText(line) + " (OutputID " + std::to_string(id) + ") never completed");
  EXPECT_EQ(reported, 0) << "seed " << seed << ", " << faults << " faults, " << accepted.size()
                         << " lines accepted:" << faultsFound.str();
}

}  // namespace
