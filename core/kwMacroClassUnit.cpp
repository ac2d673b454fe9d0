#include "core/kwMacroClassUnit.h"

#include "platform/Paths.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

int KeyValue(const TMACROKEY &step)
{
    return step.VALUE1 + 256 * step.VALUE2;
}

// Steps the press/release check balances: keys, buttons and type 5.
bool TakesPartInBalance(const TMACROKEY &step)
{
    return step.nKeyType == MACRO_STEP_KEY || step.nKeyType == MACRO_STEP_PRESS_RELEASE ||
           step.nKeyType == MACRO_STEP_MOUSE_BUTTON;
}

bool IsDown(const TMACROKEY &step)
{
    return step.nKeyState == 1;
}

// A macro as the list keeps it: a step count the record can hold.
TMACROKEYINFO Sanitised(const TMACROKEYINFO &macro)
{
    TMACROKEYINFO m = macro;
    m.MacroListCount = CheckedMacroListCount(macro);
    return m;
}

char16_t FoldAsciiCase(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

void SetSetName(TkwMacroListOfMacroSet &set, const QString &name)
{
    const QString cut = CutNameToUnits(name, MACRO_SET_NAME_UNITS);
    std::fill(std::begin(set.MacroSetName), std::end(set.MacroSetName), char16_t(0));
    std::copy_n(reinterpret_cast<const char16_t *>(cut.utf16()), cut.size(), set.MacroSetName);
}

} // namespace

QString CutNameToUnits(const QString &name, int units)
{
    qsizetype n = name.indexOf(QChar(0));
    if (n < 0)
        n = name.size();
    if (n > units) {
        n = units;
        if (name.at(n - 1).isHighSurrogate())
            --n;
    }
    return name.left(n);
}

QString MacroSetNameText(const TkwMacroListOfMacroSet &set)
{
    return FieldText(set.MacroSetName, MACRO_SET_NAME_UNITS);
}

bool SameMacroSetName(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (FoldAsciiCase(a.at(i).unicode()) != FoldAsciiCase(b.at(i).unicode()))
            return false;
    return true;
}

// ===========================================================================
// TkwActionsClass
// ===========================================================================

TkwActionsClass::TkwActionsClass() = default;

std::unique_ptr<TkwActionsClass> TkwActionsClass::CtrlCreate(const TMACROKEYINFO &AMacroKeyInfo, int AMacroIndex,
                                                             TkwMacroClass *AMacroClass)
{
    auto editor = std::make_unique<TkwActionsClass>();
    const int count = CheckedMacroListCount(AMacroKeyInfo);
    editor->FActionsList.assign(AMacroKeyInfo.MacroList, AMacroKeyInfo.MacroList + count);
    if (count > 0)
        editor->FActionsIndex = 0;
    editor->FORGMacroKeyInfo = AMacroKeyInfo;
    editor->FMacroClass = AMacroClass;
    editor->FMacroIndex = AMacroIndex;
    editor->FMacroId = AMacroClass ? AMacroClass->MacroIdAt(AMacroIndex) : 0;
    return editor;
}

TMACROKEYINFO TkwActionsClass::EditorRecord() const
{
    TMACROKEYINFO rec = FORGMacroKeyInfo;
    rec.MacroListCount = GetCount();
    std::copy(FActionsList.begin(), FActionsList.end(), rec.MacroList);
    return rec;
}

void TkwActionsClass::GetMacroKeyInfo(TMACROKEYINFO &out) const
{
    out = EditorRecord();
}

void TkwActionsClass::SetMacroKeyInfo(const TMACROKEYINFO &AMacroKeyInfo)
{
    const int count = CheckedMacroListCount(AMacroKeyInfo);
    FActionsList.assign(AMacroKeyInfo.MacroList, AMacroKeyInfo.MacroList + count);
    if (count > 0)
        FActionsIndex = 0;
    else if (FActionsIndex >= count)
        FActionsIndex = -1;
    FORGMacroKeyInfo = AMacroKeyInfo;
    SaveBack();
}

bool TkwActionsClass::SaveBack()
{
    if (!FMacroClass || !FMacroClass->SlotHoldsMacro(FMacroIndex, FMacroId))
        return false;
    FMacroClass->StoreFromEditor(FMacroIndex, EditorRecord());
    FORGMacroKeyInfo = FMacroClass->FMacroKeyInfoList[static_cast<size_t>(FMacroIndex)];
    return true;
}

void TkwActionsClass::Rebind(int slot, const TMACROKEYINFO &record)
{
    FMacroIndex = slot;
    FORGMacroKeyInfo = record;
}

void TkwActionsClass::SetActionIndex(int Value)
{
    if (Value >= 0 && Value < GetCount())
        FActionsIndex = Value;
}

int TkwActionsClass::GetDelayValue(int AIndex) const
{
    if (AIndex < 0 || AIndex >= GetCount())
        return 0;
    return KeyValue(FActionsList[static_cast<size_t>(AIndex)]);
}

bool TkwActionsClass::SetDelayValue(int AIndex, int ADelay)
{
    if (AIndex < 0 || AIndex >= GetCount() || ADelay < 0)
        return false;
    const int delay = std::min(ADelay, 65535);
    TMACROKEY &step = FActionsList[static_cast<size_t>(AIndex)];
    step.VALUE1 = static_cast<uint8_t>(delay & 0xFF);
    step.VALUE2 = static_cast<uint8_t>(delay >> 8);
    SaveBack();
    return true;
}

uint32_t TkwActionsClass::TotalDelay() const
{
    uint32_t total = 0;
    for (const TMACROKEY &step : FActionsList)
        if (step.nKeyType == MACRO_STEP_DELAY)
            total += static_cast<uint32_t>(KeyValue(step));
    return total;
}

bool TkwActionsClass::InsertAction(const TMACROKEY &AAction, int AIndex)
{
    if (GetIsActionsFull() || AIndex < 0 || AIndex >= GetCount())
        return false;
    FActionsList.insert(FActionsList.begin() + AIndex, AAction);
    if (AIndex == FActionsIndex)
        FActionsIndex = AIndex + 1;
    SaveBack();
    return true;
}

bool TkwActionsClass::InsertActionAfter(const TMACROKEY &AAction, int AIndex)
{
    if (GetIsActionsFull() || AIndex < 0 || AIndex > GetCount())
        return false;
    const int at = AIndex == GetCount() ? AIndex : AIndex + 1;
    FActionsList.insert(FActionsList.begin() + at, AAction);
    FActionsIndex = at;
    SaveBack();
    return true;
}

bool TkwActionsClass::DeleteAction(int AIndex)
{
    if (AIndex < 0 || AIndex >= GetCount())
        return false;
    FActionsList.erase(FActionsList.begin() + AIndex);
    if (FActionsIndex >= GetCount())
        FActionsIndex = GetCount() - 1;
    SaveBack();
    return true;
}

bool TkwActionsClass::MoveUpAction(int AIndex)
{
    if (AIndex < 1 || AIndex >= GetCount())
        return false;
    std::swap(FActionsList[static_cast<size_t>(AIndex)], FActionsList[static_cast<size_t>(AIndex - 1)]);
    if (FActionsIndex == AIndex)
        FActionsIndex = AIndex - 1;
    SaveBack();
    return true;
}

bool TkwActionsClass::MoveDownAction(int AIndex)
{
    if (AIndex < 0 || AIndex > GetCount() - 2)
        return false;
    std::swap(FActionsList[static_cast<size_t>(AIndex)], FActionsList[static_cast<size_t>(AIndex + 1)]);
    if (FActionsIndex == AIndex)
        FActionsIndex = AIndex + 1;
    SaveBack();
    return true;
}

bool TkwActionsClass::CopyAction(int AIndex)
{
    if (AIndex < 0 || AIndex >= GetCount())
        return false;
    FSavedActionsList.assign(1, FActionsList[static_cast<size_t>(AIndex)]);
    FCutOperationFlag = false;
    SaveBack();
    return true;
}

bool TkwActionsClass::CutAction(int AIndex)
{
    if (AIndex < 0 || AIndex >= GetCount())
        return false;
    FSavedActionsList.assign(1, FActionsList[static_cast<size_t>(AIndex)]);
    DeleteAction(AIndex);
    FCutOperationFlag = true;
    return true;
}

// A cut step leaves the clipboard only once it has been inserted somewhere;
// a refused paste keeps it, so the step that was cut is never lost.
bool TkwActionsClass::PasteAction(int AIndex)
{
    if (FSavedActionsList.empty())
        return false;
    const bool inserted = InsertAction(FSavedActionsList.front(), AIndex);
    if (inserted && FCutOperationFlag) {
        FSavedActionsList.clear();
        FCutOperationFlag = false;
    }
    return inserted;
}

int TkwActionsClass::CheckErrors()
{
    std::vector<bool> pressed(65536, false);
    std::vector<int> keys;
    int errors = 0;
    for (const TMACROKEY &step : FActionsList) {
        if (!TakesPartInBalance(step))
            continue;
        const int v = KeyValue(step);
        if (IsDown(step)) {
            if (pressed[static_cast<size_t>(v)])
                ++errors;
            else
                pressed[static_cast<size_t>(v)] = true;
        } else {
            if (!pressed[static_cast<size_t>(v)])
                ++errors;
            else
                pressed[static_cast<size_t>(v)] = false;
        }
        if (step.nKeyType == MACRO_STEP_KEY && std::find(keys.begin(), keys.end(), v) == keys.end())
            keys.push_back(v);
    }
    for (const int k : keys)
        if (pressed[static_cast<size_t>(k)])
            ++errors;
    if (FMacroClass && FMacroClass->SlotHoldsMacro(FMacroIndex, FMacroId)) {
        TMACROKEYINFO rec = FMacroClass->FMacroKeyInfoList[static_cast<size_t>(FMacroIndex)];
        rec.HaveErrors = errors > 0 ? 1 : 0;
        rec.ErrorCount = errors > 0 ? errors : 0;
        FMacroClass->StoreFromEditor(FMacroIndex, rec);
    }
    return errors;
}

std::vector<int> TkwActionsClass::RemoveErrors()
{
    std::vector<bool> pressed(65536, false);
    std::vector<int> keys;
    for (const TMACROKEY &step : FActionsList) {
        if (!TakesPartInBalance(step))
            continue;
        const int v = KeyValue(step);
        pressed[static_cast<size_t>(v)] = IsDown(step);
        if (step.nKeyType == MACRO_STEP_KEY && std::find(keys.begin(), keys.end(), v) == keys.end())
            keys.push_back(v);
    }
    // The last press of one key does not depend on the steps of another, so
    // every press to go is found first and all go together.
    std::vector<int> removed;
    for (const int k : keys) {
        if (!pressed[static_cast<size_t>(k)])
            continue;
        for (int i = GetCount() - 1; i >= 0; --i) {
            const TMACROKEY &step = FActionsList[static_cast<size_t>(i)];
            if (TakesPartInBalance(step) && KeyValue(step) == k && IsDown(step)) {
                removed.push_back(i);
                break;
            }
        }
        pressed[static_cast<size_t>(k)] = false;
    }
    std::sort(removed.begin(), removed.end());
    for (auto it = removed.rbegin(); it != removed.rend(); ++it)
        FActionsList.erase(FActionsList.begin() + *it);
    // The current step must stay a step of the macro.
    if (FActionsIndex >= GetCount())
        FActionsIndex = GetCount() - 1;
    if (FMacroClass && FMacroClass->SlotHoldsMacro(FMacroIndex, FMacroId)) {
        TMACROKEYINFO rec = EditorRecord();
        rec.HaveErrors = 0;
        rec.ErrorCount = 0;
        FMacroClass->StoreFromEditor(FMacroIndex, rec);
    }
    return removed;
}

// ===========================================================================
// TkwMacroClass
// ===========================================================================

TkwMacroClass::TkwMacroClass() = default;

std::unique_ptr<TkwMacroClass> TkwMacroClass::CtlCreate(const TMACROKEYINFOLIST &AMacroKeyInfoList)
{
    auto list = std::make_unique<TkwMacroClass>();
    list->SetMacroKeyInfoList(AMacroKeyInfoList);
    return list;
}

uint64_t TkwMacroClass::MacroIdAt(int slot) const
{
    return ValidIndex(slot) ? FMacroIds[static_cast<size_t>(slot)] : 0;
}

bool TkwMacroClass::SlotHoldsMacro(int slot, uint64_t id) const
{
    return id != 0 && ValidIndex(slot) && FMacroIds[static_cast<size_t>(slot)] == id;
}

void TkwMacroClass::StoreFromEditor(int slot, const TMACROKEYINFO &record)
{
    FMacroKeyInfoList[static_cast<size_t>(slot)] = Sanitised(record);
}

void TkwMacroClass::Append(const TMACROKEYINFO &macro)
{
    FMacroKeyInfoList.push_back(Sanitised(macro));
    FMacroIds.push_back(FNextMacroId++);
}

void TkwMacroClass::Renumber()
{
    for (size_t i = 0; i < FMacroKeyInfoList.size(); ++i)
        FMacroKeyInfoList[i].nMacroIndex = static_cast<uint16_t>(i);
}

// The editor always edits the current macro: it is built from the current
// macro's record and bound to its slot, whatever position the caller passed.
void TkwMacroClass::RebuildEditor(int index)
{
    if (!ValidIndex(index) || !ValidIndex(FMacroListIndex))
        return;
    FCurrentMacroAction = TkwActionsClass::CtrlCreate(FMacroKeyInfoList[static_cast<size_t>(FMacroListIndex)],
                                                      FMacroListIndex, this);
}

// After the list changed under the editor: follow its macro to its new slot
// (with the record as it now stands, so a rename is not written back over),
// or, when its macro is gone, move to the current macro or drop the editor.
void TkwMacroClass::RebindEditor()
{
    if (!FCurrentMacroAction)
        return;
    const uint64_t id = FCurrentMacroAction->FMacroId;
    for (int i = 0; i < MacroListCount(); ++i) {
        if (FMacroIds[static_cast<size_t>(i)] == id) {
            FCurrentMacroAction->Rebind(i, FMacroKeyInfoList[static_cast<size_t>(i)]);
            return;
        }
    }
    if (ValidIndex(FMacroListIndex))
        RebuildEditor(FMacroListIndex);
    else
        FCurrentMacroAction.reset();
}

void TkwMacroClass::Replace(const std::vector<TMACROKEYINFO> &macros)
{
    FMacroKeyInfoList.clear();
    FMacroIds.clear();
    const size_t n = std::min(macros.size(), static_cast<size_t>(FMaxMacroListCount));
    for (size_t i = 0; i < n; ++i)
        Append(macros[i]);
    FMacroListIndex = IsEmpty() ? -1 : 0;
    RebindEditor();
}

void TkwMacroClass::SetMacroKeyInfoList(const TMACROKEYINFOLIST &AMacroKeyInfoList)
{
    const int count = CheckedMacroInfoCount(AMacroKeyInfoList);
    Replace(std::vector<TMACROKEYINFO>(AMacroKeyInfoList.MacroInfos, AMacroKeyInfoList.MacroInfos + count));
}

void TkwMacroClass::SetMacroKeyInfoList(const std::vector<TMACROKEYINFO> &AMacroList)
{
    Replace(AMacroList);
}

void TkwMacroClass::GetMacroKeyInfoList(TMACROKEYINFOLIST &out) const
{
    const size_t n = std::min(FMacroKeyInfoList.size(), static_cast<size_t>(MACRO_LIST_CAPACITY));
    out.nMacroInfoCount = static_cast<uint16_t>(n);
    std::copy_n(FMacroKeyInfoList.begin(), n, out.MacroInfos);
}

bool TkwMacroClass::GetMacroKeyItem(int Index, TMACROKEYINFO &out) const
{
    if (!ValidIndex(Index))
        return false;
    out = FMacroKeyInfoList[static_cast<size_t>(Index)];
    return true;
}

bool TkwMacroClass::GetCurrentMacroKeyItem(TMACROKEYINFO &out) const
{
    return GetMacroKeyItem(FMacroListIndex, out);
}

void TkwMacroClass::SetMacroListIndex(int Value)
{
    if (!ValidIndex(Value))
        return;
    FMacroListIndex = Value;
    RebuildEditor(Value);
}

int TkwMacroClass::IndexOfMacroName(const QString &AMacroName) const
{
    // A name is what its field can hold, so a longer one is compared as cut.
    const QString name = CutNameToUnits(AMacroName, MACRO_NAME_MAX_CHARS);
    for (int i = 0; i < MacroListCount(); ++i)
        if (MacroNameText(FMacroKeyInfoList[static_cast<size_t>(i)]) == name)
            return i;
    return -1;
}

bool TkwMacroClass::MacroExists(const QString &AMacroName) const
{
    return IndexOfMacroName(AMacroName) >= 0;
}

int TkwMacroClass::CreateNewMacro(const QString &AMacroName)
{
    if (MacroExists(AMacroName))
        return 0;
    if (IsFull())
        return -1;
    TMACROKEYINFO macro{};
    SetFieldText(macro.szMacroName, CutNameToUnits(AMacroName, MACRO_NAME_MAX_CHARS));
    macro.nMacroIndex = static_cast<uint16_t>(MacroListCount());
    Append(macro);
    FMacroListIndex = MacroListCount() - 1;
    Renumber();
    RebuildEditor(FMacroListIndex);
    return 1;
}

bool TkwMacroClass::ReNameMacro(const QString &AOldMacroName, const QString &ANewMacroName)
{
    if (MacroExists(ANewMacroName))
        return false;
    const int index = IndexOfMacroName(AOldMacroName);
    if (index < 0)
        return false;
    return ReNameMacro(ANewMacroName, index);
}

// Two macros of one name would make every by-name operation (delete above
// all) reach the first of them, whichever the user meant.
bool TkwMacroClass::ReNameMacro(const QString &AMacroName, int AIndex)
{
    if (!ValidIndex(AIndex))
        return false;
    const int holder = IndexOfMacroName(AMacroName);
    if (holder >= 0 && holder != AIndex)
        return false;
    SetFieldText(FMacroKeyInfoList[static_cast<size_t>(AIndex)].szMacroName,
                 CutNameToUnits(AMacroName, MACRO_NAME_MAX_CHARS));
    RebindEditor();
    return true;
}

bool TkwMacroClass::MoveUpMacro(int AIndex)
{
    if (AIndex < 1 || AIndex >= MacroListCount())
        return false;
    const auto a = static_cast<size_t>(AIndex);
    std::swap(FMacroKeyInfoList[a], FMacroKeyInfoList[a - 1]);
    std::swap(FMacroIds[a], FMacroIds[a - 1]);
    if (FMacroListIndex == AIndex)
        FMacroListIndex = AIndex - 1;
    else if (FMacroListIndex == AIndex - 1)
        FMacroListIndex = AIndex;
    Renumber();
    RebindEditor();
    return true;
}

bool TkwMacroClass::MoveDownMacro(int AIndex)
{
    if (AIndex < 0 || AIndex > MacroListCount() - 2)
        return false;
    const auto a = static_cast<size_t>(AIndex);
    std::swap(FMacroKeyInfoList[a], FMacroKeyInfoList[a + 1]);
    std::swap(FMacroIds[a], FMacroIds[a + 1]);
    if (FMacroListIndex == AIndex)
        FMacroListIndex = AIndex + 1;
    else if (FMacroListIndex == AIndex + 1)
        FMacroListIndex = AIndex;
    Renumber();
    RebindEditor();
    return true;
}

bool TkwMacroClass::DeleteMacro(int AIndex)
{
    if (!ValidIndex(AIndex))
        return false;
    FMacroKeyInfoList.erase(FMacroKeyInfoList.begin() + AIndex);
    FMacroIds.erase(FMacroIds.begin() + AIndex);
    if (IsEmpty())
        FMacroListIndex = -1;
    else if (FMacroListIndex >= MacroListCount())
        FMacroListIndex = MacroListCount() - 1;
    Renumber();
    RebindEditor();
    return true;
}

bool TkwMacroClass::DeleteMacro(const QString &AMacroName)
{
    return DeleteMacro(IndexOfMacroName(AMacroName));
}

void TkwMacroClass::InsertSteps(const TMACROKEYINFO &AMacroKeyInfo, int AIndex,
                                bool (TkwActionsClass::*insert)(const TMACROKEY &, int))
{
    if (!FCurrentMacroAction)
        RebuildEditor(FMacroListIndex);
    if (!FCurrentMacroAction)
        return;
    const int count = CheckedMacroListCount(AMacroKeyInfo);
    for (int i = 0; i < count && !FCurrentMacroAction->IsFull(); ++i)
        (FCurrentMacroAction.get()->*insert)(AMacroKeyInfo.MacroList[i], AIndex + i);
    RebuildEditor(FMacroListIndex);
}

void TkwMacroClass::InsertMacro(const TMACROKEYINFO &AMacroKeyInfo, int AIndex)
{
    InsertSteps(AMacroKeyInfo, AIndex, &TkwActionsClass::InsertAction);
}

void TkwMacroClass::InsertMacroAfter(const TMACROKEYINFO &AMacroKeyInfo, int AIndex)
{
    InsertSteps(AMacroKeyInfo, AIndex, &TkwActionsClass::InsertActionAfter);
}

bool TkwMacroClass::SaveBackCurrentMacroKeyInfo(const TMACROKEYINFO &AMacroKeyInfo)
{
    if (!ValidIndex(FMacroListIndex))
        return false;
    FMacroKeyInfoList[static_cast<size_t>(FMacroListIndex)] = Sanitised(AMacroKeyInfo);
    RebuildEditor(FMacroListIndex);
    return true;
}

bool TkwMacroClass::SetMacroLoopValue(int AIndex, int ALoopRunWhenPressed, int ALoopValue)
{
    if (!ValidIndex(AIndex) || ALoopRunWhenPressed < 0 || ALoopRunWhenPressed > 255 || ALoopValue < 0 ||
        ALoopValue > 65535)
        return false;
    TMACROKEYINFO &m = FMacroKeyInfoList[static_cast<size_t>(AIndex)];
    m.nLoopRunWhenPressed = static_cast<uint8_t>(ALoopRunWhenPressed);
    m.nLoopCount = static_cast<uint16_t>(ALoopValue);
    RebuildEditor(AIndex);
    return true;
}

bool TkwMacroClass::SetMacroAutoDelay(int AIndex, int AAutoDelayValue)
{
    if (!ValidIndex(AIndex) || AAutoDelayValue < 0 || AAutoDelayValue > 65535)
        return false;
    FMacroKeyInfoList[static_cast<size_t>(AIndex)].nAutoAddDelay = static_cast<uint16_t>(AAutoDelayValue);
    RebuildEditor(AIndex);
    return true;
}

void TkwMacroClass::CheckAllErrors()
{
    for (int i = 0; i < MacroListCount(); ++i)
        TkwActionsClass::CtrlCreate(FMacroKeyInfoList[static_cast<size_t>(i)], i, this)->CheckErrors();
    RebindEditor();
}

bool TkwMacroClass::IsValidMacroVersion(const TMACROKEYINFO &AMacroKeyInfo)
{
    return AMacroKeyInfo.Version == MACRO_FILE_VERSION;
}

bool TkwMacroClass::LoadMacroFromFile(const QString &AMacroFile, TMACROKEYINFO &out)
{
    QByteArray bytes;
    if (hkt::platform::ReadFileBounded(AMacroFile, bytes) != hkt::platform::ReadStatus::Ok)
        return false;
    TakeMacroFileImage(bytes, out);
    return true;
}

void TkwMacroClass::TakeMacroFileImage(const QByteArray &bytes, TMACROKEYINFO &out)
{
    CopyImageToRecord(out, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    out.MacroListCount = CheckedMacroListCount(out);
}

// Path separators and control characters (NUL included) become '_', so a
// macro's name can never lead its file out of the folder; an empty name
// would make a hidden file.
QString TkwMacroClass::MacroFileName(const QString &AMacroName)
{
    QString name = CutNameToUnits(AMacroName, MACRO_NAME_MAX_CHARS);
    for (QChar &c : name)
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u'_';
    if (name.isEmpty())
        name = QStringLiteral("_");
    return name + QStringLiteral(".macro");
}

bool TkwMacroClass::SaveMacroKeyInfoListToMacroFiles(const TMACROKEYINFOLIST &AMacroKeyInfoList,
                                                     const QString &AMacroPath)
{
    if (AMacroPath.isEmpty())
        return false;
    const QString folder = hkt::platform::WithTrailingSeparator(AMacroPath);
    if (!hkt::platform::FolderExists(folder) && !hkt::platform::MakeFolder(folder, 0755))
        return false;
    const int count = CheckedMacroInfoCount(AMacroKeyInfoList);
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        const TMACROKEYINFO &m = AMacroKeyInfoList.MacroInfos[i];
        const QByteArray bytes(reinterpret_cast<const char *>(RecordBytes(m)), sizeof(TMACROKEYINFO));
        ok = hkt::platform::WriteFileAtomic(folder + MacroFileName(MacroNameText(m)), bytes, 0644) && ok;
    }
    return ok;
}

// ===========================================================================
// TkwMacroSetClass
// ===========================================================================

TkwMacroSetClass::TkwMacroSetClass()
    : FMacroSetDB(std::make_unique<TkwMacroSetDb>()), FCurrentMacroClass(std::make_unique<TkwMacroClass>())
{
}

const char *TkwMacroSetClass::ImageFault(const QByteArray &bytes)
{
    if (static_cast<std::size_t>(bytes.size()) < MACRO_SET_DB_SIZE)
        return "is shorter than a database";
    // Read field by field: the bytes need not be aligned for the record.
    const auto u16At = [&](std::size_t at) {
        uint16_t v;
        std::memcpy(&v, bytes.constData() + at, sizeof v);
        return v;
    };
    const auto i32At = [&](std::size_t at) {
        int32_t v;
        std::memcpy(&v, bytes.constData() + at, sizeof v);
        return v;
    };
    // The counts every save of this suite writes: at most 21 sets, at most
    // as many macros as a macro list holds, at most 128 steps per macro.
    // Anything else is not a database this suite wrote (a foreign or damaged
    // file), and taking it clamped would show garbage and then save it.
    const int sets = u16At(offsetof(TkwMacroSetDb, MacroSetArrayCount));
    if (sets > MACRO_SET_CAPACITY)
        return "counts more sets than a database holds";
    for (int i = 0; i < sets; ++i) {
        const std::size_t set = offsetof(TkwMacroSetDb, MacroSetArrays) + sizeof(TkwMacroListOfMacroSet) * std::size_t(i);
        const int macros = u16At(set + offsetof(TkwMacroListOfMacroSet, MacroArrayCount));
        if (macros > MACRO_LIST_CAPACITY)
            return "counts more macros in a set than a macro list holds";
        for (int j = 0; j < macros; ++j) {
            const std::size_t macro = set + offsetof(TkwMacroListOfMacroSet, MacroArrays) + sizeof(TMACROKEYINFO) * std::size_t(j);
            const int32_t steps = i32At(macro + offsetof(TMACROKEYINFO, MacroListCount));
            if (steps < 0 || steps > MACRO_STEP_CAPACITY)
                return "counts more steps in a macro than a macro holds";
        }
    }
    return nullptr;
}

bool TkwMacroSetClass::TakeImage(const QByteArray &bytes)
{
    if (ImageFault(bytes))
        return false;
    std::memcpy(FMacroSetDB.get(), bytes.constData(), MACRO_SET_DB_SIZE);
    RebuildSetList();
    return true;
}

// Counts in the image are untrusted: at most 21 sets, and at most 31 macros
// per set, each with a step count the record can hold.
void TkwMacroSetClass::RebuildSetList()
{
    FMacroSetList.clear();
    const int sets = std::min<int>(FMacroSetDB->MacroSetArrayCount, MACRO_SET_CAPACITY);
    for (int i = 0; i < sets; ++i) {
        TkwMacroListOfMacroSet set = FMacroSetDB->MacroSetArrays[i];
        set.MacroArrayCount = static_cast<uint16_t>(std::min<int>(set.MacroArrayCount, MACRO_SET_MACRO_CAPACITY));
        for (int j = 0; j < set.MacroArrayCount; ++j)
            set.MacroArrays[j].MacroListCount = CheckedMacroListCount(set.MacroArrays[j]);
        FMacroSetList.push_back(set);
    }
}

TMacroSetDbLoad TkwMacroSetClass::LoadMacrosetDB(const QString &ABaseMacrosetDBFile)
{
    FBaseMacrosetDBFile = ABaseMacrosetDBFile;
    TMacroSetDbLoad result = TMacroSetDbLoad::Rejected;
    const QFileInfo info(ABaseMacrosetDBFile);
    if (!info.exists() && !info.isSymLink()) {
        *FMacroSetDB = TkwMacroSetDb{};
        FBackUpBeforeSave = false;
        const QByteArray bytes(reinterpret_cast<const char *>(FMacroSetDB.get()), MACRO_SET_DB_SIZE);
        result = hkt::platform::WriteFileAtomic(ABaseMacrosetDBFile, bytes) ? TMacroSetDbLoad::Created
                                                                            : TMacroSetDbLoad::CreateFailed;
    } else {
        // Only the image's own size is read, whatever the file's length.
        QFile file(ABaseMacrosetDBFile);
        QByteArray bytes;
        if (info.isFile() && file.open(QIODevice::ReadOnly))
            bytes = file.read(static_cast<qint64>(MACRO_SET_DB_SIZE));
        if (TakeImage(bytes)) {
            FBackUpBeforeSave = false;
            return TMacroSetDbLoad::Loaded;
        }
        // Present but not taken: the image keeps what it held, and the file
        // is kept aside before the next save replaces it.
        const char *fault = info.isFile() && file.isOpen() ? ImageFault(bytes) : "cannot be read";
        qWarning("hkt75: macro database %s %s; kept as %s.bak at the next save, the default macro set is used",
                 qUtf8Printable(ABaseMacrosetDBFile), fault, qUtf8Printable(info.fileName()));
        FBackUpBeforeSave = true;
    }
    RebuildSetList();
    return result;
}

void TkwMacroSetClass::SaveBackMacroSetListToDB()
{
    const size_t n = std::min(FMacroSetList.size(), static_cast<size_t>(MACRO_SET_CAPACITY));
    FMacroSetDB->MacroSetArrayCount = static_cast<uint16_t>(n);
    for (size_t i = 0; i < n; ++i)
        FMacroSetDB->MacroSetArrays[i] = FMacroSetList[i];
}

bool TkwMacroSetClass::SaveMacroSetDB()
{
    if (FBaseMacrosetDBFile.isEmpty())
        return false;
    SaveBackMacroSetListToDB();
    if (FBackUpBeforeSave) {
        const QString backup = FBaseMacrosetDBFile + QStringLiteral(".bak");
        QByteArray old;
        bool kept = false;
        if (hkt::platform::ReadFileBounded(FBaseMacrosetDBFile, old) == hkt::platform::ReadStatus::Ok)
            kept = hkt::platform::WriteFileAtomic(backup, old);
        else
            kept = std::rename(QFile::encodeName(FBaseMacrosetDBFile).constData(),
                               QFile::encodeName(backup).constData()) == 0;
        // Without its copy the rejected file is not replaced.
        if (!kept && hkt::platform::PathExists(FBaseMacrosetDBFile))
            return false;
        FBackUpBeforeSave = false;
    }
    const QByteArray bytes(reinterpret_cast<const char *>(FMacroSetDB.get()), MACRO_SET_DB_SIZE);
    return hkt::platform::WriteFileAtomic(FBaseMacrosetDBFile, bytes);
}

int TkwMacroSetClass::IndexOfMacroSet(const QString &name) const
{
    const QString wanted = CutNameToUnits(name, MACRO_SET_NAME_UNITS);
    for (int i = 0; i < MacroSetCount(); ++i)
        if (SameMacroSetName(MacroSetNameText(FMacroSetList[static_cast<size_t>(i)]), wanted))
            return i;
    return -1;
}

bool TkwMacroSetClass::MacroSetExist(const QString &AMacroSetName) const
{
    return IndexOfMacroSet(AMacroSetName) >= 0;
}

int TkwMacroSetClass::CreateNewMacroSet(const QString &AMacroSetName)
{
    const int existing = IndexOfMacroSet(AMacroSetName);
    if (existing >= 0) {
        SwitchToMacroSet(existing);
        return 0;
    }
    if (MacroSetCount() >= MACRO_SET_CAPACITY)
        return -1;
    TkwMacroListOfMacroSet set{};
    SetSetName(set, AMacroSetName);
    FMacroSetList.push_back(set);
    SwitchToMacroSet(MacroSetCount() - 1);
    return 1;
}

bool TkwMacroSetClass::DeleteMacroSet(const QString &AMacroSetName)
{
    return DeleteMacroSet(IndexOfMacroSet(AMacroSetName));
}

bool TkwMacroSetClass::DeleteMacroSet(int AIndex)
{
    if (AIndex < 0 || AIndex >= MacroSetCount())
        return false;
    FMacroSetList.erase(FMacroSetList.begin() + AIndex);
    // With no set left nothing may stay current, or a copy-back would write
    // into a set that is gone.
    if (FMacroSetList.empty())
        SwitchToMacroSet(-1);
    else
        SwitchToMacroSet(AIndex > 0 ? AIndex - 1 : 0);
    return true;
}

bool TkwMacroSetClass::ReNameMacroSet(const QString &AOldMacroSetName, const QString &ANewMacroSetName)
{
    const int index = IndexOfMacroSet(AOldMacroSetName);
    if (index < 0 || MacroSetExist(ANewMacroSetName))
        return false;
    SetSetName(FMacroSetList[static_cast<size_t>(index)], ANewMacroSetName);
    if (index == FCurrentMacroSetIndex)
        FCurrentMacrosetName = MacroSetNameText(FMacroSetList[static_cast<size_t>(index)]);
    return true;
}

bool TkwMacroSetClass::SwitchToMacroSet(const QString &AMacroSetName)
{
    const int index = IndexOfMacroSet(AMacroSetName);
    return index >= 0 && SwitchToMacroSet(index);
}

bool TkwMacroSetClass::SwitchToMacroSet(int AIndex)
{
    if (AIndex == -1) {
        FCurrentMacrosetName.clear();
        FCurrentMacroSetIndex = -1;
        FCurrentMacroKeyInfoList.clear();
        return true;
    }
    if (AIndex < 0 || AIndex >= MacroSetCount())
        return false;
    // The set at that position, not the first of its name: a crafted file
    // may hold two, and the next copy-back writes to this one.
    const TkwMacroListOfMacroSet &set = FMacroSetList[static_cast<size_t>(AIndex)];
    FCurrentMacrosetName = MacroSetNameText(set);
    FCurrentMacroSetIndex = AIndex;
    const int count = std::min<int>(set.MacroArrayCount, MACRO_SET_MACRO_CAPACITY);
    FCurrentMacroKeyInfoList.assign(set.MacroArrays, set.MacroArrays + count);
    FCurrentMacroClass->SetMacroKeyInfoList(FCurrentMacroKeyInfoList);
    return true;
}

QStringList TkwMacroSetClass::GetMacroSetListNames() const
{
    QStringList names;
    for (const TkwMacroListOfMacroSet &set : FMacroSetList)
        names << MacroSetNameText(set);
    return names;
}

std::optional<QStringList> TkwMacroSetClass::GetMacroListNamesByMacroSetIndex(int AMacroSetIndex) const
{
    if (AMacroSetIndex < 0 || AMacroSetIndex >= MacroSetCount())
        return std::nullopt;
    const TkwMacroListOfMacroSet &set = FMacroSetList[static_cast<size_t>(AMacroSetIndex)];
    QStringList names;
    const int count = std::min<int>(set.MacroArrayCount, MACRO_SET_MACRO_CAPACITY);
    for (int j = 0; j < count; ++j)
        names << MacroNameText(set.MacroArrays[j]);
    return names;
}

QStringList TkwMacroSetClass::GetMacroListNamesByMacroSetName(const QString &AMacroSetName) const
{
    return GetMacroListNamesByMacroSetIndex(IndexOfMacroSet(AMacroSetName)).value_or(QStringList());
}

// A macro made while no set is current would live only in the working list
// and vanish at the next switch of sets: it is refused like a full list.
int TkwMacroSetClass::CreateNewMacro(const QString &AMacroName)
{
    if (FCurrentMacroSetIndex < 0 || FCurrentMacroSetIndex >= MacroSetCount())
        return -1;
    const int result = FCurrentMacroClass->CreateNewMacro(AMacroName);
    SaveBackCurrentMacroClassDataToCurrentMacroList();
    return result;
}

bool TkwMacroSetClass::DeleteMacro(const QString &AMacroName)
{
    const bool done = FCurrentMacroClass->DeleteMacro(AMacroName);
    SaveBackCurrentMacroClassDataToCurrentMacroList();
    return done;
}

bool TkwMacroSetClass::DeleteMacro(int AIndex)
{
    const bool done = FCurrentMacroClass->DeleteMacro(AIndex);
    SaveBackCurrentMacroClassDataToCurrentMacroList();
    return done;
}

bool TkwMacroSetClass::ReNameMacro(const QString &AOldMacroName, const QString &ANewMacroName)
{
    const bool done = FCurrentMacroClass->ReNameMacro(AOldMacroName, ANewMacroName);
    SaveBackCurrentMacroClassDataToCurrentMacroList();
    return done;
}

TkwMacroSetState TkwMacroSetClass::SaveState() const
{
    TkwMacroSetState state;
    state.Image = std::make_unique<TkwMacroSetDb>(*FMacroSetDB);
    state.Sets = FMacroSetList;
    state.CurrentSetIndex = FCurrentMacroSetIndex;
    state.CurrentSetName = FCurrentMacrosetName;
    state.CurrentSetMacros = FCurrentMacroKeyInfoList;
    state.WorkingMacros = FCurrentMacroClass->MacroKeyInfoList();
    state.WorkingMacroIndex = FCurrentMacroClass->MacroListIndex();
    return state;
}

void TkwMacroSetClass::RestoreState(const TkwMacroSetState &AState)
{
    if (AState.Image)
        *FMacroSetDB = *AState.Image;
    FMacroSetList = AState.Sets;
    FCurrentMacroSetIndex = AState.CurrentSetIndex;
    FCurrentMacrosetName = AState.CurrentSetName;
    FCurrentMacroKeyInfoList = AState.CurrentSetMacros;
    // The list object makes its first macro current; the one that was
    // current is made so again (which builds its step editor anew).
    FCurrentMacroClass->SetMacroKeyInfoList(AState.WorkingMacros);
    FCurrentMacroClass->SetMacroListIndex(AState.WorkingMacroIndex);
}

namespace {

// The steps past the count, padding and error marks are not the macro.
bool SameMacro(const TMACROKEYINFO &a, const TMACROKEYINFO &b)
{
    if (a.MacroListCount != b.MacroListCount || a.nAutoAddDelay != b.nAutoAddDelay ||
        a.nLoopRunWhenPressed != b.nLoopRunWhenPressed || a.nLoopCount != b.nLoopCount ||
        a.nMacroIndex != b.nMacroIndex || a.MacroUse != b.MacroUse ||
        std::memcmp(a.szMacroName, b.szMacroName, sizeof a.szMacroName) != 0)
        return false;
    const int steps = std::clamp(a.MacroListCount, 0, MACRO_STEP_CAPACITY);
    for (int i = 0; i < steps; ++i) {
        const TMACROKEY &x = a.MacroList[i], &y = b.MacroList[i];
        if (x.nKeyType != y.nKeyType || x.nKeyState != y.nKeyState || x.VALUE1 != y.VALUE1 || x.VALUE2 != y.VALUE2)
            return false;
    }
    return true;
}

bool SameMacros(const TMACROKEYINFO *a, std::size_t na, const TMACROKEYINFO *b, std::size_t nb)
{
    if (na != nb)
        return false;
    for (std::size_t i = 0; i < na; ++i)
        if (!SameMacro(a[i], b[i]))
            return false;
    return true;
}

bool SameMacros(const std::vector<TMACROKEYINFO> &a, const std::vector<TMACROKEYINFO> &b)
{
    return SameMacros(a.data(), a.size(), b.data(), b.size());
}

} // namespace

bool TkwMacroSetClass::HoldsSameMacrosAs(const TkwMacroSetState &AState) const
{
    if (FCurrentMacroSetIndex != AState.CurrentSetIndex || FMacroSetList.size() != AState.Sets.size() ||
        !SameMacros(FCurrentMacroKeyInfoList, AState.CurrentSetMacros) ||
        !SameMacros(FCurrentMacroClass->MacroKeyInfoList(), AState.WorkingMacros))
        return false;
    for (std::size_t s = 0; s < FMacroSetList.size(); ++s) {
        const TkwMacroListOfMacroSet &x = FMacroSetList[s], &y = AState.Sets[s];
        const auto count = [](const TkwMacroListOfMacroSet &l) {
            return std::min<std::size_t>(l.MacroArrayCount, MACRO_SET_MACRO_CAPACITY);
        };
        if (std::memcmp(x.MacroSetName, y.MacroSetName, sizeof x.MacroSetName) != 0 ||
            !SameMacros(x.MacroArrays, count(x), y.MacroArrays, count(y)))
            return false;
    }
    return true;
}

bool TkwMacroSetClass::SaveBackCurrentMacroClassDataToCurrentMacroList()
{
    FCurrentMacroKeyInfoList = FCurrentMacroClass->MacroKeyInfoList();
    if (FCurrentMacroSetIndex < 0 || FCurrentMacroSetIndex >= MacroSetCount())
        return false;
    TkwMacroListOfMacroSet &set = FMacroSetList[static_cast<size_t>(FCurrentMacroSetIndex)];
    const size_t n = std::min(FCurrentMacroKeyInfoList.size(), static_cast<size_t>(MACRO_SET_MACRO_CAPACITY));
    set.MacroArrayCount = static_cast<uint16_t>(n);
    std::copy_n(FCurrentMacroKeyInfoList.begin(), n, set.MacroArrays);
    return true;
}
