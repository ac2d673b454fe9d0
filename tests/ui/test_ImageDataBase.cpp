#include "config/ui/ImageDataBaseUnit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// A skin folder with a few solid pictures whose colour tells them apart.
class SkinDir
{
public:
    SkinDir()
    {
        EXPECT_TRUE(dir.isValid());
        root = dir.path() + QStringLiteral("/");
    }
    QString put(const QString &rel, QSize size, QColor colour)
    {
        const QString path = root + rel;
        QDir().mkpath(QFileInfo(path).path());
        QImage img(size, QImage::Format_ARGB32);
        img.fill(colour);
        EXPECT_TRUE(img.save(path, "PNG"));
        return path;
    }
    void putBytes(const QString &rel, const QByteArray &bytes)
    {
        const QString path = root + rel;
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTemporaryDir dir;
    QString root;
};

QImage marker()
{
    QImage img(3, 5, QImage::Format_ARGB32);
    img.fill(Qt::magenta);
    return img;
}

} // namespace

TEST(ImageDataBase, LoadsOnceByNameWhateverFolderLaterRequestsName)
{
    SkinDir s;
    const QString file = s.put(QStringLiteral("buttons/ok-1.png"), {10, 4}, Qt::red);
    s.put(QStringLiteral("controls/ok-1.png"), {7, 7}, Qt::blue);
    TImageDataBase db(s.root);

    QImage a;
    ASSERT_TRUE(db.AssignIMAGE(a, QStringLiteral("ok-1.png"), QStringLiteral("buttons")));
    EXPECT_EQ(a.size(), QSize(10, 4));
    ASSERT_EQ(db.IMGDB().size(), 1u);

    // The file is gone and another folder is named: still the cached picture.
    ASSERT_TRUE(QFile::remove(file));
    QImage b;
    ASSERT_TRUE(db.AssignIMAGE(b, QStringLiteral("ok-1.png"), QStringLiteral("controls")));
    EXPECT_EQ(b.size(), QSize(10, 4));
    EXPECT_EQ(b.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(db.IMGDB().size(), 1u);

    // Targets hold copies: changing one leaves the cache as it was.
    b.fill(Qt::green);
    QImage c;
    db.AssignIMAGE(c, QStringLiteral("ok-1.png"), QString());
    EXPECT_EQ(c.pixelColor(0, 0), QColor(Qt::red));
}

TEST(ImageDataBase, NamesAreCaseSensitiveKeysButFoldersAndFilesResolveAnyCase)
{
    SkinDir s;
    s.put(QStringLiteral("images/0409/buttons/Close-1.png"), {20, 22}, Qt::red);
    // The base and the subfolder are spelt as the windows spell them.
    TImageDataBase db(s.root + QStringLiteral("Images\\0409"));

    QImage a, b;
    ASSERT_TRUE(db.AssignIMAGE(a, QStringLiteral("Close-1.png"), QStringLiteral("Buttons")));
    ASSERT_TRUE(db.AssignIMAGE(b, QStringLiteral("close-1.png"), QStringLiteral("BUTTONS")));
    EXPECT_EQ(a.size(), QSize(20, 22));
    EXPECT_EQ(b.size(), QSize(20, 22));
    ASSERT_EQ(db.IMGDB().size(), 2u); // two keys for one file
    EXPECT_EQ(db.IMGDB()[0].ImagePath, s.root + QStringLiteral("images/0409/buttons/Close-1.png"));
}

TEST(ImageDataBase, ExplicitPathIsJoinedWithoutSeparatorAndBackslashesWork)
{
    SkinDir s;
    s.put(QStringLiteral("other/pic.png"), {2, 2}, Qt::red);
    TImageDataBase db(s.root + QStringLiteral("nowhere"));
    QImage a;
    ASSERT_TRUE(db.AssignIMAGE(a, QStringLiteral("pic.png"), QStringLiteral("ignored"),
                               QString(s.root + QStringLiteral("OTHER\\")).replace(QLatin1Char('/'), QLatin1Char('\\'))));
    EXPECT_EQ(a.size(), QSize(2, 2));
}

TEST(ImageDataBase, EmptyNameClearsTargetAndNeverTouchesDiskOrCache)
{
    SkinDir s;
    s.put(QStringLiteral("EMPTY"), {4, 4}, Qt::red); // a file by that name is not read
    TImageDataBase db(s.root);
    QImage target = marker();
    EXPECT_TRUE(db.AssignIMAGE(target, QStringLiteral("EMPTY"), QString()));
    EXPECT_TRUE(target.isNull());
    EXPECT_EQ(target.size(), QSize(0, 0));
    EXPECT_TRUE(db.IMGDB().empty());
}

TEST(ImageDataBase, MissingOrBrokenPictureLeavesTargetAndAddsNothing)
{
    SkinDir s;
    s.putBytes(QStringLiteral("b/garbage.png"), QByteArray("\x89PNG\r\n\x1a\nthis is not a picture", 29));
    s.putBytes(QStringLiteral("b/zero.png"), QByteArray());
    QDir().mkpath(s.root + QStringLiteral("b/folder.png"));
    TImageDataBase db(s.root);

    const struct { const char *name; } rows[] = {{"missing.png"}, {"garbage.png"}, {"zero.png"}, {"folder.png"}, {""}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        QImage target = marker();
        EXPECT_FALSE(db.AssignIMAGE(target, QString::fromLatin1(r.name), QStringLiteral("b")));
        EXPECT_EQ(target.size(), QSize(3, 5));
        EXPECT_EQ(target.pixelColor(0, 0), QColor(Qt::magenta));
        EXPECT_TRUE(db.IMAGE(QString::fromLatin1(r.name), s.root + QStringLiteral("b/")).isNull());
    }
    EXPECT_TRUE(db.IMGDB().empty());

    // A missing picture that appears later is found then: misses are not cached.
    s.put(QStringLiteral("b/missing.png"), {6, 6}, Qt::red);
    QImage target;
    EXPECT_TRUE(db.AssignIMAGE(target, QStringLiteral("missing.png"), QStringLiteral("b")));
    EXPECT_EQ(target.size(), QSize(6, 6));
}

TEST(ImageDataBase, SettingBaseAppendsOneSeparatorAndEmptiesCache)
{
    SkinDir s;
    s.put(QStringLiteral("a/x.png"), {1, 1}, Qt::red);
    s.put(QStringLiteral("b/x.png"), {2, 2}, Qt::blue);
    TImageDataBase db(s.root + QStringLiteral("a"));
    EXPECT_EQ(db.ImageDBPath(), s.root + QStringLiteral("a/"));
    QImage img;
    ASSERT_TRUE(db.AssignIMAGE(img, QStringLiteral("x.png"), QString()));
    EXPECT_EQ(img.size(), QSize(1, 1));

    db.SetImageBasePath(s.root + QStringLiteral("b\\"));
    EXPECT_EQ(db.ImageDBPath(), s.root + QStringLiteral("b/"));
    EXPECT_TRUE(db.IMGDB().empty());
    ASSERT_TRUE(db.AssignIMAGE(img, QStringLiteral("x.png"), QString()));
    EXPECT_EQ(img.size(), QSize(2, 2));

    db.SetImageBasePath(s.root + QStringLiteral("b/"));
    EXPECT_EQ(db.ImageDBPath(), s.root + QStringLiteral("b/"));

    db.SetImageBasePath(QString()); // falls back to the program folder
    EXPECT_EQ(db.ImageDBPath(), hkt::skin::ProgramFolder());
}

TEST(ImageDataBase, ImageReturnsCopyOnHitAndLoadsWithoutSubfolderOnMiss)
{
    SkinDir s;
    s.put(QStringLiteral("top.png"), {3, 3}, Qt::red);
    TImageDataBase db(s.root);
    const QImage a = db.IMAGE(QStringLiteral("top.png"));
    EXPECT_EQ(a.size(), QSize(3, 3));
    EXPECT_EQ(db.IMGDB().size(), 1u);
    const QImage b = db.IMAGE(QStringLiteral("top.png"), QStringLiteral("/nonexistent/"));
    EXPECT_EQ(b.size(), QSize(3, 3));
}

TEST(ImageDataBase, ResolvePathKeepsExactSpellingAndFindsOthers)
{
    SkinDir s;
    QDir().mkpath(s.root + QStringLiteral("Images/0409/Buttons"));
    QDir().mkpath(s.root + QStringLiteral("images/0409/buttons"));
    using hkt::skin::ResolvePath;
    // The exact spelling wins when both exist.
    EXPECT_EQ(ResolvePath(s.root + QStringLiteral("images\\0409\\buttons")), s.root + QStringLiteral("images/0409/buttons"));
    EXPECT_EQ(ResolvePath(s.root + QStringLiteral("Images/0409/Buttons/")), s.root + QStringLiteral("Images/0409/Buttons/"));
    // A spelling that exists nowhere: the first case-insensitive match in code-point order.
    EXPECT_EQ(ResolvePath(s.root + QStringLiteral("IMAGES/0409/BUTTONS")), s.root + QStringLiteral("Images/0409/Buttons"));
    // What matches nothing is kept as spelt.
    EXPECT_EQ(ResolvePath(s.root + QStringLiteral("images/0804/Buttons/x.png")),
              s.root + QStringLiteral("images/0804/Buttons/x.png"));
}

TEST(ImageDataBase, SkinFolderPerLanguageFallsBackTo0409)
{
    SkinDir s;
    QDir().mkpath(s.root + QStringLiteral("Images/0409"));
    QDir().mkpath(s.root + QStringLiteral("images/0804"));
    QFile(s.root + QStringLiteral("images/0404")).open(QIODevice::WriteOnly); // a file, not a folder
    using hkt::skin::SkinFolderForLanguage;
    const struct { const char *id; const char *folder; } rows[] = {
        {"0804", "images/0804"}, {"0409", "Images/0409"}, {"0404", "Images/0409"}, {"0411", "Images/0409"},
        {"", "Images/0409"},     {"../0804", "Images/0409"}, {"0804/", "Images/0409"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.id);
        EXPECT_EQ(SkinFolderForLanguage(s.root, QString::fromLatin1(r.id)), s.root + QString::fromLatin1(r.folder));
    }
}

TEST(ImageDataBase, GlobalCacheStartsAtProgramFolderImages0409)
{
    EXPECT_EQ(GlobalImageDataBase().ImageDBPath(), hkt::skin::ProgramFolder() + QStringLiteral("Images/0409/"));
    EXPECT_EQ(&GlobalImageDataBase(), &GlobalImageDataBase());
}
