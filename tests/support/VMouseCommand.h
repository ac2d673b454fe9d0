#pragma once
// Runs the real hkt75-vmouse command line against one socket, as a user or a
// run script would: its exit code, or -1 when it did not finish in time.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace hkt::testfixtures {

inline int VMouseCommand(const QString &socket, const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(HKT75_BIN_DIR "/hkt75-vmouse"), QStringList{QStringLiteral("--socket"), socket} + args);
    return p.waitForFinished(10000) ? p.exitCode() : -1;
}

} // namespace hkt::testfixtures
