#include "FakeCore.h"

#include <algorithm>
#include <cstring>

namespace fakecore {

PrnInputProperty MakeInputProperty() {
  PrnInputProperty input{};
  input.state = 2;  // idle
  input.serviceObjectVersion = kCoreVersion;
  input.powerState = OPOS_PS_ONLINE;
  input.rotateSpecial = 1;
  input.recLineCharsList = "18,20,22,24,28,32,36";
  input.mapMode = 1;  // dots
  input.recLineSpacing = 30;
  input.recLineHeight = 24;
  input.recLineChars = 24;
  input.recLineWidth = 288;
  input.jrnLineSpacing = 30;
  input.characterSet = 932;
  input.pageModePrintArea = "0,0,0,0";
  input.pageModePrintDirection = 1;
  return input;
}

PrnPropertySnapshot MakeSnapshot(const PrnInputProperty& input, long carryWord) {
  PrnPropertySnapshot snapshot{};
  snapshot.serviceObjectVersion = input.serviceObjectVersion;
  // Words 32..276 are the input record's words 48..292, texts excepted.
  std::memcpy(reinterpret_cast<char*>(&snapshot) + offsetof(PrnPropertySnapshot, asyncMode),
              reinterpret_cast<const char*>(&input) + offsetof(PrnInputProperty, asyncMode),
              offsetof(PrnPropertySnapshot, carryWord) -
                  offsetof(PrnPropertySnapshot, asyncMode));
  for (long offset : kPrnSnapshotTextSlots)
    *reinterpret_cast<char**>(reinterpret_cast<char*>(&snapshot) + offset) = nullptr;
  snapshot.carryWord = carryWord;
  snapshot.positionWord1 = -1;
  snapshot.positionWord2 = -1;
  return snapshot;
}

PrnStationState MakeStationState() { return PrnStationState{}; }

PrnStatusRecord MakeStatusRecord() {
  PrnStatusRecord record;
  std::memset(&record, 0xFF, sizeof record);
  return record;
}

CoreRecords::CoreRecords()
    : input(MakeInputProperty()), snapshot(MakeSnapshot(input)), station(MakeStationState()) {}

FakeCore::FakeCore() { statusEvent_ = CreateEventA(nullptr, TRUE, FALSE, nullptr); }

FakeCore::~FakeCore() {
  if (module_) {
    HandBackAll();
    if (open_) Close();
    FreeLibrary(module_);
  }
  if (statusEvent_) CloseHandle(statusEvent_);
}

bool FakeCore::Load(const char* path) {
  module_ = LoadLibraryA(path);
  if (!module_) return false;
  // The nine pointers sit in binding order, one word each.
  void** entries = reinterpret_cast<void**>(&exports_);
  for (int i = 0; i < 9; ++i) {
    entries[i] = reinterpret_cast<void*>(GetProcAddress(module_, kPrnExportNames[i]));
    if (!entries[i]) {
      exports_ = Exports{};
      FreeLibrary(module_);
      module_ = nullptr;
      return false;
    }
  }
  return true;
}

PrnStatusFunctionSet FakeCore::statusFunctionSet() const {
  return PrnStatusFunctionSet{&FakeCore::OnStatus, nullptr, &FakeCore::OnDirectIOEvent,
                              nullptr};
}

long FakeCore::Open(const char* deviceName, long coreVersion) {
  PrnInputProperty input = MakeInputProperty();
  openSnapshot_ = MakeSnapshot(input);
  long slot = -1;
  const long result =
      exports_.initSubSO(deviceName, coreVersion, &openSnapshot_, &slot, this);
  if (slot >= 0) {  // a failed initialisation still holds the slot until terminateSubSO
    slot_ = slot;
    open_ = true;
  }
  if (result != 0) return result;
  PrnTokenizerRecord tokenizer{&FakeCore::Tokenize};
  PrnStatusFunctionSet functions = statusFunctionSet();
  PrnResponseCodeRecord response{&FakeCore::OnResponseCode};
  PrnErrorNoticeRecord error{&FakeCore::OnErrorNotice};
  PrnStatusEventRecord event{&statusEvent_};
  // The core does not examine these results.
  exports_.setCallbackFunction(PRN_CALLBACK_PRINT_DATA_TOKENIZER,
                               reinterpret_cast<void**>(&tokenizer), slot_);
  exports_.setCallbackFunction(PRN_CALLBACK_STATUS_FUNCTION_SET,
                               reinterpret_cast<void**>(&functions), slot_);
  exports_.setCallbackFunction(PRN_CALLBACK_RESPONSE_CODE, reinterpret_cast<void**>(&response),
                               slot_);
  exports_.setCallbackFunction(PRN_CALLBACK_ERROR_NOTICE, reinterpret_cast<void**>(&error),
                               slot_);
  exports_.setCallbackFunction(PRN_CALLBACK_STATUS_EVENT, reinterpret_cast<void**>(&event),
                               slot_);
  return 0;
}

long FakeCore::Close() {
  if (!open_) return OPOS_E_ILLEGAL;
  // The core frees the texts the sub-module attached to its open snapshot.
  PrnSnapshotArgs block{&openSnapshot_};
  Other(PRN_SERVICE_FREE_RESULT_RECORD, &block);
  open_ = false;
  return exports_.terminateSubSO(slot_);
}

void FakeCore::FreeWithoutTerminate() {
  if (!module_) return;
  HandBackAll();
  FreeLibrary(module_);
  module_ = nullptr;
  open_ = false;
}

long FakeCore::Pre(long methodId, void* block) const {
  return exports_.preMethod(methodId, static_cast<long*>(block), slot_);
}

long FakeCore::Execute(long methodId, void* block) const {
  return exports_.executeMethod(methodId, static_cast<long*>(block), slot_);
}

long FakeCore::Other(long serviceId, void* block) const {
  return exports_.otherMethod(serviceId, static_cast<long*>(block), slot_);
}

long FakeCore::Capability(PrnCapabilityBlock* block) const {
  PrnCapabilityArgs args{block};
  return exports_.getCapability(PRN_CAPABILITY_BLOCK, reinterpret_cast<long*>(&args), slot_);
}

PrnTokenList* FakeCore::CreateList(long station) {
  PrnTokenList* list = nullptr;
  PrnCreateListArgs block{station, &list};
  if (Other(PRN_SERVICE_CREATE_COMMAND_LIST, &block) != 0) return nullptr;
  Track(list);
  return list;
}

PrnCommandToken* FakeCore::AddToken(PrnTokenList* list, long type, const void* data,
                                    long length, long parameter, long* result) const {
  PrnCommandToken* token = nullptr;
  PrnAddTokenArgs block{type, static_cast<const unsigned char*>(data), length, parameter, list,
                        &token};
  const long r = Other(PRN_SERVICE_ADD_COMMAND_TOKEN, &block);
  if (result) *result = r;
  return token;
}

void FakeCore::Track(PrnTokenList* list) {
  if (list && std::find(lists_.begin(), lists_.end(), list) == lists_.end())
    lists_.push_back(list);
}

long FakeCore::HandBack(PrnTokenList* list) {
  lists_.erase(std::remove(lists_.begin(), lists_.end(), list), lists_.end());
  PrnListArgs block{list};
  return Other(PRN_SERVICE_FREE_COMMAND_LIST, &block);
}

void FakeCore::HandBackAll() {
  while (!lists_.empty()) HandBack(lists_.back());
}

// ---- recording callbacks -------------------------------------------------------------------

long SUBAPI_CALL FakeCore::Tokenize(PrnInputProperty*, PrnStationState*, char* data,
                                    long length, long, long, PrnTokenList* list,
                                    long* errorWord, void* context) {
  auto* core = static_cast<FakeCore*>(context);
  core->tokenizedData.emplace_back(data ? data : "", data ? static_cast<size_t>(length) : 0);
  TokenizeInto(*core, data, length, list, errorWord);
  return 0;
}

long SUBAPI_CALL FakeCore::OnStatus(PrnStatusRecord* record, long code, void* context) {
  StatusCall call{record != nullptr, {}, code};
  if (record) call.record = *record;
  static_cast<FakeCore*>(context)->statusCalls.push_back(call);
  return 0;
}

long SUBAPI_CALL FakeCore::OnDirectIOEvent(PrnDirectIOEventRecord* record, void* context) {
  static_cast<FakeCore*>(context)->directIOEvents.push_back({record ? record->eventNumber : -1});
  return 0;
}

long SUBAPI_CALL FakeCore::OnResponseCode(long responseId, void* context) {
  static_cast<FakeCore*>(context)->responseIds.push_back(responseId);
  return 0;
}

long SUBAPI_CALL FakeCore::OnErrorNotice(long resultCode, long resultCodeExtended,
                                         long severity, const char* errorText, void* context) {
  static_cast<FakeCore*>(context)->errorNotices.push_back(
      {resultCode, resultCodeExtended, severity, errorText ? errorText : ""});
  return 0;
}

}  // namespace fakecore
