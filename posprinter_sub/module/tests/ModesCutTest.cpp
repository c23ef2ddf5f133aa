// CutPaper and MarkFeed: validation, the tokens and bytes of each cut and mark feed, and
// the modes in which the printer cannot do either.
#include "ModesFixture.h"

#include <climits>

namespace modestest {
namespace {

struct ValueRow {
  long value;
  long expected;
};

class PaperHandling : public ModesDevice {
 protected:
  long PreValue(long method, long value) {
    return Pre(method, PrnPreValueArgs{&rec_.input, value, nullptr});
  }
  long ExecuteValue(long method, long value, PrnTokenList** out) {
    PrnExecValueArgs block{&rec_.input, &rec_.station, value, out, &rec_.snapshot};
    return Execute(method, &block, out);
  }
};

TEST_F(PaperHandling, CutPaperValidation) {
  const ValueRow rows[] = {{-1, 106}, {0, 0},     {1, 0},        {99, 0},
                           {100, 0},  {101, 106}, {LONG_MIN, 106}};
  for (const ValueRow& row : rows)
    EXPECT_EQ(PreValue(PRN_METHOD_CUT_PAPER, row.value), row.expected)
        << "CutPaper(" << row.value << ")";
}

TEST_F(PaperHandling, MarkFeedValidation) {
  // Only the single UnifiedPOS types; combinations (3, 5, ...) are refused.
  const ValueRow rows[] = {{1, 0},   {2, 0},   {4, 0},   {8, 0},  {0, 106},  {3, 106},
                           {5, 106}, {6, 106}, {7, 106}, {9, 106}, {16, 106}, {-1, 106}};
  for (const ValueRow& row : rows)
    EXPECT_EQ(PreValue(PRN_METHOD_MARK_FEED, row.value), row.expected)
        << "MarkFeed(" << row.value << ")";
}

TEST_F(PaperHandling, TokensAndBytes) {
  struct Row {
    long method;
    long value;
    Codes codes;
    const char* bytes;
  };
  const Row rows[] = {
      // ESC J 0, GS V 0 (full) or 1 (partial), ESC J 1.
      {PRN_METHOD_CUT_PAPER, 100, {900, 403}, "1B 4A 00 1D 56 00 1B 4A 01"},
      {PRN_METHOD_CUT_PAPER, 99, {900, 403}, "1B 4A 00 1D 56 01 1B 4A 01"},
      {PRN_METHOD_CUT_PAPER, 1, {900, 403}, "1B 4A 00 1D 56 01 1B 4A 01"},
      {PRN_METHOD_CUT_PAPER, 0, {900, 403}, "1B 4A 00 1B 4A 01"},
      // Take-up and cutter positions: ESC J 0, GS FF.
      {PRN_METHOD_MARK_FEED, 1, {900, 404}, "1B 4A 00 1D 0C"},
      {PRN_METHOD_MARK_FEED, 2, {900, 404}, "1B 4A 00 1D 0C"},
      // Current top of form: ESC j 68, ESC J 5, with nothing to flush first.
      {PRN_METHOD_MARK_FEED, 4, {404}, "1B 6A 44 1B 4A 05"},
      // Next top of form: ESC J 0, GS <, ESC j 68, ESC J 5.
      {PRN_METHOD_MARK_FEED, 8, {900, 404}, "1B 4A 00 1D 3C 1B 6A 44 1B 4A 05"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.method) + " " + std::to_string(row.value));
    PrnTokenList* out = kUntouched;
    ASSERT_EQ(ExecuteValue(row.method, row.value, &out), 0);
    ASSERT_NE(out, kUntouched);
    EXPECT_EQ(out->station, 2);
    EXPECT_EQ(CodesOf(out), row.codes);
    EXPECT_EQ(out->tokens->head->token->parameter, row.value);  // the 403 or 404, last
    const Bytes expected = Hex(row.bytes);
    EXPECT_EQ(out->totalBytes, static_cast<long>(expected.size()));
    EXPECT_EQ(ToHex(Render(out)), ToHex(expected));
  }
}

TEST_F(PaperHandling, RefusedWhileSidewaysOrInPageMode) {
  struct Row {
    const char* what;
    long PrnStationState::*mode;
    long expected;
  };
  const Row rows[] = {
      {"sideways", &PrnStationState::rotatedPrint, 106},
      {"page mode", &PrnStationState::pageMode, 106},
      {"upside down", &PrnStationState::upsideDown, 0},
  };
  for (const Row& row : rows) {
    for (long method : {PRN_METHOD_CUT_PAPER, PRN_METHOD_MARK_FEED}) {
      SCOPED_TRACE(std::string(row.what) + " " + std::to_string(method));
      rec_.station = fakecore::MakeStationState();
      rec_.station.*row.mode = 1;
      PrnTokenList* out = kUntouched;
      EXPECT_EQ(ExecuteValue(method, 1, &out), row.expected);
      EXPECT_EQ(out == kUntouched, row.expected != 0);
    }
  }
}

}  // namespace
}  // namespace modestest
