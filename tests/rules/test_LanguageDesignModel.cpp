// The translation editor's commands on a small language list, without a window.
#include "translate/TranslateFixture.h"

#include <QDir>
#include <QTemporaryDir>

#include <functional>

using namespace translate_test;

namespace {

TkwLanguageDesignModel Loaded(const TkwLangData &data = Fixture())
{
    TkwLanguageDesignModel m;
    m.Load(data);
    return m;
}

int Row(const TkwLanguageDesignModel &m, const QString &source)
{
    return int(m.Sources().indexOf(source));
}

QStringList TabIDs(const TkwLanguageDesignModel &m)
{
    QStringList ids;
    for (const TkwTranslateTab &t : m.Tabs())
        ids << t.ID;
    return ids;
}

} // namespace

TEST(LanguageDesignModel, LoadMakesOneTabPerLanguageInListOrderKeepingUnknownIdentifiers)
{
    const TkwLanguageDesignModel m = Loaded();
    EXPECT_EQ(TabIDs(m), QStringList({"0409", "CH", "0804"}));
    EXPECT_EQ(m.Tabs()[1].Caption, "CH");                 // no locale knows it: its identifier
    EXPECT_NE(m.Tabs()[0].Caption, "0409");               // the system's language name
    EXPECT_EQ(m.CurrentTab(), 2);                         // the last tab made is selected
    EXPECT_EQ(m.Translation(1, Row(m, "Exit")), "Exit");  // missing: the source itself
    EXPECT_EQ(m.Translation(2, Row(m, "OK")), "OK");      // empty: the source itself
    EXPECT_EQ(m.Translation(2, Row(m, "Apply")), kYing);
}

// The edge cases of the editor's commands.
TEST(LanguageDesignModel, CommandEdgeCases)
{
    const struct {
        const char *name;
        std::function<void(TkwLanguageDesignModel &)> act;
        std::function<void(const TkwLanguageDesignModel &)> check;
    } cases[] = {
        {"adding a language already shown selects its tab",
         [](auto &m) {
             m.SelectTab(0);
             EXPECT_EQ(m.AddLanguage(SystemLanguageIndex("0804")), 2);
         },
         [](const auto &m) {
             EXPECT_EQ(m.TabCount(), 3);
             EXPECT_EQ(m.CurrentTab(), 2);
         }},
        {"a new language gets the stored translations or empty cells, no fallback",
         [](auto &m) {
             m.SelectTab(2);
             ASSERT_TRUE(m.DeleteLanguage());
             EXPECT_EQ(m.AddLanguage(SystemLanguageIndex("0407")), 2);
         },
         [](const auto &m) {
             EXPECT_EQ(m.Tabs()[2].ID, "0407");
             EXPECT_EQ(m.Translation(2, 0), "");
         }},
        {"with three tabs, deleting the second selects the first",
         [](auto &m) {
             m.SelectTab(1);
             EXPECT_TRUE(m.DeleteLanguage());
         },
         [](const auto &m) {
             EXPECT_EQ(TabIDs(m), QStringList({"0409", "0804"}));
             EXPECT_EQ(m.CurrentTab(), 0);
         }},
        {"deleting the first selects the new first; the only one leaves no selection",
         [](auto &m) {
             m.SelectTab(0);
             EXPECT_TRUE(m.DeleteLanguage());
             EXPECT_EQ(m.CurrentTab(), 0);
             EXPECT_TRUE(m.DeleteLanguage());
             EXPECT_TRUE(m.DeleteLanguage());
         },
         [](const auto &m) {
             EXPECT_EQ(m.TabCount(), 0);
             EXPECT_EQ(m.CurrentTab(), -1);
         }},
        {"commands without a selection do nothing",
         [](auto &m) {
             m.SelectTab(-1);
             EXPECT_FALSE(m.DeleteLanguage());
             EXPECT_FALSE(m.DeleteConstText(0));
             EXPECT_TRUE(m.TextList().isEmpty());
             EXPECT_FALSE(m.SetTextList({"X=Y"}));
             EXPECT_EQ(m.AddLanguage(-1), -1);
             m.SelectTab(0);
             EXPECT_FALSE(m.DeleteConstText(-1));
             EXPECT_FALSE(m.DeleteConstText(3));
         },
         [](const auto &m) {
             EXPECT_EQ(m.TabCount(), 3);
             EXPECT_EQ(m.Sources().size(), 3);
         }},
        {"Add Const Text shows the text in every tab in its sorted place",
         [](auto &m) { EXPECT_TRUE(m.AddConstText("Cancel")); },
         [](const auto &m) {
             EXPECT_EQ(m.Sources(), QStringList({"Apply", "Cancel", "Exit", "OK"}));
             for (int t = 0; t < m.TabCount(); ++t)
                 EXPECT_EQ(m.Translation(t, 1), "Cancel");
         }},
        {"Delete Item From List removes the row from every tab",
         [](auto &m) { EXPECT_TRUE(m.DeleteConstText(0)); },
         [](const auto &m) {
             EXPECT_EQ(m.Sources(), QStringList({"Exit", "OK"}));
             EXPECT_EQ(m.Translation(2, 0), kTui);
         }},
        {"saving writes the languages that have tabs with the grids' translations",
         [](auto &m) {
             m.SelectTab(0);
             m.DeleteLanguage();
             EXPECT_TRUE(m.SetTranslation(1, 2, ""));
         },
         [](const auto &m) {
             const TkwLangData d = m.Data();
             ASSERT_EQ(d.Resources.size(), 2);
             EXPECT_EQ(d.Resources[0].ID, "CH");
             // Untranslated cells show their source but write no "source=source" line.
             EXPECT_EQ(d.Resources[0].Lines, QStringList({"Apply=YingYong"}));
             // A row without a translation stores nothing.
             EXPECT_EQ(d.Resources[1].Lines, QStringList({"Apply=" + kYing, "Exit=" + kTui}));
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TkwLanguageDesignModel m = Loaded();
        c.act(m);
        c.check(m);
    }
}

TEST(LanguageDesignModel, TenTabsPageTwiceThenStop)
{
    TkwLanguageDesignModel m;
    TkwLangData data{{"Apply"}, {}};
    for (int i = 0; i < 10; ++i)
        data.Resources.append({QStringLiteral("x%1").arg(i), {}});
    m.Load(data);
    EXPECT_FALSE(m.PrevPage());
    EXPECT_TRUE(m.NextPage());
    EXPECT_TRUE(m.NextPage());
    EXPECT_FALSE(m.NextPage());
    EXPECT_EQ(m.FirstVisibleTab(), 2);
    EXPECT_FALSE(m.TabVisible(1));
    EXPECT_TRUE(m.TabVisible(9));
    EXPECT_TRUE(m.PrevPage());
    EXPECT_EQ(m.FirstVisibleTab(), 1);
}

// A tab finds its language by its own identifier: a tab added before saving
// and a language no locale knows keep their own translations through every
// command that rewrites the grids.
TEST(LanguageDesignModel, GridsStayWithTheirLanguageThroughAddedAndUnknownLanguages)
{
    QTemporaryDir dir;
    TkwLanguageDesignModel m = Loaded();
    const int de = m.AddLanguage(SystemLanguageIndex("0407"));
    ASSERT_EQ(de, 3);
    ASSERT_TRUE(m.SetTranslation(de, Row(m, "Apply"), "Anwenden"));
    ASSERT_TRUE(m.SetTranslation(1, Row(m, "Exit"), "TuiChu"));
    ASSERT_TRUE(m.AddConstText("Cancel"));
    m.SelectTab(2);
    ASSERT_TRUE(m.SetTextList(m.TextList()));
    ASSERT_TRUE(m.SaveToFile(dir.filePath("kw.local")));

    TkwLanguage lang(nullptr, dir.path());
    EXPECT_EQ(lang.GetLanguageIndexByShortID("CH"), 1);
    EXPECT_EQ(lang.GetLanguageIndexByShortID("0407"), 3);
    const struct {
        const char *id, *text;
        QString expected;
    } cases[] = {
        {"0407", "Apply", "Anwenden"}, {"0407", "Exit", "Exit"},   {"CH", "Exit", "TuiChu"},
        {"CH", "Apply", "YingYong"},   {"0804", "Apply", kYing},   {"0804", "Exit", kTui},
        {"0409", "Apply", "Apply"},    {"0804", "Cancel", "Cancel"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TranslatedBy(dir.path(), c.id, c.text), c.expected) << c.id << " " << c.text;
}

TEST(LanguageDesignModel, AddConstTextKeepsTranslationsTypedSinceTheLastSave)
{
    TkwLanguageDesignModel m = Loaded();
    ASSERT_TRUE(m.SetTranslation(2, Row(m, "OK"), "QueDing"));
    ASSERT_TRUE(m.SetTranslation(0, Row(m, "Exit"), "Quit"));
    ASSERT_TRUE(m.AddConstText("Cancel"));
    EXPECT_EQ(m.Translation(2, Row(m, "OK")), "QueDing");
    EXPECT_EQ(m.Translation(0, Row(m, "Exit")), "Quit");
    QString why;
    EXPECT_FALSE(m.AddConstText("Cancel", &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(LanguageDesignModel, TextListRoundTripKeepsSourcesWithoutTranslation)
{
    TkwLanguageDesignModel m = Loaded();
    m.SelectTab(m.AddLanguage(SystemLanguageIndex("0407")));
    const QStringList lines = m.TextList();
    EXPECT_EQ(lines, QStringList({"Apply=", "Exit=", "OK="}));
    ASSERT_TRUE(m.SetTextList(lines));
    EXPECT_EQ(m.Sources(), QStringList({"Apply", "Exit", "OK"}));

    // The list decides the sources exactly; the other tabs keep their cells.
    ASSERT_TRUE(m.SetTextList({"Apply=Anwenden", "", "Help", "OK=", "Apply=Anwenden!", "=orphan"}));
    EXPECT_EQ(m.Sources(), QStringList({"Apply", "Help", "OK"}));
    EXPECT_EQ(m.Translation(3, 0), "Anwenden!");
    EXPECT_EQ(m.Translation(3, 1), "");
    EXPECT_EQ(m.Translation(2, 0), kYing);
    EXPECT_EQ(m.Translation(2, 1), "Help");

    // A line the file cannot carry changes nothing.
    QString why;
    EXPECT_FALSE(m.SetTextList({"Apply=A\tB"}, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(m.Sources(), QStringList({"Apply", "Help", "OK"}));
}

TEST(LanguageDesignModel, NeverWritesAnEmptySourceOrIdentifier)
{
    TkwLanguageDesignModel m = Loaded();
    for (const QString &bad : {QString(""), QString("   "), QString("a=b"), QString("a\tb"), QString("a\nb")}) {
        QString why;
        EXPECT_FALSE(m.AddConstText(bad, &why)) << bad.toStdString();
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_FALSE(m.SetTranslation(0, 0, "two\nlines"));
    EXPECT_EQ(m.Sources().size(), 3);

    // A file whose source block holds an empty line: the editor drops it.
    TkwLangData data = Fixture();
    data.Original.prepend("");
    const auto withEmpty = kwReadLangStream(kwWriteLangStream(data).value());
    ASSERT_TRUE(withEmpty && withEmpty->Original.contains(""));
    m.Load(*withEmpty);
    EXPECT_EQ(m.Sources(), QStringList({"Apply", "Exit", "OK"}));
    for (int i = 0; i < m.TabCount(); ++i) {
        m.SelectTab(i);
        EXPECT_TRUE(m.SetTextList(m.TextList() << "=x"));
    }
    const TkwLangData saved = m.Data();
    EXPECT_FALSE(saved.Original.contains(""));
    for (const TkwLangEntry &l : saved.Resources) {
        EXPECT_FALSE(l.ID.isEmpty());
        for (const QString &line : l.Lines)
            EXPECT_FALSE(kwLineSource(line).isEmpty()) << line.toStdString();
    }
}

TEST(LanguageDesignModel, AFailedSaveKeepsTheOldFileAndTheGrids)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kw.local");
    TkwLanguageDesignModel m = Loaded();
    ASSERT_TRUE(m.SaveToFile(path));
    const QByteArray before = ReadBytes(path);
    ASSERT_TRUE(m.SetTranslation(1, Row(m, "OK"), "HaoDe"));
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(m.AddConstText(QStringLiteral("Text %1").arg(i)));

    QString why;
    {
        const FileSizeLimit limit(256); // the new file is far larger
        EXPECT_FALSE(m.SaveToFile(path, &why));
    }
    EXPECT_FALSE(why.isEmpty());
    EXPECT_EQ(ReadBytes(path), before);
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"kw.local"}));
    // The grids are as they were, and the stored lists too.
    EXPECT_EQ(m.Translation(1, Row(m, "OK")), "HaoDe");
    EXPECT_EQ(m.Sources().size(), 43);

    ASSERT_TRUE(m.SaveToFile(path));
    EXPECT_EQ(TranslatedBy(dir.path(), "CH", "OK"), "HaoDe");
}

// What the editor opened and did not change saves back byte for byte: lines
// of sources without a translation stay implicit (no "source=source" line),
// and lines the grids do not show (an empty translation, a text that is not a
// source) are written back as they were.
TEST(LanguageDesignModel, AFileOpenedAndNotChangedSavesBackByteForByte)
{
    TkwLangData odd = Fixture();
    odd.Resources[1].Lines = kwSortedUnique({"Apply=YingYong", "Gone=Old", "OK="});
    // Many languages with few translations each: what a grid of every cell
    // would write outgrows the largest language file.
    TkwLangData wide;
    for (int s = 0; s < 2000; ++s)
        wide.Original << QStringLiteral("Source text %1").arg(s, 5, 10, QLatin1Char('0'));
    for (int l = 0; l < 400; ++l)
        wide.Resources.append({QStringLiteral("L%1").arg(l), {QStringLiteral("Source text 00007=T%1").arg(l)}});
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"the test list", kwWriteLangStream(Fixture()).value()},
        {"lines the grids do not show", kwWriteLangStream(odd).value()},
        {"400 languages x 2000 texts", kwWriteLangStream(wide).value()},
        {"the shipped kw.local", ReadBytes(QStringLiteral(HKT75_BIN_DIR "/kw.local"))},
    };
    QTemporaryDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.isEmpty());
        const auto data = kwReadLangStream(c.bytes);
        ASSERT_TRUE(data);
        TkwLanguageDesignModel m = Loaded(*data);
        // A cell committed as it shows, and a text list saved as it is, change nothing.
        for (int t = 0; t < std::min(m.TabCount(), 3); ++t) {
            m.SelectTab(t);
            ASSERT_TRUE(m.SetTranslation(t, 0, m.Translation(t, 0)));
        }
        const QString path = dir.filePath("kw.local");
        QString why;
        ASSERT_TRUE(m.SaveToFile(path, &why)) << why.toStdString();
        EXPECT_TRUE(ReadBytes(path) == c.bytes);
    }
}

TEST(LanguageDesignModel, AnEditReplacesOnlyItsOwnSourcesLines)
{
    TkwLangData odd = Fixture();
    odd.Resources[1].Lines = kwSortedUnique({"Apply=YingYong", "Gone=Old", "OK="});
    TkwLanguageDesignModel m = Loaded(odd);
    EXPECT_EQ(m.Translation(1, Row(m, "OK")), "OK") << "untranslated: shows its source";
    EXPECT_EQ(m.TranslationOf(1, Row(m, "OK")), "");
    ASSERT_TRUE(m.SetTranslation(1, Row(m, "OK"), "HaoDe"));
    ASSERT_TRUE(m.SetTranslation(1, Row(m, "Apply"), ""));
    ASSERT_TRUE(m.SetTranslation(0, Row(m, "Exit"), "Exit!"));
    ASSERT_TRUE(m.DeleteConstText(Row(m, "Apply")));
    const TkwLangData d = m.Data();
    EXPECT_EQ(d.Resources[0].Lines, QStringList({"Exit=Exit!", "OK=OK"}));
    EXPECT_EQ(d.Resources[1].Lines, QStringList({"Gone=Old", "OK=HaoDe"}));
    EXPECT_EQ(d.Resources[2].Lines, QStringList({"Exit=" + kTui, "OK="}));
    // A deleted source added again shows what its language's lines hold.
    ASSERT_TRUE(m.AddConstText("Apply"));
    EXPECT_EQ(m.Translation(2, Row(m, "Apply")), kYing);
    EXPECT_EQ(m.Data().Resources[2].Lines, kwSortedUnique({"Apply=" + kYing, "Exit=" + kTui, "OK="}));
}
