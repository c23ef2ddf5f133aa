#include "SubSO.h"

#include "Log.h"
#include "ModuleResources.h"
#include "OposCodes.h"
#include "StatusTables.h"
#include "TollekApp.h"
#include "tollek_resource.h"

namespace tollek {

namespace {

constexpr char kFile[] = "SubSO";
constexpr char kDescriptionMaker[] = "KVR ";
constexpr char kModelName[] = "TBX911QD";
constexpr char kVersionText[] = "1014000000";  // the version line carries this fixed text

volatile LONG g_liveInstances = 0;

}  // namespace

CSubSO::CSubSO(long slot)
    : m_slot(slot), m_waitEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  CStatusTables::Instance().Open(m_slot);
  InterlockedIncrement(&g_liveInstances);
}

CSubSO::~CSubSO() {
  Retire();
  InterlockedDecrement(&g_liveInstances);
}

void CSubSO::Release(CSubSO* instance) {
  if (instance && InterlockedDecrement(&instance->m_refs) == 0) delete instance;
}

long CSubSO::LiveInstances() { return g_liveInstances; }

void CSubSO::Retire() {
  if (m_retired) return;
  m_retired = true;
  EndActivation();
  (void)m_driver.UnloadPrinterDriverDLL();
  CStatusTables::Instance().Close(m_slot);
}

void CSubSO::Line(DWORD category, const char* operation, int line, const char* tag,
                  const char* text, const char* detail) const {
  const std::string function = std::string("CSubSO::") + operation;
  m_logContext.Write(category, function.c_str(), kFile, line, tag, text, detail);
}

void CSubSO::Enter(const char* operation) const {
  Line(LOG_CAT_INFO, operation, __LINE__, kTagEnter, operation);
}

long CSubSO::Leave(const char* operation, long result) const {
  const DWORD category = result == 0 ? LOG_CAT_INFO : LOG_CAT_ERROR;
  Line(category, operation, __LINE__, kTagResult, Format("%ld", result).c_str());
  Line(category, operation, __LINE__, kTagExit, operation);
  return result;
}

bool CSubSO::RequireInitialised(const char* operation) const {
  if (m_fInitialised) return true;
  Line(LOG_CAT_ERROR, operation, __LINE__, kTagInfo, "SubSO is not initialized.");
  return false;
}

long CSubSO::getModuleVersion(long* version) {
  return subsupport::GetModuleVersionNumber(version) ? 0 : -1;
}

long CSubSO::initSubSODet(const char* deviceName, long coreVersion, DrwInitRecord* initRecord) {
  static const char* const kOp = "initSubSO";
  long ownVersion = 0;
  // Major and minor count: the core must be at least as new as this module.
  if (coreVersion < kMinCoreVersion || getModuleVersion(&ownVersion) != 0 ||
      coreVersion / 1000 < ownVersion / 1000)
    return Leave(kOp, DRW_E_UNSUPPORTED);
  initRecord->subModuleVersion = ownVersion;
  readRegistrySettings((std::string(kCashDrawerClassKey) + "\\" + deviceName).c_str());
  m_logContext.Configure(deviceName, m_settings.LogFileSize, m_settings.LogRetentionPeriod,
                         m_settings.LogLevelSub, m_settings.LogFileNameSub.c_str());
  Enter(kOp);
  Line(LOG_CAT_INFO, kOp, __LINE__, kTagParam, "DeviceName", deviceName);
  Line(LOG_CAT_INFO, kOp, __LINE__, kTagInfo, "Version:", kVersionText);
  const BOOL loaded = m_driver.LoadPrinterDriverDLL(kPrinterSdk);
  if (!loaded) {
    Line(LOG_CAT_ERROR, kOp, __LINE__, kTagInfo, "Failed to load printer dll.",
         Format("Return value = %d", int(loaded)).c_str());
    return Leave(kOp, OPOS_E_FAILURE);
  }
  setDeviceDescriptions(initRecord);
  m_fInitialised = 1;
  return Leave(kOp, OPOS_SUCCESS);
}

void CSubSO::readRegistrySettings(const char* deviceKey) {
  m_settings = ReadDrawerSettings(deviceKey);
}

void CSubSO::setDeviceDescriptions(DrwInitRecord* initRecord) {
  const std::string drawer = subsupport::LoadModuleString(kStringCashDrawer);
  const std::string serviceObject = subsupport::LoadModuleString(kStringServiceObject);
  m_descriptionBase = std::string(kDescriptionMaker) + kModelName;
  const std::string shortName = m_descriptionBase.substr(sizeof kDescriptionMaker - 1);
  CHandedOutTexts& texts = TheApp().Texts();
  initRecord->description = texts.Copy(m_descriptionBase + drawer + serviceObject);
  initRecord->deviceDescription = texts.Copy(m_descriptionBase + drawer);
  initRecord->shortDescription = texts.Copy(shortName + drawer);
  initRecord->reserved = 0;
}

long CSubSO::releaseBuffer(void* buffer) {
  if (!buffer) return 0;
  return TheApp().Texts().Free(buffer) ? 0 : long(DRW_E_BAD_CALL);
}

long CSubSO::terminateSubSODet() {
  static const char* const kOp = "terminateSubSO";
  Enter(kOp);
  if (!RequireInitialised(kOp)) return Leave(kOp, DRW_E_BAD_CALL);
  EndActivation();
  (void)m_driver.UnloadPrinterDriverDLL();  // lets a printer still open go first
  return Leave(kOp, OPOS_SUCCESS);
}

long CSubSO::connectPrinterDet() {
  static const char* const kOp = "connectPrinter";
  Enter(kOp);
  if (!RequireInitialised(kOp)) return Leave(kOp, DRW_E_BAD_CALL);
  // The next online word raises power online and the drawer's state again.
  m_state = DrwStateWords{-1, -1, 0};
  const long result = m_driver.ConnectPrinter(m_settings.DriverName.c_str());
  if (result != 0) {
    Line(LOG_CAT_ERROR, kOp, __LINE__, kTagInfo, "Failed to connect printer dll.",
         Format("Return value = %ld", result).c_str());
  }
  return Leave(kOp, result);
}

long CSubSO::disconnectPrinterDet() {
  static const char* const kOp = "disconnectPrinter";
  Enter(kOp);
  if (!RequireInitialised(kOp)) return Leave(kOp, DRW_E_BAD_CALL);
  // Closing the printer ends its status: a waiter would never hear of the drawer again.
  EndActivation();
  (void)m_driver.DisconnectPrinter();
  return Leave(kOp, OPOS_SUCCESS);
}

long CSubSO::getCapabilityDet(DrwCapabilityBlock* block) {
  static const char* const kOp = "getCapability";
  Enter(kOp);
  if (!RequireInitialised(kOp)) return Leave(kOp, DRW_E_BAD_CALL);
  // CapCompareFirmwareVersion, CapPowerReporting (1 = QOS), CapStatisticsReporting,
  // CapUpdateFirmware, CapUpdateStatistics, CapStatus, CapStatusMultiDrawerDetect.
  *block = DrwCapabilityBlock{0, 1, 0, 0, 0, 1, 0};
  return Leave(kOp, OPOS_SUCCESS);
}

}  // namespace tollek
