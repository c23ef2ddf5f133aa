// The nine exports of tollek.dll, declared for in-process tests (the core binds them by
// name from the DLL).
#pragma once
#include "DrawerSubApi.h"

extern "C" {
long SUBAPI_CALL initSubSO(const char* deviceName, long coreVersion, DrwInitRecord* initRecord,
                           long* slotOut);
long SUBAPI_CALL terminateSubSO(long slot);
long SUBAPI_CALL connectPrinter(long slot);
long SUBAPI_CALL disconnectPrinter(long slot);
long SUBAPI_CALL getCapability(long capabilityId, long* block, long slot);
long SUBAPI_CALL preMethod(long methodId, long* block, long slot);
long SUBAPI_CALL executeMethod(long methodId, long* block, long slot);
long SUBAPI_CALL otherMethod(long serviceId, long* block, long slot);
long SUBAPI_CALL setCallbackFunction(long callbackId, void** record, long slot, long userWord);
}
