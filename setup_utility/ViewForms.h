// The right-hand forms without their windows: the printer form, the cash drawer form, the
// class form and the blank form. Each edits the document's selected-device values in place.
#pragma once
#include "ViewFormLogic.h"

#include <memory>
#include <string>

class CKvrOposUtilityDoc;
struct DeviceValues;

// Form numbers the frame asks for.
inline constexpr int kBlankViewNumber = -1;
inline constexpr int kClassViewNumber = 0;
inline constexpr int kDrawerViewNumber = 3;
inline constexpr int kPrinterViewNumber = 22;

class CRightViewLogic : public CFormLogic {
 public:
  explicit CRightViewLogic(CKvrOposUtilityDoc& doc) : m_doc(doc) {}
  virtual void OnInitialUpdate() = 0;
  void OnButton(int id) override;  // CheckHealth
  // Stores what the user typed but the form has not stored yet (a valid timeout still in its
  // edit, which is stored only when the edit loses the focus); the window layer reads the
  // controls first. Run before every write of the selected device.
  virtual void TakePendingEdits() {}
  // Enables every control, or disables all but the static texts and the few that stay
  // enabled on a logical name or a device of the other group.
  void EnableControls(bool enabled);

 protected:
  void FillLogControls(const std::string& moduleFolder);
  bool StoreLogControl(int id);  // true when id is a log combo
  void FillVersion();
  CKvrOposUtilityDoc& m_doc;
};

// Printer form (dialog 152).
class CRight22View : public CRightViewLogic {
 public:
  using CRightViewLogic::CRightViewLogic;
  int TemplateId() const override;
  void OnInitialUpdate() override;
  void OnSelChange(int id) override;
  void OnEditChange(int id) override;
  bool OnEditKillFocus(int id) override;
  void TakePendingEdits() override;

 private:
  void FillDriverCombo();
  void FillModelCombos();
  int m_unavailableItem = -1;  // the stored printer that is not offered, -1 none
};

// Cash drawer form (dialog 105).
class CRight03View : public CRightViewLogic {
 public:
  using CRightViewLogic::CRightViewLogic;
  int TemplateId() const override;
  void OnInitialUpdate() override;
  void OnSelChange(int id) override;
};

// Class form (dialog 103): the device name and CheckHealth.
class CRight00View : public CRightViewLogic {
 public:
  using CRightViewLogic::CRightViewLogic;
  int TemplateId() const override;
  void OnInitialUpdate() override;
};

// Blank form (dialog 104).
class CRightBlankView : public CRightViewLogic {
 public:
  using CRightViewLogic::CRightViewLogic;
  int TemplateId() const override;
  void OnInitialUpdate() override {}
};

// The logic of form number (-1, 0, 3, 22); null for any other number.
std::unique_ptr<CRightViewLogic> CreateRightViewLogic(int number, CKvrOposUtilityDoc& doc);

// Controls that stay enabled on a form whose controls are disabled for the node, besides the
// static texts: CheckHealth, the drawer's pulse and inversion combos, the version text.
bool ViewControlStaysEnabled(int id);

inline constexpr char kUnselectedPrinter[] = "Unselected";
// Follows the stored name of a Windows printer that is missing or drives another device.
inline constexpr char kUnavailablePrinterMark[] = " (not available)";
