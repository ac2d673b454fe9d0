#include "config/ui/kwLanguage.h"

#include "platform/DesktopLocale.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibraryInfo>
#include <QMetaObject>
#include <QTranslator>
#include <QVariant>

#include <array>

namespace {

// ---- process-wide state (main thread only) ----

// The dictionary in force: for each source its translation in the first line
// (in sorted order) that names it.
struct TDictionary {
    bool InForce = false;
    QHash<QString, QString> Map;
};

TDictionary &Dictionary()
{
    static TDictionary dictionary;
    return dictionary;
}

void SelectDictionary(const QStringList *lines)
{
    TDictionary &d = Dictionary();
    d.Map.clear();
    d.InForce = lines != nullptr;
    if (!lines)
        return;
    for (const QString &line : *lines) {
        bool hasSource = false;
        const QString source = kwLineSource(line, &hasSource);
        if (hasSource && !d.Map.contains(source))
            d.Map.insert(source, kwLineTranslation(line));
    }
}

QList<QPointer<QObject>> &FormList()
{
    static QList<QPointer<QObject>> forms;
    return forms;
}

int &ParentFormCounter()
{
    static int count = 0;
    return count;
}

// ---- the walk's property handling ----

// Dynamic properties that remember, per translated property, the source text
// and the text the walk wrote last.
QByteArray SourceKey(const QByteArray &property) { return "_kw_src_" + property; }
QByteArray ShownKey(const QByteArray &property) { return "_kw_shown_" + property; }

bool HasProperty(const QObject *o, const char *name)
{
    return o->metaObject()->indexOfProperty(name) >= 0;
}

// The Qt property that carries one of the translated property names on this
// object, empty when it has none.
QByteArray QtPropertyFor(const QObject *o, const QString &name)
{
    if (name == QLatin1String("Caption")) {
        if (HasProperty(o, "caption"))
            return "caption";
        if (o->inherits("QAbstractButton") || o->inherits("QLabel"))
            return "text";
        if (o->inherits("QGroupBox"))
            return "title";
        if (o->isWidgetType())
            return "windowTitle";
        return {};
    }
    if (name == QLatin1String("Hint")) {
        if (HasProperty(o, "hint"))
            return "hint";
        return o->isWidgetType() ? QByteArray("toolTip") : QByteArray();
    }
    QByteArray p = name.toUtf8();
    if (!p.isEmpty())
        p[0] = char(QChar::toLower(char16_t(uchar(p[0]))));
    return HasProperty(o, p.constData()) ? p : QByteArray();
}

// The source of a property's current value: what the walk remembered when the
// value is still the walk's own last translation, else the value itself (the
// program has set a new text since).
QString SourceOf(const QObject *o, const QByteArray &property, const QString &current)
{
    const QVariant shown = o->property(ShownKey(property).constData());
    if (shown.isValid() && shown.toString() == current)
        return o->property(SourceKey(property).constData()).toString();
    return current;
}

void WriteTranslated(QObject *o, const QByteArray &property, const QString &source, const QString &text)
{
    if (!o->setProperty(property.constData(), text))
        return; // not writable: the next walk takes the value as it stands
    o->setProperty(SourceKey(property).constData(), source);
    o->setProperty(ShownKey(property).constData(), text);
}

bool Excluded(const QObject *o)
{
    return o->property("kwNoTranslate").toBool();
}

// ---- locale data ----

using Q = QLocale;

constexpr std::array kLocaleTable = std::to_array<TkwLocaleEntry>({
    {0x0401, Q::Arabic, Q::AnyScript, Q::SaudiArabia},
    {0x0402, Q::Bulgarian, Q::AnyScript, Q::Bulgaria},
    {0x0403, Q::Catalan, Q::AnyScript, Q::Spain},
    {0x0404, Q::Chinese, Q::TraditionalHanScript, Q::Taiwan},
    {0x0405, Q::Czech, Q::AnyScript, Q::Czechia},
    {0x0406, Q::Danish, Q::AnyScript, Q::Denmark},
    {0x0407, Q::German, Q::AnyScript, Q::Germany},
    {0x0408, Q::Greek, Q::AnyScript, Q::Greece},
    {0x0409, Q::English, Q::AnyScript, Q::UnitedStates},
    {0x040b, Q::Finnish, Q::AnyScript, Q::Finland},
    {0x040c, Q::French, Q::AnyScript, Q::France},
    {0x040d, Q::Hebrew, Q::AnyScript, Q::Israel},
    {0x040e, Q::Hungarian, Q::AnyScript, Q::Hungary},
    {0x040f, Q::Icelandic, Q::AnyScript, Q::Iceland},
    {0x0410, Q::Italian, Q::AnyScript, Q::Italy},
    {0x0411, Q::Japanese, Q::AnyScript, Q::Japan},
    {0x0412, Q::Korean, Q::AnyScript, Q::SouthKorea},
    {0x0413, Q::Dutch, Q::AnyScript, Q::Netherlands},
    {0x0414, Q::NorwegianBokmal, Q::AnyScript, Q::Norway},
    {0x0415, Q::Polish, Q::AnyScript, Q::Poland},
    {0x0416, Q::Portuguese, Q::AnyScript, Q::Brazil},
    {0x0417, Q::Romansh, Q::AnyScript, Q::Switzerland},
    {0x0418, Q::Romanian, Q::AnyScript, Q::Romania},
    {0x0419, Q::Russian, Q::AnyScript, Q::Russia},
    {0x041a, Q::Croatian, Q::AnyScript, Q::Croatia},
    {0x041b, Q::Slovak, Q::AnyScript, Q::Slovakia},
    {0x041c, Q::Albanian, Q::AnyScript, Q::Albania},
    {0x041d, Q::Swedish, Q::AnyScript, Q::Sweden},
    {0x041e, Q::Thai, Q::AnyScript, Q::Thailand},
    {0x041f, Q::Turkish, Q::AnyScript, Q::Turkey},
    {0x0420, Q::Urdu, Q::AnyScript, Q::Pakistan},
    {0x0421, Q::Indonesian, Q::AnyScript, Q::Indonesia},
    {0x0422, Q::Ukrainian, Q::AnyScript, Q::Ukraine},
    {0x0423, Q::Belarusian, Q::AnyScript, Q::Belarus},
    {0x0424, Q::Slovenian, Q::AnyScript, Q::Slovenia},
    {0x0425, Q::Estonian, Q::AnyScript, Q::Estonia},
    {0x0426, Q::Latvian, Q::AnyScript, Q::Latvia},
    {0x0427, Q::Lithuanian, Q::AnyScript, Q::Lithuania},
    {0x0428, Q::Tajik, Q::CyrillicScript, Q::Tajikistan},
    {0x0429, Q::Persian, Q::AnyScript, Q::Iran},
    {0x042a, Q::Vietnamese, Q::AnyScript, Q::Vietnam},
    {0x042b, Q::Armenian, Q::AnyScript, Q::Armenia},
    {0x042c, Q::Azerbaijani, Q::LatinScript, Q::Azerbaijan},
    {0x042d, Q::Basque, Q::AnyScript, Q::Spain},
    {0x042f, Q::Macedonian, Q::AnyScript, Q::Macedonia},
    {0x0432, Q::Tswana, Q::AnyScript, Q::SouthAfrica},
    {0x0434, Q::Xhosa, Q::AnyScript, Q::SouthAfrica},
    {0x0435, Q::Zulu, Q::AnyScript, Q::SouthAfrica},
    {0x0436, Q::Afrikaans, Q::AnyScript, Q::SouthAfrica},
    {0x0437, Q::Georgian, Q::AnyScript, Q::Georgia},
    {0x0438, Q::Faroese, Q::AnyScript, Q::FaroeIslands},
    {0x0439, Q::Hindi, Q::AnyScript, Q::India},
    {0x043a, Q::Maltese, Q::AnyScript, Q::Malta},
    {0x043e, Q::Malay, Q::AnyScript, Q::Malaysia},
    {0x043f, Q::Kazakh, Q::AnyScript, Q::Kazakhstan},
    {0x0440, Q::Kyrgyz, Q::AnyScript, Q::Kyrgyzstan},
    {0x0441, Q::Swahili, Q::AnyScript, Q::Kenya},
    {0x0443, Q::Uzbek, Q::LatinScript, Q::Uzbekistan},
    {0x0445, Q::Bangla, Q::AnyScript, Q::India},
    {0x0446, Q::Punjabi, Q::AnyScript, Q::India},
    {0x0447, Q::Gujarati, Q::AnyScript, Q::India},
    {0x0449, Q::Tamil, Q::AnyScript, Q::India},
    {0x044a, Q::Telugu, Q::AnyScript, Q::India},
    {0x044b, Q::Kannada, Q::AnyScript, Q::India},
    {0x044c, Q::Malayalam, Q::AnyScript, Q::India},
    {0x044e, Q::Marathi, Q::AnyScript, Q::India},
    {0x0450, Q::Mongolian, Q::CyrillicScript, Q::Mongolia},
    {0x0452, Q::Welsh, Q::AnyScript, Q::UnitedKingdom},
    {0x0456, Q::Galician, Q::AnyScript, Q::Spain},
    {0x0457, Q::Konkani, Q::AnyScript, Q::India},
    {0x045a, Q::Syriac, Q::AnyScript, Q::Syria},
    {0x0461, Q::Nepali, Q::AnyScript, Q::Nepal},
    {0x0462, Q::WesternFrisian, Q::AnyScript, Q::Netherlands},
    {0x0463, Q::Pashto, Q::AnyScript, Q::Afghanistan},
    {0x0464, Q::Filipino, Q::AnyScript, Q::Philippines},
    {0x0468, Q::Hausa, Q::LatinScript, Q::Nigeria},
    {0x046a, Q::Yoruba, Q::AnyScript, Q::Nigeria},
    {0x046c, Q::NorthernSotho, Q::AnyScript, Q::SouthAfrica},
    {0x046f, Q::Kalaallisut, Q::AnyScript, Q::Greenland},
    {0x0470, Q::Igbo, Q::AnyScript, Q::Nigeria},
    {0x0481, Q::Maori, Q::AnyScript, Q::NewZealand},
    {0x0487, Q::Kinyarwanda, Q::AnyScript, Q::Rwanda},
    {0x0488, Q::Wolof, Q::AnyScript, Q::Senegal},
    {0x0801, Q::Arabic, Q::AnyScript, Q::Iraq},
    {0x0804, Q::Chinese, Q::SimplifiedHanScript, Q::China},
    {0x0807, Q::German, Q::AnyScript, Q::Switzerland},
    {0x0809, Q::English, Q::AnyScript, Q::UnitedKingdom},
    {0x080a, Q::Spanish, Q::AnyScript, Q::Mexico},
    {0x080c, Q::French, Q::AnyScript, Q::Belgium},
    {0x0810, Q::Italian, Q::AnyScript, Q::Switzerland},
    {0x0813, Q::Dutch, Q::AnyScript, Q::Belgium},
    {0x0814, Q::NorwegianNynorsk, Q::AnyScript, Q::Norway},
    {0x0816, Q::Portuguese, Q::AnyScript, Q::Portugal},
    {0x081d, Q::Swedish, Q::AnyScript, Q::Finland},
    {0x082c, Q::Azerbaijani, Q::CyrillicScript, Q::Azerbaijan},
    {0x083e, Q::Malay, Q::AnyScript, Q::Brunei},
    {0x0843, Q::Uzbek, Q::CyrillicScript, Q::Uzbekistan},
    {0x0845, Q::Bangla, Q::AnyScript, Q::Bangladesh},
    {0x0c01, Q::Arabic, Q::AnyScript, Q::Egypt},
    {0x0c04, Q::Chinese, Q::TraditionalHanScript, Q::HongKong},
    {0x0c07, Q::German, Q::AnyScript, Q::Austria},
    {0x0c09, Q::English, Q::AnyScript, Q::Australia},
    {0x0c0a, Q::Spanish, Q::AnyScript, Q::Spain},
    {0x0c0c, Q::French, Q::AnyScript, Q::Canada},
    {0x1001, Q::Arabic, Q::AnyScript, Q::Libya},
    {0x1004, Q::Chinese, Q::SimplifiedHanScript, Q::Singapore},
    {0x1007, Q::German, Q::AnyScript, Q::Luxembourg},
    {0x1009, Q::English, Q::AnyScript, Q::Canada},
    {0x100a, Q::Spanish, Q::AnyScript, Q::Guatemala},
    {0x100c, Q::French, Q::AnyScript, Q::Switzerland},
    {0x101a, Q::Croatian, Q::AnyScript, Q::BosniaAndHerzegovina},
    {0x1401, Q::Arabic, Q::AnyScript, Q::Algeria},
    {0x1404, Q::Chinese, Q::TraditionalHanScript, Q::Macao},
    {0x1407, Q::German, Q::AnyScript, Q::Liechtenstein},
    {0x1409, Q::English, Q::AnyScript, Q::NewZealand},
    {0x140a, Q::Spanish, Q::AnyScript, Q::CostaRica},
    {0x140c, Q::French, Q::AnyScript, Q::Luxembourg},
    {0x141a, Q::Bosnian, Q::LatinScript, Q::BosniaAndHerzegovina},
    {0x1801, Q::Arabic, Q::AnyScript, Q::Morocco},
    {0x1809, Q::English, Q::AnyScript, Q::Ireland},
    {0x180a, Q::Spanish, Q::AnyScript, Q::Panama},
    {0x180c, Q::French, Q::AnyScript, Q::Monaco},
    {0x1c01, Q::Arabic, Q::AnyScript, Q::Tunisia},
    {0x1c09, Q::English, Q::AnyScript, Q::SouthAfrica},
    {0x1c0a, Q::Spanish, Q::AnyScript, Q::DominicanRepublic},
    {0x2001, Q::Arabic, Q::AnyScript, Q::Oman},
    {0x2009, Q::English, Q::AnyScript, Q::Jamaica},
    {0x200a, Q::Spanish, Q::AnyScript, Q::Venezuela},
    {0x201a, Q::Bosnian, Q::CyrillicScript, Q::BosniaAndHerzegovina},
    {0x2401, Q::Arabic, Q::AnyScript, Q::Yemen},
    {0x240a, Q::Spanish, Q::AnyScript, Q::Colombia},
    {0x241a, Q::Serbian, Q::LatinScript, Q::Serbia},
    {0x2801, Q::Arabic, Q::AnyScript, Q::Syria},
    {0x2809, Q::English, Q::AnyScript, Q::Belize},
    {0x280a, Q::Spanish, Q::AnyScript, Q::Peru},
    {0x281a, Q::Serbian, Q::CyrillicScript, Q::Serbia},
    {0x2c01, Q::Arabic, Q::AnyScript, Q::Jordan},
    {0x2c09, Q::English, Q::AnyScript, Q::TrinidadAndTobago},
    {0x2c0a, Q::Spanish, Q::AnyScript, Q::Argentina},
    {0x3001, Q::Arabic, Q::AnyScript, Q::Lebanon},
    {0x3009, Q::English, Q::AnyScript, Q::Zimbabwe},
    {0x300a, Q::Spanish, Q::AnyScript, Q::Ecuador},
    {0x3401, Q::Arabic, Q::AnyScript, Q::Kuwait},
    {0x3409, Q::English, Q::AnyScript, Q::Philippines},
    {0x340a, Q::Spanish, Q::AnyScript, Q::Chile},
    {0x3801, Q::Arabic, Q::AnyScript, Q::UnitedArabEmirates},
    {0x380a, Q::Spanish, Q::AnyScript, Q::Uruguay},
    {0x3c01, Q::Arabic, Q::AnyScript, Q::Bahrain},
    {0x3c0a, Q::Spanish, Q::AnyScript, Q::Paraguay},
    {0x4001, Q::Arabic, Q::AnyScript, Q::Qatar},
    {0x4009, Q::English, Q::AnyScript, Q::India},
    {0x400a, Q::Spanish, Q::AnyScript, Q::Bolivia},
    {0x4409, Q::English, Q::AnyScript, Q::Malaysia},
    {0x440a, Q::Spanish, Q::AnyScript, Q::ElSalvador},
    {0x4809, Q::English, Q::AnyScript, Q::Singapore},
    {0x480a, Q::Spanish, Q::AnyScript, Q::Honduras},
    {0x4c0a, Q::Spanish, Q::AnyScript, Q::Nicaragua},
    {0x500a, Q::Spanish, Q::AnyScript, Q::PuertoRico},
    {0x540a, Q::Spanish, Q::AnyScript, Q::UnitedStates},
});

QLocale LocaleOf(const TkwLocaleEntry &e)
{
    return QLocale(e.Language, e.Script, e.Territory);
}

const TkwLocaleEntry *LocaleEntryOf(const QString &langID)
{
    bool ok = false;
    const uint id = langID.toUInt(&ok, 16);
    if (!ok)
        return nullptr;
    for (const TkwLocaleEntry &e : kLocaleTable)
        if (e.LangID == id)
            return &e;
    return nullptr;
}

// A POSIX locale name without its codeset and modifier ("zh_TW.UTF-8@x" is
// "zh_TW"), which QLocale would not take.
QLocale LocaleOfPosixName(const QString &name)
{
    qsizetype end = name.size();
    for (const QChar c : {u'.', u'@'})
        if (const qsizetype at = name.indexOf(c); at >= 0)
            end = std::min(end, at);
    return QLocale(name.left(end));
}

// "Simplified"/"Traditional" as Windows names the two Chinese forms.
QString ScriptName(QLocale::Script script)
{
    switch (script) {
    case QLocale::SimplifiedHanScript: return QStringLiteral("Simplified");
    case QLocale::TraditionalHanScript: return QStringLiteral("Traditional");
    default: return QLocale::scriptToString(script);
    }
}

struct TLanguageNames {
    QList<TkwLanguageNameEntry> ByID;
    QList<TkwLanguageNameEntry> ByShortID;
    QList<TkwLanguageNameEntry> NativeByID;
};

// Built once from the table and never changed afterwards, so no component can
// empty the lists another one reads.
const TLanguageNames &LanguageNames()
{
    static const TLanguageNames names = [] {
        TLanguageNames n;
        for (const TkwLocaleEntry &e : kLocaleTable) {
            const QString id = kwLangIDText(e.LangID);
            QString name = QLocale::languageToString(e.Language);
            QString where = QLocale::territoryToString(e.Territory);
            if (e.Script != QLocale::AnyScript)
                where = ScriptName(e.Script) + QStringLiteral(", ") + where;
            name += QStringLiteral(" (") + where + QLatin1Char(')');
            const QLocale locale = LocaleOf(e);
            QString native = locale.nativeLanguageName();
            native = native.isEmpty() ? name
                                      : native + QStringLiteral(" (") + locale.nativeTerritoryName() +
                                            QLatin1Char(')');
            n.ByID.append({id, name, id});
            // Every table locale has a country, so the short key is the identifier.
            n.ByShortID.append({id, name, id});
            n.NativeByID.append({id, native, id});
        }
        return n;
    }();
    return names;
}

QString FindName(const QList<TkwLanguageNameEntry> &list, const QString &key)
{
    for (const TkwLanguageNameEntry &e : list)
        if (e.Key == key)
            return e.Name;
    return {};
}

// What a walk translates and what it leaves to others.
struct TWalkRules {
    const QStringList &Properties;
    const QStringList &SpecialClasses;
    const QStringList &CustomClasses;
    const TkwLanguage::TOnCustomTranslate *OnCustomTranslate;
};

void TranslateProperties(const TWalkRules &rules, QObject *Component, QStringList &TextList,
                         bool ATranslate)
{
    for (const QString &name : rules.Properties) {
        const QByteArray property = QtPropertyFor(Component, name);
        if (property.isEmpty())
            continue;
        const QVariant value = Component->property(property.constData());
        if (!value.isValid() || !value.canConvert<QString>())
            continue;
        const QString current = value.toString();
        if (current.isEmpty())
            continue;
        const QString source = SourceOf(Component, property, current);
        TextList.append(source);
        const QString text = Translate(source);
        if (ATranslate && !text.isEmpty())
            WriteTranslated(Component, property, source, text);
    }
}

void TranslateComponentTree(const TWalkRules &rules, QObject *Component, QStringList &TextList,
                            bool ATranslate, const QString &BaseName, QList<QObject *> &Visited)
{
    TranslateProperties(rules, Component, TextList, ATranslate);
    const QString childBase = Component->parent() ? BaseName + QLatin1Char('.') + Component->objectName()
                                                  : BaseName;
    // A copy: translating a property may make a widget create or drop children.
    const QObjectList children = Component->children();
    for (QObject *child : children) {
        if (Excluded(child))
            continue;
        const QString className = QString::fromLatin1(child->metaObject()->className());
        // Special classes translate their own texts when shown.
        if (rules.SpecialClasses.contains(className))
            continue;
        if (rules.CustomClasses.contains(className)) {
            if (rules.OnCustomTranslate && *rules.OnCustomTranslate)
                (*rules.OnCustomTranslate)(child, TextList, Visited, BaseName, ATranslate);
            continue;
        }
        // Ownership is a tree here, so each object is reached once.
        Visited.append(child);
        TranslateComponentTree(rules, child, TextList, ATranslate, childBase, Visited);
    }
}

void WalkComponent(const TWalkRules &rules, QObject *Item, QStringList &TextList, bool ATranslate,
                   const QString &BaseName)
{
    if (!Item || Excluded(Item))
        return;
    const QString base = BaseName.isEmpty() ? TkwLanguage::GetComponentBaseName(Item) : BaseName;
    QList<QObject *> visited{Item};
    if (Item->children().isEmpty())
        TranslateProperties(rules, Item, TextList, ATranslate);
    else
        TranslateComponentTree(rules, Item, TextList, ATranslate, base, visited);
}

} // namespace

// ---- free functions ----

QString Translate(const QString &AText)
{
    if (AText.isEmpty())
        return {};
    const TDictionary &d = Dictionary();
    if (!d.InForce)
        return AText;
    const auto it = d.Map.constFind(AText);
    if (it == d.Map.cend() || it->isEmpty())
        return AText;
    return *it;
}

TkwLanguageNotifier &kwLanguageNotifier()
{
    static TkwLanguageNotifier notifier;
    return notifier;
}

void kwSetSourceText(QObject *object, const char *property, const QString &source)
{
    if (!object || !property)
        return;
    WriteTranslated(object, QByteArray(property), source, Translate(source));
}

void TranslateObjectTree(QObject *root)
{
    const QStringList none;
    const TWalkRules rules{TRANSLATE_PROPERTIES, SPECIAL_CLASS_NAMES, none, nullptr};
    QStringList texts;
    WalkComponent(rules, root, texts, true, QString());
}

std::span<const TkwLocaleEntry> kwLocaleTable()
{
    return kLocaleTable;
}

bool kwInstallQtTranslations(const QString &langShortID)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return false;
    // One translator at a time, owned by the application; installing the
    // same language again changes nothing (each change retranslates every
    // widget).
    static QPointer<QTranslator> installed;
    static QString installedFor;
    if (installed && installedFor.compare(langShortID, Qt::CaseInsensitive) == 0)
        return true;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed.data();
    }
    installedFor.clear();
    bool ok = false;
    const quint16 id = langShortID.toUShort(&ok, 16);
    if (!ok)
        return false;
    for (const TkwLocaleEntry &e : kLocaleTable) {
        if (e.LangID != id)
            continue;
        auto *translator = new QTranslator(app);
        if (translator->load(LocaleOf(e), QStringLiteral("qtbase"), QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
            QCoreApplication::installTranslator(translator)) {
            installed = translator;
            installedFor = langShortID;
            return true;
        }
        delete translator;
        return false;
    }
    return false;
}

QString kwLangIDText(quint16 langID)
{
    return QStringLiteral("%1").arg(langID, 4, 16, QLatin1Char('0'));
}

const QList<TkwLanguageNameEntry> &LanguageNamesByID() { return LanguageNames().ByID; }
const QList<TkwLanguageNameEntry> &LanguageNamesByShortID() { return LanguageNames().ByShortID; }
const QList<TkwLanguageNameEntry> &NativeLanguageNamesByID() { return LanguageNames().NativeByID; }

// ---- TkwLanguage ----

TkwLanguage::TkwLanguage(QObject *AOwner, const QString &AProgramFolder)
    : QObject(AOwner),
      FTranslatePropertyList(TRANSLATE_PROPERTIES),
      FTranslateSpecialClassList(SPECIAL_CLASS_NAMES)
{
    if (AOwner && AOwner->isWidgetType()) {
        FormList().append(QPointer<QObject>(AOwner));
        ++ParentFormCounter();
        FOwnerIsForm = true;
    }
    const QString folder =
        AProgramFolder.isEmpty() ? hkt::platform::ProgramFolder() : AProgramFolder;
    const QString path = QDir(folder).filePath(QStringLiteral("kw.local"));
    if (QFileInfo::exists(path))
        LoadFromFile(path);
}

TkwLanguage::~TkwLanguage()
{
    if (FOwnerIsForm)
        --ParentFormCounter();
}

void TkwLanguage::SetLang(const QString &Value)
{
    FLang = Value;
    // "en" exactly is the source language; any other spelling is looked up
    // in the list like every identifier.
    if (Value == QLatin1String("en")) {
        SelectDictionary(nullptr);
        emit kwLanguageNotifier().LanguageChanged();
    } else if (const int index = GetLanguageIndexByShortID(Value); index >= 0) {
        SelectDictionary(&FData.Resources[index].Lines);
        emit kwLanguageNotifier().LanguageChanged();
    }
    FLangName = Value;
    QStringList scratch;
    // A copy: a handler run by the walk may register another window.
    const QList<QPointer<QObject>> forms = FormList();
    for (const QPointer<QObject> &form : forms)
        if (form)
            TranslateComponent(form.data(), scratch, true);
    if (OnLanguageChanged)
        OnLanguageChanged(this, FLangName, GetLanguageLongNameByShortID(FLangName));
}

int TkwLanguage::GetLanguageIndexByShortID(const QString &ID) const
{
    for (qsizetype i = 0; i < FData.Resources.size(); ++i)
        if (FData.Resources[i].ID.compare(ID, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QString TkwLanguage::GetLanguageShortIDByIndex(int Index) const
{
    if (Index < 0 || Index >= FData.Resources.size())
        return {};
    return FData.Resources[Index].ID;
}

QString TkwLanguage::GetLanguageLongNameByLangID(const QString &LangID)
{
    return FindName(LanguageNamesByID(), LangID);
}

QString TkwLanguage::GetLanguageLongNameByShortID(const QString &ShortID)
{
    return FindName(LanguageNamesByShortID(), ShortID);
}

QString TkwLanguage::GetOSDefaultLang(const QLocale &locale)
{
    const auto scriptFits = [&](const TkwLocaleEntry &e) {
        return e.Script == QLocale::AnyScript || e.Script == locale.script();
    };
    const TkwLocaleEntry *best = nullptr;
    for (const TkwLocaleEntry &e : kLocaleTable) {
        if (e.Language != locale.language())
            continue;
        if (e.Territory == locale.territory() && scriptFits(e)) {
            best = &e;
            break;
        }
        // Without the territory in the table: the first entry of the same script,
        // else the first of the language (its primary form).
        if (!best || (best->Script != locale.script() && e.Script == locale.script()))
            best = &e;
    }
    return QStringLiteral("%1").arg(best ? best->LangID : 0x0409, 4, 16, QLatin1Char('0')).toUpper();
}

QString TkwLanguage::GetUserLocaleLanguage(const QLocale &locale, QString *full)
{
    const QString name = locale.name(); // "en_US"; "C" for the C locale
    const qsizetype sep = name.indexOf(u'_');
    const QString language = name.left(2).toLower();
    if (full)
        *full = sep == 2 && language.size() == 2 ? language + u'_' + name.mid(sep + 1, 2).toUpper()
                                                 : QString();
    return language.size() == 2 && language != QLatin1String("c") ? language : QString();
}

bool TkwLanguage::LoadFromFile(const QString &path)
{
    FData.Resources.clear();
    QString error;
    std::optional<TkwLangData> data = kwLoadLangFile(path, &error);
    if (!data) {
        qWarning().noquote() << "language file" << path << "not loaded:" << error;
        return false;
    }
    FData = std::move(*data);
    return true;
}

bool TkwLanguage::SaveToFile(const QString &path) const
{
    QString error;
    if (kwSaveLangFile(path, FData, &error))
        return true;
    qWarning().noquote() << "language file" << path << "not saved:" << error;
    return false;
}

bool TkwLanguage::LoadResourcesBin(QByteArrayView bytes)
{
    QString error;
    std::optional<TkwLangData> data = kwReadLangStream(bytes, &error);
    if (!data) {
        qWarning().noquote() << "embedded language list not loaded:" << error;
        return false;
    }
    FData.Original = std::move(data->Original);
    FData.Resources.append(data->Resources);
    return true;
}

QByteArray TkwLanguage::ResourcesBin() const
{
    return kwWriteLangStream(FData).value_or(QByteArray());
}

void TkwLanguage::SetAutoSelect(bool Value)
{
    FAutoSelect = Value;
    if (Value)
        SetLang(GetUserLocaleLanguage());
}

int TkwLanguage::kwParentFormCount()
{
    return ParentFormCounter();
}

const QList<QPointer<QObject>> &TkwLanguage::ParentFormList()
{
    return FormList();
}

QString TkwLanguage::GetComponentBaseName(const QObject *Component)
{
    if (!Component)
        return {};
    const QObject *owner = Component->parent();
    if (!owner)
        return QString::fromLatin1(Component->metaObject()->className());
    if (!owner->parent())
        return QString::fromLatin1(owner->metaObject()->className());
    return GetComponentBaseName(owner) + QLatin1Char('.') + owner->objectName();
}

void TkwLanguage::TranslateComponent(QObject *Item, QStringList &TextList, bool ATranslate,
                                     const QString &BaseName)
{
    const TWalkRules rules{FTranslatePropertyList, FTranslateSpecialClassList,
                           FTranslateCustomClassList, &OnCustomTranslate};
    WalkComponent(rules, Item, TextList, ATranslate, BaseName);
}

int kwDesktopLanguagePosition(const QList<TkwLangEntry> &languages, const QStringList &locales)
{
    for (const QString &name : locales) {
        const QLocale locale = LocaleOfPosixName(name);
        if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
            continue;
        int sameLanguage = -1;
        for (int i = 0; i < languages.size(); ++i) {
            const TkwLocaleEntry *e = LocaleEntryOf(languages[i].ID);
            if (!e || e->Language != locale.language() ||
                (e->Script != QLocale::AnyScript && e->Script != locale.script()))
                continue;
            if (e->Territory == locale.territory())
                return i;
            if (sameLanguage < 0)
                sameLanguage = i;
        }
        if (sameLanguage >= 0)
            return sameLanguage;
    }
    return 0;
}

int kwFreshStartLanguage(const QString &programFolder)
{
    const QString folder = programFolder.isEmpty() ? hkt::platform::ProgramFolder() : programFolder;
    const std::optional<TkwLangData> file = kwLoadLangFile(QDir(folder).filePath(QStringLiteral("kw.local")));
    if (!file)
        return 0;
    return kwDesktopLanguagePosition(file->Resources, hkt::platform::DesktopMessageLocales());
}
