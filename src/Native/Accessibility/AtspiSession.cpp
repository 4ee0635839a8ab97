#include "Native/Accessibility/AtspiSession.h"

#include "Native/Accessibility/AtspiRequests.h"

#include <algorithm>
#include <atomic>
#include <climits>

#include <dlfcn.h>

Q_LOGGING_CATEGORY(lcAccessibility, "app.lumivox.Accessibility")

namespace Lumivox::Native::Atspi {

using namespace std::chrono_literals;

namespace {

// After a request to an application times out, requests to it fail at once for this long, so that
// a hung application costs one timeout per lookup rather than one per request.
constexpr auto unresponsivePause = 1s;
// How long an unknown process id is remembered as having no accessible application.
constexpr auto absentPause = 1s;

// The context libatspi's connections are attached to, once it is started; and whether libatspi's
// own attachments pass through us (see the definition of atspi_dbus_connection_setup_with_g_main
// at the end of this file).
std::atomic<GMainContext *> &privateContext()
{
    static std::atomic<GMainContext *> context {nullptr};
    return context;
}
std::atomic<bool> &redirected()
{
    static std::atomic<bool> value {false};
    return value;
}

} // namespace

Session &Session::instance()
{
    static Session session;
    return session;
}

bool Session::ready()
{
    if (m_ready)
        return true;
    const auto now = Clock::now();
    if (now < m_nextAttempt)
        return false;
    m_nextAttempt = now + 2s;
    m_ready = start();
    return m_ready;
}

// On an application's direct connection libatspi waits in slices of the timeout and may take
// one slice more than asked; half slices keep the whole request within the timeout.
void Session::applyTimeout(AtspiAccessible *object)
{
    const bool direct = object && object->parent.app && object->parent.app->bus && object->parent.app->bus != m_bus;
    const int timeout = direct ? std::max(1, m_timeoutMs / 2) : m_timeoutMs;
    if (timeout != m_appliedTimeoutMs) {
        atspi_set_timeout(timeout, -1);
        m_appliedTimeoutMs = timeout;
    }
}

void Session::drain()
{
    for (int i = 0; i < 64 && g_main_context_iteration(m_context, FALSE); ++i) { }
    adoptConnections();
}

void Session::track(AtspiAccessible *object)
{
    if (!object || !object->parent.app)
        return;
    AtspiApplication *app = object->parent.app;
    if (m_connections.contains(app))
        return;
    g_object_ref(app);
    m_connections.emplace(app, nullptr);
}

void Session::adoptConnections()
{
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        AtspiApplication *app = it->first;
        if (!app->bus) {
            // libatspi dropped the application (it left the bus).
            if (it->second)
                dbus_connection_unref(it->second);
            m_noStringAtOffset.erase(app);
            m_countsUtf16.erase(app);
            g_object_unref(app);
            it = m_connections.erase(it);
            continue;
        }
        if (app->bus != m_bus && app->bus != it->second) {
            atspi_dbus_connection_setup_with_g_main(app->bus, m_context);
            if (it->second)
                dbus_connection_unref(it->second);
            it->second = dbus_connection_ref(app->bus);
        }
        ++it;
    }
}

bool Session::isUnresponsive(AtspiAccessible *object)
{
    if (!object || !object->parent.app || !object->parent.app->bus_name)
        return false;
    const auto it = m_unresponsive.find(object->parent.app->bus_name);
    if (it == m_unresponsive.end())
        return false;
    if (Clock::now() < it->second)
        return true;
    m_unresponsive.erase(it);
    return false;
}

void Session::noteUnresponsive(AtspiAccessible *object)
{
    if (!object || !object->parent.app || !object->parent.app->bus_name)
        return;
    qCDebug(lcAccessibility) << "no answer from" << object->parent.app->bus_name << "within" << m_timeoutMs << "ms";
    m_unresponsive[object->parent.app->bus_name] = Clock::now() + unresponsivePause;
}

std::optional<std::int32_t> Session::pidOf(AtspiAccessible *object)
{
    if (!object || !object->parent.app || !object->parent.app->bus_name)
        return std::nullopt;
    const std::string busName = object->parent.app->bus_name;
    if (auto it = m_pidByBus.find(busName); it != m_pidByBus.end())
        return it->second;
    GError *error = nullptr;
    const guint pid = atspi_accessible_get_process_id(object, &error);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    if (pid == 0 || pid > guint(INT32_MAX))
        return std::nullopt;
    if (m_pidByBus.size() > 512)
        m_pidByBus.clear();
    m_pidByBus.emplace(busName, std::int32_t(pid));
    return std::int32_t(pid);
}

AtspiAccessible *Session::application(std::int32_t pid)
{
    if (auto it = m_appByPid.find(pid); it != m_appByPid.end()) {
        AtspiAccessible *app = it->second;
        if (app->parent.app && app->parent.app->bus && dbus_connection_get_is_connected(app->parent.app->bus))
            return static_cast<AtspiAccessible *>(g_object_ref(app));
        g_object_unref(app);
        m_appByPid.erase(it);
    }
    if (auto it = m_absent.find(pid); it != m_absent.end()) {
        if (Clock::now() < it->second)
            return nullptr;
        m_absent.erase(it);
    }
    scanApplications();
    if (auto it = m_appByPid.find(pid); it != m_appByPid.end())
        return static_cast<AtspiAccessible *>(g_object_ref(it->second));
    if (m_absent.size() > 256)
        m_absent.clear();
    m_absent[pid] = Clock::now() + absentPause;
    return nullptr;
}

void Session::forgetApplication(std::int32_t pid)
{
    if (auto it = m_appByPid.find(pid); it != m_appByPid.end()) {
        g_object_unref(it->second);
        m_appByPid.erase(it);
    }
    m_spaceByPid.erase(pid);
}

AtspiAccessible *Session::window(std::uint32_t windowID, AtspiAccessible *app)
{
    const auto it = m_windows.find(windowID);
    if (it == m_windows.end())
        return nullptr;
    AtspiAccessible *window = it->second.window;
    if (window->parent.app != app->parent.app || !app->parent.app->bus) {
        release(it->second);
        m_windows.erase(it);
        return nullptr;
    }
    return static_cast<AtspiAccessible *>(g_object_ref(window));
}

void Session::rememberWindow(std::uint32_t windowID, AtspiAccessible *window)
{
    if (m_windows.size() >= 64) {
        for (auto &[id, remembered] : m_windows)
            release(remembered);
        m_windows.clear();
    }
    forgetWindow(windowID);
    m_windows.emplace(windowID, RememberedWindow {static_cast<AtspiAccessible *>(g_object_ref(window))});
}

void Session::forgetWindow(std::uint32_t windowID)
{
    if (auto it = m_windows.find(windowID); it != m_windows.end()) {
        release(it->second);
        m_windows.erase(it);
    }
}

AtspiAccessible *Session::entry(std::uint32_t windowID)
{
    const auto it = m_windows.find(windowID);
    if (it == m_windows.end() || !it->second.entry)
        return nullptr;
    return static_cast<AtspiAccessible *>(g_object_ref(it->second.entry));
}

void Session::rememberEntry(std::uint32_t windowID, AtspiAccessible *entry)
{
    const auto it = m_windows.find(windowID);
    if (it == m_windows.end())
        return;
    if (it->second.entry)
        g_object_unref(it->second.entry);
    it->second.entry = entry ? static_cast<AtspiAccessible *>(g_object_ref(entry)) : nullptr;
}

std::optional<AppSpace> Session::space(std::uint32_t windowID, std::uint64_t screens) const
{
    const auto it = m_windows.find(windowID);
    if (it == m_windows.end() || !it->second.space || it->second.space->screens != screens)
        return std::nullopt;
    return it->second.space->space;
}

void Session::rememberSpace(std::int32_t pid, std::uint32_t windowID, AppSpace space, bool measured,
                            std::uint64_t screens)
{
    if (auto it = m_windows.find(windowID); it != m_windows.end())
        it->second.space = MeasuredSpace {space, screens};
    if (!measured)
        return;
    if (m_spaceByPid.size() >= 256)
        m_spaceByPid.clear();
    m_spaceByPid[pid] = MeasuredSpace {space, screens};
}

std::optional<AppSpace> Session::applicationSpace(std::int32_t pid, std::uint64_t screens) const
{
    const auto it = m_spaceByPid.find(pid);
    if (it == m_spaceByPid.end() || it->second.screens != screens)
        return std::nullopt;
    return it->second.space;
}

void Session::release(RememberedWindow &remembered)
{
    g_object_unref(remembered.window);
    if (remembered.entry)
        g_object_unref(remembered.entry);
    remembered = {};
}

std::optional<bool> Session::countsUtf16(AtspiAccessible *object)
{
    AtspiApplication *app = object ? object->parent.app : nullptr;
    if (!app)
        return std::nullopt;
    if (const auto it = m_countsUtf16.find(app); it != m_countsUtf16.end())
        return it->second;
    if (!app->root)
        return std::nullopt;
    const auto toolkit = toolkitNameOf(app->root);
    if (!toolkit)
        return std::nullopt;
    const bool qt = toolkit->startsWith(QLatin1String("qt"), Qt::CaseInsensitive);
    // Kept only while the application is tracked, which is what drops it when the application goes.
    if (m_connections.contains(app))
        m_countsUtf16.emplace(app, qt);
    return qt;
}

bool Session::lacksStringAtOffset(AtspiAccessible *object) const
{
    return object && object->parent.app && m_noStringAtOffset.contains(object->parent.app);
}

void Session::noteLacksStringAtOffset(AtspiAccessible *object)
{
    if (object && object->parent.app && m_connections.contains(object->parent.app))
        m_noStringAtOffset.insert(object->parent.app);
}

bool Session::start()
{
    // Connecting is the slow part and touches no main context.
    DBusConnection *bus = atspi_get_a11y_bus();
    if (!bus) {
        qCInfo(lcAccessibility) << "the accessibility bus is not reachable";
        return false;
    }
    if (!m_context)
        m_context = g_main_context_new();
    privateContext().store(m_context);
    // Before atspi_init, so that libatspi never queues work on the default context.
    atspi_set_main_context(m_context);
    if (!redirected().load())
        qCWarning(lcAccessibility) << "cannot keep AT-SPI off the main loop; moving its connections after the fact";
    atspi_set_timeout(m_timeoutMs, -1);
    m_appliedTimeoutMs = m_timeoutMs;
    const int status = atspi_init();
    if (status != 0 && status != 1) {
        qCWarning(lcAccessibility) << "could not start AT-SPI:" << status;
        return false;
    }
    if (!redirected().load())
        atspi_dbus_connection_setup_with_g_main(bus, m_context); // atspi_init put it back
    for (const char *member : {"AddAccessible", "RemoveAccessible"})
        removeMatch(bus, "org.a11y.atspi.Cache", member);
    for (const char *member : {"ChildrenChanged", "PropertyChange", "StateChanged"})
        removeMatch(bus, "org.a11y.atspi.Event.Object", member);
    m_bus = bus;
    return true;
}

void Session::removeMatch(DBusConnection *bus, const char *interface, const char *member)
{
    const std::string rule = std::string("type='signal',interface='") + interface + "',member='" + member + "'";
    dbus_bus_remove_match(bus, rule.c_str(), nullptr);
}

void Session::scanApplications()
{
    for (auto &[pid, app] : m_appByPid)
        g_object_unref(app);
    m_appByPid.clear();
    applyTimeout(nullptr);
    AtspiAccessible *desktop = atspi_get_desktop(0);
    if (!desktop)
        return;
    GError *error = nullptr;
    const int count = atspi_accessible_get_child_count(desktop, &error);
    if (error) {
        g_error_free(error);
        g_object_unref(desktop);
        return;
    }
    for (int i = 0; i < std::min(count, 1024); ++i) {
        AtspiAccessible *app = atspi_accessible_get_child_at_index(desktop, i, &error);
        if (error) {
            // The registry is failing; the next scan tries again.
            g_clear_error(&error);
            break;
        }
        if (!app)
            continue;
        track(app);
        adoptConnections();
        const auto pid = pidOf(app);
        if (pid && !m_appByPid.contains(*pid))
            m_appByPid.emplace(*pid, static_cast<AtspiAccessible *>(g_object_ref(app)));
        g_object_unref(app);
    }
    g_object_unref(desktop);
}
} // namespace Lumivox::Native::Atspi

// libatspi attaches every D-Bus connection it opens (the accessibility bus, and later a direct
// connection to each application) to GLib's default main context, which Qt's event loop on the main
// thread iterates, so the main thread would run libatspi's callbacks while a lookup runs on the
// worker. libatspi reaches this function through its own exported symbol, which this definition
// takes over: once we have started, the default context is replaced with ours.
extern "C" void atspi_dbus_connection_setup_with_g_main(DBusConnection *connection, GMainContext *context)
{
    using Setup = void (*)(DBusConnection *, GMainContext *);
    static const Setup original = reinterpret_cast<Setup>(dlsym(RTLD_NEXT, "atspi_dbus_connection_setup_with_g_main"));
    GMainContext *ours = Lumivox::Native::Atspi::privateContext().load();
    if (ours && (!context || context == g_main_context_default()))
        context = ours;
    Lumivox::Native::Atspi::redirected().store(true);
    if (original)
        original(connection, context);
}
