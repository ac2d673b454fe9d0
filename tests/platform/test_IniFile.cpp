#include "platform/IniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using hkt::platform::IniFile;

namespace {

struct ReadCase {
    const char *name;
    QByteArray content;
    const char *section;
    const char *key;
    const char *expected;   // with default "DEF"
};

TEST(IniFile, WindowsRules)
{
    const ReadCase cases[] = {
        {"plain", "[options]\nProfileRegFolder=MyKey\n", "options", "ProfileRegFolder", "MyKey"},
        {"section case", "[OPTIONS]\nkey=v\n", "options", "key", "v"},
        {"key case", "[options]\nPROFILEREGFOLDER=x\n", "Options", "profileRegFolder", "x"},
        {"first key wins", "[s]\nk=first\nk=second\n", "s", "k", "first"},
        {"first key wins any case", "[s]\nK=first\nk=second\n", "s", "k", "first"},
        {"first section wins", "[s]\na=1\n[S]\nk=later\n", "s", "k", "DEF"},
        {"backslash and ampersand intact", "[IncludeHIDDeviceList]\nid1=HID\\VID_1234&PID_5678\n",
         "IncludeHIDDeviceList", "id1", "HID\\VID_1234&PID_5678"},
        {"percent and comma intact", "[s]\nk=a%20b,c;d\n", "s", "k", "a%20b,c;d"},
        {"blanks trimmed", "[s]\n  k  =  v w  \n", "s", "k", "v w"},
        {"quotes stripped", "[s]\nk=\" v \"\n", "s", "k", " v "},
        {"single quotes stripped", "[s]\nk='v'\n", "s", "k", "v"},
        {"unmatched quote kept", "[s]\nk=\"v\n", "s", "k", "\"v"},
        {"empty value", "[s]\nk=\n", "s", "k", ""},
        {"equals in value", "[s]\nk=a=b\n", "s", "k", "a=b"},
        {"comment line", "[s]\n;k=x\nk=y\n", "s", "k", "y"},
        {"missing key", "[s]\nother=1\n", "s", "k", "DEF"},
        {"missing section", "[t]\nk=1\n", "s", "k", "DEF"},
        {"key before any section", "k=1\n[s]\n", "s", "k", "DEF"},
        {"CRLF", "[s]\r\nk=v\r\n", "s", "k", "v"},
        {"CR only", "[s]\rk=v\r", "s", "k", "v"},
        {"UTF-8 BOM", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", "v"},
        {"UTF-8 text", "[s]\nk=Gr\xC3\xBC\xC3\x9F" "e\n", "s", "k", "Gr\u00FC\u00DF" "e"},
        {"UTF-16LE BOM", QByteArray("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0", 18), "s", "k", "v"},
        {"section name blanks", "[ s ]\nk=v\n", "s", "k", "v"},
        {"no closing bracket", "[s\nk=v\n", "s", "k", "v"},
        {"last line without newline", "[s]\nk=v", "s", "k", "v"},
    };
    for (const ReadCase &c : cases) {
        const IniFile ini = IniFile::FromBytes(c.content);
        EXPECT_EQ(ini.ReadString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QStringLiteral("DEF")),
                  QString::fromUtf8(c.expected))
            << c.name;
    }
}

TEST(IniFile, Integers)
{
    struct Case { const char *value; int expected; };
    const Case cases[] = {
        {"0x1", 1}, {"$10", 16}, {"0X1f", 31}, {"12", 12}, {" 7 ", 7}, {"-3", -3}, {"yes", -99},
        {"", -99}, {"0x", -99}, {"1.5", -99}, {"12abc", -99}, {"99999999999", -99}, {"$FFFFFFFF", -1},
        {"+5", -99}, {"- 5", -99}, {"$0x10", -99},
    };
    for (const Case &c : cases) {
        const IniFile ini = IniFile::FromBytes(QByteArray("[OtherConfig]\nNoLogo=") + c.value + "\n");
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("OtherConfig"), QStringLiteral("nologo"), -99), c.expected) << c.value;
    }
}

TEST(IniFile, SectionKeysAndValuesInFileOrder)
{
    const IniFile ini = IniFile::FromBytes("[HelpLinks]\n0804=help.pdf\n0409=\n0404=b\n0804=dup\nBAD\n[other]\nx=1\n");
    EXPECT_EQ(ini.SectionKeys(QStringLiteral("helplinks")),
              (QStringList{QStringLiteral("0804"), QStringLiteral("0409"), QStringLiteral("0404")}));
    const auto values = ini.SectionValues(QStringLiteral("HELPLINKS"));
    ASSERT_EQ(values.size(), 3);
    EXPECT_EQ(values[0], qMakePair(QStringLiteral("0804"), QStringLiteral("help.pdf")));
    EXPECT_EQ(values[1], qMakePair(QStringLiteral("0409"), QString()));
    EXPECT_TRUE(ini.SectionExists(QStringLiteral("Other")));
    EXPECT_FALSE(ini.SectionExists(QStringLiteral("none")));
    EXPECT_TRUE(ini.ValueExists(QStringLiteral("helplinks"), QStringLiteral("0409")));
    EXPECT_TRUE(ini.SectionKeys(QStringLiteral("none")).isEmpty());
}

TEST(IniFile, FilesThatCannotBeReadGiveDefaults)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto def = [](const IniFile &ini) {
        return ini.ReadString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("DEF"));
    };

    const IniFile missing(dir.filePath(QStringLiteral("none.ini")));
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(def(missing), QStringLiteral("DEF"));

    EXPECT_FALSE(IniFile(dir.path()).IsLoaded());   // a folder
    EXPECT_FALSE(IniFile(QString()).IsLoaded());

    // A FIFO must not block the reader.
    const QString fifo = dir.filePath(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(IniFile(fifo).IsLoaded());

    const QString big = dir.filePath(QStringLiteral("big.ini"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[s]\nk=v\n");
        f.write(QByteArray(IniFile::kMaxFileSize, ' '));
    }
    EXPECT_FALSE(IniFile(big).IsLoaded());
    EXPECT_EQ(def(IniFile(big)), QStringLiteral("DEF"));

    const QString good = dir.filePath(QStringLiteral("config.ini"));
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[S]\r\nK=v\r\n");
    }
    const IniFile ini(good);
    EXPECT_TRUE(ini.IsLoaded());
    EXPECT_EQ(def(ini), QStringLiteral("v"));
}

} // namespace
