// Writing of the daily file and of raw dump files, shared by threads and processes through
// two named mutexes; the header of a new daily file; lines kept while the file is locked.
#pragma once
#include <atomic>
#include <string>

#include "LogLock.h"
#include "Win.h"

// What the header of a new daily file says about the machine.
struct CSystemInfo {
  enum Wow64 { kNoFunction, kCallFailed, kWow64, kNotWow64 };
  bool versionKeyOpened = false;
  bool hasProductName = false;
  std::string productName;
  bool hasBuildLab = false;
  std::string buildLab;
  int nativeArchitecture = -1;  // PROCESSOR_ARCHITECTURE_*; -1 without GetNativeSystemInfo
  Wow64 wow64 = kNoFunction;

  static CSystemInfo Query();
};

// "I386 Architecture 32bit process\r\n" and its kin.
std::string ArchitectureLine(const CSystemInfo& info);
// Title, system information block and column titles of a new daily file.
std::string NewFileHeader(const CSystemInfo& info);

class CLogWriter {
 public:
  static constexpr ULONGLONG kRotateSize = 32000000;
  static constexpr size_t kPendingSize = 1024;
  static constexpr DWORD kSlowOpenMs = 10000;

  // One entry's hold on the daily file: the text mutex and the open file, from Open to Close.
  // Each entry has its own, so threads never share an open file.
  class CTurn {
   public:
    explicit CTurn(CLogWriter& writer) : m_writer(writer) {}
    ~CTurn() { (void)m_writer.Close(*this, nullptr); }
    CTurn(const CTurn&) = delete;
    CTurn& operator=(const CTurn&) = delete;
    bool IsOpen() const { return m_file != INVALID_HANDLE_VALUE; }

   private:
    friend class CLogWriter;
    CLogWriter& m_writer;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    bool m_holdsMutex = false;
    std::wstring m_name;
  };

  explicit CLogWriter(DWORD(WINAPI* tickCount)());
  ~CLogWriter();
  CLogWriter(const CLogWriter&) = delete;
  CLogWriter& operator=(const CLogWriter&) = delete;

  // Opens (or creates) the daily file: header when empty, then the slow-open marker, the
  // pending lines and the failed marker. false when the file cannot be opened: the entry's
  // lines then go to the pending buffer.
  [[nodiscard]] bool Open(CTurn& turn, const std::wstring& name);
  // Appends text whole or not at all; without an open file it is kept, with a '*' in front,
  // while it fits the pending buffer, and dropped whole otherwise.
  void WriteLine(CTurn& turn, const std::string& text);
  // Closes the file and returns its size; a file past the size limit is moved to
  // `rotatedName` before the text mutex is released.
  ULONGLONG Close(CTurn& turn, const std::wstring* rotatedName);

  // Writes `data` as the whole content of a raw dump file, under the dump mutex; an existing
  // file of the same name is replaced.
  [[nodiscard]] bool WriteRawFile(const std::wstring& name, const void* data, DWORD length);

  size_t PendingLength();
  bool Failed() const { return m_failed.load(); }

 private:
  [[nodiscard]] bool AppendAll(HANDLE file, const char* text, size_t length);
  void FlushPending(HANDLE file);

  DWORD(WINAPI* const m_tickCount)();
  HANDLE m_textMutex = nullptr;
  HANDLE m_dumpMutex = nullptr;
  std::atomic<bool> m_failed{false};  // a line was lost since the last successful open
  CLogLock m_lock;                     // guards the pending buffer
  char m_pending[kPendingSize] = {};
  size_t m_pendingLength = 0;
};
