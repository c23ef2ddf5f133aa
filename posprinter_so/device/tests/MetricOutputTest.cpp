// The bitmap, ruled-line and barcode methods in metric MapMode (hundredths of a millimetre)
// through the service object, against prennik.dll and the simulated printer at 203 dots per
// inch: each length reaches the printer as the dots it measures.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "BitmapTestSupport.h"
#include "OpenedDevice.h"

namespace {

constexpr char kDevice[] = "SoMetricDevice";
constexpr char kPrinter[] = "SoMetricPrinter";
constexpr long kPidxBinaryConversion = 11, kPidxMapMode = 8013, kMetric = 4;

using sotest::Bstr;

std::string Hex(const std::string& bytes) {
  std::string out;
  char two[4];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof two, "%02X ", c);
    out += two;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

// An 8 x 2 image: a dotted row over a black one.
const bitmaptest::Bytes kImage = bitmaptest::MonoBmp({"#.#.#.#.", "########"});
// 1.02 mm is 8 dots (floor 8.15): the image's own width, so it is printed unscaled. 2.54 mm
// is 20 dots (0x14) from the left.
constexpr long kWidth8Dots = 102, kAt20Dots = 254;
// ESC $ 20 0 (the position), GS v 0 of 1 byte x 2 rows: AA, FF.
constexpr char kRasterAt20[] = "1B 24 14 00 1D 76 30 00 01 00 02 00 AA FF";

class MetricOutput : public sotest::OpenedDevice {
 protected:
  MetricOutput() : OpenedDevice(kDevice, kPrinter) {}

  void SetUp() override {
    key_.SetString("ProcessCompletionTiming", "1");
    key_.SetString("ReceiveTimeout", "10000");
    key_.SetString("RCVC", "20");
    ASSERT_NO_FATAL_FAILURE(OpenedDevice::SetUp());
    ASSERT_EQ(SetNumber(kPidxMapMode, kMetric), 0);
    bitmaptest::UsePrivateTempFolder();
    file_ = bitmaptest::TempFile("metric.bmp");
    ASSERT_TRUE(bitmaptest::WriteBytes(file_, kImage));
  }
  void TearDown() override {
    DeleteFileA(file_.c_str());
    CloseWhenIdle(100);
  }

  std::string file_;
};

TEST_F(MetricOutput, EachLengthReachesThePrinterInDots) {
  const struct {
    const char* name;
    std::function<long(CPOSPrinter*)> call;
    std::vector<const char*> bytes;  // printed, as hex
  } rows[] = {
      {"PrintBitmap", [&](CPOSPrinter* so) {
         return so->PrintBitmap(2, Bstr(file_.c_str()), kWidth8Dots, kAt20Dots);
       }, {kRasterAt20}},
      {"PrintMemoryBitmap, BinaryConversion 1", [&](CPOSPrinter* so) {
         so->SetPropertyNumber(kPidxBinaryConversion, 1);
         const long result = so->PrintMemoryBitmap(
             2, Bstr(bitmaptest::Nibbles(kImage).c_str()), 1, kWidth8Dots, kAt20Dots);
         so->SetPropertyNumber(kPidxBinaryConversion, 0);
         return result;
       }, {kRasterAt20}},
      // 1.27 mm is 10 dots, 12.54 mm 100 (floor 100.2): the band from dot 10 to 109, 2 dots
      // high: DC3 L 10 109, DC3 p 2.
      {"DrawRuledLine", [](CPOSPrinter* so) {
         return so->DrawRuledLine(2, Bstr("127,1254"), 1, 2, 1, 1);
       }, {"13 4C 0A 00 6D 00 13 70 02 00"}},
      // 38.1 mm wide is 304 dots, 3 dots (GS w) for each of EAN-13's 95 modules; 10.16 mm
      // high is 81 dots (0x51, GS h); GS k follows the position.
      {"PrintBarCode", [](CPOSPrinter* so) {
         return so->PrintBarCode(2, Bstr("490123456789"), 104, 1016, 3810, kAt20Dots, -13);
       }, {"1D 77 03", "1D 68 51", "1B 24 14 00 1D 6B 02"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TbxSim_ClearWritten(kPrinter);
    ASSERT_EQ(Call([&] { return row.call(so_); }), 0);
    const std::string written = Hex(TbxSimWritten(kPrinter));
    for (const char* bytes : row.bytes)
      EXPECT_NE(written.find(bytes), std::string::npos) << bytes << " in " << written;
  }
}

// SetBitmap stores the image, unscaled, in the printer (GS * of one block of 8 x 8 dots);
// PrintNormal's ESC|1B prints it (GS /) at the stored position.
TEST_F(MetricOutput, SetBitmapStoresTheImageAtItsPosition) {
  ASSERT_EQ(Call([&] { return so_->SetBitmap(1, 2, Bstr(file_.c_str()), kWidth8Dots, kAt20Dots); }),
            0);
  std::string written = Hex(TbxSimWritten(kPrinter));
  EXPECT_NE(written.find("1D 2A 01 01 AA FF"), std::string::npos) << written;
  TbxSim_ClearWritten(kPrinter);
  ASSERT_EQ(Call([&] { return so_->PrintNormal(2, Bstr("\x1b|1B")); }), 0);
  written = Hex(TbxSimWritten(kPrinter));
  EXPECT_NE(written.find("1B 24 14 00 1D 2F 00"), std::string::npos) << written;
}

}  // namespace
