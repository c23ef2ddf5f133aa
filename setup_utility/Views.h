// The right-hand forms as the main frame uses them. Each is a modeless child dialog that edits
// the document's selected-device values in place; the document writes them to the registry
// when it commits the selected device.
//
// The frame, on ShowRightView(number):
//   DestroyRightView(old);
//   HWND view = CreateRightView(pane, doc, number,
//                               ControlsEnabledForNode(doc->m_nNodeType, HasModelName(row)));
//   MoveWindow(view, <pane rectangle>); ShowWindow(view, SW_SHOW);
// and passes its messages through IsDialogMessageA(view, &msg) so Tab moves between controls.
#pragma once
#include "Win.h"

class CKvrOposUtilityDoc;

// Form number: -1 blank, 0 class form, 3 cash drawer form, 22 printer form. Answers the hidden
// form at the top left of parent, or null for another number or when it cannot be created.
HWND CreateRightView(HWND parent, CKvrOposUtilityDoc* doc, int number, bool controlsEnabled);

// Enables the form's controls, or disables all but the static texts, CheckHealth, the drawer's
// pulse and inversion combos and the version text (logical names, devices of the other group).
void SetRightViewControlsEnabled(HWND view, bool enabled);

// Destroys a form without asking about a timeout being typed (its text is dropped, and the
// document's invalid-entry flag cleared).
void DestroyRightView(HWND view);
