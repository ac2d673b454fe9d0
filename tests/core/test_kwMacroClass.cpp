// The macro list and its step editor: limits, positions, write-back, the
// press/release check and ".macro" files.

#include "core/kwMacroClassUnit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

TMACROKEY Key(int vk, bool down, int extended = 0)
{
    return TMACROKEY{MACRO_STEP_KEY, static_cast<uint16_t>(down ? 1 : 0), static_cast<uint8_t>(vk),
                     static_cast<uint8_t>(extended)};
}

TMACROKEY Button(int bits, bool down)
{
    return TMACROKEY{MACRO_STEP_MOUSE_BUTTON, static_cast<uint16_t>(down ? 1 : 0), static_cast<uint8_t>(bits), 0};
}

TMACROKEY Step5(int value, bool down)
{
    return TMACROKEY{MACRO_STEP_PRESS_RELEASE, static_cast<uint16_t>(down ? 1 : 0), static_cast<uint8_t>(value), 0};
}

TMACROKEY Delay(int ms)
{
    return TMACROKEY{MACRO_STEP_DELAY, 0, static_cast<uint8_t>(ms & 0xFF), static_cast<uint8_t>(ms >> 8)};
}

bool SameStep(const TMACROKEY &a, const TMACROKEY &b)
{
    return a.nKeyType == b.nKeyType && a.nKeyState == b.nKeyState && a.VALUE1 == b.VALUE1 && a.VALUE2 == b.VALUE2;
}

TMACROKEYINFO Macro(const QString &name, const std::vector<TMACROKEY> &steps = {})
{
    TMACROKEYINFO m{};
    SetFieldText(m.szMacroName, name);
    m.MacroListCount = static_cast<int32_t>(steps.size());
    std::copy(steps.begin(), steps.end(), m.MacroList);
    return m;
}

QStringList Names(const TkwMacroClass &list)
{
    QStringList names;
    for (const TMACROKEYINFO &m : list.MacroKeyInfoList())
        names << MacroNameText(m);
    return names;
}

std::vector<int> Slots(const TkwMacroClass &list)
{
    std::vector<int> v;
    for (const TMACROKEYINFO &m : list.MacroKeyInfoList())
        v.push_back(m.nMacroIndex);
    return v;
}

std::vector<TMACROKEY> StoredSteps(const TkwMacroClass &list, int index)
{
    TMACROKEYINFO m{};
    EXPECT_TRUE(list.GetMacroKeyItem(index, m));
    return std::vector<TMACROKEY>(m.MacroList, m.MacroList + CheckedMacroListCount(m));
}

void ExpectSteps(const std::vector<TMACROKEY> &got, const std::vector<TMACROKEY> &want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(SameStep(got[i], want[i])) << "step " << i;
}

// A list A, B, C made through the class, so renumbering and the editor apply.
void MakeABC(TkwMacroClass &list)
{
    for (const char *n : {"A", "B", "C"})
        ASSERT_EQ(list.CreateNewMacro(QString::fromLatin1(n)), 1);
}

TEST(MacroList, CreateNewMacroRefusesExistingNamesAndAFullList)
{
    TkwMacroClass list;
    MakeABC(list);
    list.SetMacroListIndex(1);
    TkwActionsClass *editor = list.CurrentMacroAction();
    EXPECT_EQ(list.CreateNewMacro(QStringLiteral("B")), 0);
    EXPECT_EQ(list.MacroListCount(), 3);
    EXPECT_EQ(list.MacroListIndex(), 1);
    EXPECT_EQ(list.CurrentMacroAction(), editor);

    EXPECT_EQ(list.CreateNewMacro(QStringLiteral("D")), 1);
    EXPECT_EQ(list.MacroListIndex(), 3);
    TMACROKEYINFO d{};
    ASSERT_TRUE(list.GetCurrentMacroKeyItem(d));
    EXPECT_EQ(d.nMacroIndex, 3);
    EXPECT_EQ(d.Version, 0u);
    ASSERT_NE(list.CurrentMacroAction(), nullptr);
    EXPECT_TRUE(list.CurrentMacroAction()->IsEmpty());

    for (int i = 4; i < MACRO_LIST_CAPACITY; ++i)
        ASSERT_EQ(list.CreateNewMacro(QStringLiteral("M%1").arg(i)), 1);
    EXPECT_TRUE(list.IsFull());
    EXPECT_EQ(list.CreateNewMacro(QStringLiteral("one too many")), -1);
    EXPECT_EQ(list.MacroListCount(), MACRO_LIST_CAPACITY);
    TMACROKEYINFOLIST out{};
    list.GetMacroKeyInfoList(out);
    EXPECT_EQ(out.nMacroInfoCount, MACRO_LIST_CAPACITY);
}

TEST(MacroList, NamesAreExactAndCutToTheirField)
{
    TkwMacroClass list;
    ASSERT_EQ(list.CreateNewMacro(QStringLiteral("Macro1")), 1);
    EXPECT_FALSE(list.MacroExists(QStringLiteral("macro1")));
    EXPECT_TRUE(list.MacroExists(QStringLiteral("Macro1")));

    const QString longName = QString(60, QLatin1Char('x'));
    ASSERT_EQ(list.CreateNewMacro(longName), 1);
    TMACROKEYINFO m{};
    ASSERT_TRUE(list.GetCurrentMacroKeyItem(m));
    EXPECT_EQ(MacroNameText(m), QString(50, QLatin1Char('x')));
    EXPECT_EQ(m.szMacroName[50], u'\0');
    // The same long name again is the same (cut) name.
    EXPECT_EQ(list.CreateNewMacro(longName), 0);

    // A surrogate pair across the limit is dropped whole.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    ASSERT_EQ(list.CreateNewMacro(QString(49, QLatin1Char('y')) + emoji), 1);
    ASSERT_TRUE(list.GetCurrentMacroKeyItem(m));
    EXPECT_EQ(MacroNameText(m), QString(49, QLatin1Char('y')));
}

TEST(MacroList, MovesKeepTheCurrentMacroAndRenumber)
{
    TkwMacroClass list;
    MakeABC(list);
    list.SetMacroListIndex(1);
    EXPECT_FALSE(list.MoveUpMacro(0));
    EXPECT_FALSE(list.MoveDownMacro(2));
    EXPECT_FALSE(list.MoveUpMacro(3));
    EXPECT_FALSE(list.MoveDownMacro(-1));
    EXPECT_EQ(Names(list), (QStringList{"A", "B", "C"}));

    EXPECT_TRUE(list.MoveUpMacro(1));
    EXPECT_EQ(Names(list), (QStringList{"B", "A", "C"}));
    EXPECT_EQ(list.MacroListIndex(), 0);
    EXPECT_EQ(Slots(list), (std::vector<int>{0, 1, 2}));

    // Moving the neighbour of the current macro moves the current index with it.
    EXPECT_TRUE(list.MoveDownMacro(0));
    EXPECT_EQ(Names(list), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(list.MacroListIndex(), 1);
    EXPECT_TRUE(list.MoveDownMacro(0));
    EXPECT_EQ(list.MacroListIndex(), 0);
}

TEST(MacroList, DeleteKeepsAValidCurrentMacro)
{
    TkwMacroClass list;
    MakeABC(list);
    ASSERT_EQ(list.MacroListIndex(), 2);
    EXPECT_TRUE(list.DeleteMacro(2));
    EXPECT_EQ(list.MacroListIndex(), 1);
    EXPECT_FALSE(list.DeleteMacro(5));
    EXPECT_FALSE(list.DeleteMacro(QStringLiteral("nobody")));
    EXPECT_TRUE(list.DeleteMacro(QStringLiteral("A")));
    EXPECT_EQ(Slots(list), (std::vector<int>{0}));
    EXPECT_TRUE(list.DeleteMacro(0));
    EXPECT_EQ(list.MacroListIndex(), -1);
    EXPECT_EQ(list.CurrentMacroAction(), nullptr);
    TMACROKEYINFO untouched = Macro(QStringLiteral("keep"));
    EXPECT_FALSE(list.GetCurrentMacroKeyItem(untouched));
    EXPECT_EQ(MacroNameText(untouched), QStringLiteral("keep"));
}

TEST(MacroList, RenameToANameInUseIsRefused)
{
    TkwMacroClass list;
    MakeABC(list);
    EXPECT_FALSE(list.ReNameMacro(QStringLiteral("C"), 0));
    EXPECT_FALSE(list.ReNameMacro(QStringLiteral("A"), QStringLiteral("B")));
    EXPECT_FALSE(list.ReNameMacro(QStringLiteral("nobody"), QStringLiteral("Z")));
    EXPECT_FALSE(list.ReNameMacro(QStringLiteral("Z"), 3));
    EXPECT_EQ(Names(list), (QStringList{"A", "B", "C"}));
    EXPECT_TRUE(list.ReNameMacro(QStringLiteral("A"), 0)); // its own name
    EXPECT_TRUE(list.ReNameMacro(QStringLiteral("B"), QStringLiteral("Z")));
    EXPECT_EQ(Names(list), (QStringList{"A", "Z", "C"}));
    // So a delete by name reaches the macro that carries it, and only that one.
    EXPECT_TRUE(list.DeleteMacro(QStringLiteral("C")));
    EXPECT_EQ(Names(list), (QStringList{"A", "Z"}));
}

TEST(MacroList, InvalidPositionsChangeNothing)
{
    TkwMacroClass list;
    MakeABC(list);
    TMACROKEYINFO m = Macro(QStringLiteral("untouched"));
    EXPECT_FALSE(list.GetMacroKeyItem(-1, m));
    EXPECT_FALSE(list.GetMacroKeyItem(3, m));
    EXPECT_EQ(MacroNameText(m), QStringLiteral("untouched"));
    list.SetMacroListIndex(7);
    EXPECT_EQ(list.MacroListIndex(), 2);
    EXPECT_FALSE(list.SetMacroLoopValue(3, 1, 5));
    EXPECT_FALSE(list.SetMacroLoopValue(0, 1, 65536));
    EXPECT_FALSE(list.SetMacroLoopValue(0, 1, -1));
    EXPECT_FALSE(list.SetMacroAutoDelay(0, 70000));
    EXPECT_FALSE(list.SetMacroAutoDelay(-1, 1));
    ASSERT_TRUE(list.GetMacroKeyItem(0, m));
    EXPECT_EQ(m.nLoopCount, 0);
    EXPECT_EQ(m.nLoopRunWhenPressed, 0);
    EXPECT_EQ(m.nAutoAddDelay, 0);
    EXPECT_TRUE(list.SetMacroLoopValue(0, 1, 65535));
    ASSERT_TRUE(list.GetMacroKeyItem(0, m));
    EXPECT_EQ(m.nLoopCount, 65535);
    EXPECT_EQ(m.nLoopRunWhenPressed, 1);
}

TEST(MacroList, CountsFromARecordAreClamped)
{
    auto record = std::make_unique<TMACROKEYINFOLIST>();
    for (int i = 0; i < MACRO_LIST_CAPACITY; ++i)
        record->MacroInfos[i] = Macro(QStringLiteral("m%1").arg(i), {Key(65, true), Key(65, false)});
    record->MacroInfos[0].MacroListCount = -5;
    record->MacroInfos[1].MacroListCount = 500;
    record->nMacroInfoCount = 40;
    auto list = TkwMacroClass::CtlCreate(*record);
    EXPECT_EQ(list->MacroListCount(), MACRO_LIST_CAPACITY);
    EXPECT_EQ(list->MacroListIndex(), 0);
    EXPECT_EQ(list->CurrentMacroAction(), nullptr);
    EXPECT_EQ(list->MacroKeyInfoList()[0].MacroListCount, 0);
    EXPECT_EQ(list->MacroKeyInfoList()[1].MacroListCount, MACRO_STEP_CAPACITY);
    list->SetMacroListIndex(1);
    EXPECT_EQ(list->CurrentMacroAction()->GetCount(), MACRO_STEP_CAPACITY);

    // An empty record leaves no current macro behind.
    record->nMacroInfoCount = 0;
    list->SetMacroKeyInfoList(*record);
    EXPECT_EQ(list->MacroListIndex(), -1);
    EXPECT_EQ(list->CurrentMacroAction(), nullptr);
}

// The editor writes every change back into the slot of the macro it was
// built for, wherever that macro has gone since.
TEST(StepEditor, FollowsItsMacroThroughMovesDeletesAndRenames)
{
    TkwMacroClass list;
    MakeABC(list);
    list.SetMacroListIndex(1); // B
    ASSERT_TRUE(list.MoveUpMacro(1));
    TkwActionsClass *editor = list.CurrentMacroAction();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->InsertActionAfter(Key(66, true), 0));
    ExpectSteps(StoredSteps(list, 0), {Key(66, true)});
    EXPECT_TRUE(StoredSteps(list, 1).empty()); // A untouched
    EXPECT_EQ(MacroNameText(list.MacroKeyInfoList()[1]), QStringLiteral("A"));

    ASSERT_TRUE(list.ReNameMacro(QStringLiteral("Bee"), 0));
    ASSERT_TRUE(list.CurrentMacroAction()->InsertActionAfter(Key(66, false), 1));
    EXPECT_EQ(MacroNameText(list.MacroKeyInfoList()[0]), QStringLiteral("Bee"));
    ExpectSteps(StoredSteps(list, 0), {Key(66, true), Key(66, false)});

    // Deleting a macro before it shifts the editor's macro down a slot.
    list.SetMacroListIndex(2); // C
    ASSERT_TRUE(list.DeleteMacro(0));
    ASSERT_EQ(Names(list), (QStringList{"A", "C"}));
    ASSERT_TRUE(list.CurrentMacroAction()->InsertActionAfter(Delay(5), 0));
    ExpectSteps(StoredSteps(list, 1), {Delay(5)});
    EXPECT_TRUE(StoredSteps(list, 0).empty());

    // Deleting the editor's own macro moves the editor to the current macro.
    ASSERT_TRUE(list.DeleteMacro(1));
    ASSERT_NE(list.CurrentMacroAction(), nullptr);
    EXPECT_EQ(list.CurrentMacroAction()->MacroIndex(), 0);
    EXPECT_TRUE(list.CurrentMacroAction()->IsEmpty());
}

TEST(StepEditor, AnEditorWhoseSlotHoldsAnotherMacroWritesNothing)
{
    TkwMacroClass list;
    MakeABC(list);
    TMACROKEYINFO a{};
    ASSERT_TRUE(list.GetMacroKeyItem(0, a));
    // Built over A's record, but against a list whose slot 0 is replaced below.
    auto editor = TkwActionsClass::CtrlCreate(a, 0, &list);
    list.SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{Macro(QStringLiteral("X"))});
    EXPECT_TRUE(editor->InsertActionAfter(Key(65, true), 0));
    EXPECT_FALSE(editor->SaveBack());
    EXPECT_TRUE(StoredSteps(list, 0).empty());
    EXPECT_EQ(Names(list), (QStringList{"X"}));
}

struct InsertCase {
    const char *name;
    std::vector<TMACROKEY> before;
    int current;
    bool after; // InsertActionAfter rather than InsertAction
    int index;
    bool accepted;
    std::vector<TMACROKEY> result;
    int currentAfter;
};

class StepInsert : public ::testing::TestWithParam<InsertCase> {};

TEST_P(StepInsert, PlacesTheStepAndTheCurrentStep)
{
    const InsertCase &c = GetParam();
    TkwMacroClass list;
    list.SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{Macro(QStringLiteral("M"), c.before)});
    list.SetMacroListIndex(0);
    TkwActionsClass *e = list.CurrentMacroAction();
    e->SetActionIndex(c.current);
    const TMACROKEY x = Delay(7);
    const bool ok = c.after ? e->InsertActionAfter(x, c.index) : e->InsertAction(x, c.index);
    EXPECT_EQ(ok, c.accepted);
    ExpectSteps(e->Actions(), c.result);
    ExpectSteps(StoredSteps(list, 0), c.result);
    EXPECT_EQ(e->ActionIndex(), c.currentAfter);
}

void PrintTo(const InsertCase &c, std::ostream *os)
{
    *os << c.name;
}

const TMACROKEY kA = Key(65, true);
const TMACROKEY kB = Key(66, true);
const TMACROKEY kX = Delay(7);

INSTANTIATE_TEST_SUITE_P(
    Cases, StepInsert,
    ::testing::Values(InsertCase{"BeforeIntoEmpty", {}, -1, false, 0, false, {}, -1},
                      InsertCase{"AfterIntoEmpty", {}, -1, true, 0, true, {kX}, 0},
                      InsertCase{"BeforeCurrentKeepsIt", {kA, kB}, 1, false, 1, true, {kA, kX, kB}, 2},
                      InsertCase{"BeforeOther", {kA, kB}, 1, false, 0, true, {kX, kA, kB}, 1},
                      InsertCase{"BeforeAtCountRefused", {kA, kB}, 0, false, 2, false, {kA, kB}, 0},
                      InsertCase{"AfterMiddle", {kA, kB}, 0, true, 0, true, {kA, kX, kB}, 1},
                      InsertCase{"AfterAtCountAppends", {kA, kB}, 0, true, 2, true, {kA, kB, kX}, 2},
                      InsertCase{"AfterBeyondRefused", {kA, kB}, 0, true, 3, false, {kA, kB}, 0},
                      InsertCase{"AfterNegativeRefused", {kA, kB}, 0, true, -1, false, {kA, kB}, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StepEditor, FullMacroTakesNoMoreSteps)
{
    TkwMacroClass list;
    list.SetMacroKeyInfoList(
        std::vector<TMACROKEYINFO>{Macro(QStringLiteral("M"), std::vector<TMACROKEY>(MACRO_STEP_CAPACITY, kA))});
    list.SetMacroListIndex(0);
    TkwActionsClass *e = list.CurrentMacroAction();
    EXPECT_TRUE(e->IsFull());
    EXPECT_FALSE(e->InsertAction(kX, 0));
    EXPECT_FALSE(e->InsertActionAfter(kX, MACRO_STEP_CAPACITY));
    EXPECT_EQ(e->GetCount(), MACRO_STEP_CAPACITY);
    TMACROKEYINFO big = Macro(QStringLiteral("src"), {kB, kB});
    list.InsertMacroAfter(big, 0);
    EXPECT_EQ(list.CurrentMacroAction()->GetCount(), MACRO_STEP_CAPACITY);
}

TEST(StepEditor, MovesAndDeletesCheckTheirIndex)
{
    TkwMacroClass list;
    list.SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{Macro(QStringLiteral("M"), {kA, kB, kX})});
    list.SetMacroListIndex(0);
    TkwActionsClass *e = list.CurrentMacroAction();
    EXPECT_FALSE(e->MoveUpAction(0));
    EXPECT_FALSE(e->MoveDownAction(2));
    EXPECT_FALSE(e->DeleteAction(3));
    EXPECT_FALSE(e->DeleteAction(-1));
    e->SetActionIndex(2);
    EXPECT_TRUE(e->MoveUpAction(2));
    EXPECT_EQ(e->ActionIndex(), 1);
    ExpectSteps(StoredSteps(list, 0), {kA, kX, kB});
    EXPECT_TRUE(e->DeleteAction(2));
    EXPECT_TRUE(e->DeleteAction(1));
    EXPECT_EQ(e->ActionIndex(), 0);
    EXPECT_TRUE(e->DeleteAction(0));
    EXPECT_EQ(e->ActionIndex(), -1);
}

TEST(StepEditor, RefusedPasteKeepsTheCutStep)
{
    TkwMacroClass list;
    list.SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{Macro(QStringLiteral("M"), {kA})});
    list.SetMacroListIndex(0);
    TkwActionsClass *e = list.CurrentMacroAction();
    ASSERT_TRUE(e->CutAction(0));
    EXPECT_TRUE(e->IsEmpty());
    EXPECT_FALSE(e->PasteAction(0)); // nowhere to insert before
    EXPECT_TRUE(e->IsEmpty());
    EXPECT_TRUE(e->HasClipboard());
    ASSERT_TRUE(e->InsertActionAfter(kB, 0));
    EXPECT_TRUE(e->PasteAction(0));
    ExpectSteps(StoredSteps(list, 0), {kA, kB});
    EXPECT_FALSE(e->HasClipboard());
    EXPECT_FALSE(e->PasteAction(0));
}

TEST(StepEditor, CopiedStepPastesAnyNumberOfTimes)
{
    TkwMacroClass list;
    list.SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{Macro(QStringLiteral("M"), {kA, kB})});
    list.SetMacroListIndex(0);
    TkwActionsClass *e = list.CurrentMacroAction();
    ASSERT_TRUE(e->CopyAction(1));
    EXPECT_TRUE(e->PasteAction(0));
    EXPECT_TRUE(e->PasteAction(0));
    ExpectSteps(StoredSteps(list, 0), {kB, kB, kA, kB});
    EXPECT_FALSE(e->CopyAction(4));
}

TEST(StepEditor, DelaysAreCappedNeverWrapped)
{
    TkwMacroClass list;
    list.SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{Macro(QStringLiteral("M"), {Delay(10), kA, Delay(300)})});
    list.SetMacroListIndex(0);
    TkwActionsClass *e = list.CurrentMacroAction();
    EXPECT_EQ(e->TotalDelay(), 310u);
    EXPECT_EQ(e->GetDelayValue(1), 65);
    EXPECT_EQ(e->GetDelayValue(3), 0);
    EXPECT_TRUE(e->SetDelayValue(0, 65535));
    EXPECT_EQ(StoredSteps(list, 0)[0].VALUE1, 0xFF);
    EXPECT_EQ(StoredSteps(list, 0)[0].VALUE2, 0xFF);
    EXPECT_TRUE(e->SetDelayValue(2, 70000));
    EXPECT_EQ(e->GetDelayValue(2), 65535);
    EXPECT_FALSE(e->SetDelayValue(2, -1));
    EXPECT_FALSE(e->SetDelayValue(3, 5));
    EXPECT_EQ(e->TotalDelay(), 131070u);
}

struct CheckCase {
    const char *name;
    std::vector<TMACROKEY> steps;
    int errors;
};

void PrintTo(const CheckCase &c, std::ostream *os)
{
    *os << c.name;
}

class PressReleaseCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(PressReleaseCheck, CountsIntoTheOwnersSlotOnly)
{
    const CheckCase &c = GetParam();
    TkwMacroClass list;
    list.SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{Macro(QStringLiteral("M"), c.steps)});
    list.SetMacroListIndex(0);
    TkwActionsClass *e = list.CurrentMacroAction();
    EXPECT_EQ(e->CheckErrors(), c.errors);
    const TMACROKEYINFO &stored = list.MacroKeyInfoList()[0];
    EXPECT_EQ(stored.HaveErrors, c.errors > 0 ? 1 : 0);
    EXPECT_EQ(stored.ErrorCount, c.errors);
    TMACROKEYINFO own{};
    e->GetMacroKeyInfo(own);
    EXPECT_EQ(own.HaveErrors, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PressReleaseCheck,
    ::testing::Values(CheckCase{"DoublePress", {Key(65, true), Key(65, true), Key(65, false)}, 1},
                      CheckCase{"ReleaseOnly", {Key(65, false)}, 1},
                      CheckCase{"LeftPressed", {Key(65, true)}, 1},
                      CheckCase{"ButtonLeftPressed", {Button(1, true)}, 0},
                      CheckCase{"Step5LeftPressed", {Step5(65, true)}, 0},
                      CheckCase{"ExtendedIsAnotherKey", {Key(37, true, 0), Key(37, false, 1)}, 2},
                      CheckCase{"KeyAndButtonShareTheTable", {Key(1, true), Button(1, false)}, 0},
                      CheckCase{"Balanced", {Key(65, true), Delay(20), Key(65, false)}, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StepEditor, RemoveErrorsDropsTheLastPressOfKeysLeftDown)
{
    struct Case {
        std::vector<TMACROKEY> before, after;
        std::vector<int> removed; // positions in `before`
    };
    const std::vector<Case> cases = {
        {{Key(65, true), Delay(9), Key(66, true), Key(66, false)}, {Delay(9), Key(66, true), Key(66, false)}, {0}},
        {{Key(65, true), Key(65, false), Key(65, true)}, {Key(65, true), Key(65, false)}, {2}},
        {{Button(1, true), Key(65, true)}, {Button(1, true)}, {1}},
        {{Key(37, true, 1), Key(37, true, 0), Key(37, false, 0)}, {Key(37, true, 0), Key(37, false, 0)}, {0}},
        // Keys in the order first met (B, then A), positions ascending.
        {{Key(66, true), Key(65, true), Key(65, false), Key(65, true), Delay(3)}, {Key(65, true), Key(65, false), Delay(3)},
         {0, 3}},
        {{Key(65, true), Key(65, false)}, {Key(65, true), Key(65, false)}, {}},
    };
    for (const auto &[before, after, removed] : cases) {
        TkwMacroClass list;
        list.SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{Macro(QStringLiteral("M"), before)});
        list.SetMacroListIndex(0);
        TkwActionsClass *e = list.CurrentMacroAction();
        e->SetActionIndex(static_cast<int>(before.size()) - 1);
        e->CheckErrors();
        EXPECT_EQ(e->RemoveErrors(), removed);
        ExpectSteps(StoredSteps(list, 0), after);
        EXPECT_EQ(list.MacroKeyInfoList()[0].HaveErrors, 0);
        EXPECT_EQ(list.MacroKeyInfoList()[0].ErrorCount, 0);
        EXPECT_LT(e->ActionIndex(), e->GetCount());
    }
}

TEST(MacroFiles, SaveWritesOneRawFilePerMacroInsideTheFolder)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    auto record = std::make_unique<TMACROKEYINFOLIST>();
    record->MacroInfos[0] = Macro(QStringLiteral("Fire"), {kA, kB});
    record->MacroInfos[0].Version = MACRO_FILE_VERSION;
    record->MacroInfos[1] = Macro(QStringLiteral("../../escape"), {kX});
    record->MacroInfos[2] = Macro(QString());
    record->nMacroInfoCount = 3;
    const QString folder = tmp.path() + QStringLiteral("/m");
    ASSERT_TRUE(TkwMacroClass::SaveMacroKeyInfoListToMacroFiles(*record, folder));

    QFile fire(folder + QStringLiteral("/Fire.macro"));
    ASSERT_TRUE(fire.open(QIODevice::ReadOnly));
    const QByteArray bytes = fire.readAll();
    ASSERT_EQ(bytes.size(), 896);
    EXPECT_EQ(std::memcmp(bytes.constData(), &record->MacroInfos[0], 896), 0);
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, (QStringList{".._.._escape.macro", "Fire.macro", "_.macro"}));
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    TMACROKEYINFO loaded{};
    ASSERT_TRUE(TkwMacroClass::LoadMacroFromFile(fire.fileName(), loaded));
    EXPECT_EQ(std::memcmp(&loaded, &record->MacroInfos[0], 896), 0);
    EXPECT_TRUE(TkwMacroClass::IsValidMacroVersion(loaded));
    EXPECT_FALSE(TkwMacroClass::IsValidMacroVersion(record->MacroInfos[1]));
    EXPECT_FALSE(TkwMacroClass::SaveMacroKeyInfoListToMacroFiles(*record, QString()));
}

TEST(MacroFiles, LoadTakesWhatTheFileHoldsAndClampsTheCount)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    TMACROKEYINFO m = Macro(QStringLiteral("keep"), {kA});
    EXPECT_FALSE(TkwMacroClass::LoadMacroFromFile(tmp.filePath(QStringLiteral("missing.macro")), m));
    EXPECT_EQ(MacroNameText(m), QStringLiteral("keep"));

    QFile shortFile(tmp.filePath(QStringLiteral("short.macro")));
    ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
    shortFile.write(QByteArray(100, '\x07'));
    shortFile.close();
    ASSERT_TRUE(TkwMacroClass::LoadMacroFromFile(shortFile.fileName(), m));
    EXPECT_EQ(m.MacroList[0].nKeyType, 0x0707);
    EXPECT_EQ(MacroNameText(m), QStringLiteral("keep"));

    TMACROKEYINFO bad = Macro(QStringLiteral("bad"));
    bad.MacroListCount = 1000;
    QFile badFile(tmp.filePath(QStringLiteral("bad.macro")));
    ASSERT_TRUE(badFile.open(QIODevice::WriteOnly));
    badFile.write(reinterpret_cast<const char *>(&bad), sizeof bad);
    badFile.close();
    ASSERT_TRUE(TkwMacroClass::LoadMacroFromFile(badFile.fileName(), m));
    EXPECT_EQ(m.MacroListCount, MACRO_STEP_CAPACITY);
}

} // namespace
