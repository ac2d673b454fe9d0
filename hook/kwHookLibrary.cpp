// libkwHook.so: the suite's hook library. It watches the input events that the
// application's own windows receive, hands each one to the component's
// callback as a Windows-shaped record and swallows it when asked to.
//
// The filter acts only where the receiver is a QWindow: Qt delivers every
// input event to the window once and then on to widgets (and up their parent
// chain), so filtering widgets as well would report one key several times.

#include "hook/KeyTranslation.h"
#include "hook/kwHookApi.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QObject>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <array>
#include <memory>

#define KWHOOK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct HookSlot {
    KwHookProc proc = nullptr;
    void *data = nullptr;
};

HookSlot g_keyboard;
HookSlot g_mouse;

bool Call(const HookSlot &slot, uintptr_t message, const void *record)
{
    // Copy first: the callback may disable or replace its own hook.
    const HookSlot s = slot;
    if (!s.proc)
        return false;
    bool block = false;
    s.proc(s.data, 0, message, record, &block);
    return block;
}

// What the last press of each key and button did, so its repeats' releases
// and its double click go the same way.
std::array<bool, 256> g_keyBlocked{};
std::array<bool, 5> g_buttonBlocked{};

// The filter object holds no state and lives until the library is unloaded:
// a callback may disable the last hook, which takes the filter out of the
// application while its eventFilter is still on the stack.
class InputFilter final : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override { return Dispatch(watched, event); }

private:
    static bool Dispatch(QObject *watched, QEvent *event)
    {
        if (!watched->isWindowType())
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return OnKey(static_cast<QKeyEvent *>(event));
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            return OnButton(static_cast<QMouseEvent *>(event));
        case QEvent::MouseButtonDblClick:
            return OnDoubleClick(static_cast<QMouseEvent *>(event));
        case QEvent::MouseMove:
            return OnMove(static_cast<QMouseEvent *>(event));
        case QEvent::Wheel:
            return OnWheel(static_cast<QWheelEvent *>(event));
        default:
            return false;
        }
    }

    static bool OnKey(QKeyEvent *e)
    {
        if (!g_keyboard.proc)
            return false;
        const kwhook::WindowsKey key = kwhook::TranslateKey(*e);
        if (key.vk == 0 || key.vk > 0xFF)
            return false;
        const bool up = e->type() == QEvent::KeyRelease;
        // X11 and Wayland repeat a held key as release-press pairs; Windows
        // repeats only the press. The release of a pair is folded away so a
        // held key reads as one press (with repeats) until it really goes up,
        // and it shares the fate of the press it belongs to.
        if (up && e->isAutoRepeat())
            return g_keyBlocked[key.vk];
        KwKeyboardHookRecord rec{};
        rec.vkCode = key.vk;
        rec.scanCode = key.scan;
        rec.flags = (key.extended ? kwhook::kFlagExtended : 0u) | (up ? kwhook::kFlagUp : 0u);
        rec.time = static_cast<uint32_t>(e->timestamp());
        rec.modifiers = kwhook::ModifierBits(*e);
        const bool sys = (rec.modifiers & kwhook::kModAlt) && !(rec.modifiers & kwhook::kModCtrl);
        const uintptr_t message = up ? (sys ? kwhook::kWmSysKeyUp : kwhook::kWmKeyUp)
                                     : (sys ? kwhook::kWmSysKeyDown : kwhook::kWmKeyDown);
        const bool block = Call(g_keyboard, message, &rec);
        if (!up)
            g_keyBlocked[key.vk] = block;
        return block;
    }

    static int ButtonSlot(Qt::MouseButton b)
    {
        switch (b) {
        case Qt::LeftButton: return 0;
        case Qt::RightButton: return 1;
        case Qt::MiddleButton: return 2;
        case Qt::BackButton: return 3;
        case Qt::ForwardButton: return 4;
        default: return -1;
        }
    }

    static KwMouseHookRecord MouseRecord(const QSinglePointEvent *e)
    {
        KwMouseHookRecord rec{};
        const QPoint p = e->globalPosition().toPoint();
        rec.x = p.x();
        rec.y = p.y();
        rec.time = static_cast<uint32_t>(e->timestamp());
        return rec;
    }

    static bool OnButton(QMouseEvent *e)
    {
        if (!g_mouse.proc)
            return false;
        const int slot = ButtonSlot(e->button());
        if (slot < 0)
            return false;
        const bool up = e->type() == QEvent::MouseButtonRelease;
        static constexpr std::array<uintptr_t, 5> kDown = {kwhook::kWmLButtonDown, kwhook::kWmRButtonDown,
                                                           kwhook::kWmMButtonDown, kwhook::kWmXButtonDown,
                                                           kwhook::kWmXButtonDown};
        KwMouseHookRecord rec = MouseRecord(e);
        if (slot == 3)
            rec.mouseData = 1u << 16;
        else if (slot == 4)
            rec.mouseData = 2u << 16;
        // Each button-up message is its button-down message plus one.
        const uintptr_t message = kDown[static_cast<size_t>(slot)] + (up ? 1 : 0);
        const bool block = Call(g_mouse, message, &rec);
        if (!up)
            g_buttonBlocked[static_cast<size_t>(slot)] = block;
        return block;
    }

    // A low-level hook never sees double-click messages; Qt adds one after
    // the second press. It goes where that press went.
    static bool OnDoubleClick(QMouseEvent *e)
    {
        const int slot = ButtonSlot(e->button());
        return g_mouse.proc && slot >= 0 && g_buttonBlocked[static_cast<size_t>(slot)];
    }

    static bool OnMove(QMouseEvent *e)
    {
        if (!g_mouse.proc)
            return false;
        const KwMouseHookRecord rec = MouseRecord(e);
        return Call(g_mouse, kwhook::kWmMouseMove, &rec);
    }

    static uint32_t WheelData(int delta)
    {
        const int clamped = std::clamp(delta, -32768, 32767);
        return static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(clamped))) << 16;
    }

    static bool OnWheel(QWheelEvent *e)
    {
        if (!g_mouse.proc)
            return false;
        const QPoint delta = e->angleDelta();
        bool block = false;
        if (delta.y() != 0) {
            KwMouseHookRecord rec = MouseRecord(e);
            rec.mouseData = WheelData(delta.y());
            block = Call(g_mouse, kwhook::kWmMouseWheel, &rec) || block;
        }
        if (delta.x() != 0 && g_mouse.proc) {
            // Qt counts a tilt to the left as positive; Windows the other way.
            KwMouseHookRecord rec = MouseRecord(e);
            rec.mouseData = WheelData(-delta.x());
            block = Call(g_mouse, kwhook::kWmMouseHWheel, &rec) || block;
        }
        return block;
    }

};

std::unique_ptr<InputFilter> g_filter;
bool g_installed = false;

void EnsureFilter()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (g_installed || !app)
        return;
    if (!g_filter)
        g_filter = std::make_unique<InputFilter>();
    app->installEventFilter(g_filter.get());
    g_installed = true;
}

void ReleaseFilterWhenIdle()
{
    if (g_keyboard.proc || g_mouse.proc || !g_installed)
        return;
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(g_filter.get());
    g_installed = false;
}

// Unloading the library must never leave its filter object behind in the
// application, whoever forgot to disable a hook.
__attribute__((destructor)) void OnUnload()
{
    g_keyboard = {};
    g_mouse = {};
    ReleaseFilterWhenIdle();
    g_filter.reset();
}

} // namespace

KWHOOK_EXPORT void EnableKeyboardHook(KwHookProc proc, void *data, int32_t /*reserved*/)
{
    g_keyboard = {proc, data};
    if (proc)
        EnsureFilter();
    else
        ReleaseFilterWhenIdle();
}

KWHOOK_EXPORT void DisableKeyboardHook()
{
    g_keyboard = {};
    ReleaseFilterWhenIdle();
}

KWHOOK_EXPORT void EnableMouseHook(KwHookProc proc, void *data, int32_t /*reserved*/)
{
    g_mouse = {proc, data};
    if (proc)
        EnsureFilter();
    else
        ReleaseFilterWhenIdle();
}

KWHOOK_EXPORT void DisableMouseHook()
{
    g_mouse = {};
    ReleaseFilterWhenIdle();
}
