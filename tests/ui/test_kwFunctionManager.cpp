#include "config/ui/kwFunctionManager.h"
#include "config/ui/kwMenuController.h"

#include <gtest/gtest.h>

#include <array>

TEST(kwFunctionManager, NamesBuffersAndRun)
{
    TkwFunctionManager fm;
    TkwFunctions &items = fm.Items();
    TkwFunctionItem &a = items.Add();
    TkwFunctionItem &b = items.Add();
    TkwFunctionItem &c = items.Add();
    TkwFunctionItem &named = items.Add("MINE");
    EXPECT_EQ(a.Name, "Item1");
    EXPECT_EQ(c.ItemID(), 3u);
    EXPECT_EQ(b.ItemID(), 2u);
    EXPECT_EQ(named.ItemID(), 0u);
    b.Name = "OTHER";
    EXPECT_EQ(items.Add().Name, "Item2") << "a freed name is used again first";

    const std::array<uint8_t, 4> bytes{1, 2, 3, 4};
    a.SetBuffer(bytes.data(), 4);
    a.SetBuffer(bytes.data(), 0); // no change
    EXPECT_EQ(a.GetBufferSize(), 4u);
    std::array<uint8_t, 4> out{};
    EXPECT_TRUE(a.GetBuffer(out.data(), out.size()));
    EXPECT_EQ(out, bytes);
    std::array<uint8_t, 2> small{};
    EXPECT_FALSE(a.GetBuffer(small.data(), small.size())) << "a destination too small gets nothing";
    EXPECT_FALSE(c.GetBuffer(out.data(), out.size()));

    c.RunIt(); // unbound: nothing
    int id = -1;
    void *seen = nullptr;
    uint32_t size = 0;
    a.OnExecute = [&](int f, void *p, uint32_t s) { id = f, seen = p, size = s; };
    a.RunIt();
    EXPECT_EQ(id, 1);
    EXPECT_EQ(seen, a.BufferPointer()) << "its own block, not a copy";
    EXPECT_EQ(size, 4u);

    TkwFunctionManager other;
    other.SetItems(items);
    ASSERT_EQ(other.Items().Count(), items.Count());
    EXPECT_NE(other.Items().Items(0)->BufferPointer(), a.BufferPointer());
    EXPECT_EQ(other.Items().Items(0)->GetBufferSize(), 4u);
    EXPECT_EQ(other.Items().Items(9), nullptr);
}

TEST(kwFunctionManager, MenuPassesTheChosenItemsBuffer)
{
    TkwMenuEx menu;
    TkwMenuEnvironment env;
    env.TextWidth = [](const TkwMenuFont &, const QString &s) { return 8.0 * s.size(); };
    env.Screen = [] { return QRect(0, 0, 800, 600); };
    env.Pointer = [] { return QPoint(10, 10); };
    menu.SetEnvironment(env); // no Post: the click runs at once
    menu.Items().Add("ONE");
    void *buffer = nullptr;
    int size = -1;
    menu.OnItemsClick = [&](TkwMenuItemEx *, const QString &, uint32_t, void *p, int s) { buffer = p, size = s; };
    {
        auto fm = std::make_unique<TkwFunctionManager>();
        const uint8_t data[3] = {9, 8, 7};
        fm->Items().Add().SetBuffer(data, 3);
        menu.SetFunctionManager(fm.get());
        menu.Controller().ExecuteItem(*menu.Items().Items(0));
        EXPECT_EQ(buffer, fm->Items().Items(0)->BufferPointer());
        EXPECT_EQ(size, 3);
    }
    // The registry is gone: the menu's reference is cleared, not left dangling.
    EXPECT_EQ(menu.FunctionManager(), nullptr);
    menu.Controller().ExecuteItem(*menu.Items().Items(0));
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(size, 0);
}
