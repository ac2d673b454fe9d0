// Whole-program figures of the monitor HKT75MON, run against the simulated
// mouse daemon and a private PulseAudio server:
//  - idle cost: CPU time of all its threads over 30 s with the mouse
//    connected and silent (target: under 10 ms in total);
//  - reaction: from a button press on the simulated mouse to the mute change
//    seen by the sound server (target: median under 10 ms).
// Needs HKT75MON and hkt75-vmouse beside this executable.
#include "core/DMUnit.h"
#include "platform/MicMute.h"
#include "platform/SimWire.h"
#include "platform/ValueStore.h"
#include "sim/VMouseControl.h"

#include "tests/peer/PrivatePulse.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace wire = hkt::platform::simwire;

// Nanoseconds on a CPU of every thread of the process.
double CpuNanoseconds(qint64 pid)
{
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &t : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(tasks.filePath(t) + QStringLiteral("/schedstat"));
        if (f.open(QIODevice::ReadOnly))
            total += f.readAll().split(' ').value(0).toDouble();
    }
    return total;
}

struct Suite {
    PrivatePulse pulse;
    QTemporaryDir tmp{QStringLiteral("/tmp/hkt-bench-XXXXXX")};
    QString bin = QCoreApplication::applicationDirPath();
    QProcessEnvironment env;
    QProcess monitor;
    std::unique_ptr<hkt::platform::PulseMicMute> mic;
    bool changed = false;
    bool ready = false;

    QString Socket() const { return tmp.path() + QStringLiteral("/run/vm.sock"); }

    bool Press(std::uint32_t key)
    {
        return hkt::sim::ControlRequest(Socket(), wire::Message{wire::Type::Press, 0, key, {}}).has_value();
    }

    // Waits for the next mute change the server reports; false at the limit.
    bool WaitForChange(bool before, int limitMs)
    {
        QDeadlineTimer limit(limitMs);
        while (!limit.hasExpired()) {
            changed = false;
            while (!changed && !limit.hasExpired())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            const auto s = mic->GetMute();
            if (s.status == hkt::platform::MicStatus::Ok && s.muted != before)
                return true;
        }
        return false;
    }

    bool Start()
    {
        if (!pulse.Usable()) {
            std::fprintf(stderr, "bench_monitor: %s\n", qPrintable(pulse.Error()));
            return false;
        }
        QDir().mkpath(tmp.path() + QStringLiteral("/run"));
        QDir().mkpath(tmp.path() + QStringLiteral("/home/Documents"));
        QFile::setPermissions(tmp.path() + QStringLiteral("/run"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = pulse.Environment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.path() + QStringLiteral("/run"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), tmp.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("HOME"), tmp.path() + QStringLiteral("/home"));
        env.insert(QStringLiteral("HKT75_HID"), QStringLiteral("sim:") + Socket());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

        QProcess vm;
        vm.setProcessEnvironment(env);
        vm.start(bin + QStringLiteral("/hkt75-vmouse"), {QStringLiteral("--socket"), Socket(), QStringLiteral("start")});
        if (!vm.waitForFinished(30000) || vm.exitCode() != 0)
            return false;

        {   // "MAIL" on button 3 of every profile.
            auto store = std::make_shared<hkt::platform::DirectoryValueStore>(tmp.path() + "/config/hkt75/registry");
            TDM dm(TDMRoots{store, bin, tmp.path() + QStringLiteral("/home/Documents/")});
            for (int p = 0; p < 5; ++p) {
                auto info = std::make_unique<TMouseProfileInfo>();
                dm.ReadProfileInfo(*info, p);
                info->ConfigInfo.ButtonFuncInfo[3].FunctionIndex = 28;
                dm.SaveBackToProfileInfo(*info, p);
                dm.SaveProfileInfoToRegistry(p);
            }
        }

        mic = std::make_unique<hkt::platform::PulseMicMute>(pulse.Server());
        mic->SetChangeHandler([this] { changed = true; });
        if (!mic->Connect())
            return false;

        monitor.setProcessEnvironment(env);
        monitor.setProcessChannelMode(QProcess::ForwardedChannels);
        monitor.start(bin + QStringLiteral("/HKT75MON"), {});
        if (!monitor.waitForStarted(30000))
            return false;
        // The monitor reads the mouse some seconds after its start: press
        // until a press comes through, then leave the microphone unmuted.
        for (int i = 0; i < 30 && !ready; ++i) {
            const bool before = mic->GetMute().muted;
            Press(3);
            ready = WaitForChange(before, 1000);
        }
        if (ready && mic->GetMute().muted) {
            Press(3);
            WaitForChange(true, 5000);
        }
        return ready;
    }

    ~Suite()
    {
        if (monitor.state() != QProcess::NotRunning) {
            monitor.terminate();
            monitor.waitForFinished(10000);
        }
        QProcess vm;
        vm.setProcessEnvironment(env);
        vm.start(bin + QStringLiteral("/hkt75-vmouse"), {QStringLiteral("--socket"), Socket(), QStringLiteral("stop")});
        vm.waitForFinished(10000);
    }
};

Suite *g_suite = nullptr;

void BM_MonitorIdleCpu(benchmark::State &state)
{
    const qint64 pid = g_suite->monitor.processId();
    for (auto _ : state) {
        const double before = CpuNanoseconds(pid);
        QThread::sleep(30);
        const double used = CpuNanoseconds(pid) - before;
        state.counters["cpu_ms_per_30s"] = used / 1e6;
    }
}
BENCHMARK(BM_MonitorIdleCpu)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_PressToMuteSeenByServer(benchmark::State &state)
{
    std::vector<double> ms;
    for (auto _ : state) {
        const bool before = g_suite->mic->GetMute().muted;
        const auto t0 = Clock::now();
        g_suite->Press(3);
        if (!g_suite->WaitForChange(before, 5000)) {
            state.SkipWithError("a press did not change the mute");
            return;
        }
        const std::chrono::duration<double> took = Clock::now() - t0;
        state.SetIterationTime(took.count());
        ms.push_back(took.count() * 1e3);
    }
    std::sort(ms.begin(), ms.end());
    if (!ms.empty())
        state.counters["median_ms"] = ms[ms.size() / 2];
}
BENCHMARK(BM_PressToMuteSeenByServer)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Suite suite;
    if (!suite.Start()) {
        std::fprintf(stderr, "bench_monitor: the monitor could not be set up against the simulated mouse\n");
        return 1;
    }
    g_suite = &suite;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
