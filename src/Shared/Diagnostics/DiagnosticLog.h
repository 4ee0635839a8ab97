#pragma once

// The diagnostic log: the record of why each hover did or did not end in a tooltip.
// (The text functions below have no state; every writer of diagnostic detail uses them.)
//
// It keeps three bounded views of the recent past, in memory and mirrored to diagnostics.json:
// - entries: runs of the same outcome (reason, detail, app) folded into one, with a count (newest 40);
// - per-application tallies (at most 40 applications);
// - events: one per hover with word, meaning and timing (newest 200; skips are evicted first).
//
// All state lives on the log's own serial executor. Callers never wait for it: `note` stamps the
// time and hands the outcome over; the cleaning and the bookkeeping run on the executor.
//
// The file is written once activity has paused for the persist delay (every change that schedules
// a write pushes it back, but never past `maxPersistWait` after the first change the file lacks, so
// a steady stream of hovers still reaches it), atomically, and at quit with a bounded wait so that
// the last outcomes are not lost, under PrivateFile's rules (0600 in a 0700 folder, never through a link). A file that
// cannot be read or decoded is never written over: it is set aside (PrivateFile::setAside) and the
// log starts empty; when even that fails, the log is kept in memory for the session.

#include "Shared/Async/Clock.h"
#include "Shared/Async/SerialExecutor.h"
#include "Shared/Diagnostics/AppTally.h"
#include "Shared/Diagnostics/DiagnosticReason.h"
#include "Shared/Storage/PrivateFile.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace Lumivox {

/// One hover as the log keeps it.
struct DiagnosticEvent
{
    QDateTime at;
    /// Sanitized application text.
    QString app;
    DiagnosticReason reason = DiagnosticReason::shown;
    QString word;
    QString meaning;
    /// The sanitized detail text.
    QString source;
    QString role;
    /// The sanitized detail again, except for `shown` and `wordFiltered` (empty there).
    QString extra;
    /// Whole hover duration.
    std::optional<qint64> ms;
    /// Stage timings; kept only with `ms` and when not empty.
    std::optional<QString> stages;

    bool operator==(const DiagnosticEvent &) const = default;
};

/// A platform error reduced to what the diagnostics keep of it: a domain and an integer code.
struct ErrorInfo
{
    QString domain;
    long long code = 0;
};

class DiagnosticLog
{
public:
    /// A run of identical outcomes.
    struct Entry
    {
        DiagnosticReason reason = DiagnosticReason::shown;
        QString detail;
        QString app;
        qint64 count = 1;
        QDateTime first;
        QDateTime last;

        bool operator==(const Entry &) const = default;
    };

    /// What a caller tells about one outcome besides its reason. Written with designated
    /// initializers: `DiagnosticLog::note(DiagnosticReason::ocrMiss, {.detail = ..., .app = ...})`.
    struct Note
    {
        QString detail;
        QString app;
        std::optional<AppTally::Update> tally;
        QString word;
        QString meaning;
        QString role;
        std::optional<qint64> ms;
        QString stages;
    };

    static constexpr std::size_t limit = 40;
    static constexpr std::size_t appLimit = 40;
    static constexpr std::size_t eventLimit = 200;
    /// Word and meaning texts are clipped to this many characters by `note`.
    static constexpr qsizetype clipLength = 48;
    /// The longest a change waits for the file: hovers that keep coming push the write back only
    /// this far from the first one it lacks, so a crash or a kill loses at most this much.
    static constexpr std::chrono::seconds maxPersistWait {5};
    /// A diagnostics file beyond this size is set aside unread.
    static constexpr qint64 maxFileSize = PrivateFile::diagnosticsCap;

    /// A log kept in `filePath` (memory only when absent). With `load`, the file is read first, on the
    /// log's executor, before anything recorded later. The clock times the delayed write.
    DiagnosticLog(std::optional<QString> filePath, bool load, Clock::Duration persistDelay,
                  std::shared_ptr<Clock> clock = Clock::system());
    /// Writes a pending change, then stops the executor. Destroy the log on the thread that made it.
    ~DiagnosticLog();

    DiagnosticLog(const DiagnosticLog &) = delete;
    DiagnosticLog &operator=(const DiagnosticLog &) = delete;

    /// The application's log: the user's diagnostics file, a 1.5 s persist delay. It lives until the
    /// process ends. In a test host it has no file. Made and handed out by the composition root.
    static DiagnosticLog &shared();
    /// $XDG_DATA_HOME/Lumivox/diagnostics.json; absent in a test host or without a data folder.
    static std::optional<QString> storeURL();

    /// Fire and forget, from any thread: records on this log, timed now (see post()). Does nothing
    /// in a test host, so that a program under test never fills the log it is handed.
    void note(DiagnosticReason reason, Note note = {});
    /// Fire and forget: cancels the delayed write and writes at once.
    void flush();

    /// Drops double quotes, line feeds, carriage returns and control characters (format characters
    /// such as bidirectional overrides included). Does not shorten.
    static QString clipText(const QString &text);

    /// What `note` does, on this log: reads the clock and posts the record, with detail, app and
    /// roles sanitized and word and meaning clipped to 48 characters on the way. Never waits.
    void post(DiagnosticReason reason, Note note);

    /// Stores one outcome (detail and app are sanitized; the other texts are taken as given).
    QCoro::Task<> record(DiagnosticReason reason, Note note, QDateTime now);
    /// Oldest first.
    QCoro::Task<std::vector<Entry>> snapshot();
    QCoro::Task<std::map<QString, AppTally>> appTallies();
    /// Oldest first.
    QCoro::Task<std::vector<DiagnosticEvent>> recordedEvents();
    /// Empties all three views and schedules a write.
    QCoro::Task<> reset();
    /// Cancels the delayed write and writes at once.
    QCoro::Task<> flushNow();
    /// Writes what changed since the last write and waits for it, at most `timeout`. True when the
    /// write finished in time (or there was nothing to write). Run at quit, when a delayed write
    /// would never come.
    bool flushBeforeQuit(std::chrono::milliseconds timeout);

    /// Where a diagnostics file that could not be read at start was set aside; waits for that read.
    /// Not on the log's executor.
    std::optional<QString> setAsideAtStart();

    /// Keeps letters, marks and digits of any script and the characters " ._-:/→"; at most 80
    /// user-perceived characters, cut after filtering.
    static QString sanitize(const QString &text);
    /// sanitize("<domain> <code>").
    static QString errorDetail(const ErrorInfo &error);

private:
    // Everything below runs on m_executor only.
    void load();
    void recordNow(DiagnosticReason reason, const Note &note, const QDateTime &now);
    void schedulePersist();
    void persist();

    std::optional<QString> m_filePath;
    std::optional<QString> m_setAsideAs;
    Clock::Duration m_persistDelay;
    std::shared_ptr<Clock> m_clock;
    std::vector<Entry> m_entries;
    std::map<QString, AppTally> m_apps;
    std::vector<DiagnosticEvent> m_events;
    TimerHandle m_persistTimer;
    // A delayed write runs only when no later change or flush has bumped the generation since.
    std::uint64_t m_persistGeneration = 0;
    bool m_persistScheduled = false;
    // When the scheduled write is due at the latest, however many changes follow.
    Clock::Instant m_persistDeadline;
    // Something changed since the last write (repeated skips included, which schedule nothing).
    bool m_changed = false;
    // Lives on the application's thread: timers fire there and the quit hook hangs on it.
    std::unique_ptr<QObject> m_timerContext;
    // Last: destroyed first, so the jobs it still runs see the state above.
    SerialExecutor m_executor;
};

} // namespace Lumivox
