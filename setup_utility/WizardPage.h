// Wizard pages without their windows: the page sequence they share and the base of every page.
#pragma once
#include "FrameLogic.h"
#include "ViewFormLogic.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CKvrOposUtilityDoc;

// Wizard buttons, the sheet's PSWIZB_ flags.
inline constexpr unsigned kWizBack = 1;
inline constexpr unsigned kWizNext = 2;
inline constexpr unsigned kWizFinish = 4;

// What every page of one wizard run shares.
struct WizardContext {
  CKvrOposUtilityDoc* doc = nullptr;
  std::vector<WizardPage> pages;        // in sheet order
  std::function<void()> refreshPrinters;  // rebuilds the document's installed-printer list

  int Count() const { return static_cast<int>(pages.size()); }
  int IndexOf(WizardPage page) const;   // -1 when the page is not in this run
};

// Result of Next or Back: the sheet's own step to the neighbouring page, or the index of the
// page to show instead.
inline constexpr int kStepOn = -1;

class CWizardPageLogic : public CFormLogic {
 public:
  CWizardPageLogic(WizardContext& context, int index) : m_context(context), m_index(index) {}
  int TemplateId() const override;

  virtual void OnInitDialog() {}
  // Fills the controls from the document and sets the buttons.
  virtual void OnSetActive() = 0;
  // Store the controls into the document; answer the page to show (or kStepOn).
  virtual int OnWizardNext() {
    Store();
    return kStepOn;
  }
  virtual int OnWizardBack() {
    Store();
    return kStepOn;
  }

  unsigned Buttons() const { return m_buttons; }
  // A new title for the sheet, "" to leave it.
  const std::string& SheetTitle() const { return m_sheetTitle; }
  int Index() const { return m_index; }

 protected:
  CKvrOposUtilityDoc& Doc() { return *m_context.doc; }
  // What Back and Next keep of the page's controls.
  virtual void Store() {}
  void RecordLastPage();  // this page becomes the one the end page's Back returns to

  WizardContext& m_context;
  const int m_index;
  unsigned m_buttons = 0;
  std::string m_sheetTitle;
};

// The logic of the page at index in the run.
std::unique_ptr<CWizardPageLogic> CreateWizardPage(WizardContext& context, int index);
// Dialog template of a page.
int WizardPageTemplate(WizardPage page);
