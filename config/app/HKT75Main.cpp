// HKT75: the configuration program's main block. No command line is read.
#include "config/app/MainConfig.h"
#include "config/ui/ProfileFileDialogsQt.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/kwTranslateHook.h"
#include "config/ui/showdialog.h"
#include "core/DMUnit.h"
#include "core/kwHook.h"
#include "core/pubunit_device.h"
#include "platform/EndSession.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QScopeGuard>

#include <cstdio>
#include <memory>

// Single instance through the window class's lock, the data module first,
// then the window, the message loop; the lock goes when the process ends.
int ConfigProgramMain(int argc, char **argv)
{
    // The session's end is caught before anything else: during start-up (its
    // warnings are dialogs) it must end the program in order, never by the
    // signal's default action.
    hkt::platform::EndSessionWatch::Catch();
    // And up to the very end: once the window has closed, the program is
    // already ending, and a signal then must not turn its exit into a kill.
    hkt::platform::EndSessionWatch::HoldUntilExit();

    // Another configuration program runs: end at once, without a word. The
    // lock is taken before anything else, and before the window's stale
    // socket is removed. A lock that cannot be taken at all (the runtime
    // folder is refused) is no second instance: say why and fail.
    hkt::platform::SingleInstance instance;
    if (const auto exitCode = hkt::platform::StartSingleInstance(instance, QString::fromLatin1(CONFIG_WINDOW_CLASS), "HKT75"))
        return *exitCode;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("HKT75"));
    // The display name, which Qt appends to every window's title, is the
    // program's title in the display language: the window sets it once the
    // language is known.

    // The session ending (SIGTERM, SIGINT, SIGHUP) ends the program as
    // WM_EXIT_PROGRAM does: at once, without a question, storing nothing.
    // Before the window exists it ends the start-up's own dialogs, and the
    // window is then never shown.
    THKT75CFGMAIN *window = nullptr;
    const hkt::platform::EndSessionWatch endSession([&window] {
        if (window)
            window->WMExitProgram();
        else
            QCoreApplication::exit(0);
    });

    // The hook library's load failure is the suite's own message, in the
    // display language, not only a log line.
    TkwHook::SetMessageSink([](const QString &ATitle, const QString &AText) {
        ShowInformation(hkt::skin::TranslateText(ATitle), hkt::skin::TranslateText(AText));
    });

    // Whichever program starts first on an empty store stores the display
    // language: the desktop's, as an installer would have chosen it.
    auto dm = std::make_unique<TDM>(TDMRoots{.FreshLanguage = kwFreshStartLanguage()});
    DM = dm.get();
    int rc = 0;
    {
        THKT75CFGMAIN form(*dm);
        // LOAD FILE and SAVE AS open the real file dialogs over the window;
        // they are taken down with it.
        InstallProfileFileDialogsQt(&form);
        const auto dropDialogs = qScopeGuard([] { UninstallProfileFileDialogsQt(); });
        if (!hkt::platform::EndSessionWatch::Requested()) {
            window = &form;
            form.RegisterWindow();
            form.show();
            rc = app.exec();
            window = nullptr;
        }
    }
    DM = nullptr;
    return rc;
}

int main(int argc, char **argv)
{
    return ConfigProgramMain(argc, argv);
}
