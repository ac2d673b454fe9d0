// A full APPLY write sequence against the simulated mouse, in-process and
// through the hkt75-vmouse daemon: five changed profiles (button map, light
// block, the level and rate read back, DPI table, rate code), the macro area with 30 macros, the active
// profile, write state and refresh, as the configuration window sends them.
// Counters: reports and bytes per sequence, time per command.

#include "core/FactoryDefaults.h"
#include "core/pubunit_device_commands.h"
#include "platform/DeviceTransferLock.h"
#include "platform/SimHidBackend.h"
#include "sim/InProcessHidBackend.h"
#include "sim/VMouseServer.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <thread>

namespace {

struct ApplyImages {
    TDeviceButtonMap maps[PROFILE_COUNT];
    TDeviceCPITable tables[PROFILE_COUNT];
    TDeviceLEDBlock lights[PROFILE_COUNT];
    std::uint8_t rates[PROFILE_COUNT];
    std::unique_ptr<TDeviceMacroArea> area = std::make_unique<TDeviceMacroArea>();
};

// The images of the five factory profiles and of 30 macros of 12 steps
// (a key pressed and released six times), encoded once: the benchmark
// measures the transfers, not the encoders.
ApplyImages BuildImages()
{
    ApplyImages im;
    auto p = std::make_unique<TMouseProfileInfo>();
    const int order[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    for (int i = 0; i < PROFILE_COUNT; ++i) {
        *p = TMouseProfileInfo{};
        RestoreProfileDefaults(*p, i);
        p->ConfigInfo.ButtonCount = 14;
        ReorderButtons(*p, order);
        EncodeButtonMap(*p, im.maps[i]);
        EncodeCPITable(*p, im.tables[i]);
        EncodeLEDBlock(p->ConfigInfo.LEDConfig, im.lights[i]);
        im.rates[i] = GetReportRateCode(*p);
    }
    auto list = std::make_unique<TMACROKEYINFOLIST>();
    list->nMacroInfoCount = MACRO_LIST_CAPACITY;
    for (int m = 0; m < MACRO_LIST_CAPACITY; ++m) {
        TMACROKEYINFO &k = list->MacroInfos[m];
        k.MacroListCount = 12;
        for (int s = 0; s < 12; ++s)
            k.MacroList[s] = TMACROKEY{MACRO_STEP_KEY, std::uint16_t((s + 1) % 2), std::uint8_t(0x41 + m % 26), 0};
        k.nLoopCount = 1;
        k.nMacroIndex = std::uint16_t(m);
    }
    EncodeMacroArea(*list, *im.area);
    return im;
}

// One APPLY; returns the number of commands (a read counts as one).
int Apply(TkwHIDData &hid, const ApplyImages &im)
{
    int commands = 0;
    int index = 0;
    SendWriteStateCommand(hid, 0), ++commands;
    ReadCurrentCPIIndex(hid, index), commands += 2;
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        WriteButtonMap(hid, im.maps[p], ButtonMapAddress(p));
        WriteLEDConfig(hid, im.lights[p], LEDConfigAddress(p));
        // The profile's level and rate as the mouse holds them, read right
        // before they are written.
        std::uint8_t code = 0;
        ReadProfileCPIIndex(hid, p, index);
        ReadDeviceMemory(hid, &code, 1, ReportRateAddress(p));
        WriteCPITable(hid, im.tables[p], CPITableAddress(p));
        WriteReportRate(hid, im.rates[p], ReportRateAddress(p));
        commands += 6;
    }
    WriteMacroArea(hid, *im.area, MACRO_AREA_BASE), commands += MACRO_LIST_CAPACITY;
    WriteActiveProfile(hid, 0, ACTIVE_PROFILE_ADDRESS), ++commands;
    SendWriteStateCommand(hid, 1), ++commands;
    SendRefreshCommand(hid, 1, 0), ++commands;
    return commands;
}

// Reports and bytes one APPLY sends, counted by a mouse of its own so the
// figure is the same whichever way the timed runs reach their mouse.
hkt::sim::TransferStats CountOneApply(const ApplyImages &im)
{
    auto mouse = std::make_shared<hkt::sim::VirtualMouse>();
    TkwHIDData hid(nullptr, hkt::sim::MakeInProcessHidBackend(mouse));
    hid.GetHIDDeviceList().clear();
    Apply(hid, im);
    return mouse->Stats();
}

void Run(benchmark::State &state, const std::shared_ptr<hkt::platform::HidBackend> &backend)
{
    HIDUsageAndPage = USAGE_AND_PAGE{1, 0xFFA0};
    TkwHIDData hid(nullptr, backend);
    hid.GetHIDDeviceList().clear();
    const ApplyImages im = BuildImages();
    const auto once = CountOneApply(im);
    int commands = 0;
    for (auto _ : state)
        commands = Apply(hid, im);
    state.counters["reports"] = double(once.setReports + once.getReports);
    state.counters["bytes_sent"] = double(once.setBytes);
    state.counters["commands"] = commands;
    state.counters["time_per_cmd"] =
        benchmark::Counter(double(commands), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ApplyInProcess(benchmark::State &state)
{
    auto mouse = std::make_shared<hkt::sim::VirtualMouse>();
    mouse->SetLogCapacity(0); // the firmware model's log is no host cost
    Run(state, hkt::sim::MakeInProcessHidBackend(mouse));
}
BENCHMARK(BM_ApplyInProcess)->Unit(benchmark::kMicrosecond);

// The same APPLY as the window makes it: one run of device transfers, so the
// lock is taken once for the sequence instead of once per transfer.
void BM_ApplyInProcessOneRun(benchmark::State &state)
{
    auto mouse = std::make_shared<hkt::sim::VirtualMouse>();
    mouse->SetLogCapacity(0);
    HIDUsageAndPage = USAGE_AND_PAGE{1, 0xFFA0};
    TkwHIDData hid(nullptr, hkt::sim::MakeInProcessHidBackend(mouse));
    hid.GetHIDDeviceList().clear();
    const ApplyImages im = BuildImages();
    int commands = 0;
    for (auto _ : state) {
        const hkt::platform::DeviceTransferRun run;
        commands = Apply(hid, im);
    }
    state.counters["commands"] = commands;
    state.counters["time_per_cmd"] =
        benchmark::Counter(double(commands), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ApplyInProcessOneRun)->Unit(benchmark::kMicrosecond);

// What the lock adds to a transfer made outside any run: taken and let go.
void BM_TransferLockOutsideARun(benchmark::State &state)
{
    for (auto _ : state) {
        const hkt::platform::DeviceTransferLock lock;
        benchmark::DoNotOptimize(lock.Held());
    }
}
BENCHMARK(BM_TransferLockOutsideARun);

// hkt75-vmouse beside this program when it is there (the real daemon, in its
// own process); else the same server on a thread of this one.
void BM_ApplyThroughDaemon(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString sock = dir.filePath(QStringLiteral("bench.sock"));
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QString daemon = QFileInfo(exe).absolutePath() + QStringLiteral("/hkt75-vmouse");
    std::unique_ptr<hkt::sim::VMouseServer> server;
    std::thread thread;
    auto daemonCommand = [&](const QString &cmd) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(daemon, {QStringLiteral("--socket"), sock, cmd});
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    const bool external = QFileInfo::exists(daemon) && daemonCommand(QStringLiteral("start"));
    if (!external) {
        server = std::make_unique<hkt::sim::VMouseServer>();
        if (!server->Listen(sock)) {
            state.SkipWithError("cannot start the simulated mouse");
            return;
        }
        server->Mouse().SetLogCapacity(0);
        thread = std::thread([&] { server->Run(); });
    }
    state.SetLabel(external ? "hkt75-vmouse process" : "server thread");
    Run(state, hkt::platform::MakeSimHidBackend(sock));
    if (external) {
        daemonCommand(QStringLiteral("stop"));
    } else {
        server->Stop();
        thread.join();
    }
}
BENCHMARK(BM_ApplyThroughDaemon)->Unit(benchmark::kMicrosecond);
// The same with the time per command taken from the wall clock: host time
// plus the daemon's turn on every round trip.
BENCHMARK(BM_ApplyThroughDaemon)->Name("BM_ApplyThroughDaemon/wall")->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
