// Ruled lines: position checks and the DC3 byte sequences.
#include "builder_support.h"

namespace buildertest {
namespace {

class RuledLines : public BuilderTest {
 protected:
  int Parse(std::vector<long> values, long lineWidth, bool vertical) {
    const PrnPositionArray positions{values.empty() ? nullptr : values.data(),
                                     static_cast<long>(values.size())};
    return device_.ParseRuledLinePositions(&positions, lineWidth, vertical, &segments_,
                                           &verticals_, /*w=*/576);
  }
  // The ruled-line token's bytes of a build, or "none" when no list came back.
  std::string Build(long lineWidth, bool vertical, bool end) {
    PrnTokenList* list =
        device_.BuildRuledLineTokens(&segments_, &verticals_, 2, lineWidth, vertical, end);
    if (!list) return "none";
    EXPECT_EQ((std::vector<long>{161}), Codes(list));
    EXPECT_EQ(lineWidth, list->tokens->head->token->parameter);
    EXPECT_EQ(SumOfLengths(list), list->totalBytes);
    const std::string hex = ToHex(Joined(list));
    FreeCommandList(list);
    return hex;
  }
  RJSegmentList segments_;
  RJPositionList verticals_;
};

TEST_F(RuledLines, HorizontalSegment) {
  ASSERT_EQ(1, Parse({10, 100}, 2, false));
  EXPECT_EQ(ToHex(Hex("1B 4A 00 13 2B 13 43 13 4C 0A 00 6D 00 13 70 02 00 13 2D")),
            Build(2, false, false));
  EXPECT_TRUE(segments_.empty());
}

TEST_F(RuledLines, VerticalLinesRunThroughALaterBand) {
  ASSERT_EQ(1, Parse({100, 300}, 2, true));
  EXPECT_EQ(ToHex(Hex("13 2B 13 43 13 44 64 00 13 44 65 00 13 44 2C 01 13 44 2D 01")),
            Build(2, true, false));
  EXPECT_EQ(2, device_.RuledLineWidth());

  ASSERT_EQ(1, Parse({0, 576, 200, 0}, 1, false));  // a zero length is skipped
  EXPECT_EQ(ToHex(Hex("1B 4A 00 13 2B 13 43"
                      "13 4C 00 00 3F 02"           // the band 0-575
                      "13 4C 64 00 65 00 13 4C 2C 01 2D 01"  // the open vertical lines
                      "13 70 01 00 13 2D"
                      "13 2B 13 43 13 44 64 00 13 44 65 00 13 44 2C 01 13 44 2D 01")),
            Build(1, false, false));

  EXPECT_EQ(ToHex(Hex("1B 4A 00 13 2B 13 43 13 2D")), Build(2, true, true));
  EXPECT_TRUE(verticals_.empty());
}

TEST_F(RuledLines, HorizontalEndBuildsNothing) { EXPECT_EQ("none", Build(1, false, true)); }

TEST_F(RuledLines, RefusedCallLeavesTheListsAsTheyWere) {
  ASSERT_EQ(1, Parse({10, 100}, 2, false));
  // The second pair runs past the 576-dot line: nothing of this call may join the band.
  EXPECT_EQ(0, Parse({300, 20, 500, 100}, 2, false));
  ASSERT_EQ(1u, segments_.size());
  EXPECT_EQ(10, segments_[0].first);
  EXPECT_EQ(109, segments_[0].last);

  ASSERT_EQ(1, Parse({50}, 3, true));
  EXPECT_EQ(0, Parse({60, 574}, 3, true));  // 574 + 3 > 576
  EXPECT_EQ((RJPositionList{50}), verticals_);
}

TEST_F(RuledLines, PositionRules) {
  struct {
    const char* source;
    std::vector<long> values;
    long lineWidth;
    bool vertical;
    int expect;
  } rows[] = {
      {"start at the width", {576, 10}, 1, false, 0},
      {"start before the paper", {-1, 10}, 1, false, 0},
      {"length past the width", {0, 577}, 1, false, 0},
      {"negative length", {10, -5}, 1, false, 0},
      {"a start without its length", {10, 20, 30}, 1, false, 0},
      {"the whole line", {0, 576}, 1, false, 1},
      {"no positions", {}, 1, false, 0},
      {"no positions, vertical", {}, 1, true, 0},
      {"vertical at the last dot", {575}, 1, true, 1},
      {"vertical too wide for its place", {575}, 2, true, 0},
      {"vertical width past the line", {0}, 577, true, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.source);
    segments_.clear();
    verticals_.clear();
    EXPECT_EQ(row.expect, Parse(row.values, row.lineWidth, row.vertical));
    if (row.expect == 0) {
      EXPECT_TRUE(segments_.empty() && verticals_.empty());
    }
  }
}

TEST_F(RuledLines, NullPositionArrayIsRefused) {
  EXPECT_EQ(0, device_.ParseRuledLinePositions(nullptr, 1, false, &segments_, &verticals_, 576));
  const PrnPositionArray empty{nullptr, 3};
  EXPECT_EQ(0, device_.ParseRuledLinePositions(&empty, 1, true, &segments_, &verticals_, 576));
  EXPECT_EQ(nullptr, device_.BuildRuledLineTokens(nullptr, nullptr, 2, 1, false, false));
}

TEST_F(RuledLines, VerticalWidthZeroStoresNothing) {
  EXPECT_EQ(1, Parse({10, 20}, 0, true));
  EXPECT_TRUE(verticals_.empty());
}

TEST_F(RuledLines, OpenVerticalsBeforeAnyVerticalBuildUseOneDot) {
  // Positions stored but no vertical build yet: the width starts at 1 dot, not garbage.
  ASSERT_EQ(1, Parse({40}, 2, true));
  ASSERT_EQ(1, Parse({0, 10}, 1, false));
  EXPECT_EQ(ToHex(Hex("1B 4A 00 13 2B 13 43 13 4C 00 00 09 00 13 4C 28 00 28 00 13 70 01 00"
                      "13 2D 13 2B 13 43 13 44 28 00")),
            Build(1, false, false));
}

TEST_F(RuledLines, EscapeSequencePathKeepsTokenOrder) {
  PrnTokenList* target = ListOf(2, {{101, -1, "A"}});
  PrnTokenList* built = ListOf(2, {{161, 2, "\x13\x2B"}, {161, 3, "\x13\x2D"}});
  ASSERT_TRUE(device_.AppendRuledLineCopies(built, target));
  EXPECT_EQ((std::vector<long>{101, 162, 162}), Codes(target));
  EXPECT_EQ(5, target->totalBytes);
  EXPECT_EQ(ToHex(Hex("41 13 2B 13 2D")), ToHex(Joined(target)));
  FreeCommandList(target);
}

// Without memory for the move nothing joins the list and nothing is counted.
TEST_F(RuledLines, EscapeSequencePathWithoutMemoryAddsNothing) {
  PrnTokenList* target = ListOf(2, {{101, -1, "A"}});
  PrnTokenList* built = ListOf(2, {{161, 2, "\x13\x2B"}});
  FailNextTokenMoves(1);
  EXPECT_FALSE(device_.AppendRuledLineCopies(built, target));
  FailNextTokenMoves(0);
  EXPECT_EQ((std::vector<long>{101}), Codes(target));
  EXPECT_EQ(1, target->totalBytes);
  FreeCommandList(target);
}

}  // namespace
}  // namespace buildertest
