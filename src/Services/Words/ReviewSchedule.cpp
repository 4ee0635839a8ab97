#include "Services/Words/ReviewSchedule.h"

#include <algorithm>
#include <limits>

namespace Lumivox::ReviewSchedule {

namespace {

constexpr double secondsPerDay = 86'400;

// A streak only ever grows from 0, but a hand-edited file may hold anything: below zero counts as a
// new word, so the interval table is never indexed outside its range.
qint64 effectiveStreak(const ReviewState &state)
{
    return std::max<qint64>(state.streak, 0);
}

bool isLearnedAfterGotIt(qint64 streak)
{
    return streak >= qint64(gotItDays.size());
}

Date plusSeconds(Date date, double seconds)
{
    return Date {date.secondsSinceReferenceDate + seconds};
}

Date plusDays(Date date, int days, const Calendar &calendar)
{
    return calendar.addingDays(days, date).value_or(plusSeconds(date, days * secondsPerDay));
}

} // namespace

Date firstDue(Date savedAt, const Calendar &calendar)
{
    Date nextMidnight = plusSeconds(savedAt, secondsPerDay);
    if (const auto start = calendar.startOfDay(savedAt)) {
        if (const auto next = calendar.addingDays(1, *start))
            nextMidnight = *next;
    }
    return std::max(nextMidnight, plusSeconds(savedAt, 8 * 3600));
}

ReviewState next(const ReviewState &state, ReviewAnswer answer, Date now, const Calendar &calendar)
{
    ReviewState result = state;
    result.lastReviewed = now;
    switch (answer) {
    case ReviewAnswer::again:
        result.streak = 0;
        result.due = plusSeconds(now, 600);
        break;
    case ReviewAnswer::hard:
        result.streak = 0;
        result.due = plusDays(now, 1, calendar);
        break;
    case ReviewAnswer::gotIt: {
        const qint64 streak = effectiveStreak(state);
        result.streak = streak == std::numeric_limits<qint64>::max() ? streak : streak + 1;
        if (isLearnedAfterGotIt(streak)) {
            result.learned = true;
            result.due = distantFuture;
        } else {
            result.due = plusDays(now, gotItDays[std::size_t(streak)], calendar);
        }
        break;
    }
    }
    return result;
}

QString label(ReviewAnswer answer, const ReviewState &state)
{
    switch (answer) {
    case ReviewAnswer::again:
        return QStringLiteral("in 10 minutes");
    case ReviewAnswer::hard:
        return QStringLiteral("tomorrow");
    case ReviewAnswer::gotIt:
        break;
    }
    const qint64 streak = effectiveStreak(state);
    if (isLearnedAfterGotIt(streak))
        return QStringLiteral("learned");
    const int days = gotItDays[std::size_t(streak)];
    if (days % 7 == 0)
        return QStringLiteral("in %1 weeks").arg(days / 7);
    return QStringLiteral("in %1 days").arg(days);
}

std::vector<SavedWord> queue(const std::vector<SavedWord> &words, Date now, qint64 limit, const Calendar &calendar)
{
    const auto today = calendar.day(now);
    const auto reviewedToday = [&](const SavedWord &word) {
        return today && word.review.lastReviewed && calendar.day(*word.review.lastReviewed) == today;
    };

    std::vector<const SavedWord *> due;
    qint64 doneToday = 0;
    for (const SavedWord &word : words) {
        if (reviewedToday(word))
            ++doneToday;
        if (!word.review.learned && word.review.due <= now)
            due.push_back(&word);
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const SavedWord *a, const SavedWord *b) { return a->review.due < b->review.due; });

    std::vector<SavedWord> result;
    std::vector<const SavedWord *> fresh;
    for (const SavedWord *word : due) {
        if (reviewedToday(*word))
            result.push_back(*word);
        else
            fresh.push_back(word);
    }
    const qint64 room = limit > doneToday ? limit - doneToday : 0;
    const std::size_t take = room >= qint64(fresh.size()) ? fresh.size() : std::size_t(room);
    for (std::size_t i = 0; i < take; ++i)
        result.push_back(*fresh[i]);
    return result;
}

} // namespace Lumivox::ReviewSchedule
