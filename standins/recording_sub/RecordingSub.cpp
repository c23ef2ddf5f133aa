// The recording sub-module DLL. Everything it keeps lives in one State under one lock:
// the core calls the exports from several threads.
#include "RecordingSub.h"

#include <cstring>
#include <map>
#include <mutex>
#include <utility>

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
  std::lock_guard<std::mutex> hold(s.lock);
  RecSubCall& call = Record(s, RECSUB_EXECUTE_METHOD, methodId, slot, args);
  return Finish(call, ResultFor(s, RECSUB_EXECUTE_METHOD, methodId));
}

long WINAPI otherMethod(long serviceId, long* args, long slot) {
  State& s = S();
  std::lock_guard<std::mutex> hold(s.lock);
  RecSubCall& call = Record(s, RECSUB_OTHER_METHOD, serviceId, slot, args);
  if (args && serviceId == PRN_SERVICE_GET_FIXED_PARAMETERS) {
    auto* out = reinterpret_cast<PrnFixedParametersArgs*>(args);
    long* targets[3] = {out->value1, out->value2, out->value3};
    for (int i = 0; i < 3; ++i) {
      if (targets[i]) *targets[i] = s.fixed[i];
    }
  }
  return Finish(call, ResultFor(s, RECSUB_OTHER_METHOD, serviceId));
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

}  // extern "C"
