// CFixedSplitterWnd: one row, two columns, the left pane of a fixed width. Once fixed, the bar
// can't be dragged: the panes keep their widths for the life of the frame.
#pragma once
#include "Win.h"

class CFixedSplitterWnd {
 public:
  CFixedSplitterWnd() = default;
  CFixedSplitterWnd(const CFixedSplitterWnd&) = delete;
  CFixedSplitterWnd& operator=(const CFixedSplitterWnd&) = delete;

  // Child window with the first pane's id, over rect.
  [[nodiscard]] bool Create(HWND parent, const RECT& rect, int leftWidth);
  HWND Hwnd() const { return m_hWnd; }
  // Pane rectangles in the splitter's client coordinates.
  RECT PaneRect(int column) const;
  int LeftWidth() const { return m_leftWidth; }
  void SetFixed() { m_fFixed = true; }
  bool IsFixed() const { return m_fFixed; }

  static constexpr int kBarWidth = 4;

 private:
  template <class T>
  friend LRESULT CALLBACK RouteToObject(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;
  int m_leftWidth = 0;
  bool m_fFixed = false;
};
