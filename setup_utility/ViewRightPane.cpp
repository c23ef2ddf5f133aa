// The right-hand forms as modeless child dialogs.
#include "KvrOposUtilityDoc.h"
#include "ViewForms.h"
#include "ViewWindow.h"
#include "Views.h"

namespace {

class CRightViewHost : public CFormHost {
 public:
  CRightViewHost(std::unique_ptr<CRightViewLogic> logic, CKvrOposUtilityDoc& doc)
      : CFormHost(std::move(logic)), m_doc(doc) {}
  CRightViewLogic& View() { return static_cast<CRightViewLogic&>(Logic()); }
  CKvrOposUtilityDoc& m_doc;
};

CRightViewHost* HostOf(HWND window) {
  return reinterpret_cast<CRightViewHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

INT_PTR CALLBACK RightViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CRightViewHost* host = HostOf(window);
  switch (message) {
    case WM_INITDIALOG:
      host = reinterpret_cast<CRightViewHost*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
      host->Attach(window);
      host->View().OnInitialUpdate();
      host->Apply();
      // A commit reads what the edits hold now: a timeout typed into the focused edit has not
      // reached the document yet when Exit or the menu's CheckHealth commits.
      host->m_doc.SetPendingEditsSource([host] {
        host->Read();
        host->View().TakePendingEdits();
      });
      return FALSE;
    case WM_COMMAND:
      return host != nullptr && host->OnCommand(wParam, lParam);
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      if (host != nullptr) host->m_doc.SetPendingEditsSource(nullptr);
      delete host;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

HWND CreateRightView(HWND parent, CKvrOposUtilityDoc* doc, int number, bool controlsEnabled) {
  if (doc == nullptr) return nullptr;
  std::unique_ptr<CRightViewLogic> logic = CreateRightViewLogic(number, *doc);
  if (!logic) return nullptr;
  const int templateId = logic->TemplateId();
  auto* host = new CRightViewHost(std::move(logic), *doc);
  HWND view = CreateDialogParamA(FormResources(), MAKEINTRESOURCEA(templateId), parent,
                                 RightViewProc, reinterpret_cast<LPARAM>(host));
  if (view == nullptr) {
    delete host;
    return nullptr;
  }
  SetRightViewControlsEnabled(view, controlsEnabled);
  return view;
}

void SetRightViewControlsEnabled(HWND view, bool enabled) {
  CRightViewHost* host = HostOf(view);
  if (host == nullptr) return;
  host->View().EnableControls(enabled);
  host->Apply();
}

void DestroyRightView(HWND view) {
  CRightViewHost* host = HostOf(view);
  if (host == nullptr) return;
  host->SetClosing();
  host->m_doc.m_wizard.invalidEntry = false;
  DestroyWindow(view);
}
