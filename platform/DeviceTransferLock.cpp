#include "platform/DeviceTransferLock.h"

#include "platform/WindowMessages.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

namespace hkt::platform {

DeviceTransferLock::DeviceTransferLock(std::chrono::milliseconds wait)
{
    const PrivateFolder folder = OpenMessageFolder();
    if (!folder)
        return;
    const QByteArray path = QFile::encodeName(folder.path + QStringLiteral("device-transfer.lock"));
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return;
    // Polled rather than blocking: a holder that never lets go (stopped by a
    // signal mid-transfer) must not stop this program with it.
    const QDeadlineTimer limit(wait);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (limit.hasExpired())
            break;
        const timespec pause{0, 200 * 1000};
        ::nanosleep(&pause, nullptr);
    }
    ::close(fd);
}

DeviceTransferLock::~DeviceTransferLock()
{
    // Closing the only descriptor of the open file lets the lock go. The file
    // stays: removing it would let a third program lock a new file while a
    // second still waits on the old one.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace hkt::platform
