// The token dispatcher: each row renders one token after a few tokens that set the scene,
// and names the bytes the printer must get, or whether the token is kept or dropped.
#include "builder_support.h"

namespace buildertest {
namespace {

constexpr char kKept[] = "kept";        // the token's own bytes pass unchanged
constexpr char kDropped[] = "dropped";  // data NULL, length 0
const std::string kSentinel = "\xEE\xEE";

struct RenderRow {
  const char* source;      // where the expected bytes come from
  long station;
  std::vector<Tok> before;  // rendered first, in this order
  Tok token;                // given the sentinel bytes when it has no data of its own
  const char* expect;       // hex bytes, kKept or kDropped
};

class DispatchTable : public BuilderTest {
 protected:
  void Check(const RenderRow& row) {
    SCOPED_TRACE(row.source);
    PrnTokenList* list = CreateCommandList(row.station);
    Tok token = row.token;
    if (token.data.empty()) token.data = kSentinel;
    std::vector<Tok> all = row.before;
    all.push_back(token);
    for (const Tok& t : all) {
      PrnCommandToken* added = AddCommandToken(list, t.code, t.data.data(),
                                               static_cast<long>(t.data.size()), t.parameter);
      added->parameter2 = t.parameter2;
    }
    const PrnCommandToken* target = list->tokens->head->token;  // the newest renders last
    ASSERT_EQ(0, device_.ConvertTokens(&input_, &state_, list, 0));
    EXPECT_EQ(SumOfLengths(list), list->totalBytes);
    const Bytes got(target->data, target->data + target->length);
    if (row.expect == kKept) {
      EXPECT_EQ(Bytes(token.data.begin(), token.data.end()), got);
    } else if (row.expect == kDropped) {
      EXPECT_EQ(nullptr, target->data);
      EXPECT_EQ(0, target->length);
    } else {
      EXPECT_EQ(ToHex(Hex(row.expect)), ToHex(got));
    }
    FreeCommandList(list);
  }
};

const RenderRow kAttributeRows[] = {
    {"charset: ESC R p, ESC t w, FS C 1 for p 8", 2, {}, {100, 8, "", 1},
     "1B 52 08 1B 74 01 1C 43 01"},
    {"charset: FS C 0 for any p but 8", 2, {}, {100, 0, "", 16}, "1B 52 00 1B 74 10 1C 43 00"},
    {"text is kept", 2, {}, {101, -1, "AB"}, kKept},
    {"102 kept", 2, {}, {102}, kKept},
    {"103 kept", 2, {}, {103}, kKept},
    {"bold on", 2, {}, {104}, "1B 45 01"},
    {"!bC: bold off", 2, {}, {128}, "1B 45 00"},
    {"bC after !bC: the cancel flag is spent", 2, {{128}}, {104}, "1B 45 01"},
    {"!iC: no italic, dropped like iC (not a bold off)", 2, {}, {129}, kDropped},
    {"!iC leaves bold alone", 2, {{104}, {129}}, {108}, "1D 42 01"},
    {"stamp dropped", 2, {}, {105}, kDropped},
    {"italic dropped", 2, {}, {106}, kDropped},
    {"reverse on", 2, {}, {108}, "1D 42 01"},
    {"!rvC: reverse off", 2, {}, {130}, "1D 42 00"},
    {"left", 2, {}, {107}, "1B 61 00"},
    {"centre", 2, {}, {114}, "1B 61 01"},
    {"right", 2, {}, {109}, "1B 61 02"},
    {"centre mode token", 2, {}, {511}, "1B 61 01"},
    {"right mode token", 2, {}, {512}, "1B 61 02"},
    {"left mode token", 2, {}, {516}, "1B 61 00"},
    {"alignment in page mode: no bytes of its own", 2, {{801, 0, "\x1B\x4A\x00\x1B\x4C"}},
     {114}, kKept},
    {"alignment in rotated print: no bytes of its own", 2, {{154, 100}}, {109}, kKept},
    {"single size", 2, {}, {110}, "1D 21 00"},
    {"double wide", 2, {}, {111}, "1D 21 10"},
    {"double high", 2, {}, {112}, "1D 21 01"},
    {"double size", 2, {}, {113}, "1D 21 11"},
    {"normal, font 2", 2, {}, {115}, "1B 21 00 1D 42 00 1B 61 00 1C 21 00"},
    {"normal, font 1", 2, {{601, 0}}, {115}, "1B 21 01 1D 42 00 1B 61 00 1C 21 01"},
    {"underline 5 is 2 dots", 2, {}, {124, 5}, "1B 2D 02 1C 2D 02"},
    {"underline without number is 1 dot", 2, {}, {124, -1}, "1B 2D 01 1C 2D 01"},
    {"underline -2 dropped", 2, {}, {124, -2}, kDropped},
    {"!uC: underline off", 2, {}, {131, -1}, "1B 2D 00 1C 2D 00"},
    {"horizontal scale 9: high nibble 7", 2, {}, {126, 9}, "1D 21 70"},
    {"vertical 3 after horizontal 2", 2, {{126, 2}}, {127, 3}, "1D 21 12"},
    {"horizontal 1 keeps double height", 2, {{112}}, {126, 1}, "1D 21 01"},
    {"vertical 0 is normal height", 2, {}, {127, 0}, "1D 21 00"},
    {"vertical 9 keeps stored horizontal 9 out", 2, {{126, 9}}, {127, 9}, "1D 21 07"},
    {"upside down on: flush, then ESC { 1", 2, {}, {153, 1}, "1B 4A 00 1B 7B 01"},
    {"upside down off when off: ESC { 0 only", 2, {}, {153, 0}, "1B 7B 00"},
    {"upside down off after on", 2, {{153, 1}}, {153, 0}, "1B 4A 00 1B 7B 00"},
    {"upside down in page mode: no flush", 2, {{801}}, {153, 1}, "1B 7B 01"},
    {"line spacing 30", 2, {}, {401, 30}, "1B 33 1E"},
    {"font 1 with spacing 2", 2, {}, {601, 2},
     "1B 21 00 1B 61 00 1B 4D 01 1B 20 02 1D 42 00 1C 21 01 1C 53 02 02"},
    {"font 2 with spacing 0", 2, {}, {602, 0},
     "1B 21 00 1B 61 00 1B 4D 00 1B 20 00 1D 42 00 1C 21 00 1C 53 00 00"},
    {"font 3: no bytes of its own", 2, {}, {603, 0}, kKept},
    {"bitmap 1 not registered: dropped", 2, {}, {121, 1}, kDropped},
};

const RenderRow kKeptAndDroppedRows[] = {
    {"typeface", 2, {}, {118, 1}, kDropped},
    {"feed, cut and stamp", 2, {}, {119, 1}, kDropped},
    {"shading", 2, {}, {120, 1}, kDropped},
    {"reverse feed", 2, {}, {125, 1}, kDropped},
    {"strike-through", 2, {}, {159, 1}, kDropped},
    {"strike-through off", 2, {}, {160, 1}, kDropped},
    {"alternate colour", 2, {}, {301, 1}, kDropped},
    {"colour", 2, {}, {302, 1}, kDropped},
    {"subscript", 2, {}, {303}, kDropped},
    {"superscript", 2, {}, {304}, kDropped},
    {"subscript off", 2, {}, {306}, kDropped},
    {"superscript off", 2, {}, {307}, kDropped},
    {"pass-through bytes", 2, {}, {305, 3, "abc"}, kKept},
    {"raster image", 2, {}, {150, 64}, kKept},
    {"positioned command", 2, {}, {152, 200}, kKept},
    {"wrap start", 2, {}, {158}, kKept},
    {"ruled line", 2, {}, {161, 2}, kKept},
    {"ruled line copy", 2, {}, {162, 2}, kKept},
    {"200", 2, {}, {200}, kKept},
    {"402", 2, {}, {402}, kKept},
    {"cut paper token", 2, {}, {403, 100}, kKept},
    {"mark feed token", 2, {}, {404, 1}, kKept},
    {"406", 2, {}, {406}, kKept},
    {"407", 2, {}, {407}, kKept},
    {"font 4", 2, {}, {604}, kKept},
    {"response id DC2 q", 2, {}, {710, 0, "\x12\x71\x85"}, kKept},
    {"DirectIO ESC R", 2, {}, {717, 0, "\x1B\x52\x08"}, kKept},
    {"page area", 2, {}, {800}, kKept},
    {"page begin", 2, {}, {801}, kKept},
    {"page end", 2, {}, {802}, kKept},
    {"flush marker", 2, {}, {900}, kKept},
    {"plain data", 2, {}, {0}, kKept},
    {"letter quality", 2, {}, {132, 1, "\x1D\x73\x01"}, kKept},
    {"a code nobody knows", 2, {}, {999, 7}, kKept},
};

const RenderRow kFeedRows[] = {
    {"0 lines: nothing", 2, {}, {122, 0}, ""},
    {"lF without number is one line", 2, {}, {122, -1}, "0A"},
    {"negative line count dropped", 2, {}, {122, -2}, kDropped},
    {"line feed dropped in rotated print", 2, {{154, 100}}, {122, 2}, kDropped},
    {"line feed after the rotated page", 2, {{154, 100}, {156, 0, "\x0C"}}, {122, 2}, "0A 0A"},
    {"feed 10 dots", 2, {}, {123, 10}, "1B 4A 0A"},
    {"feed units without number: 1 dot", 2, {}, {123, -1}, "1B 4A 01"},
    {"feed units at most 255", 2, {}, {123, 300}, "1B 4A FF"},
    {"feed units dropped in rotated print", 2, {{155, 100}}, {123, 10}, kDropped},
    {"line end: LF", 2, {}, {157, -1}, "0A"},
    {"line end outside modes ignores its amount", 2, {}, {157, 600}, "0A"},
    {"page mode line end of 600 dots", 2, {{801}}, {157, 600}, "1B 4A FF 1B 4A FF 1B 4A 5A"},
    {"page mode line end of 40 dots", 2, {{801}}, {157, 40}, "1B 4A 28"},
    {"page mode line end without amount", 2, {{801}}, {157, -1}, "0A"},
    {"line end after the page ended", 2, {{801}, {802}}, {157, 40}, "0A"},
    {"rotated line end of 6 dots", 2, {{154, 100}}, {157, 6}, "1B 4A 06"},
};

const RenderRow kCutRows[] = {
    {"partial cut 50%", 2, {}, {116, 50}, "1B 4A 00 1D 56 01 1B 4A 01"},
    {"ESC|P without number: full cut", 2, {}, {116, -1}, "1B 4A 00 1D 56 00 1B 4A 01"},
    {"100%: full cut", 2, {}, {116, 100}, "1B 4A 00 1D 56 00 1B 4A 01"},
    {"0%: dropped", 2, {}, {116, 0}, kDropped},
    {"journal: dropped", 1, {}, {116, 100}, kDropped},
    {"cut in page mode: dropped", 2, {{801}}, {116, 100}, kDropped},
    {"cut in rotated print: dropped", 2, {{154, 10}}, {116, 100}, kDropped},
    {"feed 4 lines of 30 dots and cut", 2, {}, {117, -1},
     "1B 4A 00 1B 4A 78 1D 56 00 1B 4A 01"},
    {"feed and partial cut", 2, {}, {117, 50}, "1B 4A 00 1B 4A 78 1D 56 01 1B 4A 01"},
    {"feed at the spacing in force", 2, {{401, 20}}, {117, 100},
     "1B 4A 00 1B 4A 50 1D 56 00 1B 4A 01"},
    {"feed and cut on the journal: dropped", 1, {}, {117, 100}, kDropped},
};

TEST_F(DispatchTable, AttributesAlignmentSizesFonts) {
  for (const RenderRow& row : kAttributeRows) Check(row);
}

TEST_F(DispatchTable, KeptAndDroppedCodes) {
  for (const RenderRow& row : kKeptAndDroppedRows) Check(row);
}

TEST_F(DispatchTable, FeedsInAndOutOfPageMode) {
  for (const RenderRow& row : kFeedRows) Check(row);
}

TEST_F(DispatchTable, CutsOnReceiptAndJournal) {
  for (const RenderRow& row : kCutRows) Check(row);
  EXPECT_EQ(1, device_.CutDone());
}

TEST_F(DispatchTable, FeedAndCutFeedsTheWholeDistance) {
  // 10 lines of 30 dots: 300 dots, not the 44 of its low byte.
  input_.recLinesToPaperCut = 10;
  Check({"300 dots as ESC J 255, ESC J 45", 2, {}, {117, 100},
         "1B 4A 00 1B 4A FF 1B 4A 2D 1D 56 00 1B 4A 01"});
  input_.recLinesToPaperCut = 300;  // at most 255 lines: 7650 dots = 30 x 255 + 0
  std::string expect = "1B 4A 00";
  for (int i = 0; i < 30; ++i) expect += " 1B 4A FF";
  expect += " 1B 4A 00 1D 56 00 1B 4A 01";
  Check({"255 lines of 30 dots", 2, {}, {117, 100}, expect.c_str()});
}

TEST_F(DispatchTable, FeedLinesStopsAt255) {
  EXPECT_EQ(Bytes(255, 0x0A), Render(2, {{122, 300}}));
}

TEST_F(DispatchTable, CutNeedsTheCutterAndLines) {
  caps_.capRecPapercut = 0;
  Check({"no cutter", 2, {}, {116, 100}, kDropped});
  Check({"no cutter", 2, {}, {117, 100}, kDropped});
  EXPECT_EQ(0, device_.CutDone());
  caps_.capRecPapercut = 1;
  input_.recLinesToPaperCut = -1;
  Check({"negative lines to the cutter", 2, {}, {117, 100}, kDropped});
}

TEST_F(DispatchTable, UnregisteredBitmapIsDroppedWithALine) {
  Check({"121", 2, {}, {121, 3}, kDropped});
  EXPECT_TRUE(Logged("The bitmap is not registered."));
}

TEST_F(DispatchTable, ListIsWalkedTailToHeadAndTotalRecomputed) {
  PrnTokenList* list = ListOf(2, {{104}, {101, -1, "AB"}, {128}, {157, -1}});
  list->totalBytes = 12345;
  ASSERT_EQ(0, device_.ConvertTokens(&input_, &state_, list, 0));
  EXPECT_EQ(ToHex(Hex("1B 45 01 41 42 1B 45 00 0A")), ToHex(Joined(list)));
  EXPECT_EQ(9, list->totalBytes);
  FreeCommandList(list);
}

TEST_F(DispatchTable, JournalListUsesJournalFontAndSpacing) {
  device_.SetStationFont(1, 1, 0);
  device_.SetStationFont(2, 2, 0);
  input_.recLinesToPaperCut = 1;
  // ESC ! 1 in the normal command comes from the journal's font 1.
  EXPECT_EQ(ToHex(Hex("1B 21 01 1D 42 00 1B 61 00 1C 21 01")), ToHex(Render(1, {{115}})));
  EXPECT_EQ(ToHex(Hex("1B 21 00 1D 42 00 1B 61 00 1C 21 00")), ToHex(Render(2, {{115}})));
}

}  // namespace
}  // namespace buildertest
