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
constexpr long kCartridgeOk = 0x10000000;  // the standard's cartridge state "OK"

struct PaperRow {
  long paperSize;
  const char* lineCharsList;  // characters per line the fonts and spacings allow
  long lineChars;             // RecLineChars
  long lineWidth;             // RecLineWidth, dots
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

void CSnapshotTexts::Put(PrnPropertySnapshot* snapshot, SnapshotTextSlot slot,
                         const char* text) {
  std::lock_guard<std::mutex> guard(lock_);
  char*& target = snapshot->*slot;
  if (target != nullptr && owned_.erase(target) == 1) delete[] target;
  const size_t length = std::strlen(text);
  char* copy = new char[length + 1];
  std::memcpy(copy, text, length + 1);
  target = copy;
  owned_.insert(copy);
}

void CSnapshotTexts::ReleaseAll(PrnPropertySnapshot* snapshot) {
  std::lock_guard<std::mutex> guard(lock_);
  for (SnapshotTextSlot slot : kSnapshotTextSlots) {
    char* text = snapshot->*slot;
    if (text == nullptr) continue;
    owned_.erase(text);
    delete[] text;
  }
}

void SetConstructorCapabilities(PrnCapabilityBlock* capabilities) {
  *capabilities = PrnCapabilityBlock{};
  capabilities->capPowerReporting = 1;
  capabilities->capStatisticsReporting = 1;
  capabilities->capUpdateStatistics = 1;
  capabilities->capCharacterSet = 11;  // kana/ANK
  capabilities->capCoverSensor = 1;
  capabilities->capTransaction = 1;
}

void SetInitPropertiesFirst(PrnCapabilityBlock* capabilities, PrnPropertySnapshot* snapshot,
                            CSnapshotTexts* texts, long paperSize, long pitch) {
  struct CapRow {
    long PrnCapabilityBlock::*word;
    long value;
  };
  static const CapRow kReceiptCaps[] = {
      {&PrnCapabilityBlock::capRecPresent, 1},    {&PrnCapabilityBlock::capRecBarCode, 1},
      {&PrnCapabilityBlock::capRecRuledLine, 3},  {&PrnCapabilityBlock::capRecBitmap, 1},
      {&PrnCapabilityBlock::capRecBold, 1},       {&PrnCapabilityBlock::capRecDhigh, 1},
      {&PrnCapabilityBlock::capRecDwide, 1},      {&PrnCapabilityBlock::capRecDwideDhigh, 1},
      {&PrnCapabilityBlock::capRecEmptySensor, 1}, {&PrnCapabilityBlock::capRecPapercut, 1},
      {&PrnCapabilityBlock::capRecRotate180, 1},  {&PrnCapabilityBlock::capRecUnderline, 1},
      {&PrnCapabilityBlock::capRecColor, 1},
  };
  for (const CapRow& row : kReceiptCaps) capabilities->*row.word = row.value;
  texts->Put(snapshot, &PrnPropertySnapshot::recBarCodeRotationList, "0,180");
  texts->Put(snapshot, &PrnPropertySnapshot::recBitmapRotationList, "0,180");
  snapshot->recCartridgeState = kCartridgeOk;
  if (const PaperRow* paper = FindPaper(paperSize))
    texts->Put(snapshot, &PrnPropertySnapshot::recLineCharsList, paper->lineCharsList);
  texts->Put(snapshot, &PrnPropertySnapshot::characterSetList, kCharacterSetList);
  snapshot->carryWord = pitch;
}

long SetInitPropertiesSecond(PrnPropertySnapshot* snapshot, long paperSize,
                             long defaultCharacterSet, long* pitch) {
  snapshot->recLetterQuality = 0;
  if (snapshot->recEmpty != 0 && snapshot->recNearEnd != 0) snapshot->recNearEnd = 0;
  snapshot->recCartridgeState = kCartridgeOk;
  snapshot->recLineHeight = 24;
  snapshot->recLineSpacing = 30;
  snapshot->recLinesToPaperCut = 4;
  snapshot->recCurrentCartridge = 1;
  if (const PaperRow* paper = FindPaper(paperSize)) {
    snapshot->recLineChars = paper->lineChars;
    snapshot->recLineWidth = paper->lineWidth;
  }
  *pitch = 2400;
  long characterSet = kFallbackCharacterSet;
  for (long known : kCharacterSets)
    if (known == defaultCharacterSet) characterSet = known;
  snapshot->characterSet = characterSet;
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
