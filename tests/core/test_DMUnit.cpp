#include "core/DMUnit.h"
#include "core/FactoryDefaults.h"
#include "core/pubunit_device_transport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>

using hkt::platform::DirectoryValueStore;
using hkt::platform::ReadStatus;

namespace {

const QString kKey = QStringLiteral("software\\HKT75GM");

// One user's storage: a value store, a program folder and a documents folder,
// all in a temporary folder. Each TDM made from it plays one program.
struct Storage {
    QTemporaryDir tmp;
    std::shared_ptr<DirectoryValueStore> values = std::make_shared<DirectoryValueStore>(tmp.path() + "/registry");

    QString Docs() const { return tmp.path() + "/home/Documents/"; }
    QString ProfileFolder() const { return Docs() + "Profile/"; }

    // `freshLanguage`: the desktop's display language, as the programs pass it.
    std::unique_ptr<TDM> Start(int freshLanguage = 0)
    {
        QDir().mkpath(tmp.path() + "/prog");
        return std::make_unique<TDM>(TDMRoots{values, tmp.path() + "/prog", Docs(), freshLanguage});
    }
    void WriteConfig(const QByteArray &ini)
    {
        QDir().mkpath(tmp.path() + "/prog");
        QFile f(tmp.path() + "/prog/config.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }
    QByteArray Value(const QString &name)
    {
        QByteArray data;
        if (values->ReadValue(kKey, name, data) != ReadStatus::Ok)
            return QByteArray("<none>");
        return data;
    }
    void SetValue(const QString &name, const QByteArray &data)
    {
        ASSERT_TRUE(values->OpenKey(kKey, true));
        ASSERT_TRUE(values->WriteValue(kKey, name, data));
    }
    bool HasValue(const QString &name) { return values->ValueExists(kKey, name); }

    // Edits the stored group record in place.
    template <class F>
    void EditGroup(F &&edit)
    {
        QByteArray img = Value("ProfileSettingGroup.pfd");
        ASSERT_EQ(img.size(), qsizetype(sizeof(TProfileSettingGroup)));
        auto g = std::make_unique<TProfileSettingGroup>();
        std::memcpy(g.get(), img.constData(), sizeof *g);
        edit(*g);
        SetValue("ProfileSettingGroup.pfd", QByteArray(reinterpret_cast<const char *>(g.get()), sizeof *g));
    }
    void SetCurrentGame(uint16_t game)
    {
        QByteArray img = Value("allsettings.pfd");
        std::memcpy(img.data() + 30950, &game, 2);
        SetValue("allsettings.pfd", img);
    }
};

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<none>");
    return f.readAll();
}

void WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(data), data.size());
}

QByteArray Bytes(const TMouseProfileInfo &r) { return QByteArray(reinterpret_cast<const char *>(&r), sizeof r); }

// A whole, recognisable profile image as another program would have saved it.
QByteArray GoodProfile(uint8_t marker)
{
    auto r = std::make_unique<TMouseProfileInfo>();
    r->ProfileHeader.FFileVersion = PROFILE_FILE_VERSION;
    r->ConfigInfo.ButtonCount = 13;
    r->ConfigInfo.LEDConfig.G = marker;
    r->ConfigInfo.ReportRate = 1000;
    return Bytes(*r);
}

bool IsAllZero(const TMouseProfileInfo &r)
{
    const auto *b = reinterpret_cast<const uint8_t *>(&r);
    for (std::size_t i = 0; i < sizeof r; ++i)
        if (b[i])
            return false;
    return true;
}

qint64 MTimeNs(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

} // namespace

TEST(DataModule, FirstStartWritesTheSettingStoresAndKeepsProfilesInMemory)
{
    Storage s;
    auto dm = s.Start();
    EXPECT_EQ(s.Value("ProfileSettingGroup.pfd").size(), 30964);
    EXPECT_EQ(s.Value("allsettings.pfd").size(), 30954);
    for (int p = 1; p <= 5; ++p)
        EXPECT_FALSE(s.HasValue(QStringLiteral("Profile%1.pfd").arg(p))) << p;

    EXPECT_EQ(dm->FProfileIndex, 2);
    EXPECT_EQ(dm->FProfileGroupIndex, 0);
    EXPECT_EQ(dm->FAllProfileSettingInfo.CurrentGame, 2);
    EXPECT_EQ(HIDUsageAndPage.UsagePage, 0xFFA0);
    EXPECT_EQ(HIDUsageAndPage.Usage, 1);
    EXPECT_EQ(dm->FCurrentProfileInfo.ProfileHeader.FFileVersion, PROFILE_FILE_VERSION);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex, 2);
    EXPECT_EQ(FieldText(dm->FProfileSettingGroup.ProfileSettingList[0].FilePath), s.ProfileFolder());
    EXPECT_EQ(dm->kwProfileGame1.FilePath(), s.ProfileFolder()) << "the profile folder was created";
    EXPECT_EQ(dm->kwProfileGame1.FileName(), "Profile1.pfd");
    for (int p = 0; p < 5; ++p)
        EXPECT_FALSE(dm->IsProfileChanged(p));
}

TEST(DataModule, SecondProgramLoadsWhatTheFirstWroteAndWritesNothing)
{
    Storage s;
    auto first = s.Start();
    const QString group = s.values->ValueFile(kKey, "ProfileSettingGroup.pfd");
    const QString all = s.values->ValueFile(kKey, "allsettings.pfd");
    const QByteArray groupBytes = s.Value("ProfileSettingGroup.pfd");
    const qint64 groupTime = MTimeNs(group), allTime = MTimeNs(all);

    auto second = s.Start();
    EXPECT_EQ(MTimeNs(group), groupTime);
    EXPECT_EQ(MTimeNs(all), allTime);
    EXPECT_EQ(s.Value("ProfileSettingGroup.pfd"), groupBytes);
    EXPECT_EQ(std::memcmp(&first->FProfileSettingGroup, &second->FProfileSettingGroup, sizeof(TProfileSettingGroup)),
              0);
    EXPECT_EQ(second->FProfileIndex, 2);
}

TEST(DataModule, MonitorReloadSeesWhatTheConfigurationProgramSaved)
{
    Storage s;
    auto config = s.Start();
    auto monitor = s.Start();

    // The configuration program edits the first profile, applies, and moves on.
    ASSERT_TRUE(config->SwitchToProfile(0));
    config->FCurrentProfileInfo.ConfigInfo.LEDConfig.G = 77;
    config->SaveCurrentProfileInfoToRegistry();
    ASSERT_TRUE(config->SaveBackAllProfileInfoToRegistry());
    ASSERT_TRUE(config->SaveProfileGroupSettingInfoToRegistry());
    ASSERT_TRUE(config->SaveBackAllProfileSettingInfo());
    EXPECT_TRUE(config->IsProfileChanged(0));

    // The monitor's reload after the message, in its order.
    monitor->LoadProfileGroupSettingInfoFromRegistry();
    monitor->LoadAllProfileInfoFromRegistry();
    monitor->LoadCurrentProfileInfoFromRegistry();
    EXPECT_EQ(monitor->FProfileIndex, 0);
    EXPECT_EQ(monitor->FCurrentProfileInfo.ConfigInfo.LEDConfig.G, 77);
    EXPECT_EQ(monitor->FAllProfileSettingInfo.CurrentGame, 0);
    EXPECT_EQ(Bytes(monitor->FCurrentProfileInfo), Bytes(config->FCurrentProfileInfo));

    // And a program started afterwards begins where the first left off.
    auto third = s.Start();
    EXPECT_EQ(third->FProfileIndex, 0);
    EXPECT_EQ(third->FCurrentProfileInfo.ConfigInfo.LEDConfig.G, 77);
}

TEST(DataModule, WorkingCopyReachesTheStoreOnlyWhenWrittenBack)
{
    Storage s;
    auto dm = s.Start();
    auto probe = std::make_unique<TMouseProfileInfo>();
    dm->FCurrentProfileInfo.ConfigInfo.ReportRate = 250;
    ASSERT_TRUE(dm->ReadProfileInfo(*probe, 2));
    EXPECT_EQ(probe->ConfigInfo.ReportRate, 500);
    dm->SaveBackToCurrentProfileInfo();
    ASSERT_TRUE(dm->ReadProfileInfo(*probe, 2));
    EXPECT_EQ(probe->ConfigInfo.ReportRate, 250);
    EXPECT_TRUE(dm->IsProfileChanged(2));
    EXPECT_FALSE(s.HasValue("Profile3.pfd")) << "no registry write yet";
}

TEST(DataModule, ProfileKeptInItsFileIsCreatedWhenMissingAndReadFromTheFile)
{
    Storage s;
    s.Start();
    s.EditGroup([](TProfileSettingGroup &g) { g.ProfileSettingList[1].StoreInFile = 1; });
    const QString file = s.ProfileFolder() + "Profile2.pfd";
    ASSERT_FALSE(QFile::exists(file));
    s.Start();
    const QByteArray written = FileBytes(file);
    ASSERT_EQ(written.size(), qsizetype(PROFILE_RECORD_SIZE));
    int32_t version = 0;
    std::memcpy(&version, written.constData(), 4);
    EXPECT_EQ(version, PROFILE_FILE_VERSION);

    // With a file present, the file wins over the registry value.
    WriteFile(file, GoodProfile(41));
    s.SetValue("Profile2.pfd", GoodProfile(42));
    auto dm = s.Start();
    ASSERT_TRUE(dm->SwitchToProfile(1));
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.G, 41);
}

// ---------------------------------------------------------------- faults

TEST(DataModuleFaults, CurrentGameOutOfRangeStartsOnTheGroupProfileNotOnZeros)
{
    Storage s;
    s.Start();
    s.SetValue("Profile1.pfd", GoodProfile(11));
    s.SetCurrentGame(9);
    auto dm = s.Start();
    EXPECT_EQ(dm->FProfileIndex, 0);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.G, 11);
    // What used to happen next: the zero working copy was saved over profile 1.
    dm->SaveCurrentProfileInfoToRegistry();
    EXPECT_EQ(s.Value("Profile1.pfd"), GoodProfile(11));
    EXPECT_EQ(dm->FAllProfileSettingInfo.CurrentGame, 0);
}

TEST(DataModuleFaults, StoreInFileOtherThanZeroOrOneReadsTheValueStore)
{
    Storage s;
    s.Start();
    s.SetValue("Profile3.pfd", GoodProfile(33));
    s.EditGroup([](TProfileSettingGroup &g) { g.ProfileSettingList[2].StoreInFile = 2; });
    auto dm = s.Start();
    EXPECT_EQ(dm->FProfileIndex, 2);
    EXPECT_FALSE(IsAllZero(dm->FCurrentProfileInfo));
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.G, 33);
    EXPECT_TRUE(dm->SaveBackAllProfileInfo());
    EXPECT_EQ(s.Value("Profile3.pfd"), GoodProfile(33));
    EXPECT_EQ(dm->FProfileSettingGroup.ProfileSettingList[2].StoreInFile, 0);
}

TEST(DataModuleFaults, GroupIndexesOutOfRangeFallBackToTheirDefaults)
{
    const struct {
        int32_t group, index0, index1;
        int expectGroup, expectProfile;
    } cases[] = {{5, 0, 1, 0, 0}, {-1, 3, 1, 0, 3}, {1, 0, 99, 1, 1}, {0, -7, 1, 0, 0}};
    for (const auto &c : cases) {
        Storage s;
        s.Start();
        s.EditGroup([&](TProfileSettingGroup &g) {
            g.CurrentProfileGroup = c.group;
            g.ProfileIndexOfProfileGroup[0] = c.index0;
            g.ProfileIndexOfProfileGroup[1] = c.index1;
        });
        auto dm = s.Start();
        EXPECT_EQ(dm->FProfileGroupIndex, c.expectGroup) << c.group;
        dm->LoadProfileGroupSettingInfoFromRegistry();
        EXPECT_EQ(dm->FProfileGroupIndex, c.expectGroup) << c.group;
        EXPECT_EQ(dm->FProfileIndex, c.expectProfile) << c.group;
        // The repaired record went back to the store.
        const QByteArray img = s.Value("ProfileSettingGroup.pfd");
        int32_t stored[3];
        std::memcpy(stored, img.constData(), sizeof stored);
        EXPECT_TRUE(stored[0] == 0 || stored[0] == 1);
        EXPECT_TRUE(stored[1] >= 0 && stored[1] < 5 && stored[2] >= 0 && stored[2] < 5);
    }
}

TEST(DataModuleFaults, TruncatedGroupValueKeepsWholeEntriesAndDefaultsTheRest)
{
    Storage s;
    s.Start();
    s.EditGroup([](TProfileSettingGroup &g) {
        SetFieldText(g.ProfileSettingList[0].FileName, QStringLiteral("Mine1.pfd"));
    });
    // Cut inside entry 1: entry 0 is whole, entries 1 to 4 are not there.
    s.SetValue("ProfileSettingGroup.pfd", s.Value("ProfileSettingGroup.pfd").left(12 + 6190 + 100));
    auto dm = s.Start();
    EXPECT_EQ(dm->kwProfileGame1.FileName(), "Mine1.pfd");
    for (int p = 1; p < 5; ++p) {
        EXPECT_EQ(FieldText(dm->FProfileSettingGroup.ProfileSettingList[p].FileName),
                  QStringLiteral("Profile%1.pfd").arg(p + 1));
        EXPECT_EQ(dm->FProfileGroup[p]->FilePath(), s.ProfileFolder());
    }
    EXPECT_EQ(s.Value("ProfileSettingGroup.pfd").size(), 30964);
}

TEST(DataModuleFaults, ZeroLengthGroupValueGivesTheDefaultGroup)
{
    Storage s;
    s.Start();
    s.SetValue("ProfileSettingGroup.pfd", QByteArray());
    auto dm = s.Start();
    EXPECT_EQ(dm->kwProfileGame5.FileName(), "Profile5.pfd");
    EXPECT_TRUE(dm->SaveBackAllProfileInfoToRegistry()) << "every store has a name to save under";
    EXPECT_TRUE(s.HasValue("Profile5.pfd"));
}

TEST(DataModuleFaults, TruncatedProfileValueIsNotMergedIntoZeros)
{
    Storage s;
    s.Start();
    const QByteArray cut = GoodProfile(55).left(100);
    s.SetValue("Profile3.pfd", cut);
    auto dm = s.Start();
    EXPECT_EQ(dm->FProfileIndex, 2);
    EXPECT_EQ(dm->FCurrentProfileInfo.ProfileHeader.FFileVersion, PROFILE_FILE_VERSION);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ButtonCount, 13);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.CurrentCPIIndex, 2) << "profile 3's defaults";
    EXPECT_EQ(dm->kwProfileGame3.Size(), qint64(PROFILE_RECORD_SIZE));
    EXPECT_EQ(s.Value("Profile3.pfd"), cut) << "nothing written at start-up";

    // A reload that meets a cut value keeps the profile it has.
    auto before = std::make_unique<TMouseProfileInfo>(dm->FCurrentProfileInfo);
    dm->LoadCurrentProfileInfoFromRegistry();
    EXPECT_EQ(Bytes(dm->FCurrentProfileInfo), Bytes(*before));
}

TEST(DataModuleFaults, UnsafeOrSharedNamesFromTheGroupRecordAreReplaced)
{
    Storage s;
    s.Start();
    s.EditGroup([](TProfileSettingGroup &g) {
        SetFieldText(g.ProfileSettingList[3].FileName, QStringLiteral("../../evil.pfd"));
        g.ProfileSettingList[3].StoreInFile = 1;
        SetFieldText(g.ProfileSettingList[4].FileName, QStringLiteral("PROFILE1.pfd"));
        SetFieldText(g.ProfileSettingList[2].FileName, QStringLiteral(""));
    });
    auto dm = s.Start();
    EXPECT_EQ(dm->kwProfileGame4.FileName(), "Profile4.pfd");
    EXPECT_EQ(dm->kwProfileGame5.FileName(), "Profile5.pfd");
    EXPECT_EQ(dm->kwProfileGame3.FileName(), "Profile3.pfd");
    EXPECT_EQ(dm->FProfileSettingGroup.ProfileSettingList[3].StoreInFile, 0);
    EXPECT_TRUE(dm->SaveBackAllProfileInfoToFile());
    EXPECT_FALSE(QFile::exists(s.tmp.path() + "/home/evil.pfd"));
    EXPECT_EQ(QDir(s.ProfileFolder()).entryList(QDir::Files).size(), 5);
}

TEST(DataModuleFaults, ReadableButShortProfileFileIsNeverOverwrittenWithDefaults)
{
    Storage s;
    s.Start();
    s.EditGroup([](TProfileSettingGroup &g) { g.ProfileSettingList[0].StoreInFile = 1; });
    const QString file = s.ProfileFolder() + "Profile1.pfd";
    const QByteArray shortFile = GoodProfile(9).left(5000);
    WriteFile(file, shortFile);
    auto dm = s.Start();
    EXPECT_EQ(FileBytes(file), shortFile);
    ASSERT_TRUE(dm->SwitchToProfile(0));
    EXPECT_EQ(dm->FCurrentProfileInfo.ProfileHeader.FFileVersion, PROFILE_FILE_VERSION);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.R, 255) << "profile 1's defaults";

    // Unreadable (a folder where the file should be): left as it is too.
    QFile::remove(file);
    ASSERT_TRUE(QDir().mkdir(file));
    s.Start();
    EXPECT_TRUE(QFileInfo(file).isDir());
}

TEST(DataModuleFaults, UnreadableGroupValueIsLeftAloneAndDefaultsServe)
{
    Storage s;
    ASSERT_TRUE(s.values->OpenKey(kKey, true));
    ASSERT_TRUE(QDir().mkdir(s.values->ValueFile(kKey, "ProfileSettingGroup.pfd")));
    auto dm = s.Start();
    EXPECT_TRUE(QFileInfo(s.values->ValueFile(kKey, "ProfileSettingGroup.pfd")).isDir());
    EXPECT_EQ(dm->kwProfileGame1.FileName(), "Profile1.pfd");
    EXPECT_EQ(dm->FProfileIndex, 2);
}

TEST(DataModuleFaults, RefusedWritesAndMissingFoldersReturnFailureAndKeepData)
{
    Storage s;
    {
        auto dm = s.Start();
        ASSERT_TRUE(dm->SaveBackAllProfileInfoToRegistry());
        ASSERT_TRUE(dm->SaveBackAllProfileInfoToFile());
    }
    const QByteArray stored = s.Value("Profile3.pfd");
    const QByteArray file = FileBytes(s.ProfileFolder() + "Profile3.pfd");

    auto dm = s.Start();
    dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.G = 1;
    // The profile folder is gone and a file stands in its place (ENOTDIR also
    // for root); the key folder too.
    ASSERT_TRUE(QDir(s.ProfileFolder()).removeRecursively());
    WriteFile(s.ProfileFolder().chopped(1), "not a folder");
    const QString keyFolder = s.tmp.path() + "/registry/software/hkt75gm";
    ASSERT_TRUE(QDir().rename(keyFolder, keyFolder + ".moved"));
    WriteFile(keyFolder, "not a folder");

    EXPECT_FALSE(dm->SaveCurrentProfileInfoToRegistry());
    EXPECT_FALSE(dm->SaveBackAllProfileInfoToFile());
    EXPECT_FALSE(dm->SaveBackAllProfileSettingInfo());
    EXPECT_FALSE(dm->SaveProfileGroupSettingInfoToRegistry());
    EXPECT_FALSE(dm->SaveCurrentProfileInfoToFile(s.ProfileFolder() + "x.pfd"));

    QFile::remove(keyFolder);
    ASSERT_TRUE(QDir().rename(keyFolder + ".moved", keyFolder));
    EXPECT_EQ(s.Value("Profile3.pfd"), stored);
    EXPECT_EQ(file.size(), qsizetype(PROFILE_RECORD_SIZE));
}

TEST(DataModuleFaults, IndexArgumentsOutsideTheirRangeChangeNothing)
{
    Storage s;
    auto dm = s.Start();
    const QByteArray before = Bytes(dm->FCurrentProfileInfo);
    auto probe = std::make_unique<TMouseProfileInfo>();
    for (int bad : {-1, 5, 1000}) {
        EXPECT_FALSE(dm->SwitchToProfile(bad));
        EXPECT_FALSE(dm->ReadProfileInfo(*probe, bad));
        EXPECT_FALSE(dm->SaveBackToProfileInfo(*probe, bad));
        EXPECT_FALSE(dm->SaveProfileInfoToRegistry(bad));
        EXPECT_FALSE(dm->RestoreProfileInfoToDefault(bad));
        EXPECT_FALSE(dm->LoadProfileInfoFromRegistry(bad));
        dm->SetProfileChanged(bad, true);
        EXPECT_FALSE(dm->IsProfileChanged(bad));
    }
    EXPECT_FALSE(dm->SwitchToProfileGroup(2));
    EXPECT_FALSE(dm->RestoreProfileGroupToDefault(-1));
    EXPECT_EQ(dm->FProfileIndex, 2);
    EXPECT_EQ(Bytes(dm->FCurrentProfileInfo), before);
}

TEST(DataModuleFaults, ShortProfileFileIsRefusedByTheLoad)
{
    Storage s;
    auto dm = s.Start();
    const QByteArray before = Bytes(dm->FCurrentProfileInfo);
    const QString file = s.tmp.path() + "/short.pfd";
    WriteFile(file, GoodProfile(3).left(100));
    EXPECT_FALSE(dm->LoadCurrentProfileInfoFromFile(file));
    EXPECT_EQ(Bytes(dm->FCurrentProfileInfo), before);
    EXPECT_EQ(dm->kwProfileGame3.Size(), qint64(PROFILE_RECORD_SIZE));
    EXPECT_FALSE(dm->LoadCurrentProfileInfoFromImage(GoodProfile(3).left(100)));
}

TEST(DataModuleFaults, ProfileNameAndFolderMustFitTheirFields)
{
    Storage s;
    auto dm = s.Start();
    const QString folder = s.tmp.path() + "/";
    EXPECT_FALSE(dm->ChangeCurrentProfileFileNameAndPath(folder + "ThisNameIsFarTooLong.pfd"));
    EXPECT_FALSE(dm->ChangeCurrentProfileFileNameAndPath(folder + ".."));
    EXPECT_FALSE(dm->ChangeCurrentProfileFileNameAndPath("/" + QString(1100, 'a') + "/p.pfd"));
    EXPECT_EQ(dm->kwProfileGame3.FileName(), "Profile3.pfd");
    EXPECT_TRUE(dm->ChangeCurrentProfileFileNameAndPath(folder + "Mine.pfd"));
    EXPECT_EQ(dm->kwProfileGame3.FileName(), "Mine.pfd");
    EXPECT_EQ(dm->kwProfileGame3.FilePath(), folder);
    EXPECT_EQ(FieldText(dm->FProfileSettingGroup.ProfileSettingList[2].FileName), "Mine.pfd");
}

TEST(DataModuleFaults, ConfigValuesThatWouldLeadElsewhereOrCollideAreRefused)
{
    Storage s;
    s.WriteConfig("[options]\nProfileRegFolder=..\\..\\Elsewhere\nprofileFolder=../../outside\n"
                  "profilePrefix=ABCDEFGHIJKLMNOPQ\nprofileMacroFolder=a/b\n");
    auto dm = s.Start();
    EXPECT_EQ(dm->kwProfileGame1.FileName(), "Profile1.pfd") << "a cut prefix would make five equal names";
    EXPECT_EQ(dm->kwProfileGame1.FilePath(), s.ProfileFolder());
    EXPECT_EQ(dm->GetPersonalDocumentMacroDatabasePath(), s.ProfileFolder() + "MacroDB/MacroSet.MSDB");
    // Whatever the key path, the stored values stay inside the store's folder.
    for (const QFileInfo &e : QDir(s.tmp.path()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
        EXPECT_TRUE(e.fileName() == "registry" || e.fileName() == "home" || e.fileName() == "prog")
            << e.fileName().toStdString();
    EXPECT_FALSE(QFile::exists(s.tmp.path() + "/home/outside"));
}

TEST(DataModule, ConfigOptionsChooseTheKeyAndTheNames)
{
    Storage s;
    s.WriteConfig("[OPTIONS]\r\nprofileregfolder=MyKey\r\nPROFILEPREFIX=Game\r\n");
    auto dm = s.Start();
    EXPECT_EQ(dm->FOptionsFromConfigFile.ProfileRegFolder, "software\\MyKey");
    EXPECT_EQ(dm->kwProfileGame2.FileName(), "Game2.pfd");
    QByteArray group;
    EXPECT_EQ(s.values->ReadValue("software\\mykey", "profilesettinggroup.pfd", group), ReadStatus::Ok);
    EXPECT_FALSE(s.HasValue("ProfileSettingGroup.pfd"));
}

// ------------------------------------------------------- other operations

TEST(DataModule, MacroSlotsAreListedOnceInTheOrderFirstMet)
{
    Storage s;
    auto dm = s.Start();
    auto r = std::make_unique<TMouseProfileInfo>();
    const auto setMacro = [&](int p, int button, uint16_t slot) {
        ASSERT_TRUE(dm->ReadProfileInfo(*r, p));
        r->ConfigInfo.ButtonFuncInfo[button].FunctionType = FUNCTION_TYPE_MACRO;
        r->ConfigInfo.ButtonFuncInfo[button].MacroKeyInfo.nMacroIndex = slot;
        ASSERT_TRUE(dm->SaveBackToProfileInfo(*r, p));
    };
    setMacro(0, 3, 3);
    setMacro(0, 5, 3);
    setMacro(2, 1, 1);
    setMacro(1, 13, 7);  // button 13 lies beyond ButtonCount 13
    setMacro(3, 4, 40);  // no such slot in the mouse
    EXPECT_EQ(dm->GetAllProfilesMacroIndexList(), (QList<int>{3, 1}));

    ASSERT_TRUE(dm->ReadProfileInfo(*r, 4));
    r->ConfigInfo.ButtonCount = 9999;
    r->ConfigInfo.ButtonFuncInfo[13].FunctionType = FUNCTION_TYPE_MACRO;
    r->ConfigInfo.ButtonFuncInfo[13].MacroKeyInfo.nMacroIndex = 8;
    ASSERT_TRUE(dm->SaveBackToProfileInfo(*r, 4));
    EXPECT_EQ(dm->GetAllProfilesMacroIndexList(), (QList<int>{3, 1, 8}));
}

TEST(DataModule, RestoreRewritesTheListedFieldsAndMarksTheProfile)
{
    Storage s;
    auto dm = s.Start();
    dm->FCurrentProfileInfo.MacroKeyInfoList.nMacroInfoCount = 4;
    dm->FCurrentProfileInfo.ConfigInfo.ReportRate = 125;
    dm->SaveBackToCurrentProfileInfo();
    dm->SetProfileChanged(2, false);
    dm->RestoreCurrentProfileInfoToDefault();
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.ReportRate, 500);
    EXPECT_EQ(dm->FCurrentProfileInfo.MacroKeyInfoList.nMacroInfoCount, 4);
    EXPECT_TRUE(dm->IsProfileChanged(2));

    dm->RestoreAllProfileInfoToDefault();
    for (int p = 0; p < 5; ++p)
        EXPECT_TRUE(dm->IsProfileChanged(p));
}

TEST(DataModule, PathsLieInTheDocumentsFolder)
{
    Storage s;
    auto dm = s.Start();
    EXPECT_EQ(dm->GetPersonalDocumentProfilePath(), s.ProfileFolder());
    EXPECT_EQ(dm->GetPersonalDocumentMacroDatabasePath(), s.ProfileFolder() + "MacroDB/MacroSet.MSDB");
    EXPECT_TRUE(QFileInfo(s.ProfileFolder() + "MacroDB").isDir());
}

TEST(DataModuleFaults, DefaultNameTakenByAnotherEntryNeverLeavesTwoProfilesOnOneValue)
{
    Storage s;
    s.Start();
    // Entry 0 stored under profile 2's name; entry 1 under the same name, so
    // entry 1 falls back to its default, which is that very name again.
    s.EditGroup([](TProfileSettingGroup &g) {
        SetFieldText(g.ProfileSettingList[0].FileName, QStringLiteral("Profile2.pfd"));
        SetFieldText(g.ProfileSettingList[1].FileName, QStringLiteral("PROFILE2.PFD"));
    });
    auto dm = s.Start();
    QStringList names;
    for (int p = 0; p < 5; ++p)
        names << dm->FProfileGroup[p]->FileName().toLower();
    names.removeDuplicates();
    EXPECT_EQ(names.size(), 5) << names.join(' ').toStdString();

    // Each profile saves to a value of its own: five different images.
    for (int p = 0; p < 5; ++p) {
        auto r = std::make_unique<TMouseProfileInfo>();
        ASSERT_TRUE(dm->ReadProfileInfo(*r, p));
        r->ConfigInfo.LEDConfig.BREATH_SECOND = uint8_t(10 + p);
        ASSERT_TRUE(dm->SaveBackToProfileInfo(*r, p));
    }
    ASSERT_TRUE(dm->SaveBackAllProfileInfoToRegistry());
    for (int p = 0; p < 5; ++p)
        EXPECT_EQ(uint8_t(s.Value(dm->FProfileGroup[p]->FileName()).at(872 + 85454 + 5)), 10 + p) << p;
}

TEST(DataModule, PartialRestoresGroupsTestProfileAndRecordedMacro)
{
    Storage s;
    auto dm = s.Start();
    TMOUSECONFIGINFO &c = dm->FCurrentProfileInfo.ConfigInfo;

    // Resolution levels: four levels of 1000, 2000, 4000, 8200, the fifth off,
    // the second one active, the four levels unlinked; nothing written back.
    c.CPIState[4].X = c.CPIState[4].Y = 777;
    dm->RestoreToDefaultCPISetting();
    const uint16_t levels[] = {1000, 2000, 4000, 8200, 0};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(c.CPIState[i].X, levels[i]) << i;
        EXPECT_EQ(c.CPIState[i].Y, levels[i]) << i;
        EXPECT_EQ(c.CPIState[i].Enabled, i < 4 ? 1 : 0) << i;
    }
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(c.UseDiffentXY[i], 0) << i;
    EXPECT_EQ(c.UseDiffentXY[4], 1) << "level 4's link is not written";
    EXPECT_EQ(c.CurrentCPIIndex, 1);

    // Light and rate: 125 Hz, brightness 2, breathing 3, red.
    c.LEDConfig.BREATH_SECOND = 9;
    dm->RestoreToDefaultLightAndReportAdvancedSetting();
    EXPECT_EQ(c.ReportRate, 125);
    EXPECT_EQ(c.LEDConfig.BRIGHT_LEVEL, 2);
    EXPECT_EQ(c.LEDConfig.BREATH_SPEED, 3);
    EXPECT_EQ(c.LEDConfig.R, 255);
    EXPECT_EQ(c.LEDConfig.G, 0);
    EXPECT_EQ(c.LEDConfig.B, 0);
    EXPECT_EQ(c.LEDConfig.BREATH_SECOND, 9);
    auto stored = std::make_unique<TMouseProfileInfo>();
    ASSERT_TRUE(dm->ReadProfileInfo(*stored, 2));
    EXPECT_EQ(stored->ConfigInfo.ReportRate, 500) << "neither routine writes the working copy back";
    EXPECT_EQ(stored->ConfigInfo.CurrentCPIIndex, 2);
    EXPECT_FALSE(dm->IsProfileChanged(2));

    // Restoring the current profile by index leaves the working copy as it is.
    dm->RestoreProfileInfoToDefault(2);
    EXPECT_EQ(c.ReportRate, 125);
    EXPECT_TRUE(dm->IsProfileChanged(2));

    // Group 1 selects profile index 1: a switch makes it current and records
    // the group; restoring a group that is not current leaves its flag alone.
    ASSERT_TRUE(dm->SwitchToProfileGroup(1));
    EXPECT_EQ(dm->FProfileGroupIndex, 1);
    EXPECT_EQ(dm->FProfileSettingGroup.CurrentProfileGroup, 1);
    EXPECT_EQ(dm->FProfileIndex, 1);
    EXPECT_EQ(dm->FAllProfileSettingInfo.CurrentGame, 1);
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.G, 255);
    ASSERT_TRUE(dm->RestoreProfileGroupToDefault(0));
    EXPECT_FALSE(dm->IsProfileChanged(0));
    ASSERT_TRUE(dm->RestoreProfileGroupToDefault(1));
    EXPECT_TRUE(dm->IsProfileChanged(1));

    // The test profile and the default profile (profile 1's defaults), under
    // their own value names; nothing is stored by building them.
    dm->InitTestDefaultValue();
    EXPECT_EQ(dm->kwProfileTest.FileName(), "HKT75ProfileTest.pfd");
    EXPECT_EQ(dm->kwProfileDefaultGame.FileName(), "HKT75ProfileDef.pfd");
    EXPECT_EQ(dm->kwProfileTest.KeyPath(), kKey);
    EXPECT_EQ(dm->FTestProfileInfo.ConfigInfo.ButtonCount, 15);
    EXPECT_EQ(dm->FTestProfileInfo.ConfigInfo.ReportRate, 125);
    EXPECT_EQ(dm->FDefaultProfileInfo.ConfigInfo.ButtonCount, 13);
    EXPECT_EQ(dm->FDefaultProfileInfo.ConfigInfo.LEDConfig.R, 255);
    EXPECT_EQ(dm->FDefaultProfileInfo.ConfigInfo.LEDConfig.G, 255);
    EXPECT_EQ(dm->FDefaultProfileInfo.ConfigInfo.ButtonFuncInfo[3].MenuID, 1007);
    EXPECT_FALSE(s.HasValue("HKT75ProfileTest.pfd"));
    EXPECT_FALSE(s.HasValue("HKT75ProfileDef.pfd"));

    // The recorded macro: bound at start-up, stored and loaded as 896 bytes.
    EXPECT_FALSE(dm->LoadRecordMacroInfoFromRegistry());
    TMACROKEYINFO macro{};
    macro.MacroListCount = 2;
    macro.nMacroIndex = 7;
    SetFieldText(macro.szMacroName, QStringLiteral("rec"));
    ASSERT_TRUE(dm->SaveBackRecordMacroInfoToRegistry(macro));
    EXPECT_EQ(s.Value("RecordRPROFILE.pfd"), QByteArray(reinterpret_cast<const char *>(&macro), sizeof macro));
    auto other = s.Start();
    ASSERT_TRUE(other->LoadRecordMacroInfoFromRegistry());
    EXPECT_EQ(std::memcmp(&other->FRecordMacroInfo, &macro, sizeof macro), 0);
}

namespace {
// Profile p's factory defaults, made over a zero record as at start-up.
QByteArray DefaultProfile(int p)
{
    QByteArray image(int(PROFILE_RECORD_SIZE), '\0');
    RestoreProfileImageDefaults(image, p);
    return image;
}

// Everything but the header's creation time.
QByteArray Settings(const QByteArray &profile)
{
    return profile.mid(int(offsetof(TMouseProfileInfo, ConfigInfo)));
}

QByteArray WithVersion(QByteArray image, int32_t version)
{
    std::memcpy(image.data() + offsetof(TProfileHeader, FFileVersion), &version, sizeof version);
    return image;
}
} // namespace

// A full-size image is a profile only when its header is one the suite
// writes; zeros would give a button map without a left click.
TEST(DataModuleFaults, FullSizeProfileWithoutTheSuitesHeaderGivesThatProfilesDefaults)
{
    const struct {
        const char *name;
        QByteArray image;
    } cases[] = {
        {"zeros", QByteArray(int(PROFILE_RECORD_SIZE), '\0')},
        {"0xFF", QByteArray(int(PROFILE_RECORD_SIZE), '\xFF')},
        {"older version", WithVersion(GoodProfile(7), PROFILE_FILE_VERSION - 1)},
        {"longer, zeros", QByteArray(int(PROFILE_RECORD_SIZE) + 100, '\0')},
    };
    for (const auto &c : cases) {
        for (const bool inFile : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (inFile ? " in the file" : " in the value"));
            Storage s;
            s.Start();
            if (inFile) {
                s.EditGroup([](TProfileSettingGroup &g) { g.ProfileSettingList[2].StoreInFile = 1; });
                WriteFile(s.ProfileFolder() + "Profile3.pfd", c.image);
            } else {
                s.SetValue("Profile3.pfd", c.image);
            }
            auto dm = s.Start();
            ASSERT_EQ(dm->FProfileIndex, 2);
            EXPECT_EQ(dm->FCurrentProfileInfo.ProfileHeader.FFileVersion, PROFILE_FILE_VERSION);
            EXPECT_EQ(Settings(Bytes(dm->FCurrentProfileInfo)), Settings(DefaultProfile(2)));
            EXPECT_EQ(Settings(dm->kwProfileGame3.Image()), Settings(DefaultProfile(2)));
            if (inFile)
                EXPECT_EQ(FileBytes(s.ProfileFolder() + "Profile3.pfd"), c.image) << "left as it is";
            else
                EXPECT_EQ(s.Value("Profile3.pfd"), c.image) << "left as it is";
        }
    }
}

TEST(DataModuleFaults, ReloadKeepsTheProfileWhenTheStoredOneHasNoSuiteHeader)
{
    Storage s;
    s.SetValue("Profile3.pfd", GoodProfile(31));
    auto dm = s.Start();
    ASSERT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.G, 31);
    s.SetValue("Profile3.pfd", QByteArray(int(PROFILE_RECORD_SIZE), '\0'));
    dm->LoadCurrentProfileInfoFromRegistry();
    EXPECT_EQ(dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.G, 31);
    EXPECT_FALSE(dm->LoadProfileInfoFromRegistry(2));
    EXPECT_EQ(Bytes(dm->FCurrentProfileInfo), GoodProfile(31));
}

// What the suite could not read or had to repair is kept once as .bak before
// a save writes over it; a later save leaves that copy alone.
TEST(DataModuleFaults, UnusableStoredBytesAreKeptOnceAsBakBeforeTheyAreOverwritten)
{
    Storage s;
    s.Start();
    s.EditGroup([](TProfileSettingGroup &g) { g.ProfileSettingList[0].StoreInFile = 1; });
    const QString file = s.ProfileFolder() + "Profile1.pfd";
    const QByteArray badFile(int(PROFILE_RECORD_SIZE), '\xFF');
    WriteFile(file, badFile);
    const QByteArray badValue = GoodProfile(4).left(300);
    s.SetValue("Profile3.pfd", badValue);
    const QByteArray goodValue = GoodProfile(5);
    s.SetValue("Profile4.pfd", goodValue);

    auto dm = s.Start();
    EXPECT_FALSE(s.HasValue("Profile3.pfd.bak")) << "nothing is written at start-up";
    ASSERT_TRUE(dm->SaveBackAllProfileInfoToRegistry());
    ASSERT_TRUE(dm->SaveBackAllProfileInfoToFile());
    EXPECT_EQ(s.Value("Profile3.pfd.bak"), badValue);
    EXPECT_EQ(Settings(s.Value("Profile3.pfd")), Settings(DefaultProfile(2)));
    EXPECT_EQ(FileBytes(file + ".bak"), badFile);
    EXPECT_EQ(Settings(FileBytes(file)), Settings(DefaultProfile(0)));
    EXPECT_FALSE(s.HasValue("Profile4.pfd.bak")) << "a good value needs no copy";
    EXPECT_FALSE(s.HasValue("Profile1.pfd.bak"));

    // Once: the next saves leave the copies as they are.
    s.SetValue("Profile3.pfd.bak", "kept");
    WriteFile(file + ".bak", "kept");
    ASSERT_TRUE(dm->SaveBackAllProfileInfoToRegistry());
    ASSERT_TRUE(dm->SaveBackAllProfileInfoToFile());
    EXPECT_EQ(s.Value("Profile3.pfd.bak"), "kept");
    EXPECT_EQ(FileBytes(file + ".bak"), "kept");
}

TEST(DataModuleFaults, RepairedGroupRecordIsKeptAsBakBeforeTheRepairIsWritten)
{
    Storage s;
    s.Start();
    const QByteArray cut = s.Value("ProfileSettingGroup.pfd").left(5000);
    s.SetValue("ProfileSettingGroup.pfd", cut);
    s.Start();
    EXPECT_EQ(s.Value("ProfileSettingGroup.pfd.bak"), cut);
    EXPECT_EQ(s.Value("ProfileSettingGroup.pfd").size(), qsizetype(sizeof(TProfileSettingGroup)));
}

TEST(DataModuleFaults, UnreadableGroupValueIsMovedAsideBeforeASaveReplacesIt)
{
    Storage s;
    ASSERT_TRUE(s.values->OpenKey(kKey, true));
    const QString value = s.values->ValueFile(kKey, "ProfileSettingGroup.pfd");
    ASSERT_TRUE(QDir().mkdir(value));
    auto dm = s.Start();
    ASSERT_TRUE(dm->SaveProfileGroupSettingInfoToRegistry());
    EXPECT_TRUE(QFileInfo(value + ".bak").isDir());
    EXPECT_EQ(s.Value("ProfileSettingGroup.pfd").size(), qsizetype(sizeof(TProfileSettingGroup)));
}

// A cut all-settings value keeps every whole field it holds, as the group
// record does; a field cut in two and everything after take the defaults.
TEST(DataModuleFaults, ShortAllSettingsValueKeepsTheWholeFieldsItHolds)
{
    constexpr int kGame = int(offsetof(TALLGAMESINFO, CurrentGame));
    constexpr int kLanguage = int(offsetof(TALLGAMESINFO, CurrentLanguage));
    constexpr int kEntry = int(sizeof(TProfileSettingItem));
    Storage s;
    s.Start();
    QByteArray full = s.Value("allsettings.pfd");
    ASSERT_EQ(full.size(), qsizetype(sizeof(TALLGAMESINFO)));
    const uint16_t game = 4;
    std::memcpy(full.data() + kGame, &game, 2);
    full[kLanguage] = char(3);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        full[int(offsetof(TALLGAMESINFO, Allgameset)) + kEntry * p + int(offsetof(TProfileSettingItem, StoreInFile))] =
            char(1);

    const struct {
        int size;
        int game;
        int language;
        int wholeEntries;
    } cases[] = {
        {kLanguage + 1, 4, 3, 5}, {kLanguage, 4, 0, 5}, {kGame + 1, 2, 0, 5}, {kEntry * 2 + 7, 2, 0, 2}, {0, 2, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        const QByteArray cut = full.left(c.size);
        s.SetValue("allsettings.pfd", cut);
        auto dm = s.Start();
        EXPECT_EQ(dm->FAllProfileSettingInfo.CurrentGame, c.game);
        EXPECT_EQ(dm->FAllProfileSettingInfo.CurrentLanguage, c.language);
        EXPECT_EQ(dm->FProfileIndex, c.game);
        for (int p = 0; p < PROFILE_COUNT; ++p)
            EXPECT_EQ(dm->FAllProfileSettingInfo.Allgameset[p].StoreInFile, p < c.wholeEntries ? 1 : 0) << p;
        EXPECT_EQ(s.Value("allsettings.pfd"), cut) << "completed in memory only";
        ASSERT_TRUE(dm->SaveBackAllProfileSettingInfo());
        EXPECT_EQ(s.Value("allsettings.pfd.bak"), cut);
        s.values->DeleteValue(kKey, "allsettings.pfd.bak");
    }
}

// The display language of a store with nothing in it is the desktop's (what
// the program passes); whatever is stored is never replaced by it.
TEST(DataModule, AFreshStoreTakesTheDesktopsLanguageAndAStoredChoiceIsKept)
{
    constexpr int kLanguage = int(offsetof(TALLGAMESINFO, CurrentLanguage));
    const struct {
        const char *what;
        int stored; // -1: nothing stored yet
        int desktop;
        int language; // stored afterwards
    } cases[] = {
        {"fresh, Chinese (Taiwan) desktop", -1, 2, 2},
        {"fresh, Chinese (PRC) desktop", -1, 1, 1},
        {"fresh, English desktop", -1, 0, 0},
        {"fresh, a position no byte holds", -1, 256, 0},
        {"fresh, a negative position", -1, -1, 0},
        {"English stored, Chinese desktop", 0, 1, 0},
        {"Chinese stored, English desktop", 2, 0, 2},
        {"Chinese stored, other Chinese desktop", 1, 2, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Storage s;
        if (c.stored >= 0) {
            s.Start(c.stored);
            ASSERT_EQ(s.Value("allsettings.pfd")[kLanguage], char(c.stored));
        }
        const QByteArray before = s.Value("allsettings.pfd");
        auto dm = s.Start(c.desktop);
        EXPECT_EQ(dm->FAllProfileSettingInfo.CurrentLanguage, c.language);
        const QByteArray stored = s.Value("allsettings.pfd");
        ASSERT_EQ(stored.size(), qsizetype(sizeof(TALLGAMESINFO)));
        EXPECT_EQ(int(std::uint8_t(stored[kLanguage])), c.language);
        if (c.stored >= 0) {
            EXPECT_EQ(stored, before) << "a stored record was written";
        }
        // The other program, started later on another desktop language,
        // follows the store.
        EXPECT_EQ(s.Start(c.desktop == 1 ? 2 : 1)->FAllProfileSettingInfo.CurrentLanguage, c.language);
    }
}

TEST(DataModuleMarks, ProfilesNotYetInTheMouseOutliveTheProgramAndAreNeverTrustedBlindly)
{
    const QString name = QStringLiteral("ProfilesNotYetInTheMouse");
    Storage s;
    {
        auto dm = s.Start();
        dm->SetProfileChanged(1, true);
        dm->SetProfileChanged(4, true);
        ASSERT_TRUE(dm->SaveProfileChangedMarks());
        EXPECT_EQ(s.Value(name), QByteArray("\x00\x01\x00\x00\x01", 5));
    }
    struct Case {
        const char *what;
        std::optional<QByteArray> stored;
        std::array<bool, PROFILE_COUNT> marks;
    };
    const Case cases[] = {
        {"as saved", QByteArray("\x00\x01\x00\x00\x01", 5), {false, true, false, false, true}},
        {"none owed", std::nullopt, {false, false, false, false, false}},
        {"too short", QByteArray("\x01", 1), {true, true, true, true, true}},
        {"a value past 1", QByteArray("\x00\x02\x00\x00\x00", 5), {true, true, true, true, true}},
    };
    for (const Case &c : cases) {
        if (c.stored)
            s.SetValue(name, *c.stored);
        else
            ASSERT_TRUE(s.values->DeleteValue(kKey, name));
        auto dm = s.Start();
        for (int p = 0; p < PROFILE_COUNT; ++p)
            EXPECT_EQ(dm->IsProfileChanged(p), c.marks[size_t(p)]) << c.what << " " << p;
    }
    // Nothing owed: no value is left behind.
    auto dm = s.Start();
    for (int p = 0; p < PROFILE_COUNT; ++p)
        dm->SetProfileChanged(p, false);
    ASSERT_TRUE(dm->SaveProfileChangedMarks());
    EXPECT_FALSE(s.HasValue(name));
}

// A full-size all-settings value whose current profile is out of range is
// repaired at start-up; the stored bytes are kept once as .bak before the
// next profile switch writes the repair over them, as the group record is.
TEST(DataModuleFaults, AllSettingsValueWithCurrentGameOutOfRangeIsKeptAsBakBeforeTheSwitchWritesIt)
{
    for (const uint16_t game : {uint16_t(5), uint16_t(7), uint16_t(0xFF), uint16_t(0xFFFF)}) {
        SCOPED_TRACE(game);
        Storage s;
        s.Start();
        s.SetCurrentGame(game);
        const QByteArray stored = s.Value("allsettings.pfd");
        auto dm = s.Start();
        EXPECT_EQ(s.Value("allsettings.pfd"), stored) << "nothing is written at start-up";
        ASSERT_TRUE(dm->SwitchToProfile(3));
        ASSERT_TRUE(dm->SaveBackAllProfileSettingInfo());
        EXPECT_EQ(s.Value("allsettings.pfd.bak"), stored);
        EXPECT_EQ(dm->FAllProfileSettingInfo.CurrentGame, 3);

        // Once: a later save leaves the copy alone.
        s.SetValue("allsettings.pfd.bak", "kept");
        ASSERT_TRUE(dm->SaveBackAllProfileSettingInfo());
        EXPECT_EQ(s.Value("allsettings.pfd.bak"), "kept");
    }
    // An in-range value needs no copy.
    Storage s;
    s.Start();
    s.SetCurrentGame(4);
    auto dm = s.Start();
    ASSERT_TRUE(dm->SaveBackAllProfileSettingInfo());
    EXPECT_FALSE(s.HasValue("allsettings.pfd.bak"));
}
