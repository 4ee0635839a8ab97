#include "Features/Words/WordDates.h"

#include <QLocale>

namespace Lumivox::WordDates {

namespace {

QString monthAndDay(const QDate &day)
{
    return QLocale().toString(day, QStringLiteral("MMM d"));
}

} // namespace

QString review(Date due, Date now, const Calendar &calendar)
{
    const auto today = calendar.day(now);
    const auto dueDay = calendar.day(due);
    if (due <= now || (today && dueDay && *today == *dueDay))
        return QStringLiteral("Today");
    if (!today || !dueDay)
        return QLocale().toString(due.toDateTime().date(), QStringLiteral("dddd"));
    if (today->addDays(1) == *dueDay)
        return QStringLiteral("Tomorrow");
    if (today->daysTo(*dueDay) > 6)
        return monthAndDay(*dueDay);
    return QLocale().toString(*dueDay, QStringLiteral("dddd"));
}

QString shortText(Date date, Date now, const Calendar &calendar)
{
    const auto today = calendar.day(now);
    const auto day = calendar.day(date);
    if (!day)
        return QString();
    if (today && *today == *day)
        return QStringLiteral("Today");
    if (today && today->addDays(-1) == *day)
        return QStringLiteral("Yesterday");
    const qint64 daysAgo = today ? day->daysTo(*today) : 0;
    if (daysAgo >= 1 && daysAgo <= 6)
        return QLocale().toString(*day, QStringLiteral("ddd"));
    if (today && today->year() == day->year())
        return monthAndDay(*day);
    return QLocale().toString(*day, QStringLiteral("MMM d, yyyy"));
}

QString withTime(Date date, Date now, const Calendar &calendar)
{
    const QTime time = date.toDateTime().toTimeZone(calendar.timeZone()).time();
    return shortText(date, now, calendar) + QStringLiteral(", ") + QLocale().toString(time, QLocale::ShortFormat);
}

} // namespace Lumivox::WordDates
