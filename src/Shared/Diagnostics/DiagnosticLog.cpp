#include "Shared/Diagnostics/DiagnosticLog.h"

#include "Shared/Diagnostics/DiagnosticLogFile.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Storage/PrivateFile.h"
#include "Shared/Text/TextUtils.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>

#include <unicode/uchar.h>

#include <algorithm>
#include <future>

Q_LOGGING_CATEGORY(lcDiagnostics, "app.lumivox.Diagnostics")
// Each new kind of hover outcome, as it is recorded: for developers (the program turns it off unless
// QT_LOGGING_RULES asks for it); the user's copy is the diagnostic report.
Q_LOGGING_CATEGORY(lcOutcomes, "app.lumivox.Outcomes")

namespace Lumivox {

namespace {

// The platform's "alphanumerics" set: letters (L*), marks (M*) and numbers (N*).
bool isAlphanumeric(char32_t c)
{
    const auto mask = U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK;
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & mask) != 0;
}

bool isAllowedPunctuation(char32_t c)
{
    return c == U' ' || c == U'.' || c == U'_' || c == U'-' || c == U':' || c == U'/' || c == U'\u2192';
}

} // namespace

QString DiagnosticLog::sanitize(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    Text::forEachScalar(text, [&](char32_t c) {
        if (c > 0xFFFF || !QChar::isSurrogate(static_cast<char16_t>(c))) {
            if (isAlphanumeric(c) || isAllowedPunctuation(c))
                kept.append(QString::fromUcs4(&c, 1));
        }
    });
    return Text::graphemePrefix(kept, 80);
}

QString DiagnosticLog::errorDetail(const ErrorInfo &error)
{
    return sanitize(error.domain + QLatin1Char(' ') + QString::number(error.code));
}

namespace {

// Long enough for a write of the largest file on a slow disk; short enough that quitting never hangs.
constexpr auto quitFlushTimeout = std::chrono::milliseconds(2000);

QDateTime wallDate(Clock::WallTime wall)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

// The platform's control set covers format characters too, so a word cannot smuggle a
// bidirectional override into the report.
bool isControlOrFormat(char32_t c)
{
    const auto mask = U_GC_CC_MASK | U_GC_CF_MASK;
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & mask) != 0;
}

bool isClipped(char32_t c)
{
    return c == U'"' || c == U'\n' || c == U'\r' || isControlOrFormat(c);
}

QString clipped(const QString &text)
{
    return Text::graphemePrefix(DiagnosticLog::clipText(text), DiagnosticLog::clipLength);
}

} // namespace

QString DiagnosticLog::clipText(const QString &text)
{
    return Text::withoutScalars(text, isClipped);
}

DiagnosticLog::DiagnosticLog(std::optional<QString> filePath, bool load, Clock::Duration persistDelay,
                             std::shared_ptr<Clock> clock)
    : m_filePath(std::move(filePath))
    , m_persistDelay(persistDelay)
    , m_clock(std::move(clock))
    , m_timerContext(std::make_unique<QObject>())
    , m_executor(QStringLiteral("app.lumivox.diagnostics"))
{
    if (QCoreApplication *app = QCoreApplication::instance()) {
        if (m_timerContext->thread() != app->thread())
            m_timerContext->moveToThread(app->thread());
        // A delayed write never fires once the event loop has stopped; write what is left now.
        if (m_filePath)
            QObject::connect(app, &QCoreApplication::aboutToQuit, m_timerContext.get(),
                             [this] { flushBeforeQuit(quitFlushTimeout); });
    }
    if (load && m_filePath)
        m_executor.post([this] { this->load(); });
}

DiagnosticLog::~DiagnosticLog()
{
    m_executor.runBlocking([this] {
        if (m_changed)
            persist();
        m_persistTimer.cancel();
        ++m_persistGeneration;
    });
    QObject *context = m_timerContext.release();
    if (context->thread() == QThread::currentThread())
        delete context;
    else
        context->deleteLater();
}

DiagnosticLog &DiagnosticLog::shared()
{
    // Never destroyed: a note may still arrive while other statics are torn down at exit, and the
    // quit hook has written what matters by then.
    static DiagnosticLog *const log = new DiagnosticLog(storeURL(), true, std::chrono::milliseconds(1500));
    return *log;
}

std::optional<QString> DiagnosticLog::storeURL()
{
    if (AppIdentity::isHostingTests())
        return std::nullopt;
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return std::nullopt;
    return base + QStringLiteral("/Lumivox/diagnostics.json");
}

void DiagnosticLog::note(DiagnosticReason reason, Note note)
{
    if (AppIdentity::isHostingTests())
        return;
    post(reason, std::move(note));
}

void DiagnosticLog::flush()
{
    m_executor.post([this] { persist(); });
}

void DiagnosticLog::post(DiagnosticReason reason, Note note)
{
    // Stamped here, so a queue that lags does not shift the times; the cleaning runs on the
    // executor, which keeps the caller's share to a copy of shared strings and one hand-over.
    const QDateTime now = wallDate(m_clock->wallNow());
    m_executor.post([this, reason, note = std::move(note), now]() mutable {
        // Detail and app are sanitized by recordNow itself.
        note.role = sanitize(note.role);
        note.word = clipped(note.word);
        note.meaning = clipped(note.meaning);
        // Roles and error texts end up in the file and the report like the detail does.
        if (note.tally && note.tally->kind == AppTally::Update::Kind::axMiss)
            note.tally->role = sanitize(note.tally->role);
        if (note.tally && note.tally->kind == AppTally::Update::Kind::translation)
            note.tally->text = sanitize(note.tally->text);
        recordNow(reason, note, now);
    });
}

QCoro::Task<> DiagnosticLog::record(DiagnosticReason reason, Note note, QDateTime now)
{
    auto job = m_executor.run([this, reason, note = std::move(note), now] { recordNow(reason, note, now); });
    co_await job;
}

QCoro::Task<std::vector<DiagnosticLog::Entry>> DiagnosticLog::snapshot()
{
    auto job = m_executor.run([this] { return m_entries; });
    std::vector<Entry> entries = co_await job;
    co_return entries;
}

QCoro::Task<std::map<QString, AppTally>> DiagnosticLog::appTallies()
{
    auto job = m_executor.run([this] { return m_apps; });
    std::map<QString, AppTally> apps = co_await job;
    co_return apps;
}

QCoro::Task<std::vector<DiagnosticEvent>> DiagnosticLog::recordedEvents()
{
    auto job = m_executor.run([this] { return m_events; });
    std::vector<DiagnosticEvent> events = co_await job;
    co_return events;
}

QCoro::Task<> DiagnosticLog::reset()
{
    auto job = m_executor.run([this] {
        m_entries.clear();
        m_apps.clear();
        m_events.clear();
        m_changed = true;
        schedulePersist();
    });
    co_await job;
}

QCoro::Task<> DiagnosticLog::flushNow()
{
    auto job = m_executor.run([this] { persist(); });
    co_await job;
}

std::optional<QString> DiagnosticLog::setAsideAtStart()
{
    return m_executor.runBlocking([this] { return m_setAsideAs; });
}

bool DiagnosticLog::flushBeforeQuit(std::chrono::milliseconds timeout)
{
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    auto job = [this, done] {
        if (m_changed)
            persist();
        done->set_value();
    };
    if (m_executor.isCurrent()) {
        job();
        return true;
    }
    m_executor.post(std::move(job));
    return finished.wait_for(timeout) == std::future_status::ready;
}

void DiagnosticLog::load()
{
    PrivateFile::clearStrays(*m_filePath);
    const PrivateFile::Contents file = PrivateFile::read(*m_filePath, maxFileSize);
    if (file.presence == PrivateFile::Presence::missing)
        return;
    std::optional<DiagnosticLogFile::Contents> contents;
    if (file.presence != PrivateFile::Presence::read)
        qCWarning(lcDiagnostics).noquote() << "the diagnostics file cannot be read: it is" << file.reason;
    else if (!(contents = DiagnosticLogFile::decode(file.bytes)))
        qCWarning(lcDiagnostics, "the diagnostics file does not decode");
    if (!contents) {
        // Never written over, never written through: moved out of the way, and the log starts empty.
        // When even that fails the file is left alone, and the log is kept in memory this session.
        m_setAsideAs = PrivateFile::setAside(*m_filePath, m_clock->wallNow());
        if (!m_setAsideAs) {
            qCWarning(lcDiagnostics).noquote() << *m_filePath << "is left alone and not written this session";
            m_filePath.reset();
        }
        return;
    }
    m_entries = std::move(contents->entries);
    m_apps = std::move(contents->apps);
    m_events = std::move(contents->events);
}

void DiagnosticLog::recordNow(DiagnosticReason reason, const Note &note, const QDateTime &now)
{
    const QString detail = sanitize(note.detail);
    const QString app = sanitize(note.app);

    if (note.tally && !app.isEmpty()) {
        m_apps[app].apply(*note.tally);
        if (m_apps.size() > appLimit) {
            // The least active applications go; the newcomer among them if it is the quietest.
            std::vector<std::pair<QString, qint64>> activity;
            activity.reserve(m_apps.size());
            for (const auto &[key, tally] : m_apps)
                activity.emplace_back(key, tally.shown() + tally.readMisses());
            std::stable_sort(activity.begin(), activity.end(),
                             [](const auto &a, const auto &b) { return a.second < b.second; });
            const std::size_t excess = m_apps.size() - appLimit;
            for (std::size_t i = 0; i < excess; ++i)
                m_apps.erase(activity[i].first);
        }
    }

    bool newEntry = false;
    if (!m_entries.empty() && m_entries.back().reason == reason && m_entries.back().detail == detail
        && m_entries.back().app == app) {
        ++m_entries.back().count;
        m_entries.back().last = now;
    } else {
        m_entries.push_back(Entry {reason, detail, app, 1, now, now});
        if (m_entries.size() > limit)
            m_entries.erase(m_entries.begin(), m_entries.begin() + std::ptrdiff_t(m_entries.size() - limit));
        newEntry = true;
        // The log is read by people: the reason's label, as in the report; the stored files keep its raw name.
        const QByteArray label = DiagnosticReasons::label(reason).toUtf8();
        const QByteArray cleaned = detail.toUtf8();
        if (DiagnosticReasons::isRoutine(reason))
            qCDebug(lcOutcomes, "%s %s", label.constData(), cleaned.constData());
        else
            qCWarning(lcOutcomes, "%s %s", label.constData(), cleaned.constData());
    }

    const bool keepsExtra = reason != DiagnosticReason::shown && reason != DiagnosticReason::wordFiltered;
    m_events.push_back(DiagnosticEvent {
        now,
        app,
        reason,
        note.word,
        note.meaning,
        detail,
        note.role,
        keepsExtra ? detail : QString(),
        note.ms,
        note.ms && !note.stages.isEmpty() ? std::optional<QString>(note.stages) : std::nullopt,
    });
    while (m_events.size() > eventLimit) {
        auto skip = std::find_if(m_events.begin(), m_events.end(),
                                 [](const DiagnosticEvent &e) { return DiagnosticReasons::isSkip(e.reason); });
        m_events.erase(skip != m_events.end() ? skip : m_events.begin());
    }

    m_changed = true;
    // Skips are cheap and frequent: only a new one is worth a write.
    if (!DiagnosticReasons::isSkip(reason) || newEntry)
        schedulePersist();
}

void DiagnosticLog::schedulePersist()
{
    if (!m_filePath)
        return;
    const Clock::Instant now = m_clock->now();
    if (!m_persistScheduled)
        m_persistDeadline = now + maxPersistWait;
    else if (now >= m_persistDeadline)
        return; // the write that is due already takes this change along: it is not put off again
    const Clock::Duration delay = std::clamp<Clock::Duration>(m_persistDeadline - now, {}, m_persistDelay);
    m_persistTimer.cancel();
    const std::uint64_t generation = ++m_persistGeneration;
    m_persistScheduled = true;
    m_persistTimer = m_clock->schedule(delay, m_timerContext.get(), [this, generation] {
        m_executor.post([this, generation] {
            if (generation == m_persistGeneration)
                persist();
        });
    });
}

void DiagnosticLog::persist()
{
    m_persistTimer.cancel();
    ++m_persistGeneration;
    m_persistScheduled = false;
    if (!m_filePath)
        return;

    // The events hold words the user pointed at: a private file, never written through a link.
    const QByteArray bytes = DiagnosticLogFile::encode({m_entries, m_apps, m_events});
    const PrivateFile::Outcome outcome = PrivateFile::replace(*m_filePath, bytes);
    if (!outcome) {
        qCWarning(lcDiagnostics).noquote() << "diagnostics file not written:" << outcome.error;
        return;
    }
    m_changed = false;
}

} // namespace Lumivox
