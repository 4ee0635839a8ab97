#pragma once

// A clock that only moves when a test says so. Scheduled calls run inside advance(), in due order,
// on the calling thread.

#include "Shared/Async/Clock.h"

#include <QPointer>

#include <map>
#include <mutex>

namespace Lumivox::Testing {

class FakeClock final : public Clock
{
public:
    FakeClock()
        : m_now(std::chrono::steady_clock::time_point(std::chrono::hours(1000)))
        , m_wall(std::chrono::system_clock::time_point(std::chrono::seconds(1'800'000'000)))
    {
    }

    Instant now() const override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    WallTime wallNow() const override
    {
        std::lock_guard lock(m_mutex);
        return m_wall;
    }

    void setWallNow(WallTime wall)
    {
        std::lock_guard lock(m_mutex);
        m_wall = wall;
    }

    TimerHandle schedule(Duration delay, QObject *context, std::function<void()> fn) override
    {
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard lock(m_mutex);
        m_pending.emplace(std::make_pair(m_now + delay, m_sequence++),
                          Pending{QPointer<QObject>(context), cancelled, std::move(fn)});
        return TimerHandle(cancelled);
    }

    /// Moves time forward, running every call that falls due on the way.
    void advance(Duration by)
    {
        Instant target;
        {
            std::lock_guard lock(m_mutex);
            target = m_now + by;
        }
        for (;;) {
            Pending due;
            {
                std::lock_guard lock(m_mutex);
                auto it = m_pending.begin();
                if (it == m_pending.end() || it->first.first > target)
                    break;
                const auto elapsed = it->first.first - m_now;
                m_now = it->first.first;
                m_wall += std::chrono::duration_cast<std::chrono::system_clock::duration>(elapsed);
                due = std::move(it->second);
                m_pending.erase(it);
            }
            if (due.context && !due.cancelled->load())
                due.fn();
        }
        std::lock_guard lock(m_mutex);
        m_wall += std::chrono::duration_cast<std::chrono::system_clock::duration>(target - m_now);
        m_now = target;
    }

    /// Number of calls still waiting (cancelled ones included until they fall due).
    std::size_t pendingCount() const
    {
        std::lock_guard lock(m_mutex);
        std::size_t n = 0;
        for (const auto &[key, p] : m_pending)
            n += p.cancelled->load() ? 0 : 1;
        return n;
    }

private:
    struct Pending
    {
        QPointer<QObject> context;
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::function<void()> fn;
    };
    mutable std::mutex m_mutex;
    Instant m_now;
    WallTime m_wall;
    std::uint64_t m_sequence = 0;
    std::map<std::pair<Instant, std::uint64_t>, Pending> m_pending;
};

} // namespace Lumivox::Testing
