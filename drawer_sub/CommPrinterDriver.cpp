#include "CommPrinterDriver.h"

#include "MutexHold.h"

#include <string>

#include "Log.h"
#include "LogContext.h"
#include "OposCodes.h"
#include "PrinterSdk.h"

namespace tollek {

namespace {

// The SDK's entry points, results and I/O words.
using namespace subsupport;

// Every one must exist for the library to be kept, in this order; the drawer calls only
// some of them. Ordinal 31 is the SDK's immediate read.
const char* const kRequiredEntries[] = {
    "OpenMonPrinterA", "CloseMonPrinter", "DirectIO",  "DirectIOEx",
    "Reset",           "LockPrinter",     "UnlockPrinter", "SetStatusBackFunction",
    "DirectIO",        MAKEINTRESOURCEA(31), "DirectIOEx", "GetCounter",
    "GetStatus",       "GetPrnCapability",
};

// Memory switches the drawer needs (entry i is switch i + 1): 5 and 13 set to 0x04.
constexpr DWORD kSwitch5 = 4, kSwitch13 = 12;
constexpr BYTE kWantedSwitchValue = 0x04;
constexpr BYTE kSwitch5Mask = 0x07, kSwitch13Mask = 0x04;
constexpr DWORD kFunctionSettingReply = 82;  // start byte, 40 pairs, end byte

long MapWriteResult(LONG code) {
  if (code == 0) return OPOS_SUCCESS;
  if (code == kSdkOffline) return OPOS_E_NOHARDWARE;
  if (code == kSdkTimeout) return OPOS_E_TIMEOUT;
  return OPOS_E_ILLEGAL;
}

}  // namespace

CCommPrinterDriver::CCommPrinterDriver(const CLogContext& log) : CSdkChannel(log), m_log(log) {}

CCommPrinterDriver::~CCommPrinterDriver() { (void)UnloadPrinterDriverDLL(); }

// Unregisters, closes and forgets the printer without asking how it went.
void CCommPrinterDriver::Release() {
  if (m_handle != 0) {
    if (m_callbackSet) {
      if (auto set = Entry<SetStatusBackFn>("SetStatusBackFunction")) set(m_handle, nullptr);
    }
    if (auto close = Entry<HandleOnlyFn>("CloseMonPrinter")) close(m_handle);
  }
  m_handle = 0;
  m_callbackSet = false;
  m_mutex.reset();
}

BOOL CCommPrinterDriver::LoadPrinterDriverDLL(const char* fileName) {
  static const char* const kFunction = "CCommPrinterDriver::LoadPrinterDriverDLL";
  if (!UnloadPrinterDriverDLL()) return FALSE;
  return LoadSdk(fileName, kRequiredEntries, kFunction) ? TRUE : FALSE;
}

BOOL CCommPrinterDriver::UnloadPrinterDriverDLL() {
  static const char* const kFunction = "CCommPrinterDriver::UnloadPrinterDriverDLL";
  if (!m_module.valid()) return TRUE;
  Release();
  HMODULE module = m_module.release();
  if (!FreeLibrary(module)) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__, "Failed to unload printer driver.",
        Format("GetLastError = %lu", GetLastError()).c_str());
    return FALSE;
  }
  return TRUE;
}

long CCommPrinterDriver::ConnectPrinter(const char* driverName) {
  static const char* const kFunction = "CCommPrinterDriver::ConnectPrinter";
  const char* name = driverName ? driverName : "";
  Release();  // a reconnect replaces the handle and the mutex of the one before
  const LONG handle = OpenPrinter(name);
  if (handle < 0) {
    LogDriverError(kFunction, __LINE__, "PFN_OPEN_PRINTER", handle);
    return OPOS_E_FAILURE;
  }
  m_handle = handle;
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_OPEN_PRINTER Success",
      Format("i_hdl = %d", int(handle)).c_str());

  DWORD word = 0;  // a query that fails before writing the word reads as offline
  auto getStatus = Entry<GetStatusFn>("GetStatus");
  const LONG r = getStatus ? getStatus(m_handle, &word) : kSdkMissingEntry;
  long result = OPOS_SUCCESS;
  if (subsupport::IsOfflineStatusWord(word)) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__, "Offline detected.");
    result = OPOS_E_NOHARDWARE;
  } else if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_GET_PRINTER_ASB", r);
    result = OPOS_E_FAILURE;
  } else {
    Log(LOG_CAT_INFO, kFunction, __LINE__, subsupport::StatusWordText(word).c_str());
    const std::string mutexName = subsupport::PrinterMutexName(name);
    m_mutex.reset(CreateMutexA(nullptr, FALSE, mutexName.c_str()));
    if (!m_mutex.valid()) {  // a name the kernel refuses, e.g. one with a backslash
      Log(LOG_CAT_ERROR, kFunction, __LINE__, "The printer mutex could not be created.",
          Format("GetLastError = %lu", GetLastError()).c_str());
      result = OPOS_E_FAILURE;
    }
  }
  if (result != OPOS_SUCCESS) Release();  // no handle is left behind for nobody to close
  return result;
}

BOOL CCommPrinterDriver::DisconnectPrinter() {
  static const char* const kFunction = "CCommPrinterDriver::DisconnectPrinter";
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_CLOSE_PRINTER Execution");
  if (m_handle != 0) {
    auto close = Entry<HandleOnlyFn>("CloseMonPrinter");
    const LONG r = close ? close(m_handle) : kSdkMissingEntry;
    if (r != 0) {
      LogDriverError(kFunction, __LINE__, "PFN_CLOSE_PRINTER", r);
    } else {
      Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_CLOSE_PRINTER Success");
    }
  }
  m_handle = 0;
  m_callbackSet = false;
  m_mutex.reset();
  return TRUE;
}

long CCommPrinterDriver::WritePrinterData(const BYTE* data, DWORD count, DWORD timeoutMs) {
  static const char* const kFunction = "CCommPrinterDriver::WritePrinterData";
  if (!data || count == 0) return OPOS_E_ILLEGAL;
  if (!IsConnected()) {  // nothing is written without the mutex that guards the printer
    Log(LOG_CAT_ERROR, kFunction, __LINE__, "The printer is not connected.");
    return OPOS_E_ILLEGAL;
  }
  MutexHold hold(m_mutex.get());
  if (!hold.held()) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__, "The printer mutex could not be taken.",
        Format("GetLastError = %lu", GetLastError()).c_str());
    return OPOS_E_ILLEGAL;
  }
  auto lock = Entry<LockPrinterFn>("LockPrinter");
  LONG r = lock ? lock(m_handle, timeoutMs) : kSdkMissingEntry;
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_SET_PRINTER_LOCK", r);
    return MapWriteResult(r);  // not locked: nothing to unlock
  }
  auto io = Entry<DirectIOExFn>("DirectIOEx");
  r = io ? io(m_handle, count, data, nullptr, nullptr, timeoutMs, kIoMode, kIoReserved)
         : kSdkMissingEntry;
  if (r == 0) {
    m_log.Dump(LOG_CAT_SEND, kFunction, __LINE__, data, count, kSendDumpMax, L"Send data.");
  } else {
    LogDriverError(kFunction, __LINE__, "PFN_SET_PRINTER_DATA", r);
  }
  if (auto unlock = Entry<HandleOnlyFn>("UnlockPrinter")) unlock(m_handle);
  return MapWriteResult(r);
}

long CCommPrinterDriver::WriteMemorySwitch(BYTE number, BYTE value, DWORD timeoutMs) {
  const BYTE command[] = {0x12, 0x77, number, value, 0x00};  // DC2 w n v NUL
  return WritePrinterData(command, sizeof command, timeoutMs);
}

long CCommPrinterDriver::fnGetPrinterDataEx(const BYTE* command, DWORD commandLength,
                                            DWORD* length, BYTE* response, DWORD timeoutMs) {
  static const char* const kFunction = "CCommPrinterDriver::fnGetPrinterDataEx";
  if (!length || (!response && *length > 0)) return kSdkMissingEntry;
  auto io = Entry<DirectIOExFn>("DirectIOEx");
  if (!io) return kSdkMissingEntry;
  const DWORD start = GetTickCount();
  subsupport::CReplyFrame frame(response, *length);
  BYTE received[kReceiveBufferSize];
  DWORD remaining = timeoutMs;
  m_log.Dump(LOG_CAT_SEND, kFunction, __LINE__, command, commandLength, kSendDumpMax,
             L"Send data.");
  for (bool first = true;; first = false) {
    DWORD got = sizeof received;
    const LONG r = io(m_handle, first ? commandLength : 0, first ? command : nullptr, &got,
                      received, remaining, kIoMode, kIoReserved);
    if (r != 0) return r;
    if (got > sizeof received) got = sizeof received;
    m_log.Dump(LOG_CAT_READ, kFunction, __LINE__, received, got, kReceiveDumpMax,
               L"Received data.");
    if (frame.Feed(received, got)) {
      *length = frame.Length();
      return 0;
    }
    const DWORD elapsed = GetTickCount() - start;  // measured from the call's start
    if (elapsed >= timeoutMs) return kFrameTimeout;
    remaining = timeoutMs - elapsed;
  }
}

long CCommPrinterDriver::FunctionSettingResponse(BYTE* table, DWORD timeoutMs) {
  static const char* const kFunction = "CCommPrinterDriver::FunctionSettingResponse";
  static const BYTE kQuery[] = {0x12, 0x6C, 0x00};  // DC2 l NUL
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_GET_PRINTER_DATA Execution. ",
      Format("i_hdl = %d, ValueName = FUNCTION_SET_RESP", int(m_handle)).c_str());
  if (!IsConnected()) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__, "The printer is not connected.");
    return OPOS_E_FAILURE;
  }
  BYTE reply[kReceiveBufferSize];
  DWORD length = sizeof reply;
  long r;
  {
    MutexHold hold(m_mutex.get());
    r = hold.held() ? fnGetPrinterDataEx(kQuery, sizeof kQuery, &length, reply, timeoutMs)
                    : long(OPOS_E_FAILURE);
  }
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_GET_PRINTER_DATA", r);
    return r;
  }
  if (length == 0) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__,
        "The reception result of the function setting response was 0 bytes\t.");
    return OPOS_E_FAILURE;
  }
  if (length != kFunctionSettingReply) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__,
        "The reception result of the function setting response is invalid.");
    return OPOS_E_FAILURE;
  }
  // Each switch byte comes as two bytes 0xE0 | nibble, the low nibble first.
  for (DWORD i = 0; i < kSwitchCount; ++i) {
    table[i] = BYTE(reply[2 + 2 * i] * 16 + reply[1 + 2 * i] + 32);
  }
  return 0;
}

void CCommPrinterDriver::ConvertRegDataToBinaryData(BYTE* table) const {
  static const char* const kFunction = "CCommPrinterDriver::ConvertRegDataToBinaryData";
  ZeroMemory(table, kSwitchCount);
  table[kSwitch5] = kWantedSwitchValue;
  table[kSwitch13] = kWantedSwitchValue;
  Log(LOG_CAT_INFO, kFunction, __LINE__, Format("SWDIP5 = 0x%02X\n", table[kSwitch5]).c_str());
  Log(LOG_CAT_INFO, kFunction, __LINE__, Format("SWDIP13 = 0x%02X\n", table[kSwitch13]).c_str());
}

long CCommPrinterDriver::CompareRegDataToPrinterStatus(DWORD timeoutMs) {
  BYTE wanted[kSwitchCount], current[kSwitchCount];
  ConvertRegDataToBinaryData(wanted);
  long r = FunctionSettingResponse(current, timeoutMs);
  if (r != 0) return r;
  auto merged = [&](DWORD entry, BYTE mask) {
    return BYTE((current[entry] & ~mask) | (wanted[entry] & mask));
  };
  const bool differs5 = (current[kSwitch5] & kSwitch5Mask) != (wanted[kSwitch5] & kSwitch5Mask);
  const bool differs13 =
      (current[kSwitch13] & kSwitch13Mask) != (wanted[kSwitch13] & kSwitch13Mask);
  if (!differs5 && !differs13) return 0;
  const BYTE new5 = differs5 ? merged(kSwitch5, kSwitch5Mask) : current[kSwitch5];
  const BYTE new13 = differs13 ? merged(kSwitch13, kSwitch13Mask) : current[kSwitch13];
  // The switch number travels as 0x80 + number: 0x85 for switch 5, 0x8D for switch 13.
  r = WriteMemorySwitch(BYTE(0x80 + kSwitch5 + 1), new5, timeoutMs);
  if (r == 0) r = WriteMemorySwitch(BYTE(0x80 + kSwitch13 + 1), new13, timeoutMs);
  if (r != 0) return r;
  r = FunctionSettingResponse(current, timeoutMs);
  if (r != 0) return r;
  const bool match = (current[kSwitch5] & kSwitch5Mask) == (wanted[kSwitch5] & kSwitch5Mask) &&
                     (current[kSwitch13] & kSwitch13Mask) == (wanted[kSwitch13] & kSwitch13Mask);
  return match ? 0 : long(OPOS_E_FAILURE);
}

long CCommPrinterDriver::ActivateDevice(StatusCallback callback, DWORD timeoutMs) {
  static const char* const kFunction = "CCommPrinterDriver::ActivateDevice";
  const long compared = CompareRegDataToPrinterStatus(timeoutMs);
  if (compared != 0) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__, "CompareRegDataToPrinterStatus",
        Format("Error = %d", int(compared)).c_str());
    return compared == kSdkOffline ? OPOS_E_NOHARDWARE : OPOS_E_FAILURE;
  }
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_SET_CALLBACK_ASB Execution. ");
  auto set = Entry<SetStatusBackFn>("SetStatusBackFunction");
  const LONG r = set ? set(m_handle, callback) : kSdkMissingEntry;
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_SET_CALLBACK_ASB", r);
    return OPOS_E_FAILURE;
  }
  m_callbackSet = true;
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_SET_CALLBACK_ASB Success");
  return OPOS_SUCCESS;
}

long CCommPrinterDriver::DeactivateDevice() {
  static const char* const kFunction = "CCommPrinterDriver::DeactivateDevice";
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_SET_CALLBACK_ASB Execution. ");
  auto set = Entry<SetStatusBackFn>("SetStatusBackFunction");
  const LONG r = set ? set(m_handle, nullptr) : kSdkMissingEntry;
  m_callbackSet = false;
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_SET_CALLBACK_ASB", r);
    return OPOS_E_FAILURE;
  }
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_SET_CALLBACK_ASB Success");
  return OPOS_SUCCESS;
}

}  // namespace tollek
