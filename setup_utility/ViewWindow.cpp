#include "ViewWindow.h"

#include <string>
#include <vector>

namespace {

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

std::string ComboItem(HWND combo, int index) {
  const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT copied =
      SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
  text.resize(copied == CB_ERR ? 0 : static_cast<size_t>(copied));
  return text;
}

bool ComboHolds(HWND combo, const std::vector<std::string>& items) {
  if (SendMessageA(combo, CB_GETCOUNT, 0, 0) != static_cast<LRESULT>(items.size())) return false;
  for (size_t i = 0; i < items.size(); ++i)
    if (ComboItem(combo, static_cast<int>(i)) != items[i]) return false;
  return true;
}

void ApplyCombo(HWND combo, const ControlState& c) {
  if (!ComboHolds(combo, c.items)) {
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : c.items)
      SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  }
  if (SendMessageA(combo, CB_GETCURSEL, 0, 0) != c.selected)
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(c.selected), 0);
}

bool IsEdit(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof(name));
  return lstrcmpiA(name, "Edit") == 0;
}

}  // namespace

void ApplyForm(HWND dialog, const FormState& form) {
  for (const auto& [id, c] : form.Controls()) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) continue;
    if (c.kind == ControlState::kCombo) ApplyCombo(control, c);
    if (c.kind == ControlState::kText) {
      if (c.textLimit > 0 && IsEdit(control))
        SendMessageA(control, EM_LIMITTEXT, static_cast<WPARAM>(c.textLimit), 0);
      if (WindowText(control) != c.text) SetWindowTextA(control, c.text.c_str());
    }
    if ((IsWindowEnabled(control) != FALSE) != c.enabled) EnableWindow(control, c.enabled);
    const bool shown = (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown != c.visible) ShowWindow(control, c.visible ? SW_SHOWNA : SW_HIDE);
  }
}

void ReadForm(HWND dialog, FormState* form) {
  for (auto& [id, c] : form->Controls()) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) continue;
    if (c.kind == ControlState::kCombo) {
      const LRESULT selected = SendMessageA(control, CB_GETCURSEL, 0, 0);
      c.selected = selected == CB_ERR ? -1 : static_cast<int>(selected);
    } else if (c.kind == ControlState::kText && IsEdit(control)) {
      c.text = WindowText(control);
    }
  }
}

void CFormHost::Apply() {
  m_applying = true;
  ApplyForm(m_window, m_logic->Form());
  m_applying = false;
}

bool CFormHost::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  if (m_applying || control == nullptr || m_closing) return false;
  switch (code) {
    case CBN_SELCHANGE:
      Read();
      m_logic->OnSelChange(id);
      break;
    case EN_CHANGE:
      if (!IsEdit(control)) return false;
      Read();
      m_logic->OnEditChange(id);
      break;
    case EN_KILLFOCUS: {
      // A window being hidden or destroyed moves the focus too: nothing to ask then. The
      // message box of a refused value takes the focus itself.
      if (!IsEdit(control) || m_inKillFocus || !IsWindowVisible(m_window)) return false;
      m_inKillFocus = true;
      Read();
      const bool refocus = m_logic->OnEditKillFocus(id);
      Apply();
      if (refocus && IsWindow(control)) {
        SetFocus(control);
        SendMessageA(control, EM_SETSEL, 0, -1);
      }
      m_inKillFocus = false;
      return true;
    }
    case BN_CLICKED:
      if (id == IDOK || id == IDCANCEL) return false;
      m_logic->OnButton(id);
      break;
    default:
      return false;
  }
  Apply();
  return true;
}

HINSTANCE FormResources() { return GetModuleHandleA(nullptr); }
