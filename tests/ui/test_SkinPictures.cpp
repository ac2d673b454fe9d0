// The generated skin: every picture the windows ask for, at the size the
// windows show it, found with the windows' own spellings of the folders.
#include "config/ui/ImageDataBaseUnit.h"

#include <QFile>
#include <QImageReader>

#include <gtest/gtest.h>

#include <set>

namespace {

const QString Images = QStringLiteral(HKT75_BIN_DIR "/images/");

struct Pic
{
    const char *sub; // as the windows spell it
    const char *name;
    int w, h;
};

// The pictures the windows name, with their sizes.
const Pic Pictures[] = {
    // message, name, key dialogs and the macro manager
    {"buttons", "ok-1.png", 100, 34}, {"buttons", "ok-2.png", 100, 34}, {"buttons", "ok-3.png", 100, 34},
    {"background", "dlg-back.png", 478, 292},
    {"buttons", "Button-1.png", 103, 43}, {"buttons", "Button-2.png", 103, 43}, {"buttons", "Button-3.png", 103, 43},
    {"buttons", "ButtonTool-1.png", 136, 21}, {"buttons", "ButtonTool-2.png", 136, 21},
    {"buttons", "ButtonTool-3.png", 136, 21},
    {"buttons", "iconstart-1.png", 62, 40}, {"buttons", "iconstart-2.png", 62, 40},
    {"buttons", "iconstop-1.png", 65, 40}, {"buttons", "iconstop-2.png", 65, 40},
    {"controls", "checkbox-1.png", 14, 12}, {"controls", "checkbox-2.png", 14, 12},
    {"Buttons", "min-1.png", 20, 22}, {"Buttons", "min-2.png", 20, 22}, {"Buttons", "min-3.png", 20, 22},
    {"Buttons", "Close-1.png", 20, 22}, {"Buttons", "Close-2.png", 20, 22}, {"Buttons", "Close-3.png", 20, 22},
    {"controls", "scroll-bar-top-button.png", 225, 14}, {"controls", "scroll-bar-bottom-button.png", 225, 14},
    {"controls", "macro-action-item-flag-down.png", 12, 12}, {"controls", "macro-action-item-flag-up.png", 12, 12},
    {"controls", "macro-action-item-mouse-flag-down.png", 12, 12},
    {"controls", "macro-action-item-mouse-flag-up.png", 12, 12},
    {"controls", "macro-action-item-flag-delay.png", 12, 12},
    // main window
    {"background", "cfgMainback.png", 801, 638},
    {"background", "mouse-layout-front.png", 300, 380}, {"background", "mouse-layout-Side.png", 420, 240},
    {"background", "mouse-layout-Color.png", 300, 380}, {"background", "DB-CLICK-TEST-AREA.png", 48, 48},
    {"buttons", "tabbutton-1.png", 140, 40}, {"buttons", "tabbutton-2.png", 140, 40},
    {"buttons", "tabbutton-3.png", 140, 40},
    {"Buttons", "ProfileButton-1.png", 112, 36}, {"Buttons", "ProfileButton-2.png", 112, 36},
    {"Buttons", "ProfileButton-3.png", 112, 36},
    {"Buttons", "ButtonAssign-1.png", 150, 26}, {"Buttons", "ButtonAssign-2.png", 150, 26},
    {"Buttons", "ButtonAssign-3.png", 150, 26},
    {"controls", "Indicator-bar-back.png", 260, 20}, {"controls", "Indicator-bar-back-sm.png", 160, 20},
    {"controls", "dpi-indicator-x.png", 20, 260}, {"controls", "dpi-indicator-y.png", 20, 260},
};

bool hasInk(const QImage &img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > 0)
                return true;
    return false;
}

} // namespace

TEST(SkinPictures, EveryPictureExistsAtItsSizeUnderTheWindowsSpelling)
{
    // The cache's default base, spelt as the program spells it.
    TImageDataBase db(QStringLiteral(HKT75_BIN_DIR "\\Images\\0409"));
    for (const Pic &pic : Pictures) {
        SCOPED_TRACE(pic.name);
        QImage img;
        ASSERT_TRUE(db.AssignIMAGE(img, QString::fromLatin1(pic.name), QString::fromLatin1(pic.sub)));
        EXPECT_EQ(img.size(), QSize(pic.w, pic.h));
        EXPECT_TRUE(img.hasAlphaChannel());
        EXPECT_TRUE(hasInk(img));
    }
    EXPECT_EQ(db.IMGDB().size(), std::size(Pictures));
}

TEST(SkinPictures, ButtonLooksDifferFromEachOther)
{
    const char *stems[] = {"ok", "Button", "ButtonTool", "tabbutton", "ProfileButton", "ButtonAssign", "min", "Close"};
    for (const char *stem : stems) {
        SCOPED_TRACE(stem);
        std::set<QByteArray> looks;
        for (int n = 1; n <= 3; ++n) {
            QFile f(Images + QStringLiteral("0409/buttons/%1-%2.png").arg(QLatin1String(stem)).arg(n));
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            QImage img;
            ASSERT_TRUE(img.loadFromData(f.readAll()));
            const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
            looks.insert(QByteArray(reinterpret_cast<const char *>(argb.constBits()), argb.sizeInBytes()));
        }
        EXPECT_EQ(looks.size(), 3u);
    }
}

TEST(SkinPictures, ColourPictureLeavesTheBadgeTransparent)
{
    const QImage lit(Images + QStringLiteral("0409/background/mouse-layout-Color.png"));
    const QImage plain(Images + QStringLiteral("0409/background/mouse-layout-front.png"));
    ASSERT_FALSE(lit.isNull());
    // Near the centre of the badge's ring, inside the 50 x 50 area behind it.
    const QPoint inRing(150 - 12, int(380 * 0.70));
    EXPECT_EQ(qAlpha(lit.pixel(inRing)), 0);
    EXPECT_EQ(qAlpha(plain.pixel(inRing)), 255);
    EXPECT_EQ(qAlpha(lit.pixel(150, 380 / 4)), 255); // the shell is opaque
}

TEST(SkinPictures, IconIsARealIconFile)
{
    QFile f(Images + QStringLiteral("0409/icons/logo.ico"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(6);
    ASSERT_EQ(head.size(), 6);
    EXPECT_EQ(head, QByteArray("\0\0\1\0\6\0", 6)); // icon resource, six images
    f.close();

    QImageReader reader(Images + QStringLiteral("0409/icons/logo.ico"), "ico");
    std::set<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage img = reader.read();
        ASSERT_FALSE(img.isNull()) << i << " " << reader.errorString().toStdString();
        EXPECT_EQ(img.width(), img.height());
        EXPECT_TRUE(hasInk(img));
        EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0); // corners stay clear
        sizes.insert(img.width());
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 24, 32, 48, 64, 256}));
}

TEST(SkinPictures, StyleFileNamesEveryStyleTheWindowsUse)
{
    QFile f(Images + QStringLiteral("kw.vgstyle"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString qss = QString::fromUtf8(f.readAll());
    const char *styles[] = {"wlabel", "mylabel", "mystatebtn", "mymainbutton", "mybuttonactiontool", "mylistbox",
                            "nulltextboxstyle", "nametextboxstyle", "combokey", "mytextbox", "newtextbox",
                            "myexpanderstyle", "myradiocheckboxstyle", "mydpibtn", "mydpibtna", "mydpibtncurrenta",
                            "mydpilevelstyle", "languagestyle"};
    for (const char *s : styles)
        EXPECT_TRUE(qss.contains(QStringLiteral("[skinStyle=\"%1\"]").arg(QLatin1String(s)))) << s;
    EXPECT_FALSE(qss.contains(QLatin1Char('@'))); // every colour variable was filled in
}
