#include "SubSO.h"

#include "CommPrinterDriver.h"
#include "CommandToken.h"
#include "Log.h"
#include "PrennikResources.h"
#include "RJCollection.h"
#include "RJDevice.h"
#include "StatusQueue.h"

#include <cstdio>
#include <new>

namespace {

constexpr char kFile[] = "SubSO";

template <class Block>
Block* BlockOf(long* args) {
  return reinterpret_cast<Block*>(args);
}

}  // namespace

CSubSO::CSubSO(long slot) : m_slot(slot), m_pStatusQueue(CStatusQueue::ForSlot(slot)) {
  m_pLogContext = new CLogContext;
  m_pCapabilities = new PrnCapabilityBlock();
  SetConstructorCapabilities(m_pCapabilities);
  m_pCollection = new CRJCollection(&m_settings, m_pLogContext);
  m_pDriver = new CCommPrinterDriver(*m_pCollection, *m_pLogContext);
  m_pStatusQueue->Open();
}

CSubSO::~CSubSO() {
  DeleteDevice();
  delete m_pCapabilities;
  delete m_pDriver;
  delete m_pCollection;
  // Closed last: a status word the SDK still delivers meanwhile is dropped, not queued.
  m_pStatusQueue->Close();
  delete m_pLogContext;
}

long CSubSO::getModuleVersion(long* version) {
  return GetModuleVersionNumber(version) ? 0 : -1;
}

// ---- logging -----------------------------------------------------------------------------

void CSubSO::LogLine(DWORD category, const char* function, const char* tag, const char* text,
                     const char* detail, int line) const {
  m_pLogContext->Write(category, function, kFile, line, tag, text, detail);
}

void CSubSO::LogEnter(const char* function, const char* name, int line) const {
  LogLine(LOG_CAT_INFO, function, kTagEnter, name, "", line);
}

void CSubSO::LogResultExit(const char* function, const char* name, long result,
                           int line) const {
  const DWORD category = result == 0 ? LOG_CAT_INFO : LOG_CAT_ERROR;
  char number[16];
  std::snprintf(number, sizeof number, "%ld", result);
  LogLine(category, function, kTagResult, number, "", line);
  LogLine(category, function, kTagExit, name, "", line);
}

namespace {

// "CSubSO::" + phase + method name, on the stack: the frame runs for every method call.
struct FrameNames {
  char function[80];
  const char* name;  // the phase and method name within `function`
  FrameNames(const char* phase, const char* method) {
    static const char kClass[] = "CSubSO::";
    std::snprintf(function, sizeof function, "%s%s%s", kClass, phase, method);
    name = function + sizeof kClass - 1;
  }
};

}  // namespace

// ---- common frames -----------------------------------------------------------------------

long CSubSO::RunPre(const MethodRow& row, long* args) {
  const FrameNames names("pre", row.name);
  LogEnter(names.function, names.name);
  long* resultCodeExtended = reinterpret_cast<long*>(args[row.preWords - 1]);
  if (resultCodeExtended) *resultCodeExtended = 0;
  long result = OPOS_E_ILLEGAL;
  if (m_fInitialised) result = (this->*row.pre)(args);
  LogResultExit(names.function, names.name, result);
  return result;
}

long CSubSO::RunExecute(const MethodRow& row, long* args) {
  const FrameNames names("execute", row.name);
  LogEnter(names.function, names.name);
  const long result = (this->*row.execute)(args);
  auto* snapshot = reinterpret_cast<PrnPropertySnapshot*>(args[row.executeWords - 1]);
  if (snapshot) snapshot->resultCode = result;
  LogResultExit(names.function, names.name, result);
  return result;
}

long CSubSO::RunService(const ServiceRow& row, long* args) {
  return (this->*row.handler)(args);
}

long CSubSO::RunCallback(const CallbackRow& row, void** record) {
  return (this->*row.handler)(record);
}

// ---- lifecycle ---------------------------------------------------------------------------

long CSubSO::terminateDevice(long*) {
  const std::string function = "CSubSO::terminateDevice";
  LogEnter(function, "terminateDevice");
  const long result = m_fInitialised ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
  LogResultExit(function, "terminateDevice", result);
  return result;
}

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
  return MoveCommandTokens(block->target, block->source) ? OPOS_SUCCESS : OPOS_E_FAILURE;
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
    m_pDevice->SetConvertFunction(reinterpret_cast<PrnTokenizerRecord*>(record)->tokenizer);
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
  m_pDevice->SetResponseCodeFunction(
      reinterpret_cast<PrnResponseCodeRecord*>(record)->responseCode);
  return OPOS_SUCCESS;
}

long CSubSO::setErrorFunction(void** record) {
  if (!m_fInitialised) return OPOS_E_ILLEGAL;
  m_pDevice->SetErrorFunction(reinterpret_cast<PrnErrorNoticeRecord*>(record)->errorNotice);
  return OPOS_SUCCESS;
}

long CSubSO::setStatusEvent(void** record) {
  m_pStatusQueue->SetEventAddress(
      reinterpret_cast<HANDLE*>(reinterpret_cast<PrnStatusEventRecord*>(record)->statusEvent));
  return OPOS_SUCCESS;
}
