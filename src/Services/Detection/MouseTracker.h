#pragma once

// Watches the pointer and the modifier keys of the whole desktop and turns the raw stream into three
// coarse signals for the hover coordinator: the pointer moved noticeably (at least 3 points), the
// pointer has rested for 0.13 s, a modifier key changed. Everything downstream (accessibility,
// capture, recognition) starts from pointerRested. Main thread only; the signals are emitted
// directly from the input event or the timer, so a receiver may stop or destroy the tracker.
//
// Points are bottom-left-origin screen coordinates, as the input service reports them; the tracker
// never converts them.

#include "Native/Input/Input.h"
#include "Shared/Async/Clock.h"

#include <QObject>
#include <QPointF>

#include <memory>

namespace Lumivox {

class MouseTracker : public QObject
{
    Q_OBJECT
public:
    /// Move threshold in points.
    static constexpr double moveThreshold = 3.0;
    /// How long the pointer must rest, in seconds.
    static constexpr double stillDelay = 0.13;

    explicit MouseTracker(std::shared_ptr<Native::Input> input, std::shared_ptr<Clock> clock = Clock::system(),
                          QObject *parent = nullptr);
    /// Over the registered input service and the real clock.
    explicit MouseTracker(QObject *parent = nullptr);
    ~MouseTracker() override;

    /// Starts watching (restarting cleanly when already running). Does nothing in a unit-test host.
    void start();
    /// Stops watching and drops a pending stillness signal. Safe when not running.
    void stop();
    /// Started and not stopped since (also in a unit-test host, where nothing is watched).
    bool isRunning() const { return m_running; }

    /// The modifier keys held at this moment, reduced to the four a hold key can be
    /// (TriggerMode::flags()).
    Native::ModifierFlags currentFlags() const;

    /// The last location reported through positionChanged ((0, 0) at creation, the pointer's
    /// location after start()).
    QPointF lastLocation() const { return m_lastLocation; }

    /// What the desktop monitor hands over for each event. Public so that tests can feed events
    /// without a monitor, which a unit-test host never installs.
    void handleEvent(const Native::InputEvent &event);

signals:
    /// After a move of at least 3 points, with the new location.
    void positionChanged(QPointF location);
    /// Once the pointer has rested for 0.13 s, with where it is at that moment.
    void pointerRested(QPointF location);
    /// On every change of the modifier flags, with the flags after the change (as they came, caps
    /// lock and the like included) and the pointer's location.
    void modifiersChanged(Lumivox::Native::ModifierFlags flags, QPointF location);

private:
    void scheduleStillness();
    void stillnessTimerFired();

    std::shared_ptr<Native::Input> m_input;
    std::shared_ptr<Clock> m_clock;
    std::unique_ptr<Native::InputMonitor> m_monitor;
    TimerHandle m_stillnessTimer;
    bool m_stillnessArmed = false;
    Clock::Instant m_stillnessDue;
    QPointF m_lastLocation {0, 0};
    std::uint64_t m_stops = 0;
    bool m_running = false;
};

} // namespace Lumivox
