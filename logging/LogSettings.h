// The settings one logger works with: level, retention and dump size (from the registry or
// from SetLogLevel), the time stamp of the latest entry, the module tag and folder name.
#pragma once
#include "Log.h"
#include "LogLock.h"
#include "Win.h"

#include <atomic>
#include <string>

// Where a logger reads its settings and places its folders, and the clocks it reads. The
// module's logger takes the defaults; tests give their own key, folder and clocks.
struct CLogOptions {
  std::wstring settingsKey = L"SOFTWARE\\KVR\\DudazizEvozuzeDir";
  std::wstring settingsKeyWow = L"SOFTWARE\\Wow6432Node\\KVR\\DudazizEvozuzeDir";
  std::wstring baseFolder;  // empty: <common application data>\KVR\Logs
  void(WINAPI* localTime)(LPSYSTEMTIME) = GetLocalTime;
  DWORD(WINAPI* tickCount)() = GetTickCount;
  DWORD lockWaitMs = 1000;  // in-process turn of a text line; dumps wait without limit
};

enum : DWORD {
  kLogDumpBits = 0x203000,      // READ, SEND and raw dump
  kLogHexDumpLevelBits = 0x3000,  // a level with READ or SEND shows dumps as hex in the log
  kLogRingBits = 0x194,         // I, D, T, W: kept in the trace ring when errors only are on
  kLogLevelOverrideMask = 0xFFFFF,
  kLogMaxDumpLimit = 0xFFFF,
  kLogMaxLifeDays = 90,
  kLogRefreshMs = 15000,
};

enum class LogDecision { kNothing = 0, kLine = 1, kHexDump = 2, kRawDump = 3, kRing = 4 };

// What a call of category `category` becomes under level `level`.
LogDecision DecideLog(LONG level, DWORD category);

// The module argument of every entry point: the tag, its NUL, then the folder name and its NUL.
struct CModuleLiteral {
  std::string tag;     // empty when the call passed none (or a tag of 32 characters or more)
  std::string folder;  // empty unless the literal is valid
  bool valid = false;  // tag 1-31 characters, folder 1-16 characters that name one plain folder
  static CModuleLiteral Parse(const char* literal);
};

// A folder name that stays inside the log folder: no separators, no device or wildcard
// characters, not "." or "..".
bool IsPlainFolderName(const wchar_t* name, size_t length);

// The local date packed as year*10000 + month*100 + day, for cheap "same day" tests.
inline DWORD PackDate(const SYSTEMTIME& t) { return t.wYear * 10000u + t.wMonth * 100u + t.wDay; }

class CLogSettings {
 public:
  explicit CLogSettings(const CLogOptions& options);
  ~CLogSettings();
  CLogSettings(const CLogSettings&) = delete;
  CLogSettings& operator=(const CLogSettings&) = delete;

  // 1 when the logger may log (an override is in force or the key was read), 0 otherwise.
  [[nodiscard]] int Load();
  // SetLogLevel: these values from now on; the registry is never read again.
  void Override(DWORD level, DWORD lifeDays, DWORD maxDumpSize);

  LONG Level() const { return m_level.load(std::memory_order_relaxed); }
  DWORD MaxDumpBytes() const { return m_maxDumpBytes.load(std::memory_order_relaxed); }
  DWORD LifeDays() const { return m_lifeDays.load(std::memory_order_relaxed); }
  bool Loaded() const { return m_loaded.load(std::memory_order_acquire); }
  bool Overridden() const { return m_overridden.load(std::memory_order_acquire); }

  // Takes the local time of a new entry, keeps it as the latest stamp and returns it.
  SYSTEMTIME Stamp();
  SYSTEMTIME LastStamp() const;
  DWORD LastStampDate() const { return m_stampDate.load(std::memory_order_acquire); }

  std::string ModuleTag() const;
  void SetModuleTag(const std::string& tag);
  std::wstring FolderName() const;
  void SetFolderName(const std::wstring& name);

  const CLogOptions& Options() const { return m_options; }

 private:
  [[nodiscard]] bool ReadKey(LONG* level, DWORD* maxDump, DWORD* lifeDays) const;
  // Reads the key now and keeps its values unless an override came first; 0 without the key.
  [[nodiscard]] int ReadAndStore(DWORD now);

  const CLogOptions m_options;
  mutable CLogLock m_lock;
  SYSTEMTIME m_stamp = {};
  std::atomic<DWORD> m_stampDate{0};
  std::atomic<DWORD> m_maxDumpBytes{256};
  std::atomic<DWORD> m_lifeDays{10};
  char m_moduleTag[32] = {};
  std::atomic<LONG> m_level{0};
  wchar_t m_folderName[260] = {};
  std::atomic<bool> m_loaded{false};
  std::atomic<bool> m_overridden{false};
  std::atomic<DWORD> m_lastReadTick{0};
  // A missing key is looked for again at most every 15 s too, so that filtered calls of a
  // machine without the key stay cheap.
  std::atomic<bool> m_missing{false};
  std::atomic<DWORD> m_missingTick{0};
};
