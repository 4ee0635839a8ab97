#include "Shared/Async/SerialExecutor.h"

#include <pthread.h>

namespace Lumivox {

SerialExecutor::SerialExecutor(QString name)
    : m_name(std::move(name))
{
    std::promise<std::thread::id> started;
    auto id = started.get_future();
    m_thread = std::thread([this, &started] {
        // Thread names are limited to 15 bytes; keep the distinctive tail ("app.lumivox.accessibility").
        QByteArray label = m_name.toUtf8();
        if (label.size() > 15)
            label = label.right(15);
        pthread_setname_np(pthread_self(), label.constData());
        started.set_value(std::this_thread::get_id());
        loop();
    });
    m_workerId = id.get();
}

SerialExecutor::~SerialExecutor()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SerialExecutor::post(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void SerialExecutor::drain()
{
    runBlocking([] {});
}

void SerialExecutor::loop()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return; // stopping, and everything submitted has run
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace Lumivox
