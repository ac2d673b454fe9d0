// Menu items, collections and parameter sets: names and identifiers given at
// insertion, copies of whole item lists, the suite's menus as data.
#include "config/ui/kwMenuDefinitions.h"
#include "config/ui/kwMenuEx.h"
#include "core/pubunit_device.h"

#include <gtest/gtest.h>

namespace {

QStringList Names(const TkwMenuItemsEx &c)
{
    QStringList out;
    for (int i = 0; i < c.Count(); ++i)
        out << c.Items(i)->Name;
    return out;
}

std::vector<uint32_t> Ids(const TkwMenuItemsEx &c)
{
    std::vector<uint32_t> out;
    for (int i = 0; i < c.Count(); ++i)
        out.push_back(c.Items(i)->ItemID());
    return out;
}

const TkwMenuItemEx *FindId(const TkwMenuItemsEx &c, uint32_t id)
{
    for (int i = 0; i < c.Count(); ++i) {
        const TkwMenuItemEx *item = c.Items(i);
        if (item->ItemID() == id)
            return item;
        if (const TkwMenuItemEx *sub = FindId(item->SubItems(), id))
            return sub;
    }
    return nullptr;
}

} // namespace

TEST(kwMenuEx, NamesAndIdentifiersAtInsertion)
{
    TkwMenuEx menu;
    TkwMenuItemsEx &top = menu.Items();
    for (int i = 0; i < 3; ++i)
        top.Add();
    EXPECT_EQ(Names(top), (QStringList{"Item1", "Item2", "Item3"}));
    EXPECT_EQ(Ids(top), (std::vector<uint32_t>{1, 2, 3}));

    // The smallest free name, compared without case.
    top.Items(0)->Name = "ITEM1";
    top.Items(2)->Name = "ITEM3";
    top.Delete(1);
    TkwMenuItemEx *again = top.Add();
    EXPECT_EQ(again->Name, "Item2");
    EXPECT_EQ(again->ItemID(), 2u);

    // Renamed items free "Item1": the identifier repeats.
    top.Clear();
    top.Add()->Name = "CUT";
    top.Add()->Name = "COPY";
    EXPECT_EQ(top.Add()->ItemID(), 1u);

    // Sub-items: parent x 100 + n, at every depth.
    top.Clear();
    for (int i = 0; i < 15; ++i)
        top.Add();
    TkwMenuItemEx *s = top.Items(14)->SubItems().Add();
    EXPECT_EQ(s->ItemID(), 1501u);
    EXPECT_EQ(s->SubItems().Add()->ItemID(), 150101u);
    EXPECT_EQ(s->GetRootMenu(), &menu);
    EXPECT_EQ(s->GetOwner(), &top.Items(14)->SubItems());

    // Insertion in the middle numbers by name, not by position.
    TkwMenuItemEx *mid = top.Insert(0);
    EXPECT_EQ(mid->ItemID(), 16u);
    EXPECT_EQ(top.IndexOf(mid), 0);
}

TEST(kwMenuEx, IdentifierThatDoesNotFitIsRefused)
{
    TkwMenuEx menu;
    TkwMenuItemEx *item = menu.Items().Add();
    for (uint32_t expect : {101u, 10101u, 1010101u, 101010101u}) {
        item = item->SubItems().Add();
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->ItemID(), expect);
    }
    EXPECT_EQ(item->SubItems().Add(), nullptr);
    EXPECT_EQ(item->SubItems().Count(), 0);
    // A copy that would not fit leaves the target as it was.
    TkwMenuEx other;
    other.Items().Add("ONE");
    item->SubItems().Items(0); // none
    EXPECT_FALSE(item->SubItems().Assign(other.Items()));
    EXPECT_EQ(item->SubItems().Count(), 0);
}

TEST(kwMenuEx, RefillingTheMacroItemRestartsItsIdentifiers)
{
    TkwMenuEx menu;
    FillFunctionMenu(menu);
    TkwMenuItemsEx &macro = menu.Items().Items(10)->SubItems();
    for (int round = 0; round < 2; ++round) {
        macro.Clear();
        macro.Add("MACRO MANAGER");
        macro.Add("MACRO #1 <a>");
        macro.Add("MACRO #3 <b>");
        EXPECT_EQ(Ids(macro), (std::vector<uint32_t>{1101, 1102, 1103}));
    }
}

TEST(kwMenuEx, CopyingItemListsCopiesValues)
{
    TkwMenuEx source;
    FillFunctionMenu(source);
    source.Items().Items(0)->Checked = true;
    TkwMenuEx target;
    target.Items().Add("OLD");
    ASSERT_TRUE(target.SetItems(source.Items()));
    ASSERT_EQ(target.Items().Count(), 16);
    EXPECT_EQ(target.Items().Items(7)->SubItems().Items(2)->Caption, "PASTE");
    EXPECT_EQ(target.Items().Items(7)->SubItems().Items(2)->ItemID(), 803u);
    EXPECT_TRUE(target.Items().Items(0)->Checked);
    EXPECT_EQ(target.Items().Items(7)->GetRootMenu(), &target);
    // The copies are the target's own.
    target.Items().Items(7)->SubItems().Items(2)->Caption = "CHANGED";
    EXPECT_EQ(source.Items().Items(7)->SubItems().Items(2)->Caption, "PASTE");

    // Copying a list into one of its own items' sub-items, and into itself.
    TkwMenuItemEx *copy = source.Items().Items(0);
    ASSERT_TRUE(copy->SetSubItems(source.Items()));
    EXPECT_EQ(copy->SubItems().Count(), 16);
    EXPECT_EQ(copy->SubItems().Items(15)->ItemID(), 116u);
    EXPECT_EQ(copy->SubItems().Items(7)->SubItems().Items(0)->ItemID(), 10801u);
    ASSERT_TRUE(source.Items().Assign(source.Items()));
    EXPECT_EQ(source.Items().Count(), 16);
    EXPECT_EQ(source.Items().Items(0)->SubItems().Count(), 16);

    // Parameter sets are values.
    TMenuParams p = FunctionMenuParams();
    target.Parameters = p;
    p.ItemHeight = 99;
    EXPECT_EQ(target.Parameters.ItemHeight, 25);
}

TEST(kwMenuEx, FunctionMenuMatchesTheFunctionTable)
{
    TkwMenuEx menu;
    FillFunctionMenu(menu);
    EXPECT_TRUE(menu.UseCustomMenuParams);
    ASSERT_EQ(menu.Items().Count(), 16);
    for (const TFunctionTableRow &row : FUNCTION_TABLE) {
        SCOPED_TRACE(row.Row);
        EXPECT_NE(FindId(menu.Items(), uint32_t(row.MenuID)), nullptr);
    }
    QStringList withSubs;
    for (int i = 0; i < menu.Items().Count(); ++i)
        if (menu.Items().Items(i)->SubItems().Count() > 0)
            withSubs << menu.Items().Items(i)->Caption;
    EXPECT_EQ(withSubs, (QStringList{"BASIC", "ADVANCED", "MEDIA", "MACRO", "DPI SWITCH", "REPORT RATE"}));
    struct Spot {
        uint32_t id;
        const char *caption;
    };
    for (const Spot &s : {Spot{1, "CLICK"}, Spot{12, "FIRE KEY..."}, Spot{808, "SAVE"}, Spot{914, "MAIL"},
                          Spot{1008, "MEDIA PLAYER"}, Spot{1101, "MACRO MANAGER"}, Spot{1303, "DPI -"},
                          Spot{1502, "REPORT RATE -"}, Spot{16, "DISABLE"}}) {
        const TkwMenuItemEx *item = FindId(menu.Items(), s.id);
        ASSERT_NE(item, nullptr) << s.id;
        EXPECT_EQ(item->Caption, QString::fromUtf8(s.caption));
    }

    TkwMenuEx mouse;
    FillMouseEventMenu(mouse);
    EXPECT_EQ(FindId(mouse.Items(), 3)->Caption, "MIDDLE BUTTON");
    TkwMenuEx list;
    FillMacroListMenu(list);
    EXPECT_EQ(Ids(list.Items()), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(list.Parameters.ItemHeight, 20);
    EXPECT_EQ(list.Parameters.ItemDownFill, list.Parameters.ItemOverFill);
}

namespace {

// A menu tree flattened to "id caption" lines, sub-items indented under their item.
QStringList Tree(const TkwMenuItemsEx &c, const QString &indent = QString())
{
    QStringList out;
    for (int i = 0; i < c.Count(); ++i) {
        const TkwMenuItemEx *item = c.Items(i);
        out << QStringLiteral("%1%2 %3").arg(indent).arg(item->ItemID()).arg(item->Caption);
        out << Tree(item->SubItems(), indent + QStringLiteral("  "));
    }
    return out;
}

QString Colour(QRgb c) { return QStringLiteral("#%1").arg(c, 8, 16, QLatin1Char('0')).toUpper(); }

// A fill as the parameter tables write it: "none", a colour, or a linear
// gradient with its stops (and its axis when it is not top to bottom).
QString Describe(const TkwMenuBrush &b)
{
    switch (b.Kind) {
    case TkwMenuBrush::Style::None: return QStringLiteral("none");
    case TkwMenuBrush::Style::Solid: return Colour(b.Color);
    case TkwMenuBrush::Style::Gradient: {
        QStringList stops;
        for (const auto &[offset, colour] : b.Points)
            stops << QStringLiteral("%1@%2").arg(Colour(colour)).arg(offset, 0, 'g', 8);
        QString s = QStringLiteral("linear ") + stops.join(QLatin1Char(' '));
        if (b.StartPosition != QPointF(0, 0) || b.StopPosition != QPointF(0, 1))
            s += QStringLiteral(" (%1,%2)-(%3,%4)")
                     .arg(b.StartPosition.x())
                     .arg(b.StartPosition.y())
                     .arg(b.StopPosition.x())
                     .arg(b.StopPosition.y());
        return s;
    }
    }
    return {};
}

QString Describe(const TkwMenuFont &f)
{
    return QStringLiteral("%1 %2%3%4%5")
        .arg(f.Family)
        .arg(f.Size)
        .arg(f.Bold ? QStringLiteral(" bold") : QString())
        .arg(f.Italic ? QStringLiteral(" italic") : QString())
        .arg(f.ClearType ? QStringLiteral(" cleartype") : QString());
}

QString Describe(const QMarginsF &m)
{
    return QStringLiteral("%1,%2,%3,%4").arg(m.left()).arg(m.top()).arg(m.right()).arg(m.bottom());
}

QString Describe(bool b) { return b ? QStringLiteral("T") : QStringLiteral("F"); }
QString Describe(int v) { return QString::number(v); }
QString Describe(const QImage &i) { return i.isNull() ? QStringLiteral("empty") : QStringLiteral("image"); }
QString Describe(const QString &s) { return s.isEmpty() ? QStringLiteral("empty") : s; }

// Every parameter of a set, by name.
std::vector<std::pair<QString, QString>> Fields(const TMenuParams &p)
{
    return {
        {"BGFill", Describe(p.BGFill)},
        {"ItemNormalFill", Describe(p.ItemNormalFill)},
        {"ItemOverFill", Describe(p.ItemOverFill)},
        {"ItemDownFill", Describe(p.ItemDownFill)},
        {"ItemCheckFill", Describe(p.ItemCheckFill)},
        {"ItemExtenderFill", Describe(p.ItemExtenderFill)},
        {"ItemCheckImage", Describe(p.ItemCheckImage)},
        {"ItemFontFill", Describe(p.ItemFontFill)},
        {"ItemFont", Describe(p.ItemFont)},
        {"ItemHeight", Describe(p.ItemHeight)},
        {"ItemWidth", Describe(p.ItemWidth)},
        {"ItemShowCheck", Describe(p.ItemShowCheck)},
        {"ItemAutoSize", Describe(p.ItemAutoSize)},
        {"MenuShowCheckbox", Describe(p.MenuShowCheckbox)},
        {"MenuShowSelectedState", Describe(p.MenuShowSelectedState)},
        {"MenuShowSelectedCheckMark", Describe(p.MenuShowSelectedCheckMark)},
        {"BGImage", Describe(p.BGImage)},
        {"BGMargins", Describe(p.BGMargins)},
        {"BGResource", Describe(p.BGResource)},
        {"CustomHeight", Describe(p.CustomHeight)},
        {"CustomWidth", Describe(p.CustomWidth)},
        {"MenuTextPadding", Describe(p.MenuTextPadding)},
        {"ItemCursor", Describe(int(p.ItemCursor))},
    };
}

// Every collection of a tree, the top level first.
void Collections(const TkwMenuItemsEx &c, std::vector<const TkwMenuItemsEx *> &out)
{
    out.push_back(&c);
    for (int i = 0; i < c.Count(); ++i)
        Collections(c.Items(i)->SubItems(), out);
}

} // namespace

TEST(kwMenuEx, TheFourMenusItemTrees)
{
    struct Case {
        const char *menu;
        void (*fill)(TkwMenuEx &);
        QStringList tree;
    };
    const Case cases[] = {
        {"KWMENUEX1", FillFunctionMenu,
         {"1 CLICK", "2 RIGHT CLICK", "3 MIDDLE BUTTON", "4 FORWARD", "5 BACKWARD", "6 SINGLE KEY", "7 COMBO KEY",
          "8 BASIC", "  801 CUT", "  802 COPY", "  803 PASTE", "  804 SELECT ALL", "  805 FIND", "  806 NEW",
          "  807 PRINT", "  808 SAVE",
          "9 ADVANCED", "  901 SWITCH WINDOW", "  902 CLOSE WINDOW", "  903 OPEN EXPLORER", "  904 RUN",
          "  905 SHOW DESKTOP", "  906 LOCK PC", "  907 BROWSER HOME", "  908 BROWSER BACKWARD",
          "  909 BROWSER FORWARD", "  910 BROWSER STOP", "  911 BROWSER REFRESH", "  912 BROWSER SEARCH",
          "  913 BROWSER FAVORITE", "  914 MAIL",
          "10 MEDIA", "  1001 PLAY/PAUSE", "  1002 STOP", "  1003 PREVIOUS TRACK", "  1004 NEXT TRACK",
          "  1005 VOLUME UP", "  1006 VOLUME DOWN", "  1007 MUTE", "  1008 MEDIA PLAYER",
          "11 MACRO", "  1101 MACRO MANAGER",
          "12 FIRE KEY...",
          "13 DPI SWITCH", "  1301 DPI SWITCH CYCLE", "  1302 DPI +", "  1303 DPI -",
          "14 PROFILE SWITCH",
          "15 REPORT RATE", "  1501 REPORT RATE +", "  1502 REPORT RATE -",
          "16 DISABLE"}},
        {"kwMenuMacro", FillMacroMenu, {"1 RENAME", "2 UP", "3 DOWN"}},
        {"kwMenuMacroList", FillMacroListMenu,
         {"1 INSERT", "2 DELETE", "3 UP", "4 DOWN", "5 COPY", "6 CUT", "7 PASTE"}},
        {"kwMenuExMouseEvent", FillMouseEventMenu, {"1 LEFT BUTTON", "2 RIGHT BUTTON", "3 MIDDLE BUTTON"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.menu);
        TkwMenuEx menu;
        menu.FunctionItemIndex = 7;
        menu.Items().Add("LEFT OVER");
        c.fill(menu);
        EXPECT_EQ(Tree(menu.Items()), c.tree);
        // As the window descriptions set them: the root's parameters on,
        // every level following the root with its own set at the defaults.
        EXPECT_TRUE(menu.UseCustomMenuParams);
        EXPECT_EQ(menu.FunctionItemIndex, 0);
        EXPECT_EQ(menu.FunctionManager(), nullptr);
        std::vector<const TkwMenuItemsEx *> all;
        Collections(menu.Items(), all);
        for (const TkwMenuItemsEx *level : all) {
            EXPECT_TRUE(level->UseParentParameter);
            EXPECT_EQ(Fields(level->Parameters), Fields(TMenuParams()));
            EXPECT_EQ(level->ItemIndex(), -1);
            EXPECT_EQ(level->RootMenu(), &menu);
        }
        // Default names, so the identifiers follow the order.
        for (int i = 0; i < menu.Items().Count(); ++i)
            EXPECT_EQ(menu.Items().Items(i)->Name, QStringLiteral("Item%1").arg(i + 1));
    }
}

TEST(kwMenuEx, FunctionTableRowsNameTheirMenuItems)
{
    // Row r of FUNCTION_TABLE is the choice the menu item with that caption stores;
    // rows 39 and 44 name the sub-menu items themselves.
    const char *const captions[FUNCTION_TABLE_ROWS] = {
        "CLICK", "RIGHT CLICK", "MIDDLE BUTTON", "FORWARD", "BACKWARD", "SINGLE KEY", "COMBO KEY",
        "CUT", "COPY", "PASTE", "SELECT ALL", "FIND", "NEW", "PRINT", "SAVE",
        "SWITCH WINDOW", "CLOSE WINDOW", "OPEN EXPLORER", "RUN", "SHOW DESKTOP", "LOCK PC",
        "BROWSER HOME", "BROWSER BACKWARD", "BROWSER FORWARD", "BROWSER STOP", "BROWSER REFRESH",
        "BROWSER SEARCH", "BROWSER FAVORITE", "MAIL",
        "PLAY/PAUSE", "STOP", "PREVIOUS TRACK", "NEXT TRACK", "VOLUME UP", "VOLUME DOWN", "MUTE", "MEDIA PLAYER",
        "MACRO", "FIRE KEY...", "DPI SWITCH", "DPI SWITCH CYCLE", "DPI +", "DPI -", "PROFILE SWITCH",
        "REPORT RATE", "REPORT RATE +", "REPORT RATE -", "DISABLE"};
    TkwMenuEx menu;
    FillFunctionMenu(menu);
    for (int r = 0; r < FUNCTION_TABLE_ROWS; ++r) {
        SCOPED_TRACE(r);
        const TFunctionTableRow &row = FUNCTION_TABLE[size_t(r)];
        EXPECT_EQ(row.Row, r);
        const TkwMenuItemEx *item = FindId(menu.Items(), uint32_t(row.MenuID));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->Caption, QString::fromUtf8(captions[r]));
        // Only the sub-menu rows point at items that open a sub-menu.
        EXPECT_EQ(item->SubItems().Count() > 0, r == 37 || r == 39 || r == 44);
    }
}

TEST(kwMenuEx, TheFourMenusRootParameters)
{
    // Every parameter of the four root sets (defaults included), as the window descriptions give them.
    struct Row {
        const char *name;
        QString fn, macro, list, mouse;
    };
    const QString black = "#FF000000", white = "#FFFFFFFF", red = "#FFB00202";
    const QString macroOver = "linear #FFB10404@0 #FF000000@1";
    const QString darkNormal = "linear #FF1B1B1B@0 #FF000000@1";
    const Row rows[] = {
        {"BGFill", "#FA000000", black, black, black},
        {"ItemNormalFill", "none", "linear #FF1C1B1B@0 #FF020202@1", darkNormal, darkNormal},
        {"ItemOverFill", "linear #1E0464D7@0 #FF0050AF@0.5090909 #1E0026AF@1", macroOver, macroOver,
         "linear #FE980000@0 #FF000000@1"},
        {"ItemDownFill", "linear #31002BAA@0 #FF1303F7@0.5054545 #46002BAA@1 (0.5,0)-(0.5,1)", macroOver, macroOver,
         "linear #FE980000@0 #FF000000@1"},
        {"ItemCheckFill", "#FF0093AA", "none", "none", "none"},
        {"ItemExtenderFill", white, red, red, red},
        {"ItemCheckImage", "empty", "empty", "empty", "empty"},
        {"ItemFontFill", white, white, white, white},
        {"ItemFont", "FUTURA STD MEDIUM 13 bold italic", "Tahoma 11 cleartype", "Tahoma 11 cleartype",
         "Tahoma 11 cleartype"},
        {"ItemHeight", "25", "20", "20", "20"},
        {"ItemWidth", "150", "400", "400", "400"},
        {"ItemShowCheck", "F", "F", "F", "F"},
        {"ItemAutoSize", "F", "F", "F", "F"},
        {"MenuShowCheckbox", "T", "F", "F", "F"},
        {"MenuShowSelectedState", "T", "F", "F", "F"},
        {"MenuShowSelectedCheckMark", "T", "T", "T", "T"},
        {"BGImage", "empty", "empty", "empty", "empty"},
        {"BGMargins", "0,0,0,0", "0,0,0,0", "0,0,0,0", "0,0,0,0"},
        {"BGResource", "empty", "empty", "empty", "empty"},
        {"CustomHeight", "0", "0", "0", "0"},
        {"CustomWidth", "0", "0", "0", "0"},
        {"MenuTextPadding", "15,0,0,0", "3,1,3,1", "3,1,3,1", "3,1,3,1"},
        {"ItemCursor", "0", "0", "0", "0"},
    };
    struct Menu {
        const char *name;
        void (*fill)(TkwMenuEx &);
        QString Row::*column;
    };
    const Menu menus[] = {{"KWMENUEX1", FillFunctionMenu, &Row::fn},
                          {"kwMenuMacro", FillMacroMenu, &Row::macro},
                          {"kwMenuMacroList", FillMacroListMenu, &Row::list},
                          {"kwMenuExMouseEvent", FillMouseEventMenu, &Row::mouse}};
    for (const Menu &m : menus) {
        SCOPED_TRACE(m.name);
        TkwMenuEx menu;
        m.fill(menu);
        const auto got = Fields(menu.Parameters);
        ASSERT_EQ(got.size(), std::size(rows));
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].first.toStdString(), rows[i].name);
            EXPECT_EQ(got[i].second.toStdString(), (rows[i].*(m.column)).toStdString()) << rows[i].name;
        }
    }
}
