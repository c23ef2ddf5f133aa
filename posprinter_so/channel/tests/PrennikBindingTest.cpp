// The device channel bound to the real printer sub-module, prennik.dll, in front of the
// simulated printer: a slot, the callbacks, the capability block and service calls.
#include <gtest/gtest.h>

#include "CommDevice.h"
#include "LogContext.h"
#include "OutputTestSupport.h"
#include "SimulatedPrinter.h"

namespace {

constexpr char kDevice[] = "SoPrennikBindingDevice";
constexpr char kPrinter[] = "SoPrennikBindingPrinter";

class PrennikBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(sotest::UseSimulatedPrinter(key_, kPrinter));
    ASSERT_TRUE(channel_.LoadSubSODLL((sotest::BinFolder() + "prennik.dll").c_str()));
  }
  void TearDown() override {
    if (channel_.Slot() != -1) {
      EXPECT_TRUE(channel_.TerminateSubSO());
    }
    EXPECT_TRUE(channel_.UnloadSubSODLL());
  }

  static PrnInputProperty Record() { return sotest::ReceiptInputProperty(); }

  sotest::DeviceKey key_{kDevice};
  CLogContext log_;
  CCommDevice channel_{nullptr, &log_};
};

TEST_F(PrennikBinding, OpensASlotRegistersCallbacksAndServes) {
  PrnPropertySnapshot snapshot{};
  snapshot.positionWord1 = snapshot.positionWord2 = -1;
  ASSERT_EQ(channel_.InitializeSubSO(kDevice, 1014001, &snapshot), 0);
  EXPECT_GE(channel_.Slot(), 0);
  EXPECT_LT(channel_.Slot(), 8);
  ASSERT_NE(snapshot.deviceName, nullptr) << "the sub-module describes the device";
  EXPECT_EQ(channel_.OtherMethod1015(&snapshot), 0) << "and frees its texts again";

  PrnCapabilityBlock caps{};
  ASSERT_TRUE(channel_.GetCapability(&caps));
  EXPECT_EQ(caps.capRecPresent, 1);
  long cut = 0, lineEnd = 0, resolution = 0;
  EXPECT_EQ(channel_.OtherMethod1011(&cut, &lineEnd, &resolution), 0);
  EXPECT_EQ(cut, 99);
  EXPECT_EQ(lineEnd, 7);
  EXPECT_EQ(resolution, 203);

  PrnTokenList* list = channel_.OtherMethod1018(PRN_STATION_RECEIPT);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->station, PRN_STATION_RECEIPT);
  EXPECT_EQ(channel_.ReleaseSubSOData(list), 0);

  // Claim's calls: the device prepared, the printer connected through the SDK, and closed.
  PrnInputProperty input = Record();
  EXPECT_EQ(channel_.OtherMethod1016(&input), 0);
  EXPECT_EQ(channel_.ConnectPrinter(), 0);
  EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 1);
  EXPECT_EQ(channel_.ClosePrinter(), 0);
  EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 0);

  // PrintNormal's execute phase calls the registered tokenizer with this channel.
  PrnStationState station{};
  PrnPropertySnapshot result{};
  result.positionWord1 = result.positionWord2 = -1;
  long rce = -1;
  PrnPreStationTextArgs pre{&input, PRN_STATION_RECEIPT, "Hello\n", &rce};
  ASSERT_EQ(channel_.EntryPoints().preMethod(PRN_METHOD_PRINT_NORMAL,
                                             reinterpret_cast<long*>(&pre), channel_.Slot()),
            0);
  CCommDevice other(nullptr, &log_);
  ASSERT_EQ(CCommDevice::Current(), &other);
  PrnTokenList* output = nullptr;
  PrnExecStationTextArgs exec{&input, &station, PRN_STATION_RECEIPT, "Hello\n", &output, &result};
  ASSERT_EQ(channel_.EntryPoints().executeMethod(PRN_METHOD_PRINT_NORMAL,
                                                 reinterpret_cast<long*>(&exec), channel_.Slot()),
            0);
  EXPECT_EQ(CCommDevice::Current(), &channel_) << "the tokenizer ran with this channel";
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(channel_.ReleaseSubSOData(output), 0);
}

TEST_F(PrennikBinding, ASecondSlotForTheSameDeviceIsRefused) {
  PrnPropertySnapshot first{};
  ASSERT_EQ(channel_.InitializeSubSO(kDevice, 1014001, &first), 0);
  (void)channel_.OtherMethod1015(&first);
  CCommDevice second(nullptr, &log_);
  ASSERT_TRUE(second.LoadSubSODLL((sotest::BinFolder() + "prennik.dll").c_str()));
  PrnPropertySnapshot again{};
  EXPECT_EQ(second.InitializeSubSO(kDevice, 1014001, &again), 106);
  EXPECT_EQ(second.Slot(), -1);
  EXPECT_TRUE(second.UnloadSubSODLL());
}

TEST_F(PrennikBinding, AnOldCoreVersionFailsAndLeavesNoSlotTaken) {
  PrnPropertySnapshot snapshot{};
  const long refused = channel_.InitializeSubSO(kDevice, 1013000, &snapshot);
  EXPECT_NE(refused, 0);
  EXPECT_EQ(channel_.Slot(), -1);
  // The slot of the failed initialisation was ended: the same device opens again.
  PrnPropertySnapshot again{};
  EXPECT_EQ(channel_.InitializeSubSO(kDevice, 1014001, &again), 0);
  (void)channel_.OtherMethod1015(&again);
}

}  // namespace
