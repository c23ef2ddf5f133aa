// The recording sub-module DLL. Everything it keeps lives in one State under one lock:
// the core calls the exports from several threads.
#include "RecordingSub.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <utility>

#include "RecordingTokenLists.h"

namespace {

struct BlockShape {
  long words;
  long textMask;
};

using Key = std::pair<long, long>;  // export, ID

// The interface's block shapes: word counts per ID and the words that are ANSI texts.
std::map<Key, BlockShape> DefaultShapes() {
  std::map<Key, BlockShape> shapes;
  auto pre = [&](std::initializer_list<long> ids, long words, long mask) {
    for (long id : ids) shapes[{RECSUB_PRE_METHOD, id}] = {words, mask};
  };
  auto exec = [&](std::initializer_list<long> ids, long words, long mask) {
    for (long id : ids) shapes[{RECSUB_EXECUTE_METHOD, id}] = {words, mask};
  };
  auto other = [&](std::initializer_list<long> ids, long words, long mask) {
    for (long id : ids) shapes[{RECSUB_OTHER_METHOD, id}] = {words, mask};
  };
  pre({1, 6, 101, 102, 105, 116, 117, 119}, 3, 0);
  pre({5, 7, 8}, 3, 1 << 1);
  pre({2}, 5, 0);
  pre({3, 103, 104, 118}, 2, 0);
  pre({4}, 4, 1 << 1);
  pre({106}, 9, 1 << 2);
  pre({107}, 6, 1 << 2);
  pre({108, 109, 113, 115}, 4, 1 << 2);
  pre({110}, 5, (1 << 2) | (1 << 3));
  pre({111, 114}, 4, 0);
  pre({112}, 7, 1 << 3);
  pre({120}, 8, 1 << 2);
  pre({121}, 7, 1 << 2);
  exec({1, 6, 101, 102, 105, 116, 117, 119}, 5, 0);
  exec({5, 7, 8}, 5, 1 << 2);
  exec({2}, 8, 0);
  exec({3, 103, 104, 118}, 4, 0);
  exec({4}, 6, 1 << 2);
  exec({106}, 12, 1 << 3);
  exec({107}, 8, 1 << 3);
  exec({108, 109, 113, 115}, 6, 1 << 3);
  exec({110}, 7, (1 << 3) | (1 << 4));
  exec({111, 114}, 6, 0);
  exec({112}, 9, 1 << 4);
  exec({120}, 11, 0);
  exec({121}, 9, 1 << 3);
  other({1002, 1017}, 0, 0);
  other({1003, 1008, 1009, 1015, 1016}, 1, 0);
  other({1001, 1007, 1012, 1014, 1018, 1019, 1021, 1022, 1024}, 2, 0);
  other({1011}, 3, 0);
  other({1010}, 4, 0);
  other({1004, 1006, 1013}, 6, 0);
  other({1020}, 7, 1 << 3);
  other({1005}, 17, 0);  // a whole status record
  for (long id : {2001L, 2003L, 2004L, 2005L}) shapes[{RECSUB_SET_CALLBACK_FUNCTION, id}] = {1, 0};
  shapes[{RECSUB_SET_CALLBACK_FUNCTION, 2002}] = {4, 0};
  shapes[{RECSUB_GET_CAPABILITY, PRN_CAPABILITY_BLOCK}] = {1, 0};
  return shapes;
}

struct State {
  std::mutex lock;
  std::vector<RecSubCall> calls;
  std::map<Key, long> results;
  std::map<Key, BlockShape> shapes = DefaultShapes();
  long initResult = 0;
  long initSlot = RECSUB_SLOT_ALLOCATE;
  long takenSlots = 0;
  PrnCapabilityBlock capabilities = {};
  long fixed[3] = {PRN_FIXED_PARAMETER_1, PRN_FIXED_PARAMETER_2, PRN_FIXED_PARAMETER_3};
  std::map<long, std::vector<void*>> callbacks;
  void* callbackContext = nullptr;
  std::map<long, std::string> initTexts;  // snapshot byte offset -> text
  // ---- acting as a printer (RecSub_SetPrinting) ----
  bool printing = false;
  std::set<PrnTokenList*> liveLists;
  long strayFrees = 0;
  std::vector<std::string> writes;       // the bytes of each successful write
  long failWrites = 0, failResult = 0, failExtended = 0;
  std::deque<long> powerReports;         // the next status requests report these
  std::vector<long> writtenIds;          // response ids written, not yet confirmed
  long confirmAs = -1;                   // >= 0: every confirmation carries this id
  std::map<long, long> executeExtended;  // method ID -> extended code of a failed execute
};

State& S() {
  static State state;
  return state;
}

long ResultFor(State& s, long exportId, long id) {
  auto it = s.results.find({exportId, id});
  return it == s.results.end() ? 0 : it->second;
}

void CopyText(char* to, const char* from) {
  if (!from) return;
  strncpy(to, from, RECSUB_TEXT_CHARS - 1);
  to[RECSUB_TEXT_CHARS - 1] = '\0';
}

// Appends the call with its block copied per the block's shape; the caller holds the lock.
RecSubCall& Record(State& s, long exportId, long id, long slot, const void* block) {
  RecSubCall call = {};
  call.sequence = static_cast<long>(s.calls.size());
  call.exportId = exportId;
  call.id = id;
  call.slot = slot;
  call.blockPresent = block ? 1 : 0;
  call.threadId = GetCurrentThreadId();
  auto shape = s.shapes.find({exportId, id});
  if (block && shape != s.shapes.end()) {
    const long* words = static_cast<const long*>(block);
    call.wordCount = shape->second.words < RECSUB_MAX_WORDS ? shape->second.words
                                                            : RECSUB_MAX_WORDS;
    for (long i = 0; i < call.wordCount; ++i) {
      call.words[i] = words[i];
      if (shape->second.textMask & (1L << i)) {
        CopyText(call.texts[i], reinterpret_cast<const char*>(words[i]));
      }
    }
  }
  s.calls.push_back(call);
  return s.calls.back();
}

long Finish(RecSubCall& call, long result) {
  call.result = result;
  return result;
}

void* CallbackWord(State& s, long callbackId, size_t index) {
  auto it = s.callbacks.find(callbackId);
  return it == s.callbacks.end() || index >= it->second.size() ? nullptr : it->second[index];
}

// ---- the printer the sub-module plays with RecSub_SetPrinting ----------------------------

// The methods whose execute phase returns a list; the others print nothing.
bool BuildsList(long methodId) {
  switch (methodId) {
    case 4: case 7: case 8:
    case 101: case 102: case 103: case 104: case 105: case 106: case 107: case 108: case 109:
    case 110: case 113: case 116: case 117: case 118: case 120: case 121:
      return true;
    default:
      return false;
  }
}
// The station of that list: the method's Station argument (block word 2), else the receipt.
long StationOf(long methodId, const long* args) {
  switch (methodId) {
    case 106: case 107: case 108: case 109: case 120: case 121: return args[2];
    default: return PRN_STATION_RECEIPT;
  }
}

PrnTokenList* NewLiveList(State& s, long station) {
  PrnTokenList* list = recsub::NewList(station);
  s.liveLists.insert(list);
  return list;
}

// "<q N>" for a response id; a write that carries it has it confirmed.
std::string ResponseIdText(long id) {
  char text[16];
  std::snprintf(text, sizeof text, "<q%ld>", id);
  return text;
}
void CollectResponseIds(State& s, const std::string& bytes) {
  for (size_t at = bytes.find("<q"); at != std::string::npos; at = bytes.find("<q", at + 1)) {
    long id = -1;
    if (std::sscanf(bytes.c_str() + at, "<q%ld>", &id) == 1) s.writtenIds.push_back(id);
  }
}

// The execute phase's output as a printer's builder makes it: a list with one text token
// holding the method's text argument (or "#<method ID>"); print data goes through the
// core's tokenizer instead. RotatePrint and PageModePrint put "<R rotation>" and
// "<P control>" into the buffer the station state record names.
void BuildExecuteOutput(long methodId, long* args) {
  State& s = S();
  auto* station = reinterpret_cast<PrnStationState*>(args[1]);
  const bool viaTokenizer =
      methodId == PRN_METHOD_PRINT_NORMAL || methodId == PRN_METHOD_PRINT_IMMEDIATE;
  PrnTokenList* list = nullptr;
  PrnTokenList** out = nullptr;
  PrnPrintDataTokenizerFn tokenizer = nullptr;
  void* context = nullptr;
  const char* text = nullptr;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    char frame[32] = {};
    if (methodId == PRN_METHOD_ROTATE_PRINT || methodId == PRN_METHOD_PAGE_MODE_PRINT) {
      const bool rotate = methodId == PRN_METHOD_ROTATE_PRINT;
      PrnTokenList* buffer =
          !station ? nullptr : rotate ? station->rotationBuffer : station->pageModeBuffer;
      std::snprintf(frame, sizeof frame, rotate ? "<R%ld>" : "<P%ld>", args[rotate ? 3 : 2]);
      if (buffer && s.liveLists.count(buffer)) recsub::AddText(buffer, frame);
      return;
    }
    const auto shape = s.shapes.find({RECSUB_EXECUTE_METHOD, methodId});
    if (!BuildsList(methodId) || shape == s.shapes.end() || shape->second.words < 2) return;
    out = reinterpret_cast<PrnTokenList**>(args[shape->second.words - 2]);
    if (!out) return;
    for (long i = 0; i < shape->second.words && !text; ++i) {
      if (shape->second.textMask & (1L << i)) text = reinterpret_cast<const char*>(args[i]);
    }
    list = NewLiveList(s, StationOf(methodId, args));
    tokenizer = reinterpret_cast<PrnPrintDataTokenizerFn>(
        CallbackWord(s, PRN_CALLBACK_PRINT_DATA_TOKENIZER, 0));
    context = s.callbackContext;
    if (!text) {
      std::snprintf(frame, sizeof frame, "#%ld", methodId);
      recsub::AddText(list, frame);
    } else if (!viaTokenizer || !tokenizer) {
      recsub::AddText(list, text);
    }
  }
  if (text && viaTokenizer && tokenizer) {
    // The tokens come back through service 1013: outside the lock.
    std::string copy(text);
    long errorWord = 0;
    (void)tokenizer(reinterpret_cast<PrnInputProperty*>(args[0]), station, &copy[0],
                    static_cast<long>(copy.size()), 24, 0, list, &errorWord, context);
  }
  *out = list;
}

// The list services of a printer; the others stay recorded only.
void ServeListService(State& s, long serviceId, long* args) {
  switch (serviceId) {
    case PRN_SERVICE_FREE_COMMAND_LIST: {
      auto* list = reinterpret_cast<PrnTokenList*>(args[0]);
      if (!list) return;
      if (s.liveLists.erase(list)) recsub::FreeList(list);
      else ++s.strayFrees;  // freed twice, or never made here
      return;
    }
    case PRN_SERVICE_MOVE_COMMAND_TOKENS: {
      auto* a = reinterpret_cast<PrnMoveTokensArgs*>(args);
      // A scripted failure moves nothing, as a sub-module out of memory.
      if (ResultFor(s, RECSUB_OTHER_METHOD, serviceId) != 0) return;
      if (s.liveLists.count(a->target) && s.liveLists.count(a->source))
        recsub::MoveTokens(a->target, a->source);
      return;
    }
    case PRN_SERVICE_ADD_COMMAND_TOKEN: {
      auto* a = reinterpret_cast<PrnAddTokenArgs*>(args);
      if (!s.liveLists.count(a->list)) return;
      PrnCommandToken* token = recsub::AddToken(a->list, a->type, a->data, a->length, a->parameter);
      if (a->tokenOut) *a->tokenOut = token;
      return;
    }
    case PRN_SERVICE_APPEND_COMMAND_TOKENS: {
      auto* a = reinterpret_cast<PrnCopyTokensArgs*>(args);
      if (s.liveLists.count(a->target) && s.liveLists.count(a->source))
        recsub::CopyTokens(a->target, a->source);
      return;
    }
    case PRN_SERVICE_CREATE_COMMAND_LIST: {
      auto* a = reinterpret_cast<PrnCreateListArgs*>(args);
      // A scripted failure makes no list, as a sub-module out of memory.
      if (a->listOut && ResultFor(s, RECSUB_OTHER_METHOD, serviceId) == 0)
        *a->listOut = NewLiveList(s, a->station);
      return;
    }
    case PRN_SERVICE_CLONE_COMMAND_TOKENS: {
      auto* a = reinterpret_cast<PrnCloneTokensArgs*>(args);
      if (!a->target || !s.liveLists.count(a->source)) return;
      if (!*a->target) *a->target = NewLiveList(s, a->source->station);
      recsub::CopyTokens(*a->target, a->source);
      return;
    }
    case PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN: {
      auto* a = reinterpret_cast<PrnResponseIdArgs*>(args);
      if (!a->list || !a->responseId || ResultFor(s, RECSUB_OTHER_METHOD, serviceId) != 0) return;
      if (!*a->list) *a->list = NewLiveList(s, PRN_STATION_RECEIPT);
      recsub::AddText(*a->list, ResponseIdText(*a->responseId));
      return;
    }
    default:
      return;
  }
}

// A write: a scripted failure, or the bytes kept and the response ids in them noted.
long WritePrinterData(State& s, long* args) {
  auto* a = reinterpret_cast<PrnWriteArgs*>(args);
  static const char kFailure[] = "Scripted write failure";
  if (s.failWrites > 0) {
    --s.failWrites;
    if (a->severity) *a->severity = 2;
    if (a->errorText) *a->errorText = kFailure;
    if (a->resultCodeExtended) *a->resultCodeExtended = s.failExtended;
    return s.failResult;
  }
  const long result = ResultFor(s, RECSUB_OTHER_METHOD, PRN_SERVICE_WRITE_PRINTER_DATA);
  if (result == 0) {
    std::string bytes;
    if (a->data && a->length > 0) bytes.assign(reinterpret_cast<const char*>(a->data), a->length);
    CollectResponseIds(s, bytes);
    s.writes.push_back(bytes);
  }
  return result;
}

// Wakes the core's receive thread: without response ids it waits on this event between
// status requests.
void SignalStatusEvent(State& s) {
  auto* address = static_cast<HANDLE*>(CallbackWord(s, PRN_CALLBACK_STATUS_EVENT, 0));
  if (address && *address) SetEvent(*address);
}

}  // namespace

extern "C" {

long WINAPI initSubSO(const char* deviceName, long coreVersion, PrnPropertySnapshot* snapshot,
                      long* slotOut, void* callbackContext) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  RecSubCall& call = Record(s, RECSUB_INIT_SUBSO, 0, -1, nullptr);
  CopyText(call.deviceName, deviceName);
  call.coreVersion = coreVersion;
  call.snapshot = snapshot;
  call.callbackContext = callbackContext;
  call.blockPresent = snapshot ? 1 : 0;
  s.callbackContext = callbackContext;
  // The texts stay the sub-module's: service 1015 here frees nothing.
  for (const auto& text : s.initTexts) {
    if (snapshot && text.first >= 0 && text.first + 4 <= static_cast<long>(sizeof *snapshot))
      *reinterpret_cast<const char**>(reinterpret_cast<char*>(snapshot) + text.first) =
          text.second.c_str();
  }
  long slot = s.initSlot;
  if (slot == RECSUB_SLOT_ALLOCATE) {
    slot = 0;
    while (slot < PRN_SLOT_COUNT && (s.takenSlots & (1L << slot))) ++slot;
    if (slot == PRN_SLOT_COUNT) return Finish(call, OPOS_E_ILLEGAL);
  }
  if (slot >= 0 && slotOut) {
    *slotOut = slot;
    call.slot = slot;
    if (slot < 32) s.takenSlots |= 1L << slot;
  }
  return Finish(call, s.initResult);
}

long WINAPI terminateSubSO(long slot) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  RecSubCall& call = Record(s, RECSUB_TERMINATE_SUBSO, 0, slot, nullptr);
  if (slot >= 0 && slot < 32) s.takenSlots &= ~(1L << slot);
  return Finish(call, ResultFor(s, RECSUB_TERMINATE_SUBSO, 0));
}

long WINAPI connectPrinter(long slot) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  RecSubCall& call = Record(s, RECSUB_CONNECT_PRINTER, 0, slot, nullptr);
  return Finish(call, ResultFor(s, RECSUB_CONNECT_PRINTER, 0));
}

long WINAPI disconnectPrinter(long slot) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  RecSubCall& call = Record(s, RECSUB_DISCONNECT_PRINTER, 0, slot, nullptr);
  return Finish(call, ResultFor(s, RECSUB_DISCONNECT_PRINTER, 0));
}

long WINAPI getCapability(long capabilityId, long* args, long slot) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  RecSubCall& call = Record(s, RECSUB_GET_CAPABILITY, capabilityId, slot, args);
  if (args && capabilityId == PRN_CAPABILITY_BLOCK) {
    auto* block = reinterpret_cast<PrnCapabilityArgs*>(args)->block;
    if (block) *block = s.capabilities;
  }
  return Finish(call, ResultFor(s, RECSUB_GET_CAPABILITY, capabilityId));
}

long WINAPI preMethod(long methodId, long* args, long slot) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  RecSubCall& call = Record(s, RECSUB_PRE_METHOD, methodId, slot, args);
  return Finish(call, ResultFor(s, RECSUB_PRE_METHOD, methodId));
}

long WINAPI executeMethod(long methodId, long* args, long slot) {
  State& s = S();
  long result = 0;
  bool printing = false;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    RecSubCall& call = Record(s, RECSUB_EXECUTE_METHOD, methodId, slot, args);
    result = Finish(call, ResultFor(s, RECSUB_EXECUTE_METHOD, methodId));
    printing = s.printing;
    // A failing execute phase reports its codes in the snapshot, the block's last word.
    const auto extended = s.executeExtended.find(methodId);
    const auto shape = s.shapes.find({RECSUB_EXECUTE_METHOD, methodId});
    if (result != 0 && args && extended != s.executeExtended.end() && shape != s.shapes.end() &&
        shape->second.words > 0) {
      if (auto* snapshot = reinterpret_cast<PrnPropertySnapshot*>(args[shape->second.words - 1])) {
        snapshot->resultCode = result;
        snapshot->resultCodeExtended = extended->second;
      }
    }
  }
  // The tokenizer calls back into this module: the output is built outside the lock.
  if (printing && result == 0 && args) BuildExecuteOutput(methodId, args);
  return result;
}

long WINAPI otherMethod(long serviceId, long* args, long slot) {
  State& s = S();
  PrnResponseCodeFn confirm = nullptr;
  void* context = nullptr;
  std::vector<long> confirmed;
  long result = 0;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    const size_t index = s.calls.size();
    (void)Record(s, RECSUB_OTHER_METHOD, serviceId, slot, args);
    result = ResultFor(s, RECSUB_OTHER_METHOD, serviceId);
    if (args && serviceId == PRN_SERVICE_GET_FIXED_PARAMETERS) {
      auto* out = reinterpret_cast<PrnFixedParametersArgs*>(args);
      long* targets[3] = {out->value1, out->value2, out->value3};
      for (int i = 0; i < 3; ++i) {
        if (targets[i]) *targets[i] = s.fixed[i];
      }
    }
    if (s.printing && args) {
      if (serviceId == PRN_SERVICE_WRITE_PRINTER_DATA) {
        result = WritePrinterData(s, args);
      } else if (serviceId == PRN_SERVICE_RESTORE_PRINTER && result == 0) {
        // A printer's reset: off line for a moment, then on line again.
        s.powerReports.insert(s.powerReports.end(), {2004L, 2001L});
        SignalStatusEvent(s);
      } else if (serviceId == PRN_SERVICE_PROC_CALLBACK_STATUS) {
        auto* status = reinterpret_cast<PrnProcStatusArgs*>(args)->status;
        if (status && !s.powerReports.empty()) {
          status->powerState = s.powerReports.front();
          s.powerReports.pop_front();
          if (!s.powerReports.empty()) SignalStatusEvent(s);
        }
        confirm = reinterpret_cast<PrnResponseCodeFn>(
            CallbackWord(s, PRN_CALLBACK_RESPONSE_CODE, 0));
        context = s.callbackContext;
        confirmed.swap(s.writtenIds);
        if (s.confirmAs >= 0) confirmed.assign(confirmed.size(), s.confirmAs);
      } else {
        ServeListService(s, serviceId, args);
      }
    }
    s.calls[index].result = result;
  }
  // The printer's answers to what was written, on the thread that asked for the status.
  if (confirm) {
    for (long id : confirmed) (void)confirm(id, context);
  }
  return result;
}

long WINAPI setCallbackFunction(long callbackId, void** record, long slot) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  RecSubCall& call = Record(s, RECSUB_SET_CALLBACK_FUNCTION, callbackId, slot, record);
  if (record) {
    auto shape = s.shapes.find({RECSUB_SET_CALLBACK_FUNCTION, callbackId});
    const long words = shape == s.shapes.end() ? 0 : shape->second.words;
    s.callbacks[callbackId].assign(record, record + words);
  }
  return Finish(call, ResultFor(s, RECSUB_SET_CALLBACK_FUNCTION, callbackId));
}

void WINAPI RecSub_Reset() {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.calls.clear();
  s.results.clear();
  s.shapes = DefaultShapes();
  s.initResult = 0;
  s.initSlot = RECSUB_SLOT_ALLOCATE;
  s.takenSlots = 0;
  s.capabilities = PrnCapabilityBlock();
  s.fixed[0] = PRN_FIXED_PARAMETER_1;
  s.fixed[1] = PRN_FIXED_PARAMETER_2;
  s.fixed[2] = PRN_FIXED_PARAMETER_3;
  s.callbacks.clear();
  s.callbackContext = nullptr;
  s.initTexts.clear();
  s.printing = false;
  for (PrnTokenList* list : s.liveLists) recsub::FreeList(list);
  s.liveLists.clear();
  s.strayFrees = 0;
  s.writes.clear();
  s.failWrites = s.failResult = s.failExtended = 0;
  s.powerReports.clear();
  s.writtenIds.clear();
  s.confirmAs = -1;
  s.executeExtended.clear();
}

long WINAPI RecSub_CallCount() {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  return static_cast<long>(s.calls.size());
}

long WINAPI RecSub_GetCall(long index, RecSubCall* out) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!out || index < 0 || index >= static_cast<long>(s.calls.size())) return -1;
  *out = s.calls[index];
  return 0;
}

void WINAPI RecSub_SetResult(long exportId, long id, long result) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  if (exportId == RECSUB_INIT_SUBSO) {
    s.initResult = result;
  } else {
    s.results[{exportId, id}] = result;
  }
}

void WINAPI RecSub_ScriptInit(long result, long slot) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.initResult = result;
  s.initSlot = slot;
}

void WINAPI RecSub_SetCapabilities(const PrnCapabilityBlock* block) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.capabilities = block ? *block : PrnCapabilityBlock();
}

void WINAPI RecSub_SetFixedParameters(long first, long second, long third) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.fixed[0] = first;
  s.fixed[1] = second;
  s.fixed[2] = third;
}

void* WINAPI RecSub_GetCallbackWord(long callbackId, long index) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  auto it = s.callbacks.find(callbackId);
  if (it == s.callbacks.end() || index < 0 || index >= static_cast<long>(it->second.size())) {
    return nullptr;
  }
  return it->second[index];
}

void WINAPI RecSub_DescribeBlock(long exportId, long id, long wordCount, long textMask) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.shapes[{exportId, id}] = {wordCount, textMask};
}

long WINAPI RecSub_TakenSlots() {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.takenSlots;
}

void WINAPI RecSub_SetInitText(long offset, const char* text) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  if (text) s.initTexts[offset] = text;
  else s.initTexts.erase(offset);
}

void WINAPI RecSub_SetPrinting(long on) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.printing = on != 0;
}

void WINAPI RecSub_SetExecuteExtended(long methodId, long extended) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.executeExtended[methodId] = extended;
}

void WINAPI RecSub_ConfirmAs(long id) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.confirmAs = id;
}

void WINAPI RecSub_FailWrites(long count, long result, long extended) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  s.failWrites = count;
  s.failResult = result;
  s.failExtended = extended;
}

long WINAPI RecSub_WriteCount() {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  return static_cast<long>(s.writes.size());
}

long WINAPI RecSub_GetWrite(long index, char* buffer, long capacity) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  if (index < 0 || index >= static_cast<long>(s.writes.size())) return -1;
  const std::string& bytes = s.writes[index];
  if (buffer && capacity > 0) {
    const size_t count = bytes.size() < static_cast<size_t>(capacity) ? bytes.size() : capacity;
    std::memcpy(buffer, bytes.data(), count);
  }
  return static_cast<long>(bytes.size());
}

void WINAPI RecSub_ListLedger(long* live, long* strayFrees) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  if (live) *live = static_cast<long>(s.liveLists.size());
  if (strayFrees) *strayFrees = s.strayFrees;
}

long WINAPI RecSub_RaiseDirectIOEvent(long eventNumber, long data, const wchar_t* text) {
  State& s = S();
  PrnDirectIOEventFn raise = nullptr;
  void* context = nullptr;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    raise = reinterpret_cast<PrnDirectIOEventFn>(
        CallbackWord(s, PRN_CALLBACK_STATUS_FUNCTION_SET, 2));
    context = s.callbackContext;
  }
  if (!raise) return -1;
  std::wstring copy(text ? text : L"");
  wchar_t* wide = &copy[0];
  PrnDirectIOEventRecord record{eventNumber, &data, &wide};
  return raise(&record, context);
}

long WINAPI RecSub_NotifyError(long resultCode, long resultCodeExtended, long severity,
                               const char* text) {
  State& s = S();
  PrnErrorNoticeFn notify = nullptr;
  void* context = nullptr;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    notify = reinterpret_cast<PrnErrorNoticeFn>(CallbackWord(s, PRN_CALLBACK_ERROR_NOTICE, 0));
    context = s.callbackContext;
  }
  if (!notify) return -1;
  return notify(resultCode, resultCodeExtended, severity, text, context);
}

}  // extern "C"
