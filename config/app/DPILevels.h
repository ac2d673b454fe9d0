#pragma once
// The DPI page's rules without widgets: which levels take part, turning a
// level on or off, the LINK XY pairing of the X and Y values and the look of
// a level button. Every loop stops at the five levels the page and the mouse
// know, whatever a stored CPILevel says.

#include "core/pubunit_device_records.h"

#include <QString>

#include <optional>

inline constexpr int CPI_MIN_VALUE = 50;
inline constexpr int CPI_MAX_VALUE = 16400;
inline constexpr int CPI_VALUE_STEP = 50;

// Level button styles of the skin.
inline constexpr char CPI_STYLE_OFF[] = "MYDPIBTN";
inline constexpr char CPI_STYLE_ON[] = "MYDPIBTNA";
inline constexpr char CPI_STYLE_CURRENT[] = "MYDPIBTNCURRENTA";

// Levels taking part in the rules: CPILevel, at most 5.
int CPILevelsInUse(const TMOUSECONFIGINFO &config);
// Whether a level j != i below CPILevel is on.
bool HasOtherEnabledCPILevel(const TMOUSECONFIGINFO &config, int i);
// The first level below CPILevel that is on (Enabled = 1).
std::optional<int> FirstEnabledCPILevel(const TMOUSECONFIGINFO &config);

// The user turns level i (0..4) on or off. Turning off the last level that
// is on is refused (false, the level stays on); otherwise Enabled[i] is set.
// In both cases the first level that is on becomes current (unchanged when
// none is). A level outside 0..4 changes nothing.
bool SetCPILevelEnabled(TMOUSECONFIGINFO &config, int i, bool on);

// A bar of level i (0..4) on axis 0 (X) or 1 (Y) moved to v: with LINK XY
// both values take v, else only that axis; v is clamped to 50..16400 as the
// bars hold it. False for a level or axis out of range.
bool SetCPIValue(TMOUSECONFIGINFO &config, int i, int axis, int v);

// Whether LINK XY is checked for level i.
bool CPILinked(const TMOUSECONFIGINFO &config, int i);

// The style of level i's button: current (on and current), on, or off.
QString CPILevelStyle(const TMOUSECONFIGINFO &config, int i);
