// The method frame against the recording sub-module: what a failed pre or execute phase
// answers, and that every record of a call is freed once.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "CommDevice.h"
#include "OPOSEvent.h"
#include "OposCodes.h"
#include "POSPrinter.h"
#include "RecordedServiceObject.h"

namespace {

class Frame : public sotest::RecordedServiceObject {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(RecordedServiceObject::SetUp());
    ASSERT_NO_FATAL_FAILURE(BindSubModule("SoFrameTest"));
    ASSERT_TRUE(so_->CreateHiddenWindow());
    CPropertyCache& p = so_->MutableProperties();
    p.Claimed = 1;
    p.DeviceEnabled = 1;
    p.Caps.capRecPresent = 1;
    so_->SetState(2);
    data_ = SysAllocString(L"Line\n");
  }
  void TearDown() override {
    SysFreeString(data_);
    so_->MutableProperties().Claimed = 0;
    so_->MutableProperties().DeviceEnabled = 0;
    so_->DestroyHiddenWindow();
    RecordedServiceObject::TearDown();
  }

  BSTR data_ = nullptr;
};

// A sub-module that fails its execute phase without writing ResultCode (a negative export
// result, a bad slot) leaves the snapshot's 0: that must not read as success.
TEST_F(Frame, AFailedExecutePhaseAnswersItsResultWhenTheSnapshotCarriesNone) {
  const struct {
    long exported;
    long expected;
  } rows[] = {{-1, 106}, {111, 111}, {114, 114}};
  for (const auto& row : rows) {
    sub_.Reset();
    sub_.SetResult(RECSUB_EXECUTE_METHOD, PRN_METHOD_PRINT_NORMAL, row.exported);
    EXPECT_EQ(so_->PrintNormal(2, data_), row.expected) << row.exported;
    EXPECT_EQ(so_->Properties().ResultCode, row.expected);
    EXPECT_EQ(Calls(RECSUB_OTHER_METHOD, 1015), 1) << "the snapshot freed once";
    EXPECT_EQ(so_->Channel()->QueuedCount(2), 0u) << "nothing queued";
  }
}

TEST_F(Frame, AFailedPrePhaseAnswersBeforeAnySnapshotIsMade) {
  sub_.SetResult(RECSUB_PRE_METHOD, PRN_METHOD_PRINT_NORMAL, -2);
  EXPECT_EQ(so_->PrintNormal(2, data_), 106);
  EXPECT_EQ(Calls(RECSUB_EXECUTE_METHOD, PRN_METHOD_PRINT_NORMAL), 0);
  EXPECT_EQ(Calls(RECSUB_OTHER_METHOD, 1015), 0);
}

TEST_F(Frame, AnExecutePhaseWithoutAListQueuesNothing) {
  EXPECT_EQ(so_->PrintNormal(2, data_), 0);
  EXPECT_EQ(so_->Channel()->QueuedCount(2), 0u);
  EXPECT_EQ(Calls(RECSUB_OTHER_METHOD, 1015), 1);
}

TEST_F(Frame, StateChecksRefuseBeforeThePrePhase) {
  so_->MutableProperties().DeviceEnabled = 0;
  EXPECT_EQ(so_->PrintNormal(2, data_), 105);
  so_->MutableProperties().Claimed = 0;
  EXPECT_EQ(so_->PrintNormal(2, data_), 103);
  so_->MutableProperties().Claimed = 1;
  so_->MutableProperties().DeviceEnabled = 1;
  EXPECT_EQ(so_->PrintNormal(1, data_), 106) << "no journal";
  EXPECT_EQ(Calls(RECSUB_PRE_METHOD, PRN_METHOD_PRINT_NORMAL), 0);
  so_->SetState(4);
  EXPECT_EQ(so_->PrintNormal(2, data_), 113) << "State error";
  EXPECT_EQ(Calls(RECSUB_EXECUTE_METHOD, PRN_METHOD_PRINT_NORMAL), 0);
  so_->SetState(2);
}

// ErrorString is written on a worker's behalf under the error-properties lock while the
// Control Object's thread copies it into every input property record: the copy must never
// see half of one text and half of another.
TEST_F(Frame, ErrorStringIsNeverCopiedHalfWritten) {
  const std::string a(300, 'A'), b(300, 'B');
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop.load(); ++i) {
      CErrorEventExt event(111, 0, 1, 11, nullptr, 2, 2, i % 2 ? a : b);
      so_->DoFireErrorEventToCO(&event);
    }
  });
  long torn = 0;
  for (int i = 0; i < 20000 && torn == 0; ++i) {
    PrnInputProperty* record = so_->CreateInputProperty();
    const std::string copy = record->errorString ? record->errorString : "";
    if (!copy.empty() && copy != a && copy != b) ++torn;
    so_->FreePropertyRecord(record);
  }
  stop.store(true);
  writer.join();
  EXPECT_EQ(torn, 0);
  so_->SetState(2);
}

}  // namespace
