#include "config/ui/kwLanguage.h"
#include "config/ui/kwSkinKit.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHash>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace hkt::skin;

namespace {

QImage solid(QColor c, QSize size = {40, 20})
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

void enter(QWidget *w)
{
    QEnterEvent e(QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), w->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(w, &e);
}

void leave(QWidget *w)
{
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(w, &e);
}

void moveTo(QWidget *w, QPoint pos, Qt::MouseButtons held)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

QRgb centre(QWidget *w)
{
    return w->grab().toImage().pixel(w->width() / 2, 2);
}

} // namespace

TEST(SkinKit, StateButtonFollowsPointerAndClicksOnlyOnReleaseInside)
{
    StateButton b;
    b.resize(40, 20);
    b.setPictures({solid(Qt::red), solid(Qt::green), solid(Qt::blue)});
    QSignalSpy clicks(&b, &StateButton::clicked);

    EXPECT_EQ(b.state(), ButtonState::Normal);
    EXPECT_EQ(centre(&b), QColor(Qt::red).rgb());
    enter(&b);
    EXPECT_EQ(b.state(), ButtonState::Hot);
    EXPECT_EQ(centre(&b), QColor(Qt::green).rgb());
    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(b.state(), ButtonState::Pressed);
    EXPECT_EQ(centre(&b), QColor(Qt::blue).rgb());
    // Dragged off while held: not pressed; back on: pressed again.
    moveTo(&b, QPoint(60, 5), Qt::LeftButton);
    EXPECT_EQ(b.state(), ButtonState::Normal);
    moveTo(&b, QPoint(6, 6), Qt::LeftButton);
    EXPECT_EQ(b.state(), ButtonState::Pressed);
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_EQ(b.state(), ButtonState::Hot);
    EXPECT_EQ(clicks.count(), 1);

    QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(70, 5));
    EXPECT_EQ(clicks.count(), 1);
    QTest::mouseClick(&b, Qt::RightButton);
    EXPECT_EQ(clicks.count(), 1);
    leave(&b);
    EXPECT_EQ(b.state(), ButtonState::Normal);

    b.setEnabled(false);
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SkinKit, StaysPressedButtonTogglesAndShowsPressedWhileChecked)
{
    StateButton b;
    b.resize(14, 12);
    b.setStaysPressed(true);
    b.setPictures({solid(Qt::red, {14, 12}), solid(Qt::red, {14, 12}), solid(Qt::blue, {14, 12})});
    QSignalSpy toggles(&b, &StateButton::toggled);
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_TRUE(b.isChecked());
    EXPECT_EQ(b.state(), ButtonState::Pressed);
    EXPECT_EQ(centre(&b), QColor(Qt::blue).rgb());
    QTest::mouseClick(&b, Qt::LeftButton);
    EXPECT_FALSE(b.isChecked());
    ASSERT_EQ(toggles.count(), 2);
    EXPECT_TRUE(toggles.at(0).at(0).toBool());
    b.setChecked(false); // no change, no signal
    EXPECT_EQ(toggles.count(), 2);
}

TEST(SkinKit, MissingPicturesFallBackToNormalThenToPaintedFace)
{
    StateButton b;
    b.resize(40, 20);
    b.setPictures({solid(Qt::red), QImage(), QImage()});
    enter(&b);
    EXPECT_EQ(centre(&b), QColor(Qt::red).rgb()); // hot borrows the normal picture

    StateButton bare;
    bare.resize(100, 34);
    const QImage shot = bare.grab().toImage();
    EXPECT_GT(qAlpha(shot.pixel(50, 17)), 0); // something was painted
    EXPECT_NE(shot.pixel(50, 17), QColor(Qt::white).rgb());
}

TEST(SkinKit, CaptionIsTranslatedFromItsSourceEveryTime)
{
    StateButton b;
    b.setText(QStringLiteral("OK"));
    SkinLabel label(QStringLiteral("OK"));
    auto gone = std::make_unique<SkinLabel>(QStringLiteral("OK"));
    gone.reset(); // a destroyed label must not be reached by the change below

    // The second table would turn the first table's output into garbage if a
    // translation were ever translated again.
    const QHash<QString, QString> first{{QStringLiteral("OK"), QStringLiteral("\u786E\u5B9A")}};
    const QHash<QString, QString> second{{QStringLiteral("OK"), QStringLiteral("\u78BA\u5B9A")},
                                         {QStringLiteral("\u786E\u5B9A"), QStringLiteral("WRONG")}};
    SetTranslator([first](const QString &s) { return first.value(s, s); });
    EXPECT_EQ(label.text(), QStringLiteral("\u786E\u5B9A"));
    EXPECT_EQ(b.shownText(), QStringLiteral("\u786E\u5B9A"));
    SetTranslator([second](const QString &s) { return second.value(s, s); });
    EXPECT_EQ(label.text(), QStringLiteral("\u78BA\u5B9A"));
    EXPECT_EQ(b.shownText(), QStringLiteral("\u78BA\u5B9A"));
    label.setAutoTranslate(false);
    EXPECT_EQ(label.text(), QStringLiteral("OK"));
    SetTranslator(nullptr);
    EXPECT_EQ(b.shownText(), QStringLiteral("OK"));
    EXPECT_EQ(label.sourceText(), QStringLiteral("OK"));
}

TEST(SkinKit, TrackBarSnapsUserMovesAndReportsOnlyChanges)
{
    TrackBar bar(Qt::Horizontal);
    bar.resize(112, 20); // the thumb's centre travels 100 px, from x 6 to x 106
    bar.setRange(50, 16400);
    bar.setFrequency(50);
    QSignalSpy changes(&bar, &TrackBar::valueChanged);
    EXPECT_EQ(bar.value(), 50); // clamped into the new range
    const struct { int x, value; } rows[] = {
        {-10, 50}, {6, 50}, {56, 8250}, {106, 16400}, {500, 16400}, {7, 200}, {8, 400},
    };
    for (const auto &r : rows)
        EXPECT_EQ(bar.valueAt(QPoint(r.x, 10)), r.value) << r.x;

    changes.clear();
    bar.setValue(99999);
    EXPECT_EQ(bar.value(), 16400);
    bar.setValue(16400);
    EXPECT_EQ(changes.count(), 1);

    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(56, 10));
    EXPECT_EQ(bar.value(), 8250);
    moveTo(&bar, QPoint(6, 10), Qt::LeftButton);
    EXPECT_EQ(bar.value(), 50);
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_EQ(changes.count(), 3);

    QTest::keyClick(&bar, Qt::Key_Right);
    EXPECT_EQ(bar.value(), 100);
}

TEST(SkinKit, VerticalTrackBarHasItsMinimumAtTheBottom)
{
    TrackBar bar(Qt::Vertical);
    bar.resize(20, 112);
    bar.setRange(0, 100);
    EXPECT_EQ(bar.valueAt(QPoint(10, 111)), 0);
    EXPECT_EQ(bar.valueAt(QPoint(10, 0)), 100);
    bar.setValue(0);
    EXPECT_EQ(bar.thumbRect().bottom(), 111);
    bar.setValue(100);
    EXPECT_EQ(bar.thumbRect().top(), 0);
}

TEST(SkinKit, NumberBoxClampsAndCanHideItsButtons)
{
    NumberBox box;
    box.setRange(1, 255);
    box.setValue(0);
    EXPECT_EQ(box.value(), 1);
    box.setValue(1000);
    EXPECT_EQ(box.value(), 255);
    box.setButtonsVisible(false);
    EXPECT_EQ(box.buttonSymbols(), QAbstractSpinBox::NoButtons);
    EXPECT_EQ(SkinStyleOf(&box), QStringLiteral("numberbox"));
}

TEST(SkinKit, ListBoxSelectsScrollsAndIgnoresBadIndexes)
{
    SkinListBox list;
    list.resize(200, 46); // two rows of 23 fit
    for (int i = 0; i < 5; ++i) {
        ListRow r;
        r.text = QStringLiteral("MACRO %1").arg(i);
        r.height = 23;
        list.addRow(r);
    }
    QSignalSpy changes(&list, &SkinListBox::currentRowChanged);
    list.setCurrentRow(7);
    list.setCurrentRow(-2);
    EXPECT_EQ(list.currentRow(), -1);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(list.row(5), nullptr);

    QTest::mouseClick(&list, Qt::LeftButton, {}, QPoint(10, 30));
    EXPECT_EQ(list.currentRow(), 1);
    list.setCurrentRow(4); // scrolled so that the row is whole in view
    EXPECT_EQ(list.topRow(), 3);
    EXPECT_EQ(list.rowAt(QPoint(10, 30)), 4);
    list.scrollBy(-10);
    EXPECT_EQ(list.topRow(), 0);
    QTest::keyClick(&list, Qt::Key_End);
    EXPECT_EQ(list.currentRow(), 4);
    list.clear();
    EXPECT_EQ(list.currentRow(), -1);
    EXPECT_EQ(changes.last().at(0).toInt(), -1);
}

TEST(SkinKit, ImageFitsCentresAndPaintsPlaceholderWithoutPicture)
{
    SkinImage img;
    img.resize(100, 50);
    img.setMode(SkinImage::Mode::Fit);
    img.setPicture(solid(Qt::red, {40, 40}));
    EXPECT_EQ(img.pictureRect(), QRectF(25, 0, 50, 50));
    img.setMode(SkinImage::Mode::Center);
    EXPECT_EQ(img.pictureRect(), QRectF(30, 5, 40, 40));
    img.setPicture(QImage());
    const QImage shot = img.grab().toImage();
    EXPECT_GT(qAlpha(shot.pixel(50, 25)), 0);
}

TEST(SkinKit, StyleNamesAreMatchedInLowerCase)
{
    QWidget w;
    SetSkinStyle(&w, QStringLiteral("MYSTATEBTN"));
    EXPECT_EQ(SkinStyleOf(&w), QStringLiteral("mystatebtn"));
    EXPECT_FALSE(LoadStyleFile(QStringLiteral(HKT75_BIN_DIR)).isEmpty());
    EXPECT_TRUE(LoadStyleFile(QStringLiteral("/nonexistent")).isEmpty());
}

TEST(SkinKit, LanguageComponentSwitchesKitTextsFromTheirSources)
{
    const QString han = QStringLiteral("\u8B66\u544A");
    const QString hant = QStringLiteral("\u8B66\u544A!");
    // The second language maps the first one's translation too: a control that
    // translated its own output would show "WRONG".
    const TkwLangData data{kwSortedUnique({QStringLiteral("WARNING")}),
                           {{QStringLiteral("0804"), kwSortedUnique({QStringLiteral("WARNING=") + han})},
                            {QStringLiteral("0404"), kwSortedUnique({QStringLiteral("WARNING=") + hant,
                                                                     han + QStringLiteral("=WRONG")})}}};
    QTemporaryDir dir;
    ASSERT_TRUE(kwSaveLangFile(dir.filePath(QStringLiteral("kw.local")), data));

    QWidget window;
    auto *label = new SkinLabel(QStringLiteral("WARNING"), &window);
    auto *button = new StateButton(&window);
    button->setText(QStringLiteral("WARNING"));
    TkwLanguage lang(&window, dir.path()); // walks `window` on every change
    lang.SetLang(QStringLiteral("0804"));
    EXPECT_EQ(label->text(), han);
    EXPECT_EQ(button->shownText(), han);
    lang.SetLang(QStringLiteral("0404"));
    EXPECT_EQ(label->text(), hant);
    EXPECT_EQ(button->shownText(), hant);
    lang.SetLang(QStringLiteral("en"));
    EXPECT_EQ(label->text(), QStringLiteral("WARNING"));
}

TEST(SkinKit, LevelStylesChooseThePaintedLook)
{
    const auto shot = [](const char *style) {
        StateButton b;
        b.resize(60, 30);
        SetSkinStyle(&b, QString::fromLatin1(style));
        return b.grab().toImage().pixel(30, 15);
    };
    const QRgb on = shot("MYDPIBTNA"), off = shot("MYDPIBTN"), current = shot("MYDPIBTNCURRENTA");
    EXPECT_NE(on, off);
    EXPECT_NE(on, current);
    EXPECT_NE(off, current);
}
