// Until the wizard pages exist, both wizards end as if cancelled: nothing is added.
#include "KvrOposUtilityDoc.h"
#include "WizardHooks.h"

int RunAddDeviceWizard(HWND, CKvrOposUtilityDoc* doc) {
  (void)doc->PrepareAddDevice();
  return doc->FinishAddDevice(/*finished=*/false);
}

int RunAddLogicalNameWizard(HWND, CKvrOposUtilityDoc* doc) {
  (void)doc->PrepareAddLogicalName();
  doc->ClearLogicalName();
  return 0;
}
