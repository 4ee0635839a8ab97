#include "Services/Translation/TranslationStore.h"

#include <QCoreApplication>
#include <QSet>

#include <algorithm>

namespace Lumivox {

namespace {

const QString legacyKey = QStringLiteral("translationCache");
const QString legacyOrderKey = QStringLiteral("translationCacheOrder");

// A map with any value that is not a string is dropped whole: its entries cannot be trusted.
QHash<QString, QString> storedMap(const PreferenceStore &defaults)
{
    QHash<QString, QString> map;
    const auto stored = defaults.object(TranslationStore::key);
    const PreferenceValue::Dictionary *dictionary = stored ? stored->dictionaryIfAny() : nullptr;
    if (!dictionary)
        return map;
    map.reserve(qsizetype(dictionary->size()));
    for (const auto &[cacheKey, value] : *dictionary) {
        if (value.type() != PreferenceValue::Type::string)
            return {};
        map.insert(cacheKey, *value.toString());
    }
    return map;
}

} // namespace

TranslationStore::TranslationStore(std::shared_ptr<PreferenceStore> defaults, int limit, double saveDelaySeconds,
                                   std::shared_ptr<Clock> clock, QObject *parent)
    : QObject(parent)
    , m_defaults(std::move(defaults))
    , m_limit(std::max(limit, 1))
    , m_saveDelay(saveDelaySeconds)
    , m_clock(std::move(clock))
{
    m_defaults->remove(legacyKey);
    m_defaults->remove(legacyOrderKey);

    m_map = storedMap(*m_defaults);

    // Keep the stored order for keys that have an entry, each key once: a repeated key would make
    // the cache look fuller than it is and evict fresh entries early. Entries the order misses go
    // after the kept ones, sorted, so the result does not depend on hash order.
    QSet<QString> placed;
    placed.reserve(m_map.size());
    for (const QString &cacheKey : m_defaults->stringList(orderKey).value_or(QStringList())) {
        if (m_map.contains(cacheKey) && !placed.contains(cacheKey)) {
            placed.insert(cacheKey);
            m_order.push_back(cacheKey);
        }
    }
    QStringList missing;
    for (auto it = m_map.cbegin(); it != m_map.cend(); ++it) {
        if (!placed.contains(it.key()))
            missing.append(it.key());
    }
    std::sort(missing.begin(), missing.end());
    m_order.insert(m_order.end(), missing.cbegin(), missing.cend());

    if (m_map.size() > m_limit) {
        trimToLimit();
        save();
    }

    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &TranslationStore::flush);
}

TranslationStore::~TranslationStore()
{
    if (m_pendingSave)
        m_pendingSave->cancel();
}

std::optional<QString> TranslationStore::value(const QString &cacheKey) const
{
    if (auto it = m_map.constFind(cacheKey); it != m_map.cend())
        return *it;
    return std::nullopt;
}

void TranslationStore::set(const QString &text, const QString &cacheKey)
{
    auto it = m_map.find(cacheKey);
    if (it != m_map.end()) {
        *it = text;
    } else {
        m_map.insert(cacheKey, text);
        m_order.push_back(cacheKey);
        trimToLimit();
    }
    scheduleSave();
}

void TranslationStore::clear()
{
    if (m_pendingSave) {
        m_pendingSave->cancel();
        m_pendingSave.reset();
    }
    m_map.clear();
    m_order.clear();
    m_defaults->remove(key);
    m_defaults->remove(orderKey);
}

void TranslationStore::flush()
{
    if (!m_pendingSave)
        return;
    save();
    // Flushing happens at termination: make sure the preference file holds it before the process ends.
    m_defaults->synchronize();
}

QStringList TranslationStore::order() const
{
    return QStringList(m_order.cbegin(), m_order.cend());
}

void TranslationStore::trimToLimit()
{
    while (qsizetype(m_order.size()) > m_limit) {
        m_map.remove(m_order.front());
        m_order.pop_front();
    }
}

void TranslationStore::save()
{
    if (m_pendingSave) {
        m_pendingSave->cancel();
        m_pendingSave.reset();
    }
    PreferenceValue::Dictionary dictionary;
    for (auto it = m_map.cbegin(); it != m_map.cend(); ++it)
        dictionary.insert_or_assign(it.key(), PreferenceValue(it.value()));
    m_defaults->set(key, PreferenceValue(std::move(dictionary)));
    m_defaults->set(orderKey, PreferenceValue(order()));
}

void TranslationStore::scheduleSave()
{
    if (m_saveDelay <= 0) {
        save();
        return;
    }
    if (m_pendingSave)
        return;
    const auto delay = std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(m_saveDelay));
    m_pendingSave = m_clock->schedule(delay, this, [this] { save(); });
}

} // namespace Lumivox
