// RetrieveStatistics (the UnifiedPOS statistics document from the printer's maintenance
// counters and identification bytes) and ResetStatistics (clears maintenance counters).
#include "SubSO.h"

#include <cstdio>
#include <cstdlib>

#include "BstrText.h"
#include "CommPrinterDriver.h"
#include "RJCollection.h"
#include "RJDevice.h"

namespace {

// Statistic names in the order the document lists them (UnifiedPOS 1.14, POSPrinter).
constexpr const char* kUnifiedPosStatistics[] = {"HoursPoweredCount",
                                                 "CommunicationErrorCount",
                                                 "BarcodePrintedCount",
                                                 "FormInsertionCount",
                                                 "HomeErrorCount",
                                                 "JournalCharacterPrintedCount",
                                                 "JournalLinePrintedCount",
                                                 "MaximumTempReachedCount",
                                                 "NVRAMWriteCount",
                                                 "PaperCutCount",
                                                 "FailedPaperCutCount",
                                                 "PrinterFaultCount",
                                                 "PrintSideChangeCount",
                                                 "FailedPrintSideChangeCount",
                                                 "ReceiptCharacterPrintedCount",
                                                 "ReceiptCoverOpenCount",
                                                 "ReceiptLineFeedCount",
                                                 "ReceiptLinePrintedCount",
                                                 "SlipCharacterPrintedCount",
                                                 "SlipCoverOpenCount",
                                                 "SlipLineFeedCount",
                                                 "SlipLinePrintedCount",
                                                 "StampFiredCount"};
constexpr const char* kManufacturerStatistics[] = {"HoursPoweredCount_Accumulated",
                                                   "PaperCutCount_Accumulated",
                                                   "ReceiptLineFeedCount_Accumulated"};
constexpr const char* kEquipmentItems[] = {
    "UnifiedPOSVersion", "DeviceCategory",     "ManufacturerName", "ModelName", "SerialNumber",
    "ManufactureDate",   "MechanicalRevision", "FirmwareRevision", "Interface", "InstallationDate"};

// Where a statistic's value comes from; names without a row have the empty value.
enum class Source { kCounter, kCounterHours, kVersionSetting, kFixed, kModel, kPrinterId };
struct ValueRow {
  const char* name;
  Source source;
  unsigned char index;  // printer counter or identification byte
  const char* text;     // kFixed
};
constexpr ValueRow kValues[] = {
    {"HoursPoweredCount", Source::kCounterHours, 70, nullptr},  // counter 70 is in minutes
    {"PaperCutCount", Source::kCounter, 50, nullptr},
    {"ReceiptLineFeedCount", Source::kCounter, 20, nullptr},
    {"HoursPoweredCount_Accumulated", Source::kCounterHours, 198, nullptr},
    {"PaperCutCount_Accumulated", Source::kCounter, 178, nullptr},
    {"ReceiptLineFeedCount_Accumulated", Source::kCounter, 148, nullptr},
    {"UnifiedPOSVersion", Source::kVersionSetting, 0, nullptr},
    {"DeviceCategory", Source::kFixed, 0, "POSPrinter"},
    {"ManufacturerName", Source::kFixed, 0, "Kavrel"},
    {"ModelName", Source::kModel, 0, nullptr},
    {"MechanicalRevision", Source::kPrinterId, 1, nullptr},
    {"FirmwareRevision", Source::kPrinterId, 3, nullptr},
};

// Statistics ResetStatistics can clear, with the printer counter behind each.
struct ResetRow {
  const char* name;
  unsigned char counter;
};
constexpr ResetRow kResettable[] = {{"HoursPoweredCount", 70},
                                    {"PaperCutCount", 50},
                                    {"HeadPowerdCount", 21},
                                    {"ReceiptLineFeedCount", 20}};
constexpr const char* kResetAll[] = {"HoursPoweredCount", "PaperCutCount", "ReceiptLineFeedCount"};

constexpr char kAllUnifiedPos[] = "U_";
constexpr char kAllManufacturer[] = "M_";
constexpr long kMaxRetrieveNames = 26;   // one per statistic of both tables
constexpr long kMaxRetrieveCommas = 26;  // a 27th name is let through and ignored
constexpr long kMaxResetCommas = 3;      // four names pass the pre phase
constexpr long kMaxResetNames = 3;       // names beyond the third are ignored

constexpr char kDocumentStart[] =
    "<?xml version='1.0' ?>"
    "<UPOSStat version=\"1.14.0\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns=\"http://www.nrf-arts.org/UnifiedPOS/namespace/\" "
    "xsi:schemaLocation=\"http://www.nrf-arts.org/UnifiedPOS/namespace/ UPOSStat.xsd\" >";

// Values come from the registry and the printer: markup characters in them must not break
// the document.
struct Entity {
  char c;
  const char* text;
};
constexpr Entity kEntities[] = {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}};

std::string XmlEscape(const std::string& value) {
  std::string out;
  for (char c : value) {
    const Entity* entity = nullptr;
    for (const Entity& e : kEntities)
      if (e.c == c) entity = &e;
    if (entity)
      out += entity->text;
    else
      out += c;
  }
  return out;
}

std::string Element(const char* name, const std::string& value) {
  return std::string("<") + name + ">" + XmlEscape(value) + "</" + name + ">";
}

std::string Statistic(const char* wrapper, const char* name, const std::string& value) {
  return std::string("<") + wrapper + ">" + Element("Name", name) + Element("Value", value) + "</" +
         wrapper + ">";
}

std::string Unsigned(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "%lu", value);
  return text;
}

}  // namespace

std::string CSubSO::GetPrinterCounterText(BYTE index) {
  DWORD value = 0;
  const long code = m_pDriver->GetPrinterCounter(index, &value);
  long resultCode = OPOS_E_FAILURE;
  m_pCollection->GetErrorInfo(code, &resultCode, nullptr, 0, nullptr, nullptr);
  return resultCode == OPOS_SUCCESS ? Unsigned(value) : std::string();
}

std::string CSubSO::GetPrinterIdText(BYTE index, long* resultCode, long* resultCodeExtended) {
  DWORD value = 0;
  const long code = m_pDriver->GetPrinterId(index, &value);
  long mapped = OPOS_E_FAILURE;
  long mappedExtended = 0;
  m_pCollection->GetErrorInfo(code, &mapped, &mappedExtended, 0, nullptr, nullptr);
  if (mapped != OPOS_SUCCESS) {
    if (resultCode) *resultCode = mapped;
    if (resultCodeExtended) *resultCodeExtended = mappedExtended;
    return std::string();
  }
  char text[4];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value & 0xFF));
  return text;
}

std::string CSubSO::GetStatisticValue(const std::string& name) {
  for (const ValueRow& row : kValues) {
    if (name != row.name) continue;
    switch (row.source) {
      case Source::kCounter:
        return GetPrinterCounterText(row.index);
      case Source::kCounterHours:
        // A failed read counts as 0 minutes.
        return Unsigned(std::strtoul(GetPrinterCounterText(row.index).c_str(), nullptr, 10) / 60);
      case Source::kVersionSetting:
        return m_settings.Version;
      case Source::kFixed:
        return row.text;
      case Source::kModel:
        return m_settings.ModelText;
      case Source::kPrinterId:
        return GetPrinterIdText(row.index);
    }
  }
  return std::string();
}

std::string CSubSO::BuildStatisticsDocument(const std::string& selection) {
  const bool everything = selection.empty();
  const bool allUnified = everything || selection == kAllUnifiedPos;
  const bool allManufacturer = everything || selection == kAllManufacturer;
  const bool byName = !allUnified && !allManufacturer;
  std::string names[kMaxRetrieveNames];
  long count = 0;
  if (byName) {
    count = m_converter.SplitCommaList(selection.c_str(), names, kMaxRetrieveNames);
    if (count > kMaxRetrieveNames) count = kMaxRetrieveNames;
  }
  auto requested = [&](const char* name) {
    for (long i = 0; i < count; ++i)
      if (names[i] == name) return true;
    return false;
  };

  // Each value is read when it is written: one printer query per counter.
  std::string document = kDocumentStart;
  document += "<Event>";
  for (const char* name : kUnifiedPosStatistics)
    if (allUnified || requested(name))
      document += Statistic("Parameter", name, GetStatisticValue(name));
  for (const char* name : kManufacturerStatistics) {
    if (allManufacturer)
      document += Statistic("ManufacturerSpecific", name, GetStatisticValue(name));
    else if (requested(name))
      document += Statistic("Parameter", name, GetStatisticValue(name));
  }
  document += "</Event><Equipment>";
  for (const char* name : kEquipmentItems) {
    const std::string value = GetStatisticValue(name);
    if (std::string(name) == "DeviceCategory")
      document += std::string("<") + name + " UPOS=\"" + XmlEscape(value) + "\" />";
    else
      document += Element(name, value);
  }
  document += "</Equipment></UPOSStat>";
  return document;
}

long CSubSO::preRetrieveStatistics(long* args) {
  const auto* block = reinterpret_cast<PrnPreRetrieveStatisticsArgs*>(args);
  if (!block->statisticsBuffer) return OPOS_E_ILLEGAL;
  const std::string selection = BstrToAnsi(*block->statisticsBuffer);
  if (selection.empty() || selection == kAllUnifiedPos || selection == kAllManufacturer)
    return OPOS_SUCCESS;
  return m_converter.CountCommas(selection.c_str()) > kMaxRetrieveCommas ? OPOS_E_ILLEGAL
                                                                         : OPOS_SUCCESS;
}

long CSubSO::executeRetrieveStatistics(long* args) {
  const auto* block = reinterpret_cast<PrnExecRetrieveStatisticsArgs*>(args);
  if (!block->statisticsBuffer) {
    SetResultCodes(block->snapshot, OPOS_E_ILLEGAL, 0);
    return OPOS_E_ILLEGAL;
  }
  const std::string document = BuildStatisticsDocument(BstrToAnsi(*block->statisticsBuffer));
  const long result =
      ReplaceBstr(block->statisticsBuffer, document) ? OPOS_SUCCESS : OPOS_E_FAILURE;
  SetResultCodes(block->snapshot, result, 0);
  return result;
}

long CSubSO::ResetStatistic(const std::string& name) {
  for (const ResetRow& row : kResettable)
    if (name == row.name)
      return m_pDevice->ResetMaintenanceCounter(row.counter, SendTimeout()) == 0;
  return 0;
}

long CSubSO::preResetStatistics(long* args) {
  const auto* block = reinterpret_cast<PrnPreTextArgs*>(args);
  const std::string selection = block->text ? block->text : "";
  if (selection.empty() || selection == kAllUnifiedPos) return OPOS_SUCCESS;
  if (selection == kAllManufacturer) {
    // No manufacturer statistic can be reset.
    if (block->resultCodeExtended) *block->resultCodeExtended = OPOS_ESTATS_ERROR;
    return OPOS_E_EXTENDED;
  }
  return m_converter.CountCommas(selection.c_str()) > kMaxResetCommas ? OPOS_E_ILLEGAL
                                                                      : OPOS_SUCCESS;
}

long CSubSO::executeResetStatistics(long* args) {
  const auto* block = reinterpret_cast<PrnExecTextArgs*>(args);
  if (!m_pDevice) {
    SetResultCodes(block->snapshot, OPOS_E_ILLEGAL, 0);
    return OPOS_E_ILLEGAL;
  }
  const std::string selection = block->text ? block->text : "";
  if (selection == kAllManufacturer) {
    SetResultCodes(block->snapshot, OPOS_E_EXTENDED, OPOS_ESTATS_ERROR);
    return OPOS_E_EXTENDED;
  }
  std::string names[kMaxResetNames];
  long count = 0;
  if (selection.empty() || selection == kAllUnifiedPos) {
    for (const char* name : kResetAll) names[count++] = name;
  } else {
    count = m_converter.SplitCommaList(selection.c_str(), names, kMaxResetNames);
    if (count > kMaxResetNames) count = kMaxResetNames;
  }
  bool allCleared = true;
  for (long i = 0; i < count; ++i)
    if (!ResetStatistic(names[i])) allCleared = false;  // the others are still tried
  if (!allCleared) {
    SetResultCodes(block->snapshot, OPOS_E_EXTENDED, OPOS_ESTATS_ERROR);
    return OPOS_E_EXTENDED;
  }
  SetResultCodes(block->snapshot, OPOS_SUCCESS, 0);
  return OPOS_SUCCESS;
}
