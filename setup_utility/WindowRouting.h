// Plain Win32 windows owned by C++ objects: the class registration and the window procedure
// that hands each message to the object given at creation.
#pragma once
#include "Win.h"

// Registers the window class once per process; true when it exists afterwards.
inline bool RegisterWindowClass(const char* name, WNDPROC proc, HBRUSH background = nullptr,
                                HICON icon = nullptr) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc = {};
  if (GetClassInfoExA(instance, name, &wc)) return true;
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.hIcon = icon;
  wc.lpszClassName = name;
  return RegisterClassExA(&wc) != 0;
}

// The object (T*, passed as CreateWindowEx's last argument) gets every message after
// WM_NCCREATE through T::OnMessage; T::m_hWnd is set at creation and cleared at WM_NCDESTROY.
template <class T>
LRESULT CALLBACK RouteToObject(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->m_hWnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    const LRESULT result = self->OnMessage(message, wParam, lParam);
    self->m_hWnd = nullptr;
    return result;
  }
  return self->OnMessage(message, wParam, lParam);
}
