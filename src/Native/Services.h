#pragma once

// The registry of platform services. Each service is an interface under src/Native/<Service>/ that
// declares `static std::shared_ptr<Interface> makeDefault();` (its Linux backend); the registry
// builds that default lazily on first use. Tests put a fake in place with ScopedOverride.
//
//   auto windows = Native::service<Native::WindowList>();
//   Native::ScopedOverride<Native::WindowList> fake(std::make_shared<FakeWindowList>());

#include <memory>
#include <mutex>
#include <typeindex>
#include <unordered_map>

namespace Lumivox::Native {

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
        std::shared_ptr<I> made = I::makeDefault();
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
