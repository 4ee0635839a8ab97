#pragma once

// The one way our code reaches the X server. Each thread gets its own Xlib connection (the
// accessibility worker, the capture executor and the main thread never share one), opened on first
// use. X errors never end the process: they are logged, and an ErrorTrap lets a caller see whether
// its own requests failed (a window that vanished mid-query, say).
//
// Include <X11/Xlib.h> only in backend .cpp files: its macros (None, Bool, Status…) clash with Qt.

#include <cstdint>
#include <functional>
#include <optional>

typedef struct _XDisplay Display;
typedef struct xcb_connection_t xcb_connection_t;

namespace Lumivox::Native::X11 {

/// This thread's connection, or nullptr when no X display is reachable (logged once per thread).
Display *display();

/// This thread's XCB connection, or nullptr when no display is reachable. For queries over many
/// windows: XCB sends every request before waiting for the first reply, so a whole batch costs one
/// round trip where Xlib would pay one per request. Replies carry their own errors, so no trap is needed.
xcb_connection_t *xcbConnection();
/// The root window of the default screen of this thread's XCB connection (0 without one).
std::uint32_t xcbRootWindow();

/// True when an X display can be opened.
bool isAvailable();

/// True in a Wayland session (WAYLAND_DISPLAY set or XDG_SESSION_TYPE=wayland), where the global
/// services (pointer, capture, hot keys) are not available to us even through XWayland.
bool isWaylandSession();

int recordError(Display *display, int code);

/// Where the pointer is, in root pixels, with the state of the modifiers and buttons.
struct RootPointer
{
    int x = 0;
    int y = 0;
    unsigned int state = 0;
    /// False when the pointer is on another screen of a multi-screen display: the position is then
    /// on that screen's root.
    bool onDefaultScreen = true;
};
/// Asks `display` (any thread's own connection) where the pointer is; absent without a connection.
std::optional<RootPointer> rootPointer(Display *display);

/// Calls `lost` once, on the main thread, when the X server goes away (it ended, or the session
/// ended without a session manager), before the toolkit ends the process on its own broken
/// connection. `lost` is expected to end the process; if it returns, the toolkit's way of ending
/// follows. Call it once, on the main thread, after the application object exists (the toolkit
/// installs its own handlers there, and this one goes over them) and before the other connections
/// of the main thread are watched, so that this one is looked at first. False when no connection
/// could be opened to watch.
bool watchConnectionLoss(std::function<void()> lost);

/// Collects the X errors of the requests made while it lives, on one connection.
class ErrorTrap
{
public:
    explicit ErrorTrap(Display *display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

    /// Round-trips to the server, then tells whether any request since construction failed.
    bool failed();
    /// The first error code seen (0 when none).
    int errorCode() const { return m_errorCode; }

private:
    friend int recordError(Display *, int code);
    Display *m_display;
    ErrorTrap *m_outer;
    int m_errorCode = 0;
};

} // namespace Lumivox::Native::X11
