#pragma once

// The first-run guide's state: which of the four steps is on show, the frame of the first step's
// demonstration, and whether the desktop asked for less motion. While the window is on screen it
// re-reads the permissions every second (so a permission granted elsewhere shows at once), and while
// the first step is on screen it advances the demonstration, unless motion is reduced. Settings
// changed on the way go straight to the coordinator; only Done marks the guide as finished.

#include "Features/Onboarding/DemoPhase.h"
#include "Shared/Async/Clock.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace Lumivox {

class HoverTextController;
namespace Native {
class MotionPreference;
}

class OnboardingModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int step READ stepIndex NOTIFY stepChanged)
    Q_PROPERTY(bool reducesMotion READ reducesMotion NOTIFY reducesMotionChanged)

public:
    enum class Step { howItWorks, wordFilter, permissions, ready };
    static constexpr int stepCount = 4;
    static constexpr std::chrono::seconds permissionPollInterval {1};

    /// The step with that index, none outside 0 to 3.
    static std::optional<Step> stepFromIndex(int index);

    OnboardingModel(HoverTextController &controller, std::shared_ptr<Native::MotionPreference> motion,
                    std::shared_ptr<Clock> clock, QObject *parent = nullptr);
    ~OnboardingModel() override;

    HoverTextController &controller() const { return m_controller; }

    Step step() const { return m_step; }
    int stepIndex() const { return int(m_step); }
    /// "Step 2 of 4".
    QString stepLabel() const;
    bool showsBack() const { return m_step != Step::howItWorks; }
    /// "Continue", or "Done" on the last step.
    QString primaryTitle() const;

    bool reducesMotion() const { return m_reducesMotion; }
    /// The frame the loop stands at.
    DemoPhase demoPhase() const { return m_demoPhase; }
    /// The frame to draw: the reading frame, still, when motion is reduced.
    DemoPhase shownDemoPhase() const;
    /// The highlighted mini step; none when motion is reduced (nothing moves, so nothing leads).
    std::optional<int> activeMiniStep() const;
    bool isDemoRunning() const { return !m_demoTimer.isCancelled(); }
    bool isPolling() const { return !m_pollTimer.isCancelled(); }
    bool isShown() const { return m_shown; }

    /// Moves to the step with that index; outside 0 to 3 nothing happens.
    void go(int index);
    void back() { go(stepIndex() - 1); }
    /// Continue, or on the last step Done: the guide is finished and its window closes.
    void primary();

    /// The window came on screen or left it: the poll and the demonstration run only in between.
    void appear();
    void disappear();

signals:
    void stepChanged(int step);
    void demoPhaseChanged(Lumivox::DemoPhase phase);
    void reducesMotionChanged(bool reducesMotion);

private:
    void poll();
    void updateDemoLoop();
    void scheduleDemoFrame();
    void setReducesMotion(bool reduces);

    HoverTextController &m_controller;
    std::shared_ptr<Native::MotionPreference> m_motion;
    std::shared_ptr<Clock> m_clock;
    Step m_step = Step::howItWorks;
    DemoPhase m_demoPhase = DemoPhase::idle;
    bool m_reducesMotion = false;
    bool m_shown = false;
    TimerHandle m_pollTimer;
    TimerHandle m_demoTimer;
};

} // namespace Lumivox
