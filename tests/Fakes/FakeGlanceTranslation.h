#pragma once

// Stand-ins for what a glance is computed with: a back-end whose plain and marked translations answer
// from tables (marked answers are written as HTML with <b> marks), and a glance computation that a test
// finishes by hand. Main thread only, like the glance translator.

#include "Services/Learn/GlanceTranslator.h"
#include "Services/Learn/MarkedText.h"

#include <QCoroTimer>

#include <chrono>
#include <coroutine>
#include <map>
#include <memory>
#include <vector>

namespace Lumivox::Testing {

class FakeGlanceBackend : public std::enable_shared_from_this<FakeGlanceBackend>
{
public:
    struct MarkedRequest
    {
        QString text;
        std::vector<TextRange> marks;
    };

    static std::shared_ptr<FakeGlanceBackend> make() { return std::make_shared<FakeGlanceBackend>(); }

    /// A text with no answer gets none.
    void answer(const QString &text, const QString &translation) { m_plain[text] = translation; }
    /// `html` marks the rendering of the marked words with <b>…</b>.
    void answerMarked(const QString &text, const QString &html) { m_marked[text] = html; }
    /// While held, every request waits (until it is stopped or released).
    void hold(bool held) { m_held = held; }

    GlanceTranslator::PlainTranslation plain()
    {
        return [self = shared_from_this()](QString text, std::stop_token stop) {
            return translatePlain(self, std::move(text), std::move(stop));
        };
    }
    GlanceTranslator::MarkedTranslation marked()
    {
        return [self = shared_from_this()](QString text, std::vector<TextRange> marks, std::stop_token stop) {
            return translateMarked(self, std::move(text), std::move(marks), std::move(stop));
        };
    }

    std::vector<QString> plainRequests;
    std::vector<MarkedRequest> markedRequests;
    /// Requests whose stop token had been requested by the time they ended.
    int stoppedRequests = 0;
    int running = 0;
    int mostRunning = 0;

private:
    static QCoro::Task<> turn(std::shared_ptr<FakeGlanceBackend> self, std::stop_token stop)
    {
        self->mostRunning = std::max(self->mostRunning, ++self->running);
        // One event-loop turn at least, so that requests started together overlap as they would.
        do {
            auto sleeping = QCoro::sleepFor(std::chrono::milliseconds(1));
            co_await sleeping;
        } while (self->m_held && !stop.stop_requested());
        --self->running;
        if (stop.stop_requested())
            ++self->stoppedRequests;
    }

    static QCoro::Task<std::optional<QString>> translatePlain(std::shared_ptr<FakeGlanceBackend> self, QString text,
                                                              std::stop_token stop)
    {
        self->plainRequests.push_back(text);
        auto waiting = turn(self, stop);
        co_await waiting;
        const auto it = self->m_plain.find(text);
        if (it == self->m_plain.end())
            co_return std::nullopt;
        co_return it->second;
    }

    static QCoro::Task<std::optional<StyledText>> translateMarked(std::shared_ptr<FakeGlanceBackend> self, QString text,
                                                                  std::vector<TextRange> marks, std::stop_token stop)
    {
        self->markedRequests.push_back({text, marks});
        auto waiting = turn(self, stop);
        co_await waiting;
        const auto it = self->m_marked.find(text);
        if (it == self->m_marked.end())
            co_return std::nullopt;
        co_return MarkedText::attributedFromHTML(it->second);
    }

    std::map<QString, QString> m_plain;
    std::map<QString, QString> m_marked;
    bool m_held = false;
};

/// A glance computation that answers only when the test says so.
class FakeGlanceCompute : public std::enable_shared_from_this<FakeGlanceCompute>
{
public:
    struct Gate
    {
        std::optional<std::optional<Glance>> value;
        std::coroutine_handle<> waiting;
    };

    // QCoro copies what it awaits, so the awaiter only points at the gate (which the waiting frame
    // owns); a plain pointer also survives GCC 12 destroying a co_await's temporaries twice.
    struct GateAwaiter
    {
        Gate *gate;
        bool await_ready() const noexcept { return gate->value.has_value(); }
        void await_suspend(std::coroutine_handle<> handle) { gate->waiting = handle; }
        std::optional<Glance> await_resume() const { return *gate->value; }
    };

    struct Call
    {
        QString word;
        QString sentence;
        QString target;
        bool hasGoogleKey = false;
        std::stop_token stop;
        std::shared_ptr<Gate> gate;
    };

    static std::shared_ptr<FakeGlanceCompute> make() { return std::make_shared<FakeGlanceCompute>(); }

    /// Every call answers at once with a glance whose meaning is the word.
    void answerAtOnce(bool atOnce) { m_atOnce = atOnce; }

    GlanceTranslator::Compute compute()
    {
        return [self = shared_from_this()](QString word, QString sentence, QString target, bool hasGoogleKey,
                                           std::stop_token stop) {
            auto gate = std::make_shared<Gate>();
            if (self->m_atOnce)
                gate->value.emplace(Glance {word, {}, {}, {}});
            self->calls.push_back({word, sentence, target, hasGoogleKey, stop, gate});
            return wait(gate);
        };
    }

    /// Finishes the n-th call's computation.
    void finish(std::size_t n, std::optional<Glance> glance)
    {
        auto gate = calls.at(n).gate;
        if (gate->value)
            return;
        gate->value.emplace(std::move(glance));
        if (auto waiting = std::exchange(gate->waiting, {}))
            waiting.resume();
    }

    std::vector<Call> calls;

private:
    static QCoro::Task<std::optional<Glance>> wait(std::shared_ptr<Gate> gate)
    {
        GateAwaiter awaiter {gate.get()};
        auto result = co_await awaiter;
        co_return result;
    }

    bool m_atOnce = false;
};

inline Glance glanceMeaning(const QString &meaning)
{
    return Glance {meaning, {}, {}, {}};
}

} // namespace Lumivox::Testing
