// Hot keys on X11: a passive key grab on the root window for each combination. The X server only
// matches a grab whose modifier state is exact, so every combination is grabbed once per state of
// Caps Lock and Num Lock. Grabs use a connection of their own, watched from the main thread's
// event loop, so that no other part of the program reads (or steals) these key events.

#include "Native/Input/HotKeys.h"
#include "Native/X11/X11Connection.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <array>
#include <map>

Q_LOGGING_CATEGORY(lcHotKeys, "app.lumivox.HotKeys")

namespace Lumivox::Native {

namespace {

// Carbon virtual key codes name physical positions on a US keyboard; here each maps to the key
// that types the same symbol on the desktop's current layout, which is what a shortcut's label shows.
struct KeyCodeSymbol
{
    std::uint32_t keyCode;
    KeySym symbol;
};

constexpr std::array keyCodeSymbols {
    KeyCodeSymbol {0x00, XK_a},           KeyCodeSymbol {0x01, XK_s},           KeyCodeSymbol {0x02, XK_d},
    KeyCodeSymbol {0x03, XK_f},           KeyCodeSymbol {0x04, XK_h},           KeyCodeSymbol {0x05, XK_g},
    KeyCodeSymbol {0x06, XK_z},           KeyCodeSymbol {0x07, XK_x},           KeyCodeSymbol {0x08, XK_c},
    KeyCodeSymbol {0x09, XK_v},           KeyCodeSymbol {0x0B, XK_b},           KeyCodeSymbol {0x0C, XK_q},
    KeyCodeSymbol {0x0D, XK_w},           KeyCodeSymbol {0x0E, XK_e},           KeyCodeSymbol {0x0F, XK_r},
    KeyCodeSymbol {0x10, XK_y},           KeyCodeSymbol {0x11, XK_t},           KeyCodeSymbol {0x12, XK_1},
    KeyCodeSymbol {0x13, XK_2},           KeyCodeSymbol {0x14, XK_3},           KeyCodeSymbol {0x15, XK_4},
    KeyCodeSymbol {0x16, XK_6},           KeyCodeSymbol {0x17, XK_5},           KeyCodeSymbol {0x18, XK_equal},
    KeyCodeSymbol {0x19, XK_9},           KeyCodeSymbol {0x1A, XK_7},           KeyCodeSymbol {0x1B, XK_minus},
    KeyCodeSymbol {0x1C, XK_8},           KeyCodeSymbol {0x1D, XK_0},           KeyCodeSymbol {0x1E, XK_bracketright},
    KeyCodeSymbol {0x1F, XK_o},           KeyCodeSymbol {0x20, XK_u},           KeyCodeSymbol {0x21, XK_bracketleft},
    KeyCodeSymbol {0x22, XK_i},           KeyCodeSymbol {0x23, XK_p},           KeyCodeSymbol {0x24, XK_Return},
    KeyCodeSymbol {0x25, XK_l},           KeyCodeSymbol {0x26, XK_j},           KeyCodeSymbol {0x27, XK_apostrophe},
    KeyCodeSymbol {0x28, XK_k},           KeyCodeSymbol {0x29, XK_semicolon},   KeyCodeSymbol {0x2A, XK_backslash},
    KeyCodeSymbol {0x2B, XK_comma},       KeyCodeSymbol {0x2C, XK_slash},       KeyCodeSymbol {0x2D, XK_n},
    KeyCodeSymbol {0x2E, XK_m},           KeyCodeSymbol {0x2F, XK_period},      KeyCodeSymbol {0x30, XK_Tab},
    KeyCodeSymbol {0x31, XK_space},       KeyCodeSymbol {0x32, XK_grave},       KeyCodeSymbol {0x33, XK_BackSpace},
    KeyCodeSymbol {0x35, XK_Escape},      KeyCodeSymbol {0x40, XK_F17},         KeyCodeSymbol {0x41, XK_KP_Decimal},
    KeyCodeSymbol {0x43, XK_KP_Multiply}, KeyCodeSymbol {0x45, XK_KP_Add},      KeyCodeSymbol {0x4B, XK_KP_Divide},
    KeyCodeSymbol {0x4C, XK_KP_Enter},    KeyCodeSymbol {0x4E, XK_KP_Subtract}, KeyCodeSymbol {0x4F, XK_F18},
    KeyCodeSymbol {0x50, XK_F19},         KeyCodeSymbol {0x51, XK_KP_Equal},    KeyCodeSymbol {0x52, XK_KP_0},
    KeyCodeSymbol {0x53, XK_KP_1},        KeyCodeSymbol {0x54, XK_KP_2},        KeyCodeSymbol {0x55, XK_KP_3},
    KeyCodeSymbol {0x56, XK_KP_4},        KeyCodeSymbol {0x57, XK_KP_5},        KeyCodeSymbol {0x58, XK_KP_6},
    KeyCodeSymbol {0x59, XK_KP_7},        KeyCodeSymbol {0x5A, XK_F20},         KeyCodeSymbol {0x5B, XK_KP_8},
    KeyCodeSymbol {0x5C, XK_KP_9},        KeyCodeSymbol {0x60, XK_F5},          KeyCodeSymbol {0x61, XK_F6},
    KeyCodeSymbol {0x62, XK_F7},          KeyCodeSymbol {0x63, XK_F3},          KeyCodeSymbol {0x64, XK_F8},
    KeyCodeSymbol {0x65, XK_F9},          KeyCodeSymbol {0x67, XK_F11},         KeyCodeSymbol {0x69, XK_F13},
    KeyCodeSymbol {0x6A, XK_F16},         KeyCodeSymbol {0x6B, XK_F14},         KeyCodeSymbol {0x6D, XK_F10},
    KeyCodeSymbol {0x6F, XK_F12},         KeyCodeSymbol {0x71, XK_F15},         KeyCodeSymbol {0x72, XK_Help},
    KeyCodeSymbol {0x73, XK_Home},        KeyCodeSymbol {0x74, XK_Page_Up},     KeyCodeSymbol {0x75, XK_Delete},
    KeyCodeSymbol {0x76, XK_F4},          KeyCodeSymbol {0x77, XK_End},         KeyCodeSymbol {0x78, XK_F2},
    KeyCodeSymbol {0x79, XK_Page_Down},   KeyCodeSymbol {0x7A, XK_F1},          KeyCodeSymbol {0x7B, XK_Left},
    KeyCodeSymbol {0x7C, XK_Right},       KeyCodeSymbol {0x7D, XK_Down},        KeyCodeSymbol {0x7E, XK_Up},
};

std::optional<KeySym> symbolForKeyCode(std::uint32_t keyCode)
{
    for (const auto &entry : keyCodeSymbols) {
        if (entry.keyCode == keyCode)
            return entry.symbol;
    }
    return std::nullopt;
}

// Option is Alt and Command is Super, as on the keyboards these shortcuts are labelled for.
constexpr unsigned int shortcutModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

unsigned int xModifiers(std::uint32_t carbon)
{
    unsigned int mask = 0;
    if (carbon & HotKeyModifier::command)
        mask |= Mod4Mask;
    if (carbon & HotKeyModifier::shift)
        mask |= ShiftMask;
    if (carbon & HotKeyModifier::option)
        mask |= Mod1Mask;
    if (carbon & HotKeyModifier::control)
        mask |= ControlMask;
    return mask;
}

// Num Lock's modifier bit is whatever the keyboard map assigns it (Mod2 almost everywhere).
unsigned int numLockMask(Display *d)
{
    const KeyCode numLock = XKeysymToKeycode(d, XK_Num_Lock);
    if (numLock == 0)
        return 0;
    XModifierKeymap *map = XGetModifierMapping(d);
    if (!map)
        return Mod2Mask;
    unsigned int mask = 0;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            if (map->modifiermap[modifier * map->max_keypermod + k] == numLock)
                mask = 1u << modifier;
        }
    }
    XFreeModifiermap(map);
    return mask;
}

bool onMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

class X11HotKeys final : public HotKeys
{
public:
    ~X11HotKeys() override
    {
        if (m_notifier)
            delete m_notifier.data();
        if (m_display) {
            for (const auto &[ref, grab] : m_grabs)
                ungrab(grab);
            XCloseDisplay(m_display);
        }
    }

    std::optional<HotKeyHandlerRef> installHandler(HotKeyHandler handler) override
    {
        if (!handler)
            return std::nullopt;
        return m_handlers.install(std::move(handler));
    }

    void removeHandler(HotKeyHandlerRef handler) override { m_handlers.remove(handler); }

    std::optional<HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyID id) override
    {
        if (!connect())
            return std::nullopt;
        const auto symbol = symbolForKeyCode(keyCode);
        const KeyCode xKey = symbol ? XKeysymToKeycode(m_display, *symbol) : 0;
        if (xKey == 0) {
            qCWarning(lcHotKeys) << "no key on this keyboard for key code" << keyCode;
            return std::nullopt;
        }

        Grab grab {xKey, xModifiers(modifiers), {}, id};
        for (const auto &[ref, held] : m_grabs) {
            if (held.key == grab.key && held.modifiers == grab.modifiers) {
                qCWarning(lcHotKeys) << "key code" << keyCode << "with modifiers" << modifiers
                                     << "is already registered by this program";
                return std::nullopt;
            }
        }
        const unsigned int numLock = numLockMask(m_display);
        grab.variants = {0u, static_cast<unsigned int>(LockMask)};
        if (numLock)
            grab.variants.insert(grab.variants.end(), {numLock, numLock | LockMask});

        bool taken = false;
        {
            X11::ErrorTrap trap(m_display);
            const Window root = DefaultRootWindow(m_display);
            for (unsigned int variant : grab.variants)
                XGrabKey(m_display, grab.key, grab.modifiers | variant, root, False, GrabModeAsync, GrabModeAsync);
            // The server refuses a combination another client holds with BadAccess; undo the
            // variants that were granted so that a refused combination leaves nothing behind.
            if (trap.failed()) {
                taken = true;
                ungrab(grab);
            }
        }
        scheduleDrain(); // the round trips above may have queued key events
        if (taken) {
            qCWarning(lcHotKeys) << "key code" << keyCode << "with modifiers" << modifiers
                                 << "is held by another application";
            return std::nullopt;
        }
        const auto ref = HotKeyRef {m_nextRef++};
        m_grabs.emplace(ref, grab);
        return ref;
    }

    void unregisterHotKey(HotKeyRef hotKey) override
    {
        const auto it = m_grabs.find(hotKey);
        if (it == m_grabs.end())
            return;
        if (m_display) {
            ungrab(it->second);
            // A round trip, not just a flush: once this returns, any client (another connection of
            // ours included) can take the combination.
            XSync(m_display, False);
            scheduleDrain();
        }
        m_grabs.erase(it);
    }

private:
    struct Grab
    {
        KeyCode key = 0;
        unsigned int modifiers = 0;
        std::vector<unsigned int> variants;
        HotKeyID id;
        bool down = false;
    };

    bool connect()
    {
        if (m_display)
            return true;
        if (!onMainThread()) {
            qCWarning(lcHotKeys) << "hot keys can only be registered on the main thread";
            return false;
        }
        if (X11::isWaylandSession()) {
            static bool logged = false;
            if (!std::exchange(logged, true))
                qCWarning(lcHotKeys) << "global hot keys are not available in a Wayland session";
            return false;
        }
        // Opening the shared connection first also installs the program's X error handlers, which
        // the error trap below relies on.
        if (!X11::isAvailable()) {
            static bool logged = false;
            if (!std::exchange(logged, true))
                qCWarning(lcHotKeys) << "global hot keys are not available without an X display";
            return false;
        }
        m_display = XOpenDisplay(nullptr);
        if (!m_display) {
            qCWarning(lcHotKeys) << "could not open a connection to the X display for hot keys";
            return false;
        }
        // Holding a combination must not fire it again with every auto-repeat.
        Bool supported = False;
        XkbSetDetectableAutoRepeat(m_display, True, &supported);

        // Parented to the application so that it goes before the event loop does, even when this
        // service outlives the application object at exit.
        m_notifier =
            new QSocketNotifier(ConnectionNumber(m_display), QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { drain(); });
        return true;
    }

    void ungrab(const Grab &grab)
    {
        const Window root = DefaultRootWindow(m_display);
        for (unsigned int variant : grab.variants)
            XUngrabKey(m_display, grab.key, grab.modifiers | variant, root);
    }

    // Events that a round trip read off the socket sit in Xlib's queue where the socket notifier
    // cannot see them.
    void scheduleDrain()
    {
        if (m_notifier)
            QTimer::singleShot(0, m_notifier, [this] { drain(); });
    }

    void drain()
    {
        while (m_display && XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type == KeyPress)
                pressed(event.xkey);
            else if (event.type == KeyRelease)
                released(event.xkey);
        }
    }

    void pressed(const XKeyEvent &key)
    {
        const unsigned int modifiers = key.state & shortcutModifiers;
        for (auto &[ref, grab] : m_grabs) {
            if (grab.key != key.keycode || grab.modifiers != modifiers)
                continue;
            if (std::exchange(grab.down, true))
                return; // auto-repeat of a held combination
            // The handlers may unregister this very combination; nothing of `grab` is used after.
            m_handlers.dispatch(grab.id);
            return;
        }
    }

    void released(const XKeyEvent &key)
    {
        for (auto &[ref, grab] : m_grabs) {
            if (grab.key == key.keycode)
                grab.down = false;
        }
    }

    Display *m_display = nullptr;
    QPointer<QSocketNotifier> m_notifier;
    HotKeyHandlerChain m_handlers;
    std::map<HotKeyRef, Grab> m_grabs;
    std::uint64_t m_nextRef = 1;
};

} // namespace

std::shared_ptr<HotKeys> HotKeys::makeDefault()
{
    return std::make_shared<X11HotKeys>();
}

} // namespace Lumivox::Native
