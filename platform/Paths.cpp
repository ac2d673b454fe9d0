#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QtGlobal>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hkt::platform {

namespace {

// Folders pinned by tests; unset in the programs.
struct Pinned {
    std::optional<QString> program, documents, config, runtime;
};
Pinned &Pins()
{
    static Pinned p;
    return p;
}

QByteArray Native(const QString &path) { return QFile::encodeName(path); }

// Closes a descriptor on every path out of a function.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    Fd &operator=(Fd &&other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now and reports close's own result (a late write error shows here).
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

QString ParentOf(const QString &path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

} // namespace

QString WithTrailingSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString ProgramFolder()
{
    if (Pins().program)
        return WithTrailingSeparator(*Pins().program);
    // /proc/self/exe works before (and without) a QCoreApplication.
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return WithTrailingSeparator(QDir::currentPath());
    const QString exe = QFile::decodeName(QByteArray(buf, static_cast<int>(n)));
    return WithTrailingSeparator(ParentOf(exe));
}

void SetProgramFolder(std::optional<QString> folder) { Pins().program = std::move(folder); }

QString DocumentsFolder()
{
    if (Pins().documents)
        return WithTrailingSeparator(*Pins().documents);
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        docs = QDir::homePath() + QStringLiteral("/Documents");
    return WithTrailingSeparator(docs);
}

void SetDocumentsFolder(std::optional<QString> folder) { Pins().documents = std::move(folder); }

QString ConfigFolder()
{
    if (Pins().config)
        return WithTrailingSeparator(*Pins().config);
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return WithTrailingSeparator(base) + QStringLiteral("hkt75/");
}

void SetConfigFolder(std::optional<QString> folder) { Pins().config = std::move(folder); }

PrivateFolder MakePrivateFolder(const QString &folder, const QString &what)
{
    PrivateFolder result;
    // No trailing separator: "link/" would make the kernel follow the link
    // even with O_NOFOLLOW.
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const auto refuse = [&](const QString &why) {
        result.problem = QStringLiteral("%1 %2 %3").arg(what, path, why);
        return result;
    };
    if (path.isEmpty())
        return refuse(QStringLiteral("has no name"));
    const QString parent = ParentOf(path);
    if (!FolderExists(parent) && !EnsureFolder(parent, 0700))
        return refuse(QStringLiteral("cannot be made: its parent %1 cannot be created").arg(parent));
    const QByteArray native = Native(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return refuse(QStringLiteral("cannot be made: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    Fd fd(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        const int err = errno;
        struct stat lst {};
        if (err == ELOOP || (::lstat(native.constData(), &lst) == 0 && S_ISLNK(lst.st_mode)))
            return refuse(QStringLiteral("is a symbolic link, not a folder; refused"));
        if (err == ENOTDIR)
            return refuse(QStringLiteral("is not a folder; refused"));
        return refuse(QStringLiteral("cannot be opened: %1").arg(QString::fromLocal8Bit(std::strerror(err))));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return refuse(QStringLiteral("cannot be examined: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISDIR(st.st_mode))
        return refuse(QStringLiteral("is not a folder; refused"));
    if (st.st_uid != ::geteuid())
        return refuse(QStringLiteral("belongs to user %1, not to this user (%2); refused")
                          .arg(static_cast<qulonglong>(st.st_uid))
                          .arg(static_cast<qulonglong>(::geteuid())));
    if ((st.st_mode & 07777) != 0700)
        return refuse(QStringLiteral("has mode %1, not 0700 (private to its user); refused")
                          .arg(QStringLiteral("%1").arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'))));
    result.path = WithTrailingSeparator(path);
    return result;
}

QString RuntimeFolderPath()
{
    if (Pins().runtime)
        return WithTrailingSeparator(*Pins().runtime);
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty())
        return WithTrailingSeparator(QFile::decodeName(xdg)) + QStringLiteral("hkt75/");
    return WithTrailingSeparator(QDir::tempPath()) + QStringLiteral("hkt75-%1/").arg(static_cast<qulonglong>(::getuid()));
}

QByteArray RuntimeFolderPathInputs()
{
    QByteArray key = Pins().runtime ? Pins().runtime->toUtf8() : QByteArray();
    key += '\0';
    key += qgetenv("XDG_RUNTIME_DIR");
    key += '\0';
    key += qgetenv("TMPDIR");
    key += Pins().runtime ? '1' : '0';
    return key;
}

PrivateFolder OpenRuntimeFolder()
{
    return MakePrivateFolder(RuntimeFolderPath(), QStringLiteral("runtime folder"));
}

QString RuntimeFolder()
{
    return OpenRuntimeFolder().path;
}

void SetRuntimeFolder(std::optional<QString> folder) { Pins().runtime = std::move(folder); }

bool FolderExists(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    struct stat st {};
    return ::stat(Native(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::lstat(Native(path).constData(), &st) == 0;
}

bool MakeFolder(const QString &folder, mode_t mode)
{
    if (folder.isEmpty())
        return false;
    if (::mkdir(Native(folder).constData(), mode) == 0)
        return true;
    return errno == EEXIST && FolderExists(folder);
}

bool EnsureFolder(const QString &folder, mode_t mode)
{
    if (folder.isEmpty())
        return false;
    if (FolderExists(folder))
        return true;
    // Walk down from the root, creating each missing level in turn.
    const QString path = folder.endsWith(QLatin1Char('/')) && folder.size() > 1 ? folder.chopped(1) : folder;
    int from = path.startsWith(QLatin1Char('/')) ? 1 : 0;
    while (from <= path.size()) {
        int slash = path.indexOf(QLatin1Char('/'), from);
        if (slash < 0)
            slash = static_cast<int>(path.size());
        const QString level = path.left(slash);
        if (!level.isEmpty() && !level.endsWith(QLatin1Char('/')) && !MakeFolder(level, mode))
            return false;
        from = slash + 1;
    }
    return FolderExists(folder);
}

bool IsPlainName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() == 0)
            return false;
    return true;
}

ReadStatus ReadFileBounded(const QString &path, QByteArray &out, qint64 maxBytes)
{
    if (path.isEmpty())
        return ReadStatus::Missing;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type test
    // below refuses it anyway.
    Fd fd(::open(Native(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return ReadStatus::Failed;
    if (!S_ISREG(st.st_mode))
        return ReadStatus::NotRegular;
    if (st.st_size > maxBytes)
        return ReadStatus::TooLarge;

    // The file may grow while it is read: never take more than the bound.
    QByteArray data;
    data.resize(static_cast<qsizetype>(st.st_size));
    qint64 have = 0;
    for (;;) {
        if (have == data.size()) {
            if (have > maxBytes)
                return ReadStatus::TooLarge;
            data.resize(static_cast<qsizetype>(qMin<qint64>(maxBytes + 1, have + 64 * 1024)));
            if (have == data.size())
                return ReadStatus::TooLarge;
        }
        const ssize_t n = ::read(fd.get(), data.data() + have, static_cast<size_t>(data.size() - have));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ReadStatus::Failed;
        }
        if (n == 0)
            break;
        have += n;
    }
    if (have > maxBytes)
        return ReadStatus::TooLarge;
    data.resize(static_cast<qsizetype>(have));
    out = std::move(data);
    return ReadStatus::Ok;
}

namespace {

// The temporary names of one target: "." + the first 64 characters of its
// name + ".tmp-" + six characters from mkostemp.
QByteArray TemporaryPrefix(const QString &leaf)
{
    return Native(QLatin1Char('.') + leaf.left(64) + QStringLiteral(".tmp-"));
}

// Removes the temporaries that earlier, interrupted saves of this target
// left in `folder`. A save holds an exclusive flock on its temporary from
// creation until after its rename, so a temporary that can be locked here
// belongs to no running save: its writer died (or was killed) before the
// rename. One that is locked is another process's save in progress and is
// left alone.
void RemoveLeftTemporaries(const QString &folder, const QString &leaf)
{
    Fd dir(::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0)
        return;
    const int scan = ::dup(dir.get());
    if (scan < 0)
        return;
    DIR *d = ::fdopendir(scan);
    if (!d) {
        ::close(scan);
        return;
    }
    const QByteArray prefix = TemporaryPrefix(leaf);
    while (const dirent *e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        if (name.size() != prefix.size() + 6 || !name.startsWith(prefix))
            continue;
        Fd fd(::openat(dir.get(), e->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
        struct stat st {};
        if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Gone by now (renamed into place by a save that just ended): ENOENT.
        ::unlinkat(dir.get(), e->d_name, 0);
    }
    ::closedir(d);
}

} // namespace

bool WriteFileAtomic(const QString &path, const QByteArray &data, mode_t mode)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return false;
    const QString folder = ParentOf(path);
    const QString leaf = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    RemoveLeftTemporaries(folder, leaf);
    // The temporary name starts with '.', which no encoded value name and no
    // profile name the suite makes can start with, so it never shadows one.
    const QByteArray pattern = Native(WithTrailingSeparator(folder)) + TemporaryPrefix(leaf) + "XXXXXX";
    QByteArray tmpl;
    Fd fd;
    // Locked from the start, so no other save's clean-up takes it for a
    // left-over; a clean-up that removed it in the moment before the lock
    // leaves it unlinked, and a fresh one is made.
    for (int attempt = 0; attempt < 4 && fd.get() < 0; ++attempt) {
        tmpl = pattern;
        Fd made(::mkostemp(tmpl.data(), O_CLOEXEC));
        if (made.get() < 0) {
            qWarning("hkt75: cannot create a file in %s: %s", Native(folder).constData(), std::strerror(errno));
            return false;
        }
        struct stat st {};
        if (::flock(made.get(), LOCK_EX) != 0) {
            ::unlink(tmpl.constData());
            continue;
        }
        if (::fstat(made.get(), &st) != 0 || st.st_nlink == 0)
            continue;
        fd = Fd(made.release());
    }
    if (fd.get() < 0) {
        qWarning("hkt75: cannot create a file in %s that stays", Native(folder).constData());
        return false;
    }
    // The lock lives on this duplicate until after the rename: closing the
    // written descriptor (to see a late write error) must not end it.
    Fd lock(::dup(fd.get()));
    const auto fail = [&](const char *what) {
        const int err = errno;
        fd.reset();
        ::unlink(tmpl.constData());
        lock.reset();
        qWarning("hkt75: cannot write %s (%s): %s", Native(path).constData(), what, std::strerror(err));
        return false;
    };
    if (lock.get() < 0)
        return fail("lock");
    if (::fchmod(fd.get(), mode) != 0)
        return fail("mode");
    if (!WriteAll(fd.get(), data.constData(), data.size()))
        return fail("write");
    if (::fsync(fd.get()) != 0)
        return fail("flush");
    if (!fd.close())
        return fail("close");
    if (::rename(tmpl.constData(), Native(path).constData()) != 0)
        return fail("rename");
    lock.reset();
    // The new content is in place; flushing the folder makes the rename itself
    // survive a power loss. A failure here cannot undo the replacement, so it
    // is only reported.
    Fd dir(::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0)
        qWarning("hkt75: cannot flush folder %s: %s", Native(folder).constData(), std::strerror(errno));
    return true;
}

} // namespace hkt::platform
