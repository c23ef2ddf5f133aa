// PrintNormal and PrintImmediate: the same validation and the same text tokens; only the
// core's queue differs.
#include "SubSO.h"

#include <cstring>
#include <memory>

#include "RJDevice.h"

namespace {

bool IsTextStation(long station) {
  return station == PRN_STATION_JOURNAL || station == PRN_STATION_RECEIPT;
}

}  // namespace

long CSubSO::prePrintText(long* args) {
  return IsTextStation(reinterpret_cast<PrnPreStationTextArgs*>(args)->station)
             ? OPOS_SUCCESS
             : OPOS_E_ILLEGAL;
}

long CSubSO::executePrintText(long* args) {
  const auto* block = reinterpret_cast<PrnExecStationTextArgs*>(args);
  if (!block->record || !block->stationState || !block->list || !m_pDevice)
    return OPOS_E_ILLEGAL;
  // No data prints as empty text.
  const char* data = block->data ? block->data : "";
  const long mode = block->record->binaryConversion;
  const unsigned char* text = reinterpret_cast<const unsigned char*>(data);
  long length = static_cast<long>(std::strlen(data));
  std::unique_ptr<unsigned char[]> owned;
  // Only nibble and decimal data need decoding; the builder copies the text anyway.
  if (mode == CDataConverter::kNibble || mode == CDataConverter::kDecimal) {
    unsigned char* decoded = nullptr;
    if (!m_converter.ConvertBinary(data, &decoded, &length, mode)) return OPOS_E_ILLEGAL;
    owned.reset(decoded);
    text = decoded;
  }
  long tokenizerError = 0;  // refused sequences are dropped; ValidateData reports them
  PrnTokenList* list =
      m_pDevice->AddTextTokens(block->record, block->stationState, block->station, text,
                               length, &tokenizerError, m_settings.PrintSpeed);
  if (!list) return OPOS_E_FAILURE;
  *block->list = list;
  return OPOS_SUCCESS;
}
