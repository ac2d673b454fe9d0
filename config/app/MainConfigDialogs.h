#pragma once
// The items of the button-function menu that open a dialog before anything is
// stored for the selected mouse button: SINGLE KEY (6), COMBO KEY (7),
// FIRE KEY... (12) and MACRO MANAGER (1101). The button page runs them once
// the CLICK rule has let the choice through (AssignFunctionToButton answered
// NeedsDialog).
//
// The steps here work on the data module's current profile and the window's
// macro database; what the page shows afterwards is left to it: after
// Assigned, the button's caption (ShowButtonFunction with the item, or the
// macro's MENU_ID_FIRST_MACRO + FCurrentMacro); after the macro manager,
// whatever it answered, the MACRO sub-menu and every caption
// (BuildMacroSubmenu, RefreshButtons); after RefusedMacroLimit, the macro
// refusal (MACRO_LIMIT_TITLE, MACRO_LIMIT_TEXT).

#include "core/pubunit_device_records.h"

#include <QString>

#include <functional>

class TDM;
class TkwMacroSetClass;

enum class TDialogAssignResult {
    Cancelled,         // the dialog was left without OK: the button's entry is unchanged
    Assigned,          // the entry was stored and the profile copied back
    Disabled,          // MACRO MANAGER closed with OK on no macro: the button became DISABLE
    RefusedMacroLimit, // the macro would exceed the limit: the entry was put back, show the refusal
};

// The dialogs the four items open; the defaults are the program's own.
struct TButtonDialogs {
    std::function<int(TSINGLEKEYINFO &)> SingleKey;
    std::function<int(TCOMBOKEYINFO &)> ComboKey;
    std::function<int(TADVANCEDFIREKEYINFO &)> FireKey;
    std::function<int(TDM &, TkwMacroSetClass &, QString &, bool &)> MacroManager;
    static TButtonDialogs Standard();
};

// Runs the dialog of item ID (6, 7, 12 or 1101) for button b (0..13) of dm's
// current profile and stores what it gives. FCurrentMacro is the window's
// position of the last macro chosen: the button's macro slot before the
// manager, the position of the returned macro after OK.
//
// After the macro manager, whatever its ending, every macro button of every
// profile is brought in line with the database (SyncAllProfilesButtonMacros),
// so a macro deleted, renamed or moved in the manager, even one left with
// CANCEL whose edits the next APPLY saves, is the macro APPLY sends for its
// slot. The set name stored with an assigned macro is the set current when
// the manager returns, the set the macro was taken from.
TDialogAssignResult AssignDialogFunction(TDM &dm, TkwMacroSetClass &db, int b, int ID, int &FCurrentMacro,
                                         const TButtonDialogs &dialogs = TButtonDialogs::Standard());

// Brings the macro buttons of all five profiles in line with the database
// (the current profile's working copy for the current profile, the stored
// profiles for the others); a stored profile whose buttons changed is written
// back and marked changed, so APPLY writes its button map again. The
// database's current set is the same afterwards as before.
void SyncAllProfilesButtonMacros(TDM &dm, TkwMacroSetClass &db);
