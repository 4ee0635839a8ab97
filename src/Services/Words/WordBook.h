#pragma once

// The user's word book: the history of looked-up words, the saved words that come back for review,
// and the word book's settings, each mirrored in the preference store under a "words…" key.
//
// Main thread only. Reading a property is cheap; its NOTIFY signal fires only when the value really
// changed, while a setter's side effects (writing its key, trimming, forgetting, telling the review
// reminder) run on every assignment.
//
// Files (see WordBookStorage.h): the saved words are written 3 s after the first change since the
// last write, later changes riding along; every look-up is appended as one line; the history file is
// rewritten when it runs more than 500 lines ahead of memory, and exactly in line with memory at
// start. All writes go to one serial queue off the main thread; `flush()` at quit writes what is
// pending and waits for the queue. A write that fails keeps what it could not write in memory, is
// told once per cause (`writeFailed`) and is made again: the saved words at the next change, the
// whole history at the next look-up, both after retryDelay and at quit. Another copy of the program
// may share the folder: its changes to the saved words are taken in before each write, and the
// look-ups it added to the history at each rewrite of that file, into memory too (see
// WordBookStorage.h). A book without a folder keeps everything in memory.

#include "Models/ReviewAnswer.h"
#include "Models/WordRecords.h"
#include "Services/Words/Calendar.h"
#include "Services/Words/HistoryRetention.h"
#include "Shared/Async/Clock.h"
#include "Shared/Preferences/PreferenceStore.h"
#include "Shared/Storage/WriteTrouble.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Lumivox {

/// What saving or unsaving a word did.
struct SaveOutcome
{
    enum class Kind { saved, removed };
    Kind kind = Kind::removed;
    /// The number of saved words after a save.
    qint64 total = 0;

    static SaveOutcome saved(qint64 total) { return {Kind::saved, total}; }
    static SaveOutcome removed() { return {Kind::removed, 0}; }
    bool operator==(const SaveOutcome &) const = default;
};

class WordBook : public QObject
{
    Q_OBJECT
    Q_PROPERTY(std::vector<Lumivox::SavedWord> saved READ saved NOTIFY savedChanged)
    Q_PROPERTY(std::deque<Lumivox::WordLookup> history READ history NOTIFY historyChanged)
    Q_PROPERTY(bool keepsHistory READ keepsHistory WRITE setKeepsHistory NOTIFY keepsHistoryChanged)
    Q_PROPERTY(bool hasAskedAboutHistory READ hasAskedAboutHistory WRITE setHasAskedAboutHistory NOTIFY
                   hasAskedAboutHistoryChanged)
    Q_PROPERTY(Lumivox::HistoryRetention historyRetention READ historyRetention WRITE setHistoryRetention NOTIFY
                   historyRetentionChanged)
    Q_PROPERTY(qint64 suggestAfter READ suggestAfter WRITE setSuggestAfter NOTIFY suggestAfterChanged)
    Q_PROPERTY(qint64 reviewsPerDay READ reviewsPerDay WRITE setReviewsPerDay NOTIFY reviewsPerDayChanged)
    Q_PROPERTY(bool remindsToReview READ remindsToReview WRITE setRemindsToReview NOTIFY remindsToReviewChanged)
    Q_PROPERTY(QStringList excludedAppIDs READ excludedAppIDs WRITE setExcludedAppIDs NOTIFY excludedAppIDsChanged)
    Q_PROPERTY(Lumivox::Date keyHintsSince READ keyHintsSince CONSTANT)

public:
    // Preference keys.
    static inline const QString keepsHistoryKey = QStringLiteral("wordsKeepHistory");
    static inline const QString askedAboutHistoryKey = QStringLiteral("wordsAskedAboutHistory");
    static inline const QString historyRetentionKey = QStringLiteral("wordsHistoryRetention");
    static inline const QString suggestAfterKey = QStringLiteral("wordsSuggestAfter");
    static inline const QString reviewsPerDayKey = QStringLiteral("wordsReviewsPerDay");
    static inline const QString reviewReminderKey = QStringLiteral("wordsReviewReminder");
    static inline const QString excludedAppsKey = QStringLiteral("wordsExcludedApps");
    static inline const QString keyHintsSinceKey = QStringLiteral("wordsKeyHintsSince");

    static const QStringList defaultExcludedAppIDs;

    /// Delay of the coalesced save of the saved words.
    static constexpr std::chrono::seconds saveDelay {3};
    /// How long a failed write waits before it is tried again without a change.
    static constexpr std::chrono::seconds retryDelay {30};
    /// Two look-ups of one word in one sentence closer than this count once.
    static constexpr double repeatWindowSeconds = 1800;
    static constexpr qsizetype historyCap = 10'000;
    static constexpr qsizetype maxEncounters = 8;
    static constexpr qsizetype maxSenses = 3;

    /// Reads the settings, then the files in `directory` (none: memory only), then trims the history
    /// as at `now` and brings History.jsonl in line with it. `now` is stored as the key-hints date
    /// on the first start. The clock drives the delayed save; the calendar (the user's current one
    /// when none is given) places review days.
    WordBook(std::optional<QString> directory, std::shared_ptr<PreferenceStore> defaults, Date now,
             std::shared_ptr<Clock> clock = Clock::system(), std::optional<Calendar> calendar = std::nullopt,
             QObject *parent = nullptr);
    /// Writes nothing: a pending save is dropped (the program calls `flush()` at quit). Waits for the
    /// writes already under way.
    ~WordBook() override;

    /// The program's book, made by the first call (the composition root's) over the preference store it
    /// is given, in $XDG_DATA_HOME/<app id>, or memory only in a test host; later calls return it.
    static WordBook &shared(std::shared_ptr<PreferenceStore> defaults);
    /// $XDG_DATA_HOME/<app id>; none when the system names no data folder.
    static std::optional<QString> defaultDirectory();

    /// Meanings count as the same when equal ignoring case, or when their first three characters
    /// (as the user sees characters) are equal ignoring case: "run" and "running", not "go" and "gone".
    static bool sameMeaning(const QString &a, const QString &b);

    /// A file the book could not read when it was made, and where it was set aside.
    struct SetAside
    {
        QString file;
        QString keptAs;
        /// Only the lines of the history that did not decode were kept there; the rest was read.
        bool onlyUnreadableLines = false;
        bool operator==(const SetAside &) const = default;
    };
    /// The files set aside while the book was made (Words.json, then History.jsonl), in that order.
    const std::vector<SetAside> &setAsideAtStart() const { return m_setAsideAtStart; }

    /// Writes a pending save now, and writes again what an earlier write failed to put on disk; waits
    /// for every queued write. Blocks; call it at quit. True when both files hold the book (always for
    /// a book without a folder).
    bool flush();
    /// The files whose last write failed, and why. Any thread.
    std::vector<WriteFailure> writeFailures() const;

    struct DiskState;

    // Observed state.
    /// Newest saved first.
    const std::vector<SavedWord> &saved() const { return m_saved; }
    /// Oldest first.
    const std::deque<WordLookup> &history() const { return m_history; }

    bool keepsHistory() const { return m_keepsHistory; }
    void setKeepsHistory(bool value);
    bool hasAskedAboutHistory() const { return m_hasAskedAboutHistory; }
    void setHasAskedAboutHistory(bool value);
    HistoryRetention historyRetention() const { return m_historyRetention; }
    /// Also drops look-ups older than the new retention at once, from memory and from the file.
    void setHistoryRetention(HistoryRetention value);
    /// After how many look-ups of a word the tooltip suggests saving it.
    qint64 suggestAfter() const { return m_suggestAfter; }
    void setSuggestAfter(qint64 value);
    /// The daily limit of new words in the review.
    qint64 reviewsPerDay() const { return m_reviewsPerDay; }
    void setReviewsPerDay(qint64 value);
    bool remindsToReview() const { return m_remindsToReview; }
    void setRemindsToReview(bool value);
    /// Applications whose look-ups are not kept. Adding one forgets its look-ups from the history and
    /// the sentences, translations and titles of its encounters in saved words; removing one
    /// restores nothing.
    const QStringList &excludedAppIDs() const { return m_excludedAppIDs; }
    void setExcludedAppIDs(const QStringList &value);
    /// When the tooltip footer's key hints started being counted: the first start.
    Date keyHintsSince() const { return m_keyHintsSince; }

    bool isExcluded(const std::optional<QString> &appID) const;
    qint64 lookupCount(const WordKey &key) const;
    /// Empties the history and its file; saved words keep their encounters and counts.
    void clearHistory();

    // History.
    /// Keeps the look-up when history is on, its application is not excluded and the same word was not
    /// looked up in the same sentence within the last 30 minutes; a saved word gains it as its newest
    /// encounter. True when kept.
    bool record(const WordLookup &lookup);
    /// Puts the window title on the saved word's encounter of that look-up; never on the history.
    void setTitle(const QString &title, const WordLookup &lookup);
    /// The history's look-ups of the word, newest first.
    std::vector<WordLookup> lookups(const WordKey &key) const;

    // Saved words and review.
    std::optional<SavedWord> savedWord(const WordKey &key) const;
    SaveOutcome toggleSave(const WordLookup &lookup, Date now);
    /// Saves the word with the look-up as its newest encounter; a word already saved is left alone.
    void save(const WordLookup &lookup, Date now);
    /// Removes every saved word with that id.
    void remove(const QUuid &id);
    /// Moves the word along the review schedule; an unknown id does nothing.
    void answer(const QUuid &id, ReviewAnswer answer, Date now);
    /// The earliest due date among words not yet learned.
    std::optional<Date> nextDue() const;
    /// Today's review, at most `reviewsPerDay` words not yet seen today.
    std::vector<SavedWord> reviewQueue(Date now) const;

signals:
    void savedChanged();
    void historyChanged();
    void keepsHistoryChanged();
    void hasAskedAboutHistoryChanged();
    void historyRetentionChanged();
    void suggestAfterChanged();
    void reviewsPerDayChanged();
    void remindsToReviewChanged();
    void excludedAppIDsChanged();
    /// After a word is saved or removed, after a review answer and after every set of
    /// `remindsToReview`, so that the review reminder can be rescheduled. Also when the saved words
    /// took in another copy's changes.
    void reviewChanged();
    /// A write of one of the book's files failed, for the first time since one worked or for another
    /// cause than the last time.
    void writeFailed(const Lumivox::WriteFailure &failure);

private:
    void loadSettings(Date now);
    Calendar calendar() const;
    Date currentDate() const;

    WordLookup kept(const WordLookup &lookup) const;
    void forget(const QSet<QString> &appIDs);
    void rebuildSavedIndex();
    void rebuildHistoryCounts();
    void countOut(const WordKey &key);

    bool isRepeat(const WordLookup &lookup) const;
    void addEncounter(const WordLookup &lookup, std::size_t index);
    /// True when entries were dropped.
    bool trimHistory(Date now, qsizetype batch);
    void keepHistorySince(Date date);
    void compactHistory(qsizetype slack);

    void scheduleSave();
    void submitSave();
    void scheduleRetry();

    // On the write queue; each tells the main thread what came of it (afterWrite).
    bool writeSaved(const std::vector<SavedWord> &saved, const QString &path);
    void appendLookup(const WordLookup &lookup, const QString &path);
    bool rewriteHistory(const std::deque<WordLookup> &history, std::optional<Date> since, quint64 rewrite,
                        const QString &path);
    void report(UserFile file, const QString &path, const PrivateFile::Outcome &outcome);
    // On the main thread.
    void afterWrite(const WriteFailure &written, WriteTrouble::Change change);
    void takeIn(const std::vector<SavedWord> &sent, const std::vector<SavedWord> &onDisk);
    /// Another copy's look-ups, which the `rewrite`th rewrite of the history found in the file.
    void takeInHistory(const std::vector<WordLookup> &found, quint64 rewrite);

    std::shared_ptr<PreferenceStore> m_defaults;
    std::shared_ptr<Clock> m_clock;
    std::optional<Calendar> m_calendar;

    std::vector<SavedWord> m_saved;
    std::deque<WordLookup> m_history;
    bool m_keepsHistory = false;
    bool m_hasAskedAboutHistory = false;
    HistoryRetention m_historyRetention = HistoryRetention::quarter;
    qint64 m_suggestAfter = 3;
    qint64 m_reviewsPerDay = 8;
    bool m_remindsToReview = false;
    QStringList m_excludedAppIDs;
    Date m_keyHintsSince;

    std::optional<QString> m_savedPath;
    std::optional<QString> m_historyPath;
    qint64 m_historyLinesOnDisk = 0;
    // Where trimming by age or by the cap stopped: another copy's look-ups older than this are not
    // taken in at a rewrite.
    std::optional<Date> m_historyKeptSince;
    quint64 m_historyRewrites = 0;
    std::vector<SetAside> m_setAsideAtStart;
    std::unordered_map<WordKey, std::size_t> m_savedIndex;
    std::unordered_map<WordKey, qint64> m_historyCounts;
    std::optional<TimerHandle> m_saveTask;
    std::optional<TimerHandle> m_retryTask;
    std::shared_ptr<DiskState> m_disk;
};

} // namespace Lumivox
