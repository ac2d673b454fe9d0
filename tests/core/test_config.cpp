#include "core/pubunit_device_config.h"
#include "platform/IniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

class ConfigFile : public ::testing::Test {
protected:
    QString Write(const QByteArray &content)
    {
        const QString path = dir.filePath(QStringLiteral("config.ini"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(ConfigFile, MissingFileGivesEveryDefault)
{
    TOptionsFromConfigFile o;
    LoadOptionsFromConfigFile(o, dir.filePath(QStringLiteral("none.ini")));
    EXPECT_EQ(o.ProfileRegFolder, QStringLiteral("software\\HKT75GM"));
    EXPECT_EQ(o.ProfileFolder, QStringLiteral("Profile"));
    EXPECT_EQ(o.ProfileNamePrefix, QStringLiteral("Profile"));
    EXPECT_EQ(o.ProfileMacroFolder, QStringLiteral("MacroDB"));

    TOtherConfig c;
    c.ShowNumLock = 7;
    c.HelpFile = {{QStringLiteral("old"), QStringLiteral("x")}};
    LoadOtherConfig(c, dir.filePath(QStringLiteral("none.ini")));
    EXPECT_EQ(c.Nologo, 0);
    EXPECT_EQ(c.OfficialWebsite, QStringLiteral("http://"));
    EXPECT_EQ(c.helppagestyle, QStringLiteral("1"));
    EXPECT_TRUE(c.HelpFile.isEmpty());   // replaced, not appended to
    EXPECT_EQ(c.ShowNumLock, 7);         // lock-key fields are not written
}

TEST_F(ConfigFile, OptionsAreReadOrRefused)
{
    struct Case { const char *key; const char *value; QString TOptionsFromConfigFile::*field; const char *expected; };
    // The value store holds key names of up to 255 encoded characters; "é"
    // takes six ("%C3%A9"), so 43 of them are already too long.
    const std::string longest(255, 'k'), tooLong(256, 'k'), tooLongInPart = "Vendor\\" + tooLong;
    const std::string longestStored = "software\\" + longest;
    std::string accents;
    for (int i = 0; i < 43; ++i)
        accents += "\xC3\xA9";
    const Case cases[] = {
        {"ProfileRegFolder", longest.c_str(), &TOptionsFromConfigFile::ProfileRegFolder, longestStored.c_str()},
        {"ProfileRegFolder", tooLong.c_str(), &TOptionsFromConfigFile::ProfileRegFolder, "software\\HKT75GM"},
        {"ProfileRegFolder", tooLongInPart.c_str(), &TOptionsFromConfigFile::ProfileRegFolder, "software\\HKT75GM"},
        {"ProfileRegFolder", accents.c_str(), &TOptionsFromConfigFile::ProfileRegFolder, "software\\HKT75GM"},
        {"ProfileRegFolder", "MyKey", &TOptionsFromConfigFile::ProfileRegFolder, "software\\MyKey"},
        {"ProfileRegFolder", "Vendor\\Mouse", &TOptionsFromConfigFile::ProfileRegFolder, "software\\Vendor\\Mouse"},
        {"ProfileRegFolder", "..\\evil", &TOptionsFromConfigFile::ProfileRegFolder, "software\\HKT75GM"},
        {"ProfileRegFolder", "a/b", &TOptionsFromConfigFile::ProfileRegFolder, "software\\HKT75GM"},
        {"ProfileRegFolder", "a\\\\b", &TOptionsFromConfigFile::ProfileRegFolder, "software\\HKT75GM"},
        {"ProfileRegFolder", "", &TOptionsFromConfigFile::ProfileRegFolder, "software\\HKT75GM"},
        {"profileFolder", "Mice", &TOptionsFromConfigFile::ProfileFolder, "Mice"},
        {"profileFolder", "../../etc", &TOptionsFromConfigFile::ProfileFolder, "Profile"},
        {"profileFolder", "a\\b", &TOptionsFromConfigFile::ProfileFolder, "Profile"},
        {"profileFolder", "", &TOptionsFromConfigFile::ProfileFolder, "Profile"},
        {"profileMacroFolder", "Macros", &TOptionsFromConfigFile::ProfileMacroFolder, "Macros"},
        {"profileMacroFolder", "..", &TOptionsFromConfigFile::ProfileMacroFolder, "MacroDB"},
        {"profilePrefix", "Game", &TOptionsFromConfigFile::ProfileNamePrefix, "Game"},
        {"profilePrefix", "ExactlyFifteen_", &TOptionsFromConfigFile::ProfileNamePrefix, "ExactlyFifteen_"},
        // Sixteen characters would cut ".pfd" or make the five names collide.
        {"profilePrefix", "SixteenCharacter", &TOptionsFromConfigFile::ProfileNamePrefix, "Profile"},
        {"profilePrefix", "a/b", &TOptionsFromConfigFile::ProfileNamePrefix, "Profile"},
    };
    for (const Case &c : cases) {
        const QString path = Write(QByteArray("[OPTIONS]\n") + c.key + "=" + c.value + "\n");
        TOptionsFromConfigFile o;
        LoadOptionsFromConfigFile(o, path);
        EXPECT_EQ(o.*c.field, QString::fromUtf8(c.expected)) << c.key << "=" << c.value;
    }
}

TEST_F(ConfigFile, OtherConfigAndHelpLists)
{
    const QString path = Write("[OtherConfig]\nNoLogo=0x1\nOfficialWebsite=https://x.test/a?b=c\nhelppagestyle=2\n"
                               "[HelpLinks]\n0409=\n0804=help.pdf\n0404=https://x.test/zh\n0804=second\n"
                               "[HelpFiles]\n0409=manual.pdf\n");
    TOtherConfig c;
    LoadOtherConfig(c, path);
    EXPECT_EQ(c.Nologo, 1);
    EXPECT_EQ(c.OfficialWebsite, QStringLiteral("https://x.test/a?b=c"));
    EXPECT_EQ(c.helppagestyle, QStringLiteral("2"));
    const TNameValueList links{{QStringLiteral("0804"), QStringLiteral("help.pdf")},
                               {QStringLiteral("0404"), QStringLiteral("https://x.test/zh")}};
    EXPECT_EQ(c.HelpLinks, links);
    EXPECT_EQ(c.HelpFile, (TNameValueList{{QStringLiteral("0409"), QStringLiteral("manual.pdf")}}));

    LoadOtherConfig(c, Write("[OtherConfig]\nNoLogo=yes\n"));
    EXPECT_EQ(c.Nologo, 0);
    EXPECT_EQ(c.helppagestyle, QStringLiteral("1"));
    EXPECT_TRUE(c.HelpLinks.isEmpty());
}

// The shipped file must give the built-in defaults of the options and keep its include
// list empty.
TEST(ShippedConfig, GivesTheDefaults)
{
    const QString path = QStringLiteral(HKT75_SOURCE_DIR "/data/config.ini");
    ASSERT_TRUE(QFile::exists(path));
    TOptionsFromConfigFile o;
    LoadOptionsFromConfigFile(o, path);
    EXPECT_EQ(o.ProfileRegFolder, QStringLiteral("software\\HKT75GM"));
    EXPECT_EQ(o.ProfileFolder, QStringLiteral("Profile"));
    EXPECT_EQ(o.ProfileNamePrefix, QStringLiteral("Profile"));
    EXPECT_EQ(o.ProfileMacroFolder, QStringLiteral("MacroDB"));
    TOtherConfig c;
    LoadOtherConfig(c, path);
    EXPECT_EQ(c.helppagestyle, QStringLiteral("1"));
    const hkt::platform::IniFile ini(path);
    for (const char *s : {"options", "OtherConfig", "HelpFiles", "HelpLinks", "IncludeHIDDeviceList"})
        EXPECT_TRUE(ini.SectionExists(QString::fromLatin1(s))) << s;
    EXPECT_EQ(ini.ReadString(QStringLiteral("IncludeHIDDeviceList"), QStringLiteral("id1"), QString()), QString());
}

} // namespace
