#pragma once
// The dialog-driven items of the button-function menu: SINGLE KEY (6), COMBO
// KEY (7), FIRE KEY... (12) and MACRO MANAGER (1101). The button page calls
// AssignDialogFunctionToButton once the CLICK rule has let the choice through;
// the dialog's own step decides whether anything is stored.

class MainConfigButtons;

enum class TDialogAssignResult {
    Cancelled, // the dialog was left without OK, or its result was dropped: nothing changed
    Assigned,  // the button's entry was stored and copied back
};

// Runs the dialog of item AMenuItemID for the page's selected button and
// stores its result through the page. The page has already checked that the
// identifier is one of the four.
TDialogAssignResult AssignDialogFunctionToButton(MainConfigButtons &Page, int AMenuItemID);
