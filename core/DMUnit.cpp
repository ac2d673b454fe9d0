#include "core/DMUnit.h"

#include "core/FactoryDefaults.h"
#include "core/pubunit_device_transport.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <vector>

using hkt::platform::ReadStatus;

TDM *DM = nullptr;

namespace {

constexpr char RECORD_MACRO_VALUE_NAME[] = "RecordRPROFILE.pfd";
constexpr char DEFAULT_GAME_VALUE_NAME[] = "HKT75ProfileDef.pfd";
constexpr char TEST_PROFILE_VALUE_NAME[] = "HKT75ProfileTest.pfd";
constexpr char MACRO_DATABASE_FILE_NAME[] = "MacroSet.MSDB";
// Longer than any profile's file name (20 characters), so never one of them.
constexpr char PROFILES_NOT_IN_MOUSE_VALUE_NAME[] = "ProfilesNotYetInTheMouse";
constexpr char MOUSE_HOLDS_VALUE_NAME[] = "LevelsAndRatesInTheMouse";

// One profile's entry of the stored record of what the mouse holds.
struct TMouseHoldsEntry {
    uint8_t Level; // 0..4, 0xFF not known
    uint8_t Reserved;
    uint16_t Rate; // Hz, 0 not known
};
static_assert(sizeof(TMouseHoldsEntry) == 4);
constexpr int kMouseHoldsSize = PROFILE_COUNT * int(sizeof(TMouseHoldsEntry));

bool IsPollingRate(int rate)
{
    return rate == 125 || rate == 250 || rate == 500 || rate == 1000;
}

template <class T>
void ReadRecord(const TkwProfile &store, T &rec)
{
    store.Read(&rec, int(sizeof(T)));
}

template <class T>
void WriteRecord(TkwProfile &store, const T &rec)
{
    store.Write(&rec, int(sizeof(T)));
}

enum class ProfileLoad { Loaded, Missing, Unusable };

// Loads a profile store and keeps the result only when it is a whole profile
// the suite wrote: at least a profile's size, with the header version every
// profile the suite creates carries (the one LOAD FILE requires). Anything
// else (a value or file cut short, zeros, 0xFF, another program's bytes)
// would reach the mouse as a button map without a left click, so it is
// refused with one line and the store keeps its previous image; the caller
// decides what replaces it. A longer image keeps its tail, as stored.
template <class Load>
ProfileLoad LoadWholeProfile(TkwProfile &store, Load &&load, const QString &what, const char *instead)
{
    const QByteArray previous = store.Image();
    if (!load())
        return store.LastLoadStatus() == ReadStatus::Missing ? ProfileLoad::Missing : ProfileLoad::Unusable;
    if (store.Size() < qint64(PROFILE_RECORD_SIZE)) {
        qWarning("hkt75: %s holds %lld bytes, less than a profile; %s", qUtf8Printable(what),
                 static_cast<long long>(store.Size()), instead);
        store.ReplaceImage(previous);
        return ProfileLoad::Unusable;
    }
    int32_t version = 0;
    std::memcpy(&version, store.Image().constData() + offsetof(TProfileHeader, FFileVersion), sizeof version);
    if (version != PROFILE_FILE_VERSION) {
        qWarning("hkt75: %s has header version %d, not a profile this suite wrote (%d); %s", qUtf8Printable(what),
                 int(version), int(PROFILE_FILE_VERSION), instead);
        store.ReplaceImage(previous);
        return ProfileLoad::Unusable;
    }
    return ProfileLoad::Loaded;
}

constexpr char kUsingDefaults[] = "using the profile's factory defaults";
constexpr char kKeepingProfile[] = "keeping the profile as it was";

// The whole fields of the all-settings record that a stored image of `size`
// bytes holds: each profile entry, the current profile, the language.
struct RecordField {
    std::size_t offset, size;
};
std::vector<RecordField> WholeAllSettingsFields(qint64 size)
{
    std::vector<RecordField> fields;
    for (int p = 0; p < PROFILE_COUNT; ++p)
        fields.push_back({offsetof(TALLGAMESINFO, Allgameset) + sizeof(TProfileSettingItem) * std::size_t(p),
                          sizeof(TProfileSettingItem)});
    fields.push_back({offsetof(TALLGAMESINFO, CurrentGame), sizeof(TALLGAMESINFO::CurrentGame)});
    fields.push_back({offsetof(TALLGAMESINFO, CurrentLanguage), sizeof(TALLGAMESINFO::CurrentLanguage)});
    std::erase_if(fields, [size](const RecordField &f) { return qint64(f.offset + f.size) > size; });
    return fields;
}

} // namespace

TDM::TDM(QObject *parent) : TDM(TDMRoots{}, parent) {}

TDM::TDM(TDMRoots roots, QObject *parent)
    : QObject(parent),
      FRoots([&] {
          if (!roots.ValueStore)
              roots.ValueStore = hkt::platform::UserValueStore();
          if (roots.ProgramFolder.isEmpty())
              roots.ProgramFolder = hkt::platform::ProgramFolder();
          if (roots.DocumentsFolder.isEmpty())
              roots.DocumentsFolder = hkt::platform::DocumentsFolder();
          roots.ProgramFolder = hkt::platform::WithTrailingSeparator(roots.ProgramFolder);
          roots.DocumentsFolder = hkt::platform::WithTrailingSeparator(roots.DocumentsFolder);
          return roots;
      }()),
      kwProfileAllSettingInfo(FRoots.ValueStore), kwProfileGame1(FRoots.ValueStore),
      kwProfileGame2(FRoots.ValueStore), kwProfileGame3(FRoots.ValueStore), kwProfileGame4(FRoots.ValueStore),
      kwProfileGame5(FRoots.ValueStore), kwProfileSettingGroup(FRoots.ValueStore),
      kwProfileDefaultGame(FRoots.ValueStore), kwProfileTest(FRoots.ValueStore),
      kwProfileRecordMacroInfo(FRoots.ValueStore)
{
    // The design-time settings: only the defaults callbacks are bound.
    kwProfileGame1.OnRestoreToDefault = [this](QByteArray &s) { kwProfileGame1RestoreToDefault(s); };
    kwProfileGame2.OnRestoreToDefault = [this](QByteArray &s) { kwProfileGame2RestoreToDefault(s); };
    kwProfileGame3.OnRestoreToDefault = [this](QByteArray &s) { kwProfileGame3RestoreToDefault(s); };
    kwProfileGame4.OnRestoreToDefault = [this](QByteArray &s) { kwProfileGame4RestoreToDefault(s); };
    kwProfileGame5.OnRestoreToDefault = [this](QByteArray &s) { kwProfileGame5RestoreToDefault(s); };
    kwProfileDefaultGame.OnRestoreToDefault = [this](QByteArray &s) { kwProfileGame1RestoreToDefault(s); };
    kwProfileTest.OnRestoreToDefault = [this](QByteArray &s) { kwProfileTestRestoreToDefault(s); };
    kwProfileAllSettingInfo.OnRestoreToDefault = [this](QByteArray &s) {
        kwProfileAllSettingInfoRestoreToDefault(s);
    };
    kwProfileSettingGroup.OnRestoreToDefault = [this](QByteArray &s) { kwProfileSettingGroupRestoreToDefault(s); };
    // The test store keeps its zero minimum: its defaults leave an empty image alone.
    for (TkwProfile *s : {&kwProfileGame1, &kwProfileGame2, &kwProfileGame3, &kwProfileGame4, &kwProfileGame5,
                          &kwProfileDefaultGame})
        s->SetMinimumDefaultSize(qint64(PROFILE_RECORD_SIZE));
    kwProfileAllSettingInfo.SetMinimumDefaultSize(qint64(sizeof(TALLGAMESINFO)));
    kwProfileSettingGroup.SetMinimumDefaultSize(qint64(sizeof(TProfileSettingGroup)));

    DataModuleCreate(this);
}

TDM::~TDM()
{
    DataModuleDestroy(this);
}

void TDM::DataModuleDestroy(QObject *) {}

// ------------------------------------------------------------------ start-up

void TDM::ReadOptions()
{
    // The readers refuse option values that could lead out of their folders
    // or be cut into colliding profile names; the value store encodes every
    // key part, so the key path cannot leave the store either.
    const QString ini = FRoots.ProgramFolder + QLatin1String(CONFIG_FILE_NAME);
    LoadOptionsFromConfigFile(FOptionsFromConfigFile, ini);
    LoadOtherConfig(FOtherConfig, ini);
}

void TDM::Bind(TkwProfile &store, const QString &name)
{
    store.SetRootKey(HKEY_CURRENT_USER);
    store.SetKeyPath(FOptionsFromConfigFile.ProfileRegFolder);
    store.SetFileName(name);
}

void TDM::DataModuleCreate(QObject *)
{
    ReadOptions();
    HIDUsageAndPage.UsagePage = kMouseVendorUsagePage;
    HIDUsageAndPage.Usage = kMouseVendorUsage;
    FProfileGroupIndex = 0;

    // Group store.
    Bind(kwProfileSettingGroup, QLatin1String(PROFILE_SETTING_GROUP_VALUE_NAME));
    kwProfileSettingGroup.Write(QByteArray(int(sizeof(TProfileSettingGroup)), '\0').constData(),
                                int(sizeof(TProfileSettingGroup)));
    LoadProfileGroupStore(true);

    // All-settings store, and the recorded-macro store (bound, never loaded).
    Bind(kwProfileAllSettingInfo, QLatin1String(ALL_SETTINGS_VALUE_NAME));
    WriteRecord(kwProfileAllSettingInfo, FAllProfileSettingInfo);
    LoadAllSettingsStore(true);
    Bind(kwProfileRecordMacroInfo, QLatin1String(RECORD_MACRO_VALUE_NAME));
    WriteRecord(kwProfileRecordMacroInfo, FRecordMacroInfo);

    // Profiles.
    TkwProfile *games[PROFILE_COUNT] = {&kwProfileGame1, &kwProfileGame2, &kwProfileGame3, &kwProfileGame4,
                                        &kwProfileGame5};
    for (int p = 0; p < PROFILE_COUNT; ++p)
        FProfileGroup[std::size_t(p)] = games[p];
    const QByteArray zero(int(PROFILE_RECORD_SIZE), '\0');
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        TkwProfile &store = *games[p];
        BindProfileStore(p);
        store.Write(zero.constData(), zero.size());
        const TProfileSettingItem &entry = FProfileSettingGroup.ProfileSettingList[p];
        if (entry.StoreInFile == 1) {
            // The entry's folder, whether or not the store took it.
            const QString file = hkt::platform::WithTrailingSeparator(FieldText(entry.FilePath)) + store.FileName();
            switch (LoadWholeProfile(store, [&] { return store.LoadStreamFromFile(file); }, file, kUsingDefaults)) {
            case ProfileLoad::Loaded:
                break;
            case ProfileLoad::Missing:
                store.RestoreToDefault();
                store.SaveStreamToFile(file);
                break;
            case ProfileLoad::Unusable:
                // There but not usable: defaults in memory only. The file is
                // left as it is (it may be a passing read error) and kept as
                // .bak before a save writes over it.
                store.RestoreToDefault();
                store.KeepFileBeforeSave(file);
                break;
            }
        } else {
            // StoreInFile 0 (the repair made every other value 0): the registry;
            // the defaults stay in memory until the next save.
            const QString what = QStringLiteral("profile value ") + store.FileName();
            const ProfileLoad loaded =
                LoadWholeProfile(store, [&] { return store.LoadStreamFromRegistry(); }, what, kUsingDefaults);
            if (loaded != ProfileLoad::Loaded)
                store.RestoreToDefault();
            if (loaded == ProfileLoad::Unusable)
                store.KeepStoredValueBeforeSave();
        }
    }

    LoadProfileChangedMarks();
    LoadMouseHolds();

    const std::optional<int> game = CheckedCurrentGame(FAllProfileSettingInfo);
    if (!game)
        qWarning("hkt75: stored current profile %d is out of range; starting with profile %d",
                 int(FAllProfileSettingInfo.CurrentGame), FProfileIndex + 1);
    SwitchToProfile(game.value_or(FProfileIndex));
}

void TDM::BindProfileStore(int p)
{
    TkwProfile &store = *FProfileGroup[std::size_t(p)];
    const TProfileSettingItem &entry = FProfileSettingGroup.ProfileSettingList[p];
    store.SetRootKey(HKEY_CURRENT_USER);
    store.SetFileName(FieldText(entry.FileName));
    store.SetFilePath(FieldText(entry.FilePath));
    store.SetKeyPath(FOptionsFromConfigFile.ProfileRegFolder);
}

void TDM::LoadProfileGroupStore(bool startUp)
{
    TkwProfile &store = kwProfileSettingGroup;
    const bool loaded = store.LoadStreamFromRegistry();
    if (!loaded) {
        if (store.LastLoadStatus() == ReadStatus::Missing) {
            store.RestoreToDefault();
            store.SaveStreamToRegistry();
        } else {
            // Unreadable, not missing: the value is left alone until a save
            // writes over it, which keeps it as .bak first. At start-up the
            // defaults serve; on a reload the store keeps the group it held.
            if (startUp) {
                qWarning("hkt75: profile group value unreadable; using defaults");
                store.RestoreToDefault();
            }
            store.KeepStoredValueBeforeSave();
        }
    }
    ReadRecord(store, FProfileSettingGroup);
    if (RepairProfileSettingGroup(store.Size())) {
        WriteRecord(store, FProfileSettingGroup);
        if (loaded) {
            store.KeepStoredValueBeforeSave();
            store.SaveStreamToRegistry();
        }
    }
    SetGroupAndProfileIndex();
}

void TDM::SetGroupAndProfileIndex()
{
    // The repair guarantees both are in range; the checked accessors keep a
    // raw stored value from ever indexing an array.
    FProfileGroupIndex = CheckedCurrentProfileGroup(FProfileSettingGroup).value_or(0);
    FProfileIndex = CheckedGroupProfileIndex(FProfileSettingGroup).value_or(0);
}

bool TDM::RepairProfileSettingGroup(qint64 imageSize)
{
    TProfileSettingGroup &g = FProfileSettingGroup;
    // The defaults of every entry, made over a zero record as at start-up.
    QByteArray defaultsImage(int(sizeof(TProfileSettingGroup)), '\0');
    bool haveDefaults = false;
    auto defaults = std::make_unique<TProfileSettingGroup>();
    const auto entryDefault = [&](int p) -> const TProfileSettingItem & {
        if (!haveDefaults) {
            kwProfileSettingGroupRestoreToDefault(defaultsImage);
            std::memcpy(defaults.get(), defaultsImage.constData(), sizeof(TProfileSettingGroup));
            haveDefaults = true;
        }
        return defaults->ProfileSettingList[p];
    };

    bool changed = false;
    if (imageSize < qint64(sizeof(TProfileSettingGroup)))
        qWarning("hkt75: profile group value holds %lld bytes, less than the record; completing it with defaults",
                 static_cast<long long>(imageSize));
    const qint64 headerEnd = qint64(offsetof(TProfileSettingGroup, ProfileSettingList));
    if (imageSize < headerEnd || !CheckedCurrentProfileGroup(g)) {
        if (imageSize >= headerEnd)
            qWarning("hkt75: stored profile group %d is out of range; using group 1", int(g.CurrentProfileGroup));
        g.CurrentProfileGroup = 0;
        changed = true;
    }
    for (int k = 0; k < 2; ++k) {
        const int32_t v = g.ProfileIndexOfProfileGroup[k];
        if (imageSize < headerEnd || v < 0 || v >= PROFILE_COUNT) {
            if (imageSize >= headerEnd)
                qWarning("hkt75: profile group %d names profile index %d; using its default", k + 1, int(v));
            g.ProfileIndexOfProfileGroup[k] = k; // the defaults: 0 and 1
            changed = true;
        }
    }
    QStringList seen;
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        TProfileSettingItem &e = g.ProfileSettingList[p];
        const qint64 entryEnd = headerEnd + qint64(sizeof(TProfileSettingItem)) * (p + 1);
        const QString name = FieldText(e.FileName);
        const char *fault = nullptr;
        if (imageSize < entryEnd)
            fault = "was not stored";
        else if (!IsSafeFileName(name))
            fault = "has no usable file name";
        else if (seen.contains(name, Qt::CaseInsensitive))
            fault = "shares its name with another profile";
        if (fault) {
            if (imageSize >= entryEnd)
                qWarning("hkt75: profile %d's storage entry %s; using its default", p + 1, fault);
            e = entryDefault(p);
            changed = true;
        } else if (e.StoreInFile > 1 || (e.StoreInFile == 1 && FieldText(e.FilePath).isEmpty())) {
            // A value other than file or registry would load the profile from
            // nowhere and leave it empty; the registry is where every save
            // writes it anyway.
            qWarning("hkt75: profile %d's storage place %d is not usable; reading it from the value store", p + 1,
                     int(e.StoreInFile));
            e.StoreInFile = 0;
            changed = true;
        }
        seen << FieldText(e.FileName);
    }
    // An entry's default name can itself be taken by another entry's stored
    // name (entry 1 stored as "Profile2.pfd", entry 2 replaced by its default
    // "Profile2.pfd"). Two profiles sharing one value and file would overwrite
    // each other on every save, so the whole list falls back to its defaults,
    // whose names are distinct.
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        const QString name = FieldText(g.ProfileSettingList[p].FileName);
        bool shared = false;
        for (int q = p + 1; q < PROFILE_COUNT && !shared; ++q)
            shared = name.compare(FieldText(g.ProfileSettingList[q].FileName), Qt::CaseInsensitive) == 0;
        if (shared) {
            qWarning("hkt75: profile storage entries still share the name %s; using the default entries",
                     qUtf8Printable(name));
            for (int q = 0; q < PROFILE_COUNT; ++q)
                g.ProfileSettingList[q] = entryDefault(q);
            changed = true;
            break;
        }
    }
    return changed;
}

void TDM::LoadAllSettingsStore(bool startUp)
{
    TkwProfile &store = kwProfileAllSettingInfo;
    if (!store.LoadStreamFromRegistry()) {
        if (store.LastLoadStatus() == ReadStatus::Missing) {
            store.RestoreToDefault();
            store.SaveStreamToRegistry();
        } else {
            if (startUp) {
                qWarning("hkt75: all-settings value unreadable; using defaults");
                store.RestoreToDefault();
            }
            store.KeepStoredValueBeforeSave();
        }
    } else if (store.Size() < qint64(sizeof(TALLGAMESINFO))) {
        // Cut short: the whole fields it holds (profile entries, the current
        // profile, the language) are kept; the rest, including a field cut
        // in two, takes the defaults, made over a zero record as at start-up.
        // Completed in memory; the stored value is kept as .bak before a
        // save writes over it.
        qWarning("hkt75: all-settings value holds %lld bytes, less than the record; completing it with defaults",
                 static_cast<long long>(store.Size()));
        const QByteArray stored = store.Image();
        QByteArray image(int(sizeof(TALLGAMESINFO)), '\0');
        kwProfileAllSettingInfoRestoreToDefault(image);
        for (const RecordField &f : WholeAllSettingsFields(stored.size()))
            std::memcpy(image.data() + f.offset, stored.constData() + f.offset, f.size);
        store.ReplaceImage(image);
        store.KeepStoredValueBeforeSave();
    }
    ReadRecord(store, FAllProfileSettingInfo);
    // A current profile out of range is replaced at the next switch or save
    // (start-up falls back to the group's profile): the stored bytes are
    // kept once before that, as for any other repaired record.
    if (!CheckedCurrentGame(FAllProfileSettingInfo))
        store.KeepStoredValueBeforeSave();
}

// ------------------------------------------------------------------- paths

QString TDM::GetPersonalDocumentProfilePath()
{
    const QString folder = FRoots.DocumentsFolder + FOptionsFromConfigFile.ProfileFolder + QLatin1Char('/');
    if (!hkt::platform::EnsureFolder(folder, 0755))
        qWarning("hkt75: cannot create the profile folder %s; profiles are kept in the value store only",
                 qUtf8Printable(folder));
    return folder;
}

QString TDM::GetPersonalDocumentMacroDatabasePath()
{
    const QString folder = GetPersonalDocumentProfilePath() + FOptionsFromConfigFile.ProfileMacroFolder;
    if (!hkt::platform::EnsureFolder(folder, 0755))
        qWarning("hkt75: cannot create the macro folder %s", qUtf8Printable(folder));
    return folder + QLatin1Char('/') + QLatin1String(MACRO_DATABASE_FILE_NAME);
}

// ----------------------------------------------------------------- reloads

void TDM::LoadProfileGroupSettingInfoFromRegistry()
{
    LoadProfileGroupStore(false);
}

void TDM::LoadAllProfileInfoFromRegistry()
{
    LoadAllSettingsStore(false);
}

void TDM::LoadCurrentProfileInfoFromRegistry()
{
    TkwProfile &store = CurrentStore();
    if (LoadWholeProfile(store, [&] { return store.LoadStreamFromRegistry(); },
                         QStringLiteral("profile value ") + store.FileName(), kKeepingProfile)
        == ProfileLoad::Unusable)
        store.KeepStoredValueBeforeSave();
    ReadRecord(store, FCurrentProfileInfo);
}

bool TDM::LoadCurrentProfileInfoFromFile(const QString &AFile)
{
    TkwProfile &store = CurrentStore();
    const bool ok = LoadWholeProfile(store, [&] { return store.LoadStreamFromFile(AFile); }, AFile, kKeepingProfile)
                    == ProfileLoad::Loaded;
    ReadRecord(store, FCurrentProfileInfo);
    return ok;
}

bool TDM::LoadCurrentProfileInfoFromImage(const QByteArray &image)
{
    if (image.size() < qsizetype(PROFILE_RECORD_SIZE))
        return false;
    // A profile that is not the one the store held is the user's edit, owed
    // to the mouse.
    if (CurrentStore().Image() != image)
        FProfileChanged[std::size_t(FProfileIndex)] = true;
    CurrentStore().ReplaceImage(image);
    ReadRecord(CurrentStore(), FCurrentProfileInfo);
    return true;
}

bool TDM::LoadProfileInfoFromRegistry(int AProfileIndex)
{
    if (!IsProfileIndexInRange(AProfileIndex))
        return false;
    TkwProfile &store = *FProfileGroup[std::size_t(AProfileIndex)];
    const ProfileLoad loaded = LoadWholeProfile(store, [&] { return store.LoadStreamFromRegistry(); },
                                                QStringLiteral("profile value ") + store.FileName(), kKeepingProfile);
    if (loaded == ProfileLoad::Unusable)
        store.KeepStoredValueBeforeSave();
    return loaded == ProfileLoad::Loaded;
}

bool TDM::LoadRecordMacroInfoFromRegistry()
{
    const bool ok = kwProfileRecordMacroInfo.LoadStreamFromRegistry();
    ReadRecord(kwProfileRecordMacroInfo, FRecordMacroInfo);
    return ok;
}

// --------------------------------------------------------------- switching

bool TDM::IsProfileIndexInRange(int AProfileIndex)
{
    return AProfileIndex >= 0 && AProfileIndex < PROFILE_COUNT;
}

bool TDM::IsProfileGroupIndexInRange(int AProfileGroupIndex)
{
    return AProfileGroupIndex >= 0 && AProfileGroupIndex <= 1;
}

bool TDM::SwitchToProfile(int AProfileIndex)
{
    if (!IsProfileIndexInRange(AProfileIndex))
        return false;
    FProfileIndex = AProfileIndex;
    ReadRecord(CurrentStore(), FCurrentProfileInfo);
    FAllProfileSettingInfo.CurrentGame = uint16_t(AProfileIndex);
    return true;
}

bool TDM::SwitchToProfileGroup(int AProfileGroupIndex)
{
    if (!IsProfileGroupIndexInRange(AProfileGroupIndex))
        return false;
    FProfileSettingGroup.CurrentProfileGroup = AProfileGroupIndex;
    FProfileGroupIndex = AProfileGroupIndex;
    SwitchToProfile(CheckedGroupProfileIndex(FProfileSettingGroup).value_or(0));
    return true;
}

bool TDM::ReadCurrentProfileInfo()
{
    ReadRecord(CurrentStore(), FCurrentProfileInfo);
    return true;
}

bool TDM::ReadProfileInfo(TMouseProfileInfo &AProfileInfo, int AProfileIndex)
{
    if (!IsProfileIndexInRange(AProfileIndex))
        return false;
    ReadRecord(*FProfileGroup[std::size_t(AProfileIndex)], AProfileInfo);
    return true;
}

// ------------------------------------------------------------------ saving

void TDM::SaveBackToCurrentProfileInfo()
{
    // Only a real change marks the profile: the pages copy the profile back
    // on every refresh, and a mark where nothing was edited would have the
    // next APPLY write a profile the user never touched.
    const QByteArray &image = CurrentStore().Image();
    if (image.size() >= qsizetype(sizeof(TMouseProfileInfo)) &&
        std::memcmp(image.constData(), &FCurrentProfileInfo, sizeof(TMouseProfileInfo)) == 0)
        return;
    WriteRecord(CurrentStore(), FCurrentProfileInfo);
    FProfileChanged[std::size_t(FProfileIndex)] = true;
}

bool TDM::SaveCurrentProfileInfoToRegistry()
{
    SaveBackToCurrentProfileInfo();
    return CurrentStore().SaveStreamToRegistry() && SaveMouseHoldsOf(FProfileIndex);
}

bool TDM::SaveStoreToFile(TkwProfile &store)
{
    if (store.FilePath().isEmpty()) {
        // Its folder did not exist at start-up: the profile lives in the value
        // store only. Nothing was asked of the disk, so nothing failed.
        qWarning("hkt75: profile %s has no folder; its file is not written", qUtf8Printable(store.FileName()));
        return true;
    }
    return store.SaveStreamToFile();
}

bool TDM::SaveCurrentProfileInfoToFile()
{
    return SaveStoreToFile(CurrentStore());
}

bool TDM::SaveCurrentProfileInfoToFile(const QString &AFile)
{
    return CurrentStore().SaveStreamToFile(AFile);
}

bool TDM::SaveBackToProfileInfo(const TMouseProfileInfo &AProfileInfo, int AProfileIndex)
{
    if (!IsProfileIndexInRange(AProfileIndex))
        return false;
    WriteRecord(*FProfileGroup[std::size_t(AProfileIndex)], AProfileInfo);
    return true;
}

bool TDM::SaveProfileInfoToRegistry(int AProfileIndex)
{
    if (!IsProfileIndexInRange(AProfileIndex))
        return false;
    return FProfileGroup[std::size_t(AProfileIndex)]->SaveStreamToRegistry() && SaveMouseHoldsOf(AProfileIndex);
}

bool TDM::SaveBackAllProfileInfo()
{
    bool ok = true;
    std::array<bool, PROFILE_COUNT> saved{};
    for (int p = 0; p < PROFILE_COUNT; ++p)
        ok = (saved[std::size_t(p)] = FProfileGroup[std::size_t(p)]->SaveStreamToRegistry()) && ok;
    return SaveMouseHolds(saved) && ok;
}

bool TDM::SaveBackAllProfileInfoToRegistry()
{
    return SaveBackAllProfileInfo();
}

bool TDM::SaveBackAllProfileInfoToFile()
{
    bool ok = true;
    for (int p = 0; p < PROFILE_COUNT; ++p)
        ok = SaveStoreToFile(*FProfileGroup[std::size_t(p)]) && ok;
    return ok;
}

bool TDM::SaveBackAllProfileSettingInfo()
{
    FAllProfileSettingInfo.CurrentGame = uint16_t(FProfileIndex);
    WriteRecord(kwProfileAllSettingInfo, FAllProfileSettingInfo);
    return kwProfileAllSettingInfo.SaveStreamToRegistry();
}

void TDM::SaveBackToProfileGroupSettingInfo()
{
    WriteRecord(kwProfileSettingGroup, FProfileSettingGroup);
}

bool TDM::SaveProfileGroupSettingInfoToRegistry()
{
    WriteRecord(kwProfileSettingGroup, FProfileSettingGroup);
    return kwProfileSettingGroup.SaveStreamToRegistry();
}

bool TDM::SaveBackRecordMacroInfoToRegistry(const TMACROKEYINFO &ARecordMacroInfo)
{
    WriteRecord(kwProfileRecordMacroInfo, ARecordMacroInfo);
    return kwProfileRecordMacroInfo.SaveStreamToRegistry();
}

bool TDM::ChangeCurrentProfileFileNameAndPath(const QString &AProfileFilePath)
{
    const int slash = int(AProfileFilePath.lastIndexOf(QLatin1Char('/')));
    const QString folder = AProfileFilePath.left(slash + 1);
    const QString name = AProfileFilePath.mid(slash + 1);
    if (!IsSafeFileName(name) || !FitsField(SETTING_FILE_NAME_UNITS, name)
        || !FitsField(SETTING_PATH_UNITS, folder)) {
        qWarning("hkt75: %s does not fit a profile's name and folder; not changed", qUtf8Printable(AProfileFilePath));
        return false;
    }
    TkwProfile &store = CurrentStore();
    store.SetFileName(name);
    store.SetFilePath(folder);
    TProfileSettingItem &entry = FProfileSettingGroup.ProfileSettingList[FProfileIndex];
    SetFieldText(entry.FileName, name);
    SetFieldText(entry.FilePath, folder);
    return true;
}

// --------------------------------------------------------- factory defaults

void TDM::RestoreCurrentProfileInfoToDefault()
{
    CurrentStore().RestoreToDefault();
    ReadRecord(CurrentStore(), FCurrentProfileInfo);
    FProfileChanged[std::size_t(FProfileIndex)] = true;
}

void TDM::RestoreAllProfileInfoToDefault()
{
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        FProfileGroup[std::size_t(p)]->RestoreToDefault();
        FProfileChanged[std::size_t(p)] = true;
    }
    ReadRecord(CurrentStore(), FCurrentProfileInfo);
}

bool TDM::RestoreProfileInfoToDefault(int AProfileIndex)
{
    if (!IsProfileIndexInRange(AProfileIndex))
        return false;
    FProfileGroup[std::size_t(AProfileIndex)]->RestoreToDefault();
    FProfileChanged[std::size_t(AProfileIndex)] = true;
    return true;
}

bool TDM::RestoreProfileGroupToDefault(int AProfileGroupIndex)
{
    if (!IsProfileGroupIndexInRange(AProfileGroupIndex))
        return false;
    const int32_t p = FProfileSettingGroup.ProfileIndexOfProfileGroup[AProfileGroupIndex];
    if (!IsProfileIndexInRange(p))
        return false;
    if (p == FProfileIndex)
        RestoreCurrentProfileInfoToDefault();
    else
        FProfileGroup[std::size_t(p)]->RestoreToDefault();
    return true;
}

bool TDM::RestoreProfileSettingGroupToDefault()
{
    kwProfileSettingGroup.RestoreToDefault();
    return kwProfileSettingGroup.SaveStreamToRegistry();
}

void TDM::RestoreToDefaultCPISetting()
{
    TMOUSECONFIGINFO &c = FCurrentProfileInfo.ConfigInfo;
    static constexpr uint16_t levels[4] = {1000, 2000, 4000, 8200};
    for (int i = 0; i < CPI_LEVELS_IN_USE; ++i) {
        c.CPIState[i].X = 0;
        c.CPIState[i].Y = 0;
        c.CPIState[i].Enabled = 0;
    }
    for (int i = 0; i < 4; ++i) {
        c.CPIState[i].X = levels[i];
        c.CPIState[i].Y = levels[i];
        c.CPIState[i].Enabled = 1;
        c.UseDiffentXY[i] = 0;
    }
    c.CurrentCPIIndex = 1;
}

void TDM::RestoreToDefaultLightAndReportAdvancedSetting()
{
    TMOUSECONFIGINFO &c = FCurrentProfileInfo.ConfigInfo;
    c.ReportRate = 125;
    c.LEDConfig.BRIGHT_LEVEL = 2;
    c.LEDConfig.BREATH_SPEED = 3;
    c.LEDConfig.R = 255;
    c.LEDConfig.G = 0;
    c.LEDConfig.B = 0;
}

void TDM::InitTestDefaultValue()
{
    Bind(kwProfileTest, QLatin1String(TEST_PROFILE_VALUE_NAME));
    WriteRecord(kwProfileTest, FTestProfileInfo);
    kwProfileTest.RestoreToDefault();
    ReadRecord(kwProfileTest, FTestProfileInfo);

    Bind(kwProfileDefaultGame, QLatin1String(DEFAULT_GAME_VALUE_NAME));
    WriteRecord(kwProfileDefaultGame, FDefaultProfileInfo);
    kwProfileDefaultGame.RestoreToDefault();
    ReadRecord(kwProfileDefaultGame, FDefaultProfileInfo);
}

// ------------------------------------------------------ flags and macros

void TDM::SetProfileChanged(int AIndex, bool AIsChanged)
{
    if (IsProfileIndexInRange(AIndex))
        FProfileChanged[std::size_t(AIndex)] = AIsChanged;
}

bool TDM::IsProfileChanged(int AIndex) const
{
    return IsProfileIndexInRange(AIndex) && FProfileChanged[std::size_t(AIndex)];
}

void TDM::LoadProfileChangedMarks()
{
    hkt::platform::ValueStore &store = *FRoots.ValueStore;
    const QString key = FOptionsFromConfigFile.ProfileRegFolder;
    QByteArray marks;
    const ReadStatus status = store.ReadValue(key, QLatin1String(PROFILES_NOT_IN_MOUSE_VALUE_NAME), marks);
    if (status == ReadStatus::Missing)
        return;
    const bool valid = status == ReadStatus::Ok && marks.size() == PROFILE_COUNT &&
                       std::all_of(marks.begin(), marks.end(), [](char m) { return m == 0 || m == 1; });
    if (!valid) {
        // Nothing can be trusted of it: every profile may be stale in the
        // mouse, and writing them all again costs nothing but time.
        qWarning("hkt75: the marks of profiles not yet in the mouse are unreadable; all five will be written");
        FProfileChanged.fill(true);
        return;
    }
    for (int p = 0; p < PROFILE_COUNT; ++p)
        FProfileChanged[std::size_t(p)] = FProfileChanged[std::size_t(p)] || marks[p] == 1;
}

bool TDM::SaveProfileChangedMarks()
{
    hkt::platform::ValueStore &store = *FRoots.ValueStore;
    const QString key = FOptionsFromConfigFile.ProfileRegFolder;
    const QString name = QLatin1String(PROFILES_NOT_IN_MOUSE_VALUE_NAME);
    if (std::none_of(FProfileChanged.begin(), FProfileChanged.end(), [](bool m) { return m; }))
        return store.DeleteValue(key, name);
    QByteArray marks(PROFILE_COUNT, '\0');
    for (int p = 0; p < PROFILE_COUNT; ++p)
        marks[p] = FProfileChanged[std::size_t(p)] ? 1 : 0;
    if (store.OpenKey(key, true) && store.WriteValue(key, name, marks))
        return true;
    qWarning("hkt75: cannot save the marks of profiles not yet in the mouse");
    return false;
}

// ------------------------------------------------ what the mouse holds

TDM::TMouseHolds TDM::PCLevelAndRate(int AProfileIndex) const
{
    // Only the two fields: copying whole profiles (120 KiB each) for every
    // question would cost APPLY more than its transfers.
    if (AProfileIndex == FProfileIndex)
        return {FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex, int(FCurrentProfileInfo.ConfigInfo.ReportRate)};
    const QByteArray &image = FProfileGroup[std::size_t(AProfileIndex)]->Image();
    constexpr std::size_t config = offsetof(TMouseProfileInfo, ConfigInfo);
    constexpr std::size_t level = config + offsetof(TMOUSECONFIGINFO, CurrentCPIIndex);
    constexpr std::size_t rate = config + offsetof(TMOUSECONFIGINFO, ReportRate);
    TMouseHolds pc{0, 0}; // what a store shorter than a profile reads as
    decltype(TMOUSECONFIGINFO::CurrentCPIIndex) l{};
    decltype(TMOUSECONFIGINFO::ReportRate) r{};
    if (std::size_t(image.size()) >= level + sizeof l) {
        std::memcpy(&l, image.constData() + level, sizeof l);
        pc.Level = int(l);
    }
    if (std::size_t(image.size()) >= rate + sizeof r) {
        std::memcpy(&r, image.constData() + rate, sizeof r);
        pc.Rate = int(r);
    }
    return pc;
}

void TDM::LoadMouseHolds()
{
    hkt::platform::ValueStore &store = *FRoots.ValueStore;
    QByteArray image;
    const ReadStatus status =
        store.ReadValue(FOptionsFromConfigFile.ProfileRegFolder, QLatin1String(MOUSE_HOLDS_VALUE_NAME), image);
    if (status == ReadStatus::Ok && image.size() == kMouseHoldsSize) {
        for (int p = 0; p < PROFILE_COUNT; ++p) {
            TMouseHoldsEntry e;
            std::memcpy(&e, image.constData() + p * int(sizeof e), sizeof e);
            TMouseHolds &h = FMouseHolds[std::size_t(p)];
            h.Level = e.Level < CPI_LEVELS_IN_USE ? int(e.Level) : -1;
            h.Rate = IsPollingRate(e.Rate) ? int(e.Rate) : 0;
        }
        FMouseHoldsStored = FMouseHolds;
        FMouseHoldsStoredValid = true;
        return;
    }
    if (status != ReadStatus::Missing)
        qWarning("hkt75: the record of what the mouse holds is unreadable; it is made anew");
    // None yet (a store of an earlier version, or a first start): what the
    // PC stored is taken as what the mouse holds, except for the profiles
    // marked as not yet in the mouse, whose values stay owed to it.
    auto profile = std::make_unique<TMouseProfileInfo>();
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        TMouseHolds &h = FMouseHolds[std::size_t(p)];
        h = TMouseHolds{};
        if (FProfileChanged[std::size_t(p)])
            continue;
        ReadRecord(*FProfileGroup[std::size_t(p)], *profile);
        const TMOUSECONFIGINFO &cfg = profile->ConfigInfo;
        if (cfg.CurrentCPIIndex >= 0 && cfg.CurrentCPIIndex < CPI_LEVELS_IN_USE)
            h.Level = cfg.CurrentCPIIndex;
        if (IsPollingRate(cfg.ReportRate))
            h.Rate = cfg.ReportRate;
    }
    // Stored with the first save of the profiles, which it describes.
    FMouseHoldsStored = FMouseHolds;
    FMouseHoldsStoredValid = false;
}

const TDM::TMouseHolds &TDM::MouseHolds(int AProfileIndex) const
{
    static const TMouseHolds unknown{};
    return IsProfileIndexInRange(AProfileIndex) ? FMouseHolds[std::size_t(AProfileIndex)] : unknown;
}

void TDM::NoteMouseHoldsLevel(int AProfileIndex, int ALevel)
{
    if (!IsProfileIndexInRange(AProfileIndex) || ALevel < 0 || ALevel >= CPI_LEVELS_IN_USE)
        return;
    FMouseHolds[std::size_t(AProfileIndex)].Level = ALevel;
}

void TDM::NoteMouseHoldsRate(int AProfileIndex, int ARate)
{
    if (!IsProfileIndexInRange(AProfileIndex) || !IsPollingRate(ARate))
        return;
    FMouseHolds[std::size_t(AProfileIndex)].Rate = ARate;
}

bool TDM::IsLevelOwedToMouse(int AProfileIndex) const
{
    if (!IsProfileIndexInRange(AProfileIndex))
        return false;
    return PCLevelAndRate(AProfileIndex).Level != FMouseHolds[std::size_t(AProfileIndex)].Level;
}

bool TDM::IsRateOwedToMouse(int AProfileIndex) const
{
    if (!IsProfileIndexInRange(AProfileIndex))
        return false;
    return PCLevelAndRate(AProfileIndex).Rate != FMouseHolds[std::size_t(AProfileIndex)].Rate;
}

bool TDM::SaveMouseHoldsOf(int AProfileIndex)
{
    std::array<bool, PROFILE_COUNT> which{};
    if (IsProfileIndexInRange(AProfileIndex))
        which[std::size_t(AProfileIndex)] = true;
    return SaveMouseHolds(which);
}

bool TDM::SaveMouseHolds(const std::array<bool, PROFILE_COUNT> &which)
{
    std::array<TMouseHolds, PROFILE_COUNT> next = FMouseHoldsStored;
    for (int p = 0; p < PROFILE_COUNT; ++p)
        if (which[std::size_t(p)])
            next[std::size_t(p)] = FMouseHolds[std::size_t(p)];
    if (FMouseHoldsStoredValid && next == FMouseHoldsStored)
        return true;
    QByteArray image(kMouseHoldsSize, '\0');
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        const TMouseHolds &h = next[std::size_t(p)];
        const TMouseHoldsEntry e{h.Level >= 0 ? uint8_t(h.Level) : uint8_t(0xFF), 0, uint16_t(h.Rate)};
        std::memcpy(image.data() + p * int(sizeof e), &e, sizeof e);
    }
    hkt::platform::ValueStore &store = *FRoots.ValueStore;
    const QString key = FOptionsFromConfigFile.ProfileRegFolder;
    if (store.OpenKey(key, true) && store.WriteValue(key, QLatin1String(MOUSE_HOLDS_VALUE_NAME), image)) {
        FMouseHoldsStored = next;
        FMouseHoldsStoredValid = true;
        return true;
    }
    qWarning("hkt75: cannot save the record of what the mouse holds");
    return false;
}

QList<int> TDM::GetAllProfilesMacroIndexList()
{
    QList<int> result;
    auto profile = std::make_unique<TMouseProfileInfo>();
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        ReadProfileInfo(*profile, p);
        const TMOUSECONFIGINFO &c = profile->ConfigInfo;
        for (int i = 0; i < CheckedButtonCount(c); ++i) {
            const TBUTTONFUNCINFO &b = c.ButtonFuncInfo[i];
            if (b.FunctionType != FUNCTION_TYPE_MACRO)
                continue;
            // A slot outside the mouse's macro area names no macro to send.
            const std::optional<int> slot = CheckedMacroIndex(b.MacroKeyInfo);
            if (slot && !result.contains(*slot))
                result.append(*slot);
        }
    }
    return result;
}

// ------------------------------------------------------ defaults callbacks

void TDM::kwProfileGame1RestoreToDefault(QByteArray &AStream)
{
    RestoreProfileImageDefaults(AStream, 0);
}

void TDM::kwProfileGame2RestoreToDefault(QByteArray &AStream)
{
    RestoreProfileImageDefaults(AStream, 1);
}

void TDM::kwProfileGame3RestoreToDefault(QByteArray &AStream)
{
    RestoreProfileImageDefaults(AStream, 2);
}

void TDM::kwProfileGame4RestoreToDefault(QByteArray &AStream)
{
    RestoreProfileImageDefaults(AStream, 3);
}

void TDM::kwProfileGame5RestoreToDefault(QByteArray &AStream)
{
    RestoreProfileImageDefaults(AStream, 4);
}

void TDM::kwProfileTestRestoreToDefault(QByteArray &AStream)
{
    RestoreTestProfileImageDefaults(AStream);
}

void TDM::kwProfileAllSettingInfoRestoreToDefault(QByteArray &AStream)
{
    const bool inRange = FRoots.FreshLanguage >= 0 && FRoots.FreshLanguage <= 255;
    RestoreAllGamesImageDefaults(AStream, inRange ? std::uint8_t(FRoots.FreshLanguage) : std::uint8_t(0));
}

void TDM::kwProfileSettingGroupRestoreToDefault(QByteArray &AStream)
{
    RestoreProfileGroupImageDefaults(AStream, FOptionsFromConfigFile, GetPersonalDocumentProfilePath());
}
