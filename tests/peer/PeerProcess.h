#pragma once
// Drives hkt-test-peer from a test: start it with a private runtime root,
// read its lines, give it commands.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

class PeerProcess {
public:
    PeerProcess(const QString &root, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(HKT75_BIN_DIR "/hkt-test-peer"), args);
    }
    ~PeerProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // The next line the peer printed; empty when it printed nothing for 20 s.
    QString NextLine()
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(20000))
                return {};
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }

    void Command(const QString &line) { m_process.write((line + QLatin1Char('\n')).toUtf8()); m_process.waitForBytesWritten(5000); }
    QProcess &Process() { return m_process; }

private:
    QProcess m_process;
};
