#include "CheckHealthDlg.h"

#include <cstdio>

#include "CheckHealthResource.h"
#include "OposCodes.h"
#include "POSPrinterSOApp.h"
#include "WindowMessages.h"

namespace {

// Room for the longest string of the table (string 10, 73 characters) and more; a longer
// text is cut by LoadStringA, never written past the end.
constexpr int kTextChars = 256;

CCheckHealthDlg s_checkHealthDlg(/*parent=*/nullptr);

}  // namespace

size_t FormatResultCode(char* buffer, size_t size, long value) {
  if (!buffer || size == 0) return 0;
  const int written = std::snprintf(buffer, size, "%ld", value);
  if (written < 0) {
    buffer[0] = '\0';
    return 0;
  }
  return static_cast<size_t>(written) < size ? static_cast<size_t>(written) : size - 1;
}

CCheckHealthDlg& CCheckHealthDlg::Module() { return s_checkHealthDlg; }

bool CCheckHealthDlg::DoModal(ICheckHealthOwner* owner) {
  long idle = 0;
  if (!m_showing.compare_exchange_strong(idle, 1)) return false;
  m_owner.store(owner);
  const INT_PTR shown =
      DialogBoxParamA(CPOSPrinterSOApp::Module(), MAKEINTRESOURCEA(IDD_CHECKHEALTH), m_parent,
                      &CCheckHealthDlg::DialogProc, reinterpret_cast<LPARAM>(this));
  if (shown == -1) {
    // Never shown: a run of an earlier showing must not be reported as this one's.
    m_runFlag.store(0);
    m_resultCode.store(0);
    m_resultCodeExtended.store(0);
  }
  m_owner.store(nullptr);
  m_hwnd.store(nullptr);
  m_showing.store(0);
  return shown != -1;
}

void CCheckHealthDlg::SetResourceText(int control, UINT stringId) const {
  char text[kTextChars] = {};
  if (LoadStringA(CPOSPrinterSOApp::Module(), stringId, text, kTextChars) > 0) {
    SetDlgItemTextA(m_hwnd.load(), control, text);
  }
}

void CCheckHealthDlg::OnShowWindow(BOOL show) {
  // Hiding (as the dialog ends) keeps the codes for the caller to read.
  if (!show) return;
  HWND hwnd = m_hwnd.load();
  char caption[kTextChars] = {};
  if (LoadStringA(CPOSPrinterSOApp::Module(), IDS_CH_CAPTION, caption, kTextChars) > 0) {
    SetWindowTextA(hwnd, caption);
  }
  SetResourceText(IDC_CH_INSTRUCTION, IDS_CH_INSTRUCTION);
  SetResourceText(IDC_CH_LABEL_RESULTCODE, IDS_CH_LABEL_RESULTCODE);
  SetResourceText(IDC_CH_LABEL_RESULTCODEEXTENDED, IDS_CH_LABEL_RESULTCODEEXTENDED);
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  m_runFlag.store(0);
  m_resultCode.store(0);
  m_resultCodeExtended.store(0);
}

void CCheckHealthDlg::OnBnClickedCheckHealth() {
  m_runFlag.store(1);
  OnOK();
}

void CCheckHealthDlg::OnOK() {
  long extended = 0;
  ICheckHealthOwner* owner = m_owner.load();
  const long result = owner ? owner->RunInteractiveCheckHealth(&extended) : OPOS_E_FAILURE;
  m_resultCode.store(result);
  m_resultCodeExtended.store(extended);
  HWND hwnd = m_hwnd.load();
  char text[16];
  FormatResultCode(text, sizeof text, result);
  SetDlgItemTextA(hwnd, IDC_CH_RESULTCODE, text);
  FormatResultCode(text, sizeof text, extended);
  SetDlgItemTextA(hwnd, IDC_CH_RESULTCODEEXTENDED, text);
}

void CCheckHealthDlg::OnCancel() {
  HWND hwnd = m_hwnd.load();
  PostMessageA(hwnd, CheckHealthQuitMessage(), 0, 0);
  EndDialog(hwnd, IDCANCEL);
}

LRESULT CCheckHealthDlg::OnCheckHealthQuit() {
  HWND hwnd = m_hwnd.load();
  if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
  return 0;
}

INT_PTR CALLBACK CCheckHealthDlg::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CCheckHealthDlg*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    dialog->m_hwnd.store(hwnd);
    return TRUE;
  }
  auto* dialog = reinterpret_cast<CCheckHealthDlg*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!dialog) return FALSE;
  if (message == CheckHealthQuitMessage()) {
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, dialog->OnCheckHealthQuit());
    return TRUE;
  }
  switch (message) {
    case WM_SHOWWINDOW:
      dialog->OnShowWindow(static_cast<BOOL>(wParam));
      return FALSE;  // the default handling runs too
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK && HIWORD(wParam) == BN_CLICKED) {
        dialog->OnBnClickedCheckHealth();
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        dialog->OnCancel();
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      dialog->m_hwnd.store(nullptr);
      SetWindowLongPtrA(hwnd, DWLP_USER, 0);
      return FALSE;
    default:
      return FALSE;
  }
}
