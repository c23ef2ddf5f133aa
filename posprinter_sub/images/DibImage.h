// CDibImage: turns a BMP image (a file or bytes in memory) into a packed 1-bit DIB at the
// width a bitmap method asks for, and a 1-bit DIB into the raster records that print it or
// store it in the printer. Stateless.
//
// Files: DibImage.cpp (reading and header helpers), DibImageDither.cpp (scaling and the
// ordered dither to 1 bit), DibImageRaster.cpp (raster records).
//
// A packed DIB here is one new[] block: a BITMAPINFOHEADER (or a 12-byte core header), the
// colour table, then the rows bottom-up, each padded to a multiple of 4 bytes.
#pragma once
#include "Win.h"

// One image as the printer takes it: rows top to bottom, `width` bytes each, bit 7 of a
// byte the leftmost dot, a set bit a printed dot. Freed with CDibImage::FreeImage.
struct DibRaster {
  long width;          // bytes per row (dots / 8, rounded up)
  long height;         // rows (MakeNVRaster: rounded up to a multiple of 8)
  unsigned char* data;
  long dataLength;     // bytes in data: source rows x width
  long size;           // width x height rounded up to a multiple of 8
};

struct DibRasterDeleter {
  void operator()(DibRaster* raster) const;
};

class CDibImage {
 public:
  // Results of the readers.
  enum ReadResult : int {
    kReadOk = 0,
    kReadNoFile = 1,       // the file cannot be opened; no data
    kReadNotBmp = 2,       // no "BM", or fewer bytes than the header announces
    kReadUnsupported = 3,  // compressed, not 1/4/8/24 bits, header not 40 bytes, no memory
  };
  // Errors of the raster builders.
  enum RasterError : long {
    kRasterOk = 0,
    kRasterTooBig = 1,     // wider than the room, or beyond the printer's limits
    kRasterOffLine = 2,    // a dot-position alignment pushes the image off the line
    kRasterBadImage = 3,   // not a 1-bit DIB of this class, or no memory
  };
  // Bitmap kinds of the printer's memory: 1 the downloaded image, 2 NV graphics.
  enum : long { kKindDownload = 1, kKindNv = 2 };

  // Reads a BMP into a new 1-bit DIB. width > 0 and below the image's width: stretched
  // down first (GDI); width <= 0: the image's own size; width at or above the image's
  // width: enlarged by the ditherer to that width. *dib is untouched on failure.
  [[nodiscard]] int ReadDIBFile(BYTE** dib, const char* fileName, long width) const;
  [[nodiscard]] int ReadDIBMemory(BYTE** dib, const BYTE* bytes, long length, long width) const;
  void Free(BYTE* dib) const { delete[] dib; }

  // Header fields of a packed DIB (40-byte header, else the 12-byte core header).
  static long GetWidth(const BYTE* dib);
  static long GetHeight(const BYTE* dib);
  static long NumColors(const BYTE* dib);
  static long ColorTableSize(const BYTE* dib);
  static const BYTE* PixelBits(const BYTE* dib);

  // Raster for GS v 0 (PrintBitmap, PrintMemoryBitmap): its height is the image's own.
  // NULL with *error set when the image does not fit.
  [[nodiscard]] DibRaster* MakeMonoRaster(const BYTE* dib, long alignment, long lineWidth,
                                          long heightLimit, long pageMode, long turn180,
                                          long* error) const;
  // Raster for the printer's memory (SetBitmap), height rounded up to 8, within the limits
  // of the kind.
  [[nodiscard]] DibRaster* MakeNVRaster(const BYTE* dib, long alignment, long lineWidth,
                                        long pageMode, long turn180, long* error,
                                        long kind) const;
  void FreeImage(DibRaster* raster) const;

 private:
  // Steps common to both readers: checks the header of the `length` bytes after the file
  // header, then scales and dithers them into *dib.
  [[nodiscard]] static int Convert(BYTE* source, DWORD length, long width, BYTE** dib);
  // GDI stretch to `width` rounded up to 8 (and the height in proportion); NULL on failure.
  [[nodiscard]] static BYTE* StretchDown(const BYTE* dib, long width);
  // Ordered dither into a new 1-bit DIB of wt x ht; NULL when memory runs out.
  [[nodiscard]] static BYTE* Dither(const BYTE* dib, long wt, long ht);
  [[nodiscard]] static DibRaster* NewRaster(long widthBytes, long rows, long height,
                                            long sizeRows);
};
