// The printer sub-module interface (prennik): nine stdcall exports bound by name.
#pragma once
#include "OposCodes.h"
#include "PrinterSubArgs.h"
#include "PrinterSubCallbacks.h"
#include "PrinterSubIds.h"
#include "PrinterSubRecords.h"

// `args` of preMethod/executeMethod/otherMethod is the address of one of the blocks of
// PrinterSubArgs.h; getCapability takes a PrnCapabilityArgs; setCallbackFunction one of
// the callback records of PrinterSubCallbacks.h.
typedef long(SUBAPI_CALL* PrnInitSubSOFn)(const char* deviceName, long coreVersion,
                                           PrnPropertySnapshot* snapshot, long* slotOut,
                                           void* callbackContext);
typedef long(SUBAPI_CALL* PrnTerminateSubSOFn)(long slot);
typedef long(SUBAPI_CALL* PrnConnectPrinterFn)(long slot);
typedef long(SUBAPI_CALL* PrnDisconnectPrinterFn)(long slot);
typedef long(SUBAPI_CALL* PrnGetCapabilityFn)(long capabilityId, long* args, long slot);
typedef long(SUBAPI_CALL* PrnPreMethodFn)(long methodId, long* args, long slot);
typedef long(SUBAPI_CALL* PrnExecuteMethodFn)(long methodId, long* args, long slot);
typedef long(SUBAPI_CALL* PrnOtherMethodFn)(long serviceId, long* args, long slot);
typedef long(SUBAPI_CALL* PrnSetCallbackFunctionFn)(long callbackId, void** record, long slot);

// Export names in the order the core binds them.
inline constexpr const char* kPrnExportNames[9] = {
    "initSubSO",      "terminateSubSO", "connectPrinter", "disconnectPrinter",
    "getCapability",  "preMethod",      "executeMethod",  "otherMethod",
    "setCallbackFunction"};

// The nine entry points a core binds, in binding order (kPrnExportNames).
struct PrnEntryPoints {
  PrnInitSubSOFn initSubSO = nullptr;
  PrnTerminateSubSOFn terminateSubSO = nullptr;
  PrnConnectPrinterFn connectPrinter = nullptr;
  PrnDisconnectPrinterFn disconnectPrinter = nullptr;
  PrnGetCapabilityFn getCapability = nullptr;
  PrnPreMethodFn preMethod = nullptr;
  PrnExecuteMethodFn executeMethod = nullptr;
  PrnOtherMethodFn otherMethod = nullptr;
  PrnSetCallbackFunctionFn setCallbackFunction = nullptr;
};
static_assert(sizeof(PrnEntryPoints) == 9 * sizeof(void*), "nine entry points");
