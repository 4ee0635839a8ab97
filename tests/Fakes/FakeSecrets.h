#pragma once

// An in-memory secret store that counts its calls and can be told to fail or to hold its callers.

#include "Fakes/Guarded.h"
#include "Native/Secrets/Secrets.h"

#include <QHash>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace Lumivox::Testing {

class FakeSecrets final : public Native::Secrets
{
public:
    std::atomic<int> reads {0};
    std::atomic<int> writes {0};
    std::atomic<int> removes {0};

    void put(const QString &service, const QString &account, const QByteArray &data)
    {
        m_items.with([&](Items &items) { items.insert({service, account}, data); });
    }
    std::optional<QByteArray> item(const QString &service, const QString &account) const
    {
        return m_items.with([&](const Items &items) -> std::optional<QByteArray> {
            if (auto it = items.constFind({service, account}); it != items.cend())
                return *it;
            return std::nullopt;
        });
    }
    /// Every call answers with this status (and changes nothing) until reset with none.
    void failWith(std::optional<Status> status)
    {
        std::lock_guard lock(m_mutex);
        m_failure = status;
    }

    /// Calls wait at their start until `releaseCalls()`.
    void holdCalls()
    {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void releaseCalls()
    {
        {
            std::lock_guard lock(m_mutex);
            m_held = false;
        }
        m_release.notify_all();
    }

    Outcome read(const QString &service, const QString &account, std::chrono::milliseconds) override
    {
        ++reads;
        m_readsByService.with([&](QHash<QString, int> &counts) { ++counts[service]; });
        if (auto failure = begin())
            return *failure;
        if (auto data = item(service, account))
            return Outcome {Status::success, 0, {}, *data};
        return Outcome {Status::notFound, 0, QStringLiteral("no such item"), {}};
    }

    Outcome write(const QString &service, const QString &account, const QString &, const QByteArray &data,
                  std::chrono::milliseconds) override
    {
        ++writes;
        if (auto failure = begin())
            return *failure;
        put(service, account, data);
        return {};
    }

    Outcome remove(const QString &service, const QString &account, std::chrono::milliseconds) override
    {
        ++removes;
        if (auto failure = begin())
            return *failure;
        m_items.with([&](Items &items) { items.remove({service, account}); });
        return {};
    }

    /// Reads of one service only: work a finished test left on the shared worker may still reach
    /// the fake that replaced its own.
    int readsOf(const QString &service) const
    {
        return m_readsByService.with([&](const QHash<QString, int> &counts) { return counts.value(service); });
    }

private:
    std::optional<Outcome> begin()
    {
        std::optional<Status> failure;
        {
            std::unique_lock lock(m_mutex);
            m_release.wait(lock, [this] { return !m_held; });
            failure = m_failure;
        }
        if (failure)
            return Outcome {*failure, 7, QStringLiteral("fake failure"), {}};
        return std::nullopt;
    }

    using Items = QHash<std::pair<QString, QString>, QByteArray>;
    Guarded<Items> m_items;
    Guarded<QHash<QString, int>> m_readsByService;
    // The failure and the hold, which every call checks at its start.
    mutable std::mutex m_mutex;
    std::optional<Status> m_failure;
    bool m_held = false;
    std::condition_variable m_release;
};

} // namespace Lumivox::Testing
