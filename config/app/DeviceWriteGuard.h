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
//
// A sequence (with the sequences queued behind it) is one run of device
// transfers: it takes the user's device transfer lock once, so another
// program that holds the mouse and never lets go costs the sequence one
// wait, not one per transfer. Each of its waits (a WaitScope: Pump, Wait, a
// dialog) lets the lock go meanwhile, so the monitor's read is held up by a
// burst of writes at most, never by a pause or a question to the user; a
// read is never split by a wait, so nothing of the window is in the mouse
// when it lets go. When the run went ahead without the lock (another
// program held it for the whole wait), mouseHeldElsewhere() is raised once
// after the run has ended.

#include "core/kwHIDData.h"
#include "platform/DeviceTransferLock.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>

class TDM;

// What the window says when a run of device transfers went ahead without
// waiting any longer for another program holding the mouse.
inline constexpr char kMouseHeldElsewhereText[] =
    "ANOTHER PROGRAM IS HOLDING THE MOUSE, THE SETTINGS WERE SENT WITHOUT WAITING FOR IT!";

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
    // The run's device transfer lock is let go for the wait's length.
    class WaitScope {
    public:
        explicit WaitScope(TDeviceWriteGuard &AGuard) : FGuard(AGuard) { ++FGuard.FWaitDepth; }
        ~WaitScope() { --FGuard.FWaitDepth; }
        WaitScope(const WaitScope &) = delete;
        WaitScope &operator=(const WaitScope &) = delete;

    private:
        TDeviceWriteGuard &FGuard;
        hkt::platform::DeviceTransferPause FPause;
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

    // What the mouse also changes by itself, from its own buttons: its active
    // profile, and each profile's DPI level and polling rate.
    enum class TMouseState { ActiveProfile, CPILevel, ReportRate };
    // The window's own writes of these (APPLY, a profile switch, a DPI level,
    // RESTORE) are noted with the value written and a serial number, so a
    // report the mouse made can be judged by what the window wrote after it
    // arrived. MouseStateWrites() is the serial of the latest note; a report
    // keeps the one current when it arrived. A level or rate written is also
    // what the data module then knows the mouse to hold (TDM::MouseHolds).
    void NoteMouseStateWritten(TMouseState AWhat, int AProfile, int AValue);
    std::uint64_t MouseStateWrites() const { return FMouseStateSerial; }
    // A report the mouse made (AReported, for AProfile; the profile is
    // ignored for the active profile) that arrived at serial AArrivedAt is
    // written into the mouse again when, and only when, one of the window's
    // own writes put something else there after it arrived and the mouse
    // still holds what the window wrote: the user's press came after the
    // state the window wrote, so it is what both must hold. When the window
    // wrote nothing there since, the mouse holds the report's value already
    // (or has moved on by itself, and reports that too): nothing is written,
    // so a report is never written back over a newer state of the mouse.
    // ARead fetches what the mouse holds and AWrite writes the report's
    // value; they run back to back, with nothing between them that takes
    // time (no disk, painting or event handling). True when written.
    bool RewriteOverwrittenReport(TMouseState AWhat, int AProfile, int AReported, std::uint64_t AArrivedAt,
                                  const std::function<std::uint32_t(int &)> &ARead,
                                  const std::function<std::uint32_t()> &AWrite);
    // Whether a write of the window's own to that state came after AArrivedAt.
    bool WrittenSince(TMouseState AWhat, int AProfile, std::uint64_t AArrivedAt) const;

signals:
    // Raised when a sequence starts (true) and when the last one ends (false).
    void busyChanged(bool ABusy);
    // Raised after a run of device transfers that went ahead without the
    // lock because another program held it for the whole wait. Code that
    // runs transfers outside a sequence in a DeviceTransferRun of its own
    // raises it likewise when its run's WaitedInVain().
    void mouseHeldElsewhere();

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
    struct TMouseStateNote {
        std::uint64_t Serial = 0; // 0: never written by the window
        int Value = -1;
    };
    // The active profile, then the five levels, then the five rates.
    TMouseStateNote *Note(TMouseState AWhat, int AProfile);
    const TMouseStateNote *Note(TMouseState AWhat, int AProfile) const;
    std::array<TMouseStateNote, 11> FMouseStateNotes{};
    std::uint64_t FMouseStateSerial = 0;
};
