#include "Native/X11/X11Connection.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QThread>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

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
    // Xlib exits the process after this returns (watchConnectionLoss() saves first where it is set up).
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

std::optional<RootPointer> rootPointer(Display *d)
{
    if (!d)
        return std::nullopt;
    Window root = 0;
    Window child = 0;
    int windowX = 0;
    int windowY = 0;
    RootPointer pointer;
    pointer.onDefaultScreen = XQueryPointer(d, DefaultRootWindow(d), &root, &child, &pointer.x, &pointer.y, &windowX,
                                            &windowY, &pointer.state);
    return pointer;
}

namespace {

// What to do when the server goes away, and whether it has been done.
std::function<void()> connectionLost;
std::atomic<bool> lossHandled {false};
XIOErrorHandler earlierIOErrorHandler = nullptr;
// The watched connection, open until the process ends.
xcb_connection_t *watchedConnection = nullptr;

bool onMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void handleConnectionLoss()
{
    if (lossHandled.exchange(true) || !connectionLost)
        return;
    qCCritical(lcX11) << "lost the connection to the X server; writing what is pending before ending";
    connectionLost();
}

// Xlib ends the process when an I/O error handler returns. On the main thread the loss is handled
// here and then; another thread hands it to the main thread and waits for the process to end there,
// longer than the bounded saves take, before letting Xlib end it.
int handleIOErrorWithLoss(Display *display)
{
    if (connectionLost && !lossHandled.load()) {
        if (onMainThread()) {
            handleConnectionLoss();
        } else if (QCoreApplication *app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app, [] { handleConnectionLoss(); }, Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::seconds(15));
        }
    }
    return earlierIOErrorHandler ? earlierIOErrorHandler(display) : handleIOError(display);
}

} // namespace

bool watchConnectionLoss(std::function<void()> lost)
{
    if (!onMainThread() || connectionLost)
        return false;
    // A connection of its own, never used for requests: its socket is readable only for the
    // server's few unsolicited events and for the end of the connection.
    xcb_connection_t *watched = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(watched)) {
        xcb_disconnect(watched);
        qCWarning(lcX11) << "cannot watch the connection to the X server";
        return false;
    }
    watchedConnection = watched;
    connectionLost = std::move(lost);
    installHandlers();
    earlierIOErrorHandler = XSetIOErrorHandler(handleIOErrorWithLoss);
    // Lives until the process ends, like the connection it watches.
    auto *notifier =
        new QSocketNotifier(xcb_get_file_descriptor(watched), QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [watched, notifier] {
        while (xcb_generic_event_t *event = xcb_poll_for_event(watched))
            free(event);
        if (xcb_connection_has_error(watched)) {
            notifier->setEnabled(false);
            handleConnectionLoss();
        }
    });
    return true;
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
