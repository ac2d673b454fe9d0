#include "config/ui/ImageDataBaseUnit.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/showdialog.h"
#include "config/ui/showdialog2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHash>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <memory>

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
    {"Escape on the focused OK", [](TFrmDialog &f) { QTest::keyClick(f.BTNOK, Qt::Key_Escape); }, 2},
    {"close request from the window manager", [](TFrmDialog &f) {
         QCloseEvent e;
         QApplication::sendEvent(&f, &e);
     }, 2},
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

// A question that must not take a step back for "no": the buttons answer,
// every other close (the program hiding it among them) is a dismissal, 0.
TEST(showdialog, AQuestionTellingDismissalsGivesZeroForEveryCloseButTheButtons)
{
    std::vector<Ending> endings(std::begin(Endings), std::end(Endings));
    endings.push_back({"hidden by the program", [](TFrmDialog &f) { f.hide(); }, 2});
    for (const Ending &e : endings) {
        SCOPED_TRACE(e.name);
        const QString name = QString::fromLatin1(e.name);
        const bool button = name == QLatin1String("OK") || name == QLatin1String("CANCEL") ||
                            name == QLatin1String("OK by keyboard");
        Seen seen;
        whenShown(seen, e.act);
        EXPECT_EQ(ShowDialog(QStringLiteral("WARNING"), QStringLiteral("x"), TDialogButtons::OkCancel,
                             TDialogDismissal::Tell),
                  button ? e.result : 0);
        EXPECT_TRUE(seen.form.isNull());
        // Asked the usual way, the same close is CANCEL.
        whenShown(seen, e.act);
        EXPECT_EQ(ShowDialog(QStringLiteral("WARNING"), QStringLiteral("x")), e.result);
    }
}

// A message that only informs: OK alone, in the middle; any close is OK's.
TEST(showdialog, AMessageThatOnlyInformsHasOkAloneInTheMiddle)
{
    for (const Ending &e : Endings) {
        if (QLatin1String(e.name).contains(QLatin1String("CANCEL")))
            continue;
        SCOPED_TRACE(e.name);
        Seen seen;
        bool cancelShown = true;
        QRect ok;
        int width = 0;
        whenShown(seen, [&](TFrmDialog &f) {
            cancelShown = f.BTNCANCEL->isVisible();
            ok = f.BTNOK->geometry();
            width = f.width();
            e.act(f);
        });
        ShowInformation(QStringLiteral("WARNING"), QStringLiteral("x"));
        EXPECT_TRUE(seen.form.isNull());
        EXPECT_FALSE(cancelShown);
        EXPECT_EQ(ok.size(), QSize(94, 34));
        EXPECT_EQ(ok.y(), 210);
        EXPECT_LE(std::abs(ok.center().x() * 2 + 1 - width), 1) << ok.center().x();
    }
}

// Opened without a loop of its own (the monitor's way): the caller runs on,
// the window stands centred on the screen, and it is gone once answered.
TEST(showdialog, AnInformationOpenedWithoutALoopReturnsAtOnceAndGoesWhenAnswered)
{
    QPointer<TFrmDialog> form = OpenInformation(QStringLiteral("WARNING"), QStringLiteral("x"));
    ASSERT_FALSE(form.isNull());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowModality(), Qt::NonModal);
    EXPECT_FALSE(form->BTNCANCEL->isVisible());
    EXPECT_EQ(form->LabelText->text(), QStringLiteral("x"));
    const auto centred = hkt::skin::CentredPosition(nullptr, form->size());
    ASSERT_TRUE(centred.has_value());
    EXPECT_EQ(form->pos(), *centred);
    QTest::mouseClick(form->BTNOK, Qt::LeftButton);
    EXPECT_FALSE(form.isNull() ? false : form->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
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

namespace {

struct Box
{
    const char *what;
    int x, y, w, h;
};

QRect RectOf(const Box &b)
{
    return QRect(b.x, b.y, b.w, b.h);
}

} // namespace

TEST(showdialog, ElementsSitWhereTheLayoutPutsThem)
{
    TFrmDialog one;
    TFrmDialog2 two;
    // Spacer: top, padding 20,10,20,0, height 26; title under it: padding 50,0,50,0, height 31.
    const Box common[] = {
        {"ImageBack", 5, 5, 468, 282}, {"spacer", 20, 10, 438, 26}, {"LabelTitle", 50, 36, 378, 31},
        {"BTNOK", 130, 210, 94, 34},
    };
    const QWidget *const oneWidgets[] = {one.ImageBack, one.sdf234234, one.LabelTitle, one.BTNOK};
    const QWidget *const twoWidgets[] = {two.ImageBack, two.sdf234234, two.LabelTitle, two.BTNOK};
    for (size_t i = 0; i < std::size(common); ++i) {
        EXPECT_EQ(oneWidgets[i]->geometry(), RectOf(common[i])) << common[i].what;
        EXPECT_EQ(twoWidgets[i]->geometry(), RectOf(common[i])) << common[i].what;
    }
    EXPECT_EQ(one.size(), QSize(478, 292));
    EXPECT_EQ(two.size(), QSize(478, 292));
    EXPECT_EQ(one.Btnimage->geometry(), QRect(20, 83, 125, 115));
    EXPECT_EQ(two.Btnimage->geometry(), QRect(13, 81, 126, 115));
    EXPECT_EQ(one.LabelText->geometry(), QRect(123, 83, 284, 96));
    EXPECT_EQ(two.LabelText->geometry(), QRect(121, 95, 301, 46));
    EXPECT_EQ(two.LabelText2->geometry(), QRect(123, 147, 280, 40));
    EXPECT_EQ(one.BTNCANCEL->geometry(), QRect(226, 210, 100, 34));
    EXPECT_EQ(two.BTNCANCEL->geometry(), QRect(226, 210, 110, 34));

    EXPECT_TRUE(one.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(one.BTNOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(one.BTNCANCEL->text(), QStringLiteral("CANCEL"));
    EXPECT_EQ(one.BTNOK->modalResult(), 1);
    EXPECT_EQ(one.BTNCANCEL->modalResult(), 2);
    EXPECT_EQ(one.LabelTitle->alignment(), Qt::AlignCenter);
    EXPECT_EQ(one.LabelText->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(two.LabelText2->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(one.LabelTitle->font().pixelSize(), 16);
    EXPECT_TRUE(one.LabelTitle->font().bold() && one.LabelTitle->font().italic());
    EXPECT_EQ(one.LabelText->font().pixelSize(), 14);
    EXPECT_EQ(two.LabelText->font().pixelSize(), 13);
}

TEST(showdialog, CentredOnTheWindowThatOpensIt)
{
    QWidget main;
    main.setGeometry(100, 60, 1000, 700);
    main.show();
    QApplication::setActiveWindow(&main);
    QPoint centre;
    QWindow *owner = nullptr;
    Seen seen;
    whenShown(seen, [&centre, &owner](TFrmDialog &f) {
        centre = f.geometry().center();
        owner = f.windowHandle() ? f.windowHandle()->transientParent() : nullptr;
        f.reject();
    });
    EXPECT_EQ(ShowDialog(QStringLiteral("WARNING"), QStringLiteral("x")), 2);
    EXPECT_LE((centre - main.frameGeometry().center()).manhattanLength(), 2);
    EXPECT_EQ(owner, main.windowHandle()); // stacked with the window that opened it
}

// Every message the suite shows through the two dialogs, in every language of
// the shipped language file, fits its labels and buttons: nothing is cut off.
// With HKT75_SHOT_DIR set the dialogs are saved there to be looked at.
TEST(showdialog, EveryShippedMessageFitsInEveryShippedLanguage)
{
    const struct { const char *title, *text, *text2; } messages[] = {
        {"WARNING", "PLEASE CONNECT YOUR MOUSE DEVICE BEFORE APPLY NEW SETTINGS!", nullptr},
        {"WARNING", "GAMING MOUSE PROFILE VERSION INCORRECT!", nullptr},
        {"WARNING", "THE PROFILE FILE CANNOT BE OPENED!", nullptr},
        {"WARNING", "THE PAGE CANNOT BE OPENED: NO WEB BROWSER WAS FOUND!", nullptr},
        {"WARNING", "THE HELP FILE CANNOT BE OPENED: NO PROGRAM WAS FOUND FOR IT!", nullptr},
        {"WARNING", "AT LEAST ONE \"CLICK\" FUNCTION TO BE RETAINED.", nullptr},
        {"WARNING!", "YOU CAN ASSIGN MACROS TO BUTTONS SHALL NOT EXCEED 5 .", nullptr},
        {"WARNING", "THE SETTINGS WAS CHANGED, SAVE THE CURRENT SETTING ANYWAY?", nullptr},
        {"RESET THIS PROFILE", "ARE YOU SURE YOU WANT TO RESET THIS PROFILE ?",
         "RESET THE CURRENT PROFILE BACK TO FACTORY SETTING."},
        {"RESET ALL PROFILES", "ARE YOU SURE YOU WANT TO RESET ALL PROFILES BACK TO FACTORY SETTINGS  ?", ""},
        {"WARNING", "TOO MANY MACROS TO BE CREATE!", nullptr},
        {"DELETE THIS MACRO?", "ARE YOU SURE YOU WANT TO DELETE THIS MACRO?", nullptr},
        {"WARNING", "DO YOU WANT TO LEAVE MACRO MANAGER WITHOUT SAVING?", nullptr},
        {"WARNING", "UNREASONABLE MACRO DETECTED,", "DO YOU WISH TO CONTINUE?"},
        {"WARNING", "A MACRO WITH THIS NAME ALREADY EXISTS!", nullptr},
        {"WARNING", "No permission to save file!please change directory!", nullptr},
        {"Error", "libkwHook.so can not be found!", nullptr},
        {"WARNING", "GetLineInfo Error", nullptr},
        {"WARNING", "SetControlDetails Error", nullptr},
    };
    qApp->setStyleSheet(hkt::skin::LoadStyleFile(QStringLiteral(HKT75_BIN_DIR)));
    GlobalImageDataBase().SetImageBasePath(QStringLiteral(HKT75_BIN_DIR "/images/0409"));
    TkwLanguage lang(nullptr, QStringLiteral(HKT75_BIN_DIR));
    ASSERT_GE(lang.Resources().size(), 3);
    const QString shots = qEnvironmentVariable("HKT75_SHOT_DIR");

    const auto fits = [](const QLabel *l) {
        if (l->text().isEmpty())
            return true;
        if (l->wordWrap())
            return l->heightForWidth(l->width()) <= l->height();
        return QFontMetrics(l->font()).horizontalAdvance(l->text()) <= l->width();
    };
    for (const TkwLangEntry &language : lang.Resources()) {
        lang.SetLang(language.ID);
        int n = 0;
        for (const auto &m : messages) {
            SCOPED_TRACE(language.ID.toStdString() + " " + m.text);
            std::unique_ptr<TFrmDialog> form;
            QLabel *second = nullptr;
            if (m.text2) {
                auto two = std::make_unique<TFrmDialog2>();
                two->LabelText2->setSourceText(QString::fromUtf8(m.text2));
                second = two->LabelText2;
                form = std::move(two);
            } else {
                form = std::make_unique<TFrmDialog>();
            }
            form->LabelTitle->setSourceText(QString::fromUtf8(m.title));
            form->LabelText->setSourceText(QString::fromUtf8(m.text));
            form->show();
            QApplication::processEvents();
            if (language.ID != QLatin1String("0409")) { // every text has a translation
                EXPECT_NE(form->LabelText->text(), QString::fromUtf8(m.text));
            }
            EXPECT_TRUE(fits(form->LabelTitle)) << form->LabelTitle->text().toStdString();
            EXPECT_TRUE(fits(form->LabelText)) << form->LabelText->text().toStdString();
            if (second) {
                EXPECT_TRUE(fits(second)) << second->text().toStdString();
            }
            for (const hkt::skin::StateButton *b : {form->BTNOK, form->BTNCANCEL}) {
                QFont f = b->font();
                EXPECT_LE(QFontMetrics(f).horizontalAdvance(b->shownText()) + 8, b->width());
            }
            if (!shots.isEmpty()) {
                QDir().mkpath(shots);
                form->grab().save(QStringLiteral("%1/dialog-%2-%3.png").arg(shots, language.ID).arg(n, 2, 10, QLatin1Char('0')));
            }
            ++n;
        }
    }
    lang.SetLang(QStringLiteral("en"));
    qApp->setStyleSheet(QString());
    GlobalImageDataBase().SetImageBasePath(hkt::skin::ProgramFolder() + QStringLiteral("Images/0409"));
}

TEST(showdialog, ChineseTitlesStandUprightLatinTitlesStayItalic)
{
    qApp->setStyleSheet(hkt::skin::LoadStyleFile(QStringLiteral(HKT75_BIN_DIR)));
    const QString han = QStringLiteral("\u8B66\u544A"); // 警告
    SetTranslator([han](const QString &s) { return s == QLatin1String("WARNING") ? han : s; });
    TFrmDialog form;
    form.show();
    form.LabelTitle->setSourceText(QStringLiteral("WARNING"));
    EXPECT_EQ(form.LabelTitle->text(), han);
    EXPECT_FALSE(form.LabelTitle->font().italic());
    EXPECT_TRUE(form.LabelTitle->font().bold());
    EXPECT_TRUE(form.LabelTitle->designItalic());

    SetTranslator(nullptr); // back to English: the title slants again
    EXPECT_EQ(form.LabelTitle->text(), QStringLiteral("WARNING"));
    EXPECT_TRUE(form.LabelTitle->font().italic());

    // A new font given by the window is the new design, whatever the text.
    form.LabelTitle->setFont(hkt::skin::SkinFont(QStringLiteral("Myriad Pro"), 16, true, false));
    form.LabelTitle->setSourceText(QStringLiteral("WARNING!"));
    EXPECT_FALSE(form.LabelTitle->font().italic());
    EXPECT_FALSE(form.LabelTitle->designItalic());
    qApp->setStyleSheet(QString());
}
