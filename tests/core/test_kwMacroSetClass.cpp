// The macro database "MacroSet.MSDB": its image byte for byte, its load and
// save rules, and what it does with files it cannot take.

#include "core/kwMacroClassUnit.h"
#include "support/MacroSetBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace {

constexpr qsizetype kDbSize = static_cast<qsizetype>(MACRO_SET_DB_SIZE);

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

uint16_t U16At(const QByteArray &b, qsizetype offset)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[offset]) | static_cast<uint8_t>(b[offset + 1]) << 8);
}

QString TextAt(const QByteArray &b, qsizetype offset, int units)
{
    QString s;
    for (int i = 0; i < units; ++i) {
        const uint16_t u = U16At(b, offset + 2 * i);
        if (u == 0)
            break;
        s.append(QChar(u));
    }
    return s;
}

qsizetype MacroOffset(int set, int macro)
{
    return 4 + 27840 * set + 64 + 896 * macro;
}

// The start-up sequence of the configuration window.
void StartUp(TkwMacroSetClass &db, const QString &path)
{
    db.LoadMacrosetDB(path);
    if (!db.MacroSetExist(QStringLiteral("DefaultMacroSet"))) {
        db.CreateNewMacroSet(QStringLiteral("DefaultMacroSet"));
        db.SwitchToMacroSet(QStringLiteral("DefaultMacroSet"));
        db.CreateNewMacro(QStringLiteral("Macro1"));
        db.CreateNewMacro(QStringLiteral("Macro2"));
        ASSERT_TRUE(db.SaveMacroSetDB());
    }
    db.SwitchToMacroSet(QStringLiteral("DefaultMacroSet"));
}

class MacroDatabase : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
    QString DbPath() const { return tmp.filePath(QString::fromLatin1(MACRO_SET_DB_FILE_NAME)); }
    QTemporaryDir tmp;
};

TEST_F(MacroDatabase, FirstStartCreatesTheFileThenTheDefaultSet)
{
    {
        TkwMacroSetClass db;
        EXPECT_EQ(db.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Created);
        EXPECT_EQ(ReadAll(DbPath()), QByteArray(kDbSize, '\0'));
    }
    TkwMacroSetClass db;
    StartUp(db, DbPath());
    const QByteArray b = ReadAll(DbPath());
    ASSERT_EQ(b.size(), kDbSize);
    EXPECT_EQ(U16At(b, 0), 1);
    EXPECT_EQ(TextAt(b, 4, 30), QStringLiteral("DefaultMacroSet"));
    EXPECT_EQ(U16At(b, 64), 2);
    EXPECT_EQ(TextAt(b, 68 + 782, 51), QStringLiteral("Macro1"));
    EXPECT_EQ(TextAt(b, 68 + 896 + 782, 51), QStringLiteral("Macro2"));
    EXPECT_EQ(U16At(b, 68 + 768), 0);
    EXPECT_EQ(U16At(b, 68 + 896 + 778), 1); // nMacroIndex of Macro2
    EXPECT_EQ(db.CurrentMacroClass()->MacroListCount(), 2);
    EXPECT_EQ(db.CurrentMacroSetName(), QStringLiteral("DefaultMacroSet"));
}

TEST_F(MacroDatabase, FullImageRoundTripsByteForByte)
{
    // Every byte set, counts kept in range: padding, stale slots beyond the
    // counts and unused sets must all come back as they were.
    QByteArray image(kDbSize, '\0');
    for (qsizetype i = 0; i < kDbSize; ++i)
        image[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    image[0] = 3;
    image[1] = 0;
    for (int s = 0; s < 3; ++s) {
        const qsizetype set = 4 + 27840 * s;
        image[set + 60] = 2;
        image[set + 61] = 0;
        for (int m = 0; m < 2; ++m) {
            const qsizetype count = MacroOffset(s, m) + 768;
            image[count] = 10;
            image[count + 1] = image[count + 2] = image[count + 3] = 0;
        }
    }
    WriteBytes(DbPath(), image);
    TkwMacroSetClass db;
    ASSERT_EQ(db.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    EXPECT_EQ(db.MacroSetCount(), 3);
    ASSERT_TRUE(db.SwitchToMacroSet(1));
    EXPECT_EQ(db.CurrentMacroClass()->MacroListCount(), 2);
    ASSERT_TRUE(db.SaveBackCurrentMacroClassDataToCurrentMacroList());
    ASSERT_TRUE(db.SaveMacroSetDB());
    EXPECT_TRUE(ReadAll(DbPath()) == image);
}

TEST_F(MacroDatabase, ShortFileIsKeptAsBackupWhenReplaced)
{
    const QByteArray old(100, '\x5A');
    WriteBytes(DbPath(), old);
    TkwMacroSetClass db;
    EXPECT_EQ(db.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Rejected);
    EXPECT_EQ(db.MacroSetCount(), 0);
    EXPECT_EQ(ReadAll(DbPath()), old); // untouched until the next save
    StartUp(db, DbPath());
    const QByteArray now = ReadAll(DbPath());
    EXPECT_EQ(now.size(), kDbSize);
    EXPECT_EQ(U16At(now, 0), 1);
    EXPECT_EQ(ReadAll(DbPath() + QStringLiteral(".bak")), old);
}

TEST_F(MacroDatabase, UnreadableDatabaseIsNotTakenForMissing)
{
    ASSERT_TRUE(QDir().mkpath(DbPath()));
    TkwMacroSetClass db;
    EXPECT_EQ(db.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Rejected);
    StartUp(db, DbPath());
    EXPECT_EQ(ReadAll(DbPath()).size(), kDbSize);
    EXPECT_TRUE(QFileInfo(DbPath() + QStringLiteral(".bak")).isDir());
}

TEST_F(MacroDatabase, LongerFileIsTakenAndCutAtTheNextSave)
{
    QByteArray image(600000, '\0');
    image[0] = 1;
    image[4] = 'S';
    image[kDbSize + 10] = 'x';
    WriteBytes(DbPath(), image);
    TkwMacroSetClass db;
    ASSERT_EQ(db.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    EXPECT_EQ(db.GetMacroSetListNames(), QStringList{"S"});
    ASSERT_TRUE(db.SaveMacroSetDB());
    EXPECT_EQ(ReadAll(DbPath()), image.left(kDbSize));
    EXPECT_FALSE(QFile::exists(DbPath() + QStringLiteral(".bak")));
}

TEST_F(MacroDatabase, FailedSaveLeavesTheOldDatabaseReadable)
{
    TkwMacroSetClass db;
    StartUp(db, DbPath());
    const QByteArray before = ReadAll(DbPath());
    db.CreateNewMacro(QStringLiteral("Macro3"));

    // Let the write die half way, as a full disk or a crash would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = db.SaveMacroSetDB();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadAll(DbPath()), before);
    TkwMacroSetClass again;
    EXPECT_EQ(again.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    EXPECT_EQ(again.GetMacroListNamesByMacroSetName(QStringLiteral("DefaultMacroSet")),
              (QStringList{"Macro1", "Macro2"}));
    QDir dir(tmp.path());
    EXPECT_EQ(dir.entryList(QDir::Files | QDir::Hidden), QStringList{MACRO_SET_DB_FILE_NAME});
}

TEST_F(MacroDatabase, SaveWithoutALoadIsRefused)
{
    TkwMacroSetClass db;
    EXPECT_FALSE(db.SaveMacroSetDB());
    EXPECT_FALSE(db.SaveBackCurrentMacroClassDataToCurrentMacroList());
}

// Only a full image whose counts are ones the suite writes is taken: any
// other is refused with one line, kept once as .bak when the default set is
// saved over it, and nothing of it reaches the manager.
TEST_F(MacroDatabase, ImageWithCountsTheSuiteNeverWritesIsRefusedAndKeptOnce)
{
    const auto withU16 = [](QByteArray b, qsizetype at, uint16_t v) {
        b[at] = static_cast<char>(v & 0xFF);
        b[at + 1] = static_cast<char>(v >> 8);
        return b;
    };
    const auto withI32 = [](QByteArray b, qsizetype at, int32_t v) {
        std::memcpy(b.data() + at, &v, sizeof v);
        return b;
    };
    // One set "S" with two macros of 10 steps: a good image to spoil.
    QByteArray good(kDbSize, '\0');
    good = withU16(good, 0, 1);
    good[4] = 'S';
    good = withU16(good, 4 + 60, 2);
    good = withI32(good, MacroOffset(0, 0) + 768, 10);
    good = withI32(good, MacroOffset(0, 1) + 768, 10);
    QByteArray noise(kDbSize, '\0');
    quint32 x = 12345;
    for (qsizetype i = 0; i < kDbSize; ++i) {
        x = x * 1103515245u + 12345u;
        noise[i] = static_cast<char>(x >> 24);
    }
    noise = withU16(noise, 0, 0x9C41);
    const struct {
        const char *name;
        QByteArray image;
    } cases[] = {
        {"all 0xFF", QByteArray(kDbSize, '\xFF')},
        {"random bytes", noise},
        {"22 sets", withU16(good, 0, 22)},
        {"31 macros in a set", withU16(good, 4 + 60, 31)},
        {"40 macros in a set", withU16(good, 4 + 60, 40)},
        {"129 steps in a macro", withI32(good, MacroOffset(0, 1) + 768, 129)},
        {"negative step count", withI32(good, MacroOffset(0, 0) + 768, -1)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(DbPath() + QStringLiteral(".bak"));
        WriteBytes(DbPath(), c.image);
        TkwMacroSetClass db;
        EXPECT_EQ(db.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Rejected);
        EXPECT_EQ(db.MacroSetCount(), 0);
        EXPECT_TRUE(ReadAll(DbPath()) == c.image) << "untouched until the next save";
        StartUp(db, DbPath());
        EXPECT_EQ(db.GetMacroSetListNames(), QStringList{"DefaultMacroSet"});
        EXPECT_EQ(db.GetMacroListNamesByMacroSetIndex(0), (QStringList{"Macro1", "Macro2"}));
        EXPECT_TRUE(ReadAll(DbPath() + QStringLiteral(".bak")) == c.image);
        EXPECT_EQ(U16At(ReadAll(DbPath()), 0), 1);
        // Once: the next save leaves the copy alone.
        WriteBytes(DbPath() + QStringLiteral(".bak"), "kept");
        ASSERT_TRUE(db.SaveMacroSetDB());
        EXPECT_EQ(ReadAll(DbPath() + QStringLiteral(".bak")), QByteArray("kept"));
    }
    // The edges the suite does write are taken.
    QByteArray edges = withU16(good, 4 + 60, MACRO_LIST_CAPACITY);
    edges = withI32(edges, MacroOffset(0, 0) + 768, MACRO_STEP_CAPACITY);
    edges = withI32(edges, MacroOffset(0, 1) + 768, 0);
    WriteBytes(DbPath(), edges);
    TkwMacroSetClass db;
    ASSERT_EQ(db.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    ASSERT_TRUE(db.SwitchToMacroSet(0));
    EXPECT_EQ(db.CurrentMacroClass()->MacroListCount(), MACRO_LIST_CAPACITY);
    EXPECT_EQ(db.CurrentMacroClass()->MacroKeyInfoList()[0].MacroListCount, MACRO_STEP_CAPACITY);
}

TEST_F(MacroDatabase, TwentyOneSetsLeaveNoRoomForAnother)
{
    QByteArray image(kDbSize, '\0');
    image[0] = static_cast<char>(MACRO_SET_CAPACITY);
    for (int s = 0; s < MACRO_SET_CAPACITY; ++s)
        image[4 + 27840 * s] = static_cast<char>('A' + s);
    WriteBytes(DbPath(), image);
    TkwMacroSetClass db;
    ASSERT_EQ(db.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    EXPECT_EQ(db.MacroSetCount(), MACRO_SET_CAPACITY);
    EXPECT_EQ(db.CreateNewMacroSet(QStringLiteral("twenty-second")), -1);
    EXPECT_EQ(db.MacroSetCount(), MACRO_SET_CAPACITY);
}

TEST_F(MacroDatabase, SetNamesIgnoreTheCaseOfAsciiLetters)
{
    TkwMacroSetClass db;
    StartUp(db, DbPath());
    EXPECT_TRUE(db.MacroSetExist(QStringLiteral("defaultMACROset")));
    EXPECT_EQ(db.CreateNewMacroSet(QStringLiteral("Other")), 1);
    EXPECT_EQ(db.CurrentMacroSetName(), QStringLiteral("Other"));
    EXPECT_EQ(db.CreateNewMacroSet(QStringLiteral("DEFAULTMACROSET")), 0);
    EXPECT_EQ(db.CurrentMacroSetName(), QStringLiteral("DefaultMacroSet"));
    EXPECT_EQ(db.CurrentMacroSetIndex(), 0);
    EXPECT_FALSE(db.ReNameMacroSet(QStringLiteral("Other"), QStringLiteral("OTHER")));
    EXPECT_FALSE(db.ReNameMacroSet(QStringLiteral("Other"), QStringLiteral("defaultmacroset")));
    EXPECT_FALSE(db.ReNameMacroSet(QStringLiteral("nobody"), QStringLiteral("New")));
    EXPECT_TRUE(db.ReNameMacroSet(QStringLiteral("other"), QStringLiteral("New")));
    EXPECT_EQ(db.GetMacroSetListNames(), (QStringList{"DefaultMacroSet", "New"}));
    // Only A to Z fold: other letters compare as they are.
    EXPECT_EQ(db.CreateNewMacroSet(QString::fromUtf8("\xC3\xA9t\xC3\xA9")), 1);
    EXPECT_FALSE(db.MacroSetExist(QString::fromUtf8("\xC3\x89T\xC3\x89")));
}

TEST_F(MacroDatabase, SetNamesAreCutToThirtyUnits)
{
    TkwMacroSetClass db;
    db.LoadMacrosetDB(DbPath());
    const QString thirty = QString(30, QLatin1Char('n'));
    ASSERT_EQ(db.CreateNewMacroSet(thirty + QStringLiteral("more")), 1);
    EXPECT_EQ(db.CurrentMacroSetName(), thirty);
    EXPECT_TRUE(db.MacroSetExist(thirty));
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    ASSERT_EQ(db.CreateNewMacroSet(QString(29, QLatin1Char('e')) + emoji), 1);
    EXPECT_EQ(db.CurrentMacroSetName(), QString(29, QLatin1Char('e')));
    ASSERT_TRUE(db.SaveMacroSetDB());
    TkwMacroSetClass again;
    ASSERT_EQ(again.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    EXPECT_EQ(again.GetMacroSetListNames(), (QStringList{thirty, QString(29, QLatin1Char('e'))}));
}

TEST_F(MacroDatabase, DeletedMacroKeepsItsBytesBeyondTheCount)
{
    TkwMacroSetClass db;
    StartUp(db, DbPath());
    db.CreateNewMacro(QStringLiteral("Macro3"));
    db.CreateNewMacro(QStringLiteral("Macro4"));
    ASSERT_TRUE(db.DeleteMacro(QStringLiteral("Macro3")));
    ASSERT_TRUE(db.SaveMacroSetDB());
    const QByteArray b = ReadAll(DbPath());
    EXPECT_EQ(U16At(b, 64), 3);
    EXPECT_EQ(TextAt(b, MacroOffset(0, 2) + 782, 51), QStringLiteral("Macro4"));
    EXPECT_EQ(TextAt(b, MacroOffset(0, 3) + 782, 51), QStringLiteral("Macro4"));
    EXPECT_EQ(U16At(b, MacroOffset(0, 2) + 778), 2);
    EXPECT_EQ(U16At(b, MacroOffset(0, 3) + 778), 3);
}

TEST_F(MacroDatabase, SetPositionsAreChecked)
{
    TkwMacroSetClass db;
    StartUp(db, DbPath());
    EXPECT_FALSE(db.GetMacroListNamesByMacroSetIndex(1).has_value());
    EXPECT_FALSE(db.GetMacroListNamesByMacroSetIndex(-1).has_value());
    EXPECT_TRUE(db.GetMacroListNamesByMacroSetName(QStringLiteral("none")).isEmpty());
    EXPECT_FALSE(db.SwitchToMacroSet(2));
    EXPECT_EQ(db.CurrentMacroSetIndex(), 0);
    EXPECT_FALSE(db.DeleteMacroSet(1));

    // Deleting the last set leaves no set current, so nothing is copied into a
    // set that is gone.
    EXPECT_TRUE(db.DeleteMacroSet(QStringLiteral("defaultmacroset")));
    EXPECT_EQ(db.CurrentMacroSetIndex(), -1);
    // A macro made then would reach no set: refused, and nothing is made.
    const int before = db.CurrentMacroClass()->MacroListCount();
    EXPECT_EQ(db.CreateNewMacro(QStringLiteral("orphan")), -1);
    EXPECT_EQ(db.CurrentMacroClass()->MacroListCount(), before);
    EXPECT_FALSE(db.CurrentMacroClass()->MacroExists(QStringLiteral("orphan")));
    EXPECT_EQ(db.MacroSetCount(), 0);
    ASSERT_TRUE(db.SaveMacroSetDB());
    EXPECT_EQ(U16At(ReadAll(DbPath()), 0), 0);
}

TEST_F(MacroDatabase, SwitchTakesTheSetAtThePosition)
{
    QByteArray image(kDbSize, '\0');
    image[0] = 2;
    for (int s = 0; s < 2; ++s) {
        const qsizetype set = 4 + 27840 * s;
        image[set] = 'D'; // two sets of one name, as only a crafted file has
        image[set + 60] = 1;
        image[MacroOffset(s, 0) + 782] = static_cast<char>('a' + s);
    }
    WriteBytes(DbPath(), image);
    TkwMacroSetClass db;
    ASSERT_EQ(db.LoadMacrosetDB(DbPath()), TMacroSetDbLoad::Loaded);
    ASSERT_TRUE(db.SwitchToMacroSet(1));
    EXPECT_EQ(db.CurrentMacroClass()->MacroExists(QStringLiteral("b")), true);
}

// A state taken and restored brings back every byte the object holds in
// memory, whatever was edited, switched or copied into the image meanwhile.
TEST_F(MacroDatabase, RestoredStateIsTheStateTaken)
{
    TkwMacroSetClass db;
    StartUp(db, DbPath());
    ASSERT_EQ(db.CreateNewMacro(QStringLiteral("Macro3")), 1);
    db.CurrentMacroClass()->SetMacroListIndex(1);
    ASSERT_TRUE(db.CurrentMacroClass()->SetMacroLoopValue(1, 0, 3));
    ASSERT_TRUE(db.SaveBackCurrentMacroClassDataToCurrentMacroList());
    const QByteArray file = ReadAll(DbPath());
    const auto bytes = hkt::testfixtures::MacroSetObjectBytes;
    const QByteArray before = bytes(db);
    const TkwMacroSetState state = db.SaveState();

    ASSERT_TRUE(db.DeleteMacro(0));
    ASSERT_TRUE(db.ReNameMacro(QStringLiteral("Macro2"), QStringLiteral("Jump")));
    ASSERT_EQ(db.CreateNewMacroSet(QStringLiteral("Other")), 1);
    ASSERT_EQ(db.CreateNewMacro(QStringLiteral("X")), 1);
    db.SaveBackMacroSetListToDB();
    ASSERT_NE(bytes(db), before);

    db.RestoreState(state);
    EXPECT_TRUE(bytes(db) == before);
    EXPECT_EQ(db.CurrentMacroClass()->MacroListIndex(), 1);
    // The step editor is the current macro's, and edits through it reach the set.
    ASSERT_NE(db.CurrentMacroClass()->CurrentMacroAction(), nullptr);
    EXPECT_EQ(db.CurrentMacroClass()->CurrentMacroAction()->MacroIndex(), 1);
    ASSERT_TRUE(db.SaveMacroSetDB());
    EXPECT_EQ(U16At(ReadAll(DbPath()), 0), 1);
    EXPECT_EQ(U16At(ReadAll(DbPath()), 64), 3);
    EXPECT_EQ(ReadAll(DbPath()).size(), file.size());
}

} // namespace
