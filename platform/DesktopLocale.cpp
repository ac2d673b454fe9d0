#include "platform/DesktopLocale.h"

namespace hkt::platform {

QStringList DesktopMessageLocales(const QProcessEnvironment &env)
{
    QStringList names;
    for (const QString &entry : env.value(QStringLiteral("LANGUAGE")).split(u':', Qt::SkipEmptyParts))
        names.append(entry);
    for (const char *var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = env.value(QString::fromLatin1(var));
        if (!value.isEmpty()) {
            names.append(value);
            break;
        }
    }
    return names;
}

} // namespace hkt::platform
