#include "platform/DeviceTransferLock.h"

#include "platform/Paths.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QString>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace hkt::platform {

namespace {

// Counts the forks this process came out of: a child made by fork gets a copy
// of the parent's open folder, and so shares its lock, until it opens its own.
std::atomic<std::uint64_t> g_forks{0};
const int g_forkWatch = ::pthread_atfork(nullptr, nullptr, [] { g_forks.fetch_add(1); });

// This thread's descriptor of the runtime folder, kept once checked. A run
// takes it as it is while the path still leads to that same folder, still
// private (one lstat): only a folder made again, or the runtime folder moved,
// costs the full check and a new descriptor.
struct FolderHandle {
    int fd = -1;
    std::uint64_t forks = 0;
    QByteArray inputs;  // what the path was made of (RuntimeFolderPathInputs)
    QByteArray native;  // the folder, without a trailing separator
    dev_t dev = 0;
    ino_t ino = 0;
    uid_t uid = 0;

    FolderHandle() = default;
    FolderHandle(const FolderHandle &) = delete;
    FolderHandle &operator=(const FolderHandle &) = delete;
    ~FolderHandle() { Close(); }
    void Close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

struct RunState {
    FolderHandle folder;
    int depth = 0;      // runs open in this thread
    bool held = false;  // the outermost run holds the lock
    DeviceTransferRun *outermost = nullptr;
};

thread_local RunState t_state;

std::atomic<std::uint64_t> g_waits{0};
std::atomic<std::uint64_t> g_waitsInVain{0};

bool StillThere(const FolderHandle &f, const QByteArray &inputs)
{
    if (f.fd < 0 || f.forks != g_forks.load() || f.inputs != inputs)
        return false;
    struct stat st {};
    return ::lstat(f.native.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_dev == f.dev &&
           st.st_ino == f.ino && st.st_uid == f.uid && (st.st_mode & 07777) == 0700;
}

// The descriptor to lock, -1 when the runtime folder is refused or unusable.
int FolderDescriptor()
{
    Q_UNUSED(g_forkWatch);
    FolderHandle &f = t_state.folder;
    const QByteArray inputs = RuntimeFolderPathInputs();
    if (StillThere(f, inputs))
        return f.fd;
    f.Close();
    // Made when missing; a symlink, a file, another user's folder or one
    // open to others is refused.
    const PrivateFolder checked = OpenRuntimeFolder();
    if (!checked)
        return -1;
    QString folder = checked.path;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);  // "link/" would be followed even with O_NOFOLLOW
    const QByteArray native = QFile::encodeName(folder);
    int fd;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    // What was checked by name is checked again through the descriptor: the
    // folder may have been swapped in between.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 07777) != 0700) {
        ::close(fd);
        return -1;
    }
    f.fd = fd;
    f.forks = g_forks.load();
    f.inputs = inputs;
    f.native = native;
    f.dev = st.st_dev;
    f.ino = st.st_ino;
    f.uid = st.st_uid;
    return fd;
}

bool TryLock(int fd)
{
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

enum class Taken { Held, WaitedInVain, NotLocked };

// Takes the lock for this thread's outermost run.
Taken Take(std::chrono::milliseconds wait)
{
    const int fd = FolderDescriptor();
    if (fd < 0)
        return Taken::NotLocked;
    if (TryLock(fd))
        return Taken::Held;
    if (errno != EWOULDBLOCK)
        return Taken::NotLocked;
    g_waits.fetch_add(1, std::memory_order_relaxed);
    // Polled rather than blocking: a holder that never lets go (stopped by a
    // signal mid-run) must not stop this program with it.
    const QDeadlineTimer limit(wait);
    for (;;) {
        if (limit.hasExpired()) {
            g_waitsInVain.fetch_add(1, std::memory_order_relaxed);
            return Taken::WaitedInVain;
        }
        const timespec pause{0, 200 * 1000};
        ::nanosleep(&pause, nullptr);
        if (TryLock(fd))
            return Taken::Held;
        if (errno != EWOULDBLOCK)
            return Taken::NotLocked;
    }
}

void Release()
{
    // Unlocked, not closed: the descriptor serves the next run.
    if (t_state.held)
        ::flock(t_state.folder.fd, LOCK_UN);
    t_state.held = false;
}

} // namespace

DeviceTransferRun::DeviceTransferRun(std::chrono::milliseconds wait) : m_wait(wait)
{
    if (t_state.depth++ > 0)
        return;  // rides on the outermost run
    m_outermost = true;
    t_state.outermost = this;
    const Taken taken = Take(wait);
    t_state.held = taken == Taken::Held;
    m_waitedInVain = taken == Taken::WaitedInVain;
}

DeviceTransferRun::~DeviceTransferRun()
{
    if (m_outermost) {
        Release();
        t_state.outermost = nullptr;
    }
    --t_state.depth;
}

bool DeviceTransferRun::Held() const
{
    return t_state.depth > 0 && t_state.held;
}

bool DeviceTransferRun::WaitedInVain() const
{
    if (m_outermost)
        return m_waitedInVain;
    return t_state.outermost && t_state.outermost->m_waitedInVain;
}

std::uint64_t DeviceTransferRun::Waits()
{
    return g_waits.load(std::memory_order_relaxed);
}

std::uint64_t DeviceTransferRun::WaitsInVain()
{
    return g_waitsInVain.load(std::memory_order_relaxed);
}

DeviceTransferPause::DeviceTransferPause()
{
    if (t_state.depth == 0 || !t_state.outermost)
        return;
    m_depth = t_state.depth;
    m_held = t_state.held;
    m_run = t_state.outermost;
    Release();
    t_state.depth = 0;
    t_state.outermost = nullptr;
}

DeviceTransferPause::~DeviceTransferPause()
{
    if (m_depth == 0)
        return;
    t_state.depth = m_depth;
    t_state.outermost = m_run;
    // A run that went ahead without the lock goes on so: it has waited once.
    if (!m_held)
        return;
    const Taken taken = Take(m_run->m_wait);
    t_state.held = taken == Taken::Held;
    if (taken == Taken::WaitedInVain)
        m_run->m_waitedInVain = true;
}

} // namespace hkt::platform
