// PrintBitmap, PrintMemoryBitmap and SetBitmap: a BMP image (a file, or bytes in the method's
// data) becomes a 1-bit raster. The print methods return a list that prints it; SetBitmap
// stores it in the printer's memory during the call and returns no list.
#include "SubSO.h"

#include "DibImage.h"
#include "Log.h"
#include "RJCollection.h"
#include "RJDevice.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr long kWidthAsIs = -11;        // OPOS: print the image at its own width
constexpr long kTallestPrint = 4095;    // rows of a raster printed outside page mode
constexpr long kBmpType = 1;            // PrintMemoryBitmap Type: a BMP image
constexpr long kFirstBitmap = 1;
constexpr long kLastBitmap = 20;

bool IsAlignment(long alignment) { return alignment >= -3; }  // -1 left, -2 centre, -3 right
bool IsPrintWidth(long width) { return width == kWidthAsIs || width >= 1; }

// The room a printed bitmap has, in dots.
struct Room {
  long width;
  long height;
};

Room BitmapRoom(const CDataConverter& converter, const PrnInputProperty* input,
                const PrnStationState* state, long pitch) {
  if (state->bitmapsRotated90) return {pitch, input->recLineWidth};
  if (!state->pageMode) return {input->recLineWidth, kTallestPrint};
  std::string area[4];
  converter.SplitCommaList(input->pageModePrintArea, area, 4);
  const long areaWidth = std::strtol(area[2].c_str(), nullptr, 10);
  const long areaHeight = std::strtol(area[3].c_str(), nullptr, 10);
  const long across = areaWidth - input->pageModeHorizontalPosition;
  const long down = areaHeight - input->pageModeVerticalPosition;
  const long direction = input->pageModePrintDirection;
  if (direction == 1 || direction == 3) return {across, down};
  return {down, across};
}

// ResultCode of a failed image read: 109 nothing to read, 114/207 not a BMP, else 106.
long ReadFailure(int read, PrnPropertySnapshot* snapshot) {
  if (read == CDibImage::kReadNoFile) return OPOS_E_NOEXIST;
  if (read == CDibImage::kReadNotBmp) {
    if (snapshot) snapshot->resultCodeExtended = OPOS_EPTR_BADFORMAT;
    return OPOS_E_EXTENDED;
  }
  return OPOS_E_ILLEGAL;
}

// ResultCode of a refused raster: 114/206 too big, else 106.
long RasterFailure(long error, PrnPropertySnapshot* snapshot) {
  if (error == CDibImage::kRasterTooBig) {
    if (snapshot) snapshot->resultCodeExtended = OPOS_EPTR_TOOBIG;
    return OPOS_E_EXTENDED;
  }
  return OPOS_E_ILLEGAL;
}

struct DibDeleter {
  void operator()(BYTE* dib) const { CDibImage().Free(dib); }
};
using DibPtr = std::unique_ptr<BYTE[], DibDeleter>;

// An image file read at `width` through a readable BMP path (a temporary copy for BMP
// headers the reader does not take, removed again at once).
int ReadImageFile(CRJDevice* device, const char* fileName, long width, BYTE** dib) {
  const std::string path = device->SaveTempBitmap(fileName);
  const int read = CDibImage().ReadDIBFile(dib, path.c_str(), width);
  device->DeleteTempBitmap();
  return read;
}

}  // namespace

// ---- pre phase -----------------------------------------------------------------------------

long CSubSO::prePrintBitmap(long* args) {
  const auto* block = reinterpret_cast<PrnPrePrintBitmapArgs*>(args);
  if (block->station != PRN_STATION_RECEIPT || !IsAlignment(block->alignment) ||
      !IsPrintWidth(block->width))
    return OPOS_E_ILLEGAL;
  return OPOS_SUCCESS;
}

long CSubSO::prePrintMemoryBitmap(long* args) {
  const auto* block = reinterpret_cast<PrnPrePrintMemoryBitmapArgs*>(args);
  if (block->station != PRN_STATION_RECEIPT || block->type != kBmpType ||
      !IsAlignment(block->alignment) || !IsPrintWidth(block->width))
    return OPOS_E_ILLEGAL;
  return OPOS_SUCCESS;
}

long CSubSO::preSetBitmap(long* args) {
  const auto* block = reinterpret_cast<PrnPreSetBitmapArgs*>(args);
  if (block->bitmapNumber < kFirstBitmap || block->bitmapNumber > kLastBitmap ||
      block->station != PRN_STATION_RECEIPT || !IsAlignment(block->alignment))
    return OPOS_E_ILLEGAL;
  // Stored bitmaps are bounded by the line here; the print methods by their room later.
  if (block->width != kWidthAsIs &&
      (block->width < 1 || !block->record || block->width > block->record->recLineWidth))
    return OPOS_E_ILLEGAL;
  return OPOS_SUCCESS;
}

// ---- execute phase -------------------------------------------------------------------------

long CSubSO::printImage(const char* function, PrnInputProperty* record, PrnStationState* state,
                        const char* fileName, const BYTE* bytes, long length, long width,
                        long alignment, PrnTokenList** list, PrnPropertySnapshot* snapshot) {
  const Room room = BitmapRoom(m_converter, record, state, m_lPitch);
  long requested = 0;  // as is
  if (width != kWidthAsIs) {
    if (width > room.width) return OPOS_E_ILLEGAL;
    requested = width;
  }
  const CDibImage image;
  BYTE* raw = nullptr;
  int read;
  if (bytes)
    read = image.ReadDIBMemory(&raw, bytes, length, requested);
  else
    read = ReadImageFile(m_pDevice, fileName, requested, &raw);
  if (read != CDibImage::kReadOk) {
    char detail[16];
    std::snprintf(detail, sizeof detail, "%d", read);
    LogLine(LOG_CAT_ERROR, function, kTagInfo, "The bitmap cannot be read.", detail);
    return ReadFailure(read, snapshot);
  }
  const DibPtr dib(raw);
  long error = CDibImage::kRasterOk;
  std::unique_ptr<DibRaster, DibRasterDeleter> raster(
      image.MakeMonoRaster(dib.get(), alignment, room.width, room.height,
                           state->bitmapsRotated90, state->bitmapsRotated180, &error));
  if (!raster) {
    char detail[48];
    std::snprintf(detail, sizeof detail, "error = %ld, room = %ld x %ld", error, room.width,
                  room.height);
    LogLine(LOG_CAT_ERROR, function, kTagInfo, "The bitmap does not fit.", detail);
    return RasterFailure(error, snapshot);
  }
  PrnTokenList* built = m_pDevice->CreateTokenList(PRN_STATION_RECEIPT);
  if (!built) return OPOS_E_FAILURE;
  if (state->settingsChanged)
    m_pDevice->AddModeToken132(record->recLetterQuality, built, m_settings.PrintSpeed);
  m_pDevice->AddRawBitmapToken(record, raster.get(), built, alignment, m_lPitch, state);
  *list = built;
  return OPOS_SUCCESS;
}

long CSubSO::executePrintBitmap(long* args) {
  const auto* block = reinterpret_cast<PrnExecPrintBitmapArgs*>(args);
  if (!block->record || !block->stationState || !block->list || !m_pDevice)
    return OPOS_E_ILLEGAL;
  return printImage("CSubSO::executePrintBitmap", block->record, block->stationState,
                    block->fileName, nullptr, 0, block->width, block->alignment, block->list,
                    block->snapshot);
}

long CSubSO::executePrintMemoryBitmap(long* args) {
  const auto* block = reinterpret_cast<PrnExecPrintMemoryBitmapArgs*>(args);
  if (!block->record || !block->stationState || !block->list || !m_pDevice)
    return OPOS_E_ILLEGAL;
  unsigned char* decoded = nullptr;
  long length = 0;
  if (!m_converter.ConvertBinary(block->data ? block->data : "", &decoded, &length,
                                 block->record->binaryConversion))
    return OPOS_E_ILLEGAL;
  const std::unique_ptr<unsigned char[]> bytes(decoded);  // never NULL after success
  return printImage("CSubSO::executePrintMemoryBitmap", block->record, block->stationState,
                    nullptr, bytes.get(), length, block->width, block->alignment, block->list,
                    block->snapshot);
}

long CSubSO::executeSetBitmap(long* args) {
  const auto* block = reinterpret_cast<PrnExecSetBitmapArgs*>(args);
  if (!block->record || !m_pDevice) return OPOS_E_ILLEGAL;
  const long n = block->bitmapNumber;
  if (!block->fileName || !*block->fileName) {
    const long code = m_pDevice->RegisterBitmap(nullptr, n, block->alignment, SendTimeout());
    return MapErrorToSnapshot(code, block->snapshot);
  }
  const long requested = block->width == kWidthAsIs ? 0 : block->width;
  BYTE* raw = nullptr;
  const int read = ReadImageFile(m_pDevice, block->fileName, requested, &raw);
  if (read != CDibImage::kReadOk) {
    char detail[16];
    std::snprintf(detail, sizeof detail, "%d", read);
    LogLine(LOG_CAT_ERROR, "CSubSO::executeSetBitmap", kTagInfo,
            "The bitmap file cannot be read.", detail);
    return ReadFailure(read, block->snapshot);
  }
  const DibPtr dib(raw);
  long error = CDibImage::kRasterOk;
  DibRaster* raster = CDibImage().MakeNVRaster(
      dib.get(), block->alignment, block->record->recLineWidth, /*pageMode=*/0,
      /*turn180=*/0, &error, n == 1 ? CDibImage::kKindDownload : CDibImage::kKindNv);
  if (!raster) return RasterFailure(error, block->snapshot);
  const long code = m_pDevice->RegisterBitmap(raster, n, block->alignment, SendTimeout());
  return MapErrorToSnapshot(code, block->snapshot);
}
