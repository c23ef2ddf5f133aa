#include "WindowMessages.h"

UINT CheckHealthQuitMessage() {
  static const UINT id = RegisterWindowMessageA("SG_POSPrinterCheckHealthQuit20081001");
  return id;
}
UINT WhenIdleMessage() {
  static const UINT id = RegisterWindowMessageA("POSPrinterCoreWhenIdle20100314");
  return id;
}
UINT COFireEventNotifyMessage() {
  static const UINT id = RegisterWindowMessageA("POSPrinterCoreCOFireEventNotify20100314");
  return id;
}
UINT QueryRetryMessage() {
  static const UINT id = RegisterWindowMessageA("POSPrinterCoreQueryRetry20100314");
  return id;
}
UINT DataSendCompleteMessage() {
  static const UINT id = RegisterWindowMessageA("POSPrinterCoreDataSendComplete20100314");
  return id;
}
