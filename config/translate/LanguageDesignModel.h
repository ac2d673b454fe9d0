#pragma once
// What the translation editor edits, without any widget: the source texts, one
// tab per language with the translations typed into its grid, the tab page
// offset, and the commands of the editor's buttons. The window only shows this
// state and forwards clicks and cell edits; tests drive it directly.
//
// Each tab owns its language's identifier and its translations. No command
// looks a tab's language up by position in the language list, so a language
// added before saving, or one the system's locale list does not know, can
// never receive another language's translations.

#include "config/ui/kwLanguageStream.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// One language tab: the grid's hint (the identifier) and column 1 by source.
struct TkwTranslateTab {
    QString ID;
    QString Caption;                    // the system's language name, or the identifier
    QHash<QString, QString> Translations; // source -> translation; absent or empty: none
};

class TkwLanguageDesignModel {
public:
    // Tabs shown at once; the paging commands move the first of them.
    static constexpr int kVisibleTabs = 8;

    // Why a text cannot be a source text (empty when it can): empty or blank,
    // or holding "=", a line break or a TAB, which neither the language file nor
    // the text sources in data/lang can carry.
    static QString CheckSourceText(const QString &text);
    // The same for a translation: a line break or a TAB.
    static QString CheckTranslation(const QString &text);

    // Replaces everything with the language component's lists: one tab per
    // language in list order (unknown identifiers and repeated ones included,
    // so nothing is lost at the next save); a missing or empty translation
    // shows the source text itself. Empty source texts are left out.
    void Load(const TkwLangData &data);

    // The lists a save writes: the source texts, then per tab in order its
    // identifier and a line for every source with a non-empty translation.
    TkwLangData Data() const;

    // "Save to language file": writes Data() atomically (the old file stays
    // until the new one is complete). On success the written lists become the
    // stored ones (what Add Language takes translations from); on failure
    // nothing changes and *error says why.
    bool SaveToFile(const QString &path, QString *error = nullptr);

    const QStringList &Sources() const { return FSources; }
    const QList<TkwTranslateTab> &Tabs() const { return FTabs; }
    int TabCount() const { return int(FTabs.size()); }
    int CurrentTab() const { return FCurrent; } // -1: none selected
    void SelectTab(int index);                  // out of range: no selection
    int FirstVisibleTab() const { return FFirstVisibleTab; }
    bool TabVisible(int index) const
    {
        return index >= FFirstVisibleTab && index < FFirstVisibleTab + kVisibleTabs;
    }

    // Column 1 of a tab's row (the row's source text is Sources()[row]).
    QString Translation(int tab, int row) const;
    // A cell edit; false (nothing changed) for a bad tab or row or a text
    // CheckTranslation refuses.
    bool SetTranslation(int tab, int row, const QString &text, QString *error = nullptr);

    // The system's languages offered by "Add Language" (the locale list's
    // entries in order): [name, identifier].
    static QList<QPair<QString, QString>> SystemLanguages();

    // "Add Language" with item `localeIndex` of SystemLanguages(): selects the
    // tab that already carries that language's name or identifier, or makes a
    // new tab (identifier: the locale's own, never empty) whose
    // cells hold the stored translations of that identifier (empty without).
    // Returns the selected tab, -1 for no valid item.
    int AddLanguage(int localeIndex);

    // "Delete Language": drops the selected tab (and the stored language of its
    // identifier); the tab before it is selected, the first when the first was
    // deleted, none when no tab is left. False without a selection.
    bool DeleteLanguage();

    // "Add Const Text": adds a source text at its sorted place in every tab;
    // translations typed in any tab are kept. The new row shows the stored
    // translation of the tab's language, or the text itself. False (and
    // *error) for a text CheckSourceText refuses or one already present.
    bool AddConstText(const QString &text, QString *error = nullptr);

    // "Delete Item From List": removes the source text of `row` from every tab.
    // False without a selected tab or with a row that holds no source.
    bool DeleteConstText(int row);

    // "Get/Set Text List": the selected tab's lines "source=translation", one
    // per source text, a source without translation as "source=" so that the
    // list round trip keeps it. Empty without a selected tab.
    QStringList TextList() const;
    // "Save" of the text list: the source texts become exactly the list's
    // sources, with the selected tab's translations from the list; the other
    // tabs keep what they hold for the sources that stay. A line without "="
    // is a source without translation; blank lines and lines with an empty
    // source are skipped; for a source given twice the last line counts.
    // False (nothing changed) without a selected tab or when a line carries a
    // text the file cannot hold.
    bool SetTextList(const QStringList &lines, QString *error = nullptr);

    // Paging: Next moves the first visible tab on while more than
    // kVisibleTabs tabs lie from it to the end; Prev moves it back while above 0.
    bool NextPage();
    bool PrevPage();

private:
    // The stored translation of `source` in the first stored language `id`.
    QString StoredTranslation(const QString &id, const QString &source) const;
    // What a row added to a tab shows: the stored translation, else the source.
    QString NewRowTranslation(const QString &id, const QString &source) const;

    TkwLangData FStored; // the language component's lists (last load or save)
    QStringList FSources; // sorted, each once, none empty
    QList<TkwTranslateTab> FTabs;
    int FCurrent = -1;
    int FFirstVisibleTab = 0;
};
