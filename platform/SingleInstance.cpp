#include "platform/SingleInstance.h"

#include "platform/WindowMessages.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace hkt::platform {

SingleInstance::~SingleInstance()
{
    Release();
}

bool SingleInstance::Acquire(const QString &className, const QString &root)
{
    m_problem.clear();
    if (m_fd >= 0)
        return true;
    if (className.isEmpty() || className.contains(QLatin1Char('/'))) {
        m_problem = QStringLiteral("no lock can be named for the class \"%1\"").arg(className);
        return false;
    }
    const PrivateFolder folder = OpenMessageFolder(root);
    if (!folder) {
        m_problem = folder.problem;
        return false;
    }
    return AcquireFile(folder.path + className + QStringLiteral(".lock"));
}

bool SingleInstance::AcquireFile(const QString &lockPath)
{
    m_problem.clear();
    if (m_fd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(lockPath);
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_problem = QStringLiteral("lock file %1 cannot be opened: %2")
                        .arg(lockPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void SingleInstance::Release()
{
    // The lock file stays: removing it would let a third process lock a new
    // file while a second still waits on the old one.
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::optional<int> StartSingleInstance(SingleInstance &instance, const QString &className, const char *program,
                                       const QString &root)
{
    if (instance.Acquire(className, root))
        return std::nullopt;
    if (instance.Problem().isEmpty())
        return 0;
    std::fprintf(stderr, "%s: %s\n", program, qUtf8Printable(instance.Problem()));
    return 1;
}

} // namespace hkt::platform
