// Memory switches brought in line with the settings.
#include <gtest/gtest.h>

#include <vector>

#include "MemorySwitches.h"

namespace {

struct WantedRow {
  long markMode, paperSize, printSpeed;
  BYTE sw1, sw4, sw5;
};

TEST(MemorySwitches, WantedBytes) {
  const WantedRow rows[] = {
      {1, 1, 0, 0x00, 0xC8, 0x04},  // mark mode, 80 mm paper, normal speed
      {0, 0, 0, 0x04, 0xC0, 0x04},  // 58 mm paper
      {0, 0, 2, 0x04, 0x40, 0x04},  // speed 2 clears bit 7
      {0, 3, 2, 0x04, 0x48, 0x04},
      {2, 3, 1, 0x04, 0xC8, 0x04},  // mark mode 2 counts as off; speed 1 as normal
  };
  for (const WantedRow& row : rows) {
    BYTE wanted[kSwitchBytes];
    WantedSwitchBytes(row.markMode, row.paperSize, row.printSpeed, wanted);
    SCOPED_TRACE(testing::Message() << row.markMode << "," << row.paperSize << "," << row.printSpeed);
    EXPECT_EQ(wanted[0], row.sw1);  // switch n is byte n - 1
    EXPECT_EQ(wanted[3], row.sw4);
    EXPECT_EQ(wanted[4], row.sw5);
    for (int i = 0; i < kSwitchBytes; ++i) {
      if (i != 0 && i != 3 && i != 4) {
        EXPECT_EQ(wanted[i], 0) << i;
      }
    }
  }
}

TEST(MemorySwitches, MatchingSwitchesNeedNoWrite) {
  BYTE wanted[kSwitchBytes], current[kSwitchBytes] = {};
  WantedSwitchBytes(0, 1, 0, wanted);
  current[0] = 0x04 | 0x33;  // unmanaged bits set differently
  current[3] = 0xC8 | 0x07;
  current[4] = 0x04 | 0xF0;
  current[9] = 0x55;
  BYTE pairs[6];
  EXPECT_FALSE(PlanSwitchWrite(wanted, current, pairs));
}

TEST(MemorySwitches, DifferingSwitchesKeepTheirOtherBits) {
  BYTE wanted[kSwitchBytes], current[kSwitchBytes] = {};
  WantedSwitchBytes(1, 1, 0, wanted);  // SW1 0x00, SW4 0xC8, SW5 0x04
  current[0] = 0x04 | 0x01;  // mark detection off: bit 2 must clear
  current[3] = 0x40 | 0x02;  // bit 7 and bit 3 missing
  current[4] = 0x04 | 0x80;  // already right
  BYTE pairs[6];
  ASSERT_TRUE(PlanSwitchWrite(wanted, current, pairs));
  const std::vector<BYTE> expected = {0x81, 0x01, 0x84, 0xCA, 0x85, 0x84};
  EXPECT_EQ(std::vector<BYTE>(pairs, pairs + 6), expected);
}

}  // namespace
