#pragma once
// What a choice in the button-function menu stores for a mouse button, and the
// texts a button-function button shows: the display-free half of the GENERAL
// page's button functions. Everything works on the data module's current
// profile record (the working copy the pages edit) and the window's macro
// database; the page around it only opens the menu, shows refusals and sets
// captions.
//
// Stored values are untrusted (a profile file may carry anything): a menu id
// that names no item changes nothing, a FUNCTION_TABLE row is looked up only
// through FunctionTableRow, loops over buttons stop at the 14 entries.

#include "core/pubunit_device_records.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class TDM;
class TkwMacroSetClass;

// Menu identifiers of the items that the window treats by number.
inline constexpr int MENU_ID_CLICK = 1;
inline constexpr int MENU_ID_SINGLE_KEY = 6;
inline constexpr int MENU_ID_COMBO_KEY = 7;
inline constexpr int MENU_ID_MACRO = 11;
inline constexpr int MENU_ID_FIRE_KEY = 12;
inline constexpr int MENU_ID_DISABLE = 16;
inline constexpr int MENU_ID_MACRO_MANAGER = 1101;
inline constexpr int MENU_ID_FIRST_MACRO = 1102;
inline constexpr int MENU_ID_LAST_MACRO = 1199;

// Buttons of the GENERAL page: 13 shown (0..12); entry 13 exists unshown.
inline constexpr int SHOWN_BUTTON_COUNT = 13;

// Distinct macros one profile's buttons may play. The refusal says 5, and 5
// it is: a count of 30 can never be exceeded by 14 buttons, and with 5 the
// five profiles' macros, from whatever sets, always fit the mouse's 30 slots.
inline constexpr int MACRO_BUTTON_LIMIT = 5;

// The texts of the two refusals (translated by the caller).
inline constexpr char CLICK_REFUSAL_TITLE[] = "WARNING";
inline constexpr char CLICK_REFUSAL_TEXT[] = "AT LEAST ONE \"CLICK\" FUNCTION TO BE RETAINED.";
inline constexpr char MACRO_LIMIT_TITLE[] = "WARNING!";
inline constexpr char MACRO_LIMIT_TEXT[] = "YOU CAN ASSIGN MACROS TO BUTTONS SHALL NOT EXCEED 5 .";

// ---- FUNCTION_TABLE lookups --------------------------------------------------

// The first row whose menu identifier is ID; ID itself when none is (so a
// caller must still check the result as a row).
int RowOfMenuID(int ID);
// The menu identifier of row 0..47; -1 for any other row.
int MenuIDOfRow(int Row);

// ---- the MACRO sub-menu --------------------------------------------------------

// The macro list a MACRO sub-menu was built from. A macro chosen from the
// sub-menu is taken from here, names and steps, so it is the macro the user
// saw even when the database's current set moved on since.
struct TMacroSubmenuSource {
    QString SetName; // empty: no set was current
    std::vector<TMACROKEYINFO> Macros;
};

// The database's current set and the list of its current macro class.
TMacroSubmenuSource MacroSubmenuSourceOf(const TkwMacroSetClass &db);
// The caption of sub-item k + 2: translated "MACRO", " #", slot + 1, " <", name, ">".
QString MacroSubmenuCaption(const TMACROKEYINFO &macro);

struct TSelectedMenuItemInfo {
    QString MacroSetName;
    QString MacroName;
    int MacroSetIndex = 0;
    int MacroIndex = -1;
    int AMenuItemId = 0;
};
// The top item / sub-item split of an identifier, and for a MACRO sub-item
// the set and macro names from the sub-menu's source (names stay empty for a
// position the source does not hold).
TSelectedMenuItemInfo GetSelectedMenuItemInfo(int ID, const TMacroSubmenuSource &source);

// ---- counting and repairing entries --------------------------------------------

// An entry equal to the DISABLE choice; every other field zero.
TBUTTONFUNCINFO MakeDisabledButton();
// Makes an entry a DISABLE button in place; it keeps only its ButtonIndex.
void DisableButton(TBUTTONFUNCINFO &e);
// Entries 0..13 with FunctionType 1 and device code 1.
int CountClickButtons(const TMOUSECONFIGINFO &config);
// Distinct macros (set, position) among entries 0..13 with FunctionType 4.
int CountMacroButtons(const TMOUSECONFIGINFO &config);
// Whether putting `work` on button b would exceed MACRO_BUTTON_LIMIT.
bool MacroLimitExceeded(const TMOUSECONFIGINFO &config, int b, const TBUTTONFUNCINFO &work);

// Brings every macro button (FunctionType 4) of `config` in line with the
// database: a button whose set (names compared ignoring case) or macro is gone
// becomes a DISABLE button; otherwise it takes the macro as the set now holds
// it and its position as slot. The 30-unit name field is compared as stored
// with the macro names cut to it, so a long name keeps its button. Leaves the
// database's current set at the set of the last macro button visited.
void SyncButtonMacros(TMOUSECONFIGINFO &config, TkwMacroSetClass &db);

// The macro a macro button names, found as SyncButtonMacros finds it (the
// first set of its name, ignoring case; the macro by its name) and as that
// set holds it now: the current set's working list, another set's stored
// list. Nothing when the set or the macro is gone. The database's current
// set is left as it is.
struct TButtonMacro {
    int SetIndex = -1;
    int Position = -1; // in its set: the "#" the button shows, less one
    TMACROKEYINFO Macro{};
};
std::optional<TButtonMacro> FindButtonMacroInDatabase(const TBUTTONFUNCINFO &e, const TkwMacroSetClass &db);

// ---- assignment ------------------------------------------------------------------

enum class TAssignResult {
    Assigned,          // stored into the current profile and copied back
    Unchanged,         // an identifier that assigns nothing (or a macro position past the list)
    RefusedLastClick,  // the CLICK rule: show the CLICK refusal
    RefusedMacroLimit, // the macro limit: show the macro refusal
    NeedsDialog,       // 6, 7, 12, 1101: the dialog step decides (the CLICK rule has passed)
};

// One menu choice for button b (0..13) of dm's current profile, without the
// dialog items. On Assigned the entry holds the function, the profile is
// copied back (marked changed) and, for a macro, every macro button is synced;
// FCurrentMacro is the macro's position after a macro choice.
TAssignResult AssignFunctionToButton(TDM &dm, TkwMacroSetClass &db, const TMacroSubmenuSource &source, int b,
                                     int ID, int &FCurrentMacro);

// The final step every completed assignment shares: the device code of the
// entry's row, the entry stored as button b, the profile copied back. False
// (nothing stored) for a button outside 0..13 or a row outside the table.
bool StoreButtonFunction(TDM &dm, int b, TBUTTONFUNCINFO work);

// ---- texts -------------------------------------------------------------------------

// The caption of a menu identifier as the menu shows it (translated); empty
// for an identifier that names no item.
QString MenuCaptionOfID(int ID);
// The text of button i's button-function button for the identifier ID.
QString ButtonFunctionText(const TBUTTONFUNCINFO &entry, int ID);
// The identifier a stored entry is shown with: MenuID, or the menu id of its
// row when MenuID is 0 (0 when neither names anything).
int ShownMenuIDOf(const TBUTTONFUNCINFO &entry);
QString GetSingleKeyText(const TBUTTONFUNCINFO &entry);
QString GetComboKeyText(const TBUTTONFUNCINFO &entry);
QString GetMacroText(const TBUTTONFUNCINFO &entry);
// The hint of a button: the single-key, combination (whole) or macro text by
// the entry's device code; empty for the others.
QString ButtonHintText(const TBUTTONFUNCINFO &entry);
