// The translators' tool: the translation editor over a language file.
//
//   hkt75-translate [file]
//
// Without an argument it opens "kw.local" in the program folder. It saves to
// the file it opened. The suite's translations live as text in data/lang/;
// tools/kwlocal_sources turns a saved file back into those text sources.

#include "config/translate/Languagetranslate.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2) {
        std::fprintf(stderr, "usage: hkt75-translate [language file]\n");
        return 2;
    }
    const QString path = args.size() == 2 ? args[1]
                                          : hkt::platform::ProgramFolder() + QStringLiteral("kw.local");
    TkwLanguageDesignForm form;
    QString error;
    if (!form.OpenFile(path, &error)) {
        std::fprintf(stderr, "hkt75-translate: cannot read %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    form.show();
    return app.exec();
}
