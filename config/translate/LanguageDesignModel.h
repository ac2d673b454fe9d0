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
#include <QSet>
#include <QString>
#include <QStringList>

// One language tab. Only what the file holds for the language and the cells
// edited since are kept: an untranslated cell is implicit, so a tab costs what
// its lines cost, not a cell per source text.
struct TkwTranslateTab {
    QString ID;
    QString Caption;                    // the system's language name, or the identifier
    // The language's lines as loaded or last saved. A save writes them back as
    // they are, except the lines of sources edited or deleted since.
    QStringList Lines;
    QHash<QString, QString> Stored;     // source -> translation of its first line in Lines
    QHash<QString, QString> Edited;     // source -> text typed since ("" clears the cell)
    // A loaded language shows an untranslated cell as its source text; one
    // added in the editor shows it empty.
    bool SourceShowsUntranslated = true;
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
    // Data() of a model loaded and not changed is the list it was loaded from
    // (as the stream writes it), so the file saves back byte for byte.
    void Load(const TkwLangData &data);

    // The lists a save writes: the source texts, then per tab in order its
    // identifier and its lines: those it was loaded with, the ones of edited
    // and deleted sources replaced by a line per edited cell that holds a
    // translation. A cell never given a translation writes nothing.
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

    // Column 1 of a tab's row (the row's source text is Sources()[row]) as the
    // grid shows it.
    QString Translation(int tab, int row) const;
    // The translation the row holds: empty for an untranslated cell, whatever
    // it shows.
    QString TranslationOf(int tab, int row) const;
    // A cell edit; false (nothing changed) for a bad tab or row or a text
    // CheckTranslation refuses. A text equal to what the cell shows changes
    // nothing, so an untranslated cell committed unchanged stays untranslated.
    bool SetTranslation(int tab, int row, const QString &text, QString *error = nullptr);

    // The system's languages offered by "Add Language" (the locale list's
    // entries in order): [name, identifier].
    static QList<QPair<QString, QString>> SystemLanguages();

    // "Add Language" with item `localeIndex` of SystemLanguages(): selects the
    // tab that already carries that language's name or identifier, or makes a
    // new tab (identifier: the locale's own, never empty) with empty cells (a
    // language the file held has its tab already, or was deleted with it).
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
    // list round trip keeps it (and still writes no line for it). Empty
    // without a selected tab.
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
    // The translation a tab holds for a source: its edit, else its stored one.
    static QString Held(const TkwTranslateTab &tab, const QString &source);
    static QString Shown(const TkwTranslateTab &tab, const QString &source);
    bool IsSource(const QString &text) const;

    QStringList FSources; // sorted, each once, none empty
    // Sources deleted since the load or save: their lines are not written.
    QSet<QString> FDeletedSources;
    QList<TkwTranslateTab> FTabs;
    int FCurrent = -1;
    int FFirstVisibleTab = 0;
};
