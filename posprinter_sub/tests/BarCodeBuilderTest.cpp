// Barcode builders: the bytes of each symbology, the character and length checks, module
// choice, positioning and the sizes of PDF417, QR Code, stacked GS1 DataBar and Aztec Code.
#include "builder_support.h"

#include <cstring>
#include <string>

#include "RJBarCode.h"
#include "RJBytes.h"

namespace buildertest {
namespace {

class BarCodes : public BuilderTest {
 protected:
  BarCodes() {
    state_.rotation = 1;
    request_ = RJBarCodeRequest{&input_, &state_, nullptr, 0, PRN_STATION_RECEIPT,
                                /*availableWidth=*/576, /*availableHeight=*/-1, RJ_BC_UPCA,
                                RJ_BC_ALIGN_LEFT, /*height=*/100, /*requestedWidth=*/400,
                                RJ_BC_HRI_NONE, RJ_BC_ROTATE_NORMAL, /*printSpeed=*/0,
                                /*gs1ModuleSize=*/2};
  }
  // Builds `data` as `type`; the token codes in render order and the 152 token are kept.
  bool Build(long type, const std::string& data) {
    data_ = data;
    request_.type = type;
    request_.data = reinterpret_cast<const unsigned char*>(data_.data());
    request_.length = static_cast<long>(data_.size());
    result_ = RJBarCodeResult{-7, -7, -7};
    PrnTokenList* list = device_.GetBarCodeData(request_, &result_);
    codes_.clear();
    bytes_.clear();
    if (!list) return false;
    codes_ = Codes(list);
    EXPECT_EQ(SumOfLengths(list), list->totalBytes);
    for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n)) {
      if (n->token->type != RJ_TOKEN_POSITIONED) continue;
      bytes_ = ToHex(Bytes(n->token->data, n->token->data + n->token->length));
      tokenWidth_ = n->token->parameter;
      tokenHeight_ = n->token->parameter2;
      tokenFeed_ = n->token->parameter3;
    }
    FreeCommandList(list);
    return true;
  }
  static std::string H(const char* hex) { return ToHex(Hex(hex)); }

  RJBarCodeRequest request_;
  RJBarCodeResult result_{};
  std::string data_;
  std::vector<long> codes_;
  std::string bytes_;
  long tokenWidth_ = 0, tokenHeight_ = 0, tokenFeed_ = 0;
};

// ---- One-dimensional symbologies ----------------------------------------------------------

TEST_F(BarCodes, UpcASendsElevenDigits) {
  ASSERT_TRUE(Build(RJ_BC_UPCA, "12345678901"));
  // 95x: module 4 gives 380 dots (5 would be 475 > 400). HRI: |380 - 96| > |380 - 144|, so
  // the large font.
  const std::string expected =
      H("1B 4A 00  1D 77 04  12 3A 00  1D 68 64  1D 66 00  1D 48 00  1B 7B 00  1B 61 00"
        "1D 6B 00 31 32 33 34 35 36 37 38 39 30 31 00");
  EXPECT_EQ(bytes_, expected);
  EXPECT_EQ((std::vector<long>{RJ_TOKEN_FLUSH, RJ_TOKEN_POSITIONED}), codes_);
  EXPECT_EQ(tokenWidth_, 380);
  EXPECT_EQ(tokenHeight_, 100);
  EXPECT_EQ(result_.width, 380);
  EXPECT_EQ(result_.height, 100);
  ASSERT_TRUE(Build(RJ_BC_UPCA, "123456789012"));  // the check digit is not sent
  EXPECT_EQ(bytes_, expected);
}

struct BytesRow {
  const char* name;
  long type;
  std::string data;
  const char* hex;  // the bytes of the 152 token
  long width;
};

TEST_F(BarCodes, SymbolBytes) {
  const BytesRow rows[] = {
      // (7x + 3w)(n + 2) - x: module 5 with wide 15 gives 395, the widest of 15 candidates
      {"Code 39", RJ_BC_CODE39, "ABC",
       "1B 4A 00 1D 77 05 12 3A 02 1D 68 64 1D 66 00 1D 48 00 1B 7B 00 1B 61 00"
       "1D 6B 04 41 42 43 00", 395},
      // {C 12345 packs as 1, 23, 45: x(11 * 3 + 35) = 340 with module 5
      {"Code 128 parsed", RJ_BC_CODE128_PARSED, "{C12345",
       "1B 4A 00 1D 77 05 12 3A 00 1D 68 64 1D 66 00 1D 48 00 1B 7B 00 1B 61 00"
       "1D 6B 49 05 7B 43 01 17 2D", 340},
      // start character B by value, then the data: x(11 * 2 + 35) = 342 with module 6
      {"Code 128", RJ_BC_CODE128, "\x68" "AB",
       "1B 4A 00 1D 77 06 12 3A 00 1D 68 64 1D 66 00 1D 48 00 1B 7B 00 1B 61 00"
       "1D 6B 49 03 68 41 42", 342},
      // x(9n + 37) = 64x: module 6 gives 384
      {"Code 93", RJ_BC_CODE93, "AB1",
       "1B 4A 00 1D 77 06 12 3A 00 1D 68 64 1D 66 00 1D 48 00 1B 7B 00 1B 61 00"
       "1D 6B 48 03 41 42 31", 384},
      // main part, NUL, add-on, NUL: 149x, module 2 (3 would be 447)
      {"EAN-13 with a 5-digit add-on", RJ_BC_EAN13_ADDON, "12345678901212345",
       "1B 4A 00 1D 77 02 12 3A 00 1D 68 64 1D 66 00 1D 48 00 1B 7B 00 1B 61 00"
       "1D 6B 16 31 32 33 34 35 36 37 38 39 30 31 32 00 31 32 33 34 35 00", 298},
      // 96x; below 192 requested still module 2
      {"GS1 DataBar", RJ_BC_DATABAR, "0001234567890",
       "1B 4A 00 1D 77 04 12 3A 00 1D 68 64 1D 66 00 1D 48 00 1B 7B 00 1B 61 00"
       "1D 6B 4B 0D 30 30 30 31 32 33 34 35 36 37 38 39 30", 384},
      // 134 modules: module 2 (268), 3 would be 402
      {"GS1 DataBar Expanded", RJ_BC_DATABAR_EXPANDED, "0100012345678905",
       "1B 4A 00 1D 77 02 12 3A 00 1D 68 64 1D 66 00 1D 48 00 1B 7B 00 1B 61 00"
       "1D 6B 4E 10 30 31 30 30 30 31 32 33 34 35 36 37 38 39 30 35", 268},
  };
  for (const BytesRow& row : rows) {
    ASSERT_TRUE(Build(row.type, row.data)) << row.name;
    EXPECT_EQ(bytes_, H(row.hex)) << row.name;
    EXPECT_EQ(result_.width, row.width) << row.name;
  }
}

struct CheckRow {
  const char* name;
  long type;
  std::string data;
  bool built;
};

TEST_F(BarCodes, LengthAndCharacterChecks) {
  const CheckRow rows[] = {
      {"UPC-A of 10 digits", RJ_BC_UPCA, "1234567890", false},
      {"UPC-A with a letter", RJ_BC_UPCA, "1234567890A", false},
      {"UPC-E zero-suppressible (position 3 is 0-2)", RJ_BC_UPCE, "01200000567", true},
      {"UPC-E (position 5 is 1-9, last 5-9)", RJ_BC_UPCE, "01234500005", true},
      {"UPC-E number system 1", RJ_BC_UPCE, "11200000567", false},
      {"UPC-E not suppressible", RJ_BC_UPCE, "01234567890", false},
      {"EAN-13 of 12", RJ_BC_EAN13, "123456789012", true},
      {"EAN-13 of 11", RJ_BC_EAN13, "12345678901", false},
      {"EAN-8 of 7", RJ_BC_EAN8, "1234567", true},
      {"EAN-8 of 9", RJ_BC_EAN8, "123456789", false},
      {"Code 39 symbols", RJ_BC_CODE39, "A-1 $", true},
      {"Code 39 lower case", RJ_BC_CODE39, "abc", false},
      {"ITF even", RJ_BC_ITF, "1234", true},
      {"ITF odd", RJ_BC_ITF, "123", false},
      {"Codabar A123B", RJ_BC_CODABAR, "A123B", true},
      {"Codabar B inside, digit last", RJ_BC_CODABAR, "A1B2", false},
      {"Codabar without start", RJ_BC_CODABAR, "1234", false},
      {"Code 93 byte above 7F", RJ_BC_CODE93, "A\x80", false},
      {"Code 128 without a start character", RJ_BC_CODE128, "\x66" "AB", false},
      {"Code 128 parsed, set A lower case", RJ_BC_CODE128_PARSED, "{Aab", false},
      {"Code 128 parsed, set A shift pair", RJ_BC_CODE128_PARSED, "{AAB{S1", true},
      {"Code 128 parsed, set B control byte", RJ_BC_CODE128_PARSED, "{Ba\x01", false},
      {"Code 128 parsed, brace at the end", RJ_BC_CODE128_PARSED, "{Bab{", false},
      {"Code 128 parsed, set C letter", RJ_BC_CODE128_PARSED, "{C12A", false},
      {"Code 128 parsed, C then B", RJ_BC_CODE128_PARSED, "{C12{Bab", true},
      {"Code 128 parsed, no brace", RJ_BC_CODE128_PARSED, "ABC", false},
      {"GS1 DataBar of 12", RJ_BC_DATABAR, "000123456789", false},
      {"GS1 DataBar Expanded bad character", RJ_BC_DATABAR_EXPANDED, "01#", false},
      {"GS1 DataBar Expanded wrong check digit", RJ_BC_DATABAR_EXPANDED, "0100012345678904",
       false},
  };
  for (const CheckRow& row : rows) EXPECT_EQ(Build(row.type, row.data), row.built) << row.name;
  ASSERT_FALSE(Build(RJ_BC_UPCA, "123"));
  EXPECT_EQ(result_.errorKind, kRJBarCodeRefused);
  EXPECT_EQ(result_.width, -7) << "no size with a refusal";
}

TEST_F(BarCodes, CodabarWideCountAndCodeSet) {
  // (6x + 2w)n + (w - x)k - x with k = 2 (start and stop): the widest under 400 is module 6
  // with wide 18: 72 x 5 + 12 x 2 - 6 = 378.
  ASSERT_TRUE(Build(RJ_BC_CODABAR, "A123B"));
  EXPECT_EQ(result_.width, 378);
  ASSERT_TRUE(Build(RJ_BC_CODE128_PARSED, "{A12{C34"));
  EXPECT_EQ(device_.CodeSet(), 3);
  ASSERT_TRUE(Build(RJ_BC_UPCA, "12345678901"));
  EXPECT_EQ(device_.CodeSet(), -1);
}

TEST_F(BarCodes, ModuleAndSpace) {
  request_.requestedWidth = 100;  // below 192: module 2 all the same
  ASSERT_TRUE(Build(RJ_BC_DATABAR, "0001234567890"));
  EXPECT_EQ(result_.width, 192);
  request_.availableWidth = 191;
  EXPECT_FALSE(Build(RJ_BC_DATABAR, "0001234567890"));
  request_.availableWidth = 576;
  request_.requestedWidth = 189;  // UPC-A: 190 at the least
  EXPECT_FALSE(Build(RJ_BC_UPCA, "12345678901"));
}

TEST_F(BarCodes, HriFontHeightAndFeed) {
  state_.pageMode = 1;
  input_.recLineWidth = 144;  // 12 x 12 characters reach the line: the small font
  request_.hri = RJ_BC_HRI_BELOW;
  request_.alignment = RJ_BC_ALIGN_LEFT;
  input_.pageModeHorizontalPosition = 40;
  ASSERT_TRUE(Build(RJ_BC_UPCA, "12345678901"));
  // Page mode: no ESC J 0 first, left alignment adds nothing after ESC { 0; the HRI's 16
  // dots are fed after the symbol; a line feed token ends the line.
  EXPECT_EQ(bytes_, H("1D 77 04 12 3A 00 1D 68 64 1D 66 01 1D 48 02 1B 7B 00"
                      "1D 6B 00 31 32 33 34 35 36 37 38 39 30 31 00  1B 4A 10"));
  EXPECT_EQ((std::vector<long>{RJ_TOKEN_POSITIONED, RJ_TOKEN_LINE_FEED}), codes_);
  EXPECT_EQ(tokenHeight_, 108);
  EXPECT_EQ(tokenFeed_, 16);
  request_.hri = RJ_BC_HRI_ABOVE;
  ASSERT_TRUE(Build(RJ_BC_UPCA, "12345678901"));
  EXPECT_EQ(tokenHeight_, 100 + 16 + 8);
  EXPECT_EQ(tokenFeed_, 0);
}

TEST_F(BarCodes, SidewaysSymbolGetsAnAreaOfItsOwn) {
  request_.rotation = RJ_BC_ROTATE_RIGHT;
  request_.availableWidth = 2400;
  ASSERT_TRUE(Build(RJ_BC_UPCA, "12345678901"));
  // ESC L, ESC W 0 0 0 0 (576) (380), ESC T 3, GS $ (100), the symbol, FF.
  EXPECT_EQ(bytes_, H("1B 4A 00 1D 77 04 12 3A 00 1D 68 64 1D 66 00 1D 48 00"
                      "1B 4C 1B 57 00 00 00 00 40 02 7C 01 1B 54 03 1D 24 64 00"
                      "1D 6B 00 31 32 33 34 35 36 37 38 39 30 31 00 0C"));
  state_.rotatedPrint = 1;  // inside a rotated print: no area and no FF
  ASSERT_TRUE(Build(RJ_BC_UPCA, "12345678901"));
  EXPECT_EQ(bytes_, H("1B 4A 00 1D 77 04 12 3A 00 1D 68 64 1D 66 00 1D 48 00"
                      "1D 6B 00 31 32 33 34 35 36 37 38 39 30 31 00 1B 4A 00"));
  EXPECT_EQ((std::vector<long>{RJ_TOKEN_FLUSH, RJ_TOKEN_POSITIONED, RJ_TOKEN_LINE_FEED}), codes_);
}

TEST_F(BarCodes, ModeTokenComesFirst) {
  state_.settingsChanged = 1;
  input_.recLetterQuality = 1;
  ASSERT_TRUE(Build(RJ_BC_UPCA, "12345678901"));
  EXPECT_EQ((std::vector<long>{RJ_TOKEN_LETTER_QUALITY, RJ_TOKEN_FLUSH, RJ_TOKEN_POSITIONED}),
            codes_);
  request_.printSpeed = 1;
  ASSERT_TRUE(Build(RJ_BC_UPCA, "12345678901"));
  EXPECT_EQ((std::vector<long>{RJ_TOKEN_FLUSH, RJ_TOKEN_POSITIONED}), codes_);
}

TEST_F(BarCodes, UnknownTypeLeavesTheResultAlone) {
  EXPECT_FALSE(Build(12, "12345"));
  EXPECT_EQ(result_.errorKind, -7);
}

// ---- Positioning -------------------------------------------------------------------------

struct PositionRow {
  const char* name;
  long pageMode;
  long rotation;
  long alignment;
  bool skipLeft;
  const char* hex;  // nullptr: refused
};

TEST_F(BarCodes, Positions) {
  input_.pageModeHorizontalPosition = 10;
  // Available 576, symbol 380: 196 dots to spare.
  const PositionRow rows[] = {
      {"centre", 0, 1, RJ_BC_ALIGN_CENTER, false, "1B 7B 00 1B 61 01"},
      {"right", 0, 1, RJ_BC_ALIGN_RIGHT, false, "1B 7B 00 1B 61 02"},
      {"explicit", 0, 1, 100, false, "1B 7B 00 1B 61 00 1B 24 64 00"},
      {"explicit, no left first", 0, 1, 100, true, "1B 7B 00 1B 24 64 00"},
      {"explicit at the edge", 0, 1, 196, false, "1B 7B 00 1B 61 00 1B 24 C4 00"},
      {"explicit past the edge", 0, 1, 197, false, nullptr},
      {"upside down explicit", 0, 4, 100, false, "1B 7B 01 1B 61 00 1B 24 60 00"},
      {"page centre", 1, 1, RJ_BC_ALIGN_CENTER, false, "1B 7B 00 1B 24 6C 00"},
      {"page right", 1, 1, RJ_BC_ALIGN_RIGHT, false, "1B 7B 00 1B 24 CE 00"},
      {"page explicit", 1, 1, 100, false, "1B 7B 00 1B 24 6E 00"},
      {"page upside down left", 1, 4, RJ_BC_ALIGN_LEFT, false, "1B 7B 01 1B 24 C4 00"},
      {"page upside down centre", 1, 4, RJ_BC_ALIGN_CENTER, false, "1B 7B 01 1B 24 62 00"},
      {"page upside down right", 1, 4, RJ_BC_ALIGN_RIGHT, false, "1B 7B 01"},
      {"page upside down past the edge", 1, 4, 200, false, nullptr},
      {"no rotation code", 0, 7, 100, false, ""},
  };
  for (const PositionRow& row : rows) {
    state_.pageMode = row.pageMode;
    RJBytes bytes;
    const int ok = device_.SetBarcodePosition(&input_, &state_, 576, row.alignment,
                                              row.rotation, 380, 100, row.skipLeft, &bytes);
    if (!row.hex) {
      EXPECT_EQ(ok, 0) << row.name;
      continue;
    }
    EXPECT_EQ(ok, 1) << row.name;
    EXPECT_EQ(ToHex(Bytes(bytes.Data(), bytes.Data() + bytes.Size())), H(row.hex)) << row.name;
  }
}

// ---- PDF417, QR Code, stacked GS1 DataBar -------------------------------------------------

// Codewords: the length descriptor, the byte compaction latch, 5 for each 6 bytes and one
// for each byte left, and 32 for error correction.
TEST_F(BarCodes, Pdf417Sizes) {
  const struct {
    const char* name;
    long requestedWidth;
    std::string data;
    long width, height;
    const char* hex;
  } rows[] = {
      // 43 codewords: rows 3 to 10 hold too few in the 4 columns that fit 300 dots; 11 rows
      // of 4 columns, module 2 (274 dots), row height 9.
      {"10 bytes, rows first", 300, "0123456789", 274, 99,
       "1B 4A 00 1B 7B 00 1B 61 00 1D 6E 02 1D 6F 09 1D 70 00 00 04 0B 04 0A 00"
       "30 31 32 33 34 35 36 37 38 39"},
      // 37 codewords: 3 rows x 12 columns are one short; 4 rows x 10 columns, module 2 (478
      // dots), row height 25.
      {"3 bytes", 576, "\x01\x02\x03", 478, 100,
       "1B 4A 00 1B 7B 00 1B 61 00 1D 6E 02 1D 6F 19 1D 70 00 00 04 04 0A 03 00 01 02 03"},
  };
  for (const auto& row : rows) {
    request_.requestedWidth = row.requestedWidth;
    ASSERT_TRUE(Build(RJ_BC_PDF417, row.data)) << row.name;
    EXPECT_EQ(result_.width, row.width) << row.name;
    EXPECT_EQ(result_.height, row.height) << row.name;
    EXPECT_EQ(bytes_, H(row.hex)) << row.name;
  }
  EXPECT_FALSE(Build(RJ_BC_PDF417, std::string(500, 'x')));
}

TEST_F(BarCodes, QrCodeVersionAndModule) {
  request_.requestedWidth = 200;
  // 20 digits: 4 + 10 + 60 + 7 = 81 bits, version 1 (21 modules), module 9.
  ASSERT_TRUE(Build(RJ_BC_QRCODE, "12345678901234567890"));
  EXPECT_EQ(result_.width, 189);
  EXPECT_EQ(result_.height, 189);
  EXPECT_EQ(bytes_, H("1B 4A 00 1B 7B 00 1B 61 00 12 3B 09 1D 70 01 02 4D 01 4D 14 00"
                      "31 32 33 34 35 36 37 38 39 30 31 32 33 34 35 36 37 38 39 30 00"));
  input_.characterSet = 932;
  EXPECT_FALSE(Build(RJ_BC_QRCODE, "A\x81"));  // a Shift JIS lead byte without its trail
  EXPECT_TRUE(Build(RJ_BC_QRCODE, "A\x81\x40"));
  const struct {
    long bits;
    long version;
  } versions[] = {{0, -1}, {1, 1}, {128, 1}, {129, 2}, {688, 5}, {18672, 40}, {18673, -1}};
  for (const auto& v : versions) EXPECT_EQ(CRJDevice::GetQRVersion(v.bits), v.version) << v.bits;
}

TEST_F(BarCodes, QrDoubleByteCharactersOnlyInShiftJis) {
  request_.requestedWidth = 200;
  // E9 is a Shift JIS lead byte and "t" a trail byte. Eight such pairs: 8 kanji take
  // 4 + 8 + 104 = 116 bits (version 1, module 9), 16 bytes 4 + 8 + 128 = 140 (version 2,
  // 25 modules, module 8).
  std::string pairs;
  for (int i = 0; i < 8; ++i) pairs += "\xE9t";
  const struct {
    long characterSet;
    std::string data;
    long width;  // 0: refused
  } rows[] = {
      {932, "Caf\xE9", 0},  // a lead byte without its trail
      {1252, "Caf\xE9", 189},
      {999, "Caf\xE9", 189},
      {932, pairs, 189},
      {1252, pairs, 200},
  };
  for (const auto& row : rows) {
    input_.characterSet = row.characterSet;
    EXPECT_EQ(Build(RJ_BC_QRCODE, row.data), row.width != 0) << row.characterSet << " " << row.data;
    if (row.width) {
      EXPECT_EQ(result_.width, row.width) << row.characterSet << " " << row.data;
    }
  }
}

TEST_F(BarCodes, QrDataBeyondTheLargestSymbolIsRefusedBeforeSizing) {
  // 5596 digits fill version 40 at level M: 4 + 14 + 1865 x 10 + 4 = 18672 bits.
  request_.requestedWidth = 576;
  ASSERT_TRUE(Build(RJ_BC_QRCODE, std::string(5596, '7')));
  EXPECT_EQ(result_.width, 177 * 3);
  EXPECT_NE(bytes_.find(H("1D 70 01 02 4D 28 4D DC 15 37 37")), std::string::npos);
  for (size_t length : {5597u, 80000u}) {
    Lines().clear();
    EXPECT_FALSE(Build(RJ_BC_QRCODE, std::string(length, '7'))) << length;
    EXPECT_TRUE(Logged("Data error.")) << length;
    EXPECT_FALSE(Logged("Barcode size error.")) << length;
  }
  // A run the mode choice looks ahead over at every character: digits to the end in byte
  // mode, 4 + 16 + 2331 x 8 = 18668 bits.
  ASSERT_TRUE(Build(RJ_BC_QRCODE, "a" + std::string(2330, '7')));
  EXPECT_EQ(result_.width, 177 * 3);
}

TEST_F(BarCodes, StackedDataBar) {
  request_.gs1ModuleSize = 20;  // outside 2..16: module 2
  ASSERT_TRUE(Build(RJ_BC_DATABAR_STACKED, "0001234567890"));
  EXPECT_EQ(result_.width, 100);
  EXPECT_EQ(result_.height, 26);
  EXPECT_EQ(bytes_, H("1B 4A 00 1B 7B 00 1B 61 00 12 3B 02 1D 70 04 00 0D"
                      "30 30 30 31 32 33 34 35 36 37 38 39 30 00"));
  request_.gs1ModuleSize = 3;
  ASSERT_TRUE(Build(RJ_BC_DATABAR_STACKED_OMNI, "0001234567890"));
  EXPECT_EQ(result_.width, 150);
  EXPECT_EQ(result_.height, 207);
  EXPECT_FALSE(Build(RJ_BC_DATABAR_STACKED, "000123456789A"));
}

TEST_F(BarCodes, ExpandedStackedSegmentsAndHeight) {
  // Requested 400 with module 2: 6 segments per row, (147 + 4) x 2 = 302 dots; five symbol
  // characters fit one row: 34 x 2 dots high.
  ASSERT_TRUE(Build(RJ_BC_DATABAR_EXPANDED_STACKED, "0100012345678905"));
  EXPECT_EQ(result_.width, 302);
  EXPECT_EQ(result_.height, 68);
  EXPECT_NE(bytes_.find(H("12 3B 02 1D 70 04 02 06 10")), std::string::npos) << bytes_;
  // Ten characters, two per row: five rows, 2 x (37 x 4 + 34) = 364 dots, kept whole.
  request_.requestedWidth = 200;
  ASSERT_TRUE(Build(RJ_BC_DATABAR_EXPANDED_STACKED, "01000123456789051012345678901234"));
  EXPECT_EQ(result_.width, 106);
  EXPECT_EQ(result_.height, 364);
  EXPECT_EQ(tokenHeight_, 364);
  request_.availableHeight = 363;
  EXPECT_FALSE(Build(RJ_BC_DATABAR_EXPANDED_STACKED, "01000123456789051012345678901234"));
}

TEST_F(BarCodes, ExpandedStackedDataTheEncoderRefusesBuildsNothing) {
  const char* rows[] = {
      "0198898765432107",  // GTIN check digit 6, not 7
      "21AB{C",            // "{" not followed by "1"
      "01",                // too short for a GTIN
  };
  for (const char* data : rows) {
    Lines().clear();
    EXPECT_FALSE(Build(RJ_BC_DATABAR_EXPANDED_STACKED, data)) << data;
    EXPECT_EQ(result_.errorKind, kRJBarCodeRefused) << data;
    EXPECT_TRUE(Logged("Data error.")) << data;
  }
  EXPECT_TRUE(Build(RJ_BC_DATABAR_EXPANDED_STACKED, "0198898765432106"));
}

// ---- Aztec Code --------------------------------------------------------------------------

TEST_F(BarCodes, AztecGrowsToFillTheWidth) {
  // Twelve digits: row 0 fits; rows 1 and 2 still fit with module 16 (304, 368), row 3
  // (432) does not: compact, 3 layers, 368 dots.
  ASSERT_TRUE(Build(RJ_BC_AZTEC, "123456789012"));
  EXPECT_EQ(result_.width, 368);
  EXPECT_EQ(result_.height, 368);
  EXPECT_EQ(bytes_, H("1B 4A 00 1B 7B 00 1B 61 00 12 3B 10 1D 70 05 01 03 00 0C 00"
                      "31 32 33 34 35 36 37 38 39 30 31 32 00"));
  EXPECT_TRUE(Logged("DataSize-12 Type-2 Layer-3 Mode1"));
}

TEST_F(BarCodes, AztecSizes) {
  const struct {
    const char* name;
    std::string data;
    long requested;
    long available;
    long size;     // 0: refused
    const char* logged;
  } rows[] = {
      {"largest symbol", std::string(3832, '7'), 2416, 2416, 2416, nullptr},
      {"one digit too many", std::string(3833, '7'), 2416, 2416, 0, "Data length error."},
      {"module below 2", "1", 29, 576, 0, "Barcode size is too small."},
      {"module 2 at 30", "1", 30, 576, 30, nullptr},
      // digits mixed with capitals take the byte capacities: 8 bytes need row 1 (19 modules)
      {"mixed data", "A1A1A1A1", 40, 576, 38, nullptr},
      {"capitals only", "ABCDEFGH", 40, 576, 30, nullptr},
      {"wider than the space", "123", 400, 300, 0, "Barcode is larger than the print area."},
  };
  for (const auto& row : rows) {
    Lines().clear();
    request_.requestedWidth = row.requested;
    request_.availableWidth = row.available;
    const bool built = Build(RJ_BC_AZTEC, row.data);
    EXPECT_EQ(built, row.size != 0) << row.name;
    if (built) {
      EXPECT_EQ(result_.width, row.size) << row.name;
    }
    if (row.logged) {
      EXPECT_TRUE(Logged(row.logged)) << row.name;
    }
  }
}

TEST_F(BarCodes, AztecCountsUtf8Bytes) {
  // The euro sign of code page 1252 is three UTF-8 bytes (byte capacities: row 0 grows to
  // row 2 in 400 dots).
  ASSERT_TRUE(Build(RJ_BC_AZTEC, "\x80"));
  EXPECT_NE(bytes_.find(H("1D 70 05 01 03 00 03 00 E2 82 AC 00")), std::string::npos) << bytes_;
}

}  // namespace
}  // namespace buildertest
