// TransactionPrint, RotatePrint, PageModePrint and ClearPrintArea: validation, the frame that
// the end of a rotated print and of a page adds to the core's buffer, and the clear-area
// output.
#include "ModesFixture.h"

namespace modestest {
namespace {

struct StationValueRow {
  long station;
  long value;
  long expected;
};

class BufferedModes : public ModesDevice {
 protected:
  long PreStationValue(long method, const StationValueRow& row) {
    return Pre(method, PrnPreStationValueArgs{&rec_.input, row.station, row.value, nullptr});
  }
  long ExecuteStationValue(long method, long station, long value, PrnTokenList** out) {
    PrnExecStationValueArgs block{&rec_.input, &rec_.station, station, value, out,
                                  &rec_.snapshot};
    return Execute(method, &block, out);
  }
  long PageModePrint(long control) {
    PrnTokenList* out = kUntouched;
    PrnExecValueArgs block{&rec_.input, &rec_.station, control, &out, &rec_.snapshot};
    const long result = Execute(PRN_METHOD_PAGE_MODE_PRINT, &block, &out);
    EXPECT_EQ(out, kUntouched) << "the page's tokens go into the core's buffer";
    return result;
  }
};

TEST_F(BufferedModes, TransactionPrintValidation) {
  const StationValueRow rows[] = {
      {2, 11, 0}, {1, 12, 0}, {2, 13, 106}, {1, 10, 106}, {3, 11, 106}, {0, 11, 106},
  };
  for (const StationValueRow& row : rows)
    EXPECT_EQ(PreStationValue(PRN_METHOD_TRANSACTION_PRINT, row), row.expected)
        << "TransactionPrint(" << row.station << ", " << row.value << ")";
}

TEST_F(BufferedModes, TransactionPrintBuildsNothing) {
  PrnTokenList* out = kUntouched;
  EXPECT_EQ(ExecuteStationValue(PRN_METHOD_TRANSACTION_PRINT, 2, 11, &out), 0);
  EXPECT_EQ(out, kUntouched);
}

TEST_F(BufferedModes, RotatePrintValidation) {
  // Sideways rotations (low 9 bits 0x101, 0x102) are refused with or without the barcode
  // and bitmap flags; everything else passes.
  const StationValueRow rows[] = {
      {2, 0x101, 106}, {2, 0x102, 106}, {2, 0x1102, 106}, {2, 0x3101, 106},
      {2, 0x103, 0},   {2, 0x2103, 0},  {2, 0x1001, 0},   {2, 0, 0},
      {2, 1, 0},       {1, 1, 106},     {0, 0x103, 106},
  };
  for (const StationValueRow& row : rows)
    EXPECT_EQ(PreStationValue(PRN_METHOD_ROTATE_PRINT, row), row.expected)
        << "RotatePrint(" << row.station << ", 0x" << std::hex << row.value << ")";
}

TEST_F(BufferedModes, EndOfRotatedPrintFramesTheBuffer) {
  // The rotated page starts with its rotation (154 left, 155 right) and the first line's
  // start (158), ends with a form feed (156), and a text run gets its own line end before
  // an image on the same line; inside a transaction every further image adds one more.
  struct Row {
    const char* what;
    Codes buffer;
    long transaction;
    long left;
    Codes expected;
  };
  const Row rows[] = {
      {"text, bitmap, text", {101, 121, 101}, 0, 0, {155, 158, 101, 157, 121, 101, 156}},
      {"line end already there", {101, 157, 121}, 0, 0, {155, 158, 101, 157, 121, 156}},
      {"bitmap then barcode", {101, 121, 152}, 0, 0, {155, 158, 101, 157, 121, 152, 156}},
      {"in a transaction", {101, 121, 152}, 1, 0, {155, 158, 101, 157, 157, 121, 152, 156}},
      {"raster, turned left", {101, 150}, 0, 1, {154, 158, 101, 157, 150, 156}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PrnTokenList* buffer = Buffer(row.buffer);
    const long before = buffer->totalBytes;
    rec_.station.rotationBuffer = buffer;
    rec_.station.receiptTransaction = row.transaction;
    rec_.station.rotatedDirection = row.left;
    PrnTokenList* out = kUntouched;
    EXPECT_EQ(ExecuteStationValue(PRN_METHOD_ROTATE_PRINT, 2, 1, &out), 0);
    EXPECT_EQ(out, kUntouched);
    EXPECT_EQ(CodesOf(buffer), row.expected);
    EXPECT_EQ(ToHex(Bytes(buffer->tokens->head->token->data,
                          buffer->tokens->head->token->data + 1)),
              "0C ");
    EXPECT_EQ(buffer->totalBytes, before + 1) << "the form feed's byte";
  }
}

TEST_F(BufferedModes, EndOfRotatedPrintAdjustsItsLineFeeds) {
  // Turned sideways the page is the paper width high (288 dots); the first line (24-dot
  // characters) is fed down to its baseline by its start and by the rest of the 30-dot
  // spacing after it.
  PrnTokenList* buffer = Buffer({101, 157});
  rec_.station.rotationBuffer = buffer;
  rec_.station.rotatedPrint = 1;
  rec_.station.rotatedDirection = 1;
  EXPECT_EQ(ExecuteStationValue(PRN_METHOD_ROTATE_PRINT, 2, 1, nullptr), 0);
  ASSERT_EQ(CodesOf(buffer), (Codes{154, 158, 101, 157, 156}));
  const PrnTokenNode* start = PrnNewerToken(PrnOldestToken(buffer));
  EXPECT_EQ(ToHex(Bytes(start->token->data, start->token->data + start->token->length)),
            "1B 4A 18 ");
  EXPECT_EQ(PrnNewerToken(PrnNewerToken(start))->token->parameter, 30 - 24);
}

TEST_F(BufferedModes, RotatePrintOtherwiseChangesNothing) {
  struct Row {
    const char* what;
    long rotation;
    bool buffer;
  };
  const Row rows[] = {{"upside down begins", 0x103, true}, {"no buffer to end", 1, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    PrnTokenList* buffer = Buffer({101});
    rec_.station.rotationBuffer = row.buffer ? buffer : nullptr;
    EXPECT_EQ(ExecuteStationValue(PRN_METHOD_ROTATE_PRINT, 2, row.rotation, nullptr), 0);
    EXPECT_EQ(CodesOf(buffer), (Codes{101}));
  }
}

TEST_F(BufferedModes, PageModePrintValidation) {
  const struct {
    long control;
    long expected;
  } rows[] = {{0, 106}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 106}, {-1, 106}};
  for (const auto& row : rows)
    EXPECT_EQ(Pre(PRN_METHOD_PAGE_MODE_PRINT,
                  PrnPreValueArgs{&rec_.input, row.control, nullptr}),
              row.expected)
        << "PageModePrint(" << row.control << ")";
}

TEST_F(BufferedModes, PageEndsFrameTheBuffer) {
  struct Row {
    long control;
    const char* end;
  };
  const Row rows[] = {{2, "1B 0C"}, {3, "0C"}, {4, "1B 53"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.control);
    PrnTokenList* buffer = Buffer({101});
    rec_.station.pageModeBuffer = buffer;
    EXPECT_EQ(PageModePrint(row.control), 0);
    EXPECT_EQ(CodesOf(buffer), (Codes{900, 801, 101, 900, 802}));
    const Bytes end = Hex(row.end);
    EXPECT_EQ(buffer->totalBytes, static_cast<long>(2 + 5 + end.size()));
    Bytes expected = Hex("1B 4A 00 1B 4C 41 42");  // ESC J 0, ESC L, the page
    expected.insert(expected.end(), end.begin(), end.end());
    EXPECT_EQ(ToHex(Render(buffer)), ToHex(expected));
  }
}

TEST_F(BufferedModes, EmptyOrMissingPageIsLeftAlone) {
  PrnTokenList* empty = Buffer({157});  // no data bytes
  const struct {
    const char* what;
    PrnTokenList* buffer;
  } rows[] = {{"no data", empty}, {"no buffer", nullptr}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    rec_.station.pageModeBuffer = row.buffer;
    EXPECT_EQ(PageModePrint(2), 0);
    EXPECT_EQ(CodesOf(empty), (Codes{157}));
  }
}

TEST_F(BufferedModes, EnteringPageModeSetsWhereItsLinesStart) {
  // The first line's feed after it is the page's line spacing (RecLineSpacing when page
  // mode was entered) less the starting character height: 24 dots, or 16 with the small
  // receipt font that RecLineChars 30 selects.
  struct Row {
    const char* what;
    long lineChars;  // 0: font left as it is
    long feed;
  };
  const Row rows[] = {{"24-dot font", 0, 40 - 24}, {"16-dot font", 30, 40 - 16}};
  rec_.input.pageModePrintArea = "0,0,512,400";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.lineChars) {
      long chosen = 0, width = 0, spacing = 0;
      PrnSelectLineCharsFontArgs font{2, row.lineChars, 288, rec_.input.recLineCharsList,
                                      &chosen, &width, &spacing};
      ASSERT_EQ(core_.Other(PRN_SERVICE_SELECT_LINE_CHARS_FONT, &font), 0);
    }
    rec_.input.recLineSpacing = 40;
    rec_.station.pageMode = 1;
    ASSERT_EQ(PageModePrint(1), 0);
    rec_.input.recLineSpacing = 30;  // changed after the page began: not used

    PrnTokenList* buffer = Buffer({101, 157});
    PrnPageModeAreaArgs adjust{&rec_.input, &rec_.station, buffer, -1, -1, nullptr};
    ASSERT_EQ(core_.Other(PRN_SERVICE_PAGE_MODE_AREA, &adjust), 0);
    rec_.station.pageModeBuffer = buffer;
    ASSERT_EQ(PageModePrint(2), 0);
    Bytes expected = Hex("1B 4A 00 1B 4C 41 42 1B 4A");
    expected.push_back(static_cast<unsigned char>(row.feed));
    expected.insert(expected.end(), {0x1B, 0x0C});
    EXPECT_EQ(ToHex(Render(buffer)), ToHex(expected));
  }
}

TEST_F(BufferedModes, ClearPrintArea) {
  EXPECT_EQ(Pre(PRN_METHOD_CLEAR_PRINT_AREA, PrnPreNoArgs{&rec_.input, nullptr}), 0);

  rec_.input.pageModePrintArea = "0,0,512,400";
  PrnTokenList* out = kUntouched;
  PrnExecNoArgs block{&rec_.input, &rec_.station, &out, &rec_.snapshot};
  EXPECT_EQ(Execute(PRN_METHOD_CLEAR_PRINT_AREA, &block, &out), 106) << "no page mode";
  EXPECT_EQ(out, kUntouched);

  rec_.station.pageMode = 1;
  ASSERT_EQ(Execute(PRN_METHOD_CLEAR_PRINT_AREA, &block, &out), 0);
  ASSERT_NE(out, kUntouched);
  EXPECT_EQ(out->station, 2);
  EXPECT_EQ(CodesOf(out), (Codes{0}));
  EXPECT_EQ(out->totalBytes, 11);
  // ESC W x y width height (16-bit, low byte first), CAN.
  EXPECT_EQ(ToHex(Render(out)), ToHex(Hex("1B 57 00 00 00 00 00 02 90 01 18")));
}

}  // namespace
}  // namespace modestest
