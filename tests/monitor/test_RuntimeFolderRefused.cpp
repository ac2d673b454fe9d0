// The programs with the per-user runtime folder in the shared temporary
// folder (no XDG_RUNTIME_DIR), where another local user got there first, or
// so deep that no window's socket fits in it.
#include <QDir>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How many processes other than `own` run with `entry` in their environment.
int OthersWithEnvironment(const QByteArray &entry, const std::vector<qint64> &own)
{
    int n = 0;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 id = pid.toLongLong(&number);
        if (!number || std::find(own.begin(), own.end(), id) != own.end())
            continue;
        QFile f(QStringLiteral("/proc/") + pid + QStringLiteral("/environ"));
        if (f.open(QIODevice::ReadOnly) && f.readAll().split('\0').contains(entry))
            ++n;
    }
    return n;
}

// The children of this process named `name` that have ended and are not yet
// collected. A program that a child of ours started detached becomes our
// child once its starter's intermediate process is gone (we are the reaper
// of our descendants), so its end stays visible here however quickly it came.
std::vector<pid_t> EndedChildren(const QByteArray &name)
{
    std::vector<pid_t> ended;
    const QByteArray self = QByteArray::number(::getpid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const pid_t id = pid_t(pid.toInt(&number));
        if (!number)
            continue;
        QFile f(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold spaces and brackets.
        const QByteArray stat = f.readAll();
        const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (stat.mid(open + 1, close - open - 1) == name && fields.size() > 1 && fields[0] == "Z" &&
            fields[1] == self)
            ended.push_back(id);
    }
    return ended;
}

const QString kBin = QStringLiteral(HKT75_BIN_DIR);

struct Outcome {
    int exitCode = -1;
    QString errors;
};

class RuntimeFolderRefused : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(Victim()));
        ASSERT_TRUE(QDir().mkpath(m_tmp.path() + "/config"));
        ASSERT_EQ(::chmod(QFile::encodeName(Victim()).constData(), 0755), 0);
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        m_env.insert(QStringLiteral("TMPDIR"), m_tmp.path());
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_tmp.path() + "/config");
        m_env.insert(QStringLiteral("HOME"), m_tmp.path() + "/victim");
        m_env.insert(QStringLiteral("HKT75_HID"), QStringLiteral("sim"));
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }

    QString Victim() const { return m_tmp.path() + "/victim"; }
    QString PerUid() const { return m_tmp.path() + QStringLiteral("/hkt75-%1").arg(::getuid()); }

    Outcome Start(const QString &program, const QStringList &args = {})
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(kBin + "/" + program, args);
        Outcome r;
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.errors = QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }

    void ExpectRefused(const Outcome &r, const char *program, const char *fault)
    {
        EXPECT_NE(r.exitCode, 0) << program;
        EXPECT_NE(r.exitCode, -1) << program << " did not end by itself";
        EXPECT_TRUE(r.errors.contains(PerUid() + " " + fault)) << program << ": " << r.errors.toStdString();
        EXPECT_EQ(r.errors.trimmed().count('\n'), 0) << "one line: " << r.errors.toStdString();
        mode_t mode = 0;
        struct stat st {};
        if (::stat(QFile::encodeName(Victim()).constData(), &st) == 0)
            mode = st.st_mode & 07777;
        EXPECT_EQ(mode, 0755u) << "the victim's folder keeps its mode";
        EXPECT_TRUE(QDir(Victim()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty())
            << "no socket or lock lands in the victim's folder";
    }

    QTemporaryDir m_tmp;
    QProcessEnvironment m_env;
};

TEST_F(RuntimeFolderRefused, ALinkToAnotherFolderEndsBothProgramsWithOneLine)
{
    ASSERT_TRUE(QFile::link(Victim(), PerUid()));
    ExpectRefused(Start("HKT75MON"), "HKT75MON", "is a symbolic link");
    ExpectRefused(Start("hkt75-vmouse", {"start"}), "hkt75-vmouse", "is a symbolic link");
}

TEST_F(RuntimeFolderRefused, ARegularFileEndsBothProgramsWithOneLine)
{
    QFile f(PerUid());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ExpectRefused(Start("HKT75MON"), "HKT75MON", "is not a folder");
    ExpectRefused(Start("hkt75-vmouse", {"start"}), "hkt75-vmouse", "is not a folder");
}

// A runtime folder deep enough that no socket address can name a window in
// it: the lock works, the window cannot be registered. Each program runs on
// and says so in one line (the other program cannot reach it).
TEST_F(RuntimeFolderRefused, AWindowThatCannotBeRegisteredIsSaidInOneLineByBothPrograms)
{
    const QString deep = m_tmp.path() + "/" + QString(100, QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(deep));
    m_env.insert(QStringLiteral("TMPDIR"), deep);
    struct Program {
        const char *name;
        QString line;
    };
    const Program programs[] = {
        {"HKT75MON", QStringLiteral("HKT75MON: the window cannot be registered; the configuration program cannot reach it")},
        {"HKT75", QStringLiteral("HKT75: the window cannot be registered; the monitor cannot reach it")},
    };
    // The monitor HKT75 starts is started detached: with us as the reaper of
    // our descendants it becomes our child, and its end can be waited for.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    struct NoLongerReaper {
        ~NoLongerReaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
    } noLongerReaper;
    // The monitor first: the one HKT75 starts then ends at once on its lock.
    std::vector<std::unique_ptr<QProcess>> running;
    std::vector<QString> errors;
    for (const Program &p : programs) {
        running.push_back(std::make_unique<QProcess>());
        QProcess &proc = *running.back();
        proc.setProcessEnvironment(m_env);
        proc.start(kBin + "/" + p.name, {});
        ASSERT_TRUE(proc.waitForStarted(30000)) << p.name;
        QString err;
        for (int i = 0; i < 600 && !err.contains(p.line); ++i) {
            proc.waitForReadyRead(100);
            err += QString::fromLocal8Bit(proc.readAllStandardError());
        }
        EXPECT_EQ(proc.state(), QProcess::Running) << p.name << " runs on";
        errors.push_back(err);
    }
    // The monitor HKT75 started (it cannot find ours: no window is findable
    // here) ends on the lock ours holds, as a second monitor does: quietly,
    // with 0. Ours stays until it has, or it would take the lock and outlive
    // the test. HKT75 starts it once its window is shown, after the line
    // above; the wait is for that monitor's end, never for a moment in which
    // no monitor of HKT75's is seen.
    std::vector<pid_t> ended;
    QDeadlineTimer limit(30000);
    while ((ended = EndedChildren("HKT75MON")).empty() && !limit.hasExpired())
        QThread::msleep(20);
    ASSERT_EQ(ended.size(), 1u) << "HKT75 started no monitor, or its monitor runs on";
    int status = 0;
    ASSERT_EQ(::waitpid(ended.front(), &status, 0), ended.front());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the monitor started by HKT75: status " << status;
    std::vector<qint64> own;
    for (auto &proc : running)
        own.push_back(proc->processId());
    EXPECT_EQ(OthersWithEnvironment("TMPDIR=" + deep.toLocal8Bit(), own), 0) << "another monitor runs on";
    // In the reverse of their start: HKT75, then the monitor.
    for (auto proc = running.rbegin(); proc != running.rend(); ++proc) {
        (*proc)->terminate();
        if (!(*proc)->waitForFinished(30000))
            (*proc)->kill();
    }
    for (std::size_t i = 0; i < errors.size(); ++i) {
        errors[i] += QString::fromLocal8Bit(running[i]->readAllStandardError());
        EXPECT_EQ(errors[i].count(programs[i].line), 1) << programs[i].name << ": " << errors[i].toStdString();
    }
}

} // namespace
