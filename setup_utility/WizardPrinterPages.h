// The printer pages of the add-device wizard: model, Windows printer and settings.
#pragma once
#include "WizardPage.h"

// Model page (dialog 131).
class CAddDevicePagePtr1 : public CWizardPageLogic {
 public:
  using CWizardPageLogic::CWizardPageLogic;
  void OnInitDialog() override;
  void OnSetActive() override;
  void OnSelChange(int id) override;

 private:
  void Store() override;
};

// Driver page (dialog 132): the new device's name and its Windows printer.
class CAddDevicePagePtr2 : public CWizardPageLogic {
 public:
  using CWizardPageLogic::CWizardPageLogic;
  void OnSetActive() override;

 private:
  void Store() override;
};

// Settings page (dialog 133).
class CAddDevicePagePtr3 : public CWizardPageLogic {
 public:
  using CWizardPageLogic::CWizardPageLogic;
  void OnSetActive() override;
  void OnEditChange(int id) override;
  int OnWizardNext() override;

 private:
  void Store() override;
  void SetButtons();
};
