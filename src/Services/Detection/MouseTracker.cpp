#include "Services/Detection/MouseTracker.h"

#include "Models/TriggerMode.h"
#include "Native/Services.h"
#include "Shared/Platform/AppIdentity.h"

#include <QPointer>

namespace Lumivox {

namespace {

const Clock::Duration stillDuration =
    std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(MouseTracker::stillDelay));

} // namespace

MouseTracker::MouseTracker(std::shared_ptr<Native::Input> input, std::shared_ptr<Clock> clock, QObject *parent)
    : QObject(parent)
    , m_input(std::move(input))
    , m_clock(std::move(clock))
{ }

MouseTracker::MouseTracker(QObject *parent)
    : MouseTracker(Native::service<Native::Input>(), Clock::system(), parent)
{ }

MouseTracker::~MouseTracker()
{
    stop();
}

void MouseTracker::start()
{
    stop();
    m_running = true;
    if (AppIdentity::isHostingTests())
        return;
    m_lastLocation = m_input->mouseLocation();
    // The desktop-wide raw events include those aimed at our own windows, so one monitor does the
    // work of a global and a local one; two would report every modifier change twice.
    m_monitor = m_input->addMonitor([self = QPointer<MouseTracker>(this)](const Native::InputEvent &event) {
        if (self)
            self->handleEvent(event);
    });
}

void MouseTracker::stop()
{
    ++m_stops;
    m_running = false;
    m_stillnessTimer.cancel();
    m_stillnessTimer = TimerHandle();
    m_stillnessArmed = false;
    m_monitor.reset();
}

Native::ModifierFlags MouseTracker::currentFlags() const
{
    return TriggerMode::flags(m_input->currentEventFlags());
}

void MouseTracker::handleEvent(const Native::InputEvent &event)
{
    const QPointF location = m_input->mouseLocation();
    if (event.type == Native::InputEvent::Type::flagsChanged) {
        emit modifiersChanged(event.modifierFlags, location);
        return;
    }
    const double dx = location.x() - m_lastLocation.x();
    const double dy = location.y() - m_lastLocation.y();
    if (dx * dx + dy * dy < moveThreshold * moveThreshold)
        return;
    m_lastLocation = location;
    const std::uint64_t stopsBefore = m_stops;
    QPointer<MouseTracker> self(this);
    emit positionChanged(location);
    // A receiver may have stopped or even destroyed the tracker; a stopped tracker stays silent.
    if (!self || m_stops != stopsBefore)
        return;
    scheduleStillness();
}

// One timer serves a whole burst of moves: each move only pushes the due time back, and the timer,
// when it fires early, waits out the rest. So continuous movement costs no timer churn.
void MouseTracker::scheduleStillness()
{
    m_stillnessDue = m_clock->now() + stillDuration;
    if (m_stillnessArmed)
        return;
    m_stillnessArmed = true;
    m_stillnessTimer = m_clock->schedule(stillDuration, this, [this] { stillnessTimerFired(); });
}

void MouseTracker::stillnessTimerFired()
{
    const Clock::Instant now = m_clock->now();
    if (now < m_stillnessDue) {
        m_stillnessTimer = m_clock->schedule(m_stillnessDue - now, this, [this] { stillnessTimerFired(); });
        return;
    }
    m_stillnessArmed = false;
    m_stillnessTimer = TimerHandle();
    emit pointerRested(m_input->mouseLocation());
}

} // namespace Lumivox
