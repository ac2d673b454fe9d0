#include "config/app/HelpAndLanguage.h"

#include "config/ui/kwLanguage.h"
#include "config/ui/kwSkinPath.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

QString HelpValueForLanguage(const TNameValueList &list, const QString &languageID)
{
    auto find = [&list](const QString &id) -> const QString * {
        for (const auto &entry : list)
            if (!id.isEmpty() && entry.first.compare(id, Qt::CaseInsensitive) == 0)
                return &entry.second;
        return nullptr;
    };
    if (const QString *v = find(languageID))
        return *v;
    if (const QString *v = find(QStringLiteral("0409")))
        return *v;
    return {};
}

THelpTarget ResolveHelpTarget(const QString &programFolder, const QString &value)
{
    const QString trimmed = value.trimmed();
    if (trimmed.isEmpty())
        return {};
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(trimmed).hasMatch() || trimmed.startsWith(QStringLiteral("www."), Qt::CaseInsensitive))
        return {THelpTarget::Kind::Address, trimmed};

    QString relative = trimmed;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString inProgram = hkt::skin::ResolvePath(QDir(programFolder).filePath(relative));
    if (QFileInfo(inProgram).isFile())
        return {THelpTarget::Kind::File, QFileInfo(inProgram).absoluteFilePath()};
    if (QDir::isAbsolutePath(relative) && QFileInfo(relative).isFile())
        return {THelpTarget::Kind::File, relative};
    return {THelpTarget::Kind::MissingFile, trimmed};
}

std::vector<TLanguageBoxRow> LanguageBoxRows(const QList<TkwLangEntry> &languages)
{
    std::vector<TLanguageBoxRow> rows;
    const QList<TkwLanguageNameEntry> &names = NativeLanguageNamesByID();
    for (int pos = 0; pos < int(languages.size()); ++pos) {
        for (const TkwLanguageNameEntry &n : names) {
            if (n.Key.compare(languages[pos].ID, Qt::CaseInsensitive) == 0) {
                rows.push_back({n.Name, pos});
                break;
            }
        }
    }
    return rows;
}

int LanguageBoxRowOfPosition(const std::vector<TLanguageBoxRow> &rows, int position)
{
    for (int r = 0; r < int(rows.size()); ++r)
        if (rows[size_t(r)].Position == position)
            return r;
    return -1;
}
