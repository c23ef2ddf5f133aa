// The cash drawer sub-module interface (tollek): nine stdcall exports. Its initSubSO and
// setCallbackFunction take other arguments than the printer's.
#pragma once
#include "OposCodes.h"
#include "SubApiCommon.h"

// Results beside the OPOS codes.
enum DrwResult : long {
  DRW_E_BAD_CALL = -1,     // NULL block/record, bad or free slot, unserved ID, not initialised
  DRW_E_UNSUPPORTED = -2,  // method not supported (pre phase) or caller's version too old
};

enum DrwMethodId : long {
  DRW_METHOD_CHECK_HEALTH = 1,
  DRW_METHOD_COMPARE_FIRMWARE_VERSION = 2,
  DRW_METHOD_DIRECT_IO = 3,
  DRW_METHOD_RESET_STATISTICS = 4,
  DRW_METHOD_RETRIEVE_STATISTICS = 5,
  DRW_METHOD_UPDATE_FIRMWARE = 6,
  DRW_METHOD_UPDATE_STATISTICS = 7,
  DRW_METHOD_OPEN_DRAWER = 8,
  DRW_METHOD_WAIT_FOR_DRAWER_CLOSE = 9,
};

enum DrwServiceId : long {
  DRW_SERVICE_ACTIVATE_DEVICE = 1001,
  DRW_SERVICE_DEACTIVATE_DEVICE = 1002,
  DRW_SERVICE_PROCESS_STATUS = 1012,
  DRW_SERVICE_RELEASE_BUFFER = 1019,
};

enum DrwCallbackId : long {
  DRW_CALLBACK_EVENT_FUNCTION = 2002,
  DRW_CALLBACK_STATUS_EVENT = 2006,
};

enum : long { DRW_CAPABILITY_BLOCK = 3001, DRW_SLOT_COUNT = 16 };

// Three consecutive state words of a drawer instance; also the status record of 1012.
struct DrwStateWords {
  long powerState;    // -1 before the first status, 2001 online, 2004 off/offline
  long drawerOpened;  // -1 before the first status, 0 closed, 1 open
  long statusSeen;    // 1 after the first online status word
};
static_assert(sizeof(DrwStateWords) == 12, "three words");

// Third argument of initSubSO. Words 0-2 belong to the core; texts are new[] copies of the
// drawer, handed back through otherMethod 1019.
struct DrwInitRecord {
  long coreWords[3];
  char* description;           // description base + " Cash Drawer" + resource 10
  long subModuleVersion;       // major*1000000 + minor*1000 + build
  char* deviceDescription;     // description base + " Cash Drawer"
  char* shortDescription;      // short name + " Cash Drawer"
  long reserved;               // 0
};
static_assert(sizeof(DrwInitRecord) == 32, "eight words");
SUBAPI_AT(DrwInitRecord, description, 12);
SUBAPI_AT(DrwInitRecord, subModuleVersion, 16);
SUBAPI_AT(DrwInitRecord, deviceDescription, 20);
SUBAPI_AT(DrwInitRecord, shortDescription, 24);
SUBAPI_AT(DrwInitRecord, reserved, 28);

// First word of every drawer method block: the caller's device state. The drawer reads
// only the byte at offset 4 (non-zero allows the external and interactive health checks).
struct DrwStateRecord {
  long coreWord;
  unsigned char checkHealthAllowed;
  unsigned char reserved[3];
};
static_assert(sizeof(DrwStateRecord) == 8, "two words");
SUBAPI_AT(DrwStateRecord, checkHealthAllowed, 4);

// Last word of every drawer method block.
struct DrwResultRecord {
  char* text;                  // health-check text (new[] copy of the drawer)
  long resultCode;
  long resultCodeExtended;
  long coreWords[4];
  unsigned char waitFlag;      // cleared when the drawer closed during WaitForDrawerClose
  unsigned char reserved[3];
};
static_assert(sizeof(DrwResultRecord) == 32, "eight words");
SUBAPI_AT(DrwResultRecord, resultCode, 4);
SUBAPI_AT(DrwResultRecord, resultCodeExtended, 8);
SUBAPI_AT(DrwResultRecord, waitFlag, 28);

// Capability words (getCapability 3001, block word 0 points to them).
struct DrwCapabilityBlock {
  long capCompareFirmwareVersion;
  long capPowerReporting;
  long capStatisticsReporting;
  long capUpdateFirmware;
  long capUpdateStatistics;
  long capStatus;
  long capStatusMultiDrawerDetect;
};
static_assert(sizeof(DrwCapabilityBlock) == 28, "seven words");
struct DrwCapabilityArgs {
  DrwCapabilityBlock* block;
};

// Method blocks: [state, OPOS arguments..., result]; pre and execute take the same block.
struct DrwLevelArgs { DrwStateRecord* state; long level; DrwResultRecord* result; };  // 1
struct DrwCompareFirmwareArgs {  // 2
  DrwStateRecord* state; const char* firmwareFileName; long* compareResult;
  DrwResultRecord* result;
};
struct DrwDirectIOArgs {  // 3
  DrwStateRecord* state; long command; long* data; wchar_t** text; DrwResultRecord* result;
};
struct DrwTextArgs { DrwStateRecord* state; const char* text; DrwResultRecord* result; };  // 4, 6, 7
struct DrwRetrieveStatisticsArgs {  // 5
  DrwStateRecord* state; wchar_t** statisticsBuffer; DrwResultRecord* result;
};
struct DrwOpenDrawerArgs { DrwStateRecord* state; DrwResultRecord* result; };  // 8
struct DrwWaitForDrawerCloseArgs {  // 9
  DrwStateRecord* state; long beepTimeout; long beepFrequency; long beepDuration; long beepDelay;
  DrwResultRecord* result;
};
static_assert(sizeof(DrwLevelArgs) == 12, "3 words");
static_assert(sizeof(DrwCompareFirmwareArgs) == 16, "4 words");
static_assert(sizeof(DrwDirectIOArgs) == 20, "5 words");
static_assert(sizeof(DrwTextArgs) == 12, "3 words");
static_assert(sizeof(DrwRetrieveStatisticsArgs) == 12, "3 words");
static_assert(sizeof(DrwOpenDrawerArgs) == 8, "2 words");
static_assert(sizeof(DrwWaitForDrawerCloseArgs) == 24, "6 words");

// otherMethod blocks.
struct DrwProcessStatusArgs { DrwStateWords* status; };  // 1012
struct DrwReleaseBufferArgs { void* buffer; };           // 1019

// The core's event function (callback 2002): the instance's three state words, an event
// code (2001 online, 2004 offline, 1 drawer open, 0 drawer closed) and the user word.
typedef long(SUBAPI_CALL* DrwEventFn)(DrwStateWords* state, long eventCode, long userWord);

// Callback records: 2002 two words (word 0 unused), 2006 one word.
struct DrwEventFunctionRecord {
  void* unused;
  DrwEventFn eventFunction;
};
struct DrwStatusEventRecord {
  void** statusEvent;  // address of the core's event HANDLE
};
static_assert(sizeof(DrwEventFunctionRecord) == 8, "two words");
static_assert(sizeof(DrwStatusEventRecord) == 4, "one word");

typedef long(SUBAPI_CALL* DrwInitSubSOFn)(const char* deviceName, long coreVersion,
                                           DrwInitRecord* initRecord, long* slotOut);
typedef long(SUBAPI_CALL* DrwTerminateSubSOFn)(long slot);
typedef long(SUBAPI_CALL* DrwConnectPrinterFn)(long slot);
typedef long(SUBAPI_CALL* DrwDisconnectPrinterFn)(long slot);
typedef long(SUBAPI_CALL* DrwGetCapabilityFn)(long capabilityId, long* args, long slot);
typedef long(SUBAPI_CALL* DrwPreMethodFn)(long methodId, long* args, long slot);
typedef long(SUBAPI_CALL* DrwExecuteMethodFn)(long methodId, long* args, long slot);
typedef long(SUBAPI_CALL* DrwOtherMethodFn)(long serviceId, long* args, long slot);
typedef long(SUBAPI_CALL* DrwSetCallbackFunctionFn)(long callbackId, void** record, long slot,
                                                     long userWord);

// Export names in the order a core binds them (the same nine names as the printer's).
inline constexpr const char* kDrwExportNames[9] = {
    "initSubSO",      "terminateSubSO", "connectPrinter", "disconnectPrinter",
    "getCapability",  "preMethod",      "executeMethod",  "otherMethod",
    "setCallbackFunction"};

// The nine entry points a core binds, in binding order (kDrwExportNames).
struct DrwEntryPoints {
  DrwInitSubSOFn initSubSO = nullptr;
  DrwTerminateSubSOFn terminateSubSO = nullptr;
  DrwConnectPrinterFn connectPrinter = nullptr;
  DrwDisconnectPrinterFn disconnectPrinter = nullptr;
  DrwGetCapabilityFn getCapability = nullptr;
  DrwPreMethodFn preMethod = nullptr;
  DrwExecuteMethodFn executeMethod = nullptr;
  DrwOtherMethodFn otherMethod = nullptr;
  DrwSetCallbackFunctionFn setCallbackFunction = nullptr;
};
static_assert(sizeof(DrwEntryPoints) == 9 * sizeof(void*), "nine entry points");

// The 4-byte argument words each export takes (callee pops them): the .def decorations.
inline constexpr long kDrwExportArgumentBytes[9] = {16, 4, 4, 4, 12, 12, 12, 12, 16};
