#pragma once

// On-device translation without an engine: pairs are installed, offered or unknown as a test says, and
// sessions answer through functions the test sets. Sessions are called from worker threads.

#include "Fakes/Guarded.h"
#include "Native/Translation/Translator.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace Lumivox::Testing {

class FakeTranslationSession final : public Native::TranslationSession
{
public:
    using PlainAnswer = std::function<Native::TranslationResult<QString>(const QString &)>;
    using MarkedAnswer = std::function<Native::TranslationResult<Native::MarkedPassage>(const Native::MarkedPassage &)>;

    FakeTranslationSession(QString source, QString target)
        : m_source(std::move(source))
        , m_target(std::move(target))
    { }

    QString source() const override { return m_source; }
    QString target() const override { return m_target; }

    bool prepare() override
    {
        ++prepareCount;
        return true;
    }

    Native::TranslationResult<QString> translate(const QString &text) override
    {
        m_requests.with([&](std::vector<QString> &requests) { requests.push_back(text); });
        noteThread();
        const PlainAnswer answer = m_plain.get();
        if (answer)
            return answer(text);
        return Native::TranslationResult<QString>::success(m_target + QLatin1Char(':') + text);
    }

    Native::TranslationResult<Native::MarkedPassage> translate(const Native::MarkedPassage &passage) override
    {
        m_markedRequests.with([&](std::vector<Native::MarkedPassage> &requests) { requests.push_back(passage); });
        noteThread();
        const MarkedAnswer answer = m_marked.get();
        if (answer)
            return answer(passage);
        return Native::TranslationResult<Native::MarkedPassage>::success(passage);
    }

    void answerPlain(PlainAnswer answer) { m_plain.set(std::move(answer)); }
    void answerMarked(MarkedAnswer answer) { m_marked.set(std::move(answer)); }
    /// Every later plain request fails with this error.
    void fail(Native::TranslationError error)
    {
        answerPlain([error](const QString &) { return Native::TranslationResult<QString>::failure(error); });
        answerMarked([error](const Native::MarkedPassage &) {
            return Native::TranslationResult<Native::MarkedPassage>::failure(error);
        });
    }

    std::vector<QString> requests() const { return m_requests.get(); }
    std::vector<Native::MarkedPassage> markedRequests() const { return m_markedRequests.get(); }
    /// The threads the requests ran on, in order.
    std::vector<std::thread::id> threads() const { return m_threads.get(); }

    std::atomic<int> prepareCount {0};

private:
    void noteThread()
    {
        m_threads.with([](std::vector<std::thread::id> &threads) { threads.push_back(std::this_thread::get_id()); });
    }

    QString m_source;
    QString m_target;
    Guarded<PlainAnswer> m_plain;
    Guarded<MarkedAnswer> m_marked;
    Guarded<std::vector<QString>> m_requests;
    Guarded<std::vector<Native::MarkedPassage>> m_markedRequests;
    Guarded<std::vector<std::thread::id>> m_threads;
};

class FakeTranslator final : public Native::Translator
{
public:
    /// Makes the pair installed and gives its session.
    std::shared_ptr<FakeTranslationSession> install(const QString &source, const QString &target)
    {
        std::lock_guard lock(m_mutex);
        auto &session = m_sessions[key(source, target)];
        if (!session)
            session = std::make_shared<FakeTranslationSession>(source, target);
        m_availability[key(source, target)] = Availability::installed;
        return session;
    }

    void setAvailability(const QString &source, const QString &target, Availability availability)
    {
        std::lock_guard lock(m_mutex);
        m_availability[key(source, target)] = availability;
    }

    Availability availability(const QString &source, const QString &target) override
    {
        ++availabilityQueries;
        std::lock_guard lock(m_mutex);
        auto it = m_availability.find(key(source, target));
        return it == m_availability.end() ? Availability::unsupported : it->second;
    }

    std::shared_ptr<Native::TranslationSession> session(const QString &source, const QString &target) override
    {
        std::lock_guard lock(m_mutex);
        auto it = m_availability.find(key(source, target));
        if (it == m_availability.end() || it->second != Availability::installed)
            return nullptr;
        auto &session = m_sessions[key(source, target)];
        if (!session)
            session = std::make_shared<FakeTranslationSession>(source, target);
        return session;
    }

    std::atomic<int> availabilityQueries {0};

private:
    static QString key(const QString &source, const QString &target) { return source + QLatin1Char('>') + target; }

    std::mutex m_mutex;
    std::map<QString, Availability> m_availability;
    std::map<QString, std::shared_ptr<FakeTranslationSession>> m_sessions;
};

} // namespace Lumivox::Testing
