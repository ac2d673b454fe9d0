#pragma once
// The hook component: the suite's view of key presses and mouse actions, for
// recording a single key, a key combination or a macro, and for general
// hooking with per-key and per-button filters.
//
// It does not watch input itself. It loads the hook library (libkwHook.so in
// the program folder) once per process, shared by every component, and the
// library calls the component back on the GUI thread for each event,
// swallowing the event when the callback sets its block flag.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <variant>
#include <vector>

struct KwKeyboardHookRecord;
struct KwMouseHookRecord;

enum TMouseButtons : int32_t {
    BUTTON_NONE,
    LCLICK,
    RCLICK,
    MCLICK,
    XCLICK4,
    XCLICK5,
    WHEELUP,
    WHEELDOWN,
    BUTTONX1,
    BUTTONX2,
    BUTTONX3,
};

// Value n stands for the Windows mouse message 0x200 + n.
enum TMouseButtonStates : int32_t {
    MOUSEMOVE,
    LBUTTONDOWN,
    LBUTTONUP,
    LBUTTONDBLCLK,
    RBUTTONDOWN,
    RBUTTONUP,
    RBUTTONDBLCLK,
    MBUTTONDOWN,
    MBUTTONUP,
    MBUTTONDBLCLK,
    MOUSEWHEEL,
    XBUTTONDOWN,
    XBUTTONUP,
    XBUTTONDBLCLK,
    MOUSEHWHEEL,
    OTHERFUNCTION,
};

// A set of TMouseButtonStates: bit n for value n.
using TMouseButtonStateSet = uint16_t;

enum TMouseStatesToHook : int32_t { HOOK_DOWN, HOOK_UP };

struct TKeyBoardHookDetail {
    int32_t KeyboardVKKey = 0;
    int32_t KeyboardSCANKey = 0;
    int32_t KeyExtended = 0;
    int32_t block = 0;
};

struct TKeyBoardHookDetailObject {
    TKeyBoardHookDetail FKeyBoardHookDetail;
};

struct TMouseHookDetail {
    TMouseButtons MouseButton = BUTTON_NONE;
    TMouseButtonStateSet MouseStateSet = 0;
    TMouseButtons ModifiedFunction = BUTTON_NONE;
    TMouseStatesToHook MouseStateToHook = HOOK_DOWN;
};

struct TMouseHookDetailObject {
    TMouseHookDetail FMouseHookDetail;
};

// The combination being recorded.
struct TCOMBOKEY {
    uint16_t nKeyValue1 = 0;
    uint16_t nKeyValue1Extended = 0;
    uint16_t nKeyValue2 = 0;
    uint16_t nKeyValue2Extended = 0;
    uint16_t nModifier = 0; // Alt 1, Ctrl 2, Shift 4, Win 8
    uint32_t nScanKey1 = 0;
    uint32_t nScanKey2 = 0;
};

// One recorded keyboard-macro item: a key (type 1) or a delay (type 0, value in ms).
struct TMACROKEYHOOK {
    uint16_t nKeyType = 0;
    uint16_t nKeyState = 0;
    uint16_t nKeyValue = 0;
    uint16_t nKeyValueExtended = 0;
    double Time = 0;
    QString MacroKeyString;
    QString MacroKeyStateString;
};

struct TMacroKeyObject {
    TMACROKEYHOOK FMacroKey;
};

// One recorded mouse-macro item: a button (type 1) or a delay (type 0).
struct TMOUSEMACROKEY {
    uint16_t nKeyType = 0;
    uint16_t nKeyState = 0;
    TMouseButtons MouseButton = BUTTON_NONE;
    uint16_t X = 0;
    uint16_t Y = 0;
    uint16_t TimeValue = 0;
    double Time = 0;
    QString MacroKeyString;
    QString MacroKeyStateString;
};

struct TMOUSEMacroKeyObject {
    TMOUSEMACROKEY FMOUSEMacroKey;
};

// A string list whose entries own an object each.
template <class T>
class TkwObjectStringList {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    QString Strings(int i) const { return Valid(i) ? m_items[static_cast<size_t>(i)].first : QString(); }
    T *Objects(int i) const { return Valid(i) ? m_items[static_cast<size_t>(i)].second.get() : nullptr; }
    void AddObject(const QString &text, std::unique_ptr<T> object) { m_items.emplace_back(text, std::move(object)); }
    void Clear() { m_items.clear(); }

private:
    bool Valid(int i) const { return i >= 0 && i < Count(); }
    std::vector<std::pair<QString, std::unique_ptr<T>>> m_items;
};

using TMacroKeyList = TkwObjectStringList<TMacroKeyObject>;
using TMouseMacroKeyList = TkwObjectStringList<TMOUSEMacroKeyObject>;
using TKeyboardHookObjectList = TkwObjectStringList<TKeyBoardHookDetailObject>;
using TMouseHookObjectList = TkwObjectStringList<TMouseHookDetailObject>;

// Event types. AState is 1 for a press and 0 for a release; a Time carries
// the hook's time stamp in milliseconds.
using TOnRecordKeyboardSingleKey = std::function<void(int Key, uint32_t ScanKey, int AState, int AKeyExtended,
                                                      const QString &SingleKeyString, bool &ABlocked)>;
using TOnRecordKeyboardComboKey = std::function<void(int Key1, int Key1Extended, int Key2, int Key2Extended,
                                                     int Modifier, const QString &ComboKeyString)>;
using TOnRecordKeyboardComboKey2 =
    std::function<void(int Key1, uint32_t ScanKey1, int Key1Extended, int Key2, uint32_t ScanKey2, int Key2Extended,
                       int Modifier, const QString &ComboKeyString)>;
using TOnRecordKeyboardMacroKey =
    std::function<void(int MacroType, int Key1, int AState, int Extended, double Time, const QString &MacroKeyString,
                       const QString &MacroKeyStateString, TMacroKeyList &KeyList)>;
using TOnRecordKeyboardMacroKeyEx =
    std::function<void(int MacroType, int Key1, int AState, int Extended, double Time, uint32_t TotalTime,
                       const QString &MacroKeyString, const QString &MacroKeyStateString, TMacroKeyList &KeyList)>;
using TOnStopRecordKeyboardMacroKey = std::function<void(TMacroKeyList &KeyoboardRecordList)>;
using TOnRecordMouseMacroKey =
    std::function<void(int MacroType, TMouseButtons AButton, int AState, uint16_t X, uint16_t Y, double Time,
                       const QString &MacroKeyString, const QString &MacroKeyStateString,
                       TMouseMacroKeyList &MouseRecordList)>;
using TOnStopRecordMouseMacroKey = std::function<void(TMouseMacroKeyList &MouseRecordList)>;
using TOnHookKeyboardKey =
    std::function<void(int Key, int AState, int AKeyExtended, bool &ABlocked, uint32_t AScanKey)>;
using TOnHookMouseButton = std::function<void(TMouseButtons AkwButton, int AState, bool &ABlocked)>;
using TOnHookAllMouseButton =
    std::function<void(TMouseButtons AkwButton, int AState, int16_t AExValue, bool &ABlocked)>;
using TOnHookMouseMove = std::function<void(int X, int Y, double Time)>;

// Shows the message of a missing hook library: (title, text). The programs
// install one that opens a message box; core itself has no widgets.
using TkwHookMessageSink = std::function<void(const QString &title, const QString &text)>;

class TkwHook : public QObject {
public:
    explicit TkwHook(QObject *AOwner = nullptr);
    ~TkwHook() override;
    TkwHook(const TkwHook &) = delete;
    TkwHook &operator=(const TkwHook &) = delete;

    bool DLLLoaded() const { return FDLLLoaded; }

    void StartHookKeyboard();
    void StopHookKeyboard();
    void StartHookMouse();
    void StopHookMouse();

    void AddKeyboardHookObject(std::unique_ptr<TKeyBoardHookDetailObject> AObject);
    void RemoveAllKeyboardHookObject();
    void AddMouseHookObject(std::unique_ptr<TMouseHookDetailObject> AObject);
    void RemoveAllMouseHookObject();

    void RecordKeyboardSingleKey();
    void StopRecordKeyboardSingleKey();
    void RecordKeyboardComboKey();
    void StopRecordKeyboardComboKey();
    void RecordKeyboardMacroKey();
    void StopRecordKeyboardMacroKey();
    void RecordKeyboardMacroKeyEx();
    void StopRecordKeyboardMacroKeyEx();
    void RecordMouseMacro();
    void StopRecordMouseMacro();

    // The worker's data path: items handed in from any thread are fired as
    // recording events on the component's thread. Tag 1 carries a keyboard
    // item, tag 0 a mouse item.
    void QueueKeyboardMacroItem(std::unique_ptr<TMacroKeyObject> AItem);
    void QueueMouseMacroItem(std::unique_ptr<TMOUSEMacroKeyObject> AItem);
    void ProcessDataEvent();

    const TMacroKeyList &MacroKeyList() const { return FMacroKeyList; }
    const TMouseMacroKeyList &MouseMacroKeyList() const { return FMouseMacroKeyList; }
    const TCOMBOKEY &ComboKeyInfo() const { return FComboKeyInfo; }

    // Where the library is loaded from; empty restores the program folder's
    // libkwHook.so. Takes effect at the next load (when no component holds it).
    static void SetLibraryPath(const QString &path);
    static QString LibraryPath();
    static void SetMessageSink(TkwHookMessageSink sink);

    // Published events, bound by the owner.
    TOnRecordKeyboardSingleKey OnRecordKeyboardSingleKey;
    TOnRecordKeyboardComboKey OnRecordKeyboardComboKey;
    TOnRecordKeyboardComboKey2 OnRecordKeyboardComboKey2;
    TOnRecordKeyboardMacroKey OnRecordKeyboardMacroKey;
    TOnRecordKeyboardMacroKeyEx OnRecordKeyboardMacroKeyEx;
    TOnStopRecordKeyboardMacroKey OnStopRecordKeyboardMacroKey;
    TOnRecordMouseMacroKey OnRecordMouseMacroKey;
    TOnStopRecordMouseMacroKey OnStopRecordMouseMacroKey;
    TOnHookKeyboardKey OnHookKeyboardKey;
    TOnHookKeyboardKey OnHookKeyboardAllKey;
    TOnHookMouseButton OnHookMouseButton;
    TOnHookAllMouseButton OnHookMouseAllButton;
    TOnHookMouseMove OnHookMouseMove;

    // The extended recorder takes no more items than this; further keys are
    // neither recorded nor swallowed. The mouse recorder keeps the same bound.
    static constexpr int MaxRecordedItems = 500;

private:
    using HookProc = void (*)(void *, int32_t, uintptr_t, const void *, bool *);

    void InstallKeyboard(HookProc proc);
    void RemoveKeyboard();
    void InstallMouse(HookProc proc);
    void RemoveMouse();

    static void KeyboardHookProc(void *, int32_t, uintptr_t, const void *, bool *);
    static void MouseHookProc(void *, int32_t, uintptr_t, const void *, bool *);
    static void SingleKeyProc(void *, int32_t, uintptr_t, const void *, bool *);
    static void ComboKeyProc(void *, int32_t, uintptr_t, const void *, bool *);
    static void MacroKeyProc(void *, int32_t, uintptr_t, const void *, bool *);
    static void MacroKeyExProc(void *, int32_t, uintptr_t, const void *, bool *);
    static void MouseMacroProc(void *, int32_t, uintptr_t, const void *, bool *);

    void OnKeyboardHook(int32_t code, const KwKeyboardHookRecord &rec, bool &block);
    void OnMouseHook(uintptr_t message, const KwMouseHookRecord &rec, bool &block);
    void OnSingleKey(const KwKeyboardHookRecord &rec, bool &block);
    void OnComboKey(const KwKeyboardHookRecord &rec, bool &block);
    void OnMacroKey(const KwKeyboardHookRecord &rec, bool &block);
    void OnMacroKeyEx(const KwKeyboardHookRecord &rec, bool &block);
    void OnMouseMacro(uintptr_t message, const KwMouseHookRecord &rec);
    void AddMacroItem(uint16_t type, uint16_t state, uint16_t value, uint16_t extended);
    void AddMouseItem(uint16_t type, uint16_t state, TMouseButtons button, uint16_t x, uint16_t y,
                      uint16_t timeValue);

    struct QueuedItem {
        uint8_t tag;
        std::variant<std::unique_ptr<TMacroKeyObject>, std::unique_ptr<TMOUSEMacroKeyObject>> object;
    };
    void Enqueue(QueuedItem item);

    QObject *FOwner = nullptr;
    bool FDLLLoaded = false;
    TCOMBOKEY FComboKeyInfo;
    QString FComboKeyString;
    TMacroKeyList FMacroKeyList;
    TMouseMacroKeyList FMouseMacroKeyList;
    TKeyboardHookObjectList FKeyboardHookObjectList;
    TMouseHookObjectList FMouseHookObjectList;
    std::mutex FRecordDataLock;
    std::vector<QueuedItem> FRecordDataToProcessList;
    uint32_t FLastTimeKeyboardMacro = 0;
    uint32_t FLastTimeKeyboardCombo = 0;
    uint32_t FLastTimeMouseMacro = 0;
    uint32_t FTotalMacroTime = 0;
    struct LastKey {
        uint32_t vkCode = 0;
        uint32_t flags = 0;
        uint32_t time = 0;
    } FLastMacroKey;
    uint8_t FAllKeyState[256] = {};
};

// Names of the mouse buttons as the recorders report them ("" for a button
// without one).
QString MouseButtonDescription(TMouseButtons button);
