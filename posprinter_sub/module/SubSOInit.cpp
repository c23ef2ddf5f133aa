// Initialisation of one device: the caller's version, the device key with its defaults, the
// log context, the Windows printer behind the device, the capability block and the property
// lists, the command builder and the printer SDK.
#include "SubSO.h"

#include "CommPrinterDriver.h"
#include "Log.h"
#include "PrennikResources.h"
#include "RJCollection.h"
#include "RJDevice.h"
#include "SubSOProperties.h"
#include "WindowsPrinter.h"

namespace {

constexpr char kOwnVersionText[] = PRENNIK_VERSION_TEXT;
constexpr char kPrinterSdk[] = "TbxQdApi.dll";

}  // namespace

long CSubSO::initSubSODet(const char* deviceName, long coreVersion,
                          PrnPropertySnapshot* snapshot, void* callbackContext) {
  deviceName = deviceName ? deviceName : "";
  const char* name = "initSubSO";
  const std::string classKey = std::string(kPosPrinterClassKey);
  m_fFirstEnable = 0;
  if (m_fInitialised) {
    snapshot->resultCode = OPOS_E_FAILURE;
    return Leave(name, OPOS_E_FAILURE);
  }
  long ownVersion = 0;
  if (coreVersion < PRN_MIN_CORE_VERSION || getModuleVersion(&ownVersion) != 0 ||
      coreVersion / 1000 < ownVersion / 1000)
    return Leave(name, OPOS_E_ILLEGAL);
  snapshot->serviceObjectVersion = ownVersion;
  (void)ReadRegistrySettings((classKey + "\\" + deviceName).c_str(), snapshot);
  m_pLogContext->Configure(deviceName, m_settings.LogFileSize, m_settings.LogRetentionPeriod,
                           m_settings.LogLevelSub, m_settings.LogFileNameSub.c_str());
  m_pDevice = new CRJDevice(m_pLogContext, m_pDriver, m_pCapabilities);
  if (!m_pDevice->Initialize()) {
    DeleteDevice();
    snapshot->resultCode = OPOS_E_FAILURE;
    return Leave(name, OPOS_E_FAILURE);
  }
  Enter(name);
  LogLine(LOG_CAT_INFO, "CSubSO::initSubSO", kTagParam, "DeviceName", deviceName);
  LogLine(LOG_CAT_INFO, "CSubSO::initSubSO", kTagInfo, "Version:", kOwnVersionText);
  if (!m_pDriver->LoadPrinterDriverDLL(kPrinterSdk)) {
    DeleteDevice();
    snapshot->resultCode = OPOS_E_FAILURE;
    return Leave(name, OPOS_E_FAILURE);
  }
  m_fInitialised = 1;
  m_pCollection->SetCoreContext(callbackContext);
  m_pDevice->SetCallbackContext(callbackContext);
  snapshot->resultCode = OPOS_SUCCESS;
  return Leave(name, OPOS_SUCCESS);
}

void CSubSO::DeleteDevice() {
  delete m_pDevice;
  m_pDevice = nullptr;
}

long CSubSO::ReadRegistrySettings(const char* deviceKey, PrnPropertySnapshot* snapshot) {
  const bool allPresent = ReadDeviceSettings(deviceKey, &m_settings);
  const std::string port = GetModelFromPrinter(m_settings.DriverName.c_str(), snapshot);
  m_settings.PortName = port;
  setInitProperty(snapshot);
  m_pCapabilities->capRecNearEndSensor = m_settings.NearEnd;
  m_pCapabilities->capRecMarkFeed = m_settings.MarkMode ? 15 : 0;
  return allPresent ? 1 : 0;
}

std::string CSubSO::GetModelFromPrinter(const char* driverName, PrnPropertySnapshot* snapshot) {
  CWindowsPrinterInfo info;
  if (!QueryWindowsPrinter(driverName, &info)) return std::string();
  m_settings.ModelText = ModelFromDriverName(info.driverName);
  const CDescriptionTexts texts = MakeDescriptionTexts();
  m_snapshotTexts.Put(snapshot, &PrnPropertySnapshot::deviceDescription, texts.device.c_str());
  m_snapshotTexts.Put(snapshot, &PrnPropertySnapshot::serviceObjectDescription,
              texts.serviceObject.c_str());
  m_snapshotTexts.Put(snapshot, &PrnPropertySnapshot::deviceName, texts.physical.c_str());
  return info.portName;
}

void CSubSO::setInitProperty(PrnPropertySnapshot* snapshot) {
  if (!m_fActivated) {
    SetInitPropertiesFirst(m_pCapabilities, snapshot, &m_snapshotTexts, m_settings.PaperSize, m_lPitch);
    return;
  }
  const long characterSet = SetInitPropertiesSecond(snapshot, m_settings.PaperSize,
                                                    m_settings.DefaultCharacterSet, &m_lPitch);
  m_pDevice->SelectCodeTable(characterSet);
}
