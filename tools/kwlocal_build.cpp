// Builds the language file "kw.local" from the reviewable text sources in
// data/lang/ (format: data/lang/README.md), with the same writer the programs'
// language component uses.
//
//   kwlocal_build <data/lang folder> <output kw.local>
//
// The first language listed is the source language: its file lists every source
// text. Every other language must give exactly the same set of texts, so a text
// added to the suite cannot ship untranslated unnoticed. Exit code 1 with
// "file:line: reason" on any error; the output is then left as it was.

#include "config/ui/kwLanguageStream.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringList>

#include <cstdio>

namespace {

struct TEntry {
    QString Source;
    QString Translation;
    int Line = 0;
};

bool Error(const QString &where, int line, const QString &why)
{
    std::fprintf(stderr, "%s:%d: %s\n", qPrintable(where), line, qPrintable(why));
    return false;
}

// The meaningful lines of a UTF-8 text file: no blank lines, no "#" comments.
bool ReadLines(const QString &path, QList<QPair<int, QString>> &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Error(path, 0, QStringLiteral("cannot open: ") + file.errorString());
    const QByteArray bytes = file.readAll();
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() != bytes)
        return Error(path, 0, QStringLiteral("not valid UTF-8"));
    int number = 0;
    for (QString line : text.split(u'\n')) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        lines.append({number, line});
    }
    return true;
}

bool ReadLanguage(const QString &path, QList<TEntry> &entries)
{
    QList<QPair<int, QString>> lines;
    if (!ReadLines(path, lines))
        return false;
    QSet<QString> seen;
    for (const auto &[number, line] : lines) {
        const QStringList parts = line.split(u'\t');
        if (parts.size() > 2)
            return Error(path, number, QStringLiteral("more than one TAB"));
        TEntry e{parts[0], parts.size() == 2 ? parts[1] : parts[0], number};
        if (e.Source.isEmpty())
            return Error(path, number, QStringLiteral("empty source text"));
        if (e.Source.contains(u'='))
            return Error(path, number, QStringLiteral("\"=\" in a source text cannot be looked up"));
        if (e.Translation.isEmpty())
            return Error(path, number, QStringLiteral("empty translation (leave out the TAB to keep the text)"));
        if (seen.contains(e.Source))
            return Error(path, number, QStringLiteral("source text given twice: ") + e.Source);
        seen.insert(e.Source);
        entries.append(e);
    }
    return true;
}

bool Build(const QString &folder, const QString &output)
{
    const QDir dir(folder);
    const QString listPath = dir.filePath(QStringLiteral("languages"));
    QList<QPair<int, QString>> ids;
    if (!ReadLines(listPath, ids))
        return false;
    if (ids.isEmpty())
        return Error(listPath, 0, QStringLiteral("no language listed"));

    TkwLangData data;
    QSet<QString> sources;
    QString sourcePath;
    for (const auto &[number, rawId] : ids) {
        const QString id = rawId.trimmed();
        bool hex = false;
        id.toUShort(&hex, 16);
        if (id.size() != 4 || id.toLower() != id || !hex)
            return Error(listPath, number, QStringLiteral("identifier must be four lower-case hex digits"));
        const QString path = dir.filePath(id + QStringLiteral(".txt"));
        QList<TEntry> entries;
        if (!ReadLanguage(path, entries))
            return false;
        TkwLangEntry lang{id, {}};
        if (data.Resources.isEmpty()) {
            sourcePath = path;
            for (const TEntry &e : entries) {
                sources.insert(e.Source);
                data.Original.append(e.Source);
            }
        }
        QSet<QString> given;
        for (const TEntry &e : entries) {
            if (!sources.contains(e.Source))
                return Error(path, e.Line, QStringLiteral("not a source text of ") + sourcePath + ": " + e.Source);
            given.insert(e.Source);
            lang.Lines.append(e.Source + u'=' + e.Translation);
        }
        for (const QString &s : data.Original)
            if (!given.contains(s))
                return Error(path, 0, QStringLiteral("no translation for: ") + s);
        data.Resources.append(lang);
    }
    QString error;
    if (!kwSaveLangFile(output, data, &error))
        return Error(output, 0, error);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: kwlocal_build <data/lang folder> <output kw.local>\n");
        return 2;
    }
    return Build(args[1], args[2]) ? 0 : 1;
}
