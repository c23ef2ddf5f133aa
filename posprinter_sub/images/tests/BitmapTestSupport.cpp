#include "BitmapTestSupport.h"

#include <objidl.h>

#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GdiPlusDll.h"

namespace bitmaptest {
namespace {

void Put16(Bytes* b, unsigned v) {
  b->push_back(static_cast<unsigned char>(v));
  b->push_back(static_cast<unsigned char>(v >> 8));
}
void Put32(Bytes* b, DWORD v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

std::string TempFolder() {
  char folder[MAX_PATH];
  const DWORD n = GetTempPathA(sizeof folder, folder);
  return std::string(folder, n);
}

std::string ProgramName() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string name(path, n);
  const size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const size_t dot = name.find('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// The file header and the fields every info header starts with, up to biClrImportant.
Bytes Headers(DWORD headerSize, long width, long height, int depth, DWORD compression,
              DWORD colours, DWORD pixelBytes) {
  const DWORD offset = 14 + headerSize + colours * 4;
  Bytes b;
  b.push_back('B');
  b.push_back('M');
  Put32(&b, offset + pixelBytes);  // bfSize
  Put32(&b, 0);
  Put32(&b, offset);
  Put32(&b, headerSize);
  Put32(&b, static_cast<DWORD>(width));
  Put32(&b, static_cast<DWORD>(height));
  Put16(&b, 1);
  Put16(&b, static_cast<unsigned>(depth));
  Put32(&b, compression);
  Put32(&b, pixelBytes);
  Put32(&b, 2835);  // 72 dpi
  Put32(&b, 2835);
  Put32(&b, colours);
  Put32(&b, 0);
  return b;
}

}  // namespace

Bytes MakeBmp(long width, long height, int depth, const std::vector<RGBQUAD>& palette,
              const PixelFn& pixel) {
  const long stride = (width * depth + 31) / 32 * 4;
  Bytes b = Headers(40, width, height, depth, BI_RGB, static_cast<DWORD>(palette.size()),
                    static_cast<DWORD>(stride * height));
  for (const RGBQUAD& q : palette) {
    b.push_back(q.rgbBlue);
    b.push_back(q.rgbGreen);
    b.push_back(q.rgbRed);
    b.push_back(0);
  }
  for (long row = height - 1; row >= 0; --row) {  // bottom-up
    Bytes line(static_cast<size_t>(stride), 0);
    for (long x = 0; x < width; ++x) {
      const DWORD v = pixel(x, row);
      switch (depth) {
        case 1: line[x / 8] |= static_cast<unsigned char>((v & 1) << (7 - x % 8)); break;
        case 4: line[x / 2] |= static_cast<unsigned char>((v & 15) << (x % 2 ? 0 : 4)); break;
        case 8: line[x] = static_cast<unsigned char>(v); break;
        case 24:
          line[3 * x] = static_cast<unsigned char>(v);
          line[3 * x + 1] = static_cast<unsigned char>(v >> 8);
          line[3 * x + 2] = static_cast<unsigned char>(v >> 16);
          break;
        default: break;
      }
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  return b;
}

Bytes MonoBmp(const std::vector<std::string>& rows) {
  const long width = rows.empty() ? 0 : static_cast<long>(rows[0].size());
  return MakeBmp(width, static_cast<long>(rows.size()), 1,
                 {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}},
                 [&](long x, long y) -> DWORD { return rows[y][x] == '#' ? 0 : 1; });
}

Bytes MakeV4Bmp(long width, long height, const PixelFn& argb) {
  Bytes b = Headers(108, width, height, 32, BI_BITFIELDS, 0,
                    static_cast<DWORD>(4 * width * height));
  Put32(&b, 0x00FF0000);  // red, green, blue and alpha masks
  Put32(&b, 0x0000FF00);
  Put32(&b, 0x000000FF);
  Put32(&b, 0xFF000000);
  Put32(&b, 0x73524742);  // 'sRGB'
  for (int i = 0; i < 12; ++i) Put32(&b, 0);  // endpoints and gamma
  for (long row = height - 1; row >= 0; --row)
    for (long x = 0; x < width; ++x) Put32(&b, argb(x, row));
  return b;
}

bool WritePng(const std::string& path, long width, long height, const PixelFn& argb) {
  namespace gp = Gdiplus::DllExports;
  CGdiPlusDll gdiPlus;
  if (!gdiPlus.Started()) return false;
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (gp::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, &bitmap) !=
      Gdiplus::Ok)
    return false;
  for (long y = 0; y < height; ++y)
    for (long x = 0; x < width; ++x) gp::GdipBitmapSetPixel(bitmap, x, y, argb(x, y));
  CLSID png;
  bool saved = false;
  if (CGdiPlusDll::GetEncoderClsid(L"image/png", &png) >= 0) {
    std::wstring wide(path.begin(), path.end());
    saved = gp::GdipSaveImageToFile(bitmap, wide.c_str(), &png, nullptr) == Gdiplus::Ok;
  }
  gp::GdipDisposeImage(bitmap);
  return saved;
}

void UsePrivateTempFolder() {
  static bool done = false;
  if (done) return;
  done = true;
  const std::string folder = TempFolder() + "bmp_" + ProgramName() + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  SetEnvironmentVariableA("TMP", folder.c_str());
  SetEnvironmentVariableA("TEMP", folder.c_str());
}

std::string TempFile(const char* name) { return TempFolder() + name; }

bool WriteBytes(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

Bytes ReadBytes(const std::string& path) {
  Bytes bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  unsigned char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> TempBitmaps() {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((TempFolder() + "_kvr*.bmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(TempFolder() + found.cFileName);
  while (FindNextFileA(find, &found));
  FindClose(find);
  return names;
}

std::string Nibbles(const Bytes& bytes) {
  std::string text;
  for (unsigned char b : bytes) {
    text += static_cast<char>(0x30 + (b >> 4));
    text += static_cast<char>(0x30 + (b & 0x0F));
  }
  return text;
}

}  // namespace bitmaptest
