// CutPaper and MarkFeed: one new list with the builder's cut or mark-feed token, refused
// while the receipt prints sideways or collects a page (the printer cannot cut or feed to a
// mark in the middle of either).
#include "SubSO.h"

#include "RJDevice.h"

namespace {

// UnifiedPOS mark-feed types: to the take-up position, to the cutter, to the current and
// to the next top of form. Combinations are not accepted.
bool IsMarkFeedType(long type) { return type == 1 || type == 2 || type == 4 || type == 8; }

}  // namespace

long CSubSO::preCutPaper(long* args) {
  const long percentage = reinterpret_cast<PrnPreValueArgs*>(args)->value;
  return percentage >= 0 && percentage <= 100 ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
}

long CSubSO::preMarkFeed(long* args) {
  return IsMarkFeedType(reinterpret_cast<PrnPreValueArgs*>(args)->value) ? OPOS_SUCCESS
                                                                           : OPOS_E_ILLEGAL;
}

long CSubSO::executeCutPaper(long* args) {
  return executePaperHandling(args, &CRJDevice::AddCutToken);
}

long CSubSO::executeMarkFeed(long* args) {
  return executePaperHandling(args, &CRJDevice::AddMarkFeedToken);
}

long CSubSO::executePaperHandling(long* args,
                                  void (CRJDevice::*addTokens)(PrnTokenList*, long)) {
  const auto* block = reinterpret_cast<PrnExecValueArgs*>(args);
  const PrnStationState* state = block->stationState;
  if (!state || !block->list || !m_pDevice) return OPOS_E_ILLEGAL;
  // Upside-down printing does not stand in the way.
  if (state->rotatedPrint || state->pageMode) return OPOS_E_ILLEGAL;
  PrnTokenList* list = m_pDevice->CreateTokenList(m_settings.CurrentStation);
  if (!list) return OPOS_E_FAILURE;
  (m_pDevice->*addTokens)(list, block->value);
  *block->list = list;
  return OPOS_SUCCESS;
}
