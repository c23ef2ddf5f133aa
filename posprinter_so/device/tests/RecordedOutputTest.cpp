// The output path's answers to the printer, against the recording sub-module acting as a
// printer: a failed write retried or cleared by the application (response-id mode 0), the
// wait after a cut for the printer's error (mode 1), and a DirectIOEvent the sub-module
// raises, on its way to the application.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "CommDevice.h"
#include "DeviceClaim.h"
#include "OposCodes.h"
#include "RecordedDevice.h"

namespace {

using Strings = std::vector<std::string>;
using sotest::WaitUntil;

constexpr long kErrorLocusOutput = 1, kRetry = 11, kClear = 12;

PrnCapabilityBlock Receipt() {
  PrnCapabilityBlock caps{};
  caps.capRecPresent = 1;
  caps.capRecPapercut = 1;
  return caps;
}

class ModeZeroOutput : public sotest::RecordedDevice {
 protected:
  ModeZeroOutput() : RecordedDevice("SoRecordedOutputDevice", "0") { caps_ = Receipt(); }
};

TEST_F(ModeZeroOutput, RetryWritesTheFailedOutputAgain) {
  co_.SetErrorResponse(kRetry);
  sub_.FailWrites(1, OPOS_E_EXTENDED, 201);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  ASSERT_EQ(PrintNormal(2, "Once\n"), 0);
  const long id = Number(kPidxOutputId);
  ASSERT_TRUE(WaitUntil([&] { return Events(L"SOOutputComplete").size() == 1; }));
  EXPECT_EQ(Events(L"SOOutputComplete")[0].numbers, std::vector<long>{id});
  const auto errors = Events(L"SOError");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].numbers,
            (std::vector<long>{OPOS_E_EXTENDED, 201, kErrorLocusOutput, kRetry}));
  EXPECT_EQ(Calls(RECSUB_OTHER_METHOD, PRN_SERVICE_WRITE_PRINTER_DATA), 2);
  EXPECT_EQ(Writes(), (Strings{"Once"}));
}

TEST_F(ModeZeroOutput, ClearDropsTheFailedOutput) {
  co_.SetErrorResponse(kClear);
  sub_.FailWrites(1, OPOS_E_EXTENDED, 201);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  ASSERT_EQ(PrintNormal(2, "Dropped\n"), 0);
  ASSERT_TRUE(WaitUntil([&] { return Events(L"SOError").size() == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return Number(kPidxState) == kStateIdle; }));
  EXPECT_EQ(Calls(RECSUB_OTHER_METHOD, PRN_SERVICE_WRITE_PRINTER_DATA), 1);
  EXPECT_TRUE(Writes().empty());
  EXPECT_TRUE(Events(L"SOOutputComplete").empty());
}

// The sub-module's DirectIO event reaches the application on its own thread, with the
// number, data and text the sub-module gave.
TEST_F(ModeZeroOutput, ADirectIOEventOfTheSubModuleReachesTheApplication) {
  ASSERT_EQ(sub_.RaiseDirectIOEvent(7, 42, L"Drawer opened"), 0);
  ASSERT_TRUE(WaitUntil([&] { return !Events(L"SODirectIO").empty(); }));
  const auto event = Events(L"SODirectIO")[0];
  EXPECT_EQ(event.numbers, (std::vector<long>{7, 42}));
  EXPECT_EQ(event.text, L"Drawer opened");
  EXPECT_EQ(event.threadId, co_.ThreadId());
}

class ModeOneOutput : public sotest::RecordedDevice {
 protected:
  ModeOneOutput() : RecordedDevice("SoRecordedOutputDevice", "1") { caps_ = Receipt(); }
};

// After a write that carries a cut, a synchronous output waits (while the sub-module asks
// for status) for an error the cut may bring: an autocutter error found then is the
// output's answer. Without a cut the output answers as soon as the printer confirms it.
TEST_F(ModeOneOutput, AfterACutTheOutputWaitsForTheCuttersError) {
  sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_PROC_CALLBACK_STATUS, 1);  // status pending
  EXPECT_EQ(PrintNormal(2, "Plain\n"), 0);
  EXPECT_EQ(Writes(), (Strings{"Plain<q12>"}));

  fakelog::Clear();
  auto cut = std::async(std::launch::async, [&] { return PrintNormal(2, "Cut\x1b|P"); });
  ASSERT_TRUE(WaitUntil([] {
    return !fakelog::LinesContaining(L"Set responsecode received flag true.").empty();
  })) << "the printer confirmed the write";
  EXPECT_NE(cut.wait_for(std::chrono::milliseconds(0)), std::future_status::ready)
      << "still waiting after the confirmation";
  ASSERT_EQ(sub_.NotifyError(OPOS_E_EXTENDED, 1002, 2, "Autocutter error"), 0);
  ASSERT_EQ(cut.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(cut.get(), OPOS_E_EXTENDED);
  EXPECT_EQ(Number(kPidxResultCodeExtended), 1002);
  EXPECT_EQ(Writes(), (Strings{"Plain<q12>", "Cut<q13>"}));
}

// An asynchronous cut is written while the sub-module still has status to ask for: the send
// thread waits for an error the cut may bring. Close ends that wait with the threads, not
// once ReceiveTimeout (60 s here) has run out.
TEST_F(ModeOneOutput, CloseEndsTheWaitAfterACut) {
  sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_PROC_CALLBACK_STATUS, 1);  // status pending
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  ASSERT_EQ(PrintNormal(2, "Cut\x1b|P"), 0);
  ASSERT_TRUE(WaitUntil([&] { return !Writes().empty(); })) << "the cut was written";
  auto closing = std::async(std::launch::async, [&] { return Call([&] { return so_->Close(); }); });
  ASSERT_EQ(closing.wait_for(std::chrono::seconds(40)), std::future_status::ready)
      << "Close waits for the cut's status";
  EXPECT_EQ(closing.get(), 0);
  co_.RunOnThread([&] { so_->Release(); });
  so_ = nullptr;
}

class ShortAnswerWait : public ModeOneOutput {
 protected:
  ShortAnswerWait() { key_.SetString("ReceiveTimeout", "3000"); }
};

// The printer's answer must carry the request's own id: an answer with another (a late one,
// to a request that timed out) is dropped, and the request ends in 112 when ReceiveTimeout
// runs out.
TEST_F(ShortAnswerWait, AnAnswerWithAnotherIdEndsIn112) {
  sub_.ConfirmAs(13);
  EXPECT_EQ(PrintNormal(2, "First\n"), 112);
  EXPECT_FALSE(fakelog::LinesContaining(L"Wait notify time out.").empty());
  sub_.ConfirmAs(-1);
  EXPECT_EQ(PrintNormal(2, "Second\n"), 0) << "answered with its own id";
  EXPECT_EQ(Writes(), (Strings{"First<q12>", "Second<q13>"}));
}

// Without its response-id token the printer would never answer the output: the sub-module's
// failure to add it refuses the print at once, synchronous or not, and nothing is written.
TEST_F(ShortAnswerWait, AnOutputWithoutItsResponseIdTokenIsRefused) {
  sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN, OPOS_E_FAILURE);
  EXPECT_EQ(PrintNormal(2, "Synchronous\n"), OPOS_E_FAILURE);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  const long outputId = Number(kPidxOutputId);
  EXPECT_EQ(PrintNormal(2, "Asynchronous\n"), OPOS_E_FAILURE);
  EXPECT_EQ(Number(kPidxOutputId), outputId);
  EXPECT_EQ(Number(kPidxState), kStateIdle);
  sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN, 0);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 0), 0);
  EXPECT_EQ(PrintNormal(2, "Printed\n"), 0);
  const Strings writes = Writes();
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].rfind("Printed<q", 0), 0u) << writes[0];
}

class LongAnswerWait : public ModeOneOutput {
 protected:
  LongAnswerWait() { key_.SetString("ReceiveTimeout", "600000"); }
};

// A stale answer (another request's id) comes first, then the printer's error notice: the
// notice is the request's answer at once, not once ReceiveTimeout has run out.
TEST_F(LongAnswerWait, AnErrorNoticeAfterAStaleAnswerEndsTheWait) {
  sub_.ConfirmAs(13);
  fakelog::Clear();
  auto print = std::async(std::launch::async, [&] { return PrintNormal(2, "First\n"); });
  ASSERT_TRUE(WaitUntil([] { return !fakelog::LinesContaining(L"ResponseCode is 13").empty(); }))
      << "the stale answer came";
  ASSERT_EQ(sub_.NotifyError(OPOS_E_EXTENDED, 1002, 2, "Autocutter error"), 0);
  ASSERT_EQ(print.wait_for(std::chrono::seconds(60)), std::future_status::ready)
      << "the error notice was not looked at";
  EXPECT_EQ(print.get(), OPOS_E_EXTENDED);
  EXPECT_EQ(Number(kPidxResultCodeExtended), 1002);
  sub_.ConfirmAs(-1);
}

}  // namespace
