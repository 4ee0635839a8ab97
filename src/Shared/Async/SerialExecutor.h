#pragma once

// A serial executor: one worker thread that runs submitted jobs one at a time, in submission order.
// It stands in for an actor: state touched only from its jobs needs no lock. `co_await run(job)`
// resumes the awaiting coroutine on the thread it awaited from (which must run a Qt event loop).

#include <QAbstractEventDispatcher>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QThread>

#include <condition_variable>
#include <coroutine>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace Lumivox {

class SerialExecutor
{
public:
    explicit SerialExecutor(QString name);
    /// Runs every job already submitted, then stops the thread.
    ~SerialExecutor();

    SerialExecutor(const SerialExecutor &) = delete;
    SerialExecutor &operator=(const SerialExecutor &) = delete;

    const QString &name() const { return m_name; }

    /// True when called from this executor's worker thread.
    bool isCurrent() const { return std::this_thread::get_id() == m_workerId; }

    /// Fire and forget.
    void post(std::function<void()> job);

    /// Runs the job on the worker and blocks the calling thread until it is done. Never call it from
    /// the worker itself (that would wait for itself); it then runs the job inline instead.
    template<class F>
    auto runBlocking(F &&job) -> std::invoke_result_t<F &>
    {
        using R = std::invoke_result_t<F &>;
        if (isCurrent())
            return job();
        std::packaged_task<R()> task(std::forward<F>(job));
        auto future = task.get_future();
        post([&task] { task(); });
        return future.get();
    }

    /// Waits until every job submitted before this call has run.
    void drain();

    template<class R>
    class Awaitable;

    /// `co_await executor.run(job)`: the job runs on the worker; the coroutine resumes on its own thread.
    ///
    /// GCC 12 destroys a lambda written inside a co_await expression twice, so a lambda whose captures
    /// have destructors (QString, shared_ptr, …) must be named first:
    ///     auto job = executor.run([text] { return work(text); });
    ///     auto result = co_await job;
    /// (Capturing only references, pointers or plain values inside the co_await is safe.)
    template<class F>
    auto run(F job) -> Awaitable<std::invoke_result_t<F &>>
    {
        return Awaitable<std::invoke_result_t<F &>>(this, std::function<std::invoke_result_t<F &>()>(std::move(job)));
    }

private:
    void loop();

    QString m_name;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::thread::id m_workerId;
    std::thread m_thread;
};

template<class R>
class SerialExecutor::Awaitable
{
public:
    Awaitable(SerialExecutor *executor, std::function<R()> job)
        : m_executor(executor)
        , m_job(std::move(job))
    {
    }

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> handle)
    {
        QPointer<QAbstractEventDispatcher> home = QAbstractEventDispatcher::instance(QThread::currentThread());
        m_executor->post([this, handle, home] {
            try {
                if constexpr (std::is_void_v<R>) {
                    m_job();
                    m_value.emplace(true);
                } else {
                    m_value.emplace(m_job());
                }
            } catch (...) {
                m_error = std::current_exception();
            }
            if (home)
                QMetaObject::invokeMethod(home.data(), [handle] { handle.resume(); }, Qt::QueuedConnection);
            else
                handle.resume(); // no event loop to return to: resume where we are
        });
    }

    R await_resume()
    {
        if (m_error)
            std::rethrow_exception(m_error);
        if constexpr (!std::is_void_v<R>)
            return std::move(*m_value);
    }

private:
    using Stored = std::conditional_t<std::is_void_v<R>, bool, R>;
    SerialExecutor *m_executor;
    std::function<R()> m_job;
    std::optional<Stored> m_value;
    std::exception_ptr m_error;
};

} // namespace Lumivox
