// The two token tables of the command builder: what each token code renders into, and how
// ValidateData judges it. One row per code; a code without a row is kept unchanged when
// rendering and counts as valid.
#include "RJDevice.h"

#include <array>
#include <cstdint>

// What the dispatcher does with the "!" (cancel) flag before it calls the operation.
enum class RJCancel : uint8_t { kLeave, kClear, kSet };

struct CRJDevice::DispatchRow {
  long code;
  RJCancel cancel;
  RenderOp op;
};

// Kept: the token passes unchanged. Dropped: data NULL, length 0.
const CRJDevice::DispatchRow CRJDevice::kDispatch[] = {
    {RJ_TOKEN_CHARSET, RJCancel::kLeave, &CRJDevice::ESCCharacterSet},
    {RJ_TOKEN_TEXT, RJCancel::kLeave, &CRJDevice::PrintText},
    {102, RJCancel::kLeave, &CRJDevice::Keep},
    {103, RJCancel::kLeave, &CRJDevice::Keep},
    {RJ_TOKEN_BOLD, RJCancel::kClear, &CRJDevice::ESCBold},
    {RJ_TOKEN_STAMP, RJCancel::kLeave, &CRJDevice::Drop},
    {RJ_TOKEN_ITALIC, RJCancel::kClear, &CRJDevice::Drop},
    {RJ_TOKEN_LEFT, RJCancel::kLeave, &CRJDevice::ESCLeftJustify},
    {RJ_TOKEN_REVERSE, RJCancel::kClear, &CRJDevice::ESCReverseVideo},
    {RJ_TOKEN_RIGHT, RJCancel::kLeave, &CRJDevice::ESCRightJustify},
    {RJ_TOKEN_SINGLE_SIZE, RJCancel::kLeave, &CRJDevice::ESCSingleSize},
    {RJ_TOKEN_DOUBLE_WIDE, RJCancel::kLeave, &CRJDevice::ESCDoubleWide},
    {RJ_TOKEN_DOUBLE_HIGH, RJCancel::kLeave, &CRJDevice::ESCDoubleHigh},
    {RJ_TOKEN_DOUBLE_SIZE, RJCancel::kLeave, &CRJDevice::ESCDoubleSize},
    {RJ_TOKEN_CENTER, RJCancel::kLeave, &CRJDevice::ESCCenter},
    {RJ_TOKEN_NORMAL, RJCancel::kLeave, &CRJDevice::ESCNormal},
    {RJ_TOKEN_CUT, RJCancel::kLeave, &CRJDevice::ESCPaperCut},
    {RJ_TOKEN_FEED_CUT, RJCancel::kLeave, &CRJDevice::ESCFeedCut},
    {RJ_TOKEN_TYPEFACE, RJCancel::kLeave, &CRJDevice::Drop},
    {RJ_TOKEN_FEED_CUT_STAMP, RJCancel::kLeave, &CRJDevice::Drop},
    {RJ_TOKEN_SHADING, RJCancel::kLeave, &CRJDevice::Drop},
    {RJ_TOKEN_BITMAP, RJCancel::kLeave, &CRJDevice::ESCBitmap},
    {RJ_TOKEN_FEED_LINES, RJCancel::kLeave, &CRJDevice::ESCFeedLines},
    {RJ_TOKEN_FEED_UNITS, RJCancel::kLeave, &CRJDevice::ESCFeedUnits},
    {RJ_TOKEN_UNDERLINE, RJCancel::kClear, &CRJDevice::ESCUnderline},
    {RJ_TOKEN_FEED_REVERSE, RJCancel::kLeave, &CRJDevice::Drop},
    {RJ_TOKEN_HSCALE, RJCancel::kLeave, &CRJDevice::ESCHorizontalScale},
    {RJ_TOKEN_VSCALE, RJCancel::kLeave, &CRJDevice::ESCVerticalScale},
    {RJ_TOKEN_BOLD_OFF, RJCancel::kSet, &CRJDevice::ESCBold},
    // Italic off: this printer has no italic, so it goes the way of italic on (106).
    {RJ_TOKEN_ITALIC_OFF, RJCancel::kClear, &CRJDevice::Drop},
    {RJ_TOKEN_REVERSE_OFF, RJCancel::kSet, &CRJDevice::ESCReverseVideo},
    {RJ_TOKEN_UNDERLINE_OFF, RJCancel::kSet, &CRJDevice::ESCUnderline},
    {RJ_TOKEN_RASTER, RJCancel::kLeave, &CRJDevice::Keep},
    {RJ_TOKEN_POSITIONED, RJCancel::kLeave, &CRJDevice::Keep},
    {RJ_TOKEN_UPSIDE_DOWN, RJCancel::kLeave, &CRJDevice::ESCUpsideDown},
    {RJ_TOKEN_ROTATE_LEFT, RJCancel::kLeave, &CRJDevice::BeginRotateLeft90},
    {RJ_TOKEN_ROTATE_RIGHT, RJCancel::kLeave, &CRJDevice::BeginRotateRight90},
    {RJ_TOKEN_FORM_FEED, RJCancel::kLeave, &CRJDevice::OnFormFeed},
    {RJ_TOKEN_LINE_FEED, RJCancel::kLeave, &CRJDevice::LineFeed},
    {RJ_TOKEN_WRAP_START, RJCancel::kLeave, &CRJDevice::Keep},
    {RJ_TOKEN_STRIKE, RJCancel::kClear, &CRJDevice::Drop},
    {RJ_TOKEN_STRIKE_OFF, RJCancel::kSet, &CRJDevice::Drop},
    {RJ_TOKEN_RULED_LINE, RJCancel::kLeave, &CRJDevice::Keep},
    {RJ_TOKEN_RULED_LINE_COPY, RJCancel::kLeave, &CRJDevice::Keep},
    {200, RJCancel::kLeave, &CRJDevice::Keep},
    {RJ_TOKEN_ALT_COLOR, RJCancel::kLeave, &CRJDevice::Drop},
    {RJ_TOKEN_COLOR, RJCancel::kLeave, &CRJDevice::Drop},
    {RJ_TOKEN_SUBSCRIPT, RJCancel::kClear, &CRJDevice::Drop},
    {RJ_TOKEN_SUPERSCRIPT, RJCancel::kClear, &CRJDevice::Drop},
    {RJ_TOKEN_PASS_THROUGH, RJCancel::kLeave, &CRJDevice::Keep},
    {RJ_TOKEN_SUBSCRIPT_OFF, RJCancel::kSet, &CRJDevice::Drop},
    {RJ_TOKEN_SUPERSCRIPT_OFF, RJCancel::kSet, &CRJDevice::Drop},
    {RJ_TOKEN_LINE_SPACING, RJCancel::kLeave, &CRJDevice::SetLineSpacing},
    {RJ_TOKEN_CENTER_MODE, RJCancel::kLeave, &CRJDevice::ESCCenter},
    {RJ_TOKEN_RIGHT_MODE, RJCancel::kLeave, &CRJDevice::ESCRightJustify},
    {RJ_TOKEN_LEFT_MODE, RJCancel::kLeave, &CRJDevice::ESCLeftJustify},
    {RJ_TOKEN_FONT1, RJCancel::kLeave, &CRJDevice::SelectFont1},
    {RJ_TOKEN_FONT2, RJCancel::kLeave, &CRJDevice::SelectFont2},
    {RJ_TOKEN_FONT3, RJCancel::kLeave, &CRJDevice::Keep},  // font 3 has no command bytes
    {RJ_TOKEN_PAGE_BEGIN, RJCancel::kLeave, &CRJDevice::BeginPageMode},
    {RJ_TOKEN_PAGE_END, RJCancel::kLeave, &CRJDevice::EndPageMode},
    {RJ_TOKEN_FLUSH, RJCancel::kLeave, &CRJDevice::Keep},
    // Any other code (0, 132, 402-407, 604, 710, 717, 800 ...) is kept: the sub-module built
    // those tokens with their final bytes.
};

namespace {

constexpr long kMaxIndexedCode = 1000;
constexpr uint8_t kNoRow = 0xFF;

// code -> row index, built once from a table whose rows are sorted by nothing in particular.
template <typename Row, size_t N>
std::array<uint8_t, kMaxIndexedCode> IndexRows(const Row (&rows)[N]) {
  static_assert(N < kNoRow, "row index fits a byte");
  std::array<uint8_t, kMaxIndexedCode> index;
  index.fill(kNoRow);
  for (size_t i = 0; i < N; ++i) index[static_cast<size_t>(rows[i].code)] = static_cast<uint8_t>(i);
  return index;
}

}  // namespace

const CRJDevice::DispatchRow* CRJDevice::FindDispatch(long code) {
  static const std::array<uint8_t, kMaxIndexedCode> index = IndexRows(kDispatch);
  if (code < 0 || code >= kMaxIndexedCode || index[static_cast<size_t>(code)] == kNoRow)
    return nullptr;
  return &kDispatch[index[static_cast<size_t>(code)]];
}

namespace {
const PrnInputProperty kNoInput = {};
}  // namespace

long CRJDevice::ConvertTokens(const PrnInputProperty* input, const PrnStationState* state,
                              PrnTokenList* list, long /*ignored*/) {
  if (!list) return 0;
  if (!input) input = &kNoInput;
  RJConvState cs = {};
  cs.station = list->station;
  if (cs.station == PRN_STATION_RECEIPT) {
    cs.font = m_recFont;
    cs.lineSpacing = input->recLineSpacing;
    cs.lineStart = 1;
  } else if (cs.station == PRN_STATION_JOURNAL) {
    cs.font = m_jrnFont;
    cs.lineSpacing = input->jrnLineSpacing;
    cs.lineStart = 1;
  }
  cs.hScale = cs.vScale = 1;
  list->totalBytes = 0;
  for (const PrnTokenNode* node = PrnOldestToken(list); node; node = PrnNewerToken(node)) {
    PrnCommandToken* token = node->token;
    if (const DispatchRow* row = FindDispatch(token->type)) {
      if (row->cancel == RJCancel::kClear) cs.cancel = 0;
      if (row->cancel == RJCancel::kSet) cs.cancel = 1;
      (void)(this->*row->op)(input, state, token, &cs);
    }
    list->totalBytes += token->length;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------
// Validation (ValidateData): 0 valid, 1 illegal parameter, 2 not supported.

namespace {

using ParamRule = bool (*)(long parameter);
bool AnyParam(long) { return true; }
bool NoParam(long) { return false; }
template <long Lo, long Hi>
bool InRange(long p) { return p >= Lo && p <= Hi; }
// Cut percentages the printer knows: none given (-1, full cut), 0, 90 and 100.
bool CutPercent(long p) { return p == -1 || p == 0 || p == 90 || p == 100; }

constexpr long kValid = 0;
constexpr long kIllegal = 1;
constexpr long kUnsupported = 2;

}  // namespace

struct CRJDevice::ValidateRow {
  long code;
  bool receiptOnly;                   // another station: not supported
  long PrnCapabilityBlock::*cap;      // zero capability: not supported
  bool refusedInMode;                 // page mode or sideways print open: illegal
  ParamRule accepts;
  long otherwise;                     // result for a parameter not accepted
};

const CRJDevice::ValidateRow CRJDevice::kValidate[] = {
    {102, false, nullptr, false, &AnyParam, kValid},
    {103, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_BOLD, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_STAMP, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_ITALIC, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_LEFT, false, nullptr, true, &AnyParam, kValid},
    {RJ_TOKEN_REVERSE, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_RIGHT, false, nullptr, true, &AnyParam, kValid},
    {RJ_TOKEN_SINGLE_SIZE, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_DOUBLE_WIDE, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_DOUBLE_HIGH, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_DOUBLE_SIZE, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_CENTER, false, nullptr, true, &AnyParam, kValid},
    {RJ_TOKEN_NORMAL, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_CUT, true, &PrnCapabilityBlock::capRecPapercut, true, &CutPercent, kIllegal},
    {RJ_TOKEN_FEED_CUT, true, &PrnCapabilityBlock::capRecPapercut, true, &CutPercent,
     kIllegal},
    {RJ_TOKEN_TYPEFACE, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_FEED_CUT_STAMP, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_SHADING, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_BITMAP, true, nullptr, false, &InRange<1, 20>, kUnsupported},
    {RJ_TOKEN_FEED_LINES, false, nullptr, true, &InRange<-1, 255>, kIllegal},
    {RJ_TOKEN_FEED_UNITS, false, nullptr, true, &InRange<0, 0>, kIllegal},  // -1 included
    {RJ_TOKEN_UNDERLINE, false, nullptr, false, &InRange<-1, 2>, kIllegal},
    {RJ_TOKEN_FEED_REVERSE, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_HSCALE, false, nullptr, false, &InRange<1, 8>, kIllegal},
    {RJ_TOKEN_VSCALE, false, nullptr, false, &InRange<1, 8>, kIllegal},
    {RJ_TOKEN_BOLD_OFF, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_ITALIC_OFF, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_REVERSE_OFF, false, nullptr, false, &AnyParam, kValid},
    {RJ_TOKEN_UNDERLINE_OFF, false, nullptr, false, &InRange<-1, 2>, kIllegal},
    {RJ_TOKEN_POSITIONED, true, &PrnCapabilityBlock::capRecBarCode, false, &AnyParam, kValid},
    {RJ_TOKEN_STRIKE, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_STRIKE_OFF, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_RULED_LINE_COPY, true, &PrnCapabilityBlock::capRecRuledLine, true,
     &InRange<0, 65535>, kUnsupported},
    {RJ_TOKEN_ALT_COLOR, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_COLOR, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_SUBSCRIPT, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_SUPERSCRIPT, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_PASS_THROUGH, false, nullptr, false, &InRange<0, 65535>, kIllegal},
    {RJ_TOKEN_SUBSCRIPT_OFF, false, nullptr, false, &NoParam, kUnsupported},
    {RJ_TOKEN_SUPERSCRIPT_OFF, false, nullptr, false, &NoParam, kUnsupported},
    // Every other code is valid.
};

const CRJDevice::ValidateRow* CRJDevice::FindValidate(long code) {
  static const std::array<uint8_t, kMaxIndexedCode> index = IndexRows(kValidate);
  if (code < 0 || code >= kMaxIndexedCode || index[static_cast<size_t>(code)] == kNoRow)
    return nullptr;
  return &kValidate[index[static_cast<size_t>(code)]];
}

long CRJDevice::ValidateTokens(const PrnCapabilityBlock* caps, const PrnInputProperty*,
                               const PrnStationState* state, long station,
                               const PrnTokenList* list, const long* tokenizerResult) {
  if (tokenizerResult && *tokenizerResult != 0)
    return *tokenizerResult == 106 ? kIllegal : kUnsupported;
  const bool modeOpen = state && (state->pageMode != 0 || state->rotatedPrint != 0);
  const bool receipt = station == PRN_STATION_RECEIPT;
  long worst = kValid;
  for (const PrnTokenNode* node = PrnOldestToken(list); node; node = PrnNewerToken(node)) {
    const ValidateRow* row = FindValidate(node->token->type);
    if (!row) continue;
    long result;
    if ((row->receiptOnly && !receipt) || (row->cap && (!caps || caps->*row->cap == 0)))
      result = kUnsupported;
    else if (row->refusedInMode && modeOpen)
      result = kIllegal;
    else
      result = row->accepts(node->token->parameter) ? kValid : row->otherwise;
    if (result > worst) worst = result;
  }
  return worst;
}
