// The review reminder with the notification daemon of the private session (dunst): the daemon
// answers, and a reminder whose minute has come is on screen.

#include "Fakes/FakeClock.h"
#include "Fakes/FakeWordBookEnvironment.h"
#include "Native/Session/Notifications.h"
#include "Services/Words/ReviewReminder.h"
#include "Services/Words/WordBook.h"
#include "Support/TestSupport.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

int displayedByDunst()
{
    QProcess ctl;
    ctl.start(QStringLiteral("dunstctl"), {QStringLiteral("count"), QStringLiteral("displayed")});
    if (!ctl.waitForFinished(5000))
        return -1;
    return QString::fromUtf8(ctl.readAllStandardOutput()).trimmed().toInt();
}

class ReviewReminderSystemTest : public ::testing::Test, public WordBookEnvironment
{
};

} // namespace

TEST_F(ReviewReminderSystemTest, TheDaemonAnswersAndShowsTheReminderWhenItsMinuteComes)
{
    ReviewReminder reminder(Native::Notifications::overDBus(), clock);
    ASSERT_TRUE(Testing::await(reminder.requestPermission())) << "the session's notification daemon did not answer";
    const int before = displayedByDunst();
    ASSERT_GE(before, 0) << "dunstctl did not answer";

    const std::unique_ptr<WordBook> book = makeBook();
    book->setRemindsToReview(true);
    const Date now = Date::fromWallTime(clock->wallNow());
    book->save(lookup(QStringLiteral("river"), now), now);
    reminder.update(*book, now);
    ASSERT_TRUE(reminder.pending());
    clock->setWallNow(reminder.pending()->wallTime());
    clock->advance(1min);
    EXPECT_FALSE(reminder.pending());
    EXPECT_TRUE(spinUntil([&] { return displayedByDunst() > before; }, 5000ms));
}
