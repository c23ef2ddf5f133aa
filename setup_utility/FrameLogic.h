// What the main frame decides without a window: menu states, delete questions and the pages
// of the add-device wizards.
#pragma once
#include <string>
#include <vector>

struct MenuState {
  bool addEnabled;      // Add Device and Add Logical Device Name
  bool deleteEnabled;   // Delete and CheckHealth
};
MenuState ComputeMenuState(int treePosition, int nodeType, const bool classAvailable[]);

// The Delete command's question for the node, "" when the node can't be deleted.
std::string DeleteQuestion(int nodeType, const std::string& selectedText);

// Pages of the add-device wizards, in the order the sheet shows them.
enum WizardPage {
  kClassPage,          // CAddDeviceCommPage, dialog 130
  kPrinterModelPage,   // CAddDevicePagePtr1, 131
  kPrinterDriverPage,  // CAddDevicePagePtr2, 132
  kPrinterSettingsPage,// CAddDevicePagePtr3, 133
  kDrawerCountPage,    // CAddDevicePageDrw1, 135
  kFirstDrawerPage,    // CAddDevicePageDrw2, 136
  kSecondDrawerPage,   // CAddDevicePageDrw3, 137
  kLogicalNamePage,    // CAddLDDevicePage, 138
  kEndPage,            // CAddDeviceEndPage, 134
};

struct WizardPlan {
  std::string caption;            // "Add Device" or "Add Logical Device Name"
  std::vector<WizardPage> pages;
  int startCode = -1;             // 0 class page, 1 model page, 2 driver page, 3 drawer pages
};
// Sheet results that mean Finish.
inline constexpr int kWizardFinish = 12325;  // ID_WIZFINISH
