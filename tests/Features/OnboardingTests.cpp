// The first-run guide over a coordinator of fakes: the demonstration's loop, the steps and their
// buttons, Return, the once-a-second permission poll, the word filter's picture following its
// switch, reduced motion, and the owner's rule for showing it again. Widgets run offscreen.

#include "Fakes/FakeCoordinator.h"
#include "Fakes/FakeMotionPreference.h"
#include "Features/Onboarding/OnboardingWindowOwner.h"
#include "Features/Onboarding/Views/OnboardingDemos.h"
#include "Features/Onboarding/Views/OnboardingWindow.h"
#include "Features/Settings/Views/PermissionRowView.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::Testing;
using namespace std::chrono_literals;

namespace {

TEST(DemoPhase, TheLoopLastsFivePointSevenSecondsAndComesBackToEveryFrame)
{
    std::chrono::milliseconds cycle {0};
    for (DemoPhase phase : Demo::allPhases) {
        DemoPhase walked = phase;
        for (int i = 0; i < 5; ++i)
            walked = Demo::next(walked);
        EXPECT_EQ(walked, phase);
        EXPECT_NE(Demo::next(phase), phase);
        cycle += Demo::duration(phase);
    }
    EXPECT_EQ(cycle, 5700ms);
    EXPECT_EQ(Demo::next(DemoPhase::released), DemoPhase::idle);
    // The mini steps follow the gesture: none at rest, then hold, point, read (also after release).
    std::vector<std::optional<int>> steps;
    for (DemoPhase phase : Demo::allPhases)
        steps.push_back(Demo::activeStep(phase));
    EXPECT_EQ(steps, (std::vector<std::optional<int>> {std::nullopt, 1, 2, 3, 3}));
}

class OnboardingTest : public ::testing::Test, protected CoordinatorOverFakes
{
protected:
    std::shared_ptr<FakeMotionPreference> motion = std::make_shared<FakeMotionPreference>();
    Appearance appearance {std::nullopt};

    std::unique_ptr<OnboardingWindow> makeWindow()
    {
        return std::make_unique<OnboardingWindow>(*controller, motion, clock, appearance);
    }
};

TEST_F(OnboardingTest, StepsMoveOnlyWithinTheFourAndReturnPressesTheMainButton)
{
    // Registered outside the program: the last step shows the real state, not the remembered one.
    ASSERT_TRUE(loginItem->setEnabled(true));
    const auto window = makeWindow();
    EXPECT_EQ(window->windowType(), Qt::Dialog);
    windows->onboardingVisible = true;
    window->show();
    ASSERT_FALSE(controller->launchAtLogin()) << "the first step leaves it alone";
    OnboardingModel &model = *window->model();
    EXPECT_TRUE(window->backButton()->isHidden()) << "no Back on the first step";
    EXPECT_EQ(window->pageDots()->accessibleName(), QStringLiteral("Step 1 of 4"));

    // Going outside the four steps is ignored, from either end.
    for (int outside : {-1, 4, 99})
        model.go(outside);
    EXPECT_EQ(model.step(), OnboardingModel::Step::howItWorks);
    model.back();
    EXPECT_EQ(model.stepIndex(), 0);

    const std::vector<QString> titles {QStringLiteral("Continue"), QStringLiteral("Continue"),
                                       QStringLiteral("Continue"), QStringLiteral("Done")};
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(window->pages()->currentIndex(), step);
        EXPECT_EQ(window->primaryButton()->text(), titles[size_t(step)]);
        EXPECT_EQ(window->backButton()->isHidden(), step == 0);
        EXPECT_FALSE(defaults->boolValue(QStringLiteral("hasCompletedOnboarding")));
        EXPECT_EQ(controller->launchAtLogin(), step == 3);
        QTest::keyClick(window.get(), Qt::Key_Return);
    }
    // Return on the last step is Done: stored, and the window asked to close.
    EXPECT_TRUE(defaults->boolValue(QStringLiteral("hasCompletedOnboarding")));
    EXPECT_FALSE(windows->onboardingVisible);
    model.go(3);
    model.go(4);
    EXPECT_EQ(model.stepIndex(), 3);
    window->backButton()->click();
    EXPECT_EQ(model.stepIndex(), 2);
}

TEST_F(OnboardingTest, APermissionGrantedElsewhereShowsWithinASecondAndNothingRunsOnceClosed)
{
    grant(false, false);
    const auto window = makeWindow();
    window->show();
    window->model()->go(2);
    EXPECT_FALSE(window->accessibilityRow()->isGranted());
    // Each row says how much its permission matters, granted or not, before how to turn it on.
    const auto detail = [](const QWidget *row) {
        QStringList out;
        for (const QLabel *label : row->findChildren<QLabel *>())
            out.append(label->text());
        return out.join(u'|');
    };
    EXPECT_TRUE(detail(window->accessibilityRow()).contains(QStringLiteral("Required\nTurns on")))
        << detail(window->accessibilityRow()).toStdString();
    EXPECT_TRUE(detail(window->screenRow()).contains(QStringLiteral("Optional, for images and PDFs\nNeeds an X11")))
        << detail(window->screenRow()).toStdString();
    accessibility->trusted = true;
    clock->advance(999ms);
    EXPECT_FALSE(window->accessibilityRow()->isGranted());
    clock->advance(1ms);
    EXPECT_TRUE(window->accessibilityRow()->isGranted());
    EXPECT_TRUE(detail(window->accessibilityRow()).split(u'|').contains(QStringLiteral("Required")));
    EXPECT_FALSE(window->screenRow()->isGranted());

    // Closed in the middle of the demonstration: no poll, no loop, no animation left behind.
    window->model()->go(0);
    clock->advance(1200ms);
    EXPECT_TRUE(window->model()->isDemoRunning());
    window->close();
    EXPECT_FALSE(window->model()->isDemoRunning());
    EXPECT_FALSE(window->model()->isPolling());
    EXPECT_FALSE(window->hoverDemo()->isAnimating());
    EXPECT_EQ(clock->pendingCount(), 0u);
    const DemoPhase stopped = window->model()->demoPhase();
    clock->advance(10s);
    EXPECT_EQ(window->model()->demoPhase(), stopped);
}

TEST_F(OnboardingTest, TheDemonstrationLoopsOnlyOnTheFirstPageAndHoldsStillUnderReducedMotion)
{
    const auto window = makeWindow();
    OnboardingModel &model = *window->model();
    EXPECT_FALSE(model.isDemoRunning()) << "nothing runs before the window is shown";
    window->show();
    clock->advance(1100ms);
    EXPECT_EQ(model.demoPhase(), DemoPhase::holding);
    EXPECT_TRUE(window->hoverDemo()->keycap()->isPressed());
    clock->advance(900ms);
    EXPECT_EQ(window->hoverDemo()->phase(), DemoPhase::pointing);
    EXPECT_TRUE(window->hoverDemo()->isAnimating()) << "the pointer springs onto the word";

    // Another page stops the loop where it stood; coming back goes on from there.
    model.go(1);
    clock->advance(20s);
    EXPECT_EQ(model.demoPhase(), DemoPhase::pointing);
    model.go(0);
    clock->advance(900ms);
    EXPECT_EQ(model.demoPhase(), DemoPhase::reading);

    // Reduced motion: the reading frame, still, no step leading, no timer, no fade between pages.
    motion->setReducesMotion(true);
    EXPECT_FALSE(model.isDemoRunning());
    EXPECT_EQ(model.shownDemoPhase(), DemoPhase::reading);
    EXPECT_EQ(window->hoverDemo()->phase(), DemoPhase::reading);
    EXPECT_FALSE(window->hoverDemo()->isAnimating());
    EXPECT_FALSE(model.activeMiniStep().has_value());
    const HoverDemo::Pose still = window->hoverDemo()->pose();
    EXPECT_EQ(still.highlight + still.translation + still.pointer, 3.0);
    model.go(1);
    EXPECT_FALSE(window->isFading());
    model.go(0);
    clock->advance(10s);
    EXPECT_EQ(model.demoPhase(), DemoPhase::reading);
    // The desktop turning motion back on starts the loop again.
    motion->setReducesMotion(false);
    EXPECT_TRUE(model.isDemoRunning());
    model.go(1);
    EXPECT_TRUE(window->isFading());
}

TEST_F(OnboardingTest, TheFilterSwitchStoresTheSettingAndRedrawsTheExample)
{
    const auto window = makeWindow();
    window->show();
    window->model()->go(1);
    auto *skip = window->findChild<QCheckBox *>(QStringLiteral("onboarding.skipNonWords"));
    ASSERT_TRUE(skip);
    ASSERT_TRUE(controller->skipNonWords());
    EXPECT_TRUE(window->wordFilterDemo()->isFiltering());
    const QImage filtering = window->wordFilterDemo()->grab().toImage();
    skip->click();
    EXPECT_FALSE(controller->skipNonWords());
    EXPECT_FALSE(defaults->boolValue(QStringLiteral("skipNonWords")));
    EXPECT_FALSE(window->wordFilterDemo()->isFiltering());
    EXPECT_NE(window->wordFilterDemo()->grab().toImage(), filtering);
    // Changed elsewhere (Settings), the switch and the picture follow.
    controller->setSkipNonWords(true);
    EXPECT_TRUE(skip->isChecked());
    EXPECT_EQ(window->wordFilterDemo()->grab().toImage(), filtering);
}

TEST_F(OnboardingTest, ShownAgainItStaysWhereItIsWhileOpenAndStartsOverOnceClosed)
{
    OnboardingWindowOwner owner;
    owner.setContext({controller.get(), &appearance, motion, clock});
    int closings = 0;
    QObject::connect(&owner, &OnboardingWindowOwner::closed, [&] { ++closings; });
    owner.show();
    ASSERT_TRUE(owner.isVisible());
    owner.window()->model()->go(2);
    owner.show();
    EXPECT_EQ(owner.window()->model()->stepIndex(), 2) << "open: kept as it is";

    owner.window()->close(); // the title bar's close button
    EXPECT_EQ(closings, 1);
    EXPECT_FALSE(owner.isVisible());
    EXPECT_FALSE(defaults->boolValue(QStringLiteral("hasCompletedOnboarding"))) << "closing is not finishing";
    owner.show();
    ASSERT_TRUE(owner.isVisible());
    EXPECT_EQ(owner.window()->model()->stepIndex(), 0) << "closed: from the first step";
    EXPECT_EQ(owner.window()->model()->demoPhase(), DemoPhase::idle);
    owner.close();
    EXPECT_EQ(closings, 2);
    EXPECT_EQ(clock->pendingCount(), 0u);
}

} // namespace
