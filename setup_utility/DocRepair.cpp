// Defaults, checks and repairs of the selected device's values.
#include "KvrOposUtilityDoc.h"

namespace {

constexpr char kRepairedMessage[] =
    "One or more invalid value had been set in the registry. It has been repaired to default "
    "setting.";
constexpr char kPrinterCoreMissing[] =
    "Can not find the POS Printer Service Object, An invalid value is set in the CoreSODLLPath. ";
constexpr char kPrinterSubMissing[] =
    "Can not find the POS Printer Service Object, An invalid value is set in the SubSODLLPath. ";
constexpr char kDrawerCoreMissing[] =
    "Can not find the Cash Drawer Service Object, An invalid value is set in the CoreSODLLPath. ";
constexpr char kDrawerSubMissing[] =
    "Can not find the Cash Drawer Service Object, An invalid value is set in the SubSODLLPath. ";

constexpr const char* kRetentionValues[] = {"1", "3", "10", "30", "90"};
constexpr const char* kLogLevelValues[] = {"-1", "0", "1", "2", "3", "4"};

template <size_t N>
bool OneOf(const std::string& value, const char* const (&allowed)[N]) {
  for (const char* a : allowed)
    if (value == a) return true;
  return false;
}

bool ListHasValue(const OptionList& list, const std::string& value) {
  for (int i = 0; i < OptionCount(list); ++i)
    if (OptionValue(list, i) == value) return true;
  return false;
}

bool ListHasLabel(const OptionList& list, const std::string& label) {
  for (int i = 0; i < OptionCount(list); ++i)
    if (OptionLabel(list, i) == label) return true;
  return false;
}

// Decimal digits only, at most maxDigits of them; the value saturates instead of wrapping.
bool ParseDigits(const std::string& text, size_t maxDigits, unsigned long long* value) {
  if (text.empty() || text.size() > maxDigits) return false;
  unsigned long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    if (v < 1000000000000ULL) v = v * 10 + static_cast<unsigned>(c - '0');
  }
  *value = v;
  return true;
}

bool DigitsInRange(const std::string& text, size_t maxDigits, unsigned long long low,
                   unsigned long long high) {
  unsigned long long v = 0;
  return ParseDigits(text, maxDigits, &v) && v >= low && v <= high;
}

constexpr size_t kAnyLength = static_cast<size_t>(-1);

}  // namespace

bool CKvrOposUtilityDoc::IsValidTimeout(const std::string& text) {
  return DigitsInRange(text, /*maxDigits=*/9, 3000, 90000);
}

bool CKvrOposUtilityDoc::IsValidPulseTime(const std::string& text) {
  return DigitsInRange(text, kAnyLength, 1, 8);
}

bool CKvrOposUtilityDoc::IsValidBrightness(const std::string& text) {
  return DigitsInRange(text, kAnyLength, 0, 10);
}

bool CKvrOposUtilityDoc::IsValidLogSize(const std::string&) { return true; }

void CKvrOposUtilityDoc::SetSelectedDefaults(const ModelInfo& row) {
  DeviceValues& v = m_selected;
  v = DeviceValues();
  v.sendTimeout = v.receiveTimeout = "10000";
  v.processCompletionTiming = "1";
  v.paperSize = DefaultOptionValue(row.paperList);
  v.printWidth = DefaultOptionValue(row.printWidthList);
  v.markMode = DefaultOptionValue(row.markModeList);
  v.printSpeed = DefaultOptionValue(row.printSpeedList);
  v.nearEnd = "1";
  v.printerCharacterSet = "932";
  v.pulseTime = "1";
  v.invertDrawerStatus = "F";
  v.drawerNo = "1";
  v.displayCharacterSet = "932";
  v.deviceBrightness = "10";
  v.defaultScreenMode = "1";
  v.logRetentionPeriod = "1";
  v.logLevelCore = v.logLevelSub = "-1";
  v.logSize = "1024";
  v.printerProgId = row.progIds[kPosPrinter];
  v.drawerProgId = row.progIds[kCashDrawer];
  v.displayProgId = row.progIds[kLineDisplay];
  v.scannerProgId = row.progIds[kScanner];
  v.version = row.version;
}

void CKvrOposUtilityDoc::Fix(std::string* value, const std::string& repaired) {
  if (*value == repaired) return;
  *value = repaired;
  m_fRepaired = true;
}

void CKvrOposUtilityDoc::RepairLogValues() {
  DeviceValues& v = m_selected;
  if (!OneOf(v.logRetentionPeriod, kRetentionValues)) Fix(&v.logRetentionPeriod, "1");
  if (!OneOf(v.logLevelCore, kLogLevelValues)) Fix(&v.logLevelCore, "-1");
  if (!OneOf(v.logLevelSub, kLogLevelValues)) Fix(&v.logLevelSub, "-1");
}

void CKvrOposUtilityDoc::ShowRepairMessage() {
  if (m_fRepaired) m_messages->ShowMessage(kRepairedMessage, 0);
}

// Description, the two paths, Version and the log values: the same for every class.
void CKvrOposUtilityDoc::RepairSharedValues(DeviceClass cls, const ModelInfo& row,
                                            const char* missingCore, const char* missingSub) {
  DeviceValues& v = m_selected;
  if (v.description.empty()) {
    const std::string& yearFile =
        m_new.values.coreSODLLPath.empty() ? v.coreSODLLPath : m_new.values.coreSODLLPath;
    Fix(&v.description, ComputeDescription(cls, row, yearFile));
  }
  const std::string core = ComputeCorePath(cls, row);
  if (!core.empty() && _stricmp(core.c_str(), v.coreSODLLPath.c_str()) != 0)
    Fix(&v.coreSODLLPath, core);
  else if (core.empty() && v.coreSODLLPath.empty())
    m_messages->ShowMessage(missingCore, 0);
  const std::string sub = ComputeSubPath(cls, row);
  if (!sub.empty() && _stricmp(sub.c_str(), v.subSODLLPath.c_str()) != 0)
    Fix(&v.subSODLLPath, sub);
  else if (sub.empty() && v.subSODLLPath.empty())
    m_messages->ShowMessage(missingSub, 0);
  // A version read from the file is taken quietly; only a missing one counts as a repair.
  const std::string version = GetFileVersionString(v.subSODLLPath);
  if (!version.empty())
    v.version = version;
  else if (v.version.empty())
    Fix(&v.version, row.version);
}

void CKvrOposUtilityDoc::RepairPrinterEntry(const ModelInfo& row) {
  DeviceValues& v = m_selected;
  m_fRepaired = false;
  if (!IsValidTimeout(v.sendTimeout)) Fix(&v.sendTimeout, "10000");
  if (!IsValidTimeout(v.receiveTimeout)) Fix(&v.receiveTimeout, "10000");
  if (v.processCompletionTiming != "0" && v.processCompletionTiming != "1")
    Fix(&v.processCompletionTiming, "1");
  const struct {
    const OptionList& list;
    std::string* value;
  } optional[] = {{row.paperList, &v.paperSize},
                  {row.printWidthList, &v.printWidth},
                  {row.markModeList, &v.markMode}};
  for (const auto& o : optional)
    if (HasList(o.list) && !ListHasValue(o.list, *o.value))
      Fix(o.value, DefaultOptionValue(o.list));
  if (!ListHasValue(row.printSpeedList, v.printSpeed)) {
    const std::string speed = DefaultOptionValue(row.printSpeedList);
    if (speed.empty())
      v.printSpeed = speed;
    else
      Fix(&v.printSpeed, speed);
  }
  // The registry holds the code page itself (the list's label); the list's values are only
  // the items' positions. Matching against the values would turn "932" into "11".
  if (HasList(row.codePageList) && !ListHasLabel(row.codePageList, v.printerCharacterSet))
    Fix(&v.printerCharacterSet, DefaultOptionLabel(row.codePageList));
  if (v.printerProgId != row.progIds[kPosPrinter]) Fix(&v.printerProgId, row.progIds[kPosPrinter]);
  RepairSharedValues(kPosPrinter, row, kPrinterCoreMissing, kPrinterSubMissing);
  if (HasList(row.nearEndList) && !ListHasValue(row.nearEndList, v.nearEnd))
    Fix(&v.nearEnd, DefaultOptionValue(row.nearEndList));
  RepairLogValues();
  ShowRepairMessage();
}

void CKvrOposUtilityDoc::RepairCashDrawerEntry(const ModelInfo& row) {
  DeviceValues& v = m_selected;
  m_fRepaired = false;
  if (!IsValidPulseTime(v.pulseTime)) Fix(&v.pulseTime, "1");
  if (v.invertDrawerStatus != "F" && v.invertDrawerStatus != "T") Fix(&v.invertDrawerStatus, "F");
  if (v.drawerProgId != row.progIds[kCashDrawer]) Fix(&v.drawerProgId, row.progIds[kCashDrawer]);
  RepairSharedValues(kCashDrawer, row, kDrawerCoreMissing, kDrawerSubMissing);
  if (v.drawerNo != "1" && v.drawerNo != "2") Fix(&v.drawerNo, "1");
  RepairLogValues();
  ShowRepairMessage();
}
