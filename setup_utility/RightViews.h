// The right-hand forms as the frame uses them: modeless child dialogs that edit the document's
// selected-device values in place. The forms' own module declares the same functions; until it
// joins the build, RightViewsStub.cpp shows an empty form for every number.
#pragma once
#include "Win.h"

class CKvrOposUtilityDoc;

// Form number: -1 blank, 0 class form (CRight00View), 3 cash drawer form (CRight03View),
// 22 printer form (CRight22View). Answers the hidden form at the top left of parent, or null
// for another number or when it can't be created.
HWND CreateRightView(HWND parent, CKvrOposUtilityDoc* doc, int number, bool controlsEnabled);

// Enables the form's controls, or disables all but the static texts and the controls 1021
// (CheckHealth), 1025, 1026 and 1029.
void SetRightViewControlsEnabled(HWND view, bool enabled);

// Destroys a form without asking about a value being typed.
void DestroyRightView(HWND view);
