#include "platform/ValueStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

using namespace hkt::platform;

namespace {

QByteArray Bytes(int size, char fill) { return QByteArray(size, fill); }

// Every entry below `top` (recursively), as paths.
QStringList AllEntries(const QString &top)
{
    QStringList out;
    QDirIterator it(top, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    return out;
}

mode_t ModeOf(const QString &path)
{
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st.st_mode & 07777;
}

} // namespace

TEST(ValueStoreNames, EncodingIsFoldedAndNeverASeparatorOrDotName)
{
    struct Case {
        const char16_t *name;
        const char *encoded;
    };
    const Case cases[] = {
        {u"ProfileSettingGroup.pfd", "profilesettinggroup.pfd"},
        {u"..", "%2E."},
        {u".", "%2E"},
        {u".hidden", "%2Ehidden"},
        {u"a/b", "a%2Fb"},
        {u"a\\b", "a%5Cb"},
        {u"100%", "100%25"},
        {u"Ä x", "%C3%A4%20x"},
        {u"nul\0x", "nul"}, // a char16_t literal stops at its NUL
    };
    for (const Case &c : cases) {
        const QString name = QString::fromUtf16(c.name);
        EXPECT_EQ(EncodeName(name), QString::fromLatin1(c.encoded)) << name.toStdString();
    }
    EXPECT_EQ(EncodeName(QString()), QString());
    EXPECT_EQ(EncodeName(QString(300, QLatin1Char('a'))), QString()) << "too long for a file name";
}

TEST(ValueStoreNames, DecodingGivesTheFoldedNameBack)
{
    const QString names[] = {QStringLiteral("Software"), QStringLiteral("../../etc/passwd"), QStringLiteral("%41"),
                             QStringLiteral("Ünïcødé\\名前"), QStringLiteral(".."), QString(QChar(0)) + "x"};
    for (const QString &n : names) {
        const QString enc = EncodeName(n);
        ASSERT_FALSE(enc.isEmpty());
        EXPECT_FALSE(enc.contains(QLatin1Char('/')));
        EXPECT_FALSE(enc.contains(QChar(0)));
        EXPECT_NE(enc, QStringLiteral("."));
        EXPECT_NE(enc, QStringLiteral(".."));
        EXPECT_EQ(DecodeName(enc), n.toCaseFolded()) << n.toStdString();
    }
}

TEST(DirectoryValueStore, HostileNamesStayInsideTheirKeyFolder)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString root = tmp.path() + "/registry";
    DirectoryValueStore store(root);
    ASSERT_TRUE(store.OpenKey("software\\HKT75GM", true));
    const QString names[] = {"../x", "..", ".", "a/b", "..\\..\\x", "/etc/passwd"};
    for (const QString &n : names)
        EXPECT_TRUE(store.WriteValue("software\\HKT75GM", n, "v")) << n.toStdString();
    ASSERT_TRUE(store.OpenKey("..\\..\\evil", true));
    EXPECT_TRUE(store.WriteValue("..\\..\\evil", "x", "v"));

    const QString keyFolder = root + "/software/hkt75gm/";
    for (const QString &e : AllEntries(tmp.path())) {
        EXPECT_TRUE(e == root || e.startsWith(root + "/")) << e.toStdString();
        const QFileInfo fi(e);
        if (fi.isFile() && fi.path() + "/" != keyFolder) {
            EXPECT_TRUE(fi.path().startsWith(root + "/%2E.")) << e.toStdString();
        }
    }
    QByteArray got;
    EXPECT_EQ(store.ReadValue("SOFTWARE\\hkt75gm", "../X", got), ReadStatus::Ok);
    EXPECT_EQ(got, "v");
}

TEST(DirectoryValueStore, NamesAreCaseInsensitiveAndKeysNeedNoEmptyPart)
{
    QTemporaryDir tmp;
    DirectoryValueStore store(tmp.path());
    EXPECT_FALSE(store.OpenKey("software\\HKT75GM", false));
    ASSERT_TRUE(store.OpenKey("SOFTWARE\\HKT75GM", true));
    EXPECT_TRUE(store.OpenKey("software\\hkt75gm", false));
    ASSERT_TRUE(store.WriteValue("Software\\Hkt75gm", "AllSettings.PFD", "abc"));
    QByteArray got;
    EXPECT_EQ(store.ReadValue("software\\hkt75gm", "allsettings.pfd", got), ReadStatus::Ok);
    EXPECT_EQ(got, "abc");
    EXPECT_TRUE(store.ValueExists("SOFTWARE\\HKT75GM", "ALLSETTINGS.PFD"));

    EXPECT_FALSE(store.OpenKey("software\\\\x", true));
    EXPECT_FALSE(store.OpenKey("\\software", true));
    EXPECT_FALSE(store.WriteValue("software\\hkt75gm", "", "x"));
    EXPECT_FALSE(store.WriteValue("software\\missing", "v", "x")) << "the key must exist";
}

TEST(DirectoryValueStore, FoldersArePrivateAndValuesOwnerOnly)
{
    QTemporaryDir tmp;
    DirectoryValueStore store(tmp.path() + "/registry");
    ASSERT_TRUE(store.OpenKey("software\\hkt75gm", true));
    ASSERT_TRUE(store.WriteValue("software\\hkt75gm", "v", "data"));
    EXPECT_EQ(ModeOf(tmp.path() + "/registry"), 0700u);
    EXPECT_EQ(ModeOf(tmp.path() + "/registry/software"), 0700u);
    EXPECT_EQ(ModeOf(tmp.path() + "/registry/software/hkt75gm"), 0700u);
    EXPECT_EQ(ModeOf(store.ValueFile("software\\hkt75gm", "v")), 0600u);
}

TEST(DirectoryValueStore, FailedWriteLeavesTheOldValueAndNoTemporaryFile)
{
    QTemporaryDir tmp;
    DirectoryValueStore store(tmp.path());
    ASSERT_TRUE(store.OpenKey("k", true));
    const QByteArray old = Bytes(100, 'o');
    ASSERT_TRUE(store.WriteValue("k", "v", old));

    // A file-size limit makes the write fail half way, as a full disk would;
    // it bites root too, unlike permissions.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool wrote = store.WriteValue("k", "v", Bytes(5000, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(wrote);
    QByteArray got;
    EXPECT_EQ(store.ReadValue("k", "v", got), ReadStatus::Ok);
    EXPECT_EQ(got, old);
    EXPECT_EQ(QDir(tmp.path() + "/k").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"v"});
}

TEST(DirectoryValueStore, ReadsAreBoundedAndTakeOnlyRegularFiles)
{
    QTemporaryDir tmp;
    DirectoryValueStore store(tmp.path());
    ASSERT_TRUE(store.OpenKey("k", true));
    const QByteArray keep = "keep";

    {
        QFile big(store.ValueFile("k", "big"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(kMaxReadBytes + 1));
    }
    ASSERT_EQ(::mkfifo(QFile::encodeName(store.ValueFile("k", "fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(store.ValueFile("k", "dir")));

    const struct {
        const char *name;
        ReadStatus expect;
    } cases[] = {{"big", ReadStatus::TooLarge}, {"fifo", ReadStatus::NotRegular},
                 {"dir", ReadStatus::NotRegular}, {"absent", ReadStatus::Missing}};
    for (const auto &c : cases) {
        QByteArray data = keep;
        EXPECT_EQ(store.ReadValue("k", c.name, data), c.expect) << c.name;
        EXPECT_EQ(data, keep) << c.name;
    }
}

TEST(DirectoryValueStore, ReaderSeesOnlyWholeValuesWhileAnotherWrites)
{
    QTemporaryDir tmp;
    DirectoryValueStore writer(tmp.path());
    DirectoryValueStore reader(tmp.path());
    ASSERT_TRUE(writer.OpenKey("k", true));
    const QByteArray a = Bytes(121408, 'a');
    const QByteArray b = Bytes(10, 'b');
    ASSERT_TRUE(writer.WriteValue("k", "v", a));

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread t([&] {
        while (!done) {
            QByteArray got;
            if (reader.ReadValue("k", "v", got) != ReadStatus::Ok || (got != a && got != b))
                ++torn;
        }
    });
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(writer.WriteValue("k", "v", i % 2 ? a : b));
    done = true;
    t.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(QDir(tmp.path() + "/k").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"v"});
}

TEST(MemoryValueStore, BehavesLikeTheDirectoryStoreAndCanRefuse)
{
    MemoryValueStore store;
    EXPECT_FALSE(store.OpenKey("Software\\X", false));
    ASSERT_TRUE(store.OpenKey("Software\\X", true));
    ASSERT_TRUE(store.WriteValue("software\\x", "Name", "1"));
    QByteArray got = "keep";
    EXPECT_EQ(store.ReadValue("SOFTWARE\\X", "NAME", got), ReadStatus::Ok);
    EXPECT_EQ(got, "1");
    store.SetRefuseWrites(true);
    EXPECT_FALSE(store.WriteValue("software\\x", "Name", "2"));
    EXPECT_EQ(store.ReadValue("software\\x", "name", got), ReadStatus::Ok);
    EXPECT_EQ(got, "1");
}
