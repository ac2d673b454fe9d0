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

QString TkwLanguageDesignModel::StoredTranslation(const QString &id, const QString &source) const
{
    for (const TkwLangEntry &lang : FStored.Resources)
        if (lang.ID.compare(id, Qt::CaseInsensitive) == 0)
            return kwTranslationsBySource(lang.Lines).value(source);
    return {};
}

QString TkwLanguageDesignModel::NewRowTranslation(const QString &id, const QString &source) const
{
    const QString stored = StoredTranslation(id, source);
    return stored.isEmpty() ? source : stored;
}

void TkwLanguageDesignModel::Load(const TkwLangData &data)
{
    FStored = data;
    FSources.clear();
    for (const QString &s : kwSortedUnique(data.Original))
        if (!s.isEmpty())
            FSources.append(s);
    FTabs.clear();
    FCurrent = -1;
    FFirstVisibleTab = 0;
    for (const TkwLangEntry &lang : data.Resources) {
        TkwTranslateTab tab{lang.ID, CaptionFor(lang.ID), {}};
        const QHash<QString, QString> stored = kwTranslationsBySource(lang.Lines);
        for (const QString &source : FSources) {
            const QString t = stored.value(source);
            tab.Translations.insert(source, t.isEmpty() ? source : t);
        }
        FTabs.append(tab);
        FCurrent = int(FTabs.size()) - 1;
    }
}

TkwLangData TkwLanguageDesignModel::Data() const
{
    TkwLangData data;
    data.Original = FSources;
    for (const TkwTranslateTab &tab : FTabs) {
        TkwLangEntry lang{tab.ID, {}};
        for (const QString &source : FSources) {
            const QString t = tab.Translations.value(source);
            if (!t.isEmpty())
                lang.Lines.append(source + u'=' + t);
        }
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
    FStored = data;
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
    return FTabs[tab].Translations.value(FSources[row]);
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
    FTabs[tab].Translations.insert(FSources[row], text);
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
    TkwTranslateTab tab{id, name, {}};
    for (const QString &source : FSources)
        tab.Translations.insert(source, StoredTranslation(id, source));
    FTabs.append(tab);
    FCurrent = TabCount() - 1;
    return FCurrent;
}

bool TkwLanguageDesignModel::DeleteLanguage()
{
    if (FCurrent < 0)
        return false;
    const int deleted = FCurrent;
    const QString id = FTabs[deleted].ID;
    FTabs.removeAt(deleted);
    const auto stored = std::find_if(FStored.Resources.begin(), FStored.Resources.end(),
                                     [&](const TkwLangEntry &l) { return l.ID.compare(id, Qt::CaseInsensitive) == 0; });
    if (stored != FStored.Resources.end())
        FStored.Resources.erase(stored);
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
    kwSortedInsert(FSources, text);
    for (TkwTranslateTab &tab : FTabs)
        tab.Translations.insert(text, NewRowTranslation(tab.ID, text));
    return true;
}

bool TkwLanguageDesignModel::DeleteConstText(int row)
{
    if (FCurrent < 0 || row < 0 || row >= FSources.size())
        return false;
    const QString source = FSources.takeAt(row);
    for (TkwTranslateTab &tab : FTabs)
        tab.Translations.remove(source);
    return true;
}

QStringList TkwLanguageDesignModel::TextList() const
{
    QStringList lines;
    if (FCurrent < 0)
        return lines;
    const TkwTranslateTab &tab = FTabs[FCurrent];
    for (const QString &source : FSources)
        lines.append(source + u'=' + tab.Translations.value(source));
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
    for (int i = 0; i < TabCount(); ++i) {
        TkwTranslateTab &tab = FTabs[i];
        QHash<QString, QString> kept;
        for (const QString &source : sources) {
            if (i == FCurrent)
                kept.insert(source, given.value(source));
            else if (const auto it = tab.Translations.constFind(source); it != tab.Translations.cend())
                kept.insert(source, *it);
            else
                kept.insert(source, NewRowTranslation(tab.ID, source));
        }
        tab.Translations = kept;
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
