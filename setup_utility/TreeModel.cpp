#include "TreeModel.h"

#include "KvrOposUtilityDoc.h"

namespace {

// Class item of each class (printer, drawer) in each group (KVR, Other).
constexpr int kClassItems[2][2] = {{kItemKvrPrinters, kItemOtherPrinters},
                                   {kItemKvrDrawers, kItemOtherDrawers}};

bool UnderKvrGroup(const TreePath& path) { return !path.empty() && path.back() == kKvrGroupText; }

// Class of the item just below the group: the item itself, its parent or its grandparent.
int ClassOfPath(const TreePath& path) {
  return path.size() < 2 ? -1 : DeviceClassFromName(path[path.size() - 2]);
}

}  // namespace

int ComputeNodeType(const TreePath& path) {
  const bool kvr = UnderKvrGroup(path);
  switch (path.size()) {
    case 0: return kNodeOtherGroup;
    case 1: return kvr ? kNodeKvrGroup : kNodeOtherGroup;
    case 2: return kNodeClass;
    default: break;
  }
  const int cls = ClassOfPath(path);
  if (cls < 0 || path.size() > 4) return 0;
  if (path.size() == 3) return (kvr ? kNodeKvrPrinter : kNodeOtherPrinter) + cls;
  return (kvr ? kNodeKvrPrinterName : kNodeOtherPrinterName) + cls;
}

int ComputeTreePosition(const TreePath& path) {
  const bool kvr = UnderKvrGroup(path);
  if (path.empty()) return 0;
  if (path.size() == 1) return kvr ? 0 : 5;
  const int cls = ClassOfPath(path);
  if (cls < 0) return -1;
  return kvr ? cls + 1 : cls + 6;
}

int ClassOfNodeType(int nodeType) {
  for (int base : {kNodeKvrPrinter, kNodeOtherPrinter, kNodeKvrPrinterName, kNodeOtherPrinterName})
    if (nodeType >= base && nodeType < base + kDeviceClassCount) return nodeType - base;
  return -1;
}

bool IsLogicalNameNode(int nodeType) {
  return (nodeType >= kNodeKvrPrinterName && nodeType < kNodeKvrPrinterName + 4) ||
         (nodeType >= kNodeOtherPrinterName && nodeType < kNodeOtherPrinterName + 4);
}

std::vector<TreeItemToInsert> BuildTreeItems(const CKvrOposUtilityDoc& doc) {
  std::vector<TreeItemToInsert> items = {
      {kKvrGroupText, -1, 0, false},     {kOtherGroupText, -1, 0, false},
      {"POSPrinter", kItemKvrGroup, 1, false}, {"CashDrawer", kItemKvrGroup, 2, false},
      {"POSPrinter", kItemOtherGroup, 6, false}, {"CashDrawer", kItemOtherGroup, 7, false},
  };
  for (int cls : {kPosPrinter, kCashDrawer}) {
    if (!doc.m_classAvailable[cls]) continue;
    for (const DeviceRecord& d : doc.m_devices[cls])
      items.push_back({d.name, kClassItems[cls][d.makerDevice ? 0 : 1], 0, true});
  }
  const size_t deviceEnd = items.size();
  // A logical name goes under its device in each group that lists a device of that name; a
  // name whose device is not listed is not shown.
  for (int cls : {kPosPrinter, kCashDrawer}) {
    if (!doc.m_classAvailable[cls]) continue;
    for (const LogicalNameRecord& n : doc.m_logicalNames[cls])
      for (int group = 0; group < 2; ++group)
        for (size_t i = 0; i < deviceEnd; ++i)
          if (items[i].parent == kClassItems[cls][group] && items[i].text == n.deviceName) {
            items.push_back({n.logicalName, static_cast<int>(i), 0, false});
            break;
          }
  }
  return items;
}

int FindItemToSelect(const std::vector<TreeItemToInsert>& items, const std::string& deviceName,
                     const LogicalNameValues& justAdded) {
  if (deviceName.empty()) return kItemKvrGroup;
  for (int group = 0; group < 2; ++group) {
    for (int cls : {kPosPrinter, kCashDrawer}) {
      const int classItem = kClassItems[cls][group];
      for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].parent != classItem || items[i].text != deviceName) continue;
        const std::string& added = justAdded.logicalName[cls];
        if (justAdded.className == kClassNames[cls] && !added.empty())
          for (size_t j = i + 1; j < items.size(); ++j)
            if (items[j].parent == static_cast<int>(i) && items[j].text == added)
              return static_cast<int>(j);
        return static_cast<int>(i);
      }
    }
  }
  return kItemKvrGroup;
}

bool IsClassItemGrayed(int itemData, const bool classAvailable[]) {
  if (itemData == 1 || itemData == 6) return !classAvailable[kPosPrinter];
  if (itemData == 2 || itemData == 7) return !classAvailable[kCashDrawer];
  return false;
}

ContextMenuKind ComputeContextMenuKind(int treePosition, const bool classAvailable[]) {
  if (treePosition >= 1 && treePosition <= 4)
    return classAvailable[treePosition - 1] ? kContextMenuAdd : kNoContextMenu;
  if (treePosition == 5) return kContextMenuGrayed;
  if (treePosition >= 6 && treePosition <= 9)
    return classAvailable[treePosition - 6] ? kContextMenuGrayed : kNoContextMenu;
  return kContextMenuAdd;
}

int RightViewForNode(int nodeType, bool rowHasModelName) {
  switch (nodeType) {
    case kNodeKvrGroup: case kNodeClass: case kNodeOtherGroup: return -1;
    case kNodeKvrPrinter: case kNodeKvrPrinterName: return rowHasModelName ? 22 : 0;
    case kNodeKvrDrawer: case kNodeKvrDrawerName: return rowHasModelName ? 3 : 0;
    case kNodeOtherPrinter: case kNodeOtherDrawer:
    case kNodeOtherPrinterName: case kNodeOtherDrawerName: return 0;
    default: return kKeepRightView;
  }
}

bool ControlsEnabledForNode(int nodeType, bool rowHasModelName) {
  const bool restricted = IsLogicalNameNode(nodeType) || nodeType == kNodeOtherPrinter ||
                          nodeType == kNodeOtherDrawer;
  return !restricted && rowHasModelName;
}
