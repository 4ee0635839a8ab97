#pragma once

// A hot-key service without a desktop: tests press combinations by hand and can make handler
// installation or a registration fail, as a full system or another application would.

#include "Native/Input/HotKeys.h"

#include <map>
#include <set>
#include <utility>

namespace Lumivox::Testing {

class FakeHotKeys final : public Native::HotKeys
{
public:
    struct Registration
    {
        std::uint32_t keyCode = 0;
        std::uint32_t modifiers = 0;
        Native::HotKeyID id;
    };

    std::optional<Native::HotKeyHandlerRef> installHandler(Native::HotKeyHandler handler) override
    {
        if (failHandlerInstall || !handler)
            return std::nullopt;
        return m_handlers.install(std::move(handler));
    }

    void removeHandler(Native::HotKeyHandlerRef handler) override { m_handlers.remove(handler); }

    std::optional<Native::HotKeyRef> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                    Native::HotKeyID id) override
    {
        if (takenElsewhere.contains({keyCode, modifiers}))
            return std::nullopt;
        for (const auto &[ref, r] : m_registrations) {
            if (r.keyCode == keyCode && r.modifiers == modifiers)
                return std::nullopt;
        }
        const auto ref = Native::HotKeyRef {m_next++};
        m_registrations.emplace(ref, Registration {keyCode, modifiers, id});
        return ref;
    }

    void unregisterHotKey(Native::HotKeyRef hotKey) override { m_registrations.erase(hotKey); }

    /// Presses a combination; false when nothing of ours is registered for it (the press goes to
    /// other applications).
    bool press(std::uint32_t keyCode, std::uint32_t modifiers)
    {
        for (const auto &[ref, r] : m_registrations) {
            if (r.keyCode == keyCode && r.modifiers == modifiers) {
                const Native::HotKeyID id = r.id;
                m_handlers.dispatch(id);
                return true;
            }
        }
        return false;
    }

    /// Offers a press carrying any identifier, as another registrant's press would arrive.
    Native::HotKeyEventResult deliver(Native::HotKeyID id) { return m_handlers.dispatch(id); }

    std::size_t handlerCount() const { return m_handlers.size(); }
    std::size_t registrationCount() const { return m_registrations.size(); }
    const std::map<Native::HotKeyRef, Registration> &registrations() const { return m_registrations; }

    bool failHandlerInstall = false;
    /// Combinations (key code, modifiers) that another application holds.
    std::set<std::pair<std::uint32_t, std::uint32_t>> takenElsewhere;

private:
    Native::HotKeyHandlerChain m_handlers;
    std::map<Native::HotKeyRef, Registration> m_registrations;
    std::uint64_t m_next = 1;
};

} // namespace Lumivox::Testing
