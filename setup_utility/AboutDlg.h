// CAboutDlg: dialog 100, the program's version.
#pragma once
#include "Win.h"

class CAboutDlg {
 public:
  static void Show(HWND owner);
};
