// The macro manager's logic without its window: the conversion of a
// recording, the step rows, the tools and their copy into the macro set, the
// recording lock and the slot limit.
#include "config/app/MacroManagerModel.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct S {
    int type, state, v1, v2;
};

TMACROKEY K(const S &s)
{
    TMACROKEY k{};
    k.nKeyType = static_cast<uint16_t>(s.type);
    k.nKeyState = static_cast<uint16_t>(s.state);
    k.VALUE1 = static_cast<uint8_t>(s.v1);
    k.VALUE2 = static_cast<uint8_t>(s.v2);
    return k;
}

std::vector<S> Steps(const TMACROKEY *steps, int n)
{
    std::vector<S> v;
    for (int i = 0; i < n; ++i)
        v.push_back({steps[i].nKeyType, steps[i].nKeyState, steps[i].VALUE1, steps[i].VALUE2});
    return v;
}

bool operator==(const S &a, const S &b)
{
    return a.type == b.type && a.state == b.state && a.v1 == b.v1 && a.v2 == b.v2;
}

void PrintTo(const S &s, std::ostream *os)
{
    *os << "{" << s.type << "," << s.state << "," << s.v1 << "," << s.v2 << "}";
}

// Recorder items: {1, state, vk, ext} for a key, {0, 0, ms, 0} for a delay.
TMacroKeyList Items(const std::vector<S> &items)
{
    TMacroKeyList list;
    for (const S &s : items) {
        auto o = std::make_unique<TMacroKeyObject>();
        o->FMacroKey.nKeyType = static_cast<uint16_t>(s.type);
        o->FMacroKey.nKeyState = static_cast<uint16_t>(s.state);
        o->FMacroKey.nKeyValue = static_cast<uint16_t>(s.v1);
        o->FMacroKey.nKeyValueExtended = static_cast<uint16_t>(s.v2);
        list.AddObject(QString::number(list.Count()), std::move(o));
    }
    return list;
}

// A database with one set "DefaultMacroSet" holding the given macros.
class Manager : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        db.LoadMacrosetDB(tmp.filePath(QStringLiteral("MacroSet.MSDB")));
        ASSERT_EQ(db.CreateNewMacroSet(QStringLiteral("DefaultMacroSet")), 1);
        ASSERT_TRUE(db.SwitchToMacroSet(QStringLiteral("DefaultMacroSet")));
        ASSERT_EQ(db.CreateNewMacro(QStringLiteral("Macro1")), 1);
        ASSERT_EQ(db.CreateNewMacro(QStringLiteral("Macro2")), 1);
        ASSERT_TRUE(model.SelectMacro(0));
    }
    // Replaces the current macro's steps.
    void Give(const std::vector<S> &steps)
    {
        TMACROKEYINFO rec{};
        ASSERT_TRUE(model.CurrentRecord(rec));
        for (size_t i = 0; i < steps.size(); ++i)
            rec.MacroList[i] = K(steps[i]);
        rec.MacroListCount = static_cast<int32_t>(steps.size());
        model.Steps()->SetMacroKeyInfo(rec);
        model.CopyBack();
    }
    // n balanced key steps (press/release pairs of keys 0x41.., then a delay when odd).
    void GiveSteps(int n)
    {
        std::vector<S> v;
        for (int i = 0; i + 1 < n; i += 2) {
            v.push_back({4, 1, 0x41 + (i / 2) % 26, 0});
            v.push_back({4, 0, 0x41 + (i / 2) % 26, 0});
        }
        if (n % 2)
            v.push_back({6, 0, 5, 0});
        Give(v);
    }
    std::vector<S> ListSteps() const
    {
        const TMACROKEYINFO &m = model.Macros()->MacroKeyInfoList()[static_cast<size_t>(model.CurrentMacro())];
        return Steps(m.MacroList, m.MacroListCount);
    }
    std::vector<S> SetSteps() const
    {
        const TkwMacroListOfMacroSet &set = db.MacroSetList()[static_cast<size_t>(db.CurrentMacroSetIndex())];
        const TMACROKEYINFO &m = set.MacroArrays[model.CurrentMacro()];
        return Steps(m.MacroList, m.MacroListCount);
    }
    QTemporaryDir tmp;
    TkwMacroSetClass db;
    TMacroManagerModel model{db};
};

} // namespace

TEST(MacroRecordingConversion, TableOfRecordings)
{
    const TMacroRecordOptions on;
    TMacroRecordOptions off;
    off.AutoDelay = false;
    TMacroRecordOptions custom;
    custom.CustomDelay = true;
    custom.CustomDelayValue = 25;
    TMacroRecordOptions loop;
    loop.Loop = true;
    loop.LoopValue = 7;
    const std::vector<S> aPressRelease{{1, 1, 0x41, 0}, {0, 0, 40, 0}, {1, 0, 0x41, 0}};
    struct Case {
        const char *name;
        std::vector<S> items;
        TMacroRecordOptions options;
        int room;
        std::vector<S> steps;
    } cases[] = {
        {"delays recorded", aPressRelease, on, 59, {{4, 1, 0x41, 0}, {6, 0, 40, 0}, {4, 0, 0x41, 0}}},
        {"delays not recorded", aPressRelease, off, 59, {{4, 1, 0x41, 0}, {4, 0, 0x41, 0}}},
        {"default delay", aPressRelease, custom, 59, {{4, 1, 0x41, 0}, {6, 0, 25, 0}, {4, 0, 0x41, 0}}},
        {"twelve seconds stored whole", {{1, 1, 0x41, 0}, {0, 0, 12000, 0}, {1, 0, 0x41, 0}}, on, 59,
         {{4, 1, 0x41, 0}, {6, 0, 12000 & 0xFF, 12000 >> 8}, {4, 0, 0x41, 0}}},
        {"a delay of 0 becomes 1", {{1, 1, 0x41, 0}, {0, 0, 0, 0}, {1, 0, 0x41, 0}}, on, 59,
         {{4, 1, 0x41, 0}, {6, 0, 1, 0}, {4, 0, 0x41, 0}}},
        {"a repeat is stored once", {{1, 1, 0x41, 0}, {1, 1, 0x41, 0}, {1, 0, 0x41, 0}}, on, 59,
         {{4, 1, 0x41, 0}, {4, 0, 0x41, 0}}},
        {"the extended flag tells keys apart", {{1, 1, 0x0D, 0}, {1, 1, 0x0D, 1}}, on, 59,
         {{4, 1, 0x0D, 0}, {4, 1, 0x0D, 1}}},
        {"other item types are dropped", {{1, 1, 0x41, 0}, {2, 1, 0x42, 0}, {1, 0, 0x41, 0}}, on, 59,
         {{4, 1, 0x41, 0}, {4, 0, 0x41, 0}}},
        {"room left in the macro", aPressRelease, on, 2, {{4, 1, 0x41, 0}, {6, 0, 40, 0}}},
        {"no room", aPressRelease, on, 0, {}},
    };
    for (const Case &c : cases) {
        const TMACROKEYINFO rec = ConvertRecording(Items(c.items), c.options, c.room);
        EXPECT_EQ(Steps(rec.MacroList, rec.MacroListCount), c.steps) << c.name;
        EXPECT_EQ(rec.nAutoAddDelay, c.options.AutoDelay ? 1 : 0) << c.name;
    }
    EXPECT_EQ(ConvertRecording(Items(aPressRelease), loop, 59).nLoopCount, 7);

    // Seventy items never give more than a slot's 59 steps, whatever room is asked.
    std::vector<S> many;
    for (int i = 0; i < 70; ++i)
        many.push_back({1, i % 2 == 0 ? 1 : 0, 0x41 + (i / 2) % 26, 0});
    EXPECT_EQ(ConvertRecording(Items(many), on, 128).MacroListCount, 59);
}

TEST(MacroStepRows, EveryStepHasOneRowUnknownOnesIncluded)
{
    struct Case {
        S step;
        TStepRowKind kind;
    } cases[] = {
        {{6, 0, 0x10, 0x27}, TStepRowKind::Delay},    {{4, 1, 0x41, 0}, TStepRowKind::KeyDown},
        {{4, 0, 0x41, 0}, TStepRowKind::KeyUp},       {{1, 1, 1, 0}, TStepRowKind::MouseDown},
        {{1, 0, 4, 0}, TStepRowKind::MouseUp},        {{5, 1, 0x41, 0}, TStepRowKind::Unknown},
        {{4, 2, 0x41, 0}, TStepRowKind::Unknown},     {{0xFFFF, 9, 1, 2}, TStepRowKind::Unknown},
    };
    for (const Case &c : cases) {
        const TStepRow row = StepRowOf(K(c.step));
        EXPECT_EQ(row.Kind, c.kind) << c.step.type << "/" << c.step.state;
        EXPECT_FALSE(row.Text.trimmed().isEmpty());
    }
    EXPECT_EQ(StepRowOf(K({6, 0, 0x10, 0x27})).Text, QStringLiteral("10000"));
    EXPECT_EQ(StepRowOf(K({4, 1, 0x41, 0})).Text, QStringLiteral(" A"));
}

TEST(MacroStepRows, LiveDelayRowRule)
{
    TMacroRecordOptions on, off, custom;
    off.AutoDelay = false;
    custom.CustomDelay = true;
    EXPECT_TRUE(LiveDelayRowDue(40, on, 1));
    EXPECT_FALSE(LiveDelayRowDue(40, on, 0)) << "no delay before the first row";
    EXPECT_FALSE(LiveDelayRowDue(40, off, 3));
    EXPECT_FALSE(LiveDelayRowDue(0, on, 3));
    EXPECT_TRUE(LiveDelayRowDue(0, custom, 3));
    EXPECT_FALSE(LiveDelayRowDue(10000, on, 3)) << "a long pause shows no row while recording";
    EXPECT_EQ(LiveDelayText(40, custom), QStringLiteral("10"));
}

TEST_F(Manager, MouseActionsKeepTheMacroInsideASlot)
{
    struct Case {
        int count;
        bool withDelay;
        bool inserted;
    } cases[] = {{0, true, true}, {56, true, true}, {57, true, false}, {57, false, true}, {58, false, false}};
    for (const Case &c : cases) {
        GiveSteps(c.count);
        const TMacroEdit r = model.InsertMouseAction(1, c.withDelay);
        const int added = c.inserted ? (c.withDelay ? 3 : 2) : 0;
        EXPECT_EQ(r, c.inserted ? TMacroEdit::Done : TMacroEdit::SlotFull) << c.count;
        EXPECT_EQ(static_cast<int>(SetSteps().size()), c.count + added) << c.count;
    }
    // In an empty macro the click is appended; after the current step otherwise.
    Give({});
    ASSERT_EQ(model.InsertMouseAction(2, true), TMacroEdit::Done);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{1, 1, 2, 0}, {6, 0, 10, 0}, {1, 0, 2, 0}}));
    model.SelectStep(0);
    ASSERT_EQ(model.InsertMouseAction(3, false), TMacroEdit::Done);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{1, 1, 2, 0}, {1, 1, 4, 0}, {1, 0, 4, 0}, {6, 0, 10, 0}, {1, 0, 2, 0}}));
    EXPECT_EQ(model.InsertMouseAction(4, false), TMacroEdit::Refused);
}

TEST_F(Manager, ToolsCopyTheRepairedMacroIntoTheSet)
{
    Give({{4, 1, 0x41, 0}, {4, 1, 0x42, 0}, {4, 0, 0x42, 0}, {4, 0, 0x41, 0}});
    model.SelectStep(3);
    // Deleting A's release leaves A pressed: the repair drops the press, and
    // the set holds the repaired macro, as the list and the screen do.
    ASSERT_EQ(model.ApplyTool(TMacroTool::Delete), TMacroEdit::Done);
    const std::vector<S> repaired{{4, 1, 0x42, 0}, {4, 0, 0x42, 0}};
    EXPECT_EQ(ListSteps(), repaired);
    EXPECT_EQ(SetSteps(), repaired);
    // The current step is a step of the macro.
    EXPECT_EQ(model.Steps()->ActionIndex(), 1);
}

TEST_F(Manager, CutPasteMoveAndTheCurrentStep)
{
    Give({{6, 0, 1, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}});
    model.SelectStep(2);
    ASSERT_EQ(model.ApplyTool(TMacroTool::Cut), TMacroEdit::Done);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 1, 0}, {6, 0, 2, 0}}));
    EXPECT_LT(model.Steps()->ActionIndex(), model.Steps()->GetCount());
    model.SelectStep(0);
    ASSERT_EQ(model.ApplyTool(TMacroTool::Paste), TMacroEdit::Done);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 3, 0}, {6, 0, 1, 0}, {6, 0, 2, 0}}));
    model.SelectStep(2);
    ASSERT_EQ(model.ApplyTool(TMacroTool::MoveUp), TMacroEdit::Done);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 3, 0}, {6, 0, 2, 0}, {6, 0, 1, 0}}));
    ASSERT_EQ(model.ApplyTool(TMacroTool::Copy), TMacroEdit::Done);
    ASSERT_EQ(model.ApplyTool(TMacroTool::MoveDown), TMacroEdit::Done);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 3, 0}, {6, 0, 1, 0}, {6, 0, 2, 0}}));
}

TEST_F(Manager, PasteIsRefusedAtTheSlotLimit)
{
    GiveSteps(58);
    model.SelectStep(1);
    ASSERT_EQ(model.ApplyTool(TMacroTool::Copy), TMacroEdit::Done);
    ASSERT_EQ(model.ApplyTool(TMacroTool::Paste), TMacroEdit::Done);
    EXPECT_EQ(SetSteps().size(), 59u);
    EXPECT_EQ(model.ApplyTool(TMacroTool::Paste), TMacroEdit::SlotFull);
    EXPECT_EQ(SetSteps().size(), 59u);
    EXPECT_TRUE(model.HasClipboard()) << "the step is still there to paste elsewhere";
}

TEST_F(Manager, RecordAfterPlacesTheStepsAfterTheSelectedRowAndStopsAtTheLimit)
{
    Give({{6, 0, 1, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}, {6, 0, 4, 0}});
    model.SelectStep(2);
    ASSERT_EQ(model.ApplyTool(TMacroTool::RecordAfter), TMacroEdit::Done);
    EXPECT_EQ(model.Mode(), 2);
    EXPECT_EQ(model.NextLivePosition(), 3);
    EXPECT_EQ(model.StopRecording(Items({{1, 1, 0x41, 0}, {0, 0, 7, 0}, {1, 0, 0x41, 0}}), {}), 3);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 1, 0},
                                          {6, 0, 2, 0},
                                          {6, 0, 3, 0},
                                          {4, 1, 0x41, 0},
                                          {6, 0, 7, 0},
                                          {4, 0, 0x41, 0},
                                          {6, 0, 4, 0}}));
    EXPECT_FALSE(model.Recording());

    // A recording after 57 steps keeps two steps; at 59 it does not start.
    GiveSteps(57);
    ASSERT_EQ(model.StartRecording(2, 0), TMacroEdit::Done);
    EXPECT_EQ(model.Room(), 2);
    model.StopRecording(Items({{1, 1, 0x5A, 0}, {1, 0, 0x5A, 0}, {1, 1, 0x59, 0}, {1, 0, 0x59, 0}}), {});
    EXPECT_EQ(SetSteps().size(), 59u);
    EXPECT_EQ(model.StartRecording(2, 0), TMacroEdit::SlotFull);
    EXPECT_FALSE(model.Recording());
    // Replacing is always possible.
    EXPECT_EQ(model.StartRecording(0, 0), TMacroEdit::Done);
    model.StopRecording(Items({{1, 1, 0x41, 0}, {1, 0, 0x41, 0}}), {});
    EXPECT_EQ(SetSteps(), (std::vector<S>{{4, 1, 0x41, 0}, {4, 0, 0x41, 0}}));
}

TEST_F(Manager, RecordingLocksTheMacroList)
{
    ASSERT_EQ(model.StartRecording(0, 0), TMacroEdit::Done);
    EXPECT_FALSE(model.SelectMacro(1));
    EXPECT_FALSE(model.DeleteMacro(0));
    EXPECT_EQ(model.AddMacroByName(QStringLiteral("Macro3")), TMacroAdd::Locked);
    EXPECT_EQ(model.ApplyTool(TMacroTool::Delete), TMacroEdit::Locked);
    EXPECT_EQ(model.StartRecording(2, 0), TMacroEdit::Locked);
    EXPECT_EQ(model.CurrentMacro(), 0);
    EXPECT_EQ(model.Macros()->MacroListCount(), 2);
    model.StopRecording(Items({{1, 1, 0x41, 0}, {1, 0, 0x41, 0}}), {});
    EXPECT_FALSE(model.Recording());
    EXPECT_EQ(SetSteps().size(), 2u);
    EXPECT_TRUE(model.SelectMacro(1));
}

TEST_F(Manager, DeleteTakesTheMacroAtThePositionNotTheFirstOfItsName)
{
    // Two macros of one name, as only a crafted file has them.
    std::vector<TMACROKEYINFO> macros = model.Macros()->MacroKeyInfoList();
    SetFieldText(macros[1].szMacroName, QStringLiteral("Macro1"));
    macros[1].MacroListCount = 1;
    macros[1].MacroList[0] = K({6, 0, 9, 0});
    model.Macros()->SetMacroKeyInfoList(macros);
    model.CopyBack();
    ASSERT_TRUE(model.DeleteMacro(1));
    const TkwMacroListOfMacroSet &set = db.MacroSetList()[0];
    ASSERT_EQ(set.MacroArrayCount, 1);
    EXPECT_EQ(set.MacroArrays[0].MacroListCount, 0) << "the first Macro1 is kept";
    EXPECT_FALSE(model.DeleteMacro(1));
}

TEST_F(Manager, NamesNewMacrosOnlyIntoASet)
{
    EXPECT_EQ(model.AddMacroByName(QString()), TMacroAdd::Empty);
    EXPECT_EQ(model.AddMacroByName(QStringLiteral("Macro2")), TMacroAdd::Existing);
    EXPECT_EQ(model.CurrentMacro(), 1);
    EXPECT_EQ(model.AddMacroByName(QStringLiteral("Macro3")), TMacroAdd::Created);
    EXPECT_EQ(db.MacroSetList()[0].MacroArrayCount, 3);
    EXPECT_EQ(model.CurrentMacroName(), QStringLiteral("Macro3"));
    for (int i = 4; i <= 30; ++i)
        ASSERT_EQ(model.AddMacroByName(QStringLiteral("M%1").arg(i)), TMacroAdd::Created);
    EXPECT_EQ(model.AddMacroByName(QStringLiteral("one too many")), TMacroAdd::Full);

    // With no set current the macro would reach no set: refused.
    ASSERT_TRUE(db.DeleteMacroSet(QStringLiteral("DefaultMacroSet")));
    model.Macros()->SetMacroKeyInfoList(std::vector<TMACROKEYINFO>{});
    EXPECT_EQ(model.AddMacroByName(QStringLiteral("orphan")), TMacroAdd::NoSet);
    EXPECT_EQ(model.Macros()->MacroListCount(), 0);
    EXPECT_EQ(model.CurrentMacroName(), QString());
}

TEST_F(Manager, DelaysAreClampedAndReachTheSet)
{
    Give({{6, 0, 10, 0}, {4, 1, 0x41, 0}, {4, 0, 0x41, 0}});
    struct Case {
        int typed, stored;
    } cases[] = {{0, 1}, {70000, 65535}, {250, 250}, {-5, 1}};
    for (const Case &c : cases) {
        EXPECT_EQ(model.SetDelay(0, c.typed), c.stored);
        EXPECT_EQ(SetSteps()[0], (S{6, 0, c.stored & 0xFF, c.stored >> 8})) << c.typed;
    }
    EXPECT_EQ(model.SetDelay(1, 5), -1) << "a key step is never rewritten as a delay";
    EXPECT_EQ(SetSteps()[1], (S{4, 1, 0x41, 0}));
    EXPECT_EQ(model.SetDelay(3, 5), -1);
}

TEST_F(Manager, OptionsAreStoredInTheSet)
{
    ASSERT_TRUE(model.StoreLoopSettings(false, true, 9));
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 9);
    ASSERT_TRUE(model.StoreLoopSettings(true, false, 9));
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 0);
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopRunWhenPressed, 1);
    ASSERT_TRUE(model.StoreAutoDelay(false));
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nAutoAddDelay, 0);
}

// The options build the step editor anew: the current step stays, and so
// does the clipboard, which also outlives a switch to another macro.
TEST_F(Manager, OptionsAndAnotherMacroKeepTheCurrentStepAndTheClipboard)
{
    Give({{6, 0, 1, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}});
    model.SelectStep(1);
    ASSERT_EQ(model.ApplyTool(TMacroTool::Cut), TMacroEdit::Done);
    model.SelectStep(1);
    ASSERT_TRUE(model.StoreLoopSettings(false, true, 3));
    EXPECT_EQ(model.Steps()->ActionIndex(), 1);
    ASSERT_TRUE(model.StoreAutoDelay(true));
    EXPECT_EQ(model.Steps()->ActionIndex(), 1);
    EXPECT_TRUE(model.HasClipboard());
    ASSERT_EQ(model.ApplyTool(TMacroTool::Delete), TMacroEdit::Done);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 1, 0}}));

    // Into an empty macro, once.
    ASSERT_TRUE(model.SelectMacro(1));
    ASSERT_EQ(model.ApplyTool(TMacroTool::Paste), TMacroEdit::Done);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 2, 0}}));
    EXPECT_FALSE(model.HasClipboard());
    EXPECT_EQ(model.ApplyTool(TMacroTool::Paste), TMacroEdit::Refused);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 2, 0}}));
}

// While recording the options are not stored, and where RECORD AFTER puts
// the steps is fixed when it starts.
TEST_F(Manager, RecordingRefusesTheOptionsAndKeepsItsPlace)
{
    Give({{6, 0, 1, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}});
    ASSERT_TRUE(model.StoreLoopSettings(false, true, 4));
    ASSERT_EQ(model.StartRecording(2, 1), TMacroEdit::Done);
    model.SelectStep(0);
    EXPECT_FALSE(model.StoreLoopSettings(false, true, 9));
    EXPECT_FALSE(model.StoreAutoDelay(false));
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 4);
    model.StopRecording(Items({{1, 1, 0x41, 0}, {1, 0, 0x41, 0}}), {});
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 1, 0}, {6, 0, 2, 0}, {4, 1, 0x41, 0}, {4, 0, 0x41, 0}, {6, 0, 3, 0}}));
    EXPECT_EQ(db.MacroSetList()[0].MacroArrays[0].nLoopCount, 4);
}

// A key press pasted where no release of its key follows is taken out by the
// repair: the edit says so, the clipboard keeps the step (cut or copied), and
// the step the paste aimed at stays current.
TEST_F(Manager, APasteTheRepairTakesOutStaysOnTheClipboard)
{
    const S down{4, 1, 0x41, 0}, up{4, 0, 0x41, 0}, delay{6, 0, 5, 0}, b{4, 1, 0x42, 0}, bUp{4, 0, 0x42, 0};
    const struct Case {
        const char *name;
        std::vector<S> macro;
        int take;      // the step cut or copied
        TMacroTool tool;
        int target;    // the step pasted before
        std::vector<S> after; // the macro after the paste
        TMacroEdit result;
    } cases[] = {
        {"cut press after its release", {down, up, delay, b, bUp}, 0, TMacroTool::Cut, 1, {up, delay, b, bUp},
         TMacroEdit::CantStand},
        {"copied press after its release", {down, up, delay}, 0, TMacroTool::Copy, 2, {down, up, delay},
         TMacroEdit::CantStand},
        {"into an empty macro", {down}, 0, TMacroTool::Cut, 0, {}, TMacroEdit::CantStand},
        {"cut press before its release", {down, up, delay}, 0, TMacroTool::Cut, 0, {down, up, delay},
         TMacroEdit::Done},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Give(c.macro);
        model.SelectStep(c.take);
        ASSERT_EQ(model.ApplyTool(c.tool), TMacroEdit::Done);
        const std::vector<S> beforePaste = ListSteps();
        model.SelectStep(c.target);
        const int aimed = model.Steps()->ActionIndex();
        EXPECT_EQ(model.ApplyTool(TMacroTool::Paste), c.result);
        EXPECT_EQ(SetSteps(), c.after);
        EXPECT_EQ(ListSteps(), c.after);
        if (c.result == TMacroEdit::CantStand) {
            EXPECT_EQ(ListSteps(), beforePaste);
            EXPECT_TRUE(model.HasClipboard());
            EXPECT_EQ(model.Steps()->ActionIndex(), std::min(aimed, model.Steps()->GetCount() - 1));
        } else {
            EXPECT_FALSE(model.HasClipboard()) << "a cut step that stands leaves the clipboard";
        }
    }
}

// A repair that removes a step before the current one leaves the same step
// current, not the one that moved up into its place.
TEST_F(Manager, TheRepairKeepsTheCurrentStep)
{
    Give({{4, 1, 0x41, 0}, {6, 0, 1, 0}, {4, 0, 0x41, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}});
    model.SelectStep(2);
    // Deleting A's release leaves A pressed: its press goes too.
    ASSERT_EQ(model.ApplyTool(TMacroTool::Delete), TMacroEdit::Done);
    EXPECT_EQ(SetSteps(), (std::vector<S>{{6, 0, 1, 0}, {6, 0, 2, 0}, {6, 0, 3, 0}}));
    EXPECT_EQ(model.Steps()->ActionIndex(), 1) << "the delay of 2 that followed the deleted step";
}

// A set made current as the program does it builds no step editor; the
// manager over it has one for the highlighted macro at once.
TEST(ManagerOverALoadedSet, HasTheStepEditorOfTheCurrentMacro)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString path = tmp.filePath(QStringLiteral("MacroSet.MSDB"));
    {
        TkwMacroSetClass db;
        db.LoadMacrosetDB(path);
        ASSERT_EQ(db.CreateNewMacroSet(QStringLiteral("DefaultMacroSet")), 1);
        ASSERT_EQ(db.CreateNewMacro(QStringLiteral("Macro1")), 1);
        TMACROKEYINFO rec{};
        rec.MacroList[0] = K({6, 0, 40, 0});
        rec.MacroListCount = 1;
        db.CurrentMacroClass()->CurrentMacroAction()->SetMacroKeyInfo(rec);
        ASSERT_TRUE(db.SaveBackCurrentMacroClassDataToCurrentMacroList());
        ASSERT_TRUE(db.SaveMacroSetDB());
    }
    TkwMacroSetClass db;
    ASSERT_EQ(db.LoadMacrosetDB(path), TMacroSetDbLoad::Loaded);
    ASSERT_TRUE(db.SwitchToMacroSet(QStringLiteral("DefaultMacroSet")));
    ASSERT_EQ(db.CurrentMacroClass()->CurrentMacroAction(), nullptr);
    const TMacroManagerModel model(db);
    ASSERT_NE(model.Steps(), nullptr);
    EXPECT_EQ(model.Steps()->MacroIndex(), 0);
    EXPECT_EQ(model.Steps()->GetCount(), 1);
    EXPECT_EQ(model.Steps()->ActionIndex(), 0);
}
