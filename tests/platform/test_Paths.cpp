#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

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
