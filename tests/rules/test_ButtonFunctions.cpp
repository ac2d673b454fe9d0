// The button-function assignment without widgets: what each menu choice
// stores, the CLICK rule, the macro limit, the macro sync and the captions.

#include "config/app/ButtonFunctions.h"

#include "core/DMUnit.h"
#include "core/kwMacroClassUnit.h"
#include "platform/ValueStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

#include <array>
#include <memory>

using hkt::platform::DirectoryValueStore;

namespace {

class ButtonFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        values = std::make_shared<DirectoryValueStore>(tmp.path() + "/registry");
        dm = std::make_unique<TDM>(TDMRoots{values, tmp.path() + "/prog", tmp.path() + "/docs"});
        db.LoadMacrosetDB(tmp.path() + "/MacroSet.MSDB");
        db.CreateNewMacroSet(QStringLiteral("DefaultMacroSet"));
        db.SwitchToMacroSet(QStringLiteral("DefaultMacroSet"));
        for (const char *n : {"Macro1", "Macro2", "Macro3", "Macro4", "Macro5", "Macro6", "Macro7"})
            db.CreateNewMacro(QString::fromLatin1(n));
        db.SaveBackCurrentMacroClassDataToCurrentMacroList();
        source = MacroSubmenuSourceOf(db);
    }

    TMOUSECONFIGINFO &Config() { return dm->FCurrentProfileInfo.ConfigInfo; }
    TBUTTONFUNCINFO &Entry(int b) { return Config().ButtonFuncInfo[b]; }
    TAssignResult Assign(int b, int id) { return AssignFunctionToButton(*dm, db, source, b, id, currentMacro); }
    std::array<uint8_t, 4> MapBytes(int b)
    {
        TDeviceButtonMap map{};
        EncodeButtonMap(dm->FCurrentProfileInfo, map);
        return {map.Buttons[b][0], map.Buttons[b][1], map.Buttons[b][2], map.Buttons[b][3]};
    }
    bool StoredEqualsWorking()
    {
        TMouseProfileInfo stored{};
        return dm->ReadProfileInfo(stored, dm->FProfileIndex) &&
               std::memcmp(&stored, &dm->FCurrentProfileInfo, sizeof stored) == 0;
    }

    QTemporaryDir tmp;
    std::shared_ptr<DirectoryValueStore> values;
    std::unique_ptr<TDM> dm;
    TkwMacroSetClass db;
    TMacroSubmenuSource source;
    int currentMacro = 0;
};

struct MenuCase {
    int id;
    uint8_t type;
    int row;
    int code;
    std::array<uint8_t, 4> bytes; // the button's four bytes in the mouse's button map
};

// Every item the menu reports, chosen for button 5 of the factory profile.
// The bytes are worked out from the preset tables: Ctrl/Alt/Win as HID
// modifier bits 1/4/8, keyboard and consumer usages low byte first.
const MenuCase kMenuCases[] = {
    {1, 1, 0, 1, {1, 1, 0, 0}},          {2, 1, 1, 2, {2, 0, 0, 0}},
    {3, 1, 2, 3, {3, 0, 0, 0}},          {4, 1, 3, 5, {5, 0, 0, 0}},
    {5, 1, 4, 4, {4, 0, 0, 0}},          {801, 3, 7, 15, {15, 1, 0x1B, 0}},
    {802, 3, 8, 15, {15, 1, 0x06, 0}},   {803, 3, 9, 15, {15, 1, 0x19, 0}},
    {804, 3, 10, 15, {15, 1, 0x04, 0}},  {805, 3, 11, 15, {15, 1, 0x09, 0}},
    {806, 3, 12, 15, {15, 1, 0x11, 0}},  {807, 3, 13, 15, {15, 1, 0x13, 0}},
    {808, 3, 14, 15, {15, 1, 0x16, 0}},  {901, 3, 15, 15, {15, 4, 0x2B, 0}},
    {902, 3, 16, 15, {15, 4, 0x3D, 0}},  {903, 3, 17, 15, {15, 8, 0x08, 0}},
    {904, 3, 18, 15, {15, 8, 0x15, 0}},  {905, 3, 19, 15, {15, 8, 0x07, 0}},
    {906, 3, 20, 15, {15, 8, 0x0F, 0}},  {907, 10, 21, 14, {14, 0, 0x23, 0x02}},
    {908, 10, 22, 14, {14, 0, 0x24, 0x02}}, {909, 10, 23, 14, {14, 0, 0x25, 0x02}},
    {910, 10, 24, 14, {14, 0, 0x26, 0x02}}, {911, 10, 25, 14, {14, 0, 0x27, 0x02}},
    {912, 10, 26, 14, {14, 0, 0x21, 0x02}}, {913, 10, 27, 14, {14, 0, 0x2A, 0x02}},
    {914, 10, 28, 14, {14, 0, 0, 0}},    {1001, 10, 29, 14, {14, 0, 0xCD, 0}},
    {1002, 10, 30, 14, {14, 0, 0xB7, 0}}, {1003, 10, 31, 14, {14, 0, 0xB6, 0}},
    {1004, 10, 32, 14, {14, 0, 0xB5, 0}}, {1005, 10, 33, 14, {14, 0, 0xE9, 0}},
    {1006, 10, 34, 14, {14, 0, 0xEA, 0}}, {1007, 10, 35, 14, {14, 0, 0xE2, 0}},
    {1008, 10, 36, 19, {19, 0, 0, 0}},   {1301, 1, 40, 8, {8, 0, 0, 0}},
    {1302, 1, 41, 10, {10, 0, 0, 0}},    {1303, 1, 42, 9, {9, 0, 0, 0}},
    {14, 1, 43, 13, {13, 0, 0, 0}},      {1501, 1, 45, 23, {23, 0, 0, 0}},
    {1502, 1, 46, 24, {24, 0, 0, 0}},    {16, 10, 47, 14, {14, 0, 0, 0}},
};

TEST_F(ButtonFunctionsTest, EveryMenuItemStoresItsFunctionAndCopiesBack)
{
    for (const MenuCase &c : kMenuCases) {
        SCOPED_TRACE(c.id);
        ASSERT_TRUE(dm->SwitchToProfile(0)); // a fresh factory profile for each item
        dm->RestoreCurrentProfileInfoToDefault();
        dm->SetProfileChanged(0, false);
        const TBUTTONFUNCINFO before = Entry(5);
        ASSERT_EQ(Assign(5, c.id), TAssignResult::Assigned);
        const TBUTTONFUNCINFO &e = Entry(5);
        EXPECT_EQ(e.FunctionType, c.type);
        EXPECT_EQ(e.FunctionIndex, c.row);
        EXPECT_EQ(e.DeviceFunctionCode, c.code);
        EXPECT_EQ(e.MenuID, c.id);
        EXPECT_EQ(e.ButtonIndex, 5) << "the assignment never writes ButtonIndex";
        EXPECT_EQ(MapBytes(5), c.bytes);
        // Marked for APPLY when the button's function changed (the factory
        // function assigned again changes nothing).
        EXPECT_EQ(dm->IsProfileChanged(0), std::memcmp(&before, &e, sizeof e) != 0);
        EXPECT_TRUE(StoredEqualsWorking());
    }
}

TEST_F(ButtonFunctionsTest, MailAndMediaPlayerKeepTheirSpecialParameters)
{
    ASSERT_EQ(Assign(6, 914), TAssignResult::Assigned);
    EXPECT_EQ(Entry(6).HIDCode.nKeyValue1, 0);
    EXPECT_EQ(Entry(6).HIDCode.nKeyValue2, 0);
    ASSERT_EQ(Assign(7, 1008), TAssignResult::Assigned);
    EXPECT_EQ(Entry(7).HIDCode.nKeyValue1, 0x83);
    EXPECT_EQ(Entry(7).HIDCode.nKeyValue2, 0x01);
}

TEST_F(ButtonFunctionsTest, ClickRule)
{
    // Factory profile: CLICK on button 0 only.
    ASSERT_EQ(CountClickButtons(Config()), 1);
    const TBUTTONFUNCINFO before = Entry(0);
    for (int id : {2, 16, 1, 6, 1102}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(Assign(0, id), TAssignResult::RefusedLastClick);
        EXPECT_EQ(std::memcmp(&Entry(0), &before, sizeof before), 0);
    }

    ASSERT_EQ(Assign(5, 1), TAssignResult::Assigned);
    EXPECT_EQ(Entry(5).LeftClickFlag, 1);
    EXPECT_EQ(Assign(0, 2), TAssignResult::Assigned) << "button 0 is free once another button clicks";
    ASSERT_EQ(Assign(1, 1), TAssignResult::Assigned);
    EXPECT_EQ(Entry(1).LeftClickFlag, 0);
}

TEST_F(ButtonFunctionsTest, UnknownIdentifiersChangeNothing)
{
    const TMouseProfileInfo before = dm->FCurrentProfileInfo;
    dm->SetProfileChanged(dm->FProfileIndex, false);
    for (int id : {0, -1, 8, 9, 10, 11, 13, 15, 17, 99, 809, 915, 1009, 1100, 1109, 1199, 1304, 1503, 5000, 99999}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(Assign(4, id), TAssignResult::Unchanged);
    }
    EXPECT_EQ(Assign(14, 2), TAssignResult::Unchanged);
    EXPECT_EQ(Assign(-1, 2), TAssignResult::Unchanged);
    EXPECT_EQ(std::memcmp(&before, &dm->FCurrentProfileInfo, sizeof before), 0);
    EXPECT_FALSE(dm->IsProfileChanged(dm->FProfileIndex));
}

TEST_F(ButtonFunctionsTest, DialogItemsAreLeftToTheirDialogs)
{
    for (int id : {6, 7, 12, 1101})
        EXPECT_EQ(Assign(4, id), TAssignResult::NeedsDialog) << id;
}

TEST_F(ButtonFunctionsTest, MacroIsTakenFromTheSubmenuSource)
{
    // The database moves on after the sub-menu was built: a new set becomes current.
    db.CreateNewMacroSet(QStringLiteral("Other"));
    db.SwitchToMacroSet(QStringLiteral("Other"));
    db.CreateNewMacro(QStringLiteral("Elsewhere"));
    db.SaveBackCurrentMacroClassDataToCurrentMacroList();

    ASSERT_EQ(Assign(4, 1103), TAssignResult::Assigned);
    const TBUTTONFUNCINFO &e = Entry(4);
    EXPECT_EQ(FieldText(e.MacroSetName), QStringLiteral("DefaultMacroSet"));
    EXPECT_EQ(FieldText(e.MacroName), QStringLiteral("Macro2"));
    EXPECT_EQ(MacroNameText(e.MacroKeyInfo), QStringLiteral("Macro2"));
    EXPECT_EQ(e.MacroKeyInfo.nMacroIndex, 1);
    EXPECT_EQ(e.FunctionType, FUNCTION_TYPE_MACRO);
    EXPECT_EQ(e.FunctionIndex, 37);
    EXPECT_EQ(e.DeviceFunctionCode, 17);
    EXPECT_EQ(e.MenuID, 1103);
    EXPECT_EQ(currentMacro, 1);
    EXPECT_EQ(MapBytes(4)[0], 17);
    EXPECT_EQ(MapBytes(4)[1], 1);

    // A position past the list the sub-menu showed does nothing.
    EXPECT_EQ(Assign(5, 1102 + 7), TAssignResult::Unchanged);
}

TEST_F(ButtonFunctionsTest, MacroLimitIsFiveDistinctMacros)
{
    for (int b = 3; b < 8; ++b)
        ASSERT_EQ(Assign(b, 1102 + (b - 3)), TAssignResult::Assigned) << b;
    ASSERT_EQ(CountMacroButtons(Config()), 5);
    EXPECT_EQ(Assign(8, 1102), TAssignResult::Assigned) << "a macro already on a button adds nothing";
    const TBUTTONFUNCINFO before = Entry(9);
    EXPECT_EQ(Assign(9, 1107), TAssignResult::RefusedMacroLimit);
    EXPECT_EQ(std::memcmp(&Entry(9), &before, sizeof before), 0);
    EXPECT_EQ(Assign(4, 1107), TAssignResult::Assigned) << "replacing the only button of a macro keeps the count";
}

TEST_F(ButtonFunctionsTest, MacrosOfTwoSetsAtOnePositionAreTwoMacrosForTheLimit)
{
    // Four macros of the default set, then the first macro of another set:
    // it sits at a position already on a button, yet needs a slot of its own.
    for (int b = 3; b < 7; ++b)
        ASSERT_EQ(Assign(b, 1102 + (b - 3)), TAssignResult::Assigned) << b;
    ASSERT_EQ(db.CreateNewMacroSet(QStringLiteral("Other")), 1);
    ASSERT_TRUE(db.SwitchToMacroSet(QStringLiteral("Other")));
    ASSERT_EQ(db.CreateNewMacro(QStringLiteral("O1")), 1);
    ASSERT_EQ(db.CreateNewMacro(QStringLiteral("O2")), 1);
    source = MacroSubmenuSourceOf(db);
    ASSERT_EQ(Assign(7, 1102), TAssignResult::Assigned);
    EXPECT_EQ(CountMacroButtons(Config()), 5);
    db.SwitchToMacroSet(QStringLiteral("Other"));
    source = MacroSubmenuSourceOf(db);
    EXPECT_EQ(Assign(8, 1103), TAssignResult::RefusedMacroLimit);
    EXPECT_EQ(Assign(8, 1102), TAssignResult::Assigned) << "the same macro again adds nothing";
}

TEST_F(ButtonFunctionsTest, SyncButtonMacros)
{
    ASSERT_EQ(Assign(3, 1102), TAssignResult::Assigned);
    ASSERT_EQ(Assign(4, 1103), TAssignResult::Assigned);
    ASSERT_EQ(Assign(5, 1104), TAssignResult::Assigned);

    // Set name in other letters still matches; a macro moved up takes its new slot.
    SetFieldText(Entry(3).MacroSetName, QStringLiteral("defaultmacroset"));
    db.DeleteMacro(QStringLiteral("Macro1"));  // Macro2 now at 0, Macro3 at 1
    db.SaveBackCurrentMacroClassDataToCurrentMacroList();
    SyncButtonMacros(Config(), db);
    EXPECT_EQ(Entry(3).MenuID, 16) << "its macro is gone";
    EXPECT_EQ(Entry(3).DeviceFunctionCode, 14);
    EXPECT_EQ(Entry(3).ButtonIndex, 3);
    EXPECT_EQ(Entry(4).MacroKeyInfo.nMacroIndex, 0);
    EXPECT_EQ(Entry(5).MacroKeyInfo.nMacroIndex, 1);

    // A name differing in case only is another macro; a deleted set disables.
    SetFieldText(Entry(4).MacroName, QStringLiteral("MACRO2"));
    SyncButtonMacros(Config(), db);
    EXPECT_EQ(Entry(4).MenuID, 16);
    ASSERT_TRUE(db.DeleteMacroSet(QStringLiteral("DefaultMacroSet")));
    SyncButtonMacros(Config(), db);
    EXPECT_EQ(Entry(5).MenuID, 16);
    EXPECT_EQ(ButtonFunctionText(Entry(5), ShownMenuIDOf(Entry(5))), QStringLiteral("DISABLE"));
}

TEST_F(ButtonFunctionsTest, LongMacroNameKeepsItsButton)
{
    const QString longName = QStringLiteral("A macro whose name is longer than thirty characters");
    ASSERT_EQ(longName.size(), 51);
    db.CreateNewMacro(longName.left(50));
    db.SaveBackCurrentMacroClassDataToCurrentMacroList();
    source = MacroSubmenuSourceOf(db);
    ASSERT_EQ(Assign(4, 1102 + 7), TAssignResult::Assigned);
    EXPECT_EQ(Entry(4).FunctionType, FUNCTION_TYPE_MACRO);
    EXPECT_EQ(FieldText(Entry(4).MacroName), longName.left(30));
    EXPECT_EQ(Entry(4).MacroKeyInfo.nMacroIndex, 7);
    EXPECT_EQ(GetMacroText(Entry(4)), QStringLiteral("MACRO #8 <") + longName.left(50) + QStringLiteral(" >"));
}

TEST_F(ButtonFunctionsTest, LookupsAndSubmenuInfo)
{
    EXPECT_EQ(RowOfMenuID(11), 37);
    EXPECT_EQ(RowOfMenuID(16), 47);
    EXPECT_EQ(RowOfMenuID(4242), 4242);
    EXPECT_EQ(MenuIDOfRow(39), 13);
    EXPECT_EQ(MenuIDOfRow(48), -1);
    EXPECT_EQ(MenuIDOfRow(-1), -1);

    const TSelectedMenuItemInfo i = GetSelectedMenuItemInfo(1104, source);
    EXPECT_EQ(i.MacroIndex, 2);
    EXPECT_EQ(i.MacroName, QStringLiteral("Macro3"));
    EXPECT_EQ(i.MacroSetName, QStringLiteral("DefaultMacroSet"));
    EXPECT_TRUE(GetSelectedMenuItemInfo(1130, source).MacroName.isEmpty());
    EXPECT_TRUE(GetSelectedMenuItemInfo(802, source).MacroSetName.isEmpty());

    EXPECT_EQ(MacroSubmenuCaption(source.Macros[0]), QStringLiteral("MACRO #1 <Macro1>"));
}

struct CaptionCase {
    int id;
    const char *text;
};

TEST_F(ButtonFunctionsTest, CaptionsOfIdentifiers)
{
    const TBUTTONFUNCINFO plain{};
    const CaptionCase cases[] = {{1, "CLICK"},  {802, "COPY"},   {914, "MAIL"},   {1008, "MEDIA PLAYER"},
                                 {1101, "MACRO MANAGER"}, {16, "DISABLE"}, {13, "DPI SWITCH"},
                                 {0, ""},       {-1, ""},        {5000, ""},      {1599, ""},
                                 {99999, ""},   {1199, ""}};
    for (const CaptionCase &c : cases)
        EXPECT_EQ(ButtonFunctionText(plain, c.id), QString::fromLatin1(c.text)) << c.id;

    // A stored entry with MenuID 0 shows the item of its row.
    TBUTTONFUNCINFO mail{};
    mail.FunctionIndex = 28;
    EXPECT_EQ(ButtonFunctionText(mail, ShownMenuIDOf(mail)), QStringLiteral("MAIL"));
    TBUTTONFUNCINFO nowhere{};
    nowhere.FunctionIndex = 900;
    EXPECT_EQ(ShownMenuIDOf(nowhere), 0);
}

TEST_F(ButtonFunctionsTest, ComboCaptionAndHint)
{
    ASSERT_EQ(Assign(4, 802), TAssignResult::Assigned);
    EXPECT_EQ(ButtonFunctionText(Entry(4), 802), QStringLiteral("COPY"));
    EXPECT_EQ(ButtonHintText(Entry(4)), QStringLiteral("Ctrl+C"));

    // A long combination is cut on the button and whole in the hint.
    TBUTTONFUNCINFO &e = Entry(4);
    e.MenuID = 7;
    e.ComboKey.nModifier = MODIFIER_CTRL | MODIFIER_SHIFT;
    e.ComboKey.nKeyValue1 = 0x2E; // DELETE
    e.ComboKey.nKey1Extended = 1;
    const QString whole = ButtonHintText(e);
    ASSERT_GT(whole.size(), 12);
    EXPECT_EQ(ButtonFunctionText(e, 7), whole.left(9) + QStringLiteral("..."));

    // A single key without text shows the key's description.
    TBUTTONFUNCINFO key{};
    key.DeviceFunctionCode = 16;
    key.SingleKey.nKeyValue1 = 0x41;
    EXPECT_EQ(ButtonFunctionText(key, 6), QStringLiteral("A"));
    EXPECT_EQ(ButtonHintText(key), QStringLiteral("A"));
}

TEST_F(ButtonFunctionsTest, MacroCaptionFromTheEntry)
{
    ASSERT_EQ(Assign(4, 1103), TAssignResult::Assigned);
    EXPECT_EQ(ButtonFunctionText(Entry(4), 1103), QStringLiteral("MACRO #2 <Macro2>"));
    EXPECT_EQ(ButtonFunctionText(Entry(4), 11), QStringLiteral("MACRO #2"));
    EXPECT_EQ(ButtonHintText(Entry(4)), QStringLiteral("MACRO #2 <Macro2 >"));
}

} // namespace
