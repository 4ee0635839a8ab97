#include "Services/Words/WordBook.h"

#include "Services/Words/ReviewSchedule.h"
#include "Services/Words/WordBookStorage.h"
#include "Shared/Async/SerialExecutor.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Text/TextUtils.h"

#include <QDir>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <limits>

Q_DECLARE_LOGGING_CATEGORY(lcWordStorage)

namespace Lumivox {

// What the write queue last found; set there, read on the main thread.
struct WordBook::DiskState
{
    // The last write of Words.json failed: the saved words are only in memory.
    std::atomic<bool> savedBehind {false};
    // A look-up missed History.jsonl since the last whole rewrite that worked.
    std::atomic<bool> historyBehind {false};
    WriteTrouble savedTrouble;
    WriteTrouble historyTrouble;
    // On the write queue only (and in the constructor, before any write): Words.json as this book last
    // read or wrote it, against which another copy's changes are told.
    WordBookStorage::SavedOnDisk savedOnDisk;
    // On the write queue only (and in the constructor): the look-ups of History.jsonl this book has
    // known, so that a rewrite keeps another copy's lines and not the ones this book dropped.
    WordBookStorage::KnownLookups knownLookups;
};

namespace {

constexpr double secondsPerDay = 86'400;
// The recording path lets memory and the file run this far past their limits, so the history file
// is rewritten about once per 500 look-ups rather than at each one.
constexpr qsizetype recordingBatch = 500;

// The integer settings take only a stored number that is a whole number; anything else (text, a
// fraction, a flag) reads as absent.
std::optional<qint64> storedInteger(const PreferenceStore &defaults, const QString &key)
{
    const auto value = defaults.object(key);
    if (!value)
        return std::nullopt;
    if (value->type() == PreferenceValue::Type::integer)
        return value->toInteger();
    if (value->type() == PreferenceValue::Type::real) {
        const double d = value->toDouble();
        if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 9.2e18)
            return qint64(d);
    }
    return std::nullopt;
}

template<class T>
bool assign(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

// A password manager and a messenger: their text is nobody's vocabulary list. Ids as the desktop
// identifies them (the .desktop file names Debian ships).
const QStringList WordBook::defaultExcludedAppIDs {QStringLiteral("org.keepassxc.KeePassXC"),
                                                   QStringLiteral("org.gnome.seahorse.Application"),
                                                   QStringLiteral("org.telegram.desktop")};

WordBook::WordBook(std::optional<QString> directory, std::shared_ptr<PreferenceStore> defaults, Date now,
                   std::shared_ptr<Clock> clock, std::optional<Calendar> calendar, QObject *parent)
    : QObject(parent)
    , m_defaults(std::move(defaults))
    , m_clock(std::move(clock))
    , m_calendar(std::move(calendar))
    , m_disk(std::make_shared<DiskState>())
{
    if (directory && !directory->isEmpty()) {
        const QDir folder(*directory);
        m_savedPath = folder.filePath(WordBookStorage::savedFileName);
        m_historyPath = folder.filePath(WordBookStorage::historyFileName);
    }

    loadSettings(now);

    if (m_savedPath) {
        // Writes of an earlier book in this process must land before the files are read.
        WordBookStorage::writeQueue().drain();
        auto read = WordBookStorage::readSaved(*m_savedPath, m_clock->wallNow());
        m_saved = std::move(read.saved);
        m_disk->savedOnDisk = std::move(read.onDisk);
        if (read.setAsideAs)
            m_setAsideAtStart.push_back({*m_savedPath, *read.setAsideAs});
        if (!read.writable)
            m_savedPath.reset();
    }
    if (m_historyPath) {
        auto read = WordBookStorage::readHistory(*m_historyPath, m_clock->wallNow());
        m_disk->knownLookups.reserve(qsizetype(read.lookups.size()));
        for (const WordLookup &lookup : read.lookups)
            m_disk->knownLookups.insert(lookup.id, lookup.date);
        m_history.assign(std::make_move_iterator(read.lookups.begin()), std::make_move_iterator(read.lookups.end()));
        m_historyLinesOnDisk = read.lines;
        if (read.setAsideAs)
            m_setAsideAtStart.push_back({*m_historyPath, *read.setAsideAs});
        if (read.linesKeptAs)
            m_setAsideAtStart.push_back({*m_historyPath, *read.linesKeptAs, true});
        if (!read.writable)
            m_historyPath.reset();
    }

    rebuildSavedIndex();
    rebuildHistoryCounts();
    trimHistory(now, 0);
    compactHistory(0);
}

WordBook::~WordBook()
{
    if (m_saveTask)
        m_saveTask->cancel();
    if (m_retryTask)
        m_retryTask->cancel();
    // A write under way tells this book what came of it; it must have done so before the book goes.
    WordBookStorage::writeQueue().drain();
}

WordBook &WordBook::shared(std::shared_ptr<PreferenceStore> defaults)
{
    // Lives as long as the process; the program flushes it at quit.
    static WordBook *book = [&] {
        const auto directory = AppIdentity::isHostingTests() ? std::nullopt : defaultDirectory();
        return new WordBook(directory, defaults, Date::fromWallTime(Clock::system()->wallNow()));
    }();
    Q_ASSERT(book->m_defaults == defaults);
    return *book;
}

std::optional<QString> WordBook::defaultDirectory()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return std::nullopt;
    QString name = AppIdentity::bundleID().value_or(QString());
    if (name.isEmpty())
        name = AppIdentity::appID;
    return QDir(base).filePath(name);
}

bool WordBook::sameMeaning(const QString &a, const QString &b)
{
    const QString lowerA = Text::lowercased(a);
    const QString lowerB = Text::lowercased(b);
    if (lowerA == lowerB)
        return true;
    const auto firstThree = [](const QString &text) {
        std::vector<QStringView> characters;
        Text::enumerateGraphemes(text, [&](const Text::Segment &segment) {
            characters.push_back(QStringView(text).mid(segment.start, segment.length));
            return characters.size() < 3;
        });
        return characters;
    };
    const auto charactersA = firstThree(lowerA);
    const auto charactersB = firstThree(lowerB);
    return charactersA.size() == 3 && charactersA == charactersB;
}

bool WordBook::flush()
{
    const bool pending = m_saveTask.has_value();
    if (m_saveTask) {
        m_saveTask->cancel();
        m_saveTask.reset();
    }
    // Earlier writes first: only then do the flags say what the files hold.
    WordBookStorage::writeQueue().drain();
    bool onDisk = true;
    if (m_savedPath && (pending || m_disk->savedBehind)) {
        const std::vector<SavedWord> saved = m_saved;
        const QString path = *m_savedPath;
        onDisk = WordBookStorage::writeQueue().runBlocking([&] { return writeSaved(saved, path); });
    }
    if (m_historyPath && m_disk->historyBehind) {
        m_historyLinesOnDisk = qint64(m_history.size());
        const QString path = *m_historyPath;
        const quint64 rewrite = ++m_historyRewrites;
        onDisk = WordBookStorage::writeQueue().runBlocking([&] {
            return rewriteHistory(m_history, m_historyKeptSince, rewrite, path);
        }) && onDisk;
    }
    return onDisk;
}

std::vector<WriteFailure> WordBook::writeFailures() const
{
    std::vector<WriteFailure> failures;
    if (const auto why = m_disk->savedTrouble.failure(); why && m_savedPath)
        failures.push_back({UserFile::savedWords, *m_savedPath, *why});
    if (const auto why = m_disk->historyTrouble.failure(); why && m_historyPath)
        failures.push_back({UserFile::history, *m_historyPath, *why});
    return failures;
}

// Settings

void WordBook::loadSettings(Date now)
{
    m_keepsHistory = m_defaults->boolValue(keepsHistoryKey);
    m_hasAskedAboutHistory = m_defaults->boolValue(askedAboutHistoryKey);
    m_historyRetention = HistoryRetentions::fromRawValue(m_defaults->string(historyRetentionKey).value_or(QString()))
                             .value_or(HistoryRetention::quarter);
    m_suggestAfter = storedInteger(*m_defaults, suggestAfterKey).value_or(3);
    m_reviewsPerDay = storedInteger(*m_defaults, reviewsPerDayKey).value_or(8);
    m_remindsToReview = m_defaults->boolValue(reviewReminderKey);
    m_excludedAppIDs = m_defaults->stringList(excludedAppsKey).value_or(defaultExcludedAppIDs);

    const auto stored = m_defaults->date(keyHintsSinceKey);
    if (stored && stored->isValid()) {
        m_keyHintsSince = Date::fromDateTime(*stored);
    } else {
        // Kept at the store's precision, so the next start reads back exactly this date.
        const QDateTime first = now.toDateTime();
        m_keyHintsSince = Date::fromDateTime(first);
        m_defaults->set(keyHintsSinceKey, first);
    }
}

void WordBook::setKeepsHistory(bool value)
{
    const bool changed = assign(m_keepsHistory, value);
    m_defaults->set(keepsHistoryKey, value);
    if (changed)
        emit keepsHistoryChanged();
}

void WordBook::setHasAskedAboutHistory(bool value)
{
    const bool changed = assign(m_hasAskedAboutHistory, value);
    m_defaults->set(askedAboutHistoryKey, value);
    if (changed)
        emit hasAskedAboutHistoryChanged();
}

void WordBook::setHistoryRetention(HistoryRetention value)
{
    const bool changed = assign(m_historyRetention, value);
    m_defaults->set(historyRetentionKey, HistoryRetentions::rawValue(value));
    if (changed)
        emit historyRetentionChanged();
    const bool trimmed = trimHistory(currentDate(), recordingBatch);
    compactHistory(0);
    if (trimmed)
        emit historyChanged();
}

void WordBook::setSuggestAfter(qint64 value)
{
    const bool changed = assign(m_suggestAfter, value);
    m_defaults->set(suggestAfterKey, value);
    if (changed)
        emit suggestAfterChanged();
}

void WordBook::setReviewsPerDay(qint64 value)
{
    const bool changed = assign(m_reviewsPerDay, value);
    m_defaults->set(reviewsPerDayKey, value);
    if (changed)
        emit reviewsPerDayChanged();
}

void WordBook::setRemindsToReview(bool value)
{
    const bool changed = assign(m_remindsToReview, value);
    m_defaults->set(reviewReminderKey, value);
    if (changed)
        emit remindsToReviewChanged();
    emit reviewChanged();
}

void WordBook::setExcludedAppIDs(const QStringList &value)
{
    QSet<QString> added(value.cbegin(), value.cend());
    for (const QString &old : std::as_const(m_excludedAppIDs))
        added.remove(old);
    const bool changed = assign(m_excludedAppIDs, value);
    m_defaults->set(excludedAppsKey, value);
    if (changed)
        emit excludedAppIDsChanged();
    forget(added);
}

bool WordBook::isExcluded(const std::optional<QString> &appID) const
{
    return appID && m_excludedAppIDs.contains(*appID);
}

qint64 WordBook::lookupCount(const WordKey &key) const
{
    const auto it = m_historyCounts.find(key);
    return it == m_historyCounts.end() ? 0 : it->second;
}

void WordBook::clearHistory()
{
    const bool changed = !m_history.empty();
    m_history.clear();
    m_historyCounts.clear();
    compactHistory(0);
    if (changed)
        emit historyChanged();
}

WordLookup WordBook::kept(const WordLookup &lookup) const
{
    if (!isExcluded(lookup.appID))
        return lookup;
    WordLookup stripped = lookup;
    stripped.sentence.reset();
    stripped.wordOffset.reset();
    stripped.translation.reset();
    stripped.title.reset();
    return stripped;
}

void WordBook::forget(const QSet<QString> &appIDs)
{
    if (appIDs.isEmpty())
        return;
    const auto fromApps = [&](const WordLookup &lookup) { return lookup.appID && appIDs.contains(*lookup.appID); };

    const std::size_t before = m_history.size();
    std::erase_if(m_history, fromApps);
    if (m_history.size() != before) {
        rebuildHistoryCounts();
        compactHistory(0);
        emit historyChanged();
    }

    bool replaced = false;
    bool changed = false;
    for (SavedWord &word : m_saved) {
        for (WordLookup &encounter : word.encounters) {
            if (!fromApps(encounter))
                continue;
            replaced = true;
            changed = assign(encounter, kept(encounter)) || changed;
        }
    }
    if (changed)
        emit savedChanged();
    if (replaced)
        scheduleSave();
}

void WordBook::rebuildSavedIndex()
{
    m_savedIndex.clear();
    m_savedIndex.reserve(m_saved.size());
    for (std::size_t i = 0; i < m_saved.size(); ++i)
        m_savedIndex.emplace(m_saved[i].key(), i); // an earlier (newer) word with the same key wins
}

void WordBook::rebuildHistoryCounts()
{
    m_historyCounts.clear();
    for (const WordLookup &lookup : m_history)
        ++m_historyCounts[lookup.key()];
}

void WordBook::countOut(const WordKey &key)
{
    const auto it = m_historyCounts.find(key);
    if (it == m_historyCounts.end())
        return;
    if (--it->second <= 0)
        m_historyCounts.erase(it);
}

// History

bool WordBook::record(const WordLookup &lookup)
{
    if (!m_keepsHistory || isExcluded(lookup.appID) || isRepeat(lookup))
        return false;

    const WordKey key = lookup.key();
    m_history.push_back(lookup);
    ++m_historyCounts[key];
    // A file that missed a write gets the whole history again, this look-up with it, rather than a
    // line that would leave the gap in place.
    const bool rewriteWhole = m_historyPath && m_disk->historyBehind;
    if (m_historyPath && !rewriteWhole) {
        ++m_historyLinesOnDisk;
        WordBookStorage::writeQueue().post([this, lookup, path = *m_historyPath] { appendLookup(lookup, path); });
    }

    bool savedWordChanged = false;
    if (const auto it = m_savedIndex.find(key); it != m_savedIndex.end()) {
        addEncounter(lookup, it->second);
        scheduleSave();
        savedWordChanged = true;
    }

    trimHistory(lookup.date, recordingBatch);
    if (rewriteWhole)
        m_historyLinesOnDisk = -1;
    compactHistory(rewriteWhole ? 0 : recordingBatch);

    emit historyChanged();
    if (savedWordChanged)
        emit savedChanged();
    return true;
}

bool WordBook::isRepeat(const WordLookup &lookup) const
{
    std::optional<WordKey> key;
    for (auto it = m_history.crbegin(); it != m_history.crend(); ++it) {
        if (lookup.date.secondsSinceReferenceDate - it->date.secondsSinceReferenceDate >= repeatWindowSeconds)
            return false;
        // The sentence is the cheap test; normalising the word only when it matches keeps this off
        // the profile while many look-ups fall inside the window.
        if (it->sentence != lookup.sentence)
            continue;
        if (!key)
            key = lookup.key();
        if (it->key() == *key)
            return true;
    }
    return false;
}

void WordBook::addEncounter(const WordLookup &lookup, std::size_t index)
{
    SavedWord &word = m_saved[index];
    word.encounters.insert(word.encounters.begin(), kept(lookup));
    if (qsizetype(word.encounters.size()) > maxEncounters)
        word.encounters.resize(std::size_t(maxEncounters));
    if (word.metCount < std::numeric_limits<qint64>::max())
        ++word.metCount;
    const bool known = std::any_of(word.senses.cbegin(), word.senses.cend(),
                                   [&](const WordSense &sense) { return sameMeaning(sense.meaning, lookup.meaning); });
    if (qsizetype(word.senses.size()) < maxSenses && !known)
        word.senses.push_back(WordSense {lookup.meaning, lookup.grammarTag, lookup.grammarText});
}

bool WordBook::trimHistory(Date now, qsizetype batch)
{
    qsizetype drop = 0;
    if (const auto days = HistoryRetentions::days(m_historyRetention); days) {
        const double cutoff = now.secondsSinceReferenceDate - *days * secondsPerDay;
        keepHistorySince(Date {cutoff});
        if (!m_history.empty() && m_history.front().date.secondsSinceReferenceDate < cutoff) {
            const auto firstKept = std::find_if(m_history.cbegin(), m_history.cend(), [&](const WordLookup &lookup) {
                return lookup.date.secondsSinceReferenceDate >= cutoff;
            });
            drop = qsizetype(firstKept - m_history.cbegin());
        }
    }
    const qsizetype count = qsizetype(m_history.size());
    const bool capped = count - drop > historyCap + batch;
    if (capped)
        drop = count - historyCap;
    if (drop < 1)
        return false;
    for (qsizetype i = 0; i < drop; ++i)
        countOut(m_history[std::size_t(i)].key());
    m_history.erase(m_history.begin(), m_history.begin() + drop);
    // Another copy's look-ups from before the newest 10,000 would only go over the cap again.
    if (capped)
        keepHistorySince(m_history.front().date);
    return true;
}

void WordBook::keepHistorySince(Date date)
{
    if (!m_historyKeptSince || *m_historyKeptSince < date)
        m_historyKeptSince = date;
}

void WordBook::compactHistory(qsizetype slack)
{
    if (!m_historyPath)
        return;
    const qint64 onDisk = m_historyLinesOnDisk;
    const qint64 inMemory = qint64(m_history.size());
    if (!(inMemory + slack < onDisk || (slack == 0 && onDisk != inMemory)))
        return;
    m_historyLinesOnDisk = inMemory;
    WordBookStorage::writeQueue().post([this, history = m_history, since = m_historyKeptSince,
                                        rewrite = ++m_historyRewrites,
                                        path = *m_historyPath] { rewriteHistory(history, since, rewrite, path); });
}

void WordBook::setTitle(const QString &title, const WordLookup &lookup)
{
    if (isExcluded(lookup.appID))
        return;
    const auto it = m_savedIndex.find(lookup.key());
    if (it == m_savedIndex.end())
        return;
    auto &encounters = m_saved[it->second].encounters;
    const auto encounter =
        std::find_if(encounters.begin(), encounters.end(), [&](const WordLookup &e) { return e.id == lookup.id; });
    if (encounter == encounters.end())
        return;
    const bool changed = assign(encounter->title, std::optional<QString>(title));
    scheduleSave();
    if (changed)
        emit savedChanged();
}

std::vector<WordLookup> WordBook::lookups(const WordKey &key) const
{
    std::vector<WordLookup> found;
    for (auto it = m_history.crbegin(); it != m_history.crend(); ++it) {
        if (it->key() == key)
            found.push_back(*it);
    }
    return found;
}

// Saved words and review

std::optional<SavedWord> WordBook::savedWord(const WordKey &key) const
{
    const auto it = m_savedIndex.find(key);
    if (it == m_savedIndex.end())
        return std::nullopt;
    return m_saved[it->second];
}

SaveOutcome WordBook::toggleSave(const WordLookup &lookup, Date now)
{
    if (const auto it = m_savedIndex.find(lookup.key()); it != m_savedIndex.end()) {
        m_saved.erase(m_saved.begin() + std::ptrdiff_t(it->second));
        rebuildSavedIndex();
        scheduleSave();
        emit savedChanged();
        emit reviewChanged();
        return SaveOutcome::removed();
    }
    save(lookup, now);
    return SaveOutcome::saved(qint64(m_saved.size()));
}

void WordBook::save(const WordLookup &lookup, Date now)
{
    const WordKey key = lookup.key();
    if (m_savedIndex.contains(key))
        return;

    std::vector<WordLookup> encounters {kept(lookup)};
    for (auto it = m_history.crbegin(); it != m_history.crend() && qsizetype(encounters.size()) < maxEncounters; ++it) {
        if (it->id != lookup.id && it->key() == key)
            encounters.push_back(kept(*it));
    }

    SavedWord word;
    word.id = QUuid::createUuid();
    word.word = lookup.word;
    word.base = lookup.base;
    word.source = lookup.source;
    word.target = lookup.target;
    word.senses = {WordSense {lookup.meaning, lookup.grammarTag, lookup.grammarText}};
    word.encounters = std::move(encounters);
    word.metCount = std::max<qint64>(lookupCount(key), 1);
    word.savedAt = now;
    word.review = ReviewState {0, ReviewSchedule::firstDue(now, calendar()), std::nullopt, false};

    m_saved.insert(m_saved.begin(), std::move(word));
    rebuildSavedIndex();
    scheduleSave();
    emit savedChanged();
    emit reviewChanged();
}

void WordBook::remove(const QUuid &id)
{
    const std::size_t removed = std::erase_if(m_saved, [&](const SavedWord &word) { return word.id == id; });
    rebuildSavedIndex();
    scheduleSave();
    if (removed > 0)
        emit savedChanged();
    emit reviewChanged();
}

void WordBook::answer(const QUuid &id, ReviewAnswer answer, Date now)
{
    const auto it = std::find_if(m_saved.begin(), m_saved.end(), [&](const SavedWord &word) { return word.id == id; });
    if (it == m_saved.end())
        return;
    it->review = ReviewSchedule::next(it->review, answer, now, calendar());
    scheduleSave();
    emit savedChanged();
    emit reviewChanged();
}

std::optional<Date> WordBook::nextDue() const
{
    std::optional<Date> earliest;
    for (const SavedWord &word : m_saved) {
        if (!word.review.learned && (!earliest || word.review.due < *earliest))
            earliest = word.review.due;
    }
    return earliest;
}

std::vector<SavedWord> WordBook::reviewQueue(Date now) const
{
    return ReviewSchedule::queue(m_saved, now, m_reviewsPerDay, calendar());
}

// Plumbing

Calendar WordBook::calendar() const
{
    if (m_calendar)
        return *m_calendar;
    return Calendar::current();
}

Date WordBook::currentDate() const
{
    return Date::fromWallTime(m_clock->wallNow());
}

void WordBook::scheduleSave()
{
    if (!m_savedPath || m_saveTask)
        return;
    m_saveTask = m_clock->schedule(saveDelay, this, [this] {
        m_saveTask.reset();
        submitSave();
    });
}

void WordBook::submitSave()
{
    if (!m_savedPath)
        return;
    WordBookStorage::writeQueue().post([this, saved = m_saved, path = *m_savedPath] { writeSaved(saved, path); });
}

void WordBook::scheduleRetry()
{
    if (m_retryTask)
        return;
    // Space freed later, or a folder given back, is noticed without waiting for the next change.
    m_retryTask = m_clock->schedule(retryDelay, this, [this] {
        m_retryTask.reset();
        if (m_savedPath && m_disk->savedBehind && !m_saveTask)
            submitSave();
        if (m_historyPath && m_disk->historyBehind) {
            m_historyLinesOnDisk = -1;
            compactHistory(0);
        }
    });
}

// The write queue

bool WordBook::writeSaved(const std::vector<SavedWord> &saved, const QString &path)
{
    auto written = WordBookStorage::writeShared(m_disk->savedOnDisk, saved, path, m_clock->wallNow());
    m_disk->savedBehind = !written.outcome.ok();
    if (written.merged) {
        qCInfo(lcWordStorage).noquote() << "took in what another copy of Lumivox changed in" << path;
        QMetaObject::invokeMethod(
            this, [this, saved, merged = std::move(*written.merged)] { takeIn(saved, merged); }, Qt::QueuedConnection);
    }
    report(UserFile::savedWords, path, written.outcome);
    return written.outcome.ok();
}

void WordBook::appendLookup(const WordLookup &lookup, const QString &path)
{
    m_disk->knownLookups.insert(lookup.id, lookup.date);
    // A file that missed a line gets the whole history at the next rewrite, this look-up with it; a
    // line added after the gap would leave the gap in place.
    if (m_disk->historyBehind)
        return;
    const auto outcome = WordBookStorage::append(lookup, path);
    if (!outcome)
        m_disk->historyBehind = true;
    report(UserFile::history, path, outcome);
}

bool WordBook::rewriteHistory(const std::deque<WordLookup> &history, std::optional<Date> since, quint64 rewrite,
                              const QString &path)
{
    auto written = WordBookStorage::rewriteShared(m_disk->knownLookups, history, since, path);
    m_disk->historyBehind = !written.outcome.ok();
    if (!written.takenIn.empty()) {
        qCInfo(lcWordStorage).noquote() << "kept the look-ups another copy of Lumivox added to" << path << "("
                                        << written.takenIn.size() << ")";
        QMetaObject::invokeMethod(
            this, [this, lookups = std::move(written.takenIn), rewrite] { takeInHistory(lookups, rewrite); },
            Qt::QueuedConnection);
    }
    report(UserFile::history, path, written.outcome);
    return written.outcome.ok();
}

void WordBook::report(UserFile file, const QString &path, const PrivateFile::Outcome &outcome)
{
    const bool saved = file == UserFile::savedWords;
    const WriteTrouble::Change change = (saved ? m_disk->savedTrouble : m_disk->historyTrouble).record(outcome);
    const char *what = saved ? "saved words" : "history";
    // Logged once per cause: a retry, or every look-up of a long spell, would otherwise repeat it.
    if (change == WriteTrouble::Change::failed)
        qCWarning(lcWordStorage).noquote()
            << what << "not written to" << path << ":" << outcome.error
            << "- kept in memory and written again at the next change, within" << retryDelay.count() << "s and at quit";
    else if (change == WriteTrouble::Change::cleared)
        qCInfo(lcWordStorage).noquote() << what << "written to" << path << "again";
    if (change != WriteTrouble::Change::none || !outcome)
        QMetaObject::invokeMethod(
            this, [this, written = WriteFailure {file, path, outcome}, change] { afterWrite(written, change); },
            Qt::QueuedConnection);
}

// Back on the main thread

void WordBook::afterWrite(const WriteFailure &written, WriteTrouble::Change change)
{
    if (!written.why)
        scheduleRetry();
    if (change == WriteTrouble::Change::failed)
        emit writeFailed(written);
}

void WordBook::takeInHistory(const std::vector<WordLookup> &found, quint64 rewrite)
{
    // This book keeps no look-up of an application excluded here, whichever copy made it; one
    // excluded while these were on their way goes too.
    std::vector<WordLookup> lookups;
    lookups.reserve(found.size());
    std::copy_if(found.cbegin(), found.cend(), std::back_inserter(lookups),
                 [&](const WordLookup &lookup) { return !isExcluded(lookup.appID); });
    m_history = WordBookStorage::mergeHistory(std::move(m_history), lookups);
    for (const WordLookup &lookup : lookups)
        ++m_historyCounts[lookup.key()];
    if (rewrite == m_historyRewrites && lookups.size() == found.size()) {
        m_historyLinesOnDisk += qint64(found.size());
    } else {
        // The file holds look-ups this book does not keep, or lacks these: a later rewrite, sent
        // before they came, knew them and left them out. It is brought in line with memory.
        m_historyLinesOnDisk = -1;
        compactHistory(0);
    }
    if (!lookups.empty())
        emit historyChanged();
}

void WordBook::takeIn(const std::vector<SavedWord> &sent, const std::vector<SavedWord> &onDisk)
{
    // What changed here since `sent` was written stays; what the other copy changed comes in.
    std::vector<SavedWord> merged = WordBookStorage::mergeSaved(sent, m_saved, onDisk);
    if (merged == m_saved)
        return;
    m_saved = std::move(merged);
    rebuildSavedIndex();
    emit savedChanged();
    emit reviewChanged();
}

} // namespace Lumivox
