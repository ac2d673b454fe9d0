#include "config/ui/kwSkinPath.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace hkt::skin {

namespace {

// Spellings of `part` present in folder `cur` (ending in '/' or empty for the
// current folder): the exact one first, then the others in code-point order.
QStringList Spellings(const QString &cur, const QString &part)
{
    QStringList out;
    if (QFileInfo::exists(cur + part))
        out << part;
    if (part == QLatin1String(".") || part == QLatin1String(".."))
        return out;
    const QDir dir(cur.isEmpty() ? QStringLiteral(".") : cur);
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &e : entries) {
        if (e != part && e.compare(part, Qt::CaseInsensitive) == 0)
            out << e;
    }
    return out;
}

// Depth-first over the spellings, so "images/0409" is found below "Images"
// when a lower-case "images" folder also exists but lacks "0409".
bool ResolveFrom(const QString &cur, const QStringList &parts, qsizetype i, QString &out)
{
    if (i == parts.size()) {
        out = cur;
        return true;
    }
    for (const QString &s : Spellings(cur, parts[i])) {
        if (ResolveFrom(cur + s + QLatin1Char('/'), parts, i + 1, out))
            return true;
    }
    return false;
}

} // namespace

QString ResolvePath(const QString &APath)
{
    QString p = APath;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (p.isEmpty())
        return p;
    const bool absolute = p.startsWith(QLatin1Char('/'));
    const bool trailing = p.endsWith(QLatin1Char('/'));
    const QStringList parts = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QString root = absolute ? QStringLiteral("/") : QString();

    QString cur;
    if (!ResolveFrom(root, parts, 0, cur)) {
        // Nothing exists under any spelling: resolve the longest existing
        // prefix and keep the rest as spelt, so the result still names the
        // intended place.
        qsizetype n = parts.size();
        QString prefix;
        while (n > 0 && !ResolveFrom(root, parts.mid(0, n), 0, prefix))
            --n;
        cur = n > 0 ? prefix : root;
        for (qsizetype i = n; i < parts.size(); ++i)
            cur += parts[i] + QLatin1Char('/');
    }
    if (!trailing && cur.size() > 1)
        cur.chop(1);
    return cur;
}

} // namespace hkt::skin
