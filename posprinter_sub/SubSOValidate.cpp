// ValidateData, SetLogo and PrintTwoNormal. ValidateData and SetLogo decode and tokenize
// their data as PrintNormal does: ValidateData only judges the tokens, SetLogo hands them
// to the core as a logo without the tokens that would change the mode of the text around it.
#include "SubSO.h"

#include <memory>

#include "RJDevice.h"

namespace {

// The logo's list never carries the letter-quality token.
constexpr long kSkipLetterQuality = 1;

constexpr long kLogoTop = 1;
constexpr long kLogoBottom = 2;

// Validation result of the command builder -> ResultCode.
long ValidationResultCode(long validation) {
  if (validation == 0) return OPOS_SUCCESS;
  return validation == 1 ? OPOS_E_ILLEGAL : OPOS_E_FAILURE;
}

}  // namespace

long CSubSO::tokenizeText(const PrnExecStationTextArgs& block, long station, long* error,
                          PrnTokenList** list) {
  if (!block.record || !m_pDevice) return OPOS_E_ILLEGAL;
  unsigned char* decoded = nullptr;
  long length = 0;
  if (!m_converter.ConvertBinary(block.data ? block.data : "", &decoded, &length,
                                 block.record->binaryConversion))
    return OPOS_E_ILLEGAL;
  std::unique_ptr<unsigned char[]> owned(decoded);
  *error = 0;
  *list = m_pDevice->AddTextTokens(block.record, block.stationState, station, owned.get(),
                                   length, error, kSkipLetterQuality);
  return *list ? OPOS_SUCCESS : OPOS_E_FAILURE;
}

long CSubSO::preValidateData(long* args) {
  const long station = reinterpret_cast<PrnPreStationTextArgs*>(args)->station;
  long present = 0;
  if (station == PRN_STATION_JOURNAL) present = m_pCapabilities->capJrnPresent;
  if (station == PRN_STATION_RECEIPT) present = m_pCapabilities->capRecPresent;
  return present ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
}

long CSubSO::executeValidateData(long* args) {
  const auto* block = reinterpret_cast<PrnExecStationTextArgs*>(args);
  long error = 0;
  PrnTokenList* list = nullptr;
  const long result = tokenizeText(*block, block->station, &error, &list);
  if (result != OPOS_SUCCESS) return result;
  const long validation = m_pDevice->ValidateTokens(m_pCapabilities, block->record,
                                                    block->stationState, block->station, list,
                                                    &error);
  m_pDevice->FreeTokenList(list);
  return ValidationResultCode(validation);
}

long CSubSO::preSetLogo(long* args) {
  const long location = reinterpret_cast<PrnPreStationTextArgs*>(args)->station;
  return location == kLogoTop || location == kLogoBottom ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
}

long CSubSO::executeSetLogo(long* args) {
  const auto* block = reinterpret_cast<PrnExecStationTextArgs*>(args);
  if (!block->list) return OPOS_E_ILLEGAL;
  // Which logo the list becomes is the core's: both are built for the receipt. A sequence
  // the tokenizer refused does not fail the logo.
  long error = 0;
  PrnTokenList* list = nullptr;
  const long result = tokenizeText(*block, m_settings.CurrentStation, &error, &list);
  if (result != OPOS_SUCCESS) return result;
  m_pDevice->RemoveModeTokens(list);
  *block->list = list;
  return OPOS_SUCCESS;
}

// Printing on two stations at once is not offered.
long CSubSO::refusePrintTwoNormal(long*) { return OPOS_E_ILLEGAL; }
