#include "SubSO.h"

#include "CommandToken.h"
#include "Log.h"
#include "ModuleResources.h"
#include "StatusQueue.h"

#include <cstdio>
#include <new>

namespace {

constexpr char kFile[] = "SubSO";
constexpr char kOwnVersionText[] = "1.14.1.3";

const char* TextOrEmpty(const char* text) { return text ? text : ""; }

template <class Block>
Block* BlockOf(long* args) {
  return reinterpret_cast<Block*>(args);
}

}  // namespace

CSubSO::CSubSO(long slot) : m_slot(slot) {
  m_pLogContext = new CLogContext;
  m_pCapabilities = new PrnCapabilityBlock();
  SetConstructorCapabilities(m_pCapabilities);
  CStatusQueue::ForSlot(slot)->Open();
  // Wiring hook: the status store and the printer channel are created here with the
  // settings and the log context.
}

CSubSO::~CSubSO() {
  // Wiring hook: the command builder, the printer channel and the status store are
  // deleted here (builder first).
  CStatusQueue::ForSlot(m_slot)->Close();
  delete m_pCapabilities;
  delete m_pLogContext;
}

long CSubSO::getModuleVersion(long* version) {
  return GetModuleVersionNumber(version) ? 0 : -1;
}

// ---- logging -----------------------------------------------------------------------------

void CSubSO::LogLine(DWORD category, const std::string& function, const char* tag,
                     const char* text, const char* detail) const {
  m_pLogContext->Write(category, function.c_str(), kFile, __LINE__, tag, text, detail);
}

void CSubSO::LogEnter(const std::string& function, const std::string& name) const {
  LogLine(LOG_CAT_INFO, function, kTagEnter, name.c_str());
}

void CSubSO::LogResultExit(const std::string& function, const std::string& name,
                           long result) const {
  const DWORD category = result == 0 ? LOG_CAT_INFO : LOG_CAT_ERROR;
  char number[16];
  std::snprintf(number, sizeof number, "%ld", result);
  LogLine(category, function, kTagResult, number);
  LogLine(category, function, kTagExit, name.c_str());
}

long CSubSO::NotServed(const char* name) const {
  const std::string function = std::string("CSubSO::") + name;
  LogEnter(function, name);
  LogResultExit(function, name, OPOS_E_ILLEGAL);
  return OPOS_E_ILLEGAL;
}

// ---- common frames -----------------------------------------------------------------------

long CSubSO::RunPre(const MethodRow& row, long* args) {
  const std::string name = std::string("pre") + row.name;
  const std::string function = "CSubSO::" + name;
  LogEnter(function, name);
  long* resultCodeExtended = reinterpret_cast<long*>(args[row.preWords - 1]);
  if (resultCodeExtended) *resultCodeExtended = 0;
  long result = OPOS_E_ILLEGAL;
  if (m_fInitialised && row.pre) result = (this->*row.pre)(args);
  LogResultExit(function, name, result);
  return result;
}

long CSubSO::RunExecute(const MethodRow& row, long* args) {
  const std::string name = std::string("execute") + row.name;
  const std::string function = "CSubSO::" + name;
  LogEnter(function, name);
  const long result = row.execute ? (this->*row.execute)(args) : OPOS_E_ILLEGAL;
  auto* snapshot = reinterpret_cast<PrnPropertySnapshot*>(args[row.executeWords - 1]);
  if (snapshot) snapshot->resultCode = result;
  LogResultExit(function, name, result);
  return result;
}

long CSubSO::RunService(const ServiceRow& row, long* args) {
  return row.handler ? (this->*row.handler)(args) : OPOS_E_ILLEGAL;
}

long CSubSO::RunCallback(const CallbackRow& row, void** record) {
  return (this->*row.handler)(record);
}

// ---- lifecycle ---------------------------------------------------------------------------

long CSubSO::initSubSODet(const char* deviceName, long coreVersion,
                          PrnPropertySnapshot* snapshot, void* callbackContext) {
  deviceName = TextOrEmpty(deviceName);
  const std::string function = "CSubSO::initSubSODet";
  m_fFirstEnable = 0;
  if (m_fInitialised) {
    snapshot->resultCode = OPOS_E_FAILURE;
    LogResultExit(function, "initSubSO", OPOS_E_FAILURE);
    return OPOS_E_FAILURE;
  }
  long ownVersion = 0;
  if (coreVersion < PRN_MIN_CORE_VERSION || getModuleVersion(&ownVersion) != 0 ||
      coreVersion / 1000 < ownVersion / 1000) {
    LogResultExit(function, "initSubSO", OPOS_E_ILLEGAL);
    return OPOS_E_ILLEGAL;
  }
  snapshot->serviceObjectVersion = ownVersion;
  // Settings hook: the device key is read here (values into m_settings, lists and
  // capability words into the snapshot); until then the defaults stand.
  m_pLogContext->Configure(deviceName, m_settings.LogFileSize, m_settings.LogRetentionPeriod,
                           m_settings.LogLevelSub, m_settings.LogFileNameSub.c_str());
  // Wiring hook: the command builder is created and initialised here (111 on failure).
  LogEnter(function, "initSubSO");
  LogLine(LOG_CAT_INFO, function, kTagParam, "DeviceName", deviceName);
  LogLine(LOG_CAT_INFO, function, kTagInfo, "Version:", kOwnVersionText);
  // Wiring hook: the printer SDK "TbxQdApi.dll" is loaded through the channel here.
  m_fInitialised = 1;
  m_pCallbackContext = callbackContext;
  snapshot->resultCode = OPOS_SUCCESS;
  LogResultExit(function, "initSubSO", OPOS_SUCCESS);
  return OPOS_SUCCESS;
}

long CSubSO::terminateSubSODet() {
  const std::string function = "CSubSO::terminateSubSODet";
  LogEnter(function, "terminateSubSO");
  long result = OPOS_E_ILLEGAL;
  if (m_fInitialised) {
    // Wiring hook: the printer SDK is unloaded through the channel here.
    m_fFirstEnable = 0;
    result = OPOS_SUCCESS;
  }
  LogResultExit(function, "terminateSubSO", result);
  return result;
}

long CSubSO::terminateDevice(long*) {
  const std::string function = "CSubSO::terminateDevice";
  LogEnter(function, "terminateDevice");
  const long result = m_fInitialised ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
  LogResultExit(function, "terminateDevice", result);
  return result;
}

long CSubSO::initPrinterDLL() { return NotServed("initPrinterDLL"); }

long CSubSO::terminatePrinterDLL() { return NotServed("terminatePrinterDLL"); }

long CSubSO::getCapabilityDet(PrnCapabilityArgs* args) {
  const std::string function = "CSubSO::getCapabilityDet";
  LogEnter(function, "getCapability");
  long result = OPOS_E_ILLEGAL;
  if (m_fInitialised && args->block) {
    *args->block = *m_pCapabilities;
    result = OPOS_SUCCESS;
  }
  LogResultExit(function, "getCapability", result);
  return result;
}

// ---- command-token list services ---------------------------------------------------------

long CSubSO::freeCommandList(long* args) {
  FreeCommandList(BlockOf<PrnListArgs>(args)->list);
  return OPOS_SUCCESS;
}

long CSubSO::moveCommandTokens(long* args) {
  const auto* block = BlockOf<PrnMoveTokensArgs>(args);
  if (!block->target || !block->source) return OPOS_E_ILLEGAL;
  MoveCommandTokens(block->target, block->source);
  return OPOS_SUCCESS;
}

long CSubSO::getFixedParameters(long* args) {
  const auto* block = BlockOf<PrnFixedParametersArgs>(args);
  if (!block->value1 || !block->value2 || !block->value3) return OPOS_E_ILLEGAL;
  *block->value1 = PRN_FIXED_PARAMETER_1;
  *block->value2 = PRN_FIXED_PARAMETER_2;
  *block->value3 = PRN_FIXED_PARAMETER_3;
  return OPOS_SUCCESS;
}

long CSubSO::addCommandToken(long* args) {
  const auto* block = BlockOf<PrnAddTokenArgs>(args);
  if (!block->list) return OPOS_E_ILLEGAL;
  // A token never claims bytes it does not hold: no data or a length below 1 gives a token
  // of length 0 and leaves the total alone.
  PrnCommandToken* token =
      AddCommandToken(block->list, block->type, block->data, block->length, block->parameter);
  if (!token) return OPOS_E_FAILURE;
  if (block->tokenOut) *block->tokenOut = token;
  return OPOS_SUCCESS;
}

long CSubSO::freeResultRecord(long* args) {
  PrnPropertySnapshot* snapshot = BlockOf<PrnSnapshotArgs>(args)->snapshot;
  if (!snapshot) return OPOS_SUCCESS;
  m_snapshotTexts.ReleaseAll(snapshot);
  // The slots are cleared too: a second 1015 on the same snapshot, or a core that reads a
  // slot afterwards, must meet NULL rather than freed memory.
  for (SnapshotTextSlot slot : kSnapshotTextSlots) snapshot->*slot = nullptr;
  return OPOS_SUCCESS;
}

long CSubSO::createCommandList(long* args) {
  const auto* block = BlockOf<PrnCreateListArgs>(args);
  if (!block->listOut) return OPOS_E_ILLEGAL;
  *block->listOut = CreateCommandList(block->station);
  return OPOS_SUCCESS;
}

// ---- callback registrations ----------------------------------------------------------------

long CSubSO::setConvertFunction(void** record) {
  const std::string function = "CSubSO::setConvertFunction";
  LogEnter(function, "setConvertFunction");
  long result = OPOS_E_ILLEGAL;
  if (m_fInitialised) {
    m_pfnTokenizer = reinterpret_cast<PrnTokenizerRecord*>(record)->tokenizer;
    result = OPOS_SUCCESS;
  }
  LogResultExit(function, "setConvertFunction", result);
  return result;
}

long CSubSO::setEventFunction(void** record) {
  const std::string function = "CSubSO::setEventFunction";
  LogEnter(function, "setEventFunction");
  m_statusFunctions = *reinterpret_cast<PrnStatusFunctionSet*>(record);
  LogResultExit(function, "setEventFunction", OPOS_SUCCESS);
  return OPOS_SUCCESS;
}

long CSubSO::setResponseCodeFunction(void** record) {
  if (!m_fInitialised) return OPOS_E_ILLEGAL;
  m_pfnResponseCode = reinterpret_cast<PrnResponseCodeRecord*>(record)->responseCode;
  return OPOS_SUCCESS;
}

long CSubSO::setErrorFunction(void** record) {
  if (!m_fInitialised) return OPOS_E_ILLEGAL;
  m_pfnErrorNotice = reinterpret_cast<PrnErrorNoticeRecord*>(record)->errorNotice;
  return OPOS_SUCCESS;
}

long CSubSO::setStatusEvent(void** record) {
  CStatusQueue::ForSlot(m_slot)->SetEventAddress(
      reinterpret_cast<HANDLE*>(reinterpret_cast<PrnStatusEventRecord*>(record)->statusEvent));
  return OPOS_SUCCESS;
}
