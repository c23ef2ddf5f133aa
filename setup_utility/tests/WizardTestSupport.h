// Helpers for the wizard and form tests: a document over a private registry with both service
// objects registered and the model's files beside it, and a stand-in for the wizard sheet that
// steps through the page logic the way the sheet does.
#pragma once
#include "KvrOposUtilityDoc.h"
#include "QuTestSupport.h"
#include "WizardPage.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

inline constexpr char kKvrPrinterProgId[] = "OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
inline constexpr char kKvrDrawerProgId[] = "OPOS.CASHDRAWER.SO.KVR.CORE.TBXQD";
inline constexpr char kTbxDriver[] = "KVR TBX910QD";

class WizardFixture : public ::testing::Test {
 protected:
  WizardFixture();

  // A device key with its ProgID and DriverName, as another run of the utility left it.
  void AddPrinterKey(const std::string& name, const std::string& driverName,
                     const std::string& progId = kKvrPrinterProgId);
  void AddDrawerKey(const std::string& name, const std::string& progId = kKvrDrawerProgId);
  void AddLogicalName(DeviceClass cls, const std::string& logical, const std::string& device);
  // What filling the tree does: device lists, maker's flags, logical names.
  void Refill();
  // The tree selects the item with this path (item, parent, ..., group).
  void Select(const TreePath& path);
  // Installed Windows printers the document will see: {name, driver}.
  void SetPrinters(const std::vector<std::pair<std::string, std::string>>& printers);
  std::function<void()> PrinterSource();

  PrivateRegistry reg;
  RecordedMessages messages;
  ModuleFolder modules;
  std::unique_ptr<CKvrOposUtilityDoc> doc;
  std::vector<InstalledPrinter> printers;
};

// The sheet's stepping: Next and Back go to the neighbouring page unless the page names
// another; a page's OnInitDialog runs when it is first shown, OnSetActive every time.
class WizardDriver {
 public:
  WizardDriver(CKvrOposUtilityDoc& doc, const WizardPlan& plan,
               std::function<void()> refreshPrinters = {});
  CWizardPageLogic& Page() { return *m_pages[m_current]; }
  FormState& Form() { return Page().Form(); }
  WizardPage Current() const { return m_context.pages[m_current]; }
  int CurrentIndex() const { return m_current; }
  unsigned Buttons() { return Page().Buttons(); }
  // False (and no move) when the page does not offer the button.
  [[nodiscard]] bool Next();
  [[nodiscard]] bool Back();
  bool CanFinish() { return (Buttons() & kWizFinish) != 0; }

  // The user's input: choose a combo item by its text, type into an edit.
  void Choose(int id, const std::string& text);
  void Type(int id, const std::string& text);

 private:
  void Activate(int index);
  WizardContext m_context;
  std::vector<std::unique_ptr<CWizardPageLogic>> m_pages;
  std::vector<bool> m_shown;
  int m_current = 0;
};

std::string PageName(WizardPage page);

// On the settings page of a TBX910QD: SendTimeout 5000, Data Transmitted, 40mm/288dots (value
// "0"), MarkMode Enable ("1"), PrintSpeed Middle ("2"), code page 1252.
void EnterPrinterSettings(WizardDriver& wizard);
