// A builder wired to a channel on a simulated printer, for the builder tests that check
// what reaches the printer itself.
#pragma once
#include "CommPrinterDriver.h"
#include "RJCollection.h"
#include "SubSOSettings.h"
#include "TbxSim.h"
#include "builder_support.h"

namespace buildertest {

class WiredBuilderTest : public BuilderTest {
 protected:
  static constexpr DWORD kTimeout = 2000;

  explicit WiredBuilderTest(const char* printer)
      : printer_(printer),
        status_(&settings_, &log_),
        channel_(status_, log_),
        wired_(&log_, &channel_, &caps_) {}
  void SetUp() override {
    BuilderTest::SetUp();
    TbxSim_Reset(printer_);
    ASSERT_TRUE(channel_.LoadPrinterDriverDLL("TbxQdApi.dll"));
    ASSERT_EQ(0, channel_.ConnectPrinter("", printer_, kTimeout));
    TbxSim_ClearWritten(printer_);
  }
  void TearDown() override {
    channel_.ClosePrinter();
    BuilderTest::TearDown();
  }
  Bytes Written() const {
    return TbxSimWrittenBytes(printer_);
  }

  const char* printer_;
  CSubSOSettings settings_;
  CLogContext log_;
  CRJCollection status_;
  CCommPrinterDriver channel_;
  CRJDevice wired_;  // the builder with a channel
};

}  // namespace buildertest
