#pragma once

// The short date texts of the Words windows. Days are calendar days of the given calendar, counted
// with QDate::daysTo between the dates the two moments fall on in its time zone, so a day across a
// change of clocks (23 or 25 hours) is still one day. Callers pass the current moment and
// Calendar::current() at every draw; nothing here is cached.

#include "Models/WordRecords.h"
#include "Services/Words/Calendar.h"

#include <QString>

namespace Lumivox::WordDates {

/// When a review falls due: "Today" (also for any moment already past), "Tomorrow", the weekday
/// within six days, else month and day.
QString review(Date due, Date now, const Calendar &calendar);

/// When something happened: "Today", "Yesterday", the short weekday within six days, month and day
/// this year, else month, day and year.
QString shortText(Date date, Date now, const Calendar &calendar);

/// shortText, a comma and the time of day: "Yesterday, 9:41 AM".
QString withTime(Date date, Date now, const Calendar &calendar);

} // namespace Lumivox::WordDates
