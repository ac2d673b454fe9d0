// GIO's headers name a member "signals", which Qt defines as a macro: they
// come first.
#include <gio/gio.h>

#include "platform/SystemMouseSettings.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QStyleHints>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <mutex>

// Last: Xlib defines macros (None, Bool, Status) that Qt's headers use as names.
#include <X11/Xlib.h>

namespace hkt::platform {

namespace {

constexpr const char *kGnomeMouseSchema = "org.gnome.desktop.peripherals.mouse";

// Runs f on the main thread: at once when called there, else queued to it.
template <class F> bool OnMainThread(F f)
{
    auto *app = QCoreApplication::instance();
    if (!qobject_cast<QGuiApplication *>(app))
        return false;
    if (QThread::currentThread() == app->thread())
        f();
    else
        QMetaObject::invokeMethod(app, f, Qt::QueuedConnection);
    return true;
}

class QtMouseSettings final : public SystemMouseSettings {
public:
    bool SetMouse(const MouseAccelerationRow &) override { return false; }
    bool SetMouseSpeed(int) override { return false; }
    bool SetWheelScrollLines(int lines) override
    {
        return OnMainThread([lines] { QGuiApplication::styleHints()->setWheelScrollLines(lines); });
    }
    bool SetDoubleClickTime(int ms) override
    {
        return OnMainThread([ms] { QGuiApplication::styleHints()->setMouseDoubleClickInterval(ms); });
    }
    QString Name() const override { return QStringLiteral("qt"); }
};

// One GSettings object per call: GSettings objects are not shared between
// threads, and the calls are rare.
class GnomeMouseSettings final : public SystemMouseSettings {
public:
    explicit GnomeMouseSettings(GSettingsSchema *schema) : m_schema(schema) {}
    ~GnomeMouseSettings() override { g_settings_schema_unref(m_schema); }

    bool SetMouse(const MouseAccelerationRow &row) override
    {
        // No thresholds here: no acceleration is the flat profile, any
        // other row the adaptive one.
        const char *profile = row.acceleration == 0 ? "flat" : "adaptive";
        return With("accel-profile", [&](GSettings *s) { return g_settings_set_string(s, "accel-profile", profile); });
    }
    bool SetMouseSpeed(int speed) override
    {
        return With("speed", [&](GSettings *s) { return g_settings_set_double(s, "speed", GnomePointerSpeed(speed)); });
    }
    bool SetWheelScrollLines(int) override { return false; }
    bool SetDoubleClickTime(int ms) override
    {
        return With("double-click", [&](GSettings *s) { return g_settings_set_int(s, "double-click", ms); });
    }
    QString Name() const override { return QStringLiteral("gsettings"); }

private:
    template <class F> bool With(const char *key, F &&set)
    {
        if (!g_settings_schema_has_key(m_schema, key))
            return false;
        GSettings *s = g_settings_new_full(m_schema, nullptr, nullptr);
        const bool ok = set(s);
        g_settings_sync();
        g_object_unref(s);
        return ok;
    }
    GSettingsSchema *m_schema;
};

class X11MouseSettings final : public SystemMouseSettings {
public:
    explicit X11MouseSettings(QByteArray display) : m_display(std::move(display)) {}

    bool SetMouse(const MouseAccelerationRow &row) override
    {
        Display *d = XOpenDisplay(m_display.isEmpty() ? nullptr : m_display.constData());
        if (!d)
            return false;
        // The server has one factor above one threshold: the row's factor
        // level doubles the speed per level above its first threshold.
        const int numerator = 1 << std::clamp(row.acceleration, 0, 2);
        XChangePointerControl(d, True, True, numerator, 1, row.acceleration == 0 ? 0 : row.threshold1);
        XSync(d, False);
        XCloseDisplay(d);
        return true;
    }
    bool SetMouseSpeed(int) override { return false; }
    bool SetWheelScrollLines(int) override { return false; }
    bool SetDoubleClickTime(int) override { return false; }
    QString Name() const override { return QStringLiteral("x11"); }

private:
    QByteArray m_display;
};

} // namespace

std::optional<MouseAccelerationRow> AccelerationRow(int acceleration)
{
    switch (acceleration) {
    case 0: return MouseAccelerationRow{0, 0, 0};
    case 1: return MouseAccelerationRow{7, 0, 1};
    case 2: return MouseAccelerationRow{4, 6, 2};
    case 3: return MouseAccelerationRow{4, 0, 1};
    default: return std::nullopt;
    }
}

int ClampDoubleClickTime(int ms)
{
    return std::clamp(ms, kMinDoubleClickMs, kMaxDoubleClickMs);
}

double GnomePointerSpeed(int speed)
{
    return std::clamp((speed - 10) / 10.0, -1.0, 1.0);
}

std::unique_ptr<SystemMouseSettings> MakeQtMouseSettings()
{
    return std::make_unique<QtMouseSettings>();
}

std::unique_ptr<SystemMouseSettings> MakeGnomeMouseSettings()
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    GSettingsSchema *schema = source ? g_settings_schema_source_lookup(source, kGnomeMouseSchema, TRUE) : nullptr;
    if (!schema)
        return nullptr;
    return std::make_unique<GnomeMouseSettings>(schema);
}

std::unique_ptr<SystemMouseSettings> MakeX11MouseSettings(const QString &display)
{
    const QByteArray name = display.toLocal8Bit();
    Display *d = XOpenDisplay(name.isEmpty() ? nullptr : name.constData());
    if (!d)
        return nullptr;
    XCloseDisplay(d);
    return std::make_unique<X11MouseSettings>(name);
}

DesktopMouseSettings::DesktopMouseSettings(std::vector<std::unique_ptr<SystemMouseSettings>> backends)
    : m_backends(std::move(backends))
{
}

template <class F> bool DesktopMouseSettings::Each(const char *what, int bit, F &&f)
{
    bool taken = false;
    for (auto &b : m_backends)
        taken = f(*b) || taken;
    if (!taken && !(m_loggedMissing & bit)) {
        m_loggedMissing |= bit;
        std::fprintf(stderr, "mouse settings: no desktop setting here holds the %s\n", what);
    }
    return taken;
}

bool DesktopMouseSettings::SetMouse(const MouseAccelerationRow &row)
{
    return Each("pointer acceleration", 1, [&](SystemMouseSettings &b) { return b.SetMouse(row); });
}

bool DesktopMouseSettings::SetMouseSpeed(int speed)
{
    return Each("pointer speed", 2, [&](SystemMouseSettings &b) { return b.SetMouseSpeed(speed); });
}

bool DesktopMouseSettings::SetWheelScrollLines(int lines)
{
    return Each("wheel lines", 4, [&](SystemMouseSettings &b) { return b.SetWheelScrollLines(lines); });
}

bool DesktopMouseSettings::SetDoubleClickTime(int ms)
{
    return Each("double-click time", 8, [&](SystemMouseSettings &b) { return b.SetDoubleClickTime(ms); });
}

QString DesktopMouseSettings::Name() const
{
    QStringList names;
    for (const auto &b : m_backends)
        names.append(b->Name());
    return names.join(QLatin1Char('+'));
}

std::unique_ptr<SystemMouseSettings> MakeSystemMouseSettings()
{
    std::vector<std::unique_ptr<SystemMouseSettings>> backends;
    if (auto gnome = MakeGnomeMouseSettings())
        backends.push_back(std::move(gnome));
    else if (auto x11 = MakeX11MouseSettings())
        backends.push_back(std::move(x11));
    backends.push_back(MakeQtMouseSettings());
    return std::make_unique<DesktopMouseSettings>(std::move(backends));
}

} // namespace hkt::platform
