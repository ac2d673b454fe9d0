// Whole-program figures of the configuration window HKT75:
//  - start to first painted window: from main() to the end of the window's
//    first paint (QApplication, data module, window, skin, refresh, show);
//  - resident memory right after;
//  - APPLY of five changed profiles and 30 macros (six macro buttons per
//    profile) through the hkt75-vmouse daemon, with the real 100 ms waits:
//    host CPU time of this process and the longest gap between ticks of a
//    5 ms timer on the main loop (the longest stall) during the run.
// Runs on whatever QT_QPA_PLATFORM names (offscreen by default; xcb under
// Xvfb). Prints one "name value unit" line per figure.
#include "config/app/MainConfig.h"
#include "core/DMUnit.h"
#include "core/FactoryDefaults.h"
#include "core/kwMacroClassUnit.h"
#include "platform/SimHidBackend.h"
#include "platform/SystemMouseSettings.h"
#include "platform/ValueStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

double CpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

long RssKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(o, e);
    }
};

// Settings that touch nothing of the desktop.
class NoDesktop : public hkt::platform::SystemMouseSettings {
public:
    bool SetMouse(const hkt::platform::MouseAccelerationRow &) override { return true; }
    bool SetMouseSpeed(int) override { return true; }
    bool SetWheelScrollLines(int) override { return true; }
    bool SetDoubleClickTime(int) override { return true; }
    QString Name() const override { return QStringLiteral("none"); }
};

// 30 macros of 12 steps; buttons 2..7 of every profile play six of them.
void PrepareThirtyMacros(THKT75CFGMAIN &form, TDM &dm)
{
    std::vector<TMACROKEYINFO> macros(MACRO_LIST_CAPACITY);
    for (int m = 0; m < MACRO_LIST_CAPACITY; ++m) {
        TMACROKEYINFO &k = macros[std::size_t(m)];
        k.MacroListCount = 12;
        for (int s = 0; s < 12; ++s)
            k.MacroList[s] = TMACROKEY{MACRO_STEP_KEY, std::uint16_t((s + 1) % 2), std::uint8_t(0x41 + m % 26), 0};
        k.nLoopCount = 1;
        k.nMacroIndex = std::uint16_t(m);
    }
    form.MacroSet().CurrentMacroClass()->SetMacroKeyInfoList(macros);
    auto info = std::make_unique<TMouseProfileInfo>();
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        dm.ReadProfileInfo(*info, p);
        for (int b = 0; b < 6; ++b) {
            auto &button = info->ConfigInfo.ButtonFuncInfo[2 + b];
            button.FunctionType = FUNCTION_TYPE_MACRO;
            button.DeviceFunctionCode = DEVICE_FUNCTION_MACRO;
            button.MacroKeyInfo = macros[std::size_t(p * 6 + b)];
        }
        dm.SaveBackToProfileInfo(*info, p);
        dm.SaveProfileInfoToRegistry(p);
    }
    dm.ReadCurrentProfileInfo();
    for (int p = 0; p < PROFILE_COUNT; ++p)
        dm.SetProfileChanged(p, true);
}

} // namespace

int main(int argc, char **argv)
{
    QElapsedTimer clock;
    clock.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("XDG_RUNTIME_DIR", dir.filePath(QStringLiteral("run")).toLocal8Bit());
    QApplication app(argc, argv);
    const QString bin = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();

    // The simulated mouse: the real daemon in its own process.
    const QString sock = dir.filePath(QStringLiteral("vm.sock"));
    auto daemon = [&](const QString &cmd) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(bin + QStringLiteral("/hkt75-vmouse"), {QStringLiteral("--socket"), sock, cmd});
        return p.waitForFinished(10000) && p.exitCode() == 0;
    };
    if (!daemon(QStringLiteral("start"))) {
        std::fprintf(stderr, "cannot start hkt75-vmouse\n");
        return 1;
    }

    auto store = std::make_shared<hkt::platform::DirectoryValueStore>(dir.filePath(QStringLiteral("registry")));
    auto dm = std::make_unique<TDM>(TDMRoots{store, bin, dir.filePath(QStringLiteral("docs/"))});
    DM = dm.get();
    TMainConfigSetup setup;
    setup.RuntimeRoot = dir.filePath(QStringLiteral("run"));
    setup.ProgramFolder = bin;
    setup.Hid = hkt::platform::MakeSimHidBackend(sock);
    setup.DesktopMouse = std::make_shared<NoDesktop>();
    setup.StartMonitor = [](const QString &, const QString &) { return true; };
    auto form = std::make_unique<THKT75CFGMAIN>(*dm, setup);
    FirstPaint paint;
    form->installEventFilter(&paint);
    form->show();
    while (!paint.painted)
        app.processEvents(QEventLoop::AllEvents, 5);
    app.processEvents();
    const double startMs = clock.nsecsElapsed() / 1e6;
    std::printf("start_to_first_paint %.1f ms (%s)\n", startMs, qPrintable(QGuiApplication::platformName()));
    std::printf("resident_memory_after_start %.1f MiB\n", RssKiB() / 1024.0);

    form->kwHIDData1->GetHIDDeviceList().clear();
    PrepareThirtyMacros(*form, *dm);
    double longestGap = 0;
    QElapsedTimer tick;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, tick.nsecsElapsed() / 1e6);
        tick.restart();
    });
    const double cpu0 = CpuMs();
    QElapsedTimer wall;
    wall.start();
    tick.start();
    probe.start();
    const TApplyOutcome outcome = form->ApplySettings();
    probe.stop();
    longestGap = std::max(longestGap, tick.nsecsElapsed() / 1e6);
    const double cpu = CpuMs() - cpu0;
    std::printf("apply_outcome %s\n", outcome == TApplyOutcome::Written ? "written" : "FAILED");
    std::printf("apply_host_cpu %.1f ms\n", cpu);
    std::printf("apply_wall %.1f ms\n", wall.nsecsElapsed() / 1e6);
    std::printf("apply_longest_main_loop_stall %.1f ms\n", longestGap);

    form.reset();
    DM = nullptr;
    daemon(QStringLiteral("stop"));
    return outcome == TApplyOutcome::Written ? 0 : 1;
}
