#include "platform/IniFile.h"

#include "platform/Paths.h"

#include <QStringDecoder>
#include <QtGlobal>

#include <climits>
#include <cstdint>

namespace hkt::platform {

namespace {

QString Decode(const QByteArray &content)
{
    if (content.startsWith("\xFF\xFE")) {
        QStringDecoder d(QStringDecoder::Utf16LE);
        return d(content.mid(2));
    }
    if (content.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(content.mid(3));
    return QString::fromUtf8(content);
}

QString StripEnclosingQuotes(const QString &v)
{
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

bool SameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

IniFile::IniFile(const QString &path)
{
    QByteArray content;
    const ReadStatus status = ReadFileBounded(path, content, kMaxFileSize);
    if (status == ReadStatus::Ok) {
        Parse(content);
        m_loaded = true;
    } else if (status == ReadStatus::TooLarge) {
        qWarning("%s is larger than %lld bytes and is ignored", qUtf8Printable(path), kMaxFileSize);
    }
}

IniFile IniFile::FromBytes(const QByteArray &content)
{
    IniFile f;
    if (content.size() <= kMaxFileSize) {
        f.Parse(content);
        f.m_loaded = true;
    }
    return f;
}

void IniFile::Parse(const QByteArray &content)
{
    const QString text = Decode(content);
    Section *current = nullptr;
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && text.at(end) != u'\n' && text.at(end) != u'\r')
            ++end;
        const QString line = text.mid(pos, end - pos).trimmed();
        pos = end + 1;
        if (line.isEmpty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            const qsizetype close = line.indexOf(u']');
            const QString name = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
            m_sections.append(Section{name, {}});
            current = &m_sections.last();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!current || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (key.isEmpty())
            continue;
        current->entries.append({key, StripEnclosingQuotes(line.mid(eq + 1).trimmed())});
    }
}

const IniFile::Section *IniFile::FindSection(const QString &section) const
{
    for (const Section &s : m_sections)
        if (SameName(s.name, section))
            return &s;
    return nullptr;
}

const QString *IniFile::FindValue(const Section &s, const QString &key)
{
    for (const auto &e : s.entries)
        if (SameName(e.first, key))
            return &e.second;
    return nullptr;
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    if (const Section *s = FindSection(section))
        if (const QString *v = FindValue(*s, key))
            return *v;
    return defaultValue;
}

bool IniFile::ParseInteger(const QString &text, int &value)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(u'-')) {
        negative = true;
        t = t.mid(1);
    }
    int base = 10;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t = t.mid(2);
    } else if (t.startsWith(u'$')) {
        base = 16;
        t = t.mid(1);
    }
    if (t.isEmpty())
        return false;
    for (const QChar c : t)
        if (!(c.isDigit() && c.unicode() < 128) && !(base == 16 && QStringLiteral("abcdefABCDEF").contains(c)))
            return false;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, base);
    if (!ok)
        return false;
    const qlonglong signedValue = negative ? -v : v;
    // Hexadecimal spells the bit pattern, so $FFFFFFFF reads as -1.
    if (base == 16 && !negative && v > INT_MAX && v <= qlonglong(UINT_MAX)) {
        value = int(uint32_t(v));
        return true;
    }
    if (signedValue < INT_MIN || signedValue > INT_MAX)
        return false;
    value = int(signedValue);
    return true;
}

int IniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const QString *v = nullptr;
    if (const Section *s = FindSection(section))
        v = FindValue(*s, key);
    int value = defaultValue;
    if (!v || !ParseInteger(*v, value))
        return defaultValue;
    return value;
}

bool IniFile::SectionExists(const QString &section) const
{
    return FindSection(section) != nullptr;
}

bool IniFile::ValueExists(const QString &section, const QString &key) const
{
    const Section *s = FindSection(section);
    return s && FindValue(*s, key);
}

QStringList IniFile::SectionKeys(const QString &section) const
{
    QStringList keys;
    for (const auto &e : SectionValues(section))
        keys.append(e.first);
    return keys;
}

QList<QPair<QString, QString>> IniFile::SectionValues(const QString &section) const
{
    QList<QPair<QString, QString>> out;
    const Section *s = FindSection(section);
    if (!s)
        return out;
    for (const auto &e : s->entries) {
        bool seen = false;
        for (const auto &o : out)
            if (SameName(o.first, e.first)) {
                seen = true;
                break;
            }
        if (!seen)
            out.append(e);
    }
    return out;
}

} // namespace hkt::platform
