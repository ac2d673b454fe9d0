// Menu items, collections and parameter sets: names and identifiers given at
// insertion, copies of whole item lists, the suite's menus as data.
#include "config/kwMenuDefinitions.h"
#include "config/kwMenuEx.h"
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
