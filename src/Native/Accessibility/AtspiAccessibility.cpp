// The accessibility interface on Linux: AT-SPI2 through libatspi.
//
// Hit-testing: AT-SPI cannot tell which application is on top at a point, so the window list says
// which window (and process) is under the pointer; the process's AT-SPI application is found by its
// bus connection's process id, its window by geometry, and the element by descending with
// GetAccessibleAtPoint. Qt puts the text of an editor on the parent of its viewport, so a leaf
// without text whose parent has text stands for that parent.
//
// Text: AT-SPI offsets count code points (Qt's count UTF-16 units) and the rest of the program
// counts UTF-16 units; the helpers of Shared/Text are out of this library's reach. Each element
// keeps the text it has read (all of it when short, a stretch around the pointer when long)
// and converts through it, so offsets handed out and taken back agree within one lookup.
//
// Threads: libatspi is not thread-safe and ties its D-Bus connections to GLib's process-wide main
// context, which Qt's event loop on the main thread iterates. Left there, the main thread would run
// libatspi's callbacks while a lookup runs elsewhere (and did: it crashed). So every libatspi call
// happens under one lock, and its connections live on a private context that only the lock's holder
// iterates (see atspi_dbus_connection_setup_with_g_main at the end). libatspi's event subscriptions
// are dropped: we never listen to events, and without them no application turns up behind our back.

#include "Native/Accessibility/Accessibility.h"
#include "Native/X11/X11Connection.h"
#include "Native/X11/X11Screen.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QLoggingCategory>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <unistd.h>

#include <dbus/dbus.h>

#include <atspi/atspi.h>

#include <X11/Xlib.h>

Q_LOGGING_CATEGORY(lcAccessibility, "app.lumivox.Accessibility")

namespace Lumivox::Native {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Texts up to this many code points are read whole and converted exactly.
constexpr int wholeTextLimit = 32768;
// Longer texts are read this far either side of the pointer.
constexpr int frameRadius = 2048;
// The longest text handed out whole as "AXValue".
constexpr int valueLimit = 1 << 20;
// After a request to an application times out, requests to it fail at once for this long, so that
// a hung application costs one timeout per lookup rather than one per request.
constexpr auto unresponsivePause = 1s;
// How long an unknown process id is remembered as having no accessible application.
constexpr auto absentPause = 1s;
constexpr auto trustCacheLifetime = 1s;

// X11 pixels are points times Qt's device pixel ratio, the same rule as the window list's.
double devicePixelRatio()
{
    return X11::screenScale().devicePixelRatio;
}

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

qsizetype utf16At(QStringView text, qint64 codePoints)
{
    qsizetype i = 0;
    for (qint64 cp = 0; cp < codePoints && i < text.size(); ++cp)
        i += (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
    return i;
}

qint64 codePointsAt(QStringView text, qsizetype utf16)
{
    qint64 cp = 0;
    for (qsizetype i = 0; i < std::min(utf16, text.size());) {
        i += (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
        ++cp;
    }
    return cp;
}

qint64 codePointCount(QStringView text)
{
    return codePointsAt(text, text.size());
}

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

// ---------------------------------------------------------------------------------------------
// The process-wide libatspi state.

class Session
{
public:
    static Session &instance()
    {
        static Session session;
        return session;
    }

    std::recursive_mutex mutex;

    bool ready()
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

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeoutMs() const { return m_timeoutMs; }
    bool ranOutOfTime(std::chrono::milliseconds elapsed) const
    {
        return elapsed.count() >= m_appliedTimeoutMs * 9 / 10;
    }

    // On an application's direct connection libatspi waits in slices of the timeout and may take
    // one slice more than asked; half slices keep the whole request within the timeout.
    void applyTimeout(AtspiAccessible *object)
    {
        const bool direct = object && object->parent.app && object->parent.app->bus && object->parent.app->bus != m_bus;
        const int timeout = direct ? std::max(1, m_timeoutMs / 2) : m_timeoutMs;
        if (timeout != m_appliedTimeoutMs) {
            atspi_set_timeout(timeout, -1);
            m_appliedTimeoutMs = timeout;
        }
    }

    // Handles what arrived while no lookup ran (applications that went away, late replies).
    void drain()
    {
        for (int i = 0; i < 64 && g_main_context_iteration(m_context, FALSE); ++i) { }
        adoptConnections();
    }

    // Remembers the application an object belongs to, so that its direct connection is moved to
    // our context when libatspi opens it.
    void track(AtspiAccessible *object)
    {
        if (!object || !object->parent.app)
            return;
        AtspiApplication *app = object->parent.app;
        if (m_connections.contains(app))
            return;
        g_object_ref(app);
        m_connections.emplace(app, nullptr);
    }

    void adoptConnections()
    {
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            AtspiApplication *app = it->first;
            if (!app->bus) {
                // libatspi dropped the application (it left the bus).
                if (it->second)
                    dbus_connection_unref(it->second);
                m_noStringAtOffset.erase(app);
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

    bool isUnresponsive(AtspiAccessible *object)
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

    void noteUnresponsive(AtspiAccessible *object)
    {
        if (!object || !object->parent.app || !object->parent.app->bus_name)
            return;
        qCDebug(lcAccessibility) << "no answer from" << object->parent.app->bus_name << "within" << m_timeoutMs << "ms";
        m_unresponsive[object->parent.app->bus_name] = Clock::now() + unresponsivePause;
    }

    std::optional<std::int32_t> pidOf(AtspiAccessible *object)
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

    // The AT-SPI application of a process (a new reference), or nullptr.
    AtspiAccessible *application(std::int32_t pid)
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

    // The accessible window of an X window, as found before; a new reference, or nullptr.
    AtspiAccessible *window(std::uint32_t windowID, AtspiAccessible *app)
    {
        const auto it = m_windows.find(windowID);
        if (it == m_windows.end())
            return nullptr;
        AtspiAccessible *window = it->second;
        if (window->parent.app != app->parent.app || !app->parent.app->bus) {
            g_object_unref(window);
            m_windows.erase(it);
            return nullptr;
        }
        return static_cast<AtspiAccessible *>(g_object_ref(window));
    }
    void rememberWindow(std::uint32_t windowID, AtspiAccessible *window)
    {
        if (m_windows.size() >= 64) {
            for (auto &[id, object] : m_windows)
                g_object_unref(object);
            m_windows.clear();
        }
        forgetWindow(windowID);
        m_windows.emplace(windowID, static_cast<AtspiAccessible *>(g_object_ref(window)));
    }
    void forgetWindow(std::uint32_t windowID)
    {
        if (auto it = m_windows.find(windowID); it != m_windows.end()) {
            g_object_unref(it->second);
            m_windows.erase(it);
        }
    }

    void forgetApplication(std::int32_t pid)
    {
        if (auto it = m_appByPid.find(pid); it != m_appByPid.end()) {
            g_object_unref(it->second);
            m_appByPid.erase(it);
        }
    }

    // Qt answers GetStringAtOffset with an error; remember that per application to save a request.
    bool lacksStringAtOffset(AtspiAccessible *object) const
    {
        return object && object->parent.app && m_noStringAtOffset.contains(object->parent.app);
    }
    void noteLacksStringAtOffset(AtspiAccessible *object)
    {
        if (object && object->parent.app && m_connections.contains(object->parent.app))
            m_noStringAtOffset.insert(object->parent.app);
    }

private:
    bool start()
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

    static void removeMatch(DBusConnection *bus, const char *interface, const char *member)
    {
        const std::string rule = std::string("type='signal',interface='") + interface + "',member='" + member + "'";
        dbus_bus_remove_match(bus, rule.c_str(), nullptr);
    }

    void scanApplications()
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

    bool m_ready = false;
    Clock::time_point m_nextAttempt {};
    int m_timeoutMs = 150;
    int m_appliedTimeoutMs = 0;
    GMainContext *m_context = nullptr;
    DBusConnection *m_bus = nullptr;
    std::map<AtspiApplication *, DBusConnection *> m_connections;
    std::set<AtspiApplication *> m_noStringAtOffset;
    std::map<std::string, Clock::time_point> m_unresponsive;
    std::map<std::string, std::int32_t> m_pidByBus;
    std::map<std::int32_t, AtspiAccessible *> m_appByPid;
    std::map<std::int32_t, Clock::time_point> m_absent;
    std::map<std::uint32_t, AtspiAccessible *> m_windows;
};

// ---------------------------------------------------------------------------------------------
// Single libatspi requests. The caller holds the session lock.

// libatspi answers requests over a broken direct connection with defaults and no error.
bool connected(AtspiAccessible *object)
{
    const AtspiApplication *app = object ? object->parent.app : nullptr;
    return app && app->bus && dbus_connection_get_is_connected(app->bus);
}

// Runs one request on `object`: fails at once for an application that just timed out or went away,
// remembers a timeout, and moves any connection the request made libatspi open.
template<class Body>
bool request(AtspiAccessible *object, Body &&body)
{
    Session &session = Session::instance();
    if (!object || !connected(object) || session.isUnresponsive(object))
        return false;
    session.applyTimeout(object);
    GError *error = nullptr;
    const auto started = Clock::now();
    const bool answered = body(&error);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    session.adoptConnections();
    if (error)
        g_error_free(error);
    // libatspi reports a timeout on a direct connection as an empty answer without an error; a
    // request that ran into its deadline failed, whatever it returned.
    if (session.ranOutOfTime(elapsed)) {
        session.noteUnresponsive(object);
        return false;
    }
    return answered && !error && connected(object);
}

AtspiAccessible *tracked(AtspiAccessible *object)
{
    Session::instance().track(object);
    Session::instance().adoptConnections();
    return object;
}

struct Interfaces
{
    bool text = false;
    bool component = false;
};

std::optional<Interfaces> interfacesOf(AtspiAccessible *object)
{
    Session &session = Session::instance();
    if (!object || !connected(object) || session.isUnresponsive(object))
        return std::nullopt;
    // The first query asks the application and caches the whole list in the object.
    session.applyTimeout(object);
    const auto started = Clock::now();
    AtspiText *text = atspi_accessible_get_text_iface(object);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    session.adoptConnections();
    Interfaces out;
    if (text) {
        out.text = true;
        g_object_unref(text);
    } else if (!connected(object)) {
        return std::nullopt;
    }
    if (session.ranOutOfTime(elapsed)) {
        session.noteUnresponsive(object);
        return std::nullopt;
    }
    if (AtspiComponent *component = atspi_accessible_get_component_iface(object)) {
        out.component = true;
        g_object_unref(component);
    }
    return out;
}

std::optional<QRect> extentsOf(AtspiAccessible *object)
{
    AtspiRect *rect = nullptr;
    request(object, [&](GError **e) {
        rect = atspi_component_get_extents(ATSPI_COMPONENT(object), ATSPI_COORD_TYPE_SCREEN, e);
        return rect != nullptr;
    });
    if (!rect)
        return std::nullopt;
    const AtspiRect r = *rect;
    g_free(rect);
    // Hidden GTK menu items report INT_MIN corners.
    if (r.x == INT_MIN || r.y == INT_MIN || r.width <= 0 || r.height <= 0)
        return std::nullopt;
    return QRect(r.x, r.y, r.width, r.height);
}

std::optional<QRect> rangeExtentsOf(AtspiAccessible *object, qint64 start, qint64 end)
{
    AtspiRect *rect = nullptr;
    request(object, [&](GError **e) {
        rect = atspi_text_get_range_extents(ATSPI_TEXT(object), gint(start), gint(end), ATSPI_COORD_TYPE_SCREEN, e);
        return rect != nullptr;
    });
    if (!rect)
        return std::nullopt;
    const AtspiRect r = *rect;
    g_free(rect);
    if (r.x == INT_MIN || r.y == INT_MIN || r.width <= 0 || r.height <= 0)
        return std::nullopt;
    return QRect(r.x, r.y, r.width, r.height);
}

std::optional<QRect> characterExtentsOf(AtspiAccessible *object, qint64 offset)
{
    AtspiRect *rect = nullptr;
    request(object, [&](GError **e) {
        rect = atspi_text_get_character_extents(ATSPI_TEXT(object), gint(offset), ATSPI_COORD_TYPE_SCREEN, e);
        return rect != nullptr;
    });
    if (!rect)
        return std::nullopt;
    const AtspiRect r = *rect;
    g_free(rect);
    if (r.x == INT_MIN || r.y == INT_MIN || r.width < 0 || r.height < 0)
        return std::nullopt;
    return QRect(r.x, r.y, r.width, r.height);
}

AtspiAccessible *accessibleAtPoint(AtspiAccessible *object, QPoint px)
{
    AtspiAccessible *found = nullptr;
    request(object, [&](GError **e) {
        found = atspi_component_get_accessible_at_point(ATSPI_COMPONENT(object), px.x(), px.y(),
                                                        ATSPI_COORD_TYPE_SCREEN, e);
        return true;
    });
    return tracked(found);
}

std::optional<qint64> offsetAtPoint(AtspiAccessible *object, QPoint px)
{
    gint offset = -1;
    if (!request(object, [&](GError **e) {
            offset = atspi_text_get_offset_at_point(ATSPI_TEXT(object), px.x(), px.y(), ATSPI_COORD_TYPE_SCREEN, e);
            return true;
        }))
        return std::nullopt;
    return offset;
}

std::optional<qint64> characterCountOf(AtspiAccessible *object)
{
    gint count = -1;
    if (!request(object, [&](GError **e) {
            count = atspi_text_get_character_count(ATSPI_TEXT(object), e);
            return count >= 0;
        }))
        return std::nullopt;
    return count;
}

std::optional<QString> textOf(AtspiAccessible *object, qint64 start, qint64 end)
{
    gchar *text = nullptr;
    if (!request(object, [&](GError **e) {
            text = atspi_text_get_text(ATSPI_TEXT(object), gint(start), gint(end), e);
            return text != nullptr;
        }))
        return std::nullopt;
    QString out = fromUtf8(text);
    g_free(text);
    return out;
}

std::optional<AtspiRole> roleOf(AtspiAccessible *object)
{
    AtspiRole role = ATSPI_ROLE_INVALID;
    if (!request(object, [&](GError **e) {
            role = atspi_accessible_get_role(object, e);
            return true;
        }))
        return std::nullopt;
    return role;
}

std::optional<QString> nameOf(AtspiAccessible *object)
{
    gchar *name = nullptr;
    if (!request(object, [&](GError **e) {
            name = atspi_accessible_get_name(object, e);
            return name != nullptr;
        }))
        return std::nullopt;
    QString out = fromUtf8(name);
    g_free(name);
    return out;
}

std::optional<int> childCountOf(AtspiAccessible *object)
{
    gint count = -1;
    if (!request(object, [&](GError **e) {
            count = atspi_accessible_get_child_count(object, e);
            return count >= 0;
        }))
        return std::nullopt;
    return count;
}

AtspiAccessible *childOf(AtspiAccessible *object, int index)
{
    AtspiAccessible *child = nullptr;
    request(object, [&](GError **e) {
        child = atspi_accessible_get_child_at_index(object, index, e);
        return child != nullptr;
    });
    return tracked(child);
}

AtspiAccessible *parentOf(AtspiAccessible *object)
{
    AtspiAccessible *parent = nullptr;
    request(object, [&](GError **e) {
        parent = atspi_accessible_get_parent(object, e);
        return parent != nullptr;
    });
    return tracked(parent);
}

std::optional<bool> isSingleLine(AtspiAccessible *object)
{
    AtspiStateSet *states = nullptr;
    request(object, [&](GError **) {
        states = atspi_accessible_get_state_set(object);
        return states != nullptr;
    });
    if (!states)
        return std::nullopt;
    const bool single = atspi_state_set_contains(states, ATSPI_STATE_SINGLE_LINE);
    g_object_unref(states);
    return single;
}

// Qt reports text offsets in UTF-16 units where AT-SPI asks for characters.
bool countsUtf16(AtspiAccessible *object)
{
    gchar *toolkit = nullptr;
    request(object, [&](GError **e) {
        toolkit = atspi_accessible_get_toolkit_name(object, e);
        return toolkit != nullptr;
    });
    const bool qt = toolkit && g_ascii_strncasecmp(toolkit, "qt", 2) == 0;
    g_free(toolkit);
    return qt;
}

struct TextRun
{
    QString text;
    qint64 start = 0;
    qint64 end = 0;
};

std::optional<TextRun> runAt(AtspiAccessible *object, qint64 offset, bool sentence)
{
    Session &session = Session::instance();
    AtspiTextRange *range = nullptr;
    auto take = [&]() -> std::optional<TextRun> {
        if (!range)
            return std::nullopt;
        TextRun run {fromUtf8(range->content), range->start_offset, range->end_offset};
        g_free(range->content);
        g_free(range);
        range = nullptr;
        if (run.start < 0 || run.end < run.start)
            return std::nullopt;
        return run;
    };
    if (!session.lacksStringAtOffset(object)) {
        const bool answered = request(object, [&](GError **e) {
            range = atspi_text_get_string_at_offset(
                ATSPI_TEXT(object), gint(offset),
                sentence ? ATSPI_TEXT_GRANULARITY_SENTENCE : ATSPI_TEXT_GRANULARITY_WORD, e);
            return range != nullptr;
        });
        if (auto run = take())
            return run;
        if (!answered && !session.isUnresponsive(object))
            session.noteLacksStringAtOffset(object);
    }
    request(object, [&](GError **e) {
        range = atspi_text_get_text_at_offset(
            ATSPI_TEXT(object), gint(offset),
            sentence ? ATSPI_TEXT_BOUNDARY_SENTENCE_START : ATSPI_TEXT_BOUNDARY_WORD_START, e);
        return range != nullptr;
    });
    return take();
}

QString roleName(AtspiRole role)
{
    switch (role) {
    case ATSPI_ROLE_APPLICATION:
        return QStringLiteral("AXApplication");
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
    case ATSPI_ROLE_COLOR_CHOOSER:
    case ATSPI_ROLE_FONT_CHOOSER:
        return QStringLiteral("AXWindow");
    case ATSPI_ROLE_MENU:
    case ATSPI_ROLE_POPUP_MENU:
        return QStringLiteral("AXMenu");
    case ATSPI_ROLE_MENU_ITEM:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
    case ATSPI_ROLE_TEAROFF_MENU_ITEM:
        return QStringLiteral("AXMenuItem");
    case ATSPI_ROLE_MENU_BAR:
        return QStringLiteral("AXMenuBar");
    case ATSPI_ROLE_SCROLL_PANE:
        return QStringLiteral("AXScrollArea");
    case ATSPI_ROLE_SCROLL_BAR:
        return QStringLiteral("AXScrollBar");
    case ATSPI_ROLE_SPLIT_PANE:
        return QStringLiteral("AXSplitGroup");
    case ATSPI_ROLE_SEPARATOR:
        return QStringLiteral("AXSplitter");
    case ATSPI_ROLE_TOOL_BAR:
        return QStringLiteral("AXToolbar");
    case ATSPI_ROLE_LAYERED_PANE:
        return QStringLiteral("AXLayoutArea");
    case ATSPI_ROLE_RULER:
        return QStringLiteral("AXRuler");
    case ATSPI_ROLE_TOOL_TIP:
        return QStringLiteral("AXHelpTag");
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_VIEWPORT:
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_GROUPING:
    case ATSPI_ROLE_FORM:
    case ATSPI_ROLE_LANDMARK:
    case ATSPI_ROLE_ARTICLE:
    case ATSPI_ROLE_BLOCK_QUOTE:
    case ATSPI_ROLE_ROOT_PANE:
    case ATSPI_ROLE_GLASS_PANE:
    case ATSPI_ROLE_OPTION_PANE:
    case ATSPI_ROLE_INTERNAL_FRAME:
    case ATSPI_ROLE_DESKTOP_FRAME:
    case ATSPI_ROLE_STATUS_BAR:
    case ATSPI_ROLE_INFO_BAR:
    case ATSPI_ROLE_NOTIFICATION:
    case ATSPI_ROLE_HTML_CONTAINER:
    case ATSPI_ROLE_EMBEDDED:
    case ATSPI_ROLE_HEADER:
    case ATSPI_ROLE_FOOTER:
    case ATSPI_ROLE_PAGE:
    case ATSPI_ROLE_LOG:
    case ATSPI_ROLE_MARQUEE:
    case ATSPI_ROLE_MATH:
    case ATSPI_ROLE_TIMER:
        return QStringLiteral("AXGroup");
    case ATSPI_ROLE_DOCUMENT_WEB:
    case ATSPI_ROLE_DOCUMENT_FRAME:
    case ATSPI_ROLE_DOCUMENT_EMAIL:
        return QStringLiteral("AXWebArea");
    // Entries and text views share one role; telling them apart would cost a request per lookup.
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_DOCUMENT_TEXT:
    case ATSPI_ROLE_TERMINAL:
        return QStringLiteral("AXTextArea");
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
    case ATSPI_ROLE_EDITBAR:
    case ATSPI_ROLE_AUTOCOMPLETE:
        return QStringLiteral("AXTextField");
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
    case ATSPI_ROLE_CAPTION:
    case ATSPI_ROLE_PARAGRAPH:
    case ATSPI_ROLE_ACCELERATOR_LABEL:
    case ATSPI_ROLE_DESCRIPTION_TERM:
    case ATSPI_ROLE_DESCRIPTION_VALUE:
    case ATSPI_ROLE_FOOTNOTE:
    case ATSPI_ROLE_COMMENT:
        return QStringLiteral("AXStaticText");
    case ATSPI_ROLE_HEADING:
        return QStringLiteral("AXHeading");
    case ATSPI_ROLE_PUSH_BUTTON:
    case ATSPI_ROLE_PUSH_BUTTON_MENU:
    case ATSPI_ROLE_ARROW:
        return QStringLiteral("AXButton");
    case ATSPI_ROLE_TOGGLE_BUTTON:
    case ATSPI_ROLE_CHECK_BOX:
        return QStringLiteral("AXCheckBox");
    case ATSPI_ROLE_RADIO_BUTTON:
    case ATSPI_ROLE_PAGE_TAB:
        return QStringLiteral("AXRadioButton");
    case ATSPI_ROLE_PAGE_TAB_LIST:
        return QStringLiteral("AXTabGroup");
    case ATSPI_ROLE_COMBO_BOX:
        return QStringLiteral("AXComboBox");
    case ATSPI_ROLE_SLIDER:
    case ATSPI_ROLE_DIAL:
        return QStringLiteral("AXSlider");
    case ATSPI_ROLE_SPIN_BUTTON:
        return QStringLiteral("AXIncrementor");
    case ATSPI_ROLE_PROGRESS_BAR:
        return QStringLiteral("AXProgressIndicator");
    case ATSPI_ROLE_LEVEL_BAR:
        return QStringLiteral("AXLevelIndicator");
    case ATSPI_ROLE_LINK:
        return QStringLiteral("AXLink");
    case ATSPI_ROLE_IMAGE:
    case ATSPI_ROLE_ICON:
    case ATSPI_ROLE_DESKTOP_ICON:
    case ATSPI_ROLE_ANIMATION:
        return QStringLiteral("AXImage");
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
    case ATSPI_ROLE_DESCRIPTION_LIST:
        return QStringLiteral("AXList");
    case ATSPI_ROLE_TREE:
    case ATSPI_ROLE_TREE_TABLE:
        return QStringLiteral("AXOutline");
    case ATSPI_ROLE_TABLE:
    case ATSPI_ROLE_DOCUMENT_SPREADSHEET:
        return QStringLiteral("AXTable");
    case ATSPI_ROLE_TABLE_ROW:
    case ATSPI_ROLE_TREE_ITEM:
        return QStringLiteral("AXRow");
    case ATSPI_ROLE_TABLE_CELL:
    case ATSPI_ROLE_LIST_ITEM:
    case ATSPI_ROLE_TABLE_COLUMN_HEADER:
    case ATSPI_ROLE_TABLE_ROW_HEADER:
    case ATSPI_ROLE_COLUMN_HEADER:
    case ATSPI_ROLE_ROW_HEADER:
        return QStringLiteral("AXCell");
    default:
        return QStringLiteral("AXUnknown");
    }
}

// Text ends that AT-SPI word runs carry ("brown ", "pointer. ") but a word does not.
bool isWordPadding(char32_t c)
{
    return QChar::isSpace(c) || QChar::isPunct(c);
}

// ---------------------------------------------------------------------------------------------
// Text read from an element, and the conversion between the application's offsets and UTF-16.

struct TextFrame
{
    bool ready = false;
    // The application counts UTF-16 units (Qt) rather than characters.
    bool utf16 = false;
    // The element's text length, and the stretch of it held in `text`, in the application's units.
    qint64 count = 0;
    qint64 start = 0;
    qint64 length = 0;
    QString text;

    bool whole() const { return start == 0 && length == count; }
    qint64 end() const { return start + length; }

    // Outside the held stretch every character is taken as one UTF-16 unit: the result is not the
    // absolute UTF-16 offset there, but offsets handed out and taken back still agree.
    qint64 toUtf16(qint64 offset) const
    {
        if (utf16 || offset <= start)
            return offset;
        if (offset <= end())
            return start + utf16At(text, offset - start);
        return start + text.size() + (offset - end());
    }
    qint64 fromUtf16(qint64 u) const
    {
        if (utf16 || u <= start)
            return u;
        if (u <= start + text.size())
            return start + codePointsAt(text, qsizetype(u - start));
        return end() + (u - start - text.size());
    }
    qint64 utf16Count() const { return toUtf16(count); }
    qint64 units(QStringView s) const { return utf16 ? s.size() : codePointCount(s); }

    std::optional<QString> utf16Slice(qint64 from, qint64 to) const
    {
        if (from < start || to > start + text.size() || from > to)
            return std::nullopt;
        return text.mid(from - start, to - from);
    }
    std::optional<QString> slice(qint64 from, qint64 to) const
    {
        if (from < start || to > end() || from > to)
            return std::nullopt;
        return utf16Slice(toUtf16(from), toUtf16(to));
    }
};

// ---------------------------------------------------------------------------------------------

std::optional<QRect> windowGeometry(std::uint32_t windowID)
{
    Display *display = X11::display();
    if (!display || !windowID)
        return std::nullopt;
    XWindowAttributes attributes {};
    int x = 0;
    int y = 0;
    Window child = 0;
    X11::ErrorTrap trap(display);
    if (!XGetWindowAttributes(display, windowID, &attributes)
        || !XTranslateCoordinates(display, windowID, DefaultRootWindow(display), 0, 0, &x, &y, &child) || trap.failed())
        return std::nullopt;
    return QRect(x, y, attributes.width, attributes.height);
}

class AtspiElement final : public AccessibilityElement, public std::enable_shared_from_this<AtspiElement>
{
public:
    enum class Kind { object, systemWide, processOnly };

    // Takes over the reference to `object`.
    static std::shared_ptr<AtspiElement> wrap(AtspiAccessible *object, std::optional<std::int32_t> pid)
    {
        auto element = std::make_shared<AtspiElement>(Kind::object);
        element->m_object = object;
        element->m_pid = pid;
        return element;
    }
    static std::shared_ptr<AtspiElement> child(std::shared_ptr<AtspiElement> parent, int index)
    {
        auto element = std::make_shared<AtspiElement>(Kind::object);
        element->m_parent = std::move(parent);
        element->m_index = index;
        return element;
    }
    static std::shared_ptr<AtspiElement> processOnly(std::int32_t pid)
    {
        auto element = std::make_shared<AtspiElement>(Kind::processOnly);
        element->m_pid = pid;
        return element;
    }
    static std::shared_ptr<AtspiElement> systemWide(AXWindowLocator locator)
    {
        auto element = std::make_shared<AtspiElement>(Kind::systemWide);
        element->m_locator = std::move(locator);
        return element;
    }

    explicit AtspiElement(Kind kind)
        : m_kind(kind)
    { }

    ~AtspiElement() override
    {
        if (m_object) {
            std::lock_guard lock(Session::instance().mutex);
            g_object_unref(m_object);
        }
    }

    std::optional<std::int32_t> pid() override
    {
        if (m_kind == Kind::processOnly)
            return m_pid;
        std::lock_guard lock(Session::instance().mutex);
        AtspiAccessible *object = resolve();
        if (!object)
            return m_pid;
        if (auto pid = Session::instance().pidOf(object))
            return pid;
        return m_pid;
    }

    void setMessagingTimeout(double seconds) override
    {
        if (!(seconds > 0))
            return;
        std::lock_guard lock(Session::instance().mutex);
        Session::instance().setTimeout(int(std::clamp(seconds * 1000.0, 1.0, 60000.0)));
    }

    AXElement elementAtPosition(QPointF quartzPoint) override
    {
        if (m_kind == Kind::systemWide)
            return hitTestScreen(quartzPoint);
        if (m_kind != Kind::object)
            return nullptr;
        std::lock_guard lock(Session::instance().mutex);
        AtspiAccessible *object = resolve();
        if (!object)
            return nullptr;
        const QPoint px = pixels(quartzPoint);
        AtspiAccessible *start = nullptr;
        if (roleOf(object) == ATSPI_ROLE_APPLICATION)
            start = windowAt(object, px, std::nullopt);
        else
            start = static_cast<AtspiAccessible *>(g_object_ref(object));
        if (!start)
            return nullptr;
        return wrap(descend(start, px), m_pid);
    }

    std::optional<AXValue> attribute(std::string_view name) override
    {
        if (m_kind != Kind::object)
            return std::nullopt;
        std::lock_guard lock(Session::instance().mutex);
        AtspiAccessible *object = resolve();
        if (!object)
            return std::nullopt;
        if (name == "AXRole") {
            if (auto role = axRole())
                return *role;
        } else if (name == "AXPosition") {
            if (auto r = bounds())
                return r->topLeft();
        } else if (name == "AXSize") {
            if (auto r = bounds())
                return r->size();
        } else if (name == "AXTitle") {
            if (auto title = nameOf(object); title && !title->isEmpty())
                return *title;
        } else if (name == "AXValue") {
            if (auto value = valueText())
                return *value;
        } else if (name == "AXNumberOfCharacters") {
            if (hasText() && frame(std::nullopt))
                return m_frame.utf16Count();
        } else if (name == "AXChildren") {
            return children();
        } else if (name == "AXWindow") {
            if (auto window = topLevelWindow())
                return window;
        }
        return std::nullopt;
    }

    std::vector<std::optional<AXValue>> attributes(const std::vector<std::string_view> &names) override
    {
        std::vector<std::optional<AXValue>> out;
        out.reserve(names.size());
        for (std::string_view name : names)
            out.push_back(attribute(name));
        return out;
    }

    std::optional<AXValue> parameterizedAttribute(std::string_view name, const AXValue &parameter) override
    {
        if (m_kind != Kind::object)
            return std::nullopt;
        std::lock_guard lock(Session::instance().mutex);
        AtspiAccessible *object = resolve();
        if (!object)
            return std::nullopt;
        if (const QPointF *point = std::get_if<QPointF>(&parameter)) {
            if (name == "AXRangeForPosition")
                return rangeForPosition(*point);
            if (name == "AXTextMarkerForPosition")
                return markerForPosition(*point);
        } else if (const AXRange *range = std::get_if<AXRange>(&parameter)) {
            if (name == "AXStringForRange")
                return stringForRange(*range);
            if (name == "AXBoundsForRange")
                return boundsForRange(*range);
        } else if (const AXTextMarker *marker = std::get_if<AXTextMarker>(&parameter)) {
            const auto anchor = anchorOf(*marker);
            if (!anchor)
                return std::nullopt;
            if (name == "AXRightWordTextMarkerRangeForTextMarker")
                return anchor->wordRange(marker->position);
            if (name == "AXLeftWordTextMarkerRangeForTextMarker")
                return marker->position > 0 ? anchor->wordRange(marker->position - 1) : std::nullopt;
            if (name == "AXSentenceTextMarkerRangeForTextMarker")
                return anchor->sentenceRange(marker->position);
        } else if (const AXTextMarkerRange *range = std::get_if<AXTextMarkerRange>(&parameter)) {
            const auto anchor = anchorOf(range->start);
            if (!anchor || anchorOf(range->end) != anchor)
                return std::nullopt;
            if (name == "AXStringForTextMarkerRange") {
                if (auto text = anchor->markedText(range->start.position, range->end.position))
                    return *text;
            } else if (name == "AXLengthForTextMarkerRange") {
                if (auto text = anchor->markedText(range->start.position, range->end.position))
                    return qint64(text->size());
            } else if (name == "AXBoundsForTextMarkerRange") {
                return anchor->markedBounds(range->start.position, range->end.position);
            }
        } else if (const auto *markers = std::get_if<std::vector<AXTextMarker>>(&parameter)) {
            if (name == "AXTextMarkerRangeForUnorderedTextMarkers" && markers->size() == 2) {
                const auto anchor = anchorOf((*markers)[0]);
                if (!anchor || anchorOf((*markers)[1]) != anchor)
                    return std::nullopt;
                const auto [from, to] = std::minmax((*markers)[0].position, (*markers)[1].position);
                return AXTextMarkerRange {anchor->marker(from), anchor->marker(to)};
            }
        }
        return std::nullopt;
    }

    // Nothing on this platform takes the attributes that ask an application to build its tree
    // ("AXManualAccessibility", "AXEnhancedUserInterface"); reading its children is what wakes it.
    bool setAttribute(std::string_view, const AXValue &) override { return false; }

private:
    static double scale()
    {
        static const double value = devicePixelRatio();
        return value;
    }
    static QPoint pixels(QPointF point)
    {
        return QPoint(int(std::lround(point.x() * scale())), int(std::lround(point.y() * scale())));
    }
    static QRectF points(const QRect &r)
    {
        return QRectF(r.x() / scale(), r.y() / scale(), r.width() / scale(), r.height() / scale());
    }

    AtspiAccessible *resolve()
    {
        if (m_object || !m_parent || m_index < 0)
            return m_object;
        if (AtspiAccessible *parent = m_parent->resolve())
            m_object = childOf(parent, m_index);
        m_parent.reset(); // resolved once, found or not
        return m_object;
    }

    AXElement hitTestScreen(QPointF point)
    {
        // The window list and the X server answer without the accessibility lock.
        const auto window = m_locator ? m_locator(point) : std::nullopt;
        if (!window)
            return nullptr;
        // Asking ourselves over the bus would wait on our own main thread.
        if (window->pid == getpid())
            return processOnly(window->pid);
        const QPoint px = pixels(point);

        std::lock_guard lock(Session::instance().mutex);
        Session &session = Session::instance();
        if (!session.ready())
            return processOnly(window->pid);
        session.drain();
        AtspiAccessible *app = session.application(window->pid);
        if (!app)
            return processOnly(window->pid);
        AtspiAccessible *top = session.window(window->windowID, app);
        const bool remembered = top != nullptr;
        if (!top) {
            top = windowAt(app, px, windowGeometry(window->windowID));
            if (!top) {
                if (!childCountOf(app) && !session.isUnresponsive(app))
                    session.forgetApplication(window->pid);
                return wrap(app, window->pid);
            }
            session.rememberWindow(window->windowID, top);
        }
        g_object_unref(app);
        bool moved = false;
        AtspiAccessible *leaf = descend(top, px, &moved);
        if (remembered && !moved)
            session.forgetWindow(window->windowID); // perhaps no longer that window's element
        return wrap(leaf, window->pid);
    }

    // The application's top-level window at a point: the one whose extents come closest to the
    // window the window list found, else the smallest (dialogs and popups sit above their owners).
    static AtspiAccessible *windowAt(AtspiAccessible *app, QPoint px, std::optional<QRect> geometry)
    {
        const auto count = childCountOf(app);
        if (!count)
            return nullptr;
        AtspiAccessible *best = nullptr;
        qint64 bestScore = std::numeric_limits<qint64>::max();
        for (int i = 0; i < std::min(*count, 64); ++i) {
            AtspiAccessible *window = childOf(app, i);
            if (!window)
                continue;
            const auto r = extentsOf(window);
            if (!r || !r->contains(px)) {
                g_object_unref(window);
                continue;
            }
            const qint64 score = geometry ? qint64(std::abs(r->x() - geometry->x())) + std::abs(r->y() - geometry->y())
                    + std::abs(r->width() - geometry->width()) + std::abs(r->height() - geometry->height())
                                          : qint64(r->width()) * r->height();
            if (score < bestScore) {
                if (best)
                    g_object_unref(best);
                best = window;
                bestScore = score;
            } else {
                g_object_unref(window);
            }
        }
        return best;
    }

    // Takes `current`; returns the deepest element at the point (a new reference).
    static AtspiAccessible *descend(AtspiAccessible *current, QPoint px, bool *moved = nullptr)
    {
        for (int depth = 0; depth < 32; ++depth) {
            AtspiAccessible *next = accessibleAtPoint(current, px);
            if (!next)
                break;
            if (next == current) {
                g_object_unref(next);
                break;
            }
            g_object_unref(current);
            current = next;
            if (moved)
                *moved = true;
        }
        // Qt's editors answer with their viewport; the text belongs to its parent.
        if (const auto own = interfacesOf(current); own && !own->text) {
            if (AtspiAccessible *parent = parentOf(current)) {
                if (const auto theirs = interfacesOf(parent); theirs && theirs->text) {
                    g_object_unref(current);
                    return parent;
                }
                g_object_unref(parent);
            }
        }
        return current;
    }

    bool hasText()
    {
        if (!m_interfaces)
            m_interfaces = interfacesOf(m_object);
        return *m_interfaces && (*m_interfaces)->text;
    }

    std::optional<QRectF> bounds()
    {
        if (!m_bounds) {
            const auto r = extentsOf(m_object);
            m_bounds = r ? std::optional<QRectF>(points(*r)) : std::nullopt;
        }
        return *m_bounds;
    }

    std::optional<QString> axRole()
    {
        if (m_role)
            return *m_role;
        const auto role = roleOf(m_object);
        if (!role || *role == ATSPI_ROLE_INVALID) {
            m_role = std::optional<QString>();
            return std::nullopt;
        }
        QString name = roleName(*role);
        if (*role == ATSPI_ROLE_MENU) {
            if (AtspiAccessible *parent = parentOf(m_object)) {
                if (roleOf(parent) == ATSPI_ROLE_MENU_BAR)
                    name = QStringLiteral("AXMenuBarItem");
                g_object_unref(parent);
            }
        }
        m_role = name;
        return name;
    }

    // Reads the element's text once: all of it when short, else a stretch around `anchor` (an
    // offset in the application's units). Later requests convert through what was read.
    bool frame(std::optional<qint64> anchor)
    {
        if (m_frame.ready)
            return true;
        const auto count = characterCountOf(m_object);
        if (!count)
            return false;
        TextFrame f;
        f.count = *count;
        if (*count <= wholeTextLimit) {
            const auto text = textOf(m_object, 0, *count);
            if (!text)
                return false;
            const qint64 codePoints = codePointCount(*text);
            if (codePoints == *count)
                f.utf16 = false;
            else if (text->size() == *count)
                f.utf16 = true;
            else
                f.utf16 = isQt();
            f.text = *text;
            f.length = f.utf16 ? text->size() : codePoints;
            f.count = f.length; // what was read is what the offsets refer to
        } else {
            f.utf16 = isQt();
            if (anchor) {
                const qint64 from = std::clamp<qint64>(*anchor - frameRadius, 0, *count);
                const qint64 to = std::clamp<qint64>(*anchor + frameRadius, 0, *count);
                if (const auto text = textOf(m_object, from, to)) {
                    f.start = from;
                    f.text = *text;
                    f.length = f.units(*text);
                }
            }
        }
        f.ready = true;
        m_frame = std::move(f);
        return true;
    }

    std::optional<QString> valueText()
    {
        if (!hasText() || !frame(std::nullopt))
            return std::nullopt;
        if (m_frame.whole())
            return m_frame.text;
        if (m_frame.count > valueLimit)
            return std::nullopt;
        return textOf(m_object, 0, m_frame.count);
    }

    // The character under a point, where toolkits answer otherwise: Qt gives the nearest caret
    // position (the character after the point when it lies in the right half of one), and GTK 3
    // entries give -1 for screen points past their first character while their character boxes
    // are right.
    std::optional<qint64> offsetUnder(QPoint px)
    {
        const auto offset = offsetAtPoint(m_object, px);
        if (!offset)
            return offset;
        if (*offset > 0 && isQt()) {
            if (const auto box = characterExtentsOf(m_object, *offset); box && box->contains(px))
                return offset;
            if (const auto before = characterExtentsOf(m_object, *offset - 1); before && before->contains(px))
                return *offset - 1;
            return offset;
        }
        if (*offset >= 0)
            return offset;
        const auto box = extentsOf(m_object);
        if (!box || !box->contains(px) || !isSingleLine(m_object).value_or(false) || !frame(std::nullopt))
            return offset;
        qint64 low = 0;
        qint64 high = std::min<qint64>(m_frame.count, wholeTextLimit) - 1;
        while (low <= high) {
            const qint64 middle = low + (high - low) / 2;
            const auto r = characterExtentsOf(m_object, middle);
            if (!r)
                break;
            if (px.x() < r->left())
                high = middle - 1;
            else if (px.x() > r->right())
                low = middle + 1;
            else
                return middle;
        }
        return offset;
    }

    bool isQt()
    {
        if (!m_qt)
            m_qt = countsUtf16(m_object);
        return *m_qt;
    }

    std::optional<AXValue> rangeForPosition(QPointF point)
    {
        if (!hasText())
            return std::nullopt;
        const auto offset = offsetUnder(pixels(point));
        if (!offset)
            return std::nullopt;
        if (*offset < 0)
            return AXRange {-1, 0};
        if (!frame(*offset))
            return std::nullopt;
        const qint64 location = m_frame.toUtf16(*offset);
        const qint64 next = *offset < m_frame.count ? m_frame.toUtf16(*offset + 1) : location + 1;
        return AXRange {location, std::max<qint64>(next - location, 1)};
    }

    std::optional<AXValue> stringForRange(const AXRange &range)
    {
        if (!hasText() || range.location < 0 || range.length < 0 || !frame(std::nullopt))
            return std::nullopt;
        qint64 to = range.location + range.length;
        if (m_frame.whole())
            to = std::min(to, qint64(m_frame.text.size()));
        if (auto text = m_frame.utf16Slice(range.location, to))
            return *text;
        if (auto text = textOf(m_object, m_frame.fromUtf16(range.location), m_frame.fromUtf16(to)))
            return *text;
        return std::nullopt;
    }

    std::optional<AXValue> boundsForRange(const AXRange &range)
    {
        if (!hasText() || range.location < 0 || range.length < 1 || !frame(std::nullopt))
            return std::nullopt;
        const auto r = rangeExtentsOf(m_object, m_frame.fromUtf16(range.location),
                                      m_frame.fromUtf16(range.location + range.length));
        if (!r)
            return std::nullopt;
        return points(*r);
    }

    // Text markers hold offsets in the application's own units and the element they belong to.
    AXTextMarker marker(qint64 position) { return AXTextMarker {shared_from_this(), position}; }

    static std::shared_ptr<AtspiElement> anchorOf(const AXTextMarker &marker)
    {
        return std::const_pointer_cast<AtspiElement>(std::static_pointer_cast<const AtspiElement>(marker.anchor));
    }

    std::optional<AXValue> markerForPosition(QPointF point)
    {
        if (!hasText())
            return std::nullopt;
        const auto offset = offsetUnder(pixels(point));
        if (!offset || *offset < 0)
            return std::nullopt;
        return marker(*offset);
    }

    std::optional<AXValue> wordRange(qint64 position)
    {
        if (!resolve() || !hasText() || !frame(std::nullopt))
            return std::nullopt;
        auto run = runAt(m_object, position, false);
        if (!run)
            return std::nullopt;
        // Trim the blanks and punctuation AT-SPI word runs carry at their ends.
        QStringView text(run->text);
        qint64 start = run->start;
        qint64 end = run->end;
        while (!text.isEmpty()) {
            const bool pair = text.size() > 1 && text[0].isHighSurrogate() && text[1].isLowSurrogate();
            const char32_t c = pair ? QChar::surrogateToUcs4(text[0], text[1]) : text[0].unicode();
            if (!isWordPadding(c))
                break;
            text = text.mid(pair ? 2 : 1);
            start += m_frame.utf16 && pair ? 2 : 1;
        }
        while (!text.isEmpty()) {
            const qsizetype last = text.size() - 1;
            const bool pair = last > 0 && text[last].isLowSurrogate() && text[last - 1].isHighSurrogate();
            const char32_t c = pair ? QChar::surrogateToUcs4(text[last - 1], text[last]) : text[last].unicode();
            if (!isWordPadding(c))
                break;
            text.chop(pair ? 2 : 1);
            end -= m_frame.utf16 && pair ? 2 : 1;
        }
        if (end < start)
            return std::nullopt;
        return AXTextMarkerRange {marker(start), marker(end)};
    }

    std::optional<AXValue> sentenceRange(qint64 position)
    {
        if (!resolve() || !hasText())
            return std::nullopt;
        const auto run = runAt(m_object, position, true);
        if (!run)
            return std::nullopt;
        return AXTextMarkerRange {marker(run->start), marker(run->end)};
    }

    std::optional<QString> markedText(qint64 from, qint64 to)
    {
        if (!resolve() || !hasText() || from < 0 || to < from || !frame(std::nullopt))
            return std::nullopt;
        if (auto text = m_frame.slice(from, to))
            return text;
        return textOf(m_object, from, to);
    }

    std::optional<AXValue> markedBounds(qint64 from, qint64 to)
    {
        if (!resolve() || !hasText() || to <= from)
            return std::nullopt;
        const auto r = rangeExtentsOf(m_object, from, to);
        if (!r)
            return std::nullopt;
        return points(*r);
    }

    std::optional<AXValue> children()
    {
        const auto count = childCountOf(m_object);
        if (!count)
            return std::nullopt;
        // Handles are resolved only when used; the lookup never walks further than this.
        const int n = std::min(*count, 4096);
        std::vector<AXElement> out;
        out.reserve(std::size_t(n));
        for (int i = 0; i < n; ++i)
            out.push_back(child(shared_from_this(), i));
        return out;
    }

    AXElement topLevelWindow()
    {
        AtspiAccessible *current = static_cast<AtspiAccessible *>(g_object_ref(m_object));
        for (int depth = 0; depth < 64; ++depth) {
            AtspiAccessible *parent = parentOf(current);
            if (!parent)
                break;
            if (roleOf(parent) == ATSPI_ROLE_APPLICATION) {
                g_object_unref(parent);
                if (roleOf(current) == ATSPI_ROLE_APPLICATION)
                    break;
                return wrap(current, m_pid);
            }
            g_object_unref(current);
            current = parent;
        }
        g_object_unref(current);
        return nullptr;
    }

    Kind m_kind;
    AtspiAccessible *m_object = nullptr;
    std::shared_ptr<AtspiElement> m_parent;
    int m_index = -1;
    std::optional<std::int32_t> m_pid;
    AXWindowLocator m_locator;
    // What this element has read (one lookup's view of it).
    std::optional<std::optional<Interfaces>> m_interfaces;
    std::optional<std::optional<QRectF>> m_bounds;
    std::optional<std::optional<QString>> m_role;
    std::optional<bool> m_qt;
    TextFrame m_frame;
};

// ---------------------------------------------------------------------------------------------

class AtspiAccessibility final : public Accessibility
{
public:
    bool isProcessTrusted() override
    {
        {
            std::lock_guard lock(m_trustMutex);
            if (m_trustExpires && Clock::now() < *m_trustExpires)
                return m_trusted;
        }
        QDBusMessage get =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 150);
        const bool trusted = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
            && reply.arguments().first().value<QDBusVariant>().variant().toBool();
        std::lock_guard lock(m_trustMutex);
        m_trusted = trusted;
        m_trustExpires = Clock::now() + trustCacheLifetime;
        return trusted;
    }

    void requestTrust() override
    {
        QDBusMessage set =
            QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"));
        set << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled")
            << QVariant::fromValue(QDBusVariant(true));
        const QDBusMessage reply = QDBusConnection::sessionBus().call(set, QDBus::Block, 1000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            qCWarning(lcAccessibility) << "could not enable accessibility:" << reply.errorMessage();
        std::lock_guard lock(m_trustMutex);
        m_trustExpires.reset();
    }

    AXElement systemWideElement(AXWindowLocator locator) override
    {
        return AtspiElement::systemWide(std::move(locator));
    }

    AXElement applicationElement(std::int32_t pid) override
    {
        if (pid <= 0)
            return nullptr;
        if (pid == getpid())
            return AtspiElement::processOnly(pid);
        std::lock_guard lock(Session::instance().mutex);
        Session &session = Session::instance();
        if (!session.ready())
            return AtspiElement::processOnly(pid);
        session.drain();
        if (AtspiAccessible *app = session.application(pid))
            return AtspiElement::wrap(app, pid);
        return AtspiElement::processOnly(pid);
    }

private:
    std::mutex m_trustMutex;
    bool m_trusted = false;
    std::optional<Clock::time_point> m_trustExpires;
};

} // namespace

std::shared_ptr<Accessibility> Accessibility::makeDefault()
{
    return std::make_shared<AtspiAccessibility>();
}

} // namespace Lumivox::Native

// libatspi attaches every D-Bus connection it opens (the accessibility bus, and later a direct
// connection to each application) to GLib's default main context, which Qt's event loop on the main
// thread iterates, so the main thread would run libatspi's callbacks while a lookup runs on the
// worker. libatspi reaches this function through its own exported symbol, which this definition
// takes over: once we have started, the default context is replaced with ours.
extern "C" void atspi_dbus_connection_setup_with_g_main(DBusConnection *connection, GMainContext *context)
{
    using Setup = void (*)(DBusConnection *, GMainContext *);
    static const Setup original = reinterpret_cast<Setup>(dlsym(RTLD_NEXT, "atspi_dbus_connection_setup_with_g_main"));
    GMainContext *ours = Lumivox::Native::privateContext().load();
    if (ours && (!context || context == g_main_context_default()))
        context = ours;
    Lumivox::Native::redirected().store(true);
    if (original)
        original(connection, context);
}
