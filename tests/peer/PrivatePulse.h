#pragma once
// A private PulseAudio server with one null source "test_mic", started for a
// test in its own runtime folder and ended with it. Usable() is false only
// when the server truly cannot start here.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/types.h>

class PrivatePulse {
public:
    PrivatePulse() : m_dir(QStringLiteral("/tmp/hkt-pa-XXXXXX")) { Start(); }
    ~PrivatePulse() { Stop(); }

    bool Usable() const { return m_running; }
    QString Folder() const { return m_dir.path(); }
    QString Socket() const { return m_dir.path() + QStringLiteral("/pulse/native"); }
    QString Server() const { return QStringLiteral("unix:") + Socket(); }
    QString Error() const { return m_error; }

    // pactl against this server; its standard output, trimmed.
    QString Pactl(const QStringList &args) const
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(QStringLiteral("pactl"), args);
        p.waitForFinished(20000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    bool SourceMuted(const QString &source) const
    {
        return Pactl({QStringLiteral("get-source-mute"), source}) == QStringLiteral("Mute: yes");
    }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("PULSE_SERVER"), Server());
        env.remove(QStringLiteral("PULSE_COOKIE"));
        return env;
    }

    void Start()
    {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return;
        }
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcess p;
        QProcessEnvironment env = Environment();
        env.remove(QStringLiteral("PULSE_SERVER"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("pulseaudio"),
                {QStringLiteral("-n"), QStringLiteral("--daemonize=yes"), QStringLiteral("--exit-idle-time=-1"),
                 QStringLiteral("--system=false"), QStringLiteral("--disallow-exit"),
                 QStringLiteral("--load=module-native-protocol-unix"),
                 QStringLiteral("--load=module-null-source source_name=test_mic")});
        if (!p.waitForFinished(30000) || p.exitCode() != 0) {
            m_error = QStringLiteral("pulseaudio: ") + QString::fromUtf8(p.readAllStandardError());
            return;
        }
        QDeadlineTimer limit(20000);
        while (!limit.hasExpired()) {
            if (Pactl({QStringLiteral("get-default-source")}) == QStringLiteral("test_mic")) {
                m_running = true;
                return;
            }
            QThread::msleep(20);
        }
        m_error = QStringLiteral("pulseaudio did not answer");
    }

    void Stop()
    {
        QFile pidFile(m_dir.path() + QStringLiteral("/pulse/pid"));
        if (!pidFile.open(QIODevice::ReadOnly))
            return;
        const pid_t pid = static_cast<pid_t>(pidFile.readAll().trimmed().toLong());
        if (pid <= 0)
            return;
        ::kill(pid, SIGTERM);
        QDeadlineTimer limit(10000);
        while (::kill(pid, 0) == 0 && !limit.hasExpired())
            QThread::msleep(10);
        if (::kill(pid, 0) == 0)
            ::kill(pid, SIGKILL);
        m_running = false;
    }

private:
    QTemporaryDir m_dir;
    bool m_running = false;
    QString m_error;
};
