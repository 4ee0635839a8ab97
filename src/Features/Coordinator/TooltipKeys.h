#pragma once

// The tooltip's two system-wide keys: S saves (or unsaves) the word shown and C copies its
// translation, pressed with the hold key's modifiers. They are grabbed only while a tooltip shows, so
// that the same combinations belong to the other programs the rest of the time.
//
// Main thread only. Destroying the object gives both combinations back.

#include "Shared/Async/Clock.h"
#include "Shared/Platform/GlobalHotKey.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace Lumivox {

class TooltipKeys final
{
public:
    /// Carbon key codes of S and C.
    static constexpr std::uint32_t saveKeyCode = 1;
    static constexpr std::uint32_t copyKeyCode = 8;
    /// A second press of either key within this time is the same press (a bouncing or doubled key).
    static constexpr std::chrono::milliseconds debounce {350};

    explicit TooltipKeys(std::shared_ptr<Clock> clock);

    std::function<void()> onSave;
    std::function<void()> onCopy;

    /// Grabs both keys with the Carbon modifier mask. Keys already armed with that mask stay as they
    /// are; a key the desktop refuses (another program holds it) stays unarmed, and when that is the
    /// save key the next call tries both again.
    void activate(std::uint32_t modifiers);
    /// Gives both keys back; harmless when disarmed.
    void deactivate();
    bool isActive() const { return m_saveKey != nullptr; }
    bool isCopyArmed() const { return m_copyKey != nullptr; }
    std::optional<std::uint32_t> modifiers() const { return m_modifiers; }
    /// The wall time of the last accepted press of either key.
    std::optional<Clock::WallTime> lastPressDate() const { return m_lastPressDate; }

private:
    void pressed(const std::function<void()> &action);
    std::unique_ptr<GlobalHotKey> grab(std::uint32_t keyCode, std::uint32_t modifiers, bool save);

    std::shared_ptr<Clock> m_clock;
    std::unique_ptr<GlobalHotKey> m_saveKey;
    std::unique_ptr<GlobalHotKey> m_copyKey;
    std::optional<std::uint32_t> m_modifiers;
    std::optional<Clock::Instant> m_lastPress;
    std::optional<Clock::WallTime> m_lastPressDate;
};

} // namespace Lumivox
