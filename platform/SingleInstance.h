#pragma once
// One running instance per window class: an exclusive flock on
// <message folder>/<class>.lock. The kernel drops the lock when its holder
// dies, so a killed program never blocks the next start. The descriptor is
// close-on-exec: a program started by this one must not keep our lock alive.
// Take the lock before registering the window (MessageWindow::Register), so
// only the lock holder ever removes a stale socket.

#include <QString>

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
    void Release();
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace hkt::platform
