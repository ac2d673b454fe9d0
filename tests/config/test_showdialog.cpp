#include "config/ImageDataBaseUnit.h"
#include "config/showdialog.h"
#include "config/showdialog2.h"

#include <QApplication>
#include <QDir>
#include <QHash>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using hkt::skin::SetTranslator;

namespace {

// Runs `act` on the message dialog once it is up, records what it showed.
struct Seen
{
    QString title, text, text2;
    bool hadText2 = false;
    QPointer<TFrmDialog> form;
    QSize size;
    bool okPicture = false, backPicture = false;
};

void whenShown(Seen &seen, std::function<void(TFrmDialog &)> act)
{
    QTimer::singleShot(0, [&seen, act] {
        auto *form = qobject_cast<TFrmDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        seen.form = form;
        seen.size = form->size();
        seen.title = form->LabelTitle->text();
        seen.text = form->LabelText->text();
        if (auto *two = qobject_cast<TFrmDialog2 *>(form)) {
            seen.hadText2 = true;
            seen.text2 = two->LabelText2->text();
        }
        seen.okPicture = !form->BTNOK->pictures().normal.isNull() && !form->BTNCANCEL->pictures().pressed.isNull();
        seen.backPicture = !form->ImageBack->picture().isNull();
        act(*form);
    });
}

struct Ending
{
    const char *name;
    std::function<void(TFrmDialog &)> act;
    int result;
};

const Ending Endings[] = {
    {"OK", [](TFrmDialog &f) { QTest::mouseClick(f.BTNOK, Qt::LeftButton); }, 1},
    {"CANCEL", [](TFrmDialog &f) { QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton); }, 2},
    {"Escape", [](TFrmDialog &f) { QTest::keyClick(&f, Qt::Key_Escape); }, 2},
    {"close", [](TFrmDialog &f) { f.close(); }, 2},
    {"reject", [](TFrmDialog &f) { f.reject(); }, 2},
    {"OK by keyboard", [](TFrmDialog &f) { QTest::keyClick(f.BTNOK, Qt::Key_Space); }, 1},
};

} // namespace

TEST(showdialog, EveryEndingGivesItsResultAndReleasesTheWindow)
{
    for (const Ending &e : Endings) {
        SCOPED_TRACE(e.name);
        Seen one, two;
        whenShown(one, e.act);
        EXPECT_EQ(ShowDialog(QStringLiteral("WARNING"), QStringLiteral("x")), e.result);
        EXPECT_TRUE(one.form.isNull());
        whenShown(two, e.act);
        EXPECT_EQ(ShowDialog2(QStringLiteral("WARNING"), QStringLiteral("x"), QStringLiteral("y")), e.result);
        EXPECT_TRUE(two.form.isNull());
        EXPECT_TRUE(two.hadText2);
    }
}

TEST(showdialog, PressOnOkReleasedOutsideDoesNotClose)
{
    Seen seen;
    whenShown(seen, [](TFrmDialog &f) {
        QTest::mousePress(f.BTNOK, Qt::LeftButton);
        QTest::mouseRelease(f.BTNOK, Qt::LeftButton, {}, QPoint(-20, -20));
        EXPECT_TRUE(f.isVisible());
        QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
    });
    EXPECT_EQ(ShowDialog(QStringLiteral("WARNING"), QStringLiteral("x")), 2);
}

TEST(showdialog, MessagesAreShownExactlyAsGiven)
{
    const struct { const char *title, *text, *text2; } messages[] = {
        {"WARNING", "PLEASE CONNECT YOUR MOUSE DEVICE BEFORE APPLY NEW SETTINGS!", nullptr},
        {"WARNING", "AT LEAST ONE \"CLICK\" FUNCTION TO BE RETAINED.", nullptr},
        {"WARNING!", "YOU CAN ASSIGN MACROS TO BUTTONS SHALL NOT EXCEED 5 .", nullptr},
        {"RESET ALL PROFILES", "ARE YOU SURE YOU WANT TO RESET ALL PROFILES BACK TO FACTORY SETTINGS  ?", ""},
        {"RESET THIS PROFILE", "ARE YOU SURE YOU WANT TO RESET THIS PROFILE ?",
         "RESET THE CURRENT PROFILE BACK TO FACTORY SETTING."},
        {"DELETE THIS MACRO?", "", nullptr},
    };
    for (const auto &m : messages) {
        SCOPED_TRACE(m.text);
        Seen seen;
        whenShown(seen, [](TFrmDialog &f) { f.reject(); });
        if (m.text2)
            ShowDialog2(QString::fromUtf8(m.title), QString::fromUtf8(m.text), QString::fromUtf8(m.text2));
        else
            ShowDialog(QString::fromUtf8(m.title), QString::fromUtf8(m.text));
        EXPECT_EQ(seen.title, QString::fromUtf8(m.title));
        EXPECT_EQ(seen.text, QString::fromUtf8(m.text));
        if (m.text2) {
            EXPECT_EQ(seen.text2, QString::fromUtf8(m.text2));
        }
        EXPECT_EQ(seen.size, QSize(478, 292));
    }
}

TEST(showdialog, LabelsAndCaptionsShowTheirTranslation)
{
    const QHash<QString, QString> zh{{QStringLiteral("WARNING"), QStringLiteral("\u8B66\u544A")},
                                     {QStringLiteral("CANCEL"), QStringLiteral("\u53D6\u6D88")}};
    SetTranslator([zh](const QString &s) { return zh.value(s, s); });
    Seen seen;
    QString cancelShown;
    whenShown(seen, [&cancelShown](TFrmDialog &f) {
        cancelShown = f.BTNCANCEL->shownText();
        f.reject();
    });
    ShowDialog(QStringLiteral("WARNING"), QStringLiteral("NOT IN THE TABLE"));
    SetTranslator(nullptr);
    EXPECT_EQ(seen.title, QStringLiteral("\u8B66\u544A"));
    EXPECT_EQ(seen.text, QStringLiteral("NOT IN THE TABLE"));
    EXPECT_EQ(cancelShown, QStringLiteral("\u53D6\u6D88"));
}

TEST(showdialog, SkinPicturesComeFromTheCacheAndTheirAbsenceIsNoFault)
{
    // The shipped skin beside the test executable.
    GlobalImageDataBase().SetImageBasePath(QStringLiteral(HKT75_BIN_DIR "/images/0409"));
    Seen with;
    whenShown(with, [](TFrmDialog &f) { f.reject(); });
    ShowDialog(QStringLiteral("WARNING"), QStringLiteral("x"));
    EXPECT_TRUE(with.okPicture);
    EXPECT_TRUE(with.backPicture);

    // An empty skin folder: the dialog still opens, draws and closes.
    QTemporaryDir empty;
    GlobalImageDataBase().SetImageBasePath(empty.path());
    Seen without;
    QImage shot;
    whenShown(without, [&shot](TFrmDialog &f) {
        shot = f.grab().toImage();
        QTest::mouseClick(f.BTNOK, Qt::LeftButton);
    });
    EXPECT_EQ(ShowDialog2(QStringLiteral("WARNING"), QStringLiteral("x"), QStringLiteral("y")), 1);
    EXPECT_FALSE(without.okPicture);
    EXPECT_FALSE(without.backPicture);
    ASSERT_EQ(shot.size(), QSize(478, 292));
    // The drawn fallback of the OK button differs from the window behind it.
    EXPECT_NE(shot.pixel(130 + 47, 210 + 4), shot.pixel(130 + 47, 200));
    GlobalImageDataBase().SetImageBasePath(hkt::skin::ProgramFolder() + QStringLiteral("Images/0409"));
}
