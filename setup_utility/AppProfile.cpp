#include "AppProfile.h"

#include <cstring>

namespace {

constexpr REGSAM kProfileAccess = KEY_READ | KEY_WRITE;

ScopedRegKey CreateSubKey(HKEY parent, const std::string& name) {
  ScopedRegKey key;
  if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kProfileAccess,
                      nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
    key.reset();
  return key;
}

}  // namespace

CAppProfile::CAppProfile(ProfileLocation where, std::string company, std::string application)
    : m_where(std::move(where)),
      m_company(std::move(company)),
      m_application(std::move(application)) {}

std::string CAppProfile::AppKeyPath() const {
  return m_where.parent + "\\" + m_company + "\\" + m_application;
}

std::string CAppProfile::RecentFileEntry(UINT n) { return "File" + std::to_string(n); }

ScopedRegKey CAppProfile::OpenAppKey() const {
  ScopedRegKey parent;
  if (RegOpenKeyExA(m_where.root, m_where.parent.c_str(), 0, kProfileAccess, parent.receive()) !=
      ERROR_SUCCESS)
    return ScopedRegKey();
  const ScopedRegKey company = CreateSubKey(parent.get(), m_company);
  if (!company.valid()) return ScopedRegKey();
  return CreateSubKey(company.get(), m_application);
}

ScopedRegKey CAppProfile::OpenSectionKey(const char* section) const {
  const ScopedRegKey app = OpenAppKey();
  if (!app.valid()) return ScopedRegKey();
  return CreateSubKey(app.get(), section);
}

std::string CAppProfile::GetProfileString(const char* section, const std::string& entry) const {
  const ScopedRegKey key = OpenSectionKey(section);
  if (!key.valid()) return {};
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), entry.c_str(), nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  // One byte more than the data: text stored without its terminator still ends in a NUL.
  std::string data(size + 1, '\0');
  DWORD capacity = size + 1;
  if (RegQueryValueExA(key.get(), entry.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(&data[0]), &capacity) != ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  data.resize(std::strlen(data.c_str()));
  return data;
}

UINT CAppProfile::GetProfileInt(const char* section, const char* entry, UINT fallback) const {
  const ScopedRegKey key = OpenSectionKey(section);
  if (!key.valid()) return fallback;
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  // Only a number counts: the first bytes of a text taken as one would be written back at
  // exit as a number in the text's place.
  if (RegQueryValueExA(key.get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value))
    return fallback;
  return value;
}

void CAppProfile::WriteProfileString(const char* section, const std::string& entry,
                                     const std::string& value) const {
  const ScopedRegKey key = OpenSectionKey(section);
  if (!key.valid()) return;
  // With its terminator, as the library stores its texts.
  (void)RegSetValueExA(key.get(), entry.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
}

void CAppProfile::WriteProfileInt(const char* section, const char* entry, UINT value) const {
  const ScopedRegKey key = OpenSectionKey(section);
  if (!key.valid()) return;
  const DWORD data = value;
  (void)RegSetValueExA(key.get(), entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                       sizeof(data));
}

void CAppProfile::DeleteSection(const char* section) const {
  const ScopedRegKey app = OpenAppKey();
  // A section that holds keys of its own is not deleted; its entries are then rewritten in
  // place.
  if (app.valid()) (void)RegDeleteKeyA(app.get(), section);
}

void CAppProfile::LoadStdProfileSettings(UINT maxRecentFiles) {
  if (maxRecentFiles != 0) {
    m_fRecentFileList = true;
    m_recentFiles.clear();
    for (UINT n = 1; n <= maxRecentFiles; ++n)
      m_recentFiles.push_back(GetProfileString(kRecentFileSection, RecentFileEntry(n)));
  }
  m_previewPages = GetProfileInt(kSettingsSection, kPreviewPagesEntry, 0);
}

void CAppProfile::SaveStdProfileSettings() {
  if (m_fRecentFileList) {
    DeleteSection(kRecentFileSection);
    // An entry keeps its number: an empty one between two others leaves a gap.
    for (size_t i = 0; i < m_recentFiles.size(); ++i)
      if (!m_recentFiles[i].empty())
        WriteProfileString(kRecentFileSection, RecentFileEntry(static_cast<UINT>(i + 1)),
                           m_recentFiles[i]);
  }
  if (m_previewPages != 0) WriteProfileInt(kSettingsSection, kPreviewPagesEntry, m_previewPages);
}
