// HKT75 as a real process beside the real monitor and the simulated mouse
// daemon, on a private X server: the window starts the monitor, a second
// HKT75 ends at once, APPLY pressed on the real window leaves the profile in
// the daemon's memory, WM_EXIT_PROGRAM ends both programs, and the session's
// end ends HKT75 whatever is open, also during its start-up.
#include "core/DMUnit.h"
#include "platform/ValueStore.h"
#include "platform/WindowMessages.h"
#include "support/PrivateXServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QDirIterator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <map>
#include <memory>

using namespace hkt::platform;

namespace {

const QString kBin = QStringLiteral(HKT75_BIN_DIR);

bool WaitFor(const std::function<bool()> &pred, int ms = 30000)
{
    QDeadlineTimer limit(ms);
    while (!pred()) {
        if (limit.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

class ConfigEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (m_x.Name().isEmpty())
            GTEST_SKIP() << "no Xvfb";
        for (const char *d : {"/run", "/config", "/home/Documents"})
            QDir().mkpath(m_tmp.path() + d);
        QFile::setPermissions(Runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Runtime());
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_tmp.path() + "/config");
        m_env.insert(QStringLiteral("HOME"), m_tmp.path() + "/home");
        m_env.insert(QStringLiteral("HKT75_HID"), QStringLiteral("sim:") + MouseSocket());
        m_env.insert(QStringLiteral("DISPLAY"), m_x.Name());
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // The desktop's settings go to GIO's memory, never to the user's.
        m_env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        m_env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + Runtime() + "/no-pulse");
        ASSERT_EQ(Run(kBin + "/hkt75-vmouse", {QStringLiteral("--socket"), MouseSocket(), QStringLiteral("start")}), 0);
    }
    void TearDown() override
    {
        if (m_x.Name().isEmpty())
            return;
        // The monitor the window started ends with its X server.
        if (auto w = FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()))
            PostWindowMessage(w, WM_EXIT_PROGRAM, 0, 0);
        for (auto &p : m_procs)
            if (!p->waitForFinished(10000))
                p->kill();
        Run(kBin + "/hkt75-vmouse", {QStringLiteral("--socket"), MouseSocket(), QStringLiteral("stop")});
    }

    QString Runtime() const { return m_tmp.path() + "/run"; }
    QString MouseSocket() const { return Runtime() + "/vm.sock"; }

    int Run(const QString &exe, const QStringList &args, QByteArray *out = nullptr, int ms = 30000)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(exe, args);
        if (!p.waitForFinished(ms)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        if (out)
            *out = p.readAllStandardOutput();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    QProcess &Start(const QString &exe)
    {
        m_procs.push_back(std::make_unique<QProcess>());
        QProcess &p = *m_procs.back();
        p.setProcessEnvironment(m_env);
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(exe, {});
        EXPECT_TRUE(p.waitForStarted(30000));
        return p;
    }
    // The daemon's memory, parsed from its "ADDR: bytes" lines.
    std::vector<int> Dump(int addr, int len)
    {
        QByteArray out;
        if (Run(kBin + "/hkt75-vmouse",
                {QStringLiteral("--socket"), MouseSocket(), QStringLiteral("dump"), QString::number(addr),
                 QString::number(len)},
                &out) != 0)
            return {};
        std::vector<int> bytes;
        for (const QByteArray &line : out.split('\n')) {
            const int colon = line.indexOf(':');
            if (colon < 0)
                continue;
            for (const QByteArray &tok : line.mid(colon + 1).simplified().split(' '))
                if (!tok.isEmpty())
                    bytes.push_back(tok.toInt(nullptr, 16));
        }
        return bytes;
    }

    // The first profile current in the stores, then HKT75 started, the
    // monitor it starts awaited.
    QProcess &StartConfigOnFirstProfile()
    {
        {
            auto store = std::make_shared<DirectoryValueStore>(m_tmp.path() + "/config/hkt75/registry");
            TDM dm(TDMRoots{store, kBin, m_tmp.path() + "/home/Documents/"});
            EXPECT_TRUE(dm.SwitchToProfile(0));
            EXPECT_TRUE(dm.SaveBackAllProfileSettingInfo());
        }
        QProcess &config = Start(kBin + "/HKT75");
        EXPECT_TRUE(WaitFor([&] { return bool(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime())); }));
        // The window started the monitor.
        EXPECT_TRUE(WaitFor([&] { return bool(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime())); }));
        return config;
    }
    // The visible windows of the program, as the X server lists them.
    QList<QByteArray> VisibleWindows()
    {
        QByteArray ids;
        Run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
             QStringLiteral("^HKT75$")},
            &ids, 20000);
        QList<QByteArray> out;
        for (const QByteArray &id : ids.split('\n'))
            if (!id.trimmed().isEmpty())
                out.append(id.trimmed());
        return out;
    }
    // Every file the programs store (the registry folder, the documents),
    // with its bytes.
    std::map<QString, QByteArray> Stored() const
    {
        std::map<QString, QByteArray> files;
        for (const char *root : {"/config", "/home"}) {
            QDirIterator it(m_tmp.path() + root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                QFile f(path);
                files[path] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
            }
        }
        return files;
    }
    // APPLY, clicked on the real window.
    bool ClickApply()
    {
        QByteArray ids;
        if (Run(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--class"), QStringLiteral("HKT75")},
                &ids, 20000) != 0)
            return false;
        const QByteArray window = ids.split('\n').first().trimmed();
        if (window.isEmpty())
            return false;
        return Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"),
                                               QString::fromLatin1(window), QStringLiteral("742"),
                                               QStringLiteral("92"), QStringLiteral("click"), QStringLiteral("1")}) ==
               0;
    }
    bool SwitchOnTheMouse(int profile)
    {
        return Run(kBin + "/hkt75-vmouse", {QStringLiteral("--socket"), MouseSocket(), QStringLiteral("profile"),
                                            QString::number(profile)}) == 0;
    }
    // "ProfileID" as the monitor stored it; -1 when unreadable.
    int StoredProfileID()
    {
        auto store = std::make_shared<DirectoryValueStore>(m_tmp.path() + "/config/hkt75/registry");
        QByteArray id;
        if (store->ReadValue(QStringLiteral("software\\HKT75GM"), QStringLiteral("ProfileID"), id) !=
                ReadStatus::Ok ||
            id.size() != 4)
            return -1;
        return int(std::uint8_t(id[0])) | int(std::uint8_t(id[1])) << 8 | int(std::uint8_t(id[2])) << 16 |
               int(std::uint8_t(id[3])) << 24;
    }
    // The profile the window stored as its current one.
    int WindowProfile()
    {
        auto store = std::make_shared<DirectoryValueStore>(m_tmp.path() + "/config/hkt75/registry");
        TDM dm(TDMRoots{store, kBin, m_tmp.path() + "/home/Documents/"});
        dm.LoadAllProfileInfoFromRegistry();
        return dm.FAllProfileSettingInfo.CurrentGame;
    }

    hkt::testfixtures::PrivateXServer m_x;
    QTemporaryDir m_tmp;
    QProcessEnvironment m_env;
    std::vector<std::unique_ptr<QProcess>> m_procs;
};

} // namespace

TEST_F(ConfigEndToEnd, StartsTheMonitorStaysSingleAndAppliesThroughTheRealWindow)
{
    QProcess &config = StartConfigOnFirstProfile();
    ASSERT_FALSE(HasFailure());

    // A second HKT75 ends at once, without a window; the first runs on.
    EXPECT_EQ(Run(kBin + "/HKT75", {}, nullptr, 10000), 0);
    EXPECT_EQ(config.state(), QProcess::Running);

    // APPLY, clicked on the real window.
    ASSERT_TRUE(ClickApply());
    // Factory profile 1 as the mouse holds it (worked out by hand).
    const std::vector<int> map = {0x0E, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                  0x0E, 0x00, 0xE2, 0x00, 0x0E, 0x00, 0xE9, 0x00, 0x0E, 0x00, 0xEA, 0x00,
                                  0x10, 0x00, 0x4F, 0x00, 0x10, 0x00, 0x50, 0x00, 0x0E, 0x00, 0xB5, 0x00,
                                  0x0E, 0x00, 0xB6, 0x00, 0x0E, 0x00, 0xCD, 0x00, 0x0F, 0x04, 0x3D, 0x00,
                                  0x0F, 0x08, 0x07, 0x00, 0x0D, 0x00, 0x00, 0x00};
    EXPECT_TRUE(WaitFor([&] { return Dump(0x90, 57) == map; }, 20000));
    EXPECT_EQ(Dump(0xF1, 6), (std::vector<int>{0x00, 0x00, 0xFF, 0x02, 0x03, 0x00}));
    EXPECT_EQ(Dump(0x48, 1), std::vector<int>{0x02});
    EXPECT_EQ(Dump(0x43, 1), std::vector<int>{0x00});

    // APPLY's run (its waits between writes and the message to the monitor)
    // ends first.
    QThread::msleep(3000);
    // A profile switched on the mouse reaches the window through the
    // monitor; the window's switch answers with WM_PROFILE_CHANGED, which
    // makes the monitor store the profile's number.
    ASSERT_EQ(Run(kBin + "/hkt75-vmouse", {QStringLiteral("--socket"), MouseSocket(), QStringLiteral("profile"),
                                          QStringLiteral("3")}),
              0);
    auto store = std::make_shared<DirectoryValueStore>(m_tmp.path() + "/config/hkt75/registry");
    const QByteArray three("\x03\x00\x00\x00", 4);
    EXPECT_TRUE(WaitFor([&] {
        QByteArray id;
        return store->ReadValue(QStringLiteral("software\\HKT75GM"), QStringLiteral("ProfileID"), id) ==
                   ReadStatus::Ok &&
               id == three;
    }, 8000));
    EXPECT_EQ(config.state(), QProcess::Running);

    // WM_EXIT_PROGRAM ends the program without a question.
    PostWindowMessage(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()), WM_EXIT_PROGRAM, 0, 0);
    EXPECT_TRUE(config.waitForFinished(15000));
    EXPECT_EQ(config.exitCode(), 0);
}

TEST_F(ConfigEndToEnd, AProfileSwitchedOnTheMouseDuringApplyReachesTheWindow)
{
    QProcess &config = StartConfigOnFirstProfile();
    ASSERT_FALSE(HasFailure());
    // The monitor reads the mouse a while after its start: a switch made
    // with nothing else running, repeated until the window follows it,
    // shows that it does.
    ASSERT_TRUE(WaitFor([&] {
        if (!SwitchOnTheMouse(1))
            return false;
        QThread::msleep(500);
        return WindowProfile() == 1 && StoredProfileID() == 1;
    }));
    // The switch lands inside APPLY's run: its waits between writes and its
    // message to the monitor.
    ASSERT_TRUE(ClickApply());
    ASSERT_TRUE(SwitchOnTheMouse(3));
    // The window follows the mouse (it stores the profile as its current
    // one, the monitor stores its number) and the mouse stays on it.
    EXPECT_TRUE(WaitFor([&] { return WindowProfile() == 3 && StoredProfileID() == 3; }, 15000))
        << "window " << WindowProfile() << ", monitor " << StoredProfileID();
    // Still so once everything APPLY and the switch started has ended.
    QThread::msleep(3000);
    EXPECT_EQ(WindowProfile(), 3);
    EXPECT_EQ(StoredProfileID(), 3);
    EXPECT_EQ(Dump(0x43, 1), std::vector<int>{0x03});
    EXPECT_EQ(config.state(), QProcess::Running);
}

TEST_F(ConfigEndToEnd, TheSessionsEndWithTheCloseQuestionOpenEndsAtOnceStoringNothing)
{
    QProcess &config = StartConfigOnFirstProfile();
    ASSERT_FALSE(HasFailure());
    // An unsaved edit (1000 Hz for the stored 500 Hz), so CANCEL asks.
    const auto window = FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime());
    ASSERT_TRUE(SendWindowMessage(window, WM_REPORT_RATE_CHANGED, 1, 0).has_value());
    ASSERT_TRUE(WaitFor([&] { return VisibleWindows().size() == 1; }));
    const QByteArray main = VisibleWindows().first();
    ASSERT_EQ(Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--window"),
                                              QString::fromLatin1(main), QStringLiteral("652"), QStringLiteral("92"),
                                              QStringLiteral("click"), QStringLiteral("1")}),
              0);
    // The question is up beside the window.
    ASSERT_TRUE(WaitFor([&] { return VisibleWindows().size() == 2; }));
    const auto stored = Stored();

    ::kill(pid_t(config.processId()), SIGTERM);
    ASSERT_TRUE(config.waitForFinished(20000));
    EXPECT_EQ(config.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(config.exitCode(), 0);
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()));
    EXPECT_TRUE(Stored() == stored) << "something was stored";
}

TEST_F(ConfigEndToEnd, TheSessionsEndDuringTheStartUpWarningEndsTheProgramInOrder)
{
    // No documents folder can be made: start-up warns before the window shows.
    const QString documents = m_tmp.path() + "/home/Documents";
    ASSERT_TRUE(QDir(documents).removeRecursively());
    QFile blocker(documents);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QProcess &config = Start(kBin + "/HKT75");
    ASSERT_TRUE(WaitFor([&] { return VisibleWindows().size() == 1; }));
    // Only the warning: the window is not made findable before it is built.
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()));

    ::kill(pid_t(config.processId()), SIGTERM);
    ASSERT_TRUE(config.waitForFinished(20000));
    EXPECT_EQ(config.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(config.exitCode(), 0);
    // The window was never shown, so no monitor was started.
    EXPECT_FALSE(FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime()));
    EXPECT_TRUE(QFileInfo(documents).isFile());
}
