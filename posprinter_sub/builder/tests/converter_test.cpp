// BinaryConversion decoding, comma counting and splitting.
#include "DataConverter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct DecodeRow {
  const char* what;
  const char* source;
  long mode;
  int ok;
  std::vector<unsigned char> bytes;
};

// Rows from the BinaryConversion rules: nibble takes the low four bits of each character
// ("0"-"9", ":"-"?" give 0-15), decimal reads three digits mod 256.
const DecodeRow kDecodeRows[] = {
    {"nibble 4142", "4142", 1, 1, {0x41, 0x42}},
    {"nibble 4?", "4?", 1, 1, {0x4F}},
    {"nibble :;", ":;", 1, 1, {0xAB}},
    {"nibble other chars keep low bits", "AZ", 1, 1, {0x1A}},
    {"nibble odd length", "414", 1, 0, {}},
    {"nibble empty", "", 1, 1, {}},
    {"decimal 065066", "065066", 2, 1, {0x41, 0x42}},
    {"decimal 300 mod 256", "300", 2, 1, {0x2C}},
    {"decimal up to a non-digit", "7x9", 2, 1, {7}},
    {"decimal three non-digits", "abc", 2, 1, {0}},
    {"decimal four chars", "0650", 2, 0, {}},
    {"raw", "A\x7f" "b", 0, 1, {'A', 0x7F, 'b'}},
    {"raw empty", "", 0, 1, {}},
    {"unknown mode is raw", "12", 7, 1, {'1', '2'}},
    {"NULL source reads as empty", nullptr, 0, 1, {}},
};

TEST(ConvertBinary, DecodingTable) {
  CDataConverter converter;
  for (const DecodeRow& row : kDecodeRows) {
    unsigned char* buffer = reinterpret_cast<unsigned char*>(1);
    long length = -1;
    ASSERT_EQ(converter.ConvertBinary(row.source, &buffer, &length, row.mode), row.ok)
        << row.what;
    if (!row.ok) {
      EXPECT_EQ(buffer, nullptr) << row.what;
      EXPECT_EQ(length, 0) << row.what;
      continue;
    }
    ASSERT_NE(buffer, nullptr) << row.what;
    EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + length), row.bytes) << row.what;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(buffer[length + i], 0) << row.what << " spare " << i;
    delete[] buffer;
  }
}

TEST(SplitCommaList, FieldsTrimmedAndCounted) {
  CDataConverter converter;
  std::string one[1];
  EXPECT_EQ(converter.SplitCommaList(" a , b ", one, 1), 2);
  EXPECT_EQ(one[0], "a");

  std::string three[3];
  EXPECT_EQ(converter.SplitCommaList("a,,b", three, 3), 3);
  EXPECT_EQ(three[0], "a");
  EXPECT_EQ(three[1], "");
  EXPECT_EQ(three[2], "b");

  std::string any[2] = {"keep", "keep"};
  EXPECT_EQ(converter.SplitCommaList("", any, 2), 1);
  EXPECT_EQ(any[0], "");
  EXPECT_EQ(any[1], "keep");
  EXPECT_EQ(converter.SplitCommaList(nullptr, any, 2), 1);
  EXPECT_EQ(converter.SplitCommaList("\tx\t,y", any, 0), 2) << "capacity 0 counts only";
}

TEST(CountCommas, EveryComma) {
  CDataConverter converter;
  EXPECT_EQ(converter.CountCommas("a,b"), 1);
  EXPECT_EQ(converter.CountCommas(",,\",\""), 3);
  EXPECT_EQ(converter.CountCommas(""), 0);
  EXPECT_EQ(converter.CountCommas(nullptr), 0);
}

TEST(CopyToBuffer, CopiesWithNul) {
  CDataConverter converter;
  char* copy = nullptr;
  const char text[] = "0,180";
  converter.CopyToBuffer(&copy, text);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, text);
  EXPECT_STREQ(copy, "0,180");
  delete[] copy;
  converter.CopyToBuffer(&copy, nullptr);
  EXPECT_STREQ(copy, "");
  delete[] copy;
}

}  // namespace
