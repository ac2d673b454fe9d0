// The single-key, combination and rapid-fire dialogs, with real key events
// recorded through the hook library.
#include "KeyEvents.h"
#include "config/app/SingleKeyfrm.h"
#include "config/app/combofrm.h"
#include "config/app/fireset.h"
#include "config/app/macrofrm.h"
#include "core/kwHook.h"
#include "core/kwKeyCode.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <utility>

using namespace hkt::testfixtures;

namespace {

QString Desc(int vk, int ext = 0)
{
    return GetKeyDescriptionByVK(vk, ext);
}

class KeyDialogs : public ::testing::Test
{
protected:
    void SetUp() override { TkwHook::SetLibraryPath(QString()); }
};

TSINGLEKEYINFO SingleKey(uint16_t vk, uint16_t ext, const char16_t *text = u"")
{
    TSINGLEKEYINFO k{};
    k.nKeyValue1 = vk;
    k.nKey1Extended = ext;
    std::memcpy(k.SingleKeyText, text, std::char_traits<char16_t>::length(text) * 2);
    return k;
}

void ClickOK(hkt::skin::StateButton *b)
{
    QTest::mouseClick(b, Qt::LeftButton);
}

} // namespace

// ---- single key ---------------------------------------------------------------

TEST_F(KeyDialogs, SingleKeyTakesTheLastKeyEventEscapeEnterAndSpaceIncluded)
{
    struct Case
    {
        const char *name;
        std::function<void(QWidget *)> keys;
        bool ok;
        uint16_t vk, ext;
    };
    const Case cases[] = {
        {"A then B", [](QWidget *w) { TapKey(w, Qt::Key_A, 1000); TapKey(w, Qt::Key_B, 2000); }, true, 0x42, 0},
        {"Escape", [](QWidget *w) { TapKey(w, Qt::Key_Escape, 1000); }, true, 0x1B, 0},
        {"Enter", [](QWidget *w) { TapKey(w, Qt::Key_Return, 1000); }, true, 0x0D, 0},
        {"keypad Enter", [](QWidget *w) { TapKey(w, Qt::Key_Enter, 1000, Qt::KeypadModifier); }, true, 0x0D, 1},
        {"Space", [](QWidget *w) { TapKey(w, Qt::Key_Space, 1000); }, true, 0x20, 0},
        {"Left arrow, then CANCEL", [](QWidget *w) { TapKey(w, Qt::Key_Left, 1000); }, false, 0x25, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QPointer<TFrmSingleKey> seen;
        QString shownAtOpen, shownAfter;
        bool openAfterKeys = false;
        const auto keys = c.keys;
        const bool ok = c.ok;
        WhenModal<TFrmSingleKey>([&, keys, ok](TFrmSingleKey &f) {
            seen = &f;
            shownAtOpen = f.TextSingle->text();
            keys(&f);
            openAfterKeys = f.isVisible();
            shownAfter = f.TextSingle->text();
            ClickOK(ok ? f.BTNOK : f.BTNCANCEL);
        });
        TSINGLEKEYINFO key = SingleKey(0x70, 0, u"F1 key"); // what the button held before
        EXPECT_EQ(ShowSingleKeyDialog(key), c.ok ? 1 : 2);
        EXPECT_TRUE(openAfterKeys); // no key answered the dialog
        EXPECT_EQ(shownAtOpen, Desc(0x70));
        EXPECT_EQ(shownAfter, Desc(c.vk, c.ext));
        EXPECT_EQ(key.nKeyValue1, c.vk);
        EXPECT_EQ(key.nKey1Extended, c.ext);
        // The record's text is the caller's business.
        EXPECT_EQ(QString::fromUtf16(key.SingleKeyText), QStringLiteral("F1 key"));
        EXPECT_TRUE(seen.isNull());
    }
}

TEST_F(KeyDialogs, RecordingEndsWhenTheWindowCloses)
{
    TFrmSingleKey single;
    TFrmCombo combo;
    for (TKeyCaptureDialog *f : {static_cast<TKeyCaptureDialog *>(&single), static_cast<TKeyCaptureDialog *>(&combo)}) {
        f->show();
        f->close(); // the window manager's close, not a button
    }
    // A recorder left running would still take this key.
    single.show();
    TapKey(&single, Qt::Key_Z, 5000);
    single.hide();
    EXPECT_EQ(single.FSingleKey.nKeyValue1, 0x5A);
    TapKey(&single, Qt::Key_Y, 6000);
    EXPECT_EQ(single.FSingleKey.nKeyValue1, 0x5A);
    combo.show();
    combo.hide();
    TapKey(&single, Qt::Key_X, 7000);
    EXPECT_EQ(combo.FComboKey.nKeyValue1, 0);
}

// ---- combination --------------------------------------------------------------

TEST_F(KeyDialogs, CombinationWithEachModifier)
{
    const int C = 0x43;
    const struct
    {
        const char *name;
        Qt::KeyboardModifiers mods;
        int key;
        uint16_t vk, modifier;
        QString text;
    } cases[] = {
        {"Ctrl", Qt::ControlModifier, Qt::Key_C, C, 2, "Ctrl+" + Desc(C)},
        {"Alt", Qt::AltModifier, Qt::Key_C, C, 1, "Alt+" + Desc(C)},
        {"Shift", Qt::ShiftModifier, Qt::Key_C, C, 4, "Shift+" + Desc(C)},
        {"Win", Qt::MetaModifier, Qt::Key_C, C, 8, "Win+" + Desc(C)},
        {"all four", Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_C, C, 15,
         "Ctrl+Alt+Win+Shift+" + Desc(C)},
        {"Escape alone", Qt::NoModifier, Qt::Key_Escape, 0x1B, 0, Desc(0x1B)},
        {"Ctrl and Enter", Qt::ControlModifier, Qt::Key_Return, 0x0D, 2, "Ctrl+" + Desc(0x0D)},
        {"Alt and Escape", Qt::AltModifier, Qt::Key_Escape, 0x1B, 1, "Alt+" + Desc(0x1B)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString shown;
        bool openAfterKeys = false;
        const auto mods = c.mods;
        const int k = c.key;
        WhenModal<TFrmCombo>([&, mods, k](TFrmCombo &f) {
            TapCombination(&f, mods, k, 10000);
            openAfterKeys = f.isVisible();
            shown = f.TextCombo->text();
            ClickOK(f.BtnOK);
        });
        TCOMBOKEYINFO combo{};
        EXPECT_EQ(ShowComboKeyDialog(combo), 1);
        EXPECT_TRUE(openAfterKeys);
        EXPECT_EQ(shown, c.text);
        EXPECT_EQ(combo.nKeyValue1, c.vk);
        EXPECT_EQ(combo.nKeyValue2, 0);
        EXPECT_EQ(combo.nModifier, c.modifier);
        EXPECT_EQ(combo.ComboKeyText[0], u'\0');
    }
}

TEST_F(KeyDialogs, CombinationOfTwoKeysAndItsTextWhenOpenedAgain)
{
    // Two keys pressed within 100 ms make one combination.
    QString shown;
    WhenModal<TFrmCombo>([&](TFrmCombo &f) {
        SendKey(&f, true, Qt::Key_Control, 1000, Qt::ControlModifier);
        SendKey(&f, true, Qt::Key_A, 2000, Qt::ControlModifier);
        SendKey(&f, true, Qt::Key_Right, 2050, Qt::ControlModifier);
        SendKey(&f, false, Qt::Key_Right, 2100, Qt::ControlModifier);
        SendKey(&f, false, Qt::Key_A, 2100, Qt::ControlModifier);
        SendKey(&f, false, Qt::Key_Control, 2200);
        shown = f.TextCombo->text();
        ClickOK(f.BTNCANCEL);
    });
    TCOMBOKEYINFO combo{};
    EXPECT_EQ(ShowComboKeyDialog(combo), 2);
    EXPECT_EQ(shown, "Ctrl+" + Desc(0x41) + "+" + Desc(0x27, 1));
    // CANCEL hands back what was captured all the same.
    EXPECT_EQ(combo.nKeyValue1, 0x41);
    EXPECT_EQ(combo.nKeyValue2, 0x27);
    EXPECT_EQ(combo.nKey2Extended, 1);
    EXPECT_EQ(combo.nModifier, 2);

    // Opened with a stored combination, the text follows the key tables'
    // modifier order.
    combo.nModifier = 15;
    WhenModal<TFrmCombo>([&](TFrmCombo &f) {
        shown = f.TextCombo->text();
        f.close();
    });
    EXPECT_EQ(ShowComboKeyDialog(combo), 2);
    EXPECT_EQ(shown, "Alt+Ctrl+Shift+WIN+" + Desc(0x41) + "+" + Desc(0x27, 1));
    EXPECT_EQ(combo.nModifier, 15);
}

// ---- rapid fire -----------------------------------------------------------------

TEST_F(KeyDialogs, RapidFireOpensWithTheStoredChoiceAndCounts)
{
    const uint16_t hidA = static_cast<uint16_t>(GetHIDCodeByVK(0x41, 0));
    const struct
    {
        const char *name;
        uint16_t keyCode, loops, delay, vk;
        TFireType type;
        int fire, delayShown;
        bool recording;
        QString text;
    } cases[] = {
        {"left, new", 129, 0, 0, 0, TFireType::Left, 2, 60, false, QString()},
        {"right 5 x 30", 130, 5, 30, 0, TFireType::Right, 5, 30, false, QString()},
        {"middle, delay clamped up", 132, 3, 0, 0, TFireType::Middle, 3, 1, false, QString()},
        {"key A", hidA, 2, 40, 0x41, TFireType::Keyboard, 2, 40, true, Desc(0x41)},
        {"nothing chosen yet", 0, 0, 0, 0, TFireType::Keyboard, 2, 60, true, QString()},
        {"left, count clamped down", 129, 300, 9, 0, TFireType::Left, 255, 9, false, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        bool checked = false, recording = false, textEnabled = false;
        int fire = 0, delay = 0;
        QString text;
        const TFireType type = c.type;
        WhenModal<TFrmFire>([&, type](TFrmFire &f) {
            checked = f.RadioOf(type)->isChecked();
            recording = f.Recording();
            textEnabled = f.TextSingle->isEnabled();
            fire = f.NumBoxFire->value();
            delay = f.NumboxDelay->value();
            text = f.TextSingle->text();
            ClickOK(f.BTNCANCEL);
        });
        TADVANCEDFIREKEYINFO fk{c.loops, c.delay, c.keyCode, SingleKey(c.vk, 0)};
        EXPECT_EQ(ShowFireSettings(fk), 2);
        EXPECT_TRUE(checked);
        EXPECT_EQ(recording, c.recording);
        EXPECT_EQ(textEnabled, c.recording);
        EXPECT_EQ(fire, c.fire);
        EXPECT_EQ(delay, c.delayShown);
        EXPECT_EQ(text, c.text);
        // CANCEL takes no counts.
        EXPECT_EQ(fk.nLoopCount, c.loops);
        EXPECT_EQ(fk.DelyValue, c.delay);
    }
}

TEST_F(KeyDialogs, RapidFireChoosingAButtonKeepsTheCapturedKey)
{
    const uint16_t hidA = static_cast<uint16_t>(GetHIDCodeByVK(0x41, 0));
    bool recording = true;
    WhenModal<TFrmFire>([&](TFrmFire &f) {
        QTest::mouseClick(f.RadioButton2, Qt::LeftButton);
        recording = f.Recording();
        ClickOK(f.BTNOK);
    });
    TADVANCEDFIREKEYINFO fk{4, 20, hidA, SingleKey(0x41, 0)};
    EXPECT_EQ(ShowFireSettings(fk), 1);
    EXPECT_FALSE(recording);
    EXPECT_EQ(fk.KeyCode, 130);
    EXPECT_EQ(fk.KeyValue.nKeyValue1, 0x41);
    EXPECT_EQ(fk.nLoopCount, 4);
    EXPECT_EQ(fk.DelyValue, 20);
}

TEST_F(KeyDialogs, RapidFireKeyIsRecordedEscapeIncluded)
{
    const struct
    {
        const char *name;
        int key;
        Qt::KeyboardModifiers mods;
        uint16_t vk, ext;
    } cases[] = {
        {"A", Qt::Key_A, Qt::NoModifier, 0x41, 0},
        {"Escape", Qt::Key_Escape, Qt::NoModifier, 0x1B, 0},
        {"Enter", Qt::Key_Return, Qt::NoModifier, 0x0D, 0},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, 0x0D, 1},
        {"Space", Qt::Key_Space, Qt::NoModifier, 0x20, 0},
        {"Left arrow", Qt::Key_Left, Qt::NoModifier, 0x25, 1},
        {"Up arrow", Qt::Key_Up, Qt::NoModifier, 0x26, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        uint16_t codeBeforeKey = 0xFFFF;
        bool stillKeyboard = false;
        int countsAfterKey = 0;
        bool openAfterKey = false;
        QString text;
        const int key = c.key;
        const auto mods = c.mods;
        WhenModal<TFrmFire>([&, key, mods](TFrmFire &f) {
            QTest::mouseClick(f.RadioButton4, Qt::LeftButton);
            codeBeforeKey = f.FAdvFireKeyInfo.KeyCode;
            TapKey(&f, key, 3000, mods);
            openAfterKey = f.isVisible();
            stillKeyboard = f.RadioButton4->isChecked() && f.Recording();
            countsAfterKey = f.NumBoxFire->value() * 1000 + f.NumboxDelay->value();
            text = f.TextSingle->text();
            ClickOK(f.BTNOK);
        });
        TADVANCEDFIREKEYINFO fk{0, 0, 129, SingleKey(0, 0)};
        EXPECT_EQ(ShowFireSettings(fk), 1);
        EXPECT_EQ(codeBeforeKey, 0); // "Keyboard Key:" without a key
        EXPECT_TRUE(openAfterKey);
        EXPECT_TRUE(stillKeyboard); // the key changed neither the choice
        EXPECT_EQ(countsAfterKey, 2060); // nor a count
        EXPECT_EQ(text, Desc(c.vk, c.ext));
        EXPECT_EQ(fk.KeyValue.nKeyValue1, c.vk);
        EXPECT_EQ(fk.KeyValue.nKey1Extended, c.ext);
        EXPECT_EQ(fk.KeyCode, GetHIDCodeByVK(c.vk, c.ext));
        EXPECT_NE(fk.KeyCode, 0);
        EXPECT_EQ(fk.nLoopCount, 2);
        EXPECT_EQ(fk.DelyValue, 60);
    }
}

TEST_F(KeyDialogs, RapidFireCountsTypedIntoTheBoxes)
{
    WhenModal<TFrmFire>([&](TFrmFire &f) {
        f.NumBoxFire->setFocus();
        QTest::keyClick(f.NumBoxFire, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(f.NumBoxFire, QStringLiteral("17"));
        f.NumboxDelay->setFocus();
        QTest::keyClick(f.NumboxDelay, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(f.NumboxDelay, QStringLiteral("250"));
        ClickOK(f.BTNOK);
    });
    TADVANCEDFIREKEYINFO fk{0, 0, 132, SingleKey(0, 0)};
    EXPECT_EQ(ShowFireSettings(fk), 1);
    EXPECT_EQ(fk.KeyCode, 132);
    EXPECT_EQ(fk.nLoopCount, 17);
    EXPECT_EQ(fk.DelyValue, 250);
}

TEST_F(KeyDialogs, RapidFireCountsTypedWhileAKeyIsCapturedKeepTheKey)
{
    const struct
    {
        const char *name;
        QString fire, delay; // typed into each box, '\b' a Backspace
        int fireWant, delayWant;
    } cases[] = {
        {"main-block digits", QStringLiteral("17"), QStringLiteral("250"), 17, 250},
        {"a digit corrected with Backspace", QStringLiteral("19\b5"), QStringLiteral("8"), 15, 8},
    };
    const uint16_t hidA = static_cast<uint16_t>(GetHIDCodeByVK(0x41, 0));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString textAfterCounts;
        uint16_t codeAfterCounts = 0, vkAfterCounts = 0;
        bool stillRecording = false;
        QString fireTyped = c.fire, delayTyped = c.delay;
        WhenModal<TFrmFire>([&](TFrmFire &f) {
            QTest::mouseClick(f.RadioButton4, Qt::LeftButton);
            TapKey(&f, Qt::Key_A, 1000);
            ASSERT_EQ(f.FAdvFireKeyInfo.KeyCode, hidA);
            ulong t = 2000;
            for (auto [box, typed] : {std::pair{f.NumBoxFire, fireTyped}, std::pair{f.NumboxDelay, delayTyped}}) {
                QTest::mouseClick(box, Qt::LeftButton);
                box->selectAll();
                TypeDigits(&f, typed, t);
                t += 1000;
            }
            textAfterCounts = f.TextSingle->text();
            codeAfterCounts = f.FAdvFireKeyInfo.KeyCode;
            vkAfterCounts = f.FAdvFireKeyInfo.KeyValue.nKeyValue1;
            stillRecording = f.Recording();
            // Any other key typed in a count box is the key to fire.
            TapKey(&f, Qt::Key_B, t);
            ClickOK(f.BTNOK);
        });
        TADVANCEDFIREKEYINFO fk{0, 0, 129, SingleKey(0, 0)};
        EXPECT_EQ(ShowFireSettings(fk), 1);
        EXPECT_EQ(textAfterCounts, Desc(0x41));
        EXPECT_EQ(codeAfterCounts, hidA);
        EXPECT_EQ(vkAfterCounts, 0x41);
        EXPECT_TRUE(stillRecording);
        EXPECT_EQ(fk.nLoopCount, c.fireWant);
        EXPECT_EQ(fk.DelyValue, c.delayWant);
        EXPECT_EQ(fk.KeyValue.nKeyValue1, 0x42);
        EXPECT_EQ(fk.KeyCode, GetHIDCodeByVK(0x42, 0));
    }
}

// The shortcuts that edit a count box are the box's: neither their Ctrl or
// Shift nor their letter replaces the captured key, whatever order the keys
// go up in.
TEST_F(KeyDialogs, RapidFireCountBoxShortcutsStayInTheBox)
{
    const auto hold = [](QWidget *w, int key, Qt::KeyboardModifiers mods, bool down, ulong t) {
        SendKey(w, down, key, t, mods);
    };
    const struct
    {
        const char *name;
        std::function<void(QWidget *, ulong)> keys; // typed in the fire count box
        int fireWant; // -1: whatever the box's undo made of it
    } cases[] = {
        {"Ctrl+A, then digits replace the count",
         [](QWidget *w, ulong t) {
             TapCombination(w, Qt::ControlModifier, Qt::Key_A, t);
             TypeDigits(w, QStringLiteral("9"), t + 200);
         },
         9},
        {"Ctrl let go before A",
         [hold](QWidget *w, ulong t) {
             hold(w, Qt::Key_Control, Qt::ControlModifier, true, t);
             hold(w, Qt::Key_A, Qt::ControlModifier, true, t + 10);
             hold(w, Qt::Key_Control, Qt::NoModifier, false, t + 20);
             hold(w, Qt::Key_A, Qt::NoModifier, false, t + 30);
             TypeDigits(w, QStringLiteral("8"), t + 200);
         },
         8},
        {"Ctrl+A, C, X, V, Z and Y",
         [](QWidget *w, ulong t) {
             for (int key : {Qt::Key_A, Qt::Key_C, Qt::Key_X, Qt::Key_V, Qt::Key_Z, Qt::Key_Y}) {
                 TapCombination(w, Qt::ControlModifier, key, t);
                 t += 100;
             }
         },
         -1},
        {"Shift+Home, then a digit replaces the count",
         [](QWidget *w, ulong t) {
             TapCombination(w, Qt::ShiftModifier, Qt::Key_End, t);
             TapCombination(w, Qt::ShiftModifier, Qt::Key_Home, t + 100);
             TypeDigits(w, QStringLiteral("7"), t + 200);
         },
         7},
    };
    const uint16_t hidB = static_cast<uint16_t>(GetHIDCodeByVK(0x42, 0));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QString text;
        uint16_t code = 0, vk = 0;
        bool recording = false;
        const auto keys = c.keys;
        WhenModal<TFrmFire>([&, keys](TFrmFire &f) {
            QTest::mouseClick(f.RadioButton4, Qt::LeftButton);
            TapKey(&f, Qt::Key_B, 1000);
            ASSERT_EQ(f.FAdvFireKeyInfo.KeyCode, hidB);
            QTest::mouseClick(f.NumBoxFire, Qt::LeftButton);
            keys(&f, 2000);
            text = f.TextSingle->text();
            code = f.FAdvFireKeyInfo.KeyCode;
            vk = f.FAdvFireKeyInfo.KeyValue.nKeyValue1;
            recording = f.Recording();
            ClickOK(f.BTNOK);
        });
        TADVANCEDFIREKEYINFO fk{5, 30, 129, SingleKey(0, 0)};
        EXPECT_EQ(ShowFireSettings(fk), 1);
        EXPECT_EQ(text, Desc(0x42));
        EXPECT_EQ(code, hidB);
        EXPECT_EQ(vk, 0x42);
        EXPECT_TRUE(recording);
        EXPECT_EQ(fk.KeyCode, hidB);
        if (c.fireWant >= 0) {
            EXPECT_EQ(fk.nLoopCount, c.fireWant);
        }
        EXPECT_EQ(fk.DelyValue, 30);
    }
}

// ---- where the dialogs appear ----------------------------------------------------

// Each dialog opens centred on the main window, every time, whichever window
// was active last (a dialog that just closed, or none).
TEST_F(KeyDialogs, EveryDialogOpensCentredOnTheMainWindow)
{
    QWidget main;
    main.setGeometry(40, 30, 600, 420);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    hkt::skin::SetMainWindow(&main);
    TkwMacroSetClass macros;
    const struct
    {
        const char *name;
        std::function<void()> open;
    } dialogs[] = {
        {"single key", [] { TSINGLEKEYINFO k{}; ShowSingleKeyDialog(k); }},
        {"combination", [] { TCOMBOKEYINFO k{}; ShowComboKeyDialog(k); }},
        {"rapid fire", [] { TADVANCEDFIREKEYINFO k{}; ShowFireSettings(k); }},
        {"macro manager", [&macros] { QString name; bool update = false; ShowMacroManager(nullptr, macros, name, update); }},
        {"single key again", [] { TSINGLEKEYINFO k{}; ShowSingleKeyDialog(k); }},
        {"macro manager again", [&macros] { QString name; bool update = false; ShowMacroManager(nullptr, macros, name, update); }},
    };
    const QPoint centre = main.frameGeometry().center();
    for (const auto &d : dialogs) {
        SCOPED_TRACE(d.name);
        QPoint shownAt;
        QTimer::singleShot(0, [&shownAt] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w)
                return;
            shownAt = w->frameGeometry().center();
            w->close();
        });
        d.open();
        EXPECT_LE((shownAt - centre).manhattanLength(), 2) << shownAt.x() << "," << shownAt.y();
    }
    hkt::skin::SetMainWindow(nullptr);
}
