#include "POSPrinter.h"

#include <cstdlib>
#include <new>
#include <vector>

#include "CommDevice.h"
#include "DeviceClaim.h"
#include "LogContext.h"
#include "OposCodes.h"
#include "POSPrinterSOApp.h"
#include "ServerIds.h"
#include "VasselinVersion.h"

namespace {

const char kSource[] = "POSPrinter";

enum : long { kStateClosed = 1 };

// ServiceObjectVersion when the version resource can't be read: string 14, or 0.
long FallbackServiceObjectVersion() {
  char text[32] = {};
  if (LoadStringA(CPOSPrinterSOApp::Module(), IDS_SERVICE_OBJECT_VERSION, text,
                  sizeof(text)) <= 0) {
    return 0;
  }
  return atol(text);
}

}  // namespace

CPOSPrinter::CPOSPrinter() {
  // Before the owned objects: what may still throw must not strand them.
  const long version = GetServiceObjectVersion();
  m_props.ServiceObjectVersion = (version == -1) ? FallbackServiceObjectVersion() : version;
  auto logContext = std::make_unique<CLogContext>();
  auto claim = std::make_unique<CDeviceClaim>(logContext.get());
  auto channel = std::make_unique<CCommDevice>(claim.get(), logContext.get());
  m_logContext = logContext.release();
  m_claim = claim.release();
  m_channel = channel.release();
  // The channel's threads and callbacks reach this object only through the claim object.
  m_channel->SetChannelOwner(m_claim);
  WireEventEffects();
  WireLifecycleEffects();
  CPOSPrinterSOApp::LockApp();
}

CPOSPrinter::~CPOSPrinter() {
  // A Control Object that drops its last reference without Close would leave the
  // sub-module, the claim and (once opened) threads and a window behind in a DLL that
  // COM may then unload. It is not called back on the way: the events still posted to
  // the window are dropped, not fired.
  m_dropEvents.store(true);
  if (GetState() != kStateClosed) {
    try {
      (void)Close();
    } catch (...) {
      // A destructor must not throw; what Close could not end stays as it is.
    }
  }
  // Worker threads post to the window and the event thread reads it: both end before the
  // window goes, and the window before this object.
  (void)m_channel->StopAllThreads();
  ShutDownEvents();
  delete m_channel;
  delete m_claim;
  delete m_logContext;
  m_driver.Release();
  m_settings.Close();
  CPOSPrinterSOApp::UnlockApp();
}

HRESULT CPOSPrinter::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
      IsEqualIID(riid, IID_IPOSPrinterSO)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CPOSPrinter::AddRef() { return ++m_refs; }

ULONG CPOSPrinter::Release() {
  const ULONG refs = --m_refs;
  if (refs == 0) {
    delete this;
    return 0;
  }
  // Only a call or a firing still holds the object: the Control Object let go and may be
  // gone (the driver's pointer to it is no reference), so nothing calls it back any more.
  if (refs == m_ownRefs.load()) {
    m_dropEvents.store(true);
    m_driver.Release();
  }
  return refs;
}

void CPOSPrinter::AddOwnReference() {
  // Taken before it is counted: a Release on another thread in between would otherwise find
  // only our own references left and stop calling back a Control Object that still holds one.
  AddRef();
  ++m_ownRefs;
}

void CPOSPrinter::ReleaseOwnReference() {
  --m_ownRefs;
  (void)Release();
}

void CPOSPrinter::Log(DWORD category, const char* function, int line, const char* tag,
                      std::string_view text, std::string_view detail) const {
  m_logContext->Write(category, function, kSource, line, tag, text, detail);
}

long CPOSPrinter::GetServiceObjectVersion() {
  char path[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(CPOSPrinterSOApp::Module(), path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return -1;
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return -1;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path, 0, size, block.data())) return -1;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return -1;
  }
  return static_cast<long>(HIWORD(info->dwFileVersionMS)) * 1000000 +
         static_cast<long>(LOWORD(info->dwFileVersionMS)) * 1000 +
         static_cast<long>(HIWORD(info->dwFileVersionLS));
}

long CPOSPrinter::SetResultCode(long resultCode, long resultCodeExtended, const char* text) {
  static const char kFn[] = "CPOSPrinter::SetResultCode";
  m_props.ResultCode = resultCode;
  m_props.ResultCodeExtended = resultCodeExtended;
  if (text && *text) {
    const DWORD category = resultCode != 0 ? LOG_ERROR : LOG_INFO;
    Log(category, kFn, __LINE__, TAG_RESULT, Fmt("%ld", resultCode));
    Log(category, kFn, __LINE__, TAG_EXIT, text);
  }
  return resultCode;
}

long CPOSPrinter::GetState() const {
  std::lock_guard<std::mutex> hold(m_stateLock);
  return m_props.State;
}

void CPOSPrinter::SetState(long state) {
  std::lock_guard<std::mutex> hold(m_stateLock);
  m_props.State = state;
}

void CPOSPrinter::SetPowerState(long powerState) {
  std::lock_guard<std::mutex> hold(m_powerStateLock);
  m_props.PowerState = powerState;
}

void CPOSPrinter::ClearErrorProperties() {
  std::lock_guard<std::mutex> hold(m_errorPropertiesLock);
  m_props.ErrorLevel = 1;
  m_props.ErrorStation = 0;
  m_props.ErrorString.clear();
}

std::string CPOSPrinter::GetErrorString() const {
  std::lock_guard<std::mutex> hold(m_errorPropertiesLock);
  return m_props.ErrorString;
}

long CPOSPrinter::GetCOFreezeEvents() const {
  std::lock_guard<std::mutex> hold(m_coFreezeLock);
  return m_coFreezeEvents;
}

long CPOSPrinter::COFreezeEvents(long freeze) {
  {
    std::lock_guard<std::mutex> hold(m_coFreezeLock);
    m_coFreezeEvents = freeze ? 1 : 0;
  }
  // Events held back go out now, not only with the next event queued.
  if (!freeze) WakeEventThread();
  return 0;
}

long CPOSPrinter::GetOpenResult() { return m_props.OpenResult; }

BOOL CPOSPrinter::ApplyDeviceSettings(const std::string& deviceName) {
  m_settings.m_deviceName = deviceName;
  if (!m_settings.Load(deviceName)) return FALSE;
  m_channel->SetResponseIdMode(m_settings.m_processCompletionTiming);
  m_channel->SetResponseTimeout(m_settings.m_receiveTimeout);
  m_channel->SetDataRegistrationTimeout(m_settings.m_dataRegistrationTimeout);
  m_channel->SetStatusPollInterval(m_settings.m_rcvc);
  m_logContext->Configure(deviceName, m_settings.m_logFileSize,
                          m_settings.m_logRetentionPeriod, m_settings.m_logLevelCore,
                          m_settings.m_logFileNameCore);
  return TRUE;
}

long CPOSPrinter::FrameChecks() const {
  if (!m_props.Claimed) return OPOS_E_NOTCLAIMED;
  if (!m_props.DeviceEnabled) return OPOS_E_DISABLED;
  return OPOS_SUCCESS;
}
