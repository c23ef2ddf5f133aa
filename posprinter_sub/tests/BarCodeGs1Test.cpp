// GS1 DataBar Expanded encoder: symbol sizes by encodation method, refusals, stacked rows and
// the symbol character widths.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "Gs1Expanded.h"

namespace {

struct Encoded {
  long rows = -1;   // element 0
  long width = -1;  // element 1
  long error = -1;
  short characters = 0;
  short singleRow = 0;
  long checkDigit = -1;
  std::vector<unsigned short> modules;
};

Encoded Encode(const std::string& data, short segmentsPerRow = 0) {
  Gs1DataBarParams p = {};
  p.symbolType = kGs1SymbolExpanded;
  p.stacked = segmentsPerRow ? 1 : 0;
  p.segmentsPerRow = segmentsPerRow;
  p.data = reinterpret_cast<const unsigned char*>(data.data());
  p.length = static_cast<long>(data.size());
  p.checkDigit = -1;
  unsigned short* symbol = EncodeGS1DataBar(&p);
  Encoded e;
  e.error = p.errorCode;
  e.characters = p.characterCount;
  e.singleRow = p.singleRow;
  e.checkDigit = p.checkDigit;
  if (symbol) {
    e.rows = symbol[0];
    e.width = symbol[1];
    e.modules.assign(symbol + 2, symbol + 2 + e.rows * e.width);
    delete[] symbol;
  }
  return e;
}

// Width of a single row of N symbol characters: 17 modules each, a 15-module finder per
// pair, 2-module guards.
long RowWidth(long n) { return 17 * n + 15 * ((n + 1) / 2) + 4; }

const std::string kGtin = "0100012345678905";   // check digit 5
const std::string kGtin9 = "0190012345678908";  // variable measure item, check digit 8

struct SizeRow {
  const char* name;
  std::string data;
  long characters;  // N, the check character included
};

TEST(Gs1Expanded, SingleRowSizesByMethod) {
  const SizeRow rows[] = {
      // method "1": 1 + 1 + 2 + 4 + 40 = 48 bits, four data characters
      {"GTIN only", kGtin, 5},
      {"short GTIN padded with zeros", "0112345678905", 5},
      // + 8 digit pairs of 7 bits = 104 bits, nine data characters
      {"GTIN and 16 digits", kGtin + "1012345678901234", 10},
      // method "0100": 1 + 4 + 40 + 15 = 60 bits
      {"3103 light weight", kGtin9 + "3103001750", 6},
      // method "0111000" with no date: 1 + 7 + 40 + 20 + 16 = 84 bits
      {"3103 heavy weight", kGtin9 + "3103032768", 8},
      {"3202 up to 99.99", kGtin9 + "3202009999", 6},
      {"3203 above 22.767", kGtin9 + "3203022768", 8},
      {"weight and best-before date", kGtin9 + "310300175015991231", 8},
      // method "01100": 1 + 5 + 2 + 40 + 2 + 2 digit pairs = 64 bits
      {"392x price", kGtin9 + "39221234", 7},
      // compressed methods restore the indicator as 9: any other GTIN takes method "1",
      // 48 bits + 5 digit pairs = 83 bits (4 pairs: 76), seven data characters
      {"3103 weight after a GTIN not starting with 9", kGtin + "3103001750", 8},
      {"392x price after a GTIN not starting with 9", kGtin + "39221234", 8},
      // method "00": 5 bits; "10" 7, latch 4, A B C 18, FNC1 5, "21" 7, latch 4, X Y Z 18
      {"FNC1 between two fields", "10ABC{121XYZ", 7},
  };
  for (const SizeRow& row : rows) {
    const Encoded e = Encode(row.data);
    EXPECT_EQ(e.error, kGs1Ok) << row.name;
    EXPECT_EQ(e.rows, 1) << row.name;
    EXPECT_EQ(e.singleRow, 1) << row.name;
    EXPECT_EQ(e.characters, row.characters) << row.name;
    EXPECT_EQ(e.width, RowWidth(row.characters)) << row.name;
  }
  EXPECT_EQ(Encode(kGtin).width, 134);
  EXPECT_EQ(Encode(kGtin).checkDigit, 5);
}

TEST(Gs1Expanded, Refusals) {
  const struct {
    const char* name;
    std::string data;
    long error;
  } rows[] = {
      {"wrong GTIN check digit", "0100012345678904", kGs1CheckDigit},
      {"month 13", kGtin9 + "310300175015991331", kGs1DateMonth},
      {"month 00", kGtin9 + "310300175015990031", kGs1DateMonth},
      {"lone brace", "10AB{C", kGs1Character},
      {"brace at the end", "10AB{", kGs1Character},
      {"character outside the set", "10AB#", kGs1Character},
      {"more than 22 symbol characters", std::string(200, 'a'), kGs1TooLong},
      {"only the AI 01", "01", kGs1Ok},  // no symbol, no error code
  };
  for (const auto& row : rows) {
    const Encoded e = Encode(row.data);
    EXPECT_EQ(e.rows, -1) << row.name;
    EXPECT_EQ(e.error, row.error) << row.name;
  }
}

TEST(Gs1Expanded, StackedRows) {
  // Ten symbol characters at four per row: three rows and two bands of three separators.
  const Encoded e = Encode(kGtin + "1012345678901234", 4);
  EXPECT_EQ(e.error, kGs1Ok);
  EXPECT_EQ(e.rows, 9);
  EXPECT_EQ(e.width, 17 * 4 + 15 * 2 + 4);
  EXPECT_EQ(e.modules.size(), static_cast<size_t>(9 * e.width));
  EXPECT_EQ(e.singleRow, 0);
  // As many per row as there are characters: one row.
  const Encoded wide = Encode(kGtin, 6);
  EXPECT_EQ(wide.rows, 1);
  EXPECT_EQ(wide.width, 134);
}

TEST(Gs1Expanded, RowModulesMatchTheElementWidths) {
  const Encoded e = Encode(kGtin);
  ASSERT_EQ(e.modules.size(), 134u);
  // Guards: light then dark at the left.
  EXPECT_EQ(e.modules[0], 0);
  EXPECT_EQ(e.modules[1], 1);
  // Finder A1 follows the guard and the check character: 1 8 4 1 1 from module 19.
  const std::vector<unsigned short> a1 = {0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 1, 0};
  EXPECT_EQ(std::vector<unsigned short>(e.modules.begin() + 19, e.modules.begin() + 34), a1);
}

// Every 12-bit value has its own width pattern of 17 modules within the group's limits
// (ISO/IEC 24724 Table 4: odd/even modules 12/5, 10/7, 8/9, 6/11, 4/13).
TEST(Gs1Expanded, CharacterWidthsAreDistinctAndWithinTheirGroup) {
  const int firsts[] = {0, 348, 1388, 2948, 3988, 4096};
  const int oddModules[] = {12, 10, 8, 6, 4};
  std::set<std::vector<int>> seen;
  for (int g = 0; g < 5; ++g) {
    for (int v = firsts[g]; v < firsts[g + 1]; ++v) {
      int w[8];
      Gs1CharacterWidths(v, w);
      const int odd = w[0] + w[2] + w[4] + w[6];
      const int even = w[1] + w[3] + w[5] + w[7];
      ASSERT_EQ(odd, oddModules[g]) << v;
      ASSERT_EQ(odd + even, 17) << v;
      ASSERT_TRUE(w[0] == 1 || w[2] == 1 || w[4] == 1 || w[6] == 1) << v;
      for (int k = 0; k < 8; ++k) ASSERT_GE(w[k], 1) << v;
      ASSERT_TRUE(seen.insert(std::vector<int>(w, w + 8)).second) << v;
    }
  }
}

}  // namespace
