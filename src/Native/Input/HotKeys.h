#pragma once

// System-wide keyboard shortcuts, shaped like the event manager the callers were written for:
// handlers are installed on the application and see every hot-key press of the application;
// a registration ties one key combination to an identifier that the press carries. A press is
// offered to the installed handlers, newest first, until one answers that it handled it.
//
// Keys are the Carbon virtual key codes (S is 1, C is 8, Space 49 …) and the Carbon modifier mask
// below; the backend maps them onto the desktop's keys. Main thread only: handlers run there.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Lumivox::Native {

namespace HotKeyModifier {
inline constexpr std::uint32_t command = 256; // Super (Mod4)
inline constexpr std::uint32_t shift = 512;
inline constexpr std::uint32_t option = 2048; // Alt (Mod1)
inline constexpr std::uint32_t control = 4096;
} // namespace HotKeyModifier

/// What a press carries: the registrant's four-character signature and its number.
struct HotKeyID
{
    std::uint32_t signature = 0;
    std::uint32_t id = 0;
    bool operator==(const HotKeyID &) const = default;
};

enum class HotKeyEventResult { handled, notHandled };

using HotKeyHandler = std::function<HotKeyEventResult(HotKeyID)>;

/// Opaque references handed out by the service.
enum class HotKeyHandlerRef : std::uint64_t {};
enum class HotKeyRef : std::uint64_t {};

class HotKeys
{
public:
    virtual ~HotKeys() = default;

    /// Installs a handler for hot-key presses; nothing when that is not possible.
    virtual std::optional<HotKeyHandlerRef> installHandler(HotKeyHandler handler) = 0;
    /// Harmless for a handler that is already gone, also from inside a handler.
    virtual void removeHandler(HotKeyHandlerRef handler) = 0;

    /// Claims the combination system-wide. Nothing when it cannot: another application (or another
    /// registration of ours) holds it, the key does not exist on this keyboard, or there is no X
    /// display (Wayland); the reason is logged. A failed claim leaves nothing claimed.
    virtual std::optional<HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, HotKeyID id) = 0;
    /// Releases the combination at once; harmless for a registration that is already gone.
    virtual void unregisterHotKey(HotKeyRef hotKey) = 0;

    /// The desktop's service. Each call makes a new, independent client of the display.
    static std::shared_ptr<HotKeys> makeDefault();
    /// Without a display: handlers install, but no combination can be claimed.
    static std::shared_ptr<HotKeys> makeUnavailable();
};

/// The handler list of a hot-key service, shared by the backend and the test double so that both
/// dispatch the same way.
class HotKeyHandlerChain
{
public:
    HotKeyHandlerRef install(HotKeyHandler handler)
    {
        const auto ref = HotKeyHandlerRef {m_next++};
        m_handlers.push_back({ref, std::move(handler)});
        return ref;
    }

    void remove(HotKeyHandlerRef ref)
    {
        std::erase_if(m_handlers, [ref](const Entry &e) { return e.ref == ref; });
    }

    std::size_t size() const { return m_handlers.size(); }

    /// Offers a press to the handlers, newest first. A handler may install or remove handlers
    /// (itself included) while it runs, so each is looked up afresh and called through a copy.
    HotKeyEventResult dispatch(HotKeyID id)
    {
        std::vector<HotKeyHandlerRef> order;
        order.reserve(m_handlers.size());
        for (auto it = m_handlers.rbegin(); it != m_handlers.rend(); ++it)
            order.push_back(it->ref);
        for (HotKeyHandlerRef ref : order) {
            HotKeyHandler handler;
            for (const Entry &e : m_handlers) {
                if (e.ref == ref)
                    handler = e.handler;
            }
            if (handler && handler(id) == HotKeyEventResult::handled)
                return HotKeyEventResult::handled;
        }
        return HotKeyEventResult::notHandled;
    }

private:
    struct Entry
    {
        HotKeyHandlerRef ref;
        HotKeyHandler handler;
    };
    std::vector<Entry> m_handlers;
    std::uint64_t m_next = 1;
};

} // namespace Lumivox::Native
