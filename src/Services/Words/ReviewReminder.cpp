#include "Services/Words/ReviewReminder.h"

#include "Services/Words/WordBook.h"

#include <QDateTime>

#include <cmath>
#include <coroutine>

namespace Lumivox {

namespace {

std::optional<Date> atMorning(const QDate &day, const Calendar &calendar)
{
    // Where 09:00 is skipped by a change of clocks, Qt moves forward by the skipped span.
    const QDateTime morning(day, QTime(ReviewReminder::morningHour, 0), calendar.timeZone());
    if (!morning.isValid())
        return std::nullopt;
    return Date::fromDateTime(morning);
}

// The reminder matches a minute of the calendar, not a second.
Date wholeMinute(Date date)
{
    const double unix = date.secondsSinceReferenceDate + Date::referenceDateUnixSeconds;
    return Date {std::floor(unix / 60) * 60 - Date::referenceDateUnixSeconds};
}

} // namespace

ReviewReminder::ReviewReminder(std::shared_ptr<Native::Notifications> notifications, std::shared_ptr<Clock> clock,
                               QObject *parent)
    : QObject(parent)
    , m_notifications(std::move(notifications))
    , m_clock(std::move(clock))
{
    m_notifications->setClickHandler([this, alive = std::weak_ptr<bool>(m_alive)](std::uint32_t id) {
        if (!alive.expired() && m_shown.contains(id))
            emit clicked();
    });
}

ReviewReminder::~ReviewReminder()
{
    m_timer.cancel();
    m_notifications->setClickHandler(nullptr);
}

QCoro::Task<bool> ReviewReminder::requestPermission()
{
    // The service answers through the event loop, never inside the call, so the UI goes on meanwhile.
    struct Asking
    {
        std::shared_ptr<Native::Notifications> notifications;
        bool available = false;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiting)
        {
            notifications->checkAvailable([this, waiting](bool answer) {
                available = answer;
                waiting.resume();
            });
        }
        bool await_resume() const noexcept { return available; }
    };
    Asking asking {m_notifications};
    co_return co_await asking;
}

void ReviewReminder::update(const WordBook &book, Date now)
{
    m_pending.reset();
    m_timer.cancel();
    if (!book.remindsToReview())
        return;
    const std::optional<Date> due = book.nextDue();
    if (!due)
        return;
    m_pending = wholeMinute(reminderDate(*due, now, Calendar::current()));
    scheduleCheck();
}

Date ReviewReminder::reminderDate(Date due, Date now, const Calendar &calendar)
{
    const Date candidate = std::max(due, Date {now.secondsSinceReferenceDate + leadSeconds});
    const QDateTime local = candidate.toDateTime().toTimeZone(calendar.timeZone());
    const int hour = local.time().hour();
    if (hour < morningHour)
        return atMorning(local.date(), calendar).value_or(candidate);
    if (hour < eveningHour)
        return candidate;
    const std::optional<Date> nextDay = calendar.addingDays(1, candidate);
    if (!nextDay)
        return candidate;
    const std::optional<QDate> day = calendar.day(*nextDay);
    return (day ? atMorning(*day, calendar) : std::nullopt).value_or(*nextDay);
}

void ReviewReminder::scheduleCheck()
{
    // At the next whole minute of the wall clock: a timer counts only time the computer was awake,
    // so a single long timer would be late after a suspend and blind to a change of the clock.
    const auto wall = m_clock->wallNow();
    const auto intoMinute = wall.time_since_epoch() % std::chrono::minutes(1);
    const Clock::Duration delay = std::chrono::duration_cast<Clock::Duration>(std::chrono::minutes(1) - intoMinute);
    m_timer = m_clock->schedule(delay, this, [this] { check(); });
}

void ReviewReminder::check()
{
    if (!m_pending)
        return;
    if (Date::fromWallTime(m_clock->wallNow()) < *m_pending) {
        scheduleCheck();
        return;
    }
    m_pending.reset();
    const Native::Notifications::Notification reminder {title, body, QStringLiteral("app.lumivox"), true};
    m_notifications->show(reminder, [this, alive = std::weak_ptr<bool>(m_alive)](std::optional<std::uint32_t> id) {
        if (!alive.expired() && id)
            m_shown.insert(*id);
    });
}

} // namespace Lumivox
