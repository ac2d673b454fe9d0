// The dialog items of the button-function menu: what SINGLE KEY, COMBO KEY,
// FIRE KEY... and MACRO MANAGER store for a mouse button, the key dialogs
// answered with real key events through the hook library, and the macro
// buttons of every profile after the macro manager.
#include "KeyEvents.h"
#include "config/app/ButtonFunctions.h"
#include "config/app/MainConfigDialogs.h"
#include "config/app/SingleKeyfrm.h"
#include "config/app/combofrm.h"
#include "config/app/fireset.h"
#include "config/app/macrofrm.h"
#include "config/ui/showdialog.h"
#include "core/DMUnit.h"
#include "core/kwHook.h"
#include "core/kwMacroClassUnit.h"
#include "platform/ValueStore.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

using namespace hkt::testfixtures;

namespace {

// A macro whose steps make its bytes its own: `steps` presses of key `vk`.
TMACROKEYINFO MacroOf(const QString &name, uint8_t vk, int steps)
{
    TMACROKEYINFO m{};
    for (int i = 0; i < steps; ++i)
        m.MacroList[i] = TMACROKEY{1, uint16_t(i % 2 == 0 ? 1 : 0), vk, 0};
    m.MacroListCount = steps;
    m.nLoopCount = 1;
    SetFieldText(m.szMacroName, name);
    return m;
}

class DialogItems : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TkwHook::SetLibraryPath(QString());
        QDir().mkpath(tmp.path() + "/prog");
        dm = std::make_unique<TDM>(TDMRoots{std::make_shared<hkt::platform::DirectoryValueStore>(tmp.path() + "/reg"),
                                            tmp.path() + "/prog", tmp.path() + "/docs/"});
        db.LoadMacrosetDB(tmp.path() + "/MacroSet.MSDB");
        AddSet(QStringLiteral("Default"), {MacroOf("Reload", 0x52, 4), MacroOf("Jump", 0x20, 2),
                                           MacroOf("Crouch", 0x43, 6)});
        AddSet(QStringLiteral("Other"), {MacroOf("Wave", 0x57, 8)});
        ASSERT_TRUE(db.SwitchToMacroSet(QStringLiteral("Default")));
        for (int p = 0; p < PROFILE_COUNT; ++p)
            dm->SetProfileChanged(p, false);
    }

    void AddSet(const QString &name, const std::vector<TMACROKEYINFO> &macros)
    {
        db.CreateNewMacroSet(name);
        ASSERT_TRUE(db.SwitchToMacroSet(name));
        for (const TMACROKEYINFO &m : macros)
            ASSERT_EQ(db.CreateNewMacro(FieldText(m.szMacroName)), 1);
        db.CurrentMacroClass()->SetMacroKeyInfoList(macros);
        ASSERT_TRUE(db.SaveBackCurrentMacroClassDataToCurrentMacroList());
    }

    TBUTTONFUNCINFO &Entry(int b) { return dm->FCurrentProfileInfo.ConfigInfo.ButtonFuncInfo[b]; }

    // Puts macro `m` of the current set on button b of `config`, as choosing
    // it from the MACRO sub-menu does.
    void PutMacro(TMOUSECONFIGINFO &config, int b, int m)
    {
        TBUTTONFUNCINFO &e = config.ButtonFuncInfo[b];
        const TMACROKEYINFO &macro = db.CurrentMacroClass()->MacroKeyInfoList()[size_t(m)];
        e.MenuID = MENU_ID_FIRST_MACRO + m;
        e.FunctionIndex = uint16_t(RowOfMenuID(MENU_ID_MACRO));
        e.FunctionType = FUNCTION_TYPE_MACRO;
        e.DeviceFunctionCode = DEVICE_FUNCTION_MACRO;
        SetFieldText(e.MacroSetName, db.CurrentMacroSetName());
        SetFieldText(e.MacroName, FieldText(macro.szMacroName));
        e.MacroKeyInfo = macro;
        e.MacroKeyInfo.nMacroIndex = uint16_t(m);
    }

    std::unique_ptr<TMouseProfileInfo> Stored(int p)
    {
        auto info = std::make_unique<TMouseProfileInfo>();
        EXPECT_TRUE(dm->ReadProfileInfo(*info, p));
        return info;
    }

    // A manager that runs `edit` on the database and ends with `result`.
    static TButtonDialogs Manager(std::function<int(TkwMacroSetClass &, QString &)> edit)
    {
        TButtonDialogs d = TButtonDialogs::Standard();
        d.MacroManager = [edit](TDM &, TkwMacroSetClass &db, QString &name, bool &) { return edit(db, name); };
        return d;
    }

    QTemporaryDir tmp;
    std::unique_ptr<TDM> dm;
    TkwMacroSetClass db;
    int FCurrentMacro = 0;
};

bool SameEntry(const TBUTTONFUNCINFO &a, const TBUTTONFUNCINFO &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

// ---- the key items --------------------------------------------------------------------

TEST_F(DialogItems, KeyItemsStoreWhatTheDialogCaptured)
{
    // One button answered through each key dialog in turn, with real key
    // events through the hook library; each row checks what its dialog
    // captured and the entry's menu and device identity.
    struct Row {
        const char *name;
        int menuId;
        std::function<void()> answer;
        std::function<void(const TBUTTONFUNCINFO &)> captured;
        int functionIndex;
        int functionType;
        int deviceCode;
    };
    const std::vector<Row> rows = {
        {"single key", MENU_ID_SINGLE_KEY,
         [] {
             WhenModal<TFrmSingleKey>([](TFrmSingleKey &f) {
                 TapKey(&f, Qt::Key_Escape, 1000);
                 QTest::mouseClick(f.BTNOK, Qt::LeftButton);
             });
         },
         [](const TBUTTONFUNCINFO &e) {
             EXPECT_EQ(e.SingleKey.nKeyValue1, 0x1B);
             EXPECT_EQ(e.SingleKey.SingleKeyText[0], u'\0');
         },
         5, FUNCTION_TYPE_SINGLE_KEY, 16},
        {"combination", MENU_ID_COMBO_KEY,
         [] {
             WhenModal<TFrmCombo>([](TFrmCombo &f) {
                 TapCombination(&f, Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Return, 2000);
                 QTest::mouseClick(f.BtnOK, Qt::LeftButton);
             });
         },
         [](const TBUTTONFUNCINFO &e) {
             EXPECT_EQ(e.ComboKey.nKeyValue1, 0x0D);
             EXPECT_EQ(e.ComboKey.nModifier, 6);
             EXPECT_EQ(e.ComboKey.ComboKeyText[0], u'\0');
             EXPECT_EQ(e.SingleKey.nKeyValue1, 0x1B); // other fields keep what they held
         },
         6, FUNCTION_TYPE_COMBO_KEY, 15},
        {"rapid fire", MENU_ID_FIRE_KEY,
         [] {
             WhenModal<TFrmFire>([](TFrmFire &f) {
                 QTest::mouseClick(f.RadioButton2, Qt::LeftButton);
                 QTest::mouseClick(f.BTNOK, Qt::LeftButton);
             });
         },
         [](const TBUTTONFUNCINFO &e) {
             EXPECT_EQ(e.FireKey.KeyCode, FIRE_KEY_RIGHT_BUTTON);
             EXPECT_EQ(e.FireKey.nLoopCount, 2);
             EXPECT_EQ(e.FireKey.DelyValue, 60);
         },
         38, FUNCTION_TYPE_FIRE_KEY, 25},
    };

    const int b = 4;
    // The entry's old texts must not survive: the button shows the key's
    // description from the key tables.
    SetFieldText(Entry(b).SingleKey.SingleKeyText, QStringLiteral("OLD"));
    SetFieldText(Entry(b).ComboKey.ComboKeyText, QStringLiteral("OLD"));
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        dm->SetProfileChanged(dm->FProfileIndex, false);
        row.answer();
        EXPECT_EQ(AssignDialogFunction(*dm, db, b, row.menuId, FCurrentMacro), TDialogAssignResult::Assigned);
        row.captured(Entry(b));
        EXPECT_EQ(Entry(b).FunctionIndex, row.functionIndex);
        EXPECT_EQ(Entry(b).FunctionType, row.functionType);
        EXPECT_EQ(Entry(b).MenuID, row.menuId);
        EXPECT_EQ(Entry(b).DeviceFunctionCode, row.deviceCode);
        EXPECT_TRUE(dm->IsProfileChanged(dm->FProfileIndex));
        EXPECT_TRUE(SameEntry(Stored(dm->FProfileIndex)->ConfigInfo.ButtonFuncInfo[b], Entry(b))); // copied back
    }
}

TEST_F(DialogItems, CancelLeavesTheButtonAsItWas)
{
    const int b = 6;
    PutMacro(dm->FCurrentProfileInfo.ConfigInfo, b, 1);
    dm->SaveBackToCurrentProfileInfo();
    dm->SetProfileChanged(dm->FProfileIndex, false);
    const TBUTTONFUNCINFO before = Entry(b);

    WhenModal<TFrmSingleKey>([](TFrmSingleKey &f) {
        TapKey(&f, Qt::Key_Q, 1000);
        QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
    });
    EXPECT_EQ(AssignDialogFunction(*dm, db, b, MENU_ID_SINGLE_KEY, FCurrentMacro), TDialogAssignResult::Cancelled);
    WhenModal<TFrmCombo>([](TFrmCombo &f) {
        TapCombination(&f, Qt::AltModifier, Qt::Key_X, 2000);
        f.close();
    });
    EXPECT_EQ(AssignDialogFunction(*dm, db, b, MENU_ID_COMBO_KEY, FCurrentMacro), TDialogAssignResult::Cancelled);
    WhenModal<TFrmFire>([](TFrmFire &f) {
        QTest::mouseClick(f.RadioButton3, Qt::LeftButton);
        QTest::mouseClick(f.BTNCANCEL, Qt::LeftButton);
    });
    EXPECT_EQ(AssignDialogFunction(*dm, db, b, MENU_ID_FIRE_KEY, FCurrentMacro), TDialogAssignResult::Cancelled);
    EXPECT_EQ(AssignDialogFunction(*dm, db, b, MENU_ID_MACRO_MANAGER, FCurrentMacro,
                                   Manager([](TkwMacroSetClass &, QString &name) {
                                       name = QStringLiteral("Crouch"); // ignored after CANCEL
                                       return 2;
                                   })),
              TDialogAssignResult::Cancelled);

    EXPECT_TRUE(SameEntry(Entry(b), before));
    EXPECT_FALSE(dm->IsProfileChanged(dm->FProfileIndex));
    EXPECT_EQ(FCurrentMacro, 1); // the button's slot
}

// ---- the macro manager --------------------------------------------------------------------

TEST_F(DialogItems, ManagerOkStoresTheReturnedMacroFromTheSetCurrentAfterIt)
{
    const int b = 3;
    PutMacro(dm->FCurrentProfileInfo.ConfigInfo, b, 0);
    QString handedIn;
    const auto result = AssignDialogFunction(*dm, db, b, MENU_ID_MACRO_MANAGER, FCurrentMacro,
                                             Manager([&](TkwMacroSetClass &d, QString &name) {
                                                 handedIn = name;
                                                 EXPECT_TRUE(d.SwitchToMacroSet(QStringLiteral("Other")));
                                                 name = QStringLiteral("Wave");
                                                 return 1;
                                             }));
    EXPECT_EQ(result, TDialogAssignResult::Assigned);
    EXPECT_EQ(handedIn, QStringLiteral("Reload"));
    EXPECT_EQ(FCurrentMacro, 0);
    const TBUTTONFUNCINFO &e = Entry(b);
    EXPECT_EQ(e.MenuID, 1102);
    EXPECT_EQ(e.FunctionType, FUNCTION_TYPE_MACRO);
    EXPECT_EQ(e.FunctionIndex, 37);
    EXPECT_EQ(e.DeviceFunctionCode, 17);
    // The set the macro came from, so the sync keeps the button.
    EXPECT_EQ(FieldText(e.MacroSetName), QStringLiteral("Other"));
    EXPECT_EQ(FieldText(e.MacroName), QStringLiteral("Wave"));
    TMACROKEYINFO want = MacroOf("Wave", 0x57, 8);
    want.nMacroIndex = 0;
    EXPECT_EQ(std::memcmp(&e.MacroKeyInfo, &want, sizeof want), 0);
    EXPECT_EQ(db.CurrentMacroSetName(), QStringLiteral("Other"));
}

TEST_F(DialogItems, ManagerOkOnAMacroAtAPosition)
{
    const auto result = AssignDialogFunction(*dm, db, 2, MENU_ID_MACRO_MANAGER, FCurrentMacro,
                                             Manager([](TkwMacroSetClass &, QString &name) {
                                                 name = QStringLiteral("Crouch");
                                                 return 1;
                                             }));
    EXPECT_EQ(result, TDialogAssignResult::Assigned);
    EXPECT_EQ(FCurrentMacro, 2);
    EXPECT_EQ(Entry(2).MenuID, 1104);
    EXPECT_EQ(Entry(2).MacroKeyInfo.nMacroIndex, 2);
    EXPECT_EQ(FieldText(Entry(2).MacroSetName), QStringLiteral("Default"));
}

TEST_F(DialogItems, ManagerOkAfterTheButtonsMacroWasDeletedDisablesIt)
{
    const int b = 5;
    PutMacro(dm->FCurrentProfileInfo.ConfigInfo, b, 1);
    const auto result = AssignDialogFunction(*dm, db, b, MENU_ID_MACRO_MANAGER, FCurrentMacro,
                                             Manager([](TkwMacroSetClass &d, QString &name) {
                                                 EXPECT_TRUE(d.DeleteMacro(QStringLiteral("Jump")));
                                                 name = QString(); // an empty list gives no name
                                                 return 1;
                                             }));
    EXPECT_EQ(result, TDialogAssignResult::Disabled);
    EXPECT_EQ(FCurrentMacro, -1);
    EXPECT_EQ(Entry(b).MenuID, MENU_ID_DISABLE);
    EXPECT_EQ(Entry(b).DeviceFunctionCode, 14);
    EXPECT_TRUE(dm->IsProfileChanged(dm->FProfileIndex));
}

TEST_F(DialogItems, AfterTheManagerEveryProfilesMacroButtonsFollowTheDatabase)
{
    // Besides the current profile, two stored profiles hold macro buttons.
    const int cur = dm->FProfileIndex, one = (cur + 1) % PROFILE_COUNT, three = (cur + 3) % PROFILE_COUNT,
              none = (cur + 4) % PROFILE_COUNT;
    PutMacro(dm->FCurrentProfileInfo.ConfigInfo, 7, 2); // Crouch, slot 2
    auto p1 = Stored(one);
    PutMacro(p1->ConfigInfo, 2, 2); // Crouch
    PutMacro(p1->ConfigInfo, 3, 1); // Jump
    ASSERT_TRUE(dm->SaveBackToProfileInfo(*p1, one));
    auto p3 = Stored(three);
    PutMacro(p3->ConfigInfo, 4, 0); // Reload
    ASSERT_TRUE(dm->SaveBackToProfileInfo(*p3, three));
    auto p4 = Stored(none); // no macro buttons
    for (int p = 0; p < PROFILE_COUNT; ++p)
        dm->SetProfileChanged(p, false);

    // In the manager: Jump deleted, Crouch moved to the top and lengthened,
    // then CANCEL (the edits stay in the database, and APPLY saves them).
    const auto result = AssignDialogFunction(*dm, db, 0, MENU_ID_MACRO_MANAGER, FCurrentMacro,
                                             Manager([](TkwMacroSetClass &d, QString &) {
                                                 TkwMacroClass &list = *d.CurrentMacroClass();
                                                 EXPECT_TRUE(list.DeleteMacro(1));
                                                 EXPECT_TRUE(list.MoveUpMacro(1));
                                                 std::vector<TMACROKEYINFO> macros = list.MacroKeyInfoList();
                                                 macros[0] = MacroOf("Crouch", 0x43, 10);
                                                 list.SetMacroKeyInfoList(macros);
                                                 return 2;
                                             }));
    EXPECT_EQ(result, TDialogAssignResult::Cancelled);

    TMACROKEYINFO crouch = MacroOf("Crouch", 0x43, 10);
    crouch.nMacroIndex = 0;
    TMACROKEYINFO reload = MacroOf("Reload", 0x52, 4);
    reload.nMacroIndex = 1;
    const auto macroIs = [](const TBUTTONFUNCINFO &e, const TMACROKEYINFO &m) {
        return e.FunctionType == FUNCTION_TYPE_MACRO && std::memcmp(&e.MacroKeyInfo, &m, sizeof m) == 0;
    };
    EXPECT_TRUE(macroIs(Entry(7), crouch));
    p1 = Stored(one);
    EXPECT_TRUE(macroIs(p1->ConfigInfo.ButtonFuncInfo[2], crouch));
    EXPECT_EQ(p1->ConfigInfo.ButtonFuncInfo[3].MenuID, MENU_ID_DISABLE); // Jump is gone
    p3 = Stored(three);
    EXPECT_TRUE(macroIs(p3->ConfigInfo.ButtonFuncInfo[4], reload));
    // Changed profiles are written to the mouse by the next APPLY; a profile
    // without macro buttons had nothing to change.
    EXPECT_TRUE(dm->IsProfileChanged(cur));
    EXPECT_TRUE(dm->IsProfileChanged(one));
    EXPECT_TRUE(dm->IsProfileChanged(three));
    EXPECT_FALSE(dm->IsProfileChanged(none));
    EXPECT_EQ(std::memcmp(Stored(none).get(), p4.get(), sizeof *p4), 0);
    // APPLY's macro area comes from the set the manager left current.
    EXPECT_EQ(db.CurrentMacroSetName(), QStringLiteral("Default"));
    QList<int> used = dm->GetAllProfilesMacroIndexList();
    std::sort(used.begin(), used.end());
    EXPECT_EQ(used, (QList<int>{0, 1}));
}

TEST_F(DialogItems, ManagerMacroBeyondTheLimitIsRefusedAndTheButtonKeepsItsEntry)
{
    // Five distinct macros on buttons 0..4 (slots 0..4 of a larger set).
    AddSet(QStringLiteral("Many"), {MacroOf("m0", 1, 2), MacroOf("m1", 2, 2), MacroOf("m2", 3, 2), MacroOf("m3", 4, 2),
                                    MacroOf("m4", 5, 2), MacroOf("m5", 6, 2)});
    for (int b = 0; b < 5; ++b)
        PutMacro(dm->FCurrentProfileInfo.ConfigInfo, b, b);
    const TBUTTONFUNCINFO before = Entry(8);
    const auto result = AssignDialogFunction(*dm, db, 8, MENU_ID_MACRO_MANAGER, FCurrentMacro,
                                             Manager([](TkwMacroSetClass &, QString &name) {
                                                 name = QStringLiteral("m5");
                                                 return 1;
                                             }));
    EXPECT_EQ(result, TDialogAssignResult::RefusedMacroLimit);
    EXPECT_TRUE(SameEntry(Entry(8), before));
    // A sixth button on one of the five is no new macro.
    EXPECT_EQ(AssignDialogFunction(*dm, db, 8, MENU_ID_MACRO_MANAGER, FCurrentMacro,
                                   Manager([](TkwMacroSetClass &, QString &name) {
                                       name = QStringLiteral("m4");
                                       return 1;
                                   })),
              TDialogAssignResult::Assigned);
}

// ---- the manager window itself ---------------------------------------------------------------

TEST_F(DialogItems, ManagerWindowOkGivesTheButtonTheSelectedMacro)
{
    WhenModal<TFrmMacro>([](TFrmMacro &f) {
        QTest::mouseClick(f.ListBoxMacroList, Qt::LeftButton, {}, f.ListBoxMacroList->rowRect(1).center());
        QTest::mouseClick(f.BTNOK, Qt::LeftButton);
    });
    EXPECT_EQ(AssignDialogFunction(*dm, db, 9, MENU_ID_MACRO_MANAGER, FCurrentMacro), TDialogAssignResult::Assigned);
    EXPECT_EQ(FCurrentMacro, 1);
    EXPECT_EQ(Entry(9).MenuID, 1103);
    EXPECT_EQ(FieldText(Entry(9).MacroName), QStringLiteral("Jump"));
    TMACROKEYINFO jump = MacroOf("Jump", 0x20, 2);
    jump.nMacroIndex = 1;
    EXPECT_EQ(std::memcmp(&Entry(9).MacroKeyInfo, &jump, sizeof jump), 0);
}

TEST_F(DialogItems, ManagerWindowClosedAfterADeleteKeepsTheButtonsAndTheirMacros)
{
    const int b = 10;
    PutMacro(dm->FCurrentProfileInfo.ConfigInfo, b, 2); // Crouch
    PutMacro(dm->FCurrentProfileInfo.ConfigInfo, 11, 0); // Reload
    const TBUTTONFUNCINFO crouch = Entry(b), reload = Entry(11);
    WhenModal<TFrmMacro>([](TFrmMacro &f) {
        // The button's macro is selected on opening; delete it, confirmed.
        WhenModal<TFrmDialog>([](TFrmDialog &d) { QTest::mouseClick(d.BTNOK, Qt::LeftButton); });
        QTest::mouseClick(f.BSBTNDELETEMACRO, Qt::LeftButton);
        ASSERT_EQ(f.ListBoxMacroList->count(), 2);
        QTest::mouseClick(f.BTNCLOSE, Qt::LeftButton); // no OK: the delete is undone
    });
    EXPECT_EQ(AssignDialogFunction(*dm, db, b, MENU_ID_MACRO_MANAGER, FCurrentMacro), TDialogAssignResult::Cancelled);
    EXPECT_EQ(db.CurrentMacroClass()->MacroListCount(), 3);
    EXPECT_TRUE(SameEntry(Entry(b), crouch));
    EXPECT_TRUE(SameEntry(Entry(11), reload));
}
