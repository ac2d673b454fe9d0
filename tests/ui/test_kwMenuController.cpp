// The popup menu's decisions, driven without windows: a fake measurer (10 px
// a character), a fake screen and pointer, and a queue standing in for the
// event loop.
#include "config/ui/kwMenuController.h"
#include "config/ui/kwMenuDefinitions.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

struct FakeEnv {
    QRect screen{0, 0, 1920, 1080};
    QPoint pointer{100, 100};
    std::vector<std::function<void()>> posted;
    std::vector<TkwMenuFont> fonts;

    TkwMenuEnvironment Make()
    {
        TkwMenuEnvironment env;
        env.TextWidth = [this](const TkwMenuFont &f, const QString &s) {
            fonts.push_back(f);
            return 10.0 * s.size();
        };
        env.Screen = [this] { return screen; };
        env.Pointer = [this] { return pointer; };
        env.Post = [this](std::function<void()> fn) { posted.push_back(std::move(fn)); };
        return env;
    }
    void Flush()
    {
        auto calls = std::move(posted);
        posted.clear();
        for (auto &f : calls)
            f();
    }
};

const TkwMenuTarget Target{QRectF(50, 50, 100, 30), QRect(0, 0, 800, 600)};

struct Clicks {
    std::vector<uint32_t> ids;
    std::vector<QString> names;
    std::vector<bool> openWhenCalled;
};

struct Fixture {
    FakeEnv env;
    TkwMenuEx menu;
    Clicks clicks;
    explicit Fixture(bool function = true)
    {
        menu.SetEnvironment(env.Make());
        if (function)
            FillFunctionMenu(menu);
        menu.OnItemsClick = [this](TkwMenuItemEx *, const QString &name, uint32_t id, void *buf, int size) {
            clicks.ids.push_back(id);
            clicks.names.push_back(name);
            clicks.openWhenCalled.push_back(menu.IsMenuOpen());
            EXPECT_EQ(buf, nullptr);
            EXPECT_EQ(size, 0);
        };
    }
    TkwMenuController &ctl() { return menu.Controller(); }
    TkwMenuItemsEx &top() { return menu.Items(); }
    TkwMenuItemsEx &sub(int topIndex) { return menu.Items().Items(topIndex)->SubItems(); }
    QPointF at(TkwMenuItemsEx &c, int row) { return ctl().RowRect(c, row).center(); }
    void open(int64_t id = 0) { menu.ShowMainMenuAt(id, Target, vgPlacementMouse); }
    void hover(TkwMenuItemsEx &c, int row) { ctl().MouseMove(c, at(c, row)); }
};

int CurrentRow(const TkwMenuItemsEx &c) { return c.Level() ? c.Level()->ItemIndex : -2; }

} // namespace

TEST(kwMenuController, PreselectionAtEveryDepth)
{
    struct Case {
        const char *name;
        int64_t id;
        int topRow;      // expected current row of the top level
        int subOf;       // top index whose sub-menu is opened (-1: none)
        int subRow;      // expected current row there
    };
    const Case cases[] = {
        {"top-level item", 3, 2, -1, -1},
        {"sub-item 803", 803, -1, 7, 2},
        {"sub-item 1502", 1502, -1, 14, 1},
        {"no match", 99, -1, 7, -1},
        {"negative stored id", -1, -1, -1, -1},
        {"extender item itself is current, not selected", 8, 7, -1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.open(c.id);
        EXPECT_EQ(CurrentRow(f.top()), c.topRow);
        if (c.topRow >= 0) {
            const TkwMenuRow &row = f.top().Level()->Rows[size_t(c.topRow)];
            EXPECT_EQ(row.IsSelected, !row.IsExtender);
        }
        if (c.subOf >= 0) {
            f.hover(f.top(), c.subOf);
            ASSERT_TRUE(f.sub(c.subOf).GetIsMenuOpened());
            EXPECT_EQ(CurrentRow(f.sub(c.subOf)), c.subRow);
            if (c.subRow >= 0) {
                EXPECT_EQ(f.ctl().Highlights(f.sub(c.subOf)).PressedRow, c.subRow);
            }
        }
    }
}

TEST(kwMenuController, LaterMatchWinsAndTheGlobalValueIsShared)
{
    // Two items with one identifier: renamed items free "Item1" again.
    Fixture f(false);
    f.menu.UseCustomMenuParams = true;
    for (const char *c : {"CUT", "COPY"})
        f.top().Add(QString::fromLatin1(c));
    f.top().Items(0)->Name = "CUT";
    f.top().Items(1)->Name = "COPY";
    f.top().Add("PASTE"); // Item1 again, identifier 1
    f.top().Items(2)->Name = "X";
    f.top().Add("SELECT ALL"); // Item1 once more
    ASSERT_EQ(f.top().Items(2)->ItemID(), 1u);
    ASSERT_EQ(f.top().Items(3)->ItemID(), 1u);
    f.open(1);
    EXPECT_EQ(CurrentRow(f.top()), 3);

    // The two-argument form keeps what another menu's last opening left ...
    Fixture a, b;
    a.open(5);
    b.menu.ShowMainMenuAt(Target, vgPlacementMouse);
    EXPECT_EQ(CurrentRow(b.top()), 4);
    // ... and what the last constructor left.
    Fixture c;
    TkwMenuEx fresh;
    c.menu.ShowMainMenuAt(Target, vgPlacementMouse);
    EXPECT_EQ(PreselectedMenuID, 0);
    EXPECT_EQ(CurrentRow(c.top()), -1);
}

TEST(kwMenuController, EarlierPressDoesNotSurviveAnOpeningWithoutMatch)
{
    Fixture f;
    f.open(0);
    f.ctl().MouseDown(f.top(), TkwMouseButton::Left, f.at(f.top(), 2));
    f.ctl().MouseUp(f.top(), TkwMouseButton::Left, f.at(f.top(), 2));
    f.env.Flush();
    ASSERT_EQ(f.clicks.ids, std::vector<uint32_t>{3});
    f.open(4242);
    EXPECT_EQ(CurrentRow(f.top()), -1);
    EXPECT_EQ(f.top().ItemIndex(), -1);
    EXPECT_EQ(f.ctl().Highlights(f.top()).PressedRow, -1);
}

TEST(kwMenuController, ClickDecisions)
{
    enum Where { Row, Outside };
    struct Case {
        const char *name;
        TkwMouseButton button;
        int pressRow;    // -1: no press
        Where releaseWhere;
        int releaseRow;
        TkwClickResult result;
        std::vector<uint32_t> ids;
        bool openAfter;
    };
    const Case cases[] = {
        {"same row", TkwMouseButton::Left, 1, Row, 1, TkwClickResult::Executed, {2}, false},
        {"different rows", TkwMouseButton::Left, 1, Row, 3, TkwClickResult::ClosedOnly, {}, false},
        {"extender row", TkwMouseButton::Left, 8, Row, 8, TkwClickResult::Nothing, {}, true},
        {"released outside", TkwMouseButton::Left, 1, Outside, -1, TkwClickResult::Nothing, {}, true},
        {"right button", TkwMouseButton::Right, 1, Row, 1, TkwClickResult::ClosedOnly, {}, false},
        {"release without press", TkwMouseButton::Left, -1, Row, 15, TkwClickResult::ClosedOnly, {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.open();
        if (c.pressRow >= 0)
            f.ctl().MouseDown(f.top(), c.button, f.at(f.top(), c.pressRow));
        const QPointF p = c.releaseWhere == Row ? f.at(f.top(), c.releaseRow) : QPointF(-5, -5);
        EXPECT_EQ(f.ctl().MouseUp(f.top(), c.button, p), c.result);
        EXPECT_TRUE(f.clicks.ids.empty()) << "the handler runs only after the event";
        EXPECT_EQ(f.menu.IsMenuOpen(), c.openAfter);
        f.env.Flush();
        EXPECT_EQ(f.clicks.ids, c.ids);
        for (bool open : f.clicks.openWhenCalled)
            EXPECT_FALSE(open);
        EXPECT_EQ(f.top().Level()->MouseDownRow, -1);
    }
}

TEST(kwMenuController, ClickInASubMenuClosesTheTreeAndReportsNameAndId)
{
    Fixture f;
    std::vector<QString> closed;
    f.menu.OnMenuClose = [&](TkwMenuItemsEx *c) {
        closed.push_back(c == &f.top() ? "top" : c->OwnerItem()->Caption);
    };
    f.open();
    f.hover(f.top(), 8); // ADVANCED
    TkwMenuItemsEx &adv = f.sub(8);
    f.ctl().MouseDown(adv, TkwMouseButton::Left, f.at(adv, 13));
    f.ctl().MouseUp(adv, TkwMouseButton::Left, f.at(adv, 13));
    EXPECT_EQ(closed, (std::vector<QString>{"ADVANCED", "top"})) << "deepest first";
    f.env.Flush();
    EXPECT_EQ(f.clicks.ids, std::vector<uint32_t>{914});
    EXPECT_EQ(f.clicks.names, std::vector<QString>{"Item14"});
    // Every other level forgot its current row; the clicked one keeps it.
    EXPECT_EQ(adv.ItemIndex(), 13);
    EXPECT_EQ(f.top().ItemIndex(), -1);
}

TEST(kwMenuController, ItemWithItsOwnHandler)
{
    Fixture f;
    std::vector<uint32_t> own;
    f.top().Items(3)->OnClick = [&](TkwMenuItemEx *s, void *, int) { own.push_back(s->ItemID()); };
    f.open();
    f.ctl().MouseDown(f.top(), TkwMouseButton::Left, f.at(f.top(), 3));
    f.ctl().MouseUp(f.top(), TkwMouseButton::Left, f.at(f.top(), 3));
    f.env.Flush();
    EXPECT_EQ(own, std::vector<uint32_t>{4});
    EXPECT_TRUE(f.clicks.ids.empty());
}

TEST(kwMenuController, QueuedClickReachesNoFreedItemOrMenu)
{
    {
        Fixture f;
        f.open();
        f.hover(f.top(), 10); // MACRO
        TkwMenuItemsEx &macro = f.sub(10);
        f.ctl().MouseDown(macro, TkwMouseButton::Left, f.at(macro, 0));
        f.ctl().MouseUp(macro, TkwMouseButton::Left, f.at(macro, 0));
        macro.Clear(); // the window refills the sub-menu before the click arrives
        macro.Add("MACRO MANAGER");
        f.env.Flush();
        EXPECT_TRUE(f.clicks.ids.empty());
    }
    FakeEnv env;
    int calls = 0;
    {
        TkwMenuEx menu;
        menu.SetEnvironment(env.Make());
        FillMouseEventMenu(menu);
        menu.OnItemsClick = [&](TkwMenuItemEx *, const QString &, uint32_t, void *, int) { ++calls; };
        menu.ShowMainMenuAt(Target, vgPlacementRight);
        auto &c = menu.Controller();
        c.MouseDown(menu.Items(), TkwMouseButton::Left, c.RowRect(menu.Items(), 0).center());
        c.MouseUp(menu.Items(), TkwMouseButton::Left, c.RowRect(menu.Items(), 0).center());
    }
    env.Flush(); // the menu is gone
    EXPECT_EQ(calls, 0);
}

TEST(kwMenuController, HoverOpensAndClosesSubMenus)
{
    Fixture f;
    f.open();
    f.hover(f.top(), 7); // BASIC
    EXPECT_TRUE(f.sub(7).GetIsMenuOpened());
    f.hover(f.top(), 0); // CLICK: sibling without sub-items
    EXPECT_FALSE(f.sub(7).GetIsMenuOpened());
    f.sub(7).Items(1)->Caption = "COPY!";
    f.hover(f.top(), 7);
    ASSERT_TRUE(f.sub(7).GetIsMenuOpened());
    EXPECT_EQ(f.sub(7).Level()->Rows[1].Text, "COPY!") << "rebuilt when it opens again";
    f.hover(f.top(), 8); // ADVANCED replaces BASIC
    EXPECT_FALSE(f.sub(7).GetIsMenuOpened());
    EXPECT_TRUE(f.sub(8).GetIsMenuOpened());
    // Moving over the same row or empty space changes nothing.
    f.hover(f.top(), 8);
    f.ctl().MouseMove(f.top(), QPointF(-10, -10));
    EXPECT_TRUE(f.sub(8).GetIsMenuOpened());
    EXPECT_EQ(f.top().Level()->MoveOverRow, 8);
    // The open tree, parents first; hit tests find the deepest level.
    const auto open = f.ctl().OpenLevels();
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[0], &f.top());
    EXPECT_EQ(f.ctl().LevelAt(f.sub(8).Level()->Geometry.center()), &f.sub(8));
    EXPECT_EQ(f.ctl().LevelAt(f.top().Level()->Geometry.topLeft()), &f.top());
}

TEST(kwMenuController, WidthsAndHeights)
{
    Fixture f;
    f.open();
    // "PROFILE SWITCH" has the most characters: 14 x 10 + 100; 16 rows of 25.
    EXPECT_EQ(f.top().Level()->Width, 240);
    EXPECT_EQ(f.top().Level()->Height, 400);
    ASSERT_FALSE(f.env.fonts.empty());
    EXPECT_EQ(f.env.fonts.back(), FunctionMenuParams().ItemFont);
    f.hover(f.top(), 8);
    EXPECT_EQ(f.sub(8).Level()->Width, 16 * 10 + 100); // "BROWSER FAVORITE"
    EXPECT_EQ(f.sub(8).Level()->Height, 14 * 25);

    // Captions of one character or none keep the previous width.
    Fixture g(false);
    for (const char *c : {"A", "", "B"})
        g.top().Add(QString::fromLatin1(c));
    g.open();
    EXPECT_EQ(g.top().Level()->Width, 100);

    // Twenty rows of 40 on a screen 600 high: cut to the screen, and scrollable.
    Fixture h(false);
    h.env.screen = QRect(0, 0, 800, 600);
    for (int i = 0; i < 20; ++i)
        h.top().Add(QStringLiteral("ROW %1").arg(i));
    h.open();
    EXPECT_EQ(h.top().Level()->Height, 600);
    EXPECT_EQ(h.top().Level()->Geometry.height(), 600);
    EXPECT_EQ(h.ctl().MaxScroll(h.top()), 200);

    // A macro manager menu: rows of 20 follow the root.
    Fixture m(false);
    FillMouseEventMenu(m.menu);
    m.open();
    EXPECT_EQ(m.top().Level()->Height, 60);
    EXPECT_EQ(m.top().Level()->Width, 13 * 10 + 100); // "MIDDLE BUTTON"
}

TEST(kwMenuController, RebuildKeepsOldRowsAndFreesSurplusOnes)
{
    Fixture f;
    f.open();
    f.menu.Parameters.ItemHeight = 30;
    f.top().Delete(15);
    f.top().Delete(14);
    f.top().Add("NEW ONE");
    f.top().Add("NEW TWO");
    f.top().Add("NEW THREE");
    f.ctl().CloseMenus(f.top());
    f.open();
    const TkwMenuLevel &L = *f.top().Level();
    ASSERT_EQ(L.Count(), 17);
    EXPECT_EQ(L.Rows[13].Height, 25);
    EXPECT_EQ(L.Rows[14].Height, 25) << "an existing row keeps its height";
    EXPECT_EQ(L.Rows[16].Height, 30) << "a new row gets the current height";
    EXPECT_EQ(L.Rows[16].Text, "NEW THREE");
    EXPECT_EQ(L.Height, 14 * 25 + 2 * 25 + 30);
    f.top().Clear();
    f.top().Add("ONLY");
    f.open(1);
    EXPECT_EQ(f.top().Level()->Count(), 1);
    EXPECT_EQ(CurrentRow(f.top()), 0);
}

namespace {
// A top level opened at the pointer over a target in a window: where it goes.
struct PlacementCase {
    const char *name;
    QRectF target;
    QRect window;
    QPoint pointer;
    QRect expect;
};
} // namespace

TEST(kwMenuController, FlipRuleAndScreenEdges)
{
    using Case = PlacementCase;
    // Screen 1000 x 700, popup 240 x 400.
    const Case cases[] = {
        {"room on the right", QRectF(100, 100, 50, 20), QRect(50, 50, 600, 500), {120, 110}, QRect(120, 110, 240, 400)},
        {"right edge: left of the window", QRectF(800, 100, 50, 20), QRect(600, 50, 380, 500), {810, 110},
         QRect(360, 110, 240, 400)},
        {"exactly reaching the edge flips", QRectF(710, 100, 50, 20), QRect(400, 50, 500, 500), {720, 110},
         QRect(160, 110, 240, 400)},
        {"flip past the left edge is kept on the screen", QRectF(800, 100, 50, 20), QRect(100, 50, 880, 500),
         {810, 110}, QRect(0, 110, 240, 400)},
        {"bottom edge", QRectF(100, 600, 50, 20), QRect(50, 50, 600, 640), {120, 650}, QRect(120, 300, 240, 400)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.env.screen = QRect(0, 0, 1000, 700);
        f.env.pointer = c.pointer;
        f.menu.ShowMainMenuAt(0, TkwMenuTarget{c.target, c.window}, vgPlacementMouse);
        EXPECT_EQ(f.top().Level()->Geometry, c.expect);
    }

    // A sub-menu goes right of its row, or left of its parent near the edge.
    Fixture f;
    f.env.screen = QRect(0, 0, 1000, 700);
    f.env.pointer = {100, 100};
    f.open();
    f.hover(f.top(), 7);
    const QRect parent = f.top().Level()->Geometry;
    EXPECT_EQ(f.sub(7).Level()->Geometry.topLeft(), QPoint(parent.right() + 1, parent.top() + 7 * 25));
    f.ctl().CloseMenus(f.top());
    f.env.pointer = {700, 100};
    f.open();
    f.hover(f.top(), 7);
    const QRect p2 = f.top().Level()->Geometry;
    const QRect s2 = f.sub(7).Level()->Geometry;
    EXPECT_EQ(s2.left(), p2.left() - s2.width());
    EXPECT_EQ(s2.top(), p2.top() + 7 * 25);
}

TEST(kwMenuController, TallMenuScrollsSoEveryRowIsReachable)
{
    Fixture f;
    f.env.screen = QRect(0, 0, 1024, 600);
    TkwMenuItemsEx &macro = f.sub(10);
    for (int i = 0; i < 30; ++i)
        macro.Add(QStringLiteral("MACRO #%1 <m%1>").arg(i + 1));
    f.open();
    f.hover(f.top(), 10);
    ASSERT_TRUE(macro.GetIsMenuOpened());
    EXPECT_EQ(macro.Level()->Height, 600);
    EXPECT_EQ(f.ctl().MaxScroll(macro), 31 * 25 - 600);
    const QPointF bottom(20, 590);
    EXPECT_EQ(f.ctl().RowAt(macro, bottom), 23);
    f.ctl().Wheel(macro, -120 * 10); // far down
    EXPECT_EQ(macro.Level()->ScrollY, 175);
    EXPECT_EQ(f.ctl().RowAt(macro, bottom), 30);
    f.ctl().KeyDown(macro, kwVK_HOME, QChar());
    EXPECT_EQ(macro.Level()->ScrollY, 0);
    f.ctl().KeyDown(macro, kwVK_END, QChar());
    EXPECT_EQ(CurrentRow(macro), 30);
    EXPECT_LE(f.ctl().RowRect(macro, 30).bottom(), f.ctl().ContentRect(macro).bottom());
    // The last row can be clicked.
    f.ctl().MouseDown(macro, TkwMouseButton::Left, bottom);
    f.ctl().MouseUp(macro, TkwMouseButton::Left, bottom);
    f.env.Flush();
    EXPECT_EQ(f.clicks.ids, std::vector<uint32_t>{1131});
}

TEST(kwMenuController, KeysMoveTheCurrentRow)
{
    struct Case {
        const char *name;
        int start;
        int key;
        QChar ch;
        int expect;
        bool consumed;
    };
    const Case cases[] = {
        {"letter picks the first match", -1, 'C', QChar('c'), 0, true},
        {"unmatched letter consumed, no change", 2, 'Z', QChar('z'), 2, true},
        {"down on the last row", 4, kwVK_DOWN, QChar(), 4, true},
        {"up on the first row", 0, kwVK_UP, QChar(), 0, true},
        {"end", 1, kwVK_END, QChar(), 4, true},
        {"home", 3, kwVK_HOME, QChar(), 0, true},
        {"down from none", -1, kwVK_DOWN, QChar(), 0, true},
        {"right", 2, kwVK_RIGHT, QChar(), 3, true},
        {"left", 2, kwVK_LEFT, QChar(), 1, true},
        {"other key left alone", 2, 13, QChar(), 2, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f(false);
        f.menu.UseCustomMenuParams = true;
        for (const char *t : {"CUT", "COPY", "PASTE", "DELETE", "UNDO"})
            f.top().Add(QString::fromLatin1(t));
        f.open();
        f.ctl().SetItemIndex(f.top(), c.start);
        EXPECT_EQ(f.ctl().KeyDown(f.top(), c.key, c.ch), c.consumed);
        EXPECT_EQ(CurrentRow(f.top()), c.expect);
        EXPECT_EQ(f.top().ItemIndex(), c.expect);
        EXPECT_TRUE(f.menu.IsMenuOpen()) << "no key clicks or closes";
    }
}

TEST(kwMenuController, HighlightsFollowPointerAndPress)
{
    Fixture f(false);
    f.menu.UseCustomMenuParams = true;
    for (int i = 0; i < 5; ++i)
        f.top().Add(QStringLiteral("ROW%1").arg(i));
    f.open();
    f.hover(f.top(), 2);
    f.ctl().MouseDown(f.top(), TkwMouseButton::Left, f.at(f.top(), 2));
    TkwMenuHighlights h = f.ctl().Highlights(f.top());
    EXPECT_EQ(h.HoverRow, -1);
    EXPECT_EQ(h.PressedRow, 2);
    EXPECT_EQ(h.PlainRows, (std::vector<int>{0, 1, 3, 4}));
    f.hover(f.top(), 4);
    h = f.ctl().Highlights(f.top());
    EXPECT_EQ(h.HoverRow, 4);
    EXPECT_EQ(h.PressedRow, 2);
    f.ctl().MouseLeave(f.top());
    h = f.ctl().Highlights(f.top());
    EXPECT_EQ(h.HoverRow, -1);
    EXPECT_EQ(h.PressedRow, 2) << "the current row keeps the pressed look";

    // A current row with sub-items is current but not selected, no check mark.
    f.top().Items(1)->SubItems().Add("SUB");
    f.ctl().CloseMenus(f.top());
    f.open();
    f.ctl().SetItemIndex(f.top(), 1);
    EXPECT_EQ(CurrentRow(f.top()), 1);
    EXPECT_FALSE(f.top().Level()->Rows[1].IsSelected);
    EXPECT_FALSE(f.ctl().RowShowsCheckMark(f.top(), 1));
    // A checked item shows its mark at the next opening (when the menu shows checks).
    f.menu.Parameters.ItemShowCheck = true;
    f.top().SetItemCheckedState(3, true);
    f.top().SetItemCheckedState(99, true); // ignored
    f.open();
    EXPECT_TRUE(f.ctl().RowShowsCheckMark(f.top(), 3));
    EXPECT_FALSE(f.ctl().RowShowsCheckMark(f.top(), 4));
}

TEST(kwMenuController, LookFollowsTheParameterTable)
{
    Fixture f;
    f.open();
    TkwMenuLook look = f.ctl().LookOf(f.top());
    EXPECT_TRUE(look.Custom);
    EXPECT_EQ(look.Background, TkwMenuBrush::Solid(0xFA000000));
    EXPECT_TRUE(look.NormalFill.IsNone()) << "a brush without style leaves the style's look";
    EXPECT_EQ(look.OverFill, FunctionMenuParams().ItemOverFill);
    EXPECT_EQ(look.TextPadding, QMarginsF(15, 0, 0, 0));
    EXPECT_FALSE(look.ShowCheck);
    // A level with its own parameters takes its fills and margins, rows still the root's.
    TkwMenuItemsEx &basic = f.sub(7);
    basic.UseParentParameter = false;
    basic.Parameters.ItemOverFill = TkwMenuBrush::Solid(0xFF00FF00);
    basic.Parameters.BGMargins = QMarginsF(4, 4, 4, 4);
    look = f.ctl().LookOf(basic);
    EXPECT_EQ(look.OverFill, TkwMenuBrush::Solid(0xFF00FF00));
    EXPECT_EQ(look.Background, TMenuParams().BGFill);
    EXPECT_EQ(look.Margins, QMarginsF(4, 4, 4, 4));
    EXPECT_EQ(look.Font, FunctionMenuParams().ItemFont);
    // Its own row height and a height with the root's margins plus 5.
    basic.Parameters.ItemHeight = 18;
    f.hover(f.top(), 7);
    EXPECT_EQ(basic.Level()->Rows[0].Height, 18);
    EXPECT_EQ(basic.Level()->Height, 8 * 18 + 5);
    EXPECT_EQ(f.ctl().RowAt(basic, QPointF(10, 5)), 0);
    EXPECT_EQ(f.ctl().RowAt(basic, QPointF(2, 10)), -1) << "inside the margins";
    // Without custom parameters: default font, rows of 40, no fills.
    Fixture plain(false);
    plain.top().Add("ONE");
    plain.open();
    look = plain.ctl().LookOf(plain.top());
    EXPECT_FALSE(look.Custom);
    EXPECT_EQ(look.Font, TkwMenuFont());
    EXPECT_EQ(plain.top().Level()->Rows[0].Height, 40);
}

TEST(kwMenuController, DisabledAndHiddenItemsAreShownAndClickable)
{
    Fixture f;
    f.top().Items(1)->Enabled = false;
    f.top().Items(2)->Visible = false;
    f.sub(7).Items(0)->Enabled = false;
    f.sub(7).Items(0)->Visible = false;
    f.open();
    ASSERT_EQ(f.top().Level()->Count(), 16);
    EXPECT_EQ(f.top().Level()->Rows[2].Text, "MIDDLE BUTTON");
    EXPECT_EQ(f.ctl().RowAt(f.top(), f.at(f.top(), 2)), 2);
    for (int row : {1, 2}) {
        f.open();
        f.ctl().MouseDown(f.top(), TkwMouseButton::Left, f.at(f.top(), row));
        f.ctl().MouseUp(f.top(), TkwMouseButton::Left, f.at(f.top(), row));
    }
    f.open();
    f.hover(f.top(), 7);
    ASSERT_EQ(f.sub(7).Level()->Count(), 8);
    f.ctl().MouseDown(f.sub(7), TkwMouseButton::Left, f.at(f.sub(7), 0));
    f.ctl().MouseUp(f.sub(7), TkwMouseButton::Left, f.at(f.sub(7), 0));
    f.env.Flush();
    EXPECT_EQ(f.clicks.ids, (std::vector<uint32_t>{2, 3, 801}));
}

TEST(kwMenuController, WithoutCustomParametersOnlyFixedSizesAndTheCheckRuleApply)
{
    // A menu that does not use its parameters: every look and row-size value is
    // ignored, only the custom width and height and the selected check-mark rule count.
    struct Case {
        const char *name;
        int customWidth, customHeight;
        bool selectedCheckMark;
        qreal width, height;
        bool markOnCurrentRow;
    };
    const Case cases[] = {
        {"measured", 0, 0, true, 6 * 10 + 100, 3 * 40, true},
        {"custom width", 333, 0, true, 333, 3 * 40, true},
        {"custom height", 0, 77, false, 6 * 10 + 100, 77, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f(false);
        TMenuParams &p = f.menu.Parameters;
        p.ItemHeight = 99;
        p.BGFill = TkwMenuBrush::Solid(0xFF112233);
        p.ItemOverFill = TkwMenuBrush::Solid(0xFF00FF00);
        p.BGMargins = QMarginsF(10, 10, 10, 10);
        p.MenuTextPadding = QMarginsF(20, 0, 0, 0);
        p.ItemShowCheck = false;
        p.ItemFont.Family = "FUTURA STD MEDIUM";
        p.CustomWidth = c.customWidth;
        p.CustomHeight = c.customHeight;
        p.MenuShowSelectedCheckMark = c.selectedCheckMark;
        for (const char *t : {"ONE", "SECOND", "III"})
            f.top().Add(QString::fromLatin1(t));
        f.open(2);
        const TkwMenuLevel &L = *f.top().Level();
        EXPECT_EQ(L.Rows[0].Height, 40);
        EXPECT_EQ(L.Width, c.width);
        EXPECT_EQ(L.Height, c.height);
        ASSERT_FALSE(f.env.fonts.empty());
        EXPECT_EQ(f.env.fonts.back(), TkwMenuFont()) << "measured in the level's default font";
        const TkwMenuLook look = f.ctl().LookOf(f.top());
        EXPECT_EQ(look.Background, TkwMenuBrush::Solid(0xFF51513B)) << "the style's own background";
        EXPECT_TRUE(look.OverFill.IsNone());
        EXPECT_EQ(look.Margins, QMarginsF());
        EXPECT_EQ(look.TextPadding, QMarginsF(3, 1, 3, 1));
        EXPECT_FALSE(look.TextShadow);
        EXPECT_EQ(f.ctl().RowAt(f.top(), QPointF(2, 2)), 0) << "no margins around the rows";
        EXPECT_EQ(CurrentRow(f.top()), 1);
        EXPECT_EQ(f.ctl().RowShowsCheckMark(f.top(), 1), c.markOnCurrentRow);
        EXPECT_FALSE(f.ctl().RowShowsCheckMark(f.top(), 0));
    }
}

TEST(kwMenuController, RootMarginsSizeAFollowingLevel)
{
    // Custom parameters with margins: rows of at least 20, margins added to both sizes.
    struct Case {
        int itemHeight;
        qreal rowHeight;
    };
    for (const Case c : {Case{25, 25}, Case{12, 20}, Case{0, 20}}) {
        SCOPED_TRACE(c.itemHeight);
        Fixture f(false);
        f.menu.UseCustomMenuParams = true;
        f.menu.Parameters.ItemHeight = c.itemHeight;
        f.menu.Parameters.BGMargins = QMarginsF(3, 4, 5, 6);
        for (const char *t : {"AB", "ABCD"})
            f.top().Add(QString::fromLatin1(t));
        f.open();
        const TkwMenuLevel &L = *f.top().Level();
        EXPECT_EQ(L.Rows[1].Height, c.rowHeight);
        EXPECT_EQ(L.Height, 2 * c.rowHeight + 4 + 6);
        EXPECT_EQ(L.Width, 4 * 10 + 100 + 3 + 5);
        EXPECT_EQ(f.ctl().RowAt(f.top(), QPointF(3, 4)), 0);
        EXPECT_EQ(f.ctl().RowAt(f.top(), QPointF(2, 4)), -1);
    }
}

TEST(kwMenuController, APopupStaysOnTheDisplayOfItsTarget)
{
    // Primary display 1000 x 700, a second one 1000 x 500 to its right; popup 240 x 400.
    const QRect primary(0, 0, 1000, 700), second(1000, 0, 1000, 500);
    using Case = PlacementCase;
    const Case cases[] = {
        // The flip tests the primary display's width, so on the second one a
        // top level always goes left of its window; it stays on that display.
        {"second display: left of the window", QRectF(1500, 50, 50, 20), QRect(1300, 20, 600, 400), {1510, 60},
         QRect(1060, 60, 240, 400)},
        {"second display: kept inside it", QRectF(1100, 300, 50, 20), QRect(1050, 50, 600, 400), {1110, 310},
         QRect(1000, 100, 240, 400)},
        {"primary display unchanged", QRectF(100, 100, 50, 20), QRect(50, 50, 600, 500), {120, 110},
         QRect(120, 110, 240, 400)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        f.env.screen = primary;
        f.env.pointer = c.pointer;
        TkwMenuEnvironment env = f.env.Make();
        env.ScreenAt = [&](QPoint p) { return second.contains(p) ? second : primary; };
        f.menu.SetEnvironment(env);
        f.menu.ShowMainMenuAt(0, TkwMenuTarget{c.target, c.window}, vgPlacementMouse);
        EXPECT_EQ(f.top().Level()->Geometry, c.expect);
        // Its sub-menus follow it there.
        f.hover(f.top(), 7);
        EXPECT_TRUE(f.top().Level()->Geometry.intersects(c.expect));
        const QRect sub = f.sub(7).Level()->Geometry;
        const QRect display = c.expect.left() >= 1000 ? second : primary;
        EXPECT_TRUE(display.contains(sub)) << sub.x() << "," << sub.y();
    }
}
