// The Windows release from the facts Windows reports.

#include "core/kwSystemInfo.h"

#include <gtest/gtest.h>

namespace {

TWinVersionFacts NT(uint32_t major, uint32_t minor, bool workstation = true, uint16_t arch = 0, int r2 = 0)
{
    TWinVersionFacts f;
    f.PlatformId = 2;
    f.MajorVersion = major;
    f.MinorVersion = minor;
    f.NativeSystemInfoAvailable = true;
    f.NativeProcessorArchitecture = arch;
    f.ServerR2Metric = r2;
    f.ExtendedInfoReadable = true;
    f.ProductType = workstation ? 1 : 3;
    return f;
}

TWinVersionFacts NineX(uint32_t minor, const char *sp, bool kernelMe = false)
{
    TWinVersionFacts f;
    f.PlatformId = 1;
    f.MajorVersion = 4;
    f.MinorVersion = minor;
    f.ServicePack = QString::fromLatin1(sp);
    f.Kernel32VersionKnown = kernelMe;
    f.Kernel32Major = kernelMe ? 4 : 0;
    f.Kernel32Minor = kernelMe ? 90 : 0;
    return f;
}

TEST(WinVersion, EveryReleaseFromItsFacts)
{
    TWinVersionFacts noExtended = NT(6, 1);
    noExtended.ExtendedInfoReadable = false;
    TWinVersionFacts noNative = NT(5, 2, true, 9);
    noNative.NativeSystemInfoAvailable = false;
    const std::vector<std::pair<TWinVersionFacts, int>> cases = {
        {NineX(0, " "), 1},      {NineX(0, " B "), 2},   {NineX(9, "C"), 2},        {NineX(0, "b"), 1},
        {NineX(10, ""), 3},      {NineX(10, "A"), 4},    {NineX(89, "B"), 4},       {NineX(10, "A", true), 5},
        {NineX(90, ""), 5},      {NineX(91, ""), 0},     {NT(3, 1), 6},             {NT(3, 5), 7},
        {NT(3, 51), 8},          {NT(3, 2), 0},          {NT(4, 0), 9},             {NT(5, 0), 10},
        {NT(5, 1), 11},          {NT(5, 2, false, 9), 12}, {NT(5, 2, true, 9), 13}, {NT(5, 2, true, 6), 13},
        {NT(5, 2, true, 0), 12}, {NT(5, 2, true, 9, 1), 14}, {NT(5, 2, false, 0, 1), 14}, {noNative, 12},
        {NT(5, 3), 0},           {NT(6, 0), 15},         {NT(6, 0, false), 16},     {NT(6, 1), 17},
        {NT(6, 1, false), 19},   {NT(6, 2), 18},         {NT(6, 2, false), 20},     {NT(6, 3), 0},
        {NT(7, 0), 0},           {NT(10, 0), 0},         {noExtended, 19},          {TWinVersionFacts{}, 0},
    };
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(WinVersionKindOf(cases[i].first), cases[i].second) << "case " << i;
}

TEST(WinVersion, LinuxIsNoWindowsRelease)
{
    EXPECT_EQ(GetWinVersionKind(), wvUnknown);
}

} // namespace
