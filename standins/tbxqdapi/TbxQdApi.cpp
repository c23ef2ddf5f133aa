// Entry points of the simulated printer SDK and its test controls. Each export is a thin
// shell over SimHost; nothing thrown inside may leave through an export.
#include <windows.h>

#include "SimHost.h"
#include "TbxSim.h"

namespace {

template <class F>
LONG Guard(F f) {
  try {
    return f();
  } catch (...) {
    return TBXQD_ERR_FAILURE;
  }
}

template <class F>
void GuardVoid(F f) {
  try {
    f();
  } catch (...) {
  }
}

SimHost& Host() { return SimHost::Instance(); }

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// ---- SDK entry points -----------------------------------------------------------------
LONG WINAPI OpenMonPrinterA(LONG type, LPCSTR name) {
  return Guard([&] { return Host().Open(type, name); });
}
LONG WINAPI CloseMonPrinter(LONG handle) {
  return Guard([&] { return Host().Close(handle); });
}
LONG WINAPI GetStatus(LONG handle, DWORD* status) {
  return Guard([&] { return Host().GetStatus(handle, status); });
}
LONG WINAPI SetStatusBackFunction(LONG handle, TbxStatusCallback callback) {
  return Guard([&] { return Host().SetStatusBack(handle, callback); });
}
LONG WINAPI CancelStatusBack(LONG handle) {
  return Guard([&] { return Host().CancelStatusBack(handle); });
}
LONG WINAPI Reset(LONG handle) {
  return Guard([&] { return Host().Reset(handle); });
}
LONG WINAPI LockPrinter(LONG handle, DWORD timeoutMs) {
  return Guard([&] { return Host().Lock(handle, timeoutMs); });
}
LONG WINAPI UnlockPrinter(LONG handle) {
  return Guard([&] { return Host().Unlock(handle); });
}
LONG WINAPI DirectIOEx(LONG handle, DWORD writeLength, const BYTE* writeData, DWORD* readLength,
                       BYTE* readBuffer, DWORD timeoutMs, LONG, LONG) {
  return Guard([&] {
    return Host().DirectIOEx("DirectIOEx", handle, writeLength, writeData, readLength,
                             readBuffer, timeoutMs);
  });
}
// The older transfer without a timeout: a write answers at once, a read waits for nothing.
LONG WINAPI DirectIO(LONG handle, DWORD writeLength, const BYTE* writeData, DWORD* readLength,
                     BYTE* readBuffer) {
  return Guard([&] {
    return Host().DirectIOEx("DirectIO", handle, writeLength, writeData, readLength, readBuffer,
                             /*timeoutMs=*/0);
  });
}
LONG WINAPI GetPrnCapability(LONG handle, BYTE index, BYTE* type, BYTE* data) {
  return Guard([&] { return Host().GetCapability(handle, index, type, data); });
}
LONG WINAPI GetCounter(LONG handle, WORD index, DWORD* value) {
  return Guard([&] { return Host().GetCounter(handle, index, value); });
}
// Exported by ordinal 31 only: the bytes the printer has already sent, without waiting.
LONG WINAPI ReadImmediate(LONG handle, DWORD* length, BYTE* buffer, LONG) {
  return Guard([&] { return Host().ReadImmediate(handle, length, buffer); });
}

// ---- Test controls ----------------------------------------------------------------------
void TbxSim_Reset(const char* printer) {
  GuardVoid([&] {
    if (!printer) return Host().ResetAll();
    Host().Change(printer, [](SimPrinter& p) {
      const DWORD reported = p.LastReported();  // a reset that changes the word reports it
      p.PowerOn();
      p.SetLastReported(reported);
    });
  });
}

#define SIM_CHANGE(name, ...) \
  GuardVoid([&] { Host().Change(name, [&](SimPrinter& p) { __VA_ARGS__; }); })
#define SIM_INSPECT(name, ...) \
  GuardVoid([&] { Host().Inspect(name, [&](SimPrinter& p) { __VA_ARGS__; }); })

// One of the printer's byte records: up to capacity bytes copied, the record's size returned.
static DWORD CopyRecord(const char* printer,
                        const std::vector<uint8_t>& (SimPrinter::*record)() const, BYTE* buffer,
                        DWORD capacity) {
  DWORD total = 0;
  SIM_INSPECT(printer, {
    const auto& bytes = (p.*record)();
    total = DWORD(bytes.size());
    if (buffer) CopyMemory(buffer, bytes.data(), total < capacity ? total : capacity);
  });
  return total;
}

void TbxSim_SetOnline(const char* printer, BOOL online) {
  SIM_CHANGE(printer, p.SetOnline(online != FALSE));
}
void TbxSim_SetPower(const char* printer, BOOL on) { SIM_CHANGE(printer, p.SetPower(on != FALSE)); }
DWORD TbxSim_GetPrinted(const char* printer, BYTE* buffer, DWORD capacity) {
  return CopyRecord(printer, &SimPrinter::Printed, buffer, capacity);
}
void TbxSim_SetCoverOpen(const char* printer, BOOL open) {
  SIM_CHANGE(printer, p.SetCoverOpen(open != FALSE));
}
void TbxSim_SetPaper(const char* printer, int paper) { SIM_CHANGE(printer, p.SetPaper(paper)); }
void TbxSim_SetDrawerOpen(const char* printer, BOOL open) {
  SIM_CHANGE(printer, p.SetDrawerOpen(open != FALSE));
}
void TbxSim_SetDrawerKickOpens(const char* printer, BOOL opens) {
  SIM_CHANGE(printer, p.SetDrawerKickOpens(opens != FALSE));
}
void TbxSim_SetStatusBits(const char* printer, DWORD mask, DWORD bits) {
  SIM_CHANGE(printer, p.SetStatusBits(mask, bits));
}
void TbxSim_OverrideStatus(const char* printer, BOOL enable, DWORD word) {
  SIM_CHANGE(printer, p.OverrideStatus(enable != FALSE, word));
}
DWORD TbxSim_GetStatusWord(const char* printer) {
  DWORD word = 0;
  SIM_INSPECT(printer, word = p.StatusWord());
  return word;
}
void TbxSim_FailNext(const char* printer, const char* entry, LONG result, int count) {
  if (entry) SIM_INSPECT(printer, p.FailNext(entry, result, count));
}
LONG TbxSim_GetCallCount(const char* printer, const char* entry) {
  LONG count = 0;
  if (entry) SIM_INSPECT(printer, count = p.CallCount(entry));
  return count;
}
void TbxSim_SetReplyDelay(const char* printer, DWORD delayMs) {
  SIM_INSPECT(printer, p.SetReplyDelay(delayMs));
}
void TbxSim_SetReplySplit(const char* printer, DWORD chunk) {
  SIM_INSPECT(printer, p.SetReplySplit(chunk));
}
void TbxSim_SetWriteDelay(const char* printer, DWORD delayMs) {
  SIM_INSPECT(printer, p.SetWriteDelay(delayMs));
}
void TbxSim_HoldCompletions(const char* printer, LONG pass) {
  SIM_CHANGE(printer, p.HoldCompletions(pass));
}
void TbxSim_SetReportDelay(const char* printer, DWORD delayMs) {
  SIM_INSPECT(printer, p.SetReportDelay(delayMs));
}
LONG TbxSim_GetReusedIdWrites(const char* printer) {
  LONG count = 0;
  SIM_INSPECT(printer, count = p.ReusedIdWrites());
  return count;
}
DWORD TbxSim_GetPendingCompletions(const char* printer) {
  DWORD count = 0;
  SIM_INSPECT(printer, count = DWORD(p.PendingCompletions()));
  return count;
}
void TbxSim_HoldWrites(const char* printer, LONG pass) {
  SIM_CHANGE(printer, p.HoldWrites(pass));
}
void TbxSim_HoldWriteReturns(const char* printer, LONG pass) {
  SIM_CHANGE(printer, p.HoldWriteReturns(pass));
}
LONG TbxSim_GetWaitingReturns(const char* printer) {
  LONG count = 0;
  SIM_INSPECT(printer, count = p.WaitingReturns());
  return count;
}
LONG TbxSim_GetWaitingWrites(const char* printer) {
  LONG count = 0;
  SIM_INSPECT(printer, count = p.WaitingWrites());
  return count;
}
void TbxSim_SetResetOfflineTime(const char* printer, DWORD ms) {
  SIM_INSPECT(printer, p.SetResetOfflineTime(ms));
}
void TbxSim_ScriptReply(const char* printer, const BYTE* bytes, DWORD count) {
  if (bytes || count == 0) SIM_INSPECT(printer, p.ScriptReply(bytes, bytes ? count : 0));
}
DWORD TbxSim_GetWritten(const char* printer, BYTE* buffer, DWORD capacity) {
  return CopyRecord(printer, &SimPrinter::Written, buffer, capacity);
}
void TbxSim_ClearWritten(const char* printer) { SIM_INSPECT(printer, p.ClearWritten()); }
void TbxSim_SetMemorySwitch(const char* printer, int number, BYTE value) {
  SIM_INSPECT(printer, p.SetSwitch(number, value));
}
BYTE TbxSim_GetMemorySwitch(const char* printer, int number) {
  BYTE value = 0;
  SIM_INSPECT(printer, value = p.Switch(number));
  return value;
}
void TbxSim_LockMemorySwitches(const char* printer, BOOL locked) {
  SIM_INSPECT(printer, p.LockSwitches(locked != FALSE));
}
void TbxSim_SetMemory(const char* printer, DWORD nvFree, DWORD userFree, DWORD userFreeDefrag) {
  SIM_INSPECT(printer, p.SetMemory(nvFree, userFree, userFreeDefrag));
}
void TbxSim_GetMemory(const char* printer, DWORD* nvFree, DWORD* userFree,
                      DWORD* userFreeDefrag) {
  SIM_INSPECT(printer, p.GetMemory(nvFree, userFree, userFreeDefrag));
}
void TbxSim_SetCounter(const char* printer, WORD index, DWORD value) {
  SIM_INSPECT(printer, p.SetCounter(index, value));
}
DWORD TbxSim_GetCounter(const char* printer, WORD index) {
  DWORD value = 0xFFFFFFFF;
  SIM_INSPECT(printer, if (!p.Counter(index, &value)) value = 0xFFFFFFFF);
  return value;
}
void TbxSim_SetPrinterId(const char* printer, BYTE index, BYTE type, BYTE value) {
  SIM_INSPECT(printer, p.SetPrinterId(index, type, value));
}
LONG TbxSim_GetOpenHandleCount(const char* printer) {
  return Guard([&] { return Host().OpenHandleCount(printer); });
}
BOOL TbxSim_IsStatusThreadRunning(void) {
  return Guard([&] { return LONG(Host().StatusThreadRunning()); });
}

}  // extern "C"
