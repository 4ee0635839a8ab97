// Pointer and keyboard state of the whole desktop on X11.
//
// Moves and key changes come as XInput2 raw events selected on the root window: the server sends
// them whichever window has the pointer or the focus, during grabs too, and they take no key away
// from anyone. They carry no position, so each batch of them is followed by one XQueryPointer,
// which gives the position and the modifier state together. They arrive on a connection of their
// own whose socket the main loop watches: while the pointer rests and no key changes, nothing runs.

#include "Native/Input/Input.h"
#include "Native/X11/X11Connection.h"
#include "Native/X11/X11Screen.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <optional>

namespace Lumivox::Native {

namespace {

Q_LOGGING_CATEGORY(lcInput, "app.lumivox.Input")

// What secondsSinceLastKeyPress() says before any key press has been seen: long enough ago that
// nothing takes it for typing.
constexpr double unknownSecondsSinceKeyPress = 1.0e9;

// Option is Alt (Mod1) and Command is Super (Mod4), as on every common X keymap; Num Lock (Mod2)
// stands in for the numeric-pad flag, which the hold-key test drops anyway.
ModifierFlags flagsFromState(unsigned int state)
{
    ModifierFlags flags = 0;
    if (state & ShiftMask)
        flags |= Modifier::shift;
    if (state & LockMask)
        flags |= Modifier::capsLock;
    if (state & ControlMask)
        flags |= Modifier::control;
    if (state & Mod1Mask)
        flags |= Modifier::option;
    if (state & Mod4Mask)
        flags |= Modifier::command;
    if (state & Mod2Mask)
        flags |= Modifier::numericPad;
    return flags;
}

struct PointerState
{
    QPointF location;
    ModifierFlags flags = 0;
};

std::optional<PointerState> queryPointer(Display *d)
{
    // Off the default screen of a multi-screen display the position is still the pointer's.
    const auto pointer = X11::rootPointer(d);
    if (!pointer)
        return std::nullopt;
    const auto screens = X11::screenSnapshot();
    // A point inside the pixel, not its top-left corner: flipped, a monitor's top row would land on
    // its excluded top edge and count as the monitor above, or as none.
    const QPointF point = screens->layout.pointOfPixel(QPoint(pointer->x, pointer->y));
    return PointerState {QPointF(point.x(), screens->layout.flipLine() - point.y()), flagsFromState(pointer->state)};
}

// A key press is typing when its key types something: modifiers (Shift, Ctrl, Alt, Super, AltGr,
// the lock keys) and keys bound to no symbol are not. Judged by the symbol the key has now (Xlib's
// keyboard extension keeps its copy of the map current), so that a remapped key (Caps Lock as Ctrl,
// say) counts as what it does.
bool isTypingKey(Display *d, int keyCode)
{
    if (keyCode < 8 || keyCode > 255)
        return false;
    const KeySym symbol = XkbKeycodeToKeysym(d, static_cast<KeyCode>(keyCode), 0, 0);
    return symbol != NoSymbol && !IsModifierKey(symbol);
}

// The key that masks a held modifier: a key code the current keyboard map binds to no symbol at
// any level and that is no modifier. Such a key types nothing, so no application reads it as text
// and no shortcut of the desktop or of an application is bound to it, yet the server delivers its
// press to whoever has the keyboard (and to a window manager that has grabbed Super), which is
// all it takes for Alt or Super to no longer be a lone tap. The highest free code is taken: the top
// of the range is where keyboards put no keys. 0 when the map binds every code.
KeyCode unboundKeyCode(Display *d)
{
    int first = 0;
    int last = 0;
    XDisplayKeycodes(d, &first, &last);
    int perCode = 0;
    KeySym *symbols = XGetKeyboardMapping(d, static_cast<KeyCode>(first), last - first + 1, &perCode);
    if (!symbols)
        return 0;
    XModifierKeymap *modifiers = XGetModifierMapping(d);
    const auto isModifier = [modifiers](int code) {
        if (!modifiers)
            return false;
        for (int i = 0; i < 8 * modifiers->max_keypermod; ++i) {
            if (modifiers->modifiermap[i] == code)
                return true;
        }
        return false;
    };
    KeyCode found = 0;
    for (int code = last; code >= first && !found; --code) {
        const KeySym *row = symbols + static_cast<std::ptrdiff_t>(code - first) * perCode;
        if (std::all_of(row, row + perCode, [](KeySym s) { return s == NoSymbol; }) && !isModifier(code))
            found = static_cast<KeyCode>(code);
    }
    if (modifiers)
        XFreeModifiermap(modifiers);
    XFree(symbols);
    return found;
}

bool onMainThread()
{
    auto *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

std::int64_t steadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One connection of our own that receives raw XInput2 events, its socket watched by the main loop.
class RawConnection
{
public:
    RawConnection(Display *d, int opcode)
        : m_display(d)
        , m_opcode(opcode)
        , m_notifier(ConnectionNumber(d), QSocketNotifier::Read)
    { }
    ~RawConnection()
    {
        // The main loop must stop watching the socket before it closes.
        m_notifier.setEnabled(false);
        XCloseDisplay(m_display);
    }
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    Display *display() const { return m_display; }
    QSocketNotifier &notifier() { return m_notifier; }

    bool select(std::initializer_list<int> types)
    {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        for (int type : types)
            XISetMask(bits, type);
        XIEventMask mask {XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
        X11::ErrorTrap trap(m_display);
        XISelectEvents(m_display, DefaultRootWindow(m_display), &mask, 1);
        if (trap.failed()) {
            qCWarning(lcInput) << "the X server refused raw input events (error" << trap.errorCode() << ")";
            return false;
        }
        return true;
    }

    // Reads everything that has arrived and calls `seen` with each raw event type and its detail
    // (the key code of a key press), and `property` with each property change of a window we watch.
    template<class Fn, class PropertyFn>
    void read(Fn seen, PropertyFn property)
    {
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == GenericEvent && event.xcookie.extension == m_opcode) {
                int detail = 0;
                if (event.xcookie.evtype == XI_RawKeyPress && XGetEventData(m_display, &event.xcookie)) {
                    detail = static_cast<const XIRawEvent *>(event.xcookie.data)->detail;
                    XFreeEventData(m_display, &event.xcookie);
                }
                seen(event.xcookie.evtype, detail);
            } else if (event.type == PropertyNotify) {
                property(event.xproperty);
            }
        }
    }

    template<class Fn>
    void read(Fn seen)
    {
        read([&seen](int type, int) { seen(type); }, [](const XPropertyEvent &) {});
    }

    // The root window's property changes: the window manager announces the active window and the
    // current desktop there.
    bool watchRootProperties(bool on)
    {
        X11::ErrorTrap trap(m_display);
        XSelectInput(m_display, DefaultRootWindow(m_display), on ? PropertyChangeMask : NoEventMask);
        XSync(m_display, False);
        return !trap.failed();
    }

private:
    Display *m_display;
    int m_opcode;
    QSocketNotifier m_notifier;
};

// The desktop's raw input, on the main thread. Keys and moves come on two connections: moves are
// read at most once per `motionPace` (the rate a display shows them at), which keeps continuous
// movement cheap, while key changes are never held back.
class RawEventSource final : public QObject, public std::enable_shared_from_this<RawEventSource>
{
public:
    using Handler = std::function<void(const InputEvent &)>;
    using DesktopHandler = std::function<void(const DesktopEvent &)>;

    static constexpr std::chrono::milliseconds motionPace {16};

    // nullptr, with the reason logged, when the desktop's events cannot be watched.
    static std::shared_ptr<RawEventSource> open()
    {
        if (X11::isWaylandSession()) {
            qCWarning(lcInput) << "this is a Wayland session: the pointer and the keys of other applications"
                                  " cannot be watched, so hovering is off";
            return nullptr;
        }
        if (!onMainThread()) {
            qCWarning(lcInput) << "desktop input can only be watched from the main thread of a running application";
            return nullptr;
        }
        if (!X11::display()) {
            qCWarning(lcInput) << "no X display is reachable: the pointer and the keys cannot be watched";
            return nullptr;
        }
        auto keys = connect();
        auto motion = keys ? connect() : nullptr;
        if (!keys || !motion)
            return nullptr;
        std::shared_ptr<RawEventSource> source(new RawEventSource(std::move(keys), std::move(motion)));
        if (!source->selectKeys())
            return nullptr;
        return source;
    }

    int add(Handler handler)
    {
        const int id = m_nextID++;
        const bool first = m_handlers.empty();
        m_handlers.emplace(id, std::move(handler));
        if (first) {
            // Changes are reported against this state, not against whatever was seen before anyone listened.
            if (auto state = queryPointer(m_keys->display()))
                m_lastFlags = state->flags;
            selectKeys();
            if (m_motion->select({XI_RawMotion}))
                drainSoon([](RawEventSource *self) { self->drainMotion(); });
        }
        return id;
    }

    void remove(int id)
    {
        if (m_handlers.erase(id) && m_handlers.empty()) {
            selectKeys();
            m_motion->select({});
        }
    }

    // Desktop changes come on the key connection, whose socket is watched all the time anyway.
    int addDesktop(DesktopHandler handler)
    {
        const int id = m_nextID++;
        const bool first = m_desktopHandlers.empty();
        m_desktopHandlers.emplace(id, std::move(handler));
        if (first) {
            Display *d = m_keys->display();
            m_activeWindowAtom = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
            m_currentDesktopAtom = XInternAtom(d, "_NET_CURRENT_DESKTOP", False);
            if (m_keys->watchRootProperties(true))
                drainSoon([](RawEventSource *self) { self->drainKeys(); });
            else
                qCWarning(lcInput) << "the X server refused root property changes: window and desktop switches"
                                      " are not followed";
        }
        return id;
    }

    void removeDesktop(int id)
    {
        if (m_desktopHandlers.erase(id) && m_desktopHandlers.empty())
            m_keys->watchRootProperties(false);
    }

    double secondsSinceLastKeyPress() const
    {
        const std::int64_t last = m_lastKeyPress.load();
        if (last < 0)
            return unknownSecondsSinceKeyPress;
        return std::max<std::int64_t>(0, steadyNanoseconds() - last) / 1e9;
    }

    // The pointer state read for the batch being delivered: handlers that ask where the pointer is
    // get it without another round trip to the server.
    const std::optional<PointerState> &dispatchState() const { return m_dispatchState; }

private:
    RawEventSource(std::unique_ptr<RawConnection> keys, std::unique_ptr<RawConnection> motion)
        : m_keys(std::move(keys))
        , m_motion(std::move(motion))
    {
        QObject::connect(&m_keys->notifier(), &QSocketNotifier::activated, this, [this] { drainKeys(); });
        QObject::connect(&m_motion->notifier(), &QSocketNotifier::activated, this, [this] { drainMotion(); });
        m_motionPause.setSingleShot(true);
        m_motionPause.setInterval(motionPace);
        QObject::connect(&m_motionPause, &QTimer::timeout, this, [this] {
            m_motion->notifier().setEnabled(true);
            drainMotion();
        });
    }

    static std::unique_ptr<RawConnection> connect()
    {
        Display *d = XOpenDisplay(nullptr);
        if (!d) {
            qCWarning(lcInput) << "could not open a connection to the X display for input events";
            return nullptr;
        }
        int opcode = 0;
        int firstEvent = 0;
        int firstError = 0;
        if (!XQueryExtension(d, "XInputExtension", &opcode, &firstEvent, &firstError)) {
            qCWarning(lcInput) << "the X server has no XInput extension: the pointer and the keys cannot be watched";
            XCloseDisplay(d);
            return nullptr;
        }
        // Asking for 2.2 also tells the server we understand raw events sent during grabs.
        int major = 2;
        int minor = 2;
        if (XIQueryVersion(d, &major, &minor) != Success || major * 100 + minor < 202) {
            qCWarning(lcInput) << "the X server's XInput is version" << major << "." << minor
                               << "but 2.2 is needed: the pointer and the keys cannot be watched";
            XCloseDisplay(d);
            return nullptr;
        }
        return std::make_unique<RawConnection>(d, opcode);
    }

    // Key presses are always watched (they date the last typing); releases only while somebody
    // listens. Any key press may change the modifiers, so each one is followed by a look at them.
    bool selectKeys()
    {
        const bool ok =
            m_handlers.empty() ? m_keys->select({XI_RawKeyPress}) : m_keys->select({XI_RawKeyPress, XI_RawKeyRelease});
        if (ok)
            drainSoon([](RawEventSource *self) { self->drainKeys(); });
        return ok;
    }

    // A selection's round trips may have read events into Xlib's queue, where the socket notifier
    // cannot see them.
    void drainSoon(void (*drain)(RawEventSource *))
    {
        QMetaObject::invokeMethod(
            this,
            [self = QPointer<RawEventSource>(this), drain] {
                if (self)
                    drain(self);
            },
            Qt::QueuedConnection);
    }

    void drainKeys()
    {
        // A handler may drop the last monitor and with it this source; it must outlive the loop.
        const auto keep = shared_from_this();
        bool changed = false;
        bool activeWindowChanged = false;
        bool desktopChanged = false;
        const Window root = DefaultRootWindow(m_keys->display());
        m_keys->read(
            [&](int type, int keyCode) {
                if (type == XI_RawKeyPress && isTypingKey(m_keys->display(), keyCode))
                    m_lastKeyPress.store(steadyNanoseconds());
                changed = changed || type == XI_RawKeyPress || type == XI_RawKeyRelease;
            },
            [&](const XPropertyEvent &event) {
                if (event.window != root || m_desktopHandlers.empty())
                    return;
                // A burst of changes (a window manager may set the property twice) is told once.
                activeWindowChanged = activeWindowChanged || event.atom == m_activeWindowAtom;
                desktopChanged = desktopChanged || event.atom == m_currentDesktopAtom;
            });
        if (desktopChanged)
            dispatchDesktop(DesktopEvent {DesktopEvent::Type::desktopChanged});
        if (activeWindowChanged)
            dispatchDesktop(DesktopEvent {DesktopEvent::Type::activeWindowChanged});
        if (!changed || m_handlers.empty())
            return;
        // Once per actual change of the flags, which also absorbs the doubled key releases some
        // servers send.
        m_dispatchState = queryPointer(m_keys->display());
        if (m_dispatchState && m_lastFlags != m_dispatchState->flags) {
            m_lastFlags = m_dispatchState->flags;
            dispatch(InputEvent {InputEvent::Type::flagsChanged, m_dispatchState->flags});
        }
        m_dispatchState.reset();
    }

    // One move per batch: the tracker reads where the pointer is now, so the moves in between
    // would only repeat the same answer. After a delivery the connection rests for one pace, and
    // whatever arrived meanwhile is read as the next batch.
    void drainMotion()
    {
        const auto keep = shared_from_this();
        bool moved = false;
        m_motion->read([&](int type) { moved = moved || type == XI_RawMotion; });
        if (!moved || m_handlers.empty())
            return;
        m_dispatchState = queryPointer(m_motion->display());
        if (m_dispatchState)
            dispatch(InputEvent {InputEvent::Type::mouseMoved, m_dispatchState->flags});
        m_dispatchState.reset();
        m_motion->notifier().setEnabled(false);
        m_motionPause.start();
    }

    void dispatch(const InputEvent &event)
    {
        std::vector<int> ids;
        for (const auto &[id, handler] : m_handlers)
            ids.push_back(id);
        for (int id : ids) {
            auto it = m_handlers.find(id);
            if (it == m_handlers.end())
                continue; // removed by an earlier handler of this event
            const Handler handler = it->second; // the handler may remove itself while it runs
            handler(event);
        }
    }

    void dispatchDesktop(const DesktopEvent &event)
    {
        std::vector<int> ids;
        for (const auto &[id, handler] : m_desktopHandlers)
            ids.push_back(id);
        for (int id : ids) {
            auto it = m_desktopHandlers.find(id);
            if (it == m_desktopHandlers.end())
                continue;
            const DesktopHandler handler = it->second;
            handler(event);
        }
    }

    std::unique_ptr<RawConnection> m_keys;
    std::unique_ptr<RawConnection> m_motion;
    QTimer m_motionPause;
    std::map<int, Handler> m_handlers;
    std::map<int, DesktopHandler> m_desktopHandlers;
    Atom m_activeWindowAtom = None;
    Atom m_currentDesktopAtom = None;
    int m_nextID = 1;
    std::optional<ModifierFlags> m_lastFlags;
    std::atomic<std::int64_t> m_lastKeyPress {-1};
    std::optional<PointerState> m_dispatchState;
};

class X11Monitor final : public InputMonitor
{
public:
    X11Monitor(std::shared_ptr<RawEventSource> source, int id, bool desktop)
        : m_source(std::move(source))
        , m_id(id)
        , m_desktop(desktop)
    { }
    ~X11Monitor() override
    {
        if (m_desktop)
            m_source->removeDesktop(m_id);
        else
            m_source->remove(m_id);
    }

private:
    std::shared_ptr<RawEventSource> m_source;
    int m_id;
    bool m_desktop;
};

class X11Input final : public Input
{
public:
    X11Input()
    {
        // Start dating key presses as early as possible; elsewhere than on the main thread this
        // waits for the first call from there.
        if (onMainThread() && !X11::isWaylandSession() && X11::display())
            m_source = RawEventSource::open();
    }

    QPointF mouseLocation() override
    {
        if (auto state = current())
            return state->location;
        return {};
    }

    ModifierFlags currentEventFlags() override
    {
        if (auto state = current())
            return state->flags;
        return 0;
    }

    double secondsSinceLastKeyPress() override
    {
        if (!m_source && onMainThread() && !m_triedSource.exchange(true))
            m_source = RawEventSource::open();
        return m_source && onMainThread() ? m_source->secondsSinceLastKeyPress() : unknownSecondsSinceKeyPress;
    }

    void sendMaskingKey() override
    {
        if (!onMainThread())
            return;
        Display *d = X11::display();
        if (!d || X11::isWaylandSession())
            return;
        int event = 0;
        int error = 0;
        int major = 0;
        int minor = 0;
        if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
            if (!std::exchange(m_maskingLogged, true))
                qCWarning(lcInput) << "the X server has no XTest extension: a held hold key may act as a lone tap"
                                      " when let go";
            return;
        }
        // Looked up at every use (two round trips, once per hold at most): the keyboard map may
        // have changed since.
        const KeyCode key = unboundKeyCode(d);
        if (key == 0) {
            if (!std::exchange(m_maskingLogged, true))
                qCWarning(lcInput) << "every key code of the keyboard map is bound: a held hold key may act as a"
                                      " lone tap when let go";
            return;
        }
        XTestFakeKeyEvent(d, key, True, CurrentTime);
        XTestFakeKeyEvent(d, key, False, CurrentTime);
        XFlush(d);
        qCDebug(lcInput) << "masking key" << key << "sent";
    }

    std::unique_ptr<InputMonitor> addMonitor(std::function<void(const InputEvent &)> handler) override
    {
        if (!openSource("input monitors"))
            return nullptr;
        const int id = m_source->add(std::move(handler));
        return std::make_unique<X11Monitor>(m_source, id, false);
    }

    std::unique_ptr<InputMonitor> addDesktopMonitor(std::function<void(const DesktopEvent &)> handler) override
    {
        if (!openSource("desktop monitors"))
            return nullptr;
        const int id = m_source->addDesktop(std::move(handler));
        return std::make_unique<X11Monitor>(m_source, id, true);
    }

private:
    bool openSource(const char *what)
    {
        if (!onMainThread()) {
            qCWarning(lcInput) << what << "can only be added on the main thread";
            return false;
        }
        if (!m_source)
            m_source = RawEventSource::open();
        return m_source != nullptr;
    }

    std::optional<PointerState> current()
    {
        if (m_source && onMainThread() && m_source->dispatchState())
            return m_source->dispatchState();
        return queryPointer(X11::display());
    }

    // Touched on the main thread only.
    std::shared_ptr<RawEventSource> m_source;
    std::atomic<bool> m_triedSource {false};
    bool m_maskingLogged = false;
};

} // namespace

std::shared_ptr<Input> Input::makeDefault()
{
    return std::make_shared<X11Input>();
}

} // namespace Lumivox::Native
