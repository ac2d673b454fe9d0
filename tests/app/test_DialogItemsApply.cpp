// A macro given to a button through the macro manager reaches the simulated
// mouse with APPLY, byte for byte, for the current profile and for a stored
// profile whose button the manager's edits moved to another slot.
#include "KeyEvents.h"
#include "MainConfigFixture.h"
#include "config/app/ButtonFunctions.h"
#include "config/app/MainConfigDialogs.h"
#include "config/app/macrofrm.h"
#include "config/ui/showdialog.h"
#include "core/kwMacroClassUnit.h"
#include "core/pubunit_device_commands.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

using namespace hkt::testfixtures;
using hkt::testapp::MainConfigTest;

namespace {

using Bytes = std::vector<std::uint8_t>;

// R down, 30 ms, R up, played once: the mouse gets the HID usage of R (0x15).
TMACROKEYINFO Reload()
{
    TMACROKEYINFO m{};
    m.MacroList[0] = TMACROKEY{4, 1, 0x52, 0};
    m.MacroList[1] = TMACROKEY{6, 1, 30, 0};
    m.MacroList[2] = TMACROKEY{4, 0, 0x52, 0};
    m.MacroListCount = 3;
    m.nLoopCount = 1;
    SetFieldText(m.szMacroName, QStringLiteral("Reload"));
    return m;
}
const Bytes kReloadSlot{0x84, 0x15, 0x00, 0x06, 0x1E, 0x00, 0x04, 0x15, 0x00, 0x07, 0x01, 0x00};

class DialogItemsApply : public MainConfigTest
{
protected:
    void SetUp() override
    {
        MainConfigTest::SetUp();
        TkwHook::SetLibraryPath(QString());
    }

    Bytes ButtonOnMouse(int p, int b)
    {
        return m_mouse->Dump(ButtonMapAddress(p) + 1 + 4 * b, 4);
    }
    Bytes SlotOnMouse(int m, int len) { return m_mouse->Dump(MACRO_AREA_BASE + 200 * m, len); }
};

} // namespace

TEST_F(DialogItemsApply, ManagerMacroReachesTheMouseAndFollowsItsSlotAfterCancel)
{
    THKT75CFGMAIN &form = Form();
    TDM &dm = Dm();
    TkwMacroSetClass &db = form.MacroSet();
    // The second macro of the set gets its steps.
    std::vector<TMACROKEYINFO> macros = db.CurrentMacroClass()->MacroKeyInfoList();
    ASSERT_EQ(macros.size(), 2u);
    macros[1] = Reload();
    db.CurrentMacroClass()->SetMacroKeyInfoList(macros);
    ASSERT_TRUE(db.SaveBackCurrentMacroClassDataToCurrentMacroList());

    // MACRO MANAGER for button 3: "Reload" chosen, OK.
    const int cur = dm.FProfileIndex;
    int current = 0;
    WhenModal<TFrmMacro>([](TFrmMacro &f) {
        QTest::mouseClick(f.ListBoxMacroList, Qt::LeftButton, {}, f.ListBoxMacroList->rowRect(1).center());
        QTest::mouseClick(f.BTNOK, Qt::LeftButton);
    });
    ASSERT_EQ(AssignDialogFunction(dm, db, 3, MENU_ID_MACRO_MANAGER, current), TDialogAssignResult::Assigned);
    ASSERT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    EXPECT_EQ(SlotOnMouse(1, 12), kReloadSlot);
    EXPECT_EQ(ButtonOnMouse(cur, 3), (Bytes{17, 1, 12, 0}));

    // A stored profile plays "Reload" from button 5 too.
    const int other = (cur + 2) % PROFILE_COUNT;
    auto stored = std::make_unique<TMouseProfileInfo>();
    ASSERT_TRUE(dm.ReadProfileInfo(*stored, other));
    stored->ConfigInfo.ButtonFuncInfo[5] = dm.FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[3];
    ASSERT_TRUE(dm.SaveBackToProfileInfo(*stored, other));

    // In the manager the first macro is deleted, so "Reload" moves to slot 0;
    // the window is then closed without OK. Its edits stand, and APPLY saves
    // and sends them: both buttons must follow "Reload" to slot 0.
    WhenModal<TFrmMacro>([](TFrmMacro &f) {
        QTest::mouseClick(f.ListBoxMacroList, Qt::LeftButton, {}, f.ListBoxMacroList->rowRect(0).center());
        WhenModal<TFrmDialog>([](TFrmDialog &d) { QTest::mouseClick(d.BTNOK, Qt::LeftButton); });
        QTest::mouseClick(f.BSBTNDELETEMACRO, Qt::LeftButton);
        QTest::mouseClick(f.BTNCLOSE, Qt::LeftButton);
    });
    EXPECT_EQ(AssignDialogFunction(dm, db, 3, MENU_ID_MACRO_MANAGER, current), TDialogAssignResult::Cancelled);
    ASSERT_EQ(db.CurrentMacroClass()->MacroListCount(), 1);
    ASSERT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    EXPECT_EQ(SlotOnMouse(0, 12), kReloadSlot);
    EXPECT_EQ(ButtonOnMouse(cur, 3), (Bytes{17, 0, 12, 0}));
    EXPECT_EQ(ButtonOnMouse(other, 5), (Bytes{17, 0, 12, 0}));
}
