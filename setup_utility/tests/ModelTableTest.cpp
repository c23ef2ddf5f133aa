// The model table, its option lists and the checks of entered values.
#include "KvrOposUtilityDoc.h"
#include "ModelTable.h"

#include <gtest/gtest.h>

namespace {

const ModelInfo& kGeneric = kModelRows[0];
const ModelInfo& kTbx = kModelRows[1];

TEST(ModelTable, RowsHoldTheirFilesAndProgIds) {
  EXPECT_STREQ(kGeneric.modelName, "");
  EXPECT_STREQ(kTbx.modelName, "TBX910QD");
  EXPECT_STREQ(kTbx.printerDriverName, "KVR TBX910QD");
  EXPECT_STREQ(kTbx.coreFiles[kPosPrinter], "vasselin.dll");
  EXPECT_STREQ(kTbx.coreFiles[kCashDrawer], "fenwode.dll");
  EXPECT_STREQ(kTbx.subFiles[kPosPrinter], "prennik.dll");
  EXPECT_STREQ(kTbx.subFiles[kCashDrawer], "tollek.dll");
  EXPECT_STREQ(kTbx.version, "1.14.1.0");
  EXPECT_STREQ(kTbx.progIds[kPosPrinter], "OPOS.POSPRINTER.SO.KVR.CORE.TBXQD");
  EXPECT_STREQ(kTbx.progIds[kCashDrawer], "OPOS.CASHDRAWER.SO.KVR.CORE.TBXQD");
  EXPECT_STREQ(kGeneric.coreFiles[kScanner], "skelvin.dll");
  EXPECT_STREQ(kGeneric.progIds[kScanner], "OPOS.SCANNER.SO.KVR.HN.1");
  EXPECT_STREQ(kGeneric.version, "1.14.0.0");
  EXPECT_STREQ(kTbx.printSpeedName, "PrintSpeed");
}

TEST(ModelTable, OptionListAccessors) {
  const struct {
    const char* what;
    const OptionList& list;
    int index;
    const char* value;
    const char* label;
  } rows[] = {
      {"tbx paper 0", kTbx.paperList, 0, "0", "40mm/288dots"},
      {"tbx paper 1", kTbx.paperList, 1, "1", "58mm/432dots"},
      {"tbx paper past the last", kTbx.paperList, 2, "", ""},
      {"negative index", kTbx.paperList, -1, "", ""},
      {"past the array", kTbx.paperList, kOptionItemMax, "", ""},
      {"code page 11", kTbx.codePageList, 11, "11", "932"},
      {"code page 17", kTbx.codePageList, 17, "17", "1254"},
      {"speed 0", kTbx.printSpeedList, 0, "0", "RecLetterQuality Valid"},
      {"mark mode 1", kTbx.markModeList, 1, "1", "Enable"},
      {"pulse 7", kTbx.pulseList, 7, "7", "800"},
      {"absent near-end", kTbx.nearEndList, 0, "", ""},
      {"absent print width", kTbx.printWidthList, 0, "", ""},
      {"generic paper 3", kGeneric.paperList, 3, "3", "80mm/576dots"},
      {"generic empty print width", kGeneric.printWidthList, 0, "", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(OptionValue(row.list, row.index), row.value) << row.what;
    EXPECT_EQ(OptionLabel(row.list, row.index), row.label) << row.what;
  }
  EXPECT_EQ(DefaultOptionValue(kTbx.paperList), "1");
  EXPECT_EQ(DefaultOptionLabel(kTbx.codePageList), "932");
  EXPECT_EQ(DefaultOptionValue(kTbx.codePageList), "11");
  EXPECT_EQ(DefaultOptionValue(kGeneric.paperList), "3");
  EXPECT_EQ(DefaultOptionValue(kTbx.nearEndList), "");
  EXPECT_EQ(OptionCount(kTbx.codePageList), 18);
  EXPECT_EQ(OptionCount(kTbx.pulseList), 8);
  EXPECT_EQ(OptionCount(kGeneric.markModeList), 0);
  EXPECT_TRUE(HasList(kGeneric.markModeList));
  EXPECT_FALSE(HasList(kGeneric.printSpeedList));
}

TEST(ModelTable, ModelRowOfADeviceName) {
  CKvrOposUtilityDoc doc;
  const struct {
    const char* name;
    int row;
  } rows[] = {
      {"TBX910QD", 1}, {"TBX910QD-02", 1}, {"TBX910QD_1", 1}, {"X-TBX910QD", 0},
      {"tbx910qd", 0},  // case-sensitive
      {"", 0},
  };
  for (const auto& row : rows) EXPECT_EQ(doc.FindModelRowForName(row.name), row.row) << row.name;
  doc.SetModelRow(1);
  EXPECT_FALSE(doc.SelectModelRowForNewDevice("Other"));
  EXPECT_EQ(doc.CurrentModelIndex(), 1);  // unchanged when none matches
  doc.SetModelRow(0);
  EXPECT_TRUE(doc.SelectModelRowForNewDevice("TBX910QD-03"));
  EXPECT_EQ(doc.CurrentModelIndex(), 1);
}

TEST(Validation, TimeoutRule) {
  // 1 to 9 decimal digits, no sign, 3000 to 90000.
  const struct {
    const char* text;
    bool valid;
  } rows[] = {
      {"3000", true},        {"90000", true},       {"10000", true},
      {"2999", false},       {"90001", false},      {"0", false},
      {"+5000", false},      {"-5000", false},      {"", false},
      {"12a45", false},      {" 5000", false},      {"5000 ", false},
      {"000005000", true},     // nine digits
      {"0000005000", false},   // ten
      {"9999999999", false},   // beyond 32 bits, no wrap into the range
      {"4294970296", false},   // 2^32 + 3000
  };
  for (const auto& row : rows)
    EXPECT_EQ(CKvrOposUtilityDoc::IsValidTimeout(row.text), row.valid) << "[" << row.text << "]";
}

TEST(Validation, PulseBrightnessAndLogSize) {
  const struct {
    const char* text;
    bool pulse;
    bool brightness;
  } rows[] = {
      {"0", false, true},  {"1", true, true},   {"8", true, true},    {"9", false, true},
      {"10", false, true}, {"11", false, false}, {"", false, false},  {"-1", false, false},
      {"1.5", false, false}, {"08", true, true}, {"4294967297", false, false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CKvrOposUtilityDoc::IsValidPulseTime(row.text), row.pulse) << "[" << row.text << "]";
    EXPECT_EQ(CKvrOposUtilityDoc::IsValidBrightness(row.text), row.brightness)
        << "[" << row.text << "]";
  }
  EXPECT_TRUE(CKvrOposUtilityDoc::IsValidLogSize(""));
  EXPECT_TRUE(CKvrOposUtilityDoc::IsValidLogSize("abc"));
}

}  // namespace
