#include "Native/X11/X11Connection.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <memory>
#include <mutex>

Q_LOGGING_CATEGORY(lcX11, "app.lumivox.X11")

namespace Lumivox::Native::X11 {

namespace {

thread_local ErrorTrap *currentTrap = nullptr;

int handleError(Display *display, XErrorEvent *event)
{
    if (recordError(display, event->error_code))
        return 0;
    char text[128] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    qCDebug(lcX11) << "X error" << text << "request" << event->request_code << "resource" << event->resourceid;
    return 0;
}

int handleIOError(Display *)
{
    // Xlib exits the process after this returns; the server is gone, so there is nothing to save.
    qCCritical(lcX11) << "lost the connection to the X server";
    return 0;
}

void installHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        XSetErrorHandler(handleError);
        XSetIOErrorHandler(handleIOError);
    });
}

struct Closer
{
    void operator()(Display *d) const
    {
        if (d)
            XCloseDisplay(d);
    }
};

} // namespace

int recordError(Display *display, int code)
{
    for (ErrorTrap *trap = currentTrap; trap; trap = trap->m_outer) {
        if (trap->m_display == display) {
            if (trap->m_errorCode == 0)
                trap->m_errorCode = code;
            return 1;
        }
    }
    return 0;
}

Display *display()
{
    installHandlers();
    thread_local std::unique_ptr<Display, Closer> connection;
    thread_local bool tried = false;
    if (!connection && !tried) {
        tried = true;
        connection.reset(XOpenDisplay(nullptr));
        if (!connection)
            qCWarning(lcX11) << "no X display is reachable (DISPLAY=" << qgetenv("DISPLAY") << ")";
    }
    return connection.get();
}

namespace {

struct XcbCloser
{
    void operator()(xcb_connection_t *c) const
    {
        if (c)
            xcb_disconnect(c);
    }
};

struct XcbThreadConnection
{
    std::unique_ptr<xcb_connection_t, XcbCloser> connection;
    std::uint32_t root = 0;
    bool tried = false;
};

XcbThreadConnection &xcbThreadConnection()
{
    thread_local XcbThreadConnection state;
    if (!state.tried) {
        state.tried = true;
        int screenNumber = 0;
        xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(c)) {
            // xcb_connect never returns null: a failed connection is an object that must still be freed.
            xcb_disconnect(c);
            qCWarning(lcX11) << "no X display is reachable over XCB (DISPLAY=" << qgetenv("DISPLAY") << ")";
            return state;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screenNumber && it.rem; ++i)
            xcb_screen_next(&it);
        state.root = it.rem ? it.data->root : 0;
        state.connection.reset(c);
    }
    return state;
}

} // namespace

xcb_connection_t *xcbConnection()
{
    return xcbThreadConnection().connection.get();
}

std::uint32_t xcbRootWindow()
{
    return xcbThreadConnection().root;
}

bool isAvailable()
{
    return display() != nullptr;
}

bool isWaylandSession()
{
    return !qgetenv("WAYLAND_DISPLAY").isEmpty() || qgetenv("XDG_SESSION_TYPE") == "wayland";
}

ErrorTrap::ErrorTrap(Display *display)
    : m_display(display)
    , m_outer(currentTrap)
{
    if (m_display)
        XSync(m_display, False); // earlier requests' errors are not ours
    currentTrap = this;
}

ErrorTrap::~ErrorTrap()
{
    if (m_display)
        XSync(m_display, False);
    currentTrap = m_outer;
}

bool ErrorTrap::failed()
{
    if (m_display)
        XSync(m_display, False);
    return m_errorCode != 0;
}

} // namespace Lumivox::Native::X11
