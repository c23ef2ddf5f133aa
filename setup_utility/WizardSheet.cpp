// The add-device wizards as property sheets in wizard mode, and the class choice dialog.
#include "KvrOposUtilityDoc.h"
#include "ViewWindow.h"
#include "Wizard.h"
#include "WizardCommonPages.h"
#include "WizardPage.h"
#include "wizard_views_resource.h"

#include <commctrl.h>
#include <prsht.h>

static_assert(kWizBack == PSWIZB_BACK && kWizNext == PSWIZB_NEXT && kWizFinish == PSWIZB_FINISH,
              "wizard buttons are the sheet's flags");

namespace {

struct SheetRun;

class CPageHost : public CFormHost {
 public:
  CPageHost(std::unique_ptr<CWizardPageLogic> logic, SheetRun& run)
      : CFormHost(std::move(logic)), m_run(run) {}
  CWizardPageLogic& Page() { return static_cast<CWizardPageLogic&>(Logic()); }
  SheetRun& m_run;
};

struct SheetRun {
  WizardContext context;
  std::vector<std::unique_ptr<CPageHost>> pages;
  bool finished = false;
};

void ShowButtons(CPageHost& host) {
  HWND sheet = GetParent(host.Window());
  SendMessageA(sheet, PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(host.Page().Buttons()));
  if (!host.Page().SheetTitle().empty())
    SendMessageA(sheet, PSM_SETTITLEA, 0,
                 reinterpret_cast<LPARAM>(host.Page().SheetTitle().c_str()));
}

// The sheet steps on by itself for 0, or shows the page whose template is the result.
LRESULT MoveResult(CPageHost& host, int target) {
  const WizardContext& context = host.m_run.context;
  if (target < 0 || target >= context.Count()) return 0;
  return WizardPageTemplate(context.pages[target]);
}

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<CPageHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG:
      host = reinterpret_cast<CPageHost*>(reinterpret_cast<PROPSHEETPAGEA*>(lParam)->lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
      host->Attach(window);
      host->Page().OnInitDialog();
      host->Apply();
      return TRUE;
    case WM_COMMAND:
      if (host == nullptr || !host->OnCommand(wParam, lParam)) return FALSE;
      ShowButtons(*host);
      return TRUE;
    case WM_NOTIFY: {
      if (host == nullptr) return FALSE;
      LRESULT result = 0;
      switch (reinterpret_cast<NMHDR*>(lParam)->code) {
        case PSN_SETACTIVE:
          host->Page().OnSetActive();
          host->Apply();
          ShowButtons(*host);
          break;
        case PSN_WIZNEXT:
          host->Read();
          result = MoveResult(*host, host->Page().OnWizardNext());
          break;
        case PSN_WIZBACK:
          host->Read();
          result = MoveResult(*host, host->Page().OnWizardBack());
          break;
        case PSN_WIZFINISH:
          host->m_run.finished = true;
          break;
        default:
          return FALSE;
      }
      SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// Runs the sheet modally; true on Finish.
bool RunSheet(HWND owner, CKvrOposUtilityDoc& doc, const WizardPlan& plan) {
  SheetRun run;
  run.context.doc = &doc;
  run.context.pages = plan.pages;
  run.context.refreshPrinters = [&doc] { doc.ReloadDevices(); };
  std::vector<PROPSHEETPAGEA> sheetPages;
  for (int i = 0; i < run.context.Count(); ++i) {
    run.pages.push_back(std::make_unique<CPageHost>(CreateWizardPage(run.context, i), run));
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = FormResources();
    page.pszTemplate = MAKEINTRESOURCEA(run.pages.back()->Logic().TemplateId());
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(run.pages.back().get());
    sheetPages.push_back(page);
  }
  if (sheetPages.empty()) return false;
  PROPSHEETHEADERA header = {};
  header.dwSize = sizeof(header);
  header.dwFlags = PSH_WIZARD | PSH_PROPSHEETPAGE;
  header.hwndParent = owner;
  header.hInstance = FormResources();
  header.pszCaption = plan.caption.c_str();
  header.nPages = static_cast<UINT>(sheetPages.size());
  header.nStartPage = 0;
  header.ppsp = sheetPages.data();
  const INT_PTR result = PropertySheetA(&header);
  return result > 0 && run.finished;
}

// ---- class choice dialog

INT_PTR CALLBACK SelectClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<CFormHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG: {
      host = reinterpret_cast<CFormHost*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
      host->Attach(window);
      auto& dialog = static_cast<CAddSelectClassDlg&>(host->Logic());
      dialog.OnInitDialog();
      SetWindowTextA(window, dialog.Title().c_str());
      host->Apply();
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        host->Read();
        // Enter still presses a disabled Next: with no class listed there is nothing to take.
        if (host->Logic().Form().GetText(IDC_CLASS_COMBO).empty()) return TRUE;
        EndDialog(window, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(window, IDCANCEL);
        return TRUE;
      }
      return host != nullptr && host->OnCommand(wParam, lParam);
    default:
      return FALSE;
  }
}

// The class for Add Device from a group; false on Cancel.
bool ChooseClass(HWND owner, CKvrOposUtilityDoc& doc) {
  CFormHost host(std::make_unique<CAddSelectClassDlg>(doc));
  const INT_PTR answer =
      DialogBoxParamA(FormResources(), MAKEINTRESOURCEA(host.Logic().TemplateId()), owner,
                      SelectClassProc, reinterpret_cast<LPARAM>(&host));
  if (answer != IDOK) return false;
  (void)static_cast<CAddSelectClassDlg&>(host.Logic()).OnOK();
  return true;
}

void InitControls() {
  INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&init);
}

}  // namespace

int RunAddDeviceWizard(HWND owner, CKvrOposUtilityDoc* doc) {
  if (doc == nullptr) return 0;
  InitControls();
  if (doc->m_nTreePosition == 0 || doc->m_nTreePosition == 5) {
    if (!ChooseClass(owner, *doc)) {
      doc->ClearNewDevice();
      return 0;
    }
  }
  const WizardPlan plan = doc->PrepareAddDevice();
  const bool finished = RunSheet(owner, *doc, plan);
  return doc->FinishAddDevice(finished);
}

int RunAddLogicalNameWizard(HWND owner, CKvrOposUtilityDoc* doc) {
  if (doc == nullptr) return 0;
  InitControls();
  const WizardPlan plan = doc->PrepareAddLogicalName();
  const bool finished = RunSheet(owner, *doc, plan);
  WizardState& w = doc->m_wizard;
  w.logicalNameMode = w.contextMenu = w.classPageShown = false;
  const int added = finished ? doc->AddLogicalName() : 0;
  if (!added) doc->ClearLogicalName();
  return added;
}
