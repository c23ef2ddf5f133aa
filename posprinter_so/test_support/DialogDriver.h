// Driving a dialog from another thread with window messages, each wait polled under a
// generous safety limit.
#pragma once
#include <functional>
#include <string>

#include "Win.h"

namespace sotest {

constexpr DWORD kDialogSafetyMs = 60000;

inline std::string ItemText(HWND dialog, int id) {
  char text[512] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// A click of a dialog button as the button itself reports it.
inline void Click(HWND dialog, int id) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)), SMTO_NORMAL,
                      kDialogSafetyMs, &ignored);
}

// The window `find` names once it is shown, or null when it is not within the limit.
inline HWND WaitForShown(const std::function<HWND()>& find) {
  for (DWORD waited = 0; waited < kDialogSafetyMs; waited += 10) {
    HWND hwnd = find();
    if (hwnd && IsWindowVisible(hwnd)) return hwnd;
    Sleep(10);
  }
  return nullptr;
}

}  // namespace sotest
