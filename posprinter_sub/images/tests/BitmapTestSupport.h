// BMP images made at test time for the bitmap tests, written into a temporary folder of the
// test program's own.
#pragma once
#include "Win.h"

#include <functional>
#include <string>
#include <vector>

namespace bitmaptest {

using Bytes = std::vector<unsigned char>;

// Pixel of column x, row y (0 = top): a palette index for 1-, 4- and 8-bit images,
// 0xRRGGBB for 24-bit and 0xAARRGGBB for 32-bit images.
using PixelFn = std::function<DWORD(long x, long y)>;

// A BMP file with a 40-byte header, rows bottom-up and padded to 4 bytes.
Bytes MakeBmp(long width, long height, int depth, const std::vector<RGBQUAD>& palette,
              const PixelFn& pixel);
// 1-bit image, palette 0 black and 1 white; `rows` top first, '#' black, anything else white.
Bytes MonoBmp(const std::vector<std::string>& rows);
// 32-bit image with the 108-byte header and alpha mask of image editors.
Bytes MakeV4Bmp(long width, long height, const PixelFn& argb);
// A 32-bit PNG with alpha, written by GDI+ (started for the call).
bool WritePng(const std::string& path, long width, long height, const PixelFn& argb);

// Points TMP and TEMP of this process at a folder of the test program's own (made once), so
// that temporary files of parallel test programs never meet.
void UsePrivateTempFolder();
// "<temp folder><name>".
std::string TempFile(const char* name);
bool WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
// The "_kvr*.bmp" files now in the temporary folder.
std::vector<std::string> TempBitmaps();

// BinaryConversion 1 text: each byte as 0x30 + high nibble, 0x30 + low nibble.
std::string Nibbles(const Bytes& bytes);

}  // namespace bitmaptest
