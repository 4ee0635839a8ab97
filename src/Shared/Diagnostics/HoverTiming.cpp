#include "Shared/Diagnostics/HoverTiming.h"

#include <QLoggingCategory>
#include <QStringList>

#include <atomic>

// Debug output off by default: a hover writes several lines, which only a profiling session wants.
Q_LOGGING_CATEGORY(lcHover, "app.lumivox.Hover", QtInfoMsg)

namespace Lumivox {

namespace {

std::uint64_t nextSignpostID()
{
    static std::atomic<std::uint64_t> counter {0};
    return ++counter;
}

} // namespace

HoverTiming::HoverTiming(Clock::Instant now)
    : start(now)
    , lap(now)
    , signpostID(nextSignpostID())
{
    qCDebug(lcHover, "hover %llu Pause", static_cast<unsigned long long>(signpostID));
}

void HoverTiming::mark(const QString &name, Clock::Instant now)
{
    const qint64 ms = milliseconds(now - lap);
    stages.push_back(Stage {name, ms});
    lap = now;
    qCDebug(lcHover, "hover %llu Stage %s %lld ms", static_cast<unsigned long long>(signpostID), qUtf8Printable(name),
            static_cast<long long>(ms));
}

qint64 HoverTiming::total(Clock::Instant now) const
{
    const qint64 ms = milliseconds(now - start);
    qCDebug(lcHover, "hover %llu Outcome %lld ms", static_cast<unsigned long long>(signpostID),
            static_cast<long long>(ms));
    return ms;
}

QString HoverTiming::summary(const std::vector<Stage> &stages)
{
    QStringList parts;
    parts.reserve(qsizetype(stages.size()));
    for (const Stage &stage : stages)
        parts.append(stage.name + QLatin1Char(' ') + QString::number(stage.ms));
    return parts.join(QStringLiteral(" \u00B7 "));
}

qint64 HoverTiming::milliseconds(Clock::Duration duration)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

} // namespace Lumivox
