#pragma once
// One transfer to the mouse at a time across the user's programs. A memory
// read is two reports, the request and then the answer, and the mouse keeps
// one pending request: a request of another program landing between the two
// gives each the other's answer (or none). Both programs talk to the mouse
// (the configuration window for its writes and reads, the monitor for its
// read after reopening its readers), so each transfer holds an exclusive
// flock on <message folder>/device-transfer.lock for its duration.
//
// The lock is only ever held across one transfer, never across an event
// loop. A holder that is stopped or hangs mid-transfer is waited for up to a
// bound only; the transfer then goes ahead without the lock, as it would
// without a runtime folder (refused or unusable): nothing waits for good.

#include <chrono>

namespace hkt::platform {

inline constexpr std::chrono::milliseconds kDeviceTransferLockWait{1000};

class DeviceTransferLock {
public:
    explicit DeviceTransferLock(std::chrono::milliseconds wait = kDeviceTransferLockWait);
    ~DeviceTransferLock();
    DeviceTransferLock(const DeviceTransferLock &) = delete;
    DeviceTransferLock &operator=(const DeviceTransferLock &) = delete;

    // True when this object holds the lock (false: going ahead without it).
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

} // namespace hkt::platform
