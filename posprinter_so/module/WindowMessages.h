// The registered messages of the module. RegisterWindowMessageA gives the same number for
// the same name in every module and process, so the hidden window, the worker threads and
// the check-health dialog agree without sharing a variable. Each is registered on first use
// rather than at load: no user32 work under the loader lock.
#pragma once
#include "Win.h"

UINT CheckHealthQuitMessage();    // "SG_POSPrinterCheckHealthQuit20081001"
UINT WhenIdleMessage();           // "POSPrinterCoreWhenIdle20100314"
UINT COFireEventNotifyMessage();  // "POSPrinterCoreCOFireEventNotify20100314"
UINT QueryRetryMessage();         // "POSPrinterCoreQueryRetry20100314"
UINT DataSendCompleteMessage();   // "POSPrinterCoreDataSendComplete20100314"
