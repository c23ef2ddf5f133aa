// DrawRuledLine, from the OPOS method (flag 0: a new list for the core) and from a ruled-line
// sequence inside print data (flag 1: copies added to the list the tokenizer is filling).
// A horizontal call prints one band; a vertical call opens vertical lines that later bands
// carry through their rows until a vertical call with no positions (-1) closes them.
#include "SubSO.h"

#include "RJDevice.h"

namespace {

constexpr long kHorizontal = 1;
constexpr long kVertical = 2;
constexpr long kEndMarker = -1;  // an empty PositionList

// Accepted ranges of the pre phase, checked in this order.
struct RuledRule {
  long PrnPreDrawRuledLineArgs::*argument;
  long low;
  long high;
};
constexpr RuledRule kRuledRules[] = {
    {&PrnPreDrawRuledLineArgs::station, PRN_STATION_RECEIPT, PRN_STATION_RECEIPT},
    {&PrnPreDrawRuledLineArgs::lineDirection, kHorizontal, kVertical},
    {&PrnPreDrawRuledLineArgs::lineWidth, 1, 255},  // DC3 p takes one byte
    {&PrnPreDrawRuledLineArgs::lineStyle, 1, 1},    // single solid line
    {&PrnPreDrawRuledLineArgs::lineColor, 1, 1},    // primary colour
};

bool IsEndCall(const PrnPositionArray* positions) {
  return positions && positions->values && positions->count > 0 &&
         positions->values[0] == kEndMarker;
}

}  // namespace

long CSubSO::preDrawRuledLine(long* args) {
  const auto* block = reinterpret_cast<PrnPreDrawRuledLineArgs*>(args);
  for (const RuledRule& rule : kRuledRules) {
    const long value = block->*rule.argument;
    if (value < rule.low || value > rule.high) return OPOS_E_ILLEGAL;
  }
  return OPOS_SUCCESS;
}

long CSubSO::executeDrawRuledLine(long* args) {
  const auto* block = reinterpret_cast<PrnExecDrawRuledLineArgs*>(args);
  const PrnStationState* state = block->stationState;
  if (!block->record || !state || !block->list || !m_pDevice) return OPOS_E_ILLEGAL;
  PrnTokenList* target = block->flag ? *block->list : nullptr;
  if (block->flag && !target) return OPOS_E_ILLEGAL;
  // The line buffer cannot be used while the receipt prints turned or collects a page.
  if (state->rotatedPrint || state->upsideDown || state->pageMode) return OPOS_E_ILLEGAL;

  const bool end = IsEndCall(block->positions);
  const bool vertical = block->lineDirection == kVertical;
  // Checked and built on copies: a refused call leaves the open vertical lines (which the
  // printer still draws) and the next band exactly as they were.
  RJSegmentList segments;
  RJPositionList verticals;
  RJPositionList* positions = vertical ? &verticals : &m_ruledVerticals;
  if (!end && !m_pDevice->ParseRuledLinePositions(block->positions, block->lineWidth, vertical,
                                                  &segments, positions,
                                                  block->record->recLineWidth))
    return OPOS_E_ILLEGAL;
  PrnTokenList* built = m_pDevice->BuildRuledLineTokens(&segments, positions, block->station,
                                                        block->lineWidth, vertical, end);
  if (!built) return OPOS_E_ILLEGAL;  // a horizontal call without positions
  if (vertical) m_ruledVerticals.swap(verticals);
  if (!target)
    *block->list = built;
  else if (!m_pDevice->AppendRuledLineCopies(built, target))
    return OPOS_E_FAILURE;
  return OPOS_SUCCESS;
}
