#include "Services/Learn/GlanceTranslator.h"

#include "Models/LanguageCatalog.h"
#include "Native/Language/LanguageRecognizer.h"
#include "Native/Services.h"
#include "Services/Translation/SourceLanguage.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Text/TextUtils.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <mutex>

namespace Lumivox {

namespace {

// The shared recogniser is used under this lock only, from whichever thread asks.
std::mutex &recognizerLock()
{
    static std::mutex lock;
    return lock;
}

// A task body starts from the event loop, as a new task would: never inside start(), whose caller
// must get the task before anything of the body has run.
void startLater(std::function<void()> body)
{
    if (auto *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(body), Qt::QueuedConnection);
    else
        body();
}

} // namespace

GlanceTranslator &GlanceTranslator::shared(AppleTranslateService &onDevice)
{
    // Never destroyed: tasks may still run when static destruction begins.
    static GlanceTranslator *instance = new GlanceTranslator(onDevice);
    Q_ASSERT(instance->m_onDevice == &onDevice);
    return *instance;
}

GlanceTranslator::GlanceTranslator(AppleTranslateService &onDevice)
    : m_onDevice(&onDevice)
    , m_life(std::make_shared<char>())
{ }

GlanceTranslator::GlanceTranslator(Compute compute)
    : m_compute(std::move(compute))
    , m_life(std::make_shared<char>())
{
    Q_ASSERT(m_compute);
}

GlanceTranslator::~GlanceTranslator()
{
    m_life.reset();
    const auto running = std::exchange(m_inFlight, {});
    for (const auto &[key, entry] : running)
        entry.task.cancel();
}

QString GlanceTranslator::cacheKey(const QString &word, const QString &sentence, const QString &target,
                                   std::optional<qsizetype> wordOffset)
{
    QString key = Text::lowercased(target) + QLatin1Char('|');
    if (wordOffset)
        key += QString::number(*wordOffset) + QLatin1Char('|');
    key += word + QLatin1Char('|') + Text::trimmed(sentence);
    return key;
}

GlanceTask GlanceTranslator::start(const QString &word, const QString &sentence, const QString &target,
                                   bool hasGoogleKey, std::optional<qsizetype> wordOffset, bool readAhead)
{
    const QString key = cacheKey(word, sentence, target, wordOffset);

    if (auto it = m_cache.constFind(key); it != m_cache.cend()) {
        const Glance glance = *it;
        if (!readAhead)
            keepAsLookedUp(key);
        return GlanceTask::finished(glance);
    }

    if (auto it = m_inFlight.find(key); it != m_inFlight.end()) {
        if (readAhead)
            return it->second.task;
        it->second.isReadAhead = false;
        if (hasGoogleKey && !it->second.usesGoogleKey) {
            GlanceTask retry;
            auto body = retryWithKey(m_life, this, it->second.task, retry, word, sentence, target, wordOffset);
            Q_UNUSED(body); // runs on by itself; its frame ends when it does
            return retry;
        }
        return it->second.task;
    }

    if (!readAhead)
        stopReadingAhead(key);
    const quint64 id = m_nextID++;
    GlanceTask task;
    Job job;
    if (m_compute) {
        job = [compute = m_compute, word, sentence, target, hasGoogleKey](std::stop_token stop) {
            return compute(word, sentence, target, hasGoogleKey, std::move(stop));
        };
    } else {
        job = [onDevice = m_onDevice, word, sentence, target, hasGoogleKey, wordOffset](std::stop_token stop) {
            return translate(onDevice, word, sentence, target, hasGoogleKey, wordOffset, std::move(stop));
        };
    }
    m_inFlight.insert_or_assign(key, Running {id, task, hasGoogleKey, readAhead});
    startLater([life = std::weak_ptr<void>(m_life), self = this, key, id, readAhead, job, task] {
        auto body = run(life, self, key, id, readAhead, job, task);
        Q_UNUSED(body);
    });
    return task;
}

QCoro::Task<> GlanceTranslator::run(std::weak_ptr<void> life, GlanceTranslator *self, QString key, quint64 id,
                                    bool readAhead, Job job, GlanceTask task)
{
    std::optional<Glance> glance;
    if (!life.expired() && !task.isCancelled()) {
        auto computing = job(task.stopToken());
        glance = co_await computing;
    }
    if (life.expired()) {
        task.finish(std::nullopt);
        co_return;
    }
    // Re-read after the wait: a hover that joined meanwhile has made this a looked-up result.
    bool fileAsReadAhead = readAhead;
    if (auto it = self->m_inFlight.find(key); it != self->m_inFlight.end()) {
        fileAsReadAhead = it->second.isReadAhead;
        // A newer task for the same key keeps its entry.
        if (it->second.id == id)
            self->m_inFlight.erase(it);
    }
    if (task.isCancelled()) {
        task.finish(std::nullopt);
        co_return;
    }
    if (glance)
        self->remember(*glance, key, fileAsReadAhead);
    task.finish(std::move(glance));
}

QCoro::Task<> GlanceTranslator::retryWithKey(std::weak_ptr<void> life, GlanceTranslator *self, GlanceTask running,
                                             GlanceTask result, QString word, QString sentence, QString target,
                                             std::optional<qsizetype> wordOffset)
{
    auto glance = co_await running;
    if (glance || life.expired()) {
        result.finish(std::move(glance));
        co_return;
    }
    const GlanceTask again = self->start(word, sentence, target, true, wordOffset, false);
    auto retried = co_await again;
    result.finish(std::move(retried));
}

std::optional<GlanceTranslator::Taken> GlanceTranslator::take(const QString &word, const QString &sentence,
                                                              const QString &target,
                                                              std::optional<qsizetype> wordOffset)
{
    const QString key = cacheKey(word, sentence, target, wordOffset);
    const auto it = m_cache.constFind(key);
    if (it == m_cache.cend())
        return std::nullopt;
    Taken taken {*it, std::find(m_readAheadOrder.begin(), m_readAheadOrder.end(), key) != m_readAheadOrder.end()};
    keepAsLookedUp(key);
    return taken;
}

std::optional<Glance> GlanceTranslator::cached(const QString &word, const QString &sentence, const QString &target,
                                               std::optional<qsizetype> wordOffset) const
{
    const auto it = m_cache.constFind(cacheKey(word, sentence, target, wordOffset));
    if (it == m_cache.cend())
        return std::nullopt;
    return *it;
}

bool GlanceTranslator::isReadingAhead(const QString &word, const QString &sentence, const QString &target,
                                      std::optional<qsizetype> wordOffset) const
{
    const auto it = m_inFlight.find(cacheKey(word, sentence, target, wordOffset));
    return it != m_inFlight.end() && it->second.isReadAhead;
}

void GlanceTranslator::keepAsLookedUp(const QString &key)
{
    const auto it = std::find(m_readAheadOrder.begin(), m_readAheadOrder.end(), key);
    if (it == m_readAheadOrder.end())
        return;
    m_readAheadOrder.erase(it);
    m_order.push_back(key);
    if (m_order.size() > limit) {
        m_cache.remove(m_order.front());
        m_order.pop_front();
    }
}

void GlanceTranslator::stopReadingAhead(const QString &except)
{
    // Taken out of the books first: cancelling releases awaiters, and nothing may see a cancelled entry.
    std::vector<GlanceTask> cancelled;
    for (auto it = m_inFlight.begin(); it != m_inFlight.end();) {
        if (it->first != except && it->second.isReadAhead) {
            cancelled.push_back(it->second.task);
            it = m_inFlight.erase(it);
        } else {
            ++it;
        }
    }
    for (const GlanceTask &task : cancelled)
        task.cancel();
}

void GlanceTranslator::remember(const Glance &glance, const QString &key, bool readAhead)
{
    const bool known = m_cache.contains(key);
    m_cache.insert(key, glance);
    if (known)
        return;
    auto &list = readAhead ? m_readAheadOrder : m_order;
    const std::size_t room = readAhead ? readAheadLimit : limit;
    list.push_back(key);
    if (list.size() > room) {
        m_cache.remove(list.front());
        list.pop_front();
    }
}

std::optional<QString> GlanceTranslator::sourceLanguage(const QString &text)
{
    if (AppIdentity::isRunningInCI() || !SourceLanguage::mayRecognize(text))
        return std::nullopt;
    const auto recognizer = Native::service<Native::LanguageRecognizer>();
    if (!recognizer)
        return std::nullopt;
    std::optional<QString> dominant;
    {
        std::lock_guard lock(recognizerLock());
        dominant = recognizer->dominantLanguage(Text::withValidSurrogates(text));
    }
    if (!dominant)
        return std::nullopt;
    if (auto code = LanguageCatalog::appleCode(*dominant))
        return code;
    return Text::lowercased(*dominant);
}

std::optional<QString> GlanceTranslator::googleSource(const QString &source)
{
    if (Text::graphemeCount(source) == 2)
        return source;
    return std::nullopt;
}

} // namespace Lumivox
