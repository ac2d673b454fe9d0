#pragma once
// One program at a time talks to the mouse. A memory read is two reports,
// the request and then the answer, and the mouse keeps one pending request:
// a request of another program landing between the two gives each the
// other's answer (or none). Both programs talk to the mouse (the
// configuration window for its writes and reads, the monitor for its read
// after reopening its readers), so their transfers are serialised by an
// exclusive flock on the user's private runtime folder itself, the 0700
// folder the programs already check at start-up. Nobody can plant that
// (a symlink, a folder or a file left at a lock file's name would only
// have made each program lock something of its own).
//
// The lock is taken per run of transfers, not per transfer: an APPLY, a
// start-up read or a read pair waits at most once for another program.
// DeviceTransferRun is that run; the per-transfer DeviceTransferLock inside
// the transport is a run of one transfer for transfers made outside any run.
// Runs nest within a thread: an inner run (and every transfer inside) rides
// on the outermost one, taking nothing and waiting for nothing, whether the
// outermost one holds the lock or went ahead without it.
//
// A holder that is stopped or hangs is waited for up to a bound only; the
// run then goes ahead without the lock, as it does without a runtime folder
// (refused or unusable): nothing waits for good. A read that another
// program's request crossed meanwhile is caught by the transport, which
// takes only an answer that matches its request.
//
// A run that waits with the event loop running (a pause between writes, a
// dialog) lets the lock go for that time with a DeviceTransferPause, so the
// other program's transfers are not held up behind a person or a timer.
//
// Each thread has its own descriptor of the folder, opened and checked once
// and kept (close-on-exec) while the folder stays the same one, so two
// threads exclude each other as two programs do.

#include <chrono>
#include <cstdint>

namespace hkt::platform {

inline constexpr std::chrono::milliseconds kDeviceTransferLockWait{1000};

class DeviceTransferRun {
public:
    explicit DeviceTransferRun(std::chrono::milliseconds wait = kDeviceTransferLockWait);
    ~DeviceTransferRun();
    DeviceTransferRun(const DeviceTransferRun &) = delete;
    DeviceTransferRun &operator=(const DeviceTransferRun &) = delete;

    // True while this thread's transfers are serialised with the other
    // programs' (the outermost run holds the lock).
    bool Held() const;
    // True when the outermost run found the lock held by another program for
    // its whole wait (when it began, or when it took the lock back after a
    // pause) and went ahead without it.
    bool WaitedInVain() const;

    // Process-wide counts: outermost runs (per-transfer locks included) that
    // found the lock taken by another program and waited for it, and those
    // among them whose wait ran out.
    static std::uint64_t Waits();
    static std::uint64_t WaitsInVain();

private:
    bool m_outermost = false;
    bool m_waitedInVain = false;
    std::chrono::milliseconds m_wait;
    friend class DeviceTransferPause;
};

// A run of one transfer, taken by the transport around each transfer.
class DeviceTransferLock {
public:
    explicit DeviceTransferLock(std::chrono::milliseconds wait = kDeviceTransferLockWait) : m_run(wait) {}
    bool Held() const { return m_run.Held(); }

private:
    DeviceTransferRun m_run;
};

// While it lives, this thread's run (if any) lets the lock go and transfers
// made meanwhile are runs of their own; its end takes the lock back for the
// run, waiting at most the run's wait, and not at all once the run went ahead
// without the lock. No run: nothing.
class DeviceTransferPause {
public:
    DeviceTransferPause();
    ~DeviceTransferPause();
    DeviceTransferPause(const DeviceTransferPause &) = delete;
    DeviceTransferPause &operator=(const DeviceTransferPause &) = delete;

private:
    int m_depth = 0;  // the paused run's nesting; 0: nothing paused
    bool m_held = false;
    DeviceTransferRun *m_run = nullptr;  // the paused outermost run (not owned)
};

} // namespace hkt::platform
