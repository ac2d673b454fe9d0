// The shipped kw.local (built from data/lang) and the tool that builds it.
#include "config/ui/kwLanguage.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kBin = QStringLiteral(HKT75_BIN_DIR);
const QString kTool = QStringLiteral(HKT75_BIN_DIR "/../tools/kwlocal_build");

TkwLangData Shipped()
{
    QString why;
    const auto data = kwLoadLangFile(kBin + "/kw.local", &why);
    EXPECT_TRUE(data) << why.toStdString();
    return data.value_or(TkwLangData());
}

// Runs the tool on a folder of text sources; the exit code and what it wrote.
int RunTool(const QTemporaryDir &dir, const QString &out, QString *err = nullptr)
{
    QProcess p;
    p.start(kTool, {dir.path(), out});
    EXPECT_TRUE(p.waitForFinished(30000));
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

void Write(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

TEST(kwLanguageData, ShipsEnglishSimplifiedAndTraditionalChineseInThatOrder)
{
    const TkwLangData data = Shipped();
    ASSERT_EQ(data.Resources.size(), 3);
    EXPECT_EQ(data.Resources[0].ID, "0409");
    EXPECT_EQ(data.Resources[1].ID, "0804");
    EXPECT_EQ(data.Resources[2].ID, "0404");
    // Every source has exactly one non-empty translation in every language.
    for (const TkwLangEntry &lang : data.Resources) {
        QStringList sources;
        for (const QString &line : lang.Lines) {
            bool has = false;
            sources << kwLineSource(line, &has);
            EXPECT_TRUE(has && !kwLineTranslation(line).isEmpty()) << line.toStdString();
        }
        // Lines sort by "source=", which may order two sources differently than alone.
        EXPECT_TRUE(kwSortedUnique(sources) == data.Original && sources.size() == data.Original.size())
            << lang.ID.toStdString();
    }
}

TEST(kwLanguageData, CarriesTheTextsTheWindowsTranslate)
{
    const TkwLangData data = Shipped();
    QStringList needed = CONSTANT_TEXTS;
    needed << "GAMING MOUSE CONFIG" << "GAMING MOUSE DRIVER" << "GAMING MOUSE MONITOR" << "Config"
           << "About" << "Exit" << "MACRO" << "MACRO MANAGER" << "X" << "Y" << "WARNING" << "WARNING!"
           << "OK" << "CANCEL" << "AT LEAST ONE \"CLICK\" FUNCTION TO BE RETAINED."
           << "ARE YOU SURE YOU WANT TO RESET ALL PROFILES BACK TO FACTORY SETTINGS  ?"
           << "Backward(Mouse) " << "Mouse Left Click";
    for (const QString &text : needed)
        EXPECT_TRUE(data.Original.contains(text)) << text.toStdString();
}

TEST(kwLanguageData, ChineseTranslationsUseTheirOwnScript)
{
    TkwLanguage lang(nullptr, kBin);
    lang.SetLang("0804");
    EXPECT_EQ(Translate("APPLY"), QString::fromUtf8("应用"));
    EXPECT_EQ(Translate("Exit"), QString::fromUtf8("退出"));
    lang.SetLang("0404");
    EXPECT_EQ(Translate("APPLY"), QString::fromUtf8("套用"));
    EXPECT_EQ(Translate("MACRO"), QString::fromUtf8("巨集"));

    // Characters that exist in one script only: a slip between the two files shows here.
    const QString simplifiedOnly = QString::fromUtf8("设标键录删览复盘择钮鸟发项据这动态时间总连");
    const QString traditionalOnly = QString::fromUtf8("設標鍵錄刪覽複盤擇鈕鳥發項據這動態時間總連");
    const TkwLangData data = Shipped();
    for (const QString &line : data.Resources[1].Lines)
        for (QChar c : kwLineTranslation(line))
            EXPECT_FALSE(traditionalOnly.contains(c) && !simplifiedOnly.contains(c)) << line.toStdString();
    for (const QString &line : data.Resources[2].Lines)
        for (QChar c : kwLineTranslation(line))
            EXPECT_FALSE(simplifiedOnly.contains(c) && !traditionalOnly.contains(c)) << line.toStdString();
}

TEST(kwLanguageData, ToolBuildsTheStreamFromTextSources)
{
    QTemporaryDir dir;
    Write(dir, "languages", "# order\n0409\n0804\n");
    Write(dir, "0409.txt", "# sources\nApply\nExit\n");
    Write(dir, "0804.txt", "Exit\t\xE9\x80\x80\xE5\x87\xBA\r\nApply\t\xE5\xBA\x94\xE7\x94\xA8\n");
    const QString out = dir.filePath("kw.local");
    QString err;
    ASSERT_EQ(RunTool(dir, out, &err), 0) << err.toStdString();
    const TkwLangData expected{{"Apply", "Exit"},
                               {{"0409", {"Apply=Apply", "Exit=Exit"}},
                                {"0804", kwSortedUnique({QString::fromUtf8("Apply=应用"),
                                                         QString::fromUtf8("Exit=退出")})}}};
    EXPECT_EQ(kwLoadLangFile(out).value(), expected);
}

TEST(kwLanguageData, ToolStopsOnFaultyTextSourcesAndKeepsTheOutput)
{
    const struct {
        const char *what;
        QByteArray translation;
        const char *message;
    } cases[] = {
        {"missing translation", "Apply\tA\n", "no translation for: Exit"},
        {"unknown source", "Apply\tA\nExit\tE\nOther\tO\n", "0804.txt:3: not a source text"},
        {"source twice", "Apply\tA\nApply\tB\nExit\tE\n", "0804.txt:2: source text given twice"},
        {"two tabs", "Apply\tA\tB\nExit\tE\n", "0804.txt:1: more than one TAB"},
        {"empty translation", "Apply\t\nExit\tE\n", "0804.txt:1: empty translation"},
        {"not UTF-8", "Apply\t\xFF\nExit\tE\n", "not valid UTF-8"},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        Write(dir, "languages", "0409\n0804\n");
        Write(dir, "0409.txt", "Apply\nExit\n");
        Write(dir, "0804.txt", c.translation);
        const QString out = dir.filePath("kw.local");
        Write(dir, "kw.local", "previous");
        QString err;
        EXPECT_EQ(RunTool(dir, out, &err), 1) << c.what;
        EXPECT_TRUE(err.contains(c.message)) << c.what << ": " << err.toStdString();
        QFile f(out);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "previous") << c.what;
    }

    QTemporaryDir dir;
    Write(dir, "languages", "0409\n");
    Write(dir, "0409.txt", "a=b\n");
    QString err;
    EXPECT_EQ(RunTool(dir, dir.filePath("kw.local"), &err), 1);
    EXPECT_TRUE(err.contains("0409.txt:1:")) << err.toStdString();
}
