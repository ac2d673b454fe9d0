#include "core/kwProfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using hkt::platform::DirectoryValueStore;
using hkt::platform::MemoryValueStore;
using hkt::platform::ReadStatus;

namespace {

const QString kKey = QStringLiteral("software\\HKT75GM");

struct Fixture {
    QTemporaryDir tmp;
    std::shared_ptr<DirectoryValueStore> values = std::make_shared<DirectoryValueStore>(tmp.path() + "/registry");
    TkwProfile store{values};

    void Bind(const QString &name = QStringLiteral("Profile1.pfd"))
    {
        store.SetRootKey(HKEY_CURRENT_USER);
        store.SetKeyPath(kKey);
        store.SetFileName(name);
    }
    QByteArray Stored(const QString &name = QStringLiteral("Profile1.pfd"))
    {
        QByteArray data;
        EXPECT_EQ(values->ReadValue(kKey, name, data), ReadStatus::Ok);
        return data;
    }
};

QByteArray Pattern(int size, int seed)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    return b;
}

} // namespace

TEST(kwProfile, WriteOverwritesTheStartAndReadCopiesAtMostTheImage)
{
    TkwProfile store(std::make_shared<MemoryValueStore>());
    const QByteArray first = Pattern(200, 1);
    EXPECT_EQ(store.Write(first.constData(), 200), 200);
    const QByteArray second = Pattern(100, 2);
    EXPECT_EQ(store.Write(second.constData(), 100), 100);
    EXPECT_EQ(store.Size(), 200);
    EXPECT_EQ(store.Image(), second + first.mid(100));

    QByteArray buf(300, 'z');
    EXPECT_EQ(store.Read(buf.data(), 300), 200);
    EXPECT_EQ(buf.left(200), store.Image());
    EXPECT_EQ(buf.mid(200), QByteArray(100, 'z'));
    EXPECT_EQ(store.Write(second.constData(), -1), 0);
    EXPECT_EQ(store.Read(buf.data(), -5), 0);
}

TEST(kwProfile, ShortStoredValueIsTakenWholeAndReadLeavesTheRest)
{
    Fixture f;
    f.Bind();
    const QByteArray full = Pattern(121408, 3);
    f.store.Write(full.constData(), full.size());
    ASSERT_TRUE(f.values->OpenKey(kKey, true));
    ASSERT_TRUE(f.values->WriteValue(kKey, "PROFILE1.PFD", Pattern(10, 9)));

    ASSERT_TRUE(f.store.LoadStreamFromRegistry());
    EXPECT_EQ(f.store.LastLoadStatus(), ReadStatus::Ok);
    EXPECT_EQ(f.store.Size(), 10);
    QByteArray record = Pattern(121408, 5);
    const QByteArray before = record;
    EXPECT_EQ(f.store.Read(record.data(), record.size()), 10);
    EXPECT_EQ(record.left(10), Pattern(10, 9));
    EXPECT_EQ(record.mid(10), before.mid(10));
}

TEST(kwProfile, RegistryRefusalsReturnFalseAndTouchNothing)
{
    Fixture f;
    // Root 0 (its value until set): nothing is created.
    f.store.SetKeyPath(kKey);
    f.store.SetFileName("Profile1.pfd");
    EXPECT_FALSE(f.store.LoadStreamFromRegistry());
    EXPECT_FALSE(f.store.SaveStreamToRegistry());
    EXPECT_FALSE(QFile::exists(f.tmp.path() + "/registry"));

    f.store.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(f.store.SaveStreamToRegistry());
    EXPECT_FALSE(QFile::exists(f.tmp.path() + "/registry"));

    // A missing value: false, the key stays created and empty; the image is kept.
    f.Bind();
    f.store.Write("abc", 3);
    EXPECT_FALSE(f.store.LoadStreamFromRegistry());
    EXPECT_EQ(f.store.LastLoadStatus(), ReadStatus::Missing);
    EXPECT_TRUE(QDir(f.tmp.path() + "/registry/software/hkt75gm").exists());
    EXPECT_TRUE(QDir(f.tmp.path() + "/registry/software/hkt75gm").isEmpty());
    EXPECT_EQ(f.store.Image(), "abc");

    // A before-handler cancels; storage untouched.
    f.store.OnBeforeSaveToRegistry = [](QByteArray &, bool &go) { go = false; };
    EXPECT_FALSE(f.store.SaveStreamToRegistry());
    EXPECT_FALSE(f.values->ValueExists(kKey, "Profile1.pfd"));
}

TEST(kwProfile, UnreadableValueIsNotMissingAndKeepsTheImage)
{
    Fixture f;
    f.Bind();
    ASSERT_TRUE(f.values->OpenKey(kKey, true));
    ASSERT_TRUE(QDir().mkdir(f.values->ValueFile(kKey, "Profile1.pfd")));
    f.store.Write("keep", 4);
    EXPECT_FALSE(f.store.LoadStreamFromRegistry());
    EXPECT_EQ(f.store.LastLoadStatus(), ReadStatus::NotRegular);
    EXPECT_EQ(f.store.Image(), "keep");
}

TEST(kwProfile, SaveRoundTripsAndARefusedWriteReportsFalse)
{
    auto mem = std::make_shared<MemoryValueStore>();
    TkwProfile store(mem);
    store.SetRootKey(HKEY_CURRENT_USER);
    store.SetKeyPath(kKey);
    store.SetFileName("allsettings.pfd");
    const QByteArray img = Pattern(30954, 7);
    store.Write(img.constData(), img.size());
    int after = 0;
    store.OnAfterSaveToRegistry = [&](const QByteArray &a) { after += a == img; };
    ASSERT_TRUE(store.SaveStreamToRegistry());
    EXPECT_EQ(after, 1);

    mem->SetRefuseWrites(true);
    const QByteArray other = Pattern(30954, 8);
    store.Write(other.constData(), other.size());
    EXPECT_FALSE(store.SaveStreamToRegistry());
    EXPECT_EQ(after, 1);
    QByteArray got;
    ASSERT_EQ(mem->ReadValue(kKey, "ALLSETTINGS.PFD", got), ReadStatus::Ok);
    EXPECT_EQ(got, img);
}

TEST(kwProfile, FilePathTakesOnlyExistingFoldersWithASeparator)
{
    QTemporaryDir tmp;
    TkwProfile store(std::make_shared<MemoryValueStore>());
    store.SetFilePath(tmp.path());
    EXPECT_EQ(store.FilePath(), tmp.path() + "/");
    store.SetFilePath(tmp.path() + "/missing");
    EXPECT_EQ(store.FilePath(), tmp.path() + "/");
}

TEST(kwProfile, OwnFileSavesAndLoadsAndRefusesUnsafeNames)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(QDir().mkdir(tmp.path() + "/Profile"));
    TkwProfile store(std::make_shared<MemoryValueStore>());
    store.SetFileName("Profile1.pfd");
    store.Write("data", 4);
    EXPECT_FALSE(store.SaveStreamToFile()) << "no folder";
    EXPECT_FALSE(store.LoadStreamFromFile());

    store.SetFilePath(tmp.path() + "/Profile");
    ASSERT_TRUE(store.SaveStreamToFile());
    QFile f(tmp.path() + "/Profile/Profile1.pfd");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "data");
    store.Write("XY", 2);
    ASSERT_TRUE(store.LoadStreamFromFile());
    EXPECT_EQ(store.Image(), "data");

    for (const char *bad : {"../escape.pfd", "..", "a/b.pfd"}) {
        store.SetFileName(bad);
        EXPECT_FALSE(store.SaveStreamToFile()) << bad;
        EXPECT_FALSE(store.LoadStreamFromFile()) << bad;
    }
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Profile"});
}

TEST(kwProfile, GivenPathSaveCreatesOneMissingLevelOnly)
{
    QTemporaryDir tmp;
    TkwProfile store(std::make_shared<MemoryValueStore>());
    store.Write("img", 3);
    EXPECT_TRUE(store.SaveStreamToFile(tmp.path() + "/one/p.pfd"));
    EXPECT_TRUE(QFile::exists(tmp.path() + "/one/p.pfd"));
    EXPECT_FALSE(store.SaveStreamToFile(tmp.path() + "/two/levels/p.pfd"));
    EXPECT_FALSE(QFile::exists(tmp.path() + "/two"));
    EXPECT_TRUE(store.FilePath().isEmpty()) << "the own file is not changed";

    // A target that cannot be written (a folder of that name): false, not a crash.
    ASSERT_TRUE(QDir().mkdir(tmp.path() + "/one/dir.pfd"));
    EXPECT_FALSE(store.SaveStreamToFile(tmp.path() + "/one/dir.pfd"));
}

TEST(kwProfile, LoadFromGivenFileTakesItWholeOrKeepsTheImage)
{
    QTemporaryDir tmp;
    TkwProfile store(std::make_shared<MemoryValueStore>());
    store.Write("old", 3);
    EXPECT_FALSE(store.LoadStreamFromFile(tmp.path() + "/none.pfd"));
    EXPECT_EQ(store.LastLoadStatus(), ReadStatus::Missing);
    EXPECT_FALSE(store.LoadStreamFromFile(tmp.path()));
    EXPECT_EQ(store.LastLoadStatus(), ReadStatus::NotRegular);
    EXPECT_EQ(store.Image(), "old");

    store.SetFilePath(tmp.path());
    store.SetFileName("own.pfd");
    store.Write("whole file", 10);
    ASSERT_TRUE(store.SaveStreamToFile(tmp.path() + "/x.pfd"));
    store.Write("zzzzzzzzzzzzzz", 14);
    ASSERT_TRUE(store.LoadStreamFromFile(tmp.path() + "/x.pfd"));
    EXPECT_EQ(store.Image(), "whole file");
    EXPECT_EQ(store.FileName(), "own.pfd");
}

TEST(kwProfile, DefaultsRunOnTheCurrentImageGrownToTheRecordSize)
{
    TkwProfile store(std::make_shared<MemoryValueStore>());
    store.Write("abc", 3);
    store.RestoreToDefault();
    EXPECT_EQ(store.Image(), "abc") << "no handler: no change";

    store.SetMinimumDefaultSize(8);
    qsizetype seen = -1;
    store.OnRestoreToDefault = [&](QByteArray &img) {
        seen = img.size();
        img[7] = 'z';
    };
    store.RestoreToDefault();
    EXPECT_EQ(seen, 8);
    EXPECT_EQ(store.Image(), QByteArray("abc\0\0\0\0z", 8));
}

TEST(kwProfile, SizeResizesAndRewinds)
{
    TkwProfile store(std::make_shared<MemoryValueStore>());
    store.SetSize(5);
    EXPECT_EQ(store.Image(), QByteArray(5, '\0'));
    store.Write("abcdef", 6);
    store.SetSize(2);
    EXPECT_EQ(store.Image(), "ab");
    store.SetSize(-1);
    EXPECT_EQ(store.Size(), 2);
}
