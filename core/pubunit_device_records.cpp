#include "core/pubunit_device_records.h"

#include "platform/Clock.h"
#include "platform/Paths.h"

#include <algorithm>

std::optional<TFunctionTableRow> FunctionTableRow(int row)
{
    if (row < 0 || row >= FUNCTION_TABLE_ROWS)
        return std::nullopt;
    return FUNCTION_TABLE[std::size_t(row)];
}

std::optional<int> FunctionRowByMenuID(int32_t menuId)
{
    for (const TFunctionTableRow &r : FUNCTION_TABLE)
        if (r.MenuID == menuId)
            return r.Row;
    return std::nullopt;
}

namespace {
// Julian day number of 1899-12-30, day zero of the date-time number.
constexpr qint64 DATE_TIME_EPOCH_JULIAN_DAY = 2415019;
constexpr double MSECS_PER_DAY = 86400000.0;
} // namespace

double DateTimeNumber(const QDateTime &local)
{
    const double days = double(local.date().toJulianDay() - DATE_TIME_EPOCH_JULIAN_DAY);
    const double fraction = local.time().msecsSinceStartOfDay() / MSECS_PER_DAY;
    // Before the epoch the number's integer part counts back while the
    // fraction still counts forward (-1.25 is 29 Dec 1899, 06:00).
    return days >= 0 ? days + fraction : days - fraction;
}

double ProfileUIDDataTime(const TProfileUIDData &uid)
{
    double v;
    std::memcpy(&v, uid.RawData, sizeof v);
    return v;
}

void SetProfileUIDDataTime(TProfileUIDData &uid, double dateTime)
{
    std::memcpy(uid.RawData, &dateTime, sizeof dateTime);
}

void GetProfileUID(TProfileUIDData &uid)
{
    SetProfileUIDDataTime(uid, DateTimeNumber(hkt::platform::CurrentLocalDateTime()));
}

int CheckedButtonCount(const TMOUSECONFIGINFO &config)
{
    return std::clamp<int32_t>(config.ButtonCount, 0, BUTTON_ENTRY_COUNT);
}

std::optional<int> CheckedButtonIndex(const TBUTTONFUNCINFO &button)
{
    if (button.ButtonIndex >= BUTTON_ENTRY_COUNT)
        return std::nullopt;
    return int(button.ButtonIndex);
}

std::optional<int> CheckedFunctionIndex(const TBUTTONFUNCINFO &button)
{
    if (button.FunctionIndex >= FUNCTION_TABLE_ROWS)
        return std::nullopt;
    return int(button.FunctionIndex);
}

std::optional<int32_t> ShownMenuID(const TBUTTONFUNCINFO &button)
{
    if (button.MenuID != 0)
        return button.MenuID;
    if (const auto row = FunctionTableRow(button.FunctionIndex))
        return row->MenuID;
    return std::nullopt;
}

std::optional<int> CheckedCurrentCPIIndex(const TMOUSECONFIGINFO &config)
{
    if (config.CurrentCPIIndex < 0 || config.CurrentCPIIndex >= CPI_LEVELS_IN_USE)
        return std::nullopt;
    return int(config.CurrentCPIIndex);
}

int CheckedCPILevel(const TMOUSECONFIGINFO &config)
{
    return std::min<int>(config.CPILevel, CPI_LEVELS_IN_USE);
}

int CheckedMacroListCount(const TMACROKEYINFO &macro)
{
    return std::clamp<int32_t>(macro.MacroListCount, 0, MACRO_STEP_CAPACITY);
}

int CheckedMacroInfoCount(const TMACROKEYINFOLIST &list)
{
    return std::min<int>(list.nMacroInfoCount, MACRO_LIST_CAPACITY);
}

std::optional<int> CheckedMacroIndex(const TMACROKEYINFO &macro)
{
    if (macro.nMacroIndex >= MACRO_LIST_CAPACITY)
        return std::nullopt;
    return int(macro.nMacroIndex);
}

std::optional<int> CheckedCurrentGame(const TALLGAMESINFO &all)
{
    if (all.CurrentGame >= PROFILE_COUNT)
        return std::nullopt;
    return int(all.CurrentGame);
}

std::optional<int> CheckedCurrentProfileGroup(const TProfileSettingGroup &group)
{
    if (group.CurrentProfileGroup < 0 || group.CurrentProfileGroup > 1)
        return std::nullopt;
    return int(group.CurrentProfileGroup);
}

std::optional<int> CheckedGroupProfileIndex(const TProfileSettingGroup &group)
{
    const auto g = CheckedCurrentProfileGroup(group);
    if (!g)
        return std::nullopt;
    const int32_t p = group.ProfileIndexOfProfileGroup[*g];
    if (p < 0 || p >= PROFILE_COUNT)
        return std::nullopt;
    return int(p);
}

std::optional<bool> CheckedStoreInFile(const TProfileSettingItem &item)
{
    if (item.StoreInFile > 1)
        return std::nullopt;
    return item.StoreInFile == 1;
}

bool IsSafeFileName(const QString &name)
{
    return hkt::platform::IsPlainName(name) && !name.contains(QLatin1String(".."));
}

QString FieldText(const char16_t *field, std::size_t units, std::size_t maxUnits)
{
    const std::size_t limit = std::min(units, maxUnits);
    std::size_t n = 0;
    while (n < limit && field[n] != 0)
        ++n;
    return QString::fromUtf16(field, qsizetype(n));
}

bool FitsField(std::size_t units, const QString &text)
{
    return units > 0 && std::size_t(text.size()) < units && !text.contains(QChar(0));
}

bool SetFieldText(char16_t *field, std::size_t units, const QString &text)
{
    if (units == 0)
        return text.isEmpty();
    std::size_t n = std::min<std::size_t>(std::size_t(text.size()), units - 1);
    // Never leave half a surrogate pair at the end of a cut text.
    if (n < std::size_t(text.size()) && n > 0 && text.at(qsizetype(n - 1)).isHighSurrogate())
        --n;
    const char16_t *src = reinterpret_cast<const char16_t *>(text.utf16());
    std::copy_n(src, n, field);
    std::fill(field + n, field + units, char16_t(0));
    return n == std::size_t(text.size());
}

QString MacroNameText(const TMACROKEYINFO &macro)
{
    return FieldText(macro.szMacroName, MACRO_NAME_MAX_CHARS);
}
