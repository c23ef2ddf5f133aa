// CDibImage: reading a BMP from a file or from memory, and the header fields of a packed DIB.
#include "DibImage.h"

#include "ScopedHandle.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

constexpr DWORD kFileHeaderSize = 14;  // BITMAPFILEHEADER
constexpr DWORD kInfoHeaderSize = 40;  // BITMAPINFOHEADER
constexpr DWORD kCoreHeaderSize = 12;  // BITMAPCOREHEADER

DWORD HeaderSize(const BYTE* dib) {
  DWORD size;
  std::memcpy(&size, dib, sizeof size);
  return size;
}

const BITMAPINFOHEADER* Info(const BYTE* dib) {
  return reinterpret_cast<const BITMAPINFOHEADER*>(dib);
}

const BITMAPCOREHEADER* Core(const BYTE* dib) {
  return reinterpret_cast<const BITMAPCOREHEADER*>(dib);
}

bool StartsWithBM(const BYTE* bytes) { return bytes[0] == 'B' && bytes[1] == 'M'; }

DWORD FileSizeField(const BYTE* fileHeader) {
  DWORD size;
  std::memcpy(&size, fileHeader + 2, sizeof size);  // bfSize
  return size;
}

long BitsPerPixel(const BYTE* dib) {
  return HeaderSize(dib) == kInfoHeaderSize ? Info(dib)->biBitCount : Core(dib)->bcBitCount;
}

}  // namespace

// ---- header fields -----------------------------------------------------------------------

long CDibImage::GetWidth(const BYTE* dib) {
  return HeaderSize(dib) == kInfoHeaderSize ? Info(dib)->biWidth : Core(dib)->bcWidth;
}

long CDibImage::GetHeight(const BYTE* dib) {
  return HeaderSize(dib) == kInfoHeaderSize ? Info(dib)->biHeight : Core(dib)->bcHeight;
}

long CDibImage::NumColors(const BYTE* dib) {
  if (HeaderSize(dib) == kInfoHeaderSize && Info(dib)->biClrUsed != 0)
    return static_cast<long>(Info(dib)->biClrUsed);
  switch (BitsPerPixel(dib)) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

long CDibImage::ColorTableSize(const BYTE* dib) {
  return NumColors(dib) * (HeaderSize(dib) == kInfoHeaderSize ? 4 : 3);
}

const BYTE* CDibImage::PixelBits(const BYTE* dib) {
  return dib + HeaderSize(dib) + ColorTableSize(dib);
}

// ---- readers -------------------------------------------------------------------------------

int CDibImage::Convert(BYTE* source, DWORD length, long width, BYTE** dib) {
  if (length < kInfoHeaderSize) return kReadNotBmp;
  if (HeaderSize(source) != kInfoHeaderSize) return kReadUnsupported;
  auto* info = reinterpret_cast<BITMAPINFOHEADER*>(source);
  const long depth = info->biBitCount;
  if (info->biCompression != BI_RGB) return kReadUnsupported;
  // The ditherer reads 1-, 4-, 8- and 24-bit pixels; 16 and 32 bits are not taken.
  if (depth != 1 && depth != 4 && depth != 8 && depth != 24) return kReadUnsupported;
  if (info->biClrUsed == 0 && depth != 24) info->biClrUsed = 1u << depth;
  const long w = info->biWidth;
  const long h = info->biHeight;
  if (w <= 0 || h <= 0) return kReadUnsupported;  // top-down rows are not taken either
  // The colour table and every row must lie inside the bytes the header announced.
  const uint64_t stride = (static_cast<uint64_t>(w) * depth + 31) / 32 * 4;
  const uint64_t need = kInfoHeaderSize + static_cast<uint64_t>(info->biClrUsed) * 4 +
                        stride * static_cast<uint64_t>(h);
  if (need > length) return kReadNotBmp;

  BYTE* result = nullptr;
  if (width > 0 && width < w) {
    BYTE* stretched = StretchDown(source, width);
    if (!stretched) return kReadUnsupported;
    result = Dither(stretched, GetWidth(stretched), GetHeight(stretched));
    delete[] stretched;
  } else if (width <= 0) {
    result = Dither(source, w, h);
  } else {
    result = Dither(source, width,
                    static_cast<long>(static_cast<int64_t>(h) * width / w));
  }
  if (!result) return kReadUnsupported;
  *dib = result;
  return kReadOk;
}

int CDibImage::ReadDIBFile(BYTE** dib, const char* fileName, long width) const {
  ScopedFile file(CreateFileA(fileName ? fileName : "", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return kReadNoFile;
  BYTE header[kFileHeaderSize];
  DWORD got = 0;
  if (!ReadFile(file.get(), header, sizeof header, &got, nullptr) || got < sizeof header ||
      !StartsWithBM(header))
    return kReadNotBmp;
  const DWORD bfSize = FileSizeField(header);
  DWORD sizeHigh = 0;
  const DWORD fileSize = GetFileSize(file.get(), &sizeHigh);
  // A header that claims more than the file holds is a short file: nothing is allocated
  // for the bytes that are not there.
  if (bfSize < kFileHeaderSize || (sizeHigh == 0 && bfSize > fileSize)) return kReadNotBmp;
  const DWORD length = bfSize - kFileHeaderSize;
  BYTE* source = new (std::nothrow) BYTE[length ? length : 1];
  if (!source) return kReadUnsupported;
  if (!ReadFile(file.get(), source, length, &got, nullptr) || got < length) {
    delete[] source;
    return kReadNotBmp;
  }
  file.reset();
  const int result = Convert(source, length, width, dib);
  delete[] source;
  return result;
}

int CDibImage::ReadDIBMemory(BYTE** dib, const BYTE* bytes, long length, long width) const {
  if (!bytes || length <= 0) return kReadNoFile;
  if (length < static_cast<long>(kFileHeaderSize) || !StartsWithBM(bytes)) return kReadNotBmp;
  const DWORD bfSize = FileSizeField(bytes);
  // Never read past the bytes given, whatever the header claims.
  if (bfSize < kFileHeaderSize || bfSize > static_cast<DWORD>(length)) return kReadNotBmp;
  const DWORD count = bfSize - kFileHeaderSize;
  BYTE* source = new (std::nothrow) BYTE[count ? count : 1];
  if (!source) return kReadUnsupported;
  std::memcpy(source, bytes + kFileHeaderSize, count);
  const int result = Convert(source, count, width, dib);
  delete[] source;
  return result;
}
