#include "config/app/DeviceWriteGuard.h"

#include "core/DMUnit.h"
#include "core/pubunit_device_commands.h"
#include "core/pubunit_device_encoders.h"
#include "platform/WindowMessages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <utility>

TDeviceWriteGuard::TDeviceWriteGuard(TDM &ADM, TkwHIDData &AHID, QString ARuntimeRoot, QObject *AParent)
    : QObject(AParent), FDM(ADM), FHID(AHID), FRuntimeRoot(std::move(ARuntimeRoot))
{
}

void TDeviceWriteGuard::Enter()
{
    if (FDepth++ == 0)
        emit busyChanged(true);
}

void TDeviceWriteGuard::RunNow(const std::function<void()> &Sequence)
{
    // The sequence's own waits count from zero: a wait around it (a dialog
    // of no sequence) must not make its inline steps look re-entrant.
    const int savedWaits = FWaitDepth;
    FWaitDepth = 0;
    const bool outermost = FDepth == 0;
    bool heldElsewhere = false;
    {
        const hkt::platform::DeviceTransferRun run;
        Enter();
        Sequence();
        Leave();
        heldElsewhere = outermost && run.WaitedInVain();
    }
    FWaitDepth = savedWaits;
    if (heldElsewhere)
        emit mouseHeldElsewhere();
}

void TDeviceWriteGuard::Leave()
{
    --FDepth;
    if (FDepth > 0)
        return;
    // Queued sequences run in order, each one as a sequence of its own; the
    // drain is not re-entered by a sequence that queues another.
    if (!FDraining) {
        FDraining = true;
        while (!FQueue.empty()) {
            auto next = std::move(FQueue.front());
            FQueue.pop_front();
            ++FDepth;
            next();
            --FDepth;
        }
        FDraining = false;
    }
    emit busyChanged(false);
}

bool TDeviceWriteGuard::Run(const std::function<void()> &Sequence)
{
    if (MustWait())
        return false;
    RunNow(Sequence);
    return true;
}

bool TDeviceWriteGuard::RunOrQueue(std::function<void()> Sequence)
{
    if (MustWait()) {
        FQueue.push_back(std::move(Sequence));
        return false;
    }
    RunNow(Sequence);
    return true;
}

void TDeviceWriteGuard::Pump()
{
    const WaitScope scope(*this);
    QCoreApplication::processEvents();
}

void TDeviceWriteGuard::Wait()
{
    const WaitScope scope(*this);
    QCoreApplication::processEvents();
    if (FWaitMs <= 0)
        return;
    // The pause runs the loop: painting, timers and clicks go on.
    QEventLoop loop;
    QTimer::singleShot(FWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

std::uint32_t TDeviceWriteGuard::SendRefreshAndNotify()
{
    const std::uint32_t r = SendRefreshCommand(FHID, 1, 0);
    Wait();
    NotifyMonitorProfileChanged();
    return r;
}

void TDeviceWriteGuard::NotifyMonitorProfileChanged()
{
    const auto monitor =
        hkt::platform::FindWindowByClass(QString::fromLatin1(MONITOR_WINDOW_CLASS), FRuntimeRoot);
    if (monitor)
        hkt::platform::SendWindowMessage(monitor, WM_PROFILE_CHANGED, 1, FDM.FProfileIndex);
}

const TDeviceWriteGuard::TMouseStateNote *TDeviceWriteGuard::Note(TMouseState AWhat, int AProfile) const
{
    if (AWhat == TMouseState::ActiveProfile)
        return &FMouseStateNotes[0];
    if (AProfile < 0 || AProfile >= PROFILE_COUNT)
        return nullptr;
    const std::size_t base = AWhat == TMouseState::CPILevel ? 1 : 1 + PROFILE_COUNT;
    return &FMouseStateNotes[base + std::size_t(AProfile)];
}

TDeviceWriteGuard::TMouseStateNote *TDeviceWriteGuard::Note(TMouseState AWhat, int AProfile)
{
    return const_cast<TMouseStateNote *>(std::as_const(*this).Note(AWhat, AProfile));
}

void TDeviceWriteGuard::NoteMouseStateWritten(TMouseState AWhat, int AProfile, int AValue)
{
    if (TMouseStateNote *n = Note(AWhat, AProfile))
        *n = {++FMouseStateSerial, AValue};
    // What the window wrote is what the mouse now holds: the PC's value is no
    // longer owed to it.
    switch (AWhat) {
    case TMouseState::CPILevel:
        FDM.NoteMouseHoldsLevel(AProfile, AValue);
        break;
    case TMouseState::ReportRate:
        FDM.NoteMouseHoldsRate(AProfile, AValue >= 0 && AValue <= 0xFF ? ReportRateOfCode(std::uint8_t(AValue)) : 0);
        break;
    case TMouseState::ActiveProfile:
        break;
    }
}

bool TDeviceWriteGuard::WrittenSince(TMouseState AWhat, int AProfile, std::uint64_t AArrivedAt) const
{
    const TMouseStateNote *n = Note(AWhat, AProfile);
    return n && n->Serial > AArrivedAt;
}

bool TDeviceWriteGuard::RewriteOverwrittenReport(TMouseState AWhat, int AProfile, int AReported,
                                                 std::uint64_t AArrivedAt,
                                                 const std::function<std::uint32_t(int &)> &ARead,
                                                 const std::function<std::uint32_t()> &AWrite)
{
    const TMouseStateNote *n = Note(AWhat, AProfile);
    if (!n || n->Serial <= AArrivedAt || n->Value == AReported)
        return false;
    const int written = n->Value;
    int onTheMouse = -1;
    // A mouse that does not answer, or that moved on from what the window
    // wrote, is left alone: its own report of where it went follows.
    if (ARead(onTheMouse) != 0 || onTheMouse != written)
        return false;
    if (AWrite() != 0)
        return false;
    NoteMouseStateWritten(AWhat, AProfile, AReported);
    return true;
}
