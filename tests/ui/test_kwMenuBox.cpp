// The menu's windows for real, on the offscreen platform: open the button
// function menu, hover into a sub-menu, click a row, receive its identifier.
// With HKT75_MENU_GRAB_DIR set, the open menu is also saved as pictures (in
// English and Chinese) for a look at it.
#include "config/ui/kwLanguage.h"
#include "config/ui/kwLanguageStream.h"
#include "config/ui/kwMenuBox.h"
#include "config/ui/kwMenuDefinitions.h"
#include "config/ui/kwSkinPaint.h"
#include "config/ui/showdialog.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Window {
    QWidget window;
    QWidget *button;
    Window()
    {
        window.setGeometry(200, 150, 560, 420);
        button = new QWidget(&window);
        button->setGeometry(60, 40, 120, 30);
        window.show();
    }
    // The function menu with the real windows, the pointer on the button.
    QPoint Prepare(TkwMenuEx &menu)
    {
        FillFunctionMenu(menu);
        TkwMenuEnvironment env = TkwMenuEnvironment::Qt();
        const QPoint pointer = button->mapToGlobal(QPoint(20, 15));
        env.Pointer = [pointer] { return pointer; };
        menu.SetEnvironment(env);
        return pointer;
    }
};

TkwMenuBox *BoxOf(TkwMenuItemsEx &c)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<TkwMenuBox *>(w); box && box->Collection() == &c)
            return box;
    return nullptr;
}

QPoint RowPoint(TkwMenuEx &menu, TkwMenuItemsEx &c, int row)
{
    return menu.Controller().RowRect(c, row).center().toPoint();
}

// The window area behind the menu and every open popup, as the screen shows them.
QImage Compose(TkwMenuEx &menu, QWidget &window)
{
    QRect area = window.frameGeometry();
    const auto open = menu.Controller().OpenLevels();
    for (TkwMenuItemsEx *c : open)
        area |= c->Level()->Geometry;
    area.adjust(-20, -20, 20, 20);
    QImage img(area.size(), QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(0x0B, 0x0D, 0x10));
    QPainter p(&img);
    hkt::skin::PaintMainBack(p, QRectF(window.frameGeometry().translated(-area.topLeft())));
    for (TkwMenuItemsEx *c : open)
        if (TkwMenuBox *box = BoxOf(*c))
            p.drawPixmap(c->Level()->Geometry.topLeft() - area.topLeft(), box->grab());
    return img;
}

void MaybeSave(const QImage &img, const char *name)
{
    const QString dir = qEnvironmentVariable("HKT75_MENU_GRAB_DIR");
    if (!dir.isEmpty())
        img.save(QDir(dir).filePath(QString::fromLatin1(name)));
}

} // namespace

TEST(kwMenuBox, OpenHoverIntoSubMenuAndClick)
{
    Window w;
    TkwMenuEx menu(&w.window);
    const QPoint pointer = w.Prepare(menu);
    uint32_t got = 0;
    QString name;
    bool openInHandler = true;
    menu.OnItemsClick = [&](TkwMenuItemEx *, const QString &n, uint32_t id, void *, int) {
        got = id;
        name = n;
        openInHandler = menu.IsMenuOpen();
    };

    menu.ShowMainMenu(3, w.button, vgPlacementMouse);
    ASSERT_TRUE(menu.IsMenuOpen());
    TkwMenuItemsEx &top = menu.Items();
    QPointer<TkwMenuBox> topBox = BoxOf(top);
    ASSERT_TRUE(topBox);
    EXPECT_TRUE(topBox->isVisible());
    EXPECT_EQ(topBox->geometry(), top.Level()->Geometry);
    EXPECT_EQ(topBox->geometry().topLeft(), pointer);
    EXPECT_EQ(top.Level()->ItemIndex, 2) << "the stored choice is marked";

    // Onto BASIC: its sub-menu opens to the right.
    TkwMenuItemsEx &basic = top.Items(7)->SubItems();
    QTest::mouseMove(topBox, RowPoint(menu, top, 7));
    ASSERT_TRUE(basic.GetIsMenuOpened());
    QPointer<TkwMenuBox> subBox = BoxOf(basic);
    ASSERT_TRUE(subBox);
    EXPECT_TRUE(subBox->isVisible());
    EXPECT_EQ(subBox->geometry().left(), topBox->geometry().right() + 1);

    // The pointer back over the parent reaches the parent, through the sub-menu on top.
    const QPoint overClick = topBox->mapToGlobal(RowPoint(menu, top, 0));
    QTest::mouseMove(subBox, subBox->mapFromGlobal(overClick));
    EXPECT_FALSE(basic.GetIsMenuOpened());
    EXPECT_FALSE(subBox->isVisible());
    QTest::mouseMove(topBox, RowPoint(menu, top, 7));
    ASSERT_TRUE(basic.GetIsMenuOpened());
    EXPECT_EQ(top.Level()->MoveOverRow, 7) << "the sub-menu opening over it is no leaving";

    // Click COPY.
    const QPoint copy = RowPoint(menu, basic, 1);
    QTest::mouseMove(subBox, copy);
    QTest::mouseClick(subBox, Qt::LeftButton, Qt::NoModifier, copy);
    EXPECT_FALSE(menu.IsMenuOpen());
    EXPECT_FALSE(basic.GetIsMenuOpened());
    EXPECT_FALSE(topBox->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(got, 802u);
    EXPECT_EQ(name, "Item2");
    EXPECT_FALSE(openInHandler);
}

TEST(kwMenuBox, PressOutsideClosesTheTreeAndWindowsDieWithTheirItems)
{
    Window w;
    auto menu = std::make_unique<TkwMenuEx>(&w.window);
    FillFunctionMenu(*menu);
    menu->ShowMainMenu(0, w.button, vgPlacementBottom);
    TkwMenuItemsEx &top = menu->Items();
    QPointer<TkwMenuBox> topBox = BoxOf(top);
    ASSERT_TRUE(topBox);
    QTest::mouseMove(topBox, RowPoint(*menu, top, 9)); // MEDIA
    QPointer<TkwMenuBox> subBox = BoxOf(top.Items(9)->SubItems());
    ASSERT_TRUE(subBox);
    // Keys reach the topmost level; Escape closes that level only.
    QTest::keyClick(subBox, Qt::Key_End);
    EXPECT_EQ(top.Items(9)->SubItems().ItemIndex(), 7);
    QTest::keyClick(subBox, Qt::Key_Escape);
    EXPECT_FALSE(subBox->isVisible());
    EXPECT_TRUE(menu->IsMenuOpen());
    QTest::mouseMove(topBox, RowPoint(*menu, top, 0));
    QTest::mouseMove(topBox, RowPoint(*menu, top, 9));
    ASSERT_TRUE(subBox->isVisible());
    QTest::mouseClick(subBox, Qt::LeftButton, Qt::NoModifier, QPoint(-300, -300));
    EXPECT_FALSE(menu->IsMenuOpen());
    EXPECT_FALSE(topBox->isVisible());

    // Removing an item takes its sub-menu's window with it; so does the menu.
    top.Delete(9);
    QCoreApplication::processEvents();
    EXPECT_TRUE(subBox.isNull());
    menu.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(topBox.isNull());
}

TEST(kwMenuBox, LooksInEnglishAndChinese)
{
    // English: white captions on the near-black box, the stored row in the pressed blue.
    Window w;
    TkwMenuEx menu(&w.window);
    w.Prepare(menu);
    menu.ShowMainMenu(3, w.button, vgPlacementMouse);
    TkwMenuItemsEx &top = menu.Items();
    TkwMenuBox *box = BoxOf(top);
    ASSERT_NE(box, nullptr);
    const QImage shot = box->grab().toImage();
    const QColor back = shot.pixelColor(box->width() - 6, RowPoint(menu, top, 0).y());
    EXPECT_LT(back.lightness(), 20);
    const QColor pressed = shot.pixelColor(box->width() - 6, RowPoint(menu, top, 2).y());
    EXPECT_GT(pressed.blue(), pressed.red() + 80) << "the current row's blue";
    EXPECT_GT(box->width(), 120);

    // Chinese: the captions translated at the next opening, in the Chinese face.
    const QList<QPair<QString, QString>> zh = {
        {"CLICK", "左键"}, {"RIGHT CLICK", "右键"}, {"MIDDLE BUTTON", "中键"}, {"FORWARD", "前进"},
        {"BACKWARD", "后退"}, {"SINGLE KEY", "单键"}, {"COMBO KEY", "组合键"}, {"BASIC", "基本功能"},
        {"CUT", "剪切"}, {"COPY", "复制"}, {"PASTE", "粘贴"}, {"SELECT ALL", "全选"}, {"FIND", "查找"},
        {"NEW", "新建"}, {"PRINT", "打印"}, {"SAVE", "保存"}, {"ADVANCED", "高级功能"}, {"MEDIA", "多媒体"},
        {"MACRO", "宏"}, {"FIRE KEY...", "连发键..."}, {"DPI SWITCH", "DPI 切换"}, {"PROFILE SWITCH", "配置切换"},
        {"REPORT RATE", "回报率"}, {"DISABLE", "禁用"}};
    TkwLangData data;
    TkwLangEntry entry;
    entry.ID = QStringLiteral("0804");
    for (const auto &[src, tr] : zh) {
        kwSortedInsert(data.Original, src);
        kwSortedInsert(entry.Lines, src + QLatin1Char('=') + tr);
    }
    data.Resources.append(entry);
    QTemporaryDir dir;
    ASSERT_TRUE(kwSaveLangFile(dir.filePath(QStringLiteral("kw.local")), data));
    TkwLanguage lang(nullptr, dir.path());
    QTest::mouseMove(box, RowPoint(menu, top, 7));
    MaybeSave(Compose(menu, w.window), "menu-en.png");
    menu.Controller().CloseMenus(top);

    lang.SetLang(QStringLiteral("0804"));
    menu.Parameters.ItemFont.Family = QStringLiteral("\u9ED1\u4F53"); // as the window does for Chinese
    menu.ShowMainMenu(3, w.button, vgPlacementMouse);
    EXPECT_EQ(top.Level()->Rows[7].Text, QStringLiteral("基本功能"));
    QTest::mouseMove(box, RowPoint(menu, top, 7));
    ASSERT_TRUE(top.Items(7)->SubItems().GetIsMenuOpened());
    EXPECT_EQ(top.Items(7)->SubItems().Level()->Rows[1].Text, QStringLiteral("复制"));
    MaybeSave(Compose(menu, w.window), "menu-zh.png");
    menu.Controller().CloseMenus(top);
    lang.SetLang(QStringLiteral("en"));

    // The message dialog beside it, to compare the two.
    if (!qEnvironmentVariableIsEmpty("HKT75_MENU_GRAB_DIR")) {
        TFrmDialog dialog(&w.window);
        dialog.LabelTitle->setSourceText(QStringLiteral("WARNING"));
        dialog.LabelText->setSourceText(QStringLiteral("AT LEAST ONE \"CLICK\" FUNCTION TO BE RETAINED."));
        MaybeSave(dialog.grab().toImage(), "dialog.png");
    }
}

// The function menu's italic face stays italic for Latin captions, while Han
// captions (the Chinese menu) stand upright, as the skinned labels do.
TEST(kwMenuBoxFont, HanCaptionsStandUpright)
{
    const TkwMenuFont font = FunctionMenuParams().ItemFont;
    ASSERT_TRUE(font.Italic);
    EXPECT_TRUE(kwMenuQFont(font, QStringLiteral("MACRO MANAGER")).italic());
    EXPECT_FALSE(kwMenuQFont(font, QString::fromUtf8("宏管理器")).italic());
    EXPECT_FALSE(kwMenuQFont(font, QString::fromUtf8("宏 #1 <Macro1>")).italic());
    EXPECT_EQ(kwMenuQFont(font, QString::fromUtf8("宏")).pixelSize(), kwMenuQFont(font).pixelSize());
}
