#include "config/app/DPILevels.h"

#include <algorithm>

namespace {
bool ValidLevel(int i) { return i >= 0 && i < CPI_LEVELS_IN_USE; }
} // namespace

int CPILevelsInUse(const TMOUSECONFIGINFO &config) { return CheckedCPILevel(config); }

bool HasOtherEnabledCPILevel(const TMOUSECONFIGINFO &config, int i)
{
    for (int j = 0; j < CPILevelsInUse(config); ++j)
        if (j != i && config.CPIState[j].Enabled != 0)
            return true;
    return false;
}

std::optional<int> FirstEnabledCPILevel(const TMOUSECONFIGINFO &config)
{
    for (int j = 0; j < CPILevelsInUse(config); ++j)
        if (config.CPIState[j].Enabled == 1)
            return j;
    return std::nullopt;
}

bool SetCPILevelEnabled(TMOUSECONFIGINFO &config, int i, bool on)
{
    if (!ValidLevel(i))
        return false;
    const bool taken = on || HasOtherEnabledCPILevel(config, i);
    if (taken)
        config.CPIState[i].Enabled = on ? 1 : 0;
    // Also after a refused click: a level that is off (a stored profile may
    // carry one as current) never stays current once the user touched a level.
    if (const auto first = FirstEnabledCPILevel(config))
        config.CurrentCPIIndex = *first;
    return taken;
}

bool CPILinked(const TMOUSECONFIGINFO &config, int i)
{
    return ValidLevel(i) && config.UseDiffentXY[i] == 1;
}

bool SetCPIValue(TMOUSECONFIGINFO &config, int i, int axis, int v)
{
    if (!ValidLevel(i) || (axis != 0 && axis != 1))
        return false;
    const uint16_t value = uint16_t(std::clamp(v, CPI_MIN_VALUE, CPI_MAX_VALUE));
    if (CPILinked(config, i)) {
        config.CPIState[i].X = value;
        config.CPIState[i].Y = value;
    } else if (axis == 0) {
        config.CPIState[i].X = value;
    } else {
        config.CPIState[i].Y = value;
    }
    return true;
}

QString CPILevelStyle(const TMOUSECONFIGINFO &config, int i)
{
    if (!ValidLevel(i) || config.CPIState[i].Enabled == 0)
        return QString::fromLatin1(CPI_STYLE_OFF);
    if (CheckedCurrentCPIIndex(config) == i)
        return QString::fromLatin1(CPI_STYLE_CURRENT);
    return QString::fromLatin1(CPI_STYLE_ON);
}
