// The device tree as data: which items it holds, and what a selected item means. The tree
// view only turns these rows into tree items and back.
#pragma once
#include "DeviceValues.h"

#include <string>
#include <vector>

class CKvrOposUtilityDoc;

inline constexpr char kKvrGroupText[] = "KVR POS Devices";
inline constexpr char kOtherGroupText[] = "Other POS Devices";

// Texts of the selected item, its parent, ... up to its top-level item; empty: no selection.
using TreePath = std::vector<std::string>;

// Node types of the selected item.
enum NodeType {
  kNodeKvrGroup = 1,
  kNodeClass = 2,
  kNodeKvrPrinter = 3,
  kNodeKvrDrawer = 4,
  kNodeOtherGroup = 10,   // also: nothing selected
  kNodeOtherPrinter = 11,
  kNodeOtherDrawer = 12,
  kNodeKvrPrinterName = 53,   // logical device names
  kNodeKvrDrawerName = 54,
  kNodeOtherPrinterName = 87,
  kNodeOtherDrawerName = 88,
};
int ComputeNodeType(const TreePath& path);  // 0 for an item of no known class

// Tree position code: 0 the KVR group, 1-4 the class (printer, drawer, line display, scanner)
// at or above the item under it; 5 the Other group, 6-9 its classes.
int ComputeTreePosition(const TreePath& path);

// The class a node type stands for, -1 for groups, classes and unknown codes.
int ClassOfNodeType(int nodeType);
bool IsLogicalNameNode(int nodeType);

// One item for the tree control to insert: its text, parent, item data and whether sorted.
// The list holds them in insertion order, a parent always before its children.
struct TreeItemToInsert {
  std::string text;
  int parent;    // index into the list, -1 for a top-level item
  int data;      // class items: 1, 2 (KVR) and 6, 7 (Other); 0 otherwise
  bool sorted;   // devices are inserted sorted, everything else last
};
// Item indexes of the fixed part of the tree.
enum FixedTreeItem {
  kItemKvrGroup = 0,
  kItemOtherGroup = 1,
  kItemKvrPrinters = 2,
  kItemKvrDrawers = 3,
  kItemOtherPrinters = 4,
  kItemOtherDrawers = 5,
};
std::vector<TreeItemToInsert> BuildTreeItems(const CKvrOposUtilityDoc& doc);

// The item to select after a fill: the device named deviceName (or its new logical name when
// one was just added for a device of its class); the first item when none matches.
int FindItemToSelect(const std::vector<TreeItemToInsert>& items, const std::string& deviceName,
                     const LogicalNameValues& justAdded);

// The class item texts are drawn gray while the class's service object is not registered.
bool IsClassItemGrayed(int itemData, const bool classAvailable[]);

enum ContextMenuKind { kNoContextMenu = 0, kContextMenuAdd = 1, kContextMenuGrayed = 2 };
ContextMenuKind ComputeContextMenuKind(int treePosition, const bool classAvailable[]);

// The right-hand form for a node type: -1 blank, 0 class form, 3 drawer form, 22 printer form.
inline constexpr int kKeepRightView = -2;
int RightViewForNode(int nodeType, bool rowHasModelName);
// Whether the form's controls are enabled for the node (else all but a few are disabled).
bool ControlsEnabledForNode(int nodeType, bool rowHasModelName);
