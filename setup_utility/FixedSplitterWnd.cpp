#include "FixedSplitterWnd.h"

#include "WindowRouting.h"
#include "resource.h"

namespace {

constexpr char kSplitterClass[] = "KvrFixedSplitterWnd";

}  // namespace

bool CFixedSplitterWnd::Create(HWND parent, const RECT& rect, int leftWidth) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterWindowClass(kSplitterClass, RouteToObject<CFixedSplitterWnd>,
                           reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
    return false;
  m_leftWidth = leftWidth;
  m_hWnd = CreateWindowExA(0, kSplitterClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                           rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                           parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(AFX_IDW_PANE_FIRST)),
                           instance, this);
  return m_hWnd != nullptr;
}

RECT CFixedSplitterWnd::PaneRect(int column) const {
  RECT client = {};
  GetClientRect(m_hWnd, &client);
  RECT pane = client;
  if (column == 0)
    pane.right = m_leftWidth;
  else
    pane.left = m_leftWidth + kBarWidth;
  return pane;
}

LRESULT CFixedSplitterWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      // The bar between the panes, drawn raised like the class library's splitter bar.
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      RECT client;
      GetClientRect(m_hWnd, &client);
      RECT bar = {m_leftWidth, client.top, m_leftWidth + kBarWidth, client.bottom};
      FillRect(dc, &bar, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &bar, EDGE_RAISED, BF_LEFT | BF_RIGHT);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
    default:
      break;
  }
  // No resize cursor and no tracking: the bar never moves, fixed or not.
  return DefWindowProcA(m_hWnd, message, wParam, lParam);
}
