// CCommPrinterDriver: the printer sub-module's only path to the printer, through the printer
// maker's SDK library loaded at run time. Connects and closes, reads the status word,
// registers the SDK's status callback, resets the printer, writes under the printer mutex
// that every process naming the same printer shares, and runs the framed printer queries.
//
// Transfers and queries return internal codes (0 success, 1 offline, 2 time-out, 3 failure,
// or the status store's gate code); connect and the status operations return OPOS codes.
#pragma once
#include "Win.h"

#include "PrinterSdk.h"
#include "ScopedHandle.h"

class CLogContext;
class CRJCollection;

// The SDK's status callback: stdcall, one 32-bit status word.
using PrinterStatusCallback = subsupport::SdkStatusCallback;

class CCommPrinterDriver : private subsupport::CSdkChannel {
 public:
  static constexpr DWORD kRawBufferSize = 1024;    // the raw reads' buffer
  static constexpr DWORD kFunctionSetBytes = 40;   // memory switch bytes of the settings reply
  static constexpr DWORD kFrameTimeout = subsupport::kReplyFrameTimeout;

  // Neither is owned; both outlive the channel.
  CCommPrinterDriver(CRJCollection& status, const CLogContext& log);
  // Closes a printer handle and mutex still held and frees the library.
  ~CCommPrinterDriver();
  CCommPrinterDriver(const CCommPrinterDriver&) = delete;
  CCommPrinterDriver& operator=(const CCommPrinterDriver&) = delete;

  // 1 when the library loaded with every entry point the channel needs, else 0 (nothing
  // held). A library loaded before is let go first.
  [[nodiscard]] BOOL LoadPrinterDriverDLL(const char* path);
  // 1 when no library is held, else FreeLibrary's result. A printer still open is closed
  // first, so nothing calls into the freed library afterwards.
  [[nodiscard]] BOOL UnloadPrinterDriverDLL();

  // Opens the printer and creates its mutex: 0, 111 (open failed, or no mutex can be made for
  // the name), or GetPrinterASB's code (107 offline: the handle stays, no mutex).
  [[nodiscard]] long ConnectPrinter(const char* connectText, const char* printerName,
                                    DWORD readTimeoutMs);
  // 1 when the SDK closed the printer (or none was open), 0 when it refused. Either way the
  // channel holds neither handle nor mutex afterwards.
  BOOL ClosePrinter();

  // 0 with the word, 107 when the printer reports offline (also when the query fails before
  // producing a word), 111 when the query fails on an online printer.
  [[nodiscard]] long GetPrinterASB(DWORD* status);
  [[nodiscard]] long SetPrinterCallbackASB(PrinterStatusCallback callback);
  [[nodiscard]] long CancelPrinterCallbackASB();
  // Printer reset for error recovery: 0, or 3 when refused (recovery under way) or failed.
  // The arguments are not used.
  [[nodiscard]] long RestorePrinter(void* unused1 = nullptr, void* unused2 = nullptr,
                                    void* unused3 = nullptr);

  // Writes under the printer mutex; the status store's gate is asked first unless skipGate.
  [[nodiscard]] long WritePrinterData(BOOL skipGate, const BYTE* data, DWORD length,
                                      DWORD timeoutMs);
  // As WritePrinterData, bracketed by the SDK's printer lock, reading what the printer
  // answers at once (only logged).
  [[nodiscard]] long WriteReadPrinterData(BOOL skipGate, const BYTE* data, DWORD length,
                                          DWORD timeoutMs);
  // Reads waiting for up to the read timeout / not waiting; buffer holds kRawBufferSize
  // bytes. The count received, 0 on failure or when nothing came.
  [[nodiscard]] DWORD GetRawData(BYTE* buffer);
  [[nodiscard]] DWORD GetRawDataImmediate(BYTE* buffer);

  // Sends command and collects one reply frame (0x0E, bytes 0xE0-0xFF, 0x00) into frame.
  // *frameLength: in, the room in frame; out, the whole frame's length, which exceeds the
  // room when the printer sent a longer frame (only the room's bytes are stored). Returns 0,
  // the SDK's result, or kFrameTimeout.
  [[nodiscard]] long fnGetPrinterDataEx(DWORD commandLength, const BYTE* command,
                                        DWORD* frameLength, BYTE* frame, DWORD timeoutMs);

  // Framed queries (internal codes; the output is cleared first).
  [[nodiscard]] long GetRemainNVMemoryCapData(DWORD* value);
  [[nodiscard]] long GetRemainUserMemoryCapData(DWORD* value);
  [[nodiscard]] long GetRemainUserMemoryCapDefragData(DWORD* value);
  [[nodiscard]] long GetFunctionSetRespData(BYTE* switches /* kFunctionSetBytes */);
  [[nodiscard]] long GetPrinterId(BYTE index, DWORD* value);
  [[nodiscard]] long GetPrinterCounter(WORD index, DWORD* value);

  [[nodiscard]] bool IsConnected() const { return m_handle > 0 && m_mutex.valid(); }

  struct Query;  // a framed query's command, reply frame and texts

 private:
  void Dump(DWORD category, const char* function, int line, const BYTE* data,
            DWORD length) const;
  void CloseQuietly();
  [[nodiscard]] long RunQuery(const Query& query, BYTE* frame, DWORD frameRoom);
  [[nodiscard]] long RunMemoryQuery(const Query& query, DWORD* value);
  [[nodiscard]] long Transfer(const char* function, BOOL skipGate, const BYTE* data,
                              DWORD length, DWORD timeoutMs, bool withRead);

  CRJCollection& m_status;
  const CLogContext& m_log;
  ScopedHandle m_mutex;
  LONG m_handle = 0;
  DWORD m_readTimeout = 0;
};
