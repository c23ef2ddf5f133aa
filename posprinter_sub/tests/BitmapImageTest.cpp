// Image reading and 1-bit conversion: reader results, the ordered dither, scaling, raster
// records and their limits, and the GDI+ conversion into a temporary BMP.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "BitmapTestSupport.h"
#include "DibImage.h"
#include "GdiPlusDll.h"
#include "RJDevice.h"
#include "builder_support.h"

namespace bitmaptest {
namespace {

using buildertest::Hex;
using buildertest::ToHex;

// The 8 x 8 threshold matrix of the ordered dither, [x mod 8][y mod 8], as published.
constexpr int kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

const std::vector<RGBQUAD> kBlackWhite = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};

struct DibFree {
  void operator()(BYTE* dib) const { CDibImage().Free(dib); }
};
using Dib = std::unique_ptr<BYTE[], DibFree>;
using Raster = std::unique_ptr<DibRaster, DibRasterDeleter>;

Bytes DataOf(const DibRaster* raster) {
  return Bytes(raster->data, raster->data + raster->dataLength);
}

// A packed 1-bit DIB (no file header), every pixel index 0.
Bytes MonoDib(long width, long height) {
  const long stride = (width + 31) / 32 * 4;
  Bytes dib(40 + 8 + static_cast<size_t>(stride) * height, 0);
  auto* info = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
  info->biSize = 40;
  info->biWidth = width;
  info->biHeight = height;
  info->biPlanes = 1;
  info->biBitCount = 1;
  info->biClrUsed = 2;
  dib[40 + 4] = dib[40 + 5] = dib[40 + 6] = 255;
  return dib;
}

class ImageTest : public ::testing::Test {
 protected:
  void SetUp() override { UsePrivateTempFolder(); }

  Dib Read(const Bytes& bmp, long width, int expect = CDibImage::kReadOk) {
    BYTE* dib = nullptr;
    EXPECT_EQ(expect, image_.ReadDIBMemory(&dib, bmp.data(), static_cast<long>(bmp.size()), width));
    return Dib(dib);
  }
  Raster Mono(const Bytes& bmp, bool turn180 = false) {
    Dib dib = Read(bmp, 0);
    if (!dib) return nullptr;
    long error = -1;
    Raster raster(image_.MakeMonoRaster(dib.get(), -1, 576, 4095, 0, turn180, &error));
    EXPECT_EQ(CDibImage::kRasterOk, error);
    return raster;
  }

  CDibImage image_;
};

// ---- dither ------------------------------------------------------------------------------

TEST_F(ImageTest, GreyLevelsFollowTheThresholdMatrix) {
  struct {
    BYTE grey;
    int printed;  // of 64 dots
  } rows[] = {
      {255, 0},   // t = 63 whitens every position
      {0, 64},    // t = 0 stays black everywhere
      {128, 31},  // t = 32 whitens the 33 positions with a threshold of 0-32
      {4, 62},    // t = 1 whitens the positions with a threshold of 0 and 1
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.grey);
    const DWORD rgb = row.grey * 0x010101u;
    Raster raster = Mono(MakeBmp(8, 8, 24, {}, [&](long, long) { return rgb; }));
    ASSERT_TRUE(raster);
    int printed = 0;
    for (long y = 0; y < 8; ++y) {
      for (long x = 0; x < 8; ++x) {
        const bool dot = (raster->data[y] >> (7 - x)) & 1;
        printed += dot;
        // Thresholds count rows as the DIB stores them, bottom-up.
        const int t = row.grey * 3 / 12;
        const bool white = t != 0 && t >= kBayer[x][7 - y];
        EXPECT_EQ(!white, dot) << "x " << x << " y " << y;
      }
    }
    EXPECT_EQ(row.printed, printed);
  }
}

TEST_F(ImageTest, BrightnessNotIndexDecides) {
  // Palette entry 0 white, entry 1 black: the entry-1 pixels print.
  Raster raster = Mono(MakeBmp(8, 1, 1, {RGBQUAD{255, 255, 255, 0}, RGBQUAD{0, 0, 0, 0}},
                               [](long x, long) -> DWORD { return x % 2; }));
  ASSERT_TRUE(raster);
  EXPECT_EQ("55", ToHex(DataOf(raster.get())));
}

TEST_F(ImageTest, FourAndEightBitPalettesReadByBrightness) {
  std::vector<RGBQUAD> palette(16, RGBQUAD{255, 255, 255, 0});
  palette[3] = RGBQUAD{0, 0, 0, 0};
  // High nibble is the left pixel.
  Raster four = Mono(MakeBmp(8, 1, 4, palette, [](long x, long) -> DWORD { return x < 2 ? 3 : 1; }));
  ASSERT_TRUE(four);
  EXPECT_EQ("C0", ToHex(DataOf(four.get())));
  palette.resize(256, RGBQUAD{255, 255, 255, 0});
  palette[200] = RGBQUAD{0, 0, 0, 0};
  Raster eight =
      Mono(MakeBmp(8, 1, 8, palette, [](long x, long) -> DWORD { return x == 7 ? 200 : 0; }));
  ASSERT_TRUE(eight);
  EXPECT_EQ("01", ToHex(DataOf(eight.get())));
}

// ---- raster records ------------------------------------------------------------------------

TEST_F(ImageTest, MonoRastersOfSmallPatterns) {
  struct {
    const char* name;
    std::vector<std::string> rows;
    const char* data;
    long width, height, size;
  } rows[] = {
      {"8x2", {"#.#.#.#.", "########"}, "AA FF", 1, 2, 8},
      {"16x3", {"################", "#.......#.......", "........########"},
       "FF FF 80 80 00 FF", 2, 3, 16},
      {"10x1: spare bits at the end", {"##.......#"}, "C0 40", 2, 1, 16},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Raster raster = Mono(MonoBmp(row.rows));
    ASSERT_TRUE(raster);
    EXPECT_EQ(row.data, ToHex(DataOf(raster.get())));
    EXPECT_EQ(row.width, raster->width);
    EXPECT_EQ(row.height, raster->height);
    EXPECT_EQ(row.size, raster->size);
  }
}

TEST_F(ImageTest, TurnedRastersPutTheSpareBitsWhereTheyBelong) {
  const Bytes bmp = MonoBmp({"#.........", "##.......#"});
  Raster mono = Mono(bmp, /*turn180=*/true);
  ASSERT_TRUE(mono);
  // Print raster: the turned image ends at the right edge of 16 dots.
  EXPECT_EQ("02 03 00 01", ToHex(DataOf(mono.get())));

  Dib dib = Read(bmp, 0);
  long error = -1;
  Raster nv(image_.MakeNVRaster(dib.get(), -1, 576, 0, 1, &error, CDibImage::kKindNv));
  ASSERT_TRUE(nv);
  // Stored raster: the spare bits stay at the end; the height is rounded up to 8 rows.
  EXPECT_EQ("80 C0 00 40", ToHex(DataOf(nv.get())));
  EXPECT_EQ(8, nv->height);
  EXPECT_EQ(16, nv->size);
  EXPECT_EQ(4, nv->dataLength);
}

TEST_F(ImageTest, StoredRasterLimits) {
  struct {
    const char* name;
    long kind, width, height, lineWidth, alignment, pageMode, error;
  } rows[] = {
      {"download: 2040 x 256 is 65280 bytes", 1, 2040, 256, 2040, -1, 0, 0},
      {"download: wider than 2040", 1, 2048, 8, 4096, -1, 0, 1},
      {"download: 2041 rows round to 2048", 1, 8, 2041, 576, -1, 0, 1},
      {"download: over 65524 bytes", 1, 2040, 264, 2040, -1, 0, 1},
      {"NV: 8184 x 248", 2, 8184, 248, 8184, -1, 0, 0},
      {"NV: wider than 8184", 2, 8192, 8, 8192, -1, 0, 1},
      {"NV: 2304 rows", 2, 8, 2304, 576, -1, 0, 0},
      {"NV: 2305 rows", 2, 8, 2305, 576, -1, 0, 1},
      {"NV: over 260096 bytes", 2, 8184, 256, 8184, -1, 0, 1},
      {"wider than the line", 2, 577, 8, 576, -1, 0, 1},
      {"dot position off the line", 2, 200, 8, 576, 377, 0, 2},
      {"dot position up to the edge", 2, 200, 8, 576, 376, 0, 0},
      {"dot position near the 32-bit limit", 2, 200, 8, 576, 0x7FFFFF80, 0, 2},
      {"page mode does not check the position", 2, 200, 8, 576, 377, 1, 0},
      {"right alignment is no position", 1, 576, 8, 576, -3, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes dib = MonoDib(row.width, row.height);
    long error = -1;
    Raster raster(image_.MakeNVRaster(dib.data(), row.alignment, row.lineWidth, row.pageMode, 0,
                                      &error, row.kind));
    EXPECT_EQ(row.error, error);
    EXPECT_EQ(row.error == 0, raster != nullptr);
  }
}

TEST_F(ImageTest, PrintRasterLimits) {
  struct {
    const char* name;
    long width, height, lineWidth, heightLimit, alignment, error;
  } rows[] = {
      {"577 dots round to 584", 577, 8, 576, 4095, -1, 1},
      {"4096 rows", 8, 4096, 576, 4095, -1, 1},
      {"4095 rows", 8, 4095, 576, 4095, -1, 0},
      {"position 377 + 200", 200, 8, 576, 4095, 377, 2},
      {"position near the 32-bit limit", 200, 8, 576, 4095, 0x7FFFFF80, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes dib = MonoDib(row.width, row.height);
    long error = -1;
    Raster raster(image_.MakeMonoRaster(dib.data(), row.alignment, row.lineWidth,
                                        row.heightLimit, 0, 0, &error));
    EXPECT_EQ(row.error, error);
    if (raster) {
      EXPECT_EQ(row.height, raster->height);  // not rounded
    }
  }
}

// ---- readers -------------------------------------------------------------------------------

TEST_F(ImageTest, FileReaderResults) {
  const Bytes good = MonoBmp({"#.#.#.#."});
  Bytes truncated = good;
  truncated.pop_back();
  Bytes rle = MakeBmp(8, 1, 8, std::vector<RGBQUAD>(256), [](long, long) { return 0u; });
  rle[14 + 16] = 1;  // BI_RLE8
  Bytes core = good;
  core[14] = 12;  // a BITMAPCOREHEADER size
  struct {
    const char* name;
    Bytes bytes;
    int result;
  } rows[] = {
      {"a BMP", good, 0},
      {"not BM", Hex("89 50 4E 47 0D 0A 1A 0A 00 00 00 0D 49 48 44 52"), 2},
      {"shorter than the header says", truncated, 2},
      {"shorter than a file header", Hex("42 4D 10"), 2},
      {"compressed", rle, 3},
      {"16 bits", MakeBmp(2, 1, 16, {}, [](long, long) { return 0u; }), 3},
      {"108-byte header, 32 bits", MakeV4Bmp(2, 1, [](long, long) { return 0xFF000000u; }), 3},
      {"12-byte header", core, 3},
  };
  const std::string path = TempFile("reader.bmp");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(WriteBytes(path, row.bytes));
    BYTE* dib = reinterpret_cast<BYTE*>(1);
    EXPECT_EQ(row.result, image_.ReadDIBFile(&dib, path.c_str(), 0));
    if (row.result == 0) {
      image_.Free(dib);
    } else {
      EXPECT_EQ(reinterpret_cast<BYTE*>(1), dib);  // untouched on failure
    }
  }
  DeleteFileA(path.c_str());
  BYTE* dib = nullptr;
  EXPECT_EQ(1, image_.ReadDIBFile(&dib, TempFile("missing.bmp").c_str(), 0));
  EXPECT_EQ(1, image_.ReadDIBFile(&dib, nullptr, 0));
}

TEST_F(ImageTest, MemoryReaderStaysInsideItsBytes) {
  const Bytes good = MonoBmp({"#.#.#.#."});
  Bytes manyColours = good;
  manyColours[14 + 32] = 0xFF;  // biClrUsed: a colour table far beyond the data
  manyColours[14 + 33] = 0xFF;
  constexpr long kAll = 0x7FFFFFFF;
  struct {
    const char* name;
    Bytes bytes;
    long length;  // kAll: all of them
    int result;
  } rows[] = {
      {"a BMP", good, kAll, 0},
      {"no bytes", good, 0, 1},
      {"negative length", good, -5, 1},
      {"not BM", Hex("41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F"), kAll, 2},
      {"13 bytes", good, 13, 2},
      {"one byte short of bfSize", good, static_cast<long>(good.size()) - 1, 2},
      {"only the headers", good, 14 + 40, 2},
      {"colour table past the end", manyColours, kAll, 2},
      {"108-byte header", MakeV4Bmp(2, 1, [](long, long) { return 0u; }), kAll, 3},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const long length = row.length == kAll ? static_cast<long>(row.bytes.size()) : row.length;
    // An exact-size copy, so that a read past `length` would leave the allocation.
    std::unique_ptr<BYTE[]> copy(new BYTE[length > 0 ? length : 1]);
    if (length > 0) std::memcpy(copy.get(), row.bytes.data(), static_cast<size_t>(length));
    BYTE* dib = nullptr;
    EXPECT_EQ(row.result, image_.ReadDIBMemory(&dib, copy.get(), length, 0));
    image_.Free(dib);
  }
  BYTE* dib = nullptr;
  EXPECT_EQ(1, image_.ReadDIBMemory(&dib, nullptr, 10, 0));
}

TEST_F(ImageTest, RequestedWidthScales) {
  struct {
    const char* name;
    long width, height, requested, outWidth, outHeight;
  } rows[] = {
      {"as is", 200, 16, 0, 200, 16},
      {"-11 reads as is", 200, 16, -11, 200, 16},
      {"enlarged by the ditherer", 200, 16, 300, 300, 24},
      {"the same width", 200, 16, 200, 200, 16},
      {"shrunk: width rounded up to 8", 200, 16, 100, 104, 8},
      {"shrunk: height rounded down to 8", 200, 40, 100, 104, 16},
      {"shrunk flatter than 8 rows keeps a row", 200, 4, 100, 104, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Dib dib = Read(MakeBmp(row.width, row.height, 24, {}, [](long, long) { return 0u; }),
                   row.requested);
    ASSERT_TRUE(dib);
    EXPECT_EQ(row.outWidth, CDibImage::GetWidth(dib.get()));
    EXPECT_EQ(row.outHeight, CDibImage::GetHeight(dib.get()));
    EXPECT_EQ(1, reinterpret_cast<const BITMAPINFOHEADER*>(dib.get())->biBitCount);
  }
}

TEST_F(ImageTest, ShrinkingKeepsBlackAndWhite) {
  // Left half black, right half white, through the GDI stretch.
  Dib dib = Read(MakeBmp(64, 16, 8, kBlackWhite,
                         [](long x, long) -> DWORD { return x < 32 ? 0 : 1; }),
                 32);
  ASSERT_TRUE(dib);
  long error = -1;
  Raster raster(image_.MakeMonoRaster(dib.get(), -1, 576, 4095, 0, 0, &error));
  ASSERT_TRUE(raster);
  EXPECT_EQ(32 / 8, raster->width);
  for (long y = 0; y < raster->height; ++y)
    EXPECT_EQ("FF FF 00 00", ToHex(Bytes(raster->data + 4 * y, raster->data + 4 * y + 4)));
}

// ---- GDI+ conversion -----------------------------------------------------------------------

class TempBitmapTest : public ImageTest {
 protected:
  TempBitmapTest() : device_(nullptr, nullptr, &caps_) {}
  void TearDown() override {
    for (const std::string& name : TempBitmaps()) DeleteFileA(name.c_str());
  }
  PrnCapabilityBlock caps_{};
  CRJDevice device_;
};

TEST_F(TempBitmapTest, ReadableFilesAreUsedAsTheyAre) {
  const std::string bmp = TempFile("plain.bmp");
  const std::string text = TempFile("plain.txt");
  ASSERT_TRUE(WriteBytes(bmp, MonoBmp({"#......."})));
  ASSERT_TRUE(WriteBytes(text, Hex("48 65 6C 6C 6F")));
  EXPECT_EQ(bmp, device_.SaveTempBitmap(bmp.c_str()));
  EXPECT_EQ(text, device_.SaveTempBitmap(text.c_str()));
  const std::string missing = TempFile("missing.bmp");
  EXPECT_EQ(missing, device_.SaveTempBitmap(missing.c_str()));
  EXPECT_TRUE(TempBitmaps().empty());
  DeleteFileA(bmp.c_str());
  DeleteFileA(text.c_str());
}

TEST_F(TempBitmapTest, LongHeaderBmpBecomesATemporaryBmp) {
  const std::string source = TempFile("editor.bmp");
  // Opaque black in the first two columns, opaque white elsewhere.
  ASSERT_TRUE(WriteBytes(source, MakeV4Bmp(8, 2, [](long x, long) -> DWORD {
                           return x < 2 ? 0xFF000000u : 0xFFFFFFFFu;
                         })));
  const std::string temp = device_.SaveTempBitmap(source.c_str());
  ASSERT_NE(source, temp);
  const std::string folder = TempFile("");
  ASSERT_EQ(folder.size() + std::strlen("_kvr12345678.bmp"), temp.size()) << temp;
  EXPECT_EQ(folder + "_kvr", temp.substr(0, folder.size() + 4));
  EXPECT_EQ(temp.find_first_not_of("0123456789abcdef", folder.size() + 4), temp.size() - 4);

  const Bytes converted = ReadBytes(temp);
  ASSERT_GE(converted.size(), 54u);
  EXPECT_EQ(40, converted[14]);  // a BITMAPINFOHEADER
  EXPECT_EQ(24, converted[28]);  // 24 bits
  BYTE* raw = nullptr;
  ASSERT_EQ(0, image_.ReadDIBFile(&raw, temp.c_str(), 0));
  Dib dib(raw);
  long error = -1;
  Raster raster(image_.MakeMonoRaster(dib.get(), -1, 576, 4095, 0, 0, &error));
  ASSERT_TRUE(raster);
  EXPECT_EQ("C0 C0", ToHex(DataOf(raster.get())));

  device_.DeleteTempBitmap();
  EXPECT_FALSE(FileExists(temp));
  device_.DeleteTempBitmap();  // nothing left to delete
  EXPECT_TRUE(FileExists(source));
  DeleteFileA(source.c_str());
}

TEST_F(TempBitmapTest, AlphaIsDrawnOnWhite) {
  const std::string png = TempFile("alpha.png");
  const std::string bmp = TempFile("alpha.bmp");
  // Transparent, opaque black, half-transparent black, transparent "black".
  ASSERT_TRUE(WritePng(png, 8, 1, [](long x, long) -> DWORD {
    return x == 1 ? 0xFF000000u : x == 2 ? 0x80000000u : 0x00000000u;
  }));
  CGdiPlusDll gdiPlus;
  ASSERT_TRUE(gdiPlus.Started());
  ASSERT_EQ(1, gdiPlus.ConvertToBmp(bmp.c_str(), png.c_str()));
  const Bytes converted = ReadBytes(bmp);
  ASSERT_GE(converted.size(), 54u + 4);
  EXPECT_EQ(24, converted[28]);
  const unsigned char* pixels = converted.data() + 54;
  EXPECT_EQ("FF FF FF 00 00 00", ToHex(Bytes(pixels, pixels + 6)));
  EXPECT_NEAR(127, pixels[6], 2);  // half black on white
  EXPECT_EQ("FF FF FF", ToHex(Bytes(pixels + 9, pixels + 12)));
  EXPECT_EQ(-1, gdiPlus.ConvertToBmp(bmp.c_str(), TempFile("missing.png").c_str()));
  DeleteFileA(png.c_str());
  DeleteFileA(bmp.c_str());
}

}  // namespace
}  // namespace bitmaptest
