// The translation hook of the self-translating controls: one function the
// controls (and display-free rules that build shown texts) translate through,
// and one notice when translations change. Qt Core only, so rules that need
// a translated text need no widgets.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace hkt::skin {

// The translation every self-translating control applies to its source text:
// the language component's Translate, unless a function is set here (tests
// and tools set one; an empty function goes back to the component's).
using TranslateFn = std::function<QString(const QString &)>;
void SetTranslator(TranslateFn fn);
QString TranslateText(const QString &source);

// Tells every self-translating control to translate its source text again;
// raised on every language change of the language component too.
class TranslationNotifier : public QObject
{
    Q_OBJECT
public:
    static TranslationNotifier &Instance();
signals:
    void changed();
};
void NotifyTranslationChanged();

} // namespace hkt::skin
