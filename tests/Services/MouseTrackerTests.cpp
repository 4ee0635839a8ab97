#include "Fakes/FakeClock.h"
#include "Fakes/FakeInput.h"
#include "Services/Detection/MouseTracker.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace std::chrono_literals;
using Native::InputEvent;

namespace {

class MouseTrackerTest : public ::testing::Test
{
protected:
    MouseTrackerTest()
    {
        QObject::connect(tracker.get(), &MouseTracker::positionChanged, [this](QPointF p) { moves.push_back(p); });
        QObject::connect(tracker.get(), &MouseTracker::pointerRested, [this](QPointF p) {
            stills.push_back(p);
            stillAt.push_back(clock->now());
        });
        QObject::connect(tracker.get(), &MouseTracker::modifiersChanged,
                         [this](Native::ModifierFlags f, QPointF p) { modifiers.emplace_back(f, p); });
    }

    // The pointer is somewhere new and the desktop says it moved.
    void moveTo(double x, double y)
    {
        input->setLocation(QPointF(x, y));
        tracker->handleEvent(InputEvent {InputEvent::Type::mouseMoved, 0});
    }

    std::shared_ptr<Testing::FakeInput> input = std::make_shared<Testing::FakeInput>();
    std::shared_ptr<Testing::FakeClock> clock = std::make_shared<Testing::FakeClock>();
    std::unique_ptr<MouseTracker> tracker = std::make_unique<MouseTracker>(input, clock);
    std::vector<QPointF> moves;
    std::vector<QPointF> stills;
    std::vector<Clock::Instant> stillAt;
    std::vector<std::pair<Native::ModifierFlags, QPointF>> modifiers;
};

} // namespace

TEST_F(MouseTrackerTest, AMoveOfThreePointsIsReportedAndLessIsIgnoredEntirely)
{
    moveTo(3, 0); // exactly 3 from (0, 0): squared distance 9
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(tracker->lastLocation(), QPointF(3, 0));
    const Clock::Instant firstMove = clock->now();

    clock->advance(100ms);
    moveTo(3 + 2.9, 0); // under the threshold: not reported, and the timer keeps its due time
    moveTo(3 + 1.8, 2.3); // 2.92 away from the last reported location
    EXPECT_EQ(moves.size(), 1u);
    clock->advance(30ms);
    ASSERT_EQ(stills.size(), 1u);
    EXPECT_EQ(stillAt.front() - firstMove, std::chrono::duration_cast<Clock::Duration>(130ms));
    // Stillness reports where the pointer is now, not the last reported location.
    EXPECT_EQ(stills.front(), QPointF(4.8, 2.3));
    EXPECT_EQ(tracker->lastLocation(), QPointF(3, 0));
}

TEST_F(MouseTrackerTest, ABurstGivesOneStillnessAfterItsLastMoveWithOneTimer)
{
    Clock::Instant lastMove;
    for (int i = 1; i <= 20; ++i) {
        moveTo(10.0 * i, 0);
        lastMove = clock->now();
        EXPECT_LE(clock->pendingCount(), 1u) << "every move must reuse the one timer";
        clock->advance(50ms);
    }
    clock->advance(1s);
    ASSERT_EQ(stills.size(), 1u);
    EXPECT_EQ(stillAt.front() - lastMove, std::chrono::duration_cast<Clock::Duration>(130ms));
    EXPECT_EQ(moves.size(), 20u);
    EXPECT_EQ(clock->pendingCount(), 0u);
}

TEST_F(MouseTrackerTest, ModifierChangesPassThroughWithoutTouchingStillness)
{
    moveTo(50, 50);
    clock->advance(200ms);
    ASSERT_EQ(stills.size(), 1u);

    input->setLocation(QPointF(51, 50)); // drift under the threshold
    const Native::ModifierFlags held = Native::Modifier::option | Native::Modifier::capsLock;
    tracker->handleEvent(InputEvent {InputEvent::Type::flagsChanged, held});
    ASSERT_EQ(modifiers.size(), 1u);
    EXPECT_EQ(modifiers.front().first, held); // passed on as they came, caps lock included
    EXPECT_EQ(modifiers.front().second, QPointF(51, 50));
    EXPECT_EQ(tracker->lastLocation(), QPointF(50, 50));
    clock->advance(1s);
    EXPECT_EQ(stills.size(), 1u);
}

TEST_F(MouseTrackerTest, StopSilencesAPendingStillness)
{
    moveTo(10, 10);
    tracker->stop();
    clock->advance(1s);
    EXPECT_TRUE(stills.empty());

    // Stopped by a receiver of its own move signal: no stillness afterwards either.
    auto stopping = QObject::connect(tracker.get(), &MouseTracker::positionChanged, [this] { tracker->stop(); });
    moveTo(40, 40);
    clock->advance(1s);
    EXPECT_TRUE(stills.empty());
    QObject::disconnect(stopping);

    // Destroyed by a receiver: nothing touches it afterwards.
    QObject::connect(tracker.get(), &MouseTracker::positionChanged, [this] { tracker.reset(); });
    moveTo(80, 80);
    EXPECT_FALSE(tracker);
    clock->advance(1s);
    EXPECT_TRUE(stills.empty());
}

TEST_F(MouseTrackerTest, HeldKeysAreReducedToTheFourAHoldKeyCanBe)
{
    input->setFlags(Native::Modifier::option | Native::Modifier::capsLock | Native::Modifier::numericPad);
    EXPECT_EQ(tracker->currentFlags(), Native::Modifier::option);
    input->setFlags(Native::Modifier::control | Native::Modifier::command | Native::Modifier::shift);
    EXPECT_EQ(tracker->currentFlags(), Native::Modifier::control | Native::Modifier::command | Native::Modifier::shift);
}

TEST_F(MouseTrackerTest, StartInATestHostInstallsNothing)
{
    input->setLocation(QPointF(300, 300));
    tracker->start();
    EXPECT_EQ(input->monitorsAdded(), 0);
    EXPECT_EQ(input->locationReads(), 0);
    EXPECT_EQ(tracker->lastLocation(), QPointF(0, 0));
    tracker->stop(); // harmless when nothing is installed
    tracker->stop();
}
