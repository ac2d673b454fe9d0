#pragma once
// A private Xvfb for the length of one test: its own display number, no TCP,
// gone with the object. Name() is empty when no X server could be started.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace hkt::testfixtures {

class PrivateXServer {
public:
    // `screen` is the size of its one screen, as Xvfb takes it.
    explicit PrivateXServer(const QString &screen = QStringLiteral("1280x1024x24"))
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            return;
        for (int attempt = 0; attempt < 5 && m_name.isEmpty(); ++attempt) {
            const int number = 300 + (::getpid() * 7 + attempt * 13) % 600;
            const QString name = QStringLiteral(":%1").arg(number);
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            if (QFileInfo::exists(socket))
                continue; // another server's display
            m_server.start(xvfb, {name, QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset"), QStringLiteral("-screen"),
                                  QStringLiteral("0"), screen});
            if (!m_server.waitForStarted(5000))
                continue;
            for (int i = 0; i < 100; ++i) {
                // Ours listens once its socket is there and the display's
                // lock names our process (not a server another test started
                // on the same number a moment earlier).
                if (QFileInfo::exists(socket) && LockHolder(number) == m_server.processId()) {
                    m_name = name;
                    break;
                }
                if (m_server.state() != QProcess::Running)
                    break;
                QThread::msleep(50);
            }
            if (m_name.isEmpty()) {
                m_server.kill();
                m_server.waitForFinished(2000);
            }
        }
    }
    ~PrivateXServer()
    {
        m_server.terminate();
        m_server.waitForFinished(3000);
    }
    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    const QString &Name() const { return m_name; }

private:
    static qint64 LockHolder(int number)
    {
        QFile lock(QStringLiteral("/tmp/.X%1-lock").arg(number));
        if (!lock.open(QIODevice::ReadOnly))
            return -1;
        return lock.readAll().trimmed().toLongLong();
    }

    QProcess m_server;
    QString m_name;
};

} // namespace hkt::testfixtures
