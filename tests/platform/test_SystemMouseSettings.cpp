// The desktop's mouse settings: the acceleration table, GSettings through
// GIO's memory backend with the installed schema, and the X server's pointer
// control on a private Xvfb, read back with the server's own query.
#include <gio/gio.h>

#include "platform/SystemMouseSettings.h"
#include "support/PrivateXServer.h"


#include <gtest/gtest.h>

#include <X11/Xlib.h>


using namespace hkt::platform;

TEST(SystemMouseSettings, AccelerationTableAndRanges)
{
    EXPECT_EQ(AccelerationRow(0), (MouseAccelerationRow{0, 0, 0}));
    EXPECT_EQ(AccelerationRow(1), (MouseAccelerationRow{7, 0, 1}));
    EXPECT_EQ(AccelerationRow(2), (MouseAccelerationRow{4, 6, 2}));
    EXPECT_EQ(AccelerationRow(3), (MouseAccelerationRow{4, 0, 1}));
    for (int bad : {-1, 4, 7, 65535})
        EXPECT_FALSE(AccelerationRow(bad).has_value()) << bad;
    const std::pair<int, int> clamps[] = {{0, 200}, {199, 200}, {200, 200}, {550, 550}, {900, 900}, {901, 900},
                                          {65535, 900}, {-5, 200}};
    for (auto [in, out] : clamps)
        EXPECT_EQ(ClampDoubleClickTime(in), out) << in;
    EXPECT_DOUBLE_EQ(GnomePointerSpeed(10), 0.0);
    EXPECT_DOUBLE_EQ(GnomePointerSpeed(1), -0.9);
    EXPECT_DOUBLE_EQ(GnomePointerSpeed(20), 1.0);
    EXPECT_DOUBLE_EQ(GnomePointerSpeed(40), 1.0);
}

TEST(SystemMouseSettings, GSettingsHoldSpeedProfileAndDoubleClick)
{
    // GIO's in-memory backend: nothing of the user's desktop is touched.
    g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
    auto gnome = MakeGnomeMouseSettings();
    if (!gnome)
        GTEST_SKIP() << "schema org.gnome.desktop.peripherals.mouse not installed";
    EXPECT_TRUE(gnome->SetMouseSpeed(15));
    EXPECT_TRUE(gnome->SetMouse(*AccelerationRow(0)));
    EXPECT_TRUE(gnome->SetDoubleClickTime(550));
    EXPECT_FALSE(gnome->SetWheelScrollLines(3));

    GSettings *s = g_settings_new("org.gnome.desktop.peripherals.mouse");
    EXPECT_DOUBLE_EQ(g_settings_get_double(s, "speed"), 0.5);
    gchar *profile = g_settings_get_string(s, "accel-profile");
    EXPECT_STREQ(profile, "flat");
    g_free(profile);
    EXPECT_EQ(g_settings_get_int(s, "double-click"), 550);
    EXPECT_TRUE(gnome->SetMouse(*AccelerationRow(2)));
    profile = g_settings_get_string(s, "accel-profile");
    EXPECT_STREQ(profile, "adaptive");
    g_free(profile);
    g_object_unref(s);
}

using hkt::testfixtures::PrivateXServer;

TEST(SystemMouseSettings, X11PointerControlFollowsTheAccelerationRow)
{
    PrivateXServer server;
    if (server.Name().isEmpty())
        GTEST_SKIP() << "no Xvfb";
    auto x11 = MakeX11MouseSettings(server.Name());
    ASSERT_TRUE(x11);
    struct Case {
        int acceleration;
        int numerator, threshold;
    };
    const Case cases[] = {{1, 2, 7}, {2, 4, 4}, {3, 2, 4}, {0, 1, 0}};
    ::Display *d = XOpenDisplay(server.Name().toLatin1().constData());
    ASSERT_TRUE(d);
    for (const Case &c : cases) {
        EXPECT_TRUE(x11->SetMouse(*AccelerationRow(c.acceleration)));
        int num = -1, den = -1, threshold = -1;
        XGetPointerControl(d, &num, &den, &threshold);
        EXPECT_EQ(num, c.numerator) << c.acceleration;
        EXPECT_EQ(den, 1) << c.acceleration;
        if (c.acceleration != 0)
            EXPECT_EQ(threshold, c.threshold) << c.acceleration;
    }
    XCloseDisplay(d);
    // Speed, wheel lines and double-click time are not the server's.
    EXPECT_FALSE(x11->SetMouseSpeed(10));
    EXPECT_FALSE(x11->SetWheelScrollLines(3));
    EXPECT_FALSE(x11->SetDoubleClickTime(500));
}

TEST(SystemMouseSettings, WhatNoBackendHoldsIsReportedNotTaken)
{
    std::vector<std::unique_ptr<SystemMouseSettings>> none;
    DesktopMouseSettings desktop(std::move(none));
    EXPECT_FALSE(desktop.SetMouseSpeed(10));
    EXPECT_FALSE(desktop.SetMouseSpeed(11)); // logged once only
    EXPECT_FALSE(desktop.SetMouse(*AccelerationRow(1)));
}
