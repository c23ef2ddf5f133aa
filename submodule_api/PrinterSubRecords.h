// Records that cross the boundary between the printer core and the printer sub-module.
// Little-endian 32-bit words at fixed byte offsets, no gaps; a text word is a pointer to a
// NUL-terminated ANSI string or NULL. Each side frees only what its own heap allocated.
#pragma once
#include "SubApiCommon.h"

// ---------------------------------------------------------------------------------------
// Input property record: the core's current property values, word 0 of every pre and
// execute block. Built by the core for one call; the sub-module only reads it.
struct PrnInputProperty {
  long binaryConversion;          // 0 none, 1 nibble, 2 decimal
  const char* checkHealthText;
  long claimed;
  long freezeEvents;
  long powerState;
  long state;                     // 3 busy, 4 error
  const char* serviceObjectDescription;
  long serviceObjectVersion;
  const char* deviceDescription;
  const char* deviceName;
  long deviceEnabled;
  long powerNotify;
  long asyncMode;
  long cartridgeNotify;
  const char* characterSetList;
  long errorLevel;
  long errorStation;
  const char* errorString;
  const char* fontTypefaceList;
  long mapCharacterSet;
  const char* pageModeArea;
  long pageModeDescriptor;
  long rotateSpecial;             // 1, 257, 258 or 259
  const char* jrnLineCharsList;
  long jrnCartridgeState;
  long jrnCurrentCartridge;
  const char* recLineCharsList;   // comma-separated numbers
  long recLinesToPaperCut;
  const char* recBarCodeRotationList;
  long recCartridgeState;
  long recCurrentCartridge;
  const char* recBitmapRotationList;
  long slpLineChars;
  const char* slpLineCharsList;
  long slpLineHeight;
  long slpLineSpacing;
  long slpLineWidth;
  long slpLetterQuality;
  long slpEmpty;
  long slpNearEnd;
  long slpSidewaysMaxLines;
  long slpSidewaysMaxChars;
  long slpMaxLines;
  long slpLinesNearEndToEnd;
  const char* slpBarCodeRotationList;
  long slpPrintSide;
  long slpCartridgeState;
  long slpCurrentCartridge;
  const char* slpBitmapRotationList;
  long mapMode;                   // 1 dots, 2 twips, 3 English, 4 metric
  long flagWhenIdle;
  long coverOpen;
  long recNearEnd;
  long recEmpty;
  long recLetterQuality;
  long recLineSpacing;            // dots
  long recLineHeight;             // dots
  long recLineChars;
  long recSidewaysMaxChars;
  long recLineWidth;              // dots
  long jrnLineChars;
  long jrnLineHeight;             // dots
  long jrnLineSpacing;            // dots
  long jrnLineWidth;              // dots
  long jrnLetterQuality;
  long jrnEmpty;
  long jrnNearEnd;
  long characterSet;
  const char* pageModePrintArea;  // "x,y,width,height" in dots
  long pageModeStation;
  long recSidewaysMaxLines;
  long pageModeHorizontalPosition;  // dots
  long pageModePrintDirection;      // 1 left-right, 2 bottom-top, 3 right-left, 4 top-bottom
  long pageModeVerticalPosition;    // dots
};
static_assert(sizeof(PrnInputProperty) == 296, "input property record is 296 bytes");
SUBAPI_AT(PrnInputProperty, binaryConversion, 0);
SUBAPI_AT(PrnInputProperty, checkHealthText, 4);
SUBAPI_AT(PrnInputProperty, claimed, 8);
SUBAPI_AT(PrnInputProperty, freezeEvents, 12);
SUBAPI_AT(PrnInputProperty, powerState, 16);
SUBAPI_AT(PrnInputProperty, state, 20);
SUBAPI_AT(PrnInputProperty, serviceObjectDescription, 24);
SUBAPI_AT(PrnInputProperty, serviceObjectVersion, 28);
SUBAPI_AT(PrnInputProperty, deviceDescription, 32);
SUBAPI_AT(PrnInputProperty, deviceName, 36);
SUBAPI_AT(PrnInputProperty, deviceEnabled, 40);
SUBAPI_AT(PrnInputProperty, powerNotify, 44);
SUBAPI_AT(PrnInputProperty, asyncMode, 48);
SUBAPI_AT(PrnInputProperty, cartridgeNotify, 52);
SUBAPI_AT(PrnInputProperty, characterSetList, 56);
SUBAPI_AT(PrnInputProperty, errorLevel, 60);
SUBAPI_AT(PrnInputProperty, errorStation, 64);
SUBAPI_AT(PrnInputProperty, errorString, 68);
SUBAPI_AT(PrnInputProperty, fontTypefaceList, 72);
SUBAPI_AT(PrnInputProperty, mapCharacterSet, 76);
SUBAPI_AT(PrnInputProperty, pageModeArea, 80);
SUBAPI_AT(PrnInputProperty, pageModeDescriptor, 84);
SUBAPI_AT(PrnInputProperty, rotateSpecial, 88);
SUBAPI_AT(PrnInputProperty, jrnLineCharsList, 92);
SUBAPI_AT(PrnInputProperty, jrnCartridgeState, 96);
SUBAPI_AT(PrnInputProperty, jrnCurrentCartridge, 100);
SUBAPI_AT(PrnInputProperty, recLineCharsList, 104);
SUBAPI_AT(PrnInputProperty, recLinesToPaperCut, 108);
SUBAPI_AT(PrnInputProperty, recBarCodeRotationList, 112);
SUBAPI_AT(PrnInputProperty, recCartridgeState, 116);
SUBAPI_AT(PrnInputProperty, recCurrentCartridge, 120);
SUBAPI_AT(PrnInputProperty, recBitmapRotationList, 124);
SUBAPI_AT(PrnInputProperty, slpLineChars, 128);
SUBAPI_AT(PrnInputProperty, slpLineCharsList, 132);
SUBAPI_AT(PrnInputProperty, slpLineHeight, 136);
SUBAPI_AT(PrnInputProperty, slpLineSpacing, 140);
SUBAPI_AT(PrnInputProperty, slpLineWidth, 144);
SUBAPI_AT(PrnInputProperty, slpLetterQuality, 148);
SUBAPI_AT(PrnInputProperty, slpEmpty, 152);
SUBAPI_AT(PrnInputProperty, slpNearEnd, 156);
SUBAPI_AT(PrnInputProperty, slpSidewaysMaxLines, 160);
SUBAPI_AT(PrnInputProperty, slpSidewaysMaxChars, 164);
SUBAPI_AT(PrnInputProperty, slpMaxLines, 168);
SUBAPI_AT(PrnInputProperty, slpLinesNearEndToEnd, 172);
SUBAPI_AT(PrnInputProperty, slpBarCodeRotationList, 176);
SUBAPI_AT(PrnInputProperty, slpPrintSide, 180);
SUBAPI_AT(PrnInputProperty, slpCartridgeState, 184);
SUBAPI_AT(PrnInputProperty, slpCurrentCartridge, 188);
SUBAPI_AT(PrnInputProperty, slpBitmapRotationList, 192);
SUBAPI_AT(PrnInputProperty, mapMode, 196);
SUBAPI_AT(PrnInputProperty, flagWhenIdle, 200);
SUBAPI_AT(PrnInputProperty, coverOpen, 204);
SUBAPI_AT(PrnInputProperty, recNearEnd, 208);
SUBAPI_AT(PrnInputProperty, recEmpty, 212);
SUBAPI_AT(PrnInputProperty, recLetterQuality, 216);
SUBAPI_AT(PrnInputProperty, recLineSpacing, 220);
SUBAPI_AT(PrnInputProperty, recLineHeight, 224);
SUBAPI_AT(PrnInputProperty, recLineChars, 228);
SUBAPI_AT(PrnInputProperty, recSidewaysMaxChars, 232);
SUBAPI_AT(PrnInputProperty, recLineWidth, 236);
SUBAPI_AT(PrnInputProperty, jrnLineChars, 240);
SUBAPI_AT(PrnInputProperty, jrnLineHeight, 244);
SUBAPI_AT(PrnInputProperty, jrnLineSpacing, 248);
SUBAPI_AT(PrnInputProperty, jrnLineWidth, 252);
SUBAPI_AT(PrnInputProperty, jrnLetterQuality, 256);
SUBAPI_AT(PrnInputProperty, jrnEmpty, 260);
SUBAPI_AT(PrnInputProperty, jrnNearEnd, 264);
SUBAPI_AT(PrnInputProperty, characterSet, 268);
SUBAPI_AT(PrnInputProperty, pageModePrintArea, 272);
SUBAPI_AT(PrnInputProperty, pageModeStation, 276);
SUBAPI_AT(PrnInputProperty, recSidewaysMaxLines, 280);
SUBAPI_AT(PrnInputProperty, pageModeHorizontalPosition, 284);
SUBAPI_AT(PrnInputProperty, pageModePrintDirection, 288);
SUBAPI_AT(PrnInputProperty, pageModeVerticalPosition, 292);

// ---------------------------------------------------------------------------------------
// Property snapshot: owned by the core, last word of every execute block, third argument
// of initSubSO. The sixteen text slots (char*) go out NULL; the sub-module may attach
// texts from its own heap there and alone frees them (service 1015).
// Words 32..276 are the input record's words 48..292 (snapshot offset = input offset - 16).
struct PrnPropertySnapshot {
  char* checkHealthText;          // text slot
  long powerState;
  long resultCode;
  long resultCodeExtended;
  char* serviceObjectDescription; // text slot
  long serviceObjectVersion;      // the sub-module writes its own version here at initSubSO
  char* deviceDescription;        // text slot
  char* deviceName;               // text slot
  long asyncMode;
  long cartridgeNotify;
  char* characterSetList;         // text slot
  long errorLevel;                // severity of service 1012 (1 none, 2 error, 3 unrecoverable)
  long errorStation;
  char* errorString;              // text slot
  char* fontTypefaceList;         // text slot
  long mapCharacterSet;
  char* pageModeArea;             // text slot
  long pageModeDescriptor;
  long rotateSpecial;
  char* jrnLineCharsList;         // text slot
  long jrnCartridgeState;
  long jrnCurrentCartridge;
  char* recLineCharsList;         // text slot
  long recLinesToPaperCut;
  char* recBarCodeRotationList;   // text slot
  long recCartridgeState;
  long recCurrentCartridge;
  char* recBitmapRotationList;    // text slot
  long slpLineChars;
  char* slpLineCharsList;         // text slot
  long slpLineHeight;
  long slpLineSpacing;
  long slpLineWidth;
  long slpLetterQuality;
  long slpEmpty;
  long slpNearEnd;
  long slpSidewaysMaxLines;
  long slpSidewaysMaxChars;
  long slpMaxLines;
  long slpLinesNearEndToEnd;
  char* slpBarCodeRotationList;   // text slot
  long slpPrintSide;
  long slpCartridgeState;
  long slpCurrentCartridge;
  char* slpBitmapRotationList;    // text slot
  long mapMode;
  long flagWhenIdle;
  long coverOpen;
  long recNearEnd;
  long recEmpty;
  long recLetterQuality;
  long recLineSpacing;
  long recLineHeight;
  long recLineChars;
  long recSidewaysMaxChars;
  long recLineWidth;
  long jrnLineChars;
  long jrnLineHeight;
  long jrnLineSpacing;
  long jrnLineWidth;
  long jrnLetterQuality;
  long jrnEmpty;
  long jrnNearEnd;
  long characterSet;
  char* pageModePrintArea;        // text slot
  long pageModeStation;
  long recSidewaysMaxLines;
  long pageModeHorizontalPosition;
  long pageModePrintDirection;
  long pageModeVerticalPosition;
  long carryWord;                 // the sub-module's pitch word; the core only carries it
  long positionWord1;             // preset -1; written by PrintBarCode / DrawRuledLine
  long positionWord2;             // preset -1
  long reserved[7];
};
static_assert(sizeof(PrnPropertySnapshot) == 320, "property snapshot is 320 bytes");
SUBAPI_AT(PrnPropertySnapshot, checkHealthText, 0);
SUBAPI_AT(PrnPropertySnapshot, powerState, 4);
SUBAPI_AT(PrnPropertySnapshot, resultCode, 8);
SUBAPI_AT(PrnPropertySnapshot, resultCodeExtended, 12);
SUBAPI_AT(PrnPropertySnapshot, serviceObjectDescription, 16);
SUBAPI_AT(PrnPropertySnapshot, serviceObjectVersion, 20);
SUBAPI_AT(PrnPropertySnapshot, deviceDescription, 24);
SUBAPI_AT(PrnPropertySnapshot, deviceName, 28);
SUBAPI_AT(PrnPropertySnapshot, asyncMode, 32);
SUBAPI_AT(PrnPropertySnapshot, characterSetList, 40);
SUBAPI_AT(PrnPropertySnapshot, errorLevel, 44);
SUBAPI_AT(PrnPropertySnapshot, errorString, 52);
SUBAPI_AT(PrnPropertySnapshot, fontTypefaceList, 56);
SUBAPI_AT(PrnPropertySnapshot, pageModeArea, 64);
SUBAPI_AT(PrnPropertySnapshot, pageModeDescriptor, 68);
SUBAPI_AT(PrnPropertySnapshot, rotateSpecial, 72);
SUBAPI_AT(PrnPropertySnapshot, jrnLineCharsList, 76);
SUBAPI_AT(PrnPropertySnapshot, recLineCharsList, 88);
SUBAPI_AT(PrnPropertySnapshot, recLinesToPaperCut, 92);
SUBAPI_AT(PrnPropertySnapshot, recBarCodeRotationList, 96);
SUBAPI_AT(PrnPropertySnapshot, recCartridgeState, 100);
SUBAPI_AT(PrnPropertySnapshot, recCurrentCartridge, 104);
SUBAPI_AT(PrnPropertySnapshot, recBitmapRotationList, 108);
SUBAPI_AT(PrnPropertySnapshot, slpLineCharsList, 116);
SUBAPI_AT(PrnPropertySnapshot, slpBarCodeRotationList, 160);
SUBAPI_AT(PrnPropertySnapshot, slpBitmapRotationList, 176);
SUBAPI_AT(PrnPropertySnapshot, mapMode, 180);
SUBAPI_AT(PrnPropertySnapshot, flagWhenIdle, 184);
SUBAPI_AT(PrnPropertySnapshot, coverOpen, 188);
SUBAPI_AT(PrnPropertySnapshot, recNearEnd, 192);
SUBAPI_AT(PrnPropertySnapshot, recEmpty, 196);
SUBAPI_AT(PrnPropertySnapshot, recLetterQuality, 200);
SUBAPI_AT(PrnPropertySnapshot, recLineSpacing, 204);
SUBAPI_AT(PrnPropertySnapshot, recLineHeight, 208);
SUBAPI_AT(PrnPropertySnapshot, recLineChars, 212);
SUBAPI_AT(PrnPropertySnapshot, recSidewaysMaxChars, 216);
SUBAPI_AT(PrnPropertySnapshot, recLineWidth, 220);
SUBAPI_AT(PrnPropertySnapshot, jrnEmpty, 244);
SUBAPI_AT(PrnPropertySnapshot, jrnNearEnd, 248);
SUBAPI_AT(PrnPropertySnapshot, characterSet, 252);
SUBAPI_AT(PrnPropertySnapshot, pageModePrintArea, 256);
SUBAPI_AT(PrnPropertySnapshot, pageModeStation, 260);
SUBAPI_AT(PrnPropertySnapshot, recSidewaysMaxLines, 264);
SUBAPI_AT(PrnPropertySnapshot, pageModeHorizontalPosition, 268);
SUBAPI_AT(PrnPropertySnapshot, pageModePrintDirection, 272);
SUBAPI_AT(PrnPropertySnapshot, pageModeVerticalPosition, 276);
SUBAPI_AT(PrnPropertySnapshot, carryWord, 280);
SUBAPI_AT(PrnPropertySnapshot, positionWord1, 284);
SUBAPI_AT(PrnPropertySnapshot, positionWord2, 288);
SUBAPI_AT(PrnPropertySnapshot, reserved, 292);

// Every one of the 62 words at 32..276 sits 16 bytes below its input-record twin.
#define PRN_SNAPSHOT_MIRRORED_WORDS(X)                                                     \
  X(asyncMode) X(cartridgeNotify) X(characterSetList) X(errorLevel) X(errorStation)        \
  X(errorString) X(fontTypefaceList) X(mapCharacterSet) X(pageModeArea)                   \
  X(pageModeDescriptor) X(rotateSpecial) X(jrnLineCharsList) X(jrnCartridgeState)         \
  X(jrnCurrentCartridge) X(recLineCharsList) X(recLinesToPaperCut)                        \
  X(recBarCodeRotationList) X(recCartridgeState) X(recCurrentCartridge)                   \
  X(recBitmapRotationList) X(slpLineChars) X(slpLineCharsList) X(slpLineHeight)           \
  X(slpLineSpacing) X(slpLineWidth) X(slpLetterQuality) X(slpEmpty) X(slpNearEnd)         \
  X(slpSidewaysMaxLines) X(slpSidewaysMaxChars) X(slpMaxLines) X(slpLinesNearEndToEnd)    \
  X(slpBarCodeRotationList) X(slpPrintSide) X(slpCartridgeState) X(slpCurrentCartridge)   \
  X(slpBitmapRotationList) X(mapMode) X(flagWhenIdle) X(coverOpen) X(recNearEnd)          \
  X(recEmpty) X(recLetterQuality) X(recLineSpacing) X(recLineHeight) X(recLineChars)      \
  X(recSidewaysMaxChars) X(recLineWidth) X(jrnLineChars) X(jrnLineHeight)                 \
  X(jrnLineSpacing) X(jrnLineWidth) X(jrnLetterQuality) X(jrnEmpty) X(jrnNearEnd)         \
  X(characterSet) X(pageModePrintArea) X(pageModeStation) X(recSidewaysMaxLines)          \
  X(pageModeHorizontalPosition) X(pageModePrintDirection) X(pageModeVerticalPosition)
#define PRN_SNAPSHOT_MIRRORS(field)                                                        \
  static_assert(offsetof(PrnPropertySnapshot, field) ==                                   \
                    offsetof(PrnInputProperty, field) - 16,                                \
                "PrnPropertySnapshot." #field " must sit at its input offset minus 16");
PRN_SNAPSHOT_MIRRORED_WORDS(PRN_SNAPSHOT_MIRRORS)
#undef PRN_SNAPSHOT_MIRRORS
#undef PRN_SNAPSHOT_MIRRORED_WORDS

// Byte offsets of the sixteen text slots, in the order service 1015 frees them.
inline constexpr long kPrnSnapshotTextSlots[16] = {0,  24, 28, 16,  40,  52,  56,  64,
                                                   76, 88, 96, 108, 116, 160, 176, 256};

// ---------------------------------------------------------------------------------------
// Command token and command-token list: created and freed only by the sub-module.
struct PrnCommandToken {
  long type;              // token code (e.g. 101 text, 710 response id, 717 character set)
  long parameter;
  long parameter2;        // 0 unless the builder sets it
  long parameter3;        // 0 unless the builder sets it
  unsigned char* data;    // owned by the token's list, or NULL
  long length;            // number of data bytes
};
static_assert(sizeof(PrnCommandToken) == 24, "command token is 24 bytes");
SUBAPI_AT(PrnCommandToken, type, 0);
SUBAPI_AT(PrnCommandToken, parameter, 4);
SUBAPI_AT(PrnCommandToken, parameter2, 8);
SUBAPI_AT(PrnCommandToken, parameter3, 12);
SUBAPI_AT(PrnCommandToken, data, 16);
SUBAPI_AT(PrnCommandToken, length, 20);

// One link of the doubly linked token chain. Tokens are added at the head; the oldest
// sits at the tail. `next` runs from the head towards the tail, `prev` back towards the
// head, so a reader walks tail -> prev -> ... to see tokens in the order they were added.
struct PrnTokenNode {
  PrnTokenNode* next;
  PrnTokenNode* prev;
  PrnCommandToken* token;
};
static_assert(sizeof(PrnTokenNode) == 12, "token node is 12 bytes");

struct PrnTokenChain {
  PrnTokenNode* head;     // newest token
  PrnTokenNode* tail;     // oldest token
  long count;
};
static_assert(sizeof(PrnTokenChain) == 12, "token chain is 12 bytes");

struct PrnTokenList {
  long station;           // the owner: 1 journal, 2 receipt, 4 slip
  PrnTokenChain* tokens;
  long totalBytes;        // running total of the data bytes of the tokens added
};
static_assert(sizeof(PrnTokenList) == 12, "command-token list is 12 bytes");
SUBAPI_AT(PrnTokenList, station, 0);
SUBAPI_AT(PrnTokenList, tokens, 4);
SUBAPI_AT(PrnTokenList, totalBytes, 8);

// Oldest-first walk for readers on either side (the core reads data and length only).
inline const PrnTokenNode* PrnOldestToken(const PrnTokenList* list) {
  return (list && list->tokens) ? list->tokens->tail : nullptr;
}
inline const PrnTokenNode* PrnNewerToken(const PrnTokenNode* node) {
  return node ? node->prev : nullptr;
}

// ---------------------------------------------------------------------------------------
// Station state record: the station's mode words for one output (word 1 of every execute
// block, second argument of the print-data tokenizer). Non-zero means active.
struct PrnStationState {
  long receiptTransaction;
  long journalTransaction;
  long pageMode;                // receipt page mode open
  long rotatedDirection;        // 1 left 90, 0 right 90 (selects rotation token 154/155)
  long rotatedPrint;            // receipt sideways printing open
  long upsideDown;              // 180-degree printing
  long bitmapDirectionLeft;
  long bitmapsRotated180;
  long bitmapsRotated90;
  long rotation;                // rotation in force for barcodes (1, 257, 258, 259)
  PrnTokenList* stationBuffer;  // transaction buffer of the station
  PrnTokenList* pageModeBuffer; // receipt only
  PrnTokenList* rotationBuffer; // receipt only
  long settingsChanged;         // letter-quality request
};
static_assert(sizeof(PrnStationState) == 56, "station state record is 56 bytes");
SUBAPI_AT(PrnStationState, receiptTransaction, 0);
SUBAPI_AT(PrnStationState, journalTransaction, 4);
SUBAPI_AT(PrnStationState, pageMode, 8);
SUBAPI_AT(PrnStationState, rotatedDirection, 12);
SUBAPI_AT(PrnStationState, rotatedPrint, 16);
SUBAPI_AT(PrnStationState, upsideDown, 20);
SUBAPI_AT(PrnStationState, bitmapDirectionLeft, 24);
SUBAPI_AT(PrnStationState, bitmapsRotated180, 28);
SUBAPI_AT(PrnStationState, bitmapsRotated90, 32);
SUBAPI_AT(PrnStationState, rotation, 36);
SUBAPI_AT(PrnStationState, stationBuffer, 40);
SUBAPI_AT(PrnStationState, pageModeBuffer, 44);
SUBAPI_AT(PrnStationState, rotationBuffer, 48);
SUBAPI_AT(PrnStationState, settingsChanged, 52);

// ---------------------------------------------------------------------------------------
// Status record: allocated by the core with every word -1 (= not reported) for services
// 1005 and 1012; the sub-module's status store fills the words that changed.
struct PrnStatusRecord {
  long powerState;              // 2001 online, 2004 off/offline
  long coverOpen;
  long jrnEmpty;
  long recEmpty;
  long slpEmpty;                // never written by the printer sub-module
  long jrnNearEnd;
  long recNearEnd;
  long slpNearEnd;              // never written by the printer sub-module
  long jrnCartridgeState;       // never written by the printer sub-module
  long recCartridgeState;       // never written by the printer sub-module
  long slpCartridgeState;       // never written by the printer sub-module
  long vpVoltageError;
  long autocutterError;
  long headTemperatureError;
  long batteryError;
  long markPaperJam;
  long errorCleared;            // written only by the core's status function
};
static_assert(sizeof(PrnStatusRecord) == 68, "status record is 68 bytes");
SUBAPI_AT(PrnStatusRecord, powerState, 0);
SUBAPI_AT(PrnStatusRecord, coverOpen, 4);
SUBAPI_AT(PrnStatusRecord, jrnEmpty, 8);
SUBAPI_AT(PrnStatusRecord, recEmpty, 12);
SUBAPI_AT(PrnStatusRecord, slpEmpty, 16);
SUBAPI_AT(PrnStatusRecord, jrnNearEnd, 20);
SUBAPI_AT(PrnStatusRecord, recNearEnd, 24);
SUBAPI_AT(PrnStatusRecord, slpNearEnd, 28);
SUBAPI_AT(PrnStatusRecord, jrnCartridgeState, 32);
SUBAPI_AT(PrnStatusRecord, recCartridgeState, 36);
SUBAPI_AT(PrnStatusRecord, slpCartridgeState, 40);
SUBAPI_AT(PrnStatusRecord, vpVoltageError, 44);
SUBAPI_AT(PrnStatusRecord, autocutterError, 48);
SUBAPI_AT(PrnStatusRecord, headTemperatureError, 52);
SUBAPI_AT(PrnStatusRecord, batteryError, 56);
SUBAPI_AT(PrnStatusRecord, markPaperJam, 60);
SUBAPI_AT(PrnStatusRecord, errorCleared, 64);

// ---------------------------------------------------------------------------------------
// Capability block (capability ID 3001): 68 words in the order of the OPOS POSPrinter
// capability properties.
struct PrnCapabilityBlock {
  long capCompareFirmwareVersion;
  long capPowerReporting;
  long capStatisticsReporting;
  long capUpdateFirmware;
  long capUpdateStatistics;
  long capCharacterSet;
  long capConcurrentJrnRec;
  long capConcurrentJrnSlp;
  long capConcurrentPageMode;
  long capConcurrentRecSlp;
  long capCoverSensor;
  long capMapCharacterSet;
  long capTransaction;
  long capJrnPresent;           // word 13
  long capJrn2Color;
  long capJrnBold;
  long capJrnDhigh;
  long capJrnDwide;
  long capJrnDwideDhigh;
  long capJrnEmptySensor;
  long capJrnItalic;
  long capJrnNearEndSensor;
  long capJrnUnderline;
  long capJrnCartridgeSensor;
  long capJrnColor;
  long capRecPresent;           // word 25
  long capRec2Color;
  long capRecBarCode;
  long capRecRuledLine;
  long capRecBitmap;
  long capRecBold;
  long capRecDhigh;
  long capRecDwide;
  long capRecDwideDhigh;
  long capRecEmptySensor;
  long capRecItalic;
  long capRecLeft90;
  long capRecNearEndSensor;
  long capRecPapercut;
  long capRecRight90;
  long capRecRotate180;
  long capRecStamp;
  long capRecUnderline;
  long capRecCartridgeSensor;
  long capRecColor;
  long capRecMarkFeed;
  long capRecPageMode;          // word 46
  long capSlpPresent;           // word 47
  long capSlpFullslip;
  long capSlp2Color;
  long capSlpBarCode;
  long capSlpRuledLine;
  long capSlpBitmap;
  long capSlpBold;
  long capSlpDhigh;
  long capSlpDwide;
  long capSlpDwideDhigh;
  long capSlpEmptySensor;
  long capSlpItalic;
  long capSlpLeft90;
  long capSlpNearEndSensor;
  long capSlpRight90;
  long capSlpRotate180;
  long capSlpUnderline;
  long capSlpBothSidesPrint;
  long capSlpCartridgeSensor;
  long capSlpColor;
  long capSlpPageMode;          // word 67
};
static_assert(sizeof(PrnCapabilityBlock) == 272, "capability block is 68 words");
SUBAPI_AT(PrnCapabilityBlock, capTransaction, 12 * 4);
SUBAPI_AT(PrnCapabilityBlock, capJrnPresent, 13 * 4);
SUBAPI_AT(PrnCapabilityBlock, capRecPresent, 25 * 4);
SUBAPI_AT(PrnCapabilityBlock, capRecPageMode, 46 * 4);
SUBAPI_AT(PrnCapabilityBlock, capSlpPresent, 47 * 4);
SUBAPI_AT(PrnCapabilityBlock, capSlpPageMode, 67 * 4);

// ---------------------------------------------------------------------------------------
// Objects the core passes across the boundary, fixed as plain layouts.

// DrawRuledLine positions in dots, built by the core for one call from PositionList and
// freed by it after executeMethod returns. An empty PositionList arrives as one -1.
struct PrnPositionArray {
  const long* values;
  long count;
};
static_assert(sizeof(PrnPositionArray) == 8, "position array is element pointer + count");
SUBAPI_AT(PrnPositionArray, values, 0);
SUBAPI_AT(PrnPositionArray, count, 4);

// The three DirectIO output flag words the DirectIO execute phase sets.
struct PrnDirectIOFlags {
  long useTransaction;
  long usePageMode;
  long useRotation;
};
static_assert(sizeof(PrnDirectIOFlags) == 12, "DirectIO flags are three words");

// Record of the DirectIO-event function (third word of the status function set).
struct PrnDirectIOEventRecord {
  long eventNumber;
  long* data;                   // address of pData
  wchar_t** text;               // address of the wide pString
};
static_assert(sizeof(PrnDirectIOEventRecord) == 12, "DirectIO event record is three words");
