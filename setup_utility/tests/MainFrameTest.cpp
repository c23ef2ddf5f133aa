// The whole program in this process: the application runs on a thread of its own, the test
// drives it with window messages (tree messages carry pointers, so they stay in-process) and
// reads the document only while the GUI thread waits in its message loop.
#include "DocTestFixture.h"
#include "KvrOposUtilityApp.h"
#include "TestPrinter.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

class GuiThread {
 public:
  explicit GuiThread(AppOptions options) {
    std::promise<CKvrOposUtilityApp*> started;
    m_started = started.get_future();
    m_thread = std::thread([this, options, promise = std::move(started)]() mutable {
      CKvrOposUtilityApp app(options);
      if (!app.InitInstance()) {
        promise.set_value(nullptr);
        return;
      }
      promise.set_value(&app);
      app.Run();
      app.ExitInstance();
    });
    if (m_started.wait_for(std::chrono::seconds(60)) == std::future_status::ready)
      m_app = m_started.get();
  }
  ~GuiThread() { Close(); }

  CKvrOposUtilityApp* App() const { return m_app; }
  HWND Frame() const { return m_app ? m_app->MainFrame()->Hwnd() : nullptr; }
  CKvrOposUtilityDoc& Doc() const { return *m_app->Document(); }
  CMainFrame& FrameObject() const { return *m_app->MainFrame(); }

  void Close() {
    if (!m_thread.joinable()) return;
    if (m_app) PostMessageA(Frame(), WM_CLOSE, 0, 0);
    m_thread.join();
    m_app = nullptr;
  }

 private:
  std::future<CKvrOposUtilityApp*> m_started;
  std::thread m_thread;
  CKvrOposUtilityApp* m_app = nullptr;
};

HWND TreePane(HWND frame) {
  return GetDlgItem(GetDlgItem(frame, AFX_IDW_PANE_FIRST), AFX_IDW_PANE_FIRST);
}
HWND TreeControl(HWND frame) { return GetDlgItem(TreePane(frame), IDC_DEVICE_TREE); }

std::string ItemText(HWND tree, HTREEITEM item) { return CLeftTreeView::ItemText(tree, item); }

std::vector<std::string> Children(HWND tree, HTREEITEM parent) {
  std::vector<std::string> texts;
  HTREEITEM child = parent ? TreeView_GetChild(tree, parent) : TreeView_GetRoot(tree);
  for (; child != nullptr; child = TreeView_GetNextSibling(tree, child))
    texts.push_back(ItemText(tree, child));
  return texts;
}

// The item at the end of a path of texts from the root; null when there is none.
HTREEITEM Find(HWND tree, const std::vector<std::string>& path) {
  HTREEITEM item = nullptr;
  for (const std::string& text : path) {
    HTREEITEM child = item ? TreeView_GetChild(tree, item) : TreeView_GetRoot(tree);
    while (child != nullptr && ItemText(tree, child) != text)
      child = TreeView_GetNextSibling(tree, child);
    if (child == nullptr) return nullptr;
    item = child;
  }
  return item;
}

bool Grayed(HWND frame, UINT id) {
  return (GetMenuState(GetMenu(frame), id, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

BOOL CALLBACK CountFrame(HWND hwnd, LPARAM counter) {
  char name[64];
  if (GetClassNameA(hwnd, name, sizeof(name)) && lstrcmpA(name, CMainFrame::kWindowClass) == 0)
    ++*reinterpret_cast<int*>(counter);
  return TRUE;
}

int FramesOpen() {
  int count = 0;
  EnumWindows(CountFrame, reinterpret_cast<LPARAM>(&count));
  return count;
}

const std::string kKvr = kKvrGroupText;
const std::string kOther = kOtherGroupText;

std::string LoadText(UINT id) {
  char text[512];
  const int n = LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof(text));
  return std::string(text, n > 0 ? n : 0);
}

std::string StatusText(HWND frame) {
  char text[256] = {};
  SendMessageA(GetDlgItem(frame, AFX_IDW_STATUS_BAR), SB_GETTEXTA, 0,
               reinterpret_cast<LPARAM>(text));
  return text;
}

TEST(Resources, TitlesMenuAndPrompts) {
  EXPECT_EQ(LoadText(AFX_IDS_APP_TITLE), "KVR OPOS Utility");
  EXPECT_EQ(LoadText(IDR_MAINFRAME),
            "KvrOposUtility\n\nKvrOposUtility\n\n\nKvrOposUtility.Document\n"
            "KvrOposUtility.Document");
  EXPECT_EQ(LoadText(IDP_OLE_INIT_FAILED),
            "OLE initialization failed. Make sure the version of the OLE library is correct.");
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  ASSERT_NE(menu, nullptr);
  const char* popups[] = {"&File", "&Edit", "&Tool", "&Help"};
  ASSERT_EQ(GetMenuItemCount(menu), 4);
  for (int i = 0; i < 4; ++i) {
    char text[64] = {};
    GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, popups[i]);
  }
  const struct {
    UINT id;
    const char* item;
    const char* prompt;
  } rows[] = {
      {ID_APP_EXIT, "E&xit", "Save and exit the application."},
      {ID_ADD_DEVICE, "&Add Device...", "Add the printer, cash drawer, or line display device."},
      {ID_ADD_LOGICAL_DEVICE_NAME, "Add &Logical Device Name...",
       "Add the logical name to device."},
      {ID_DELETE, "&Delete", "Delete the selected device/logical device name."},
      {ID_CHECK_HEALTH, "&CheckHealth", "Execute the CheckHealth(OPOS_CH_INTERACTIVE) method."},
      {ID_APP_ABOUT, "About KVROPOS&Utility...", "Version information, copyright."},
  };
  for (const auto& row : rows) {
    char text[64] = {};
    GetMenuStringA(menu, row.id, text, sizeof(text), MF_BYCOMMAND);
    EXPECT_STREQ(text, row.item) << row.id;
    const std::string prompt = LoadText(row.id);
    EXPECT_EQ(prompt.substr(0, prompt.find('\n')), row.prompt) << row.id;
  }
  DestroyMenu(menu);
}

class MainFrameTest : public DocumentFixture {
 protected:
  MainFrameTest() {
    CreatePrinter("TBX910QD", "1");
    reg.SetString(PrinterPath("Foreign"), "", "OPOS.POSPRINTER.SO.OTHER.1");
    reg.SetString(reg.ClassPath(kPosPrinter), "QuLP", "TBX910QD");
    reg.SetString(reg.ClassPath(kCashDrawer), "QuLD", "TBX910QD_1");
    messages.answer = IDOK;
    options.where = reg.Location();
    options.messages = &messages;
    options.moduleFolder = folder.Path();
    options.profile = reg.Profile();
  }
  // The program's own settings key within the private profile location.
  std::string ProfileKey(const char* section = nullptr) const {
    const std::string app = reg.Profile().parent + "\\KVR\\KVR OPOS Utility";
    return section ? app + "\\" + section : app;
  }
  AppOptions options;
};

// The program's own settings go under the current user's Software\KVR\<application title>.
TEST(Resources, TheProfileKeyIsTheCurrentUsersKvrKey) {
  EXPECT_EQ(CKvrOposUtilityApp::ApplicationTitle(), "KVR OPOS Utility");
  EXPECT_STREQ(kProfileKey, "KVR");
  EXPECT_EQ(kRecentFileCount, 4u);
  const AppOptions real;
  EXPECT_EQ(real.profile.root, HKEY_CURRENT_USER);
  EXPECT_EQ(real.profile.parent, "Software");
}

// The program opens no file, so its recent-file list stays empty: a run reads the list and
// the page count (which makes both sections) and leaves, after exit, the application key with
// an empty "Settings" key and nothing else.
TEST_F(MainFrameTest, ARunLeavesItsProfileKeyWithAnEmptySettingsKey) {
  {
    GuiThread gui(options);
    ASSERT_NE(gui.App(), nullptr);
    EXPECT_EQ(reg.SubKeys(ProfileKey()), (std::vector<std::string>{"Recent File List", "Settings"}));
  }
  EXPECT_EQ(reg.SubKeys(ProfileKey()), std::vector<std::string>{"Settings"});
  EXPECT_EQ(reg.Values(ProfileKey()), std::vector<std::string>{});
  EXPECT_EQ(reg.Values(ProfileKey("Settings")), std::vector<std::string>{});
}

TEST_F(MainFrameTest, StartsFillsItsTreeFollowsTheSelectionAndCloses) {
  // The printer form keeps a stored Windows printer only when the spooler has it.
  SpoolerChangesHeld listedWhileRead;
  std::string error;
  ASSERT_TRUE(AddTestPrinter("QuWin", &error, "KVR TBX910QD")) << error;
  GuiThread gui(options);
  ASSERT_NE(gui.App(), nullptr);
  const HWND frame = gui.Frame();

  char title[128];
  GetWindowTextA(frame, title, sizeof(title));
  EXPECT_STREQ(title, "KVR OPOS Utility for TBX QD Series");
  const LONG style = GetWindowLongA(frame, GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
            WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  RECT outer;
  GetWindowRect(frame, &outer);
  EXPECT_EQ(outer.right - outer.left, 880);
  EXPECT_EQ(outer.bottom - outer.top, 550);
  EXPECT_NE(GetDlgItem(frame, AFX_IDW_STATUS_BAR), nullptr);

  const HWND tree = TreeControl(frame);
  ASSERT_NE(tree, nullptr);
  RECT pane;
  GetWindowRect(TreePane(frame), &pane);
  EXPECT_EQ(pane.right - pane.left, 250);

  EXPECT_EQ(Children(tree, nullptr), (std::vector<std::string>{kKvr, kOther}));
  EXPECT_EQ(Children(tree, Find(tree, {kKvr})),
            (std::vector<std::string>{"POSPrinter", "CashDrawer"}));
  EXPECT_EQ(Children(tree, Find(tree, {kKvr, "POSPrinter"})), std::vector<std::string>{"TBX910QD"});
  EXPECT_EQ(Children(tree, Find(tree, {kKvr, "POSPrinter", "TBX910QD"})),
            std::vector<std::string>{"QuLP"});
  EXPECT_EQ(Children(tree, Find(tree, {kKvr, "CashDrawer", "TBX910QD_1"})),
            std::vector<std::string>{"QuLD"});
  EXPECT_EQ(Children(tree, Find(tree, {kOther, "POSPrinter"})), std::vector<std::string>{"Foreign"});
  EXPECT_TRUE(TreeView_GetItemState(tree, Find(tree, {kKvr}), TVIS_EXPANDED) & TVIS_EXPANDED);
  EXPECT_FALSE(TreeView_GetItemState(tree, Find(tree, {kOther}), TVIS_EXPANDED) & TVIS_EXPANDED);

  // A fresh tree selects the KVR group: blank form, nothing to delete.
  EXPECT_EQ(TreeView_GetSelection(tree), Find(tree, {kKvr}));
  EXPECT_EQ(gui.Doc().m_nNodeType, kNodeKvrGroup);
  EXPECT_EQ(gui.FrameObject().RightViewNumber(), -1);
  EXPECT_TRUE(Grayed(frame, ID_DELETE));
  EXPECT_FALSE(Grayed(frame, ID_ADD_DEVICE));

  TreeView_SelectItem(tree, Find(tree, {kKvr, "POSPrinter", "TBX910QD"}));
  EXPECT_EQ(gui.Doc().m_nNodeType, kNodeKvrPrinter);
  EXPECT_EQ(gui.Doc().m_selectedDeviceName, "TBX910QD");
  EXPECT_EQ(gui.Doc().m_selected.driverName, "QuWin");
  EXPECT_EQ(gui.FrameObject().RightViewNumber(), 22);
  EXPECT_FALSE(Grayed(frame, ID_DELETE));
  EXPECT_FALSE(Grayed(frame, ID_CHECK_HEALTH));

  TreeView_SelectItem(tree, Find(tree, {kOther, "POSPrinter", "Foreign"}));
  EXPECT_EQ(gui.Doc().m_nNodeType, kNodeOtherPrinter);
  EXPECT_EQ(gui.FrameObject().RightViewNumber(), 0);
  EXPECT_TRUE(Grayed(frame, ID_ADD_DEVICE));
  EXPECT_FALSE(Grayed(frame, ID_CHECK_HEALTH));

  TreeView_SelectItem(tree, Find(tree, {kOther}));
  EXPECT_TRUE(Grayed(frame, ID_ADD_LOGICAL_DEVICE_NAME));
  EXPECT_TRUE(Grayed(frame, ID_DELETE));

  // A highlighted command shows its prompt; a closed menu shows "Ready".
  EXPECT_EQ(StatusText(frame), "Ready");
  SendMessageA(frame, WM_MENUSELECT, MAKEWPARAM(ID_DELETE, MF_HILITE),
               reinterpret_cast<LPARAM>(GetMenu(frame)));
  EXPECT_EQ(StatusText(frame), "Delete the selected device/logical device name.");
  SendMessageA(frame, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(StatusText(frame), "Ready");

  // The splitter bar does not move.
  HWND splitter = GetDlgItem(frame, AFX_IDW_PANE_FIRST);
  SendMessageA(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(251, 100));
  SendMessageA(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(320, 100));
  SendMessageA(splitter, WM_LBUTTONUP, 0, MAKELPARAM(320, 100));
  GetWindowRect(TreePane(frame), &pane);
  EXPECT_EQ(pane.right - pane.left, 250);

  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
  gui.Close();
  EXPECT_EQ(FramesOpen(), 0);
}

TEST_F(MainFrameTest, DeletingALogicalNameRebuildsTheTreeOnItsDevice) {
  GuiThread gui(options);
  ASSERT_NE(gui.App(), nullptr);
  const HWND frame = gui.Frame();
  HWND tree = TreeControl(frame);
  TreeView_SelectItem(tree, Find(tree, {kKvr, "POSPrinter", "TBX910QD", "QuLP"}));
  EXPECT_EQ(gui.Doc().m_nNodeType, kNodeKvrPrinterName);
  SendMessageA(frame, WM_COMMAND, ID_DELETE, 0);
  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_EQ(messages.asked[0].text, "Are you sure you want to delete [QuLP] logical device name?");
  EXPECT_EQ(messages.asked[0].icon, static_cast<unsigned>(MB_OKCANCEL | MB_ICONEXCLAMATION));
  EXPECT_FALSE(reg.HasValue(reg.ClassPath(kPosPrinter), "QuLP"));

  tree = TreeControl(frame);
  const HTREEITEM device = Find(tree, {kKvr, "POSPrinter", "TBX910QD"});
  EXPECT_EQ(TreeView_GetSelection(tree), device);
  EXPECT_TRUE(Children(tree, device).empty());
  EXPECT_EQ(gui.Doc().m_nNodeType, kNodeKvrPrinter);

  // Cancel deletes nothing.
  messages.answer = IDCANCEL;
  SendMessageA(frame, WM_COMMAND, ID_DELETE, 0);
  EXPECT_EQ(messages.asked.size(), 2u);
  EXPECT_TRUE(reg.KeyExists(PrinterPath("TBX910QD")));
  EXPECT_EQ(TreeControl(frame), tree);
}

TEST_F(MainFrameTest, DeletingAPrinterTakesItsDrawerFromTheTree) {
  GuiThread gui(options);
  ASSERT_NE(gui.App(), nullptr);
  const HWND frame = gui.Frame();
  HWND tree = TreeControl(frame);
  TreeView_SelectItem(tree, Find(tree, {kKvr, "POSPrinter", "TBX910QD"}));
  SendMessageA(frame, WM_COMMAND, ID_DELETE, 0);
  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_EQ(messages.asked[0].text,
            "Are you sure you want to delete [TBX910QD] and connection drawer device?");
  tree = TreeControl(frame);
  EXPECT_TRUE(Children(tree, Find(tree, {kKvr, "POSPrinter"})).empty());
  EXPECT_TRUE(Children(tree, Find(tree, {kKvr, "CashDrawer"})).empty());
  EXPECT_EQ(Children(tree, Find(tree, {kOther, "POSPrinter"})), std::vector<std::string>{"Foreign"});
  EXPECT_FALSE(reg.KeyExists(DrawerPath("TBX910QD_1")));
}

TEST_F(MainFrameTest, ACancelledAddChangesNothing) {
  GuiThread gui(options);
  ASSERT_NE(gui.App(), nullptr);
  const HWND frame = gui.Frame();
  const HWND tree = TreeControl(frame);
  TreeView_SelectItem(tree, Find(tree, {kKvr, "POSPrinter"}));
  // The wizards run modally on the frame's thread: a second thread cancels them until both
  // commands have returned.
  const DWORD guiThread = GetWindowThreadProcessId(frame, nullptr);
  std::atomic<bool> done{false};
  std::thread canceller([guiThread, &done] {
    while (!done) {
      CancelThreadDialogs(guiThread);
      Sleep(100);
    }
  });
  SendMessageA(frame, WM_COMMAND, ID_ADD_DEVICE, 0);
  SendMessageA(frame, WM_COMMAND, ID_ADD_LOGICAL_DEVICE_NAME, 0);
  done = true;
  canceller.join();
  EXPECT_EQ(TreeControl(frame), tree);
  EXPECT_EQ(gui.Doc().m_wizard.startCode, -1);
  EXPECT_EQ(gui.Doc().CurrentModelIndex(), 0);
  EXPECT_FALSE(gui.Doc().m_wizard.logicalNameMode);
}

std::string g_launched;
UINT WINAPI RecordLaunch(LPCSTR commandLine, UINT) {
  g_launched = commandLine;
  return 33;
}

HWND RightViewControl(HWND frame, int id) {
  return GetDlgItem(GetDlgItem(GetDlgItem(frame, AFX_IDW_PANE_FIRST), AFX_IDW_PANE_FIRST + 1), id);
}

// A timeout typed into its edit is stored when the edit loses the focus; the menu's
// CheckHealth and Exit take no focus from it, and must take the typed value all the same.
TEST_F(MainFrameTest, ATimeoutStillInItsEditIsWrittenByCheckHealthAndExit) {
  GuiThread gui(options);
  ASSERT_NE(gui.App(), nullptr);
  const HWND frame = gui.Frame();
  const HWND tree = TreeControl(frame);
  TreeView_SelectItem(tree, Find(tree, {kKvr, "POSPrinter", "TBX910QD"}));
  ASSERT_EQ(gui.FrameObject().RightViewNumber(), 22);
  gui.Doc().SetLauncher(RecordLaunch);
  const HWND send = RightViewControl(frame, 1001);     // SendTimeout
  const HWND receive = RightViewControl(frame, 1015);  // ReceiveTimeout
  ASSERT_NE(send, nullptr);
  ASSERT_NE(receive, nullptr);
  const std::string path = PrinterPath("TBX910QD");

  SetWindowTextA(send, "4000");
  SendMessageA(frame, WM_COMMAND, ID_CHECK_HEALTH, 0);
  EXPECT_EQ(g_launched, "varnhold.exe TBX910QD/p");
  EXPECT_EQ(reg.Text(path, "SendTimeout"), "4000");

  // An invalid text is not stored: the stored value is written.
  SetWindowTextA(send, "2999");
  SendMessageA(frame, WM_COMMAND, ID_CHECK_HEALTH, 0);
  EXPECT_EQ(reg.Text(path, "SendTimeout"), "4000");
  SetWindowTextA(send, "4000");

  SetWindowTextA(receive, "5000");
  SendMessageA(frame, WM_COMMAND, ID_APP_EXIT, 0);
  gui.Close();
  EXPECT_EQ(reg.Text(path, "ReceiveTimeout"), "5000");
  EXPECT_EQ(reg.Text(path, "SendTimeout"), "4000");
  EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
}

TEST_F(MainFrameTest, ASecondStartEndsWithoutAWindow) {
  GuiThread gui(options);
  ASSERT_NE(gui.App(), nullptr);
  // The second start loads no profile, so its exit writes none back: a list stored meanwhile
  // stays as it is.
  reg.SetString(ProfileKey("Recent File List"), "File1", "C:\\a.txt", /*withTerminator=*/true);
  CKvrOposUtilityApp second(options);
  EXPECT_FALSE(second.InitInstance());
  EXPECT_EQ(second.MainFrame(), nullptr);
  EXPECT_EQ(FramesOpen(), 1);
  second.ExitInstance();
  EXPECT_EQ(reg.Values(ProfileKey("Recent File List")),
            std::vector<std::string>{"File1=SZ:C:\\a.txt\\0"});
  gui.Close();
  // With the first one gone, a new start succeeds.
  GuiThread third(options);
  EXPECT_NE(third.App(), nullptr);
}

TEST_F(MainFrameTest, TheActiveDocumentIsTheFramesOne) {
  EXPECT_EQ(GetActiveOposDocument(), nullptr);
  GuiThread gui(options);
  ASSERT_NE(gui.App(), nullptr);
  EXPECT_EQ(GetActiveOposDocument(), &gui.Doc());
  gui.Close();
  EXPECT_EQ(GetActiveOposDocument(), nullptr);
}

}  // namespace
