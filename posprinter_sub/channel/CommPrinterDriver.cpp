#include "CommPrinterDriver.h"

#include "MutexHold.h"

#include <string>

#include "Log.h"
#include "LogContext.h"
#include "PrinterSdk.h"
#include "RJCollection.h"

namespace {

// The SDK's entry points, results and I/O words.
using namespace subsupport;
using GetPrnCapabilityFn = LONG(WINAPI*)(LONG handle, BYTE index, BYTE* type, BYTE* data);
using GetCounterFn = LONG(WINAPI*)(LONG handle, WORD index, DWORD* value);
using ReadImmediateFn = LONG(WINAPI*)(LONG handle, DWORD* length, BYTE* buffer, LONG reserved);

// The ordinal-only entry that returns what the printer has sent, without waiting.
const char* const kReadImmediate = MAKEINTRESOURCEA(31);

// Every entry point must be there for the library to be kept (DirectIO is never called).
const char* const kRequiredEntries[] = {
    "OpenMonPrinterA", "CloseMonPrinter", "DirectIO",       "DirectIOEx",
    "Reset",           "LockPrinter",     "UnlockPrinter",  "SetStatusBackFunction",
    "CancelStatusBack", "DirectIO",       kReadImmediate,   "DirectIOEx",
    "GetCounter",      "GetStatus",       "GetPrnCapability",
};

constexpr BYTE kFrameStart = subsupport::CReplyFrame::kStart;
constexpr BYTE kFrameDataMin = subsupport::CReplyFrame::kDataMin;

long MapSdkResult(LONG result) {
  if (result == 0) return RJ_ERR_NONE;
  if (result == kSdkOffline) return RJ_ERR_OFFLINE;
  if (result == kSdkTimeout) return RJ_ERR_TIMEOUT;
  return RJ_ERR_FAILURE;
}

}  // namespace

// A framed query: its command, the frame it expects and the texts of a bad reply.
struct CCommPrinterDriver::Query {
  const char* function;
  const char* valueName;
  BYTE command[8];
  DWORD commandLength;
  DWORD frameLength;
  bool startChecked;  // the frame must begin with the start byte
  const char* invalidText;
  const char* emptyText;
};

namespace {

const CCommPrinterDriver::Query kNvMemoryQuery = {
    "CCommPrinterDriver::GetRemainNVMemoryCapData", "REMAIN_NV_MEMORY_CAP",
    {0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x03}, 7, 10, true,
    "The reception result of the NV graphic memory capacity response is invalid.",
    "The reception result of the NV graphic memory capacity response was 0 bytes."};
const CCommPrinterDriver::Query kUserMemoryQuery = {
    "CCommPrinterDriver::GetRemainUserMemoryCapData", "REMAIN_USER_MEMORY_CAP",
    {0x12, 0x2A, 0x32}, 3, 10, true,
    "The reception result of the remaining memory capacity response is invalid\t.",
    "The reception result of the remaining memory capacity response was 0 bytes."};
const CCommPrinterDriver::Query kUserMemoryDefragQuery = {
    "CCommPrinterDriver::GetRemainUserMemoryCapDefragData", "REMAIN_USER_MEMORY_CAP_DEFRAG",
    {0x12, 0x2A, 0x36}, 3, 10, true,
    "The reception result of the organized memory capacity response is invalid\t.",
    "The reception result of the organized memory capacity response was 0 bytes."};
const CCommPrinterDriver::Query kFunctionSetQuery = {
    "CCommPrinterDriver::GetFunctionSetRespData", "FUNCTION_SET_RESP",
    {0x12, 0x6C, 0x00}, 3, 82, false,
    "The reception result of the function setting response is invalid.",
    "The reception result of the function setting response was 0 bytes\t."};

}  // namespace

CCommPrinterDriver::CCommPrinterDriver(CRJCollection& status, const CLogContext& log)
    : CSdkChannel(log), m_status(status), m_log(log) {}

CCommPrinterDriver::~CCommPrinterDriver() { CloseQuietly(); }

void CCommPrinterDriver::Dump(DWORD category, const char* function, int line, const BYTE* data,
                              DWORD length) const {
  m_log.Dump(category, function, line, data, length);
}

// Lets go of the printer without asking how it went: reconnecting, unloading, destruction.
void CCommPrinterDriver::CloseQuietly() {
  if (m_handle != 0) {
    if (auto close = Entry<HandleOnlyFn>("CloseMonPrinter")) close(m_handle);
    m_handle = 0;
  }
  m_mutex.reset();
}

BOOL CCommPrinterDriver::LoadPrinterDriverDLL(const char* path) {
  static const char* const kFunction = "CCommPrinterDriver::LoadPrinterDriverDLL";
  (void)UnloadPrinterDriverDLL();
  return LoadSdk(path, kRequiredEntries, kFunction) ? TRUE : FALSE;
}

BOOL CCommPrinterDriver::UnloadPrinterDriverDLL() {
  if (!m_module.valid()) return TRUE;
  CloseQuietly();
  const BOOL freed = FreeLibrary(m_module.release());
  return freed;
}

long CCommPrinterDriver::ConnectPrinter(const char* /*connectText*/, const char* printerName,
                                        DWORD readTimeoutMs) {
  static const char* const kFunction = "CCommPrinterDriver::ConnectPrinter";
  const char* name = printerName ? printerName : "";
  // A reconnect replaces both the handle and the mutex of the earlier connect.
  CloseQuietly();
  Log(LOG_CAT_INFO, kFunction, __LINE__, Format("szName = %s", name).c_str());
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_OPEN_PRINTER", "Execution");
  const LONG handle = OpenPrinter(name);
  if (handle < 0) {
    LogDriverError(kFunction, __LINE__, "PFN_OPEN_PRINTER", handle);
    return OPOS_E_FAILURE;
  }
  m_handle = handle;
  Log(LOG_CAT_INFO, kFunction, __LINE__, Format("i_hdl = %d", int(handle)).c_str());
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_OPEN_PRINTER", "Success");
  m_readTimeout = readTimeoutMs;

  DWORD status = 0;
  const long asb = GetPrinterASB(&status);
  if (asb != OPOS_SUCCESS) return asb;  // the handle stays open; a later connect replaces it

  // The name is the shared key of every process that opens this printer, so it is used as
  // given: a name the kernel refuses (a backslash in it) leaves the printer unusable.
  const std::string mutexName = subsupport::PrinterMutexName(name);
  m_mutex.reset(CreateMutexA(nullptr, FALSE, mutexName.c_str()));
  if (!m_mutex.valid()) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__,
        Format("The printer mutex %s could not be created.", mutexName.c_str()).c_str(),
        Format("GetLastError = %lu", GetLastError()).c_str());
    CloseQuietly();
    return OPOS_E_FAILURE;
  }
  return OPOS_SUCCESS;
}

BOOL CCommPrinterDriver::ClosePrinter() {
  static const char* const kFunction = "CCommPrinterDriver::ClosePrinter";
  BOOL closed = TRUE;
  if (m_handle != 0) {
    Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_CLOSE_PRINTER", "Execution");
    auto close = Entry<HandleOnlyFn>("CloseMonPrinter");
    const LONG r = close ? close(m_handle) : kSdkMissingEntry;
    if (r != 0) {
      LogDriverError(kFunction, __LINE__, "PFN_CLOSE_PRINTER", r);
      closed = FALSE;
    } else {
      Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_CLOSE_PRINTER", "Success");
    }
    m_handle = 0;
  }
  m_mutex.reset();
  return closed;
}

long CCommPrinterDriver::GetPrinterASB(DWORD* status) {
  static const char* const kFunction = "CCommPrinterDriver::GetPrinterASB";
  DWORD word = 0;  // a query that fails before writing the word reads as offline
  auto getStatus = Entry<GetStatusFn>("GetStatus");
  const LONG r = getStatus ? getStatus(m_handle, &word) : kSdkMissingEntry;
  if (IsOfflineStatusWord(word)) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__, "Offline detected.");
    return OPOS_E_NOHARDWARE;
  }
  Log(LOG_CAT_INFO, kFunction, __LINE__, "Online detected.");
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_GET_PRINTER_ASB", r);
    return OPOS_E_FAILURE;
  }
  Log(LOG_CAT_INFO, kFunction, __LINE__, subsupport::StatusWordText(word).c_str());
  if (status) *status = word;
  return OPOS_SUCCESS;
}

long CCommPrinterDriver::SetPrinterCallbackASB(PrinterStatusCallback callback) {
  static const char* const kFunction = "CCommPrinterDriver::SetPrinterCallbackASB";
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_SET_CALLBACK_ASB", "Execution");
  auto set = Entry<SetStatusBackFn>("SetStatusBackFunction");
  const LONG r = set ? set(m_handle, callback) : kSdkMissingEntry;
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_SET_CALLBACK_ASB", r);
    return OPOS_E_FAILURE;
  }
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_SET_CALLBACK_ASB", "Success");
  return OPOS_SUCCESS;
}

long CCommPrinterDriver::CancelPrinterCallbackASB() {
  static const char* const kFunction = "CCommPrinterDriver::CancelPrinterCallbackASB";
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_CANCEL_CALLBACK_ASB", "Execution");
  auto cancel = Entry<HandleOnlyFn>("CancelStatusBack");
  const LONG r = cancel ? cancel(m_handle) : kSdkMissingEntry;
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_CANCEL_CALLBACK_ASB", r);
    return OPOS_E_FAILURE;
  }
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_CANCEL_CALLBACK_ASB", "Success");
  return OPOS_SUCCESS;
}

long CCommPrinterDriver::RestorePrinter(void*, void*, void*) {
  static const char* const kFunction = "CCommPrinterDriver::RestorePrinter";
  if (m_status.GetRecoveryState() != 0) return RJ_ERR_FAILURE;
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_SET_PRINTER_RESET", "Execution");
  auto reset = Entry<HandleOnlyFn>("Reset");
  const LONG r = reset ? reset(m_handle) : kSdkMissingEntry;
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_SET_PRINTER_RESET", r);
    return RJ_ERR_FAILURE;
  }
  return RJ_ERR_NONE;
}

long CCommPrinterDriver::WritePrinterData(BOOL skipGate, const BYTE* data, DWORD length,
                                          DWORD timeoutMs) {
  return Transfer("CCommPrinterDriver::WritePrinterData", skipGate, data, length, timeoutMs,
                  /*withRead=*/false);
}

long CCommPrinterDriver::WriteReadPrinterData(BOOL skipGate, const BYTE* data, DWORD length,
                                              DWORD timeoutMs) {
  return Transfer("CCommPrinterDriver::WriteReadPrinterData", skipGate, data, length,
                  timeoutMs, /*withRead=*/true);
}

long CCommPrinterDriver::Transfer(const char* function, BOOL skipGate, const BYTE* data,
                                  DWORD length, DWORD timeoutMs, bool withRead) {
  const bool empty = length == 0 || !data;
  if (empty && (!withRead || !m_mutex.valid())) return RJ_ERR_NONE;  // nothing to send
  if (!m_mutex.valid()) {
    // Not connected, or the connect could not make the mutex: nothing is written unguarded.
    Log(LOG_CAT_ERROR, function, __LINE__, "The printer mutex does not exist.");
    return RJ_ERR_FAILURE;
  }
  MutexHold hold(m_mutex.get());
  if (!hold.held()) {
    Log(LOG_CAT_ERROR, function, __LINE__, "The printer mutex could not be taken.",
        Format("GetLastError = %lu", GetLastError()).c_str());
    return RJ_ERR_FAILURE;
  }
  long result = empty || skipGate ? RJ_ERR_NONE : m_status.GetErrorCode();
  // An empty write-read sends nothing but still ends with the unlock below.
  const bool send = !empty && result == RJ_ERR_NONE;
  LONG r = 0;
  if (send && withRead) {
    Log(LOG_CAT_INFO, function, __LINE__, "PFN_SET_PRINTER_LOCK", "Execution");
    auto lock = Entry<LockPrinterFn>("LockPrinter");
    r = lock ? lock(m_handle, timeoutMs) : kSdkMissingEntry;
    if (r != 0) LogDriverError(function, __LINE__, "PFN_SET_PRINTER_LOCK", r);
  }
  if (send && r == 0) {
    const char* label = withRead ? "PFN_SET_PRINTER_DATA_EX" : "PFN_SET_PRINTER_DATA";
    Log(LOG_CAT_INFO, function, __LINE__, label, "Execution");
    BYTE reply[kRawBufferSize];
    DWORD replyLength = sizeof reply;
    auto io = Entry<DirectIOExFn>("DirectIOEx");
    r = !io ? kSdkMissingEntry
            : io(m_handle, length, data, withRead ? &replyLength : nullptr,
                 withRead ? reply : nullptr, timeoutMs, kIoMode, kIoReserved);
    if (r == 0) {
      Log(LOG_CAT_INFO, function, __LINE__, "Send data.");
      Dump(LOG_CAT_SEND, function, __LINE__, data, length);
      if (withRead && replyLength > 0) {
        Log(LOG_CAT_INFO, function, __LINE__, "Received data.");
        Dump(LOG_CAT_READ, function, __LINE__, reply, replyLength < sizeof reply ? replyLength
                                                                                : sizeof reply);
      } else if (withRead) {
        Log(LOG_CAT_INFO, function, __LINE__,
            "Received data: Even 1 byte data could not be received.");
      }
    } else {
      LogDriverError(function, __LINE__, label, r);
    }
    result = MapSdkResult(r);
  } else if (send) {
    result = MapSdkResult(r);
  }
  if (withRead) {
    // Also after a gate refusal or a failed lock; unlocking what is not locked is harmless.
    Log(LOG_CAT_INFO, function, __LINE__, "PFN_SET_PRINTER_LOCK", "Execution");
    if (auto unlock = Entry<HandleOnlyFn>("UnlockPrinter")) unlock(m_handle);
  }
  return result;
}

DWORD CCommPrinterDriver::GetRawData(BYTE* buffer) {
  static const char* const kFunction = "CCommPrinterDriver::GetRawData";
  if (!buffer) return 0;
  DWORD length = kRawBufferSize;
  auto io = Entry<DirectIOExFn>("DirectIOEx");
  const LONG r = io ? io(m_handle, 0, nullptr, &length, buffer, m_readTimeout, kIoMode,
                         kIoReserved)
                    : kSdkMissingEntry;
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_GET_PRINTER_DATA", r);
    return 0;
  }
  if (length == 0) return 0;
  if (length > kRawBufferSize) length = kRawBufferSize;
  Log(LOG_CAT_INFO, kFunction, __LINE__, "Received data.");
  Dump(LOG_CAT_READ, kFunction, __LINE__, buffer, length);
  return length;
}

DWORD CCommPrinterDriver::GetRawDataImmediate(BYTE* buffer) {
  static const char* const kFunction = "CCommPrinterDriver::GetRawDataImmediate";
  if (!buffer) return 0;
  DWORD length = kRawBufferSize;
  auto read = Entry<ReadImmediateFn>(kReadImmediate);
  const LONG r = read ? read(m_handle, &length, buffer, 0) : kSdkMissingEntry;
  if (r != 0 || length == 0) return 0;
  if (length > kRawBufferSize) length = kRawBufferSize;
  Log(LOG_CAT_INFO, kFunction, __LINE__, Format("Received data size is %lu", length).c_str());
  return length;
}

long CCommPrinterDriver::fnGetPrinterDataEx(DWORD commandLength, const BYTE* command,
                                            DWORD* frameLength, BYTE* frame, DWORD timeoutMs) {
  static const char* const kFunction = "CCommPrinterDriver::fnGetPrinterDataEx";
  if (!frameLength || (!frame && *frameLength > 0)) return kSdkMissingEntry;
  const DWORD room = *frameLength;
  auto io = Entry<DirectIOExFn>("DirectIOEx");
  if (!io) return kSdkMissingEntry;
  DWORD remaining = timeoutMs;
  DWORD start = GetTickCount();
  BYTE received[kRawBufferSize] = {};
  // The SDK's capacity is the receive buffer; the frame's room is the caller's.
  DWORD receivedLength = sizeof received;
  Dump(LOG_CAT_SEND, kFunction, __LINE__, command, commandLength);
  LONG r = io(m_handle, commandLength, command, &receivedLength, received, remaining, kIoMode,
              kIoReserved);
  if (r != 0) return r;
  if (receivedLength > sizeof received) receivedLength = sizeof received;
  Dump(LOG_CAT_READ, kFunction, __LINE__, received, receivedLength);
  subsupport::CReplyFrame reply(frame, room);
  for (;;) {
    if (reply.Feed(received, receivedLength)) {
      *frameLength = reply.Length();
      return 0;
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed > remaining) return long(kFrameTimeout);
    remaining -= elapsed;
    start = GetTickCount();
    receivedLength = sizeof received;
    ZeroMemory(received, sizeof received);
    r = io(m_handle, 0, nullptr, &receivedLength, received, remaining, kIoMode, kIoReserved);
    if (r != 0) return r;
    if (receivedLength > sizeof received) receivedLength = sizeof received;
    Dump(LOG_CAT_READ, kFunction, __LINE__, received, receivedLength);
  }
}

long CCommPrinterDriver::RunQuery(const Query& q, BYTE* frame, DWORD frameRoom) {
  const long gate = m_status.GetErrorCode();
  if (gate != RJ_ERR_NONE) return gate;
  Log(LOG_CAT_INFO, q.function, __LINE__,
      Format("i_hdl = %d, ValueName = %s", int(m_handle), q.valueName).c_str());
  Log(LOG_CAT_INFO, q.function, __LINE__, "PFN_GET_PRINTER_DATA", "Execution");
  DWORD frameLength = frameRoom;
  const long r = fnGetPrinterDataEx(q.commandLength, q.command, &frameLength, frame,
                                    m_readTimeout);
  if (r != 0) {
    LogDriverError(q.function, __LINE__, "PFN_GET_PRINTER_DATA", r);
    return MapSdkResult(r);  // the frame deadline (1460) counts as a failure
  }
  if (frameLength == 0) {
    Log(LOG_CAT_ERROR, q.function, __LINE__, q.emptyText);
    return RJ_ERR_FAILURE;
  }
  if (frameLength != q.frameLength || (q.startChecked && frame[0] != kFrameStart)) {
    Log(LOG_CAT_ERROR, q.function, __LINE__, q.invalidText);
    return RJ_ERR_FAILURE;
  }
  return RJ_ERR_NONE;
}

long CCommPrinterDriver::RunMemoryQuery(const Query& q, DWORD* value) {
  if (value) *value = 0;
  BYTE frame[10] = {};
  const long r = RunQuery(q, frame, sizeof frame);
  if (r != RJ_ERR_NONE) return r;
  // Eight data bytes, each carrying one nibble of the value, least significant first.
  DWORD decoded = 0;
  for (int i = 0; i < 8; ++i) decoded |= DWORD(frame[1 + i] & 0x0F) << (4 * i);
  if (value) *value = decoded;
  return RJ_ERR_NONE;
}

long CCommPrinterDriver::GetRemainNVMemoryCapData(DWORD* value) {
  return RunMemoryQuery(kNvMemoryQuery, value);
}

long CCommPrinterDriver::GetRemainUserMemoryCapData(DWORD* value) {
  return RunMemoryQuery(kUserMemoryQuery, value);
}

long CCommPrinterDriver::GetRemainUserMemoryCapDefragData(DWORD* value) {
  return RunMemoryQuery(kUserMemoryDefragQuery, value);
}

long CCommPrinterDriver::GetFunctionSetRespData(BYTE* switches) {
  if (switches) ZeroMemory(switches, kFunctionSetBytes);
  BYTE frame[82] = {};
  const long r = RunQuery(kFunctionSetQuery, frame, sizeof frame);
  if (r != RJ_ERR_NONE) return r;
  // Each switch byte travels as two bytes 0xE0 | nibble, the low nibble first.
  for (DWORD i = 0; i < kFunctionSetBytes && switches; ++i) {
    switches[i] = BYTE(frame[2 + 2 * i] * 16 + frame[1 + 2 * i] - kFrameDataMin);
  }
  return RJ_ERR_NONE;
}

long CCommPrinterDriver::GetPrinterId(BYTE index, DWORD* value) {
  static const char* const kFunction = "CCommPrinterDriver::GetPrinterId";
  if (value) *value = 0;
  const long gate = m_status.GetErrorCode();
  if (gate != RJ_ERR_NONE) return gate;
  Log(LOG_CAT_INFO, kFunction, __LINE__,
      Format("i_hdl = %d, bIndex = %d", int(m_handle), int(index)).c_str());
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_GET_PRINTER_ID", "Execution");
  BYTE type = 0xFF;
  BYTE data[255] = {};
  auto capability = Entry<GetPrnCapabilityFn>("GetPrnCapability");
  const LONG r = capability ? capability(m_handle, index, &type, data) : kSdkMissingEntry;
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_GET_PRINTER_ID", r);
    return MapSdkResult(r);
  }
  if (type == 1) {  // a one-byte value
    if (value) *value = data[0];
    return RJ_ERR_NONE;
  }
  if (type != 0) {
    Log(LOG_CAT_ERROR, kFunction, __LINE__,
        "The response result of the printer ID transmission command is invalid.");
  }
  return RJ_ERR_FAILURE;
}

long CCommPrinterDriver::GetPrinterCounter(WORD index, DWORD* value) {
  static const char* const kFunction = "CCommPrinterDriver::GetPrinterCounter";
  if (value) *value = 0;
  const long gate = m_status.GetErrorCode();
  if (gate != RJ_ERR_NONE) return gate;
  Log(LOG_CAT_INFO, kFunction, __LINE__,
      Format("i_hdl = %d, wIndex = %d", int(m_handle), int(index)).c_str());
  Log(LOG_CAT_INFO, kFunction, __LINE__, "PFN_GET_PRINTER_COUNTER", "Execution");
  DWORD counter = 0;
  auto getCounter = Entry<GetCounterFn>("GetCounter");
  const LONG r = getCounter ? getCounter(m_handle, index, &counter) : kSdkMissingEntry;
  if (r != 0) {
    LogDriverError(kFunction, __LINE__, "PFN_GET_PRINTER_COUNTER", r);
    return MapSdkResult(r);
  }
  if (value) *value = counter;
  return RJ_ERR_NONE;
}
