#include "config/ui/kwTranslateHook.h"

#include "config/ui/kwLanguage.h"

namespace hkt::skin {

// ---- translation -----------------------------------------------------------

namespace {
TranslateFn &translator()
{
    static TranslateFn fn;
    return fn;
}
} // namespace

void SetTranslator(TranslateFn fn)
{
    translator() = std::move(fn);
    NotifyTranslationChanged();
}

QString TranslateText(const QString &source)
{
    const TranslateFn &fn = translator();
    return fn ? fn(source) : ::Translate(source);
}

TranslationNotifier &TranslationNotifier::Instance()
{
    static TranslationNotifier n;
    static const bool linked = [] {
        // A language switch of the language component reaches every control.
        QObject::connect(&kwLanguageNotifier(), &TkwLanguageNotifier::LanguageChanged, &n,
                         &TranslationNotifier::changed);
        return true;
    }();
    (void)linked;
    return n;
}

void NotifyTranslationChanged()
{
    emit TranslationNotifier::Instance().changed();
}

} // namespace hkt::skin
