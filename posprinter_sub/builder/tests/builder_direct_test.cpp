// The commands the builder writes straight to the printer, checked at the simulated
// printer's record of the bytes it was sent.
#include "wired_builder.h"

namespace buildertest {
namespace {

constexpr char kPrinter[] = "BuilderDirectPrinter";

class DirectWrites : public WiredBuilderTest {
 protected:
  DirectWrites() : WiredBuilderTest(kPrinter) {}
};

TEST_F(DirectWrites, EachCommandReachesThePrinter) {
  struct {
    const char* name;
    long (*send)(CRJDevice&);
    const char* bytes;
  } rows[] = {
      {"buffer clear", [](CRJDevice& d) { return d.SendBufferClear(kTimeout); }, "13 43 13 2D"},
      {"deactivate", [](CRJDevice& d) { return d.SendDeactivateCommand(kTimeout); },
       "1D 67 31 00"},
      {"reset counter 50", [](CRJDevice& d) { return d.ResetMaintenanceCounter(50, kTimeout); },
       "1D 67 30 00 32 00"},
      {"initialise", [](CRJDevice& d) { return d.SendInitializeCommand(kTimeout); },
       "1B 40 1D 61 FF"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TbxSim_ClearWritten(kPrinter);
    EXPECT_EQ(0, row.send(wired_));
    EXPECT_EQ(ToHex(Hex(row.bytes)), ToHex(Written()));
  }
  EXPECT_EQ(1, TbxSim_GetCallCount(kPrinter, "LockPrinter"));  // the write-and-read only
}

TEST_F(DirectWrites, MemorySwitchesGoInOneWrite) {
  const unsigned char pairs[] = {0x81, 0x03, 0x85, 0x40};
  EXPECT_EQ(0, wired_.FunctionSet_Multi(pairs, 2, kTimeout));
  EXPECT_EQ(ToHex(Hex("12 77 81 03 00 12 77 85 40 00")), ToHex(Written()));
  EXPECT_EQ(0x03, TbxSim_GetMemorySwitch(kPrinter, 1));
  EXPECT_EQ(0x40, TbxSim_GetMemorySwitch(kPrinter, 5));
}

TEST_F(DirectWrites, PrinterErrorStopsTheWrite) {
  TbxSim_SetCoverOpen(kPrinter, TRUE);
  DWORD word = 0;
  ASSERT_EQ(0, channel_.GetPrinterASB(&word));
  (void)status_.SetInitialStatus(word);
  EXPECT_NE(0, wired_.SendBufferClear(kTimeout));
  EXPECT_TRUE(Written().empty());
}

TEST_F(DirectWrites, CountersAndIdsComeFromTheChannel) {
  TbxSim_SetCounter(kPrinter, 20, 1234);
  TbxSim_SetPrinterId(kPrinter, 49, 1, 0x42);
  DWORD value = 0;
  EXPECT_EQ(0, wired_.GetPrinterCounter(20, &value));
  EXPECT_EQ(1234u, value);
  EXPECT_EQ(0, wired_.GetPrinterId(49, &value));
  EXPECT_EQ(0x42u, value);
}

}  // namespace
}  // namespace buildertest
