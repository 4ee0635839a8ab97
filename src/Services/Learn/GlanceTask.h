#pragma once

// One running glance computation that any number of callers may await. A coroutine task hands its
// result to one awaiter only; a glance is shared by every hover (and read-ahead) that asks for the
// same key, so each awaiter gets its own copy, exactly once.
//
// Main thread only. Awaiters are resumed from the event loop, never from inside the call that
// finishes or cancels the task: the glance translator cancels tasks while it is in the middle of
// changing its own books, and an awaiter that resumed there could call back into it.

#include "Services/Learn/Glance.h"

#include <QCoroTask>

#include <coroutine>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace Lumivox {

struct GlanceTaskState
{
    /// Set once: the outer optional says whether the task has finished.
    std::optional<std::optional<Glance>> value;
    std::vector<std::coroutine_handle<>> awaiting;
    std::stop_source stop;
};

class GlanceTask
{
public:
    /// A task that is still running until finish() or cancel() is called.
    GlanceTask();
    /// A task that has already finished with the glance.
    static GlanceTask finished(std::optional<Glance> glance);

    bool isFinished() const { return m_state->value.has_value(); }
    bool isCancelled() const { return m_state->stop.stop_requested(); }
    /// The computation checks this between its steps and hands it to its translations.
    std::stop_token stopToken() const { return m_state->stop.get_token(); }

    /// The result; none until finished.
    std::optional<Glance> result() const;

    /// Sets the result and releases every awaiter with a copy of it. Only the first call counts.
    void finish(std::optional<Glance> glance) const;
    /// Asks the computation to stop and releases every awaiter at once with no glance: a cancelled
    /// task yields none even when its computation still finishes.
    void cancel() const;

    /// The same running task (the same computation), not just an equal result.
    bool operator==(const GlanceTask &other) const { return m_state == other.m_state; }

    // Holds a plain pointer: the task being awaited keeps the state alive, and an awaiter with nothing
    // to destroy is safe from GCC 12 destroying the temporaries of a co_await expression twice. For the
    // same reason, name a task before awaiting it rather than awaiting a call's result directly:
    //     const GlanceTask task = translator.start(...);
    //     auto glance = co_await task;
    class Awaiter
    {
    public:
        explicit Awaiter(GlanceTaskState *state)
            : m_state(state)
        { }
        bool await_ready() const noexcept;
        void await_suspend(std::coroutine_handle<> awaiting);
        std::optional<Glance> await_resume() const;

    private:
        GlanceTaskState *m_state;
    };

    Awaiter operator co_await() const { return Awaiter(m_state.get()); }

    /// The result as a coroutine task of its own, for callers that keep QCoro tasks.
    QCoro::Task<std::optional<Glance>> value() const;

private:
    explicit GlanceTask(std::shared_ptr<GlanceTaskState> state)
        : m_state(std::move(state))
    { }

    std::shared_ptr<GlanceTaskState> m_state;
};

} // namespace Lumivox
