#include "MainFrame.h"

#include "AboutDlg.h"
#include "FrameLogic.h"
#include "KvrOposUtilityDoc.h"
#include "Views.h"
#include "WindowRouting.h"
#include "Wizard.h"
#include "resource.h"

#include <commctrl.h>

namespace {

// The frame whose document the views and wizard pages reach; one per process.
CMainFrame* g_activeFrame = nullptr;

// Message pane first, then the CAP, NUM and SCRL indicators.
constexpr int kIndicatorWidth = 50;
constexpr struct {
  UINT textId;
  int key;
} kIndicators[] = {{ID_INDICATOR_CAPS, VK_CAPITAL}, {ID_INDICATOR_NUM, VK_NUMLOCK},
                   {ID_INDICATOR_SCRL, VK_SCROLL}};

std::string LoadText(UINT id) {
  char text[512];
  const int n = LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof(text));
  return std::string(text, n > 0 ? n : 0);
}

}  // namespace

CKvrOposUtilityDoc* GetActiveOposDocument() {
  return g_activeFrame ? &g_activeFrame->Document() : nullptr;
}

CMainFrame::CMainFrame(CKvrOposUtilityDoc& doc) : m_doc(doc) {}

CMainFrame::~CMainFrame() {
  if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
  if (g_activeFrame == this) g_activeFrame = nullptr;
}

bool CMainFrame::Create() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterWindowClass(kWindowClass, RouteToObject<CMainFrame>,
                           reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                           LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME))))
    return false;
  // Caption, system menu and minimize box only: no sizing border, no maximize box.
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
  if (CreateWindowExA(0, kWindowClass, kTitle, style, CW_USEDEFAULT, CW_USEDEFAULT, kWidth,
                      kHeight, nullptr, menu, instance, this) == nullptr) {
    if (menu != nullptr) DestroyMenu(menu);
    return false;
  }
  g_activeFrame = this;
  return true;
}

bool CMainFrame::OnCreate() {
  m_hStatusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_BOTTOM, 0, 0,
                                 0, 0, m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(AFX_IDW_STATUS_BAR)),
                                 GetModuleHandleA(nullptr), nullptr);
  if (m_hStatusBar == nullptr) return false;
  RECT client;
  GetClientRect(m_hWnd, &client);
  int parts[1 + std::size(kIndicators)];
  const int count = static_cast<int>(std::size(parts));
  for (int i = 0; i < count; ++i) parts[i] = client.right - (count - 1 - i) * kIndicatorWidth;
  SendMessageA(m_hStatusBar, SB_SETPARTS, count, reinterpret_cast<LPARAM>(parts));
  SetStatusText(LoadText(AFX_IDS_IDLEMESSAGE).c_str());
  UpdateIndicators();
  return OnCreateClient();
}

bool CMainFrame::OnCreateClient() {
  RECT client;
  GetClientRect(m_hWnd, &client);
  RECT bar;
  GetWindowRect(m_hStatusBar, &bar);
  client.bottom -= bar.bottom - bar.top;
  if (!m_splitter.Create(m_hWnd, client, kTreeWidth)) return false;
  m_tree = std::make_unique<CLeftTreeView>();
  if (!m_tree->Create(m_splitter.Hwnd(), AFX_IDW_PANE_FIRST, m_splitter.PaneRect(0), &m_doc, this))
    return false;
  if (m_hRight == nullptr) ShowRightView(-1);
  m_splitter.SetFixed();
  return m_hRight != nullptr;
}

void CMainFrame::ShowRightView(int number) {
  const bool enabled = ControlsEnabledForNode(m_doc.m_nNodeType, HasModelName(m_doc.CurrentModel()));
  DestroyRightView(m_hRight);
  m_hRight = CreateRightView(m_splitter.Hwnd(), &m_doc, number, enabled);
  if (m_hRight == nullptr && number != -1)
    m_hRight = CreateRightView(m_splitter.Hwnd(), &m_doc, -1, enabled);
  m_rightNumber = m_hRight != nullptr ? number : -1;
  if (m_hRight == nullptr) return;
  const RECT pane = m_splitter.PaneRect(1);
  SetWindowLongPtrA(m_hRight, GWLP_ID, AFX_IDW_PANE_FIRST + 1);
  MoveWindow(m_hRight, pane.left, pane.top, pane.right - pane.left, pane.bottom - pane.top, FALSE);
  ShowWindow(m_hRight, SW_SHOW);
}

void CMainFrame::OnSelectionChanged(int number) {
  if (number != kKeepRightView)
    ShowRightView(number);
  else if (m_hRight != nullptr)
    SetRightViewControlsEnabled(
        m_hRight, ControlsEnabledForNode(m_doc.m_nNodeType, HasModelName(m_doc.CurrentModel())));
  UpdateMenu();
}

void CMainFrame::RecreateTreeView() {
  m_tree.reset();
  m_tree = std::make_unique<CLeftTreeView>();
  if (!m_tree->Create(m_splitter.Hwnd(), AFX_IDW_PANE_FIRST, m_splitter.PaneRect(0), &m_doc, this))
    m_tree.reset();
}

void CMainFrame::UpdateMenu() {
  HMENU menu = GetMenu(m_hWnd);
  if (menu == nullptr) return;
  const MenuState state = ComputeMenuState(m_doc.m_nTreePosition, m_doc.m_nNodeType,
                                           m_doc.m_classAvailable);
  const struct {
    UINT id;
    bool enabled;
  } items[] = {{ID_ADD_DEVICE, state.addEnabled},
               {ID_ADD_LOGICAL_DEVICE_NAME, state.addEnabled},
               {ID_DELETE, state.deleteEnabled},
               {ID_CHECK_HEALTH, state.deleteEnabled}};
  for (const auto& item : items)
    EnableMenuItem(menu, item.id, MF_BYCOMMAND | (item.enabled ? MF_ENABLED : MF_GRAYED));
  DrawMenuBar(m_hWnd);
}

void CMainFrame::OnAddDevice() {
  if (RunAddDeviceWizard(m_hWnd, &m_doc)) RecreateTreeView();
}

void CMainFrame::OnAddLogicalDeviceName() {
  if (!RunAddLogicalNameWizard(m_hWnd, &m_doc)) return;
  // The new tree selects the new name through the logical-name values; they go afterwards.
  RecreateTreeView();
  m_doc.ClearLogicalName();
}

void CMainFrame::OnDelete() {
  const std::string question = DeleteQuestion(m_doc.m_nNodeType, m_doc.m_selectedText);
  if (question.empty()) return;
  if (m_doc.Messages().Ask(question, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) return;
  if (m_doc.DeleteSelectedNode()) RecreateTreeView();
}

void CMainFrame::OnCheckHealth() { (void)m_doc.RunCheckHealth(); }

void CMainFrame::OnCommand(int id) {
  switch (id) {
    case ID_ADD_DEVICE: OnAddDevice(); break;
    case ID_ADD_LOGICAL_DEVICE_NAME: OnAddLogicalDeviceName(); break;
    case ID_DELETE: OnDelete(); break;
    case ID_CHECK_HEALTH: OnCheckHealth(); break;
    case ID_APP_ABOUT: CAboutDlg::Show(m_hWnd); break;
    case ID_APP_EXIT: PostMessageA(m_hWnd, WM_CLOSE, 0, 0); break;
    default: break;
  }
}

void CMainFrame::SetStatusText(const char* text) {
  SendMessageA(m_hStatusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void CMainFrame::UpdateIndicators() {
  if (m_hStatusBar == nullptr) return;
  for (size_t i = 0; i < std::size(kIndicators); ++i) {
    const bool on = (GetKeyState(kIndicators[i].key) & 1) != 0;
    const std::string text = on ? LoadText(kIndicators[i].textId) : std::string();
    SendMessageA(m_hStatusBar, SB_SETTEXTA, i + 1, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

void CMainFrame::OnMenuSelect(UINT item, UINT flags, HMENU menu) {
  // The prompt is the command's string up to its newline; a closed menu shows "Ready".
  if (flags == 0xFFFF && menu == nullptr) {
    SetStatusText(LoadText(AFX_IDS_IDLEMESSAGE).c_str());
    return;
  }
  if (flags & (MF_POPUP | MF_SEPARATOR)) {
    SetStatusText("");
    return;
  }
  std::string prompt = LoadText(item);
  prompt = prompt.substr(0, prompt.find('\n'));
  SetStatusText(prompt.c_str());
}

LRESULT CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_INITMENUPOPUP:
      UpdateMenu();
      return 0;
    case WM_MENUSELECT:
      OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
      return 0;
    case WM_KEYUP:
    case WM_ACTIVATE:
      UpdateIndicators();
      break;
    case WM_CLOSE:
      // A form's edit holding an invalid value keeps the window: taking the focus away from it
      // makes the form report the value.
      if (m_doc.m_wizard.invalidEntry) {
        SetFocus(m_hWnd);
        return 0;
      }
      DestroyWindow(m_hWnd);
      return 0;
    case WM_DESTROY:
      // The document closes with the frame: the shown device is written back.
      (void)m_doc.CommitSelectedDevice();
      DestroyRightView(m_hRight);
      m_hRight = nullptr;
      m_tree.reset();
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(m_hWnd, message, wParam, lParam);
}
