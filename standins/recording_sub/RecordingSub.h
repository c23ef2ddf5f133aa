// The recording sub-module: a DLL with the nine printer sub-module exports that records
// every call (IDs, slot, deep copies of the block words and of the texts they point at,
// the calling thread) and answers with scripted results. Tests read the record and set
// the script through the extra RecSub_* exports, most easily through RecordingSubModule.
#pragma once
#include "PrinterSubApi.h"
#include "Win.h"

#include <string>
#include <vector>

enum RecSubExport : long {
  RECSUB_INIT_SUBSO = 1,
  RECSUB_TERMINATE_SUBSO = 2,
  RECSUB_CONNECT_PRINTER = 3,
  RECSUB_DISCONNECT_PRINTER = 4,
  RECSUB_GET_CAPABILITY = 5,
  RECSUB_PRE_METHOD = 6,
  RECSUB_EXECUTE_METHOD = 7,
  RECSUB_OTHER_METHOD = 8,
  RECSUB_SET_CALLBACK_FUNCTION = 9,
};

enum : long { RECSUB_MAX_WORDS = 20, RECSUB_TEXT_CHARS = 128 };

// Special slot values of RecSub_ScriptInit.
enum : long { RECSUB_SLOT_ALLOCATE = -2, RECSUB_SLOT_UNWRITTEN = -1 };

// One call, as the DLL saw it. Plain data: it crosses the DLL boundary by copy.
struct RecSubCall {
  long sequence;        // 0, 1, 2, ... since the last reset
  long exportId;        // RecSubExport
  long id;              // method, service, callback or capability ID; 0 for the others
  long slot;            // the slot argument; for initSubSO the slot written, or -1
  long result;          // what the export answered
  long blockPresent;    // 0 when the block (or record) address was NULL
  long wordCount;       // words copied from the block
  long words[RECSUB_MAX_WORDS];
  char texts[RECSUB_MAX_WORDS][RECSUB_TEXT_CHARS];  // copies of the words described as texts
  // initSubSO only.
  char deviceName[RECSUB_TEXT_CHARS];
  long coreVersion;
  void* snapshot;
  void* callbackContext;
  DWORD threadId;
};

// The extra exports (stdcall, undecorated).
typedef void(WINAPI* RecSubResetFn)();
typedef long(WINAPI* RecSubCallCountFn)();
typedef long(WINAPI* RecSubGetCallFn)(long index, RecSubCall* out);
// Result of an export for one ID (id 0 for the exports without one); 0 unless scripted.
typedef void(WINAPI* RecSubSetResultFn)(long exportId, long id, long result);
// initSubSO's result and the slot it writes: RECSUB_SLOT_ALLOCATE (the default: the lowest
// slot not taken), RECSUB_SLOT_UNWRITTEN, or a fixed slot number.
typedef void(WINAPI* RecSubScriptInitFn)(long result, long slot);
// The capability block getCapability(3001) fills in; zeros unless set.
typedef void(WINAPI* RecSubSetCapabilitiesFn)(const PrnCapabilityBlock* block);
// The three words service 1011 writes; 99, 7, 203 unless set.
typedef void(WINAPI* RecSubSetFixedParametersFn)(long first, long second, long third);
// Word `index` of the block last registered for a callback ID, or NULL.
typedef void*(WINAPI* RecSubGetCallbackWordFn)(long callbackId, long index);
// How many words of an export's block to copy for one ID, and which of them (bit i = word i)
// point at NUL-terminated ANSI texts to copy too. Defaults follow the interface's blocks.
typedef void(WINAPI* RecSubDescribeBlockFn)(long exportId, long id, long wordCount,
                                            long textMask);
// Slots taken (initSubSO written, not yet terminated), as a bit mask.
typedef long(WINAPI* RecSubTakenSlotsFn)();

// Loads a recording sub-module DLL (by path) and resolves its extra exports. The test
// holds its own reference, so the record outlives the core's FreeLibrary.
class RecordingSubModule {
 public:
  explicit RecordingSubModule(const char* path) : m_module(LoadLibraryA(path)) {
    if (!m_module) return;
    Reset = Get<RecSubResetFn>("RecSub_Reset");
    CallCount = Get<RecSubCallCountFn>("RecSub_CallCount");
    GetCall = Get<RecSubGetCallFn>("RecSub_GetCall");
    SetResult = Get<RecSubSetResultFn>("RecSub_SetResult");
    ScriptInit = Get<RecSubScriptInitFn>("RecSub_ScriptInit");
    SetCapabilities = Get<RecSubSetCapabilitiesFn>("RecSub_SetCapabilities");
    SetFixedParameters = Get<RecSubSetFixedParametersFn>("RecSub_SetFixedParameters");
    GetCallbackWord = Get<RecSubGetCallbackWordFn>("RecSub_GetCallbackWord");
    DescribeBlock = Get<RecSubDescribeBlockFn>("RecSub_DescribeBlock");
    TakenSlots = Get<RecSubTakenSlotsFn>("RecSub_TakenSlots");
  }
  ~RecordingSubModule() {
    if (m_module) FreeLibrary(m_module);
  }
  RecordingSubModule(const RecordingSubModule&) = delete;
  RecordingSubModule& operator=(const RecordingSubModule&) = delete;

  bool Loaded() const { return m_module && Reset && GetCall && TakenSlots; }

  std::vector<RecSubCall> Calls() const {
    std::vector<RecSubCall> calls(CallCount ? CallCount() : 0);
    for (size_t i = 0; i < calls.size(); ++i) GetCall(static_cast<long>(i), &calls[i]);
    return calls;
  }

  RecSubResetFn Reset = nullptr;
  RecSubCallCountFn CallCount = nullptr;
  RecSubGetCallFn GetCall = nullptr;
  RecSubSetResultFn SetResult = nullptr;
  RecSubScriptInitFn ScriptInit = nullptr;
  RecSubSetCapabilitiesFn SetCapabilities = nullptr;
  RecSubSetFixedParametersFn SetFixedParameters = nullptr;
  RecSubGetCallbackWordFn GetCallbackWord = nullptr;
  RecSubDescribeBlockFn DescribeBlock = nullptr;
  RecSubTakenSlotsFn TakenSlots = nullptr;

 private:
  template <class Fn>
  Fn Get(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
  }
  HMODULE m_module;
};
