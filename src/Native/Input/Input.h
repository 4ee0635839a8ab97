#pragma once

// Pointer and keyboard state of the whole desktop.
// Points are in Cocoa coordinates: points (not device pixels), origin at the bottom-left corner of
// the primary screen, y upwards. Modifier flags use the bit values the rest of the program tests.

#include <QPointF>

#include <cstdint>
#include <functional>
#include <memory>

namespace Lumivox::Native {

using ModifierFlags = std::uint64_t;

namespace Modifier {
inline constexpr ModifierFlags capsLock = 0x10000;
inline constexpr ModifierFlags shift = 0x20000;
inline constexpr ModifierFlags control = 0x40000;
inline constexpr ModifierFlags option = 0x80000; // Alt (Mod1)
inline constexpr ModifierFlags command = 0x100000; // Super (Mod4)
inline constexpr ModifierFlags numericPad = 0x200000; // Num Lock on
inline constexpr ModifierFlags help = 0x400000;
inline constexpr ModifierFlags function = 0x800000;
} // namespace Modifier

struct InputEvent
{
    enum class Type { mouseMoved, flagsChanged };
    Type type = Type::mouseMoved;
    ModifierFlags modifierFlags = 0; // for flagsChanged: the flags after the change
};

/// A change of the desktop as a whole that hovering must follow.
struct DesktopEvent
{
    enum class Type {
        /// Another window became the active one (it may belong to the same application).
        activeWindowChanged,
        /// The user switched to another virtual desktop.
        desktopChanged,
    };
    Type type = Type::activeWindowChanged;
};

/// Stops its monitor when destroyed.
class InputMonitor
{
public:
    virtual ~InputMonitor() = default;
};

class Input
{
public:
    virtual ~Input() = default;

    /// The pointer's current location (Cocoa coordinates).
    virtual QPointF mouseLocation() = 0;

    /// The modifier keys held at this moment, as raw event flags (may carry caps lock, num lock and
    /// other bits; callers reduce them).
    virtual ModifierFlags currentEventFlags() = 0;

    /// Seconds since the last key press anywhere on the desktop (a large number when unknown).
    /// Modifier keys (Shift, Ctrl, Alt, Super, AltGr, the locks …, told apart by what the key types,
    /// so that a remapped key counts as what it is now) and keys that type nothing are no typing and
    /// are not counted. Main thread: key presses are counted from the first time the service is used
    /// there.
    virtual double secondsSinceLastKeyPress() = 0;

    /// Sends one press and release of a key that types nothing and is bound to nothing, through the
    /// desktop's input path, so that the modifiers held now are not read as tapped alone when they
    /// are let go (a lone Alt opens an application's menu bar, a lone Super the desktop's
    /// overview). No application receives it as text, and secondsSinceLastKeyPress() does not count
    /// it. Main thread; nothing where the desktop cannot take such a key.
    virtual void sendMaskingKey() { }

    /// Delivers pointer moves and modifier changes of the whole desktop to `handler` on the main
    /// thread until the returned monitor is destroyed. Returns nullptr when monitoring is not
    /// possible (no display, no XInput2, Wayland); the reason is logged. Call it, and destroy the
    /// monitor, on the main thread. Moves may be coalesced (at most one per display frame or so);
    /// a modifier change is delivered once per actual change of the flags.
    virtual std::unique_ptr<InputMonitor> addMonitor(std::function<void(const InputEvent &)> handler) = 0;

    /// Delivers changes of the active window and of the current desktop on the main thread until
    /// the returned monitor is destroyed. Returns nullptr where the desktop does not announce them
    /// (no display, Wayland, a backend without them). Main thread, like addMonitor().
    virtual std::unique_ptr<InputMonitor> addDesktopMonitor(std::function<void(const DesktopEvent &)> handler)
    {
        (void)handler;
        return nullptr;
    }

    static std::shared_ptr<Input> makeDefault();
    /// Without a display: the pointer at (0, 0), no keys held, no key press ever, no monitor.
    static std::shared_ptr<Input> makeUnavailable();
};

} // namespace Lumivox::Native
