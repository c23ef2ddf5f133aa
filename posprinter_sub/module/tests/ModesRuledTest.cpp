// DrawRuledLine from the OPOS method (flag 0) and from a sequence inside print data (flag 1):
// validation, the DC3 bytes of bands and vertical lines, the vertical lines kept between
// calls, and what a refused call leaves behind. The receipt is 288 dots wide.
#include "ModesFixture.h"

namespace modestest {
namespace {

constexpr long kHorizontal = 1;
constexpr long kVertical = 2;

// One horizontal band 10-109, 2 dots high: ESC J 0, DC3 +, DC3 C, DC3 L 10 109, DC3 p 2 0,
// DC3 -.
constexpr char kBand10[] = "1B 4A 00 13 2B 13 43 13 4C 0A 00 6D 00 13 70 02 00 13 2D";
// Vertical end: ESC J 0, DC3 +, DC3 C, DC3 -.
constexpr char kVerticalEnd[] = "1B 4A 00 13 2B 13 43 13 2D";
// A vertical line at 100, 1 dot wide: DC3 +, DC3 C, DC3 D 100.
constexpr char kVertical100[] = "13 2B 13 43 13 44 64 00";
// The band 10-109 with that vertical line drawn through its rows (DC3 L 100 100) and set
// up again after it.
constexpr char kBand10Through100[] =
    "1B 4A 00 13 2B 13 43 13 4C 0A 00 6D 00 13 4C 64 00 64 00 13 70 02 00 13 2D "
    "13 2B 13 43 13 44 64 00";

// The core's tokenizer as it meets a ruled-line sequence inside print data (here the byte
// 0x01: a band 10-109, 2 dots high; 0x02: a vertical line at 200, 3 dots wide): nested in the
// text method's execute call it runs preMethod and executeMethod 120 (flag 1) with the list
// it is filling, and records a refusal in the error word.
long SUBAPI_CALL RuledLineTokenizer(PrnInputProperty* record, PrnStationState* state,
                                    char* data, long length, long, long, PrnTokenList* list,
                                    long* errorWord, void* context) {
  auto* core = static_cast<fakecore::FakeCore*>(context);
  long before = 0;
  while (before < length && data[before] != 0x01 && data[before] != 0x02) ++before;
  fakecore::TokenizeInto(*core, data, before, list, errorWord);
  if (before == length) return 0;
  const bool vertical = data[before] == 0x02;
  const long direction = vertical ? 2 : 1;
  const long width = vertical ? 3 : 2;
  long rce = -1;
  PrnPreDrawRuledLineArgs pre{record, 2, "", direction, width, 1, 1, &rce};
  const long band[] = {10, 100};
  const long line[] = {200};
  const PrnPositionArray positions =
      vertical ? PrnPositionArray{line, 1} : PrnPositionArray{band, 2};
  PrnPropertySnapshot snapshot{};
  PrnExecDrawRuledLineArgs exec{record, state, 2, &positions, direction, width, 1, 1, 1, &list,
                                &snapshot};
  if (core->Pre(PRN_METHOD_DRAW_RULED_LINE, &pre) != 0 ||
      core->Execute(PRN_METHOD_DRAW_RULED_LINE, &exec) != 0)
    *errorWord = OPOS_E_ILLEGAL;
  fakecore::TokenizeInto(*core, data + before + 1, length - before - 1, list, errorWord);
  return 0;
}

class RuledLines : public ModesDevice {
 protected:
  struct Call {
    long direction;
    long width;
    std::vector<long> positions;
  };

  // Executes one call; the rendered bytes of the list it returned, "refused <code>"
  // otherwise (the out word then untouched).
  std::string Draw(const Call& call, long flag = 0) {
    const PrnPositionArray positions{call.positions.empty() ? nullptr : call.positions.data(),
                                     static_cast<long>(call.positions.size())};
    PrnTokenList* out = kUntouched;
    const long result = DrawCall(call, &positions, flag, &out);
    if (result != 0) {
      EXPECT_EQ(out, kUntouched);
      return "refused " + std::to_string(result);
    }
    EXPECT_EQ(CodesOf(out), (Codes{161}));
    EXPECT_EQ(out->tokens->head->token->parameter, call.width);
    return ToHex(Render(out));
  }
  long DrawCall(const Call& call, const PrnPositionArray* positions, long flag,
                PrnTokenList** list) {
    PrnExecDrawRuledLineArgs block{&rec_.input, &rec_.station, 2, positions, call.direction,
                                   call.width, 1, 1, flag, list, &rec_.snapshot};
    return Execute(PRN_METHOD_DRAW_RULED_LINE, &block, list);
  }
  // Text methods then meet ruled-line sequences (the byte 0x01) in their data.
  void UseRuledLineTokenizer() {
    ASSERT_EQ(core_.exports().setCallbackFunction(PRN_CALLBACK_PRINT_DATA_TOKENIZER,
                                                  reinterpret_cast<void**>(&tokenizer_),
                                                  core_.slot()),
              0);
  }
  PrnTokenizerRecord tokenizer_{&RuledLineTokenizer};
};

TEST_F(RuledLines, Validation) {
  struct Row {
    long station, direction, width, style, color;
    long expected;
  };
  const Row rows[] = {
      {2, 1, 1, 1, 1, 0},   {2, 2, 255, 1, 1, 0}, {1, 1, 1, 1, 1, 106}, {2, 0, 1, 1, 1, 106},
      {2, 3, 1, 1, 1, 106}, {2, 1, 0, 1, 1, 106}, {2, 1, 256, 1, 1, 106}, {2, 1, 1, 2, 1, 106},
      {2, 1, 1, 4, 1, 106}, {2, 1, 1, 1, 2, 106}, {2, 1, 1, 1, 0, 106},
  };
  for (const Row& r : rows)
    EXPECT_EQ(Pre(PRN_METHOD_DRAW_RULED_LINE,
                  PrnPreDrawRuledLineArgs{&rec_.input, r.station, "0,10", r.direction, r.width,
                                          r.style, r.color, nullptr}),
              r.expected)
        << "DrawRuledLine(" << r.station << ", " << r.direction << ", " << r.width << ", "
        << r.style << ", " << r.color << ")";
}

TEST_F(RuledLines, HorizontalBand) {
  EXPECT_EQ(Draw({kHorizontal, 2, {10, 100}}), ToHex(Hex(kBand10)));
}

TEST_F(RuledLines, BandsCarryTheLatestVerticalLines) {
  // Vertical lines at 100 (2 dots) are replaced by one at 200 (1 dot): the band draws the
  // open line through its rows and sets it up again after itself.
  EXPECT_EQ(Draw({kVertical, 2, {100}}), ToHex(Hex("13 2B 13 43 13 44 64 00 13 44 65 00")));
  EXPECT_EQ(Draw({kVertical, 1, {200}}), ToHex(Hex("13 2B 13 43 13 44 C8 00")));
  EXPECT_EQ(Draw({kHorizontal, 3, {0, 288}}),
            ToHex(Hex("1B 4A 00 13 2B 13 43 13 4C 00 00 1F 01 13 4C C8 00 C8 00 "
                      "13 70 03 00 13 2D 13 2B 13 43 13 44 C8 00")));
  // An empty PositionList closes them; later bands carry none.
  EXPECT_EQ(Draw({kVertical, 1, {-1}}), ToHex(Hex(kVerticalEnd)));
  EXPECT_EQ(Draw({kHorizontal, 2, {10, 100}}), ToHex(Hex(kBand10)));
}

TEST_F(RuledLines, RefusedPositions) {
  struct Row {
    const char* what;
    Call call;
  };
  const Row rows[] = {
      {"band starting at the width", {kHorizontal, 1, {288, 10}}},
      {"band running past the width", {kHorizontal, 1, {10, 100, 280, 20}}},
      {"start without a length", {kHorizontal, 1, {10}}},
      {"horizontal end", {kHorizontal, 1, {-1}}},
      {"no positions", {kHorizontal, 1, {}}},
      {"vertical line at the width", {kVertical, 1, {288}}},
      {"vertical line running past the width", {kVertical, 4, {286}}},
  };
  for (const Row& row : rows) EXPECT_EQ(Draw(row.call), "refused 106") << row.what;
  // Nothing of the refused calls joins the next band.
  EXPECT_EQ(Draw({kHorizontal, 2, {10, 100}}), ToHex(Hex(kBand10)));
}

TEST_F(RuledLines, RefusedCallKeepsTheOpenVerticalLines) {
  // The printer still draws the lines of the last accepted vertical call, so the bands must
  // keep carrying them after a refusal (bad positions, or a mode that forbids ruled lines).
  ASSERT_EQ(Draw({kVertical, 1, {100}}), ToHex(Hex(kVertical100)));
  EXPECT_EQ(Draw({kVertical, 1, {300}}), "refused 106");
  rec_.station.pageMode = 1;
  EXPECT_EQ(Draw({kVertical, 1, {-1}}), "refused 106");
  rec_.station.pageMode = 0;
  EXPECT_EQ(Draw({kHorizontal, 2, {10, 100}}), ToHex(Hex(kBand10Through100)));
}

TEST_F(RuledLines, ClearOutputKeepsTheOpenVerticalLines) {
  ASSERT_EQ(Draw({kVertical, 1, {100}}), ToHex(Hex(kVertical100)));
  PrnTokenList* out = kUntouched;
  PrnExecNoArgs clear{&rec_.input, &rec_.station, &out, &rec_.snapshot};
  EXPECT_EQ(Execute(PRN_METHOD_CLEAR_OUTPUT, &clear, &out), 0);
  EXPECT_EQ(Draw({kHorizontal, 2, {10, 100}}), ToHex(Hex(kBand10Through100)));
}

TEST_F(RuledLines, RefusedInModes) {
  const struct {
    const char* what;
    long PrnStationState::*mode;
  } rows[] = {{"page mode", &PrnStationState::pageMode},
              {"sideways", &PrnStationState::rotatedPrint},
              {"upside down", &PrnStationState::upsideDown}};
  for (const auto& row : rows) {
    rec_.station = fakecore::MakeStationState();
    rec_.station.*row.mode = 1;
    EXPECT_EQ(Draw({kHorizontal, 2, {10, 100}}), "refused 106") << row.what;
  }
}

TEST_F(RuledLines, SequenceInsidePrintDataAddsACopyToTheTokenizersList) {
  PrnTokenList* list = Buffer({101});
  const long before = list->totalBytes;
  const std::vector<long> values = {10, 100};
  const PrnPositionArray positions{values.data(), 2};
  PrnTokenList* filled = list;
  ASSERT_EQ(DrawCall({kHorizontal, 2, {}}, &positions, /*flag=*/1, &filled), 0);
  EXPECT_EQ(filled, list);
  EXPECT_EQ(CodesOf(list), (Codes{101, 162}));
  const Bytes band = Hex(kBand10);
  EXPECT_EQ(list->totalBytes, before + static_cast<long>(band.size()));
  EXPECT_EQ(list->tokens->head->token->parameter, 2);
  Bytes expected = {'A', 'B'};
  expected.insert(expected.end(), band.begin(), band.end());
  EXPECT_EQ(ToHex(Render(list)), ToHex(expected));
}

TEST_F(RuledLines, SequenceWithoutAListChangesNothing) {
  ASSERT_EQ(Draw({kVertical, 1, {100}}), ToHex(Hex(kVertical100)));
  const std::vector<long> end = {-1};
  const PrnPositionArray positions{end.data(), 1};
  PrnTokenList* none = nullptr;
  EXPECT_EQ(DrawCall({kVertical, 1, {}}, &positions, /*flag=*/1, &none), 106);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(Draw({kHorizontal, 2, {10, 100}}), ToHex(Hex(kBand10Through100)))
      << "the open vertical line is still carried";
}

TEST_F(RuledLines, SequenceInsidePrintNormal) {
  ASSERT_NO_FATAL_FAILURE(UseRuledLineTokenizer());
  struct Row {
    const char* what;
    long pageMode;
    Codes codes;
  };
  const Row rows[] = {
      {"band between the text runs", 0, {401, 602, 100, 153, 101, 162, 101, 157}},
      {"refused in page mode: dropped", 1, {401, 602, 100, 153, 101, 101, 157}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    rec_.station.pageMode = row.pageMode;
    PrnTokenList* out = kUntouched;
    PrnExecStationTextArgs block{&rec_.input, &rec_.station, 2, "A\x01" "B\n", &out,
                                 &rec_.snapshot};
    ASSERT_EQ(Execute(PRN_METHOD_PRINT_NORMAL, &block, &out), 0);
    ASSERT_NE(out, kUntouched);
    EXPECT_EQ(CodesOf(out), row.codes);
    if (!row.pageMode) {
      const PrnCommandToken* copy = out->tokens->head->next->next->token;
      EXPECT_EQ(ToHex(Bytes(copy->data, copy->data + copy->length)), ToHex(Hex(kBand10)));
    }
  }
}

// ValidateData judges a ruled-line sequence by the tokenizer's verdict: one refused with 106
// (page mode) makes the data illegal even though every token built is valid.
TEST_F(RuledLines, ValidateDataTakesTheSequencesVerdict) {
  ASSERT_NO_FATAL_FAILURE(UseRuledLineTokenizer());
  const struct {
    const char* what;
    const char* data;
    long pageMode;
    long expected;
  } rows[] = {
      {"band accepted", "A\x01" "B\n", 0, 0},
      {"plain text in page mode", "AB\n", 1, 0},
      {"band refused in page mode", "A\x01" "B\n", 1, 106},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    rec_.station.pageMode = row.pageMode;
    PrnTokenList* out = kUntouched;
    PrnExecStationTextArgs block{&rec_.input, &rec_.station, 2, row.data, &out, &rec_.snapshot};
    EXPECT_EQ(Execute(PRN_METHOD_VALIDATE_DATA, &block, &out), row.expected);
    EXPECT_EQ(out, kUntouched);
  }
}

// ValidateData prints nothing: a vertical-line sequence it tokenizes leaves the open vertical
// lines, and their width, to the bands that follow.
TEST_F(RuledLines, ValidateDataLeavesTheOpenVerticalLines) {
  ASSERT_EQ(Draw({kVertical, 1, {100}}), ToHex(Hex(kVertical100)));
  ASSERT_NO_FATAL_FAILURE(UseRuledLineTokenizer());
  PrnTokenList* out = kUntouched;
  PrnExecStationTextArgs block{&rec_.input, &rec_.station, 2, "A\x02" "B\n", &out,
                               &rec_.snapshot};
  EXPECT_EQ(Execute(PRN_METHOD_VALIDATE_DATA, &block, &out), 0);
  EXPECT_EQ(Draw({kHorizontal, 2, {10, 100}}), ToHex(Hex(kBand10Through100)));
}

}  // namespace
}  // namespace modestest
