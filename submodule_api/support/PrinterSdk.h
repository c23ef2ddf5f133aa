// The printer maker's SDK as both sub-modules reach the printer through it: its entry points
// and results, the library loaded at run time, the printer mutex every process naming the
// same printer shares, the status word and the framed replies of the printer's queries.
#pragma once
#include "Win.h"

#include <cstddef>
#include <string>

#include "ScopedHandle.h"

namespace subsupport {

class CSubLogContext;

// Entry points of the SDK as the sub-modules call them (stdcall).
using SdkStatusCallback = long(WINAPI*)(long statusWord);
using OpenMonPrinterFn = LONG(WINAPI*)(LONG type, LPCSTR name);
using HandleOnlyFn = LONG(WINAPI*)(LONG handle);  // CloseMonPrinter, UnlockPrinter, Reset, ...
using GetStatusFn = LONG(WINAPI*)(LONG handle, DWORD* status);
using SetStatusBackFn = LONG(WINAPI*)(LONG handle, SdkStatusCallback callback);
using LockPrinterFn = LONG(WINAPI*)(LONG handle, DWORD timeoutMs);
using DirectIOExFn = LONG(WINAPI*)(LONG handle, DWORD writeLength, const BYTE* writeData,
                                   DWORD* readLength, BYTE* readBuffer, DWORD timeoutMs,
                                   LONG mode, LONG reserved);

// SDK results the sub-modules tell apart.
inline constexpr LONG kSdkOffline = -110;
inline constexpr LONG kSdkTimeout = -70;
inline constexpr LONG kSdkMissingEntry = -1;  // an entry point gone since the load was checked

// The mode and reserved words DirectIOEx takes.
inline constexpr LONG kIoMode = 1, kIoReserved = 0;

// The printer mutex is this prefix, a dot and the printer name: both sub-modules use it, so
// drawer pulses never interleave with print data.
inline constexpr char kPrinterMutexPrefix[] = "KVR_OPOS_PRINTERDRIVERMUTEX";
[[nodiscard]] std::string PrinterMutexName(const char* printerName);

// A status word of 0, or one with only the offline bit, means the printer is offline.
[[nodiscard]] inline bool IsOfflineStatusWord(DWORD word) {
  return word == 0 || word == 0x80000000;
}
// "Status = 0x" and the word's four bytes in hex, the highest first.
[[nodiscard]] std::string StatusWordText(DWORD word);

// What both channels hold of the SDK: the library, its entry points, and the log lines the
// channel writes (under the file name "CommPrinterDriver", tagged "[Info    ]").
class CSdkChannel {
 protected:
  explicit CSdkChannel(const CSubLogContext& log) : log_(log) {}  // log outlives the channel
  ~CSdkChannel() = default;
  CSdkChannel(const CSdkChannel&) = delete;
  CSdkChannel& operator=(const CSdkChannel&) = delete;

  // Loads the SDK at path and keeps it only when every required entry (a name or an
  // ordinal) is there; a failure is logged under function and leaves nothing loaded. Call
  // with no library held.
  [[nodiscard]] bool LoadSdk(const char* path, const char* const* required, size_t count,
                             const char* function);
  template <size_t N>
  [[nodiscard]] bool LoadSdk(const char* path, const char* const (&required)[N],
                             const char* function) {
    return LoadSdk(path, required, N, function);
  }

  // An entry point of the loaded SDK; null when none is loaded or the entry is missing.
  template <class F>
  F Entry(const char* name) const {
    if (!m_module.valid()) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m_module.get(), name)));
  }

  // Opens the printer by name (type 2: a printer name): the handle, the SDK's negative
  // code, or kSdkMissingEntry.
  [[nodiscard]] LONG OpenPrinter(const char* name) const;

  void Log(DWORD category, const char* function, int line, const char* text,
           const char* detail = "") const;
  // label with "DRIVER_ERROR_CODE = <result>", as an error.
  void LogDriverError(const char* function, int line, const char* label, long result) const;

  ScopedModule m_module;

 private:
  const CSubLogContext& log_;
};

// What a framed read answers past its deadline.
inline constexpr long kReplyFrameTimeout = 1460;

// Collects one reply frame (0x0E, bytes 0xE0-0xFF, 0x00) from what the printer sends, read
// by read: bytes outside a frame and others inside it are skipped, and a start byte begins
// the frame again. The frame is stored up to its room; a longer one is counted, not stored.
class CReplyFrame {
 public:
  static constexpr BYTE kStart = 0x0E, kEnd = 0x00, kDataMin = 0xE0;

  CReplyFrame(BYTE* frame, DWORD room) : frame_(frame), room_(room) {}

  // True once the end byte is taken; Length() is then the whole frame's length, start and
  // end bytes included.
  [[nodiscard]] bool Feed(const BYTE* data, DWORD length);
  DWORD Length() const { return index_; }

 private:
  BYTE* frame_;
  DWORD room_;
  DWORD index_ = 0;
  bool inFrame_ = false;
};

}  // namespace subsupport
