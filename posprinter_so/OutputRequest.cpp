#include "OutputRequest.h"

// RegisterWindowMessageA gives the same number for the same name in every module and
// process, so the hidden window and the channel agree without sharing a variable.
UINT DataSendCompleteMessage() {
  static const UINT message = RegisterWindowMessageA("POSPrinterCoreDataSendComplete20100314");
  return message;
}

UINT WhenIdleMessage() {
  static const UINT message = RegisterWindowMessageA("POSPrinterCoreWhenIdle20100314");
  return message;
}
