// The cash drawer pages of the add-device wizard: the printer and the number of drawers, then
// the pulse time and status inversion of each drawer.
#pragma once
#include "WizardPage.h"

// Drawer count page (dialog 135).
class CAddDevicePageDrw1 : public CWizardPageLogic {
 public:
  using CWizardPageLogic::CWizardPageLogic;
  void OnSetActive() override;
  void OnSelChange(int id) override;
  int OnWizardNext() override;
  int OnWizardBack() override;

 private:
  bool ForExistingPrinter();
  void Store() override;
  void SetButtons();
};

// One drawer's page: connector 1 (dialog 136) or 2 (dialog 137).
class CAddDevicePageDrawer : public CWizardPageLogic {
 public:
  CAddDevicePageDrawer(WizardContext& context, int index, int connector)
      : CWizardPageLogic(context, index), m_connector(connector) {}
  void OnSetActive() override;
  int OnWizardNext() override;

 private:
  void Store() override;
  const int m_connector;
};

class CAddDevicePageDrw2 : public CAddDevicePageDrawer {
 public:
  CAddDevicePageDrw2(WizardContext& context, int index)
      : CAddDevicePageDrawer(context, index, 1) {}
};

class CAddDevicePageDrw3 : public CAddDevicePageDrawer {
 public:
  CAddDevicePageDrw3(WizardContext& context, int index)
      : CAddDevicePageDrawer(context, index, 2) {}
};
