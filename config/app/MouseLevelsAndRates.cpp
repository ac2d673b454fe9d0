#include "config/app/MouseLevelsAndRates.h"

#include "core/DMUnit.h"
#include "core/pubunit_device_commands.h"
#include "core/pubunit_device_encoders.h"
#include "platform/DeviceTransferLock.h"

#include <algorithm>
#include <memory>

bool TMouseLevelsAndRates::Complete() const
{
    return std::none_of(Level.begin(), Level.end(), [](int l) { return l < 0; }) &&
           std::none_of(Rate.begin(), Rate.end(), [](int r) { return r == 0; });
}

std::uint32_t ReadMouseLevelAndRate(TkwHIDData &AHID, int AProfile, int &ALevel, int &ARate)
{
    int level = 0;
    if (const std::uint32_t r = ReadProfileCPIIndex(AHID, AProfile, level); r != 0)
        return r;
    std::uint8_t code = 0;
    if (const std::uint32_t r = ReadDeviceMemory(AHID, &code, 1, ReportRateAddress(AProfile)); r != 0)
        return r;
    const int rate = ReportRateOfCode(code);
    if (rate == 0)
        return DEVICE_ERROR_INVALID_DATA;
    ALevel = level;
    ARate = rate;
    return 0;
}

TMouseLevelsAndRates ReadMouseLevelsAndRates(TkwHIDData &AHID)
{
    // Profile by profile, each value by itself: the memory map names each
    // rate byte and each table on its own, and a read spanning several is
    // nothing the mouse promises to answer.
    TMouseLevelsAndRates read;
    const hkt::platform::DeviceTransferRun oneRun;
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        int level = -1;
        int rate = 0;
        if (ReadMouseLevelAndRate(AHID, p, level, rate) == 0) {
            read.Level[std::size_t(p)] = level;
            read.Rate[std::size_t(p)] = rate;
        }
    }
    return read;
}

namespace {

bool LevelPlayable(const TMOUSECONFIGINFO &cfg, int level)
{
    return level >= 0 && level < CheckedCPILevel(cfg) && cfg.CPIState[level].Enabled == 1;
}

} // namespace

bool FollowMouseLevelAndRate(TDM &ADM, int AProfile, int ALevel, int ARate, TMouseProfileInfo &AProfileInfo)
{
    // Owed or not is judged against what the mouse was known to hold before
    // this read.
    const bool levelOwed = ADM.IsLevelOwedToMouse(AProfile);
    const bool rateOwed = ADM.IsRateOwedToMouse(AProfile);
    TMOUSECONFIGINFO &cfg = AProfileInfo.ConfigInfo;
    bool changed = false;
    if (ALevel >= 0) {
        ADM.NoteMouseHoldsLevel(AProfile, ALevel);
        if (!levelOwed && ALevel != cfg.CurrentCPIIndex && LevelPlayable(cfg, ALevel)) {
            cfg.CurrentCPIIndex = ALevel;
            changed = true;
        }
    }
    if (ARate != 0) {
        ADM.NoteMouseHoldsRate(AProfile, ARate);
        if (!rateOwed && ARate != int(cfg.ReportRate)) {
            cfg.ReportRate = std::uint16_t(ARate);
            changed = true;
        }
    }
    return changed;
}

std::array<bool, PROFILE_COUNT> FollowMouseLevelsAndRates(TDM &ADM, const TMouseLevelsAndRates &ARead)
{
    std::array<bool, PROFILE_COUNT> changed{};
    auto profile = std::make_unique<TMouseProfileInfo>();
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        const std::size_t i = std::size_t(p);
        if (ARead.Level[i] < 0 && ARead.Rate[i] == 0)
            continue;
        if (p == ADM.FProfileIndex) {
            // The working copy decides (it may hold an edit not yet copied
            // back); the store takes the same two values, and nothing else of
            // the working copy (a light preview stays out of it).
            *profile = ADM.FCurrentProfileInfo;
            if (!FollowMouseLevelAndRate(ADM, p, ARead.Level[i], ARead.Rate[i], *profile))
                continue;
            TMOUSECONFIGINFO &cur = ADM.FCurrentProfileInfo.ConfigInfo;
            cur.CurrentCPIIndex = profile->ConfigInfo.CurrentCPIIndex;
            cur.ReportRate = profile->ConfigInfo.ReportRate;
            ADM.ReadProfileInfo(*profile, p);
            profile->ConfigInfo.CurrentCPIIndex = cur.CurrentCPIIndex;
            profile->ConfigInfo.ReportRate = cur.ReportRate;
        } else {
            ADM.ReadProfileInfo(*profile, p);
            if (!FollowMouseLevelAndRate(ADM, p, ARead.Level[i], ARead.Rate[i], *profile))
                continue;
        }
        ADM.SaveBackToProfileInfo(*profile, p);
        changed[i] = true;
    }
    return changed;
}
