// The add-device wizards as the frame's commands use them. The wizard's own module declares
// the same functions; until it joins the build, WizardStub.cpp answers Cancel.
#pragma once
#include "Win.h"

class CKvrOposUtilityDoc;

// Asks for the class when the tree position is a group (0 or 5), runs the wizard and, on
// Finish, creates the drawers and the printer. 1 when they were created (the frame rebuilds
// the tree); 0 on Cancel or a failed write. The new-device values are emptied either way.
int RunAddDeviceWizard(HWND owner, CKvrOposUtilityDoc* doc);

// Runs the logical-name wizard and, on Finish, adds the name. 1 when it was added (the frame
// rebuilds the tree, then calls doc->ClearLogicalName()); 0 on Cancel or failure, with the
// logical-name values already cleared.
int RunAddLogicalNameWizard(HWND owner, CKvrOposUtilityDoc* doc);
