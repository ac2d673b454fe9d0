// The macro name dialog, driven by real clicks and key events.
#include "config/app/macrocreat.h"

#include "support/EventLoopWait.h"

#include <QApplication>
#include <QCursor>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using hkt::testfixtures::WaitUntil;

struct Seen
{
    QPointer<TFrmCreat> form;
    bool focusInName = false;
    bool active = false;
    QSize size;
};

// Runs `act` on the name dialog once it is up.
void whenShown(Seen &seen, std::function<void(TFrmCreat &)> act)
{
    QTimer::singleShot(0, [&seen, act] {
        auto *form = qobject_cast<TFrmCreat *>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        seen.form = form;
        seen.size = form->size();
        seen.active = WaitUntil([form] { return form->isActiveWindow(); }, 2000);
        seen.focusInName = QApplication::focusWidget() == form->TextboxMacroName;
        act(*form);
    });
}

// Typed key by key; a text outside ASCII (a surrogate pair) is inserted as
// an input method would.
void type(TFrmCreat &f, const QString &text)
{
    bool ascii = true;
    for (QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(f.TextboxMacroName, text);
    else
        f.TextboxMacroName->insert(text);
}

} // namespace

TEST(macrocreat, NameAndResultForEachEnding)
{
    const QString sixty = QString(60, QLatin1Char('m'));
    const QString emojiAt50 = QString(49, QLatin1Char('e')) + QString::fromUtf8("\xF0\x9F\x98\x80") + QStringLiteral("zz");
    const struct
    {
        const char *name;
        QString typed;
        std::function<void(TFrmCreat &)> end;
        int result;
        QString name_;
    } cases[] = {
        {"sixty characters and OK", sixty, [](TFrmCreat &f) { QTest::mouseClick(f.BTNOK, Qt::LeftButton); }, 1,
         sixty.left(50)},
        {"Enter in the name box", QStringLiteral("abc"),
         [](TFrmCreat &f) { QTest::keyClick(f.TextboxMacroName, Qt::Key_Return); }, 1, QStringLiteral("abc")},
        {"keypad Enter", QStringLiteral("k p"),
         [](TFrmCreat &f) { QTest::keyClick(f.TextboxMacroName, Qt::Key_Enter); }, 1, QStringLiteral("k p")},
        {"CANCEL", QStringLiteral("abc"), [](TFrmCreat &f) { QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton); }, 2,
         QString()},
        {"Escape", QStringLiteral("abc"), [](TFrmCreat &f) { QTest::keyClick(f.TextboxMacroName, Qt::Key_Escape); },
         2, QString()},
        {"window closed", QStringLiteral("abc"), [](TFrmCreat &f) { f.close(); }, 2, QString()},
        {"empty name and OK", QString(), [](TFrmCreat &f) { QTest::mouseClick(f.BTNOK, Qt::LeftButton); }, 1,
         QString()},
        {"spaces are kept", QStringLiteral("  a  "), [](TFrmCreat &f) { QTest::mouseClick(f.BTNOK, Qt::LeftButton); },
         1, QStringLiteral("  a  ")},
        {"a pair across the cut is dropped whole", emojiAt50,
         [](TFrmCreat &f) { QTest::mouseClick(f.BTNOK, Qt::LeftButton); }, 1, QString(49, QLatin1Char('e'))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Seen seen;
        const QString typed = c.typed;
        const auto end = c.end;
        whenShown(seen, [typed, end](TFrmCreat &f) {
            f.TextboxMacroName->setMaxLength(32767);
            type(f, typed);
            EXPECT_EQ(f.TextboxMacroName->text(), typed);
            end(f);
        });
        QString name = QStringLiteral("left over");
        EXPECT_EQ(ShowCreateMacro(name, QString()), c.result);
        EXPECT_EQ(name, c.name_);
        EXPECT_TRUE(seen.form.isNull()); // released by the show routine
        EXPECT_TRUE(seen.focusInName);
        EXPECT_EQ(seen.size, QSize(478, 292));
    }
}

TEST(macrocreat, ReleaseOfAnEnterPressedElsewhereIsNoAnswer)
{
    Seen seen;
    whenShown(seen, [](TFrmCreat &f) {
        type(f, QStringLiteral("x"));
        QTest::keyRelease(f.TextboxMacroName, Qt::Key_Return);
        EXPECT_TRUE(f.isVisible());
        QTest::keyClick(f.TextboxMacroName, Qt::Key_Return);
    });
    QString name;
    EXPECT_EQ(ShowCreateMacro(name, QString()), 1);
    EXPECT_EQ(name, QStringLiteral("x"));
}

TEST(macrocreat, ComingForwardTouchesNeitherPointerNorOtherWindows)
{
    // An active window of our own before the dialog.
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    owner.activateWindow();
    QCursor::setPos(7, 9);
    const QPoint pointer = QCursor::pos();

    Seen seen;
    bool activeAtShow = false;
    whenShown(seen, [&](TFrmCreat &f) {
        activeAtShow = f.isActiveWindow();
        // Leaving and coming back puts the focus into the name box again.
        owner.activateWindow();
        QApplication::setActiveWindow(&owner);
        f.BTNOK->setFocus();
        QApplication::setActiveWindow(&f);
        EXPECT_EQ(QApplication::focusWidget(), f.TextboxMacroName);
        EXPECT_TRUE(TFrmCreat::ForceForegroundWindow(&f));
        f.reject();
    });
    QString name;
    EXPECT_EQ(ShowCreateMacro(name, QStringLiteral("/some/folder")), 2);
    EXPECT_TRUE(activeAtShow);
    EXPECT_EQ(QCursor::pos(), pointer);
}

TEST(macrocreat, CutMacroName)
{
    EXPECT_EQ(CutMacroName(QString(50, QLatin1Char('a'))).size(), 50);
    EXPECT_EQ(CutMacroName(QString(51, QLatin1Char('a'))).size(), 50);
    EXPECT_EQ(CutMacroName(QString()), QString());
    // Exactly 50 units ending in a whole pair stays whole.
    const QString pairEnd = QString(48, QLatin1Char('a')) + QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(CutMacroName(pairEnd), pairEnd);
}
