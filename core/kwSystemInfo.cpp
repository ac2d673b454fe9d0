#include "core/kwSystemInfo.h"

namespace {

bool Workstation(const TWinVersionFacts &f)
{
    return f.ExtendedInfoReadable && f.ProductType == 1;
}

TWinVersionKind NineX(const TWinVersionFacts &f, const QString &sp)
{
    const uint32_t minor = f.MinorVersion;
    if (minor <= 9)
        return (sp == QLatin1String("B") || sp == QLatin1String("C")) ? wvWin95OSR2 : wvWin95;
    if (minor >= 10 && minor <= 89) {
        if (f.Kernel32VersionKnown && f.Kernel32Major == 4 && f.Kernel32Minor == 90)
            return wvWinME;
        if (sp == QLatin1String("A") || sp == QLatin1String("B"))
            return wvWin98SE;
        return wvWin98;
    }
    return minor == 90 ? wvWinME : wvUnknown;
}

TWinVersionKind NT(const TWinVersionFacts &f)
{
    const uint32_t minor = f.MinorVersion;
    switch (f.MajorVersion) {
    case 3:
        return minor == 1 ? wvWinNT31 : minor == 5 ? wvWinNT35 : minor == 51 ? wvWinNT351 : wvUnknown;
    case 4:
        return wvWinNT4;
    case 5:
        if (minor == 0)
            return wvWin2000;
        if (minor == 1)
            return wvWinXP;
        if (minor == 2) {
            const uint16_t arch = f.NativeSystemInfoAvailable ? f.NativeProcessorArchitecture : 0;
            if (f.ServerR2Metric != 0)
                return wvWin2003R2;
            if (arch != 0 && Workstation(f))
                return wvWinXP64;
            return wvWin2003;
        }
        return wvUnknown;
    case 6:
        if (minor == 0)
            return Workstation(f) ? wvWinVista : wvWinServer2008;
        if (minor == 1)
            return Workstation(f) ? wvWin7 : wvWinServer2008R2;
        if (minor == 2)
            return Workstation(f) ? wvWin8 : wvWinServer2012;
        return wvUnknown;
    default:
        return wvUnknown;
    }
}

} // namespace

TWinVersionKind WinVersionKindOf(const TWinVersionFacts &facts)
{
    switch (facts.PlatformId) {
    case 1:
        return NineX(facts, facts.ServicePack.trimmed());
    case 2:
        return NT(facts);
    default:
        return wvUnknown;
    }
}

TWinVersionFacts CurrentWinVersionFacts()
{
    return TWinVersionFacts{};
}

TWinVersionKind GetWinVersionKind()
{
    return WinVersionKindOf(CurrentWinVersionFacts());
}
