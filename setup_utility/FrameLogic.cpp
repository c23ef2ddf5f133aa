#include "FrameLogic.h"

#include "DeviceClass.h"
#include "TreeModel.h"

MenuState ComputeMenuState(int treePosition, int nodeType, const bool classAvailable[]) {
  MenuState state;
  switch (treePosition) {
    case 1: state.addEnabled = classAvailable[kPosPrinter]; break;
    case 2: state.addEnabled = classAvailable[kCashDrawer]; break;
    case 5: case 6: case 7: state.addEnabled = false; break;
    default: state.addEnabled = true; break;
  }
  state.deleteEnabled =
      nodeType != kNodeKvrGroup && nodeType != kNodeClass && nodeType != kNodeOtherGroup;
  return state;
}

std::string DeleteQuestion(int nodeType, const std::string& selectedText) {
  const std::string lead = "Are you sure you want to delete [" + selectedText + "]";
  switch (nodeType) {
    case kNodeKvrPrinter: case kNodeOtherPrinter:
      return lead + " and connection drawer device?";
    case kNodeKvrDrawer: case kNodeOtherDrawer:
      return lead + " device?";
    case kNodeKvrPrinterName: case kNodeKvrDrawerName:
    case kNodeOtherPrinterName: case kNodeOtherDrawerName:
      return lead + " logical device name?";
    default:
      return {};
  }
}
