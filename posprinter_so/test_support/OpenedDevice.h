// A service object in this process, opened, claimed and enabled on the stand-in Control
// Object's thread against prennik.dll and the simulated printer; the test calls its methods
// on that thread, as the Control Object does. Link control_object_standin, TbxQdApi,
// testprinter and the recording log.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ControlObjectCalls.h"
#include "ControlObjectStandIn.h"
#include "FakeLog.h"
#include "POSPrinter.h"
#include "SimulatedPrinter.h"
#include "TestBstr.h"

namespace sotest {

class OpenedDevice : public ::testing::Test, protected ControlObjectCalls {
 protected:
  static constexpr long kPidxDeviceEnabled = 3, kPidxFreezeEvents = 4, kPidxState = 9;
  static constexpr long kStateIdle = 2, kPidxCoverOpen = 8003;

  OpenedDevice(const char* device, const char* printer) : key_(device), printer_(printer) {}

  // Values a test adds to the device entry go in before this runs.
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(UseSimulatedPrinter(key_, printer_));
    key_.SetString("SubSODLLPath", BinFolder() + "prennik.dll");
    so_ = NewServiceObject();
    ASSERT_NE(so_, nullptr);
    Bstr cls("POSPrinter"), name(key_.Name().c_str());
    const long opened = Call([&] { return so_->OpenService(cls, name, co_.Sink()); });
    if (opened != 0) {
      for (const auto& line : fakelog::Lines())
        if (line.category == 0x2) ADD_FAILURE() << std::string(line.text.begin(), line.text.end());
    }
    ASSERT_EQ(opened, 0) << "OpenResult " << so_->GetOpenResult();
    ASSERT_EQ(Call([&] { return so_->Claim(5000); }), 0);
    ASSERT_EQ(SetNumber(kPidxDeviceEnabled, 1), 0);
    TbxSim_ClearWritten(printer_);
  }

  // The cover opened, seen by the service object and its StatusUpdateEvent fired: CoverOpen
  // can read 1 before that event is queued, and a test that freezes events next and counts the
  // queue would then find the cover's event there too.
  void OpenCover() {
    TbxSim_SetCoverOpen(printer_, TRUE);
    ASSERT_TRUE(WaitUntil([&] { return Number(kPidxCoverOpen) == 1; })) << "CoverOpen reported";
    ASSERT_TRUE(WaitUntil([&] {
      for (const costandin::EventRecord& event : co_.Events())
        if (event.name == L"SOStatusUpdate" && event.numbers == std::vector<long>{11}) return true;
      return false;
    })) << "the cover's StatusUpdateEvent";
  }

  // What is still queued finishes (within the bound) before Close, which waits on busy for
  // 3 s only.
  void CloseWhenIdle(int tenthsOfSeconds) {
    if (!so_) return;
    TbxSim_SetCoverOpen(printer_, FALSE);
    (void)SetNumber(kPidxFreezeEvents, 0);
    WaitUntil([&] { return Number(kPidxState) == kStateIdle; }, tenthsOfSeconds);
    EXPECT_EQ(Call([&] { return so_->Close(); }), 0);
    so_->Release();
  }

  DeviceKey key_;
  const char* printer_;
};

}  // namespace sotest
