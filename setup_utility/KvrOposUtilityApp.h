// CKvrOposUtilityApp: starts the utility as a single instance, creates the document and the
// main frame, runs the message loop and cleans up.
#pragma once
#include "AppProfile.h"
#include "KvrOposUtilityDoc.h"
#include "MainFrame.h"
#include "Registry.h"
#include "UserMessages.h"
#include "Win.h"

#include <memory>
#include <string>

struct AppOptions {
  RegistryLocation where;                // the real ServiceOPOS key unless a test says otherwise
  IUserMessages* messages = nullptr;     // message boxes unless a test records them
  std::string moduleFolder;              // "" : the program's folder
  ProfileLocation profile;               // HKEY_CURRENT_USER\Software unless a test says otherwise
};

// The company key the program's own settings live under, and the length of its recent-file
// list.
inline constexpr char kProfileKey[] = "KVR";
inline constexpr UINT kRecentFileCount = 4;

class CKvrOposUtilityApp {
 public:
  explicit CKvrOposUtilityApp(AppOptions options = {});
  ~CKvrOposUtilityApp();
  CKvrOposUtilityApp(const CKvrOposUtilityApp&) = delete;
  CKvrOposUtilityApp& operator=(const CKvrOposUtilityApp&) = delete;

  // Start-up; FALSE when the program is to end at once (OLE failure, a running instance).
  BOOL InitInstance();
  // The message loop, until the main window is gone; the WM_QUIT code.
  int Run();
  // Releases what InitInstance took; answers 1.
  int ExitInstance();

  CMainFrame* MainFrame() const { return m_frame.get(); }
  CKvrOposUtilityDoc* Document() const { return m_doc.get(); }

  static std::string InstanceMutexName();  // the executable's base name
  // The application title (string 57344), or the executable's base name without one; the
  // profile's application key is named by it.
  static std::string ApplicationTitle();

 private:
  AppOptions m_options;
  HANDLE m_hMutex = nullptr;
  bool m_fOleStarted = false;
  std::unique_ptr<CAppProfile> m_profile;  // from the profile key on; saved once at exit
  std::unique_ptr<CKvrOposUtilityDoc> m_doc;
  std::unique_ptr<CMainFrame> m_frame;
};
