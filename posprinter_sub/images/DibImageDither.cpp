// CDibImage: shrinking an image with GDI and the ordered dither that makes it 1 bit deep.
#include "DibImage.h"

#include "ScopedHandle.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace {

struct ScreenDCTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type dc) { ReleaseDC(nullptr, dc); }
};
struct MemoryDCTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type dc) { DeleteDC(dc); }
};
struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static void Close(Type object) { DeleteObject(object); }
};
using ScopedScreenDC = ScopedResource<ScreenDCTraits>;
using ScopedMemoryDC = ScopedResource<MemoryDCTraits>;
using ScopedGdiObject = ScopedResource<GdiObjectTraits>;

// Keeps an object selected into a DC for a scope, then puts the previous one back.
class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~ScopedSelection() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

constexpr long kHeaderSize = 40;

// The largest 1-bit image the ditherer builds (bytes of pixels): far beyond any paper, and
// small enough that a width asked for by mistake cannot exhaust the process.
constexpr uint64_t kMaxDitherBytes = 64u << 20;

long Stride(long width, long depth) {
  return static_cast<long>((static_cast<int64_t>(width) * depth + 31) / 32 * 4);
}

// 8 x 8 ordered-dither (Bayer) thresholds for brightness 0-63, indexed [x mod 8][y mod 8].
constexpr BYTE kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

// Brightness 0-63 of each pixel of one source row.
class RowReader {
 public:
  explicit RowReader(const BYTE* dib)
      : bits_(CDibImage::PixelBits(dib)),
        width_(CDibImage::GetWidth(dib)),
        depth_(reinterpret_cast<const BITMAPINFOHEADER*>(dib)->biBitCount),
        stride_(Stride(width_, depth_)) {
    // Indices past the colour table read as black.
    const long colors = CDibImage::NumColors(dib);
    const auto* table = reinterpret_cast<const RGBQUAD*>(dib + kHeaderSize);
    for (long i = 0; i < 256 && i < colors; ++i)
      palette_[i] = Brightness(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
  }

  // Fills out[0..width) with the brightness of storage row r.
  void Read(long r, BYTE* out) const {
    const BYTE* row = bits_ + static_cast<size_t>(r) * stride_;
    for (long c = 0; c < width_; ++c) {
      switch (depth_) {
        case 1: out[c] = palette_[(row[c / 8] >> (7 - c % 8)) & 1]; break;
        case 4: out[c] = palette_[(c % 2 == 0) ? row[c / 2] >> 4 : row[c / 2] & 0x0F]; break;
        case 8: out[c] = palette_[row[c]]; break;
        default: {
          const BYTE* p = row + 3 * c;  // blue, green, red
          out[c] = Brightness(p[2], p[1], p[0]);
        }
      }
    }
  }

 private:
  static BYTE Brightness(BYTE r, BYTE g, BYTE b) { return static_cast<BYTE>((r + g + b) / 12); }

  const BYTE* bits_;
  long width_;
  long depth_;
  long stride_;
  BYTE palette_[256] = {};
};

}  // namespace

BYTE* CDibImage::Dither(const BYTE* dib, long wt, long ht) {
  if (wt <= 0 || ht <= 0) return nullptr;
  const long stride = Stride(wt, 1);
  if (static_cast<uint64_t>(stride) * static_cast<uint64_t>(ht) > kMaxDitherBytes)
    return nullptr;
  const size_t total = kHeaderSize + 2 * sizeof(RGBQUAD) + static_cast<size_t>(stride) * ht;
  BYTE* out = new (std::nothrow) BYTE[total]();
  if (!out) return nullptr;
  auto* info = reinterpret_cast<BITMAPINFOHEADER*>(out);
  info->biSize = kHeaderSize;
  info->biWidth = wt;
  info->biHeight = ht;
  info->biPlanes = 1;
  info->biBitCount = 1;
  info->biCompression = BI_RGB;
  info->biSizeImage = static_cast<DWORD>(stride) * ht;
  info->biClrUsed = 2;
  auto* table = reinterpret_cast<RGBQUAD*>(out + kHeaderSize);
  table[1] = RGBQUAD{255, 255, 255, 0};  // index 0 black, 1 white
  BYTE* bits = out + kHeaderSize + 2 * sizeof(RGBQUAD);

  // Nearest neighbour: source row r covers target rows [ht*r/h, ht*(r+1)/h), and the same
  // for columns; every bit starts black and a pixel turns white by its threshold.
  const long w = GetWidth(dib);
  const long h = GetHeight(dib);
  const RowReader reader(dib);
  std::vector<BYTE> brightness(static_cast<size_t>(w));
  std::vector<long> firstColumn(static_cast<size_t>(w) + 1);
  for (long c = 0; c <= w; ++c)
    firstColumn[c] = static_cast<long>(static_cast<int64_t>(wt) * c / w);
  for (long r = 0; r < h; ++r) {
    const long y0 = static_cast<long>(static_cast<int64_t>(ht) * r / h);
    const long y1 = static_cast<long>(static_cast<int64_t>(ht) * (r + 1) / h);
    if (y0 == y1) continue;
    reader.Read(r, brightness.data());
    for (long y = y0; y < y1; ++y) {
      BYTE* row = bits + static_cast<size_t>(y) * stride;
      for (long c = 0; c < w; ++c) {
        const BYTE t = brightness[c];
        if (t == 0) continue;
        for (long x = firstColumn[c]; x < firstColumn[c + 1]; ++x)
          if (t >= kBayer[x % 8][y % 8]) row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
      }
    }
  }
  return out;
}

BYTE* CDibImage::StretchDown(const BYTE* dib, long width) {
  const long w = GetWidth(dib);
  const long h = GetHeight(dib);
  const long tw = (width + 7) / 8 * 8;
  // The height in proportion, rounded down to whole 8-dot rows; an image flatter than one
  // such row keeps a single row instead of vanishing.
  long th = static_cast<long>(tw * (static_cast<double>(h) / w)) / 8 * 8;
  if (th < 1) th = 1;

  ScopedScreenDC screen(GetDC(nullptr));
  if (!screen.valid()) return nullptr;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(dib);
  const long colors = NumColors(dib);
  ScopedGdiObject palette;
  if (colors > 0) {
    const long entries = colors < 256 ? colors : 256;
    std::vector<BYTE> block(sizeof(LOGPALETTE) + entries * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(block.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(entries);
    for (long i = 0; i < entries; ++i) {
      const RGBQUAD& q = info->bmiColors[i];
      logical->palPalEntry[i] = PALETTEENTRY{q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
    }
    palette.reset(CreatePalette(logical));
  }
  HPALETTE previousPalette = nullptr;
  if (palette.valid()) {
    previousPalette = SelectPalette(screen.get(), static_cast<HPALETTE>(palette.get()), FALSE);
    RealizePalette(screen.get());
  }

  BYTE* out = nullptr;
  ScopedGdiObject source(CreateDIBitmap(screen.get(), &info->bmiHeader, CBM_INIT,
                                        PixelBits(dib), info, DIB_RGB_COLORS));
  ScopedMemoryDC sourceDC(CreateCompatibleDC(screen.get()));
  ScopedMemoryDC targetDC(CreateCompatibleDC(screen.get()));
  ScopedGdiObject target(CreateCompatibleBitmap(screen.get(), tw, th));
  if (source.valid() && sourceDC.valid() && targetDC.valid() && target.valid()) {
    bool stretched;
    {
      ScopedSelection fromSelection(sourceDC.get(), source.get());
      ScopedSelection toSelection(targetDC.get(), target.get());
      stretched = StretchBlt(targetDC.get(), 0, 0, tw, th, sourceDC.get(), 0, 0, w, h,
                             SRCCOPY) != FALSE;
    }
    // GetDIBits wants the bitmap out of every DC, hence the closed scope above.
    BITMAP bm = {};
    if (stretched && GetObjectA(target.get(), sizeof bm, &bm)) {
      const long depth = bm.bmBitsPixel <= 1 ? 1 : bm.bmBitsPixel <= 4 ? 4
                         : bm.bmBitsPixel <= 8 ? 8 : 24;
      const long tableEntries = depth <= 8 ? (1L << depth) : 0;
      const size_t total = kHeaderSize + tableEntries * sizeof(RGBQUAD) +
                           static_cast<size_t>(Stride(tw, depth)) * th;
      out = new (std::nothrow) BYTE[total]();
      if (out) {
        auto* header = reinterpret_cast<BITMAPINFOHEADER*>(out);
        header->biSize = kHeaderSize;
        header->biWidth = tw;
        header->biHeight = th;
        header->biPlanes = 1;
        header->biBitCount = static_cast<WORD>(depth);
        header->biCompression = BI_RGB;
        header->biClrUsed = static_cast<DWORD>(tableEntries);
        BYTE* bits = out + kHeaderSize + tableEntries * sizeof(RGBQUAD);
        if (GetDIBits(screen.get(), static_cast<HBITMAP>(target.get()), 0,
                      static_cast<UINT>(th), bits, reinterpret_cast<BITMAPINFO*>(out),
                      DIB_RGB_COLORS) != th) {
          delete[] out;
          out = nullptr;
        } else {
          header->biClrUsed = static_cast<DWORD>(tableEntries);
        }
      }
    }
  }
  if (palette.valid()) SelectPalette(screen.get(), previousPalette, FALSE);
  return out;
}
