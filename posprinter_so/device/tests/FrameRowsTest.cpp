// Rows of the method frame that only the core decides, against the recording sub-module
// (which accepts whatever it is given): Alignment and Width converted from metric units
// before the pre phase, and refused there when no position command can carry them; and
// the pending-output form of the busy rule.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "CommDevice.h"
#include "OposCodes.h"
#include "POSPrinter.h"
#include "RecordedServiceObject.h"
#include "TestBstr.h"

namespace {

using sotest::Bstr;

constexpr long kMetric = 4;  // hundredths of a millimetre
constexpr long kDotsPerInch = 203;

class FrameRows : public sotest::RecordedServiceObject {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(RecordedServiceObject::SetUp());
    ASSERT_NO_FATAL_FAILURE(BindSubModule("SoFrameRowsTest"));
    ASSERT_TRUE(so_->CreateHiddenWindow());
    CPropertyCache& p = so_->MutableProperties();
    p.Claimed = 1;
    p.DeviceEnabled = 1;
    p.Caps.capRecPresent = 1;
    p.Caps.capRecBarCode = 1;
    p.Caps.capRecBitmap = 1;
    p.Caps.capRecPapercut = 1;
    p.Caps.capTransaction = 1;
    so_->SetFixedPrinterParameters(99, 7, kDotsPerInch);
    so_->SetState(2);
  }
  void TearDown() override {
    so_->MutableProperties().Claimed = 0;
    so_->MutableProperties().DeviceEnabled = 0;
    so_->Channel()->ClearAllQueues();
    so_->DestroyHiddenWindow();
    RecordedServiceObject::TearDown();
  }

  // Word `index` of the last pre-phase block of this method.
  long PreWord(long methodId, long index) const {
    long word = -12345;
    for (const RecSubCall& call : sub_.Calls())
      if (call.exportId == RECSUB_PRE_METHOD && call.id == methodId) word = call.words[index];
    return word;
  }
};

// Print data reaches the sub-module as text of the process's ANSI code page (1252 in these
// runs) up to its first NUL, so bytes that are no such text need BinaryConversion.
TEST_F(FrameRows, PrintDataIsAnsiTextUpToItsFirstNul) {
  const struct {
    std::wstring data;
    std::string expected;
  } rows[] = {
      {L"Caf\u00e9", "Caf\xe9"},
      {L"\u20ac 5", "\x80 5"},
      {std::wstring(L"AB\0CD", 5), "AB"},
      {L"\u4e00", "?"},
  };
  for (const auto& row : rows) {
    BSTR data = SysAllocStringLen(row.data.data(), static_cast<UINT>(row.data.size()));
    EXPECT_EQ(so_->PrintNormal(2, data), 0);
    SysFreeString(data);
    std::string text;
    for (const RecSubCall& call : sub_.Calls()) {
      if (call.exportId == RECSUB_PRE_METHOD && call.id == PRN_METHOD_PRINT_NORMAL)
        text = call.texts[2];
    }
    EXPECT_EQ(text, row.expected);
  }
}

// The four methods with an Alignment: their method ID and the pre-block words of Width and
// Alignment.
struct AlignedMethod {
  const char* name;
  long methodId, widthWord, alignmentWord;
  std::function<long(CPOSPrinter*, long width, long alignment)> call;
};

std::vector<AlignedMethod> AlignedMethods() {
  return {
      {"PrintBarCode", PRN_METHOD_PRINT_BAR_CODE, 5, 6,
       [](CPOSPrinter* so, long w, long a) {
         return so->PrintBarCode(2, Bstr("4901"), 104, 1000, w, a, -11);
       }},
      {"PrintBitmap", PRN_METHOD_PRINT_BITMAP, 3, 4,
       [](CPOSPrinter* so, long w, long a) { return so->PrintBitmap(2, Bstr("a.bmp"), w, a); }},
      {"PrintMemoryBitmap", PRN_METHOD_PRINT_MEMORY_BITMAP, 4, 5,
       [](CPOSPrinter* so, long w, long a) {
         return so->PrintMemoryBitmap(2, Bstr("0102"), 1, w, a);
       }},
      {"SetBitmap", PRN_METHOD_SET_BITMAP, 4, 5,
       [](CPOSPrinter* so, long w, long a) { return so->SetBitmap(1, 2, Bstr("a.bmp"), w, a); }},
  };
}

TEST_F(FrameRows, MetricAlignmentIsConvertedThenCheckedAsDots) {
  so_->MutableProperties().MapMode = kMetric;
  const struct {
    long alignment;
    long expected;     // the answer
    long dots;         // the Alignment word of the pre phase, when it ran
    const char* why;
  } rows[] = {
      {-1, 0, -1, "left passes as it is"},
      {-2, 0, -2, "centre passes as it is"},
      {-3, 0, -3, "right passes as it is"},
      {100, 0, 7, "1 mm: floor(100 * 203 / 2540) = 7"},
      {820000, 0, 65535, "floor(65535.4): the last dot a position command carries"},
      {820013, 106, 0, "floor(65536.5): beyond 16 bits"},
      {0x7FFFFFF0, 106, 0, "far beyond 16 bits"},
      {-4, 106, 0, "no alignment code and no position"},
  };
  for (const AlignedMethod& method : AlignedMethods()) {
    for (const auto& row : rows) {
      SCOPED_TRACE(testing::Message() << method.name << " Alignment " << row.alignment << ": "
                                      << row.why);
      const long pre = Calls(RECSUB_PRE_METHOD, method.methodId);
      EXPECT_EQ(method.call(so_, 2540, row.alignment), row.expected);
      if (row.expected != 0) {
        EXPECT_EQ(Calls(RECSUB_PRE_METHOD, method.methodId), pre) << "refused before the pre phase";
        continue;
      }
      ASSERT_EQ(Calls(RECSUB_PRE_METHOD, method.methodId), pre + 1);
      EXPECT_EQ(PreWord(method.methodId, method.alignmentWord), row.dots);
      EXPECT_EQ(PreWord(method.methodId, method.widthWord), kDotsPerInch) << "Width 25.4 mm";
    }
  }
}

// State reads idle (a late idle notice) while asynchronous output is still queued: a
// synchronous call of the first two busy forms is refused by the output still pending,
// since its wait would hold the thread that has to answer that output. Here no thread takes
// the queued output, so a call let through would have its wait cleared with 111.
TEST_F(FrameRows, PendingOutputRefusesASynchronousCallWhileStateReadsIdle) {
  sub_.SetPrinting(1);
  so_->MutableProperties().AsyncMode = 1;
  ASSERT_EQ(so_->PrintNormal(2, Bstr("Queued\n")), 0);
  ASSERT_EQ(so_->Channel()->QueuedCount(OUTPUT_QUEUE_NORMAL), 1u);
  const struct {
    const char* name;
    long asyncMode;
    std::function<long()> call;
    long expected;
  } rows[] = {
      {"PrintNormal", 0, [&] { return so_->PrintNormal(2, Bstr("Sync\n")); }, OPOS_E_BUSY},
      {"CutPaper", 0, [&] { return so_->CutPaper(100); }, OPOS_E_BUSY},
      {"TransactionPrint", 0, [&] { return so_->TransactionPrint(2, 11); }, OPOS_E_BUSY},
      {"CheckHealth", 0, [&] { return so_->CheckHealth(1); }, OPOS_E_BUSY},
      {"PrintNormal asynchronous", 1, [&] { return so_->PrintNormal(2, Bstr("Async\n")); }, 0},
      {"CutPaper asynchronous", 1, [&] { return so_->CutPaper(100); }, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    so_->SetState(2);
    so_->MutableProperties().AsyncMode = row.asyncMode;
    const size_t queued = so_->Channel()->QueuedCount(OUTPUT_QUEUE_NORMAL);
    EXPECT_EQ(row.call(), row.expected);
    EXPECT_EQ(so_->Properties().ResultCodeExtended, 0);
    EXPECT_EQ(so_->Channel()->QueuedCount(OUTPUT_QUEUE_NORMAL), queued + (row.expected ? 0 : 1));
  }
  EXPECT_EQ(so_->Properties().State, 3) << "the last asynchronous output set busy";
}

}  // namespace
