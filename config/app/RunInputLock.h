#pragma once
// Keeps the user's input away from the configuration window while a run of
// device writes is in progress.
//
// A run waits between its writes with the event loop running, so the window
// paints and its timers tick; without this lock a click, key or wheel
// handled in such a wait would edit the profile the run is writing (read
// before the wait, marked written after it), or open a dialog inside the
// mouse's write bracket. While locked:
//  - mouse presses, releases, double clicks, drags (moves with a button
//    held), wheel, keys, shortcuts, context menus, touch, tablet and drops
//    aimed at a window that was there when the run started (always the main
//    window) are swallowed; a plain hover passes, so pictures still light up;
//  - a window that appeared during the run (the run's own message box or
//    file dialog, and what those open) takes input as usual;
//  - the cursor is the busy cursor.
// A press that reached a control before the run would stay pressed (a track
// bar dragging, a button held down) when its release were simply dropped:
// that release is kept and delivered when the lock ends, so the control
// finishes its press only after the run, where the pointer was released.

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QEvent;
class QWidget;
class QWindow;

class TRunInputLock : public QObject {
    Q_OBJECT
public:
    // AMainWindow is locked by every Lock(), shown or not.
    explicit TRunInputLock(QWidget *AMainWindow, QObject *AParent = nullptr);
    ~TRunInputLock() override;

    void SetLocked(bool ALocked);
    bool Locked() const { return FLocked; }

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    bool IsLockedTarget(QObject *ATarget) const;
    void DeliverHeldReleases();

    QPointer<QWidget> FMainWindow;
    bool FLocked = false;
    // The windows there when the lock started (QPointer: one deleted meanwhile
    // never matches a new window at its address).
    std::vector<QPointer<QWidget>> FLockedWidgets;
    std::vector<QPointer<QWindow>> FLockedWindows;
    // Buttons whose press was swallowed: their release is swallowed too.
    Qt::MouseButtons FSwallowedButtons;
    // Releases held for controls pressed before the lock.
    struct THeldRelease {
        QPointer<QObject> Target;
        std::unique_ptr<QEvent> Event;
    };
    std::vector<THeldRelease> FHeldReleases;
};
