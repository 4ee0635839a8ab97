#pragma once

// Time as the program sees it. Code that waits, debounces or stamps dates takes a Clock so that
// tests can drive time by hand (tests/Fakes/FakeClock.h) instead of sleeping.

#include <QObject>

#include <atomic>
#include <chrono>
#include <coroutine>
#include <functional>
#include <memory>

namespace Lumivox {

/// Cancels a scheduled call. Copies share one timer; an empty handle does nothing.
class TimerHandle
{
public:
    TimerHandle() = default;
    explicit TimerHandle(std::shared_ptr<std::atomic<bool>> cancelled)
        : m_cancelled(std::move(cancelled))
    {
    }
    void cancel() const
    {
        if (m_cancelled)
            m_cancelled->store(true);
    }
    bool isCancelled() const { return !m_cancelled || m_cancelled->load(); }

private:
    std::shared_ptr<std::atomic<bool>> m_cancelled;
};

class Clock
{
public:
    using Duration = std::chrono::nanoseconds;
    using Instant = std::chrono::steady_clock::time_point;
    using WallTime = std::chrono::system_clock::time_point;

    virtual ~Clock() = default;

    /// Monotonic time, for intervals and expiries.
    virtual Instant now() const = 0;
    /// Calendar time, for dates that are stored or shown.
    virtual WallTime wallNow() const = 0;

    /// Calls `fn` once after `delay` on the thread of `context` (which needs an event loop). Nothing is
    /// called when the handle is cancelled first or the context is destroyed.
    virtual TimerHandle schedule(Duration delay, QObject *context, std::function<void()> fn) = 0;

    /// `co_await clock.sleep(d, context)` resumes on the context's thread after d.
    auto sleep(Duration delay, QObject *context)
    {
        struct Awaiter
        {
            Clock *clock;
            Duration delay;
            QObject *context;
            bool await_ready() const noexcept { return false; }
            void await_suspend(std::coroutine_handle<> h)
            {
                clock->schedule(delay, context, [h] { h.resume(); });
            }
            void await_resume() const noexcept { }
        };
        return Awaiter{this, delay, context};
    }

    /// The real clock, shared by the whole program.
    static std::shared_ptr<Clock> system();
};

} // namespace Lumivox
