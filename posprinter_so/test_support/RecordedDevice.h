// A service object in this process, opened, claimed and enabled on the stand-in Control
// Object's thread against the recording sub-module acting as a printer (RecSub_SetPrinting):
// the capabilities and snapshot texts the test gives it, every written request kept. After
// Close every command-token list and every record made on the way must be freed again.
// Link control_object_standin, recording_sub_api and the recording log; depend on
// recording_sub.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ControlObjectCalls.h"
#include "ControlObjectStandIn.h"
#include "FakeLog.h"
#include "POSPrinter.h"
#include "RecordedServiceObject.h"
#include "TestBstr.h"
#include "TestSupport.h"

namespace sotest {

class RecordedDevice : public ::testing::Test, protected ControlObjectCalls {
 protected:
  static constexpr long kPidxDeviceEnabled = 3, kPidxFreezeEvents = 4, kPidxOutputId = 5,
                        kPidxResultCodeExtended = 7, kPidxState = 9, kPidxAsyncMode = 8001,
                        kPidxMapMode = 8013, kPidxPageModeStation = 8049;
  static constexpr long kStateIdle = 2, kStateBusy = 3;

  // `completionTiming` is the device entry's ProcessCompletionTiming ("0" or "1").
  RecordedDevice(const char* device, const char* completionTiming) : key_(device) {
    key_.SetString("SubSODLLPath", RecordingSubPath());
    key_.SetString("ProcessCompletionTiming", completionTiming);
    key_.SetString("ReceiveTimeout", "60000");
    key_.SetString("RCVC", "20");
    key_.SetString("LogLevelCore", "4");
  }

  // caps_ and texts_ (snapshot byte offset -> text) go in before this runs.
  void SetUp() override {
    ASSERT_TRUE(sub_.Loaded() && sub_.SetPrinting && sub_.SetInitText);
    sub_.Reset();
    sub_.SetPrinting(1);
    sub_.SetCapabilities(&caps_);
    for (const auto& text : texts_) sub_.SetInitText(text.first, text.second.c_str());
    fakelog::Clear();
    records_ = CPOSPrinter::LiveRecordsForTest();
    so_ = NewServiceObject();
    ASSERT_NE(so_, nullptr);
    Bstr cls("POSPrinter"), name(key_.Name().c_str());
    ASSERT_EQ(Call([&] { return so_->OpenService(cls, name, co_.Sink()); }), 0)
        << "OpenResult " << so_->GetOpenResult();
    ASSERT_EQ(Call([&] { return so_->Claim(5000); }), 0);
    ASSERT_EQ(SetNumber(kPidxDeviceEnabled, 1), 0);
    co_.ClearEvents();
  }

  // What is still queued finishes (within the bound) before Close; then every list and
  // record is back.
  void TearDown() override {
    if (!so_) return;
    (void)SetNumber(kPidxFreezeEvents, 0);
    WaitUntil([&] { return Number(kPidxState) == kStateIdle; }, 300);
    EXPECT_EQ(Call([&] { return so_->Close(); }), 0);
    co_.RunOnThread([&] { so_->Release(); });
    so_ = nullptr;
    long live = -1, stray = -1;
    sub_.ListLedger(&live, &stray);
    EXPECT_EQ(live, 0) << "command-token lists left unfreed";
    EXPECT_EQ(stray, 0) << "command-token lists freed twice";
    const CPOSPrinter::CLiveRecords records = CPOSPrinter::LiveRecordsForTest();
    EXPECT_EQ(records.inputRecords, records_.inputRecords) << "input property records";
    EXPECT_EQ(records.snapshots, records_.snapshots) << "property snapshots";
  }

  long PrintNormal(long station, const char* text) {
    Bstr data(text);
    return Call([&] { return so_->PrintNormal(station, data); });
  }
  std::vector<std::string> Writes() const { return sub_.Writes(); }
  // How many calls of one export with this ID the sub-module recorded.
  long Calls(long exportId, long id) const {
    long count = 0;
    for (const RecSubCall& call : sub_.Calls()) count += call.exportId == exportId && call.id == id;
    return count;
  }
  // The events of one kind the Control Object received so far.
  std::vector<costandin::EventRecord> Events(const wchar_t* name) const {
    std::vector<costandin::EventRecord> found;
    for (const auto& event : co_.Events())
      if (event.name == name) found.push_back(event);
    return found;
  }

  DeviceKey key_;
  PrnCapabilityBlock caps_{};
  std::map<long, std::string> texts_;
  RecordingSubModule sub_{RecordingSubPath().c_str()};
  CPOSPrinter::CLiveRecords records_{};
};

}  // namespace sotest
