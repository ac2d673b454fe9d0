#pragma once
// The language list and its stream, the format of the language file "kw.local"
// (and of the language list a window may carry embedded). Qt Core only, no
// QObject: the reader is fuzzed on its own and the build tool links it.
//
// Stream layout (little-endian, no header, no version, no checksum). A string is
// a u32 count n of UTF-16 code units followed by n UTF-16LE units, no terminator.
//   1. string: every source text followed by CR LF, in sorted order
//   2. u32 L: number of languages (0 allowed)
//   3. L times: string ID, then string: every line "source=translation"
//      followed by CR LF, in sorted order
// A block is split into lines at CR LF, a lone CR or LF, U+000B, U+000C, U+2028
// and U+2029; a trailing break gives no empty last line, an empty block none.
//
// "Sorted" means ordinal UTF-16 order (QString's operator<), each identical text
// once: the bytes a list writes then depend on nothing but the list itself.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// One language: its identifier and its lines "source=translation".
struct TkwLangEntry {
    QString ID;
    QStringList Lines; // sorted, each identical line once
    bool operator==(const TkwLangEntry &) const = default;
};

// A whole language list as the stream carries it.
struct TkwLangData {
    QStringList Original;           // source texts, sorted, each once
    QList<TkwLangEntry> Resources;  // languages in stream order
    bool operator==(const TkwLangData &) const = default;
};

// A language file larger than this is refused unread: the suite's file is a few
// hundred kilobytes, and a reader must never be driven into a huge allocation.
inline constexpr qsizetype kwMaxLanguageFileSize = 16 * 1024 * 1024;

// True for the characters that end a line of a text block.
bool kwIsLineBreak(QChar c);

// A text block split into lines by the rules above.
QStringList kwSplitLines(QStringView block);

// Inserts text at its sorted place unless the list already holds it. The list
// must already be sorted and free of duplicates.
void kwSortedInsert(QStringList &list, const QString &text);

// The list sorted with each identical text once.
QStringList kwSortedUnique(QStringList list);

// The source part of a line (before the first "="); empty and *hasSource false
// for a line without "=", which names nothing.
QString kwLineSource(const QString &line, bool *hasSource = nullptr);
// The translation part of a line (after the first "="), empty without "=".
QString kwLineTranslation(const QString &line);

// Each source a language's lines name, with its translation in the first line
// (in the list's order) that names it: how the translation function reads them.
QHash<QString, QString> kwTranslationsBySource(const QStringList &lines);

// Why a list cannot be written so that it reads back the same: a source or a
// line with a line break, a source with "=", an empty identifier. Empty when it
// can be written.
QString kwCheckLangData(const TkwLangData &data);

// Reads a whole stream. A truncated or malformed stream (a count past the end,
// bytes left after the last language, data kwCheckLangData refuses) gives
// nothing at all, never part of a list; *error then says why.
std::optional<TkwLangData> kwReadLangStream(QByteArrayView bytes, QString *error = nullptr);

// Writes the list sorted and de-duplicated; refuses what kwCheckLangData refuses.
std::optional<QByteArray> kwWriteLangStream(const TkwLangData &data, QString *error = nullptr);

// File forms of the two above. Saving replaces the file atomically, so a failed
// write leaves the previous file in place.
std::optional<TkwLangData> kwLoadLangFile(const QString &path, QString *error = nullptr);
bool kwSaveLangFile(const QString &path, const TkwLangData &data, QString *error = nullptr);
