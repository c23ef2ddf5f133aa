// Command-token list services of one device beyond create, add, move and free: copies,
// rendering into printer bytes, the response-id token, page mode, character set and pitch,
// line characters and the single-token lists of DirectIO.
#include "SubSO.h"

#include <cstdio>

#include "CommandToken.h"
#include "RJDevice.h"
#include "SubSOProperties.h"

namespace {

template <class Block>
Block* BlockOf(long* args) {
  return reinterpret_cast<Block*>(args);
}

}  // namespace

long CSubSO::pageModeArea(long* args) {
  const auto* block = BlockOf<PrnPageModeAreaArgs>(args);
  const PrnInputProperty* record = block->record;
  if (!m_fInitialised || !record) return OPOS_E_ILLEGAL;
  long vertical = record->pageModeVerticalPosition;
  if (block->positionWord2 != -1) vertical += block->positionWord2;
  if (block->pageModeList)
    m_pDevice->AddPageModeAreaToken(record->pageModePrintArea, record->pageModePrintDirection,
                                    vertical, record->pageModeHorizontalPosition,
                                    block->pageModeList);
  if (block->list)
    (void)m_pDevice->AdjustLineFeedWidth(record, block->stationState, block->list, m_lPitch);
  return OPOS_SUCCESS;
}

long CSubSO::setCharacterSet(long* args) {
  if (!m_fInitialised) return OPOS_E_ILLEGAL;
  m_pDevice->SelectCodeTable(BlockOf<PrnCodePageArgs>(args)->codePage);
  return OPOS_SUCCESS;
}

long CSubSO::scanCommandTokens(long* args) {
  PrnTokenList* list = BlockOf<PrnListArgs>(args)->list;
  if (!m_fInitialised || !list) return OPOS_E_ILLEGAL;
  return m_pDevice->MeasureTokens(list, m_lPitch);
}

long CSubSO::requestDeviceData(long* args) {
  const auto* block = BlockOf<PrnRequestDeviceDataArgs>(args);
  if (!m_fInitialised || !block->list) return OPOS_E_ILLEGAL;
  return m_pDevice->ConvertTokens(block->record, block->stationState, block->list, block->queue);
}

long CSubSO::appendCommandTokens(long* args) {
  const auto* block = BlockOf<PrnCopyTokensArgs>(args);
  if (!block->source) return OPOS_SUCCESS;
  if (!m_fInitialised || !block->target) return OPOS_E_ILLEGAL;
  if (!CopyCommandTokens(block->source, block->target)) return OPOS_E_FAILURE;
  m_pDevice->AddCharsetStateToken(block->target);
  return OPOS_SUCCESS;
}

long CSubSO::cloneCommandTokens(long* args) {
  const auto* block = BlockOf<PrnCloneTokensArgs>(args);
  if (!block->source) return OPOS_SUCCESS;
  if (!block->target || !*block->target) return OPOS_E_ILLEGAL;
  return CopyCommandTokens(block->source, *block->target) ? OPOS_SUCCESS : OPOS_E_FAILURE;
}

long CSubSO::SelectLineCharsFont(long* args) {
  const auto* block = BlockOf<PrnSelectLineCharsFontArgs>(args);
  if (block->station != PRN_STATION_JOURNAL && block->station != PRN_STATION_RECEIPT)
    return OPOS_E_ILLEGAL;
  if (!m_fInitialised) return OPOS_E_ILLEGAL;
  const CLineCharsChoice choice = ChooseLineCharsFont(block->lineCharsList, block->requestedChars);
  m_pDevice->SetStationFont(block->station, choice.font, choice.spacing);
  if (block->chosenChars) *block->chosenChars = choice.lineChars;
  if (block->charWidth) *block->charWidth = choice.charWidth;
  if (block->charSpacing) *block->charSpacing = choice.spacing;
  return OPOS_SUCCESS;
}

long CSubSO::calcCharPitch(long* args) {
  const auto* block = BlockOf<PrnRecordSnapshotArgs>(args);
  PrnPropertySnapshot* snapshot = block->snapshot;
  if (!m_fInitialised || !block->record || !snapshot) return OPOS_E_ILLEGAL;
  char text[32] = "0,0";
  if (m_lPitch != 0)
    std::snprintf(text, sizeof text, "%ld,%ld", block->record->recLineWidth, m_lPitch);
  m_snapshotTexts.Put(snapshot, &PrnPropertySnapshot::pageModeArea, text);
  snapshot->pageModeDescriptor = 15;
  m_snapshotTexts.Put(snapshot, &PrnPropertySnapshot::pageModePrintArea, "0,0,0,0");
  snapshot->pageModePrintDirection = 1;
  snapshot->pageModeHorizontalPosition = 0;
  snapshot->pageModeVerticalPosition = 0;
  if (m_settings.CurrentStation == PRN_STATION_RECEIPT)
    m_pDevice->CalcCharPitchValue(block->record, snapshot, m_lPitch);
  return OPOS_SUCCESS;
}

long CSubSO::appendDirectIOTokenB(long* args) {
  const auto* block = BlockOf<PrnResponseIdArgs>(args);
  if (!m_fInitialised || !block->responseId || !block->list || !*block->list)
    return OPOS_E_ILLEGAL;
  PrnTokenList* temporary = CreateCommandList(m_settings.CurrentStation);
  if (!temporary) return OPOS_E_FAILURE;
  // The id is the low byte of the word the first pointer names.
  const long id = *reinterpret_cast<const BYTE*>(block->responseId);
  m_pDevice->AddDc2qToken(id, temporary);
  // Without its token the output's answer would never be asked for.
  const bool added =
      CommandTokenCount(temporary) == 1 && MoveCommandTokens(*block->list, temporary);
  FreeCommandList(temporary);
  return added ? OPOS_SUCCESS : OPOS_E_FAILURE;
}

long CSubSO::makeDirectIOToken(PrnExecDirectIOArgs* block, bool characterSet) {
  PrnTokenList* list = CreateCommandList(m_settings.CurrentStation);
  if (!list) return OPOS_E_FAILURE;
  const long n = block->data ? (*block->data & 0xFF) : 0;
  if (characterSet)
    m_pDevice->AddCharsetToken(n, list);  // ESC R n
  else
    m_pDevice->AddDc2qToken(n, list);     // DC2 q (n | 0x80)
  if (block->flags) {
    block->flags->useTransaction = 1;
    block->flags->usePageMode = 1;
    block->flags->useRotation = 1;
  }
  if (block->list)
    *block->list = list;
  else
    FreeCommandList(list);
  if (block->snapshot) {
    block->snapshot->resultCode = OPOS_SUCCESS;
    block->snapshot->resultCodeExtended = 0;
  }
  return OPOS_SUCCESS;
}

long CSubSO::makeDirectIOTokenA(PrnExecDirectIOArgs* block) {
  return makeDirectIOToken(block, /*characterSet=*/true);
}

long CSubSO::makeDirectIOTokenB(PrnExecDirectIOArgs* block) {
  return makeDirectIOToken(block, /*characterSet=*/false);
}
