// A macro given to a button through the macro manager reaches the simulated
// mouse with APPLY, byte for byte; edits made in a manager that is then left
// without saving reach neither the buttons nor the mouse nor the file.
#include "KeyEvents.h"
#include "MainConfigFixture.h"
#include "config/app/ButtonFunctions.h"
#include "config/app/MainConfigDialogs.h"
#include "config/app/macrofrm.h"
#include "config/ui/showdialog.h"
#include "core/kwMacroClassUnit.h"
#include "core/pubunit_device_commands.h"

#include <QFile>
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

TEST_F(DialogItemsApply, ManagerMacroReachesTheMouseAndEditsLeftWithoutSavingDoNot)
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
    const QByteArray fileBefore = [&] {
        QFile f(db.MacroSetDBFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_EQ(fileBefore.size(), static_cast<qsizetype>(MACRO_SET_DB_SIZE));

    // A stored profile plays "Reload" from button 5 too.
    const int other = (cur + 2) % PROFILE_COUNT;
    auto stored = std::make_unique<TMouseProfileInfo>();
    ASSERT_TRUE(dm.ReadProfileInfo(*stored, other));
    stored->ConfigInfo.ButtonFuncInfo[5] = dm.FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[3];
    ASSERT_TRUE(dm.SaveBackToProfileInfo(*stored, other));

    // In the manager the first macro is deleted (so "Reload" would move to
    // slot 0) and a key is recorded over "Reload"; CANCEL, and the question
    // whether to leave without saving answered OK.
    WhenModal<TFrmMacro>([](TFrmMacro &f) {
        QTest::mouseClick(f.ListBoxMacroList, Qt::LeftButton, {}, f.ListBoxMacroList->rowRect(0).center());
        WhenModal<TFrmDialog>([](TFrmDialog &d) { QTest::mouseClick(d.BTNOK, Qt::LeftButton); });
        QTest::mouseClick(f.BSBTNDELETEMACRO, Qt::LeftButton);
        ASSERT_EQ(f.Model().CurrentMacroName(), QStringLiteral("Reload"));
        QTest::mouseClick(f.BtnMacroStart, Qt::LeftButton);
        TapKey(&f, Qt::Key_Z, 1000);
        QTest::mouseClick(f.BtnMacroStop, Qt::LeftButton);
        ASSERT_EQ(f.ListBoxMacroList->count(), 1);
        WhenModal<TFrmDialog>([](TFrmDialog &d) { QTest::mouseClick(d.BTNOK, Qt::LeftButton); });
        QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
    });
    EXPECT_EQ(AssignDialogFunction(dm, db, 3, MENU_ID_MACRO_MANAGER, current), TDialogAssignResult::Cancelled);
    ASSERT_EQ(db.CurrentMacroClass()->MacroListCount(), 2);

    // The buttons keep "Reload" in slot 1, the current profile's and the
    // stored one's alike.
    const TBUTTONFUNCINFO &now = dm.FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[3];
    EXPECT_EQ(now.FunctionType, FUNCTION_TYPE_MACRO);
    EXPECT_EQ(now.MacroKeyInfo.nMacroIndex, 1);
    EXPECT_EQ(std::memcmp(now.MacroKeyInfo.MacroList, Reload().MacroList, sizeof Reload().MacroList), 0);
    ASSERT_TRUE(dm.ReadProfileInfo(*stored, other));
    EXPECT_EQ(stored->ConfigInfo.ButtonFuncInfo[5].FunctionType, FUNCTION_TYPE_MACRO);
    EXPECT_EQ(stored->ConfigInfo.ButtonFuncInfo[5].MacroKeyInfo.nMacroIndex, 1);

    // APPLY writes "Reload" as it was into its slot (over what the mouse
    // holds there meanwhile) and saves the database as it was.
    const Bytes junk(200, 0xEE);
    m_mouse->Poke(MACRO_AREA_BASE + 200, junk);
    ASSERT_EQ(form.ApplySettings(), TApplyOutcome::Written);
    EXPECT_EQ(SlotOnMouse(1, 12), kReloadSlot);
    EXPECT_EQ(ButtonOnMouse(cur, 3), (Bytes{17, 1, 12, 0}));
    QFile file(db.MacroSetDBFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == fileBefore);
}
