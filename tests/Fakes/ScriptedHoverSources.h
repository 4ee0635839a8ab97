#pragma once

// A hover's sources scripted by a test: each read answers at once with what the test queued, or
// waits until the test releases it, so that a test can change the world in the middle of a lookup.
// Released reads resume their awaiter inline, on the test's thread.

#include "Features/Coordinator/HoverSources.h"

#include <coroutine>
#include <deque>
#include <memory>
#include <optional>

namespace Lumivox::Testing {

/// One answer that may come later.
template<typename T>
class Reply
{
public:
    struct State
    {
        std::optional<T> value;
        std::coroutine_handle<> waiter;
    };

    Reply()
        : m_state(std::make_shared<State>())
    { }
    explicit Reply(T value)
        : Reply()
    {
        m_state->value = std::move(value);
    }

    void release(T value) const
    {
        m_state->value = std::move(value);
        if (auto waiter = std::exchange(m_state->waiter, {}))
            waiter.resume();
    }
    bool isWaiting() const { return bool(m_state->waiter); }

    struct Awaiter
    {
        std::shared_ptr<State> state;
        bool await_ready() const noexcept { return state->value.has_value(); }
        void await_suspend(std::coroutine_handle<> h) { state->waiter = h; }
        T await_resume() { return std::move(*state->value); }
    };
    Awaiter operator co_await() const { return Awaiter {m_state}; }

private:
    std::shared_ptr<State> m_state;
};

/// Answers in the order queued; once the queue is empty, `fallback` at once.
template<typename T>
class Script
{
public:
    explicit Script(T fallback = T {})
        : m_fallback(std::move(fallback))
    { }
    void answer(T value) { m_queue.emplace_back(std::move(value)); }
    /// The next read waits for the returned reply.
    Reply<T> hold()
    {
        m_queue.emplace_back();
        return m_queue.back();
    }
    Reply<T> next()
    {
        ++calls;
        if (m_queue.empty())
            return Reply<T>(m_fallback);
        Reply<T> reply = m_queue.front();
        m_queue.pop_front();
        return reply;
    }
    void setFallback(T value) { m_fallback = std::move(value); }
    int calls = 0;

private:
    T m_fallback;
    std::deque<Reply<T>> m_queue;
};

class ScriptedHoverSources final : public HoverSources
{
public:
    Script<std::optional<WindowLookup::Hit>> windows;
    Script<AccessibilityWorker::Lookup> lookups {
        AccessibilityWorker::Lookup {AccessibilityTextService::LookupResult::miss(), false}};
    Script<AccessibilityWorker::Lookup> processLookups {
        AccessibilityWorker::Lookup {AccessibilityTextService::LookupResult::miss(), false}};
    Script<ScreenCaptureService::Outcome> captures {ScreenCaptureService::Outcome::miss()};
    Script<std::optional<RecognizedHit>> recognitions;
    Script<std::optional<QString>> titles;
    std::vector<std::int32_t> webRequests;
    /// When each web-accessibility request is done (the value is not used).
    Script<bool> webReplies {true};
    /// hitTestAgain of each in-process read.
    std::vector<bool> hitTestAgain;

    QCoro::Task<std::optional<WindowLookup::Hit>> window(QPointF) override
    {
        const auto reply = windows.next();
        co_return co_await reply;
    }
    QCoro::Task<> requestWebAccessibility(std::int32_t pid) override
    {
        webRequests.push_back(pid);
        const auto reply = webReplies.next();
        co_await reply;
    }
    QCoro::Task<AccessibilityWorker::Lookup> lookupWord(QPointF, std::optional<double>, bool, std::stop_token) override
    {
        const auto reply = lookups.next();
        co_return co_await reply;
    }
    QCoro::Task<AccessibilityWorker::Lookup> lookupWordInProcess(std::int32_t, QPointF, std::optional<double>,
                                                                 bool again, bool, std::stop_token) override
    {
        hitTestAgain.push_back(again);
        const auto reply = processLookups.next();
        co_return co_await reply;
    }
    QCoro::Task<ScreenCaptureService::Outcome> captureRegion(QPointF, std::optional<WindowLookup::Hit>, QSizeF) override
    {
        const auto reply = captures.next();
        co_return co_await reply;
    }
    QCoro::Task<std::optional<RecognizedHit>> recognizeWord(ScreenCaptureService::CaptureResult) override
    {
        const auto reply = recognitions.next();
        co_return co_await reply;
    }
    QCoro::Task<std::optional<QString>> windowTitle(QPointF at) override
    {
        titlePoints.push_back(at);
        const auto reply = titles.next();
        co_return co_await reply;
    }
    std::vector<QPointF> titlePoints;
};

} // namespace Lumivox::Testing
