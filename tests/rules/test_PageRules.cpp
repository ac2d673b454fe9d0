// The rules of the DPI, light and information pages without widgets.

#include "config/app/DPILevels.h"
#include "config/app/HelpAndLanguage.h"
#include "config/app/LightColors.h"

#include "core/FactoryDefaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<TMouseProfileInfo> FactoryProfile()
{
    auto p = std::make_unique<TMouseProfileInfo>();
    RestoreProfileDefaults(*p, 0);
    return p;
}

TEST(DPILevels, TurningLevelsOffAndOn)
{
    auto p = FactoryProfile();
    TMOUSECONFIGINFO &c = p->ConfigInfo;
    c.CurrentCPIIndex = 2;
    ASSERT_TRUE(SetCPILevelEnabled(c, 0, false));
    EXPECT_EQ(c.CPIState[0].Enabled, 0);
    EXPECT_EQ(c.CurrentCPIIndex, 1) << "the first enabled level becomes current";
    ASSERT_TRUE(SetCPILevelEnabled(c, 0, true));
    EXPECT_EQ(c.CurrentCPIIndex, 0);

    // Only level 4 on: it stays on and current.
    for (int i = 0; i < 5; ++i)
        c.CPIState[i].Enabled = i == 3 ? 1 : 0;
    // Level 1, now off, is still current: the refused click makes level 4
    // current all the same.
    ASSERT_EQ(c.CurrentCPIIndex, 0);
    EXPECT_FALSE(SetCPILevelEnabled(c, 3, false));
    EXPECT_EQ(c.CPIState[3].Enabled, 1);
    EXPECT_EQ(c.CurrentCPIIndex, 3);
    EXPECT_EQ(CPILevelStyle(c, 3), QStringLiteral("MYDPIBTNCURRENTA"));
    EXPECT_EQ(CPILevelStyle(c, 0), QStringLiteral("MYDPIBTN"));
    c.CurrentCPIIndex = 1;
    EXPECT_EQ(CPILevelStyle(c, 3), QStringLiteral("MYDPIBTNA"));
    // A level outside the five changes nothing.
    EXPECT_FALSE(SetCPILevelEnabled(c, 7, false));
    EXPECT_EQ(c.CurrentCPIIndex, 1);
}

TEST(DPILevels, OnlyLevelsBelowCPILevelTakePart)
{
    auto p = FactoryProfile();
    TMOUSECONFIGINFO &c = p->ConfigInfo;
    c.CPILevel = 2;
    c.CPIState[0].Enabled = 1;
    c.CPIState[1].Enabled = 0;
    EXPECT_FALSE(HasOtherEnabledCPILevel(c, 0)) << "levels 2..4 are on but not in use";
    EXPECT_FALSE(SetCPILevelEnabled(c, 0, false));
    c.CPILevel = 60000; // a stored count past the table
    EXPECT_EQ(CPILevelsInUse(c), 5);
    EXPECT_TRUE(HasOtherEnabledCPILevel(c, 0));
    EXPECT_FALSE(SetCPILevelEnabled(c, 5, true));
    EXPECT_FALSE(SetCPILevelEnabled(c, -1, true));
}

TEST(DPILevels, LinkXY)
{
    auto p = FactoryProfile();
    TMOUSECONFIGINFO &c = p->ConfigInfo;
    c.UseDiffentXY[1] = 1;
    ASSERT_TRUE(SetCPIValue(c, 1, 0, 3200));
    EXPECT_EQ(c.CPIState[1].X, 3200);
    EXPECT_EQ(c.CPIState[1].Y, 3200);
    c.UseDiffentXY[1] = 0;
    ASSERT_TRUE(SetCPIValue(c, 1, 1, 800));
    EXPECT_EQ(c.CPIState[1].X, 3200);
    EXPECT_EQ(c.CPIState[1].Y, 800);
    ASSERT_TRUE(SetCPIValue(c, 1, 0, 20000));
    EXPECT_EQ(c.CPIState[1].X, 16400);
    EXPECT_FALSE(SetCPIValue(c, 5, 0, 800));
    EXPECT_FALSE(SetCPIValue(c, 1, 2, 800));
}

TEST(LightColors, PaletteAndPreviewBytes)
{
    ASSERT_EQ(LIGHT_PALETTE.size(), 33u);
    EXPECT_STREQ(LIGHT_PALETTE[1].Name, "Rectangle37");
    EXPECT_EQ(LIGHT_PALETTE[1].Color, 0xFFFE0000u);
    EXPECT_STREQ(LIGHT_PALETTE[32].Name, "Rectangle14");
    EXPECT_EQ(LIGHT_PALETTE[32].Row, 4);

    TLEDCONFIG light{0, 0, 0, 2, 3, 9};
    SetLightColor(light, 0xFFFE0000);
    const TDeviceLEDBlock b = LivePreviewBlock(light);
    EXPECT_EQ(b.R, 0x01);
    EXPECT_EQ(b.G, 0xFF);
    EXPECT_EQ(b.B, 0xFF);
    EXPECT_EQ(b.BRIGHT_LEVEL, 2);
    EXPECT_EQ(b.BREATH_SPEED, 3);
    EXPECT_EQ(LightColorOf(light), 0xFFFE0000u);
}

TEST(LightColors, BreathingRadios)
{
    EXPECT_EQ(BreathTagOfSpeed(0), 0);
    EXPECT_EQ(BreathTagOfSpeed(6), 1);
    EXPECT_EQ(BreathTagOfSpeed(3), 2);
    EXPECT_EQ(BreathTagOfSpeed(1), 3);
    EXPECT_FALSE(BreathTagOfSpeed(2));
    EXPECT_FALSE(BrightTagOfLevel(7));
    EXPECT_EQ(BrightTagOfLevel(3), 3);
}

TEST(HelpAndLanguage, HelpValueByLanguage)
{
    const TNameValueList list = {{QStringLiteral("0804"), QStringLiteral("cn.pdf")},
                                 {QStringLiteral("0409"), QStringLiteral("en.pdf")}};
    EXPECT_EQ(HelpValueForLanguage(list, QStringLiteral("0804")), QStringLiteral("cn.pdf"));
    EXPECT_EQ(HelpValueForLanguage(list, QStringLiteral("0404")), QStringLiteral("en.pdf"));
    EXPECT_EQ(HelpValueForLanguage(list, QString()), QStringLiteral("en.pdf"));
    EXPECT_TRUE(HelpValueForLanguage({{QStringLiteral("0804"), QStringLiteral("x")}}, QStringLiteral("0404")).isEmpty());
}

TEST(HelpAndLanguage, HelpTargets)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Help")));
    QFile f(dir.path() + QStringLiteral("/Help/Manual.pdf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    using K = THelpTarget::Kind;
    EXPECT_EQ(ResolveHelpTarget(dir.path(), QString()).What, K::None);
    EXPECT_EQ(ResolveHelpTarget(dir.path(), QStringLiteral("  ")).What, K::None);
    const THelpTarget file = ResolveHelpTarget(dir.path(), QStringLiteral("help\\manual.pdf"));
    EXPECT_EQ(file.What, K::File);
    EXPECT_EQ(file.Target, dir.path() + QStringLiteral("/Help/Manual.pdf"));
    EXPECT_EQ(ResolveHelpTarget(dir.path(), QStringLiteral("https://example.com/help")).What, K::Address);
    EXPECT_EQ(ResolveHelpTarget(dir.path(), QStringLiteral("mailto:help@example.com")).What, K::Address);
    EXPECT_EQ(ResolveHelpTarget(dir.path(), QStringLiteral("www.example.com")).What, K::Address);
    const THelpTarget missing = ResolveHelpTarget(dir.path(), QStringLiteral("other.pdf"));
    EXPECT_EQ(missing.What, K::MissingFile);
    EXPECT_EQ(missing.Target, QStringLiteral("other.pdf"));
    EXPECT_EQ(ResolveHelpTarget(dir.path(), QStringLiteral("C:\\docs\\manual.pdf")).What, K::MissingFile);
}

TEST(HelpAndLanguage, LanguageBoxKeepsFilePositions)
{
    QList<TkwLangEntry> langs = {{QStringLiteral("0409"), {}}, {QStringLiteral("7777"), {}},
                                 {QStringLiteral("0804"), {}}};
    const std::vector<TLanguageBoxRow> rows = LanguageBoxRows(langs);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Position, 0);
    EXPECT_EQ(rows[1].Position, 2);
    EXPECT_FALSE(rows[1].Name.isEmpty());
    EXPECT_EQ(LanguageBoxRowOfPosition(rows, 2), 1);
    EXPECT_EQ(LanguageBoxRowOfPosition(rows, 1), -1);
    EXPECT_EQ(LanguageBoxRowOfPosition(rows, 255), -1);
}

} // namespace
