// Commands the command builder writes straight to the printer through the slot's channel
// instead of through a token list.
#include "RJDevice.h"

#include "CommPrinterDriver.h"
#include "Log.h"
#include "LogContext.h"
#include "RJBytes.h"

#include <cstdio>

long CRJDevice::SendBufferClear(DWORD timeout) {
  static const unsigned char kBytes[] = {RJ_DC3, 'C', RJ_DC3, '-'};
  return m_channel->WritePrinterData(FALSE, kBytes, sizeof kBytes, timeout);
}

long CRJDevice::SendDeactivateCommand(DWORD timeout) {
  static const unsigned char kBytes[] = {RJ_GS, 'g', '1', 0};
  return m_channel->WritePrinterData(FALSE, kBytes, sizeof kBytes, timeout);
}

long CRJDevice::ResetMaintenanceCounter(unsigned char n, DWORD timeout) {
  const unsigned char bytes[] = {RJ_GS, 'g', '0', 0, n, 0};
  return m_channel->WritePrinterData(FALSE, bytes, sizeof bytes, timeout);
}

long CRJDevice::SendInitializeCommand(DWORD timeout) {
  static const unsigned char kBytes[] = {RJ_ESC, '@', RJ_GS, 'a', 0xFF};
  return m_channel->WriteReadPrinterData(FALSE, kBytes, sizeof kBytes, timeout);
}

long CRJDevice::FunctionSet_Multi(const unsigned char* pairs, long count, DWORD timeout) {
  RJBytes bytes;
  for (long i = 0; pairs && i < count; ++i)
    bytes.Put({RJ_DC2, 'w', pairs[2 * i], pairs[2 * i + 1], 0});
  const long result =
      m_channel->WritePrinterData(FALSE, bytes.Data(), static_cast<DWORD>(bytes.Size()), timeout);
  BYTE reply[CCommPrinterDriver::kRawBufferSize];
  const long received = m_channel->GetRawDataImmediate(reply);
  for (long i = 0; i < received; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", reply[i]);
    LogInfo("CRJDevice::FunctionSet_Multi", __LINE__, "Received data.", hex);
  }
  return result;
}

long CRJDevice::GetPrinterId(unsigned char index, DWORD* value) {
  return m_channel->GetPrinterId(index, value);
}

long CRJDevice::GetPrinterCounter(WORD index, DWORD* value) {
  return m_channel->GetPrinterCounter(index, value);
}
