// Feeds arbitrary bytes to the INI reader and every query on them.
#include "platform/IniFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const hkt::platform::IniFile ini = hkt::platform::IniFile::FromBytes(bytes);
    for (const char *section : {"options", "OtherConfig", "HelpLinks", "IncludeHIDDeviceList", ""}) {
        const QString s = QString::fromLatin1(section);
        (void)ini.ReadString(s, QStringLiteral("id1"), QString());
        (void)ini.ReadInteger(s, QStringLiteral("NoLogo"), 0);
        for (const auto &kv : ini.SectionValues(s))
            (void)ini.ReadString(s, kv.first, QString());
    }
    int value = 0;
    (void)hkt::platform::IniFile::ParseInteger(QString::fromUtf8(bytes), value);
    return 0;
}
