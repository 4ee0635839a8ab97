#pragma once

// The persistent cache of word translations, kept in the preference store so that translations
// survive restarts. Keys are built by the caller ("<target>:<source or auto>:<lower-cased word>") and
// are opaque here. At most `limit` entries are kept; the oldest first insertion goes first, and
// neither reading nor replacing an entry protects it.
//
// Saving is coalesced: the first change after a save schedules one save `saveDelay` seconds later on
// this object's thread, and later changes ride along with it without postponing it. `flush()` (also
// run when the application is about to quit) writes a pending save at once. Main thread only.

#include "Shared/Async/Clock.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <optional>

namespace Lumivox {

class TranslationStore : public QObject
{
    Q_OBJECT
public:
    /// Preference key of the map (cache key to translation).
    static inline const QString key = QStringLiteral("translationCacheV2");
    /// Preference key of the cache keys in order of first insertion, oldest first.
    static inline const QString orderKey = QStringLiteral("translationCacheOrderV2");

    /// Loads the stored cache (repairing what does not fit together) and removes the keys of the
    /// earlier layout. A limit below 1 counts as 1. The program uses limit 3000 and a 2 s delay.
    TranslationStore(std::shared_ptr<PreferenceStore> defaults, int limit, double saveDelaySeconds,
                     std::shared_ptr<Clock> clock = Clock::system(), QObject *parent = nullptr);
    ~TranslationStore() override;

    /// The stored translation; a read does not refresh the entry's place.
    std::optional<QString> value(const QString &cacheKey) const;
    /// Stores or replaces the entry (a replaced entry keeps its place) and schedules a save.
    void set(const QString &text, const QString &cacheKey);
    /// Forgets every entry and removes both preference keys; a pending save is dropped.
    void clear();
    /// Writes at once when a save is pending, else does nothing.
    void flush();

    int limit() const { return m_limit; }
    int count() const { return int(m_map.size()); }
    /// The cache keys, oldest first.
    QStringList order() const;

private:
    void trimToLimit();
    void save();
    void scheduleSave();

    std::shared_ptr<PreferenceStore> m_defaults;
    int m_limit;
    double m_saveDelay;
    std::shared_ptr<Clock> m_clock;
    QHash<QString, QString> m_map;
    std::deque<QString> m_order;
    std::optional<TimerHandle> m_pendingSave;
};

} // namespace Lumivox
