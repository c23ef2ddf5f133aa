// Functions of the printer core that the printer sub-module calls, and the records through
// which setCallbackFunction registers them. Every callback is stdcall and takes the
// callback context (given to initSubSO) last; the sub-module ignores their results.
#pragma once
#include "PrinterSubRecords.h"

// 2001: splits print data into text and escape tokens, added at the list head through
// service 1013. `data` is a NUL-terminated copy owned by the sub-module; `errorWord`
// receives 106 or 111 for a refused sequence and is otherwise left as given.
typedef long(SUBAPI_CALL* PrnPrintDataTokenizerFn)(PrnInputProperty* record,
                                                    PrnStationState* stationState,
                                                    char* data, long length, long charWidth,
                                                    long charSpacing, PrnTokenList* list,
                                                    long* errorWord, void* context);

// 2002, first word: a status record with code 0 (error flags changed) or a StatusUpdate
// code, or NULL with a StatusUpdate code (11, 12, 21-26, 2001, 2004).
typedef long(SUBAPI_CALL* PrnStatusFn)(PrnStatusRecord* record, long code, void* context);

// 2002, third word: data the printer reports for a DirectIO event.
typedef long(SUBAPI_CALL* PrnDirectIOEventFn)(PrnDirectIOEventRecord* record, void* context);

// 2003: a completion response id 0-15 (the printer's byte 0x80 + id).
typedef long(SUBAPI_CALL* PrnResponseCodeFn)(long responseId, void* context);

// 2004: a printer error found by status processing. `errorText` is NUL-terminated ANSI,
// borrowed for the call only: the core copies it before returning.
typedef long(SUBAPI_CALL* PrnErrorNoticeFn)(long resultCode, long resultCodeExtended,
                                             long severity, const char* errorText,
                                             void* context);

// Callback records: the block passed to setCallbackFunction for each ID. The sub-module
// copies the words out; the block lives only during the call.
struct PrnTokenizerRecord {  // 2001
  PrnPrintDataTokenizerFn tokenizer;
};
struct PrnStatusFunctionSet {  // 2002: four words in this order
  PrnStatusFn status;
  void* reserved1;          // a core function the sub-module never calls
  PrnDirectIOEventFn directIOEvent;
  void* reserved2;          // a core function the sub-module never calls
};
struct PrnResponseCodeRecord {  // 2003
  PrnResponseCodeFn responseCode;
};
struct PrnErrorNoticeRecord {  // 2004
  PrnErrorNoticeFn errorNotice;
};
struct PrnStatusEventRecord {  // 2005: address of the core's status event HANDLE
  void** statusEvent;       // the handle is read through it each time it is signalled
};
static_assert(sizeof(PrnTokenizerRecord) == 4, "one word");
static_assert(sizeof(PrnStatusFunctionSet) == 16, "four words");
SUBAPI_AT(PrnStatusFunctionSet, status, 0);
SUBAPI_AT(PrnStatusFunctionSet, reserved1, 4);
SUBAPI_AT(PrnStatusFunctionSet, directIOEvent, 8);
SUBAPI_AT(PrnStatusFunctionSet, reserved2, 12);
static_assert(sizeof(PrnResponseCodeRecord) == 4, "one word");
static_assert(sizeof(PrnErrorNoticeRecord) == 4, "one word");
static_assert(sizeof(PrnStatusEventRecord) == 4, "one word");
