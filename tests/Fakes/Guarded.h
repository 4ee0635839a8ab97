#pragma once

// A value behind its own lock. Fakes are set up and read by the test on the main thread while the
// code under test calls them from workers; a Guarded member makes each such setter and getter one
// line instead of a lock and a copy.

#include <mutex>
#include <utility>

namespace Lumivox::Testing {

template<class T>
class Guarded
{
public:
    Guarded() = default;
    explicit Guarded(T value)
        : m_value(std::move(value))
    { }

    /// A copy: the caller never holds a reference into the guarded value.
    T get() const
    {
        std::lock_guard lock(m_mutex);
        return m_value;
    }

    void set(T value)
    {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

    /// Runs `f` on the value under the lock, to change it in place or read a part of it. What `f`
    /// returns is handed back by value.
    template<class F>
    auto with(F &&f)
    {
        std::lock_guard lock(m_mutex);
        return std::forward<F>(f)(m_value);
    }
    template<class F>
    auto with(F &&f) const
    {
        std::lock_guard lock(m_mutex);
        return std::forward<F>(f)(std::as_const(m_value));
    }

private:
    mutable std::mutex m_mutex;
    T m_value {};
};

} // namespace Lumivox::Testing
