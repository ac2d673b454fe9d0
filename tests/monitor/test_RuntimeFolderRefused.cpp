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
#include <ranges>
#include <vector>

#include <sys/stat.h>
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
    // here) ends on the lock ours holds; ours stays until it has, or it
    // would take the lock and outlive the test.
    std::vector<qint64> own;
    for (auto &proc : running)
        own.push_back(proc->processId());
    const QByteArray entry = "TMPDIR=" + deep.toLocal8Bit();
    QDeadlineTimer limit(30000);
    while (OthersWithEnvironment(entry, own) > 0 && !limit.hasExpired())
        QThread::msleep(50);
    EXPECT_EQ(OthersWithEnvironment(entry, own), 0) << "a monitor started by HKT75 runs on";
    for (auto &proc : std::ranges::reverse_view(running)) {
        proc->terminate();
        if (!proc->waitForFinished(30000))
            proc->kill();
    }
    for (std::size_t i = 0; i < errors.size(); ++i) {
        errors[i] += QString::fromLocal8Bit(running[i]->readAllStandardError());
        EXPECT_EQ(errors[i].count(programs[i].line), 1) << programs[i].name << ": " << errors[i].toStdString();
    }
}

} // namespace
