// The sub-module's callbacks on the channel alone: where response ids and error notices go,
// how status records become result codes, and the id and OutputID sequences.
#include <gtest/gtest.h>

#include <cstring>

#include "CommDevice.h"
#include "LogContext.h"
#include "OutputTestSupport.h"

namespace {

class Callbacks : public ::testing::Test {
 protected:
  void SetUp() override { channel_.SetChannelOwner(&owner_); }
  long Codes(long* extended) {
    long rc = -1;
    channel_.GetResultCodes(&rc, extended);
    return rc;
  }
  CLogContext log_;
  sotest::FakeChannelOwner owner_;
  CCommDevice channel_{nullptr, &log_};
};

TEST_F(Callbacks, ResponseIdsGoToTheirRangesLists) {
  for (long id : {3L, 12L, 15L, 16L, -1L}) (void)CCommDevice::OnResponseCode(id, &channel_);
  EXPECT_EQ(channel_.PopAsyncResponseId(), 3);
  EXPECT_EQ(channel_.PopSyncResponseId(), 12);
  EXPECT_EQ(channel_.PopImmediateResponseId(), 15);
  EXPECT_FALSE(channel_.HasAsyncResponseId()) << "16 and -1 are dropped";
  EXPECT_EQ(channel_.PopSyncResponseId(), -1);
  EXPECT_EQ(channel_.PopImmediateResponseId(), -1);
}

TEST_F(Callbacks, ErrorNoticeIsKeptOnceAndCurrentUntilReplaced) {
  (void)CCommDevice::OnErrorNotify(114, 1002, 3, "Autocutter error", &channel_);
  long rc = 0, rce = 0, level = 0;
  std::string text;
  channel_.TakeNotifiedResultCodes(&rc, &rce);
  channel_.TakeErrorNotice(&level, &text);
  EXPECT_EQ(rc, 114);
  EXPECT_EQ(rce, 1002);
  EXPECT_EQ(level, 3);
  EXPECT_EQ(text, "Autocutter error");
  channel_.TakeErrorNotice(&level, &text);
  EXPECT_EQ(level, 1) << "taken twice: back to no error";
  EXPECT_EQ(text, "");
  channel_.TakeNotifiedResultCodes(&rc, &rce);
  EXPECT_EQ(rc, 0) << "taken once";
  EXPECT_EQ(Codes(&rce), 114) << "the current code stays";
}

TEST_F(Callbacks, ErrorFlagsSetOrClearTheCurrentCodes) {
  const struct {
    const char* row;
    long vp, cutter, head, battery, jam;
    const char* shown;
    long rc, rce;
    int cleared;
  } rows[] = {
      {"autocutter after a clear Vp flag", 0, 1, -1, -1, -1, "", 114, 1002, 0},
      {"head temperature, Vp unreported", -1, -1, 1, -1, -1, "", 114, 1005, 0},
      {"all clear with a battery error shown", 0, 0, 0, 0, 0, "Battery error", 0, 0, 1},
  };
  for (const auto& row : rows) {
    owner_.errorString = row.shown;
    owner_.cleared = 0;
    PrnStatusRecord record = sotest::UnreportedStatus();
    record.vpVoltageError = row.vp;
    record.autocutterError = row.cutter;
    record.headTemperatureError = row.head;
    record.batteryError = row.battery;
    record.markPaperJam = row.jam;
    (void)CCommDevice::OnStatusNotify(&record, 0, &channel_);
    long rce = -1;
    EXPECT_EQ(Codes(&rce), row.rc) << row.row;
    EXPECT_EQ(rce, row.rce) << row.row;
    EXPECT_EQ(owner_.cleared, row.cleared) << row.row;
  }
  EXPECT_TRUE(owner_.fired.empty()) << "error-flag records queue no StatusUpdate";
}

TEST_F(Callbacks, StatusRecordsClearCodesOnlyWhenThePrinterIsReady) {
  (void)CCommDevice::OnErrorNotify(114, 1002, 3, "x", &channel_);
  PrnStatusRecord offline = sotest::UnreportedStatus();
  offline.powerState = 2004;
  (void)CCommDevice::OnStatusNotify(&offline, 2004, &channel_);
  long rce = 0;
  EXPECT_EQ(Codes(&rce), 114) << "offline keeps the codes";

  owner_.errorString = "Off/Offline error";
  PrnStatusRecord online = sotest::UnreportedStatus();
  online.powerState = 2001;
  online.coverOpen = online.jrnEmpty = online.recEmpty = 0;
  (void)CCommDevice::OnStatusNotify(&online, 2001, &channel_);
  EXPECT_EQ(Codes(&rce), 0);
  EXPECT_EQ(online.errorCleared, 1);
  EXPECT_EQ(owner_.applied, 1);
  EXPECT_EQ(owner_.fired, (std::vector<long>{2004, 2001}));
}

TEST_F(Callbacks, ResponseIdAndOutputIdSequences) {
  EXPECT_EQ(channel_.NextAsyncResponseId(), 0);
  EXPECT_EQ(channel_.NextSyncResponseId(), 12);
  EXPECT_EQ(channel_.NextImmediateResponseId(), 14);
  for (int i = 1; i < 12; ++i) (void)channel_.NextAsyncResponseId();
  EXPECT_EQ(channel_.NextAsyncResponseId(), 0) << "the thirteenth";
  EXPECT_EQ(channel_.NextSyncResponseId(), 13);
  EXPECT_EQ(channel_.NextSyncResponseId(), 12);

  EXPECT_EQ(channel_.NextOutputID(1, OUTPUT_COMPLETE_BY_RESULT), 1) << "the counter starts at 1";
  channel_.ResetOutputID();
  EXPECT_EQ(channel_.NextOutputID(1, OUTPUT_COMPLETE_BY_MESSAGE), 1);
  EXPECT_EQ(channel_.NextOutputID(1, OUTPUT_COMPLETE_BY_MESSAGE), 2);
  EXPECT_EQ(channel_.NextOutputID(1, OUTPUT_COMPLETE_BY_RESULT), 2) << "synchronous: the last";
  EXPECT_EQ(channel_.NextOutputID(0, OUTPUT_COMPLETE_BY_MESSAGE), 2) << "immediate: the last";
  EXPECT_EQ(CCommDevice::FollowingOutputID(2147483645), 2147483646);
  EXPECT_EQ(CCommDevice::FollowingOutputID(2147483646), 1);
  channel_.ResetOutputID();
  EXPECT_EQ(channel_.NextOutputID(1, OUTPUT_COMPLETE_BY_MESSAGE), 1);
}

}  // namespace
