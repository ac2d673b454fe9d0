#pragma once
// HKT75 as a real process beside the real monitor and the simulated mouse
// daemon, on a private X server, in a private session; driven with xdotool as
// a user's mouse and keyboard would, watched through the X server.

#include "core/DMUnit.h"
#include "platform/ValueStore.h"
#include "platform/WindowMessages.h"
#include "support/PrivateSession.h"
#include "support/PrivateXServer.h"
#include "support/XDisplayProbe.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace hkt::testapp {

class ConfigEndToEnd : public ::testing::Test {
protected:
    static inline const QString kBin = QStringLiteral(HKT75_BIN_DIR);

    void SetUp() override
    {
        if (m_x.Name().isEmpty())
            GTEST_SKIP() << "no Xvfb";
        ASSERT_TRUE(m_session.IsValid());
        m_env = m_session.DesktopEnvironment(m_x.Name());
        m_probe = std::make_unique<hkt::testfixtures::XDisplayProbe>(m_x.Name());
        ASSERT_TRUE(m_probe->IsValid());
        ASSERT_EQ(VMouse({QStringLiteral("start")}), 0);
    }
    void TearDown() override
    {
        if (m_x.Name().isEmpty())
            return;
        // The monitor the window started ends with its X server.
        if (auto w = hkt::platform::FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime()))
            hkt::platform::PostWindowMessage(w, WM_EXIT_PROGRAM, 0, 0);
        for (auto &p : m_procs)
            if (!p->waitForFinished(10000))
                p->kill();
        VMouse({QStringLiteral("stop")});
    }

    QString Runtime() const { return m_session.Runtime(); }
    QString MouseSocket() const { return m_session.MouseSocket(); }

    int Run(const QString &exe, const QStringList &args, QByteArray *out = nullptr, int ms = 30000)
    {
        return hkt::testfixtures::RunProgram(m_env, exe, args, out, ms);
    }
    int VMouse(const QStringList &args, QByteArray *out = nullptr)
    {
        return Run(kBin + "/hkt75-vmouse", QStringList{QStringLiteral("--socket"), MouseSocket()} + args, out);
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
    // The daemon's memory.
    std::vector<int> Dump(int addr, int len)
    {
        QByteArray out;
        if (VMouse({QStringLiteral("dump"), QString::number(addr), QString::number(len)}, &out) != 0)
            return {};
        return hkt::testfixtures::ParseMemoryDump(out);
    }
    // The daemon's log of reports, one line each.
    QList<QByteArray> MouseLog()
    {
        QByteArray out;
        if (VMouse({QStringLiteral("log")}, &out) != 0)
            return {};
        return out.split('\n');
    }

    std::shared_ptr<hkt::platform::DirectoryValueStore> Store() const
    {
        return std::make_shared<hkt::platform::DirectoryValueStore>(m_session.StoreRoot());
    }
    // A data module over the stores the programs use.
    std::unique_ptr<TDM> DataModule() const
    {
        return std::make_unique<TDM>(TDMRoots{Store(), kBin, m_session.Documents()});
    }

    // The first profile current in the stores and the display language at
    // `language` (its position in the language file: 0 English, 1 Chinese),
    // then HKT75 started, the monitor it starts awaited.
    QProcess &StartConfigOnFirstProfile(int language = 0)
    {
        {
            auto dm = DataModule();
            EXPECT_TRUE(dm->SwitchToProfile(0));
            dm->FAllProfileSettingInfo.CurrentLanguage = std::uint8_t(language);
            EXPECT_TRUE(dm->SaveBackAllProfileSettingInfo());
        }
        QProcess &config = Start(kBin + "/HKT75");
        EXPECT_TRUE(hkt::testfixtures::WaitFor(
            [&] { return bool(hkt::platform::FindWindowByClass(QStringLiteral("THKT75CFGMAIN"), Runtime())); }));
        // The window started the monitor.
        EXPECT_TRUE(hkt::testfixtures::WaitFor(
            [&] { return bool(hkt::platform::FindWindowByClass(QStringLiteral("THKT75MONMAIN"), Runtime())); }));
        return config;
    }

    // The program's shown windows: the main window, and its dialogs and
    // menus while open.
    std::vector<hkt::testfixtures::XDisplayProbe::Window> Shown() { return m_probe->Shown(QStringLiteral("HKT75")); }
    // The main window's X id, as xdotool takes it (waits until it is shown);
    // empty when it never was.
    QString MainWindow()
    {
        std::uint32_t id = 0;
        hkt::testfixtures::WaitFor([&] {
            for (const auto &w : Shown())
                if (w.geometry.size() == QSize(801, 638))
                    id = w.id;
            return id != 0;
        }, 20000);
        return id ? QString::number(id) : QString();
    }
    // The program's visible X windows as xdotool lists them (the main window,
    // and its dialogs while open).
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
        for (const QString &root : {m_session.ConfigHome(), m_session.Home()}) {
            QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                QFile f(path);
                files[path] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
            }
        }
        return files;
    }
    // The window has one more shown window than `before`: its id (the last
    // such window of `size` when given).
    std::uint32_t AwaitNewWindow(std::size_t before, QSize size = QSize())
    {
        std::uint32_t id = 0;
        hkt::testfixtures::WaitFor([&] {
            const auto shown = Shown();
            if (shown.size() <= before)
                return false;
            for (const auto &w : shown)
                if (w.geometry.size() != QSize(801, 638) && (size.isEmpty() || w.geometry.size() == size))
                    id = w.id;
            return id != 0;
        }, 20000);
        return id;
    }
    // With HKT75_SHOT_DIR set, the whole screen is saved there as
    // <name>.png, for a person to look at.
    void Shot(const QString &name)
    {
        const QString dir = qEnvironmentVariable("HKT75_SHOT_DIR");
        if (dir.isEmpty())
            return;
        QDir().mkpath(dir);
        Run(QStringLiteral("import"), {QStringLiteral("-display"), m_x.Name(), QStringLiteral("-window"),
                                       QStringLiteral("root"), dir + QLatin1Char('/') + name + QStringLiteral(".png")});
    }
    // The title an X window carries.
    QString WindowName(std::uint32_t id)
    {
        QByteArray name;
        Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::number(id)}, &name, 20000);
        return QString::fromUtf8(name).trimmed();
    }
    // The X window that has the keyboard.
    std::uint32_t FocusWindow()
    {
        QByteArray id;
        Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}, &id, 20000);
        return id.trimmed().toUInt();
    }
    // xdotool with its arguments; true when it succeeded.
    bool XDo(const QStringList &args) { return Run(QStringLiteral("xdotool"), args, nullptr, 20000) == 0; }
    // A left click at (x, y) of the window `window`.
    bool ClickAt(const QString &window, int x, int y, int button = 1)
    {
        return XDo({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                    QString::number(y), QStringLiteral("click"), QString::number(button)});
    }
    // APPLY, clicked on the real window.
    bool ClickApply()
    {
        const QString window = MainWindow();
        return !window.isEmpty() && ClickAt(window, 742, 92);
    }
    bool SwitchOnTheMouse(int profile)
    {
        return VMouse({QStringLiteral("profile"), QString::number(profile)}) == 0;
    }
    // "ProfileID" as the monitor stored it; -1 when unreadable.
    int StoredProfileID()
    {
        QByteArray id;
        if (Store()->ReadValue(QStringLiteral("software\\HKT75GM"), QStringLiteral("ProfileID"), id) !=
                hkt::platform::ReadStatus::Ok ||
            id.size() != 4)
            return -1;
        return int(std::uint8_t(id[0])) | int(std::uint8_t(id[1])) << 8 | int(std::uint8_t(id[2])) << 16 |
               int(std::uint8_t(id[3])) << 24;
    }
    // The profile the window stored as its current one.
    int WindowProfile()
    {
        auto dm = DataModule();
        dm->LoadAllProfileInfoFromRegistry();
        return dm->FAllProfileSettingInfo.CurrentGame;
    }

    hkt::testfixtures::PrivateXServer m_x;
    hkt::testfixtures::PrivateSession m_session;
    std::unique_ptr<hkt::testfixtures::XDisplayProbe> m_probe;
    QProcessEnvironment m_env;
    std::vector<std::unique_ptr<QProcess>> m_procs;
};

// The same in each display language: the parameter is the language's
// position in the language file (0 English, 1 Chinese).
class ConfigEndToEndInLanguage : public ConfigEndToEnd, public ::testing::WithParamInterface<int> {
protected:
    // The language's identifier, for the names of screenshots.
    QString LanguageTag() const { return GetParam() == 0 ? QStringLiteral("0409") : QStringLiteral("0804"); }
    // HKT75 started in the language; its main window's X id (empty when it
    // never showed).
    QString StartInLanguage()
    {
        StartConfigOnFirstProfile(GetParam());
        return HasFailure() ? QString() : MainWindow();
    }
};

inline std::string LanguageName(const ::testing::TestParamInfo<int> &i)
{
    return i.param == 0 ? std::string("English") : std::string("Chinese");
}

} // namespace hkt::testapp
