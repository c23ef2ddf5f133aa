// TransactionPrint, RotatePrint, PageModePrint and ClearPrintArea. The core opens and closes
// the buffered modes and collects their output; these handlers refuse what the printer
// cannot do, frame a rotation or page-mode buffer when its mode ends, and build the one
// output of ClearPrintArea.
#include "SubSO.h"

#include "CommandToken.h"
#include "RJDevice.h"

namespace {

constexpr long kTransactionBegin = 11;
constexpr long kTransactionEnd = 12;

// RotatePrint: the low 9 bits are the direction, above them the barcode (0x1000) and bitmap
// (0x2000) flags.
constexpr long kRotationMask = 0x1FF;
constexpr long kRotateRight90 = 0x101;
constexpr long kRotateLeft90 = 0x102;
constexpr long kRotateNormal = 1;

// PageModePrint controls.
constexpr long kPageEnter = 1;
constexpr long kPagePrint = 2;   // print, stay in page mode
constexpr long kPageCancel = 4;  // drop the page

// Font 1 is the 16-dot font; 2 and 3 start a page with 24-dot lines.
constexpr long kSmallFont = 1;

bool IsImageToken(long type) {
  return type == RJ_TOKEN_BITMAP || type == RJ_TOKEN_RASTER || type == RJ_TOKEN_POSITIONED;
}

// A text run followed by an image without a line end between them would share the image's
// line on the rotated page: give the text its own line end. Inside a transaction the text
// stays pending, so every further image before the next line end adds one more.
void SeparateTextFromImages(PrnTokenList* buffer, bool transaction) {
  PrnTokenNode* text = nullptr;
  for (PrnTokenNode* node = OldestTokenNode(buffer); node; node = node->prev) {
    const long type = node->token->type;
    if (type == RJ_TOKEN_TEXT) {
      text = node;
    } else if (type == RJ_TOKEN_LINE_FEED) {
      text = nullptr;
    } else if (text && IsImageToken(type)) {
      PrnCommandToken* feed = NewCommandToken(buffer, RJ_TOKEN_LINE_FEED, nullptr, 0, 0);
      if (!feed || !InsertTokenAfter(buffer, text, feed)) return;
      if (!transaction) text = nullptr;
    }
  }
}

}  // namespace

long CSubSO::preTransactionPrint(long* args) {
  const auto* block = reinterpret_cast<PrnPreStationValueArgs*>(args);
  const bool station =
      block->station == PRN_STATION_JOURNAL || block->station == PRN_STATION_RECEIPT;
  const bool control = block->value == kTransactionBegin || block->value == kTransactionEnd;
  return station && control ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
}

// The core begins and ends the transaction buffer itself.
long CSubSO::executeTransactionPrint(long*) { return OPOS_SUCCESS; }

long CSubSO::preRotatePrint(long* args) {
  const auto* block = reinterpret_cast<PrnPreStationValueArgs*>(args);
  if (block->station != PRN_STATION_RECEIPT) return OPOS_E_ILLEGAL;
  // Sideways printing is not offered (no Left90/Right90 capability).
  const long direction = block->value & kRotationMask;
  return direction == kRotateRight90 || direction == kRotateLeft90 ? OPOS_E_ILLEGAL
                                                                    : OPOS_SUCCESS;
}

long CSubSO::executeRotatePrint(long* args) {
  const auto* block = reinterpret_cast<PrnExecStationValueArgs*>(args);
  PrnStationState* state = block->stationState;
  if (!block->record || !state) return OPOS_E_ILLEGAL;
  // Only the end of a rotated print (Rotation 1) frames the buffer; without one there is
  // nothing to end.
  PrnTokenList* buffer = state->rotationBuffer;
  if (block->value != kRotateNormal || !buffer || !m_pDevice) return OPOS_SUCCESS;
  SeparateTextFromImages(buffer, state->receiptTransaction != 0);
  // At the tail: the rotation start renders first, then the first line's start.
  m_pDevice->AddRotateTokens(state->rotatedDirection, buffer);
  m_pDevice->AddFormFeedToken(buffer);
  (void)m_pDevice->AdjustLineFeedWidth(block->record, state, buffer, m_lPitch);
  return OPOS_SUCCESS;
}

long CSubSO::prePageModePrint(long* args) {
  const long control = reinterpret_cast<PrnPreValueArgs*>(args)->value;
  return control >= kPageEnter && control <= kPageCancel ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
}

long CSubSO::executePageModePrint(long* args) {
  const auto* block = reinterpret_cast<PrnExecValueArgs*>(args);
  const PrnStationState* state = block->stationState;
  if (!block->record || !state || !m_pDevice) return OPOS_E_ILLEGAL;
  const long control = block->value;
  if (control == kPageEnter) {
    // Where the line-feed adjustment of this page starts.
    const long charHeight = m_pDevice->StationFont(PRN_STATION_RECEIPT) == kSmallFont ? 16 : 24;
    m_pDevice->SetPageStart(charHeight, block->record->recLineSpacing);
    return OPOS_SUCCESS;
  }
  PrnTokenList* buffer = state->pageModeBuffer;
  // An empty page is not framed: the printer would print (or drop) a blank page.
  if (control >= kPagePrint && control <= kPageCancel && buffer && buffer->totalBytes > 0) {
    m_pDevice->AddPageModeStartToken(buffer);
    m_pDevice->AddPageModeEndToken(control, buffer);
  }
  return OPOS_SUCCESS;
}

long CSubSO::preClearPrintArea(long*) { return OPOS_SUCCESS; }

long CSubSO::executeClearPrintArea(long* args) {
  const auto* block = reinterpret_cast<PrnExecNoArgs*>(args);
  const PrnStationState* state = block->stationState;
  if (!block->record || !state || !block->list || !m_pDevice) return OPOS_E_ILLEGAL;
  if (!state->pageMode) return OPOS_E_ILLEGAL;
  PrnTokenList* list = m_pDevice->CreateTokenList(m_settings.CurrentStation);
  if (!list) return OPOS_E_FAILURE;
  m_pDevice->AddClearPrintAreaToken(list, block->record->pageModePrintArea);
  *block->list = list;
  return OPOS_SUCCESS;
}
