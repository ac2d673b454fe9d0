#pragma once
// The harness of the end-to-end tests that start the real programs: waiting
// on a condition, running a program to its end, and a private user session
// (its own runtime, settings and home folders, the simulated mouse's socket)
// so that nothing a test starts sees the user's settings, sockets or mouse.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <vector>

namespace hkt::testfixtures {

// Polls `pred` until it holds. The limit is a cap so that a broken build
// fails instead of hanging, not an expectation about speed.
inline bool WaitFor(const std::function<bool()> &pred, int limitMs = 30000, int stepMs = 50)
{
    QDeadlineTimer limit(limitMs);
    while (!pred()) {
        if (limit.hasExpired())
            return false;
        QThread::msleep(static_cast<unsigned long>(stepMs));
    }
    return true;
}

// Runs `exe` to its end in `env`: its exit code, or -1 when it crashed or did
// not end within `limitMs` (it is then killed). `out` takes its standard output.
inline int RunProgram(const QProcessEnvironment &env, const QString &exe, const QStringList &args,
                      QByteArray *out = nullptr, int limitMs = 30000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(exe, args);
    if (!p.waitForFinished(limitMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The bytes of hkt75-vmouse's "dump" output ("ADDR: b b b ..." lines).
inline std::vector<int> ParseMemoryDump(const QByteArray &out)
{
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

// A user session of our own under one temporary folder:
//   run/             XDG_RUNTIME_DIR (mode 0700, as the programs require)
//   config/          XDG_CONFIG_HOME (the value store under hkt75/registry)
//   home/Documents/  HOME and its documents folder (profile files, macros)
// and the simulated mouse's socket run/vm.sock; its desktop speaks English.
class PrivateSession {
public:
    explicit PrivateSession(const QString &tempTemplate = QString())
        : m_tmp(tempTemplate.isEmpty() ? QDir::tempPath() + QStringLiteral("/hkt-e2e-XXXXXX") : tempTemplate)
    {
        if (!m_tmp.isValid())
            return;
        for (const QString &d : {Runtime(), ConfigHome(), Documents()})
            QDir().mkpath(d);
        QFile::setPermissions(Runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    PrivateSession(const PrivateSession &) = delete;
    PrivateSession &operator=(const PrivateSession &) = delete;

    bool IsValid() const { return m_tmp.isValid(); }
    QString Root() const { return m_tmp.path(); }
    QString Runtime() const { return Root() + QStringLiteral("/run"); }
    QString ConfigHome() const { return Root() + QStringLiteral("/config"); }
    QString Home() const { return Root() + QStringLiteral("/home"); }
    // With a trailing separator, as the data module takes it.
    QString Documents() const { return Home() + QStringLiteral("/Documents/"); }
    QString MouseSocket() const { return Runtime() + QStringLiteral("/vm.sock"); }
    // The folder of the per-user value store the programs write.
    QString StoreRoot() const { return ConfigHome() + QStringLiteral("/hkt75/registry"); }

    // `base` with this session's folders and the simulated mouse at
    // `mouseSocket` (MouseSocket() when empty) as the HID backend.
    QProcessEnvironment Environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment(),
                                    const QString &mouseSocket = QString()) const
    {
        base.insert(QStringLiteral("XDG_RUNTIME_DIR"), Runtime());
        base.insert(QStringLiteral("XDG_CONFIG_HOME"), ConfigHome());
        base.insert(QStringLiteral("HOME"), Home());
        base.insert(QStringLiteral("HKT75_HID"),
                    QStringLiteral("sim:") + (mouseSocket.isEmpty() ? MouseSocket() : mouseSocket));
        // An English desktop whatever the machine's: a fresh store takes the
        // desktop's language. A test wanting another sets these itself.
        for (const char *var : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
            base.remove(QString::fromLatin1(var));
        base.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        return base;
    }
    // The same on the X display `display` (Qt's X platform), with no sound
    // server and the desktop's settings kept in GIO's memory, never the user's.
    QProcessEnvironment DesktopEnvironment(const QString &display,
                                           const QString &mouseSocket = QString()) const
    {
        QProcessEnvironment env = Environment(QProcessEnvironment::systemEnvironment(), mouseSocket);
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("memory"));
        env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + Runtime() + QStringLiteral("/no-pulse"));
        return env;
    }

private:
    QTemporaryDir m_tmp;
};

} // namespace hkt::testfixtures
