#include "Shared/Diagnostics/DiagnosticReport.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace Lumivox::DiagnosticReport {

namespace {

const QString times = QStringLiteral(" \u00D7 ");
constexpr std::size_t reportedEvents = 200;
constexpr std::size_t recentEntries = 20;

QString stamp(const QDateTime &date)
{
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString clock(const QDateTime &date, const QTimeZone &timeZone)
{
    return date.toTimeZone(timeZone).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString yesNo(bool value)
{
    return value ? QStringLiteral("yes") : QStringLiteral("no");
}

QString outcome(DiagnosticReason reason)
{
    return DiagnosticReasons::reportOutcome(reason);
}

QString appLabel(const QString &app)
{
    if (app.isEmpty())
        return QStringLiteral("unknown");
    if (app.contains(QLatin1String("opencode")))
        return QStringLiteral("OpenCode");
    const QStringList pieces = app.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    return pieces.isEmpty() ? app : pieces.last();
}

QString quoted(const QString &name, const QString &text)
{
    return name + QStringLiteral(" \"") + text + QLatin1Char('"');
}

QString eventLine(const DiagnosticEvent &event, const QTimeZone &timeZone)
{
    const QString result = outcome(event.reason);
    QStringList parts {clock(event.at, timeZone), appLabel(event.app), result};
    if (!event.word.isEmpty())
        parts.append(quoted(QStringLiteral("word"), event.word));
    if (event.reason == DiagnosticReason::shown) {
        if (!event.source.isEmpty())
            parts.append(event.source);
        if (!event.meaning.isEmpty())
            parts.append(quoted(QStringLiteral("meaning"), event.meaning));
    } else if (DiagnosticReasons::isSkip(event.reason)) {
        parts.append(DiagnosticReasons::label(event.reason));
        if (!event.extra.isEmpty())
            parts.append(event.extra);
    } else {
        parts.append(DiagnosticReasons::label(event.reason));
        if (!event.role.isEmpty())
            parts.append(QStringLiteral("role ") + event.role);
        if (!event.source.isEmpty())
            parts.append(event.source);
        if (!event.extra.isEmpty())
            parts.append(event.extra);
    }
    if (event.ms) {
        QString timing = QString::number(*event.ms) + QStringLiteral(" ms");
        if (event.stages && !event.stages->isEmpty())
            timing += QStringLiteral(" (") + *event.stages + QLatin1Char(')');
        parts.append(timing);
    }
    return QStringLiteral("  ") + parts.join(QStringLiteral("  "));
}

using ReasonSums = std::array<qint64, 26>;

ReasonSums sumsByReason(const std::vector<DiagnosticLog::Entry> &entries)
{
    ReasonSums sums {};
    for (const auto &entry : entries)
        sums[std::size_t(entry.reason)] += entry.count;
    return sums;
}

QStringList totals(const std::vector<DiagnosticLog::Entry> &entries)
{
    const ReasonSums sums = sumsByReason(entries);
    QStringList lines;
    for (DiagnosticReason reason : DiagnosticReasons::allCases()) {
        if (const qint64 sum = sums[std::size_t(reason)]; sum > 0)
            lines.append(QStringLiteral("  ") + DiagnosticReasons::label(reason) + times + QString::number(sum));
    }
    return lines;
}

// Only for a log without tallies (one loaded from the older file form).
QStringList appSummaries(const std::vector<DiagnosticLog::Entry> &entries)
{
    std::vector<std::pair<QString, ReasonSums>> apps;
    for (const auto &entry : entries) {
        if (entry.app.isEmpty())
            continue;
        auto it = std::find_if(apps.begin(), apps.end(), [&](const auto &a) { return a.first == entry.app; });
        if (it == apps.end())
            it = apps.insert(apps.end(), {entry.app, ReasonSums {}});
        it->second[std::size_t(entry.reason)] += entry.count;
    }
    const auto shownIndex = std::size_t(DiagnosticReason::shown);
    const auto ocrIndex = std::size_t(DiagnosticReason::ocrMiss);
    std::stable_sort(apps.begin(), apps.end(), [&](const auto &a, const auto &b) {
        const bool aShown = a.second[shownIndex] > 0;
        const bool bShown = b.second[shownIndex] > 0;
        if (aShown != bShown)
            return !aShown;
        if (a.second[ocrIndex] != b.second[ocrIndex])
            return a.second[ocrIndex] > b.second[ocrIndex];
        return a.first < b.first;
    });

    QStringList lines;
    for (const auto &[app, sums] : apps) {
        const qint64 shown = sums[shownIndex];
        QString line = QStringLiteral("  ") + app + QStringLiteral("  ")
            + (shown > 0 ? QStringLiteral("shown") + times + QString::number(shown) : QStringLiteral("never shown"));
        QStringList others;
        for (DiagnosticReason reason : DiagnosticReasons::allCases()) {
            const qint64 sum = sums[std::size_t(reason)];
            if (reason != DiagnosticReason::shown && sum > 0)
                others.append(DiagnosticReasons::label(reason) + times + QString::number(sum));
        }
        if (!others.isEmpty())
            line += QStringLiteral("  ") + others.join(QStringLiteral(", "));
        lines.append(line);
    }
    return lines;
}

// Applications where nothing was shown lead, the worst readers first, so support sees them at once.
QStringList tallyLines(const std::map<QString, AppTally> &apps)
{
    std::vector<const std::pair<const QString, AppTally> *> order;
    order.reserve(apps.size());
    for (const auto &pair : apps)
        order.push_back(&pair);
    std::stable_sort(order.begin(), order.end(), [](const auto *a, const auto *b) {
        const bool aNone = a->second.shown() == 0;
        const bool bNone = b->second.shown() == 0;
        if (aNone != bNone)
            return aNone;
        if (a->second.readMisses() != b->second.readMisses())
            return a->second.readMisses() > b->second.readMisses();
        return a->first < b->first;
    });
    QStringList lines;
    for (const auto *pair : order)
        lines.append(pair->second.reportLines(pair->first));
    return lines;
}

} // namespace

QString text(const std::vector<DiagnosticLog::Entry> &entries, const std::map<QString, AppTally> &apps,
             const std::vector<DiagnosticEvent> &events, const DiagnosticSnapshot &snapshot, const QTimeZone &timeZone)
{
    QStringList lines {
        QStringLiteral("Lumivox diagnostic report"),
        QStringLiteral("App: ") + snapshot.version
            + (snapshot.build.isEmpty() ? QString() : QStringLiteral(" (") + snapshot.build + QLatin1Char(')')),
        QStringLiteral("Linux: ") + snapshot.system,
    };
    if (!entries.empty()) {
        QDateTime earliest = entries.front().first;
        QDateTime latest = entries.front().last;
        for (const auto &entry : entries) {
            earliest = std::min(earliest, entry.first);
            latest = std::max(latest, entry.last);
        }
        lines.append(QStringLiteral("Collected: ") + stamp(earliest) + QStringLiteral(" \u2013 ") + stamp(latest)
                     + QStringLiteral(" UTC"));
    }

    lines.append(QString());
    lines.append(QStringLiteral("State"));
    lines.append(QStringLiteral("  enabled: ") + yesNo(snapshot.enabled));
    lines.append(QStringLiteral("  trigger: ") + snapshot.trigger);
    lines.append(QStringLiteral("  accessibility: ") + yesNo(snapshot.accessibility));
    lines.append(QStringLiteral("  screen capture: ") + yesNo(snapshot.screenRecording));
    lines.append(QStringLiteral("  translate to: ") + snapshot.targetLanguage);
    lines.append(QStringLiteral("  on-device language: ") + yesNo(snapshot.appleLanguage));
    lines.append(QStringLiteral("  google key: ") + yesNo(snapshot.hasGoogleKey));
    lines.append(QStringLiteral("  limit to selected apps: ")
                 + (snapshot.limitToSelectedApps
                        ? QStringLiteral("yes (") + QString::number(snapshot.allowedAppCount) + QLatin1Char(')')
                        : QStringLiteral("no")));

    lines.append(QString());
    lines.append(QStringLiteral("Events"));
    if (events.empty())
        lines.append(QStringLiteral("  (none)"));
    const std::size_t shownEvents = std::min(events.size(), reportedEvents);
    for (std::size_t i = 0; i < shownEvents; ++i)
        lines.append(eventLine(events[events.size() - 1 - i], timeZone));

    lines.append(QString());
    lines.append(QStringLiteral("What happened"));
    const QStringList happened = totals(entries);
    lines.append(happened.isEmpty() ? QStringList {QStringLiteral("  (no hovers recorded yet)")} : happened);

    lines.append(QString());
    lines.append(QStringLiteral("Apps"));
    const QStringList appLines = apps.empty() ? appSummaries(entries) : tallyLines(apps);
    lines.append(appLines.isEmpty() ? QStringList {QStringLiteral("  (no app recorded)")} : appLines);

    lines.append(QString());
    lines.append(QStringLiteral("Recent"));
    if (entries.empty())
        lines.append(QStringLiteral("  (none)"));
    const std::size_t shownEntries = std::min(entries.size(), recentEntries);
    for (std::size_t i = 0; i < shownEntries; ++i) {
        const auto &entry = entries[entries.size() - 1 - i];
        QString line = QStringLiteral("  ") + stamp(entry.last) + QStringLiteral("  ")
            + DiagnosticReasons::label(entry.reason) + times + QString::number(entry.count);
        if (!entry.app.isEmpty())
            line += QStringLiteral("  ") + entry.app;
        if (!entry.detail.isEmpty())
            line += QStringLiteral("  ") + entry.detail;
        lines.append(line);
    }

    return lines.join(QLatin1Char('\n'));
}

} // namespace Lumivox::DiagnosticReport
