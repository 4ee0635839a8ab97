#pragma once

// The spaced-repetition rules of the word book: when a newly saved word is first due, where each
// answer moves it, the short text that says so, and which saved words make up today's review.
// Days are calendar days of the given calendar (the user's, in the program).

#include "Models/ReviewAnswer.h"
#include "Models/WordRecords.h"
#include "Services/Words/Calendar.h"

#include <QString>

#include <array>
#include <vector>

namespace Lumivox::ReviewSchedule {

/// Days until the next review after "got it", by the streak before the answer.
inline constexpr std::array<int, 3> gotItDays {4, 9, 21};

/// The due date of a learned word: 4001-01-01 00:00:00 UTC, later than any real review.
inline constexpr Date distantFuture {63'113'904'000.0};

/// The later of the next midnight and eight hours after saving, so a word saved late in the evening
/// is not due in the middle of the night.
Date firstDue(Date savedAt, const Calendar &calendar);

/// The state after answering at `now`. The next due date counts from the answer, never from the
/// old due date.
ReviewState next(const ReviewState &state, ReviewAnswer answer, Date now, const Calendar &calendar);

/// When the word comes back after that answer, from its state before it: "in 10 minutes",
/// "tomorrow", "in 4 days", "in 3 weeks", "learned".
QString label(ReviewAnswer answer, const ReviewState &state);

/// Today's review: every due word already reviewed today, then new due words up to what is left of
/// the daily limit after the reviews done today. Earliest due first; equal due dates keep the
/// words' order.
std::vector<SavedWord> queue(const std::vector<SavedWord> &words, Date now, qint64 limit, const Calendar &calendar);

} // namespace Lumivox::ReviewSchedule
