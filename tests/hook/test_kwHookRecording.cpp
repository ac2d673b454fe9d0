// The recorders and the filtered hooks of the hook component. Key and mouse
// events are real Qt events sent to a real window, with chosen time stamps;
// what no real event can carry (the injected flag, a hook code other than 0)
// goes through the scripted stand-in library.

#include "core/kwHook.h"
#include "core/kwKeyCode.h"
#include "hook/kwHookApi.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <thread>
#include <vector>

namespace {

class CountingWindow : public QWindow {
public:
    CountingWindow()
    {
        resize(200, 200);
        show();
    }
    int keyPresses = 0;
    int keyReleases = 0;
    int mousePresses = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++keyPresses; }
    void keyReleaseEvent(QKeyEvent *) override { ++keyReleases; }
    void mousePressEvent(QMouseEvent *) override { ++mousePresses; }
};

void Key(QWindow *w, bool down, int key, ulong time, Qt::KeyboardModifiers mods = Qt::NoModifier, quint32 scan = 0,
         bool autoRepeat = false)
{
    QKeyEvent ev(down ? QEvent::KeyPress : QEvent::KeyRelease, key, mods, scan, 0, 0, QString(), autoRepeat);
    ev.setTimestamp(time);
    QCoreApplication::sendEvent(w, &ev);
}

void Mouse(QWindow *w, QEvent::Type type, Qt::MouseButton button, ulong time, QPointF pos = QPointF(5, 5))
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent ev(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    ev.setTimestamp(time);
    QCoreApplication::sendEvent(w, &ev);
}

void Wheel(QWindow *w, int delta, ulong time)
{
    const QPointF pos(5, 5);
    QWheelEvent ev(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    ev.setTimestamp(time);
    QCoreApplication::sendEvent(w, &ev);
}

QString Desc(int vk, int ext = 0)
{
    return GetKeyDescriptionByVK(vk, ext);
}

struct Item {
    int type;
    int state;
    int value;
};

std::vector<Item> Items(const TMacroKeyList &list)
{
    std::vector<Item> v;
    for (int i = 0; i < list.Count(); ++i) {
        const TMACROKEYHOOK &k = list.Objects(i)->FMacroKey;
        v.push_back({k.nKeyType, k.nKeyState, k.nKeyValue});
        EXPECT_EQ(list.Strings(i), QString::number(i));
    }
    return v;
}

void ExpectItems(const std::vector<Item> &got, const std::vector<Item> &want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].type, want[i].type) << i;
        EXPECT_EQ(got[i].state, want[i].state) << i;
        EXPECT_EQ(got[i].value, want[i].value) << i;
    }
}

class Recording : public ::testing::Test {
protected:
    void SetUp() override
    {
        TkwHook::SetLibraryPath(QString());
        ASSERT_TRUE(hook.DLLLoaded());
    }
    CountingWindow window;
    TkwHook hook;
};

struct Combo {
    int key1, ext1, key2, ext2, modifier;
    QString text;
};

TEST_F(Recording, CombinationTakesTheModifiersHeldAndSwallowsTheKey)
{
    std::vector<Combo> seen;
    hook.OnRecordKeyboardComboKey = [&](int k1, int e1, int k2, int e2, int mod, const QString &text) {
        seen.push_back({k1, e1, k2, e2, mod, text});
    };
    hook.RecordKeyboardComboKey();
    Key(&window, true, Qt::Key_Control, 1000, Qt::ControlModifier, 29 + 8);
    Key(&window, true, Qt::Key_C, 1500, Qt::ControlModifier, 46 + 8);
    Key(&window, false, Qt::Key_C, 1600, Qt::ControlModifier, 46 + 8);
    Key(&window, false, Qt::Key_Control, 1700, Qt::NoModifier, 29 + 8);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].key1, 0x43);
    EXPECT_EQ(seen[0].key2, 0);
    EXPECT_EQ(seen[0].modifier, 2);
    EXPECT_EQ(seen[0].text, QStringLiteral("Ctrl+") + Desc(0x43));
    EXPECT_EQ(window.keyPresses, 1);  // the Ctrl press
    EXPECT_EQ(window.keyReleases, 2); // both releases
    hook.StopRecordKeyboardComboKey();
}

TEST_F(Recording, CombinationPairsKeysWithin100Milliseconds)
{
    struct Case {
        const char *name;
        std::vector<std::pair<int, ulong>> presses; // Qt key, time stamp
        int key1, key2;
        QString text;
    };
    const std::vector<Case> cases = {
        {"PairAt100", {{Qt::Key_A, 5000}, {Qt::Key_B, 5100}}, 0x41, 0x42, Desc(0x41) + "+" + Desc(0x42)},
        {"NewAt101", {{Qt::Key_A, 5000}, {Qt::Key_B, 5101}}, 0x42, 0, Desc(0x42)},
        {"ThirdStartsAnew", {{Qt::Key_A, 5000}, {Qt::Key_B, 5050}, {Qt::Key_C, 5090}}, 0x43, 0, Desc(0x43)},
        {"SameKeyTwice", {{Qt::Key_A, 5000}, {Qt::Key_A, 5050}}, 0x41, 0, Desc(0x41)},
        {"AcrossTheClockWrap", {{Qt::Key_A, 0xFFFFFFF0ul}, {Qt::Key_B, 0x40}}, 0x41, 0x42,
         Desc(0x41) + "+" + Desc(0x42)},
        {"ClockBackwardsIsADistanceToo", {{Qt::Key_A, 5000}, {Qt::Key_B, 4950}}, 0x41, 0x42,
         Desc(0x41) + "+" + Desc(0x42)},
    };
    for (const Case &c : cases) {
        std::vector<Combo> seen;
        hook.OnRecordKeyboardComboKey = [&](int k1, int e1, int k2, int e2, int mod, const QString &text) {
            seen.push_back({k1, e1, k2, e2, mod, text});
        };
        hook.RecordKeyboardComboKey();
        for (const auto &[key, time] : c.presses)
            Key(&window, true, key, time);
        ASSERT_FALSE(seen.empty()) << c.name;
        EXPECT_EQ(seen.back().key1, c.key1) << c.name;
        EXPECT_EQ(seen.back().key2, c.key2) << c.name;
        EXPECT_EQ(seen.back().text, c.text) << c.name;
        EXPECT_EQ(seen.back().modifier, 0) << c.name;
        hook.StopRecordKeyboardComboKey();
    }
    EXPECT_EQ(window.keyPresses, 0);
}

TEST_F(Recording, CombinationSecondVariantCarriesScanCodes)
{
    uint32_t scan1 = 0;
    int calls = 0;
    hook.OnRecordKeyboardComboKey2 = [&](int k1, uint32_t s1, int, int, uint32_t, int, int, const QString &) {
        EXPECT_EQ(k1, 0x41);
        scan1 = s1;
        ++calls;
    };
    hook.RecordKeyboardComboKey();
    Key(&window, true, Qt::Key_A, 9000, Qt::NoModifier, 30 + 8);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(scan1, 0x1Eu);
    hook.StopRecordKeyboardComboKey();
}

TEST_F(Recording, SingleKeyReportsPressAndReleaseAndLetsThemThrough)
{
    std::vector<std::pair<int, QString>> seen;
    hook.OnRecordKeyboardSingleKey = [&](int key, uint32_t, int state, int ext, const QString &text, bool &) {
        seen.emplace_back(key * 10 + state, text);
        EXPECT_EQ(ext, 1);
    };
    hook.RecordKeyboardSingleKey();
    QTest::keyClick(&window, Qt::Key_Left);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, 0x25 * 10 + 1);
    EXPECT_EQ(seen[1].first, 0x25 * 10 + 0);
    EXPECT_EQ(seen[0].second, Desc(0x25, 1));
    EXPECT_EQ(window.keyPresses, 1);
    hook.StopRecordKeyboardSingleKey();
    QTest::keyClick(&window, Qt::Key_Left);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(Recording, ExtendedMacroFoldsAHeldKeyIntoOnePressAndOneDelay)
{
    QStringList fired;
    hook.OnRecordKeyboardMacroKeyEx = [&](int type, int key, int, int, double, uint32_t total, const QString &text,
                                          const QString &state, TMacroKeyList &) {
        EXPECT_EQ(type, 1);
        fired << QStringLiteral("%1 %2 %3 %4").arg(key).arg(text, state).arg(total);
    };
    std::vector<Item> handed;
    hook.OnStopRecordKeyboardMacroKey = [&](TMacroKeyList &list) { handed = Items(list); };
    hook.RecordKeyboardMacroKeyEx();
    // X11's auto-repeat: release-press pairs flagged as repeats.
    Key(&window, true, Qt::Key_A, 10000, Qt::NoModifier, 30 + 8);
    for (ulong t = 10500; t < 11000; t += 33) {
        Key(&window, false, Qt::Key_A, t, Qt::NoModifier, 30 + 8, true);
        Key(&window, true, Qt::Key_A, t, Qt::NoModifier, 30 + 8, true);
    }
    Key(&window, false, Qt::Key_A, 11000, Qt::NoModifier, 30 + 8);
    EXPECT_EQ(fired, (QStringList{QStringLiteral("65 %1 Down 0").arg(Desc(65)),
                                           QStringLiteral("65 %1 Up 1000").arg(Desc(65))}));
    EXPECT_EQ(window.keyPresses, 0);
    EXPECT_EQ(window.keyReleases, 0);
    hook.StopRecordKeyboardMacroKeyEx();
    ExpectItems(handed, {{1, 1, 65}, {0, 0, 1000}, {1, 0, 65}});
    EXPECT_EQ(hook.MacroKeyList().Count(), 0);
}

TEST_F(Recording, ExtendedMacroDelaysAreCappedAndNeverWrap)
{
    hook.OnRecordKeyboardMacroKeyEx = [](int, int, int, int, double, uint32_t, const QString &, const QString &,
                                         TMacroKeyList &) {};
    hook.RecordKeyboardMacroKeyEx();
    Key(&window, true, Qt::Key_A, 1000);
    Key(&window, true, Qt::Key_B, 71000);         // 70 s later
    Key(&window, false, Qt::Key_A, 71050);
    Key(&window, false, Qt::Key_B, 71000);        // the clock went back
    Key(&window, true, Qt::Key_C, 171000);        // 100 s later
    Key(&window, true, Qt::Key_D, 0xFFFFFFF0ul);  // more than 24 days apart reads as backwards
    Key(&window, false, Qt::Key_D, 0x0000000Aul); // 26 ms across the wrap
    ExpectItems(Items(hook.MacroKeyList()), {{1, 1, 0x41},
                                             {0, 0, 65535},
                                             {1, 1, 0x42},
                                             {0, 0, 50},
                                             {1, 0, 0x41},
                                             {1, 0, 0x42},
                                             {0, 0, 65535},
                                             {1, 1, 0x43},
                                             {1, 1, 0x44},
                                             {0, 0, 26},
                                             {1, 0, 0x44}});
    hook.StopRecordKeyboardMacroKeyEx();
}

TEST_F(Recording, ExtendedMacroStopsTakingKeysAfter500Items)
{
    int fired = 0;
    hook.OnRecordKeyboardMacroKeyEx = [&](int, int, int, int, double, uint32_t, const QString &, const QString &,
                                          TMacroKeyList &) { ++fired; };
    hook.RecordKeyboardMacroKeyEx();
    // Equal time stamps make no delay items: one item per event.
    for (int i = 0; i < 501; ++i)
        Key(&window, i % 2 == 0, Qt::Key_A, 2000);
    EXPECT_EQ(hook.MacroKeyList().Count(), 501);
    EXPECT_EQ(window.keyPresses + window.keyReleases, 0);
    Key(&window, true, Qt::Key_B, 2000);
    EXPECT_EQ(hook.MacroKeyList().Count(), 501);
    EXPECT_EQ(fired, 501);
    EXPECT_EQ(window.keyPresses, 1); // neither recorded nor swallowed
    hook.StopRecordKeyboardMacroKeyEx();
}

TEST_F(Recording, ExtendedMacroStartsAfreshOnEachRecording)
{
    hook.OnRecordKeyboardMacroKeyEx = [](int, int, int, int, double, uint32_t, const QString &, const QString &,
                                         TMacroKeyList &) {};
    hook.RecordKeyboardMacroKeyEx();
    Key(&window, true, Qt::Key_A, 1000);
    hook.StopRecordKeyboardMacroKeyEx();
    hook.RecordKeyboardMacroKeyEx();
    Key(&window, true, Qt::Key_A, 3000); // A's old press is forgotten
    ExpectItems(Items(hook.MacroKeyList()), {{1, 1, 0x41}});
    hook.StopRecordKeyboardMacroKeyEx();
}

TEST_F(Recording, PlainMacroAddsDelaysStrictlyBetween10And2000)
{
    std::vector<int> delays;
    hook.OnRecordKeyboardMacroKey = [&](int type, int key, int, int, double, const QString &text,
                                        const QString &state, TMacroKeyList &) {
        if (type == 0) {
            delays.push_back(key);
            EXPECT_EQ(text, QString::number(key));
            EXPECT_EQ(state, QStringLiteral("ms"));
        }
    };
    hook.RecordKeyboardMacroKey();
    ulong t = 100000;
    Key(&window, true, Qt::Key_A, t);
    for (const ulong gap : {10ul, 11ul, 1999ul, 2000ul}) {
        t += gap;
        Key(&window, false, Qt::Key_A, t);
    }
    EXPECT_EQ(delays, (std::vector<int>{11, 1999}));
    EXPECT_EQ(hook.MacroKeyList().Count(), 7);
    EXPECT_EQ(window.keyPresses + window.keyReleases, 0);
    hook.StopRecordKeyboardMacroKey();
}

struct MouseItem {
    int type;
    TMouseButtons button;
    int state;
    QString text;
    QString stateText;
};

TEST_F(Recording, MouseMacroRecordsClicksWheelAndDelays)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    std::vector<MouseItem> seen;
    hook.OnRecordMouseMacroKey = [&](int type, TMouseButtons b, int state, uint16_t, uint16_t, double,
                                     const QString &text, const QString &st, TMouseMacroKeyList &) {
        seen.push_back({type, b, state, text, st});
    };
    hook.RecordMouseMacro();
    Mouse(&window, QEvent::MouseButtonPress, Qt::LeftButton, 1000);
    Mouse(&window, QEvent::MouseButtonRelease, Qt::LeftButton, 1080);
    Wheel(&window, 120, 1100);
    Wheel(&window, -240, 71100); // 70 s later
    Mouse(&window, QEvent::MouseButtonPress, Qt::RightButton, 500); // clock went back: dropped
    Mouse(&window, QEvent::MouseButtonRelease, Qt::RightButton, 510);
    const std::vector<MouseItem> expected = {
        {1, LCLICK, 1, "Mouse Click", "Down"},
        {0, BUTTON_NONE, 0, "80", "ms"},
        {1, LCLICK, 0, "Mouse Click", "Up"},
        {0, BUTTON_NONE, 0, "20", "ms"},
        {1, WHEELUP, 1, "Wheel up(Mouse)", "Down"},
        {0, BUTTON_NONE, 0, "65535", "ms"},
        {1, WHEELDOWN, 1, "Wheel Down(Mouse)", "Down"},
        {0, BUTTON_NONE, 0, "10", "ms"},
        {1, RCLICK, 0, "Mouse Right Click", "Up"},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seen[i].type, expected[i].type) << i;
        EXPECT_EQ(seen[i].button, expected[i].button) << i;
        EXPECT_EQ(seen[i].state, expected[i].state) << i;
        EXPECT_EQ(seen[i].text, expected[i].text) << i;
        EXPECT_EQ(seen[i].stateText, expected[i].stateText) << i;
    }
    EXPECT_EQ(hook.MouseMacroKeyList().Objects(5)->FMOUSEMacroKey.TimeValue, 65535);
    EXPECT_EQ(window.mousePresses, 2); // never swallowed, the dropped press neither
    int handed = 0;
    hook.OnStopRecordMouseMacroKey = [&](TMouseMacroKeyList &list) { handed = list.Count(); };
    hook.StopRecordMouseMacro();
    EXPECT_EQ(handed, static_cast<int>(expected.size()));
    EXPECT_EQ(hook.MouseMacroKeyList().Count(), handed); // kept until the next recording
}

TEST_F(Recording, MouseMacroListStopsGrowing)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    hook.OnRecordMouseMacroKey = [](int, TMouseButtons, int, uint16_t, uint16_t, double, const QString &,
                                    const QString &, TMouseMacroKeyList &) {};
    hook.RecordMouseMacro();
    for (int i = 0; i < 600; ++i)
        Mouse(&window, QEvent::MouseMove, Qt::NoButton, 1000 + static_cast<ulong>(i), QPointF(5 + i % 50, 5));
    EXPECT_EQ(hook.MouseMacroKeyList().Count(), TkwHook::MaxRecordedItems + 1);
    hook.StopRecordMouseMacro();
}

TEST_F(Recording, KeyFiltersDecideWhichKeysFireAndBlock)
{
    struct Case {
        const char *name;
        std::vector<TKeyBoardHookDetail> filters;
        int qtKey;
        bool fires;
        bool blocked;
    };
    const std::vector<Case> cases = {
        {"EndMarkerFirst", {{-1, 0, 0, 1}, {0x41, 0, 0, 1}}, Qt::Key_A, false, false},
        {"ByVirtualKey", {{0x42, 0, 0, 1}, {0x41, 0, 0, 1}}, Qt::Key_A, true, true},
        {"ByScanCode", {{0, 0x1E, 0, 0}}, Qt::Key_A, true, false},
        {"ExtendedMismatch", {{0x25, 0, 0, 1}}, Qt::Key_Left, false, false},
        {"ExtendedMatch", {{0x25, 0, 1, 1}}, Qt::Key_Left, true, true},
    };
    for (const Case &c : cases) {
        CountingWindow w;
        int fired = 0;
        int all = 0;
        hook.RemoveAllKeyboardHookObject();
        for (const TKeyBoardHookDetail &f : c.filters) {
            auto obj = std::make_unique<TKeyBoardHookDetailObject>();
            obj->FKeyBoardHookDetail = f;
            hook.AddKeyboardHookObject(std::move(obj));
        }
        hook.OnHookKeyboardKey = [&](int, int, int, bool &, uint32_t) { ++fired; };
        hook.OnHookKeyboardAllKey = [&](int, int, int, bool &, uint32_t) { ++all; };
        hook.StartHookKeyboard();
        Key(&w, true, c.qtKey, 100);
        EXPECT_EQ(fired, c.fires ? 1 : 0) << c.name;
        EXPECT_EQ(all, 1) << c.name;
        EXPECT_EQ(w.keyPresses, c.blocked ? 0 : 1) << c.name;
        hook.StopHookKeyboard();
    }
}

TEST_F(Recording, ButtonFiltersMatchByStateSetAndButtonOrder)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto add = [&](TMouseButtons button, TMouseButtonStateSet states, TMouseButtons modified) {
        auto obj = std::make_unique<TMouseHookDetailObject>();
        obj->FMouseHookDetail = {button, states, modified, HOOK_DOWN};
        hook.AddMouseHookObject(std::move(obj));
    };
    std::vector<std::pair<TMouseButtons, int>> fired;
    int moves = 0;
    hook.OnHookMouseButton = [&](TMouseButtons b, int state, bool &block) {
        fired.emplace_back(b, state);
        block = true;
    };
    hook.OnHookMouseMove = [&](int, int, double) { ++moves; };
    add(RCLICK, 1u << RBUTTONDOWN, BUTTON_NONE);                // right presses only
    add(WHEELDOWN, 1u << LBUTTONDOWN | 1u << LBUTTONUP, LCLICK); // left: replaced by itself, no event
    hook.StartHookMouse();
    Mouse(&window, QEvent::MouseButtonPress, Qt::RightButton, 10);
    Mouse(&window, QEvent::MouseButtonRelease, Qt::RightButton, 20);
    Mouse(&window, QEvent::MouseButtonPress, Qt::LeftButton, 30);
    Mouse(&window, QEvent::MouseMove, Qt::NoButton, 40, QPointF(9, 9));
    EXPECT_EQ(fired, (std::vector<std::pair<TMouseButtons, int>>{{RCLICK, 1}}));
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(window.mousePresses, 1); // the left press
    hook.StopHookMouse();
}

// --- through the scripted stand-in library ---------------------------------

class ScriptedRecording : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QByteArray path = HKT75_BIN_DIR "/libkwHookScripted.so";
        TkwHook::SetLibraryPath(QString::fromLatin1(path));
        hook = std::make_unique<TkwHook>();
        ASSERT_TRUE(hook->DLLLoaded());
        handle = dlopen(path.constData(), RTLD_NOW);
        ASSERT_NE(handle, nullptr);
        keyboard = reinterpret_cast<KeyboardFn>(dlsym(handle, "ScriptKeyboardEvent"));
        mouse = reinterpret_cast<MouseFn>(dlsym(handle, "ScriptMouseEvent"));
        ASSERT_TRUE(keyboard && mouse);
    }
    void TearDown() override
    {
        hook.reset();
        if (handle)
            dlclose(handle);
        TkwHook::SetLibraryPath(QString());
    }
    using KeyboardFn = int (*)(int32_t, uintptr_t, const KwKeyboardHookRecord *);
    using MouseFn = int (*)(uintptr_t, const KwMouseHookRecord *);
    std::unique_ptr<TkwHook> hook;
    void *handle = nullptr;
    KeyboardFn keyboard = nullptr;
    MouseFn mouse = nullptr;
};

TEST_F(ScriptedRecording, InjectedMouseEventsFireNothing)
{
    int events = 0;
    hook->OnHookMouseAllButton = [&](TMouseButtons, int, int16_t, bool &) { ++events; };
    hook->OnHookMouseMove = [&](int, int, double) { ++events; };
    hook->StartHookMouse();
    KwMouseHookRecord rec{10, 10, 0, kwhook::kMouseFlagInjected, 100};
    EXPECT_EQ(mouse(kwhook::kWmLButtonDown, &rec), 0);
    EXPECT_EQ(mouse(kwhook::kWmMouseMove, &rec), 0);
    EXPECT_EQ(events, 0);
    rec.flags = 0;
    mouse(kwhook::kWmLButtonDown, &rec);
    EXPECT_EQ(events, 1);

    hook->OnRecordMouseMacroKey = [&](int, TMouseButtons, int, uint16_t, uint16_t, double, const QString &,
                                      const QString &, TMouseMacroKeyList &) { ++events; };
    hook->RecordMouseMacro();
    rec.flags = kwhook::kMouseFlagInjected;
    mouse(kwhook::kWmLButtonDown, &rec);
    EXPECT_EQ(hook->MouseMacroKeyList().Count(), 0);
    // A button item's position is clamped; a delay item keeps the low 16 bits.
    rec = {-5, 70000, 0, 0, 200};
    mouse(kwhook::kWmLButtonDown, &rec);
    rec.time = 300;
    mouse(kwhook::kWmLButtonUp, &rec);
    ASSERT_EQ(hook->MouseMacroKeyList().Count(), 3);
    EXPECT_EQ(hook->MouseMacroKeyList().Objects(0)->FMOUSEMacroKey.X, 0);
    EXPECT_EQ(hook->MouseMacroKeyList().Objects(0)->FMOUSEMacroKey.Y, 65535);
    EXPECT_EQ(hook->MouseMacroKeyList().Objects(1)->FMOUSEMacroKey.X, static_cast<uint16_t>(-5));
    hook->StopRecordMouseMacro();
}

TEST_F(ScriptedRecording, GeneralKeyboardHookActsOnCodeZeroOnlyRecordersOnAny)
{
    int general = 0;
    hook->OnHookKeyboardAllKey = [&](int, int, int, bool &, uint32_t) { ++general; };
    hook->StartHookKeyboard();
    KwKeyboardHookRecord rec{0x41, 0x1E, 0, 100, 0};
    keyboard(1, kwhook::kWmKeyDown, &rec);
    EXPECT_EQ(general, 0);
    keyboard(0, kwhook::kWmKeyDown, &rec);
    EXPECT_EQ(general, 1);

    int single = 0;
    hook->OnRecordKeyboardSingleKey = [&](int, uint32_t, int, int, const QString &, bool &) { ++single; };
    hook->RecordKeyboardSingleKey();
    keyboard(1, kwhook::kWmKeyDown, &rec);
    EXPECT_EQ(single, 1);
    hook->StopRecordKeyboardSingleKey();
    EXPECT_EQ(keyboard(0, kwhook::kWmKeyDown, &rec), -1); // nothing installed any more
}

TEST_F(ScriptedRecording, WheelDirectionIsTheSignOfTheWholeDelta)
{
    std::vector<std::pair<TMouseButtons, int16_t>> seen;
    hook->OnHookMouseAllButton = [&](TMouseButtons b, int, int16_t ex, bool &) { seen.emplace_back(b, ex); };
    hook->StartHookMouse();
    for (const int delta : {120, -120, 240, -256, 0}) {
        KwMouseHookRecord rec{0, 0, static_cast<uint32_t>(static_cast<uint16_t>(delta)) << 16, 0, 1};
        mouse(kwhook::kWmMouseWheel, &rec);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<TMouseButtons, int16_t>>{
                        {WHEELUP, 120}, {WHEELDOWN, -120}, {WHEELUP, 240}, {WHEELDOWN, -256}, {BUTTON_NONE, 0}}));
}

} // namespace

namespace {

TEST_F(Recording, QueuedItemsFireOnTheComponentsThread)
{
    std::vector<std::pair<int, std::thread::id>> fired;
    hook.OnRecordKeyboardMacroKey = [&](int type, int key, int, int, double, const QString &, const QString &,
                                        TMacroKeyList &) { fired.emplace_back(type * 1000 + key, std::this_thread::get_id()); };
    hook.OnRecordMouseMacroKey = [&](int type, TMouseButtons b, int, uint16_t, uint16_t, double, const QString &,
                                     const QString &, TMouseMacroKeyList &) {
        fired.emplace_back(type * 1000 + 100 + b, std::this_thread::get_id());
    };
    std::thread producer([&] {
        auto key = std::make_unique<TMacroKeyObject>();
        key->FMacroKey = {1, 1, 0x41, 0, 0, {}, {}};
        hook.QueueKeyboardMacroItem(std::move(key));
        auto button = std::make_unique<TMOUSEMacroKeyObject>();
        button->FMOUSEMacroKey.nKeyType = 1;
        button->FMOUSEMacroKey.MouseButton = RCLICK;
        hook.QueueMouseMacroItem(std::move(button));
    });
    producer.join();
    EXPECT_TRUE(fired.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(fired.size(), 2u);
    EXPECT_EQ(fired[0].first, 1000 + 0x41);
    EXPECT_EQ(fired[1].first, 1000 + 100 + RCLICK);
    EXPECT_EQ(fired[0].second, std::this_thread::get_id());
}

} // namespace
