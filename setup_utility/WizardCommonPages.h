// The class choice dialog, the class page, the logical-name page and the end page of the
// add-device wizards, and the naming of new devices.
#pragma once
#include "DeviceClass.h"
#include "WizardPage.h"

#include <string>
#include <vector>

// Classes whose service object is registered, in class order.
std::vector<std::string> AvailableClassNames(const CKvrOposUtilityDoc& doc);

// Class choice before Add Device from a group (dialog 147).
class CAddSelectClassDlg : public CFormLogic {
 public:
  explicit CAddSelectClassDlg(CKvrOposUtilityDoc& doc) : m_doc(doc) {}
  int TemplateId() const override;
  void OnInitDialog();
  const std::string& Title() const { return m_title; }
  // OK: the chosen class (0 POSPrinter ... 3 Scanner, -1 none), applied to the tree position.
  int OnOK();

 private:
  CKvrOposUtilityDoc& m_doc;
  std::string m_title;
};

// Class page (dialog 130).
class CAddDeviceCommPage : public CWizardPageLogic {
 public:
  using CWizardPageLogic::CWizardPageLogic;
  void OnInitDialog() override;
  void OnSetActive() override;
  void OnSelChange(int id) override;
  int OnWizardNext() override;
};

// Logical-name page (dialog 138).
class CAddLDDevicePage : public CWizardPageLogic {
 public:
  using CWizardPageLogic::CWizardPageLogic;
  void OnSetActive() override;
  void OnSelChange(int id) override;
  void OnEditChange(int id) override;
  int OnWizardNext() override;

 private:
  int Class();
  void Store() override;
  void SetButtons();
};

// End page (dialog 134).
class CAddDeviceEndPage : public CWizardPageLogic {
 public:
  using CWizardPageLogic::CWizardPageLogic;
  void OnSetActive() override;
  int OnWizardBack() override;
};

inline constexpr int kLogicalNameMax = 20;
// Not empty, at most 20 characters, and no logical name of the class yet.
bool IsValidLogicalName(const CKvrOposUtilityDoc& doc, int cls, const std::string& name);

// Name of a new device of the class made from base: base itself for the first device of the
// current model, else base-02 ... base-99 (the lowest one free). "" after the message when all
// 99 are taken.
std::string GenerateNewDeviceName(CKvrOposUtilityDoc& doc, DeviceClass cls,
                                  const std::string& base);
