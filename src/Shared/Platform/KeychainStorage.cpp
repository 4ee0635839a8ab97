#include "Shared/Platform/KeychainStorage.h"

#include "Native/Services.h"
#include "Shared/Async/SerialExecutor.h"

#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QThread>

#include <condition_variable>
#include <mutex>

Q_LOGGING_CATEGORY(lcSecretStore, "app.lumivox.SecretStore")

namespace Lumivox::KeychainStorage {

namespace {

struct CacheKey
{
    QString service;
    QString account;
    bool operator==(const CacheKey &) const = default;
};

size_t qHash(const CacheKey &key, size_t seed = 0)
{
    return qHashMulti(seed, key.service, key.account);
}

// The lock guards only these maps and is never held across a call to the secret store.
struct State
{
    std::mutex mutex;
    QHash<CacheKey, std::optional<QString>> cache;
    QSet<CacheKey> backgroundReads;
    Timeouts timeouts;
    // Saves and removals handed to the worker and not finished yet; `written` speaks when one ends.
    int pendingWrites = 0;
    std::condition_variable written;
};

State &state()
{
    static State instance;
    return instance;
}

SerialExecutor &worker()
{
    static SerialExecutor executor(QStringLiteral("app.lumivox.secret-store"));
    return executor;
}

bool onUIThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

std::optional<std::optional<QString>> cached(const CacheKey &key)
{
    std::lock_guard lock(state().mutex);
    if (auto it = state().cache.constFind(key); it != state().cache.constEnd())
        return *it;
    return std::nullopt;
}

void remember(const CacheKey &key, std::optional<QString> value)
{
    {
        std::lock_guard lock(state().mutex);
        state().cache.insert(key, std::move(value));
    }
    emit announcer().answerCached(key.account, key.service);
}

Failure failureOf(const Native::Secrets::Outcome &outcome)
{
    return Failure {outcome.status, outcome.code,
                    Native::toString(outcome.status) + QStringLiteral(": ") + outcome.message};
}

std::optional<QString> decodedUTF8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Runs on the worker.
ReadResult readNow(const CacheKey &key)
{
    const auto outcome = Native::service<Native::Secrets>()->read(key.service, key.account, timeouts().read);
    switch (outcome.status) {
    case Native::Secrets::Status::success: {
        // Bytes that are not UTF-8 read as "no key", and that answer is as final as the bytes.
        auto text = decodedUTF8(outcome.data);
        remember(key, text);
        return {text, std::nullopt};
    }
    case Native::Secrets::Status::notFound:
        remember(key, std::nullopt);
        return {};
    default:
        return {std::nullopt, failureOf(outcome)};
    }
}

QString labelFor(const QString &key)
{
    return QStringLiteral("Lumivox: %1").arg(key);
}

// A save or removal counts from the moment it is handed to the worker until the worker is done with
// it, whatever its outcome. The end is told on the worker itself: the caller's thread, where the
// awaiting coroutine resumes, is the one that waits at quit.
void writeBegins()
{
    std::lock_guard lock(state().mutex);
    ++state().pendingWrites;
}

struct WriteEnds
{
    WriteEnds() = default;
    WriteEnds(const WriteEnds &) = delete;
    WriteEnds &operator=(const WriteEnds &) = delete;
    ~WriteEnds()
    {
        {
            std::lock_guard lock(state().mutex);
            --state().pendingWrites;
        }
        state().written.notify_all();
    }
};

} // namespace

bool finishWrites(std::chrono::milliseconds limit)
{
    std::unique_lock lock(state().mutex);
    return state().written.wait_for(lock, limit, [] { return state().pendingWrites == 0; });
}

Timeouts timeouts()
{
    std::lock_guard lock(state().mutex);
    return state().timeouts;
}

void setTimeouts(Timeouts value)
{
    std::lock_guard lock(state().mutex);
    state().timeouts = value;
}

Announcer &announcer()
{
    // Never destroyed: a read still running on the worker at exit may announce.
    static auto *instance = new Announcer;
    return *instance;
}

void readInBackground(const QString &key, const QString &service)
{
    const CacheKey cacheKey {service, key};
    {
        // The cache is asked under the same lock as the in-flight check: a read that finished just
        // now must not be followed by another.
        std::lock_guard lock(state().mutex);
        if (state().cache.contains(cacheKey) || state().backgroundReads.contains(cacheKey))
            return;
        state().backgroundReads.insert(cacheKey);
    }
    worker().post([cacheKey] {
        readNow(cacheKey);
        std::lock_guard lock(state().mutex);
        state().backgroundReads.remove(cacheKey);
    });
}

std::optional<QString> get(const QString &key, const QString &service)
{
    const CacheKey cacheKey {service, key};
    if (auto hit = cached(cacheKey))
        return *hit;
    if (!onUIThread())
        return worker().runBlocking([&] { return readNow(cacheKey).value; });
    readInBackground(key, service);
    // A read that finished since the first look answers now.
    if (auto hit = cached(cacheKey))
        return *hit;
    return std::nullopt;
}

QCoro::Task<ReadResult> load(QString key, QString service)
{
    const CacheKey cacheKey {service, key};
    if (auto hit = cached(cacheKey))
        co_return ReadResult {*hit, std::nullopt};
    // Named awaitables: GCC 12 destroys some temporaries of a co_await expression twice.
    auto reading = worker().run([cacheKey] { return readNow(cacheKey); });
    ReadResult result = co_await reading;
    co_return result;
}

QCoro::Task<WriteResult> save(QString key, QString value, QString service)
{
    // A lossy encoding would store a different key than the one the user typed.
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(value);
    if (encoder.hasError()) {
        qCCritical(lcSecretStore).noquote() << QStringLiteral("Secret store write failed for %1: %2").arg(key).arg(-1);
        co_return WriteResult {
            Failure {Native::Secrets::Status::failed, -1, QStringLiteral("the value is not valid text")}};
    }
    const CacheKey cacheKey {service, key};
    writeBegins();
    auto writing = worker().run([cacheKey, value, bytes]() -> WriteResult {
        const WriteEnds ends;
        const auto outcome = Native::service<Native::Secrets>()->write(
            cacheKey.service, cacheKey.account, labelFor(cacheKey.account), bytes, timeouts().write);
        if (outcome.succeeded()) {
            remember(cacheKey, value);
            return {};
        }
        qCCritical(lcSecretStore).noquote()
            << QStringLiteral("Secret store write failed for %1: %2").arg(cacheKey.account).arg(outcome.code);
        qCInfo(lcSecretStore).noquote() << Native::toString(outcome.status) << outcome.message;
        return WriteResult {failureOf(outcome)};
    });
    WriteResult result = co_await writing;
    co_return result;
}

QCoro::Task<WriteResult> remove(QString key, QString service)
{
    const CacheKey cacheKey {service, key};
    writeBegins();
    auto removing = worker().run([cacheKey]() -> WriteResult {
        const WriteEnds ends;
        const auto outcome =
            Native::service<Native::Secrets>()->remove(cacheKey.service, cacheKey.account, timeouts().write);
        if (outcome.succeeded() || outcome.status == Native::Secrets::Status::notFound) {
            remember(cacheKey, std::nullopt);
            return {};
        }
        qCCritical(lcSecretStore).noquote()
            << QStringLiteral("Secret store delete failed for %1: %2").arg(cacheKey.account).arg(outcome.code);
        qCInfo(lcSecretStore).noquote() << Native::toString(outcome.status) << outcome.message;
        return WriteResult {failureOf(outcome)};
    });
    WriteResult result = co_await removing;
    co_return result;
}

} // namespace Lumivox::KeychainStorage
