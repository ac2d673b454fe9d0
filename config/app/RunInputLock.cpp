#include "config/app/RunInputLock.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

enum class TInputKind { None, Hover, Press, Release, Shortcut, Other };

TInputKind KindOf(const QEvent *AEvent)
{
    switch (AEvent->type()) {
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseMove:
        // A move without a button held is a hover: it changes nothing.
        return static_cast<const QMouseEvent *>(AEvent)->buttons() == Qt::NoButton ? TInputKind::Hover
                                                                                    : TInputKind::Other;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
        return TInputKind::Press;
    case QEvent::MouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonRelease:
        return TInputKind::Release;
    case QEvent::ShortcutOverride:
        return TInputKind::Shortcut;
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::Gesture:
    case QEvent::GestureOverride:
    case QEvent::NativeGesture:
        return TInputKind::Other;
    default:
        return TInputKind::None;
    }
}

} // namespace

TRunInputLock::TRunInputLock(QWidget *AMainWindow, QObject *AParent) : QObject(AParent), FMainWindow(AMainWindow) {}

TRunInputLock::~TRunInputLock()
{
    if (!FLocked)
        return;
    qApp->removeEventFilter(this);
    QGuiApplication::restoreOverrideCursor();
}

void TRunInputLock::SetLocked(bool ALocked)
{
    if (ALocked == FLocked)
        return;
    FLocked = ALocked;
    if (ALocked) {
        FLockedWidgets.clear();
        FLockedWindows.clear();
        FSwallowedButtons = Qt::NoButton;
        if (FMainWindow)
            FLockedWidgets.emplace_back(FMainWindow);
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w != FMainWindow)
                FLockedWidgets.emplace_back(w);
        for (const QPointer<QWidget> &w : FLockedWidgets)
            if (QWindow *handle = w->windowHandle())
                FLockedWindows.emplace_back(handle);
        qApp->installEventFilter(this);
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
        return;
    }
    qApp->removeEventFilter(this);
    QGuiApplication::restoreOverrideCursor();
    FLockedWidgets.clear();
    FLockedWindows.clear();
    if (!FHeldReleases.empty())
        QTimer::singleShot(0, this, [this] { DeliverHeldReleases(); });
}

void TRunInputLock::DeliverHeldReleases()
{
    // Locked again meanwhile (a run right after the last): they wait on.
    if (FLocked)
        return;
    // The releases of presses made before the run end them now, after it.
    std::vector<THeldRelease> held;
    held.swap(FHeldReleases);
    for (THeldRelease &r : held)
        if (r.Target)
            QCoreApplication::sendEvent(r.Target, r.Event.get());
}

bool TRunInputLock::IsLockedTarget(QObject *ATarget) const
{
    for (QObject *o = ATarget; o; o = o->parent()) {
        if (auto *w = qobject_cast<QWidget *>(o)) {
            const QWidget *top = w->window();
            for (const QPointer<QWidget> &l : FLockedWidgets)
                if (l == top)
                    return true;
            return false;
        }
        if (auto *win = qobject_cast<QWindow *>(o)) {
            for (const QPointer<QWindow> &l : FLockedWindows)
                if (l == win)
                    return true;
            // A window the platform made anew for a locked widget.
            for (const QPointer<QWidget> &l : FLockedWidgets)
                if (l && l->windowHandle() == win)
                    return true;
            return false;
        }
    }
    // Input of no window (an application-wide shortcut) is the window's too.
    return true;
}

bool TRunInputLock::eventFilter(QObject *AWatched, QEvent *AEvent)
{
    const TInputKind kind = KindOf(AEvent);
    if (kind == TInputKind::None || kind == TInputKind::Hover || !IsLockedTarget(AWatched))
        return false;
    switch (kind) {
    case TInputKind::Press:
        FSwallowedButtons |= static_cast<QMouseEvent *>(AEvent)->button();
        break;
    case TInputKind::Release: {
        const Qt::MouseButton b = static_cast<QMouseEvent *>(AEvent)->button();
        if (FSwallowedButtons & b)
            FSwallowedButtons &= ~Qt::MouseButtons(b);
        else
            FHeldReleases.push_back({AWatched, std::unique_ptr<QEvent>(AEvent->clone())});
        break;
    }
    case TInputKind::Shortcut:
        // Accepted, the key counts as the control's own: no shortcut fires,
        // and the key event that follows is swallowed here.
        AEvent->accept();
        break;
    default:
        break;
    }
    return true;
}
