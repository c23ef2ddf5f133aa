// CMainFrame: the main window. A fixed two-pane splitter with the device tree on the left and
// a form on the right, a status bar, and the commands Add Device, Add Logical Device Name,
// Delete and CheckHealth.
#pragma once
#include "FixedSplitterWnd.h"
#include "LeftTreeView.h"
#include "Win.h"

#include <memory>

class CKvrOposUtilityDoc;

class CMainFrame {
 public:
  explicit CMainFrame(CKvrOposUtilityDoc& doc);
  ~CMainFrame();
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  static constexpr char kWindowClass[] = "KvrOposUtilityFrame";
  static constexpr char kTitle[] = "KVR OPOS Utility for TBX QD Series";
  static constexpr int kWidth = 880;
  static constexpr int kHeight = 550;
  static constexpr int kTreeWidth = 250;

  // Creates the window with its status bar, splitter, tree and blank form (not yet shown).
  [[nodiscard]] bool Create();
  HWND Hwnd() const { return m_hWnd; }
  CKvrOposUtilityDoc& Document() { return m_doc; }
  CLeftTreeView* TreeView() const { return m_tree.get(); }
  HWND RightView() const { return m_hRight; }
  int RightViewNumber() const { return m_rightNumber; }

  // Replaces the right pane with form -1 (blank), 0, 3 or 22.
  void ShowRightView(int number);
  // After a selection: the form the document chose (kKeepRightView keeps the one shown),
  // its controls enabled for the node, and the menu updated.
  void OnSelectionChanged(int number);
  // Enables or grays the commands for the document's selection and redraws the menu bar.
  void UpdateMenu();
  // A new tree view of the same width in place of the old one (after an add or a delete).
  void RecreateTreeView();

  void OnAddDevice();
  void OnAddLogicalDeviceName();
  void OnDelete();
  void OnCheckHealth();

 private:
  template <class T>
  friend LRESULT CALLBACK RouteToObject(HWND, UINT, WPARAM, LPARAM);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCreate();
  bool OnCreateClient();
  void OnCommand(int id);
  void OnMenuSelect(UINT item, UINT flags, HMENU menu);
  void UpdateIndicators();
  void SetStatusText(const char* text);

  CKvrOposUtilityDoc& m_doc;
  HWND m_hWnd = nullptr;
  HWND m_hStatusBar = nullptr;
  CFixedSplitterWnd m_splitter;
  std::unique_ptr<CLeftTreeView> m_tree;
  HWND m_hRight = nullptr;
  int m_rightNumber = -1;
};
