#include "config/app/DeviceWriteGuard.h"

#include "core/DMUnit.h"
#include "core/pubunit_device_commands.h"
#include "platform/WindowMessages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

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
    Enter();
    Sequence();
    Leave();
    FWaitDepth = savedWaits;
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
