#pragma once

// The registry of platform services. Each service is an interface under src/Native/<Service>/ that
// declares `static std::shared_ptr<Interface> makeDefault();` (its Linux backend); the registry
// builds that default lazily on first use. Tests put a fake in place with ScopedOverride.
//
//   auto windows = Native::service<Native::WindowList>();
//   Native::ScopedOverride<Native::WindowList> fake(std::make_shared<FakeWindowList>());
//
// A service that needs the X display also declares `static std::shared_ptr<Interface>
// makeUnavailable();`: a stand-in that reports the service as unavailable (no pointer, no windows,
// no capture, no hot keys, no accessibility) and never fails harder than that. The registry builds
// the stand-ins instead of the X11 backends when platform() says there is no display to use, so a
// caller always gets a working object and never a null pointer.

#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <typeindex>
#include <unordered_map>

namespace Lumivox::Native {

/// Which backends the registry builds for the services that need the display.
enum class Platform { x11, unavailable };

/// Decided once per process: LUMIVOX_PLATFORM ("x11" or "null") when set, else x11 when an X display
/// answers outside a Wayland session, else the stand-ins. The choice and its reason are logged.
Platform platform();

/// The rule of platform(): `requested` is the override (empty: none; an unknown value is ignored);
/// the display is asked only when the answer depends on it.
Platform choosePlatform(std::string_view requested, bool waylandSession, const std::function<bool()> &displayReachable);

/// The backend the registry builds for a service.
template<class I>
std::shared_ptr<I> makeBackend()
{
    if constexpr (requires { I::makeUnavailable(); }) {
        if (platform() == Platform::unavailable)
            return I::makeUnavailable();
    }
    return I::makeDefault();
}

class Services
{
public:
    template<class I>
    std::shared_ptr<I> get()
    {
        {
            std::lock_guard lock(m_mutex);
            if (auto it = m_services.find(typeid(I)); it != m_services.end())
                return std::static_pointer_cast<I>(it->second);
        }
        // Built outside the lock: a backend may itself ask the registry for another service.
        std::shared_ptr<I> made = makeBackend<I>();
        std::lock_guard lock(m_mutex);
        auto [it, inserted] = m_services.try_emplace(typeid(I), made);
        return std::static_pointer_cast<I>(it->second);
    }

    /// Puts `service` in place (nullptr: back to the lazily built default) and returns what was there.
    template<class I>
    std::shared_ptr<I> exchange(std::shared_ptr<I> service)
    {
        std::lock_guard lock(m_mutex);
        std::shared_ptr<void> previous;
        if (auto it = m_services.find(typeid(I)); it != m_services.end()) {
            previous = std::move(it->second);
            m_services.erase(it);
        }
        if (service)
            m_services.emplace(typeid(I), std::move(service));
        return std::static_pointer_cast<I>(previous);
    }

private:
    std::mutex m_mutex;
    std::unordered_map<std::type_index, std::shared_ptr<void>> m_services;
};

Services &services();

template<class I>
std::shared_ptr<I> service()
{
    return services().get<I>();
}

/// Replaces one service for the lifetime of the object (tests).
template<class I>
class ScopedOverride
{
public:
    explicit ScopedOverride(std::shared_ptr<I> replacement)
        : m_previous(services().exchange<I>(std::move(replacement)))
    { }
    ~ScopedOverride() { services().exchange<I>(std::move(m_previous)); }
    ScopedOverride(const ScopedOverride &) = delete;
    ScopedOverride &operator=(const ScopedOverride &) = delete;

private:
    std::shared_ptr<I> m_previous;
};

} // namespace Lumivox::Native
