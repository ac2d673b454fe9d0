#include "config/translate/LanguageDesignModel.h"

#include "config/ui/kwLanguage.h"

#include <algorithm>

namespace {

bool HasLineBreakOrTab(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return kwIsLineBreak(c) || c == u'\t'; });
}

// The caption of a tab for a language identifier: the system's name of the
// language when the locale list knows the identifier, else the identifier.
QString CaptionFor(const QString &id)
{
    for (const TkwLanguageNameEntry &e : LanguageNamesByShortID())
        if (!e.Key.isEmpty() && e.Key.compare(id, Qt::CaseInsensitive) == 0)
            return e.Name;
    return id;
}

} // namespace

QString TkwLanguageDesignModel::CheckSourceText(const QString &text)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("The text is empty.");
    if (text.contains(u'='))
        return QStringLiteral("A source text cannot contain \"=\".");
    if (HasLineBreakOrTab(text))
        return QStringLiteral("A source text cannot contain a line break or a TAB.");
    return {};
}

QString TkwLanguageDesignModel::CheckTranslation(const QString &text)
{
    if (HasLineBreakOrTab(text))
        return QStringLiteral("A translation cannot contain a line break or a TAB.");
    return {};
}

QString TkwLanguageDesignModel::Held(const TkwTranslateTab &tab, const QString &source)
{
    if (const auto edited = tab.Edited.constFind(source); edited != tab.Edited.cend())
        return *edited;
    return tab.Stored.value(source);
}

QString TkwLanguageDesignModel::Shown(const TkwTranslateTab &tab, const QString &source)
{
    const QString held = Held(tab, source);
    // A cell cleared in the editor shows empty; only one never translated
    // shows its source.
    if (held.isEmpty() && tab.SourceShowsUntranslated && !tab.Edited.contains(source))
        return source;
    return held;
}

bool TkwLanguageDesignModel::IsSource(const QString &text) const
{
    return std::binary_search(FSources.cbegin(), FSources.cend(), text);
}

namespace {

TkwTranslateTab TabOf(const TkwLangEntry &lang)
{
    return {lang.ID, CaptionFor(lang.ID), lang.Lines, kwTranslationsBySource(lang.Lines), {}, true};
}

} // namespace

void TkwLanguageDesignModel::Load(const TkwLangData &data)
{
    FSources.clear();
    for (const QString &s : kwSortedUnique(data.Original))
        if (!s.isEmpty())
            FSources.append(s);
    FDeletedSources.clear();
    FTabs.clear();
    FCurrent = -1;
    FFirstVisibleTab = 0;
    for (const TkwLangEntry &lang : data.Resources) {
        FTabs.append(TabOf(lang));
        FCurrent = int(FTabs.size()) - 1;
    }
}

TkwLangData TkwLanguageDesignModel::Data() const
{
    TkwLangData data;
    data.Original = FSources;
    for (const TkwTranslateTab &tab : FTabs) {
        TkwLangEntry lang{tab.ID, {}};
        for (const QString &line : tab.Lines) {
            const QString source = kwLineSource(line);
            if (!tab.Edited.contains(source) && !FDeletedSources.contains(source))
                lang.Lines.append(line);
        }
        for (auto it = tab.Edited.cbegin(); it != tab.Edited.cend(); ++it)
            if (!it->isEmpty() && IsSource(it.key()))
                lang.Lines.append(it.key() + u'=' + *it);
        lang.Lines = kwSortedUnique(lang.Lines);
        data.Resources.append(lang);
    }
    return data;
}

bool TkwLanguageDesignModel::SaveToFile(const QString &path, QString *error)
{
    const TkwLangData data = Data();
    if (!kwSaveLangFile(path, data, error))
        return false;
    // What was written is now what each tab holds; the edits are in it.
    for (int i = 0; i < TabCount(); ++i) {
        TkwTranslateTab &tab = FTabs[i];
        tab.Lines = data.Resources[i].Lines;
        tab.Stored = kwTranslationsBySource(tab.Lines);
        tab.Edited.clear();
    }
    FDeletedSources.clear();
    return true;
}

void TkwLanguageDesignModel::SelectTab(int index)
{
    FCurrent = index >= 0 && index < TabCount() ? index : -1;
}

QString TkwLanguageDesignModel::Translation(int tab, int row) const
{
    if (tab < 0 || tab >= TabCount() || row < 0 || row >= FSources.size())
        return {};
    return Shown(FTabs[tab], FSources[row]);
}

QString TkwLanguageDesignModel::TranslationOf(int tab, int row) const
{
    if (tab < 0 || tab >= TabCount() || row < 0 || row >= FSources.size())
        return {};
    return Held(FTabs[tab], FSources[row]);
}

bool TkwLanguageDesignModel::SetTranslation(int tab, int row, const QString &text, QString *error)
{
    if (tab < 0 || tab >= TabCount() || row < 0 || row >= FSources.size())
        return false;
    if (const QString why = CheckTranslation(text); !why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    if (text == Translation(tab, row))
        return true;
    FTabs[tab].Edited.insert(FSources[row], text);
    return true;
}

QList<QPair<QString, QString>> TkwLanguageDesignModel::SystemLanguages()
{
    QList<QPair<QString, QString>> list;
    for (const TkwLanguageNameEntry &e : LanguageNamesByID())
        list.append({e.Name, e.ID});
    return list;
}

int TkwLanguageDesignModel::AddLanguage(int localeIndex)
{
    const QList<QPair<QString, QString>> languages = SystemLanguages();
    if (localeIndex < 0 || localeIndex >= languages.size())
        return -1;
    const auto &[name, id] = languages[localeIndex];
    for (int i = 0; i < TabCount(); ++i) {
        if (FTabs[i].Caption == name || FTabs[i].ID.compare(id, Qt::CaseInsensitive) == 0) {
            FCurrent = i;
            return i;
        }
    }
    TkwTranslateTab tab{id, name, {}, {}, {}, false};
    FTabs.append(tab);
    FCurrent = TabCount() - 1;
    return FCurrent;
}

bool TkwLanguageDesignModel::DeleteLanguage()
{
    if (FCurrent < 0)
        return false;
    const int deleted = FCurrent;
    FTabs.removeAt(deleted);
    if (FTabs.isEmpty())
        FCurrent = -1;
    else
        FCurrent = std::max(0, deleted - 1);
    FFirstVisibleTab = std::clamp(FFirstVisibleTab, 0, std::max(0, TabCount() - kVisibleTabs));
    return true;
}

bool TkwLanguageDesignModel::AddConstText(const QString &text, QString *error)
{
    if (QString why = CheckSourceText(text); !why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    if (std::binary_search(FSources.cbegin(), FSources.cend(), text)) {
        if (error)
            *error = QStringLiteral("The text is already in the list.");
        return false;
    }
    // The new row shows what the tab's lines hold for it, if anything.
    kwSortedInsert(FSources, text);
    FDeletedSources.remove(text);
    return true;
}

bool TkwLanguageDesignModel::DeleteConstText(int row)
{
    if (FCurrent < 0 || row < 0 || row >= FSources.size())
        return false;
    const QString source = FSources.takeAt(row);
    FDeletedSources.insert(source);
    for (TkwTranslateTab &tab : FTabs)
        tab.Edited.remove(source);
    return true;
}

QStringList TkwLanguageDesignModel::TextList() const
{
    QStringList lines;
    if (FCurrent < 0)
        return lines;
    const TkwTranslateTab &tab = FTabs[FCurrent];
    for (const QString &source : FSources)
        lines.append(source + u'=' + Held(tab, source));
    return lines;
}

bool TkwLanguageDesignModel::SetTextList(const QStringList &lines, QString *error)
{
    if (FCurrent < 0)
        return false;
    QHash<QString, QString> given;
    for (const QString &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        bool has = false;
        QString source = kwLineSource(line, &has);
        const QString translation = has ? kwLineTranslation(line) : QString();
        if (!has)
            source = line;
        if (source.isEmpty())
            continue;
        QString why = CheckSourceText(source);
        if (why.isEmpty())
            why = CheckTranslation(translation);
        if (!why.isEmpty()) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(line, why);
            return false;
        }
        given.insert(source, translation);
    }
    QStringList sources = given.keys();
    std::sort(sources.begin(), sources.end());
    for (const QString &source : FSources)
        if (!given.contains(source))
            FDeletedSources.insert(source);
    for (const QString &source : sources)
        FDeletedSources.remove(source);
    for (int i = 0; i < TabCount(); ++i) {
        TkwTranslateTab &tab = FTabs[i];
        // Edits of the sources that go are dropped; the others keep theirs.
        for (auto it = tab.Edited.begin(); it != tab.Edited.end();)
            it = given.contains(it.key()) ? std::next(it) : tab.Edited.erase(it);
    }
    TkwTranslateTab &current = FTabs[FCurrent];
    for (const QString &source : sources) {
        // The selected tab's cells show the list's texts; a line without a
        // translation still writes nothing.
        const QString &text = given[source];
        if (text != Shown(current, source))
            current.Edited.insert(source, text);
    }
    FSources = sources;
    return true;
}

bool TkwLanguageDesignModel::NextPage()
{
    if (TabCount() - FFirstVisibleTab <= kVisibleTabs)
        return false;
    ++FFirstVisibleTab;
    return true;
}

bool TkwLanguageDesignModel::PrevPage()
{
    if (FFirstVisibleTab <= 0)
        return false;
    --FFirstVisibleTab;
    return true;
}
