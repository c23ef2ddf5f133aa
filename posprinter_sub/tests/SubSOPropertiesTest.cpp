// Capability block and property snapshot contents.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "SubSOProperties.h"

namespace {

struct Snapshot {
  Snapshot() { std::memset(bytes, 0, sizeof(bytes)); }
  long& Word(int offset) { return SnapshotWord(bytes, offset); }
  std::string Text(int offset) {
    const char* t = SnapshotText(bytes, offset);
    return t ? t : "<null>";
  }
  alignas(4) BYTE bytes[kSnapshotBytes];
};

TEST(Capabilities, AfterInitialisation) {
  long caps[kCapabilityWords];
  std::memset(caps, 0x7F, sizeof(caps));
  SetConstructorCapabilities(caps);
  Snapshot snap;
  CSnapshotTexts texts;
  SetInitPropertiesFirst(caps, snap.bytes, &texts, 3, 0);
  const struct {
    int word;
    long value;
  } nonZero[] = {{kCapPowerReporting, 1}, {kCapStatisticsReporting, 1}, {kCapUpdateStatistics, 1},
                 {kCapCharacterSet, 11},  {kCapCoverSensor, 1},        {kCapTransaction, 1},
                 {kCapRecPresent, 1},     {kCapRecBarCode, 1},         {kCapRecRuledLine, 3},
                 {kCapRecBitmap, 1},      {kCapRecBold, 1},            {kCapRecDhigh, 1},
                 {kCapRecDwide, 1},       {kCapRecDwideDhigh, 1},      {kCapRecEmptySensor, 1},
                 {kCapRecPapercut, 1},    {kCapRecRotate180, 1},       {kCapRecUnderline, 1},
                 {kCapRecColor, 1}};
  long expected[kCapabilityWords] = {};
  for (const auto& row : nonZero) expected[row.word] = row.value;
  for (int i = 0; i < kCapabilityWords; ++i) EXPECT_EQ(caps[i], expected[i]) << "word " << i;
  EXPECT_EQ(kCapRecPapercut, 38);
  EXPECT_EQ(kCapSlpPageMode, 67);
  texts.ReleaseAll(snap.bytes);
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
    long caps[kCapabilityWords];
    SetConstructorCapabilities(caps);
    Snapshot snap;
    snap.Word(212) = 555;
    snap.Word(220) = 555;
    CSnapshotTexts texts;
    SetInitPropertiesFirst(caps, snap.bytes, &texts, row.paperSize, 17);
    EXPECT_EQ(snap.Text(kSnapRecLineCharsList), row.list);
    EXPECT_EQ(snap.Text(kSnapRotationList1), "0,180");
    EXPECT_EQ(snap.Text(kSnapRotationList2), "0,180");
    EXPECT_EQ(snap.Text(kSnapCharacterSetList),
              "437,737,850,852,855,857,858,860,863,865,866,932,999,1250,1251,1252,1253,1254");
    EXPECT_EQ(snap.Word(100), 0x10000000);
    EXPECT_EQ(snap.Word(kSnapPitch), 17);
    long pitch = 0;
    EXPECT_EQ(SetInitPropertiesSecond(snap.bytes, row.paperSize, 932, &pitch), 932);
    EXPECT_EQ(pitch, 2400);
    EXPECT_EQ(snap.Word(212), row.lineChars);
    EXPECT_EQ(snap.Word(220), row.lineWidth);
    EXPECT_EQ(snap.Word(208), 24);
    EXPECT_EQ(snap.Word(204), 30);
    EXPECT_EQ(snap.Word(92), 4);
    EXPECT_EQ(snap.Word(104), 1);
    texts.ReleaseAll(snap.bytes);
  }
}

TEST(InitProperties, SecondModeCharacterSetAndNearEnd) {
  const struct {
    long setting, used;
  } rows[] = {{437, 437}, {1254, 1254}, {999, 999}, {1257, 932}, {0, 932}, {-1, 932}};
  for (const auto& row : rows) {
    Snapshot snap;
    long pitch = 0;
    EXPECT_EQ(SetInitPropertiesSecond(snap.bytes, 1, row.setting, &pitch), row.used);
    EXPECT_EQ(snap.Word(kSnapCharacterSet), row.used);
  }
  Snapshot snap;
  snap.Word(kSnapRecEmpty) = 1;
  snap.Word(kSnapRecNearEnd) = 1;
  snap.Word(200) = 9;
  long pitch = 0;
  (void)SetInitPropertiesSecond(snap.bytes, 1, 932, &pitch);
  EXPECT_EQ(snap.Word(kSnapRecNearEnd), 0) << "empty paper is not also near its end";
  EXPECT_EQ(snap.Word(200), 0);
  snap.Word(kSnapRecEmpty) = 0;
  snap.Word(kSnapRecNearEnd) = 1;
  (void)SetInitPropertiesSecond(snap.bytes, 1, 932, &pitch);
  EXPECT_EQ(snap.Word(kSnapRecNearEnd), 1);
}

TEST(SnapshotTexts, RewriteFreesOwnTextAndReleaseLeavesSlots) {
  Snapshot snap;
  CSnapshotTexts texts;
  texts.Put(snap.bytes, kSnapPitchText, "1,2");
  texts.Put(snap.bytes, kSnapPitchText, "3,4");
  EXPECT_EQ(snap.Text(kSnapPitchText), "3,4");
  char* before = SnapshotText(snap.bytes, kSnapPitchText);
  texts.ReleaseAll(snap.bytes);
  EXPECT_EQ(SnapshotText(snap.bytes, kSnapPitchText), before) << "slots keep their values";
  // A released text is never freed again when its slot is written once more.
  texts.Put(snap.bytes, kSnapPitchText, "5,6");
  EXPECT_EQ(snap.Text(kSnapPitchText), "5,6");
  texts.ReleaseAll(snap.bytes);
  Snapshot empty;
  texts.ReleaseAll(empty.bytes);  // all NULL: nothing happens
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
