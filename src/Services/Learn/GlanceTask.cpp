#include "Services/Learn/GlanceTask.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace Lumivox {

namespace {

void resumeLater(std::coroutine_handle<> handle)
{
    if (auto *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [handle] { handle.resume(); }, Qt::QueuedConnection);
    else
        handle.resume(); // no event loop to come back to
}

} // namespace

GlanceTask::GlanceTask()
    : m_state(std::make_shared<GlanceTaskState>())
{ }

GlanceTask GlanceTask::finished(std::optional<Glance> glance)
{
    auto state = std::make_shared<GlanceTaskState>();
    state->value.emplace(std::move(glance));
    return GlanceTask(std::move(state));
}

std::optional<Glance> GlanceTask::result() const
{
    if (!m_state->value)
        return std::nullopt;
    return *m_state->value;
}

void GlanceTask::finish(std::optional<Glance> glance) const
{
    if (m_state->value)
        return;
    m_state->value.emplace(std::move(glance));
    const auto awaiting = std::exchange(m_state->awaiting, {});
    for (const auto handle : awaiting)
        resumeLater(handle);
}

void GlanceTask::cancel() const
{
    m_state->stop.request_stop();
    finish(std::nullopt);
}

bool GlanceTask::Awaiter::await_ready() const noexcept
{
    return m_state->value.has_value();
}

void GlanceTask::Awaiter::await_suspend(std::coroutine_handle<> awaiting)
{
    m_state->awaiting.push_back(awaiting);
}

std::optional<Glance> GlanceTask::Awaiter::await_resume() const
{
    return m_state->value ? *m_state->value : std::nullopt;
}

QCoro::Task<std::optional<Glance>> GlanceTask::value() const
{
    // A copy keeps the state alive while this coroutine waits, whatever happens to the caller's handle.
    const GlanceTask task = *this;
    auto result = co_await task;
    co_return result;
}

} // namespace Lumivox
