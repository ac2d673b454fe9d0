// The command registry: order, binding, buffer passing and default names.
#include "config/ui/kwCommandSetting.h"

#include <gtest/gtest.h>

#include <array>

TEST(kwCommandSetting, EmptyRegistryCallsNothingAndSucceeds)
{
    TkwCommandSetting s;
    int buffer = 0;
    EXPECT_TRUE(s.SetData(&buffer, sizeof buffer));
    EXPECT_TRUE(s.GetData(&buffer, sizeof buffer));
}

TEST(kwCommandSetting, BoundHandlersRunOnceInOrderWithCallersBuffer)
{
    TkwCommandSetting s;
    std::vector<std::string> log;
    std::array<unsigned char, 30964> group{};
    auto handler = [&](const char *name) {
        return [&, name](TkwGetSet type, void *buffer, std::uint32_t size) {
            log.push_back(std::string(name) + (type == kwSet ? ":set" : ":get"));
            EXPECT_EQ(buffer, group.data());
            EXPECT_EQ(size, group.size());
            static_cast<unsigned char *>(buffer)[0] += 1; // writes reach the caller
        };
    };
    s.Commands().Add({"SetButton", "", handler("button")});
    s.Commands().Add({"SetCPI", "", nullptr});
    s.Commands().Add({"SetLED", "", handler("led")});

    EXPECT_TRUE(s.SetData(group.data(), int(group.size())));
    EXPECT_TRUE(s.GetData(group.data(), int(group.size())));
    EXPECT_EQ(log, (std::vector<std::string>{"button:set", "led:set", "button:get", "led:get"}));
    EXPECT_EQ(group[0], 4);
}

TEST(kwCommandSetting, NegativeSizeRunsNothing)
{
    TkwCommandSetting s;
    int calls = 0;
    s.Commands().Add({"", "", [&](TkwGetSet, void *, std::uint32_t) { ++calls; }});
    char b = 0;
    EXPECT_FALSE(s.SetData(&b, -1));
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(s.SetData(&b, 0));
    EXPECT_EQ(calls, 1);
}

TEST(kwCommandSetting, DefaultNamesTakeTheSmallestFreeNumber)
{
    TkwCommands c(nullptr);
    EXPECT_EQ(c.Add().Name, "Command1");
    EXPECT_EQ(c.Add().Name, "Command2");
    EXPECT_EQ(c.Add().Name, "Command3");
    c.Items(0)->Name = "SetButton";
    EXPECT_EQ(c.Add().Name, "Command1");
    EXPECT_EQ(c.Add({"Kept", "", nullptr}).Name, "Kept");
    c.Items(1)->Name = "COMMAND4"; // compared without case
    EXPECT_EQ(c.Add().Name, "Command2");
    EXPECT_EQ(c.Add().Name, "Command5");
}

TEST(kwCommandSetting, ItemsAreRangeCheckedAndAssignCopies)
{
    TkwCommandSetting s;
    EXPECT_EQ(s.Commands().Items(0), nullptr);
    EXPECT_EQ(s.Commands().Items(-1), nullptr);
    s.Commands().Delete(3); // nothing

    TkwCommandSetting other;
    int calls = 0;
    other.Commands().Add({"SetReport", "rate", [&](TkwGetSet, void *, std::uint32_t) { ++calls; }});
    s.SetCommands(other.Commands());
    other.Commands().Clear();
    ASSERT_EQ(s.Commands().Count(), 1);
    EXPECT_EQ(s.Commands().Items(0)->Name, "SetReport");
    EXPECT_EQ(s.Commands().GetOwner(), &s);
    int b = 0;
    s.SetData(&b, 4);
    EXPECT_EQ(calls, 1);
}

TEST(kwCommandSetting, HandlerMayDeleteItsOwnCommand)
{
    TkwCommandSetting s;
    int later = 0;
    s.Commands().Add({"", "", [&](TkwGetSet, void *, std::uint32_t) { s.Commands().Delete(0); }});
    s.Commands().Add({"", "", [&](TkwGetSet, void *, std::uint32_t) { ++later; }});
    int b = 0;
    EXPECT_TRUE(s.SetData(&b, 4));
    EXPECT_EQ(s.Commands().Count(), 1);
    EXPECT_EQ(later, 1); // the command that moved up still had its turn
}

TEST(kwCommandSetting, ListChangedByAHandlerKeepsEachTurnOnce)
{
    TkwCommandSetting s;
    std::vector<std::string> log;
    auto logger = [&](const char *name) {
        return [&log, name](TkwGetSet, void *, std::uint32_t) { log.emplace_back(name); };
    };
    s.Commands().Add({"first", "", [&](TkwGetSet, void *, std::uint32_t) {
                          log.emplace_back("first");
                          s.Commands().Delete(2);                      // "third", before its turn
                          s.Commands().Add({"added", "", logger("added")}); // waits for the next call
                      }});
    s.Commands().Add({"second", "", logger("second")});
    s.Commands().Add({"third", "", logger("third")});
    s.Commands().Add({"fourth", "", logger("fourth")});
    int b = 0;
    EXPECT_TRUE(s.SetData(&b, 4));
    EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "fourth"}));
    EXPECT_EQ(s.Commands().IndexOf(s.Commands().Items(3)), 3);
    EXPECT_EQ(s.Commands().Items(3)->Name, "added");
    TkwCommand stranger;
    EXPECT_EQ(s.Commands().IndexOf(&stranger), -1);
}
