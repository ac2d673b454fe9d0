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
#include <cstring>
#include <mutex>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

// Last: Xlib defines macros (None, Bool, Status) that Qt's headers use as names.
#include <X11/Xlib.h>

namespace hkt::platform {

namespace {

constexpr const char *kGnomeMouseSchema = "org.gnome.desktop.peripherals.mouse";
constexpr const char *kDconfBusName = "ca.desrt.dconf";
// Generous: a bus that does not answer a name query in this time will not
// carry a settings write either.
constexpr int kBusCallTimeoutMs = 3000;

// dconf warns on every write its service did not take (with no bus: at every
// start and every APPLY, naming dbus-launch). The user hears it once, in our
// words; the settings simply stay as the desktop had them. dconf logs
// structured, so only the process's one log writer sees it: everything not
// dconf's goes on to GLib's own writer unchanged.
GLogWriterOutput WriteLog(GLogLevelFlags level, const GLogField *fields, gsize count, gpointer data)
{
    const bool dconf = std::any_of(fields, fields + count, [](const GLogField &f) {
        return std::strcmp(f.key, "GLIB_DOMAIN") == 0 && f.length < 0 &&
               std::strcmp(static_cast<const char *>(f.value), "dconf") == 0;
    });
    if (!dconf || (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_DEBUG | G_LOG_LEVEL_INFO)))
        return g_log_writer_default(level, fields, count, data);
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        std::fprintf(stderr, "mouse settings: the desktop's settings service did not take a change; "
                             "the desktop keeps its own pointer settings\n");
    return G_LOG_WRITER_HANDLED;
}

void SayDconfFailuresOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { g_log_set_writer_func(WriteLog, nullptr, nullptr); });
}

// The session bus that is there, as GIO would find it, but never the
// autolaunch that GIO (and so dconf) falls back to: that starts a bus of
// its own that no desktop listens on, or warns that it can't.
std::string SessionBusAddress()
{
    const char *env = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (env && *env)
        return std::strncmp(env, "autolaunch:", 11) == 0 ? std::string() : std::string(env);
    const char *runtime = g_getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return {};
    const std::string path = std::string(runtime) + "/bus";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode))
        return {};
    gchar *escaped = g_dbus_address_escape_value(path.c_str());
    std::string address = std::string("unix:path=") + escaped;
    g_free(escaped);
    return address;
}

bool BusBool(GDBusConnection *bus, const char *method, const char *name)
{
    GVariant *r = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                              "org.freedesktop.DBus", method, g_variant_new("(s)", name),
                                              G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs,
                                              nullptr, nullptr);
    if (!r)
        return false;
    gboolean b = FALSE;
    g_variant_get(r, "(b)", &b);
    g_variant_unref(r);
    return b;
}

bool BusCanStart(GDBusConnection *bus, const char *name)
{
    GVariant *r = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                              "org.freedesktop.DBus", "ListActivatableNames", nullptr,
                                              G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, kBusCallTimeoutMs,
                                              nullptr, nullptr);
    if (!r)
        return false;
    bool found = false;
    GVariantIter *names = nullptr;
    const gchar *n = nullptr;
    g_variant_get(r, "(as)", &names);
    while (!found && g_variant_iter_next(names, "&s", &n))
        found = std::strcmp(n, name) == 0;
    g_variant_iter_free(names);
    g_variant_unref(r);
    return found;
}

// Connects to the bus at `address` to ask for the dconf service: a bus that
// is there but dead, or one without the service, takes no settings.
void ProbeBus(const std::string &address, DesktopSettingsFacts &facts)
{
    GDBusConnection *bus = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (!bus)
        return;
    facts.sessionBus = true;
    facts.dconfService = BusBool(bus, "NameHasOwner", kDconfBusName) || BusCanStart(bus, kDconfBusName);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
}

// The dconf service replaces the user's database file in its folder, which
// it creates on the first write: the nearest folder that exists decides.
bool DconfDatabaseWritable()
{
    std::string dir = std::string(g_get_user_config_dir()) + "/dconf";
    for (;;) {
        if (::access(dir.c_str(), F_OK) == 0)
            return ::access(dir.c_str(), W_OK | X_OK) == 0;
        const auto slash = dir.find_last_of('/');
        if (slash == std::string::npos || dir == "/")
            return false;
        dir.resize(slash == 0 ? 1 : slash);
    }
}

GSettingsSchema *LookupGnomeMouseSchema()
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    return source ? g_settings_schema_source_lookup(source, kGnomeMouseSchema, TRUE) : nullptr;
}

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
    explicit GnomeMouseSettings(GSettingsSchema *schema) : m_schema(schema) { SayDconfFailuresOnce(); }
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
        // A key the administrator locked is not this desktop's to change.
        const bool ok = g_settings_is_writable(s, key) && set(s);
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
    GSettingsSchema *schema = LookupGnomeMouseSchema();
    if (!schema)
        return nullptr;
    return std::make_unique<GnomeMouseSettings>(schema);
}

AccelerationBackend ChooseAccelerationBackend(const DesktopSettingsFacts &facts)
{
    if (facts.gnomeSchema && facts.sessionBus && facts.dconfService && facts.dconfWritable)
        return AccelerationBackend::GSettings;
    return facts.xDisplay ? AccelerationBackend::X11 : AccelerationBackend::Neither;
}

DesktopSettingsFacts ProbeGnomeSettings()
{
    DesktopSettingsFacts facts;
    if (GSettingsSchema *schema = LookupGnomeMouseSchema()) {
        facts.gnomeSchema = true;
        g_settings_schema_unref(schema);
    }
    const std::string address = facts.gnomeSchema ? SessionBusAddress() : std::string();
    if (!address.empty())
        ProbeBus(address, facts);
    facts.dconfWritable = facts.dconfService && DconfDatabaseWritable();
    return facts;
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
    // fetch_or: of threads finding the same setting missing at once, exactly
    // one sees the bit unset.
    if (!taken && !(m_loggedMissing.fetch_or(bit) & bit))
        std::fprintf(stderr, "mouse settings: no desktop setting here holds the %s\n", what);
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

std::unique_ptr<SystemMouseSettings> MakeSystemMouseSettings(const QString &display)
{
    std::vector<std::unique_ptr<SystemMouseSettings>> backends;
    DesktopSettingsFacts facts = ProbeGnomeSettings();
    std::unique_ptr<SystemMouseSettings> x11;
    if (ChooseAccelerationBackend(facts) != AccelerationBackend::GSettings) {
        x11 = MakeX11MouseSettings(display);
        facts.xDisplay = x11 != nullptr;
    }
    switch (ChooseAccelerationBackend(facts)) {
    case AccelerationBackend::GSettings:
        if (auto gnome = MakeGnomeMouseSettings())
            backends.push_back(std::move(gnome));
        break;
    case AccelerationBackend::X11: backends.push_back(std::move(x11)); break;
    case AccelerationBackend::Neither: break;
    }
    backends.push_back(MakeQtMouseSettings());
    return std::make_unique<DesktopMouseSettings>(std::move(backends));
}

} // namespace hkt::platform
