#include "WizardPage.h"

#include "KvrOposUtilityDoc.h"
#include "WizardCommonPages.h"
#include "WizardDrawerPages.h"
#include "WizardPrinterPages.h"
#include "wizard_views_resource.h"

int WizardContext::IndexOf(WizardPage page) const {
  for (int i = 0; i < Count(); ++i)
    if (pages[i] == page) return i;
  return -1;
}

int CWizardPageLogic::TemplateId() const {
  return WizardPageTemplate(m_context.pages.at(m_index));
}

void CWizardPageLogic::RecordLastPage() { Doc().m_wizard.lastPageIndex = m_index; }

namespace {

struct PageRow {
  WizardPage page;
  int templateId;
  std::unique_ptr<CWizardPageLogic> (*create)(WizardContext&, int);
};

template <class Page>
std::unique_ptr<CWizardPageLogic> Make(WizardContext& context, int index) {
  return std::make_unique<Page>(context, index);
}

const PageRow kPageRows[] = {
    {kClassPage, IDD_WIZ_CLASS, Make<CAddDeviceCommPage>},
    {kPrinterModelPage, IDD_WIZ_MODEL, Make<CAddDevicePagePtr1>},
    {kPrinterDriverPage, IDD_WIZ_DRIVER, Make<CAddDevicePagePtr2>},
    {kPrinterSettingsPage, IDD_WIZ_SETTINGS, Make<CAddDevicePagePtr3>},
    {kDrawerCountPage, IDD_WIZ_DRAWER_COUNT, Make<CAddDevicePageDrw1>},
    {kFirstDrawerPage, IDD_WIZ_DRAWER1, Make<CAddDevicePageDrw2>},
    {kSecondDrawerPage, IDD_WIZ_DRAWER2, Make<CAddDevicePageDrw3>},
    {kLogicalNamePage, IDD_WIZ_LOGICAL, Make<CAddLDDevicePage>},
    {kEndPage, IDD_WIZ_END, Make<CAddDeviceEndPage>},
};

const PageRow* FindRow(WizardPage page) {
  for (const PageRow& row : kPageRows)
    if (row.page == page) return &row;
  return nullptr;
}

}  // namespace

std::unique_ptr<CWizardPageLogic> CreateWizardPage(WizardContext& context, int index) {
  const PageRow* row = FindRow(context.pages.at(index));
  return row ? row->create(context, index) : nullptr;
}

int WizardPageTemplate(WizardPage page) {
  const PageRow* row = FindRow(page);
  return row ? row->templateId : 0;
}
