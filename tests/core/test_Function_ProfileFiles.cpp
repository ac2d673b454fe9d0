#include "core/Function_ProfileFiles.h"

#include "core/DMUnit.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using hkt::platform::DirectoryValueStore;
using hkt::platform::ReadStatus;

namespace {

const QString kKey = QStringLiteral("software\\HKT75GM");

// Answers each dialog with the next scripted name (nothing = cancel) and
// records what it was asked to show.
class ScriptedDialogs : public TProfileFileDialogs {
public:
    std::optional<QString> answer;
    QList<TProfileFileDialogOptions> asked;
    std::optional<QString> ExecuteOpenDialog(const TProfileFileDialogOptions &o) override
    {
        asked << o;
        return answer;
    }
    std::optional<QString> ExecuteSaveDialog(const TProfileFileDialogOptions &o) override
    {
        asked << o;
        return answer;
    }
};

struct Fixture {
    QTemporaryDir tmp;
    std::shared_ptr<DirectoryValueStore> values = std::make_shared<DirectoryValueStore>(tmp.path() + "/registry");
    std::unique_ptr<TDM> dm = std::make_unique<TDM>(TDMRoots{values, tmp.path(), tmp.path() + "/docs"});
    ScriptedDialogs dialogs;
    QStringList messages;
    TProfileFileMessage message = [this](const QString &text) { messages << text; };

    QString Path(const QString &name) const { return tmp.path() + "/" + name; }
    QByteArray Value(const QString &name)
    {
        QByteArray data;
        if (values->ReadValue(kKey, name, data) != ReadStatus::Ok)
            return QByteArray("<none>");
        return data;
    }
    // Everything an import may change, to compare before and after.
    QByteArray Snapshot()
    {
        QByteArray s(reinterpret_cast<const char *>(&dm->FCurrentProfileInfo), sizeof(TMouseProfileInfo));
        for (TkwProfile *p : dm->FProfileGroup)
            if (p)
                s += p->Image();
        for (int p = 0; p < 5; ++p)
            s += char(dm->IsProfileChanged(p));
        for (int p = 1; p <= 5; ++p)
            s += Value(QStringLiteral("Profile%1.pfd").arg(p));
        return s;
    }
};

QByteArray ProfileImage(int32_t version, qsizetype size, uint8_t marker)
{
    QByteArray img(qsizetype(PROFILE_RECORD_SIZE), '\0');
    std::memcpy(img.data(), &version, 4);
    img[872 + 85454 + 1] = char(marker); // LEDConfig.G
    for (qsizetype i = 100; i < 200; ++i)
        img[i] = char(i); // inside the layout-only header tail: carried through
    if (size > img.size())
        img += QByteArray(size - img.size(), '\x7f');
    return img.left(size);
}

void WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(data), data.size());
}

QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<none>");
    return f.readAll();
}

} // namespace

TEST(ProfileFiles, LoadRefusesEverythingButAWholeProfileOfTheRightVersion)
{
    Fixture f;
    WriteFile(f.Path("v258.pfd"), ProfileImage(258, PROFILE_RECORD_SIZE, 1));
    WriteFile(f.Path("short.pfd"), ProfileImage(PROFILE_FILE_VERSION, 100, 1));
    WriteFile(f.Path("almost.pfd"), ProfileImage(PROFILE_FILE_VERSION, PROFILE_RECORD_SIZE - 1, 1));
    WriteFile(f.Path("empty.pfd"), {});
    ASSERT_TRUE(QDir().mkdir(f.Path("folder.pfd")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(f.Path("fifo.pfd")).constData(), 0600), 0);
    // Larger than any profile file may be: there, but not a profile (sparse).
    {
        QFile huge(f.Path("huge.pfd"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.write(ProfileImage(PROFILE_FILE_VERSION, PROFILE_RECORD_SIZE, 1)) > 0);
        ASSERT_TRUE(huge.resize(hkt::platform::kMaxReadBytes + 1));
    }
    // A file its owner may not read (root reads it anyway: then no row).
    WriteFile(f.Path("locked.pfd"), ProfileImage(PROFILE_FILE_VERSION, PROFILE_RECORD_SIZE, 1));
    ASSERT_TRUE(QFile::setPermissions(f.Path("locked.pfd"), QFileDevice::WriteOwner));
    const bool lockedIsUnreadable = ::geteuid() != 0;

    const struct {
        std::optional<QString> answer;
        int result;
    } cases[] = {
        {std::nullopt, PROFILE_IMPORT_CANCELLED},
        {QString(), PROFILE_IMPORT_CANCELLED},
        // Read, but not a whole profile of this version.
        {f.Path("v258.pfd"), PROFILE_IMPORT_REFUSED},
        {f.Path("short.pfd"), PROFILE_IMPORT_REFUSED},
        {f.Path("almost.pfd"), PROFILE_IMPORT_REFUSED},
        {f.Path("empty.pfd"), PROFILE_IMPORT_REFUSED},
        {f.Path("huge.pfd"), PROFILE_IMPORT_REFUSED},
        // Not read at all.
        {f.Path("missing.pfd"), PROFILE_IMPORT_UNREADABLE},
        {f.Path("folder.pfd"), PROFILE_IMPORT_UNREADABLE},
        {f.Path("fifo.pfd"), PROFILE_IMPORT_UNREADABLE},
        {f.Path("locked.pfd"), lockedIsUnreadable ? PROFILE_IMPORT_UNREADABLE : PROFILE_IMPORT_LOADED},
    };
    const QByteArray before = f.Snapshot();
    for (const auto &c : cases) {
        if (c.result == PROFILE_IMPORT_LOADED)
            continue; // the locked file, read by root
        f.dialogs.answer = c.answer;
        EXPECT_EQ(ImportProfileFile(*f.dm, f.dialogs, f.tmp.path()), c.result) << c.answer.value_or("<cancel>").toStdString();
        EXPECT_EQ(f.Snapshot(), before) << c.answer.value_or("<cancel>").toStdString();
    }
    ASSERT_FALSE(f.dialogs.asked.isEmpty());
    EXPECT_EQ(f.dialogs.asked[0].InitialDir, f.tmp.path() + "/");
    EXPECT_EQ(f.dialogs.asked[0].FilterName, "pfd");
    EXPECT_EQ(f.dialogs.asked[0].FilterPattern, "*.pfd");
}

TEST(ProfileFiles, LoadReplacesTheCurrentProfileWithExactlyOneProfile)
{
    Fixture f;
    ASSERT_TRUE(f.dm->SwitchToProfile(4));
    auto other = std::make_unique<TMouseProfileInfo>();
    ASSERT_TRUE(f.dm->ReadProfileInfo(*other, 1));
    const QByteArray otherImage = f.dm->kwProfileGame2.Image();

    // A longer file (the suite saves whole store images): only its first
    // profile's worth is taken, never the tail.
    const QByteArray file = ProfileImage(PROFILE_FILE_VERSION, PROFILE_RECORD_SIZE + 50, 66);
    WriteFile(f.Path("in.pfd"), file);
    f.dialogs.answer = f.Path("in.pfd");
    ASSERT_EQ(ImportProfileFile(*f.dm, f.dialogs, f.tmp.path()), PROFILE_IMPORT_LOADED);

    const QByteArray profile = file.left(qsizetype(PROFILE_RECORD_SIZE));
    EXPECT_EQ(f.dm->FProfileIndex, 4);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(&f.dm->FCurrentProfileInfo), sizeof(TMouseProfileInfo)),
              profile);
    EXPECT_EQ(f.dm->kwProfileGame5.Image(), profile);
    EXPECT_EQ(f.Value("Profile5.pfd"), profile);
    EXPECT_TRUE(f.dm->IsProfileChanged(4));
    EXPECT_EQ(f.dm->kwProfileGame5.FileName(), "Profile5.pfd") << "the store keeps its own name";
    EXPECT_EQ(f.dm->kwProfileGame2.Image(), otherImage);
    EXPECT_FALSE(f.dm->IsProfileChanged(1));
    EXPECT_EQ(f.Value("ProfileSettingGroup.pfd").size(), 30964);
}

TEST(ProfileFiles, SaveWritesTheStoreNotTheUnsavedWorkingCopy)
{
    Fixture f;
    const QByteArray store = f.dm->kwProfileGame3.Image();
    f.dm->FCurrentProfileInfo.ConfigInfo.LEDConfig.G = 99; // not written back
    f.dialogs.answer = f.Path("out.pfd");
    ASSERT_TRUE(ExportProfileFile(*f.dm, f.dialogs, f.message, f.tmp.path()));
    EXPECT_EQ(FileBytes(f.Path("out.pfd")), store);
    EXPECT_EQ(f.dialogs.asked.last().DefaultExt, "pfd");
    EXPECT_TRUE(f.messages.isEmpty());

    // Replaced without a question; a name without an extension gets ".pfd".
    WriteFile(f.Path("old.pfd"), "old content");
    f.dialogs.answer = f.Path("old.pfd");
    ASSERT_TRUE(ExportProfileFile(*f.dm, f.dialogs, f.message, f.tmp.path()));
    EXPECT_EQ(FileBytes(f.Path("old.pfd")), store);
    f.dialogs.answer = f.Path("typed");
    ASSERT_TRUE(ExportProfileFile(*f.dm, f.dialogs, f.message, f.tmp.path()));
    EXPECT_EQ(FileBytes(f.Path("typed.pfd")), store);

    // And the saved file loads back.
    ASSERT_TRUE(f.dm->SwitchToProfile(0));
    f.dialogs.answer = f.Path("out.pfd");
    EXPECT_EQ(ImportProfileFile(*f.dm, f.dialogs, f.tmp.path()), PROFILE_IMPORT_LOADED);
    EXPECT_EQ(f.dm->kwProfileGame1.Image(), store);
}

TEST(ProfileFiles, SaveFailureShowsTheMessageOnceAndLeavesFilesAlone)
{
    Fixture f;
    WriteFile(f.Path("afile"), "x");
    ASSERT_TRUE(QDir().mkdir(f.Path("dir.pfd")));
    WriteFile(f.Path("dir.pfd/keep"), "keep");
    // A folder "tmp2323" no longer stands in the way.
    ASSERT_TRUE(QDir().mkdir(f.Path("tmp2323")));

    const struct {
        QString target;
        bool saved;
    } cases[] = {
        {f.Path("afile/under.pfd"), false},      // a file where the folder should be (fails for root too)
        {f.Path("dir.pfd"), false},              // an existing folder of that name
        {f.Path("no/such/folder/p.pfd"), false}, // more than one missing level
        {f.Path("fine.pfd"), true},
    };
    for (const auto &c : cases) {
        f.messages.clear();
        f.dialogs.answer = c.target;
        EXPECT_EQ(ExportProfileFile(*f.dm, f.dialogs, f.message, f.tmp.path()), c.saved) << c.target.toStdString();
        EXPECT_EQ(f.messages, c.saved ? QStringList{} : QStringList{PROFILE_SAVE_REFUSED_TEXT})
            << c.target.toStdString();
    }
    EXPECT_EQ(FileBytes(f.Path("afile")), "x");
    EXPECT_EQ(FileBytes(f.Path("dir.pfd/keep")), "keep");
    EXPECT_FALSE(QFile::exists(f.Path("no")));

    f.messages.clear();
    f.dialogs.answer = std::nullopt;
    EXPECT_FALSE(ExportProfileFile(*f.dm, f.dialogs, f.message, f.tmp.path()));
    EXPECT_TRUE(f.messages.isEmpty()) << "a cancel is not a failure";
}

TEST(ProfileFiles, WithoutInstalledDialogsBothActAsCancelled)
{
    Fixture f;
    TDM *saved = DM;
    DM = f.dm.get();
    SetProfileFileDialogs(nullptr);
    EXPECT_EQ(ImportProfileFile(f.tmp.path()), PROFILE_IMPORT_CANCELLED);
    EXPECT_FALSE(ExportProfileFile(f.tmp.path()));

    auto scripted = std::make_shared<ScriptedDialogs>();
    scripted->answer = f.Path("via-global.pfd");
    SetProfileFileDialogs(scripted);
    EXPECT_TRUE(ExportProfileFile(f.tmp.path()));
    EXPECT_TRUE(QFile::exists(f.Path("via-global.pfd")));
    SetProfileFileDialogs(nullptr);
    DM = saved;
}
