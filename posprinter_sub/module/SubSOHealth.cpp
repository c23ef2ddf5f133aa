// CheckHealth: every level first proves that the printer answers its identification query
// (byte 3, the firmware revision); the external and interactive levels then print a short
// report on the receipt, which the core queues like any other output.
#include "SubSO.h"

#include <cstdio>
#include <memory>

#include "RJDevice.h"

namespace {

enum HealthLevel : long { kInternal = 1, kExternal = 2, kInteractive = 3 };

constexpr BYTE kFirmwareRevisionId = 3;
constexpr char kInternalFailure[] = "Internal HCheck: Failure";
// Both printed levels report their failure under the external word.
constexpr char kPrintedFailure[] = "External HCheck: Failure";

}  // namespace

long CSubSO::preCheckHealth(long* args) {
  const long level = reinterpret_cast<PrnPreLevelArgs*>(args)->level;
  return level >= kInternal && level <= kInteractive ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
}

long CSubSO::executeCheckHealth(long* args) {
  const auto& block = *reinterpret_cast<PrnExecLevelArgs*>(args);
  switch (block.level) {
    case kInternal:
      return checkHealthInternal(block.snapshot);
    case kExternal:
      return checkHealthPrint("External", block);
    case kInteractive:
      return checkHealthInteractive(block);
    default:
      SetResultCodes(block.snapshot, OPOS_E_ILLEGAL, 0);
      return OPOS_E_ILLEGAL;
  }
}

long CSubSO::checkHealthInternal(PrnPropertySnapshot* snapshot) {
  long resultCode = OPOS_SUCCESS;
  long resultCodeExtended = 0;
  if (GetPrinterIdText(kFirmwareRevisionId, &resultCode, &resultCodeExtended).empty()) {
    if (snapshot)
      m_snapshotTexts.Put(snapshot, &PrnPropertySnapshot::checkHealthText, kInternalFailure);
  } else {
    resultCode = OPOS_SUCCESS;
    resultCodeExtended = 0;
  }
  SetResultCodes(snapshot, resultCode, resultCodeExtended);
  return resultCode;
}

long CSubSO::checkHealthInteractive(const PrnExecLevelArgs& block) {
  return checkHealthPrint("Interactive", block);
}

long CSubSO::checkHealthPrint(const char* word, const PrnExecLevelArgs& block) {
  // The report is built from both records and goes out through the list word.
  if (!block.record || !block.stationState || !block.list || !m_pDevice) {
    SetResultCodes(block.snapshot, OPOS_E_ILLEGAL, 0);
    return OPOS_E_ILLEGAL;
  }
  long resultCode = OPOS_SUCCESS;
  long resultCodeExtended = 0;
  const std::string revision =
      GetPrinterIdText(kFirmwareRevisionId, &resultCode, &resultCodeExtended);
  if (revision.empty()) {
    if (block.snapshot)
      m_snapshotTexts.Put(block.snapshot, &PrnPropertySnapshot::checkHealthText, kPrintedFailure);
    SetResultCodes(block.snapshot, resultCode, resultCodeExtended);
    return resultCode;
  }
  char version[16];
  std::snprintf(version, sizeof version, "%ld", block.record->serviceObjectVersion);
  const char* deviceName = block.record->deviceName ? block.record->deviceName : "";
  const std::string report = std::string(word) + " HCheck Complete.\n" + m_settings.ModelText +
                             " Version:\n " + revision + "\nServiceObjectVersion:\n " + version +
                             "\nDeviceName:\n " + deviceName + "\n\n";
  unsigned char* raw = nullptr;
  long length = 0;
  if (!m_converter.ConvertBinary(report.c_str(), &raw, &length, CDataConverter::kNone)) {
    SetResultCodes(block.snapshot, OPOS_E_ILLEGAL, 0);
    return OPOS_E_ILLEGAL;
  }
  std::unique_ptr<unsigned char[]> bytes(raw);
  long tokenizerError = 0;
  PrnTokenList* list =
      m_pDevice->AddTextTokens(block.record, block.stationState, m_settings.CurrentStation,
                               bytes.get(), length, &tokenizerError, /*skip=*/1);
  if (!list) {
    SetResultCodes(block.snapshot, OPOS_E_FAILURE, 0);
    return OPOS_E_FAILURE;
  }
  *block.list = list;
  SetResultCodes(block.snapshot, OPOS_SUCCESS, 0);
  return OPOS_SUCCESS;
}
