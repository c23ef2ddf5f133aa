// What the sub-modules' tests read of the trace log: a module's daily file, where the log
// library puts it (<common application data>\KVR\Logs\<folder>\<yyyymmdd>.log).
#pragma once
#include "LogTestFiles.h"
#include "Win.h"

#include <shlobj.h>

#include <string>

namespace subsupporttest {

inline std::wstring DailyLogPath(const wchar_t* folder, const SYSTEMTIME& day) {
  wchar_t appData[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE)) return {};
  wchar_t name[16];
  wsprintfW(name, L"%04u%02u%02u.log", day.wYear, day.wMonth, day.wDay);
  return std::wstring(appData) + L"\\KVR\\Logs\\" + folder + L"\\" + name;
}

// True when the module's daily file holds text. before: the local time taken before the
// line was written; a line written as the day turned is looked for in both days' files.
inline bool DailyLogHolds(const wchar_t* folder, const std::string& text,
                          const SYSTEMTIME& before) {
  SYSTEMTIME after;
  GetLocalTime(&after);
  for (const SYSTEMTIME& day : {before, after})
    if (ReadWholeFile(DailyLogPath(folder, day)).find(text) != std::string::npos) return true;
  return false;
}

// A text no other line holds: the program's id and the tick count.
inline std::string UniqueLogMarker(const char* what) {
  return std::string(what) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount());
}

}  // namespace subsupporttest
