#pragma once
// The desktop's mouse settings, in place of SystemParametersInfo and
// SetDoubleClickTime: pointer speed (1..20), pointer acceleration (the
// thresholds-and-factor rows of 0..3), wheel lines (1..10) and the
// double-click time (200..900 ms).
//
// Backends are chosen at run time:
//  - GSettings through GIO when its writes reach the desktop: the schema
//    org.gnome.desktop.peripherals.mouse installed, a session bus on which
//    the dconf service runs or can be started, and the user's dconf database
//    writable. Speed, acceleration profile and double-click time;
//  - otherwise the X server's pointer control (acceleration factor and
//    threshold) when an X display is there. GSettings is then never touched,
//    so dconf neither tries to start a bus nor warns about it;
//  - always the suite's own Qt settings (double-click interval and wheel
//    lines), so the suite's windows follow at once.
// A setting that no backend of the running desktop holds is logged once, and
// so is a change the desktop's settings service did not take.
//
// SetMouse, SetMouseSpeed and SetWheelScrollLines may be called from a
// worker thread; the Qt part is then carried out on the main thread.

#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace hkt::platform {

// SPI_SETMOUSE's three values.
struct MouseAccelerationRow {
    int threshold1 = 0;
    int threshold2 = 0;
    int acceleration = 0;
    bool operator==(const MouseAccelerationRow &) const = default;
};

// The row of an acceleration 0..3: {0,0,0}, {7,0,1}, {4,6,2}, {4,0,1};
// nullopt for any other value (the caller then skips the acceleration).
std::optional<MouseAccelerationRow> AccelerationRow(int acceleration);

inline constexpr int kMinDoubleClickMs = 200;
inline constexpr int kMaxDoubleClickMs = 900;
int ClampDoubleClickTime(int ms);
// Pointer speed 1..20 as GSettings' -1..1 (10 is 0, the desktop's default).
double GnomePointerSpeed(int speed);

class SystemMouseSettings {
public:
    virtual ~SystemMouseSettings() = default;
    // Each returns true when this backend holds the setting and took it.
    virtual bool SetMouse(const MouseAccelerationRow &row) = 0;
    virtual bool SetMouseSpeed(int speed) = 0;
    virtual bool SetWheelScrollLines(int lines) = 0;
    virtual bool SetDoubleClickTime(int ms) = 0;
    virtual QString Name() const = 0;
};

// GSettings; null when the schema is not installed. Whether its writes reach
// the desktop is not checked here (see GnomeSettingsReachDesktop).
std::unique_ptr<SystemMouseSettings> MakeGnomeMouseSettings();

// What decides where the acceleration goes.
struct DesktopSettingsFacts {
    bool gnomeSchema = false;   // org.gnome.desktop.peripherals.mouse installed
    bool sessionBus = false;    // a session bus reachable without starting one
    bool dconfService = false;  // the dconf service runs or is activatable on it
    bool dconfWritable = false; // the user's dconf database can be written
    bool xDisplay = false;      // an X display can be opened
    bool operator==(const DesktopSettingsFacts &) const = default;
};
enum class AccelerationBackend { GSettings, X11, Neither };
AccelerationBackend ChooseAccelerationBackend(const DesktopSettingsFacts &facts);
// The GSettings half of the facts, from this process's environment. Looks
// only for a bus that is there ($DBUS_SESSION_BUS_ADDRESS, else
// $XDG_RUNTIME_DIR/bus): it never autolaunches one.
DesktopSettingsFacts ProbeGnomeSettings();
// The X server's pointer control on `display` (empty: $DISPLAY); null when
// no X display can be opened.
std::unique_ptr<SystemMouseSettings> MakeX11MouseSettings(const QString &display = QString());
// The suite's own Qt settings (QStyleHints).
std::unique_ptr<SystemMouseSettings> MakeQtMouseSettings();

// Every setting goes to every backend; what none takes is logged once, even
// when several threads find it missing at the same moment.
class DesktopMouseSettings : public SystemMouseSettings {
public:
    explicit DesktopMouseSettings(std::vector<std::unique_ptr<SystemMouseSettings>> backends);
    bool SetMouse(const MouseAccelerationRow &row) override;
    bool SetMouseSpeed(int speed) override;
    bool SetWheelScrollLines(int lines) override;
    bool SetDoubleClickTime(int ms) override;
    QString Name() const override;

private:
    template <class F> bool Each(const char *what, int bit, F &&f);
    std::vector<std::unique_ptr<SystemMouseSettings>> m_backends;
    std::atomic<int> m_loggedMissing{0}; // one bit per setting already logged
};

// GIO when its writes reach the desktop, else X11 on `display` (empty:
// $DISPLAY) when it can be opened; Qt always.
std::unique_ptr<SystemMouseSettings> MakeSystemMouseSettings(const QString &display = QString());

} // namespace hkt::platform
