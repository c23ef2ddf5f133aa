// Until the property forms exist, every number shows the empty form (dialog 104).
#include "RightViews.h"

#include "resource.h"

namespace {

INT_PTR CALLBACK BlankProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

bool StaysEnabled(HWND control) {
  switch (GetDlgCtrlID(control)) {
    case 1021: case 1025: case 1026: case 1029: return true;
    default: break;
  }
  char className[16];
  return GetClassNameA(control, className, sizeof(className)) > 0 &&
         lstrcmpiA(className, "Static") == 0;
}

}  // namespace

HWND CreateRightView(HWND parent, CKvrOposUtilityDoc* doc, int number, bool controlsEnabled) {
  if (doc == nullptr || (number != -1 && number != 0 && number != 3 && number != 22))
    return nullptr;
  HWND view = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_RIGHT_BLANK),
                                 parent, BlankProc, 0);
  if (view != nullptr) SetRightViewControlsEnabled(view, controlsEnabled);
  return view;
}

void SetRightViewControlsEnabled(HWND view, bool enabled) {
  for (HWND child = GetWindow(view, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT))
    if (enabled || !StaysEnabled(child)) EnableWindow(child, enabled);
}

void DestroyRightView(HWND view) {
  if (view != nullptr) DestroyWindow(view);
}
