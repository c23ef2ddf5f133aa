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
// A failing execute phase of this method (its result scripted nonzero) writes that result
// and this extended code into the property snapshot, as a sub-module reports a failure.
typedef void(WINAPI* RecSubSetExecuteExtendedFn)(long methodId, long extended);
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
// A text initSubSO puts into the snapshot's text slot at this byte offset (NULL: none), as
// a sub-module reports its rotation lists. The text stays the sub-module's.
typedef void(WINAPI* RecSubSetInitTextFn)(long offset, const char* text);
// On: the sub-module acts as a printer. Its execute phases return command-token lists (one
// text token: print data through the core's tokenizer, another method's text argument, or
// "#<method ID>"); RotatePrint and PageModePrint add "<R rotation>" and "<P control>" to
// the buffer the station state names; the list services make, fill, move, copy and free
// lists (services 1018 and 1007 make and move nothing while their result is scripted
// nonzero); service 1022 adds "<q id>" (nothing while scripted nonzero); writes are kept, and a written id is confirmed at the next status request
// (service 1012); a reset (1005) is reported off line, then on line, at the next two.
typedef void(WINAPI* RecSubSetPrintingFn)(long on);
// With an id of 0 or more, the printer confirms every written id as this one (a wrong or
// late answer); -1 (the default) confirms each as written.
typedef void(WINAPI* RecSubConfirmAsFn)(long id);
// The next `count` writes fail with `result` (ErrorLevel 2, the extended code given).
typedef void(WINAPI* RecSubFailWritesFn)(long count, long result, long extended);
typedef long(WINAPI* RecSubWriteCountFn)();
// The bytes of write `index` (up to capacity); their count, or -1 for no such write.
typedef long(WINAPI* RecSubGetWriteFn)(long index, char* buffer, long capacity);
// Lists made and not yet freed, and frees of lists that were not live (freed twice).
typedef void(WINAPI* RecSubListLedgerFn)(long* live, long* strayFrees);
// Calls the core's DirectIO-event function (callback 2002, third word); -1 without one.
typedef long(WINAPI* RecSubRaiseDirectIOEventFn)(long eventNumber, long data,
                                                  const wchar_t* text);
// Calls the core's error-notice function (callback 2004); -1 without one.
typedef long(WINAPI* RecSubNotifyErrorFn)(long resultCode, long resultCodeExtended,
                                           long severity, const char* text);

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
    SetInitText = Get<RecSubSetInitTextFn>("RecSub_SetInitText");
    SetPrinting = Get<RecSubSetPrintingFn>("RecSub_SetPrinting");
    SetExecuteExtended = Get<RecSubSetExecuteExtendedFn>("RecSub_SetExecuteExtended");
    ConfirmAs = Get<RecSubConfirmAsFn>("RecSub_ConfirmAs");
    FailWrites = Get<RecSubFailWritesFn>("RecSub_FailWrites");
    WriteCount = Get<RecSubWriteCountFn>("RecSub_WriteCount");
    GetWrite = Get<RecSubGetWriteFn>("RecSub_GetWrite");
    ListLedger = Get<RecSubListLedgerFn>("RecSub_ListLedger");
    RaiseDirectIOEvent = Get<RecSubRaiseDirectIOEventFn>("RecSub_RaiseDirectIOEvent");
    NotifyError = Get<RecSubNotifyErrorFn>("RecSub_NotifyError");
  }
  ~RecordingSubModule() {
    if (m_module) FreeLibrary(m_module);
  }
  RecordingSubModule(const RecordingSubModule&) = delete;
  RecordingSubModule& operator=(const RecordingSubModule&) = delete;

  bool Loaded() const { return m_module && Reset && GetCall && TakenSlots; }

  // The bytes of every successful write, in order.
  std::vector<std::string> Writes() const {
    std::vector<std::string> writes(WriteCount ? WriteCount() : 0);
    for (size_t i = 0; i < writes.size(); ++i) {
      writes[i].resize(GetWrite(static_cast<long>(i), nullptr, 0));
      if (!writes[i].empty())
        GetWrite(static_cast<long>(i), &writes[i][0], static_cast<long>(writes[i].size()));
    }
    return writes;
  }

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
  RecSubSetInitTextFn SetInitText = nullptr;
  RecSubSetPrintingFn SetPrinting = nullptr;
  RecSubSetExecuteExtendedFn SetExecuteExtended = nullptr;
  RecSubConfirmAsFn ConfirmAs = nullptr;
  RecSubFailWritesFn FailWrites = nullptr;
  RecSubWriteCountFn WriteCount = nullptr;
  RecSubGetWriteFn GetWrite = nullptr;
  RecSubListLedgerFn ListLedger = nullptr;
  RecSubRaiseDirectIOEventFn RaiseDirectIOEvent = nullptr;
  RecSubNotifyErrorFn NotifyError = nullptr;

 private:
  template <class Fn>
  Fn Get(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
  }
  HMODULE m_module;
};
