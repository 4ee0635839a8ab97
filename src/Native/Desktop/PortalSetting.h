#pragma once

// One setting of the desktop as the settings portal publishes it (org.freedesktop.portal.Settings on
// the session bus): asked at once and followed through the portal's change signal from the start.
//
// The first question is often the one that starts the portal (the bus launches it on demand), and on
// a busy machine the start outlasts the question's wait. So a question left unanswered is asked
// again, a few times with longer waits, and the setting is asked afresh whenever the portal comes
// onto the bus; a portal that says it has no such setting is not asked again. Main thread.

#include <QDBusConnection>
#include <QObject>
#include <QVariant>

#include <chrono>

class QDBusVariant;
class QTimer;

namespace Lumivox::Native {

class PortalSetting final : public QObject
{
    Q_OBJECT
public:
    /// `wait` bounds the first question; each one asked again waits twice as long as the one before.
    PortalSetting(QDBusConnection bus, QString group, QString key, std::chrono::milliseconds wait,
                  QObject *parent = nullptr);
    ~PortalSetting() override;

    /// Questions asked in all before giving up, the first included.
    static constexpr int attempts = 4;

signals:
    /// The setting's value, unwrapped from the variants D-Bus carries it in: the portal's answer, and
    /// each change it signals afterwards.
    void valueChanged(const QVariant &value);
    /// No question was answered: the portal is missing, silent, or has no such setting. Once per run
    /// of questions; a later answer or change still arrives through valueChanged.
    void unanswered();

private slots:
    void settingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void startAsking();
    void ask();

    QDBusConnection m_bus;
    QString m_group;
    QString m_key;
    std::chrono::milliseconds m_wait;
    QTimer *m_retry;
    bool m_listening = false;
    /// The question asked last; an answer to an older one is stale.
    quint64 m_question = 0;
    int m_attempt = 0;
    /// Changes signalled so far: an answer to a question asked before the last of them is older than it.
    quint64 m_changes = 0;
};

} // namespace Lumivox::Native
