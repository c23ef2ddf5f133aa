// The print-data tokenizer against the recording sub-module: the tokens each piece of print
// data becomes (service 1013 calls), the result word, page-mode wrapping, and the barcode,
// ruled-line and logo sequences that hand their work to the sub-module.
#include <gtest/gtest.h>
#include <mbctype.h>

#include <climits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "CommDevice.h"
#include "FakeLog.h"
#include "LogContext.h"
#include "OutputTestSupport.h"
#include "PrintDataTokenizer.h"
#include "RecordingSub.h"
#include "TestSupport.h"

namespace {

const std::string kRecording = sotest::BinFolder() + "recording_sub.dll";
PrnTokenList* const kList = reinterpret_cast<PrnTokenList*>(0x7100);

// One service 1013 call: the token code, its value and the data bytes it was given.
struct Tok {
  long code;
  long value;
  std::string data;
  bool operator==(const Tok& o) const {
    return code == o.code && value == o.value && data == o.data;
  }
};
std::ostream& operator<<(std::ostream& os, const Tok& t) {
  os << "{" << t.code << ", " << t.value << ", \"";
  for (unsigned char c : t.data) {
    if (c < 0x20 || c >= 0x7F) os << "\\x" << std::hex << int(c) << std::dec;
    else os << c;
  }
  return os << "\"}";
}
Tok T(const std::string& text) { return {RJ_TOKEN_TEXT, -1, text}; }
Tok K(long code, long value = -1) { return {code, value, ""}; }
const Tok kLF = K(RJ_TOKEN_LINE_FEED);

class TokenizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sub_.Loaded());
    sub_.Reset();
    log_.Configure("TokenizerDev", 256, 1, 4, "");
    ASSERT_TRUE(channel_.LoadSubSODLL(kRecording.c_str()));
    record_.mapMode = 1;
    record_.pageModePrintArea = "0,0,100,200";
    record_.pageModePrintDirection = 1;
  }
  void TearDown() override { channel_.SetLogos(nullptr, nullptr); }

  // Runs the registered callback over `data`; the tokens come back in the order added.
  std::vector<Tok> Tokenize(const std::string& data, long charWidth = 24, long spacing = 0) {
    buffer_ = data;
    error_ = 0;
    EXPECT_EQ(CCommDevice::ConvertPrintData(&record_, &station_, &buffer_[0],
                                            static_cast<long>(data.size()), charWidth, spacing,
                                            kList, &error_, &channel_),
              0);
    std::vector<Tok> tokens;
    for (const RecSubCall& call : sub_.Calls()) {
      if (call.exportId != RECSUB_OTHER_METHOD || call.id != PRN_SERVICE_ADD_COMMAND_TOKEN)
        continue;
      EXPECT_EQ(call.words[4], reinterpret_cast<long>(kList)) << "the list being built";
      EXPECT_NE(call.words[5], 0) << "an out word for the new token";
      const char* bytes = reinterpret_cast<const char*>(call.words[1]);
      if (bytes) {
        // Text and pass-through data are ranges of the caller's copy.
        EXPECT_GE(bytes, buffer_.data());
        EXPECT_LE(bytes + call.words[2], buffer_.data() + buffer_.size());
      }
      tokens.push_back({call.words[0], call.words[3],
                        bytes ? std::string(bytes, call.words[2]) : std::string()});
      if (!bytes) {
        EXPECT_EQ(call.words[2], 0);
      }
    }
    return tokens;
  }

  std::vector<RecSubCall> CallsOf(long exportId, long id) const {
    std::vector<RecSubCall> found;
    for (const RecSubCall& call : sub_.Calls())
      if (call.exportId == exportId && call.id == id) found.push_back(call);
    return found;
  }

  RecordingSubModule sub_{kRecording.c_str()};
  CLogContext log_;
  CCommDevice channel_{nullptr, &log_};
  PrnInputProperty record_{};
  PrnStationState station_{};
  std::string buffer_;
  long error_ = 0;
};

struct Row {
  const char* name;
  std::string data;
  std::vector<Tok> tokens;
  long error;  // the result word afterwards
};

const std::string E = "\x1b|";

TEST_F(TokenizerTest, PrintDataBecomesTokens) {
  const Row rows[] = {
      // Line ends with the flags 7 the sub-module reports: CR LF one, LF CR two.
      {"crlf", "AB\r\nC", {T("AB"), kLF, T("C")}, 0},
      {"lfcr", "A\n\rB", {T("A"), kLF, kLF, T("B")}, 0},
      {"lone cr and lf", "A\rB\nC", {T("A"), kLF, T("B"), kLF, T("C")}, 0},
      {"bold", E + "bCx", {K(RJ_TOKEN_BOLD), T("x")}, 0},
      {"bold off", E + "!bC", {K(RJ_TOKEN_BOLD_OFF)}, 0},
      {"star refused: printed", E + "*bC", {T(E + "*bC")}, 111},
      {"two prefixes refused", E + "!*bC", {T(E + "!*bC")}, 111},
      {"double high", E + "3C", {K(RJ_TOKEN_DOUBLE_HIGH)}, 0},
      {"size 5 consumed", E + "5Cx", {T("x")}, 106},
      {"ten digits", E + "1234567890P", {T(E + "1234567890P")}, 111},
      {"cut 65535", E + "65535P", {K(RJ_TOKEN_CUT, 65535)}, 0},
      {"cut 65536", E + "65536P", {T(E + "65536P")}, 111},
      {"cut without number", E + "P", {K(RJ_TOKEN_CUT, -1)}, 0},
      {"colour at limit", E + "255255255fC", {K(RJ_TOKEN_COLOR, 255255255)}, 0},
      {"colour over limit", E + "255255256fC", {T(E + "255255256fC")}, 111},
      {"feed cut limit", E + "65536fP", {T(E + "65536fP")}, 111},
      {"pass through short", E + "5Exyz", {{RJ_TOKEN_PASS_THROUGH, 3, "xyz"}}, 106},
      {"pass through", E + "2E\x1b|Z", {{RJ_TOKEN_PASS_THROUGH, 2, "\x1b|"}, T("Z")}, 0},
      {"pass through empty", E + "E", {}, 106},
      {"pass through too large", E + "70000E", {T(E + "70000E")}, 106},
      {"escape at the end", "\x1b", {T("\x1b")}, 111},
      {"text then lone escape", "A\x1b", {T("A"), T("\x1b")}, 111},
      {"no bar", "\x1bxA", {T("\x1bxA")}, 111},
      {"truncated", E + "12", {T(E + "12")}, 111},
      {"digits before plain-only", E + "2bC", {T(E + "2bC")}, 111},
      {"number-only without digits", E + "B", {T(E + "B")}, 111},
      {"prefix on centre", E + "!cA", {T(E + "!cA")}, 111},
      {"ruled line needs star", E + "1dLx", {T(E + "1dLx")}, 111},
      {"underline", E + "2uC" + E + "!uC" + E + "!1uC",
       {K(RJ_TOKEN_UNDERLINE, 2), K(RJ_TOKEN_UNDERLINE_OFF, -1), K(RJ_TOKEN_UNDERLINE_OFF, 1)}, 0},
      {"strike", E + "stC" + E + "!stC", {K(RJ_TOKEN_STRIKE), K(RJ_TOKEN_STRIKE_OFF)}, 0},
      {"scripts", E + "tbC" + E + "!tpC", {K(RJ_TOKEN_SUBSCRIPT), K(RJ_TOKEN_SUPERSCRIPT_OFF)}, 0},
      {"reverse", E + "rvC" + E + "!rvC" + E + "!iC",
       {K(RJ_TOKEN_REVERSE), K(RJ_TOKEN_REVERSE_OFF), K(RJ_TOKEN_ITALIC_OFF)}, 0},
      {"alignment and normal", E + "cA" + E + "rA" + E + "lA" + E + "N",
       {K(RJ_TOKEN_CENTER), K(RJ_TOKEN_RIGHT), K(RJ_TOKEN_LEFT), K(RJ_TOKEN_NORMAL)}, 0},
      {"valued", E + "3lF" + E + "4rF" + E + "2hC" + E + "3vC" + E + "1fT" + E + "2sC" +
                     E + "7rC" + E + "1sP" + E + "sL",
       {K(RJ_TOKEN_FEED_LINES, 3), K(RJ_TOKEN_FEED_REVERSE, 4), K(RJ_TOKEN_HSCALE, 2),
        K(RJ_TOKEN_VSCALE, 3), K(RJ_TOKEN_TYPEFACE, 1), K(RJ_TOKEN_SHADING, 2), K(RJ_TOKEN_ALT_COLOR, 7),
        K(RJ_TOKEN_FEED_CUT_STAMP, 1), K(RJ_TOKEN_STAMP)}, 0},
      {"bitmap outside modes", E + "1B", {K(RJ_TOKEN_BITMAP, 1)}, 0},
      {"no logo stored", "A" + E + "tL" + E + "bLB", {T("A"), T("B")}, 0},
      {"refused keeps later faults", E + "5C" + E + "*bC", {T(E + "*bC")}, 111},
  };
  for (const Row& row : rows) {
    sub_.Reset();
    EXPECT_EQ(Tokenize(row.data), row.tokens) << row.name;
    EXPECT_EQ(error_, row.error) << row.name;
  }
}

TEST_F(TokenizerTest, FeedUnitsAreConvertedToDotsAndCutsAreFlagged) {
  record_.mapMode = 2;  // twips: 1440 a inch, 203 dots a inch
  EXPECT_EQ(Tokenize(E + "1440uF" + E + "100fP"),
            (std::vector<Tok>{K(RJ_TOKEN_FEED_UNITS, 203), K(RJ_TOKEN_FEED_CUT, 100)}));
}

TEST_F(TokenizerTest, BitmapEndsItsLineInRotatedPrint) {
  station_.rotatedPrint = 1;
  EXPECT_EQ(Tokenize(E + "2B"), (std::vector<Tok>{K(RJ_TOKEN_BITMAP, 2), kLF}));
}

TEST_F(TokenizerTest, LogosAreAddedThroughService1014) {
  auto* top = reinterpret_cast<PrnTokenList*>(0x7200);
  auto* bottom = reinterpret_cast<PrnTokenList*>(0x7300);
  channel_.SetLogos(top, bottom);
  EXPECT_EQ(Tokenize(E + "tL" + E + "bL"), std::vector<Tok>{});
  const auto logos = CallsOf(RECSUB_OTHER_METHOD, PRN_SERVICE_APPEND_COMMAND_TOKENS);
  ASSERT_EQ(logos.size(), 2u);
  EXPECT_EQ(logos[0].words[0], reinterpret_cast<long>(top));
  EXPECT_EQ(logos[1].words[0], reinterpret_cast<long>(bottom));
  EXPECT_EQ(logos[1].words[1], reinterpret_cast<long>(kList));
}

struct PageRow {
  const char* name;
  std::string data;
  long horizontalPosition;
  long direction;
  std::vector<Tok> tokens;
};

TEST_F(TokenizerTest, PageModeWrapsAtThePrintAreaWidth) {
  station_.pageMode = 1;
  const Tok kStart = K(RJ_TOKEN_WRAP_START);
  // Print area 100 dots wide (200 high); charWidth 24, spacing 0: 12 dots a character.
  const PageRow rows[] = {
      {"eight fit, the ninth wraps", "ABCDEFGHIJ", 0, 1,
       {kStart, T("ABCDEFGH"), kLF, T("IJ")}},
      {"direction 2 measures the height", "ABCDEFGHIJ", 0, 2, {kStart, T("ABCDEFGHIJ")}},
      {"starts at the horizontal position", "ABCDE", 50, 1, {kStart, T("ABCD"), kLF, T("E")}},
      {"centred starts at 0", E + "cAABCDE", 50, 1, {kStart, K(RJ_TOKEN_CENTER), T("ABCDE")}},
      {"double wide counts twice", E + "2CABCDE", 0, 1,
       {kStart, K(RJ_TOKEN_DOUBLE_WIDE), T("ABCD"), kLF, T("E")}},
      {"normal resets the width", E + "2C" + E + "NABCDEFGH", 0, 1,
       {kStart, K(RJ_TOKEN_DOUBLE_WIDE), K(RJ_TOKEN_NORMAL), T("ABCDEFGH")}},
      {"a line end restarts the line", "ABCDEFG\nABCDEFG", 0, 1,
       {kStart, T("ABCDEFG"), kLF, T("ABCDEFG")}},
  };
  for (const PageRow& row : rows) {
    sub_.Reset();
    record_.pageModeHorizontalPosition = row.horizontalPosition;
    record_.pageModePrintDirection = row.direction;
    EXPECT_EQ(Tokenize(row.data), row.tokens) << row.name;
    EXPECT_EQ(error_, 0) << row.name;
  }
}

TEST_F(TokenizerTest, PageModeDropsACharacterWiderThanTheArea) {
  station_.pageMode = 1;
  record_.pageModePrintArea = "0,0,10,10";
  EXPECT_EQ(Tokenize("AB"), std::vector<Tok>{K(RJ_TOKEN_WRAP_START)});
}

TEST_F(TokenizerTest, PageModeCountsDoubleByteCharactersByTheCodePage) {
  station_.pageMode = 1;
  ASSERT_EQ(_setmbcp(932), 0);
  // Spacing 2: a single-byte character takes 14 dots, a double-byte one 28, so three
  // characters fit in 100 dots where seven single bytes would.
  const std::string kana = "\x82\xa0";
  EXPECT_EQ(Tokenize(kana + kana + kana + kana, /*charWidth=*/24, /*spacing=*/2),
            (std::vector<Tok>{K(RJ_TOKEN_WRAP_START), T(kana + kana + kana), kLF, T(kana)}));
  // A lead byte with no trail byte is one single-byte character: 8 x 12 dots still fit.
  sub_.Reset();
  EXPECT_EQ(Tokenize("ABCDEFG\x82"),
            (std::vector<Tok>{K(RJ_TOKEN_WRAP_START), T("ABCDEFG\x82")}));
  ASSERT_EQ(_setmbcp(_MB_CP_ANSI), 0);
}

// s104 h50 w2 a-2 t-13 d<13 digits> e: 31 bytes.
const std::string kEan13Body = "s104h50w2a-2t-13d4901234567894e";

TEST_F(TokenizerTest, BarCodeSequenceHandsItsBodyToPrintBarCode) {
  record_.mapMode = 1;
  EXPECT_EQ(Tokenize("A" + E + "31R" + kEan13Body + "B"), (std::vector<Tok>{T("A"), T("B")}));
  EXPECT_EQ(error_, 0);
  const auto pre = CallsOf(RECSUB_PRE_METHOD, PRN_METHOD_PRINT_BAR_CODE);
  ASSERT_EQ(pre.size(), 1u);
  EXPECT_EQ(pre[0].words[1], PRN_STATION_RECEIPT);
  EXPECT_STREQ(pre[0].texts[2], "4901234567894");
  const long expectPre[] = {104, 50, 2, -2, -13};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(pre[0].words[3 + i], expectPre[i]) << "word " << 3 + i;
  const auto exec = CallsOf(RECSUB_EXECUTE_METHOD, PRN_METHOD_PRINT_BAR_CODE);
  ASSERT_EQ(exec.size(), 1u);
  EXPECT_EQ(exec[0].words[1], reinterpret_cast<long>(&station_));
  EXPECT_STREQ(exec[0].texts[3], "4901234567894");
  EXPECT_EQ(exec[0].words[9], 1) << "flag 1: add to the tokenizer's list";
  EXPECT_NE(exec[0].words[11], 0) << "a snapshot";
  const auto freed = CallsOf(RECSUB_OTHER_METHOD, PRN_SERVICE_FREE_RESULT_RECORD);
  ASSERT_EQ(freed.size(), 1u);
  EXPECT_EQ(freed[0].words[0], exec[0].words[11]) << "the sub-module frees its texts";
}

// The snapshot of a barcode's execute phase comes from the service object's builder, so
// it carries the sub-module's carry word like every other snapshot.
TEST_F(TokenizerTest, BarCodeSnapshotComesFromTheChannelsOwner) {
  struct Owner : sotest::FakeChannelOwner {
    PrnPropertySnapshot* built = nullptr;
    PrnPropertySnapshot* BuildPropertySnapshot(PrnInputProperty*) override {
      built = new PrnPropertySnapshot{};
      built->carryWord = 0x5A5A;
      return built;
    }
  } owner;
  channel_.SetChannelOwner(&owner);
  (void)Tokenize(E + "31R" + kEan13Body);
  channel_.SetChannelOwner(nullptr);
  const auto exec = CallsOf(RECSUB_EXECUTE_METHOD, PRN_METHOD_PRINT_BAR_CODE);
  ASSERT_EQ(exec.size(), 1u);
  ASSERT_NE(owner.built, nullptr);
  EXPECT_EQ(exec[0].words[11], reinterpret_cast<long>(owner.built));
}

TEST_F(TokenizerTest, BarCodeSizesAreConvertedFromMapMode) {
  record_.mapMode = 3;  // thousandths of an inch
  const std::string body = "s104h1000w10a500d123e";  // 21 bytes
  EXPECT_EQ(Tokenize(E + "21R" + body), std::vector<Tok>{});
  const auto pre = CallsOf(RECSUB_PRE_METHOD, PRN_METHOD_PRINT_BAR_CODE);
  ASSERT_EQ(pre.size(), 1u);
  EXPECT_EQ(pre[0].words[4], 203);  // height: one inch
  EXPECT_EQ(pre[0].words[5], 2);    // width: floor(2.03)
  EXPECT_EQ(pre[0].words[6], 101);  // alignment: floor(101.5)
}

TEST_F(TokenizerTest, AFailedBarCodeSkipsItsBodyAndWrites106) {
  struct FailRow {
    const char* name;
    std::string data;
    std::vector<Tok> tokens;
    long preCalls;
  };
  const FailRow rows[] = {
      {"no closing e", E + "5Rs104hX", {T("X")}, 0},
      {"bad field", E + "5Rs1q2eX", {T("X")}, 0},
      {"body past the end", E + "50Rs1e", {}, 0},
      {"eleven-digit field", E + "13Rs12345678901eX", {T("X")}, 0},
      {"refused by the pre phase", E + "31R" + kEan13Body + "X", {T("X")}, 1},
  };
  for (const FailRow& row : rows) {
    sub_.Reset();
    sub_.SetResult(RECSUB_PRE_METHOD, PRN_METHOD_PRINT_BAR_CODE, 106);
    EXPECT_EQ(Tokenize(row.data), row.tokens) << row.name;
    EXPECT_EQ(error_, 106) << row.name;
    EXPECT_EQ(static_cast<long>(CallsOf(RECSUB_PRE_METHOD, 106).size()), row.preCalls)
        << row.name;
    EXPECT_TRUE(CallsOf(RECSUB_EXECUTE_METHOD, 106).empty()) << row.name;
  }
}

TEST_F(TokenizerTest, BarCodeBodyFields) {
  BarCodeBody body;
  const std::string text = "s110a-7t-5e";  // values outside -1..-3 / -11..-13 become 0
  ASSERT_TRUE(ParseBarCodeBody(reinterpret_cast<const unsigned char*>(text.data()),
                               static_cast<long>(text.size()), &body));
  EXPECT_EQ(body.symbology, 110);
  EXPECT_EQ(body.alignment, 0);
  EXPECT_EQ(body.textPosition, 0);
  EXPECT_EQ(body.data, "") << "no d field: no data";
}

TEST_F(TokenizerTest, RuledLineSequenceHandsItsBodyToDrawRuledLine) {
  const std::string body = "p0,100;200,50d1w2s1c1";  // 21 bytes
  EXPECT_EQ(Tokenize(E + "*21dL" + body + "X"), std::vector<Tok>{T("X")});
  EXPECT_EQ(error_, 0);
  const auto pre = CallsOf(RECSUB_PRE_METHOD, PRN_METHOD_DRAW_RULED_LINE);
  ASSERT_EQ(pre.size(), 1u);
  EXPECT_STREQ(pre[0].texts[2], "0,100;200,50");
  const long expectPre[] = {1, 2, 1, 1};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pre[0].words[3 + i], expectPre[i]) << "word " << 3 + i;
  const auto exec = CallsOf(RECSUB_EXECUTE_METHOD, PRN_METHOD_DRAW_RULED_LINE);
  ASSERT_EQ(exec.size(), 1u);
  EXPECT_EQ(exec[0].words[2], PRN_STATION_RECEIPT);
  EXPECT_EQ(exec[0].words[8], 1) << "flag 1";

  // Style other than 1, a direction other than 1 or 2, colour not to the end: refused.
  for (const std::string bad : {"p0,1d1w2s2c1", "p0,1d3w2s1c1", "p0,1d1w2s1c1x", "p0,1w2"}) {
    sub_.Reset();
    const std::string n = std::to_string(bad.size());
    EXPECT_EQ(Tokenize(E + "*" + n + "dL" + bad), std::vector<Tok>{}) << bad;
    EXPECT_EQ(error_, 106) << bad;
    EXPECT_TRUE(CallsOf(RECSUB_EXECUTE_METHOD, PRN_METHOD_DRAW_RULED_LINE).empty()) << bad;
  }
}

TEST_F(TokenizerTest, RuledLinePositionsInDots) {
  struct PosRow {
    const char* list;
    long direction;
    long mapMode;
    long result;
    std::vector<long> values;
  };
  const PosRow rows[] = {
      {"", 1, 1, 0, {-1}},
      {"0,100;200,50", 1, 1, 0, {0, 100, 200, 50}},
      {"1440,2880", 1, 2, 0, {203, 406}},
      {"10,20,30", 2, 1, 0, {10, 20, 30}},
      {"0,100;", 1, 1, 106, {}},
      {"0;100,200,300", 1, 1, 106, {}},
      {"0,100,200", 1, 1, 106, {}},
      {"10;20", 2, 1, 106, {}},
      {"10,,30", 2, 1, 106, {}},
      {"10,2a", 2, 1, 106, {}},
      {"1,2", 3, 1, 106, {}},
      {"1234567890,1", 1, 1, 106, {}},
  };
  for (const PosRow& row : rows) {
    std::vector<long> values{99};
    EXPECT_EQ(CCommDevice::CheckRuledLinePositions(row.list, &values, row.direction,
                                                   row.mapMode, 203),
              row.result)
        << row.list;
    if (row.result == 0) {
      EXPECT_EQ(values, row.values) << row.list;
    }
  }
}

TEST_F(TokenizerTest, LeadingNumber) {
  const struct {
    const char* bytes;
    long value;
  } rows[] = {{"\x1b|!12uC", 12}, {"\x1b|bC", -1}, {"", -1}, {"99999999999P", LONG_MAX}};
  for (const auto& row : rows) {
    EXPECT_EQ(CCommDevice::ParseLeadingNumber(reinterpret_cast<const unsigned char*>(row.bytes),
                                              static_cast<long>(strlen(row.bytes))),
              row.value)
        << row.bytes;
  }
}

}  // namespace
