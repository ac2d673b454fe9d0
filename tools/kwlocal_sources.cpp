// Turns a language file "kw.local" (as the translation editor saves it) back
// into the reviewable text sources in data/lang/ (format: data/lang/README.md),
// so that the editor and the build agree: building the written sources with
// kwlocal_build gives a file that translates every text as the given one does.
//
//   kwlocal_sources <kw.local> <data/lang folder>
//
// Existing files keep their comments, groups and order: a text keeps its line
// (with its new translation), a text that is gone loses it, and new texts are
// added at the end of each file in sorted order. A language without a file
// gets one laid out like the first language's. `languages` lists the file's
// languages in its order; the file of a language no longer listed is removed.
// A translation that is missing, empty or the same as its source is written as
// the source alone (the text stays as it is). Exit code 1 with a reason when
// the file holds something the text sources cannot carry; nothing is written
// then.

#include "config/ui/kwLanguageStream.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

bool Error(const QString &why)
{
    std::fprintf(stderr, "kwlocal_sources: %s\n", qPrintable(why));
    return false;
}

// A file's lines without their line ends; empty for a missing file.
QStringList ReadTextLines(const QString &path, bool *exists = nullptr)
{
    QFile file(path);
    if (exists)
        *exists = file.exists();
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

bool IsTextLine(const QString &line)
{
    return !line.trimmed().isEmpty() && !line.startsWith(u'#');
}

bool ValidID(const QString &id)
{
    bool hex = false;
    id.toUShort(&hex, 16);
    return id.size() == 4 && hex && id.toLower() == id;
}

// What the text sources cannot carry (the build tool refuses the same).
bool Check(const TkwLangData &data)
{
    if (data.Resources.isEmpty())
        return Error(QStringLiteral("the language file holds no language"));
    QSet<QString> ids;
    for (const TkwLangEntry &lang : data.Resources) {
        if (!ValidID(lang.ID))
            return Error(QStringLiteral("language \"%1\": the text sources take only four lower-case hex digits")
                             .arg(lang.ID));
        if (ids.contains(lang.ID))
            return Error(QStringLiteral("language %1 is listed twice").arg(lang.ID));
        ids.insert(lang.ID);
        for (const QString &line : lang.Lines)
            if (kwLineTranslation(line).contains(u'\t'))
                return Error(QStringLiteral("language %1: a TAB in the translation of \"%2\"")
                                 .arg(lang.ID, kwLineSource(line)));
    }
    for (const QString &s : data.Original) {
        if (s.trimmed().isEmpty())
            return Error(QStringLiteral("an empty source text"));
        if (s.contains(u'\t') || s.startsWith(u'#'))
            return Error(QStringLiteral("source text \"%1\": a TAB or a leading \"#\"").arg(s));
    }
    return true;
}

// The line of one text: the source alone when the text stays as it is.
QString TextLine(const QString &source, const QString &translation)
{
    return translation.isEmpty() || translation == source ? source : source + u'\t' + translation;
}

QStringList LanguageFile(const TkwLangEntry &lang, const QStringList &sources, QStringList layout,
                         bool ownLayout)
{
    const QHash<QString, QString> translation = kwTranslationsBySource(lang.Lines);
    if (!ownLayout) {
        // Another language's layout: its heading comment describes that language.
        qsizetype head = 0;
        while (head < layout.size() && layout[head].startsWith(u'#'))
            ++head;
        layout = layout.mid(head);
        layout.prepend(QStringLiteral("# Language %1: source<TAB>translation; a line without TAB keeps the text.")
                           .arg(lang.ID));
    }
    const QSet<QString> wanted(sources.cbegin(), sources.cend());
    QSet<QString> written;
    QStringList out;
    for (const QString &line : layout) {
        if (!IsTextLine(line)) {
            out.append(line);
            continue;
        }
        const QString source = line.section(u'\t', 0, 0);
        if (!wanted.contains(source) || written.contains(source))
            continue;
        written.insert(source);
        out.append(TextLine(source, translation.value(source)));
    }
    bool heading = false;
    for (const QString &source : sources) {
        if (written.contains(source))
            continue;
        if (!heading) {
            if (!out.isEmpty() && !out.last().isEmpty())
                out.append(QString());
            out.append(QStringLiteral("# Added in the translation editor"));
            heading = true;
        }
        out.append(TextLine(source, translation.value(source)));
    }
    return out;
}

QStringList LanguagesFile(const QStringList &old, const QList<TkwLangEntry> &languages)
{
    QStringList out;
    bool placed = false;
    for (const QString &line : old) {
        if (IsTextLine(line)) {
            if (!placed)
                for (const TkwLangEntry &lang : languages)
                    out.append(lang.ID);
            placed = true;
            continue;
        }
        out.append(line);
    }
    if (!placed) {
        if (out.isEmpty())
            out.append(QStringLiteral("# Languages of kw.local in file order; keep 0409 first, add new ones at the end."));
        for (const TkwLangEntry &lang : languages)
            out.append(lang.ID);
    }
    return out;
}

bool WriteText(const QString &path, const QStringList &lines)
{
    QSaveFile file(path);
    const QByteArray bytes = (lines.join(u'\n') + u'\n').toUtf8();
    // Unbuffered, as the language file's own writer does: a failed write must
    // not be committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size() ||
        !file.commit())
        return Error(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return true;
}

bool Convert(const QString &input, const QString &folder)
{
    QString why;
    const std::optional<TkwLangData> data = kwLoadLangFile(input, &why);
    if (!data)
        return Error(QStringLiteral("cannot read %1: %2").arg(input, why));
    if (!Check(*data))
        return false;
    const QDir dir(folder);
    if (!dir.exists())
        return Error(QStringLiteral("no folder %1").arg(folder));

    const QString listPath = dir.filePath(QStringLiteral("languages"));
    const QStringList oldList = ReadTextLines(listPath);
    QStringList oldIds;
    for (const QString &line : oldList)
        if (IsTextLine(line))
            oldIds.append(line.trimmed());

    // Every file is composed before anything is written.
    std::map<QString, QStringList> files;
    const QString firstPath = dir.filePath((oldIds.isEmpty() ? data->Resources[0].ID : oldIds[0]) + ".txt");
    const QStringList firstLayout = ReadTextLines(firstPath);
    for (const TkwLangEntry &lang : data->Resources) {
        const QString path = dir.filePath(lang.ID + QStringLiteral(".txt"));
        bool exists = false;
        const QStringList own = ReadTextLines(path, &exists);
        files[path] = LanguageFile(lang, data->Original, exists ? own : firstLayout, exists);
    }
    files[listPath] = LanguagesFile(oldList, data->Resources);

    for (const auto &[path, lines] : files)
        if (!WriteText(path, lines))
            return false;
    for (const QString &id : oldIds) {
        const bool kept = std::any_of(data->Resources.cbegin(), data->Resources.cend(),
                                      [&](const TkwLangEntry &l) { return l.ID == id; });
        if (!kept && ValidID(id))
            QFile::remove(dir.filePath(id + QStringLiteral(".txt")));
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: kwlocal_sources <kw.local> <data/lang folder>\n");
        return 2;
    }
    return Convert(args[1], args[2]) ? 0 : 1;
}
