#include "KvrOposUtilityApp.h"

#include "DeviceClass.h"
#include "resource.h"

#include <commctrl.h>
#include <ole2.h>

CKvrOposUtilityApp::CKvrOposUtilityApp(AppOptions options) : m_options(std::move(options)) {}

CKvrOposUtilityApp::~CKvrOposUtilityApp() { (void)ExitInstance(); }

std::string CKvrOposUtilityApp::InstanceMutexName() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path, n < MAX_PATH ? n : 0);
  name = name.substr(name.rfind('\\') + 1);
  return name.substr(0, name.rfind('.'));
}

std::string CKvrOposUtilityApp::ApplicationTitle() {
  char text[256];
  const int n = LoadStringA(GetModuleHandleA(nullptr), AFX_IDS_APP_TITLE, text, sizeof(text));
  return n > 0 ? std::string(text, n) : InstanceMutexName();
}

BOOL CKvrOposUtilityApp::InitInstance() {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
  InitCommonControlsEx(&controls);

  if (FAILED(OleInitialize(nullptr))) {
    char text[256];
    LoadStringA(GetModuleHandleA(nullptr), IDP_OLE_INIT_FAILED, text, sizeof(text));
    MessageBoxA(nullptr, text, kUtilityCaption, MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
  }
  m_fOleStarted = true;
  m_profile = std::make_unique<CAppProfile>(m_options.profile, kProfileKey, ApplicationTitle());

  m_hMutex = CreateMutexA(nullptr, TRUE, InstanceMutexName().c_str());
  if (m_hMutex == nullptr) return FALSE;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(m_hMutex);
    m_hMutex = nullptr;
    // The running instance's frame, found by its window class (its title carries more than
    // the program's name).
    if (HWND running = FindWindowA(CMainFrame::kWindowClass, nullptr)) {
      if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
      SetForegroundWindow(running);
    }
    return FALSE;
  }
  m_profile->LoadStdProfileSettings(kRecentFileCount);

  m_doc = std::make_unique<CKvrOposUtilityDoc>(m_options.where, m_options.messages);
  if (!m_options.moduleFolder.empty()) m_doc->SetModuleFolder(m_options.moduleFolder);
  m_frame = std::make_unique<CMainFrame>(*m_doc);
  if (!m_frame->Create()) return FALSE;
  ShowWindow(m_frame->Hwnd(), SW_SHOWNORMAL);
  UpdateWindow(m_frame->Hwnd());
  return TRUE;
}

int CKvrOposUtilityApp::Run() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // Tab and arrow keys move between the controls of the right-hand form.
    HWND form = m_frame ? m_frame->RightView() : nullptr;
    if (form != nullptr && IsDialogMessageA(form, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

int CKvrOposUtilityApp::ExitInstance() {
  m_frame.reset();
  m_doc.reset();
  // Written before the mutex goes, so that a new start reads the settings as left here. A
  // start that ended early loaded nothing and writes nothing.
  if (m_profile) {
    m_profile->SaveStdProfileSettings();
    m_profile.reset();
  }
  if (m_hMutex != nullptr) {
    ReleaseMutex(m_hMutex);
    CloseHandle(m_hMutex);
    m_hMutex = nullptr;
  }
  if (m_fOleStarted) {
    OleUninitialize();
    m_fOleStarted = false;
  }
  return 1;
}
