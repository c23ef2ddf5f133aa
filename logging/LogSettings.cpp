#include "LogSettings.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "ScopedHandle.h"

LogDecision DecideLog(LONG level, DWORD category) {
  if (level < 0) return LogDecision::kNothing;
  const DWORD enabled = static_cast<DWORD>(level);
  if (category & enabled) {
    if (!(category & kLogDumpBits)) return LogDecision::kLine;
    return (enabled & kLogHexDumpLevelBits) ? LogDecision::kHexDump : LogDecision::kRawDump;
  }
  if ((enabled & LOG_CAT_ERROR) && (category & kLogRingBits)) return LogDecision::kRing;
  return LogDecision::kNothing;
}

bool IsPlainFolderName(const wchar_t* name, size_t length) {
  if (length == 0) return false;
  if (name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.'))) return false;
  for (size_t i = 0; i < length; ++i) {
    const wchar_t c = name[i];
    if (c < 0x20 || wcschr(L"\\/:*?\"<>|", c)) return false;
  }
  return true;
}

CModuleLiteral CModuleLiteral::Parse(const char* literal) {
  CModuleLiteral result;
  if (!literal || !*literal) return result;
  const size_t tagLength = strnlen(literal, 32);
  if (tagLength == 32) return result;  // no terminator where the folder would start
  result.tag.assign(literal, tagLength);
  const char* folder = literal + tagLength + 1;
  const size_t folderLength = strnlen(folder, 17);
  if (folderLength == 0 || folderLength > 16) return result;
  wchar_t wide[17];
  const int wideLength =
      MultiByteToWideChar(CP_ACP, 0, folder, static_cast<int>(folderLength), wide, 17);
  if (wideLength <= 0 || !IsPlainFolderName(wide, wideLength)) return result;
  result.folder.assign(folder, folderLength);
  result.valid = true;
  return result;
}

CLogSettings::CLogSettings(const CLogOptions& options) : m_options(options) {}

CLogSettings::~CLogSettings() = default;

bool CLogSettings::ReadKey(LONG* level, DWORD* maxDump, DWORD* lifeDays) const {
  ScopedRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_options.settingsKey.c_str(), 0, KEY_QUERY_VALUE,
                    key.receive()) != ERROR_SUCCESS &&
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_options.settingsKeyWow.c_str(), 0, KEY_QUERY_VALUE,
                    key.receive()) != ERROR_SUCCESS) {
    return false;
  }
  // Any value type is taken as long as its data fits four bytes.
  auto read = [&key](const wchar_t* name, DWORD fallback) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS) {
      return fallback;
    }
    return value;
  };
  *level = static_cast<LONG>(read(L"LogLevelPos", 0));
  *maxDump = std::min<DWORD>(read(L"MaxDumpSize", 256), kLogMaxDumpLimit);
  *lifeDays = read(L"LogLifeDays", 10);
  return true;
}

int CLogSettings::Load() {
  if (Overridden()) return 1;
  const DWORD now = m_options.tickCount();
  if (Loaded()) {
    if (now - m_lastReadTick.load() < kLogRefreshMs) return 1;
    m_lastReadTick.store(now);
  } else if (m_missing.load() && now - m_missingTick.load() < kLogRefreshMs) {
    return 0;
  }
  return ReadAndStore(now);
}

int CLogSettings::ReadAndStore(DWORD now) {
  LONG level = 0;
  DWORD maxDump = 0;
  DWORD lifeDays = 0;
  if (!ReadKey(&level, &maxDump, &lifeDays)) {
    m_missingTick.store(now);
    m_missing.store(true);
    return 0;
  }
  m_missing.store(false);
  CLogLockGuard guard(m_lock);
  if (!Overridden()) {
    m_level.store(level);
    m_maxDumpBytes.store(maxDump);
    m_lifeDays.store(lifeDays);
    m_loaded.store(true, std::memory_order_release);
  }
  return 1;
}

void CLogSettings::Override(DWORD level, DWORD lifeDays, DWORD maxDumpSize) {
  // Read even within the pause after a missing key: the values that a 0 keeps come from it.
  if (!Loaded() && !Overridden()) (void)ReadAndStore(m_options.tickCount());
  CLogLockGuard guard(m_lock);
  m_overridden.store(true, std::memory_order_release);
  m_level.store(static_cast<LONG>(level & kLogLevelOverrideMask));
  if (lifeDays) m_lifeDays.store(std::min<DWORD>(lifeDays, kLogMaxLifeDays));
  if (maxDumpSize) m_maxDumpBytes.store(std::min<DWORD>(maxDumpSize, kLogMaxDumpLimit));
}

SYSTEMTIME CLogSettings::Stamp() {
  SYSTEMTIME now;
  m_options.localTime(&now);
  CLogLockGuard guard(m_lock);
  m_stamp = now;
  m_stampDate.store(PackDate(now), std::memory_order_release);
  return now;
}

SYSTEMTIME CLogSettings::LastStamp() const {
  CLogLockGuard guard(m_lock);
  return m_stamp;
}

std::string CLogSettings::ModuleTag() const {
  CLogLockGuard guard(m_lock);
  return m_moduleTag;
}

void CLogSettings::SetModuleTag(const std::string& tag) {
  CLogLockGuard guard(m_lock);
  const size_t length = std::min(tag.size(), sizeof(m_moduleTag) - 1);
  memcpy(m_moduleTag, tag.data(), length);
  m_moduleTag[length] = '\0';
}

std::wstring CLogSettings::FolderName() const {
  CLogLockGuard guard(m_lock);
  return m_folderName;
}

void CLogSettings::SetFolderName(const std::wstring& name) {
  CLogLockGuard guard(m_lock);
  const size_t length = std::min(name.size(), std::size(m_folderName) - 1);
  wmemcpy(m_folderName, name.data(), length);
  m_folderName[length] = L'\0';
}
