#pragma once
// The one gate every device-writing action of the configuration window goes
// through (APPLY, OK, a profile switch, a DPI level, a colour preview,
// RESTORE, RESET ALL, LOAD FILE, ...).
//
// A sequence of device writes waits between its writes with the message loop
// running, so the window keeps painting and timers tick. busyChanged() tells
// the window when a sequence runs: it then takes no user input
// (RunInputLock.h) and holds the monitor's messages until the end
// (PendingMessages.h). Whatever still reaches the gate during those waits
// (a timer, code of the window) could start a second sequence whose writes
// interleave with the first one's (inside the mouse's write bracket, or
// switching the current profile mid-APPLY). So:
//  - Run() starts a sequence only when none runs, and refuses it otherwise;
//  - RunOrQueue() runs it at once, or right after the running one ends
//    (for requests that must not be lost, such as a profile switch that
//    the mouse itself already made);
//  - Busy() tells widgets to grey out the actions that would be refused.
// A sequence may call Run for a nested step of its own (a profile switch
// inside RESET ALL): a call made directly by the running sequence runs at
// once, while a call that reaches the gate from the event loop during one of
// the sequence's waits (Pump, Wait, or a WaitScope around a modal dialog) is
// refused or queued.
// The waits are Pump() (one round of pending events) and Wait() (events for
// the pause between writes, 100 ms in the program); they never block the
// loop. The traffic to the mouse is whatever the sequence sends, unchanged.

#include "core/kwHIDData.h"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>

class TDM;

class TDeviceWriteGuard : public QObject {
    Q_OBJECT
public:
    // The data module and HID component must outlive the guard. RuntimeRoot
    // locates the monitor's window (empty: the user's runtime folder).
    TDeviceWriteGuard(TDM &ADM, TkwHIDData &AHID, QString ARuntimeRoot = QString(), QObject *AParent = nullptr);

    TkwHIDData &HID() { return FHID; }
    bool Busy() const { return FDepth > 0; }
    // True while the running sequence waits with the event loop running.
    bool Waiting() const { return FWaitDepth > 0; }

    // Runs Sequence now unless another sequence runs; false (nothing run)
    // when refused.
    bool Run(const std::function<void()> &Sequence);
    // Runs Sequence now, or after the running sequence (and those queued
    // before it) ended. True when it ran now.
    bool RunOrQueue(std::function<void()> Sequence);
    int QueuedCount() const { return int(FQueue.size()); }

    // ProcessPendingMessages: one round of pending events.
    void Pump();
    // ProcessMessagesAndWait: pending events, then the pause between writes
    // with the loop running.
    void Wait();
    // Marks a nested event loop inside a sequence (a modal dialog, a file
    // dialog) as a wait, so what the loop delivers cannot start a sequence.
    class WaitScope {
    public:
        explicit WaitScope(TDeviceWriteGuard &AGuard) : FGuard(AGuard) { ++FGuard.FWaitDepth; }
        ~WaitScope() { --FGuard.FWaitDepth; }
        WaitScope(const WaitScope &) = delete;
        WaitScope &operator=(const WaitScope &) = delete;

    private:
        TDeviceWriteGuard &FGuard;
    };

    void SetWaitMs(int AMs) { FWaitMs = AMs < 0 ? 0 : AMs; }
    int WaitMs() const { return FWaitMs; }

    // The refresh command {1, 0}, the pause, then WM_PROFILE_CHANGED (1, the
    // current profile) sent to the monitor. Returns the refresh's result.
    std::uint32_t SendRefreshAndNotify();
    // WM_PROFILE_CHANGED (1, the current profile) sent to the monitor's
    // window; lost when the monitor does not run.
    void NotifyMonitorProfileChanged();
    const QString &RuntimeRoot() const { return FRuntimeRoot; }

    // The window's own writes of the mouse's active profile (APPLY, a profile
    // switch), counted, with the profile the last one wrote. A switch the
    // mouse made is judged by them: the mouse on another profile than the
    // switch says has either moved on by itself, or been put back by one of
    // these writes after the switch was reported (APPLY writes the window's
    // profile as active).
    void NoteActiveProfileWritten(std::uint8_t AProfile)
    {
        ++FActiveProfileWrites;
        FLastActiveProfileWritten = AProfile;
    }
    std::uint64_t ActiveProfileWrites() const { return FActiveProfileWrites; }
    int LastActiveProfileWritten() const { return FLastActiveProfileWritten; }

signals:
    // Raised when a sequence starts (true) and when the last one ends (false).
    void busyChanged(bool ABusy);

private:
    void Enter();
    void Leave();
    void RunNow(const std::function<void()> &Sequence);
    // True when a request now must wait for the running sequence: one runs
    // and the request comes from the loop during its wait.
    bool MustWait() const { return FDepth > 0 && FWaitDepth > 0; }

    TDM &FDM;
    TkwHIDData &FHID;
    QString FRuntimeRoot;
    int FDepth = 0;
    // Waits in progress inside the innermost running sequence.
    int FWaitDepth = 0;
    int FWaitMs = 100;
    std::deque<std::function<void()>> FQueue;
    bool FDraining = false;
    std::uint64_t FActiveProfileWrites = 0;
    int FLastActiveProfileWritten = -1;
};
