// PrintBitmap, PrintMemoryBitmap and SetBitmap through prennik.dll as the core calls them,
// against the simulated printer; a stored bitmap printed from PrintNormal's ESC|nB.
#include "DeviceFixture.h"

#include <algorithm>

#include "BitmapTestSupport.h"
#include "builder_support.h"

namespace devicetest {
namespace {

using bitmaptest::MakeBmp;
using bitmaptest::MonoBmp;
using bitmaptest::TempFile;
using bitmaptest::WriteBytes;

// A list pointer the sub-module must leave alone.
PrnTokenList* const kUntouched = reinterpret_cast<PrnTokenList*>(0x5A5A5A5A);

const char kPrinted8x2[] = "1B 4A 00 1B 61 00 1D 76 30 00 01 00 02 00 AA FF 1B 24 00 00";

bool Contains(const Bytes& bytes, const Bytes& part) {
  return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

// A white 24-bit image of width x height with a black first column.
Bytes Picture(long width, long height) {
  return MakeBmp(width, height, 24, {}, [](long x, long) -> DWORD { return x == 0 ? 0 : 0xFFFFFF; });
}

class BitmapMethods : public DeviceCycle {
 protected:
  void SetUp() override {
    DeviceCycle::SetUp();
    bitmaptest::UsePrivateTempFolder();
    SetSwitches(0x04, 0xC8, 0x04);  // as the settings want them: no switch writes
    ASSERT_EQ(OpenAndClaim(), 0);
    ASSERT_EQ(Enable(), 0);
    TbxSim_ClearWritten(kPrinter);
    rec_.input.recLineWidth = 576;
    file_ = TempFile("method.bmp");
  }
  void TearDown() override {
    DeleteFileA(file_.c_str());
    DeviceCycle::TearDown();
  }
  void Image(const Bytes& bmp) { ASSERT_TRUE(WriteBytes(file_, bmp)); }

  // Execute with the snapshot's extended code cleared first; *list starts as kUntouched.
  long PrintBitmap(long width, long alignment, PrnTokenList** list) {
    rec_.snapshot.resultCodeExtended = 0;
    *list = kUntouched;
    PrnExecPrintBitmapArgs block{&rec_.input, &rec_.station, PRN_STATION_RECEIPT,
                                 file_.c_str(), width, alignment, list, &rec_.snapshot};
    const long result = core_.Execute(PRN_METHOD_PRINT_BITMAP, &block);
    if (*list != kUntouched) core_.Track(*list);
    return result;
  }
  long PrintMemoryBitmap(const std::string& data, long width, PrnTokenList** list) {
    rec_.snapshot.resultCodeExtended = 0;
    *list = kUntouched;
    PrnExecPrintMemoryBitmapArgs block{&rec_.input, &rec_.station, PRN_STATION_RECEIPT,
                                       data.c_str(), 1, width, -1, list, &rec_.snapshot};
    const long result = core_.Execute(PRN_METHOD_PRINT_MEMORY_BITMAP, &block);
    if (*list != kUntouched) core_.Track(*list);
    return result;
  }
  long SetBitmap(long n, const char* fileName, long width, long alignment) {
    rec_.snapshot.resultCodeExtended = -1;
    PrnTokenList* list = kUntouched;
    PrnExecSetBitmapArgs block{&rec_.input, &rec_.station, n, PRN_STATION_RECEIPT, fileName,
                               width, alignment, &list, &rec_.snapshot};
    const long result = core_.Execute(PRN_METHOD_SET_BITMAP, &block);
    EXPECT_EQ(kUntouched, list) << "SetBitmap hands no list";
    EXPECT_EQ(result, rec_.snapshot.resultCode);
    return result;
  }
  // The bytes a list renders into (service 1010), handed back afterwards.
  Bytes Rendered(PrnTokenList* list) {
    PrnRequestDeviceDataArgs render{&rec_.input, &rec_.station, list, 2};
    EXPECT_EQ(core_.Other(PRN_SERVICE_REQUEST_DEVICE_DATA, &render), 0);
    const Bytes bytes = ListBytes(list);
    EXPECT_EQ(core_.HandBack(list), 0);
    return bytes;
  }

  std::string file_;
};

// ---- pre phase -----------------------------------------------------------------------------

TEST_F(BitmapMethods, PreChecks) {
  struct {
    const char* name;
    long method;
    long a, b, c, d, e;  // the method's words after the record, in its order
    long result;
  } rows[] = {
      // PrintBitmap: Station, FileName, Width, Alignment
      {"PrintBitmap", PRN_METHOD_PRINT_BITMAP, 2, 0, -11, -1, 0, 0},
      {"PrintBitmap journal", PRN_METHOD_PRINT_BITMAP, 1, 0, -11, -1, 0, 106},
      {"PrintBitmap alignment -4", PRN_METHOD_PRINT_BITMAP, 2, 0, -11, -4, 0, 106},
      {"PrintBitmap at dot 0", PRN_METHOD_PRINT_BITMAP, 2, 0, 100, 0, 0, 0},
      {"PrintBitmap width 0", PRN_METHOD_PRINT_BITMAP, 2, 0, 0, -1, 0, 106},
      {"PrintBitmap width -12", PRN_METHOD_PRINT_BITMAP, 2, 0, -12, -1, 0, 106},
      {"PrintBitmap width past the line", PRN_METHOD_PRINT_BITMAP, 2, 0, 577, -1, 0, 0},
      // PrintMemoryBitmap: Station, Data, Type, Width, Alignment
      {"PrintMemoryBitmap", PRN_METHOD_PRINT_MEMORY_BITMAP, 2, 0, 1, -11, -3, 0},
      {"PrintMemoryBitmap type 2", PRN_METHOD_PRINT_MEMORY_BITMAP, 2, 0, 2, -11, -3, 106},
      {"PrintMemoryBitmap type 3", PRN_METHOD_PRINT_MEMORY_BITMAP, 2, 0, 3, -11, -3, 106},
      {"PrintMemoryBitmap journal", PRN_METHOD_PRINT_MEMORY_BITMAP, 1, 0, 1, -11, -3, 106},
      {"PrintMemoryBitmap width 0", PRN_METHOD_PRINT_MEMORY_BITMAP, 2, 0, 1, 0, -3, 106},
      // SetBitmap: BitmapNumber, Station, FileName, Width, Alignment
      {"SetBitmap 1", PRN_METHOD_SET_BITMAP, 1, 2, 0, -11, -1, 0},
      {"SetBitmap 20", PRN_METHOD_SET_BITMAP, 20, 2, 0, -11, -1, 0},
      {"SetBitmap 0", PRN_METHOD_SET_BITMAP, 0, 2, 0, -11, -1, 106},
      {"SetBitmap 21", PRN_METHOD_SET_BITMAP, 21, 2, 0, -11, -1, 106},
      {"SetBitmap journal", PRN_METHOD_SET_BITMAP, 1, 1, 0, -11, -1, 106},
      {"SetBitmap alignment -4", PRN_METHOD_SET_BITMAP, 1, 2, 0, -11, -4, 106},
      {"SetBitmap width of the line", PRN_METHOD_SET_BITMAP, 1, 2, 0, 576, -1, 0},
      {"SetBitmap a dot wider", PRN_METHOD_SET_BITMAP, 1, 2, 0, 577, -1, 106},
      {"SetBitmap width 0", PRN_METHOD_SET_BITMAP, 1, 2, 0, 0, -1, 106},
      {"SetBitmap width -12", PRN_METHOD_SET_BITMAP, 1, 2, 0, -12, -1, 106},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    long rce = -1;
    long block[8] = {reinterpret_cast<long>(&rec_.input), row.a, row.b, row.c, row.d, row.e};
    const int words = row.method == PRN_METHOD_PRINT_BITMAP ? 6 : 7;
    block[words - 1] = reinterpret_cast<long>(&rce);
    EXPECT_EQ(row.result, core_.Pre(row.method, block));
    EXPECT_EQ(0, rce);
  }
}

// ---- PrintBitmap and PrintMemoryBitmap -----------------------------------------------------

TEST_F(BitmapMethods, FileAndMemoryPrintTheSameRaster) {
  const Bytes bmp = MonoBmp({"#.#.#.#.", "########"});
  Image(bmp);
  PrnTokenList* list = nullptr;
  ASSERT_EQ(0, PrintBitmap(-11, -1, &list));
  EXPECT_EQ(kPrinted8x2, Hex(Rendered(list)).substr(0, 59));

  rec_.input.binaryConversion = 1;
  ASSERT_EQ(0, PrintMemoryBitmap(bitmaptest::Nibbles(bmp), -11, &list));
  EXPECT_EQ(kPrinted8x2, Hex(Rendered(list)).substr(0, 59));
}

TEST_F(BitmapMethods, LetterQualityGoesFirst) {
  Image(MonoBmp({"#.#.#.#.", "########"}));
  rec_.station.settingsChanged = 1;
  rec_.input.recLetterQuality = 1;
  PrnTokenList* list = nullptr;
  ASSERT_EQ(0, PrintBitmap(-11, -1, &list));
  EXPECT_EQ(std::string("1D 73 01 ") + kPrinted8x2 + " ", Hex(Rendered(list)));
}

TEST_F(BitmapMethods, PrintFailures) {
  struct {
    const char* name;
    Bytes bmp;  // empty: no file
    long width, alignment;
    long result, extended;
  } rows[] = {
      {"no file", {}, -11, -1, 109, 0},
      {"not a BMP", buildertest::Hex("47 49 46 38 39 61 01 00 01 00 00 00 00 00 00"), -11, -1, 114, 207},
      {"16 bits", MakeBmp(2, 1, 16, {}, [](long, long) { return 0u; }), -11, -1, 106, 0},
      {"4096 rows", Picture(8, 4096), -11, -1, 114, 206},
      {"4095 rows", Picture(8, 4095), -11, -1, 0, 0},
      {"width past the line", Picture(8, 8), 577, -1, 106, 0},
      {"image wider than the line", Picture(577, 8), -11, -1, 114, 206},
      {"dot position pushes it off", Picture(16, 8), -11, 561, 106, 0},
      {"dot position up to the edge", Picture(16, 8), -11, 560, 0, 0},
      // position + width would wrap past the 32-bit limit
      {"dot position near the 32-bit limit", Picture(16, 8), -11, 0x7FFFFFF8, 106, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    DeleteFileA(file_.c_str());
    if (!row.bmp.empty()) Image(row.bmp);
    PrnTokenList* list = nullptr;
    EXPECT_EQ(row.result, PrintBitmap(row.width, row.alignment, &list));
    EXPECT_EQ(row.extended, rec_.snapshot.resultCodeExtended);
    EXPECT_EQ(row.result, rec_.snapshot.resultCode);
    if (row.result != 0) {
      EXPECT_EQ(kUntouched, list);
    } else if (list != kUntouched) {
      EXPECT_EQ(0, core_.HandBack(list));
    }
  }
}

TEST_F(BitmapMethods, PageModeRoom) {
  // Area 576 x 800 from (0,0), print position (100, 50).
  rec_.station.pageMode = 1;
  rec_.input.pageModePrintArea = "0,0,576,800";
  rec_.input.pageModeHorizontalPosition = 100;
  rec_.input.pageModeVerticalPosition = 50;
  Image(Picture(8, 1));
  // Width above the room: 106. Within it, the raster's width rounded up to whole bytes must
  // fit the room too (else 114/206).
  struct {
    long direction, width, result;
  } rows[] = {
      {1, 472, 0}, {1, 476, 114}, {1, 477, 106},  // across: 576 - 100
      {2, 744, 0}, {2, 750, 114}, {2, 751, 106},  // down: 800 - 50
      {3, 476, 114}, {3, 477, 106}, {4, 750, 114}, {4, 751, 106},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.direction << " " << row.width);
    rec_.input.pageModePrintDirection = row.direction;
    PrnTokenList* list = nullptr;
    EXPECT_EQ(row.result, PrintBitmap(row.width, -1, &list));
    if (list != kUntouched) {
      EXPECT_EQ(0, core_.HandBack(list));
    }
  }
  // Rows: direction 1 leaves 750 of them.
  rec_.input.pageModePrintDirection = 1;
  PrnTokenList* list = nullptr;
  Image(Picture(8, 750));
  ASSERT_EQ(0, PrintBitmap(-11, -1, &list));
  EXPECT_EQ(0, core_.HandBack(list));
  Image(Picture(8, 751));
  EXPECT_EQ(114, PrintBitmap(-11, -1, &list));
  EXPECT_EQ(206, rec_.snapshot.resultCodeExtended);
}

TEST_F(BitmapMethods, MemoryBitmapData) {
  const Bytes bmp = MonoBmp({"#.#.#.#.", "########"});
  const std::string nibbles = bitmaptest::Nibbles(bmp);
  struct {
    const char* name;
    long conversion;
    std::string data;
    long result, extended;
  } rows[] = {
      {"odd nibble count", 1, nibbles.substr(0, 9), 106, 0},
      {"no data", 1, "", 109, 0},
      {"shorter than a file header", 1, nibbles.substr(0, 20), 114, 207},
      {"shorter than bfSize", 1, nibbles.substr(0, nibbles.size() - 2), 114, 207},
      {"text up to its NUL", 0, "BM\x10", 114, 207},
      {"decimal digits", 2, "066077", 114, 207},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    rec_.input.binaryConversion = row.conversion;
    PrnTokenList* list = nullptr;
    EXPECT_EQ(row.result, PrintMemoryBitmap(row.data, -11, &list));
    EXPECT_EQ(row.extended, rec_.snapshot.resultCodeExtended);
    EXPECT_EQ(kUntouched, list);
  }
}

// ---- SetBitmap -----------------------------------------------------------------------------

TEST_F(BitmapMethods, StoredBitmapsPrintFromPrintNormal) {
  Image(Picture(200, 8));
  ASSERT_EQ(0, SetBitmap(2, file_.c_str(), -11, -2));
  EXPECT_EQ(0, rec_.snapshot.resultCodeExtended);
  // NV query, then GS 8 L of 25 x 8 bytes with key 21 20.
  const Bytes written = Written();
  EXPECT_TRUE(Contains(written, buildertest::Hex("1D 28 4C 02 00 30 03 1D 38 4C D3 00 00 00 30 43 "
                                                 "30 21 20 01 C8 00 08 00 31 80")))
      << Hex(written);
  Image(MonoBmp({"########"}));
  ASSERT_EQ(0, SetBitmap(1, file_.c_str(), -11, -1));
  EXPECT_TRUE(Contains(Written(), buildertest::Hex("1B 4A 00 12 49 01 1D 2A 01 01 FF")));

  const Bytes printed = BuildOutput(PRN_METHOD_PRINT_NORMAL, "\x1b|2B\x1b|1B\x1b|20B", -1);
  EXPECT_TRUE(Contains(printed, buildertest::Hex("1B 4A 00 1B 24 BC 00 1D 28 4C 06 00 30 45 21 20 "
                                                 "01 01 1B 4A 00 1D 2F 00")))
      << Hex(printed);
  EXPECT_FALSE(Contains(printed, buildertest::Hex("30 45 33 20"))) << "20 is not stored";
}

TEST_F(BitmapMethods, SetBitmapResults) {
  struct {
    const char* name;
    Bytes bmp;  // empty: no file
    long n, width, alignment;
    DWORD nvFree, userFree, userDefrag;
    long result, extended;
  } rows[] = {
      {"stored", Picture(64, 8), 3, -11, -1, 100000, 1000, 1000, 0, 0},
      {"memory too small even after defragmenting", Picture(64, 8), 3, -11, -1, 10, 1000, 1000,
       114, 1009},
      {"defragmenting makes room", Picture(64, 8), 3, -11, -1, 10, 1000, 2000, 0, 0},
      {"wider than the line", Picture(584, 8), 2, -11, -1, 100000, 1000, 1000, 114, 206},
      {"scaled to the line", Picture(584, 8), 2, 576, -1, 100000, 1000, 1000, 0, 0},
      {"taller than a downloaded image", Picture(8, 2041), 1, -11, -1, 100000, 1000, 1000, 114,
       206},
      {"dot position off the line", Picture(64, 8), 3, -11, 520, 100000, 1000, 1000, 106, -1},
      {"dot position near the 32-bit limit", Picture(64, 8), 3, -11, 0x7FFFFFFF, 100000, 1000,
       1000, 106, -1},
      {"no file", {}, 3, -11, -1, 100000, 1000, 1000, 109, -1},
      {"not a BMP", buildertest::Hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"), 3, -11, -1,
       100000, 1000, 1000, 114, 207},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    DeleteFileA(file_.c_str());
    if (!row.bmp.empty()) Image(row.bmp);
    TbxSim_SetMemory(kPrinter, row.nvFree, row.userFree, row.userDefrag);
    EXPECT_EQ(row.result, SetBitmap(row.n, file_.c_str(), row.width, row.alignment));
    EXPECT_EQ(row.extended, rec_.snapshot.resultCodeExtended);
  }
}

TEST_F(BitmapMethods, EmptyFileNameClearsTheNumber) {
  Image(Picture(200, 8));
  ASSERT_EQ(0, SetBitmap(2, file_.c_str(), -11, -2));
  TbxSim_ClearWritten(kPrinter);
  DeleteFileA(file_.c_str());  // no file is read
  EXPECT_EQ(0, SetBitmap(2, "", -11, -1));
  EXPECT_EQ(0, rec_.snapshot.resultCodeExtended);
  EXPECT_EQ("1D 28 4C 04 00 30 42 21 20 ", Hex(Written()));
  const Bytes printed = BuildOutput(PRN_METHOD_PRINT_NORMAL, "\x1b|2B", -1);
  EXPECT_FALSE(Contains(printed, buildertest::Hex("30 45 21 20"))) << Hex(printed);
}

TEST_F(BitmapMethods, OfflinePrinterAnswers107) {
  Image(Picture(64, 8));
  TbxSim_FailNext(kPrinter, "DirectIOEx", TBXQD_ERR_OFFLINE, 1);
  EXPECT_EQ(OPOS_E_NOHARDWARE, SetBitmap(3, file_.c_str(), -11, -1));
}

TEST_F(BitmapMethods, LongHeaderFilesAreConvertedAndTheCopyRemoved) {
  Image(bitmaptest::MakeV4Bmp(16, 8, [](long x, long) -> DWORD {
    return x < 8 ? 0xFF000000u : 0xFFFFFFFFu;
  }));
  ASSERT_EQ(0, SetBitmap(5, file_.c_str(), -11, -1));
  EXPECT_TRUE(Contains(Written(), buildertest::Hex("01 10 00 08 00 31 FF 00 FF 00")));
  PrnTokenList* list = nullptr;
  ASSERT_EQ(0, PrintBitmap(-11, -1, &list));
  ASSERT_NE(kUntouched, list);
  EXPECT_EQ(0, core_.HandBack(list));
  EXPECT_TRUE(bitmaptest::TempBitmaps().empty());
}

}  // namespace
}  // namespace devicetest
