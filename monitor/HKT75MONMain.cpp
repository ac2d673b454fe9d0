// HKT75MON: the tray monitor's main block. No command line is read.
#include "config/ui/kwLanguage.h"
#include "core/DMUnit.h"
#include "core/kwHook.h"
#include "core/pubunit_device.h"
#include "monitor/MouseMonitor.h"
#include "platform/EndSession.h"
#include "platform/HidBackend.h"
#include "platform/SingleInstance.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    // The session's end is caught before anything else: during start-up (the
    // hook library's error is a dialog) it must end the monitor in order,
    // never by the signal's default action.
    hkt::platform::EndSessionWatch::Catch();
    // And up to the very end, so a signal in the last moments of an exit
    // does not turn it into a kill.
    hkt::platform::EndSessionWatch::HoldUntilExit();

    // Another monitor runs: end at once, without a word. The lock is taken
    // before anything else, and before the window's stale socket is removed.
    // A lock that cannot be taken at all (the runtime folder is refused) is
    // no second monitor: say why and fail.
    hkt::platform::SingleInstance instance;
    if (const auto exitCode =
            hkt::platform::StartSingleInstance(instance, QString::fromLatin1(MONITOR_WINDOW_CLASS), "HKT75MON"))
        return *exitCode;

    QApplication app(argc, argv);
    // The window stays hidden; a closed message box must not end the monitor.
    QApplication::setQuitOnLastWindowClosed(false);

    // The session ending (SIGTERM, SIGINT, SIGHUP) ends every event loop
    // the way a log-off does, so the window and its socket go in order; one
    // that arrives during start-up ends the start-up's dialogs, and the loop
    // is then never entered.
    const hkt::platform::EndSessionWatch endSession([] { QCoreApplication::exit(0); });

    // The hook library's load failure is a message, not only a log line. The
    // window's creation meets it, so the message opens from the message loop,
    // after the window is registered and the language is known: nothing sent
    // to the monitor is lost or handled inside it while it is open.
    TkwHook::SetMessageSink([](const QString &ATitle, const QString &AText) { ShowMessageBoxInTurn(ATitle, AText); });

    // Whichever program starts first on an empty store stores the display
    // language: the desktop's, as an installer would have chosen it.
    auto dm = std::make_unique<TDM>(TDMRoots{.FreshLanguage = kwFreshStartLanguage()});
    DM = dm.get();
    int rc = 0;
    {
        THKT75MONMAIN form(*dm);
        if (!hkt::platform::EndSessionWatch::Requested()) {
            form.RegisterWindow();
            rc = app.exec();
        }
    }
    DM = nullptr;
    return rc;
}
