// The add-device wizards as the main frame's commands use them.
//
// Add Device (32772):
//   if (RunAddDeviceWizard(hwndFrame, doc)) <re-create the tree view; it selects
//                                             doc->m_selectedDeviceName>
// Add Logical Device Name (32773):
//   if (RunAddLogicalNameWizard(hwndFrame, doc)) { <re-create the tree view; it selects the
//                                                  new name through doc->m_logical>;
//                                                  doc->ClearLogicalName(); }
// Set doc->m_wizard.contextMenu first when the command came from the tree's context menu.
#pragma once
#include "Win.h"

class CKvrOposUtilityDoc;

// Asks for the class when the tree position is a group (0 or 5), runs the wizard and, on
// Finish, creates the drawers and the printer. 1 when they were created; 0 on Cancel or when
// a registry write failed (entries written before the failure stay). The new-device values
// are emptied either way.
int RunAddDeviceWizard(HWND owner, CKvrOposUtilityDoc* doc);

// Runs the logical-name wizard and, on Finish, adds the name. 1 when it was added: the frame
// rebuilds the tree, then calls doc->ClearLogicalName(). 0 on Cancel or failure, with the
// logical-name values already cleared.
int RunAddLogicalNameWizard(HWND owner, CKvrOposUtilityDoc* doc);
