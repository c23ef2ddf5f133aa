// Lengths between the MapMode units and printer dots, and the argument-list splitters.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "CommDevice.h"

namespace {

struct ConvertRow {
  long mapMode, value, dpi, expected;
  const char* why;
};

TEST(Units, ToDotsFloorsAndNeverTurnsANonzeroLengthIntoZero) {
  const ConvertRow rows[] = {
      {2, 1440, 203, 203, "one inch of twips"},
      {3, 1, 203, 1, "floor 0.203 = 0, raised to 1"},
      {3, 0, 203, 0, "zero stays zero"},
      {1, 57, 203, 57, "dots pass unchanged"},
      {4, 2540, 203, 203, "one inch metric"},
      {2, 213, 203, 30, "213 * 203 / 1440 = 30.03"},
      {3, 1999, 203, 405, "floor 405.797"},
      {3, -1, 203, -1, "floor -0.203 = -1"},
      {5, 1234, 203, 1234, "unknown MapMode passes unchanged"},
      {0, -7, 203, -7, "unknown MapMode passes unchanged"},
      {2, 1440, 0, 1440, "no resolution yet: unchanged, no division by zero"},
  };
  for (const ConvertRow& r : rows) {
    EXPECT_EQ(CCommDevice::ConvertToDots(r.mapMode, r.value, r.dpi), r.expected) << r.why;
  }
}

TEST(Units, FromDotsTakesTheCeiling) {
  const ConvertRow rows[] = {
      {4, 203, 203, 2540, "one inch metric, exactly"},
      {3, 1, 203, 5, "ceiling 4.93"},
      {2, 0, 203, 0, "no lower bound of 1"},
      {2, 30, 203, 213, "ceiling 212.8"},
      {2, 203, 203, 1440, "one inch of twips"},
      {4, 512, 203, 6407, "ceiling 6406.3"},
      {1, 57, 203, 57, "dots unchanged"},
      {7, 57, 203, 57, "unknown MapMode unchanged"},
      {4, 203, 0, 203, "no resolution yet: unchanged, no division by zero"},
      {4, LONG_MAX, 203, LONG_MAX, "held at the 32-bit end, not wrapped"},
      {4, LONG_MIN, 203, LONG_MIN, "held at the 32-bit end, not wrapped"},
  };
  for (const ConvertRow& r : rows) {
    EXPECT_EQ(CCommDevice::ConvertFromDots(r.mapMode, r.value, r.dpi), r.expected) << r.why;
  }
}

// Every dot length survives the way out to the unit and back in, in each unit.
TEST(Units, DotsSurviveARoundTripThroughEveryUnit) {
  for (long mapMode = 1; mapMode <= 4; ++mapMode) {
    for (long dots = 0; dots <= 2000; ++dots) {
      const long units = CCommDevice::ConvertFromDots(mapMode, dots, 203);
      ASSERT_EQ(CCommDevice::ConvertToDots(mapMode, units, 203), dots)
          << "MapMode " << mapMode << " dots " << dots;
    }
  }
}

TEST(Units, CountsSeparators) {
  EXPECT_EQ(CCommDevice::CountSemicolons("1,2;3,4;5"), 2);
  EXPECT_EQ(CCommDevice::CountCommas("1,2;3,4;5"), 2);
  EXPECT_EQ(CCommDevice::CountCommas(""), 0);
  EXPECT_EQ(CCommDevice::CountCommas(nullptr), 0);
}

struct SplitRow {
  const char* text;
  char separator;
  long capacity;
  long expected;
  std::vector<std::string> stored;  // the first min(capacity, expected) fields
};

TEST(Units, SplitTrimsStoresUpToCapacityAndCountsAll) {
  const SplitRow rows[] = {
      {"10, 20,30", ',', 2, 3, {"10", "20"}},
      {"", ',', 4, 1, {""}},
      {" a ;\tb\t; ", ';', 4, 3, {"a", "b", ""}},
      {"1,2", ';', 4, 1, {"1,2"}},
      {",", ',', 4, 2, {"", ""}},
      {"1,2,3", ',', 0, 3, {}},
  };
  for (const SplitRow& r : rows) {
    std::string fields[4] = {"x", "x", "x", "x"};
    const long n = r.separator == ','
                       ? CCommDevice::SplitByComma(r.text, fields, r.capacity)
                       : CCommDevice::SplitBySemicolon(r.text, fields, r.capacity);
    EXPECT_EQ(n, r.expected) << '"' << r.text << '"';
    for (size_t i = 0; i < 4; ++i) {
      const std::string want = i < r.stored.size() ? r.stored[i] : "x";
      EXPECT_EQ(fields[i], want) << '"' << r.text << "\" field " << i;
    }
  }
}

}  // namespace
