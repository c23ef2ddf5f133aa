// TbxQdApi.dll here is a simulated thermal printer standing in for the printer maker's SDK.
// This header describes what tests may rely on: the SDK's result codes, the status word
// layout the simulated printer reports, and the extra exports that steer the printer.
//
// Link the TbxQdApi target (import library) or look the TbxSim_* names up with
// GetProcAddress. The SDK's own entry points are stdcall with undecorated names; the
// TbxSim_* controls are plain cdecl C functions.
//
// One process holds one set of printers, one per printer name (names compare without
// regard to case). Every control takes the printer name; a printer springs into being, in
// its power-on state, the first time any call names it.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Results of the SDK entry points.
enum {
  TBXQD_OK = 0,
  TBXQD_ERR_FAILURE = -1,
  TBXQD_ERR_HANDLE = -2,     // no such open handle
  TBXQD_ERR_PARAMETER = -3,  // a NULL pointer or a bad argument
  TBXQD_ERR_TIMEOUT = -70,
  TBXQD_ERR_OFFLINE = -110,
};

// Automatic status word. An online printer always carries TBXQD_ST_READY, so its word is
// never 0; an offline printer reports exactly TBXQD_ST_OFFLINE.
enum : DWORD {
  TBXQD_ST_VP_VOLTAGE = 0x00000001,
  TBXQD_ST_UNRECOVERABLE = 0x00000002,
  TBXQD_ST_HEAD_TEMPERATURE = 0x00000004,
  TBXQD_ST_AUTOCUTTER = 0x00000008,
  TBXQD_ST_PAPER_END = 0x00000010,
  TBXQD_ST_PAPER_NEAR_END = 0x00000020,
  TBXQD_ST_MARK_PAPER_JAM = 0x00000040,
  TBXQD_ST_COVER_OPEN = 0x00000080,
  TBXQD_ST_READY = 0x00000100,
  TBXQD_ST_RESET_REQUEST = 0x00000400,
  TBXQD_ST_BATTERY = 0x00001000,
  TBXQD_ST_AUXILIARY = 0x00002000,
  TBXQD_ST_DRAWER_CLOSED = 0x00008000,  // the drawer-kick connector's sensor
  TBXQD_ST_OFFLINE = 0x80000000,
  // Bits TbxSim_SetStatusBits may set: every condition but paper, cover, drawer and power.
  TBXQD_ST_SETTABLE = TBXQD_ST_VP_VOLTAGE | TBXQD_ST_UNRECOVERABLE | TBXQD_ST_HEAD_TEMPERATURE |
                      TBXQD_ST_AUTOCUTTER | TBXQD_ST_MARK_PAPER_JAM | TBXQD_ST_RESET_REQUEST |
                      TBXQD_ST_BATTERY | TBXQD_ST_AUXILIARY,
};

// Receipt paper sensor states for TbxSim_SetPaper.
enum { TBXSIM_PAPER_PRESENT = 0, TBXSIM_PAPER_NEAR_END = 1, TBXSIM_PAPER_EMPTY = 2 };

// Power-on values of a printer.
enum : DWORD {
  TBXSIM_DEFAULT_NV_MEMORY = 196608,        // free NV graphics memory in bytes
  TBXSIM_DEFAULT_USER_MEMORY = 65536,       // free user memory in bytes
  TBXSIM_DEFAULT_USER_MEMORY_DEFRAG = 98304, // free user memory once defragmented
  TBXSIM_DEFAULT_RESET_OFFLINE_MS = 200      // a reset's offline time
};

// How the simulated printer behaves (all of it per printer name):
// - Bytes accepted by DirectIOEx are recorded in order (TbxSim_GetWritten) and, when the
//   environment variable TBXQD_SIM_OUTPUT names a file, appended to it. They are then
//   "printed": executed command by command. While the printer is stopped (cover open, paper
//   end or an error bit other than reset request, battery and auxiliary) accepted bytes wait
//   and are printed once it recovers; SDK Reset discards them.
// - DC2 q n is answered with the byte n | 0x80 once everything before it is printed. These
//   completion bytes are read with the immediate read (ordinal 31), never by DirectIOEx.
// - Replies to queries (function settings DC2 l, memory DC2 * 2 / DC2 * 6 / GS ( L fn 3) are
//   read by DirectIOEx: a call that writes returns what is ready at once; a call that only
//   reads waits up to its timeout for the first reply byte and otherwise succeeds with 0 bytes.
// - DC2 w s v 0 sets memory switch s - 0x80 (1-40); DC2 * 1 0 defragments user memory (the
//   free NV memory grows by what it gains); GS 8 L stores an NV graphic (data + 14 bytes of
//   NV memory), GS ( L fn 66 deletes one; GS g 0 0 n resets counter n; each LF adds one to
//   counters 20 and 148, each GS V one to counters 50 and 178; a drawer kick (DLE DC4 1 or
//   ESC p) opens the drawer unless TbxSim_SetDrawerKickOpens turned that off.
// - The status callback thread starts with the first SetStatusBackFunction and stops when the
//   last registration is cancelled or its handle closed. A registration first receives the
//   current word, then every change, in order.
// - LockPrinter is per printer: other handles' DirectIOEx calls wait for UnlockPrinter (up to
//   their timeout, then TBXQD_ERR_TIMEOUT). UnlockPrinter without a lock does nothing.
// - SDK Reset drops held and unread bytes and the recoverable errors, and takes the printer
//   offline for a short while (TbxSim_SetResetOfflineTime), as a printer's reset does.

// Back to power-on state: name NULL resets everything (handles closed, callback thread
// stopped, handle numbers start again at 1); a name resets that printer's state, record,
// scripted replies, injected failures and call counts but keeps its handles and callbacks.
void TbxSim_Reset(const char* printer);

void TbxSim_SetOnline(const char* printer, BOOL online);
// Switching the printer off takes it offline (reported) and loses every byte it has not
// printed and every answer not read yet, as a real printer's power loss does; writes are
// refused until it is switched on again. Unlike TbxSim_Reset, the records of written and
// printed bytes stay.
void TbxSim_SetPower(const char* printer, BOOL on);
void TbxSim_SetCoverOpen(const char* printer, BOOL open);
void TbxSim_SetPaper(const char* printer, int paper);  // TBXSIM_PAPER_*
void TbxSim_SetDrawerOpen(const char* printer, BOOL open);
void TbxSim_SetDrawerKickOpens(const char* printer, BOOL opens);
// Sets the condition bits in mask (within TBXQD_ST_SETTABLE) to those of bits.
void TbxSim_SetStatusBits(const char* printer, DWORD mask, DWORD bits);
// While enabled, GetStatus and the callback report exactly this word instead.
void TbxSim_OverrideStatus(const char* printer, BOOL enable, DWORD word);
DWORD TbxSim_GetStatusWord(const char* printer);

// The next count calls of an entry point for this printer fail with result (for
// OpenMonPrinterA the result is returned as the handle). entry: the export's name, or "#31"
// for the immediate read, or "DirectIOEx write" for a DirectIOEx that only writes (print
// data, never a status read). An injected failure leaves the printer untouched.
void TbxSim_FailNext(const char* printer, const char* entry, LONG result, int count);
// How many times an entry point was called for this printer since the last reset.
LONG TbxSim_GetCallCount(const char* printer, const char* entry);

// Replies and completion bytes become readable delayMs after they are produced.
void TbxSim_SetReplyDelay(const char* printer, DWORD delayMs);
// Holding completion bytes: with pass >= 0 only the next pass of them can be read (each once
// it is ready, oldest first); the later ones wait until the next call. pass < 0 holds
// nothing (the power-on state).
void TbxSim_HoldCompletions(const char* printer, LONG pass);
// Completion bytes produced and not yet read, held or not yet ready ones included.
DWORD TbxSim_GetPendingCompletions(const char* printer);
// Holding writes of print data (DirectIOEx that only writes): with pass >= 0 the next pass
// writes go on and later ones wait, inside the call, until the next call lets them go (or a
// reset does); pass < 0 holds nothing. A write let go goes on as any other: an injected
// failure or an offline printer still refuses it.
void TbxSim_HoldWrites(const char* printer, LONG pass);
// Writes waiting now because of TbxSim_HoldWrites.
LONG TbxSim_GetWaitingWrites(const char* printer);
// Holding the return of writes of print data: with pass >= 0 the next pass writes return at
// once and later ones, once the printer has taken (and printed, and maybe answered) their
// bytes, wait inside the call until the next call lets them return; pass < 0 holds nothing.
void TbxSim_HoldWriteReturns(const char* printer, LONG pass);
// Writes waiting now to return because of TbxSim_HoldWriteReturns.
LONG TbxSim_GetWaitingReturns(const char* printer);
// Status changes (power, cover, paper, ...) reach the status callbacks delayMs after they
// happen, in order, as a printer whose reports queue behind its SDK's thread.
void TbxSim_SetReportDelay(const char* printer, DWORD delayMs);
// Accepted writes whose DC2 q carried an id the printer still owed an answer for: written
// before, neither lost (power, reset) nor read yet. An answer read then stands for two writes.
LONG TbxSim_GetReusedIdWrites(const char* printer);
// Each DirectIOEx read returns at most chunk reply bytes (0: no limit).
void TbxSim_SetReplySplit(const char* printer, DWORD chunk);
// Each accepted write takes delayMs before the printer takes the bytes.
void TbxSim_SetWriteDelay(const char* printer, DWORD delayMs);
// How long an SDK Reset keeps the printer offline: both changes are reported, offline at
// once and online when the time is over (TBXSIM_DEFAULT_RESET_OFFLINE_MS unless set; 0: the
// printer stays online through its reset).
void TbxSim_SetResetOfflineTime(const char* printer, DWORD ms);
// The next query answers these bytes instead of its own reply; with count 0 it answers
// nothing at all. Scripted replies are used in the order given.
void TbxSim_ScriptReply(const char* printer, const BYTE* bytes, DWORD count);

// Bytes accepted so far: copies up to capacity of them and returns how many there are.
DWORD TbxSim_GetWritten(const char* printer, BYTE* buffer, DWORD capacity);
void TbxSim_ClearWritten(const char* printer);
// Bytes the printer has executed (printed) since the last reset, in order: a line is here
// only once everything before it printed and before its answer can be read.
DWORD TbxSim_GetPrinted(const char* printer, BYTE* buffer, DWORD capacity);

// Memory switch number 1-40.
void TbxSim_SetMemorySwitch(const char* printer, int number, BYTE value);
BYTE TbxSim_GetMemorySwitch(const char* printer, int number);
// While locked, memory switch writes are ignored (a printer that does not take them).
void TbxSim_LockMemorySwitches(const char* printer, BOOL locked);
void TbxSim_SetMemory(const char* printer, DWORD nvFree, DWORD userFree, DWORD userFreeDefrag);
void TbxSim_GetMemory(const char* printer, DWORD* nvFree, DWORD* userFree,
                      DWORD* userFreeDefrag);
void TbxSim_SetCounter(const char* printer, WORD index, DWORD value);
// Counter value, or 0xFFFFFFFF when the printer has no such counter.
DWORD TbxSim_GetCounter(const char* printer, WORD index);
// What GetPrnCapability answers for index: type 1 carries the value byte, type 0 means none.
void TbxSim_SetPrinterId(const char* printer, BYTE index, BYTE type, BYTE value);

// Handles of this printer that are open now.
LONG TbxSim_GetOpenHandleCount(const char* printer);
// 1 while the status callback thread runs.
BOOL TbxSim_IsStatusThreadRunning(void);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#include <string>
#include <vector>

// Every byte the printer accepted since the last reset or clear, as one string.
inline std::string TbxSimWritten(const char* printer) {
  std::string bytes(TbxSim_GetWritten(printer, nullptr, 0), '\0');
  if (!bytes.empty())
    TbxSim_GetWritten(printer, reinterpret_cast<BYTE*>(&bytes[0]),
                      static_cast<DWORD>(bytes.size()));
  return bytes;
}

// Every byte the printer printed since the last reset, as one string.
inline std::string TbxSimPrinted(const char* printer) {
  std::string bytes(TbxSim_GetPrinted(printer, nullptr, 0), '\0');
  if (!bytes.empty())
    TbxSim_GetPrinted(printer, reinterpret_cast<BYTE*>(&bytes[0]), DWORD(bytes.size()));
  return bytes;
}

// The same bytes as a byte vector.
inline std::vector<BYTE> TbxSimWrittenBytes(const char* printer) {
  const std::string bytes = TbxSimWritten(printer);
  return std::vector<BYTE>(bytes.begin(), bytes.end());
}
#endif
