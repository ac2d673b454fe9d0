#pragma once
// Which Windows release the program runs on. The decision is a pure function
// of the version facts Windows reports, so it is the same wherever it runs;
// on Linux the facts say "not Windows" and the answer is 0.

#include <QString>

#include <cstdint>

enum TWinVersionKind : uint8_t {
    wvUnknown = 0,
    wvWin95 = 1,
    wvWin95OSR2 = 2,
    wvWin98 = 3,
    wvWin98SE = 4,
    wvWinME = 5,
    wvWinNT31 = 6,
    wvWinNT35 = 7,
    wvWinNT351 = 8,
    wvWinNT4 = 9,
    wvWin2000 = 10,
    wvWinXP = 11,
    wvWin2003 = 12,
    wvWinXP64 = 13,
    wvWin2003R2 = 14,
    wvWinVista = 15,
    wvWinServer2008 = 16,
    wvWin7 = 17,
    wvWin8 = 18,
    wvWinServer2008R2 = 19,
    wvWinServer2012 = 20,
};

struct TWinVersionFacts {
    uint32_t PlatformId = 0;        // 1: the 9x family, 2: the NT family, 0: not Windows
    uint32_t MajorVersion = 0;
    uint32_t MinorVersion = 0;
    QString ServicePack;            // as reported; blanks around it do not count
    bool Kernel32VersionKnown = false;
    uint16_t Kernel32Major = 0;
    uint16_t Kernel32Minor = 0;
    bool NativeSystemInfoAvailable = false;
    uint16_t NativeProcessorArchitecture = 0; // 0 x86, 9 x64, 6 Itanium
    int ServerR2Metric = 0;                   // the system metric of Server 2003 R2
    bool ExtendedInfoReadable = false;
    uint8_t ProductType = 0;                  // 1: workstation
};

TWinVersionKind WinVersionKindOf(const TWinVersionFacts &facts);
// The facts of the running system; on Linux a platform of 0.
TWinVersionFacts CurrentWinVersionFacts();
TWinVersionKind GetWinVersionKind();
