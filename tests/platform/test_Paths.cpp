#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace hkt::platform;

namespace {
void WriteRaw(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(data), data.size());
}
} // namespace

TEST(Paths, EnsureFolderCreatesEveryMissingLevelAndMakeFolderOnlyOne)
{
    QTemporaryDir tmp;
    const QString deep = tmp.path() + "/a/b/c/";
    EXPECT_FALSE(MakeFolder(deep));
    EXPECT_TRUE(EnsureFolder(deep));
    EXPECT_TRUE(FolderExists(deep));
    EXPECT_TRUE(EnsureFolder(deep)) << "an existing folder is success";
    EXPECT_TRUE(MakeFolder(tmp.path() + "/a/b/d"));

    // A file in the way (ENOTDIR) fails even for root.
    WriteRaw(tmp.path() + "/file", "x");
    EXPECT_FALSE(EnsureFolder(tmp.path() + "/file/sub"));
    EXPECT_FALSE(MakeFolder(tmp.path() + "/file"));
}

TEST(Paths, PlainNames)
{
    const struct {
        QString name;
        bool plain;
    } cases[] = {{"Profile1.pfd", true}, {"a b", true}, {"..x", true},   {"", false},
                 {".", false},           {"..", false}, {"a/b", false},  {"a\\b", false},
                 {QString("a") + QChar(0), false}};
    for (const auto &c : cases)
        EXPECT_EQ(IsPlainName(c.name), c.plain) << c.name.toStdString();
}

TEST(Paths, BoundedReadTakesWholeRegularFilesOnly)
{
    QTemporaryDir tmp;
    const QString f = tmp.path() + "/f";
    WriteRaw(f, QByteArray(100, 'x'));
    QByteArray out = "keep";
    EXPECT_EQ(ReadFileBounded(f, out, 99), ReadStatus::TooLarge);
    EXPECT_EQ(out, "keep");
    EXPECT_EQ(ReadFileBounded(f, out, 100), ReadStatus::Ok);
    EXPECT_EQ(out, QByteArray(100, 'x'));
    EXPECT_EQ(ReadFileBounded(tmp.path(), out), ReadStatus::NotRegular);
    EXPECT_EQ(ReadFileBounded(tmp.path() + "/none", out), ReadStatus::Missing);
    EXPECT_EQ(ReadFileBounded(f + "/under-a-file", out), ReadStatus::Missing);
    WriteRaw(tmp.path() + "/empty", {});
    EXPECT_EQ(ReadFileBounded(tmp.path() + "/empty", out), ReadStatus::Ok);
    EXPECT_TRUE(out.isEmpty());
}

TEST(Paths, AtomicWriteReplacesOrFailsWithoutTrace)
{
    QTemporaryDir tmp;
    const QString f = tmp.path() + "/p.pfd";
    ASSERT_TRUE(WriteFileAtomic(f, "old"));
    ASSERT_TRUE(WriteFileAtomic(f, "newer", 0644));
    QByteArray out;
    ASSERT_EQ(ReadFileBounded(f, out), ReadStatus::Ok);
    EXPECT_EQ(out, "newer");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(f).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    EXPECT_FALSE(WriteFileAtomic(tmp.path() + "/missing/p.pfd", "x"));
    EXPECT_FALSE(WriteFileAtomic(f + "/under-a-file", "x"));
    ASSERT_TRUE(QDir().mkdir(tmp.path() + "/dir"));
    EXPECT_FALSE(WriteFileAtomic(tmp.path() + "/dir", "x")) << "a folder is never replaced";
    EXPECT_TRUE(FolderExists(tmp.path() + "/dir"));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"dir", "p.pfd"}));
}

TEST(Paths, FoldersCanBePinnedAndEndInASeparator)
{
    QTemporaryDir tmp;
    EXPECT_TRUE(ProgramFolder().endsWith('/'));
    EXPECT_TRUE(QFile::exists(ProgramFolder() + "test_platform"));
    SetProgramFolder(tmp.path());
    SetDocumentsFolder(tmp.path() + "/docs");
    SetConfigFolder(tmp.path() + "/cfg/");
    SetRuntimeFolder(tmp.path() + "/run");
    EXPECT_EQ(ProgramFolder(), tmp.path() + "/");
    EXPECT_EQ(DocumentsFolder(), tmp.path() + "/docs/");
    EXPECT_EQ(ConfigFolder(), tmp.path() + "/cfg/");
    EXPECT_EQ(RuntimeFolder(), tmp.path() + "/run/");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(tmp.path() + "/run").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    SetProgramFolder(std::nullopt);
    SetDocumentsFolder(std::nullopt);
    SetConfigFolder(std::nullopt);
    SetRuntimeFolder(std::nullopt);
    EXPECT_NE(ProgramFolder(), tmp.path() + "/");
}

namespace {
mode_t ModeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : mode_t(-1);
}
} // namespace

// Another local user can create anything at the shared temporary folder's
// per-uid name before us. Whatever it is, it is refused without being
// changed, and the one problem line names the path and the fault.
TEST(Paths, PrivateFolderIsMadeOrRefusedNeverAdopted)
{
    QTemporaryDir tmp;
    const QString victim = tmp.path() + "/home";
    ASSERT_TRUE(QDir().mkdir(victim));
    ASSERT_EQ(::chmod(QFile::encodeName(victim).constData(), 0755), 0);
    const QString open = tmp.path() + "/open";
    ASSERT_TRUE(QDir().mkdir(open));
    ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0777), 0);
    const QString others = tmp.path() + "/others";
    ASSERT_TRUE(QDir().mkdir(others));
    ASSERT_EQ(::chmod(QFile::encodeName(others).constData(), 0700), 0);
    const bool canChown = ::chown(QFile::encodeName(others).constData(), 65534, 65534) == 0;
    ASSERT_TRUE(QFile::link(victim, tmp.path() + "/link"));
    ASSERT_TRUE(QFile::link(tmp.path() + "/nowhere", tmp.path() + "/dangling"));
    WriteRaw(tmp.path() + "/file", "x");

    struct Case {
        QString name;
        const char *problem;
    };
    const Case refused[] = {{"link", "is a symbolic link"},  {"link/", "is a symbolic link"},
                            {"dangling", "is a symbolic link"}, {"file", "is not a folder"},
                            {"open", "has mode 0777"},        {"others", "belongs to user 65534"}};
    for (const Case &c : refused) {
        if (c.name == "others" && !canChown)
            continue;
        const PrivateFolder f = MakePrivateFolder(tmp.path() + "/" + c.name, "runtime folder");
        EXPECT_FALSE(f) << c.name.toStdString();
        EXPECT_TRUE(f.path.isEmpty());
        const QString expected = "runtime folder " + tmp.path() + "/" + QString(c.name).remove('/');
        EXPECT_TRUE(f.problem.startsWith(expected)) << f.problem.toStdString();
        EXPECT_TRUE(f.problem.contains(c.problem)) << f.problem.toStdString();
        EXPECT_FALSE(f.problem.contains('\n'));
    }
    EXPECT_EQ(ModeOf(victim), 0755u) << "a link's target is never chmod'ed";
    EXPECT_EQ(ModeOf(open), 0777u);
    EXPECT_FALSE(QFile::exists(tmp.path() + "/nowhere")) << "nothing is made through a dangling link";

    const PrivateFolder made = MakePrivateFolder(tmp.path() + "/new/sub", "runtime folder");
    ASSERT_TRUE(made) << made.problem.toStdString();
    EXPECT_EQ(made.path, tmp.path() + "/new/sub/");
    EXPECT_EQ(ModeOf(tmp.path() + "/new/sub"), 0700u);
    EXPECT_TRUE(MakePrivateFolder(made.path, "runtime folder")) << "an existing private folder is taken";
}

TEST(Paths, RuntimeFolderFallbackInTheTemporaryFolderRefusesALink)
{
    QTemporaryDir tmp;
    const QByteArray oldXdg = qgetenv("XDG_RUNTIME_DIR"), oldTmp = qgetenv("TMPDIR");
    const bool hadXdg = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"), hadTmp = qEnvironmentVariableIsSet("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    const QString perUid = tmp.path() + QStringLiteral("/hkt75-%1").arg(::getuid());
    const QString victim = tmp.path() + "/victim";
    ASSERT_TRUE(QDir().mkdir(victim));
    ASSERT_EQ(::chmod(QFile::encodeName(victim).constData(), 0755), 0);
    ASSERT_TRUE(QFile::link(victim, perUid));

    EXPECT_EQ(RuntimeFolder(), QString());
    const PrivateFolder f = OpenRuntimeFolder();
    EXPECT_TRUE(f.problem.contains(perUid + " is a symbolic link")) << f.problem.toStdString();
    EXPECT_EQ(ModeOf(victim), 0755u);

    ASSERT_TRUE(QFile::remove(perUid));
    EXPECT_EQ(RuntimeFolder(), perUid + "/");
    EXPECT_EQ(ModeOf(perUid), 0700u);

    hadXdg ? qputenv("XDG_RUNTIME_DIR", oldXdg) : qunsetenv("XDG_RUNTIME_DIR");
    hadTmp ? qputenv("TMPDIR", oldTmp) : qunsetenv("TMPDIR");
}

// A save killed between creating its temporary and renaming it leaves the
// temporary behind; the next save of the same file removes every such one,
// but never a temporary that a save running in another process still holds,
// nor another file's.
TEST(Paths, AtomicWriteRemovesTheTemporariesOfEarlierInterruptedSavesOfTheSameFile)
{
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/";
    const QByteArray big(584 * 1024, 'p');
    for (const char *left : {".Profile1.pfd.tmp-a1B2c3", ".Profile1.pfd.tmp-XXXXXX"})
        WriteRaw(dir + left, big);
    const QStringList kept = {".Profile10.pfd.tmp-a1B2c3", ".Profile1.pfd.tmp-toolong", ".Profile1.pfd.tmp-held00",
                              "Profile1.pfd.tmp-a1B2c3"};
    for (const QString &k : kept)
        WriteRaw(dir + k, "k");
    // A save in progress elsewhere: its temporary is locked.
    const int held = ::open(QFile::encodeName(dir + ".Profile1.pfd.tmp-held00").constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_TRUE(WriteFileAtomic(dir + "Profile1.pfd", "new"));
    QStringList expected = kept + QStringList{"Profile1.pfd"};
    expected.sort();
    QStringList found = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    found.sort();
    EXPECT_EQ(found, expected);
    ::close(held);

    // Once its writer is gone it is a left-over like the others.
    ASSERT_TRUE(WriteFileAtomic(dir + "Profile1.pfd", "newer"));
    EXPECT_FALSE(QFile::exists(dir + ".Profile1.pfd.tmp-held00"));
    QByteArray out;
    ASSERT_EQ(ReadFileBounded(dir + "Profile1.pfd", out), ReadStatus::Ok);
    EXPECT_EQ(out, "newer");
}
