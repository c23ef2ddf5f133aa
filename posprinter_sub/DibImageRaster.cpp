// CDibImage: raster records from a 1-bit DIB, for GS v 0 printing and for the printer's
// bitmap memory.
#include "DibImage.h"

#include <cstdint>
#include <new>

namespace {

// Limits of the printer's bitmap memories, in dots and bytes.
struct KindLimits {
  long maxWidth;
  long maxHeight;
  long maxBytes;
};
constexpr KindLimits kDownloadLimits = {2040, 2040, 65524};  // GS * (x, y <= 255 units of 8)
constexpr KindLimits kNvLimits = {8184, 2304, 260096};       // GS 8 L NV graphics

long RoundUp8(long v) { return (v + 7) / 8 * 8; }

bool IsNamedAlignment(long alignment) { return alignment >= -3 && alignment <= -1; }

// A dot position that pushes an image of w dots past the line (w <= lineWidth already
// holds). Compared against the room left, as alignment + w wraps near the 32-bit limit.
bool OffLine(long alignment, long w, long lineWidth, long pageMode) {
  return !pageMode && !IsNamedAlignment(alignment) && alignment > lineWidth - w;
}

// The 1-bit DIBs this class makes: 40-byte header, 1 bit, positive size.
bool IsMonoDib(const BYTE* dib) {
  if (!dib) return false;
  const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
  return info->biSize == 40 && info->biBitCount == 1 && info->biCompression == BI_RGB &&
         info->biWidth > 0 && info->biHeight > 0;
}

// Copies the DIB into the raster: a pixel of value 0 becomes a set bit, bottom-up rows
// become top-down. Turned by 180 degrees, each row is read backwards and the rows from the
// bottom; `offset` is where the first dot of a row lands (the spare bits of a turned print
// raster come first).
void FillRaster(const BYTE* dib, DibRaster* raster, bool turn180, long offset) {
  const long w = CDibImage::GetWidth(dib);
  const long h = CDibImage::GetHeight(dib);
  const long stride = (w + 31) / 32 * 4;
  const BYTE* bits = CDibImage::PixelBits(dib);
  for (long y = 0; y < h; ++y) {
    const BYTE* source = bits + static_cast<size_t>(turn180 ? y : h - 1 - y) * stride;
    BYTE* target = raster->data + static_cast<size_t>(y) * raster->width;
    for (long x = 0; x < w; ++x) {
      const long c = turn180 ? w - 1 - x : x;
      if ((source[c / 8] & (0x80 >> (c % 8))) != 0) continue;  // 1 = white
      const long at = x + offset;
      target[at / 8] |= static_cast<BYTE>(0x80 >> (at % 8));
    }
  }
}

}  // namespace

void DibRasterDeleter::operator()(DibRaster* raster) const { CDibImage().FreeImage(raster); }

void CDibImage::FreeImage(DibRaster* raster) const {
  if (!raster) return;
  delete[] raster->data;
  delete raster;
}

DibRaster* CDibImage::NewRaster(long widthBytes, long rows, long height, long sizeRows) {
  auto* raster = new (std::nothrow) DibRaster{};
  if (!raster) return nullptr;
  raster->width = widthBytes;
  raster->height = height;
  raster->dataLength = widthBytes * rows;
  raster->size = widthBytes * sizeRows;
  raster->data = new (std::nothrow) BYTE[static_cast<size_t>(raster->dataLength)]();
  if (!raster->data) {
    delete raster;
    return nullptr;
  }
  return raster;
}

DibRaster* CDibImage::MakeNVRaster(const BYTE* dib, long alignment, long lineWidth,
                                   long pageMode, long turn180, long* error, long kind) const {
  long unused;
  if (!error) error = &unused;
  if (!IsMonoDib(dib)) {
    *error = kRasterBadImage;
    return nullptr;
  }
  const long w = RoundUp8(GetWidth(dib));
  const long h = RoundUp8(GetHeight(dib));
  const KindLimits& limits = kind == kKindDownload ? kDownloadLimits : kNvLimits;
  if (lineWidth < w || w > limits.maxWidth || h > limits.maxHeight ||
      static_cast<int64_t>(w) * h / 8 > limits.maxBytes) {
    *error = kRasterTooBig;
    return nullptr;
  }
  if (OffLine(alignment, w, lineWidth, pageMode)) {
    *error = kRasterOffLine;
    return nullptr;
  }
  DibRaster* raster = NewRaster(w / 8, GetHeight(dib), h, h);
  if (!raster) {
    *error = kRasterBadImage;
    return nullptr;
  }
  FillRaster(dib, raster, turn180 != 0, 0);
  *error = kRasterOk;
  return raster;
}

DibRaster* CDibImage::MakeMonoRaster(const BYTE* dib, long alignment, long lineWidth,
                                     long heightLimit, long pageMode, long turn180,
                                     long* error) const {
  long unused;
  if (!error) error = &unused;
  if (!IsMonoDib(dib)) {
    *error = kRasterBadImage;
    return nullptr;
  }
  const long dots = GetWidth(dib);
  const long w = RoundUp8(dots);
  const long h = GetHeight(dib);
  if (lineWidth < w || heightLimit < h) {
    *error = kRasterTooBig;
    return nullptr;
  }
  if (OffLine(alignment, w, lineWidth, pageMode)) {
    *error = kRasterOffLine;
    return nullptr;
  }
  DibRaster* raster = NewRaster(w / 8, h, h, RoundUp8(h));
  if (!raster) {
    *error = kRasterBadImage;
    return nullptr;
  }
  FillRaster(dib, raster, turn180 != 0, turn180 ? w - dots : 0);
  *error = kRasterOk;
  return raster;
}
