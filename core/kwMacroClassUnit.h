#pragma once
// The macros in memory and on disk: the macro list of the current macro set
// with its step editor (TkwMacroClass, TkwActionsClass), single-macro files
// ".macro", and the macro database "MacroSet.MSDB" (TkwMacroSetClass).
//
// The classes keep their own limits (30 macros per list, 128 steps per macro,
// 21 sets, names of 50 and 30 characters) whatever their callers do, because
// every one of those limits is the size of an array in a stored image.

#include "core/pubunit_device_records.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class TkwMacroClass;

// ---------------------------------------------------------------------------
// The macro database image
// ---------------------------------------------------------------------------

inline constexpr int MACRO_SET_CAPACITY = 21;       // sets in the database
inline constexpr int MACRO_SET_MACRO_CAPACITY = 31; // macro slots of one set
inline constexpr int MACRO_SET_NAME_UNITS = 30;     // a set name, NUL only when shorter
inline constexpr std::size_t MACRO_SET_DB_SIZE = 584644;
inline constexpr char MACRO_SET_DB_FILE_NAME[] = "MacroSet.MSDB";
inline constexpr uint32_t MACRO_FILE_VERSION = 259;

struct TkwMacroListOfMacroSet {
    char16_t MacroSetName[MACRO_SET_NAME_UNITS];
    uint16_t MacroArrayCount;
    uint8_t Padding62[2];
    TMACROKEYINFO MacroArrays[MACRO_SET_MACRO_CAPACITY];
};

struct TkwMacroSetDb {
    uint16_t MacroSetArrayCount;
    uint8_t Padding2[2];
    TkwMacroListOfMacroSet MacroSetArrays[MACRO_SET_CAPACITY];
};

static_assert(std::is_trivially_copyable_v<TkwMacroListOfMacroSet>);
static_assert(std::is_trivially_copyable_v<TkwMacroSetDb>);
static_assert(sizeof(TkwMacroListOfMacroSet) == 27840);
static_assert(offsetof(TkwMacroListOfMacroSet, MacroArrayCount) == 60);
static_assert(offsetof(TkwMacroListOfMacroSet, MacroArrays) == 64);
static_assert(sizeof(TkwMacroSetDb) == MACRO_SET_DB_SIZE);
static_assert(offsetof(TkwMacroSetDb, MacroSetArrays) == 4);

// ---------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------

// A text cut to at most `units` UTF-16 units, never through a surrogate pair,
// and ending at an embedded NUL: what a field of that size can give back.
QString CutNameToUnits(const QString &name, int units);

// The name of a set as stored: up to the first NUL, at most 30 units.
QString MacroSetNameText(const TkwMacroListOfMacroSet &set);

// Set names compare without regard to the case of the letters A to Z only.
bool SameMacroSetName(const QString &a, const QString &b);

// ---------------------------------------------------------------------------
// The step editor
// ---------------------------------------------------------------------------

class TkwActionsClass {
public:
    TkwActionsClass();

    // An editor over a copy of the macro, writing every change back into slot
    // AMacroIndex of AMacroClass (which may be null: nothing is written back).
    static std::unique_ptr<TkwActionsClass> CtrlCreate(const TMACROKEYINFO &AMacroKeyInfo, int AMacroIndex,
                                                       TkwMacroClass *AMacroClass);

    void GetMacroKeyInfo(TMACROKEYINFO &out) const;
    void SetMacroKeyInfo(const TMACROKEYINFO &AMacroKeyInfo);
    // Stores the editor's record into its slot and reads the slot back. Refused
    // (false) when the slot no longer holds the macro this editor was made for.
    bool SaveBack();

    int ActionIndex() const { return FActionsIndex; }
    void SetActionIndex(int Value);
    int MacroListCount() const { return GetCount(); }
    int GetCount() const { return static_cast<int>(FActionsList.size()); }
    bool GetIsActionsFull() const { return GetCount() >= FMaxActionsCount; }
    bool GetIsActionsEmpty() const { return FActionsList.empty(); }
    bool IsFull() const { return GetIsActionsFull(); }
    bool IsEmpty() const { return GetIsActionsEmpty(); }
    const std::vector<TMACROKEY> &Actions() const { return FActionsList; }
    int MacroIndex() const { return FMacroIndex; }
    bool HasClipboard() const { return !FSavedActionsList.empty(); }

    // The key value (VALUE1 + 256 * VALUE2) of a step; 0 for an invalid index.
    int GetDelayValue(int AIndex) const;
    // Stores a delay into a valid step; above 65535 ms it is capped, a
    // negative delay is refused.
    bool SetDelayValue(int AIndex, int ADelay);
    uint32_t TotalDelay() const;

    bool InsertAction(const TMACROKEY &AAction, int AIndex);
    bool InsertActionAfter(const TMACROKEY &AAction, int AIndex);
    bool DeleteAction(int AIndex);
    bool MoveUpAction(int AIndex);
    bool MoveDownAction(int AIndex);
    bool CopyAction(int AIndex);
    bool CutAction(int AIndex);
    bool PasteAction(int AIndex);

    // Counts unbalanced presses and releases into the owner's slot (HaveErrors,
    // ErrorCount) and returns the count.
    int CheckErrors();
    // Removes the last press of every key left pressed and clears the error
    // fields of the owner's slot. Returns the positions the removed steps had,
    // in ascending order, so a caller can tell which of its steps went.
    std::vector<int> RemoveErrors();

private:
    friend class TkwMacroClass;

    TMACROKEYINFO EditorRecord() const;
    void Rebind(int slot, const TMACROKEYINFO &record);

    TMACROKEYINFO FORGMacroKeyInfo{};
    std::vector<TMACROKEY> FActionsList;
    int FActionsIndex = -1;
    int FMaxActionsCount = MACRO_STEP_CAPACITY;
    TkwMacroClass *FMacroClass = nullptr;
    int FMacroIndex = -1;
    uint64_t FMacroId = 0; // which macro of the owner this editor edits
    bool FCutOperationFlag = false;
    std::vector<TMACROKEY> FSavedActionsList;
};

// ---------------------------------------------------------------------------
// The macro list
// ---------------------------------------------------------------------------

class TkwMacroClass {
public:
    TkwMacroClass();
    static std::unique_ptr<TkwMacroClass> CtlCreate(const TMACROKEYINFOLIST &AMacroKeyInfoList);

    void SetMacroKeyInfoList(const TMACROKEYINFOLIST &AMacroKeyInfoList);
    void SetMacroKeyInfoList(const std::vector<TMACROKEYINFO> &AMacroList);
    void GetMacroKeyInfoList(TMACROKEYINFOLIST &out) const;
    bool GetMacroKeyItem(int Index, TMACROKEYINFO &out) const;
    bool GetCurrentMacroKeyItem(TMACROKEYINFO &out) const;

    int MacroListIndex() const { return FMacroListIndex; }
    void SetMacroListIndex(int Value);
    int MacroListCount() const { return static_cast<int>(FMacroKeyInfoList.size()); }
    bool IsFull() const { return MacroListCount() >= FMaxMacroListCount; }
    bool IsEmpty() const { return FMacroKeyInfoList.empty(); }
    TkwActionsClass *CurrentMacroAction() const { return FCurrentMacroAction.get(); }
    const std::vector<TMACROKEYINFO> &MacroKeyInfoList() const { return FMacroKeyInfoList; }

    bool MacroExists(const QString &AMacroName) const;
    int IndexOfMacroName(const QString &AMacroName) const;
    // 1 created, 0 a macro of that name exists, -1 the list is full.
    int CreateNewMacro(const QString &AMacroName);
    // False when the new name is taken (by another macro) or the old one is unknown.
    bool ReNameMacro(const QString &AOldMacroName, const QString &ANewMacroName);
    bool ReNameMacro(const QString &AMacroName, int AIndex);
    bool MoveUpMacro(int AIndex);
    bool MoveDownMacro(int AIndex);
    bool DeleteMacro(int AIndex);
    bool DeleteMacro(const QString &AMacroName);
    void InsertMacro(const TMACROKEYINFO &AMacroKeyInfo, int AIndex);
    void InsertMacroAfter(const TMACROKEYINFO &AMacroKeyInfo, int AIndex);
    bool SaveBackCurrentMacroKeyInfo(const TMACROKEYINFO &AMacroKeyInfo);
    // Values for 16-bit fields outside 0..65535 are refused and store nothing.
    bool SetMacroLoopValue(int AIndex, int ALoopRunWhenPressed, int ALoopValue);
    bool SetMacroAutoDelay(int AIndex, int AAutoDelayValue);
    void CheckAllErrors();

    static bool IsValidMacroVersion(const TMACROKEYINFO &AMacroKeyInfo);
    // Reads the first 896 bytes of a ".macro" file (fewer when shorter) over
    // the record; the step count is clamped. A missing or unreadable file
    // leaves the record untouched and gives false.
    static bool LoadMacroFromFile(const QString &AMacroFile, TMACROKEYINFO &out);
    // The same for bytes already read: at most 896 of them over the record.
    static void TakeMacroFileImage(const QByteArray &bytes, TMACROKEYINFO &out);
    // Writes each macro of the list as "<folder>/<name>.macro", the name made
    // safe as a file name. False when the path is empty, the folder cannot be
    // made or a file cannot be written.
    static bool SaveMacroKeyInfoListToMacroFiles(const TMACROKEYINFOLIST &AMacroKeyInfoList, const QString &AMacroPath);
    // The file name a macro of that name is saved under.
    static QString MacroFileName(const QString &AMacroName);

private:
    friend class TkwActionsClass;

    bool ValidIndex(int i) const { return i >= 0 && i < MacroListCount(); }
    uint64_t MacroIdAt(int slot) const;
    bool SlotHoldsMacro(int slot, uint64_t id) const;
    void Append(const TMACROKEYINFO &macro);
    void Renumber();
    void RebuildEditor(int index);
    void InsertSteps(const TMACROKEYINFO &AMacroKeyInfo, int AIndex,
                     bool (TkwActionsClass::*insert)(const TMACROKEY &, int));
    void RebindEditor();
    void Replace(const std::vector<TMACROKEYINFO> &macros);
    void StoreFromEditor(int slot, const TMACROKEYINFO &record);

    std::vector<TMACROKEYINFO> FMacroKeyInfoList;
    std::vector<uint64_t> FMacroIds; // parallel to the list: who is who after moves
    uint64_t FNextMacroId = 1;
    int FMacroListIndex = -1;
    int FMaxMacroListCount = MACRO_LIST_CAPACITY;
    std::unique_ptr<TkwActionsClass> FCurrentMacroAction;
};

// ---------------------------------------------------------------------------
// The macro database
// ---------------------------------------------------------------------------

// What a macro database object holds in memory: its image, its sets, the
// current set and the working macro list with its current macro. Taken
// before a window edits the macros in place, so leaving that window without
// saving can put everything back.
struct TkwMacroSetState {
    std::unique_ptr<TkwMacroSetDb> Image;
    std::vector<TkwMacroListOfMacroSet> Sets;
    int CurrentSetIndex = -1;
    QString CurrentSetName;
    std::vector<TMACROKEYINFO> CurrentSetMacros;
    std::vector<TMACROKEYINFO> WorkingMacros;
    int WorkingMacroIndex = -1;
};

enum class TMacroSetDbLoad {
    Loaded,        // a full image was read
    Created,       // no file: an empty database was written
    CreateFailed,  // no file, and writing the empty one failed
    Rejected,      // a file that is too short, unreadable or not one this suite wrote: kept, replaced (with a .bak) at the next save
};

class TkwMacroSetClass {
public:
    TkwMacroSetClass();
    TkwMacroSetClass(const TkwMacroSetClass &) = delete;
    TkwMacroSetClass &operator=(const TkwMacroSetClass &) = delete;

    TMacroSetDbLoad LoadMacrosetDB(const QString &ABaseMacrosetDBFile);
    // Writes the whole image atomically; false (file untouched) when there is
    // no path yet or the write fails.
    bool SaveMacroSetDB();
    void SaveBackMacroSetListToDB();

    bool MacroSetExist(const QString &AMacroSetName) const;
    // 1 created, 0 a set of that name exists (now current), -1 no room for a 22nd set.
    int CreateNewMacroSet(const QString &AMacroSetName);
    bool DeleteMacroSet(const QString &AMacroSetName);
    bool DeleteMacroSet(int AIndex);
    bool ReNameMacroSet(const QString &AOldMacroSetName, const QString &ANewMacroSetName);
    bool SwitchToMacroSet(const QString &AMacroSetName);
    bool SwitchToMacroSet(int AIndex);
    QStringList GetMacroSetListNames() const;
    std::optional<QStringList> GetMacroListNamesByMacroSetIndex(int AMacroSetIndex) const;
    QStringList GetMacroListNamesByMacroSetName(const QString &AMacroSetName) const;

    // 1 created, 0 a macro of that name exists, -1 the list is full or no set
    // is current (nothing is created).
    int CreateNewMacro(const QString &AMacroName);
    bool DeleteMacro(const QString &AMacroName);
    bool DeleteMacro(int AIndex);
    bool ReNameMacro(const QString &AOldMacroName, const QString &ANewMacroName);
    // Copies the working list into the current set; false when no set is current.
    bool SaveBackCurrentMacroClassDataToCurrentMacroList();

    // Everything the object holds in memory now, and a return to it (the
    // file's name and what is known about the file on disk stay as they are).
    TkwMacroSetState SaveState() const;
    void RestoreState(const TkwMacroSetState &AState);
    // Whether the macros held now are those of `AState`: the same sets, and
    // in each the same macros in the same order with the same names, options
    // and steps. Which macro is selected and what is derived from the steps
    // (their error marks) do not count.
    bool HoldsSameMacrosAs(const TkwMacroSetState &AState) const;

    int MacroSetCount() const { return static_cast<int>(FMacroSetList.size()); }
    const std::vector<TkwMacroListOfMacroSet> &MacroSetList() const { return FMacroSetList; }
    QString MacroSetBaseDir() const { return FBaseDirectory; }
    QString CurrentMacroSetName() const { return FCurrentMacrosetName; }
    int CurrentMacroSetIndex() const { return FCurrentMacroSetIndex; }
    const std::vector<TMACROKEYINFO> &CurrentMacroKeyInfoList() const { return FCurrentMacroKeyInfoList; }
    TkwMacroClass *CurrentMacroClass() const { return FCurrentMacroClass.get(); }
    const TkwMacroSetDb &MacroSetDB() const { return *FMacroSetDB; }
    QString MacroSetDBFile() const { return FBaseMacrosetDBFile; }

    // The database read from raw bytes as a load does: a full image whose
    // counts are ones this suite writes (ImageFault null); false, and nothing
    // taken, otherwise. Used by the loader and fuzzing.
    bool TakeImage(const QByteArray &bytes);
    // Why `bytes` are not a database image this suite wrote (a phrase for a
    // log line), or null when they are one.
    static const char *ImageFault(const QByteArray &bytes);

private:
    int IndexOfMacroSet(const QString &name) const;
    void RebuildSetList();

    QString FBaseMacrosetDBFile;
    QString FBaseDirectory;
    std::unique_ptr<TkwMacroSetDb> FMacroSetDB;
    std::vector<TkwMacroListOfMacroSet> FMacroSetList;
    int FCurrentMacroSetIndex = -1;
    QString FCurrentMacrosetName;
    std::vector<TMACROKEYINFO> FCurrentMacroKeyInfoList;
    std::unique_ptr<TkwMacroClass> FCurrentMacroClass;
    bool FBackUpBeforeSave = false; // the file on disk was rejected at load
};
