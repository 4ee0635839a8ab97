#include "Fakes/FakeClock.h"
#include "Shared/Diagnostics/HoverTiming.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace std::chrono_literals;
using Stage = HoverTiming::Stage;

TEST(HoverTimingTest, StagesAreWholeMillisecondsSinceThePreviousMark)
{
    Testing::FakeClock clock;
    HoverTiming timing(clock.now());

    clock.advance(3ms);
    timing.mark(QStringLiteral("window"), clock.now());
    timing.mark(QStringLiteral("webax"), clock.now());
    clock.advance(1999us + 900ns);
    timing.mark(QStringLiteral("ax"), clock.now());
    clock.advance(140ms);
    timing.mark(QStringLiteral("translate"), clock.now());

    EXPECT_EQ(timing.stages,
              (std::vector<Stage> {{QStringLiteral("window"), 3},
                                   {QStringLiteral("webax"), 0},
                                   {QStringLiteral("ax"), 1},
                                   {QStringLiteral("translate"), 140}}));
    EXPECT_EQ(timing.lap, clock.now());

    // The total runs from the start, past the last mark, and may be read more than once.
    clock.advance(10ms);
    EXPECT_EQ(timing.total(clock.now()), 154);
    EXPECT_EQ(timing.total(clock.now()), 154);
}

TEST(HoverTimingTest, TotalWithoutMarksIsTheWholeTime)
{
    Testing::FakeClock clock;
    HoverTiming timing(clock.now());
    clock.advance(2500ms);
    EXPECT_EQ(timing.total(clock.now()), 2500);
    EXPECT_TRUE(timing.summary().isEmpty());
}

TEST(HoverTimingTest, SummaryJoinsStagesWithMiddleDots)
{
    EXPECT_EQ(HoverTiming::summary(
                  {{QStringLiteral("window"), 3}, {QStringLiteral("ax"), 12}, {QStringLiteral("translate"), 140}}),
              QStringLiteral("window 3 \u00B7 ax 12 \u00B7 translate 140"));
    EXPECT_EQ(HoverTiming::summary({{QStringLiteral("ocr"), 0}}), QStringLiteral("ocr 0"));
}

TEST(HoverTimingTest, EachHoverHasItsOwnSignpost)
{
    Testing::FakeClock clock;
    const HoverTiming a(clock.now());
    const HoverTiming b(clock.now());
    EXPECT_NE(a.signpostID, b.signpostID);
}
