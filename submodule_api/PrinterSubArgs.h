// Argument blocks of preMethod, executeMethod and otherMethod: arrays of 32-bit words,
// word i being the handler's i-th parameter. Each struct overlays one block exactly.
//
// Pre block:     [record, OPOS arguments..., long* resultCodeExtended]
// Execute block: [record, stationState, OPOS arguments..., (flag | DirectIO flags),
//                 PrnTokenList** list, snapshot]
// In-texts are NUL-terminated ANSI pointers (NULL reads as empty text); out-texts of the
// OPOS interface (pString, the statistics buffer) are the caller's BSTR addresses.
#pragma once
#include "PrinterSubRecords.h"

typedef wchar_t* PrnBstr;  // an OLE BSTR: the sub-module may free and replace it

// ---- pre blocks -------------------------------------------------------------------------
struct PrnPreLevelArgs {  // 1 CheckHealth
  PrnInputProperty* record; long level; long* resultCodeExtended;
};
struct PrnPreDirectIOArgs {  // 2
  PrnInputProperty* record; long command; long* data; PrnBstr* text; long* resultCodeExtended;
};
struct PrnPreNoArgs {  // 3 ClearOutput, 103 EndInsertion, 104 EndRemoval, 118 ClearPrintArea
  PrnInputProperty* record; long* resultCodeExtended;
};
struct PrnPreCompareFirmwareArgs {  // 4
  PrnInputProperty* record; const char* firmwareFileName; long* result; long* resultCodeExtended;
};
struct PrnPreTextArgs {  // 5 ResetStatistics, 7 UpdateFirmware, 8 UpdateStatistics
  PrnInputProperty* record; const char* text; long* resultCodeExtended;
};
struct PrnPreRetrieveStatisticsArgs {  // 6
  PrnInputProperty* record; PrnBstr* statisticsBuffer; long* resultCodeExtended;
};
struct PrnPreValueArgs {  // 101, 102 Timeout; 105 Percentage; 116 Side; 117 Type; 119 Control
  PrnInputProperty* record; long value; long* resultCodeExtended;
};
struct PrnPrePrintBarCodeArgs {  // 106
  PrnInputProperty* record; long station; const char* data; long symbology; long height;
  long width; long alignment; long textPosition; long* resultCodeExtended;
};
struct PrnPrePrintBitmapArgs {  // 107
  PrnInputProperty* record; long station; const char* fileName; long width; long alignment;
  long* resultCodeExtended;
};
struct PrnPreStationTextArgs {  // 108, 109 Print*, 113 SetLogo (Location), 115 ValidateData
  PrnInputProperty* record; long station; const char* data; long* resultCodeExtended;
};
struct PrnPrePrintTwoNormalArgs {  // 110
  PrnInputProperty* record; long stations; const char* data1; const char* data2;
  long* resultCodeExtended;
};
struct PrnPreStationValueArgs {  // 111 RotatePrint (Rotation), 114 TransactionPrint (Control)
  PrnInputProperty* record; long station; long value; long* resultCodeExtended;
};
struct PrnPreSetBitmapArgs {  // 112
  PrnInputProperty* record; long bitmapNumber; long station; const char* fileName; long width;
  long alignment; long* resultCodeExtended;
};
struct PrnPreDrawRuledLineArgs {  // 120; PositionList is passed as received and not read
  PrnInputProperty* record; long station; const char* positionList; long lineDirection;
  long lineWidth; long lineStyle; long lineColor; long* resultCodeExtended;
};
struct PrnPrePrintMemoryBitmapArgs {  // 121
  PrnInputProperty* record; long station; const char* data; long type; long width;
  long alignment; long* resultCodeExtended;
};
SUBAPI_WORDS(PrnPreLevelArgs, 3);
SUBAPI_WORDS(PrnPreDirectIOArgs, 5);
SUBAPI_WORDS(PrnPreNoArgs, 2);
SUBAPI_WORDS(PrnPreCompareFirmwareArgs, 4);
SUBAPI_WORDS(PrnPreTextArgs, 3);
SUBAPI_WORDS(PrnPreRetrieveStatisticsArgs, 3);
SUBAPI_WORDS(PrnPreValueArgs, 3);
SUBAPI_WORDS(PrnPrePrintBarCodeArgs, 9);
SUBAPI_WORDS(PrnPrePrintBitmapArgs, 6);
SUBAPI_WORDS(PrnPreStationTextArgs, 4);
SUBAPI_WORDS(PrnPrePrintTwoNormalArgs, 5);
SUBAPI_WORDS(PrnPreStationValueArgs, 4);
SUBAPI_WORDS(PrnPreSetBitmapArgs, 7);
SUBAPI_WORDS(PrnPreDrawRuledLineArgs, 8);
SUBAPI_WORDS(PrnPrePrintMemoryBitmapArgs, 7);

// ---- execute blocks ---------------------------------------------------------------------
// `list`: the address of the caller's list pointer. With flag 0 (and for every method
// without a flag) the sub-module stores a new list there; with flag 1 (escape sequences
// inside print data) *list is the list the tokenizer is filling and receives the tokens.
struct PrnExecLevelArgs {  // 1
  PrnInputProperty* record; PrnStationState* stationState; long level; PrnTokenList** list;
  PrnPropertySnapshot* snapshot;
};
struct PrnExecDirectIOArgs {  // 2
  PrnInputProperty* record; PrnStationState* stationState; long command; long* data;
  PrnBstr* text; PrnDirectIOFlags* flags; PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecNoArgs {  // 3, 103, 104, 118
  PrnInputProperty* record; PrnStationState* stationState; PrnTokenList** list;
  PrnPropertySnapshot* snapshot;
};
struct PrnExecCompareFirmwareArgs {  // 4
  PrnInputProperty* record; PrnStationState* stationState; const char* firmwareFileName;
  long* result; PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecTextArgs {  // 5, 7, 8
  PrnInputProperty* record; PrnStationState* stationState; const char* text;
  PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecRetrieveStatisticsArgs {  // 6
  PrnInputProperty* record; PrnStationState* stationState; PrnBstr* statisticsBuffer;
  PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecValueArgs {  // 101, 102, 105, 116, 117, 119
  PrnInputProperty* record; PrnStationState* stationState; long value; PrnTokenList** list;
  PrnPropertySnapshot* snapshot;
};
struct PrnExecPrintBarCodeArgs {  // 106
  PrnInputProperty* record; PrnStationState* stationState; long station; const char* data;
  long symbology; long height; long width; long alignment; long textPosition; long flag;
  PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecPrintBitmapArgs {  // 107
  PrnInputProperty* record; PrnStationState* stationState; long station; const char* fileName;
  long width; long alignment; PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecStationTextArgs {  // 108, 109, 113, 115
  PrnInputProperty* record; PrnStationState* stationState; long station; const char* data;
  PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecPrintTwoNormalArgs {  // 110
  PrnInputProperty* record; PrnStationState* stationState; long stations; const char* data1;
  const char* data2; PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecStationValueArgs {  // 111, 114
  PrnInputProperty* record; PrnStationState* stationState; long station; long value;
  PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecSetBitmapArgs {  // 112
  PrnInputProperty* record; PrnStationState* stationState; long bitmapNumber; long station;
  const char* fileName; long width; long alignment; PrnTokenList** list;
  PrnPropertySnapshot* snapshot;
};
struct PrnExecDrawRuledLineArgs {  // 120
  PrnInputProperty* record; PrnStationState* stationState; long station;
  const PrnPositionArray* positions; long lineDirection; long lineWidth; long lineStyle;
  long lineColor; long flag; PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
struct PrnExecPrintMemoryBitmapArgs {  // 121
  PrnInputProperty* record; PrnStationState* stationState; long station; const char* data;
  long type; long width; long alignment; PrnTokenList** list; PrnPropertySnapshot* snapshot;
};
SUBAPI_WORDS(PrnExecLevelArgs, 5);
SUBAPI_WORDS(PrnExecDirectIOArgs, 8);
SUBAPI_WORDS(PrnExecNoArgs, 4);
SUBAPI_WORDS(PrnExecCompareFirmwareArgs, 6);
SUBAPI_WORDS(PrnExecTextArgs, 5);
SUBAPI_WORDS(PrnExecRetrieveStatisticsArgs, 5);
SUBAPI_WORDS(PrnExecValueArgs, 5);
SUBAPI_WORDS(PrnExecPrintBarCodeArgs, 12);
SUBAPI_AT(PrnExecPrintBarCodeArgs, flag, 9 * 4);
SUBAPI_WORDS(PrnExecPrintBitmapArgs, 8);
SUBAPI_WORDS(PrnExecStationTextArgs, 6);
SUBAPI_WORDS(PrnExecPrintTwoNormalArgs, 7);
SUBAPI_WORDS(PrnExecStationValueArgs, 6);
SUBAPI_WORDS(PrnExecSetBitmapArgs, 9);
SUBAPI_WORDS(PrnExecDrawRuledLineArgs, 11);
SUBAPI_AT(PrnExecDrawRuledLineArgs, flag, 8 * 4);
SUBAPI_WORDS(PrnExecPrintMemoryBitmapArgs, 9);
SUBAPI_AT(PrnExecDirectIOArgs, flags, 5 * 4);

// ---- otherMethod blocks -----------------------------------------------------------------
struct PrnRecordSnapshotArgs {  // 1001 (record ignored), 1021, 1024
  PrnInputProperty* record; PrnPropertySnapshot* snapshot;
};
struct PrnListArgs {  // 1003 free, 1009 scan
  PrnTokenList* list;
};
struct PrnWriteArgs {  // 1004
  long force;                     // the core passes 0
  const unsigned char* data;
  long length;
  long* severity;                 // ErrorLevel: 1 none, 2 recoverable, 3 fatal
  const char** errorText;         // receives a NUL-terminated text owned by the sub-module,
                                  // valid until the next call on the slot; copy it at once
  long* resultCodeExtended;
};
// 1005: the block is a PrnStatusRecord (every byte 0xFF); only word 0 is passed on.
struct PrnPageModeAreaArgs {  // 1006
  PrnInputProperty* record; PrnStationState* stationState; PrnTokenList* list;
  long positionWord1; long positionWord2;  // vertical offset, -1 for none
  PrnTokenList* pageModeList;
};
struct PrnMoveTokensArgs {  // 1007
  PrnTokenList* target; PrnTokenList* source;
};
struct PrnCodePageArgs {  // 1008
  long codePage;
};
struct PrnRequestDeviceDataArgs {  // 1010
  PrnInputProperty* record; PrnStationState* stationState; PrnTokenList* list;
  long queue;                     // 2 normal, 0 immediate
};
struct PrnFixedParametersArgs {  // 1011
  long* value1; long* value2; long* value3;
};
struct PrnProcStatusArgs {  // 1012
  PrnStatusRecord* status;
  PrnPropertySnapshot* result;    // resultCode, resultCodeExtended, errorLevel (severity)
};
struct PrnAddTokenArgs {  // 1013
  long type; const unsigned char* data; long length; long parameter; PrnTokenList* list;
  PrnCommandToken** tokenOut;
};
struct PrnCopyTokensArgs {  // 1014
  PrnTokenList* source; PrnTokenList* target;
};
struct PrnSnapshotArgs {  // 1015
  PrnPropertySnapshot* snapshot;
};
struct PrnRecordArgs {  // 1016
  PrnInputProperty* record;
};
struct PrnCreateListArgs {  // 1018
  long station; PrnTokenList** listOut;
};
struct PrnCloneTokensArgs {  // 1019
  PrnTokenList* source; PrnTokenList** target;
};
struct PrnSelectLineCharsFontArgs {  // 1020
  long station; long requestedChars; long lineWidth;
  const char* lineCharsList;      // NUL-terminated ANSI, borrowed for the call
  long* chosenChars; long* charWidth; long* charSpacing;
};
struct PrnResponseIdArgs {  // 1022
  long* responseId; PrnTokenList** list;
};
struct PrnCapabilityArgs {  // getCapability 3001: a one-word block holding the block address
  PrnCapabilityBlock* block;
};
SUBAPI_WORDS(PrnRecordSnapshotArgs, 2);
SUBAPI_WORDS(PrnListArgs, 1);
SUBAPI_WORDS(PrnWriteArgs, 6);
SUBAPI_WORDS(PrnPageModeAreaArgs, 6);
SUBAPI_WORDS(PrnMoveTokensArgs, 2);
SUBAPI_WORDS(PrnCodePageArgs, 1);
SUBAPI_WORDS(PrnRequestDeviceDataArgs, 4);
SUBAPI_WORDS(PrnFixedParametersArgs, 3);
SUBAPI_WORDS(PrnProcStatusArgs, 2);
SUBAPI_WORDS(PrnAddTokenArgs, 6);
SUBAPI_WORDS(PrnCopyTokensArgs, 2);
SUBAPI_WORDS(PrnSnapshotArgs, 1);
SUBAPI_WORDS(PrnRecordArgs, 1);
SUBAPI_WORDS(PrnCreateListArgs, 2);
SUBAPI_WORDS(PrnCloneTokensArgs, 2);
SUBAPI_WORDS(PrnSelectLineCharsFontArgs, 7);
SUBAPI_WORDS(PrnResponseIdArgs, 2);
SUBAPI_WORDS(PrnCapabilityArgs, 1);
