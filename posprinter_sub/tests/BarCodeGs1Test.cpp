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

// Rows of modules in the form `zint --dump` prints them: four modules to a hexadecimal
// digit, the first module the highest bit, a blank after every two digits, the last digit
// padded with light modules.
std::vector<std::string> DumpRows(const Encoded& e) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::vector<std::string> rows;
  for (long r = 0; r < e.rows; ++r) {
    std::string line;
    for (long m = 0; m < e.width; m += 4) {
      int nibble = 0;
      for (long k = m; k < m + 4; ++k)
        nibble = nibble << 1 | (k < e.width ? e.modules[static_cast<size_t>(r * e.width + k)] : 0);
      if (m > 0 && m % 8 == 0) line += ' ';
      line += kDigits[nibble];
    }
    rows.push_back(line);
  }
  return rows;
}

// Whole symbols against an independent encoder. The fixtures were printed by zint 2.11.1
// (Debian package zint) with
//   zint -b 31 --dump -d DATA              (GS1 DataBar Expanded), or
//   zint -b 81 --cols=C --dump -d DATA     (Expanded Stacked, C segment pairs per row),
// DATA being the element string in zint's form with bracketed application identifiers.
// They cover a right guard after a light and after a dark last element (character counts
// 5, 7 and 8), rows read right to left, a short last row, a short even-numbered last row
// moved one module right, rows that start with a bar, and the separator rows.
TEST(Gs1Expanded, ModulePatternsMatchAnIndependentEncoder) {
  const struct {
    const char* name;  // DATA, and C for the stacked form
    std::string data;
    short segmentsPerRow;
    std::vector<std::string> rows;
  } rows[] = {
      {"[01]00012345678905", kGtin, 0,
       {"42 21 AF F0 B3 0B D7 9B EB C0 E2 C3 71 ED 78 FC 28"}},
      {"[10]ABC[21]XYZ", "10ABC{121XYZ", 0,
       {"58 62 6F F0 A8 83 17 E7 AB F0 E7 3E 53 65 F8 FC 28 EC 26 F3 8A FF 3A"}},
      {"[01]90012345678908[3103]032768", kGtin9 + "3103032768", 0,
       {"4C 14 EF F0 A3 70 97 9B EB F0 E2 C3 71 ED 78 FC 2C 69 86 82 62 FF 39 9E 85"}},
      {"[01]00012345678905, C 2", kGtin, 4,
       {"52 11 EF F0 B1 17 17 9B EB C0 E2 C3 74",
        "0D EE 10 0A 4E E8 E8 64 14 2A 1D 3C 80",
        "05 55 55 55 55 55 55 55 55 55 55 55 40",
        "04 25 0A 05 2F 3E C0 00 00 00 00 00 00",
        "23 DA F1 F8 50 C1 28 00 00 00 00 00 00"}},
      {"[01]00012345678905, C 1", kGtin, 2,
       {"52 11 EF F0 B1 17 10", "0D EE 10 0A 4E E8 80", "05 55 55 55 55 55 00",
        "00 C8 28 54 3A 79 00", "AF 37 D7 81 C5 86 E8", "00 C8 28 54 3A 79 00",
        "05 55 55 55 55 55 00", "08 4A 14 0A 5E 7D 80", "47 B5 E3 F0 A1 82 50"}},
      {"[01]00012345678905[10]12345678901234, C 2", kGtin + "1012345678901234", 4,
       {"5D 9C 2F F0 B1 17 17 9B EB E0 62 C3 74",
        "02 63 D0 0A 4E E8 E8 64 14 15 1D 3C 80",
        "05 55 55 55 55 55 55 55 55 55 55 55 40",
        "0B 88 E1 00 BE 19 57 99 C9 40 A1 48 40",
        "A4 77 1C FF 41 E6 A8 66 34 3F 1E B7 88",
        "0B 88 E1 00 BE 19 57 99 C9 40 A1 48 40",
        "05 55 55 55 55 55 55 55 55 55 55 55 40",
        "09 D0 54 2A 49 1C 80 00 00 00 00 00 00",
        "46 2F A3 C0 B6 E3 10 00 00 00 00 00 00"}},
  };
  for (const auto& row : rows) {
    const Encoded e = Encode(row.data, row.segmentsPerRow);
    ASSERT_EQ(e.error, kGs1Ok) << row.name;
    EXPECT_EQ(DumpRows(e), row.rows) << row.name;
  }
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
