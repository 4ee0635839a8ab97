#include "Services/Words/Calendar.h"

#include <QDateTime>

namespace Lumivox {

namespace {

// QDate counts days in a 64-bit integer but QDateTime's milliseconds overflow far sooner; a year
// this far out is already beyond any date the book could mean.
constexpr qint64 maxDaysToAdd = 100'000'000;

} // namespace

Calendar::Calendar(QTimeZone zone)
    : m_zone(zone.isValid() ? std::move(zone) : QTimeZone::utc())
{ }

Calendar Calendar::current()
{
    return Calendar(QTimeZone::systemTimeZone());
}

std::optional<QDate> Calendar::day(Date date) const
{
    const QDateTime local = date.toDateTime().toTimeZone(m_zone);
    if (!local.isValid() || !local.date().isValid())
        return std::nullopt;
    return local.date();
}

std::optional<Date> Calendar::startOfDay(Date date) const
{
    const auto local = day(date);
    if (!local)
        return std::nullopt;
    const QDateTime start = local->startOfDay(m_zone);
    if (!start.isValid())
        return std::nullopt;
    return Date::fromDateTime(start);
}

std::optional<Date> Calendar::addingDays(qint64 days, Date date) const
{
    if (days > maxDaysToAdd || days < -maxDaysToAdd)
        return std::nullopt;
    const QDateTime local = date.toDateTime().toTimeZone(m_zone);
    if (!local.isValid())
        return std::nullopt;
    const QDate day = local.date().addDays(days);
    if (!day.isValid())
        return std::nullopt;
    const auto moved = instant(day, local.time());
    if (!moved)
        return std::nullopt;
    // Work on the difference so that the stored date's sub-millisecond part survives.
    const qint64 deltaMs = *moved - local.toMSecsSinceEpoch();
    return Date {date.secondsSinceReferenceDate + double(deltaMs) / 1000.0};
}

// Qt resolves wall times inside a change of clocks differently from version to version, so the
// rule is spelled out here: of the offsets in force a day before and a day after, the earliest
// instant that really shows this wall time; a time the clocks skip is read with the offset from
// before the change, which lands it as far past the gap as it was into it.
std::optional<qint64> Calendar::instant(QDate day, QTime time) const
{
    const QDateTime wall(day, time, QTimeZone::utc());
    if (!wall.isValid())
        return std::nullopt;
    const qint64 wallMs = wall.toMSecsSinceEpoch();
    const int before = m_zone.offsetFromUtc(wall.addDays(-1));
    const int after = m_zone.offsetFromUtc(wall.addDays(1));
    std::optional<qint64> earliest;
    for (const int offset : {before, after}) {
        const qint64 ms = wallMs - qint64(offset) * 1000;
        if (m_zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc())) == offset
            && (!earliest || ms < *earliest)) {
            earliest = ms;
        }
    }
    return earliest.value_or(wallMs - qint64(before) * 1000);
}

bool Calendar::isSameDay(Date a, Date b) const
{
    const auto dayA = day(a);
    const auto dayB = day(b);
    return dayA && dayB && *dayA == *dayB;
}

} // namespace Lumivox
