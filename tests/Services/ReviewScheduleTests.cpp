#include "Fakes/FakeWordBookEnvironment.h"
#include "Services/Words/ReviewSchedule.h"

#include <gtest/gtest.h>

#include <ctime>
#include <limits>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

const QTimeZone berlin("Europe/Berlin");
const Calendar calendar(berlin);

Date at(int year, int month, int day, int hour, int minute = 0)
{
    return localDate(berlin, year, month, day, hour, minute);
}

double hoursBetween(Date a, Date b)
{
    return (b.secondsSinceReferenceDate - a.secondsSinceReferenceDate) / 3600.0;
}

SavedWord word(const QString &text, Date due, std::optional<Date> lastReviewed = std::nullopt, bool learned = false)
{
    SavedWord w;
    w.id = QUuid::createUuid();
    w.word = text;
    w.target = QStringLiteral("es");
    w.review = ReviewState {0, due, lastReviewed, learned};
    return w;
}

QStringList words(const std::vector<SavedWord> &queue)
{
    QStringList out;
    for (const SavedWord &w : queue)
        out.append(w.word);
    return out;
}

} // namespace

TEST(ReviewSchedule, AWordIsFirstDueAtTheLaterOfNextMidnightAndEightHours)
{
    EXPECT_EQ(ReviewSchedule::firstDue(at(2025, 5, 6, 23, 30), calendar), at(2025, 5, 7, 7, 30));
    EXPECT_EQ(ReviewSchedule::firstDue(at(2025, 5, 6, 0, 30), calendar), at(2025, 5, 7, 0, 0));
    EXPECT_EQ(ReviewSchedule::firstDue(at(2025, 5, 6, 10, 0), calendar), at(2025, 5, 7, 0, 0));
    EXPECT_EQ(ReviewSchedule::firstDue(at(2025, 5, 6, 20, 0), calendar), at(2025, 5, 7, 4, 0));
    EXPECT_EQ(ReviewSchedule::firstDue(at(2025, 5, 6, 16, 0), calendar), at(2025, 5, 7, 0, 0)) << "both at once";

    // Eight hours are eight real hours, whatever the clocks do that night; midnight is the wall's.
    EXPECT_EQ(ReviewSchedule::firstDue(at(2024, 3, 30, 18, 0), calendar), at(2024, 3, 31, 3, 0));
    EXPECT_EQ(ReviewSchedule::firstDue(at(2024, 10, 26, 20, 0), calendar), at(2024, 10, 27, 3, 0));
    EXPECT_EQ(ReviewSchedule::firstDue(at(2024, 3, 31, 10, 0), calendar), at(2024, 4, 1, 0, 0));
}

TEST(ReviewSchedule, EachAnswerCountsFromTheMomentOfTheAnswer)
{
    const Date now = at(2025, 5, 6, 14, 10);
    ReviewState state {0, at(2025, 5, 1, 0, 0), std::nullopt, false};

    QStringList labels;
    std::vector<double> days;
    for (int i = 0; i < 4; ++i) {
        labels.append(ReviewSchedule::label(ReviewAnswer::gotIt, state));
        const ReviewState next = ReviewSchedule::next(state, ReviewAnswer::gotIt, now, calendar);
        EXPECT_EQ(next.lastReviewed, now);
        EXPECT_EQ(next.streak, i + 1);
        days.push_back(hoursBetween(now, next.due) / 24);
        state = next;
    }
    EXPECT_EQ(labels,
              (QStringList {QStringLiteral("in 4 days"), QStringLiteral("in 9 days"), QStringLiteral("in 3 weeks"),
                            QStringLiteral("learned")}));
    EXPECT_EQ(std::vector<double>(days.begin(), days.end() - 1), (std::vector<double> {4, 9, 21}));
    EXPECT_TRUE(state.learned);
    EXPECT_EQ(state.due, ReviewSchedule::distantFuture);

    // "again" on a learned word brings it back in ten minutes but leaves it learned, so it is not queued.
    const ReviewState again = ReviewSchedule::next(state, ReviewAnswer::again, now, calendar);
    EXPECT_EQ(again, (ReviewState {0, plusSeconds(now, 600), now, true}));
    EXPECT_TRUE(
        ReviewSchedule::queue({word(QStringLiteral("x"), again.due, now, true)}, plusSeconds(now, 900), 8, calendar)
            .empty());
    EXPECT_EQ(ReviewSchedule::label(ReviewAnswer::again, state), QStringLiteral("in 10 minutes"));

    const ReviewState hard = ReviewSchedule::next({2, now, std::nullopt, false}, ReviewAnswer::hard, now, calendar);
    EXPECT_EQ(hard, (ReviewState {0, at(2025, 5, 7, 14, 10), now, false}));
    EXPECT_EQ(ReviewSchedule::label(ReviewAnswer::hard, state), QStringLiteral("tomorrow"));
}

TEST(ReviewSchedule, DaysAreCalendarDaysAcrossDaylightSavingChanges)
{
    const ReviewState fresh {0, Date {}, std::nullopt, false};
    // Spring forward: "tomorrow" is 23 hours away; a time the clocks skip moves on by the gap.
    EXPECT_EQ(ReviewSchedule::next(fresh, ReviewAnswer::hard, at(2024, 3, 30, 12, 0), calendar).due,
              at(2024, 3, 31, 12, 0));
    EXPECT_EQ(hoursBetween(at(2024, 3, 30, 12, 0), at(2024, 3, 31, 12, 0)), 23);
    EXPECT_EQ(ReviewSchedule::next(fresh, ReviewAnswer::hard, at(2024, 3, 30, 2, 30), calendar).due,
              at(2024, 3, 31, 3, 30));
    // Fall back: a time the clocks repeat is its first instance; four days hold 97 hours.
    EXPECT_EQ(ReviewSchedule::next(fresh, ReviewAnswer::hard, at(2024, 10, 26, 2, 30), calendar).due,
              utcDate(2024, 10, 27, 0, 30));
    const Date answered = at(2024, 10, 25, 12, 0);
    const Date due = ReviewSchedule::next(fresh, ReviewAnswer::gotIt, answered, calendar).due;
    EXPECT_EQ(due, at(2024, 10, 29, 12, 0));
    EXPECT_EQ(hoursBetween(answered, due), 97);
    // Fractions of a second survive the calendar.
    const Date precise = plusSeconds(answered, 0.000123);
    const Date nextDay = ReviewSchedule::next(fresh, ReviewAnswer::hard, precise, calendar).due;
    EXPECT_NEAR(nextDay.secondsSinceReferenceDate - at(2024, 10, 26, 12, 0).secondsSinceReferenceDate, 0.000123, 1e-6);
    // A day is the wall clock's: the 25-hour day of the change is one day, midnight starts the next.
    EXPECT_TRUE(calendar.isSameDay(at(2024, 10, 27, 0, 1), at(2024, 10, 27, 23, 59)));
    EXPECT_FALSE(calendar.isSameDay(at(2024, 10, 26, 23, 59), at(2024, 10, 27, 0, 1)));
}

TEST(ReviewSchedule, AStreakFromAHandEditedFileNeverLeavesTheIntervalTable)
{
    const Date now = at(2025, 5, 6, 9, 0);
    const ReviewState negative {-5, now, std::nullopt, false};
    EXPECT_EQ(ReviewSchedule::label(ReviewAnswer::gotIt, negative), QStringLiteral("in 4 days"));
    const ReviewState next = ReviewSchedule::next(negative, ReviewAnswer::gotIt, now, calendar);
    EXPECT_EQ(next.streak, 1);
    EXPECT_EQ(next.due, at(2025, 5, 10, 9, 0));

    const ReviewState huge {std::numeric_limits<qint64>::max(), now, std::nullopt, false};
    EXPECT_EQ(ReviewSchedule::label(ReviewAnswer::gotIt, huge), QStringLiteral("learned"));
    const ReviewState learned = ReviewSchedule::next(huge, ReviewAnswer::gotIt, now, calendar);
    EXPECT_TRUE(learned.learned);
    EXPECT_EQ(learned.streak, std::numeric_limits<qint64>::max());
}

TEST(ReviewSchedule, TheQueuePutsTodaysReviewsFirstAndLimitsNewWords)
{
    const Date now = at(2025, 5, 6, 18, 0);
    const Date thisMorning = at(2025, 5, 6, 8, 0);
    const Date yesterday = at(2025, 5, 5, 23, 59);
    std::vector<SavedWord> book;
    // Eight reviews done today; two of them are due again.
    for (int i = 0; i < 6; ++i)
        book.push_back(word(QStringLiteral("done%1").arg(i), at(2025, 5, 10, 0, 0), thisMorning));
    book.push_back(word(QStringLiteral("again1"), plusSeconds(thisMorning, 600), thisMorning));
    book.push_back(word(QStringLiteral("again2"), plusSeconds(thisMorning, 300), thisMorning));
    book.push_back(word(QStringLiteral("new1"), at(2025, 5, 6, 0, 0)));
    book.push_back(word(QStringLiteral("old"), at(2025, 5, 6, 0, 0), yesterday));
    book.push_back(word(QStringLiteral("new2"), at(2025, 5, 6, 0, 0)));
    book.push_back(word(QStringLiteral("exactlyNow"), now));
    book.push_back(word(QStringLiteral("future"), plusSeconds(now, 1)));
    book.push_back(word(QStringLiteral("learned"), thisMorning, std::nullopt, true));

    EXPECT_EQ(words(ReviewSchedule::queue(book, now, 8, calendar)),
              (QStringList {QStringLiteral("again2"), QStringLiteral("again1")}));
    EXPECT_EQ(words(ReviewSchedule::queue(book, now, 0, calendar)),
              words(ReviewSchedule::queue(book, now, 8, calendar)));
    EXPECT_EQ(words(ReviewSchedule::queue(book, now, 10, calendar)),
              (QStringList {QStringLiteral("again2"), QStringLiteral("again1"), QStringLiteral("new1"),
                            QStringLiteral("old")}));
    EXPECT_EQ(words(ReviewSchedule::queue(book, now, 100, calendar)),
              (QStringList {QStringLiteral("again2"), QStringLiteral("again1"), QStringLiteral("new1"),
                            QStringLiteral("old"), QStringLiteral("new2"), QStringLiteral("exactlyNow")}));
    EXPECT_TRUE(ReviewSchedule::queue({}, now, 8, calendar).empty());
}

TEST(ReviewSchedule, DatesBeyondAnyCalendarFallBackToFixedDays)
{
    for (const double seconds : {-1.0e14, -4.0e12, 4.0e12, 1.0e14}) {
        const Date date {seconds};
        EXPECT_GE(ReviewSchedule::firstDue(date, calendar), plusSeconds(date, 8 * 3600));
        const ReviewState next = ReviewSchedule::next({0, date, date, false}, ReviewAnswer::hard, date, calendar);
        EXPECT_GT(next.due, date);
        EXPECT_EQ(ReviewSchedule::queue({word(QStringLiteral("w"), date, date)}, date, 1, calendar).size(), 1u);
    }
}

TEST(ReviewSchedule, TheUsersCalendarFollowsTheSystemZone)
{
    const QByteArray saved = qgetenv("TZ");
    qputenv("TZ", "America/Sao_Paulo");
    ::tzset();
    EXPECT_EQ(Calendar::current().timeZone().id(), QByteArray("America/Sao_Paulo"));
    // A day there that starts at 01:00: midnight was skipped.
    const QTimeZone saoPaulo("America/Sao_Paulo");
    EXPECT_EQ(Calendar::current().startOfDay(localDate(saoPaulo, 2018, 11, 4, 12, 0)),
              localDate(saoPaulo, 2018, 11, 4, 1, 0));
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    ::tzset();
}
