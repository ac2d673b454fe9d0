// The "kw.local" reader on arbitrary bytes: it must never read past the input
// or allocate by an unchecked count, and whatever it accepts must write back in
// canonical form and read back the same.
#include "config/ui/kwLanguageStream.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<TkwLangData> read = kwReadLangStream(bytes);
    if (!read)
        return 0;
    // Lone CR or LF breaks grow to CR LF when written: only a huge input can
    // outgrow the file limit that way.
    const std::optional<QByteArray> written = kwWriteLangStream(*read);
    if (!written) {
        if (qsizetype(size) <= kwMaxLanguageFileSize / 2)
            __builtin_trap();
        return 0;
    }
    const std::optional<TkwLangData> again = kwReadLangStream(*written);
    if (!again || !(*again == *read) || kwWriteLangStream(*again) != written)
        __builtin_trap();
    return 0;
}
