// DirectIO: the printer's three vendor commands. 3 reads the free space of the non-volatile
// memory, 201 selects an international character set (ESC R n, queued as output), 501 reads
// a status detail that the status store keeps.
#include "SubSO.h"

#include <cstdio>

#include "BstrText.h"
#include "CommPrinterDriver.h"
#include "RJCollection.h"

namespace {

enum DirectIOCommand : long {
  kNvMemoryCapacity = 3,
  kInternationalCharset = 201,
  kStatusDetail = 501,
};

// OPOS State values that refuse a DirectIO.
constexpr long kStateBusy = 3;
constexpr long kStateError = 4;

bool AnyCharset(long n) { return n >= 0 && n <= 12; }  // the ESC R sets the printer has
bool StatusDetailType(long type) { return type == 1 || type == 4; }  // paper, auxiliary

// Rules of the pre phase, tested in this order: pData present, *pData in range, pString
// present, State neither busy nor error.
struct DirectIORule {
  long command;
  bool needsData;
  bool (*dataAccepted)(long);  // NULL: any value
  bool needsText;
};
constexpr DirectIORule kRules[] = {
    {kNvMemoryCapacity, false, nullptr, true},
    {kInternationalCharset, true, AnyCharset, false},
    {kStatusDetail, true, StatusDetailType, true},
};

const DirectIORule* FindRule(long command) {
  for (const DirectIORule& rule : kRules)
    if (rule.command == command) return &rule;
  return nullptr;
}

long CheckRule(const DirectIORule* rule, const long* data, const PrnBstr* text) {
  if (!rule) return OPOS_E_ILLEGAL;
  if (rule->needsData && !data) return OPOS_E_ILLEGAL;
  if (rule->dataAccepted && !rule->dataAccepted(*data)) return OPOS_E_ILLEGAL;
  if (rule->needsText && !text) return OPOS_E_ILLEGAL;
  return OPOS_SUCCESS;
}

}  // namespace

long CSubSO::preDirectIO(long* args) {
  const auto* block = reinterpret_cast<PrnPreDirectIOArgs*>(args);
  const long result = CheckRule(FindRule(block->command), block->data, block->text);
  if (result != OPOS_SUCCESS) return result;
  const long state = block->record ? block->record->state : 0;
  return state == kStateBusy || state == kStateError ? OPOS_E_BUSY : OPOS_SUCCESS;
}

long CSubSO::executeDirectIO(long* args) {
  auto* block = reinterpret_cast<PrnExecDirectIOArgs*>(args);
  // The pointers the pre phase requires are required here too: a call that skipped it must
  // not reach through NULL.
  if (CheckRule(FindRule(block->command), block->data, block->text) != OPOS_SUCCESS || !m_pDevice) {
    SetResultCodes(block->snapshot, OPOS_E_ILLEGAL, 0);
    return OPOS_E_ILLEGAL;
  }
  switch (block->command) {
    case kInternationalCharset:
      return makeDirectIOTokenA(block);
    case kStatusDetail: {
      std::string text;
      m_pCollection->GetCounterText(&text, *block->data);
      const long result = ReplaceBstr(block->text, text) ? OPOS_SUCCESS : OPOS_E_FAILURE;
      SetResultCodes(block->snapshot, result, 0);
      return result;
    }
    default: {  // kNvMemoryCapacity
      DWORD capacity = 0;
      const long code = m_pDriver->GetRemainNVMemoryCapData(&capacity);
      long resultCode = OPOS_E_FAILURE;
      long resultCodeExtended = 0;
      m_pCollection->GetErrorInfo(code, &resultCode, &resultCodeExtended, 0, nullptr, nullptr);
      if (resultCode == OPOS_SUCCESS) {
        char text[16];
        std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(capacity));
        if (!ReplaceBstr(block->text, text)) resultCode = OPOS_E_FAILURE;
      }
      SetResultCodes(block->snapshot, resultCode, resultCodeExtended);
      return resultCode;
    }
  }
}
