#pragma once

// Calendar arithmetic in the user's time zone: where a day starts, adding calendar days, and whether
// two moments fall on the same day. A "day" here is a day on the wall clock, so across a
// daylight-saving change it may last 23 or 25 hours.
//
// Dates far outside what a time zone can place (only a hand-edited file holds them) give no result,
// and callers fall back to fixed 86,400-second days.

#include "Models/WordRecords.h"

#include <QDate>
#include <QTimeZone>

#include <optional>

namespace Lumivox {

class Calendar
{
public:
    explicit Calendar(QTimeZone zone);

    /// The system's time zone as it is now; read afresh so that a change of zone is followed.
    static Calendar current();

    const QTimeZone &timeZone() const { return m_zone; }

    /// The day (in this zone) on which the moment falls.
    std::optional<QDate> day(Date date) const;
    /// The first moment of the moment's day; not always midnight where a change of clocks skips it.
    std::optional<Date> startOfDay(Date date) const;
    /// The same wall-clock time `days` days later (earlier when negative). A time that the clocks
    /// skip on that day moves forward by the skipped span; a repeated time takes its first instance.
    /// Fractions of a second are kept.
    std::optional<Date> addingDays(qint64 days, Date date) const;
    bool isSameDay(Date a, Date b) const;

private:
    /// Milliseconds since 1970 of that wall-clock time on that day.
    std::optional<qint64> instant(QDate day, QTime time) const;

    QTimeZone m_zone;
};

} // namespace Lumivox
