#pragma once

// One system-wide keyboard shortcut. While the object lives, pressing its combination anywhere on
// the desktop runs its action on the main thread, even when another application is in front;
// destroying the object (or unregister()) gives the combination back.

#include "Native/Input/HotKeys.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace Lumivox {

class GlobalHotKey final
{
public:
    using Action = std::function<void()>;

    /// The signature every registration of this program carries: the bytes "LVHK", big-endian.
    static constexpr std::uint32_t signature =
        (std::uint32_t('L') << 24) | (std::uint32_t('V') << 16) | (std::uint32_t('H') << 8) | std::uint32_t('K');

    /// Registers `keyCode` (a Carbon virtual key code) with `modifiers` (Carbon mask, see
    /// Native::HotKeyModifier). Nothing when the handler cannot be installed or the combination
    /// cannot be registered (taken by another application, no X display); what was done is undone.
    /// Main thread.
    static std::unique_ptr<GlobalHotKey> create(std::uint32_t keyCode, std::uint32_t modifiers, Action action);

    ~GlobalHotKey();
    GlobalHotKey(const GlobalHotKey &) = delete;
    GlobalHotKey &operator=(const GlobalHotKey &) = delete;

    /// Gives the combination back and removes the handler. Safe to call more than once; the object
    /// cannot be registered again (make a new one, which gets a new id).
    void unregister();

    std::uint32_t keyCode() const { return m_keyCode; }
    std::uint32_t modifiers() const { return m_modifiers; }
    /// Unique within the process run.
    std::uint32_t id() const { return m_id; }

private:
    GlobalHotKey(std::shared_ptr<Native::HotKeys> service, std::uint32_t keyCode, std::uint32_t modifiers,
                 Action action);
    Native::HotKeyEventResult handle(Native::HotKeyID hotKeyID);

    static std::atomic<std::uint32_t> s_nextID;

    std::shared_ptr<Native::HotKeys> m_service;
    std::uint32_t m_keyCode;
    std::uint32_t m_modifiers;
    std::uint32_t m_id;
    Action m_action;
    std::optional<Native::HotKeyRef> m_hotKeyRef;
    std::optional<Native::HotKeyHandlerRef> m_handlerRef;
};

} // namespace Lumivox
