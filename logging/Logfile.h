// Folders and file names of one logger, and the daily clean-up of old log files.
#pragma once
#include <atomic>
#include <string>

#include "LogSettings.h"

class CLogfile : public virtual CLogSettings {
 public:
  // Where the module folder name came from; it only moves forward (0 -> 1 -> 2 -> 3).
  enum FolderState { kFolderStart = 0, kFolderUndefined = 1, kFolderFromNames = 2, kFolderFinal = 3 };

  explicit CLogfile(const CLogOptions& options);
  ~CLogfile();

  // Chooses the module folder for an entry (literal may be null) and creates it when missing.
  // 1 when the folder exists afterwards (its path copied to `folder`), else 0. A folder that
  // could not be created is tried again on the next entry.
  [[nodiscard]] int CreateLogFolder(const CModuleLiteral* literal, std::wstring* folder = nullptr);
  // Runs the clean-up at most once per day of the entries' time stamps (and again when the
  // retention changes): deletes our own log files older than the retention.
  void DeleteOldLogs();

  FolderState State() const;
  // A failed SetLogNames puts the name choice back to its start (unless a literal fixed it).
  void ResetFolderState();

  static std::wstring DailyFileName(const std::wstring& folder, const SYSTEMTIME& t);
  static std::wstring RotatedFileName(const std::wstring& folder, const SYSTEMTIME& t);
  static std::wstring RawDumpFileName(const std::wstring& folder, const SYSTEMTIME& t);
  // Age limit in units of 2^32 x 100 ns (about 429.5 s), compared on the upper halves of
  // FILETIMEs: (life days + 1) x 202 units is (life days + 1) days and about 4 minutes.
  static DWORD CleanupThreshold(DWORD lifeDays);
  // Whether a file last written at `writeHigh` is past the age limit for reference `refHigh`.
  static bool IsExpired(DWORD writeHigh, DWORD threshold, DWORD refHigh) {
    return writeHigh + threshold < refHigh;
  }

 private:
  [[nodiscard]] bool EnsureBaseFolderLocked();
  void ChooseModuleFolderLocked(const CModuleLiteral* literal);
  void DeleteExpiredFiles(const std::wstring& folder, const SYSTEMTIME& reference, DWORD lifeDays);

  mutable CLogLock m_lock;
  FolderState m_state = kFolderStart;
  std::wstring m_baseFolder;
  std::wstring m_moduleFolder;
  std::atomic<DWORD> m_cleanDate{0};      // date of the last clean-up run
  std::atomic<DWORD> m_cleanLifeDays{0};  // retention seen at that run
};
