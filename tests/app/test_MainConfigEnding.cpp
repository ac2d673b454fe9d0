// Ending the configuration program (the monitor's WM_EXIT_PROGRAM, the
// session's SIGTERM, SIGINT, SIGHUP) whatever is open: it ends at once and
// stores nothing, and what was open closes unanswered; a run of device writes
// in progress finishes its writes first.
#include "KeyEvents.h"
#include "MainConfigFixture.h"

#include "config/app/ButtonFunctions.h"
#include "config/app/MainConfigButtons.h"
#include "config/app/MainConfigDPI.h"
#include "config/app/MainConfigInfo.h"
#include "config/app/MainConfigLight.h"
#include "config/app/MainConfigProfiles.h"
#include "config/app/SingleKeyfrm.h"
#include "config/app/macrofrm.h"
#include "config/ui/ProfileFileDialogsQt.h"
#include "config/ui/showdialog.h"
#include "config/ui/showdialog2.h"
#include "core/Function_ProfileFiles.h"
#include "core/kwHook.h"
#include "platform/EndSession.h"
#include "platform/WindowMessages.h"

#include <QColorDialog>
#include <QDirIterator>
#include <QFileDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <map>

using namespace hkt::testapp;
using namespace hkt::testfixtures;

namespace {

// How the end reaches the window.
enum class EndBy { Message, Term, Int, Hup };

const char *Name(EndBy how)
{
    switch (how) {
    case EndBy::Message: return "WM_EXIT_PROGRAM";
    case EndBy::Term: return "SIGTERM";
    case EndBy::Int: return "SIGINT";
    case EndBy::Hup: return "SIGHUP";
    }
    return "?";
}

class EndingTest : public MainConfigTest {
protected:
    void SetUp() override
    {
        MainConfigTest::SetUp();
        TkwHook::SetLibraryPath(QString());
    }
    void TearDown() override
    {
        SetProfileFileDialogs(nullptr);
        MainConfigTest::TearDown();
    }
    // Every question is the program's own skinned dialog, answered by nobody.
    TMainConfigSetup WindowSetup() override
    {
        TMainConfigSetup s = MainConfigTest::WindowSetup();
        s.Dialog = nullptr;
        s.Dialog2 = nullptr;
        return s;
    }

    // Every file under the test's folders (the registry, the profile files,
    // the macro database) with its bytes.
    std::map<QString, QByteArray> Stored() const
    {
        std::map<QString, QByteArray> files;
        QDirIterator it(m_tmp.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.startsWith(Runtime()))
                continue;
            QFile f(path);
            files[path] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
        }
        return files;
    }

    // The end as the program receives it: the message through the window's
    // own channel, a signal through the watch the program installs.
    void End(EndBy how)
    {
        if (how == EndBy::Message) {
            const auto w = hkt::platform::FindWindowByClass(QString::fromLatin1(CONFIG_WINDOW_CLASS), Runtime());
            ASSERT_TRUE(w);
            ASSERT_TRUE(hkt::platform::PostWindowMessage(w, WM_EXIT_PROGRAM, 0, 0));
            return;
        }
        ::raise(how == EndBy::Term ? SIGTERM : how == EndBy::Int ? SIGINT : SIGHUP);
    }
    std::unique_ptr<hkt::platform::EndSessionWatch> WatchSession()
    {
        return std::make_unique<hkt::platform::EndSessionWatch>([this] { Form().WMExitProgram(); });
    }

    // A dialog the end failed to close fails the test instead of hanging it.
    void GuardAgainstHanging(QTimer &AGuard, bool &AStillOpen)
    {
        AGuard.setSingleShot(true);
        QObject::connect(&AGuard, &QTimer::timeout, [&AStillOpen] {
            AStillOpen = true;
            while (QWidget *popup = QApplication::activePopupWidget())
                popup->hide();
            for (QWidget *w : QApplication::topLevelWidgets())
                if (qobject_cast<QDialog *>(w))
                    w->hide();
        });
        AGuard.start(30000);
    }

    static bool AnyDialogShown()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<QDialog *>(w))
                return true;
        return QApplication::activePopupWidget() != nullptr;
    }
};

} // namespace

TEST_F(EndingTest, WhateverIsOpenTheProgramEndsAtOnceUnansweredAndStoresNothing)
{
    struct Case {
        const char *what;
        EndBy how;
        // Opens the thing and, once it is up, calls `end`; returns when the
        // thing has closed.
        std::function<void(std::function<void()> end)> open;
        // What must not have happened, beyond nothing stored.
        std::function<void()> check;
    };
    THKT75CFGMAIN *form = nullptr;
    TMOUSECONFIGINFO before{};
    const auto unchanged = [&](const char *what) {
        return [&, what] {
            EXPECT_EQ(std::memcmp(&Dm().FCurrentProfileInfo.ConfigInfo, &before, sizeof before), 0) << what;
        };
    };
    const Case cases[] = {
        {"the close question", EndBy::Message,
         [&](std::function<void()> end) {
             form->State().SettingsChanged = true;
             WhenModal<TFrmDialog>([end](TFrmDialog &) { end(); });
             QTest::mouseClick(form->BtnCancel, Qt::LeftButton);
         },
         [] {}},
        {"the close question", EndBy::Term,
         [&](std::function<void()> end) {
             form->State().SettingsChanged = true;
             WhenModal<TFrmDialog>([end](TFrmDialog &) { end(); });
             QTest::mouseClick(form->BtnCancel, Qt::LeftButton);
         },
         [] {}},
        {"RESTORE's question", EndBy::Int,
         [&](std::function<void()> end) {
             WhenModal<TFrmDialog2>([end](TFrmDialog2 &) { end(); });
             QTest::mouseClick(form->BtnRestor, Qt::LeftButton);
         },
         [&] {
             unchanged("RESTORE's question")();
             EXPECT_TRUE(m_mouse->Log().empty());
         }},
        {"the macro manager, edited, with its CANCEL question", EndBy::Term,
         [&](std::function<void()> end) {
             form->ButtonsPage().BtnSet1Click(3);
             if (QWidget *menu = QApplication::activePopupWidget())
                 menu->hide();
             WhenModal<TFrmMacro>([end](TFrmMacro &m) {
                 // A macro deleted (confirmed), then CANCEL's question left open.
                 WhenModal<TFrmDialog>([](TFrmDialog &d) { QTest::mouseClick(d.BTNOK, Qt::LeftButton); });
                 QTest::mouseClick(m.BSBTNDELETEMACRO, Qt::LeftButton);
                 EXPECT_EQ(m.Model().Macros()->MacroListCount(), 1);
                 WhenModal<TFrmDialog>([end](TFrmDialog &) { end(); });
                 QTest::mouseClick(m.BTNCANCEL, Qt::LeftButton);
             });
             form->ButtonsPage().AssignFunctionToButton(MENU_ID_MACRO_MANAGER);
         },
         unchanged("the macro manager")},
        {"SINGLE KEY's dialog", EndBy::Message,
         [&](std::function<void()> end) {
             form->ButtonsPage().BtnSet1Click(4);
             if (QWidget *menu = QApplication::activePopupWidget())
                 menu->hide();
             WhenModal<TFrmSingleKey>([end](TFrmSingleKey &) { end(); });
             form->ButtonsPage().AssignFunctionToButton(MENU_ID_SINGLE_KEY);
         },
         unchanged("SINGLE KEY's dialog")},
        {"the colour dialog, a colour chosen", EndBy::Hup,
         [&](std::function<void()> end) {
             form->ShowPage(2);
             WhenModal<QColorDialog>([end](QColorDialog &d) {
                 d.setCurrentColor(QColor(1, 2, 3));
                 end();
             });
             QTest::mouseClick(form->LightPage().ComboColorSelect, Qt::LeftButton);
         },
         [&] {
             unchanged("the colour dialog")();
             EXPECT_NE(form->LightPage().ShownColour(), qRgb(1, 2, 3));
             EXPECT_TRUE(m_mouse->Log().empty());
         }},
        {"the function menu", EndBy::Message,
         [&](std::function<void()> end) {
             form->ButtonsPage().BtnSet1Click(5);
             ASSERT_TRUE(QApplication::activePopupWidget());
             end();
             // The message is read by the loop.
             EXPECT_TRUE(WaitUntil([this] { return m_programEnded > 0; }, 20000));
         },
         unchanged("the function menu")},
    };
    for (const Case &c : cases) {
        const std::string what = std::string(c.what) + " / " + Name(c.how);
        form = &Form();
        form->show();
        m_mouse->ClearLog();
        before = Dm().FCurrentProfileInfo.ConfigInfo;
        const auto watch = WatchSession();
        const auto stored = Stored();
        QTimer guard;
        bool stillOpen = false;
        GuardAgainstHanging(guard, stillOpen);
        c.open([&] { End(c.how); });
        EXPECT_FALSE(stillOpen) << what << ": still open after the end";
        EXPECT_EQ(m_programEnded, 1) << what;
        EXPECT_FALSE(form->isVisible()) << what;
        EXPECT_FALSE(AnyDialogShown()) << what;
        EXPECT_TRUE(Stored() == stored) << what << ": something was stored";
        c.check();
        // No question is asked once the program ends: the answer is CANCEL.
        EXPECT_EQ(form->Message(QStringLiteral("WARNING"), QStringLiteral("ANY")), 2) << what;
        EXPECT_FALSE(AnyDialogShown()) << what;
        m_form.reset();
        m_programEnded = 0;
    }
}

TEST_F(EndingTest, LoadFilesDialogInsideItsRunClosesAndTheRunEndsTheProgram)
{
    THKT75CFGMAIN &form = Form();
    form.show();
    InstallProfileFileDialogsQt(&form);
    const auto stored = Stored();
    const TMOUSECONFIGINFO before = Dm().FCurrentProfileInfo.ConfigInfo;
    bool busyWhileOpen = false;
    int endedWhileOpen = -1;
    QTimer guard;
    bool stillOpen = false;
    GuardAgainstHanging(guard, stillOpen);
    WhenModal<QFileDialog>([&](QFileDialog &) {
        busyWhileOpen = form.DeviceWrites().Busy();
        form.WMExitProgram();
        endedWhileOpen = m_programEnded;
    });
    QTest::mouseClick(form.BtnLoad, Qt::LeftButton);
    EXPECT_TRUE(busyWhileOpen);
    EXPECT_FALSE(stillOpen);
    // The dialog closed at once; the program ended when its run did.
    EXPECT_EQ(endedWhileOpen, 0);
    EXPECT_EQ(m_programEnded, 1);
    EXPECT_FALSE(AnyDialogShown());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(std::memcmp(&Dm().FCurrentProfileInfo.ConfigInfo, &before, sizeof before), 0);
    EXPECT_TRUE(Stored() == stored);
}

// ---- with scripted answers ------------------------------------------------------------

TEST_F(MainConfigTest, AnAnswerGivenAfterTheEndStoresNothing)
{
    // The end arrives while the close question is up; OK comes after it.
    TMainConfigSetup setup = WindowSetup();
    THKT75CFGMAIN *form = nullptr;
    int endedBeforeAnswer = -1;
    setup.Dialog = [&](const QString &, const QString &) {
        form->WndProc(WM_EXIT_PROGRAM, 0, 0);
        endedBeforeAnswer = m_programEnded;
        return 1;
    };
    m_form = std::make_unique<THKT75CFGMAIN>(Dm(), setup);
    form = m_form.get();
    form->show();
    form->State().SettingsChanged = true;
    const QString profiles = Dm().GetPersonalDocumentProfilePath();
    const QStringList registryBefore = QDir(m_tmp.path() + "/registry").entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QTest::mouseClick(form->BtnCancel, Qt::LeftButton);
    EXPECT_EQ(endedBeforeAnswer, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(QDir(profiles).entryList({QStringLiteral("*.pfd")}, QDir::Files).isEmpty());
    EXPECT_EQ(QDir(m_tmp.path() + "/registry").entryList(QDir::AllEntries | QDir::NoDotAndDotDot), registryBefore);
}

TEST_F(MainConfigTest, AnEndDuringApplyComesAfterItsWritesWithTheBracketClosed)
{
    THKT75CFGMAIN &form = Form();
    form.show();
    form.DeviceWrites().SetWaitMs(20);
    for (int p = 0; p < PROFILE_COUNT; ++p)
        Dm().SetProfileChanged(p, false);
    // A transfer of the run fails: its dialog is not shown once the program
    // ends (the run is not held up by a question).
    m_mouse->ClearLog();
    m_mouse->FailAfter(6, 1);
    int endedAtOnce = -1;
    bool inputTaken = true;
    std::uint8_t stateWhenEnded = 0xFF;
    // The end arrives at the run's first chance after the write bracket opened.
    QTimer inside;
    inside.setInterval(0);
    QObject::connect(&inside, &QTimer::timeout, &form, [&] {
        if (m_mouse->Live().writeState != 0)
            return;
        inside.stop();
        form.WndProc(WM_EXIT_PROGRAM, 0, 0);
        endedAtOnce = m_programEnded;
        inputTaken = form.isEnabled();
        stateWhenEnded = m_mouse->Live().writeState;
    });
    inside.start();
    form.BtnApplyClick(nullptr);
    EXPECT_EQ(endedAtOnce, 0);
    EXPECT_FALSE(inputTaken);
    EXPECT_EQ(stateWhenEnded, 0);
    EXPECT_EQ(m_programEnded, 1);
    EXPECT_EQ(m_mouse->Live().writeState, 1);
    EXPECT_TRUE(m_dialogs.empty());
    EXPECT_FALSE(form.isVisible());
}

// The pages watch the window's controls and call into the window from their
// filters and handlers. None may still be there when the window's own
// destructor has run and QWidget's takes the window down (its last
// deactivation, then its controls one by one): they would call into a window
// that is no longer whole.
TEST_F(MainConfigTest, NoPageOutlivesTheWindowsControls)
{
    THKT75CFGMAIN &form = Form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    const QList<QPointer<QObject>> pages{&form.ButtonsPage(), &form.DPIPage(),      &form.LightPage(),
                                         &form.MousePage(),   &form.ProfilesPage(), &form.InfoPage()};
    int controls = 0;
    QStringList goneWithAPage;
    for (QWidget *w : form.findChildren<QWidget *>()) {
        ++controls;
        QObject::connect(w, &QObject::destroyed, [&pages, &goneWithAPage, name = w->objectName()] {
            for (const QPointer<QObject> &p : pages)
                if (p) {
                    goneWithAPage.append(name);
                    return;
                }
        });
    }
    m_form.reset();
    EXPECT_GT(controls, 100);
    EXPECT_TRUE(goneWithAPage.isEmpty()) << goneWithAPage.size() << " controls, first "
                                         << goneWithAPage.value(0).toStdString();
}
