// The forms and the wizard as real windows: they are created from their dialog templates, show
// the document, and go away again. The wizard runs modally on the test's thread while a second
// thread of the process presses its buttons.
#include "TestPrinter.h"
#include "Views.h"
#include "Wizard.h"
#include "WizardTestSupport.h"
#include "wizard_views_resource.h"

#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

std::string ControlText(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof(text));
  return text;
}

int ComboCount(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0));
}

// What a driving thread saw, page by page, for the test's thread to check afterwards.
struct Observed {
  std::vector<std::string> lines;
  void Add(const std::string& line) { lines.push_back(line); }
};

int CurrentPageIndex(HWND sheet) {
  HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  return static_cast<int>(SendMessageA(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0));
}

HWND CurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

class WizardWindows : public WizardFixture {
 protected:
  WizardWindows() {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&init);
    m_parent = CreateWindowExA(0, "STATIC", "QwParent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               700, 520, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~WizardWindows() override { DestroyWindow(m_parent); }

  // Runs command on this thread while drive works the dialogs from another one.
  int RunDriven(const std::function<int()>& command, const std::function<void(DWORD)>& drive) {
    const DWORD self = GetCurrentThreadId();
    std::atomic<bool> done{false};
    std::thread driver([&] {
      drive(self);
      // A drive that lost its way must not leave a modal dialog up for ever: cancel whatever
      // is still open on the test's thread until the command returns.
      for (int i = 0; i < 300 && !done; ++i) {
        Sleep(100);
        if (!done) CancelThreadDialogs(self);
      }
    });
    const int result = command();
    done = true;
    driver.join();
    return result;
  }

  HWND m_parent = nullptr;
};

TEST_F(WizardWindows, EachFormIsCreatedFromItsTemplateAndDestroyed) {
  ASSERT_NE(m_parent, nullptr);
  AddPrinterKey("TBX910QD", "");
  Select({"TBX910QD", "POSPrinter", "KVR POS Devices"});
  struct Row {
    int number;
    int control;  // one control of the form, -1 for the blank form
    int comboItems;
  };
  const Row rows[] = {{22, IDC_VIEW_PAPER, 2}, {3, IDC_VIEW_PULSE, 8}, {0, IDC_VIEW_DRIVER, 0},
                      {-1, -1, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.number);
    HWND view = CreateRightView(m_parent, doc.get(), row.number, true);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(GetWindowLongA(view, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(GetParent(view), m_parent);
    if (row.control >= 0) {
      ASSERT_NE(GetDlgItem(view, row.control), nullptr);
      EXPECT_EQ(ComboCount(view, row.control), row.comboItems);
      EXPECT_EQ(ControlText(view, IDC_VIEW_DEVICE_NAME), "TBX910QD");
    } else {
      EXPECT_EQ(GetWindow(view, GW_CHILD), nullptr);
    }
    DestroyRightView(view);
    EXPECT_FALSE(IsWindow(view));
  }
  EXPECT_EQ(CreateRightView(m_parent, doc.get(), 5, true), nullptr);
  EXPECT_EQ(CreateRightView(m_parent, nullptr, 22, true), nullptr);
}

TEST_F(WizardWindows, PrinterFormShowsValuesAndDisablesForALogicalName) {
  AddPrinterKey("TBX910QD", "");
  reg.SetString(reg.DevicePath(kPosPrinter, "TBX910QD"), "SendTimeout", "4500");
  Select({"TBX910QD", "POSPrinter", "KVR POS Devices"});
  HWND view = CreateRightView(m_parent, doc.get(), 22, false);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(ControlText(view, IDC_VIEW_SEND_TIMEOUT), "4500");
  EXPECT_EQ(ControlText(view, IDC_VIEW_VERSION).rfind("Version : ", 0), 0u);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(view, IDC_VIEW_SEND_TIMEOUT)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(view, IDC_VIEW_CHECKHEALTH)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(view, IDC_VIEW_VERSION)));
  SetRightViewControlsEnabled(view, true);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(view, IDC_VIEW_SEND_TIMEOUT)));

  // A choice in a combo reaches the document through the control's own notification.
  HWND speed = GetDlgItem(view, IDC_VIEW_SPEED);
  SendMessageA(speed, CB_SETCURSEL, 1, 0);
  SendMessageA(view, WM_COMMAND, MAKEWPARAM(IDC_VIEW_SPEED, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(speed));
  EXPECT_EQ(doc->m_selected.printSpeed, "1");
  DestroyRightView(view);
}

TEST_F(WizardWindows, RefusedTimeoutComesBackWithTheFocus) {
  AddPrinterKey("TBX910QD", "");
  reg.SetString(reg.DevicePath(kPosPrinter, "TBX910QD"), "SendTimeout", "4500");
  Select({"TBX910QD", "POSPrinter", "KVR POS Devices"});
  HWND view = CreateRightView(m_parent, doc.get(), 22, true);
  ASSERT_NE(view, nullptr);
  ShowWindow(view, SW_SHOW);
  SetForegroundWindow(m_parent);
  HWND send = GetDlgItem(view, IDC_VIEW_SEND_TIMEOUT);
  SetFocus(send);
  ASSERT_EQ(GetFocus(), send);
  SetWindowTextA(send, "2999");
  EXPECT_TRUE(doc->m_wizard.invalidEntry);
  SetFocus(GetDlgItem(view, IDC_VIEW_RECEIVE_TIMEOUT));
  EXPECT_EQ(GetFocus(), send);
  EXPECT_EQ(ControlText(view, IDC_VIEW_SEND_TIMEOUT), "4500");
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"An invalid value is set in the SendTimeout. "});
  EXPECT_FALSE(doc->m_wizard.invalidEntry);
  EXPECT_EQ(doc->m_selected.sendTimeout, "4500");

  SetWindowTextA(send, "3000");
  SetFocus(GetDlgItem(view, IDC_VIEW_RECEIVE_TIMEOUT));
  EXPECT_EQ(doc->m_selected.sendTimeout, "3000");
  EXPECT_EQ(messages.shown.size(), 1u);
  // Destroying the form while a refused value is typed asks nothing.
  SetFocus(send);
  SetWindowTextA(send, "1");
  DestroyRightView(view);
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_FALSE(doc->m_wizard.invalidEntry);
}

TEST_F(WizardWindows, AddDeviceWizardRunsToFinishAndCreatesTheEntries) {
  SpoolerChangesHeld listedWhileRead;
  std::string error;
  ASSERT_TRUE(AddTestPrinter("QwWizardPrinter", &error, kTbxDriver)) << error;
  Select({"POSPrinter", "KVR POS Devices"});
  Observed seen;
  const int result = RunDriven(
      [&] { return RunAddDeviceWizard(m_parent, doc.get()); },
      [&](DWORD thread) {
        HWND sheet = WaitForThreadWindow(thread, "Add Device");
        if (sheet == nullptr) return seen.Add("no sheet");
        auto step = [&](int button) { SendMessageA(sheet, PSM_PRESSBUTTON, button, 0); };
        seen.Add("page " + std::to_string(CurrentPageIndex(sheet)));
        seen.Add("model " + ControlText(CurrentPage(sheet), IDC_MODEL_COMBO));
        step(PSBTN_NEXT);
        HWND page = CurrentPage(sheet);
        seen.Add("page " + std::to_string(CurrentPageIndex(sheet)));
        seen.Add("name " + ControlText(page, IDC_NEW_DEVICE_NAME));
        SendDlgItemMessageA(page, IDC_DRIVER_COMBO, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>("QwWizardPrinter"));
        step(PSBTN_NEXT);
        page = CurrentPage(sheet);
        seen.Add("page " + std::to_string(CurrentPageIndex(sheet)));
        SetDlgItemTextA(page, IDC_SET_SEND_TIMEOUT, "5000");
        step(PSBTN_NEXT);
        page = CurrentPage(sheet);
        seen.Add("page " + std::to_string(CurrentPageIndex(sheet)));
        SendDlgItemMessageA(page, IDC_DRW_COUNT, CB_SETCURSEL, 1, 0);  // one drawer
        step(PSBTN_NEXT);
        seen.Add("page " + std::to_string(CurrentPageIndex(sheet)));
        seen.Add("drawer " + ControlText(CurrentPage(sheet), IDC_DRW_NAME));
        step(PSBTN_NEXT);
        seen.Add("page " + std::to_string(CurrentPageIndex(sheet)));
        step(PSBTN_FINISH);
      });
  EXPECT_EQ(seen.lines, (std::vector<std::string>{"page 0", "model TBX910QD", "page 1",
                                                  "name TBX910QD", "page 2", "page 3", "page 4",
                                                  "drawer TBX910QD_1", "page 6"}));
  EXPECT_EQ(result, 1);
  const std::string printer = reg.DevicePath(kPosPrinter, "TBX910QD");
  EXPECT_EQ(reg.Text(printer, "DriverName"), "QwWizardPrinter");
  EXPECT_EQ(reg.Text(printer, "SendTimeout"), "5000");
  EXPECT_EQ(reg.Text(printer, ""), kKvrPrinterProgId);
  EXPECT_EQ(reg.Text(reg.DevicePath(kCashDrawer, "TBX910QD_1"), "DriverName"), "QwWizardPrinter");
  EXPECT_FALSE(reg.KeyExists(reg.DevicePath(kCashDrawer, "TBX910QD_2")));
  EXPECT_EQ(doc->m_wizard.startCode, -1);
  DeleteTestPrinter("QwWizardPrinter");
}

TEST_F(WizardWindows, ClassChoiceThenCancelWritesNothing) {
  AddPrinterKey("TBX910QD", "QwSomePrinter");
  Select({"KVR POS Devices"});
  Observed seen;
  const int result = RunDriven(
      [&] { return RunAddDeviceWizard(m_parent, doc.get()); },
      [&](DWORD thread) {
        HWND choice = WaitForThreadWindow(thread, "Add Device");
        if (choice == nullptr) return seen.Add("no class choice");
        seen.Add("classes " + std::to_string(ComboCount(choice, IDC_CLASS_COMBO)));
        seen.Add(IsWindowEnabled(GetDlgItem(choice, IDC_SELECT_BACK)) ? "back" : "no back");
        SendDlgItemMessageA(choice, IDC_CLASS_COMBO, CB_SETCURSEL, 1, 0);  // CashDrawer
        PostMessageA(choice, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 500 && IsWindow(choice); ++i) Sleep(20);
        HWND sheet = WaitForThreadWindow(thread, "Add Device");
        if (sheet == nullptr) return seen.Add("no sheet");
        HWND page = CurrentPage(sheet);
        seen.Add("printer " + ControlText(page, IDC_DRW_PRINTER));
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
      });
  EXPECT_EQ(seen.lines,
            (std::vector<std::string>{"classes 2", "no back", "printer TBX910QD"}));
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(reg.KeyExists(reg.ClassPath(kCashDrawer)));
  EXPECT_EQ(doc->m_nTreePosition, 2);
}

TEST_F(WizardWindows, LogicalNameWizardAddsTheName) {
  AddPrinterKey("TBX910QD", "QwSomePrinter");
  Select({"TBX910QD", "POSPrinter", "KVR POS Devices"});
  Observed seen;
  const int result = RunDriven(
      [&] { return RunAddLogicalNameWizard(m_parent, doc.get()); },
      [&](DWORD thread) {
        HWND sheet = WaitForThreadWindow(thread, "Add Logical Device Name");
        if (sheet == nullptr) return seen.Add("no sheet");
        HWND page = CurrentPage(sheet);
        seen.Add("device " + ControlText(page, IDC_LD_DEVICE));
        SetDlgItemTextA(page, IDC_LD_NAME, "QwFrontDesk");
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        seen.Add("page " + std::to_string(CurrentPageIndex(sheet)));
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
      });
  EXPECT_EQ(seen.lines, (std::vector<std::string>{"device TBX910QD", "page 1"}));
  EXPECT_EQ(result, 1);
  EXPECT_EQ(reg.Text(reg.ClassPath(kPosPrinter), "QwFrontDesk"), "TBX910QD");
  EXPECT_EQ(doc->m_logical.logicalName[kPosPrinter], "QwFrontDesk");  // for the tree's refill
  EXPECT_FALSE(doc->m_wizard.logicalNameMode);
}

}  // namespace
