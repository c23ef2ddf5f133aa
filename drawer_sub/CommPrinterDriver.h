// CCommPrinterDriver of the drawer: the drawer reaches its drawer-kick port only through
// the printer, by way of the printer maker's SDK library loaded at run time. Opens the
// printer, writes under the printer mutex that the printer sub-module shares, reads framed
// replies, checks two memory switches on activation and registers the status callback.
#pragma once
#include "Win.h"

#include "PrinterSdk.h"
#include "ScopedHandle.h"

namespace tollek {

class CLogContext;

// The SDK's status callback: stdcall, one 32-bit status word.
using StatusCallback = subsupport::SdkStatusCallback;

class CCommPrinterDriver : private subsupport::CSdkChannel {
 public:
  static constexpr DWORD kReceiveBufferSize = 1024;
  static constexpr DWORD kSwitchCount = 40;
  static constexpr long kFrameTimeout = subsupport::kReplyFrameTimeout;
  static constexpr DWORD kSendDumpMax = 8192, kReceiveDumpMax = 4096;

  explicit CCommPrinterDriver(const CLogContext& log);  // log outlives the channel
  // Lets go of a printer still open and of the library.
  ~CCommPrinterDriver();
  CCommPrinterDriver(const CCommPrinterDriver&) = delete;
  CCommPrinterDriver& operator=(const CCommPrinterDriver&) = delete;

  // 1 when the library loaded with every entry point, else 0 with nothing kept.
  [[nodiscard]] BOOL LoadPrinterDriverDLL(const char* fileName);
  // 1 once no library is held; 0 when FreeLibrary refused. A printer still open is let go
  // first (status callback unregistered, handle closed): nothing may call into the freed
  // library afterwards.
  [[nodiscard]] BOOL UnloadPrinterDriverDLL();

  // 0; 111 open failed or no mutex for the name; 107 offline; 111 status query failed.
  // A failed connect keeps no printer handle.
  [[nodiscard]] long ConnectPrinter(const char* driverName);
  // Closes the printer and deletes the mutex; 1 in every case.
  BOOL DisconnectPrinter();

  // 0, 107 offline, 112 timeout, 106 otherwise (no bytes, not connected, SDK failure).
  [[nodiscard]] long WritePrinterData(const BYTE* data, DWORD count, DWORD timeoutMs);
  [[nodiscard]] long WriteMemorySwitch(BYTE number, BYTE value, DWORD timeoutMs);

  // Sends command and collects one reply frame (0x0E, bytes 0xE0-0xFF, 0x00). *length: in,
  // the room in response; out, the frame's length, start and end bytes included. A frame
  // longer than the room is stored up to the room and its whole length reported. Returns 0,
  // the SDK's code, or kFrameTimeout.
  [[nodiscard]] long fnGetPrinterDataEx(const BYTE* command, DWORD commandLength,
                                        DWORD* length, BYTE* response, DWORD timeoutMs);
  // Reads the 40 memory switch bytes: 0, the SDK's code, or 111 for a bad reply (the table
  // is then untouched).
  [[nodiscard]] long FunctionSettingResponse(BYTE* table, DWORD timeoutMs);
  // The wanted table: switch 5 and switch 13 set to 0x04, the rest 0.
  void ConvertRegDataToBinaryData(BYTE* table) const;
  // Reads, corrects and re-reads switches 5 and 13: 0, 111, or a read/write code.
  [[nodiscard]] long CompareRegDataToPrinterStatus(DWORD timeoutMs);

  // Switch check, then the status callback registered: 0, 107 offline, 111.
  [[nodiscard]] long ActivateDevice(StatusCallback callback, DWORD timeoutMs);
  // Unregisters the status callback: 0 or 111.
  [[nodiscard]] long DeactivateDevice();

  [[nodiscard]] bool IsConnected() const { return m_handle > 0 && m_mutex.valid(); }

 private:
  void Release();

  const CLogContext& m_log;
  ScopedHandle m_mutex;
  LONG m_handle = 0;
  bool m_callbackSet = false;
};

}  // namespace tollek
