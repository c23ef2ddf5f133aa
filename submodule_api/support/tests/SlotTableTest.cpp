// The slot table both sub-modules keep their instances in.
#include "SlotTable.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

struct Instance {
  long slot;
};

using Table = subsupport::CSlotTable<Instance, 3>;

Instance* Make(long slot) { return new Instance{slot}; }

void Delete(Instance* instance) { delete instance; }

class SlotTableTest : public ::testing::Test {
 protected:
  ~SlotTableTest() override {
    for (long i = 0; i < 3; ++i) (void)table_.Empty(i, nullptr, &Delete);
  }
  long TakeOrMinus(const char* name) {
    long slot = -1;
    return table_.Take(name, &slot, &Make) ? slot : -1;
  }
  Table table_;
};

TEST_F(SlotTableTest, NamesAreComparedOnlyUpToTheFirstFreeSlot) {
  struct Row {
    const char* name;
    long slot;  // -1: refused
  };
  // "b" in slot 1 is met only after slot 0 frees: the second "b" then takes slot 0.
  EXPECT_EQ(TakeOrMinus("a"), 0);
  EXPECT_EQ(TakeOrMinus("b"), 1);
  EXPECT_TRUE(table_.Empty(0, nullptr, &Delete));
  const Row rows[] = {{"b", 0}, {"b", -1}, {"B", 2}, {"c", -1}};
  for (const Row& row : rows) EXPECT_EQ(TakeOrMinus(row.name), row.slot) << row.name;
  ASSERT_NE(table_.At(0), nullptr);
  EXPECT_EQ(table_.At(0)->slot, 0);
}

TEST_F(SlotTableTest, ARefusalLeavesTheSlotVariableAlone) {
  ASSERT_EQ(TakeOrMinus("dev"), 0);
  long slot = 77;
  EXPECT_FALSE(table_.Take("dev", &slot, &Make));
  EXPECT_EQ(slot, 77);
}

TEST_F(SlotTableTest, AThrowWhileMakingLeavesTheSlotFreeAndKeepsNoName) {
  long slot = 77;
  EXPECT_THROW((void)table_.Take("dev", &slot,
                                 [](long) -> Instance* { throw std::runtime_error("no"); }),
               std::runtime_error);
  EXPECT_EQ(slot, 77);
  EXPECT_EQ(table_.At(0), nullptr);
  EXPECT_EQ(TakeOrMinus("dev"), 0);  // neither the slot nor the name is held
}

TEST_F(SlotTableTest, EmptyHandsOverOnlyTheExpectedInstance) {
  ASSERT_EQ(TakeOrMinus("dev"), 0);
  Instance* held = table_.At(0);
  Instance other{0};
  std::vector<Instance*> handed;
  auto collect = [&](Instance* instance) { handed.push_back(instance); };
  EXPECT_FALSE(table_.Empty(0, &other, collect));
  EXPECT_EQ(table_.At(0), held);
  EXPECT_TRUE(table_.Empty(0, held, collect));
  EXPECT_FALSE(table_.Empty(0, nullptr, collect));  // already empty
  EXPECT_EQ(handed, std::vector<Instance*>{held});
  EXPECT_EQ(table_.At(0), nullptr);
  delete held;
}

TEST_F(SlotTableTest, SlotsOutOfRangeHoldNothing) {
  ASSERT_EQ(TakeOrMinus("dev"), 0);
  int used = 0;
  for (long slot : {-1L, 3L, 1L}) {
    EXPECT_EQ(table_.At(slot), nullptr) << slot;
    EXPECT_EQ(table_.AtLocked(slot, [&](Instance*) { ++used; }), nullptr) << slot;
    EXPECT_FALSE(table_.Empty(slot, nullptr, &Delete)) << slot;
  }
  EXPECT_EQ(used, 0);
  EXPECT_NE(table_.AtLocked(0, [&](Instance*) { ++used; }), nullptr);
  EXPECT_EQ(used, 1);
}

}  // namespace
