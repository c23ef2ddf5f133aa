#include "SubSOProperties.h"

#include <cstdlib>
#include <cstring>

namespace {

// Code pages the printer has a character table for.
constexpr long kCharacterSets[] = {437, 737, 850, 852, 855, 857, 858, 860, 863,
                                   865, 866, 932, 999, 1250, 1251, 1252, 1253, 1254};
constexpr char kCharacterSetList[] =
    "437,737,850,852,855,857,858,860,863,865,866,932,999,1250,1251,1252,1253,1254";
constexpr long kFallbackCharacterSet = 932;

struct PaperRow {
  long paperSize;
  const char* lineCharsList;  // characters per line the fonts and spacings allow
  long lineChars;             // snapshot word 212
  long lineWidth;             // snapshot word 220, dots
};
// 0: 58 mm paper (288 dots), 1: 80 mm paper (432 dots); 2 and 3 leave the width open.
constexpr PaperRow kPaperRows[] = {
    {0, "18,20,22,24,28,32,36", 24, 288},
    {1, "27,30,33,36,43,48,54", 36, 432},
    {2, " ", -1, -1},
    {3, " ", -2, -2},
};

const PaperRow* FindPaper(long paperSize) {
  for (const PaperRow& row : kPaperRows)
    if (row.paperSize == paperSize) return &row;
  return nullptr;
}

struct FontRow {
  long font;
  long charWidth;
  long spacing;
};
// Position of the chosen entry in RecLineCharsList -> font 2 (24 dots) with spacings 4..0,
// then font 1 (16 dots) with spacings 2..0.
constexpr FontRow kLineCharsFonts[] = {{2, 24, 4}, {2, 24, 2}, {2, 24, 1}, {2, 24, 0},
                                       {1, 16, 2}, {1, 16, 1}, {1, 16, 0}};

}  // namespace

void CSnapshotTexts::Put(void* snapshot, int offset, const char* text) {
  char*& slot = SnapshotText(snapshot, offset);
  if (slot != nullptr && owned_.erase(slot) == 1) delete[] slot;
  const size_t length = std::strlen(text);
  char* copy = new char[length + 1];
  std::memcpy(copy, text, length + 1);
  slot = copy;
  owned_.insert(copy);
}

void CSnapshotTexts::ReleaseAll(void* snapshot) {
  for (int offset : kSnapshotTextOffsets) {
    char* text = SnapshotText(snapshot, offset);
    if (text == nullptr) continue;
    owned_.erase(text);
    delete[] text;
  }
}

void SetConstructorCapabilities(long capabilities[kCapabilityWords]) {
  std::memset(capabilities, 0, kCapabilityWords * sizeof(long));
  capabilities[kCapPowerReporting] = 1;
  capabilities[kCapStatisticsReporting] = 1;
  capabilities[kCapUpdateStatistics] = 1;
  capabilities[kCapCharacterSet] = 11;  // kana/ANK
  capabilities[kCapCoverSensor] = 1;
  capabilities[kCapTransaction] = 1;
}

void SetInitPropertiesFirst(long capabilities[kCapabilityWords], void* snapshot,
                            CSnapshotTexts* texts, long paperSize, long pitch) {
  struct CapRow {
    int word;
    long value;
  };
  static const CapRow kReceiptCaps[] = {
      {kCapRecPresent, 1},       {kCapRecBarCode, 1},    {kCapRecRuledLine, 3},
      {kCapRecBitmap, 1},        {kCapRecBold, 1},       {kCapRecDhigh, 1},
      {kCapRecDwide, 1},         {kCapRecDwideDhigh, 1}, {kCapRecEmptySensor, 1},
      {kCapRecPapercut, 1},      {kCapRecRotate180, 1},  {kCapRecUnderline, 1},
      {kCapRecColor, 1},
  };
  for (const CapRow& row : kReceiptCaps) capabilities[row.word] = row.value;
  texts->Put(snapshot, kSnapRotationList1, "0,180");
  texts->Put(snapshot, kSnapRotationList2, "0,180");
  SnapshotWord(snapshot, 100) = 0x10000000;
  if (const PaperRow* paper = FindPaper(paperSize))
    texts->Put(snapshot, kSnapRecLineCharsList, paper->lineCharsList);
  texts->Put(snapshot, kSnapCharacterSetList, kCharacterSetList);
  SnapshotWord(snapshot, kSnapPitch) = pitch;
}

long SetInitPropertiesSecond(void* snapshot, long paperSize, long defaultCharacterSet,
                             long* pitch) {
  SnapshotWord(snapshot, 200) = 0;
  if (SnapshotWord(snapshot, kSnapRecEmpty) != 0 && SnapshotWord(snapshot, kSnapRecNearEnd) != 0)
    SnapshotWord(snapshot, kSnapRecNearEnd) = 0;
  SnapshotWord(snapshot, 100) = 0x10000000;
  SnapshotWord(snapshot, 208) = 24;
  SnapshotWord(snapshot, 204) = 30;
  SnapshotWord(snapshot, 92) = 4;
  SnapshotWord(snapshot, 104) = 1;
  if (const PaperRow* paper = FindPaper(paperSize)) {
    SnapshotWord(snapshot, 212) = paper->lineChars;
    SnapshotWord(snapshot, 220) = paper->lineWidth;
  }
  *pitch = 2400;
  long characterSet = kFallbackCharacterSet;
  for (long known : kCharacterSets)
    if (known == defaultCharacterSet) characterSet = known;
  SnapshotWord(snapshot, kSnapCharacterSet) = characterSet;
  return characterSet;
}

CLineCharsChoice ChooseLineCharsFont(const char* lineCharsList, long requested) {
  long position = 0;
  long value = 0;
  const char* p = lineCharsList != nullptr ? lineCharsList : "";
  for (;;) {
    ++position;
    value = std::strtol(p, nullptr, 10);
    const char* comma = std::strchr(p, ',');
    if (value >= requested || comma == nullptr) break;
    p = comma + 1;
  }
  CLineCharsChoice choice{value, 0, 0, 0};
  if (position <= static_cast<long>(sizeof(kLineCharsFonts) / sizeof(kLineCharsFonts[0]))) {
    const FontRow& row = kLineCharsFonts[position - 1];
    choice.font = row.font;
    choice.charWidth = row.charWidth;
    choice.spacing = row.spacing;
  }
  return choice;
}
