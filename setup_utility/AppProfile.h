// CAppProfile: the program's own per-user settings, kept the way the platform's class library
// keeps them once a program names its profile key: under <root>\<parent>\<company>\<application>
// (HKEY_CURRENT_USER\Software\KVR\KVR OPOS Utility for this program), the recent-file list in
// the section "Recent File List" (values "File1".."FileN") and the print preview page count
// as "PreviewPages" in the section "Settings". A section is a subkey of the application key.
//
// As the library does, reading creates the application key and the section it reads; at exit
// the recent-file section is deleted and only the non-empty entries are written again, so an
// empty list leaves no "Recent File List" key, and "PreviewPages" is written only when not 0.
// Device entries are not kept here: they go through CRegistry.
#pragma once
#include "ScopedHandle.h"
#include "Win.h"

#include <string>
#include <vector>

// Where the profile keys live. Tests point it at a private key.
struct ProfileLocation {
  HKEY root = HKEY_CURRENT_USER;
  std::string parent = "Software";
};

inline constexpr char kRecentFileSection[] = "Recent File List";
inline constexpr char kSettingsSection[] = "Settings";
inline constexpr char kPreviewPagesEntry[] = "PreviewPages";

class CAppProfile {
 public:
  // The library's SetRegistryKey: settings go under <company>\<application>. Touches no key.
  CAppProfile(ProfileLocation where, std::string company, std::string application);

  // The application key's path below the location's root.
  std::string AppKeyPath() const;

  // The library's LoadStdProfileSettings: with maxRecentFiles > 0 reads "File1".."FileN" of
  // the recent-file section (an entry missing or not a string reads as empty), then
  // "PreviewPages" of "Settings" (a REG_DWORD; anything else reads as 0, not set).
  void LoadStdProfileSettings(UINT maxRecentFiles);
  // The library's SaveStdProfileSettings, at exit: rewrites the recent-file section from the
  // list (when one was loaded) and writes "PreviewPages" when not 0. Nothing before a load.
  void SaveStdProfileSettings();

  // The list as loaded, one entry per position ("" for an empty one); empty before a load.
  const std::vector<std::string>& RecentFiles() const { return m_recentFiles; }
  UINT PreviewPages() const { return m_previewPages; }

  // "File<n>", the value name of the list's entry n (from 1).
  static std::string RecentFileEntry(UINT n);

 private:
  // Opened for reading and writing, created when missing; invalid on failure.
  ScopedRegKey OpenAppKey() const;
  ScopedRegKey OpenSectionKey(const char* section) const;
  std::string GetProfileString(const char* section, const std::string& entry) const;
  UINT GetProfileInt(const char* section, const char* entry, UINT fallback) const;
  void WriteProfileString(const char* section, const std::string& entry,
                          const std::string& value) const;
  void WriteProfileInt(const char* section, const char* entry, UINT value) const;
  void DeleteSection(const char* section) const;

  ProfileLocation m_where;
  std::string m_company;
  std::string m_application;
  bool m_fRecentFileList = false;  // a list was loaded and is written back
  std::vector<std::string> m_recentFiles;
  UINT m_previewPages = 0;         // 0: not set
};
