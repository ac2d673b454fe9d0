// Memory of the translation editor's model over a large language file: a
// kw.local of 20,000 source texts and 1,000 languages (each with a few
// translations, as a file grows while translators fill it in), read and
// loaded into TkwLanguageDesignModel as the editor opens it, then saved as
// the editor saves it. Prints one "name value unit" line per figure: the
// file's size, the heap the loaded model holds, and the heap at its peak
// while saving (glibc's own count of bytes in use, so the figures do not
// depend on what the allocator keeps cached).
#include "config/translate/LanguageDesignModel.h"
#include "config/ui/kwLanguageStream.h"

#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>
#include <optional>

namespace {

long long HeapInUse()
{
    return static_cast<long long>(mallinfo2().uordblks);
}

TkwLangData LargeList(int sources, int languages, int translatedPerLanguage)
{
    TkwLangData data;
    for (int s = 0; s < sources; ++s)
        data.Original << QStringLiteral("Text %1").arg(s, 5, 10, QLatin1Char('0'));
    for (int l = 0; l < languages; ++l) {
        TkwLangEntry lang{QStringLiteral("X%1").arg(l, 4, 16, QLatin1Char('0')), {}};
        for (int k = 0; k < translatedPerLanguage; ++k)
            lang.Lines << data.Original[(l * 37 + k * 1009) % sources] + QStringLiteral("=T%1").arg(k);
        lang.Lines = kwSortedUnique(lang.Lines);
        data.Resources.append(lang);
    }
    return data;
}

} // namespace

int main()
{
    QByteArray bytes = kwWriteLangStream(LargeList(20000, 1000, 2)).value();
    std::printf("kwlocal_file_size %lld bytes\n", static_cast<long long>(bytes.size()));

    const long long before = HeapInUse();
    std::optional<TkwLanguageDesignModel> model;
    {
        const std::optional<TkwLangData> data = kwReadLangStream(bytes);
        if (!data) {
            std::fprintf(stderr, "bench_translate: the generated file does not read back\n");
            return 1;
        }
        model.emplace();
        model->Load(*data);
    }
    const long long loaded = HeapInUse() - before;
    std::printf("editor_model_heap %lld bytes\n", loaded);
    std::printf("editor_model_heap_per_file_byte %.2f\n", double(loaded) / double(bytes.size()));

    QTemporaryDir dir;
    QString why;
    if (!model->SaveToFile(dir.filePath(QStringLiteral("kw.local")), &why)) {
        std::fprintf(stderr, "bench_translate: save failed: %s\n", qPrintable(why));
        return 1;
    }
    std::printf("editor_model_heap_after_save %lld bytes\n", HeapInUse() - before);
    return 0;
}
