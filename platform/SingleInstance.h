#pragma once
// One running instance per window class: an exclusive flock on
// <message folder>/<class>.lock. The kernel drops the lock when its holder
// dies, so a killed program never blocks the next start. The descriptor is
// close-on-exec: a program started by this one must not keep our lock alive.
// Take the lock before registering the window (MessageWindow::Register), so
// only the lock holder ever removes a stale socket.

#include <QString>

#include <optional>

namespace hkt::platform {

class SingleInstance {
public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when this process now holds the class's lock (or already did);
    // false when another process holds it or the folder is unusable.
    bool Acquire(const QString &className, const QString &root = {});
    // The same on a lock file named by the caller (one instance per socket,
    // say), in a folder the caller has made safe.
    bool AcquireFile(const QString &lockPath);
    void Release();
    bool Held() const { return m_fd >= 0; }
    // After a failed Acquire: empty when another process holds the lock,
    // otherwise one line saying why no lock could be taken (the folder was
    // refused, the lock file cannot be opened). A program ends non-zero with
    // this line; it must not take it for "already running".
    const QString &Problem() const { return m_problem; }

private:
    int m_fd = -1;
    QString m_problem;
};

// How a program that runs once per user starts: it takes the lock of its
// window class before anything else (and so before its window's stale socket
// is removed). nullopt: this process holds the lock and goes on. Otherwise
// the exit code to end with at once: 0 when another instance runs (it ends
// without a word), 1 when no lock could be taken at all, after one line
// "<program>: <why>" on stderr (a refused runtime folder is no second
// instance).
std::optional<int> StartSingleInstance(SingleInstance &instance, const QString &className, const char *program,
                                       const QString &root = {});

} // namespace hkt::platform
