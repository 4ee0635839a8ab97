#include "Features/Onboarding/OnboardingModel.h"

#include "Features/Coordinator/HoverTextController.h"
#include "Native/Desktop/MotionPreference.h"

#include <QPointer>

namespace Lumivox {

std::optional<OnboardingModel::Step> OnboardingModel::stepFromIndex(int index)
{
    if (index < 0 || index >= stepCount)
        return std::nullopt;
    return Step(index);
}

OnboardingModel::OnboardingModel(HoverTextController &controller, std::shared_ptr<Native::MotionPreference> motion,
                                 std::shared_ptr<Clock> clock, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_motion(std::move(motion))
    , m_clock(std::move(clock))
{
    if (m_motion) {
        m_reducesMotion = m_motion->reducesMotion();
        connect(m_motion.get(), &Native::MotionPreference::reducesMotionChanged, this,
                &OnboardingModel::setReducesMotion);
    }
}

OnboardingModel::~OnboardingModel()
{
    m_pollTimer.cancel();
    m_demoTimer.cancel();
}

QString OnboardingModel::stepLabel() const
{
    return QStringLiteral("Step %1 of %2").arg(stepIndex() + 1).arg(stepCount);
}

QString OnboardingModel::primaryTitle() const
{
    return m_step == Step::ready ? QStringLiteral("Done") : QStringLiteral("Continue");
}

DemoPhase OnboardingModel::shownDemoPhase() const
{
    return m_reducesMotion ? DemoPhase::reading : m_demoPhase;
}

std::optional<int> OnboardingModel::activeMiniStep() const
{
    if (m_reducesMotion)
        return std::nullopt;
    return Demo::activeStep(m_demoPhase);
}

void OnboardingModel::go(int index)
{
    const std::optional<Step> target = stepFromIndex(index);
    if (!target || *target == m_step)
        return;
    m_step = *target;
    emit stepChanged(index);
    // The last step shows the real login state, which may have changed outside the program.
    if (m_step == Step::ready && m_shown)
        m_controller.refreshLaunchAtLogin();
    updateDemoLoop();
}

void OnboardingModel::primary()
{
    if (m_step == Step::ready)
        m_controller.completeOnboarding();
    else
        go(stepIndex() + 1);
}

void OnboardingModel::appear()
{
    if (m_shown)
        return;
    m_shown = true;
    m_controller.updateDockIconPolicy(std::nullopt);
    if (m_step == Step::ready)
        m_controller.refreshLaunchAtLogin();
    poll();
    updateDemoLoop();
}

void OnboardingModel::disappear()
{
    if (!m_shown)
        return;
    m_shown = false;
    m_pollTimer.cancel();
    m_demoTimer.cancel();
    // On the next turn, once the window is really gone from the desktop's list.
    QMetaObject::invokeMethod(
        &m_controller,
        [controller = QPointer<HoverTextController>(&m_controller)] {
            if (controller)
                controller->returnToMenuBar();
        },
        Qt::QueuedConnection);
}

void OnboardingModel::poll()
{
    m_controller.checkPermission();
    m_pollTimer = m_clock->schedule(permissionPollInterval, this, [this] {
        if (m_shown)
            poll();
    });
}

void OnboardingModel::updateDemoLoop()
{
    const bool wanted = m_shown && m_step == Step::howItWorks && !m_reducesMotion;
    if (wanted == isDemoRunning())
        return;
    if (wanted)
        scheduleDemoFrame();
    else
        m_demoTimer.cancel();
}

void OnboardingModel::scheduleDemoFrame()
{
    // The loop goes on from the frame it stopped at when the page was left.
    m_demoTimer = m_clock->schedule(Demo::duration(m_demoPhase), this, [this] {
        m_demoPhase = Demo::next(m_demoPhase);
        emit demoPhaseChanged(m_demoPhase);
        scheduleDemoFrame();
    });
}

void OnboardingModel::setReducesMotion(bool reduces)
{
    if (reduces == m_reducesMotion)
        return;
    m_reducesMotion = reduces;
    emit reducesMotionChanged(reduces);
    updateDemoLoop();
}

} // namespace Lumivox
