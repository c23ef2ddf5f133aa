// The output methods of the service object through the stand-in Control Object's thread,
// against prennik.dll and the simulated printer: bytes at the printer, OutputID and
// OutputCompleteEvent, the busy rule, output errors and their answers, transactions,
// rotation and ClearOutput.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "CommDevice.h"
#include "DeviceClaim.h"
#include "HiddenWindow.h"
#include "OpenedDevice.h"
#include "OposCodes.h"

namespace {

constexpr char kDevice[] = "SoPrintingDevice";
constexpr char kPrinter[] = "SoPrintingPrinter";
constexpr long kPidxOutputId = 5, kPidxResultCodeExtended = 7, kPidxAsyncMode = 8001;
constexpr long kStateBusy = 3;
constexpr long kRecNearEmpty = 25, kRecPaperOk = 26;  // StatusUpdate codes

using sotest::Bstr;
using sotest::WaitUntil;

std::string Written() { return TbxSimWritten(kPrinter); }

size_t Count(const std::string& haystack, const std::string& needle) {
  size_t n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

class Printing : public sotest::OpenedDevice {
 protected:
  Printing() : OpenedDevice(kDevice, kPrinter) {}

  void SetUp() override {
    key_.SetString("ProcessCompletionTiming", "1");
    key_.SetString("ReceiveTimeout", receiveTimeout_);
    key_.SetString("RCVC", rcvc_);
    key_.SetString("LogLevelCore", "4");
    fakelog::Clear();
    ASSERT_NO_FATAL_FAILURE(OpenedDevice::SetUp());
    co_.ClearEvents();
  }
  void TearDown() override { CloseWhenIdle(100); }

  const char* receiveTimeout_ = "10000";
  const char* rcvc_ = "20";

  long PrintNormal(long station, const char* text) {
    Bstr data(text);
    return Call([&] { return so_->PrintNormal(station, data); });
  }
  // OutputCompleteEvents received so far, their OutputIDs in order.
  std::vector<long> Completed() {
    std::vector<long> ids;
    for (const auto& event : co_.Events())
      if (event.name == L"SOOutputComplete") ids.push_back(event.numbers[0]);
    return ids;
  }
  std::vector<costandin::EventRecord> Errors() {
    std::vector<costandin::EventRecord> errors;
    for (const auto& event : co_.Events())
      if (event.name == L"SOError") errors.push_back(event);
    return errors;
  }
};

// ---- every output method, synchronous and asynchronous ----
struct OutputRow {
  const char* name;
  std::function<long(CPOSPrinter*)> call;
  std::string bytes;  // what the printer must have received (escape bytes of prennik)
};

std::vector<OutputRow> OutputRows() {
  return {
      {"PrintNormal", [](CPOSPrinter* so) { return so->PrintNormal(2, Bstr("\x1b|bCTotal\n")); },
       std::string("\x1b" "E\x01" "Total", 6)},
      {"PrintNormal plain text", [](CPOSPrinter* so) { return so->PrintNormal(2, Bstr("Plain line\n")); },
       "Plain line"},
      {"CutPaper", [](CPOSPrinter* so) { return so->CutPaper(100); }, "\x1d" "V"},
      {"PrintBarCode", [](CPOSPrinter* so) {
         return so->PrintBarCode(2, Bstr("490123456789"), 104, 80, 300, -2, -13);
       }, "\x1d" "k"},
      {"PrintNormal centred", [](CPOSPrinter* so) {
         return so->PrintNormal(2, Bstr("\x1b|cAMiddle\n"));
       }, std::string("\x1b" "a\x01", 3)},
  };
}

TEST_F(Printing, EachOutputMethodPrintsSynchronously) {
  for (const OutputRow& row : OutputRows()) {
    TbxSim_ClearWritten(kPrinter);
    long result = Call([&] { return row.call(so_); });
    EXPECT_EQ(result, 0) << row.name;
    EXPECT_NE(Written().find(row.bytes), std::string::npos) << row.name;
    EXPECT_EQ(Count(Written(), "\x12q"), 1u) << row.name << ": one request, one response id";
  }
  EXPECT_TRUE(Completed().empty()) << "no OutputCompleteEvent for synchronous output";
}

TEST_F(Printing, EachOutputMethodPrintsAsynchronouslyWithItsOutputIdAndEvent) {
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  std::vector<long> ids;
  for (const OutputRow& row : OutputRows()) {
    EXPECT_EQ(Call([&] { return row.call(so_); }), 0) << row.name;
    ids.push_back(Number(kPidxOutputId));
    if (ids.size() > 1) {
      EXPECT_EQ(ids.back(), ids[ids.size() - 2] + 1) << row.name;
    }
  }
  ASSERT_TRUE(WaitUntil([&] { return Completed().size() == ids.size(); })) << Completed().size();
  EXPECT_EQ(Completed(), ids);
  ASSERT_TRUE(WaitUntil([&] { return Number(kPidxState) == kStateIdle; }));
  const std::string bytes = Written();
  size_t at = 0;
  for (const OutputRow& row : OutputRows()) {
    const size_t found = bytes.find(row.bytes, at);
    EXPECT_NE(found, std::string::npos) << row.name << " in order";
    if (found != std::string::npos) at = found;
  }
}

TEST_F(Printing, StationAndStateChecksComeFirst) {
  EXPECT_EQ(PrintNormal(3, "x"), 106);
  EXPECT_EQ(PrintNormal(4, "x"), 106) << "no slip station";
  EXPECT_EQ(Call([&] { return so_->PrintTwoNormal(3, Bstr("a"), Bstr("b")); }), 106);
  EXPECT_EQ(Call([&] { return so_->PrintBarCode(2, Bstr("1"), 110, 80, 2, -4, -11); }), 106)
      << "an alignment that is no code and no position";
  EXPECT_EQ(Call([&] { return so_->PrintBarCode(2, Bstr("1"), 110, 80, 2, 0x7FFFFFF0, -11); }), 106)
      << "a position beyond 16 bits";
  // Methods whose station or capability this printer lacks: refused before the sub-module.
  const struct {
    const char* name;
    std::function<long()> call;
  } refused[] = {
      {"BeginInsertion", [&] { return so_->BeginInsertion(100); }},
      {"EndRemoval", [&] { return so_->EndRemoval(); }},
      {"ChangePrintSide", [&] { return so_->ChangePrintSide(1); }},
      {"ClearPrintArea", [&] { return so_->ClearPrintArea(); }},
      {"PrintBitmap slip", [&] { return so_->PrintBitmap(4, Bstr("x.bmp"), -11, -1); }},
      {"SetBitmap slip", [&] { return so_->SetBitmap(1, 4, Bstr("x.bmp"), -11, -1); }},
      {"DrawRuledLine journal", [&] { return so_->DrawRuledLine(1, Bstr("0,10"), 1, 1, 1, 0); }},
  };
  for (const auto& row : refused) EXPECT_EQ(Call(row.call), 106) << row.name;
  EXPECT_EQ(Written(), "");
  ASSERT_EQ(SetNumber(kPidxDeviceEnabled, 0), 0);
  EXPECT_EQ(PrintNormal(2, "x"), 105);
  ASSERT_EQ(SetNumber(kPidxDeviceEnabled, 1), 0);
}

TEST_F(Printing, BusyRuleRefusesWhatItsFormRefuses) {
  TbxSim_SetCoverOpen(kPrinter, TRUE);  // the queued output waits at the status gate
  ASSERT_EQ(SetNumber(kPidxFreezeEvents, 1), 0);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  ASSERT_EQ(PrintNormal(2, "Queued\n"), 0);
  EXPECT_EQ(Number(kPidxState), kStateBusy);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 0), 0);
  EXPECT_EQ(PrintNormal(2, "Sync\n"), 113);
  EXPECT_EQ(Number(kPidxResultCodeExtended), 0);
  EXPECT_EQ(Call([&] { return so_->CutPaper(50); }), 113) << "synchronous only: refused";
  EXPECT_EQ(Call([&] { return so_->MarkFeed(1); }), 106) << "no mark feed on this printer";
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  EXPECT_EQ(Call([&] { return so_->CutPaper(50); }), 0) << "asynchronous: queued while busy";
}

TEST_F(Printing, PrintImmediateGoesAheadOfTheQueuedOutput) {
  TbxSim_SetWriteDelay(kPrinter, 300);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  for (const char* text : {"One\n", "Two\n", "Three\n", "Four\n"}) ASSERT_EQ(PrintNormal(2, text), 0);
  EXPECT_EQ(Number(kPidxState), kStateBusy);
  EXPECT_EQ(Call([&] { return so_->PrintImmediate(2, Bstr("Now\n")); }), 0)
      << "no busy rule, and synchronous whatever AsyncMode says";
  const long lastId = Number(kPidxOutputId);
  ASSERT_TRUE(WaitUntil([&] { return Completed().size() == 4; }));
  EXPECT_EQ(Completed().back(), lastId) << "PrintImmediate gives no OutputID";
  const std::string bytes = Written();
  ASSERT_NE(bytes.find("Now"), std::string::npos);
  EXPECT_LT(bytes.find("Now"), bytes.find("Four"));
}

TEST_F(Printing, SetLogoKeepsTheLastLogoAndValidateDataPrintsNothing) {
  ASSERT_EQ(Call([&] { return so_->SetLogo(1, Bstr("First logo")); }), 0);
  ASSERT_EQ(Call([&] { return so_->SetLogo(1, Bstr("Second logo")); }), 0);
  ASSERT_EQ(Call([&] { return so_->SetLogo(2, Bstr("Bottom logo")); }), 0);
  EXPECT_EQ(Written(), "");
  ASSERT_EQ(PrintNormal(2, "\x1b|tL\x1b|bL"), 0);
  const std::string bytes = Written();
  EXPECT_EQ(bytes.find("First logo"), std::string::npos);
  ASSERT_NE(bytes.find("Second logo"), std::string::npos);
  EXPECT_LT(bytes.find("Second logo"), bytes.find("Bottom logo"));
  TbxSim_ClearWritten(kPrinter);
  EXPECT_EQ(Call([&] { return so_->ValidateData(2, Bstr("\x1b|bCBold\n")); }), 0);
  EXPECT_EQ(Call([&] { return so_->ValidateData(2, Bstr("\x1b|99999999999uC")); }), 111)
      << "a sequence outside the escape grammar";
  EXPECT_EQ(Written(), "");
}

// ---- errors ----
TEST_F(Printing, ASynchronousFailureReturnsItsCode) {
  ASSERT_NO_FATAL_FAILURE(OpenCover());
  const long result = PrintNormal(2, "Lost\n");
  EXPECT_EQ(result, 114);
  EXPECT_EQ(Number(kPidxResultCodeExtended), 201) << "cover open";
  EXPECT_EQ(Written().find("Lost"), std::string::npos);
}

TEST_F(Printing, AnAsynchronousErrorIsRaisedAndRetryResendsIt) {
  ASSERT_NO_FATAL_FAILURE(OpenCover());
  co_.SetErrorResponse(11);  // retry
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  ASSERT_EQ(PrintNormal(2, "First\n"), 0);
  const long id = Number(kPidxOutputId);
  ASSERT_TRUE(WaitUntil([&] { return !Errors().empty(); }));
  const auto error = Errors()[0];
  EXPECT_EQ(error.numbers[0], 114);
  EXPECT_EQ(error.numbers[1], 201);
  EXPECT_EQ(error.numbers[2], 1) << "ErrorLocus output";
  EXPECT_EQ(error.threadId, co_.ThreadId());
  TbxSim_SetCoverOpen(kPrinter, FALSE);
  ASSERT_TRUE(WaitUntil([&] { return Completed().size() == 1; }));
  EXPECT_EQ(Completed()[0], id);
  EXPECT_EQ(Count(Written(), "First"), 1u);
}

TEST_F(Printing, ClearAnswerDropsTheOutput) {
  ASSERT_NO_FATAL_FAILURE(OpenCover());
  co_.SetErrorResponse(12);  // clear
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  ASSERT_EQ(PrintNormal(2, "Dropped\n"), 0);
  ASSERT_TRUE(WaitUntil([&] { return !Errors().empty(); }));
  ASSERT_TRUE(WaitUntil([&] { return Number(kPidxState) == kStateIdle; }));
  TbxSim_SetCoverOpen(kPrinter, FALSE);
  EXPECT_EQ(PrintNormal(2, "After\n"), 0) << "the queue was cleared";
  EXPECT_EQ(Written().find("Dropped"), std::string::npos);
  EXPECT_TRUE(Completed().empty());
}

// A late idle notice used to make State idle while an asynchronous output waited for the
// answer to its error; a synchronous call then blocked the Control Object's thread, which
// alone can fire that error: neither ever finished. Now the call answers 113 at once.
TEST_F(Printing, ASynchronousCallWhileAsynchronousOutputWaitsOnItsErrorIsRefused) {
  ASSERT_NO_FATAL_FAILURE(OpenCover());
  ASSERT_EQ(SetNumber(kPidxFreezeEvents, 1), 0);  // the error event stays queued
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  ASSERT_EQ(PrintNormal(2, "Waiting\n"), 0);
  ASSERT_TRUE(WaitUntil([&] { return so_->QueuedEventCount() == 1; })) << "the error is queued";
  // The idle notice of an earlier output, arriving late.
  ASSERT_TRUE(PostMessageA(so_->Window()->Handle(), WhenIdleMessage(), 0, 0));
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 0), 0);
  auto call = std::async(std::launch::async, [&] { return PrintNormal(2, "Sync\n"); });
  const bool finished = call.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  if (!finished) so_->ClaimObject()->SetEnabled(false);  // unblocks the send thread
  ASSERT_TRUE(finished) << "the synchronous call deadlocked";
  EXPECT_EQ(call.get(), 113);
  EXPECT_EQ(Number(kPidxState), kStateBusy);
  co_.SetErrorResponse(12);
  ASSERT_EQ(SetNumber(kPidxFreezeEvents, 0), 0);
  ASSERT_TRUE(WaitUntil([&] { return Errors().size() == 1; }));
}

// The send thread answered a synchronous caller before it freed the request and cleared
// the flag that counts as pending output: a synchronous call made right after a synchronous
// print was refused with 113 until the freeing was done (a 1 MB print: up to 200 ms).
TEST_F(Printing, ASynchronousCallRightAfterASynchronousPrintIsNotRefused) {
  std::string big;
  for (int i = 0; big.size() < 256 * 1024; ++i)
    big += "A long synchronous print, line " + std::to_string(i) + "\n";
  Bstr first(big.c_str()), second("Next\n");
  long results[2] = {-1, -1};
  Call([&] {
    results[0] = so_->PrintNormal(2, first);
    results[1] = so_->PrintNormal(2, second);
    return 0L;
  });
  EXPECT_EQ(results[0], 0);
  EXPECT_EQ(results[1], 0) << "nothing was pending once the first print had returned";
  EXPECT_NE(Written().find("Next"), std::string::npos);
}

// ---- transaction and rotation ----
TEST_F(Printing, ATransactionHoldsOutputUntilItEndsThenSendsItAsOne) {
  EXPECT_EQ(Call([&] { return so_->TransactionPrint(2, 12); }), 0) << "none open";
  ASSERT_EQ(Call([&] { return so_->TransactionPrint(2, 11); }), 0);
  ASSERT_EQ(PrintNormal(2, "Dropped\n"), 0);
  // A second begin drops what the open one holds and begins again.
  ASSERT_EQ(Call([&] { return so_->TransactionPrint(2, 11); }), 0);
  ASSERT_EQ(PrintNormal(2, "Alpha\n"), 0);
  ASSERT_EQ(PrintNormal(2, "Beta\n"), 0);
  EXPECT_EQ(Written(), "") << "nothing printed inside the transaction";
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  const long before = Number(kPidxOutputId);
  ASSERT_EQ(Call([&] { return so_->TransactionPrint(2, 12); }), 0);
  EXPECT_EQ(Number(kPidxOutputId), before + 1);
  ASSERT_TRUE(WaitUntil([&] { return Completed().size() == 1; }));
  const std::string bytes = Written();
  EXPECT_EQ(Count(bytes, "\x12q"), 1u) << "one request";
  EXPECT_LT(bytes.find("Alpha"), bytes.find("Beta"));
  EXPECT_EQ(bytes.find("Dropped"), std::string::npos);
}

TEST_F(Printing, RotationsTheCapabilitiesRefuseAnd180Degrees) {
  EXPECT_EQ(Call([&] { return so_->RotatePrint(2, 0x101); }), 106);
  EXPECT_EQ(Call([&] { return so_->RotatePrint(2, 0x102); }), 106);
  EXPECT_EQ(Call([&] { return so_->RotatePrint(4, 0x103); }), 106) << "no slip";
  EXPECT_EQ(Call([&] { return so_->PageModePrint(1); }), 106) << "no page mode";
  ASSERT_EQ(Call([&] { return so_->RotatePrint(2, 0x103); }), 0);
  ASSERT_EQ(PrintNormal(2, "Upside\n"), 0);
  ASSERT_EQ(Call([&] { return so_->RotatePrint(2, 1); }), 0);
  ASSERT_EQ(PrintNormal(2, "Upright\n"), 0);
  const std::string bytes = Written();
  const size_t on = bytes.find(std::string("\x1b{\x01", 3));
  ASSERT_NE(on, std::string::npos);
  EXPECT_LT(on, bytes.find("Upside"));
  const size_t off = bytes.find(std::string("\x1b{\x00", 3), bytes.find("Upside"));
  ASSERT_NE(off, std::string::npos);
  EXPECT_LT(off, bytes.find("Upright"));
}

// The page-mode and rotated paths that the service object refuses on this printer, run on
// the hidden window's station buffers directly against prennik.
TEST_F(Printing, PageModeAndRotatedBuffersFrameAndPrintTheirOutput) {
  co_.RunOnThread([&] {
    CRJDevice* w = so_->Window();
    PrnInputProperty* r = nullptr;
    PrnStationState* s = nullptr;
    PrnPropertySnapshot* p = nullptr;
    auto make = [&] {
      r = so_->CreateInputProperty();
      p = so_->BuildPropertySnapshot(r);
      s = w->NewOutputRequest(2, 1);
    };
    auto release = [&] {
      delete s;
      so_->FreePropertyRecord(r);
      so_->FreePropertySnapshot(p);
    };
    auto text = [&](const char* t) {
      PrnTokenList* list = so_->Channel()->OtherMethod1018(2);
      PrnCommandToken* token = nullptr;
      EXPECT_EQ(so_->Channel()->SendEscapeToken(101, reinterpret_cast<const unsigned char*>(t),
                                                static_cast<long>(strlen(t)), 0, list, &token),
                0);
      return list;
    };
    long out = 0, extended = 0;

    make();
    EXPECT_EQ(w->BeginPageMode(r, s, p, 2, 1), 0);
    release();
    make();
    EXPECT_EQ(w->BeginPageMode(r, s, p, 2, 1), 1) << "one page at a time";
    release();
    EXPECT_EQ(w->BeginTransaction(2), 1) << "no receipt transaction while a page is open";
    make();
    EXPECT_EQ(w->AppendPositionedToBuffer(r, s, text("Paged"), -1, -1), 0);
    release();
    EXPECT_EQ(Written(), "");
    make();
    EXPECT_EQ(w->FlushStation(r, s, p, 2, 2, false, 2, &out, &extended), 0);
    EXPECT_NE(w->PageModeList(), nullptr) << "print and stay";
    make();
    EXPECT_EQ(w->FlushStation(r, s, p, 2, 3, false, 2, &out, &extended), 0);
    EXPECT_EQ(w->PageModeList(), nullptr);
    EXPECT_EQ(w->Modes().pageMode, 0);
    make();
    EXPECT_EQ(w->FlushStation(r, s, p, 2, 4, false, 2, &out, &extended), -1) << "none open";

    make();
    EXPECT_EQ(w->BeginRotatePrint(r, s, p, 2, 0x102, 1), 0);
    release();
    EXPECT_EQ(w->Modes().rotatedPrint, 1);
    EXPECT_EQ(w->Modes().rotatedDirection, 1);
    EXPECT_EQ(w->AppendToStationBuffer(2, text("Sideways")), 0);
    make();
    EXPECT_EQ(w->SendStation(r, s, p, 2, 1, true, false, 2, &out, &extended), 0);
    EXPECT_EQ(w->RotationList(), nullptr);
    EXPECT_EQ(w->Modes().rotatedPrint, 0);
  });
  const std::string bytes = Written();
  const size_t page = bytes.find("\x1bL");
  ASSERT_NE(page, std::string::npos);
  const size_t first = bytes.find("Paged", page);
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(bytes.find("\x1b\x0c", first), std::string::npos) << "printed, page kept";
  const size_t second = bytes.find("Paged", first + 1);
  ASSERT_NE(second, std::string::npos) << "the kept page printed again";
  const size_t left = bytes.find(std::string("\x1bT\x01", 3), second);
  ASSERT_NE(left, std::string::npos) << "left 90 degrees";
  const size_t sideways = bytes.find("Sideways", left);
  ASSERT_NE(sideways, std::string::npos);
  EXPECT_NE(bytes.find('\x0c', sideways), std::string::npos);
  EXPECT_EQ(Count(bytes, "\x12q"), 3u) << "three requests";
}

// ---- ClearOutput ----
TEST_F(Printing, ClearOutputDuringAnErrorDropsEverythingAndRecoversThePrinter) {
  ASSERT_NO_FATAL_FAILURE(OpenCover());
  ASSERT_EQ(SetNumber(kPidxFreezeEvents, 1), 0);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  ASSERT_EQ(PrintNormal(2, "Stuck\n"), 0);
  ASSERT_EQ(Call([&] { return so_->TransactionPrint(2, 11); }), 0);
  ASSERT_EQ(PrintNormal(2, "Held\n"), 0);
  ASSERT_TRUE(WaitUntil([&] { return so_->QueuedEventCount() == 1; }));
  TbxSim_SetCoverOpen(kPrinter, FALSE);
  // The printer goes off line and back after the reset; the online report comes between
  // two idle polls, which the recovery must still see.
  std::thread printer([] {
    WaitUntil([] { return TbxSim_GetCallCount(kPrinter, "Reset") > 0; });
    TbxSim_SetOnline(kPrinter, FALSE);
    Sleep(200);
    TbxSim_SetOnline(kPrinter, TRUE);
  });
  fakelog::Clear();
  EXPECT_EQ(Call([&] { return so_->ClearOutput(); }), 0);
  printer.join();
  EXPECT_FALSE(fakelog::LinesContaining(L"Device recovery").empty());
  EXPECT_TRUE(fakelog::LinesContaining(L"RestorePrinter error").empty());
  ASSERT_EQ(SetNumber(kPidxFreezeEvents, 0), 0);
  // What is still queued (status updates of the recovery) goes out; the error does not.
  EXPECT_TRUE(WaitUntil([&] { return so_->QueuedEventCount() == 0; }));
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 0), 0);
  WaitUntil([&] { return !so_->Channel()->HasPendingOutput(); });
  ASSERT_EQ(PrintNormal(2, "Fresh\n"), 0) << "the transaction was dropped too";
  const std::string bytes = Written();
  EXPECT_EQ(bytes.find("Held"), std::string::npos);
  EXPECT_NE(bytes.find("Fresh"), std::string::npos);
  EXPECT_TRUE(Errors().empty());
}

// The status poll comes once a minute; the printer answers a while after each write.
class SlowStatusPolls : public Printing {
 protected:
  SlowStatusPolls() {
    rcvc_ = "60000";
    receiveTimeout_ = "20000";
  }
  void SetUp() override {
    key_.SetString("_NearEnd", "1");  // the receipt's near-end sensor reports
    ASSERT_NO_FATAL_FAILURE(Printing::SetUp());
    TbxSim_SetReplyDelay(kPrinter, 300);
  }
  std::vector<long> StatusUpdates() {
    std::vector<long> codes;
    for (const auto& event : co_.Events())
      if (event.name == L"SOStatusUpdate") codes.push_back(event.numbers[0]);
    return codes;
  }
};

// Each call ends when the printer's answer is there, not at the next status poll, which
// would come after the response time-out (112).
TEST_F(SlowStatusPolls, SynchronousPrintNormalTakesTheAnswerBetweenPolls) {
  for (const char* line : {"First\n", "Second\n", "Third\n"}) EXPECT_EQ(PrintNormal(2, line), 0);
  const std::string bytes = Written();
  ASSERT_NE(bytes.find("First"), std::string::npos);
  EXPECT_LT(bytes.find("First"), bytes.find("Second"));
  EXPECT_LT(bytes.find("Second"), bytes.find("Third"));
  EXPECT_TRUE(Completed().empty()) << "synchronous output raises no OutputCompleteEvent";
}

// While a confirmation is awaited the status is polled every millisecond: each change still
// comes once, in order, and the output completes.
TEST_F(SlowStatusPolls, StatusUpdatesKeepTheirOrderWhileAnAnswerIsAwaited) {
  TbxSim_SetReplyDelay(kPrinter, 8000);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  const size_t before = StatusUpdates().size();
  ASSERT_EQ(PrintNormal(2, "Held\n"), 0);
  const long id = Number(kPidxOutputId);
  TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_NEAR_END);
  ASSERT_TRUE(WaitUntil([&] { return StatusUpdates().size() >= before + 1; }));
  TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_PRESENT);
  ASSERT_TRUE(WaitUntil([&] { return StatusUpdates().size() >= before + 2; }));
  ASSERT_TRUE(WaitUntil([&] { return Completed().size() == 1; }));
  EXPECT_EQ(Completed()[0], id);
  const std::vector<long> all = StatusUpdates();
  EXPECT_EQ(std::vector<long>(all.begin() + before, all.end()),
            (std::vector<long>{kRecNearEmpty, kRecPaperOk}));
}

}  // namespace
