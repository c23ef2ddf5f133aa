// Property access by the OPOS property index (PIDX). The common properties are readable;
// the printer properties and every write join with the property table.
#include "LogContext.h"
#include "POSPrinter.h"

namespace {

const char kSource[] = "POSPrinter";

struct NumberRow {
  long pidx;
  const char* name;
  long CPropertyCache::*value;
};
const NumberRow kCommonNumbers[] = {
    {1, "Claimed", &CPropertyCache::Claimed},
    {3, "DeviceEnabled", &CPropertyCache::DeviceEnabled},
    {4, "FreezeEvents", &CPropertyCache::FreezeEvents},
    {5, "OutputID", &CPropertyCache::OutputID},
    {6, "ResultCode", &CPropertyCache::ResultCode},
    {7, "ResultCodeExtended", &CPropertyCache::ResultCodeExtended},
    {8, "ServiceObjectVersion", &CPropertyCache::ServiceObjectVersion},
    {9, "State", &CPropertyCache::State},
    {11, "BinaryConversion", &CPropertyCache::BinaryConversion},
    {13, "PowerNotify", &CPropertyCache::PowerNotify},
    {14, "PowerState", &CPropertyCache::PowerState},
};

struct TextRow {
  long pidx;
  const char* name;
  std::string CPropertyCache::*value;
};
const TextRow kCommonTexts[] = {
    {1000001, "CheckHealthText", &CPropertyCache::CheckHealthText},
    {1000002, "DeviceDescription", &CPropertyCache::DeviceDescription},
    {1000003, "DeviceName", &CPropertyCache::DeviceName},
    {1000004, "ServiceObjectDescription", &CPropertyCache::ServiceObjectDescription},
};

BSTR ToBstr(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, n > 0 ? n : 0);
  if (out && n > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out, n);
  }
  return out;
}

void LogInvalidIndex(CLogContext* log, const char* function, const char* entry) {
  log->Write(LOG_ERROR, function, kSource, __LINE__, TAG_INFO, entry,
             "Property index is invalid.");
}

}  // namespace

long CPOSPrinter::GetPropertyNumber(long pidx) {
  static const char kFn[] = "CPOSPrinter::GetPropertyNumber";
  for (const NumberRow& row : kCommonNumbers) {
    if (row.pidx != pidx) continue;
    const long value = (pidx == 9) ? GetState() : m_props.*row.value;
    Log(LOG_INFO, kFn, __LINE__, "[Prop Get]", row.name, Fmt("%ld", value));
    return value;
  }
  LogInvalidIndex(m_logContext, kFn, "GetPropertyNumber");
  return 0;
}

BSTR CPOSPrinter::GetPropertyString(long pidx) {
  static const char kFn[] = "CPOSPrinter::GetPropertyString";
  for (const TextRow& row : kCommonTexts) {
    if (row.pidx != pidx) continue;
    const std::string& value = m_props.*row.value;
    Log(LOG_INFO, kFn, __LINE__, "[Prop Get]", row.name, value);
    return ToBstr(value);
  }
  LogInvalidIndex(m_logContext, kFn, "GetPropertyString");
  return SysAllocString(L"");
}

void CPOSPrinter::SetPropertyNumber(long /*pidx*/, long /*value*/) {
  LogInvalidIndex(m_logContext, "CPOSPrinter::SetPropertyNumber", "SetPropertyNumber");
}

void CPOSPrinter::SetPropertyString(long /*pidx*/, BSTR /*text*/) {
  LogInvalidIndex(m_logContext, "CPOSPrinter::SetPropertyString", "SetPropertyString");
}
