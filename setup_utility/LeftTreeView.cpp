#include "LeftTreeView.h"

#include "KvrOposUtilityDoc.h"
#include "MainFrame.h"
#include "WindowRouting.h"
#include "resource.h"

namespace {

constexpr char kTreeViewClass[] = "KvrLeftTreeView";

}  // namespace

std::string CLeftTreeView::ItemText(HWND tree, HTREEITEM item) {
  char text[260] = {};
  TVITEMA tvi = {};
  tvi.mask = TVIF_TEXT;
  tvi.hItem = item;
  tvi.pszText = text;
  tvi.cchTextMax = sizeof(text);
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tvi));
  return text;
}

CLeftTreeView::~CLeftTreeView() {
  if (m_hWnd != nullptr) DestroyWindow(m_hWnd);
}

bool CLeftTreeView::Create(HWND parent, int id, const RECT& rect, CKvrOposUtilityDoc* doc,
                           CMainFrame* frame) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterWindowClass(kTreeViewClass, RouteToObject<CLeftTreeView>)) return false;
  m_pDoc = doc;
  m_pFrame = frame;
  if (CreateWindowExA(0, kTreeViewClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect.left,
                      rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance,
                      this) == nullptr)
    return false;
  m_hTree = CreateWindowExA(0, WC_TREEVIEWA, "",
                            WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS |
                                TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                            0, 0, rect.right - rect.left, rect.bottom - rect.top, m_hWnd,
                            reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_DEVICE_TREE)),
                            instance, nullptr);
  if (m_hTree == nullptr) return false;
  FillTree();
  return true;
}

void CLeftTreeView::FillTree() {
  CKvrOposUtilityDoc& doc = *m_pDoc;
  m_fIgnoreSelection = true;
  TreeView_DeleteAllItems(m_hTree);
  m_items.clear();
  doc.EnumerateAllDevices();
  doc.ClassifyAllDevices();
  doc.EnumerateAllClasses();
  const std::vector<TreeItemToInsert> plan = BuildTreeItems(doc);
  for (const TreeItemToInsert& item : plan) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = item.parent < 0 ? TVI_ROOT : m_items[item.parent];
    insert.hInsertAfter = item.sorted ? TVI_SORT : TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(item.text.c_str());
    insert.item.lParam = item.data;
    m_items.push_back(reinterpret_cast<HTREEITEM>(
        SendMessageA(m_hTree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert))));
  }
  for (int item : {kItemKvrGroup, kItemKvrPrinters, kItemKvrDrawers})
    TreeView_Expand(m_hTree, m_items[item], TVE_EXPAND);
  doc.ResetSelection();
  const int target = FindItemToSelect(plan, doc.m_selectedDeviceName, doc.m_logical);
  // Whatever the control selected by itself while filling is dropped, so that selecting the
  // target always reaches the document.
  TreeView_SelectItem(m_hTree, nullptr);
  m_fIgnoreSelection = false;
  TreeView_SelectItem(m_hTree, m_items[target]);
}

TreePath CLeftTreeView::PathOf(HTREEITEM item) const {
  TreePath path;
  for (; item != nullptr; item = TreeView_GetParent(m_hTree, item))
    path.push_back(ItemText(m_hTree, item));
  return path;
}

void CLeftTreeView::OnSelChanged(HTREEITEM item) {
  m_pFrame->OnSelectionChanged(m_pDoc->OnTreeSelectionChanged(PathOf(item)));
}

void CLeftTreeView::RecomputeNodeType() {
  const TreePath path = PathOf(TreeView_GetSelection(m_hTree));
  m_pDoc->m_nNodeType = ComputeNodeType(path);
  m_pDoc->m_nTreePosition = ComputeTreePosition(path);
}

void CLeftTreeView::OnRightClick() {
  POINT screen;
  GetCursorPos(&screen);
  POINT client = screen;
  ScreenToClient(m_hTree, &client);
  TVHITTESTINFO hit = {};
  hit.pt = client;
  HTREEITEM item = TreeView_HitTest(m_hTree, &hit);
  if (item != nullptr && (hit.flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL | TVHT_ONITEMSTATEICON)))
    TreeView_SelectItem(m_hTree, item);
  RecomputeNodeType();
  const ContextMenuKind kind = ComputeContextMenuKind(m_pDoc->m_nTreePosition, m_pDoc->m_classAvailable);
  RECT area;
  GetClientRect(m_hTree, &area);
  if (kind != kNoContextMenu && PtInRect(&area, client)) {
    HMENU menu = CreatePopupMenu();
    const UINT add = kind == kContextMenuAdd ? MF_ENABLED : MF_GRAYED;
    const UINT del = ComputeMenuState(m_pDoc->m_nTreePosition, m_pDoc->m_nNodeType,
                                      m_pDoc->m_classAvailable).deleteEnabled
                         ? MF_ENABLED
                         : MF_GRAYED;
    AppendMenuA(menu, MF_STRING | add, ID_ADD_DEVICE, "&Add Device...");
    AppendMenuA(menu, MF_STRING | add, ID_ADD_LOGICAL_DEVICE_NAME, "Add &Logical Device Name...");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING | del, ID_DELETE, "&Delete");
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
  }
  m_pDoc->m_wizard.contextMenu = true;
  DrawMenuBar(m_pFrame->Hwnd());
}

LRESULT CLeftTreeView::OnCustomDraw(NMTVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      if (IsClassItemGrayed(static_cast<int>(draw->nmcd.lItemlParam), m_pDoc->m_classAvailable))
        draw->clrText = GetSysColor(COLOR_GRAYTEXT);
      return CDRF_DODEFAULT;
    default:
      return CDRF_DODEFAULT;
  }
}

LRESULT CLeftTreeView::OnNotify(NMHDR* header) {
  if (header->hwndFrom != m_hTree) return 0;
  switch (header->code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW:
      if (!m_fIgnoreSelection) OnSelChanged(reinterpret_cast<NMTREEVIEWA*>(header)->itemNew.hItem);
      return 0;
    case NM_RCLICK:
      OnRightClick();
      return 1;
    case NM_CUSTOMDRAW:
      return OnCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(header));
    default:
      return 0;
  }
}

LRESULT CLeftTreeView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_SIZE:
      if (m_hTree != nullptr) MoveWindow(m_hTree, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      if (m_hTree != nullptr) SetFocus(m_hTree);
      return 0;
    case WM_DESTROY:
      // Items going away with the control are no selection by the user.
      m_fIgnoreSelection = true;
      break;
    case WM_NCDESTROY:
      m_hTree = nullptr;
      break;
    case WM_COMMAND:
      // The context menu's commands run in the frame after this handler has returned: the
      // frame may replace this very view.
      if (LOWORD(wParam) == ID_ADD_DEVICE) RecomputeNodeType();
      if (LOWORD(wParam) == ID_ADD_DEVICE || LOWORD(wParam) == ID_ADD_LOGICAL_DEVICE_NAME ||
          LOWORD(wParam) == ID_DELETE) {
        PostMessageA(m_pFrame->Hwnd(), WM_COMMAND, LOWORD(wParam), 0);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(m_hWnd, message, wParam, lParam);
}
