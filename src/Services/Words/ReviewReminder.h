#pragma once

// The review reminder: when the user has asked for it, one notification tells them that saved words
// are due, at a civil hour. The desktop's notification service shows notifications only at once, so
// the pending reminder is ours: one time, checked against the wall clock at every whole minute, which
// also follows a suspend or a change of the clock. It fires only while the program runs.

#include "Models/WordRecords.h"
#include "Native/Session/Notifications.h"
#include "Services/Words/Calendar.h"
#include "Shared/Async/Clock.h"

#include <QCoroTask>
#include <QObject>

#include <memory>
#include <optional>
#include <set>

namespace Lumivox {

class WordBook;

class ReviewReminder final : public QObject
{
    Q_OBJECT

public:
    static inline const QString title = QStringLiteral("Words to review");
    static inline const QString body = QStringLiteral("Your saved words are ready. It takes about a minute.");
    /// Never sooner than this after the words fall due.
    static constexpr double leadSeconds = 3600;
    /// Reminders before this hour wait for it; from the evening hour on they wait for the next morning.
    static constexpr int morningHour = 9;
    static constexpr int eveningHour = 20;

    ReviewReminder(std::shared_ptr<Native::Notifications> notifications, std::shared_ptr<Clock> clock,
                   QObject *parent = nullptr);
    ~ReviewReminder() override;

    /// Whether notifications can be shown: a notification service answers.
    QCoro::Task<bool> requestPermission();

    /// Replaces the pending reminder with one for the book's earliest due word, when the user wants
    /// reminders and a word is due at all. Notifications already shown stay.
    void update(const WordBook &book, Date now);

    /// When the reminder for words due at `due` is shown, seen at `now`.
    static Date reminderDate(Date due, Date now, const Calendar &calendar);

    /// The pending reminder's minute, if one is pending.
    std::optional<Date> pending() const { return m_pending; }

signals:
    /// The user clicked a reminder.
    void clicked();

private:
    void scheduleCheck();
    void check();

    std::shared_ptr<Native::Notifications> m_notifications;
    std::shared_ptr<Clock> m_clock;
    std::optional<Date> m_pending;
    TimerHandle m_timer;
    /// The service's ids of the reminders shown, so that only a click on one of them opens the review.
    std::set<std::uint32_t> m_shown;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace Lumivox
