// The desktop's mouse settings: the acceleration table, GSettings through
// GIO's memory backend with the installed schema, the X server's pointer
// control on a private Xvfb, read back with the server's own query, and the
// choice between them in a private environment: no session bus, or a private
// bus whose dconf service writes a private database.
#include <gio/gio.h>

#include "platform/SystemMouseSettings.h"
#include "support/EventLoopWait.h"
#include "support/PrivateXServer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <X11/Xlib.h>


using namespace hkt::platform;

TEST(SystemMouseSettings, AccelerationTableAndRanges)
{
    EXPECT_EQ(AccelerationRow(0), (MouseAccelerationRow{0, 0, 0}));
    EXPECT_EQ(AccelerationRow(1), (MouseAccelerationRow{7, 0, 1}));
    EXPECT_EQ(AccelerationRow(2), (MouseAccelerationRow{4, 6, 2}));
    EXPECT_EQ(AccelerationRow(3), (MouseAccelerationRow{4, 0, 1}));
    for (int bad : {-1, 4, 7, 65535})
        EXPECT_FALSE(AccelerationRow(bad).has_value()) << bad;
    const std::pair<int, int> clamps[] = {{0, 200}, {199, 200}, {200, 200}, {550, 550}, {900, 900}, {901, 900},
                                          {65535, 900}, {-5, 200}};
    for (auto [in, out] : clamps)
        EXPECT_EQ(ClampDoubleClickTime(in), out) << in;
    EXPECT_DOUBLE_EQ(GnomePointerSpeed(10), 0.0);
    EXPECT_DOUBLE_EQ(GnomePointerSpeed(1), -0.9);
    EXPECT_DOUBLE_EQ(GnomePointerSpeed(20), 1.0);
    EXPECT_DOUBLE_EQ(GnomePointerSpeed(40), 1.0);
}

TEST(SystemMouseSettings, GSettingsHoldSpeedProfileAndDoubleClick)
{
    // GIO's in-memory backend: nothing of the user's desktop is touched.
    g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
    auto gnome = MakeGnomeMouseSettings();
    if (!gnome)
        GTEST_SKIP() << "schema org.gnome.desktop.peripherals.mouse not installed";
    EXPECT_TRUE(gnome->SetMouseSpeed(15));
    EXPECT_TRUE(gnome->SetMouse(*AccelerationRow(0)));
    EXPECT_TRUE(gnome->SetDoubleClickTime(550));
    EXPECT_FALSE(gnome->SetWheelScrollLines(3));

    GSettings *s = g_settings_new("org.gnome.desktop.peripherals.mouse");
    EXPECT_DOUBLE_EQ(g_settings_get_double(s, "speed"), 0.5);
    gchar *profile = g_settings_get_string(s, "accel-profile");
    EXPECT_STREQ(profile, "flat");
    g_free(profile);
    EXPECT_EQ(g_settings_get_int(s, "double-click"), 550);
    EXPECT_TRUE(gnome->SetMouse(*AccelerationRow(2)));
    profile = g_settings_get_string(s, "accel-profile");
    EXPECT_STREQ(profile, "adaptive");
    g_free(profile);
    g_object_unref(s);
}

using hkt::testfixtures::PrivateXServer;

TEST(SystemMouseSettings, X11PointerControlFollowsTheAccelerationRow)
{
    PrivateXServer server;
    if (server.Name().isEmpty())
        GTEST_SKIP() << "no Xvfb";
    auto x11 = MakeX11MouseSettings(server.Name());
    ASSERT_TRUE(x11);
    struct Case {
        int acceleration;
        int numerator, threshold;
    };
    const Case cases[] = {{1, 2, 7}, {2, 4, 4}, {3, 2, 4}, {0, 1, 0}};
    ::Display *d = XOpenDisplay(server.Name().toLatin1().constData());
    ASSERT_TRUE(d);
    for (const Case &c : cases) {
        EXPECT_TRUE(x11->SetMouse(*AccelerationRow(c.acceleration)));
        int num = -1, den = -1, threshold = -1;
        XGetPointerControl(d, &num, &den, &threshold);
        EXPECT_EQ(num, c.numerator) << c.acceleration;
        EXPECT_EQ(den, 1) << c.acceleration;
        if (c.acceleration != 0) {
            EXPECT_EQ(threshold, c.threshold) << c.acceleration;
        }
    }
    XCloseDisplay(d);
    // Speed, wheel lines and double-click time are not the server's.
    EXPECT_FALSE(x11->SetMouseSpeed(10));
    EXPECT_FALSE(x11->SetWheelScrollLines(3));
    EXPECT_FALSE(x11->SetDoubleClickTime(500));
}

TEST(SystemMouseSettings, WhatNoBackendHoldsIsReportedNotTaken)
{
    std::vector<std::unique_ptr<SystemMouseSettings>> none;
    DesktopMouseSettings desktop(std::move(none));
    EXPECT_FALSE(desktop.SetMouseSpeed(10));
    EXPECT_FALSE(desktop.SetMouseSpeed(11)); // logged once only
    EXPECT_FALSE(desktop.SetMouse(*AccelerationRow(1)));
}

namespace {

using hkt::testfixtures::WaitUntil;

// What this process writes to stderr while the object lives (GIO's and
// dconf's warnings included), readable at any time.
class StderrCapture {
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_file = std::tmpfile();
        m_saved = ::dup(2);
        ::dup2(::fileno(m_file), 2);
    }
    ~StderrCapture()
    {
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        std::fclose(m_file);
    }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    QString Text() const
    {
        std::fflush(stderr);
        struct stat st {};
        ::fstat(::fileno(m_file), &st);
        QByteArray bytes(qsizetype(st.st_size), '\0');
        const ssize_t n = ::pread(::fileno(m_file), bytes.data(), size_t(bytes.size()), 0);
        bytes.resize(n > 0 ? qsizetype(n) : 0);
        return QString::fromLocal8Bit(bytes);
    }

private:
    std::FILE *m_file = nullptr;
    int m_saved = -1;
};

// A login without a session bus: no bus address, a runtime folder without a
// bus socket, a settings folder of its own.
void WithoutSessionBus(const QTemporaryDir &home)
{
    QDir(home.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(home.filePath(QStringLiteral("run")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qunsetenv("GSETTINGS_BACKEND");
    qputenv("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("run")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("HOME", home.path().toLocal8Bit());
}

} // namespace

TEST(SystemMouseSettings, AccelerationGoesWhereTheDesktopTakesIt)
{
    using B = AccelerationBackend;
    struct Case {
        DesktopSettingsFacts facts; // schema, bus, dconf service, dconf writable, X display
        B backend;
    };
    const Case cases[] = {
        {{true, true, true, true, true}, B::GSettings},
        {{true, true, true, true, false}, B::GSettings}, // Wayland: GNOME applies it
        {{true, false, false, false, true}, B::X11},     // an X login without a session bus
        {{true, true, false, false, true}, B::X11},      // a bus without dconf
        {{true, true, true, false, true}, B::X11},       // dconf's database not writable
        {{false, true, true, true, true}, B::X11},       // not GNOME
        {{true, false, false, false, false}, B::Neither},
        {{false, false, false, false, false}, B::Neither},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ChooseAccelerationBackend(c.facts), c.backend)
            << c.facts.gnomeSchema << c.facts.sessionBus << c.facts.dconfService << c.facts.dconfWritable
            << c.facts.xDisplay;
}

TEST(SystemMouseSettings, WithoutASessionBusTheXServerGetsTheAccelerationAndDconfIsNeverAsked)
{
    PrivateXServer server;
    if (server.Name().isEmpty())
        GTEST_SKIP() << "no Xvfb";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    WithoutSessionBus(home);
    const DesktopSettingsFacts facts = ProbeGnomeSettings();
    EXPECT_FALSE(facts.sessionBus);
    EXPECT_FALSE(facts.dconfService);

    StderrCapture err;
    auto desktop = MakeSystemMouseSettings(server.Name());
    EXPECT_EQ(desktop->Name(), QStringLiteral("x11+qt"));
    EXPECT_TRUE(desktop->SetMouse(*AccelerationRow(2)));
    desktop->SetMouseSpeed(14);
    desktop->SetDoubleClickTime(500);

    ::Display *d = XOpenDisplay(server.Name().toLatin1().constData());
    ASSERT_TRUE(d);
    int num = -1, den = -1, threshold = -1;
    XGetPointerControl(d, &num, &den, &threshold);
    XCloseDisplay(d);
    EXPECT_EQ(num, 4);
    EXPECT_EQ(threshold, 4);
    const QString said = err.Text();
    EXPECT_FALSE(said.contains(QStringLiteral("dconf"))) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("dbus"), Qt::CaseInsensitive)) << said.toStdString();
}

// A private session bus (its own dbus-daemon, started and stopped here) whose
// dconf service keeps its database in a private folder.
TEST(SystemMouseSettings, ASessionBusWithDconfTakesTheSettingsAndAFailedWriteIsSaidOnce)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (daemon.isEmpty() || gsettings.isEmpty() || !QFileInfo::exists(QStringLiteral("/usr/share/dbus-1/services/ca.desrt.dconf.service")))
        GTEST_SKIP() << "dbus-daemon, gsettings or the dconf service missing";
    if (auto gnome = MakeGnomeMouseSettings(); !gnome)
        GTEST_SKIP() << "schema org.gnome.desktop.peripherals.mouse not installed";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    WithoutSessionBus(home);
    const QString socket = home.filePath(QStringLiteral("run/bus"));
    const QByteArray address = "unix:path=" + socket.toLocal8Bit();

    QProcess bus;
    bus.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                       QStringLiteral("--address=") + QString::fromLocal8Bit(address)});
    ASSERT_TRUE(bus.waitForStarted(10000));
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(socket); }, 30000));
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);

    const DesktopSettingsFacts facts = ProbeGnomeSettings();
    EXPECT_TRUE(facts.sessionBus);
    EXPECT_TRUE(facts.dconfService);
    EXPECT_TRUE(facts.dconfWritable);
    auto desktop = MakeSystemMouseSettings(QStringLiteral(":no-such-display"));
    EXPECT_EQ(desktop->Name(), QStringLiteral("gsettings+qt"));
    EXPECT_TRUE(desktop->SetMouseSpeed(15));

    // Read back by another process, as the desktop would.
    const auto read = [&] {
        QProcess get;
        get.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        get.start(gsettings, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.peripherals.mouse"), QStringLiteral("speed")});
        get.waitForFinished(30000);
        return QString::fromLocal8Bit(get.readAllStandardOutput()).trimmed();
    };
    EXPECT_TRUE(WaitUntil([&] { return read() == QStringLiteral("0.5"); }, 60000)) << read().toStdString();

    // The service can no longer write the database (its folder is now a
    // file, which stops root too): dconf's own warning per write is replaced
    // by one line of ours, however many writes follow.
    StderrCapture err;
    const QString folder = home.filePath(QStringLiteral("config/dconf"));
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString ours = QStringLiteral("mouse settings: the desktop's settings service did not take a change");
    desktop->SetMouseSpeed(12);
    EXPECT_TRUE(WaitUntil([&] { return err.Text().contains(ours); }, 30000)) << err.Text().toStdString();
    desktop->SetMouseSpeed(13);
    desktop->SetDoubleClickTime(600);
    g_settings_sync();
    const QString said = err.Text();
    EXPECT_EQ(said.count(ours), 1) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("dconf-WARNING"))) << said.toStdString();

    // GIO ends a process whose session bus closes, as the desktop's end does;
    // this bus is the test's own and goes first.
    if (GDBusConnection *c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        g_dbus_connection_set_exit_on_close(c, FALSE);
        g_object_unref(c);
    }
    bus.terminate();
    bus.waitForFinished(30000);
}

namespace {

// Lets two threads leave SetMouseSpeed at the same moment, so that both find
// the speed missing together: a spin rendezvous, released within nanoseconds.
class Rendezvous final : public SystemMouseSettings {
public:
    bool SetMouse(const MouseAccelerationRow &) override { return false; }
    bool SetMouseSpeed(int) override
    {
        const int round = m_arrived.fetch_add(1) / 2 + 1;
        // Spin first (a yield would release the two far apart); yield only
        // when the other thread is not running, as on a loaded machine.
        for (long spins = 0; m_arrived.load() < round * 2; ++spins)
            if (spins > 100000)
                std::this_thread::yield();
        return false;
    }
    bool SetWheelScrollLines(int) override { return false; }
    bool SetDoubleClickTime(int) override { return false; }
    QString Name() const override { return QStringLiteral("rendezvous"); }

private:
    static inline std::atomic<int> m_arrived{0};
};

} // namespace

TEST(SystemMouseSettings, ASettingMissingInTwoThreadsAtOnceIsLoggedOnce)
{
    // Many fresh objects, each found missing by two threads at once: the
    // window between reading and setting the logged mark is a few
    // nanoseconds, so one try alone would rarely show a double line.
    constexpr int kRounds = 20000;
    std::vector<std::unique_ptr<DesktopMouseSettings>> desktops;
    for (int i = 0; i < kRounds; ++i) {
        std::vector<std::unique_ptr<SystemMouseSettings>> backends;
        backends.push_back(std::make_unique<Rendezvous>());
        desktops.push_back(std::make_unique<DesktopMouseSettings>(std::move(backends)));
    }
    StderrCapture err;
    const auto run = [&] {
        for (auto &d : desktops)
            d->SetMouseSpeed(10);
    };
    std::thread other(run);
    run();
    other.join();
    EXPECT_EQ(err.Text().count(QStringLiteral("holds the pointer speed")), kRounds);
}
