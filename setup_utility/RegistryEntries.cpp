#include "RegistryEntries.h"

#include <iterator>

namespace {

// Which option list a printer row depends on.
enum ListCondition { kAlways, kPaperList, kPrintWidthList, kMarkModeList, kNearEndList };

using Field = std::string DeviceValues::*;

struct ValueRow {
  const char* name;  // nullptr: the model row's print-speed name
  Field field;
  ListCondition condition;
};

constexpr ValueRow kPrinterWrite[] = {
    {"SendTimeout", &DeviceValues::sendTimeout, kAlways},
    {"ReceiveTimeout", &DeviceValues::receiveTimeout, kAlways},
    {"ProcessCompletionTiming", &DeviceValues::processCompletionTiming, kAlways},
    {"DriverName", &DeviceValues::driverName, kAlways},
    {"PaperSize", &DeviceValues::paperSize, kPaperList},
    {"PrintWidth", &DeviceValues::printWidth, kPrintWidthList},
    {"MarkMode", &DeviceValues::markMode, kMarkModeList},
    {nullptr, &DeviceValues::printSpeed, kAlways},
    {"NearEnd", &DeviceValues::nearEnd, kNearEndList},
    {"DefaultCharacterSet", &DeviceValues::printerCharacterSet, kAlways},
    {"LogRetentionPeriod", &DeviceValues::logRetentionPeriod, kAlways},
    {"LogLevelCore", &DeviceValues::logLevelCore, kAlways},
    {"LogLevelSub", &DeviceValues::logLevelSub, kAlways},
    {"Version", &DeviceValues::version, kAlways},
    {"", &DeviceValues::printerProgId, kAlways},
    {"Description", &DeviceValues::description, kAlways},
    {"CoreSODLLPath", &DeviceValues::coreSODLLPath, kAlways},
    {"SubSODLLPath", &DeviceValues::subSODLLPath, kAlways},
};

constexpr ValueRow kPrinterRead[] = {
    {"SendTimeout", &DeviceValues::sendTimeout, kAlways},
    {"ReceiveTimeout", &DeviceValues::receiveTimeout, kAlways},
    {"ProcessCompletionTiming", &DeviceValues::processCompletionTiming, kAlways},
    {"DriverName", &DeviceValues::driverName, kAlways},
    {"PaperSize", &DeviceValues::paperSize, kAlways},
    {"NearEnd", &DeviceValues::nearEnd, kAlways},
    {"DefaultCharacterSet", &DeviceValues::printerCharacterSet, kAlways},
    {"LogLevelCore", &DeviceValues::logLevelCore, kAlways},
    {"LogLevelSub", &DeviceValues::logLevelSub, kAlways},
    {"Version", &DeviceValues::version, kAlways},
    {"", &DeviceValues::printerProgId, kAlways},
    {"Description", &DeviceValues::description, kAlways},
    {"CoreSODLLPath", &DeviceValues::coreSODLLPath, kAlways},
    {"SubSODLLPath", &DeviceValues::subSODLLPath, kAlways},
    {nullptr, &DeviceValues::printSpeed, kAlways},
    {"LogRetentionPeriod", &DeviceValues::logRetentionPeriod, kAlways},
    {"PrintWidth", &DeviceValues::printWidth, kAlways},
    {"MarkMode", &DeviceValues::markMode, kAlways},
};

// The first six rows are what a drawer's rewrite always writes; the ProgID row never.
constexpr ValueRow kDrawerWrite[] = {
    {"DriverName", &DeviceValues::driverName, kAlways},
    {"LogRetentionPeriod", &DeviceValues::logRetentionPeriod, kAlways},
    {"LogLevelCore", &DeviceValues::logLevelCore, kAlways},
    {"LogLevelSub", &DeviceValues::logLevelSub, kAlways},
    {"PulseTime", &DeviceValues::pulseTime, kAlways},
    {"InvertDrawerStatus", &DeviceValues::invertDrawerStatus, kAlways},
    {"Version", &DeviceValues::version, kAlways},
    {"", &DeviceValues::drawerProgId, kAlways},
    {"Description", &DeviceValues::description, kAlways},
    {"CoreSODLLPath", &DeviceValues::coreSODLLPath, kAlways},
    {"SubSODLLPath", &DeviceValues::subSODLLPath, kAlways},
    {"DrawerNo", &DeviceValues::drawerNo, kAlways},
};
constexpr int kDrawerAlwaysRewritten = 6;
constexpr int kDrawerProgIdRow = 7;

constexpr ValueRow kDrawerRead[] = {
    {"DriverName", &DeviceValues::driverName, kAlways},
    {"PulseTime", &DeviceValues::pulseTime, kAlways},
    {"InvertDrawerStatus", &DeviceValues::invertDrawerStatus, kAlways},
    {"LogLevelCore", &DeviceValues::logLevelCore, kAlways},
    {"LogLevelSub", &DeviceValues::logLevelSub, kAlways},
    {"Version", &DeviceValues::version, kAlways},
    {"", &DeviceValues::drawerProgId, kAlways},
    {"Description", &DeviceValues::description, kAlways},
    {"CoreSODLLPath", &DeviceValues::coreSODLLPath, kAlways},
    {"SubSODLLPath", &DeviceValues::subSODLLPath, kAlways},
    {"DrawerNo", &DeviceValues::drawerNo, kAlways},
    {"LogRetentionPeriod", &DeviceValues::logRetentionPeriod, kAlways},
};

bool ConditionHolds(ListCondition condition, const ModelInfo& row) {
  switch (condition) {
    case kPaperList: return HasList(row.paperList);
    case kPrintWidthList: return HasList(row.printWidthList);
    case kMarkModeList: return HasList(row.markModeList);
    case kNearEndList: return HasList(row.nearEndList);
    case kAlways: break;
  }
  return true;
}

std::string RowName(const ValueRow& r, const char* printSpeedName) {
  return r.name != nullptr ? r.name : printSpeedName;
}

template <size_t N>
void Copy(const ValueRow (&rows)[N], const std::vector<std::string>& read, DeviceValues* values) {
  for (size_t i = 0; i < N && i < read.size(); ++i) values->*rows[i].field = read[i];
}

}  // namespace

std::vector<RegistryValue> PosPrinterEntry(const DeviceValues& values, const ModelInfo& row) {
  std::vector<RegistryValue> entry;
  for (const ValueRow& r : kPrinterWrite)
    if (ConditionHolds(r.condition, row))
      entry.push_back({RowName(r, row.printSpeedName), values.*r.field});
  return entry;
}

std::vector<RegistryValue> CashDrawerEntry(const DeviceValues& values) {
  std::vector<RegistryValue> entry;
  for (const ValueRow& r : kDrawerWrite) entry.push_back({r.name, values.*r.field});
  return entry;
}

std::vector<RegistryValue> CashDrawerRewrite(const DeviceValues& values, bool repaired) {
  std::vector<RegistryValue> entry;
  const int count = repaired ? static_cast<int>(std::size(kDrawerWrite)) : kDrawerAlwaysRewritten;
  for (int i = 0; i < count; ++i)
    if (i != kDrawerProgIdRow) entry.push_back({kDrawerWrite[i].name, values.*kDrawerWrite[i].field});
  return entry;
}

std::vector<std::string> PosPrinterReadNames(const ModelInfo& row) {
  std::vector<std::string> names;
  for (const ValueRow& r : kPrinterRead) names.push_back(RowName(r, row.printSpeedName));
  return names;
}

std::vector<std::string> CashDrawerReadNames() {
  std::vector<std::string> names;
  for (const ValueRow& r : kDrawerRead) names.push_back(r.name);
  return names;
}

void CopyPosPrinterValues(const std::vector<std::string>& read, DeviceValues* values) {
  Copy(kPrinterRead, read, values);
}

void CopyCashDrawerValues(const std::vector<std::string>& read, DeviceValues* values) {
  Copy(kDrawerRead, read, values);
}
