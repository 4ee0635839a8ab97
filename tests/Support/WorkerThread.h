#pragma once

// One persistent thread that runs jobs one at a time, like the accessibility worker, for the system
// tests that talk to other applications. The calling (main) thread keeps its event loop turning
// while it waits, so that its own windows and GLib's default context stay live.

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace Lumivox::Testing {

class WorkerThread
{
public:
    WorkerThread()
        : m_thread([this](std::stop_token stop) { loop(stop); })
    { }
    ~WorkerThread()
    {
        m_thread.request_stop();
        m_wake.notify_all();
    }

    /// Runs `f` on the thread and returns its value; a test failure and a default value when it did
    /// not finish within 30 s.
    template<class F>
    auto run(F f) -> decltype(f())
    {
        using R = decltype(f());
        std::optional<R> result;
        bool done = false;
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back([&] {
                R value = f();
                std::lock_guard inner(m_mutex);
                result = std::move(value);
                done = true;
            });
        }
        m_wake.notify_all();
        spinUntil(
            [&] {
                std::lock_guard lock(m_mutex);
                return done;
            },
            std::chrono::seconds(30));
        std::lock_guard lock(m_mutex);
        if (!done)
            ADD_FAILURE() << "the worker did not finish within 30 s";
        return result ? std::move(*result) : R {};
    }

private:
    void loop(std::stop_token stop)
    {
        while (!stop.stop_requested()) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return stop.stop_requested() || !m_jobs.empty(); });
                if (m_jobs.empty())
                    continue;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::jthread m_thread;
};

} // namespace Lumivox::Testing
