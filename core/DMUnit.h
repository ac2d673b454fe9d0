#pragma once
// TDM: the data module both programs create first, before any window. It owns
// the ten blob stores the suite keeps its records in, loads them at start-up
// (factory defaults where storage has nothing), holds the working copy of the
// current profile that the windows edit in place, and switches, saves and
// restores the profiles.
//
// Both programs share the stored values without a lock: the configuration
// program writes, then tells the monitor, which reloads. Every value is
// replaced atomically by the value store, so a reader never sees half a value.
//
// Stored images are untrusted. Whatever they hold, the working copy and every
// profile store end up as a whole, valid profile (the loaded one, or that
// entry's factory defaults), never an all-zero or half-written one that the
// next save would write over good data or APPLY would send to the mouse.
// Each such fall-back leaves one diagnostic line.
//
// Main thread only. The records are large (over 400 KiB together): create a
// TDM on the heap.

#include "core/kwProfile.h"
#include "core/pubunit_device.h"
#include "core/pubunit_device_config.h"

#include <QList>
#include <QObject>
#include <QString>
#include <array>
#include <cstddef>
#include <memory>

// What a data module is built over. The programs leave everything empty and
// get the user's store and folders; tests point each root at a temporary
// folder, and two modules over one store play the two programs.
struct TDMRoots {
    std::shared_ptr<hkt::platform::ValueStore> ValueStore{}; // null: the user's store
    QString ProgramFolder{};   // folder of config.ini; empty: the executable's folder
    QString DocumentsFolder{}; // empty: the user's documents folder
    // The display language (a position in the language file) an all-settings
    // record made from the factory defaults takes: the programs pass the
    // desktop's, as an installer would have chosen it; a stored choice is
    // never replaced by it. Outside 0..255: the first language.
    int FreshLanguage = 0;
};

class TDM : public QObject {
    Q_OBJECT

    // Declared first: the stores below are built over it.
    TDMRoots FRoots;

public:
    explicit TDM(QObject *parent = nullptr);
    explicit TDM(TDMRoots roots, QObject *parent = nullptr);
    ~TDM() override;

    // The creation and destruction events; the constructor runs the first.
    void DataModuleCreate(QObject *Sender);
    void DataModuleDestroy(QObject *Sender);

    // ---- stores
    TkwProfile kwProfileAllSettingInfo;
    TkwProfile kwProfileGame1;
    TkwProfile kwProfileGame2;
    TkwProfile kwProfileGame3;
    TkwProfile kwProfileGame4;
    TkwProfile kwProfileGame5;
    TkwProfile kwProfileSettingGroup;
    TkwProfile kwProfileDefaultGame;
    TkwProfile kwProfileTest;
    TkwProfile kwProfileRecordMacroInfo;

    // ---- records (the windows read and change them in place)
    TALLGAMESINFO FAllProfileSettingInfo{};
    // Slots 0..4 refer to kwProfileGame1..5 once the start-up has run; slot 5
    // is never set.
    std::array<TkwProfile *, 6> FProfileGroup{};
    std::array<bool, PROFILE_COUNT> FProfileChanged{};
    TProfileSettingGroup FProfileSettingGroup{};
    int FProfileGroupIndex = 0;
    int FProfileIndex = 0;
    TMouseProfileInfo FCurrentProfileInfo{};
    TOtherConfig FOtherConfig{};
    TMouseProfileInfo FDefaultProfileInfo{};
    TMouseProfileInfo FTestProfileInfo{};
    TMACROKEYINFO FRecordMacroInfo{};
    TOptionsFromConfigFile FOptionsFromConfigFile{};

    // ---- paths
    // The profile folder (documents folder, ProfileFolder, '/'), created with
    // all missing parents. When it cannot be created the path is still
    // returned (one diagnostic line): profiles then live in the value store
    // only, since a store takes a folder only when it exists.
    QString GetPersonalDocumentProfilePath();
    // The macro database file (profile folder, ProfileMacroFolder,
    // "/MacroSet.MSDB"); creates the profile folder and the macro folder.
    QString GetPersonalDocumentMacroDatabasePath();

    // ---- start-up and reload
    void LoadProfileGroupSettingInfoFromRegistry();
    void LoadAllProfileInfoFromRegistry();
    void LoadCurrentProfileInfoFromRegistry();
    // Replaces the current profile's store and working copy with the file (a
    // file shorter than a profile is refused and changes nothing).
    bool LoadCurrentProfileInfoFromFile(const QString &AFile);
    // The same from bytes already read and checked by the caller: the store
    // becomes exactly `image` (at least a whole profile), the working copy its
    // first profile's worth. False, and nothing changes, for a shorter image.
    bool LoadCurrentProfileInfoFromImage(const QByteArray &image);
    bool LoadProfileInfoFromRegistry(int AProfileIndex);
    bool LoadRecordMacroInfoFromRegistry();

    // ---- reading and switching
    bool SwitchToProfile(int AProfileIndex);
    bool SwitchToProfileGroup(int AProfileGroupIndex);
    bool ReadCurrentProfileInfo();
    bool ReadProfileInfo(TMouseProfileInfo &AProfileInfo, int AProfileIndex);
    static bool IsProfileIndexInRange(int AProfileIndex);
    static bool IsProfileGroupIndexInRange(int AProfileGroupIndex);

    // ---- writing back and saving (true when every write it made succeeded)
    void SaveBackToCurrentProfileInfo();
    bool SaveCurrentProfileInfoToRegistry();
    bool SaveCurrentProfileInfoToFile();
    bool SaveCurrentProfileInfoToFile(const QString &AFile);
    bool SaveBackToProfileInfo(const TMouseProfileInfo &AProfileInfo, int AProfileIndex);
    bool SaveProfileInfoToRegistry(int AProfileIndex);
    bool SaveBackAllProfileInfo();
    bool SaveBackAllProfileInfoToRegistry();
    bool SaveBackAllProfileInfoToFile();
    bool SaveBackAllProfileSettingInfo();
    void SaveBackToProfileGroupSettingInfo();
    bool SaveProfileGroupSettingInfoToRegistry();
    bool SaveBackRecordMacroInfoToRegistry(const TMACROKEYINFO &ARecordMacroInfo);
    // Refuses (false, nothing changes) a name that is not a plain file name of
    // at most 20 characters or a folder longer than the record can hold.
    bool ChangeCurrentProfileFileNameAndPath(const QString &AProfileFilePath);

    // ---- factory defaults
    void RestoreCurrentProfileInfoToDefault();
    void RestoreAllProfileInfoToDefault();
    bool RestoreProfileInfoToDefault(int AProfileIndex);
    bool RestoreProfileGroupToDefault(int AProfileGroupIndex);
    bool RestoreProfileSettingGroupToDefault();
    void RestoreToDefaultCPISetting();
    void RestoreToDefaultLightAndReportAdvancedSetting();
    void InitTestDefaultValue();

    // ---- changed flags and macros
    void SetProfileChanged(int AIndex, bool AIsChanged);
    bool IsProfileChanged(int AIndex) const;
    // The changed flags, kept in the value store while a run of APPLY has
    // profiles the mouse does not yet hold: APPLY stores them before it writes
    // the mouse and again when its run ends. The start-up takes them back, so
    // the next APPLY after a run that never ended (the program killed, the
    // mouse unplugged) writes every profile still owed to the mouse. No value
    // when none is owed. False when the store refused.
    bool SaveProfileChangedMarks();

    // ---- what the mouse holds of what it also changes by itself
    // Each profile's DPI level and polling rate can change on the mouse at
    // any time, with or without a program listening. The module keeps, per
    // profile, the level and rate (Hz) the mouse is known to hold: the last
    // value read from it, written into it, or reported by it. A value of the
    // PC's that differs from it was edited in the window since and is owed to
    // the mouse; one that equals it follows the mouse.
    // Kept in the value store beside the changed marks. A profile's entry is
    // stored only together with that profile's store (each save of a profile
    // store to the registry stores its entry), so the stored entry always
    // describes the stored profile: an entry newer than its profile would make
    // a value the mouse changed look like an edit of the PC's.
    struct TMouseHolds {
        int Level = -1; // -1: not known
        int Rate = 0;   // Hz; 0: not known
        bool operator==(const TMouseHolds &) const = default;
    };
    const TMouseHolds &MouseHolds(int AProfileIndex) const;
    void NoteMouseHoldsLevel(int AProfileIndex, int ALevel);
    void NoteMouseHoldsRate(int AProfileIndex, int ARate);
    // Whether the PC's level / rate of the profile (the working copy for the
    // current profile) is owed to the mouse: it differs from what the mouse
    // is known to hold, or that is not known.
    bool IsLevelOwedToMouse(int AProfileIndex) const;
    bool IsRateOwedToMouse(int AProfileIndex) const;
    // Stores the entries of the profiles `which` marks, whose stored profiles
    // are as in memory (at start-up before any edit; APPLY, after writing
    // what it stored). False when the store refused.
    bool SaveMouseHolds(const std::array<bool, PROFILE_COUNT> &which);
    // Distinct macro slots (0..29) of macro buttons over the five profiles, in
    // the order first met.
    QList<int> GetAllProfilesMacroIndexList();

    // ---- defaults callbacks bound to the stores
    void kwProfileGame1RestoreToDefault(QByteArray &AStream);
    void kwProfileGame2RestoreToDefault(QByteArray &AStream);
    void kwProfileGame3RestoreToDefault(QByteArray &AStream);
    void kwProfileGame4RestoreToDefault(QByteArray &AStream);
    void kwProfileGame5RestoreToDefault(QByteArray &AStream);
    void kwProfileTestRestoreToDefault(QByteArray &AStream);
    void kwProfileAllSettingInfoRestoreToDefault(QByteArray &AStream);
    void kwProfileSettingGroupRestoreToDefault(QByteArray &AStream);

private:
    TkwProfile &CurrentStore() { return *FProfileGroup[std::size_t(FProfileIndex)]; }
    void ReadOptions();
    void Bind(TkwProfile &store, const QString &name);
    void BindProfileStore(int p);
    void LoadProfileGroupStore(bool startUp);
    void LoadAllSettingsStore(bool startUp);
    bool RepairProfileSettingGroup(qint64 imageSize);
    void SetGroupAndProfileIndex();
    void LoadProfileChangedMarks();
    void LoadMouseHolds();
    // The PC's level and rate of a profile: the working copy's for the
    // current one.
    TMouseHolds PCLevelAndRate(int AProfileIndex) const;
    bool SaveMouseHoldsOf(int AProfileIndex);
    std::array<TMouseHolds, PROFILE_COUNT> FMouseHolds{};
    // As stored; nothing is written while it would not change.
    std::array<TMouseHolds, PROFILE_COUNT> FMouseHoldsStored{};
    bool FMouseHoldsStoredValid = false;
    bool SaveStoreToFile(TkwProfile &store);
};

// The data module of the running program; set by the program's entry when it
// creates its one instance. Tests create their own and leave it alone.
extern TDM *DM;
