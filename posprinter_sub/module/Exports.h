// The nine exports of prennik (undecorated stdcall names through prennik.def).
#pragma once
#include "PrinterSubApi.h"

extern "C" {
long SUBAPI_CALL initSubSO(const char* deviceName, long coreVersion,
                           PrnPropertySnapshot* snapshot, long* slotOut, void* callbackContext);
long SUBAPI_CALL terminateSubSO(long slot);
long SUBAPI_CALL connectPrinter(long slot);
long SUBAPI_CALL disconnectPrinter(long slot);
long SUBAPI_CALL getCapability(long capabilityId, long* args, long slot);
long SUBAPI_CALL preMethod(long methodId, long* args, long slot);
long SUBAPI_CALL executeMethod(long methodId, long* args, long slot);
long SUBAPI_CALL otherMethod(long serviceId, long* args, long slot);
long SUBAPI_CALL setCallbackFunction(long callbackId, void** record, long slot);
}
