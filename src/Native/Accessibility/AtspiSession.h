#pragma once

// The process-wide libatspi state, shared by every element of the AT-SPI backend.
//
// Threads: libatspi is not thread-safe and ties its D-Bus connections to GLib's process-wide main
// context, which Qt's event loop on the main thread iterates. Left there, the main thread would run
// libatspi's callbacks while a lookup runs elsewhere (and did: it crashed). So every libatspi call
// happens under one lock, and its connections live on a private context that only the lock's holder
// iterates (see atspi_dbus_connection_setup_with_g_main in AtspiSession.cpp). libatspi's event
// subscriptions are dropped: we never listen to events, and without them no application turns up
// behind our back.

#include "Native/Accessibility/AppCoordinates.h"

#include <QLoggingCategory>

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include <dbus/dbus.h>

#include <atspi/atspi.h>

Q_DECLARE_LOGGING_CATEGORY(lcAccessibility)

namespace Lumivox::Native::Atspi {

using Clock = std::chrono::steady_clock;

class Session
{
public:
    static Session &instance();

    /// Held around every libatspi call.
    std::recursive_mutex mutex;

    /// Starts libatspi on first use; after a failure, tries again at most every 2 s.
    bool ready();

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeoutMs() const { return m_timeoutMs; }
    bool ranOutOfTime(std::chrono::milliseconds elapsed) const
    {
        return elapsed.count() >= m_appliedTimeoutMs * 9 / 10;
    }

    /// Sets libatspi's timeout for a request to `object` (nullptr: the registry).
    void applyTimeout(AtspiAccessible *object);

    /// Handles what arrived while no lookup ran (applications that went away, late replies).
    void drain();

    /// Remembers the application an object belongs to, so that its direct connection is moved to
    /// our context when libatspi opens it.
    void track(AtspiAccessible *object);
    void adoptConnections();

    bool isUnresponsive(AtspiAccessible *object);
    void noteUnresponsive(AtspiAccessible *object);

    std::optional<std::int32_t> pidOf(AtspiAccessible *object);

    /// The AT-SPI application of a process (a new reference), or nullptr.
    AtspiAccessible *application(std::int32_t pid);
    void forgetApplication(std::int32_t pid);

    /// The accessible window of an X window, as found before; a new reference, or nullptr.
    AtspiAccessible *window(std::uint32_t windowID, AtspiAccessible *app);
    void rememberWindow(std::uint32_t windowID, AtspiAccessible *window);
    void forgetWindow(std::uint32_t windowID);

    /// Where a search around a dead end of the toolkit's hit test last found text in a remembered
    /// window: the element from which the hit test reaches it (a new reference, or nullptr). Kept
    /// with the window, so that later lookups there start from it.
    AtspiAccessible *entry(std::uint32_t windowID);
    void rememberEntry(std::uint32_t windowID, AtspiAccessible *entry);

    /// How the application draws the coordinates of a remembered window, as measured on it under the
    /// screens of generation `screens`; none once the screens have changed since.
    std::optional<AppSpace> space(std::uint32_t windowID, std::uint64_t screens) const;
    /// Keeps the space the window's coordinates are read in, so that it is told once; one that was
    /// measured on the window (not assumed) also stands for its application.
    void rememberSpace(std::int32_t pid, std::uint32_t windowID, AppSpace space, bool measured, std::uint64_t screens);
    /// The space last measured on any window of the application, under the same screens.
    std::optional<AppSpace> applicationSpace(std::int32_t pid, std::uint64_t screens) const;

    /// Whether the application of `object` counts text offsets in UTF-16 units (Qt) rather than in
    /// code points (what AT-SPI asks for, and what GTK and the browsers count). Told by the toolkit
    /// name of the application object (other elements of a Qt application name none), asked once
    /// per application and kept with it; absent while it cannot be told.
    std::optional<bool> countsUtf16(AtspiAccessible *object);

    /// Qt answers GetStringAtOffset with an error; remembered per application to save a request.
    bool lacksStringAtOffset(AtspiAccessible *object) const;
    void noteLacksStringAtOffset(AtspiAccessible *object);

private:
    bool start();
    static void removeMatch(DBusConnection *bus, const char *interface, const char *member);
    void scanApplications();

    bool m_ready = false;
    Clock::time_point m_nextAttempt {};
    int m_timeoutMs = 150;
    int m_appliedTimeoutMs = 0;
    GMainContext *m_context = nullptr;
    DBusConnection *m_bus = nullptr;
    std::map<AtspiApplication *, DBusConnection *> m_connections;
    std::set<AtspiApplication *> m_noStringAtOffset;
    std::map<AtspiApplication *, bool> m_countsUtf16;
    std::map<std::string, Clock::time_point> m_unresponsive;
    std::map<std::string, std::int32_t> m_pidByBus;
    std::map<std::int32_t, AtspiAccessible *> m_appByPid;
    std::map<std::int32_t, Clock::time_point> m_absent;
    struct MeasuredSpace
    {
        AppSpace space;
        std::uint64_t screens = 0;
    };
    struct RememberedWindow
    {
        AtspiAccessible *window = nullptr;
        AtspiAccessible *entry = nullptr;
        std::optional<MeasuredSpace> space;
    };
    std::map<std::int32_t, MeasuredSpace> m_spaceByPid;
    static void release(RememberedWindow &remembered);
    std::map<std::uint32_t, RememberedWindow> m_windows;
};

} // namespace Lumivox::Native::Atspi
