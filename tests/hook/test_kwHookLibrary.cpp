// The hook library and component together, on real Qt events sent to a real
// window on the offscreen platform.

#include "core/kwHook.h"
#include "hook/kwHookApi.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class RecordingWindow : public QWindow {
public:
    RecordingWindow()
    {
        resize(200, 200);
        show();
    }
    int keyPresses = 0;
    int keyReleases = 0;
    int mousePresses = 0;
    int doubleClicks = 0;
    int wheels = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++keyPresses; }
    void keyReleaseEvent(QKeyEvent *) override { ++keyReleases; }
    void mousePressEvent(QMouseEvent *) override { ++mousePresses; }
    void mouseDoubleClickEvent(QMouseEvent *) override { ++doubleClicks; }
    void wheelEvent(QWheelEvent *) override { ++wheels; }
};

struct KeySeen {
    int vk;
    int state;
    int extended;
    uint32_t scan;
};

void SendKey(QWindow *w, QEvent::Type type, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
             quint32 nativeScan = 0, ulong timestamp = 0, bool autoRepeat = false)
{
    QKeyEvent ev(type, key, mods, nativeScan, 0, 0, QString(), autoRepeat);
    ev.setTimestamp(timestamp);
    QCoreApplication::sendEvent(w, &ev);
}

void SendWheel(QWindow *w, int deltaY)
{
    const QPointF pos(10, 10);
    QWheelEvent ev(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, deltaY), Qt::NoButton, Qt::NoModifier,
                   Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &ev);
}

class HookLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TkwHook::SetLibraryPath(QString());
        TkwHook::SetMessageSink([this](const QString &title, const QString &text) {
            messages.push_back(title + "|" + text);
        });
    }
    void TearDown() override { TkwHook::SetMessageSink(nullptr); }

    std::vector<QString> messages;
};

TEST_F(HookLibraryTest, LoadsTheLibraryBesideTheProgram)
{
    TkwHook hook;
    EXPECT_TRUE(hook.DLLLoaded());
    EXPECT_TRUE(messages.empty());
}

struct TranslationCase {
    const char *name;
    int qtKey;
    Qt::KeyboardModifiers mods;
    quint32 nativeScan; // xkb key code (evdev + 8); 0 when the platform gives none
    int vk;
    uint32_t scan;
    int extended;
};

void PrintTo(const TranslationCase &c, std::ostream *os)
{
    *os << c.name;
}

class KeyTranslation : public HookLibraryTest, public ::testing::WithParamInterface<TranslationCase> {};

TEST_P(KeyTranslation, ReportsWindowsKeyIdentity)
{
    const TranslationCase &c = GetParam();
    RecordingWindow window;
    TkwHook hook;
    std::vector<KeySeen> seen;
    hook.OnHookKeyboardAllKey = [&](int key, int state, int ext, bool &, uint32_t scan) {
        seen.push_back({key, state, ext, scan});
    };
    hook.StartHookKeyboard();
    SendKey(&window, QEvent::KeyPress, c.qtKey, c.mods, c.nativeScan);
    SendKey(&window, QEvent::KeyRelease, c.qtKey, c.mods, c.nativeScan);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].vk, c.vk);
    EXPECT_EQ(seen[0].scan, c.scan);
    EXPECT_EQ(seen[0].extended, c.extended);
    EXPECT_EQ(seen[0].state, 1);
    EXPECT_EQ(seen[1].vk, c.vk);
    EXPECT_EQ(seen[1].state, 0);
    hook.StopHookKeyboard();
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyTranslation,
    ::testing::Values(
        TranslationCase{"Letter", Qt::Key_A, Qt::NoModifier, 0, 0x41, 0x1E, 0},
        TranslationCase{"LetterPhysical", Qt::Key_Q, Qt::NoModifier, 16 + 8, 0x51, 0x10, 0},
        TranslationCase{"LetterFollowsLayout", Qt::Key_A, Qt::NoModifier, 16 + 8, 0x41, 0x10, 0},
        TranslationCase{"ArrowLogical", Qt::Key_Left, Qt::NoModifier, 0, 0x25, 0x4B, 1},
        TranslationCase{"ArrowPhysical", Qt::Key_Left, Qt::NoModifier, 105 + 8, 0x25, 0x4B, 1},
        TranslationCase{"LeftShift", Qt::Key_Shift, Qt::ShiftModifier, 42 + 8, 0xA0, 0x2A, 0},
        TranslationCase{"RightShift", Qt::Key_Shift, Qt::ShiftModifier, 54 + 8, 0xA1, 0x36, 0},
        TranslationCase{"LeftCtrl", Qt::Key_Control, Qt::ControlModifier, 29 + 8, 0xA2, 0x1D, 0},
        TranslationCase{"RightCtrl", Qt::Key_Control, Qt::ControlModifier, 97 + 8, 0xA3, 0x1D, 1},
        TranslationCase{"LeftAlt", Qt::Key_Alt, Qt::AltModifier, 56 + 8, 0xA4, 0x38, 0},
        TranslationCase{"RightAlt", Qt::Key_AltGr, Qt::NoModifier, 100 + 8, 0xA5, 0x38, 1},
        TranslationCase{"LeftWin", Qt::Key_Meta, Qt::MetaModifier, 125 + 8, 0x5B, 0x5B, 1},
        TranslationCase{"RightWin", Qt::Key_Meta, Qt::MetaModifier, 126 + 8, 0x5C, 0x5C, 1},
        TranslationCase{"ShiftLogical", Qt::Key_Shift, Qt::ShiftModifier, 0, 0xA0, 0x2A, 0},
        TranslationCase{"Return", Qt::Key_Return, Qt::NoModifier, 0, 0x0D, 0x1C, 0},
        TranslationCase{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, 0, 0x0D, 0x1C, 1},
        TranslationCase{"KeypadEnterPhysical", Qt::Key_Enter, Qt::KeypadModifier, 96 + 8, 0x0D, 0x1C, 1},
        TranslationCase{"KeypadDigit", Qt::Key_7, Qt::KeypadModifier, 71 + 8, 0x67, 0x47, 0},
        TranslationCase{"KeypadHomeNumLockOff", Qt::Key_Home, Qt::KeypadModifier, 71 + 8, 0x24, 0x47, 0},
        TranslationCase{"Home", Qt::Key_Home, Qt::NoModifier, 102 + 8, 0x24, 0x47, 1},
        TranslationCase{"F5", Qt::Key_F5, Qt::NoModifier, 0, 0x74, 0x3F, 0},
        TranslationCase{"Digit", Qt::Key_1, Qt::NoModifier, 0, 0x31, 0x02, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HookLibraryTest, OneReportPerKeyEventWhateverTheWidgetTree)
{
    QWidget top;
    auto *layout = new QVBoxLayout(&top);
    auto *edit = new QLineEdit(&top);
    layout->addWidget(edit);
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    edit->setFocus();
    TkwHook hook;
    int reports = 0;
    hook.OnHookKeyboardAllKey = [&](int, int, int, bool &, uint32_t) { ++reports; };
    hook.StartHookKeyboard();
    // F1 is ignored by a line edit, so it also travels up to the top widget.
    QTest::keyClick(top.windowHandle(), Qt::Key_F1);
    QTest::keyClick(top.windowHandle(), Qt::Key_B);
    EXPECT_EQ(reports, 4);
    EXPECT_EQ(edit->text(), QStringLiteral("b"));
    hook.StopHookKeyboard();
}

TEST_F(HookLibraryTest, BlockedKeysNeverReachTheWindow)
{
    RecordingWindow window;
    TkwHook hook;
    hook.OnHookKeyboardAllKey = [&](int key, int, int, bool &block, uint32_t) { block = key == 0x41; };
    hook.StartHookKeyboard();
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(window.keyPresses, 0);
    EXPECT_EQ(window.keyReleases, 0);
    QTest::keyClick(&window, Qt::Key_B);
    EXPECT_EQ(window.keyPresses, 1);
    EXPECT_EQ(window.keyReleases, 1);
    hook.StopHookKeyboard();
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(window.keyPresses, 2);
}

TEST_F(HookLibraryTest, AutoRepeatReadsAsRepeatedPressesOfOneHeldKey)
{
    RecordingWindow window;
    TkwHook hook;
    std::vector<KeySeen> seen;
    hook.OnHookKeyboardAllKey = [&](int key, int state, int ext, bool &block, uint32_t scan) {
        seen.push_back({key, state, ext, scan});
        block = true;
    };
    hook.StartHookKeyboard();
    SendKey(&window, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 30 + 8, 1000);
    for (int i = 1; i <= 2; ++i) {
        SendKey(&window, QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 30 + 8, 1000 + 500 * i, true);
        SendKey(&window, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 30 + 8, 1000 + 500 * i, true);
    }
    SendKey(&window, QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 30 + 8, 2200);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].state, 1);
    EXPECT_EQ(seen[1].state, 1);
    EXPECT_EQ(seen[2].state, 1);
    EXPECT_EQ(seen[3].state, 0);
    // The folded releases went where their presses went: nowhere.
    EXPECT_EQ(window.keyPresses, 0);
    EXPECT_EQ(window.keyReleases, 0);
    hook.StopHookKeyboard();
}

struct MouseSeen {
    TMouseButtons button;
    int state;
    int16_t ex;
};

TEST_F(HookLibraryTest, MouseButtonsAndWheelReachTheCallbacks)
{
    RecordingWindow window;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    TkwHook hook;
    std::vector<MouseSeen> seen;
    hook.OnHookMouseAllButton = [&](TMouseButtons b, int state, int16_t ex, bool &) { seen.push_back({b, state, ex}); };
    hook.StartHookMouse();
    QTest::mouseClick(&window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseClick(&window, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseClick(&window, Qt::BackButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseClick(&window, Qt::ForwardButton, Qt::NoModifier, QPoint(5, 5));
    SendWheel(&window, 120);
    SendWheel(&window, -120);
    SendWheel(&window, 240);
    const std::vector<MouseSeen> expected = {
        {LCLICK, 1, 0},  {LCLICK, 0, 0},  {RCLICK, 1, 0},   {RCLICK, 0, 0},    {XCLICK4, 1, 1},
        {XCLICK4, 0, 1}, {XCLICK5, 1, 2}, {XCLICK5, 0, 2},  {WHEELUP, 1, 120}, {WHEELDOWN, 1, -120},
        {WHEELUP, 1, 240},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(seen[i].button, expected[i].button) << i;
        EXPECT_EQ(seen[i].state, expected[i].state) << i;
        EXPECT_EQ(seen[i].ex, expected[i].ex) << i;
    }
    hook.StopHookMouse();
}

TEST_F(HookLibraryTest, SwallowedSecondPressTakesItsDoubleClickAlong)
{
    RecordingWindow window;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    TkwHook hook;
    int presses = 0;
    hook.OnHookMouseAllButton = [&](TMouseButtons, int state, int16_t, bool &block) {
        if (state == 1)
            ++presses;
        block = true;
    };
    hook.StartHookMouse();
    QTest::mouseDClick(&window, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_GE(presses, 1);
    EXPECT_EQ(window.mousePresses, 0);
    EXPECT_EQ(window.doubleClicks, 0);
    hook.StopHookMouse();
    SendWheel(&window, 120);
    EXPECT_EQ(window.wheels, 1);
}

TEST_F(HookLibraryTest, HookOfADestroyedComponentIsGone)
{
    RecordingWindow window;
    int reports = 0;
    {
        TkwHook hook;
        hook.OnHookKeyboardAllKey = [&](int, int, int, bool &block, uint32_t) {
            ++reports;
            block = true;
        };
        hook.StartHookKeyboard();
        QTest::keyClick(&window, Qt::Key_A);
    }
    EXPECT_EQ(reports, 2);
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(reports, 2);
    EXPECT_EQ(window.keyPresses, 1);
}

TEST_F(HookLibraryTest, DestroyingOneComponentKeepsTheLibraryForAnother)
{
    RecordingWindow window;
    auto first = std::make_unique<TkwHook>();
    TkwHook second;
    ASSERT_TRUE(first->DLLLoaded());
    ASSERT_TRUE(second.DLLLoaded());
    int reports = 0;
    second.OnHookKeyboardAllKey = [&](int, int, int, bool &, uint32_t) { ++reports; };
    second.StartHookKeyboard();
    first.reset();
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(reports, 2);
    // A later component still shares the one load.
    TkwHook third;
    EXPECT_TRUE(third.DLLLoaded());
    EXPECT_TRUE(messages.empty());
    second.StopHookKeyboard();
}

TEST_F(HookLibraryTest, StopOfOneComponentLeavesAnothersHook)
{
    RecordingWindow window;
    TkwHook a;
    TkwHook b;
    int aReports = 0;
    int bReports = 0;
    a.OnHookKeyboardAllKey = [&](int, int, int, bool &, uint32_t) { ++aReports; };
    b.OnHookKeyboardAllKey = [&](int, int, int, bool &, uint32_t) { ++bReports; };
    a.StartHookKeyboard();
    b.StartHookKeyboard(); // one keyboard hook per process: b's replaces a's
    a.StopHookKeyboard();
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(aReports, 0);
    EXPECT_EQ(bReports, 2);
    b.StopHookKeyboard();
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(bReports, 2);
}

TEST_F(HookLibraryTest, MissingLibraryShowsItsMessageOncePerComponent)
{
    TkwHook::SetLibraryPath(QStringLiteral(HKT75_BIN_DIR "/no-such-libkwHook.so"));
    RecordingWindow window;
    {
        TkwHook hook;
        EXPECT_FALSE(hook.DLLLoaded());
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], QStringLiteral("Error|libkwHook.so can not be found!"));
        int reports = 0;
        hook.OnHookKeyboardAllKey = [&](int, int, int, bool &, uint32_t) { ++reports; };
        hook.StartHookKeyboard();
        QTest::keyClick(&window, Qt::Key_A);
        EXPECT_EQ(reports, 0);
        EXPECT_EQ(window.keyPresses, 1);
        hook.StopHookKeyboard();
    }
    TkwHook again;
    EXPECT_FALSE(again.DLLLoaded());
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(HookLibraryTest, LibraryWithoutAnEntryPointIsDroppedSilently)
{
    TkwHook::SetLibraryPath(QStringLiteral(HKT75_BIN_DIR "/libkwHookWithoutDisableMouse.so"));
    TkwHook hook;
    EXPECT_FALSE(hook.DLLLoaded());
    EXPECT_TRUE(messages.empty());
    hook.StartHookMouse();
    hook.StopHookMouse();
    // Stop operations still hand over their (empty) lists.
    int stops = 0;
    hook.OnStopRecordKeyboardMacroKey = [&](TMacroKeyList &list) {
        ++stops;
        EXPECT_EQ(list.Count(), 0);
    };
    hook.StopRecordKeyboardMacroKeyEx();
    EXPECT_EQ(stops, 1);
}

} // namespace

namespace {

TEST_F(HookLibraryTest, CallbacksMayStopOrDestroyTheirComponent)
{
    RecordingWindow window;
    auto hook = std::make_unique<TkwHook>();
    int reports = 0;
    hook->OnHookKeyboardAllKey = [&](int, int, int, bool &block, uint32_t) {
        ++reports;
        block = true;
        hook->StopHookKeyboard(); // the last hook goes while its event is being filtered
    };
    hook->StartHookKeyboard();
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(window.keyPresses, 0);
    EXPECT_EQ(window.keyReleases, 1);

    // The only component destroyed by its own callback: the library stays
    // usable for the next component.
    hook->OnHookKeyboardAllKey = [&](int, int, int, bool &, uint32_t) {
        ++reports;
        hook.reset();
    };
    hook->StartHookKeyboard();
    QTest::keyClick(&window, Qt::Key_B);
    EXPECT_EQ(hook, nullptr);
    EXPECT_EQ(reports, 2);
    TkwHook next;
    ASSERT_TRUE(next.DLLLoaded());
    next.OnHookKeyboardAllKey = [&](int, int, int, bool &, uint32_t) { ++reports; };
    next.StartHookKeyboard();
    QTest::keyClick(&window, Qt::Key_C);
    EXPECT_EQ(reports, 4);
    EXPECT_TRUE(messages.empty());
}

} // namespace
