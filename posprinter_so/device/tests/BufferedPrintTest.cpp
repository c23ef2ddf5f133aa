// Transaction, rotated and page-mode printing through the service object, against the
// recording sub-module acting as a printer that can print sideways (left and right 90
// degrees), upside down and in page mode: the rotation words, the rotation lists, the
// conflicts between the modes, and what each buffer prints, in one request, when it ends.
// The sub-module's frames show in the written bytes: "<R rotation>" where RotatePrint's
// execute phase ran on the rotated-print buffer, "<P control>" for PageModePrint's.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "HiddenWindow.h"
#include "OposCodes.h"
#include "RecordedDevice.h"

namespace {

using Strings = std::vector<std::string>;
using sotest::Bstr;

constexpr long kBegin = 11, kEnd = 12;
constexpr long kPageBegin = 1, kPagePrint = 2, kPageNormal = 3, kPageCancel = 4;

// A receipt that prints sideways both ways, upside down and in page mode, with a journal,
// and a slip that prints right 90 only.
PrnCapabilityBlock SidewaysPrinter() {
  PrnCapabilityBlock caps{};
  caps.capTransaction = 1;
  caps.capJrnPresent = 1;
  caps.capRecPresent = 1;
  caps.capRecBarCode = 1;
  caps.capRecBitmap = 1;
  caps.capRecLeft90 = 1;
  caps.capRecRight90 = 1;
  caps.capRecRotate180 = 1;
  caps.capRecPageMode = 1;
  caps.capSlpPresent = 1;
  caps.capSlpRight90 = 1;
  return caps;
}

class Buffered : public sotest::RecordedDevice {
 protected:
  // The receipt's barcode and bitmap rotation lists as the sub-module reports them.
  Buffered(const char* barcodes, const char* bitmaps)
      : RecordedDevice("SoBufferedDevice", "0") {
    caps_ = SidewaysPrinter();
    texts_[offsetof(PrnPropertySnapshot, recBarCodeRotationList)] = barcodes;
    texts_[offsetof(PrnPropertySnapshot, recBitmapRotationList)] = bitmaps;
    // Page mode lays text out in this area.
    texts_[offsetof(PrnPropertySnapshot, pageModeArea)] = "576,2000";
    texts_[offsetof(PrnPropertySnapshot, pageModePrintArea)] = "0,0,576,2000";
  }
  Buffered() : Buffered("R90,L90,180", "R90,L90,180") {}

  long Rotate(long station, long rotation) {
    return Call([&] { return so_->RotatePrint(station, rotation); });
  }
  long Transaction(long station, long control) {
    return Call([&] { return so_->TransactionPrint(station, control); });
  }
  long Page(long control) { return Call([&] { return so_->PageModePrint(control); }); }
  CRJDevice::CStationModes Modes() {
    CRJDevice::CStationModes modes;
    co_.RunOnThread([&] { modes = so_->Window()->Modes(); });
    return modes;
  }
  bool RotationOpen() { return Call([&] { return so_->Window()->RotationList() ? 1L : 0L; }) != 0; }
  bool PageOpen() { return Call([&] { return so_->Window()->PageModeList() ? 1L : 0L; }) != 0; }
  bool TransactionOpen(long station) {
    return Call([&] { return so_->Window()->TransactionList(station) ? 1L : 0L; }) != 0;
  }
  long CurrentRotation() { return Call([&] { return so_->CurrentRotation(); }); }
};

// ---- the words RotatePrint sets ---------------------------------------------------------

// Values no rotation writes: a word that keeps one was left unchanged.
constexpr long kKept = 5;

struct RotationRow {
  long rotation;
  long current;        // the current rotation afterwards
  long bitmaps90, bitmapLeft, bitmaps180;
  long rotatedPrint;   // a rotated print is open
  long direction;      // its direction (1 left), -1 where none is open
  long upsideDown;
};

TEST_F(Buffered, RotatePrintSetsTheWordsOfItsRotation) {
  const RotationRow rows[] = {
      {0x101, 1, 0, kKept, 0, 1, 0, 0},
      {0x102, 1, 0, kKept, 0, 1, 1, 0},
      {0x103, 1, 0, kKept, 0, 0, -1, 1},
      {0x1101, 0x101, 0, kKept, 0, 1, 0, 0},
      {0x1102, 0x102, 0, kKept, 0, 1, 1, 0},
      {0x1103, 0x103, 0, kKept, 0, 0, -1, 1},
      {0x2101, 1, 1, 0, 0, 1, 0, 0},
      {0x2102, 1, 1, 1, 0, 1, 1, 0},
      {0x2103, 1, 0, kKept, 1, 0, -1, 1},
      {0x3101, 0x101, 1, 0, 0, 1, 0, 0},
      {0x3102, 0x102, 1, 1, 0, 1, 1, 0},
      {0x3103, 0x103, 0, kKept, 1, 0, -1, 1},
      {1, 1, 0, kKept, 0, 0, -1, 0},
  };
  for (const RotationRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "Rotation 0x" << std::hex << row.rotation);
    ASSERT_EQ(Rotate(2, 1), 0) << "back to normal";
    co_.RunOnThread([&] {
      CRJDevice::CStationModes& modes = so_->Window()->Modes();
      modes.bitmapDirectionLeft = modes.bitmapsRotated90 = modes.bitmapsRotated180 = kKept;
    });
    ASSERT_EQ(Rotate(2, row.rotation), 0);
    const CRJDevice::CStationModes modes = Modes();
    EXPECT_EQ(CurrentRotation(), row.current);
    EXPECT_EQ(modes.bitmapsRotated90, row.bitmaps90);
    EXPECT_EQ(modes.bitmapDirectionLeft, row.bitmapLeft);
    EXPECT_EQ(modes.bitmapsRotated180, row.bitmaps180);
    EXPECT_EQ(modes.rotatedPrint, row.rotatedPrint);
    EXPECT_EQ(RotationOpen(), row.rotatedPrint != 0);
    if (row.direction >= 0) {
      EXPECT_EQ(modes.rotatedDirection, row.direction);
    }
    EXPECT_EQ(modes.upsideDown, row.upsideDown);
  }
}

// A rotated print in another direction, or upside-down printing, ends the one open first:
// what it holds prints as one request with its frames.
TEST_F(Buffered, AConflictingRotationPrintsTheOpenOneFirst) {
  ASSERT_EQ(Rotate(2, 0x101), 0);
  ASSERT_EQ(PrintNormal(2, "Right\n"), 0);
  EXPECT_TRUE(Writes().empty()) << "held while sideways";
  ASSERT_EQ(Rotate(2, 0x102), 0);
  EXPECT_EQ(Writes(), (Strings{"<R257>Right<R1>"}));
  EXPECT_EQ(Modes().rotatedDirection, 1) << "a left rotated print is open";

  ASSERT_EQ(PrintNormal(2, "Left\n"), 0);
  ASSERT_EQ(Rotate(2, 0x103), 0);
  EXPECT_EQ(Writes(), (Strings{"<R257>Right<R1>", "<R258>Left<R1>"}));
  EXPECT_FALSE(RotationOpen());
  EXPECT_EQ(Modes().upsideDown, 1);

  // Upside down ends before a sideways print opens; it prints nothing itself.
  ASSERT_EQ(Rotate(2, 0x101), 0);
  EXPECT_EQ(Modes().upsideDown, 0);
  const long lists = Calls(RECSUB_OTHER_METHOD, PRN_SERVICE_CREATE_COMMAND_LIST);
  ASSERT_EQ(Rotate(2, 0x101), 0) << "the same direction again keeps the open one";
  EXPECT_EQ(Calls(RECSUB_OTHER_METHOD, PRN_SERVICE_CREATE_COMMAND_LIST), lists);
  ASSERT_EQ(PrintNormal(2, "Same\n"), 0);
  ASSERT_EQ(Rotate(2, 1), 0);
  EXPECT_EQ(Writes().size(), 3u);
  EXPECT_EQ(Writes().back(), "<R257>Same<R1>");
}

// A barcode joins the rotated print only when the rotation carried the barcode bit, a
// bitmap only when it carried the bitmap bit; otherwise each prints at once.
TEST_F(Buffered, BarcodesAndBitmapsJoinTheRotatedPrintByTheirBit) {
  auto barcode = [&] {
    return Call([&] { return so_->PrintBarCode(2, Bstr("4901"), 104, 10, 200, -2, -11); });
  };
  auto bitmap = [&] {
    return Call([&] { return so_->PrintBitmap(2, Bstr("logo.bmp"), -11, -1); });
  };
  ASSERT_EQ(Rotate(2, 0x1101), 0);
  ASSERT_EQ(barcode(), 0);
  ASSERT_EQ(bitmap(), 0);
  ASSERT_EQ(Rotate(2, 1), 0);
  EXPECT_EQ(Writes(), (Strings{"logo.bmp", "<R4353>4901<R1>"}));
  ASSERT_EQ(Rotate(2, 0x2102), 0);
  ASSERT_EQ(barcode(), 0);
  ASSERT_EQ(bitmap(), 0);
  ASSERT_EQ(Rotate(2, 1), 0);
  EXPECT_EQ(Writes(), (Strings{"logo.bmp", "<R4353>4901<R1>", "4901", "<R8450>logo.bmp<R1>"}));
}

// A failing execute phase that ends a buffer answers the sub-module's codes: the rotated
// print stays open for another try, the page is gone.
TEST_F(Buffered, AFailingEndAnswersTheSubModulesCodes) {
  ASSERT_EQ(SetNumber(kPidxPageModeStation, 2), 0);
  ASSERT_EQ(Rotate(2, 0x101), 0);
  ASSERT_EQ(PrintNormal(2, "Side\n"), 0);
  sub_.SetResult(RECSUB_EXECUTE_METHOD, PRN_METHOD_ROTATE_PRINT, OPOS_E_EXTENDED);
  sub_.SetExecuteExtended(PRN_METHOD_ROTATE_PRINT, 203);
  EXPECT_EQ(Rotate(2, 1), OPOS_E_EXTENDED);
  EXPECT_EQ(Number(kPidxResultCodeExtended), 203);
  EXPECT_TRUE(RotationOpen());
  sub_.SetResult(RECSUB_EXECUTE_METHOD, PRN_METHOD_ROTATE_PRINT, 0);
  ASSERT_EQ(Rotate(2, 1), 0);
  EXPECT_EQ(Writes(), (Strings{"<R257>Side<R1>"}));

  ASSERT_EQ(Page(kPageBegin), 0);
  ASSERT_EQ(PrintNormal(2, "Paged\n"), 0);
  sub_.SetResult(RECSUB_EXECUTE_METHOD, PRN_METHOD_PAGE_MODE_PRINT, OPOS_E_EXTENDED);
  sub_.SetExecuteExtended(PRN_METHOD_PAGE_MODE_PRINT, 207);
  for (long control : {kPagePrint, kPageNormal}) {
    SCOPED_TRACE(control);
    EXPECT_EQ(Page(control), OPOS_E_EXTENDED);
    EXPECT_EQ(Number(kPidxResultCodeExtended), 207);
  }
  EXPECT_FALSE(PageOpen());
  EXPECT_EQ(Writes().size(), 1u);
}

// ---- the capability and rotation-list checks --------------------------------------------

class RotationLists : public Buffered {
 protected:
  RotationLists() : Buffered("R90", "L90,180") {}
};

TEST_F(RotationLists, ARotationTheStationOrItsListsLackIsRefusedBeforeThePrePhase) {
  const struct {
    long station, rotation, expected;
  } rows[] = {
      {2, 0x1101, 0},   {2, 0x1102, 106}, {2, 0x1103, 106}, {2, 0x2101, 106},
      {2, 0x2102, 0},   {2, 0x2103, 0},   {2, 0x3101, 106}, {2, 0x3102, 106},
      {2, 0x3103, 106}, {2, 0x104, 106},  {2, 0x4101, 106}, {2, 0, 106},
      {1, 0x101, 106},  {4, 0x101, 0},    {4, 0x102, 106},  {4, 0x103, 106},
      {4, 0x1101, 106},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "RotatePrint(" << row.station << ", 0x" << std::hex
                                    << row.rotation << ")");
    const long pre = Calls(RECSUB_PRE_METHOD, PRN_METHOD_ROTATE_PRINT);
    EXPECT_EQ(Rotate(row.station, row.rotation), row.expected);
    EXPECT_EQ(Calls(RECSUB_PRE_METHOD, PRN_METHOD_ROTATE_PRINT) - pre, row.expected ? 0 : 1);
    if (row.station == 4) {
      EXPECT_FALSE(RotationOpen()) << "only the receipt keeps a rotated print";
    }
    ASSERT_EQ(Rotate(2, 1), 0);
  }
}

// ---- when no buffer can be made ---------------------------------------------------------

TEST_F(Buffered, ABufferThatCannotBeMadeOpensNoMode) {
  sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_CREATE_COMMAND_LIST, 1);
  ASSERT_EQ(SetNumber(kPidxPageModeStation, 2), 0);
  EXPECT_EQ(Transaction(2, kBegin), 0);
  EXPECT_FALSE(TransactionOpen(2));
  EXPECT_EQ(Rotate(2, 0x101), 106);
  EXPECT_EQ(Modes().rotatedPrint, 0);
  EXPECT_EQ(Page(kPageBegin), 0);
  EXPECT_FALSE(PageOpen());
  sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_CREATE_COMMAND_LIST, 0);
  ASSERT_EQ(PrintNormal(2, "Now\n"), 0);
  EXPECT_EQ(Writes(), (Strings{"Now"})) << "printed at once: nothing is collecting";
}

// A print whose tokens cannot join the open buffer (the move finds no memory) answers the
// failure; the buffer prints only what joined it.
TEST_F(Buffered, APrintThatCannotJoinItsBufferFails) {
  ASSERT_EQ(SetNumber(kPidxPageModeStation, 2), 0);
  const struct {
    const char* what;
    std::function<long()> open, close;
    const char* printed;
  } rows[] = {
      {"transaction", [&] { return Transaction(2, kBegin); }, [&] { return Transaction(2, kEnd); },
       "Kept"},
      {"page mode", [&] { return Page(kPageBegin); }, [&] { return Page(kPageNormal); },
       "<P1>Kept<P3>"},
      {"rotated print", [&] { return Rotate(2, 0x102); }, [&] { return Rotate(2, 1); },
       "<R258>Kept<R1>"},
  };
  for (const auto& row : rows) {
    const size_t written = Writes().size();
    ASSERT_EQ(row.open(), 0) << row.what;
    ASSERT_EQ(PrintNormal(2, "Kept\n"), 0) << row.what;
    sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_MOVE_COMMAND_TOKENS, OPOS_E_FAILURE);
    EXPECT_EQ(PrintNormal(2, "Lost\n"), OPOS_E_FAILURE) << row.what;
    sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_MOVE_COMMAND_TOKENS, 0);
    ASSERT_EQ(row.close(), 0) << row.what;
    const Strings writes = Writes();
    ASSERT_EQ(writes.size(), written + 1) << row.what;
    EXPECT_EQ(writes.back(), row.printed) << row.what;
  }
}

// A page that cannot join the open transaction when it ends answers the failure; the
// transaction prints without it.
TEST_F(Buffered, APageThatCannotJoinItsTransactionFails) {
  ASSERT_EQ(SetNumber(kPidxPageModeStation, 2), 0);
  ASSERT_EQ(Transaction(2, kBegin), 0);
  ASSERT_EQ(PrintNormal(2, "Head\n"), 0);
  ASSERT_EQ(Page(kPageBegin), 0);
  ASSERT_EQ(PrintNormal(2, "Page\n"), 0);
  sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_MOVE_COMMAND_TOKENS, OPOS_E_FAILURE);
  EXPECT_EQ(Page(kPageNormal), OPOS_E_FAILURE);
  sub_.SetResult(RECSUB_OTHER_METHOD, PRN_SERVICE_MOVE_COMMAND_TOKENS, 0);
  EXPECT_FALSE(PageOpen());
  ASSERT_EQ(Transaction(2, kEnd), 0);
  EXPECT_EQ(Writes(), (Strings{"Head"}));
}

// ---- page mode ---------------------------------------------------------------------------

TEST_F(Buffered, PageModeCollectsPrintsAndStaysOrEnds) {
  ASSERT_EQ(SetNumber(kPidxPageModeStation, 2), 0);
  EXPECT_EQ(Page(kPagePrint), 0) << "no page open: nothing to do";
  ASSERT_EQ(Page(kPageBegin), 0);
  ASSERT_EQ(PrintNormal(2, "Old\n"), 0);
  ASSERT_EQ(Page(kPageBegin), 0) << "a second begin drops the open page";
  ASSERT_EQ(PrintNormal(2, "New\n"), 0);
  EXPECT_TRUE(Writes().empty());
  ASSERT_EQ(Page(kPagePrint), 0);
  EXPECT_EQ(Writes(), (Strings{"<P1>New<P2>"}));
  EXPECT_TRUE(PageOpen()) << "print and stay";
  ASSERT_EQ(PrintNormal(2, "More\n"), 0);
  ASSERT_EQ(Page(kPageNormal), 0);
  EXPECT_EQ(Writes(), (Strings{"<P1>New<P2>", "<P1>NewMore<P3>"}));
  EXPECT_FALSE(PageOpen());
  EXPECT_EQ(Modes().pageMode, 0);

  // Cancel, and any control that is no other, drop the page.
  for (long control : {kPageCancel, 7L}) {
    SCOPED_TRACE(control);
    ASSERT_EQ(Page(kPageBegin), 0);
    ASSERT_EQ(PrintNormal(2, "Dropped\n"), 0);
    EXPECT_EQ(Page(control), 0);
    EXPECT_FALSE(PageOpen());
  }
  EXPECT_EQ(Writes().size(), 2u);
}

// Printed asynchronously, each closing buffer is one output with the next OutputID.
TEST_F(Buffered, ABufferPrintedAsynchronouslyGetsTheNextOutputId) {
  ASSERT_EQ(SetNumber(kPidxPageModeStation, 2), 0);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  const long first = Number(kPidxOutputId) + 1;
  ASSERT_EQ(Page(kPageBegin), 0);
  ASSERT_EQ(PrintNormal(2, "Page\n"), 0);
  ASSERT_EQ(Page(kPagePrint), 0);
  EXPECT_EQ(Number(kPidxOutputId), first);
  ASSERT_EQ(Page(kPageCancel), 0);
  ASSERT_EQ(Rotate(2, 0x102), 0);
  ASSERT_EQ(PrintNormal(2, "Side\n"), 0);
  ASSERT_EQ(Rotate(2, 1), 0);
  EXPECT_EQ(Number(kPidxOutputId), first + 1);
  ASSERT_TRUE(sotest::WaitUntil([&] { return Events(L"SOOutputComplete").size() == 2; }));
  EXPECT_EQ(Events(L"SOOutputComplete")[0].numbers, std::vector<long>{first});
  EXPECT_EQ(Events(L"SOOutputComplete")[1].numbers, std::vector<long>{first + 1});
  EXPECT_EQ(Writes(), (Strings{"<P1>Page<P2>", "<R258>Side<R1>"}));
}

TEST_F(Buffered, PageModeAndSidewaysPrintingExcludeEachOther) {
  ASSERT_EQ(SetNumber(kPidxPageModeStation, 2), 0);
  ASSERT_EQ(Page(kPageBegin), 0);
  EXPECT_EQ(Rotate(2, 0x101), 106);
  EXPECT_EQ(Transaction(2, kBegin), 0);
  EXPECT_FALSE(TransactionOpen(2)) << "no receipt transaction while a page is open";
  ASSERT_EQ(Page(kPageCancel), 0);
  for (long rotation : {0x101L, 0x103L}) {
    SCOPED_TRACE(rotation);
    ASSERT_EQ(Rotate(2, rotation), 0);
    EXPECT_EQ(Page(kPageBegin), 106);
    EXPECT_FALSE(PageOpen());
    ASSERT_EQ(Rotate(2, 1), 0);
  }
}

// ---- transactions ------------------------------------------------------------------------

// The rotated output joins the transaction that ends around it: one request in all.
TEST_F(Buffered, ATransactionEndingWithARotatedPrintOpenTakesItIn) {
  ASSERT_EQ(Transaction(2, kBegin), 0);
  ASSERT_EQ(PrintNormal(2, "Head\n"), 0);
  ASSERT_EQ(Rotate(2, 0x102), 0);
  ASSERT_EQ(PrintNormal(2, "Side\n"), 0);
  ASSERT_EQ(SetNumber(kPidxAsyncMode, 1), 0);
  const long before = Number(kPidxOutputId);
  ASSERT_EQ(Transaction(2, kEnd), 0);
  EXPECT_EQ(Number(kPidxOutputId), before + 1);
  ASSERT_TRUE(sotest::WaitUntil([&] { return Events(L"SOOutputComplete").size() == 1; }));
  EXPECT_EQ(Writes(), (Strings{"Head<R258>Side<R1>"}));
  EXPECT_FALSE(RotationOpen());
  EXPECT_EQ(Modes().rotatedPrint, 0);
  EXPECT_FALSE(TransactionOpen(2));
}

TEST_F(Buffered, EachStationKeepsItsTransactionAndABeginDropsTheOpenOne) {
  EXPECT_EQ(Transaction(1, kEnd), 0) << "none open";
  ASSERT_EQ(Transaction(1, kBegin), 0);
  ASSERT_EQ(PrintNormal(1, "Dropped\n"), 0);
  ASSERT_EQ(Transaction(1, kBegin), 0);
  ASSERT_EQ(PrintNormal(1, "Journal\n"), 0);
  ASSERT_EQ(PrintNormal(2, "Receipt\n"), 0);
  ASSERT_EQ(Transaction(1, kEnd), 0);
  EXPECT_EQ(Writes(), (Strings{"Receipt", "Journal"}));

  // A receipt transaction begins without the rotated print that was open.
  ASSERT_EQ(Rotate(2, 0x101), 0);
  ASSERT_EQ(PrintNormal(2, "Lost\n"), 0);
  ASSERT_EQ(Transaction(2, kBegin), 0);
  EXPECT_FALSE(RotationOpen());
  EXPECT_EQ(Modes().rotatedPrint, 0);
  ASSERT_EQ(PrintNormal(2, "Kept\n"), 0);
  ASSERT_EQ(Transaction(2, kEnd), 0);
  EXPECT_EQ(Writes(), (Strings{"Receipt", "Journal", "Kept"}));

  // Left open: Close drops them (and the fixture sees every list freed).
  ASSERT_EQ(Transaction(1, kBegin), 0);
  ASSERT_EQ(PrintNormal(1, "Open at Close\n"), 0);
  ASSERT_EQ(Transaction(2, kBegin), 0);
  ASSERT_EQ(Rotate(2, 0x102), 0);
  ASSERT_EQ(PrintNormal(2, "Open at Close\n"), 0);
}

// ---- ClearOutput -------------------------------------------------------------------------

TEST_F(Buffered, ClearOutputDropsEveryBufferAndEndsEveryMode) {
  ASSERT_EQ(SetNumber(kPidxPageModeStation, 2), 0);
  ASSERT_EQ(Transaction(1, kBegin), 0);
  ASSERT_EQ(PrintNormal(1, "Journal\n"), 0);
  ASSERT_EQ(Transaction(2, kBegin), 0);
  ASSERT_EQ(Rotate(2, 0x2102), 0);
  ASSERT_EQ(PrintNormal(2, "Sideways\n"), 0);
  ASSERT_EQ(Call([&] { return so_->ClearOutput(); }), 0);
  EXPECT_FALSE(TransactionOpen(1));
  EXPECT_FALSE(TransactionOpen(2));
  EXPECT_FALSE(RotationOpen());
  CRJDevice::CStationModes modes = Modes();
  EXPECT_EQ(modes.receiptTransaction + modes.journalTransaction + modes.rotatedPrint, 0);
  EXPECT_EQ(modes.bitmapDirectionLeft, 0);
  EXPECT_EQ(modes.bitmapsRotated90, 1) << "kept";
  EXPECT_EQ(CurrentRotation(), 1);

  ASSERT_EQ(Page(kPageBegin), 0);
  ASSERT_EQ(PrintNormal(2, "Paged\n"), 0);
  ASSERT_EQ(Call([&] { return so_->ClearOutput(); }), 0);
  EXPECT_FALSE(PageOpen());
  EXPECT_EQ(Modes().pageMode, 0);

  ASSERT_EQ(Rotate(2, 0x1103), 0);
  ASSERT_EQ(Call([&] { return so_->ClearOutput(); }), 0);
  EXPECT_EQ(Modes().upsideDown, 0);
  EXPECT_EQ(CurrentRotation(), 1);

  ASSERT_EQ(PrintNormal(2, "After\n"), 0);
  EXPECT_EQ(Writes(), (Strings{"After"})) << "nothing collected was printed";
}

}  // namespace
