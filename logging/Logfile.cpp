#include "Logfile.h"

#include <aclapi.h>
#include <shlobj.h>

#include <cstdarg>
#include <cstdio>

#include "LogReport.h"
#include "ScopedHandle.h"

namespace {

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeDirectory(const std::wstring& path) {
  return IsDirectory(path) || CreateDirectoryW(path.c_str(), nullptr) || IsDirectory(path);
}

std::wstring Widen(const char* ansi, size_t length) {
  std::wstring wide(length, L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi, static_cast<int>(length), &wide[0],
                                    static_cast<int>(length));
  wide.resize(n > 0 ? n : 0);
  return wide;
}

// File names hold only digits and punctuation, so they are formatted narrow and widened.
std::wstring NameInFolder(const std::wstring& folder, const char* format, ...) {
  char name[64];
  va_list args;
  va_start(args, format);
  const int length = vsnprintf(name, sizeof(name), format, args);
  va_end(args);
  return folder + L"\\" + Widen(name, length > 0 ? length : 0);
}

struct LocalFreeTraits {
  using Type = HLOCAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { LocalFree(h); }
};

// Grants BUILTIN\Users full access to a new module folder, inherited by files and subfolders,
// so processes of every user can write the shared log files. Entries inherited from the
// parent stay in force (the DACL is set unprotected). Failures leave the folder as it was.
void OpenToAllUsers(const std::wstring& folder) {
  ScopedFile directory(CreateFileW(folder.c_str(), READ_CONTROL | WRITE_DAC, 0, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!directory.valid()) return;
  PACL oldDacl = nullptr;
  ScopedResource<LocalFreeTraits> descriptor;
  if (GetSecurityInfo(directory.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                      nullptr, &oldDacl, nullptr,
                      reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.receive())) !=
      ERROR_SUCCESS) {
    return;
  }
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID users = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_USERS, 0, 0, 0, 0, 0, 0, &users)) {
    return;
  }
  EXPLICIT_ACCESSW access = {};
  access.grfAccessPermissions = GENERIC_ALL;
  access.grfAccessMode = GRANT_ACCESS;
  access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  access.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
  access.Trustee.ptstrName = static_cast<LPWSTR>(users);
  PACL newDacl = nullptr;
  if (SetEntriesInAclW(1, &access, nullptr, &newDacl) == ERROR_SUCCESS) {
    (void)SetSecurityInfo(directory.get(), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                          nullptr, nullptr, newDacl, nullptr);
    LocalFree(newDacl);
  }
  FreeSid(users);
}

}  // namespace

CLogfile::CLogfile(const CLogOptions& options) : CLogSettings(options) {}

CLogfile::~CLogfile() = default;

CLogfile::FolderState CLogfile::State() const {
  CLogLockGuard guard(m_lock);
  return m_state;
}

void CLogfile::ResetFolderState() {
  CLogLockGuard guard(m_lock);
  // An entry of another thread may have fixed the folder from its literal meanwhile.
  if (m_state != kFolderFinal) m_state = kFolderStart;
}

// The base folder is found and created on first use rather than at construction: the logger
// is built while the loader lock is held, where shell calls are best avoided. A base folder
// that could not be created is tried again by later entries.
bool CLogfile::EnsureBaseFolderLocked() {
  if (m_baseFolder.empty()) {
    if (!Options().baseFolder.empty()) {
      m_baseFolder = Options().baseFolder;
    } else {
      wchar_t appData[MAX_PATH] = {};
      if (!SHGetSpecialFolderPathW(nullptr, appData, CSIDL_COMMON_APPDATA, FALSE)) return false;
      m_baseFolder = std::wstring(appData) + L"\\KVR\\Logs";
    }
  }
  if (IsDirectory(m_baseFolder)) return true;
  if (Options().baseFolder.empty()) {
    const std::wstring kvr = m_baseFolder.substr(0, m_baseFolder.size() - 5);  // minus \Logs
    if (!MakeDirectory(kvr)) return false;
  }
  return MakeDirectory(m_baseFolder);
}

void CLogfile::ChooseModuleFolderLocked(const CModuleLiteral* literal) {
  const bool literalValid = literal && literal->valid;
  const std::wstring named = FolderName();
  auto useLiteral = [&] {
    const std::wstring folder = Widen(literal->folder.data(), literal->folder.size());
    m_moduleFolder = m_baseFolder + L"\\" + folder;
    SetFolderName(folder);
    SetModuleTag(literal->tag);
    m_state = kFolderFinal;
  };
  auto useNamed = [&] {
    m_moduleFolder = m_baseFolder + L"\\" + named;
    m_state = kFolderFromNames;
  };
  switch (m_state) {
    case kFolderStart:
      if (literalValid) {
        useLiteral();
      } else if (!named.empty()) {
        useNamed();
      } else {
        m_moduleFolder = m_baseFolder + L"\\Undefined";
        m_state = kFolderUndefined;
      }
      break;
    case kFolderUndefined:
      if (!named.empty()) useNamed();
      if (literalValid) useLiteral();
      break;
    case kFolderFromNames:
      if (literalValid) useLiteral();
      break;
    case kFolderFinal:
      break;
  }
}

int CLogfile::CreateLogFolder(const CModuleLiteral* literal, std::wstring* folder) {
  CLogLockGuard guard(m_lock);
  if (!EnsureBaseFolderLocked()) {
    LOG_REPORT("CLogfile::CreateLogFolder", kReportBaseFolder);
    return 0;
  }
  ChooseModuleFolderLocked(literal);
  if (!IsDirectory(m_moduleFolder)) {
    if (CreateDirectoryW(m_moduleFolder.c_str(), nullptr)) {
      OpenToAllUsers(m_moduleFolder);
    } else if (!IsDirectory(m_moduleFolder)) {
      return 0;  // the path is kept, so the next entry tries to create the folder again
    }
  }
  if (folder) *folder = m_moduleFolder;
  return 1;
}

std::wstring CLogfile::DailyFileName(const std::wstring& folder, const SYSTEMTIME& t) {
  return NameInFolder(folder, "%04d%02d%02d.log", t.wYear, t.wMonth, t.wDay);
}

std::wstring CLogfile::RotatedFileName(const std::wstring& folder, const SYSTEMTIME& t) {
  return NameInFolder(folder, "%04d%02d%02d_%02d%02d%02d(%03d).log", t.wYear, t.wMonth, t.wDay,
                      t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

std::wstring CLogfile::RawDumpFileName(const std::wstring& folder, const SYSTEMTIME& t) {
  return NameInFolder(folder, "%04d%02d%02d_%02d%03d.bin", t.wYear, t.wMonth, t.wDay, t.wSecond,
                      t.wMilliseconds);
}

DWORD CLogfile::CleanupThreshold(DWORD lifeDays) {
  if (lifeDays == 0) return 0;
  if (lifeDays >= kLogMaxLifeDays) return 18181;
  return (lifeDays + 1) * 202;
}

void CLogfile::DeleteOldLogs() {
  // Cheap test first: this runs after every filtered call too.
  const DWORD lifeDays = LifeDays();
  if (lifeDays == m_cleanLifeDays.load() && LastStampDate() == m_cleanDate.load()) return;
  std::wstring folder;
  SYSTEMTIME reference;
  {
    CLogLockGuard guard(m_lock);
    if (lifeDays != m_cleanLifeDays.load()) {
      m_cleanDate.store(0);
      m_cleanLifeDays.store(lifeDays);
    }
    reference = LastStamp();
    const DWORD date = PackDate(reference);
    if (date == m_cleanDate.load()) return;
    m_cleanDate.store(date);
    folder = m_moduleFolder;
  }
  if (!folder.empty()) DeleteExpiredFiles(folder, reference, lifeDays);
}

void CLogfile::DeleteExpiredFiles(const std::wstring& folder, const SYSTEMTIME& reference,
                                  DWORD lifeDays) {
  // The stamp is local time and is taken as it is, without zone conversion.
  FILETIME referenceTime;
  if (!SystemTimeToFileTime(&reference, &referenceTime)) return;
  const DWORD threshold = CleanupThreshold(lifeDays);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\20*.log").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!IsExpired(found.ftLastWriteTime.dwHighDateTime, threshold, referenceTime.dwHighDateTime)) {
      continue;
    }
    const std::wstring path = folder + L"\\" + found.cFileName;
    char title[27] = {};
    DWORD read = 0;
    {
      // No sharing: a file another writer holds open is left alone.
      ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file.valid() || !ReadFile(file.get(), title, sizeof(title), &read, nullptr)) continue;
    }
    if (read >= 4 && memcmp(title, "KVR ", 4) == 0) DeleteFileW(path.c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}
