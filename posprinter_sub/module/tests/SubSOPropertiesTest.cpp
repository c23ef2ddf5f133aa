// Capability block and property snapshot contents.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "SubSOProperties.h"

namespace {

std::string Text(const char* t) { return t ? t : "<null>"; }

long Word(const PrnPropertySnapshot& snap, int offset) {
  return *reinterpret_cast<const long*>(reinterpret_cast<const unsigned char*>(&snap) + offset);
}

TEST(Capabilities, AfterInitialisation) {
  PrnCapabilityBlock caps;
  std::memset(&caps, 0x7F, sizeof(caps));
  SetConstructorCapabilities(&caps);
  PrnPropertySnapshot snap{};
  CSnapshotTexts texts;
  SetInitPropertiesFirst(&caps, &snap, &texts, 3, 0);
  // Word index in the block -> value; every other word is 0.
  const struct {
    int word;
    long value;
  } nonZero[] = {{1, 1},  {2, 1},  {4, 1},  {5, 11}, {10, 1}, {12, 1}, {25, 1},
                 {27, 1}, {28, 3}, {29, 1}, {30, 1}, {31, 1}, {32, 1}, {33, 1},
                 {34, 1}, {38, 1}, {40, 1}, {42, 1}, {44, 1}};
  long expected[68] = {};
  for (const auto& row : nonZero) expected[row.word] = row.value;
  const long* words = reinterpret_cast<const long*>(&caps);
  for (int i = 0; i < 68; ++i) EXPECT_EQ(words[i], expected[i]) << "word " << i;
  texts.ReleaseAll(&snap);
}

struct PaperRow {
  long paperSize;
  const char* list;
  long lineChars, lineWidth;
};

TEST(InitProperties, ByPaperSize) {
  const PaperRow rows[] = {{0, "18,20,22,24,28,32,36", 24, 288},
                           {1, "27,30,33,36,43,48,54", 36, 432},
                           {2, " ", -1, -1},
                           {3, " ", -2, -2},  // the default: no line width known
                           {4, "<null>", 555, 555}};
  for (const PaperRow& row : rows) {
    SCOPED_TRACE(row.paperSize);
    PrnCapabilityBlock caps;
    SetConstructorCapabilities(&caps);
    PrnPropertySnapshot snap{};
    snap.recLineChars = 555;
    snap.recLineWidth = 555;
    CSnapshotTexts texts;
    SetInitPropertiesFirst(&caps, &snap, &texts, row.paperSize, 17);
    EXPECT_EQ(Text(snap.recLineCharsList), row.list);
    EXPECT_EQ(Text(snap.recBarCodeRotationList), "0,180");  // offset 96
    EXPECT_EQ(Text(snap.recBitmapRotationList), "0,180");   // offset 108
    EXPECT_EQ(Text(snap.characterSetList),
              "437,737,850,852,855,857,858,860,863,865,866,932,999,1250,1251,1252,1253,1254");
    EXPECT_EQ(Word(snap, 100), 0x10000000);
    EXPECT_EQ(Word(snap, 280), 17);
    long pitch = 0;
    EXPECT_EQ(SetInitPropertiesSecond(&snap, row.paperSize, 932, &pitch), 932);
    EXPECT_EQ(pitch, 2400);
    EXPECT_EQ(Word(snap, 212), row.lineChars);
    EXPECT_EQ(Word(snap, 220), row.lineWidth);
    EXPECT_EQ(Word(snap, 208), 24);
    EXPECT_EQ(Word(snap, 204), 30);
    EXPECT_EQ(Word(snap, 92), 4);
    EXPECT_EQ(Word(snap, 104), 1);
    texts.ReleaseAll(&snap);
  }
}

TEST(InitProperties, SecondModeCharacterSetAndNearEnd) {
  const struct {
    long setting, used;
  } rows[] = {{437, 437}, {1254, 1254}, {999, 999}, {1257, 932}, {0, 932}, {-1, 932}};
  for (const auto& row : rows) {
    PrnPropertySnapshot snap{};
    long pitch = 0;
    EXPECT_EQ(SetInitPropertiesSecond(&snap, 1, row.setting, &pitch), row.used);
    EXPECT_EQ(Word(snap, 252), row.used);
  }
  PrnPropertySnapshot snap{};
  snap.recEmpty = 1;    // 196
  snap.recNearEnd = 1;  // 192
  snap.recLetterQuality = 9;
  long pitch = 0;
  (void)SetInitPropertiesSecond(&snap, 1, 932, &pitch);
  EXPECT_EQ(Word(snap, 192), 0) << "empty paper is not also near its end";
  EXPECT_EQ(Word(snap, 200), 0);
  snap.recEmpty = 0;
  snap.recNearEnd = 1;
  (void)SetInitPropertiesSecond(&snap, 1, 932, &pitch);
  EXPECT_EQ(Word(snap, 192), 1);
}

TEST(SnapshotTexts, RewriteFreesOwnTextAndReleaseLeavesSlots) {
  PrnPropertySnapshot snap{};
  CSnapshotTexts texts;
  texts.Put(&snap, &PrnPropertySnapshot::pageModeArea, "1,2");
  texts.Put(&snap, &PrnPropertySnapshot::pageModeArea, "3,4");
  EXPECT_EQ(Text(snap.pageModeArea), "3,4");
  char* before = snap.pageModeArea;
  texts.ReleaseAll(&snap);
  EXPECT_EQ(snap.pageModeArea, before) << "slots keep their values";
  // A released text is never freed again when its slot is written once more.
  texts.Put(&snap, &PrnPropertySnapshot::pageModeArea, "5,6");
  EXPECT_EQ(Text(snap.pageModeArea), "5,6");
  texts.ReleaseAll(&snap);
  PrnPropertySnapshot empty{};
  texts.ReleaseAll(&empty);  // all NULL: nothing happens
}

struct FontRow {
  const char* list;
  long requested;
  CLineCharsChoice expected;
};

TEST(LineCharsFont, ChoiceByPosition) {
  const char* list58 = "18,20,22,24,28,32,36";
  const FontRow rows[] = {
      {list58, 30, {32, 1, 16, 1}},  // first entry not below 30
      {list58, 40, {36, 1, 16, 0}},  // none large enough: the last
      {list58, 1, {18, 2, 24, 4}},
      {list58, 20, {20, 2, 24, 2}},
      {list58, 22, {22, 2, 24, 1}},
      {list58, 24, {24, 2, 24, 0}},
      {list58, 25, {28, 1, 16, 2}},
      {"1,2,3,4,5,6,7,8", 8, {8, 0, 0, 0}},  // an eighth position has no font
      {" ", 36, {0, 2, 24, 4}},
  };
  for (const FontRow& row : rows) {
    SCOPED_TRACE(testing::Message() << row.list << " / " << row.requested);
    const CLineCharsChoice got = ChooseLineCharsFont(row.list, row.requested);
    EXPECT_EQ(got.lineChars, row.expected.lineChars);
    EXPECT_EQ(got.font, row.expected.font);
    EXPECT_EQ(got.charWidth, row.expected.charWidth);
    EXPECT_EQ(got.spacing, row.expected.spacing);
  }
}

}  // namespace
