#include "config/ui/kwLanguageStream.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// Bounded little-endian cursor over the stream: every read checks what is left
// before touching a byte, and a count is checked against the bytes left before
// anything is allocated for it.
class TStreamReader {
public:
    explicit TStreamReader(QByteArrayView bytes)
        : FData(reinterpret_cast<const unsigned char *>(bytes.data())), FLeft(bytes.size())
    {
    }

    qsizetype Left() const { return FLeft; }

    bool ReadU32(quint32 &value)
    {
        if (FLeft < 4)
            return false;
        value = quint32(FData[0]) | quint32(FData[1]) << 8 | quint32(FData[2]) << 16 |
                quint32(FData[3]) << 24;
        Skip(4);
        return true;
    }

    bool ReadString(QString &text)
    {
        quint32 units = 0;
        if (!ReadU32(units))
            return false;
        if (quint64(units) * 2 > quint64(FLeft))
            return false;
        text = QString(qsizetype(units), Qt::Uninitialized);
        QChar *out = text.data();
        for (quint32 i = 0; i < units; ++i)
            out[i] = QChar(char16_t(FData[2 * i] | FData[2 * i + 1] << 8));
        Skip(qsizetype(units) * 2);
        return true;
    }

private:
    void Skip(qsizetype n)
    {
        FData += n;
        FLeft -= n;
    }

    const unsigned char *FData;
    qsizetype FLeft;
};

void AppendU32(QByteArray &out, quint32 value)
{
    const char bytes[4] = {char(value & 0xFF), char(value >> 8 & 0xFF), char(value >> 16 & 0xFF),
                           char(value >> 24 & 0xFF)};
    out.append(bytes, 4);
}

bool AppendString(QByteArray &out, const QString &text)
{
    if (quint64(text.size()) > std::numeric_limits<quint32>::max())
        return false;
    AppendU32(out, quint32(text.size()));
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const char bytes[2] = {char(u & 0xFF), char(u >> 8)};
        out.append(bytes, 2);
    }
    return true;
}

// Every text followed by CR LF: the block the reader splits back into the same texts.
QString JoinBlock(const QStringList &texts)
{
    QString block;
    qsizetype size = 0;
    for (const QString &t : texts)
        size += t.size() + 2;
    block.reserve(size);
    for (const QString &t : texts) {
        block += t;
        block += QLatin1String("\r\n");
    }
    return block;
}

bool HasLineBreak(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), kwIsLineBreak);
}

void Fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
}

} // namespace

bool kwIsLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000A: case 0x000B: case 0x000C: case 0x000D: case 0x2028: case 0x2029:
        return true;
    default:
        return false;
    }
}

QStringList kwSplitLines(QStringView block)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = block.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (!kwIsLineBreak(block[i]))
            continue;
        lines.append(block.mid(start, i - start).toString());
        if (block[i] == u'\r' && i + 1 < n && block[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(block.mid(start).toString());
    return lines;
}

void kwSortedInsert(QStringList &list, const QString &text)
{
    const auto at = std::lower_bound(list.begin(), list.end(), text);
    if (at == list.end() || *at != text)
        list.insert(at, text);
}

QStringList kwSortedUnique(QStringList list)
{
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    return list;
}

QString kwLineSource(const QString &line, bool *hasSource)
{
    const qsizetype eq = line.indexOf(u'=');
    if (hasSource)
        *hasSource = eq >= 0;
    return eq >= 0 ? line.left(eq) : QString();
}

QString kwLineTranslation(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    return eq >= 0 ? line.mid(eq + 1) : QString();
}

QHash<QString, QString> kwTranslationsBySource(const QStringList &lines)
{
    QHash<QString, QString> map;
    for (const QString &line : lines) {
        bool hasSource = false;
        const QString source = kwLineSource(line, &hasSource);
        if (hasSource && !map.contains(source))
            map.insert(source, kwLineTranslation(line));
    }
    return map;
}

QString kwCheckLangData(const TkwLangData &data)
{
    for (const QString &s : data.Original) {
        if (HasLineBreak(s))
            return QStringLiteral("source text with a line break: \"%1\"").arg(s);
        if (s.contains(u'='))
            return QStringLiteral("source text with \"=\": \"%1\"").arg(s);
    }
    for (const TkwLangEntry &lang : data.Resources) {
        if (lang.ID.isEmpty())
            return QStringLiteral("language with an empty identifier");
        for (const QString &line : lang.Lines)
            if (HasLineBreak(line))
                return QStringLiteral("line of language %1 with a line break: \"%2\"")
                    .arg(lang.ID, line);
    }
    return {};
}

std::optional<TkwLangData> kwReadLangStream(QByteArrayView bytes, QString *error)
{
    if (bytes.size() > kwMaxLanguageFileSize) {
        Fail(error, QStringLiteral("stream of %1 bytes is larger than any language file").arg(bytes.size()));
        return std::nullopt;
    }
    TStreamReader in(bytes);
    TkwLangData data;
    QString block;
    if (!in.ReadString(block)) {
        Fail(error, QStringLiteral("source-text block runs past the end"));
        return std::nullopt;
    }
    data.Original = kwSortedUnique(kwSplitLines(block));

    quint32 count = 0;
    if (!in.ReadU32(count)) {
        Fail(error, QStringLiteral("language count missing"));
        return std::nullopt;
    }
    // Each language takes at least its two counts: a larger count cannot be real.
    if (quint64(count) * 8 > quint64(in.Left())) {
        Fail(error, QStringLiteral("language count %1 does not fit in the stream").arg(count));
        return std::nullopt;
    }
    data.Resources.reserve(qsizetype(count));
    for (quint32 i = 0; i < count; ++i) {
        TkwLangEntry lang;
        if (!in.ReadString(lang.ID) || !in.ReadString(block)) {
            Fail(error, QStringLiteral("language %1 runs past the end").arg(i));
            return std::nullopt;
        }
        lang.Lines = kwSortedUnique(kwSplitLines(block));
        data.Resources.append(std::move(lang));
    }
    // Bytes after the last language mean a damaged count: taking the languages
    // read so far would be a partial list.
    if (in.Left() != 0) {
        Fail(error, QStringLiteral("%1 bytes after the last language").arg(in.Left()));
        return std::nullopt;
    }
    if (const QString why = kwCheckLangData(data); !why.isEmpty()) {
        Fail(error, why);
        return std::nullopt;
    }
    return data;
}

std::optional<QByteArray> kwWriteLangStream(const TkwLangData &data, QString *error)
{
    if (const QString why = kwCheckLangData(data); !why.isEmpty()) {
        Fail(error, why);
        return std::nullopt;
    }
    QByteArray out;
    bool ok = AppendString(out, JoinBlock(kwSortedUnique(data.Original)));
    if (quint64(data.Resources.size()) > std::numeric_limits<quint32>::max())
        ok = false;
    AppendU32(out, quint32(data.Resources.size()));
    for (const TkwLangEntry &lang : data.Resources) {
        ok = ok && AppendString(out, lang.ID);
        ok = ok && AppendString(out, JoinBlock(kwSortedUnique(lang.Lines)));
    }
    if (!ok || out.size() > kwMaxLanguageFileSize) {
        Fail(error, QStringLiteral("language list too large for a language file"));
        return std::nullopt;
    }
    return out;
}

std::optional<TkwLangData> kwLoadLangFile(const QString &path, QString *error)
{
    // A FIFO or device would block the opening program or never end.
    if (const QFileInfo info(path); info.exists() && !info.isFile()) {
        Fail(error, QStringLiteral("%1 is not a regular file").arg(path));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    if (file.size() > kwMaxLanguageFileSize) {
        Fail(error, QStringLiteral("%1 is larger than any language file").arg(path));
        return std::nullopt;
    }
    // Read one byte past the limit so a file that grew after the size check is still refused.
    const QByteArray bytes = file.read(kwMaxLanguageFileSize + 1);
    return kwReadLangStream(bytes, error);
}

bool kwSaveLangFile(const QString &path, const TkwLangData &data, QString *error)
{
    const std::optional<QByteArray> bytes = kwWriteLangStream(data, error);
    if (!bytes)
        return false;
    QSaveFile file(path);
    // Unbuffered: a buffered QSaveFile (Qt 6.4) flushes inside commit() and
    // renames the file over the target even when that flush fails, leaving
    // half a file. Written directly, a failed write shows here and the
    // temporary file is dropped without touching the target.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(*bytes) != bytes->size() ||
        !file.commit()) {
        Fail(error, QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}
