#include "config/app/MainConfigDialogs.h"

#include "config/app/ButtonFunctions.h"
#include "config/app/SingleKeyfrm.h"
#include "config/app/combofrm.h"
#include "config/app/fireset.h"
#include "config/app/macrofrm.h"
#include "core/DMUnit.h"
#include "core/kwMacroClassUnit.h"

#include <cstring>

namespace {

constexpr int DialogOK = 1;

bool SameButtons(const TMOUSECONFIGINFO &a, const TMOUSECONFIGINFO &b)
{
    return std::memcmp(a.ButtonFuncInfo, b.ButtonFuncInfo, sizeof a.ButtonFuncInfo) == 0;
}

// The key items: the dialog edits a copy of the entry's record; on OK the
// record goes into the entry with the item's function.
template <class Record>
TDialogAssignResult RunKeyDialog(TDM &dm, int b, Record TBUTTONFUNCINFO::*field, uint8_t functionType, int ID,
                                 const std::function<int(Record &)> &dialog, void (*clearText)(Record &))
{
    TBUTTONFUNCINFO work = dm.FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[b];
    Record t = work.*field;
    if (!dialog || dialog(t) != DialogOK)
        return TDialogAssignResult::Cancelled;
    if (clearText)
        clearText(t);
    work.*field = t;
    work.FunctionIndex = static_cast<uint16_t>(RowOfMenuID(ID));
    work.FunctionType = functionType;
    work.MenuID = ID;
    return StoreButtonFunction(dm, b, work) ? TDialogAssignResult::Assigned : TDialogAssignResult::Cancelled;
}

TDialogAssignResult RunMacroManager(TDM &dm, TkwMacroSetClass &db, int b, int &FCurrentMacro,
                                    const TButtonDialogs &dialogs)
{
    TMOUSECONFIGINFO &config = dm.FCurrentProfileInfo.ConfigInfo;
    TBUTTONFUNCINFO &E = config.ButtonFuncInfo[b];
    FCurrentMacro = E.MacroKeyInfo.nMacroIndex;
    QString Name = FieldText(E.MacroKeyInfo.szMacroName, MACRO_NAME_MAX_CHARS);

    bool managerUpdate = false;
    const int R = dialogs.MacroManager ? dialogs.MacroManager(dm, db, Name, managerUpdate) : 2;
    // After OK the manager's edits stand; any other ending has put the macros
    // back as they were. Either way the working list is the authority from
    // here on.
    db.SaveBackCurrentMacroClassDataToCurrentMacroList();
    const QString SetName = db.CurrentMacroSetName();

    TDialogAssignResult result = TDialogAssignResult::Cancelled;
    if (R == DialogOK) {
        TkwMacroClass *list = db.CurrentMacroClass();
        FCurrentMacro = list ? list->IndexOfMacroName(Name) : -1;
        if (FCurrentMacro < 0 || FCurrentMacro >= MACRO_LIST_CAPACITY) {
            DisableButton(E);
            dm.SaveBackToCurrentProfileInfo();
            result = TDialogAssignResult::Disabled;
        } else {
            TBUTTONFUNCINFO work = E;
            work.MenuID = MENU_ID_FIRST_MACRO + FCurrentMacro;
            work.FunctionIndex = static_cast<uint16_t>(RowOfMenuID(MENU_ID_MACRO));
            work.FunctionType = FUNCTION_TYPE_MACRO;
            SetFieldText(work.MacroSetName, SetName);
            SetFieldText(work.MacroName, Name);
            work.MacroKeyInfo = list->MacroKeyInfoList()[static_cast<size_t>(FCurrentMacro)];
            work.MacroKeyInfo.nMacroIndex = static_cast<uint16_t>(FCurrentMacro);
            if (MacroLimitExceeded(config, b, work)) {
                result = TDialogAssignResult::RefusedMacroLimit;
            } else if (StoreButtonFunction(dm, b, work)) {
                result = TDialogAssignResult::Assigned;
            }
        }
    }
    SyncAllProfilesButtonMacros(dm, db);
    return result;
}

void ClearSingleKeyText(TSINGLEKEYINFO &k)
{
    std::memset(k.SingleKeyText, 0, sizeof k.SingleKeyText);
}

void ClearComboKeyText(TCOMBOKEYINFO &k)
{
    std::memset(k.ComboKeyText, 0, sizeof k.ComboKeyText);
}

} // namespace

TButtonDialogs TButtonDialogs::Standard()
{
    return {ShowSingleKeyDialog, ShowComboKeyDialog, ShowFireSettings,
            [](TDM &dm, TkwMacroSetClass &db, QString &name, bool &update) {
                return ShowMacroManager(&dm, db, name, update);
            }};
}

TDialogAssignResult AssignDialogFunction(TDM &dm, TkwMacroSetClass &db, int b, int ID, int &FCurrentMacro,
                                         const TButtonDialogs &dialogs)
{
    if (b < 0 || b >= BUTTON_ENTRY_COUNT)
        return TDialogAssignResult::Cancelled;
    switch (ID) {
    case MENU_ID_SINGLE_KEY:
        return RunKeyDialog<TSINGLEKEYINFO>(dm, b, &TBUTTONFUNCINFO::SingleKey, FUNCTION_TYPE_SINGLE_KEY, ID,
                                            dialogs.SingleKey, ClearSingleKeyText);
    case MENU_ID_COMBO_KEY:
        return RunKeyDialog<TCOMBOKEYINFO>(dm, b, &TBUTTONFUNCINFO::ComboKey, FUNCTION_TYPE_COMBO_KEY, ID,
                                           dialogs.ComboKey, ClearComboKeyText);
    case MENU_ID_FIRE_KEY:
        return RunKeyDialog<TADVANCEDFIREKEYINFO>(dm, b, &TBUTTONFUNCINFO::FireKey, FUNCTION_TYPE_FIRE_KEY, ID,
                                                  dialogs.FireKey, nullptr);
    case MENU_ID_MACRO_MANAGER:
        return RunMacroManager(dm, db, b, FCurrentMacro, dialogs);
    default:
        return TDialogAssignResult::Cancelled;
    }
}

void SyncAllProfilesButtonMacros(TDM &dm, TkwMacroSetClass &db)
{
    const int currentSet = db.CurrentMacroSetIndex();
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        if (p == dm.FProfileIndex) {
            TMOUSECONFIGINFO &config = dm.FCurrentProfileInfo.ConfigInfo;
            const TMOUSECONFIGINFO before = config;
            SyncButtonMacros(config, db);
            if (!SameButtons(before, config))
                dm.SaveBackToCurrentProfileInfo();
            continue;
        }
        auto info = std::make_unique<TMouseProfileInfo>();
        if (!dm.ReadProfileInfo(*info, p))
            continue;
        const auto before = std::make_unique<TMOUSECONFIGINFO>(info->ConfigInfo);
        SyncButtonMacros(info->ConfigInfo, db);
        if (!SameButtons(*before, info->ConfigInfo) && dm.SaveBackToProfileInfo(*info, p))
            dm.SetProfileChanged(p, true);
    }
    // Visiting the buttons' sets moved the current set; the manager's set is
    // the one the sub-menu and APPLY's macro area are built from.
    if (db.CurrentMacroSetIndex() != currentSet)
        db.SwitchToMacroSet(currentSet);
}
