#pragma once
// Real key events for the configuration program's windows, delivered the way
// the platform delivers them: to the window, where the hook library sees them
// before the focused widget does.

#include "support/EventLoopWait.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>
#include <initializer_list>

namespace hkt::testfixtures {

inline void SendKey(QWidget *w, bool down, int key, ulong time, Qt::KeyboardModifiers mods = Qt::NoModifier,
                    quint32 scan = 0, const QString &text = QString())
{
    QKeyEvent ev(down ? QEvent::KeyPress : QEvent::KeyRelease, key, mods, scan, 0, 0, text);
    ev.setTimestamp(time);
    QCoreApplication::sendEvent(w->window()->windowHandle(), &ev);
}

// Press and release of `key` with `mods` held, at `time`.
inline void TapKey(QWidget *w, int key, ulong time, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    SendKey(w, true, key, time, mods);
    SendKey(w, false, key, time + 20, mods);
}

// Types `digits` (and Backspace for '\b') as the keyboard would, each a
// press carrying its character and a release, 20 ms apart.
inline void TypeDigits(QWidget *w, const QString &digits, ulong time)
{
    for (const QChar c : digits) {
        const bool back = c == QLatin1Char('\b');
        const int key = back ? Qt::Key_Backspace : Qt::Key_0 + c.digitValue();
        const QString text = back ? QString(QChar(8)) : QString(c);
        SendKey(w, true, key, time, Qt::NoModifier, 0, text);
        SendKey(w, false, key, time + 10, Qt::NoModifier, 0, text);
        time += 20;
    }
}

// Holds the modifier keys of `mods` (Ctrl, Alt, Shift, Meta as the Windows
// key), taps `key`, and lets the modifiers go, each event at its own time.
inline void TapCombination(QWidget *w, Qt::KeyboardModifiers mods, int key, ulong time)
{
    const std::pair<Qt::KeyboardModifier, int> order[] = {{Qt::ControlModifier, Qt::Key_Control},
                                                          {Qt::AltModifier, Qt::Key_Alt},
                                                          {Qt::ShiftModifier, Qt::Key_Shift},
                                                          {Qt::MetaModifier, Qt::Key_Meta}};
    Qt::KeyboardModifiers held;
    for (const auto &[m, k] : order)
        if (mods & m) {
            held |= m;
            SendKey(w, true, k, time++, held);
        }
    TapKey(w, key, time, held);
    time += 40;
    for (const auto &[m, k] : order)
        if (mods & m) {
            held &= ~m;
            SendKey(w, false, k, time++, held);
        }
}

// Runs `act` on the modal window of type T once it is up and active (so
// clicks give focus as they do for the user).
template <class T>
void WhenModal(std::function<void(T &)> act)
{
    QTimer::singleShot(0, [act] {
        auto *form = qobject_cast<T *>(QApplication::activeModalWidget());
        if (form) {
            WaitUntil([form] { return form->isActiveWindow(); }, 2000);
            act(*form);
        }
        else if (QWidget *w = QApplication::activeModalWidget())
            w->close(); // a wrong window: end it so the test fails instead of hanging
    });
}

} // namespace hkt::testfixtures
