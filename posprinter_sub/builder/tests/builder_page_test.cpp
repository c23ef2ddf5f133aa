// Page mode, rotated print, measuring, sideways characters and the line-feed adjustment.
#include "builder_support.h"

#include <algorithm>

namespace buildertest {
namespace {

TEST_F(BuilderTest, PageModeAreaToken) {
  PrnTokenList* list = CreateCommandList(2);
  device_.AddPageModeAreaToken("0,0,576,400", 2, 0, 0, list);
  EXPECT_EQ(21, list->totalBytes);
  EXPECT_EQ(ToHex(Hex("1B 57 00 00 00 00 40 02 90 01 1B 54 01 1D 24 00 00 1B 24 00 00")),
            ToHex(Render(list)));

  list = CreateCommandList(2);
  device_.AddPageModeAreaToken("10, 20, 300, 200", 7, 260, 5, list);  // no ESC T for 7
  EXPECT_EQ(ToHex(Hex("1B 57 0A 00 14 00 2C 01 C8 00 1D 24 04 01 1B 24 05 00")),
            ToHex(Render(list)));
}

TEST_F(BuilderTest, ClearPrintAreaToken) {
  PrnTokenList* list = CreateCommandList(2);
  device_.AddClearPrintAreaToken(list, "0,0,512,400");
  EXPECT_EQ((std::vector<long>{0}), Codes(list));
  EXPECT_EQ(ToHex(Hex("1B 57 00 00 00 00 00 02 90 01 18")), ToHex(Render(list)));
}

TEST_F(BuilderTest, PageStartAndEndFrameTheBuffer) {
  struct {
    long type;
    const char* end;
  } rows[] = {{2, "1B 0C"}, {3, "0C"}, {4, "1B 53"}, {5, ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.type);
    PrnTokenList* list = ListOf(2, {{101, -1, "A"}});
    device_.AddPageModeStartToken(list);
    device_.AddPageModeEndToken(row.type, list);
    EXPECT_EQ((std::vector<long>{900, 801, 101, 900, 802}), Codes(list));
    const std::string expect = std::string("1B 4A 00 1B 4C 41 ") + row.end;
    EXPECT_EQ(static_cast<long>(Hex(expect.c_str()).size()), list->totalBytes);
    EXPECT_EQ(ToHex(Hex(expect.c_str())), ToHex(Render(list)));
  }
}

TEST_F(BuilderTest, AlignmentInsideARenderedPageLeavesNoBytes) {
  PrnTokenList* list = ListOf(2, {{114}, {101, -1, "A"}});
  device_.AddPageModeStartToken(list);
  (void)AddCommandToken(list, 114, nullptr, 0, -1);
  device_.AddPageModeEndToken(3, list);
  (void)AddCommandToken(list, 114, nullptr, 0, -1);
  // The page starts before everything buffered: only the centring after it has bytes.
  EXPECT_EQ((std::vector<long>{900, 801, 114, 101, 900, 114, 802, 114}), Codes(list));
  EXPECT_EQ(ToHex(Hex("1B 4A 00 1B 4C 41 0C 1B 61 01")), ToHex(Render(list)));
}

TEST_F(BuilderTest, RotationHeadersForA576DotLine) {
  // ESC W 0 0 0 0 with width 576 (40 02) and the page height 201 (C9 00).
  EXPECT_EQ(ToHex(Hex("1B 4A 00 1B 4C 1B 57 00 00 00 00 40 02 C9 00 1B 54 01 1D 24 00 00")),
            ToHex(Render(2, {{154, 201}})));
  EXPECT_EQ(ToHex(Hex("1B 4A 00 1B 4C 1B 57 00 00 00 00 40 02 C9 00 1B 54 03 1D 24 00 00"
                      "1B 24 00 00")),
            ToHex(Render(2, {{155, 201}})));
}

TEST_F(BuilderTest, RotateTokensFrameTheBuffer) {
  PrnTokenList* list = ListOf(2, {{101, -1, "A"}, {157}});
  device_.AddRotateTokens(1, list);
  device_.AddFormFeedToken(list);
  EXPECT_EQ((std::vector<long>{154, 158, 101, 157, 156}), Codes(list));
  EXPECT_EQ(2, list->totalBytes);
  FreeCommandList(list);

  list = CreateCommandList(2);
  device_.AddRotateTokens(0, list);
  EXPECT_EQ((std::vector<long>{155, 158}), Codes(list));
  FreeCommandList(list);
}

// ---------------------------------------------------------------------------------------
// Measuring (service 1009).

long PageHeightOf(const PrnTokenList* list) {
  for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n))
    if (n->token->type == 154 || n->token->type == 155) return n->token->parameter;
  return -1;
}

TEST_F(BuilderTest, MeasureFindsTheLongestLine) {
  // Font 2 with spacing 0: 12 dots per character; double wide doubles it.
  PrnTokenList* list = ListOf(2, {{154}, {158}, {602, 0}, {101, -1, "ABCD"}, {157},
                                  {111}, {101, -1, "ABC"}, {157}, {110}, {101, -1, "AB\nA"},
                                  {156, 0, "\x0C"}});
  EXPECT_EQ(0, device_.MeasureTokens(list, 2400));
  EXPECT_EQ(73, PageHeightOf(list));  // 3 x 12 x 2 + 1
  EXPECT_EQ(73, list->tokens->head->token->parameter);
  EXPECT_EQ(0, device_.MeasureTokens(list, 50));
  EXPECT_EQ(51, PageHeightOf(list));  // the limit + 1
  FreeCommandList(list);
}

TEST_F(BuilderTest, MeasureCountsFontsScalesAndElements) {
  struct {
    const char* source;
    std::vector<Tok> line;
    long expect;
  } rows[] = {
      {"font 1 spacing 2: 10 dots", {{601, 2}, {101, -1, "ABC"}}, 31},
      {"scale 3", {{602, 0}, {126, 3}, {101, -1, "AB"}}, 73},
      {"double-byte characters count twice", {{602, 0}, {101, -1, "A\x1C&\x88\x9F\x1C.B"}}, 49},
      {"barcode and raster by their width", {{152, 200}, {150, 64}}, 265},
      {"registered bitmap 2 of 10 bytes", {{121, 2}}, 81},
  };
  device_.SetRegisteredBitmapSize(2, 10, 80);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.source);
    PrnTokenList* list = CreateCommandList(2);
    (void)AddCommandToken(list, 154, nullptr, 0, 0);
    for (const Tok& t : row.line)
      (void)AddCommandToken(list, t.code, t.data.data(), static_cast<long>(t.data.size()),
                            t.parameter);
    (void)AddCommandToken(list, 156, "\x0C", 1, 0);
    (void)device_.MeasureTokens(list, 2400);
    EXPECT_EQ(row.expect, PageHeightOf(list));
    FreeCommandList(list);
  }
}

// ---------------------------------------------------------------------------------------
// Sideways characters (service 1021).

TEST_F(BuilderTest, CharPitchFromTheLineCharsList) {
  struct {
    const char* list;
    long lineChars;
    long expect;  // snapshot word +216; 777 = left unchanged
  } rows[] = {
      {"18,20,22,24,28,32,36", 18, 150},  // 24-dot font, spacing 4: 2400 / 16
      {"18,20,22,24,28,32,36", 21, 184},  // 22: 24-dot font, spacing 1 -> 2400 / 13
      {"18,20,22,24,28,32,36", 30, 266},  // 32: 16-dot font, spacing 1 -> 2400 / 9
      {"18,20,22,24,28,32,36", 36, 300},  // 36: spacing 0 -> 2400 / 8
      {"18,20,22,24,28,32,36", 40, 777},  // no entry fits
      {" ", 24, 777},                      // paper sizes without a list
      {"10,11,12,13,14,15,16,17", 17, 777},  // the eighth entry has no font
      {"", 0, 777},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.list);
    SCOPED_TRACE(row.lineChars);
    input_.recLineCharsList = row.list;
    input_.recLineChars = row.lineChars;
    PrnPropertySnapshot snapshot = {};
    snapshot.recSidewaysMaxChars = 777;
    device_.CalcCharPitchValue(&input_, &snapshot, 2400);
    EXPECT_EQ(row.expect, snapshot.recSidewaysMaxChars);
  }
}

// ---------------------------------------------------------------------------------------
// Line-feed adjustment.

// Feed in dots of a byte run made of ESC J n commands (other commands skipped).
long FeedOf(const PrnCommandToken* token) {
  long feed = 0;
  for (long i = 0; i + 2 < token->length; ++i) {
    if (token->data[i] == 0x1B && token->data[i + 1] == 'J') {
      feed += token->data[i + 2];
      i += 2;
    }
  }
  return feed;
}

TEST_F(BuilderTest, AdjustRotatedLinesToTheirTallestElement) {
  state_.rotatedPrint = 1;
  PrnTokenList* list = ListOf(2, {{154}, {158}, {401, 30}, {602, 0}, {101, -1, "A"}, {157},
                                  {112}, {101, -1, "B"}, {157}, {152, 200, "", 80}, {157},
                                  {156, 0, "\x0C"}});
  EXPECT_EQ(0, device_.AdjustLineFeedWidth(&input_, &state_, list, 2400));
  EXPECT_EQ((std::vector<long>{154, 158, 401, 602, 101, 157, 158, 112, 101, 157, 158, 152,
                               157, 156}),
            Codes(list));
  std::vector<long> feeds, gaps;
  for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n)) {
    if (n->token->type == 158) feeds.push_back(FeedOf(n->token));
    if (n->token->type == 157) gaps.push_back(n->token->parameter);
  }
  EXPECT_EQ((std::vector<long>{24, 48, 80}), feeds);  // text, double-high text, barcode
  EXPECT_EQ((std::vector<long>{6, 0, 0}), gaps);      // the rest of the 30-dot spacing
  EXPECT_EQ(SumOfLengths(list), list->totalBytes);
  // Rendered: the first line's feed, the text, ESC J 6 for its line end.
  const Bytes bytes = Render(list);
  EXPECT_EQ(ToHex(Hex("1B 4A 18")), ToHex(Bytes(bytes.begin() + 22, bytes.begin() + 25)));
}

// A line of a test page: elements and the height each reaches above the baseline.
struct Element {
  long code;
  long height;  // 152: its height word; 101: the text height the checker expects
};

// Checks the adjusted list against the page: every kept line is fed by its tallest element,
// the feeds never pass the page height, and exactly the lines that fit are kept.
void CheckPage(const PrnTokenList* list, const std::vector<std::vector<Element>>& lines,
               long pageHeight, long spacing) {
  long position = 0;
  size_t line = 0;
  long expectedPosition = 0;
  size_t keptLines = 0;
  for (const auto& l : lines) {
    long tallest = 0;
    for (const Element& e : l) tallest = std::max(tallest, e.height);
    if (expectedPosition + tallest > pageHeight) break;
    expectedPosition += tallest;
    expectedPosition += std::min(std::max(0L, spacing - tallest), pageHeight - expectedPosition);
    ++keptLines;
  }
  long contentSeen = 0;
  for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n)) {
    const PrnCommandToken* t = n->token;
    if (t->type == 158) {
      ASSERT_LT(line, lines.size() + 1);
      long tallest = 0;
      if (line < lines.size())
        for (const Element& e : lines[line]) tallest = std::max(tallest, e.height);
      EXPECT_EQ(tallest, FeedOf(t)) << "line " << line;
      position += FeedOf(t);
    } else if (t->type == 157) {
      position += t->parameter;
      ++line;
    } else if (t->type == 101 || t->type == 152) {
      ++contentSeen;
    }
    EXPECT_LE(position, pageHeight);
  }
  size_t expectedContent = 0;
  for (size_t i = 0; i < keptLines; ++i) expectedContent += lines[i].size();
  EXPECT_EQ(static_cast<long>(expectedContent), contentSeen);
  EXPECT_EQ(keptLines, line);
  EXPECT_EQ(expectedPosition, position);
  EXPECT_EQ(156, list->tokens->head->token->type);  // the end token always stays
}

TEST_F(BuilderTest, AdjustKeepsWhatFitsAndFeedsByTheTallest) {
  const std::vector<std::vector<std::vector<Element>>> pages = {
      {{{101, 24}}, {{101, 24}}, {{101, 24}}},
      {{{152, 100}, {101, 24}}, {{101, 24}, {152, 10}}, {{101, 24}}},
      {{{152, 250}}, {{101, 24}}, {{152, 300}}, {{101, 24}}},
      {{{101, 24}}, {{152, 600}}, {{101, 24}}},  // the second line alone is taller than the page
      {{{152, 576}}, {{101, 24}}},                // a line exactly as tall as the page
  };
  for (size_t p = 0; p < pages.size(); ++p) {
    SCOPED_TRACE(p);
    Lines().clear();
    state_.rotatedPrint = 1;
    PrnTokenList* list = CreateCommandList(2);
    (void)AddCommandToken(list, 154, nullptr, 0, 0);
    (void)AddCommandToken(list, 158, nullptr, 0, 0);
    (void)AddCommandToken(list, 401, nullptr, 0, 30);
    (void)AddCommandToken(list, 602, nullptr, 0, 0);
    for (const auto& line : pages[p]) {
      for (const Element& e : line) {
        PrnCommandToken* t = AddCommandToken(list, e.code, "x", 1, e.code == 152 ? 100 : -1);
        if (e.code == 152) t->parameter2 = e.height;
      }
      (void)AddCommandToken(list, 157, nullptr, 0, -1);
    }
    (void)AddCommandToken(list, 156, "\x0C", 1, 0);
    ASSERT_EQ(0, device_.AdjustLineFeedWidth(&input_, &state_, list, 2400));
    CheckPage(list, pages[p], input_.recLineWidth, 30);
    EXPECT_EQ(SumOfLengths(list), list->totalBytes);
    FreeCommandList(list);
  }
}

TEST_F(BuilderTest, AdjustPageModeDropsLinesPastTheArea) {
  state_.pageMode = 1;
  input_.pageModePrintArea = "0,0,576,100";
  input_.pageModePrintDirection = 1;  // height is the fourth number
  device_.SetPageStart(24, 30);
  PrnTokenList* list = ListOf(2, {{801, 0, std::string("\x1B\x4A\x00\x1B\x4C", 5)}, {158},
                                  {101, -1, "1"},
                                  {157}, {101, -1, "2"}, {157}, {101, -1, "3"}, {157},
                                  {101, -1, "4"}, {157}, {802, 3, "\x0C"}});
  ASSERT_EQ(0, device_.AdjustLineFeedWidth(&input_, &state_, list, 2400));
  // Lines at 0, 30 and 60; the fourth would end at 114.
  EXPECT_EQ((std::vector<long>{801, 158, 101, 157, 158, 101, 157, 158, 101, 157, 802}),
            Codes(list));
  EXPECT_EQ(ToHex(Hex("1B 4A 00 1B 4C  1B 4A 18 31 1B 4A 06  1B 4A 18 32 1B 4A 06"
                      "1B 4A 18 33 1B 4A 06  0C")),
            ToHex(Render(list)));
}

TEST_F(BuilderTest, AdjustPageModeStartsAtThePagePosition) {
  state_.pageMode = 1;
  input_.pageModePrintArea = "0,0,80,576";
  input_.pageModePrintDirection = 2;  // height is the third number: 80
  input_.pageModeVerticalPosition = 40;
  input_.pageModeHorizontalPosition = 16;
  device_.SetPageStart(24, 30);
  PrnTokenList* list = ListOf(2, {{158}, {101, 100, "1"}, {157}, {101, -1, "2"}, {157}});
  ASSERT_EQ(0, device_.AdjustLineFeedWidth(&input_, &state_, list, 2400));
  // From 40: the first line ends at 70, the second would end at 94 > 80.
  EXPECT_EQ((std::vector<long>{158, 101, 157}), Codes(list));
  // ESC $ to the text's position, the feed, ESC $ back to the page's left edge.
  EXPECT_EQ(ToHex(Hex("1B 24 64 00 1B 4A 18 1B 24 10 00")),
            ToHex(Bytes(list->tokens->tail->token->data,
                        list->tokens->tail->token->data + list->tokens->tail->token->length)));
  FreeCommandList(list);
}

TEST_F(BuilderTest, AdjustLogsBadDirectionAndMissingMode) {
  state_.pageMode = 1;
  input_.pageModePrintArea = "0,0,576,400";
  input_.pageModePrintDirection = 0;
  PrnTokenList* list = ListOf(2, {{158}, {101, -1, "A"}, {157}, {802, 3, "\x0C"}});
  (void)device_.AdjustLineFeedWidth(&input_, &state_, list, 2400);
  EXPECT_TRUE(Logged("m_PageModePrintDirection is an invalid value."));
  FreeCommandList(list);

  state_.pageMode = 0;
  list = ListOf(2, {{158}, {101, -1, "A"}, {157}});
  (void)device_.AdjustLineFeedWidth(&input_, &state_, list, 2400);
  EXPECT_TRUE(Logged("Both m_fRecTurnPrint and m_fPageMode are FALSE."));
  EXPECT_EQ((std::vector<long>{158, 101, 157}), Codes(list));
  EXPECT_EQ(-1, list->tokens->head->token->parameter);
  FreeCommandList(list);
}

// ---------------------------------------------------------------------------------------
// Positioned and data tokens.

TEST_F(BuilderTest, PositionedTokenCarriesItsHeightAndFeedsInPageMode) {
  const unsigned char bytes[] = {0x1D, 0x6B, 0x02};
  PrnTokenList* list = CreateCommandList(2);
  device_.AddPositionedToken(bytes, 190, 162, 3, list, &state_, 25);
  EXPECT_EQ((std::vector<long>{152}), Codes(list));
  const PrnCommandToken* t = list->tokens->head->token;
  EXPECT_EQ(190, t->parameter);
  EXPECT_EQ(162, t->parameter2);
  EXPECT_EQ(25, t->parameter3);
  EXPECT_EQ(3, list->totalBytes);

  state_.pageMode = 1;
  device_.AddPositionedToken(bytes, 190, 162, 3, list, &state_, 0);
  EXPECT_EQ((std::vector<long>{152, 152, 157}), Codes(list));
  device_.AddDataToken(bytes, 2, 3, list);
  EXPECT_EQ((std::vector<long>{152, 152, 157, 161}), Codes(list));
  EXPECT_EQ(9, list->totalBytes);
  FreeCommandList(list);
}

}  // namespace
}  // namespace buildertest
