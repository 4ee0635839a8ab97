#pragma once

// The Words pane of Settings: every preference of the word book and its actions. The settings live
// in the word book, which stores them and reacts to each change; this model adds what the pane
// shows beside them: the counts, which controls are enabled, the reminder switch that waits for the
// notification service's answer, and the applications whose words are never kept.

#include "Models/AppCatalog.h"
#include "Models/TooltipKeyLabels.h"
#include "Services/Words/HistoryRetention.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace Lumivox {

class HoverTextController;
class WordBook;

class WordsSettingsModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool remindsToReview READ remindsToReview WRITE setRemindsToReview NOTIFY remindsToReviewChanged)
    Q_PROPERTY(bool notificationsDenied READ notificationsDenied NOTIFY notificationsDeniedChanged)
    Q_PROPERTY(QString countText READ countText NOTIFY countsChanged)

public:
    /// Asks the desktop whether notifications can be shown; true when they can.
    using NotificationPermission = std::function<QCoro::Task<bool>()>;

    /// `permission` none: never granted (a test host, or a program without a notification service).
    WordsSettingsModel(WordBook &book, HoverTextController &controller, NotificationPermission permission,
                       QObject *parent = nullptr);

    WordBook &book() const { return m_book; }
    HoverTextController &controller() const { return m_controller; }

    /// The picker entries: (value, title).
    static const std::vector<std::pair<qint64, QString>> &suggestAfterOptions();
    static const std::vector<qint64> &reviewsPerDayOptions();

    /// The key cap of the save key, and "while holding Alt" (empty in the "always" mode).
    QString saveKeyCap() const;
    QString saveKeyHold() const;
    /// Both as one sentence, as the row is read aloud: "S while holding Alt", "Ctrl+Alt+S".
    QString saveKeyText() const;

    bool remindsToReview() const;
    /// Off at once; on only once the notification service answers that it may show them. An answer
    /// that arrives after a newer change of the switch is dropped.
    void setRemindsToReview(bool on);
    bool notificationsDenied() const { return m_notificationsDenied; }

    /// "3 saved, 2 in history.": history counted in distinct words.
    QString countText() const;
    qsizetype distinctHistoryWords() const;
    bool canExport() const;
    bool canClearHistory() const;

    /// Appends the applications in the order given, one change each; one already excluded (or
    /// chosen twice) is skipped.
    void addExcludedApps(const QStringList &appIDs);
    /// Removes every occurrence of the application.
    void removeExcludedApp(const QString &appID);
    /// The installed applications a user may add, by name, without those already excluded.
    std::vector<InstalledApp> addableApps(std::vector<InstalledApp> installed) const;

    void clearHistory();
    void clearRememberedTranslations();
    void openWords();

signals:
    void remindsToReviewChanged();
    void notificationsDeniedChanged();
    void countsChanged();

private:
    QCoro::Task<> askForReminder(quint64 change);
    void setDenied(bool denied);

    WordBook &m_book;
    HoverTextController &m_controller;
    NotificationPermission m_permission;
    bool m_notificationsDenied = false;
    /// Counts the switch's changes, so that only the newest one's answer applies.
    quint64 m_reminderChange = 0;
};

} // namespace Lumivox
