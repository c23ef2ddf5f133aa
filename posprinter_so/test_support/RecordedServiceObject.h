// A service object from the class factory beside the recording sub-module, which keeps every
// call made to it. Link recording_sub_api and depend on recording_sub.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "CommDevice.h"
#include "POSPrinter.h"
#include "RecordingSub.h"
#include "TestSupport.h"

namespace sotest {

inline std::string RecordingSubPath() { return BinFolder() + "recording_sub.dll"; }

class RecordedServiceObject : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sub_.Loaded());
    sub_.Reset();
    so_ = NewServiceObject();
    ASSERT_NE(so_, nullptr);
  }
  void TearDown() override {
    if (so_) so_->Release();
  }

  // The recording sub-module loaded and given a slot for `device`, as OpenService does.
  void BindSubModule(const char* device) {
    ASSERT_TRUE(so_->Channel()->LoadSubSODLL(RecordingSubPath().c_str()));
    ASSERT_EQ(so_->Channel()->InitializeSubSO(device, 1014001, nullptr), 0);
  }

  // How many calls of one export with this ID the sub-module recorded.
  long Calls(long exportId, long id) const {
    long count = 0;
    for (const RecSubCall& call : sub_.Calls()) count += call.exportId == exportId && call.id == id;
    return count;
  }

  RecordingSubModule sub_{RecordingSubPath().c_str()};
  CPOSPrinter* so_ = nullptr;
};

}  // namespace sotest
