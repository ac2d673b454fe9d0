// Untrusted bytes as the "kw.local" the translation editor opens, edits and
// saves, through its model. What the reader takes the model must show whole
// and save back unchanged (byte for byte for a file in the written form);
// after edits driven by the input's first bytes, every save must write a file
// that reads back as the model's lists.
#include "config/translate/LanguageDesignModel.h"
#include "config/ui/kwLanguageStream.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

struct World {
    QTemporaryDir tmp;
    QString path = tmp.path() + "/kw.local";
};

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Saves and reads back: the file holds exactly the model's lists.
void SaveAndReread(TkwLanguageDesignModel &m, const QString &path)
{
    const TkwLangData data = m.Data();
    if (!m.SaveToFile(path)) {
        // Only a list the stream refuses, or one past the size limit, fails.
        const std::optional<QByteArray> bytes = kwWriteLangStream(data);
        if (bytes && bytes->size() <= kwMaxLanguageFileSize)
            __builtin_trap();
        return;
    }
    const std::optional<TkwLangData> again = kwLoadLangFile(path);
    if (!again || !(*again == data) || !(m.Data() == data))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static World *world = new World; // lives for the whole run
    // The first 8 bytes script the edits; the rest is the file.
    const std::size_t scriptSize = std::min<std::size_t>(size, 8);
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + scriptSize), qsizetype(size - scriptSize));
    const std::optional<TkwLangData> read = kwReadLangStream(bytes);
    if (!read)
        return 0;

    TkwLanguageDesignModel m;
    m.Load(*read);
    // Shown whole: every non-empty source and every language's lines.
    TkwLangData expected;
    for (const QString &s : kwSortedUnique(read->Original))
        if (!s.isEmpty())
            expected.Original << s;
    for (const TkwLangEntry &l : read->Resources)
        expected.Resources.append({l.ID, kwSortedUnique(l.Lines)});
    if (!(m.Data() == expected) || m.TabCount() != read->Resources.size())
        __builtin_trap();
    for (int t = 0; t < m.TabCount(); ++t)
        for (int r = 0; r < m.Sources().size() && r < 64; ++r)
            (void)m.Translation(t, r);

    // Opened and not changed: saved back byte for byte when the file was in
    // the written form.
    const std::optional<QByteArray> canonical = kwWriteLangStream(*read);
    if (canonical && *canonical == bytes && expected.Original.size() == read->Original.size()) {
        if (!m.SaveToFile(world->path) || ReadAll(world->path) != *canonical)
            __builtin_trap();
    }

    for (std::size_t i = 0; i < scriptSize; ++i) {
        const int arg = data[i] >> 3;
        m.SelectTab(m.TabCount() > 0 ? arg % m.TabCount() : -1);
        switch (data[i] & 7) {
        case 0: m.SetTranslation(m.CurrentTab(), arg, QStringLiteral("t%1").arg(arg)); break;
        case 1: m.SetTranslation(m.CurrentTab(), arg, QString()); break;
        case 2: m.AddConstText(QStringLiteral("Added %1").arg(arg)); break;
        case 3: m.DeleteConstText(arg); break;
        case 4: m.SetTextList(m.TextList()); break;
        case 5: {
            QStringList lines = m.TextList();
            if (!lines.isEmpty())
                lines.removeAt(arg % lines.size());
            m.SetTextList(lines << QStringLiteral("New %1=n").arg(arg));
            break;
        }
        case 6: m.AddLanguage(arg); break;
        default: m.DeleteLanguage(); break;
        }
    }
    SaveAndReread(m, world->path);
    return 0;
}
