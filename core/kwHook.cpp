#include "core/kwHook.h"

#include "core/kwKeyCode.h"

#include "hook/kwHookApi.h"
#include "platform/Paths.h"

#include <QFile>
#include <QPointer>
#include <QMetaObject>
#include <QtGlobal>

#include <algorithm>
#include <dlfcn.h>


namespace {

// The library as the whole process shares it. Every component that loaded it
// holds one reference; the last one to go unloads it. Each hook kind remembers
// which component installed it, so a component only ever removes its own.
struct HookLibrary {
    void *handle = nullptr;
    KwEnableHookFn enableKeyboard = nullptr;
    KwDisableHookFn disableKeyboard = nullptr;
    KwEnableHookFn enableMouse = nullptr;
    KwDisableHookFn disableMouse = nullptr;
    int refs = 0;
    const TkwHook *keyboardOwner = nullptr;
    const TkwHook *mouseOwner = nullptr;
    QString path;
    TkwHookMessageSink sink;
    int callbackDepth = 0; // callbacks running now: the library's code is on the stack
};

HookLibrary &Lib()
{
    static HookLibrary lib;
    return lib;
}

const QString kMissingLibraryText = QStringLiteral("libkwHook.so can not be found!");

void ShowMissingLibrary()
{
    const HookLibrary &lib = Lib();
    if (lib.sink)
        lib.sink(QStringLiteral("Error"), kMissingLibraryText);
    else
        qCritical("%s", qPrintable(kMissingLibraryText));
}

bool AcquireLibrary()
{
    HookLibrary &lib = Lib();
    if (lib.refs > 0 || lib.handle) {
        ++lib.refs;
        return true;
    }
    const QByteArray file = QFile::encodeName(TkwHook::LibraryPath());
    void *handle = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        ShowMissingLibrary();
        return false;
    }
    auto enableKeyboard = reinterpret_cast<KwEnableHookFn>(dlsym(handle, kwhook::kEnableKeyboardHook));
    auto disableKeyboard = reinterpret_cast<KwDisableHookFn>(dlsym(handle, kwhook::kDisableKeyboardHook));
    auto enableMouse = reinterpret_cast<KwEnableHookFn>(dlsym(handle, kwhook::kEnableMouseHook));
    auto disableMouse = reinterpret_cast<KwDisableHookFn>(dlsym(handle, kwhook::kDisableMouseHook));
    if (!enableKeyboard || !disableKeyboard || !enableMouse || !disableMouse) {
        dlclose(handle);
        return false;
    }
    lib.handle = handle;
    lib.enableKeyboard = enableKeyboard;
    lib.disableKeyboard = disableKeyboard;
    lib.enableMouse = enableMouse;
    lib.disableMouse = disableMouse;
    lib.refs = 1;
    return true;
}

void ReleaseLibrary()
{
    HookLibrary &lib = Lib();
    if (lib.refs <= 0 || --lib.refs > 0)
        return;
    // Nobody is left to own a hook; make sure none outlives the code it calls.
    lib.disableKeyboard();
    lib.disableMouse();
    lib.keyboardOwner = lib.mouseOwner = nullptr;
    // The last component went away inside one of its own callbacks: the
    // library's frames are still below us, so it stays loaded (and inert)
    // until it is taken again or the process ends.
    if (lib.callbackDepth > 0)
        return;
    dlclose(lib.handle);
    lib.handle = nullptr;
    lib.enableKeyboard = lib.enableMouse = nullptr;
    lib.disableKeyboard = lib.disableMouse = nullptr;
    lib.keyboardOwner = lib.mouseOwner = nullptr;
}

// Milliseconds from `from` to `to` on the hook's 32-bit clock, which wraps
// after about 49.7 days: modular subtraction is right across a wrap, and a
// stamp that went backwards counts as no time rather than as a huge gap.
uint32_t ElapsedMs(uint32_t from, uint32_t to)
{
    const uint32_t d = to - from;
    return d > 0x7FFFFFFFu ? 0 : d;
}

bool WentBackwards(uint32_t from, uint32_t to)
{
    return to - from > 0x7FFFFFFFu;
}

// Distance without sign between two stamps of the wrapping clock.
uint32_t DistanceMs(uint32_t a, uint32_t b)
{
    const uint32_t d = a - b;
    return std::min(d, static_cast<uint32_t>(0u - d));
}

uint16_t CapDelay(uint32_t ms)
{
    return static_cast<uint16_t>(std::min<uint32_t>(ms, 65535u));
}

uint16_t ClampCoordinate(int32_t v)
{
    return static_cast<uint16_t>(std::clamp<int32_t>(v, 0, 65535));
}

int KeyState(const KwKeyboardHookRecord &rec)
{
    return (rec.flags & kwhook::kFlagUp) ? 0 : 1;
}

int KeyExtended(const KwKeyboardHookRecord &rec)
{
    return (rec.flags & kwhook::kFlagExtended) ? 1 : 0;
}

bool IsModifierKey(uint32_t vk)
{
    return (vk >= 0xA0 && vk <= 0xA5) || vk == 0x5B || vk == 0x5C;
}

QString KeyDescription(uint32_t vk, int extended)
{
    return GetKeyDescriptionByVK(vk, extended);
}

QString StateText(int state)
{
    return state ? QStringLiteral("Down") : QStringLiteral("Up");
}

bool IsButtonUp(uintptr_t message)
{
    return message == kwhook::kWmLButtonUp || message == kwhook::kWmRButtonUp || message == kwhook::kWmMButtonUp ||
           message == kwhook::kWmXButtonUp;
}

int16_t HighWord(uint32_t mouseData)
{
    return static_cast<int16_t>(static_cast<uint16_t>(mouseData >> 16));
}

// The button of a mouse message. The wheel's direction is the sign of the
// whole delta: forward (positive) is up, whatever the size of the step.
TMouseButtons ButtonOf(uintptr_t message, uint32_t mouseData)
{
    switch (message) {
    case kwhook::kWmLButtonDown:
    case kwhook::kWmLButtonUp:
        return LCLICK;
    case kwhook::kWmRButtonDown:
    case kwhook::kWmRButtonUp:
        return RCLICK;
    case kwhook::kWmMButtonDown:
    case kwhook::kWmMButtonUp:
        return MCLICK;
    case kwhook::kWmXButtonDown:
    case kwhook::kWmXButtonUp: {
        const int16_t x = HighWord(mouseData);
        return x == 1 ? XCLICK4 : x == 2 ? XCLICK5 : BUTTON_NONE;
    }
    case kwhook::kWmMouseWheel: {
        const int16_t d = HighWord(mouseData);
        return d > 0 ? WHEELUP : d < 0 ? WHEELDOWN : BUTTON_NONE;
    }
    default:
        return BUTTON_NONE;
    }
}

// Fires an event through a copy of its handler, so a handler that destroys
// the component (and the handler with it) still runs to its end. Returns
// whether the component outlived the call; when it did not, the caller must
// touch nothing of it.
template <class Event, class... Args>
bool Fire(QObject *self, const Event &event, Args &&...args)
{
    const QPointer<QObject> alive(self);
    const Event handler = event;
    handler(std::forward<Args>(args)...);
    return !alive.isNull();
}

} // namespace

QString MouseButtonDescription(TMouseButtons button)
{
    switch (button) {
    case LCLICK: return QStringLiteral("Mouse Click");
    case RCLICK: return QStringLiteral("Mouse Right Click");
    case MCLICK: return QStringLiteral("Mouse Middle Click");
    case XCLICK4: return QStringLiteral("Backward(Mouse) ");
    case XCLICK5: return QStringLiteral("Forward(Mouse)");
    case WHEELUP: return QStringLiteral("Wheel up(Mouse)");
    case WHEELDOWN: return QStringLiteral("Wheel Down(Mouse)");
    default: return QString();
    }
}

TkwHook::TkwHook(QObject *AOwner)
    : QObject(AOwner), FOwner(AOwner)
{
    FDLLLoaded = AcquireLibrary();
}

TkwHook::~TkwHook()
{
    if (FDLLLoaded) {
        RemoveKeyboard();
        RemoveMouse();
        ReleaseLibrary();
    }
}

void TkwHook::SetLibraryPath(const QString &path)
{
    Lib().path = path;
}

QString TkwHook::LibraryPath()
{
    const QString &p = Lib().path;
    if (!p.isEmpty())
        return p;
    return hkt::platform::ProgramFolder() + QStringLiteral("libkwHook.so");
}

void TkwHook::SetMessageSink(TkwHookMessageSink sink)
{
    Lib().sink = std::move(sink);
}

// One callback of each kind is active in the process; installing replaces
// whatever was there, as the library has one slot per kind.
void TkwHook::InstallKeyboard(HookProc proc)
{
    if (!FDLLLoaded)
        return;
    HookLibrary &lib = Lib();
    lib.disableKeyboard();
    lib.enableKeyboard(proc, this, 0);
    lib.keyboardOwner = this;
}

// Removes the keyboard hook only when this component installed it, so the
// stop of one component never cuts off another's recording.
void TkwHook::RemoveKeyboard()
{
    if (!FDLLLoaded)
        return;
    HookLibrary &lib = Lib();
    if (lib.keyboardOwner != this)
        return;
    lib.disableKeyboard();
    lib.keyboardOwner = nullptr;
}

void TkwHook::InstallMouse(HookProc proc)
{
    if (!FDLLLoaded)
        return;
    HookLibrary &lib = Lib();
    lib.disableMouse();
    lib.enableMouse(proc, this, 0);
    lib.mouseOwner = this;
}

void TkwHook::RemoveMouse()
{
    if (!FDLLLoaded)
        return;
    HookLibrary &lib = Lib();
    if (lib.mouseOwner != this)
        return;
    lib.disableMouse();
    lib.mouseOwner = nullptr;
}

void TkwHook::StartHookKeyboard() { InstallKeyboard(&TkwHook::KeyboardHookProc); }
void TkwHook::StopHookKeyboard() { RemoveKeyboard(); }
void TkwHook::StartHookMouse() { InstallMouse(&TkwHook::MouseHookProc); }
void TkwHook::StopHookMouse() { RemoveMouse(); }

void TkwHook::AddKeyboardHookObject(std::unique_ptr<TKeyBoardHookDetailObject> AObject)
{
    if (!AObject)
        return;
    const QString text = QString::number(AObject->FKeyBoardHookDetail.KeyboardVKKey);
    FKeyboardHookObjectList.AddObject(text, std::move(AObject));
}

void TkwHook::RemoveAllKeyboardHookObject() { FKeyboardHookObjectList.Clear(); }

void TkwHook::AddMouseHookObject(std::unique_ptr<TMouseHookDetailObject> AObject)
{
    if (!AObject)
        return;
    const QString text = QString::number(static_cast<int>(AObject->FMouseHookDetail.MouseButton));
    FMouseHookObjectList.AddObject(text, std::move(AObject));
}

void TkwHook::RemoveAllMouseHookObject() { FMouseHookObjectList.Clear(); }

void TkwHook::RecordKeyboardSingleKey() { InstallKeyboard(&TkwHook::SingleKeyProc); }
void TkwHook::StopRecordKeyboardSingleKey() { RemoveKeyboard(); }

void TkwHook::RecordKeyboardComboKey()
{
    InstallKeyboard(&TkwHook::ComboKeyProc);
    FLastTimeKeyboardCombo = 0;
}

void TkwHook::StopRecordKeyboardComboKey()
{
    RemoveKeyboard();
    FLastTimeKeyboardCombo = 0;
}

void TkwHook::RecordKeyboardMacroKey()
{
    FMacroKeyList.Clear();
    InstallKeyboard(&TkwHook::MacroKeyProc);
}

void TkwHook::StopRecordKeyboardMacroKey()
{
    RemoveKeyboard();
    if (OnStopRecordKeyboardMacroKey)
        if (!Fire(this, OnStopRecordKeyboardMacroKey, FMacroKeyList))
            return;
    FMacroKeyList.Clear();
}

void TkwHook::RecordKeyboardMacroKeyEx()
{
    FLastMacroKey = {};
    FTotalMacroTime = 0;
    std::fill(std::begin(FAllKeyState), std::end(FAllKeyState), uint8_t{0});
    FMacroKeyList.Clear();
    InstallKeyboard(&TkwHook::MacroKeyExProc);
}

void TkwHook::StopRecordKeyboardMacroKeyEx() { StopRecordKeyboardMacroKey(); }

void TkwHook::RecordMouseMacro()
{
    FMouseMacroKeyList.Clear();
    InstallMouse(&TkwHook::MouseMacroProc);
    FLastTimeMouseMacro = 0;
}

void TkwHook::StopRecordMouseMacro()
{
    RemoveMouse();
    if (OnStopRecordMouseMacroKey)
        Fire(this, OnStopRecordMouseMacroKey, FMouseMacroKeyList);
}

// --- library callbacks -----------------------------------------------------

namespace {
struct InCallback {
    InCallback() { ++Lib().callbackDepth; }
    ~InCallback() { --Lib().callbackDepth; }
    InCallback(const InCallback &) = delete;
    InCallback &operator=(const InCallback &) = delete;
};
} // namespace

void TkwHook::KeyboardHookProc(void *data, int32_t code, uintptr_t, const void *record, bool *block)
{
    const InCallback guard;
    static_cast<TkwHook *>(data)->OnKeyboardHook(code, *static_cast<const KwKeyboardHookRecord *>(record), *block);
}

void TkwHook::MouseHookProc(void *data, int32_t, uintptr_t message, const void *record, bool *block)
{
    const InCallback guard;
    static_cast<TkwHook *>(data)->OnMouseHook(message, *static_cast<const KwMouseHookRecord *>(record), *block);
}

void TkwHook::SingleKeyProc(void *data, int32_t, uintptr_t, const void *record, bool *block)
{
    const InCallback guard;
    static_cast<TkwHook *>(data)->OnSingleKey(*static_cast<const KwKeyboardHookRecord *>(record), *block);
}

void TkwHook::ComboKeyProc(void *data, int32_t, uintptr_t, const void *record, bool *block)
{
    const InCallback guard;
    static_cast<TkwHook *>(data)->OnComboKey(*static_cast<const KwKeyboardHookRecord *>(record), *block);
}

void TkwHook::MacroKeyProc(void *data, int32_t, uintptr_t, const void *record, bool *block)
{
    const InCallback guard;
    static_cast<TkwHook *>(data)->OnMacroKey(*static_cast<const KwKeyboardHookRecord *>(record), *block);
}

void TkwHook::MacroKeyExProc(void *data, int32_t, uintptr_t, const void *record, bool *block)
{
    const InCallback guard;
    static_cast<TkwHook *>(data)->OnMacroKeyEx(*static_cast<const KwKeyboardHookRecord *>(record), *block);
}

void TkwHook::MouseMacroProc(void *data, int32_t, uintptr_t message, const void *record, bool *)
{
    // The mouse recorder never swallows: mouse events always reach the system.
    const InCallback guard;
    static_cast<TkwHook *>(data)->OnMouseMacro(message, *static_cast<const KwMouseHookRecord *>(record));
}

void TkwHook::OnKeyboardHook(int32_t code, const KwKeyboardHookRecord &rec, bool &block)
{
    if (code != 0)
        return;
    const int key = static_cast<int>(rec.vkCode);
    const int state = KeyState(rec);
    const int extended = KeyExtended(rec);
    if (OnHookKeyboardAllKey && !Fire(this, OnHookKeyboardAllKey, key, state, extended, block, rec.scanCode))
        return;
    if (!OnHookKeyboardKey)
        return;
    for (int i = 0; i < FKeyboardHookObjectList.Count(); ++i) {
        const TKeyBoardHookDetail &f = FKeyboardHookObjectList.Objects(i)->FKeyBoardHookDetail;
        if (f.KeyboardVKKey == -1)
            return;
        const bool byVk = f.KeyboardVKKey != 0 && f.KeyboardVKKey == key;
        const bool byScan = f.KeyboardSCANKey != 0 && static_cast<uint32_t>(f.KeyboardSCANKey) == rec.scanCode;
        if (f.KeyExtended == extended && (byVk || byScan)) {
            if (f.block == 1)
                block = true;
            Fire(this, OnHookKeyboardKey, key, state, extended, block, rec.scanCode);
            return;
        }
    }
}

void TkwHook::OnMouseHook(uintptr_t message, const KwMouseHookRecord &rec, bool &block)
{
    const bool injected = rec.flags & kwhook::kMouseFlagInjected;
    if (message == kwhook::kWmMouseMove) {
        if (OnHookMouseMove && !injected) {
            block = false;
            Fire(this, OnHookMouseMove, rec.x, rec.y, static_cast<double>(rec.time));
        }
        return;
    }
    if (injected)
        return;
    const TMouseButtons button = ButtonOf(message, rec.mouseData);
    const int state = IsButtonUp(message) ? 0 : 1;
    int16_t exValue = 0;
    if (message == kwhook::kWmXButtonDown || message == kwhook::kWmXButtonUp || message == kwhook::kWmMouseWheel)
        exValue = HighWord(rec.mouseData);
    if (OnHookMouseAllButton && !Fire(this, OnHookMouseAllButton, button, state, exValue, block))
        return;
    if (!OnHookMouseButton)
        return;
    // Only the sixteen messages 0x200..0x20F have a bit in a state set.
    if (message < kwhook::kWmMouseMove || message > kwhook::kWmMouseMove + 15)
        return;
    const auto bit = static_cast<TMouseButtonStateSet>(1u << (message - kwhook::kWmMouseMove));
    for (int i = 0; i < FMouseHookObjectList.Count(); ++i) {
        const TMouseHookDetail &f = FMouseHookObjectList.Objects(i)->FMouseHookDetail;
        if ((f.MouseStateSet & bit) && f.MouseButton >= button) {
            if (f.ModifiedFunction != button)
                Fire(this, OnHookMouseButton, button, state, block);
            return;
        }
    }
}

void TkwHook::OnSingleKey(const KwKeyboardHookRecord &rec, bool &block)
{
    if (!OnRecordKeyboardSingleKey)
        return;
    const int extended = KeyExtended(rec);
    Fire(this, OnRecordKeyboardSingleKey, static_cast<int>(rec.vkCode), rec.scanCode, KeyState(rec), extended,
         KeyDescription(rec.vkCode, extended), block);
}

void TkwHook::OnComboKey(const KwKeyboardHookRecord &rec, bool &block)
{
    const bool variantA = static_cast<bool>(OnRecordKeyboardComboKey);
    if (!variantA && !OnRecordKeyboardComboKey2)
        return;
    // Releases and the modifier keys themselves pass through untouched.
    if (KeyState(rec) == 0 || IsModifierKey(rec.vkCode))
        return;
    TCOMBOKEY &c = FComboKeyInfo;
    FComboKeyString.clear();
    c.nModifier = 0;
    if (c.nKeyValue1 != 0 && c.nKeyValue2 != 0) {
        c.nKeyValue1 = c.nKeyValue1Extended = c.nKeyValue2 = c.nKeyValue2Extended = 0;
        if (!variantA)
            c.nScanKey1 = c.nScanKey2 = 0;
    }
    QString modifiers;
    if (rec.modifiers & kwhook::kModCtrl) {
        c.nModifier |= 2;
        modifiers += QStringLiteral("Ctrl+");
    }
    if (rec.modifiers & kwhook::kModAlt) {
        c.nModifier |= 1;
        modifiers += QStringLiteral("Alt+");
    }
    if (rec.modifiers & kwhook::kModWin) {
        c.nModifier |= 8;
        modifiers += QStringLiteral("Win+");
    }
    if (rec.modifiers & kwhook::kModShift) {
        c.nModifier |= 4;
        modifiers += QStringLiteral("Shift+");
    }
    const auto vk = static_cast<uint16_t>(rec.vkCode);
    const auto ext = static_cast<uint16_t>(KeyExtended(rec));
    auto setKey1 = [&] {
        c.nKeyValue1 = vk;
        c.nKeyValue1Extended = ext;
        if (!variantA)
            c.nScanKey1 = rec.scanCode;
    };
    if (DistanceMs(rec.time, FLastTimeKeyboardCombo) > 100) {
        setKey1();
        c.nKeyValue2 = c.nKeyValue2Extended = 0;
        if (!variantA)
            c.nScanKey2 = 0;
    } else if (c.nKeyValue1 == 0) {
        setKey1();
    } else if (c.nKeyValue2 == 0) {
        // The same key again (code and extended flag) stays the first key.
        if (c.nKeyValue1 == vk && c.nKeyValue1Extended == ext) {
            setKey1();
        } else {
            c.nKeyValue2 = vk;
            c.nKeyValue2Extended = ext;
            if (!variantA)
                c.nScanKey2 = rec.scanCode;
        }
    }
    FLastTimeKeyboardCombo = rec.time;
    QString text = KeyDescription(c.nKeyValue1, c.nKeyValue1Extended);
    if (c.nKeyValue2 != 0)
        text += QStringLiteral("+") + KeyDescription(c.nKeyValue2, c.nKeyValue2Extended);
    block = true;
    if (!text.isEmpty()) {
        FComboKeyString = modifiers + text;
        const QString combo = FComboKeyString;
        const TCOMBOKEY k = c;
        if (variantA)
            Fire(this, OnRecordKeyboardComboKey, int(k.nKeyValue1), int(k.nKeyValue1Extended), int(k.nKeyValue2),
                 int(k.nKeyValue2Extended), int(k.nModifier), combo);
        else
            Fire(this, OnRecordKeyboardComboKey2, int(k.nKeyValue1), k.nScanKey1, int(k.nKeyValue1Extended),
                 int(k.nKeyValue2), k.nScanKey2, int(k.nKeyValue2Extended), int(k.nModifier), combo);
    }
}

void TkwHook::AddMacroItem(uint16_t type, uint16_t state, uint16_t value, uint16_t extended)
{
    auto item = std::make_unique<TMacroKeyObject>();
    item->FMacroKey.nKeyType = type;
    item->FMacroKey.nKeyState = state;
    item->FMacroKey.nKeyValue = value;
    item->FMacroKey.nKeyValueExtended = extended;
    FMacroKeyList.AddObject(QString::number(FMacroKeyList.Count()), std::move(item));
}

void TkwHook::OnMacroKey(const KwKeyboardHookRecord &rec, bool &block)
{
    if (!OnRecordKeyboardMacroKey)
        return;
    block = true;
    const double time = static_cast<double>(rec.time);
    if (FLastTimeKeyboardMacro != 0) {
        const uint32_t gap = ElapsedMs(FLastTimeKeyboardMacro, rec.time);
        if (gap > 10 && gap < 2000) {
            AddMacroItem(0, 0, static_cast<uint16_t>(gap), 0);
            if (!Fire(this, OnRecordKeyboardMacroKey, 0, static_cast<int>(gap), 0, 0, time, QString::number(gap),
                      QStringLiteral("ms"), FMacroKeyList))
                return;
        }
    }
    FLastTimeKeyboardMacro = rec.time;
    const int state = KeyState(rec);
    const int extended = KeyExtended(rec);
    AddMacroItem(1, static_cast<uint16_t>(state), static_cast<uint16_t>(rec.vkCode), static_cast<uint16_t>(extended));
    Fire(this, OnRecordKeyboardMacroKey, 1, static_cast<int>(rec.vkCode), state, extended, time,
         KeyDescription(rec.vkCode, extended), StateText(state), FMacroKeyList);
}

void TkwHook::OnMacroKeyEx(const KwKeyboardHookRecord &rec, bool &block)
{
    if (!OnRecordKeyboardMacroKeyEx || FMacroKeyList.Count() > MaxRecordedItems)
        return;
    if (rec.vkCode == 0 || rec.vkCode > 0xFF)
        return;
    const int state = KeyState(rec);
    const bool press = state == 1;
    bool delayDue = false;
    if (FLastMacroKey.vkCode == 0) {
        FLastMacroKey = {rec.vkCode, rec.flags, rec.time};
        FTotalMacroTime = 0;
    } else if (FLastMacroKey.vkCode == rec.vkCode &&
               (FLastMacroKey.flags & kwhook::kFlagExtended) == (rec.flags & kwhook::kFlagExtended) &&
               !(FLastMacroKey.flags & kwhook::kFlagUp) && press) {
        // An auto-repeat: time keeps running from the first press.
        FTotalMacroTime = ElapsedMs(FLastMacroKey.time, rec.time);
    } else {
        FTotalMacroTime = ElapsedMs(FLastMacroKey.time, rec.time);
        FLastMacroKey = {rec.vkCode, rec.flags, rec.time};
        if (!press)
            FAllKeyState[rec.vkCode] = 0;
        delayDue = true;
    }
    if (delayDue && FTotalMacroTime > 0) {
        FTotalMacroTime = CapDelay(FTotalMacroTime);
        AddMacroItem(0, 0, static_cast<uint16_t>(FTotalMacroTime), 0);
    }
    if (FAllKeyState[rec.vkCode] == 0) {
        if (press)
            FAllKeyState[rec.vkCode] = 1;
        const int extended = KeyExtended(rec);
        AddMacroItem(1, static_cast<uint16_t>(state), static_cast<uint16_t>(rec.vkCode),
                     static_cast<uint16_t>(extended));
        Fire(this, OnRecordKeyboardMacroKeyEx, 1, static_cast<int>(rec.vkCode), state, extended,
             static_cast<double>(rec.time), FTotalMacroTime, KeyDescription(rec.vkCode, extended), StateText(state),
             FMacroKeyList);
    }
    block = true;
}

void TkwHook::AddMouseItem(uint16_t type, uint16_t state, TMouseButtons button, uint16_t x, uint16_t y,
                           uint16_t timeValue)
{
    auto item = std::make_unique<TMOUSEMacroKeyObject>();
    item->FMOUSEMacroKey.nKeyType = type;
    item->FMOUSEMacroKey.nKeyState = state;
    item->FMOUSEMacroKey.MouseButton = button;
    item->FMOUSEMacroKey.X = x;
    item->FMOUSEMacroKey.Y = y;
    item->FMOUSEMacroKey.TimeValue = timeValue;
    FMouseMacroKeyList.AddObject(QString::number(FMouseMacroKeyList.Count()), std::move(item));
}

void TkwHook::OnMouseMacro(uintptr_t message, const KwMouseHookRecord &rec)
{
    if (!OnRecordMouseMacroKey || (rec.flags & kwhook::kMouseFlagInjected))
        return;
    // Every move adds a delay item; the list stops growing at the same bound
    // as the keyboard recorder's.
    if (FMouseMacroKeyList.Count() > MaxRecordedItems)
        return;
    const int state = IsButtonUp(message) ? 0 : 1;
    const TMouseButtons button = ButtonOf(message, rec.mouseData);
    const double time = static_cast<double>(rec.time);
    if (FLastTimeMouseMacro == 0) {
        FLastTimeMouseMacro = rec.time;
    } else if (WentBackwards(FLastTimeMouseMacro, rec.time)) {
        FLastTimeMouseMacro = rec.time;
        return;
    } else {
        const uint16_t gap = CapDelay(rec.time - FLastTimeMouseMacro);
        FLastTimeMouseMacro = rec.time;
        // Delay items keep the low 16 bits of the position, as the record holds them.
        const auto x = static_cast<uint16_t>(rec.x);
        const auto y = static_cast<uint16_t>(rec.y);
        AddMouseItem(0, 0, BUTTON_NONE, x, y, gap);
        if (!Fire(this, OnRecordMouseMacroKey, 0, BUTTON_NONE, 0, x, y, time, QString::number(gap),
                  QStringLiteral("ms"), FMouseMacroKeyList))
            return;
    }
    if (button != BUTTON_NONE) {
        // A button item's position is clamped: screens left of or above the
        // primary one have negative coordinates.
        const uint16_t x = ClampCoordinate(rec.x);
        const uint16_t y = ClampCoordinate(rec.y);
        AddMouseItem(1, static_cast<uint16_t>(state), button, x, y, 0);
        Fire(this, OnRecordMouseMacroKey, 1, button, state, x, y, time, MouseButtonDescription(button),
             StateText(state), FMouseMacroKeyList);
    }
}

// --- worker data path --------------------------------------------------------

void TkwHook::Enqueue(QueuedItem item)
{
    {
        std::lock_guard<std::mutex> guard(FRecordDataLock);
        FRecordDataToProcessList.push_back(std::move(item));
    }
    // Runs on the component's thread; dropped if the component is gone by then.
    QMetaObject::invokeMethod(this, [this] { ProcessDataEvent(); }, Qt::QueuedConnection);
}

void TkwHook::QueueKeyboardMacroItem(std::unique_ptr<TMacroKeyObject> AItem)
{
    if (AItem)
        Enqueue({1, std::move(AItem)});
}

void TkwHook::QueueMouseMacroItem(std::unique_ptr<TMOUSEMacroKeyObject> AItem)
{
    if (AItem)
        Enqueue({0, std::move(AItem)});
}

void TkwHook::ProcessDataEvent()
{
    std::vector<QueuedItem> items;
    {
        std::lock_guard<std::mutex> guard(FRecordDataLock);
        items.swap(FRecordDataToProcessList);
    }
    for (QueuedItem &item : items) {
        if (item.tag == 1) {
            const auto &obj = std::get<std::unique_ptr<TMacroKeyObject>>(item.object);
            const TMACROKEYHOOK &k = obj->FMacroKey;
            if (OnRecordKeyboardMacroKey &&
                !Fire(this, OnRecordKeyboardMacroKey, int(k.nKeyType), int(k.nKeyValue), int(k.nKeyState),
                      int(k.nKeyValueExtended), k.Time, k.MacroKeyString, k.MacroKeyStateString, FMacroKeyList))
                return;
        } else {
            const auto &obj = std::get<std::unique_ptr<TMOUSEMacroKeyObject>>(item.object);
            const TMOUSEMACROKEY &m = obj->FMOUSEMacroKey;
            if (OnRecordMouseMacroKey &&
                !Fire(this, OnRecordMouseMacroKey, int(m.nKeyType), m.MouseButton, int(m.nKeyState), m.X, m.Y, m.Time,
                      m.MacroKeyString, m.MacroKeyStateString, FMouseMacroKeyList))
                return;
        }
    }
}
