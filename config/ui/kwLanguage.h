#pragma once
// The language component: makes the suite's windows speak the user's language.
//
// How a window gets its texts translated (for every window and widget kit):
//   * Texts built at run time: Translate(source). Exact, case-sensitive lookup in
//     the process-wide dictionary; the text itself when there is no translation,
//     or no dictionary is in force (nothing selected yet, or "en").
//   * A main window owns one TkwLanguage (`kwLanguage1`, created with the window
//     as owner). Setting its Lang walks every such window and its children and
//     rewrites their captions and tooltips: QAbstractButton/QLabel "text",
//     QGroupBox "title", the window's own "windowTitle", any object's Q_PROPERTY
//     "caption", and "toolTip" of widgets (or a Q_PROPERTY "hint"). The walk
//     remembers each property's source text, so switching language twice never
//     translates a translation; a text the program sets later becomes the new
//     source. A window destroyed meanwhile is skipped.
//   * Any other tree (a dialog being built) is translated the same way, once,
//     by TranslateObjectTree(root).
//   * kwSetSourceText(object, "text", source) sets a property from a fixed source
//     text; later walks translate it again from that source.
//   * A widget that draws its own text keeps the source, paints Translate(source)
//     and repaints on kwLanguageNotifier().LanguageChanged(), emitted whenever a
//     Lang change puts a dictionary in force (or drops it). Such a widget must
//     not also expose that text as "caption"/"text", or set the dynamic property
//     "kwNoTranslate" to true: the walk then skips the object and its children.
//   * Objects whose exact class name is in SpecialClassName() (the popup menu
//     TkwMenuEx, ...) are neither translated nor walked: they translate their
//     texts themselves when shown.
//
// Language positions: the language file's languages in file order, then those
// of an embedded list (LoadResourcesBin); `CurrentLanguage` stores a position.
// The locale data (LanguageNamesByID ...) comes from one built-in, immutable
// table of Windows language identifiers mapped to Qt locales.
//
// Everything here runs on the main thread only. Qt Core only: the walk reaches
// widgets through QObject properties, so the monitor and tests need no widgets.

#include "config/ui/kwLanguageStream.h"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <span>

// ---- the translation function and the process-wide dictionary ----

// The translation of a text in the dictionary in force (see above).
QString Translate(const QString &AText);

// Raised after every Lang change that puts a dictionary in force or drops it.
class TkwLanguageNotifier : public QObject {
    Q_OBJECT
signals:
    void LanguageChanged();
};
TkwLanguageNotifier &kwLanguageNotifier();

// Sets a property from a fixed source text (translated now, and again by every
// later walk from the same source).
void kwSetSourceText(QObject *object, const char *property, const QString &source);

// Translates one object tree now (the walk that Lang runs on its windows).
void TranslateObjectTree(QObject *root);

// ---- constants ----

inline const QStringList TRANSLATE_PROPERTIES = {QStringLiteral("Caption"), QStringLiteral("Hint")};
inline const QStringList SPECIAL_CLASS_NAMES = {
    QStringLiteral("TMenuItem"),  QStringLiteral("TTabControl"), QStringLiteral("TTabSheet"),
    QStringLiteral("TListView"),  QStringLiteral("TTreeView"),   QStringLiteral("TStatusBar"),
    QStringLiteral("TComboBoxEx"), QStringLiteral("TkwMenuEx")};
inline const QStringList CONSTANT_TEXTS = {
    QStringLiteral("Down"),           QStringLiteral("Up"),
    QStringLiteral("ms"),             QStringLiteral("Mouse Click"),
    QStringLiteral("Mouse Right Click"), QStringLiteral("Mouse Middle Click"),
    QStringLiteral("Backward(Mouse)"), QStringLiteral("Forward(Mouse)"),
    QStringLiteral("Wheel up(Mouse)"), QStringLiteral("Wheel Down(Mouse)")};

// ---- locale data ----

// One Windows language identifier and the Qt locale it stands for.
struct TkwLocaleEntry {
    quint16 LangID;
    QLocale::Language Language;
    QLocale::Script Script;       // AnyScript when the territory decides
    QLocale::Territory Territory;
};

// The built-in table, in ascending identifier order.
std::span<const TkwLocaleEntry> kwLocaleTable();

// The identifier as the system's locale data spells it: four lower-case hex digits.
QString kwLangIDText(quint16 langID);

// The position in `languages` (a language file's list) of the language a
// desktop asking for `locales` reads, taking the first locale the list has a
// language for: its language and script decide ("zh_TW", "zh_HK" and "zh_MO"
// write traditional characters as 0404 does, "zh_CN", "zh_SG" and "zh"
// simplified ones as 0804), the territory picks among several entries of one
// language. Names are POSIX locale names ("zh_TW.UTF-8", "de_DE@euro"); the C
// locale and names no language stands behind are passed over. 0, the first
// language, when no locale has one.
int kwDesktopLanguagePosition(const QList<TkwLangEntry> &languages, const QStringList &locales);
// The display language a start with nothing stored takes, as an installer
// would have chosen it: the position above for this desktop's message
// locales and the language file "kw.local" in `programFolder` (empty: the
// program folder).
int kwFreshStartLanguage(const QString &programFolder = QString());

// One entry of the language-name lists: Key, then [Name, ID].
struct TkwLanguageNameEntry {
    QString Key;
    QString Name; // line 0 of the entry's string list
    QString ID;   // line 1
};
// [language name, ID] by ID, and by short key (the ID, every table locale having a country).
const QList<TkwLanguageNameEntry> &LanguageNamesByID();
const QList<TkwLanguageNameEntry> &LanguageNamesByShortID();
// [native language name, ID] by ID (the configuration window's language box).
const QList<TkwLanguageNameEntry> &NativeLanguageNamesByID();

// Puts Qt's own translations (the texts of its standard dialogs: file and
// colour dialogs, message-box buttons) in force for a language identifier
// ("0804"), replacing the ones in force; for a language Qt has no
// translation of (or an unknown identifier) none stays in force and Qt
// speaks English. True when a translation is in force. Needs the
// application object.
bool kwInstallQtTranslations(const QString &langShortID);

// ---- the component ----

class TkwLanguage : public QObject {
    Q_OBJECT
public:
    using TOnCustomTranslate = std::function<void(QObject *AComponent, QStringList &ATextList,
                                                  const QList<QObject *> &AList,
                                                  const QString &BaseName, bool ATranslate)>;
    using TOnLanguageChanged = std::function<void(TkwLanguage *AComponent, const QString &LanguageShortID,
                                                  const QString &LanguageLongName)>;

    // Loads "kw.local" from AProgramFolder (the program folder when empty).
    // An owner that is a widget is registered as a window to retranslate.
    explicit TkwLanguage(QObject *AOwner = nullptr, const QString &AProgramFolder = QString());
    ~TkwLanguage() override;

    // Lang: selects a language by identifier ("en": no translation; an unknown
    // one keeps the dictionary in force) and retranslates the registered windows.
    void SetLang(const QString &Value);
    // The identifier last given to Lang (empty after creation); both read it.
    const QString &Lang() const { return FLangName; }
    const QString &FLanguageName() const { return FLangName; }

    int GetLanguageIndexByShortID(const QString &ID) const;
    QString GetLanguageShortIDByIndex(int Index) const;
    static QString GetLanguageLongNameByLangID(const QString &LangID);
    static QString GetLanguageLongNameByShortID(const QString &ShortID);
    // The system default language identifier, four upper-case hex digits ("0804").
    static QString GetOSDefaultLang(const QLocale &locale = QLocale::system());
    // The two-letter language of the user's locale ("en"); *full gets e.g. "en_US".
    static QString GetUserLocaleLanguage(const QLocale &locale = QLocale::system(),
                                         QString *full = nullptr);

    // The base's file operations (stream format: kwLanguageStream.h).
    // LoadFromFile replaces the source texts and the language list; a missing,
    // truncated or malformed file leaves no languages, with one diagnostic line.
    bool LoadFromFile(const QString &path);
    bool SaveToFile(const QString &path) const;
    // An embedded list: its source texts replace the list, its languages are
    // appended behind the file's. A malformed one adds nothing.
    bool LoadResourcesBin(QByteArrayView bytes);
    QByteArray ResourcesBin() const; // empty when the list cannot be written

    const QStringList &Original() const { return FData.Original; }
    const QList<TkwLangEntry> &Resources() const { return FData.Resources; }
    const TkwLangData &Data() const { return FData; }

    // Collects and (when ATranslate) rewrites the texts of Item's tree.
    void TranslateComponent(QObject *Item, QStringList &TextList, bool ATranslate,
                            const QString &BaseName = QString());
    static QString GetComponentBaseName(const QObject *Component);

    bool Active() const { return FActive; }
    void SetActive(bool Value) { FActive = Value; } // designer only: stored at run time
    bool ActiveLoadFromFile() const { return false; }
    void SetActiveLoadFromFile(bool) {} // designer only
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool Value);
    static int kwParentFormCount();
    const QStringList &SpecialClassName() const { return FTranslateSpecialClassList; }
    const QStringList &CustomClassList() const { return FTranslateCustomClassList; }
    void SetCustomClassList(const QStringList &Value) { FTranslateCustomClassList = Value; }
    const QStringList &TranslatePropertyList() const { return FTranslatePropertyList; }

    TOnCustomTranslate OnCustomTranslate;
    TOnLanguageChanged OnLanguageChanged;

    // The windows that own a language component, in registration order; entries
    // are never removed, a destroyed window reads as null.
    static const QList<QPointer<QObject>> &ParentFormList();

private:
    QString FLang; // the identifier the dictionary switch saw last
    TkwLangData FData;
    bool FActive = false;
    bool FAutoSelect = false;
    QString FLangName; // FLanguageName
    QStringList FTranslatePropertyList;
    QStringList FTranslateSpecialClassList;
    QStringList FTranslateCustomClassList;
    bool FOwnerIsForm = false;
};
