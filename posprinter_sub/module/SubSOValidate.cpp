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

// Validation prints nothing, yet the tokenizer runs the ruled-line sequences of the data as
// it would for printing: the open vertical lines and their width are put back afterwards, or
// later bands would carry lines the printer never set up.
class RuledLineKeeper {
 public:
  RuledLineKeeper(CRJDevice* device, RJPositionList* verticals)
      : m_device(device), m_verticals(verticals), m_saved(*verticals),
        m_width(device ? device->RuledLineWidth() : 0) {}
  RuledLineKeeper(const RuledLineKeeper&) = delete;
  RuledLineKeeper& operator=(const RuledLineKeeper&) = delete;
  ~RuledLineKeeper() {
    *m_verticals = m_saved;
    if (!m_device || m_device->RuledLineWidth() == m_width) return;
    // The builder takes its ruled-line width from a vertical set-up; its bytes are dropped.
    RJSegmentList noSegments;
    RJPositionList noVerticals;
    m_device->FreeTokenList(m_device->BuildRuledLineTokens(&noSegments, &noVerticals,
                                                           PRN_STATION_RECEIPT, m_width,
                                                           /*vertical=*/true, /*end=*/false));
  }

 private:
  CRJDevice* m_device;
  RJPositionList* m_verticals;
  RJPositionList m_saved;
  long m_width;
};

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
  const RuledLineKeeper ruledLines(m_pDevice, &m_ruledVerticals);
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
