// The language component: translation rules, language positions, Lang, the
// window walk, the locale table.
#include "config/ui/kwLanguage.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

// A program folder holding a kw.local with the given list.
class LangFolder {
public:
    explicit LangFolder(const TkwLangData &data)
    {
        EXPECT_TRUE(FDir.isValid());
        EXPECT_TRUE(kwSaveLangFile(FDir.filePath("kw.local"), data));
    }
    QString Path() const { return FDir.path(); }

private:
    QTemporaryDir FDir;
};

const QString kHan = QString::fromUtf8("\xE5\xBA\x94\xE7\x94\xA8");      // 应用
const QString kHanExit = QString::fromUtf8("\xE9\x80\x80\xE5\x87\xBA");  // 退出

TkwLangData SampleData()
{
    return {kwSortedUnique({"Apply", "Exit", "A", "Foo", "Quit"}),
            {{"0409", {}},
             {"0804", kwSortedUnique({"Apply=" + kHan, "Exit=" + kHanExit})},
             {"0407", kwSortedUnique({"Apply=Anwenden", "Exit=", "A=B=C", "Foo", "Quit=", "Quit=Leave"})}}};
}

} // namespace

TEST(kwLanguage, TranslationRulesTable)
{
    LangFolder folder(SampleData());
    TkwLanguage lang(nullptr, folder.Path());
    lang.SetLang("0407");
    const struct {
        QString in, out;
    } cases[] = {
        {"Apply", "Anwenden"}, {"Exit", "Exit"},  {"apply", "apply"}, {"", ""},
        {"A", "B=C"},          {"Foo", "Foo"},    {"Quit", "Quit"},   {"Missing", "Missing"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Translate(c.in), c.out) << c.in.toStdString();

    lang.SetLang("en");
    EXPECT_EQ(Translate("Apply"), "Apply");
    lang.SetLang("0804");
    EXPECT_EQ(Translate("Apply"), kHan);
    lang.SetLang("en");
    EXPECT_EQ(Translate("Apply"), "Apply");
    // Only "en" itself drops the dictionary: "EN" is an identifier like any
    // other, absent here, so the dictionary in force stays.
    lang.SetLang("0804");
    lang.SetLang("EN");
    EXPECT_EQ(Translate("Apply"), kHan);
    lang.SetLang("0407");
    EXPECT_EQ(Translate("Apply"), "Anwenden");
    lang.SetLang("0804");
    EXPECT_EQ(Translate("Apply"), kHan);
}

TEST(kwLanguage, UnknownOrEmptyIdKeepsDictionaryButIsRecorded)
{
    LangFolder folder(SampleData());
    TkwLanguage lang(nullptr, folder.Path());
    lang.SetLang("0804");
    lang.SetLang("0c0a");
    EXPECT_EQ(Translate("Apply"), kHan);
    EXPECT_EQ(lang.FLanguageName(), "0c0a");
    lang.SetLang("");
    EXPECT_EQ(Translate("Apply"), kHan);
    EXPECT_EQ(lang.Lang(), "");
    EXPECT_EQ(lang.GetLanguageIndexByShortID(lang.Lang()), -1);
}

TEST(kwLanguage, NotifierFiresOnlyWhenADictionaryIsPutInForceOrDropped)
{
    LangFolder folder(SampleData());
    TkwLanguage lang(nullptr, folder.Path());
    QSignalSpy spy(&kwLanguageNotifier(), &TkwLanguageNotifier::LanguageChanged);
    lang.SetLang("0804");
    lang.SetLang("absent");
    lang.SetLang("en");
    EXPECT_EQ(spy.count(), 2);

    QStringList seen;
    lang.OnLanguageChanged = [&](TkwLanguage *c, const QString &id, const QString &name) {
        EXPECT_EQ(c, &lang);
        seen << id << name;
    };
    lang.SetLang("0409");
    EXPECT_EQ(seen, QStringList({"0409", "English (United States)"}));
}

TEST(kwLanguage, PositionsCountFileLanguagesFirstThenEmbeddedOnes)
{
    LangFolder folder({{}, {{"0409", {}}, {"0804", {}}}});
    TkwLanguage lang(nullptr, folder.Path());
    const auto embedded = kwWriteLangStream({{"Config"}, {{"CH", {}}, {"US", {}}}});
    ASSERT_TRUE(lang.LoadResourcesBin(*embedded));

    EXPECT_EQ(lang.GetLanguageShortIDByIndex(3), "US");
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(0), "0409");
    EXPECT_EQ(lang.GetLanguageIndexByShortID("0804"), 1);
    EXPECT_EQ(lang.GetLanguageIndexByShortID("ch"), 2);
    EXPECT_EQ(lang.GetLanguageIndexByShortID("0404"), -1);
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(-1), "");
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(4), "");
    EXPECT_EQ(lang.Original(), QStringList({"Config"})); // the embedded sources replace the file's

    // A damaged embedded list adds nothing.
    EXPECT_FALSE(lang.LoadResourcesBin(QByteArray(5, '\x01')));
    EXPECT_EQ(lang.Resources().size(), 4);
}

TEST(kwLanguage, WithoutLanguageFileEmbeddedLanguagesComeFirst)
{
    QTemporaryDir empty;
    TkwLanguage lang(nullptr, empty.path());
    EXPECT_TRUE(lang.Resources().isEmpty());
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(0), "");
    ASSERT_TRUE(lang.LoadResourcesBin(*kwWriteLangStream({{}, {{"CH", {}}, {"US", {}}}})));
    EXPECT_EQ(lang.GetLanguageShortIDByIndex(0), "CH");
}

TEST(kwLanguage, CorruptLanguageFileLoadsAsNoLanguages)
{
    QTemporaryDir dir;
    const auto good = kwWriteLangStream(SampleData());
    QFile f(dir.filePath("kw.local"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(good->left(good->size() - 3)); // truncated
    f.close();
    static QStringList diagnostics;
    diagnostics.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &msg) { diagnostics << msg; });
    TkwLanguage lang(nullptr, dir.path());
    qInstallMessageHandler(previous);
    ASSERT_EQ(diagnostics.size(), 1); // one line, naming the file
    EXPECT_TRUE(diagnostics[0].contains(dir.filePath("kw.local"))) << diagnostics[0].toStdString();
    EXPECT_TRUE(lang.Resources().isEmpty());
    EXPECT_TRUE(lang.Original().isEmpty()); // nothing of the damaged file is kept
    EXPECT_EQ(lang.GetLanguageIndexByShortID("0804"), -1);
}

TEST(kwLanguage, SaveAndReloadKeepsOrderLinesAndSources)
{
    LangFolder folder(SampleData());
    TkwLanguage lang(nullptr, folder.Path());
    QTemporaryDir out;
    ASSERT_TRUE(lang.SaveToFile(out.filePath("kw.local")));
    TkwLanguage again(nullptr, out.path());
    EXPECT_EQ(again.Data(), lang.Data());
    EXPECT_EQ(again.Data(), SampleData());
}

TEST(kwLanguage, WindowsAreRetranslatedFromTheirSourceTexts)
{
    LangFolder folder(SampleData());
    QWidget form;
    auto *label = new QLabel("Apply", &form);
    auto *button = new QPushButton("Exit", &form);
    button->setToolTip("Apply");
    auto *fixed = new QLabel("Apply", &form);
    fixed->setProperty("kwNoTranslate", true);
    const int before = TkwLanguage::kwParentFormCount();
    TkwLanguage lang(&form, folder.Path());
    EXPECT_EQ(TkwLanguage::kwParentFormCount(), before + 1);

    lang.SetLang("0804");
    EXPECT_EQ(label->text(), kHan);
    EXPECT_EQ(button->text(), kHanExit);
    EXPECT_EQ(button->toolTip(), kHan);
    EXPECT_EQ(fixed->text(), "Apply");

    lang.SetLang("0407"); // from the source, not from the Chinese text
    EXPECT_EQ(label->text(), "Anwenden");
    EXPECT_EQ(button->text(), "Exit");
    lang.SetLang("0804");
    EXPECT_EQ(label->text(), kHan);

    label->setText("Exit"); // a text set by the program becomes the new source
    lang.SetLang("0407");
    lang.SetLang("0804");
    EXPECT_EQ(label->text(), kHanExit);

    lang.SetLang("en");
    EXPECT_EQ(label->text(), "Exit");
    EXPECT_EQ(button->toolTip(), "Apply");
}

TEST(kwLanguage, DestroyedWindowIsNeverTouchedAndCountDrops)
{
    LangFolder folder(SampleData());
    QWidget kept;
    auto *label = new QLabel("Apply", &kept);
    TkwLanguage keptLang(&kept, folder.Path());
    const int count = TkwLanguage::kwParentFormCount();
    {
        auto gone = std::make_unique<QWidget>();
        new QLabel("Exit", gone.get());
        new TkwLanguage(gone.get(), folder.Path()); // owned by the window, as on a form
        EXPECT_EQ(TkwLanguage::kwParentFormCount(), count + 1);
    }
    EXPECT_EQ(TkwLanguage::kwParentFormCount(), count);
    const auto &forms = TkwLanguage::ParentFormList();
    ASSERT_FALSE(forms.isEmpty());
    EXPECT_TRUE(forms.last().isNull()); // entries stay, read as gone
    keptLang.SetLang("0804");
    EXPECT_EQ(label->text(), kHan);
}

TEST(kwLanguage, SpecialAndCustomClassesAreLeftToOthers)
{
    LangFolder folder(SampleData());
    QWidget form;
    auto *box = new QCheckBox("Apply", &form);
    auto *inner = new QLabel("Apply", box);
    TkwLanguage lang(&form, folder.Path());
    lang.SetCustomClassList({"QCheckBox"});
    QList<QObject *> handed;
    lang.OnCustomTranslate = [&](QObject *c, QStringList &, const QList<QObject *> &, const QString &,
                                 bool translate) {
        handed << c;
        EXPECT_TRUE(translate);
    };
    lang.SetLang("0804");
    EXPECT_EQ(handed, QList<QObject *>({box}));
    EXPECT_EQ(box->text(), "Apply");
    EXPECT_EQ(inner->text(), "Apply"); // not walked either
    EXPECT_EQ(lang.SpecialClassName(), SPECIAL_CLASS_NAMES);
}

TEST(kwLanguage, CollectingTextsWithoutTranslating)
{
    LangFolder folder(SampleData());
    QWidget form;
    form.setWindowTitle("Quit");
    new QLabel("Apply", &form);
    auto *b = new QPushButton("Exit", &form);
    b->setToolTip("Foo");
    TkwLanguage lang(nullptr, folder.Path());
    lang.SetLang("0804");
    QStringList texts;
    lang.TranslateComponent(&form, texts, false);
    EXPECT_EQ(texts, QStringList({"Quit", "Apply", "Exit", "Foo"}));
    EXPECT_EQ(form.windowTitle(), "Quit");
}

TEST(kwLanguage, DialogTreesAndSourceTextsForOtherWidgets)
{
    LangFolder folder(SampleData());
    TkwLanguage lang(nullptr, folder.Path());
    lang.SetLang("0804");
    QWidget dialog;
    auto *ok = new QPushButton("Apply", &dialog);
    TranslateObjectTree(&dialog);
    EXPECT_EQ(ok->text(), kHan);
    TranslateObjectTree(&dialog); // twice: still from the source
    EXPECT_EQ(ok->text(), kHan);

    QLabel label;
    kwSetSourceText(&label, "text", "Exit");
    EXPECT_EQ(label.text(), kHanExit);
    QWidget owner;
    label.setParent(&owner);
    TkwLanguage ownerLang(&owner, folder.Path());
    ownerLang.SetLang("0407");
    EXPECT_EQ(label.text(), "Exit");
    ownerLang.SetLang("0804");
    EXPECT_EQ(label.text(), kHanExit);
    label.setParent(nullptr);
}

TEST(kwLanguage, OSDefaultLanguageFromLocale)
{
    const struct {
        const char *locale;
        const char *id;
    } cases[] = {
        {"zh_CN", "0804"}, {"zh_TW", "0404"},      {"zh_HK", "0C04"}, {"zh_SG", "1004"},
        {"en_US", "0409"}, {"en_GB", "0809"},      {"fr_FR", "040C"}, {"de_AT", "0C07"},
        {"es_ES", "0C0A"}, {"sr_Latn_RS", "241A"}, {"sr_RS", "281A"}, {"pt_BR", "0416"},
        {"en_150", "0409"}, {"C", "0409"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TkwLanguage::GetOSDefaultLang(QLocale(c.locale)), c.id) << c.locale;
    EXPECT_EQ(TkwLanguage::GetOSDefaultLang(QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript,
                                                   QLocale::AnyTerritory)),
              "0804");
}

TEST(kwLanguage, UserLocaleLanguage)
{
    QString full;
    EXPECT_EQ(TkwLanguage::GetUserLocaleLanguage(QLocale("en_US"), &full), "en");
    EXPECT_EQ(full, "en_US");
    EXPECT_EQ(TkwLanguage::GetUserLocaleLanguage(QLocale("pt_PT"), &full), "pt");
    EXPECT_EQ(full, "pt_PT");
}

TEST(kwLanguage, DesktopLocalesChooseTheLanguageOfAFreshStart)
{
    const auto list = [](std::initializer_list<const char *> ids) {
        QList<TkwLangEntry> out;
        for (const char *id : ids)
            out.append({QString::fromLatin1(id), {}});
        return out;
    };
    const QList<TkwLangEntry> shipped = list({"0409", "0804", "0404"});
    const QList<TkwLangEntry> other = list({"0804", "0409", "0809", "0c04"});
    const struct {
        const QList<TkwLangEntry> &languages;
        QStringList locales;
        int position;
    } cases[] = {
        {shipped, {"zh_CN.UTF-8"}, 1},
        {shipped, {"zh_TW.UTF-8"}, 2},
        {shipped, {"zh_HK.UTF-8"}, 2},
        {shipped, {"zh_MO"}, 2},
        {shipped, {"zh_TW.Big5"}, 2},
        {shipped, {"zh_SG.GBK"}, 1},
        {shipped, {"zh"}, 1},
        {shipped, {"en_US.UTF-8"}, 0},
        {shipped, {"en_GB.UTF-8"}, 0},
        {shipped, {"fr_FR.UTF-8"}, 0},
        {shipped, {"C.UTF-8"}, 0},
        {shipped, {"POSIX"}, 0},
        {shipped, {"xx_YY"}, 0},
        {shipped, {}, 0},
        // The first locale the list has a language for decides.
        {shipped, {"fr_FR", "de", "zh_TW"}, 2},
        {shipped, {"C", "zh_CN.UTF-8"}, 1},
        {shipped, {"en", "zh_CN.UTF-8"}, 0},
        {shipped, {"de_DE@euro", "zh_HK.UTF-8"}, 2},
        // Another file: the territory picks among one language's entries,
        // else its first; no language found is the file's first.
        {other, {"en_GB.UTF-8"}, 2},
        {other, {"en_AU.UTF-8"}, 1},
        {other, {"zh_HK"}, 3},
        {other, {"zh_TW"}, 3},
        {other, {"fr_FR"}, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(kwDesktopLanguagePosition(c.languages, c.locales), c.position) << c.locales.join(u':').toStdString();
}

TEST(kwLanguage, AFreshStartTakesTheDesktopsLanguageFromTheLanguageFile)
{
    TkwLangData data = SampleData();
    data.Resources.append(TkwLangEntry{"0404", {}});
    const LangFolder folder(data); // 0409, 0804, 0407, 0404
    QTemporaryDir empty;
    const char *vars[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    QList<std::optional<QByteArray>> saved;
    for (const char *v : vars)
        saved.append(qEnvironmentVariableIsSet(v) ? std::optional(qgetenv(v)) : std::nullopt);
    for (const char *v : vars)
        qunsetenv(v);

    qputenv("LANG", "de_DE.UTF-8");
    EXPECT_EQ(kwFreshStartLanguage(folder.Path()), 2);
    qputenv("LC_MESSAGES", "zh_HK.UTF-8");
    EXPECT_EQ(kwFreshStartLanguage(folder.Path()), 3);
    qputenv("LANGUAGE", "zh_CN:en");
    EXPECT_EQ(kwFreshStartLanguage(folder.Path()), 1);
    // Without a language file: the first language.
    EXPECT_EQ(kwFreshStartLanguage(empty.path()), 0);

    for (int i = 0; i < saved.size(); ++i) {
        if (saved[i])
            qputenv(vars[i], *saved[i]);
        else
            qunsetenv(vars[i]);
    }
}

TEST(kwLanguage, LocaleTableAndNameLists)
{
    const auto table = kwLocaleTable();
    ASSERT_GT(table.size(), 100u);
    for (size_t i = 1; i < table.size(); ++i)
        EXPECT_LT(table[i - 1].LangID, table[i].LangID) << "ascending and unique at " << i;
    EXPECT_EQ(kwLangIDText(0x040c), "040c");

    EXPECT_EQ(TkwLanguage::GetLanguageLongNameByLangID("0409"), "English (United States)");
    EXPECT_EQ(TkwLanguage::GetLanguageLongNameByShortID("0804"), "Chinese (Simplified, China)");
    EXPECT_EQ(TkwLanguage::GetLanguageLongNameByShortID("CH"), "");
    EXPECT_EQ(LanguageNamesByID().size(), qsizetype(table.size()));
    const auto &native = NativeLanguageNamesByID();
    const auto zh = std::find_if(native.begin(), native.end(), [](auto &e) { return e.Key == "0804"; });
    ASSERT_NE(zh, native.end());
    EXPECT_TRUE(zh->Name.startsWith(QString::fromUtf8("\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87"))); // 简体中文
    EXPECT_EQ(zh->ID, "0804");

    // A component coming and going leaves the lists as they were.
    { TkwLanguage passing(nullptr, QTemporaryDir().path()); }
    EXPECT_EQ(LanguageNamesByID().size(), qsizetype(table.size()));
}
