// kwlocal_sources, the way back from a kw.local the editor saved to the text
// sources in data/lang/: building those sources again gives a file that
// translates every text as the saved one does.
#include "TranslateFixture.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using namespace translate_test;

namespace {

const QString kBin = QStringLiteral(HKT75_BIN_DIR);
const QString kTools = QStringLiteral(HKT75_BIN_DIR "/../tools/");
const QString kLangSources = QStringLiteral(HKT75_SOURCE_DIR "/data/lang");

int RunTool(const QString &tool, const QStringList &args, QString *err = nullptr)
{
    QProcess p;
    p.start(kTools + tool, args);
    EXPECT_TRUE(p.waitForFinished(30000));
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A copy of data/lang to work on.
void CopySources(const QTemporaryDir &dir)
{
    const QDir from(kLangSources);
    for (const QString &name : from.entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(from.filePath(name), dir.filePath(name))) << name.toStdString();
}

// Every text of a list as the translation function gives it, per language:
// what the programs see of a file.
QList<QPair<QString, QStringList>> Meaning(const TkwLangData &data)
{
    QList<QPair<QString, QStringList>> result;
    for (const TkwLangEntry &lang : data.Resources) {
        const QHash<QString, QString> translations = kwTranslationsBySource(lang.Lines);
        QStringList shown;
        for (const QString &source : data.Original) {
            const QString t = translations.value(source);
            shown << (t.isEmpty() ? source : t);
        }
        result.append({lang.ID, shown});
    }
    return result;
}

} // namespace

TEST(kwlocalSources, TheShippedFileGivesBackTheSourcesUnchanged)
{
    QTemporaryDir dir;
    CopySources(dir);
    QString err;
    ASSERT_EQ(RunTool("kwlocal_sources", {kBin + "/kw.local", dir.path()}, &err), 0) << err.toStdString();
    const QDir from(kLangSources);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), from.entryList(QDir::Files));
    for (const QString &name : from.entryList(QDir::Files))
        EXPECT_EQ(ReadBytes(dir.filePath(name)), ReadBytes(from.filePath(name))) << name.toStdString();
}

TEST(kwlocalSources, WhatTheEditorSavedBuildsBackToTheSameTranslations)
{
    const TkwLangData shipped = kwLoadLangFile(kBin + "/kw.local").value();
    TkwLanguageDesignModel m;
    m.Load(shipped);
    const QString first = m.Sources().first();
    ASSERT_TRUE(m.SetTranslation(1, 1, QString::fromUtf8("新的翻译")));
    ASSERT_TRUE(m.AddConstText("A TEXT ADDED IN THE EDITOR"));
    ASSERT_TRUE(m.DeleteConstText(int(m.Sources().indexOf(first))));
    const int de = m.AddLanguage(SystemLanguageIndex("0407"));
    ASSERT_TRUE(m.SetTranslation(de, 0, "Deutsch"));
    ASSERT_TRUE(m.SetTranslation(2, 2, "")); // a translation cleared: the text stays as it is

    QTemporaryDir dir;
    const QString saved = dir.filePath("saved.local");
    ASSERT_TRUE(m.SaveToFile(saved));
    QTemporaryDir sources;
    CopySources(sources);
    QString err;
    ASSERT_EQ(RunTool("kwlocal_sources", {saved, sources.path()}, &err), 0) << err.toStdString();
    const QString rebuilt = dir.filePath("rebuilt.local");
    ASSERT_EQ(RunTool("kwlocal_build", {sources.path(), rebuilt}, &err), 0) << err.toStdString();

    const TkwLangData a = kwLoadLangFile(saved).value();
    const TkwLangData b = kwLoadLangFile(rebuilt).value();
    EXPECT_EQ(a.Original, b.Original);
    EXPECT_EQ(Meaning(a), Meaning(b));
    EXPECT_EQ(b.Resources.last().ID, "0407");

    // The layout of the existing files stays: the heading and the groups.
    const QString english = QString::fromUtf8(ReadBytes(sources.filePath("0409.txt")));
    const QString original = QString::fromUtf8(ReadBytes(kLangSources + "/0409.txt"));
    EXPECT_EQ(english.section(u'\n', 0, 1), original.section(u'\n', 0, 1));
    EXPECT_FALSE(english.contains(u'\n' + first + u'\n'));
    EXPECT_TRUE(english.endsWith("# Added in the translation editor\nA TEXT ADDED IN THE EDITOR\n"));
    EXPECT_TRUE(QFile::exists(sources.filePath("0407.txt")));
}

TEST(kwlocalSources, RefusesWhatTheTextSourcesCannotCarryAndWritesNothing)
{
    const struct {
        const char *what;
        TkwLangData data;
        const char *message;
    } cases[] = {
        {"unknown identifier", Fixture(), "\"CH\""},
        {"TAB in a translation", {{"Apply"}, {{"0409", {"Apply=A\tB"}}}}, "TAB"},
        {"leading #", {{"#Apply"}, {{"0409", {}}}}, "leading"},
        {"no language", {{"Apply"}, {}}, "no language"},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        QTemporaryDir sources;
        CopySources(sources);
        const QString file = dir.filePath("kw.local");
        ASSERT_TRUE(kwSaveLangFile(file, c.data)) << c.what;
        QString err;
        EXPECT_EQ(RunTool("kwlocal_sources", {file, sources.path()}, &err), 1) << c.what;
        EXPECT_TRUE(err.contains(c.message)) << c.what << ": " << err.toStdString();
        for (const QString &name : QDir(kLangSources).entryList(QDir::Files))
            EXPECT_EQ(ReadBytes(sources.filePath(name)), ReadBytes(kLangSources + "/" + name)) << c.what;
    }
}
