// Command builder: bitmaps. Image files that the reader cannot take become a temporary BMP
// through GDI+; SetBitmap's rasters are stored in the printer's memory (number 1 as the
// downloaded bit image, 2-20 as NV graphics) and printed by token 121; PrintBitmap's raster
// goes into the list as a GS v 0 token.
#include "RJDevice.h"

#include "CommPrinterDriver.h"
#include "GdiPlusDll.h"
#include "RJBytes.h"
#include "RJCollection.h"
#include "ScopedHandle.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

constexpr long kBitmapCount = 20;
// A downloaded bit image (number 1) holds at most 0xFFF4 bytes of dots.
constexpr long kMaxDownloadBytes = 0xFFF4;
// Printer memory taken beside the dots: the downloaded image's header, an NV graphic's.
constexpr long kDownloadOverhead = 12;
constexpr long kNvOverhead = 14;
// NV graphics are named by two key code bytes: (n + 31) and a space.
constexpr unsigned char kKeyCode2 = 0x20;

unsigned char KeyCode1(long n) { return static_cast<unsigned char>(n + 31); }

// The page-mode print area "x,y,dx,dy": dx for directions 1 and 3 (left-right, right-left),
// dy for 2 and 4. False for any other direction.
bool PageAreaWidth(const CDataConverter& converter, const PrnInputProperty* input,
                   long* width) {
  std::string fields[4];
  converter.SplitCommaList(input->pageModePrintArea, fields, 4);
  const long direction = input->pageModePrintDirection;
  if (direction == 1 || direction == 3) {
    *width = std::strtol(fields[2].c_str(), nullptr, 10);
    return true;
  }
  if (direction == 2 || direction == 4) {
    *width = std::strtol(fields[3].c_str(), nullptr, 10);
    return true;
  }
  return false;
}

// ESC $ n: absolute position in dots; a position left of the margin prints at it.
void PutPosition(RJBytes* bytes, long dots) {
  bytes->Put({RJ_ESC, '$'}).Word(dots < 0 ? 0 : dots);
}

// The bytes of a raster as GS v 0 0 xL xH yL yH d1...dk.
void PutRaster(RJBytes* bytes, const DibRaster* raster, long widthBytes) {
  bytes->Put({RJ_GS, 'v', '0', 0}).Word(widthBytes).Word(raster->height);
  bytes->Put(raster->data, static_cast<size_t>(widthBytes) * raster->height);
}

// Data bytes of a stored bitmap: the raster's rows, then zeros up to `count`.
void PutPadded(RJBytes* bytes, const DibRaster* raster, long count) {
  const long have = raster->dataLength < count ? raster->dataLength : count;
  bytes->Put(raster->data, static_cast<size_t>(have));
  bytes->Reserve(bytes->Size() + static_cast<size_t>(count - have));
  for (long i = have; i < count; ++i) bytes->Put(0);
}

}  // namespace

// ---- temporary BMP -----------------------------------------------------------------------

std::string CRJDevice::SaveTempBitmap(const char* fileName) {
  const std::string name = fileName ? fileName : "";
  {
    ScopedFile file(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return name;
    BYTE header[14 + 40];
    DWORD got = 0;
    if (!ReadFile(file.get(), header, sizeof header, &got, nullptr) || got < 14 + 4)
      return name;
    if (header[0] != 'B' || header[1] != 'M') return name;
    const DWORD headerSize = header[14] | header[15] << 8 | header[16] << 16 | header[17] << 24;
    if (headerSize == 40) return name;
  }

  char folder[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder) return name;
  // The name is reserved with CREATE_NEW: devices of this and other processes that convert
  // in the same second must not share a file.
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  char temp[MAX_PATH + 32];
  bool reserved = false;
  for (int attempt = 0; attempt < 16 && !reserved; ++attempt) {
    const unsigned value = (static_cast<unsigned>(std::rand()) << 16 ^
                            static_cast<unsigned>(std::rand())) ^
                           GetCurrentProcessId() << 8 ^ GetCurrentThreadId() ^ GetTickCount();
    std::snprintf(temp, sizeof temp, "%s_kvr%.8x.bmp", folder, value);
    ScopedFile file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY, nullptr));
    reserved = file.valid();
  }
  if (!reserved) {
    LogError("CRJDevice::SaveTempBitmap", __LINE__, "No temporary file name is free.", folder);
    return name;
  }

  CGdiPlusDll gdiPlus;
  const int result = gdiPlus.ConvertToBmp(temp, name.c_str());
  if (result < 1) {
    char detail[32];
    std::snprintf(detail, sizeof detail, "result = %d", result);
    LogError("CRJDevice::SaveTempBitmap", __LINE__, "The image could not be converted to BMP.",
             detail);
    DeleteFileA(temp);
    return name;
  }
  DeleteTempBitmap();
  m_tempBitmap = temp;
  LogInfo("CRJDevice::SaveTempBitmap", __LINE__, "Converted to a temporary BMP.", temp);
  return m_tempBitmap;
}

void CRJDevice::DeleteTempBitmap() {
  if (m_tempBitmap.empty()) return;
  DeleteFileA(m_tempBitmap.c_str());
  m_tempBitmap.clear();
}

// ---- bitmaps in the printer's memory -------------------------------------------------------

const DibRaster* CRJDevice::RegisteredBitmap(long n) const {
  return n >= 1 && n <= kBitmapCount ? m_bitmaps[n - 1].get() : nullptr;
}

long CRJDevice::RegisteredAlignment(long n) const {
  return n >= 1 && n <= kBitmapCount ? m_bitmapAlignment[n - 1] : 0;
}

long CRJDevice::DefragmentUserMemory(DWORD timeout) {
  static const unsigned char kBytes[] = {RJ_DC2, '*', '1', 0};
  return m_channel->WritePrinterData(FALSE, kBytes, sizeof kBytes, timeout);
}

// Room for `need` bytes when the NV memory alone has too little: only when defragmenting the
// user memory would free enough, defragment once and ask again.
long CRJDevice::EnsureBitmapMemory(long need, DWORD timeout) {
  DWORD user = 0, defragmented = 0;
  long code = m_channel->GetRemainUserMemoryCapData(&user);
  if (code == RJ_ERR_NONE) code = m_channel->GetRemainUserMemoryCapDefragData(&defragmented);
  if (code != RJ_ERR_NONE) return code;
  char detail[64];
  std::snprintf(detail, sizeof detail, "user = %lu, defragmented = %lu, need = %ld", user,
                defragmented, need);
  if (defragmented < user || defragmented - user < static_cast<DWORD>(need)) {
    LogError("CRJDevice::RegisterBitmap", __LINE__, "Printer memory is too small.", detail);
    return RJ_ERR_BITMAP_NO_MEMORY;
  }
  LogInfo("CRJDevice::RegisterBitmap", __LINE__, "Defragmenting user memory.", detail);
  code = DefragmentUserMemory(timeout);
  DWORD nv = 0;
  if (code == RJ_ERR_NONE) code = m_channel->GetRemainNVMemoryCapData(&nv);
  if (code != RJ_ERR_NONE) return code;
  if (nv < static_cast<DWORD>(need)) {
    std::snprintf(detail, sizeof detail, "nv = %lu, need = %ld", nv, need);
    LogError("CRJDevice::RegisterBitmap", __LINE__, "Printer memory is too small.", detail);
    return RJ_ERR_BITMAP_NO_MEMORY;
  }
  return RJ_ERR_NONE;
}

long CRJDevice::RegisterBitmap(DibRaster* raster, long n, long alignment, DWORD timeout) {
  std::unique_ptr<DibRaster, DibRasterDeleter> owned(raster);
  if (n < 1 || n > kBitmapCount) return RJ_ERR_FAILURE;
  const long index = n - 1;
  if (!owned) {
    m_bitmaps[index].reset();
    m_bitmapAlignment[index] = alignment;
    SetRegisteredBitmapSize(n, 0, 0);
    return StoreBitmapToPrinter(nullptr, index, timeout);
  }
  // Until the new image is in the printer, the number keeps the image the printer still
  // holds: a refusal here leaves both as they were.
  DWORD nv = 0;
  long code = m_channel->GetRemainNVMemoryCapData(&nv);
  if (code != RJ_ERR_NONE) return code;
  if (n == 1 && owned->size > kMaxDownloadBytes) return RJ_ERR_BITMAP_TOO_BIG;
  const long need = owned->size + (n == 1 ? kDownloadOverhead : kNvOverhead);
  if (nv < static_cast<DWORD>(need)) {
    code = EnsureBitmapMemory(need, timeout);
    if (code != RJ_ERR_NONE) return code;
  }
  code = StoreBitmapToPrinter(owned.get(), index, timeout);
  if (code != RJ_ERR_NONE) {
    // What the printer holds now is unknown: the number holds nothing.
    m_bitmaps[index].reset();
    SetRegisteredBitmapSize(n, 0, 0);
    return code;
  }
  SetRegisteredBitmapSize(n, owned->width, owned->height);
  m_bitmaps[index] = std::move(owned);
  m_bitmapAlignment[index] = alignment;
  return RJ_ERR_NONE;
}

long CRJDevice::StoreBitmapToPrinter(const DibRaster* raster, long index, DWORD timeout) {
  const long n = index + 1;
  RJBytes bytes;
  if (!raster) {
    if (n == 1)
      bytes.Put({RJ_GS, '*', 0, 0});  // an empty download image
    else
      bytes.Put({RJ_GS, '(', 'L', 4, 0, '0', 'B', KeyCode1(n), kKeyCode2});  // delete
  } else if (n == 1) {
    // GS * x y: x bytes wide, y x 8 dots high, each at most 255.
    const long x = raster->width;
    const long y = (raster->height + 7) / 8;
    if (x < 1 || x > 255 || y < 1 || y > 255) return RJ_ERR_BITMAP_TOO_BIG;
    bytes.Put({RJ_ESC, 'J', 0, RJ_DC2, 'I', 1, RJ_GS, '*', static_cast<unsigned char>(x),
               static_cast<unsigned char>(y)});
    PutPadded(&bytes, raster, x * y * 8);
  } else {
    // GS 8 L p1-p4 m fn a kc1 kc2 b xL xH yL yH c: p counts the 11 bytes from m to c and
    // the dots.
    const long count = raster->width * raster->height;
    const DWORD p = static_cast<DWORD>(count) + 11;
    bytes.Put({RJ_GS, '8', 'L', static_cast<unsigned char>(p), static_cast<unsigned char>(p >> 8),
               static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 24), '0',
               'C', '0', KeyCode1(n), kKeyCode2, 1});
    bytes.Word(raster->width * 8).Word(raster->height).Put('1');
    PutPadded(&bytes, raster, count);
  }
  return m_channel->WritePrinterData(FALSE, bytes.Data(), static_cast<DWORD>(bytes.Size()),
                                     timeout);
}

// ---- token 121: a registered bitmap --------------------------------------------------------

long CRJDevice::ESCBitmap(const PrnInputProperty* input, const PrnStationState*,
                          PrnCommandToken* token, RJConvState* cs) {
  const long n = token->parameter;
  const DibRaster* raster = RegisteredBitmap(n);
  if (!raster) {
    char detail[32];
    std::snprintf(detail, sizeof detail, "n = %ld", n);
    LogInfo("CRJDevice::ESCBitmap", __LINE__, "The bitmap is not registered.", detail);
    RJDropTokenData(token);
    return 0;
  }
  long room = input->recLineWidth;
  const long direction = input->pageModePrintDirection;
  if (cs->pageMode && !PageAreaWidth(m_converter, input, &room)) {
    LogInfo("CRJDevice::ESCBitmap", __LINE__, "m_PageModePrintDirection is an invalid value.");
    room = input->recLineWidth;
  }
  const long width = raster->width * 8;
  if (room < width) {
    RJDropTokenData(token);
    return 0;
  }
  RJBytes bytes;
  if (!cs->pageMode) bytes.Put({RJ_ESC, 'J', 0});
  if (!cs->rotatedPage && (!cs->pageMode || direction == 1 || direction == 3)) {
    const long alignment = m_bitmapAlignment[n - 1];
    if (alignment == -3)
      PutPosition(&bytes, room - width);
    else if (alignment == -2)
      PutPosition(&bytes, (room - width) / 2);
    else if (alignment != -1)
      PutPosition(&bytes, alignment);
  }
  if (n == 1)
    bytes.Put({RJ_GS, '/', 0});
  else
    bytes.Put({RJ_GS, '(', 'L', 6, 0, '0', 'E', KeyCode1(n), kKeyCode2, 1, 1});
  bytes.StoreInto(token);
  return 1;
}

// ---- token 150: a raster printed at once ---------------------------------------------------

void CRJDevice::AddRawBitmapToken(const PrnInputProperty* input, const DibRaster* raster,
                                  PrnTokenList* list, long alignment, long position,
                                  const PrnStationState* state) {
  if (!input || !raster || !list || raster->height <= 0) return;
  const long height = raster->height;
  const long widthBytes = raster->dataLength / height;
  const long width = widthBytes * 8;
  const bool pageMode = state && state->pageMode;
  long room = 0;
  if (pageMode) {
    if (!PageAreaWidth(m_converter, input, &room)) {
      LogInfo("CRJDevice::AddRawBitmapToken", __LINE__,
              "pInput->PageModePrintDirection is an invalid value.");
      room = 0;
    }
  } else {
    room = state && state->bitmapsRotated90 ? position : input->recLineWidth;
  }
  if (room < width) {
    LogError("CRJDevice::AddRawBitmapToken", __LINE__, "The bitmap is wider than the room.");
    return;
  }

  RJBytes bytes;
  bytes.Put({RJ_ESC, 'J', 0});
  if (pageMode) {
    PutRaster(&bytes, raster, widthBytes);
    bytes.Feed(height);
  } else {
    bytes.Put({RJ_ESC, 'a', 0});
    const long base = input->pageModeHorizontalPosition;
    const bool turned = state && state->bitmapsRotated180;
    // Turned by 180 degrees, the image's left edge is the paper's right.
    if (alignment == -2)
      PutPosition(&bytes, (room - base - width) / 2 + base);
    else if (alignment == (turned ? -1 : -3))
      PutPosition(&bytes, room - width);
    else if (alignment >= 0)
      PutPosition(&bytes, turned ? room + base - alignment - width : alignment + base);
    PutRaster(&bytes, raster, widthBytes);
    bytes.Put({RJ_ESC, '$', 0, 0});
  }
  AddToken900(list, /*atTail=*/false);
  if (PrnCommandToken* token = AddBytesToken(list, RJ_TOKEN_RASTER, width, &bytes, false))
    token->parameter2 = height;
  if (state && (state->rotatedPrint || state->pageMode))
    (void)AddBytesToken(list, RJ_TOKEN_LINE_FEED, -1, nullptr, /*atTail=*/false);
}
