// PrintBarCode: validation, the map from OPOS codes to the builder's codes, the room the
// symbol has, and the tokens, for the method itself and for a barcode escape sequence
// inside print data (flag word 1).
#include "SubSO.h"

#include "CommandToken.h"
#include "Log.h"
#include "RJBarCode.h"
#include "RJDevice.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

// OPOS symbology (UnifiedPOS PTR_BCS_*, and the maker's range from 501) -> internal symbol
// type; `accepted` says whether the pre phase lets it through.
struct SymbologyRow {
  long opos;
  long type;
  bool accepted;
};
constexpr SymbologyRow kSymbologies[] = {
    {101, RJ_BC_UPCA, true},                    // UPC-A
    {102, RJ_BC_UPCE, true},                    // UPC-E
    {103, RJ_BC_EAN8, true},                    // EAN-8 (JAN-8)
    {104, RJ_BC_EAN13, true},                   // EAN-13 (JAN-13)
    {106, RJ_BC_ITF, true},                     // interleaved 2 of 5
    {107, RJ_BC_CODABAR, true},
    {108, RJ_BC_CODE39, true},
    {109, RJ_BC_CODE93, true},
    {110, RJ_BC_CODE128, true},
    {119, RJ_BC_EAN13_ADDON, true},             // EAN-13 with a 2- or 5-digit add-on
    {123, RJ_BC_CODE128_PARSED, true},
    {131, RJ_BC_DATABAR, true},
    {132, RJ_BC_DATABAR_EXPANDED, true},
    {133, RJ_BC_DATABAR_STACKED_OMNI, true},
    {134, RJ_BC_DATABAR_EXPANDED_STACKED, true},
    {201, RJ_BC_PDF417, true},
    {204, RJ_BC_QRCODE, true},
    {206, RJ_BC_AZTEC, false},                  // the printer's Aztec is not offered
    {507, RJ_BC_DATABAR_LIMITED, true},
    {508, RJ_BC_DATABAR_STACKED, true},
    {511, RJ_BC_DATABAR_TRUNCATED, true},
};

const SymbologyRow* FindSymbology(long opos) {
  for (const SymbologyRow& row : kSymbologies)
    if (row.opos == opos) return &row;
  return nullptr;
}

// OPOS PTR_BC_LEFT/CENTER/RIGHT -> alignment codes; dot positions pass unchanged.
long AlignmentCode(long opos) {
  switch (opos) {
    case -1: return RJ_BC_ALIGN_LEFT;
    case -2: return RJ_BC_ALIGN_CENTER;
    case -3: return RJ_BC_ALIGN_RIGHT;
    default: return opos;
  }
}

// OPOS PTR_BC_TEXT_NONE/ABOVE/BELOW -> HRI position codes; 0 for any other value.
long HriCode(long opos) {
  switch (opos) {
    case -11: return RJ_BC_HRI_NONE;
    case -12: return RJ_BC_HRI_ABOVE;
    case -13: return RJ_BC_HRI_BELOW;
    default: return 0;
  }
}

// OPOS rotation -> rotation code.
long RotationCode(long opos) {
  switch (opos) {
    case 257: return RJ_BC_ROTATE_RIGHT;
    case 258: return RJ_BC_ROTATE_LEFT;
    case 259: return RJ_BC_ROTATE_180;
    default: return RJ_BC_ROTATE_NORMAL;
  }
}

constexpr long kRotationNormal = 1;
constexpr long kRotation180 = 259;

}  // namespace

long CSubSO::prePrintBarCode(long* args) {
  const auto* b = reinterpret_cast<PrnPrePrintBarCodeArgs*>(args);
  const SymbologyRow* symbology = FindSymbology(b->symbology);
  const bool ok = b->station == PRN_STATION_RECEIPT && symbology && symbology->accepted &&
                  b->height >= 1 && b->height <= 255 && b->width >= 1 && b->alignment >= -3 &&
                  HriCode(b->textPosition) != 0;
  return ok ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
}

long CSubSO::executePrintBarCode(long* args) {
  static const char kFunction[] = "CSubSO::executePrintBarCode";
  const auto* b = reinterpret_cast<PrnExecPrintBarCodeArgs*>(args);
  const bool escapePath = b->flag != 0;
  // The escape path adds to the list the core is filling: without one there is nowhere to go.
  if (!b->record || !b->stationState || !b->list || (escapePath && !*b->list) || !m_pDevice) {
    LogLine(LOG_CAT_ERROR, kFunction, kTagInfo, "Invalid argument.");
    return OPOS_E_ILLEGAL;
  }
  const PrnInputProperty* input = b->record;
  PrnStationState* state = b->stationState;

  long rotation = RotationCode(state->rotation);
  if (state->rotation == kRotationNormal)
    rotation = state->pageMode ? RJ_BC_ROTATE_NORMAL : RotationCode(input->rotateSpecial);
  const SymbologyRow* symbology = FindSymbology(b->symbology);
  const long type = symbology ? symbology->type : b->symbology;
  const long hri = HriCode(b->textPosition);
  if (hri == 0) {
    LogLine(LOG_CAT_ERROR, kFunction, kTagInfo, "TextPosition is an invalid value.");
    return OPOS_E_ILLEGAL;
  }

  long availableWidth = input->recLineWidth;
  long availableHeight = -1;
  if (state->pageMode) {
    std::string area[4];
    (void)m_converter.SplitCommaList(input->pageModePrintArea, area, 4);
    const long areaWidth = std::strtol(area[2].c_str(), nullptr, 10);
    const long areaHeight = std::strtol(area[3].c_str(), nullptr, 10);
    const bool across = input->pageModePrintDirection == 1 || input->pageModePrintDirection == 3;
    availableWidth = (across ? areaWidth : areaHeight) - input->pageModeHorizontalPosition;
    availableHeight = (across ? areaHeight : areaWidth) - input->pageModeVerticalPosition;
    if (b->height > availableHeight) {
      LogLine(LOG_CAT_ERROR, kFunction, kTagInfo, "Height is larger than the print area.");
      return OPOS_E_ILLEGAL;
    }
  }
  if (rotation == RJ_BC_ROTATE_LEFT || rotation == RJ_BC_ROTATE_RIGHT) {
    availableWidth = m_lPitch;  // sideways: the symbol runs along the paper
    availableHeight = input->recLineWidth;
  }
  if (b->width > availableWidth) {
    LogLine(LOG_CAT_ERROR, kFunction, kTagInfo, "Width is larger than the print area.");
    return OPOS_E_ILLEGAL;
  }

  const char* text = b->data ? b->data : "";
  std::unique_ptr<unsigned char[]> decoded;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
  long length = static_cast<long>(std::strlen(text));
  if (!escapePath) {
    unsigned char* buffer = nullptr;
    if (!m_converter.ConvertBinary(text, &buffer, &length, input->binaryConversion)) {
      LogLine(LOG_CAT_ERROR, kFunction, kTagInfo, "Data cannot be decoded.");
      return OPOS_E_ILLEGAL;
    }
    decoded.reset(buffer);
    bytes = buffer;
  } else if (state->upsideDown) {
    // A barcode inside upside-down print data turns with it, whatever RotateSpecial says;
    // the room was worked out for the rotation before the turn.
    state->rotation = kRotation180;
    rotation = RJ_BC_ROTATE_180;
  }

  const RJBarCodeRequest request = {input,  state,          bytes,           length,
                                    b->station, availableWidth, availableHeight, type,
                                    AlignmentCode(b->alignment), b->height & 0xFF, b->width,
                                    hri,    rotation,       m_settings.PrintSpeed,
                                    m_settings.GS1ModuleSize};
  RJBarCodeResult result = {0, 0, 0};
  PrnTokenList* built = m_pDevice->GetBarCodeData(request, &result);
  if (!built) return OPOS_E_ILLEGAL;
  if (escapePath) {
    // The tokens join the core's list in their own order, after what it holds already.
    PrnTokenList* target = *b->list;
    const bool moved = MoveCommandTokens(target, built);
    if (moved) target->totalBytes += built->totalBytes;
    FreeCommandList(built);
    if (!moved) {
      LogLine(LOG_CAT_ERROR, kFunction, kTagInfo, "Out of memory.");
      return OPOS_E_FAILURE;
    }
  } else {
    *b->list = built;
  }
  if (b->snapshot) {
    b->snapshot->positionWord1 = result.width;
    b->snapshot->positionWord2 = result.height;
  }
  return OPOS_SUCCESS;
}
