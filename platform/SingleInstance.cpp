#include "platform/SingleInstance.h"

#include "platform/WindowMessages.h"

#include <QDir>
#include <QFile>

#include <cerrno>

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
    if (m_fd >= 0)
        return true;
    if (className.isEmpty() || className.contains(QLatin1Char('/')))
        return false;
    const QString folder = MessageFolder(root);
    if (folder.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(className + QStringLiteral(".lock")));
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
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

} // namespace hkt::platform
