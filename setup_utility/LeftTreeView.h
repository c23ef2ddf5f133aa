// CLeftTreeView: the left pane, a tree of the registry's OPOS devices. Its selection decides
// which device the document loads, which form the frame shows and which commands are enabled.
#pragma once
#include "TreeModel.h"
#include "Win.h"

#include <commctrl.h>

#include <string>
#include <vector>

class CKvrOposUtilityDoc;
class CMainFrame;

class CLeftTreeView {
 public:
  CLeftTreeView() = default;
  ~CLeftTreeView();
  CLeftTreeView(const CLeftTreeView&) = delete;
  CLeftTreeView& operator=(const CLeftTreeView&) = delete;

  // Creates the pane over rect and fills the tree (the initial update).
  [[nodiscard]] bool Create(HWND parent, int id, const RECT& rect, CKvrOposUtilityDoc* doc,
                            CMainFrame* frame);
  HWND Hwnd() const { return m_hWnd; }
  HWND Tree() const { return m_hTree; }

  // Rebuilds the tree from the registry and selects the document's selected device.
  void FillTree();
  // The item's text (the tree's messages carry pointers: call it in this process).
  static std::string ItemText(HWND tree, HTREEITEM item);
  // Texts of the item and its ancestors up to the top-level item.
  TreePath PathOf(HTREEITEM item) const;

 private:
  template <class T>
  friend LRESULT CALLBACK RouteToObject(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnNotify(NMHDR* header);
  void OnSelChanged(HTREEITEM item);
  void OnRightClick();
  LRESULT OnCustomDraw(NMTVCUSTOMDRAW* draw);
  void RecomputeNodeType();

  HWND m_hWnd = nullptr;
  HWND m_hTree = nullptr;
  CKvrOposUtilityDoc* m_pDoc = nullptr;
  CMainFrame* m_pFrame = nullptr;
  std::vector<HTREEITEM> m_items;  // in BuildTreeItems order
  bool m_fIgnoreSelection = false;  // filling or closing: selection changes are not the user's
};
