#include "config/app/ButtonFunctions.h"

#include "config/ui/kwLanguage.h"
#include "config/ui/kwMenuItems.h"
#include "core/DMUnit.h"
#include "core/kwKeyCode.h"
#include "core/kwMacroClassUnit.h"
#include "core/pubunit_device_presets.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>

namespace {

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

bool ValidButton(int b) { return InRange(b, 0, BUTTON_ENTRY_COUNT - 1); }

// A consumer usage as an entry stores it: low byte, high byte, no modifier.
THID_CODE_INFO ConsumerCode(const THID_CODE_INFO &preset)
{
    return THID_CODE_INFO{uint16_t(preset.nKeyValue1 & 0xFF), uint16_t((preset.nKeyValue1 >> 8) & 0xFF), 0};
}

// The identifiers that store a function without a dialog and without the
// macro list: everything the menu can report except 6, 7, 12 and MACRO.
bool IsPlainFunctionID(int ID)
{
    return InRange(ID, 1, 5) || ID == 14 || InRange(ID, 1301, 1303) || InRange(ID, 1501, 1502) ||
           ID == MENU_ID_DISABLE || InRange(ID, 801, 808) || InRange(ID, 901, 914) || InRange(ID, 1001, 1008);
}

bool IsDialogID(int ID)
{
    return ID == MENU_ID_SINGLE_KEY || ID == MENU_ID_COMBO_KEY || ID == MENU_ID_FIRE_KEY ||
           ID == MENU_ID_MACRO_MANAGER;
}

// The fields a plain identifier sets, on top of what the entry held.
void ApplyPlainFunction(TBUTTONFUNCINFO &work, int b, int ID)
{
    work.FunctionIndex = uint16_t(RowOfMenuID(ID));
    work.MenuID = ID;
    if (InRange(ID, 1, 5) || ID == 14 || InRange(ID, 1301, 1303) || InRange(ID, 1501, 1502)) {
        work.FunctionType = FUNCTION_TYPE_DEVICE;
        if (ID == MENU_ID_CLICK)
            work.LeftClickFlag = (b == 0 || b == 1) ? 0 : 1;
    } else if (ID == MENU_ID_DISABLE) {
        work.FunctionType = FUNCTION_TYPE_HID_CODE;
        work.HIDCode = THID_CODE_INFO{0, 0, 0};
    } else if (InRange(ID, 801, 808)) {
        GetBasicComboKey(ID - 801, work.ComboKey);
        work.FunctionType = FUNCTION_TYPE_COMBO_KEY;
    } else if (InRange(ID, 901, 906)) {
        GetAdvancedComboKey(ID - 901, work.ComboKey);
        work.FunctionType = FUNCTION_TYPE_COMBO_KEY;
    } else if (InRange(ID, 907, 914)) {
        THID_CODE_INFO h{};
        GetBrowserKeyCode(ID - 907, h);
        work.HIDCode = ConsumerCode(h);
        work.FunctionType = FUNCTION_TYPE_HID_CODE;
    } else if (InRange(ID, 1001, 1008)) {
        THID_CODE_INFO h{};
        GetMediaKeyCode(ID - 1001, h);
        work.HIDCode = ConsumerCode(h);
        work.FunctionType = FUNCTION_TYPE_HID_CODE;
    }
}

// The item definition a menu path names (item numbers count from 1).
const TkwMenuItemDef *ItemDef(int top, int sub)
{
    const auto &items = FunctionMenuItems();
    if (!InRange(top, 1, int(items.size())))
        return nullptr;
    const TkwMenuItemDef &t = items[size_t(top - 1)];
    if (sub < 0)
        return &t;
    if (!InRange(sub, 1, int(t.SubItems.size())))
        return nullptr;
    return &t.SubItems[size_t(sub - 1)];
}

QString MacroNumberText(const TMACROKEYINFO &macro)
{
    return Translate(QStringLiteral("MACRO")) + QStringLiteral(" #") + QString::number(int(macro.nMacroIndex) + 1);
}

// Position of the macro a button names in `list`: the macro names cut to the
// 30-unit field and compared with the field as stored; among several such,
// the one whose whole name the button's copy carries.
int FindButtonMacro(const TBUTTONFUNCINFO &e, const std::vector<TMACROKEYINFO> &list)
{
    const QString stored = FieldText(e.MacroName);
    const QString whole = MacroNameText(e.MacroKeyInfo);
    int first = -1;
    for (int k = 0; k < int(list.size()); ++k) {
        const QString name = MacroNameText(list[size_t(k)]);
        if (CutNameToUnits(name, SHORT_TEXT_UNITS - 1) != stored)
            continue;
        if (name == whole)
            return k;
        if (first < 0)
            first = k;
    }
    return first;
}

} // namespace

// ---- lookups -----------------------------------------------------------------------

int RowOfMenuID(int ID)
{
    return FunctionRowByMenuID(ID).value_or(ID);
}

int MenuIDOfRow(int Row)
{
    const auto row = FunctionTableRow(Row);
    return row ? row->MenuID : -1;
}

// ---- the MACRO sub-menu ------------------------------------------------------------

TMacroSubmenuSource MacroSubmenuSourceOf(const TkwMacroSetClass &db)
{
    TMacroSubmenuSource s;
    s.SetName = db.CurrentMacroSetName();
    if (db.CurrentMacroSetIndex() >= 0 && db.CurrentMacroClass())
        s.Macros = db.CurrentMacroClass()->MacroKeyInfoList();
    if (s.Macros.size() > size_t(MACRO_LIST_CAPACITY))
        s.Macros.resize(size_t(MACRO_LIST_CAPACITY));
    return s;
}

QString MacroSubmenuCaption(const TMACROKEYINFO &macro)
{
    return MacroNumberText(macro) + QStringLiteral(" <") + MacroNameText(macro) + QStringLiteral(">");
}

TSelectedMenuItemInfo GetSelectedMenuItemInfo(int ID, const TMacroSubmenuSource &source)
{
    int t = -1, s = -1;
    if (InRange(ID, INT32_MIN, 99)) {
        t = ID;
    } else if (InRange(ID, 100, 9999)) {
        t = ID / 100;
        s = ID % 100;
    } else if (InRange(ID, 10000, 999999)) {
        t = ID / 10000;
        s = (ID % 10000) / 100;
    }
    TSelectedMenuItemInfo info;
    info.AMenuItemId = ID;
    info.MacroSetIndex = 0;
    info.MacroIndex = s - 2;
    if (t == MENU_ID_MACRO) {
        info.MacroSetName = CutNameToUnits(source.SetName, SHORT_TEXT_UNITS - 1);
        if (info.MacroIndex >= 0 && info.MacroIndex < int(source.Macros.size()))
            info.MacroName = MacroNameText(source.Macros[size_t(info.MacroIndex)]);
    }
    return info;
}

// ---- counting and repairing ------------------------------------------------------------

TBUTTONFUNCINFO MakeDisabledButton()
{
    TBUTTONFUNCINFO e{};
    e.FunctionType = FUNCTION_TYPE_HID_CODE;
    e.FunctionIndex = uint16_t(RowOfMenuID(MENU_ID_DISABLE));
    e.DeviceFunctionCode = DEVICE_FUNCTION_HID_CODE;
    e.HIDCode = THID_CODE_INFO{0, 0, 0};
    e.MenuID = MENU_ID_DISABLE;
    return e;
}

int CountClickButtons(const TMOUSECONFIGINFO &config)
{
    int n = 0;
    for (const TBUTTONFUNCINFO &e : config.ButtonFuncInfo)
        if (e.FunctionType == FUNCTION_TYPE_DEVICE && e.DeviceFunctionCode == DEVICE_FUNCTION_LEFT_CLICK)
            ++n;
    return n;
}

namespace {
int CountMacros(const TMOUSECONFIGINFO &config, int replaced, const TBUTTONFUNCINFO *with)
{
    // A macro is its set and its position there: two sets' macros at the
    // same position are two macros, each needing a slot of the mouse.
    std::set<std::pair<QString, int>> used;
    for (int i = 0; i < BUTTON_ENTRY_COUNT; ++i) {
        const TBUTTONFUNCINFO &e = (i == replaced && with) ? *with : config.ButtonFuncInfo[i];
        if (e.FunctionType == FUNCTION_TYPE_MACRO)
            used.insert({CutNameToUnits(FieldText(e.MacroSetName), MACRO_SET_NAME_UNITS).toCaseFolded(),
                         int(e.MacroKeyInfo.nMacroIndex)});
    }
    return int(used.size());
}
} // namespace

int CountMacroButtons(const TMOUSECONFIGINFO &config) { return CountMacros(config, -1, nullptr); }

bool MacroLimitExceeded(const TMOUSECONFIGINFO &config, int b, const TBUTTONFUNCINFO &work)
{
    return CountMacros(config, b, &work) > MACRO_BUTTON_LIMIT;
}

void DisableButton(TBUTTONFUNCINFO &e)
{
    const uint16_t index = e.ButtonIndex; // which button an entry is, never the function's business
    e = MakeDisabledButton();
    e.ButtonIndex = index;
}

void SyncButtonMacros(TMOUSECONFIGINFO &config, TkwMacroSetClass &db)
{
    for (TBUTTONFUNCINFO &e : config.ButtonFuncInfo) {
        if (e.FunctionType != FUNCTION_TYPE_MACRO)
            continue;
        const QString setName = FieldText(e.MacroSetName);
        if (!db.MacroSetExist(setName) || !db.SwitchToMacroSet(setName) || !db.CurrentMacroClass()) {
            DisableButton(e);
            continue;
        }
        const std::vector<TMACROKEYINFO> &list = db.CurrentMacroClass()->MacroKeyInfoList();
        const int k = FindButtonMacro(e, list);
        if (k < 0 || k >= MACRO_LIST_CAPACITY) {
            DisableButton(e);
            continue;
        }
        e.MacroKeyInfo = list[size_t(k)];
        e.MacroKeyInfo.nMacroIndex = uint16_t(k);
    }
}

std::optional<TButtonMacro> FindButtonMacroInDatabase(const TBUTTONFUNCINFO &e, const TkwMacroSetClass &db)
{
    const QString wanted = CutNameToUnits(FieldText(e.MacroSetName), MACRO_SET_NAME_UNITS);
    const std::vector<TkwMacroListOfMacroSet> &sets = db.MacroSetList();
    for (int s = 0; s < int(sets.size()); ++s) {
        const TkwMacroListOfMacroSet &set = sets[size_t(s)];
        if (!SameMacroSetName(MacroSetNameText(set), wanted))
            continue;
        std::vector<TMACROKEYINFO> list;
        if (s == db.CurrentMacroSetIndex() && db.CurrentMacroClass())
            list = db.CurrentMacroClass()->MacroKeyInfoList();
        else
            list.assign(set.MacroArrays, set.MacroArrays + std::min<int>(set.MacroArrayCount, MACRO_SET_MACRO_CAPACITY));
        const int k = FindButtonMacro(e, list);
        if (k < 0 || k >= MACRO_LIST_CAPACITY)
            return std::nullopt;
        TButtonMacro found{s, k, list[size_t(k)]};
        found.Macro.nMacroIndex = uint16_t(k);
        return found;
    }
    return std::nullopt;
}

// ---- assignment -------------------------------------------------------------------------

bool StoreButtonFunction(TDM &dm, int b, TBUTTONFUNCINFO work)
{
    const auto row = FunctionTableRow(work.FunctionIndex);
    if (!ValidButton(b) || !row)
        return false;
    work.DeviceFunctionCode = row->DeviceFunctionCode;
    dm.FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[b] = work;
    dm.SaveBackToCurrentProfileInfo();
    return true;
}

TAssignResult AssignFunctionToButton(TDM &dm, TkwMacroSetClass &db, const TMacroSubmenuSource &source, int b,
                                     int ID, int &FCurrentMacro)
{
    if (!ValidButton(b))
        return TAssignResult::Unchanged;
    const bool macro = InRange(ID, MENU_ID_FIRST_MACRO, MENU_ID_LAST_MACRO);
    const int m = ID % 100 - 2;
    if (macro && m >= int(source.Macros.size()))
        return TAssignResult::Unchanged;
    if (!macro && !IsPlainFunctionID(ID) && !IsDialogID(ID))
        return TAssignResult::Unchanged;

    TMOUSECONFIGINFO &config = dm.FCurrentProfileInfo.ConfigInfo;
    TBUTTONFUNCINFO &E = config.ButtonFuncInfo[b];
    const TSelectedMenuItemInfo info = GetSelectedMenuItemInfo(ID, source);
    TBUTTONFUNCINFO work = E;

    // The last CLICK button keeps its CLICK, whatever is chosen for it.
    if (CountClickButtons(config) <= 1 && E.DeviceFunctionCode == DEVICE_FUNCTION_LEFT_CLICK)
        return TAssignResult::RefusedLastClick;

    if (IsDialogID(ID))
        return TAssignResult::NeedsDialog;

    if (macro) {
        FCurrentMacro = m;
        work.MenuID = ID;
        work.FunctionIndex = uint16_t(RowOfMenuID(MENU_ID_MACRO));
        work.FunctionType = FUNCTION_TYPE_MACRO;
        SetFieldText(work.MacroSetName, info.MacroSetName);
        SetFieldText(work.MacroName, info.MacroName);
        work.MacroKeyInfo = source.Macros[size_t(m)];
        work.MacroKeyInfo.nMacroIndex = uint16_t(m);
        const auto row = FunctionTableRow(RowOfMenuID(ID / 100));
        work.DeviceFunctionCode = row ? row->DeviceFunctionCode : DEVICE_FUNCTION_MACRO;
        if (MacroLimitExceeded(config, b, work))
            return TAssignResult::RefusedMacroLimit;
        E = work;
        SyncButtonMacros(config, db);
        dm.SaveBackToCurrentProfileInfo();
        return TAssignResult::Assigned;
    }

    ApplyPlainFunction(work, b, ID);
    return StoreButtonFunction(dm, b, work) ? TAssignResult::Assigned : TAssignResult::Unchanged;
}

// ---- texts ----------------------------------------------------------------------------------

QString MenuCaptionOfID(int ID)
{
    const TkwMenuItemDef *d = nullptr;
    if (InRange(ID, 1, 99))
        d = ItemDef(ID, -1);
    else if (InRange(ID, 100, 9999))
        d = ItemDef(ID / 100, ID % 100);
    // No item of the function menu has a third level.
    return d ? Translate(d->Caption) : QString();
}

int ShownMenuIDOf(const TBUTTONFUNCINFO &entry)
{
    return ShownMenuID(entry).value_or(0);
}

QString GetSingleKeyText(const TBUTTONFUNCINFO &entry)
{
    const QString text = FieldText(entry.SingleKey.SingleKeyText);
    if (!text.isEmpty())
        return Translate(text);
    if (entry.DeviceFunctionCode == DEVICE_FUNCTION_SINGLE_KEY)
        return GetKeyDescriptionByVK(entry.SingleKey.nKeyValue1, entry.SingleKey.nKey1Extended);
    return {};
}

QString GetComboKeyText(const TBUTTONFUNCINFO &entry)
{
    const QString text = FieldText(entry.ComboKey.ComboKeyText);
    if (!text.isEmpty())
        return Translate(text);
    if (entry.DeviceFunctionCode != DEVICE_FUNCTION_COMBO_KEY)
        return {};
    const TCOMBOKEYINFO &c = entry.ComboKey;
    const QString k1 = GetKeyDescriptionByVK(c.nKeyValue1, c.nKey1Extended);
    const QString k2 = GetKeyDescriptionByVK(c.nKeyValue2, c.nKey2Extended);
    QString r = k1.isEmpty() ? QString() : GetModifierText(uint8_t(c.nModifier & 0xFF)) + k1;
    if (!k2.isEmpty())
        r += QStringLiteral("+") + k2;
    return r;
}

QString GetMacroText(const TBUTTONFUNCINFO &entry)
{
    if (entry.DeviceFunctionCode != DEVICE_FUNCTION_MACRO)
        return {};
    return MacroNumberText(entry.MacroKeyInfo) + QStringLiteral(" <") + MacroNameText(entry.MacroKeyInfo) +
           QStringLiteral(" >");
}

QString ButtonFunctionText(const TBUTTONFUNCINFO &entry, int ID)
{
    QString text = MenuCaptionOfID(ID);
    if (InRange(ID, MENU_ID_FIRST_MACRO, MENU_ID_LAST_MACRO)) {
        // Built from the entry itself, not from the sub-menu position the
        // identifier once named: after macros move, the position may name
        // another macro or none, while the entry still plays its own.
        text = entry.FunctionType == FUNCTION_TYPE_MACRO ? MacroSubmenuCaption(entry.MacroKeyInfo) : QString();
    } else if (ID == MENU_ID_SINGLE_KEY) {
        const QString key = GetSingleKeyText(entry);
        if (!key.isEmpty())
            text = key;
    } else if (ID == MENU_ID_COMBO_KEY) {
        const QString combo = GetComboKeyText(entry);
        if (!combo.isEmpty())
            text = combo.size() > 12 ? combo.left(9) + QStringLiteral("...") : combo;
    } else if (ID == MENU_ID_MACRO) {
        text = MacroNumberText(entry.MacroKeyInfo);
    }
    return text;
}

QString ButtonHintText(const TBUTTONFUNCINFO &entry)
{
    switch (entry.DeviceFunctionCode) {
    case DEVICE_FUNCTION_SINGLE_KEY:
        return GetSingleKeyText(entry);
    case DEVICE_FUNCTION_COMBO_KEY:
        return GetComboKeyText(entry);
    case DEVICE_FUNCTION_MACRO:
        return GetMacroText(entry);
    default:
        return {};
    }
}
