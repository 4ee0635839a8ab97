// Notifications over org.freedesktop.Notifications. Calls are asynchronous: a service that is slow
// to start must never freeze the UI, and one that is missing answers with an error, which only
// means "no notifications".

#include "Native/Session/NotificationActions.h"
#include "Native/Session/Notifications.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

Q_LOGGING_CATEGORY(lcNotifications, "app.lumivox.Notifications")

namespace Lumivox::Native {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
// A missing service answers at once; a hung one must not keep a callback waiting for long.
constexpr int callTimeoutMs = 5000;

// A notification the service did not take, said in words at user level; the bus's own error name is
// for developers.
void warnNotShown(const QDBusMessage &reply)
{
    const QString error = reply.errorName();
    const char *why = "the notification service refused it";
    if (error == QDBusError::errorString(QDBusError::ServiceUnknown))
        why = "no notification service runs on this desktop";
    else if (error == QDBusError::errorString(QDBusError::NoReply)
             || error == QDBusError::errorString(QDBusError::Timeout))
        why = "the notification service did not answer in time";
    else if (error == QDBusError::errorString(QDBusError::Disconnected))
        why = "the session bus is gone";
    qCWarning(lcNotifications, "a notification was not shown: %s", why);
    qCDebug(lcNotifications, "the notification service answered %s: %s", qUtf8Printable(error),
            qUtf8Printable(reply.errorMessage()));
}

class DBusNotifications final : public Notifications
{
public:
    explicit DBusNotifications(QDBusConnection bus)
        : m_bus(std::move(bus))
    {
        m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), &m_receiver,
                      SLOT(actionInvoked(uint, QString)));
    }

    void checkAvailable(std::function<void(bool)> done) override
    {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetCapabilities"));
        whenAnswered(call, [done = std::move(done)](const QDBusMessage &reply) {
            done(reply.type() == QDBusMessage::ReplyMessage);
        });
    }

    void show(const Notification &notification, std::function<void(std::optional<std::uint32_t>)> done) override
    {
        whenAnswered(notifyCall(notification), [done = std::move(done)](const QDBusMessage &reply) {
            if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                done(reply.arguments().constFirst().toUInt());
                return;
            }
            warnNotShown(reply);
            done(std::nullopt);
        });
    }

    bool showBeforeEnd(const Notification &notification, std::chrono::milliseconds limit) override
    {
        if (!m_bus.isConnected())
            return false;
        // Blocks on the bus's own thread; the event loop is not run.
        const QDBusMessage reply = m_bus.call(notifyCall(notification), QDBus::Block, int(limit.count()));
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        warnNotShown(reply);
        return false;
    }

    void setClickHandler(std::function<void(std::uint32_t)> handler) override
    {
        m_receiver.onClick = std::move(handler);
    }

private:
    static QDBusMessage notifyCall(const Notification &notification)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
        QVariantMap hints;
        if (!notification.desktopEntry.isEmpty())
            hints.insert(QStringLiteral("desktop-entry"), notification.desktopEntry);
        QStringList actions;
        if (notification.clickable)
            actions << QStringLiteral("default") << QStringLiteral("Review");
        // The body is plain text, but services read markup in it: a file name with "&" or "<" must
        // show as written.
        QString body = notification.body;
        body.replace(QLatin1Char('&'), QStringLiteral("&amp;"))
            .replace(QLatin1Char('<'), QStringLiteral("&lt;"))
            .replace(QLatin1Char('>'), QStringLiteral("&gt;"));
        // App name from the desktop entry's hint; no icon, no replacement, the service's own expiry.
        call << QStringLiteral("Lumivox") << 0u << QString() << notification.title << body << actions << hints << -1;
        return call;
    }

    void whenAnswered(const QDBusMessage &call, std::function<void(const QDBusMessage &)> done)
    {
        if (!m_bus.isConnected()) {
            QMetaObject::invokeMethod(
                &m_receiver,
                [done = std::move(done)] { done(QDBusMessage::createError(QStringLiteral("app.lumivox.NoBus"), {})); },
                Qt::QueuedConnection);
            return;
        }
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), &m_receiver);
        // The answer may end whatever waited for it, the watcher's owner included; the watcher goes
        // first, and the answer is handed on from the event loop.
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_receiver,
                         [done = std::move(done)](QDBusPendingCallWatcher *finished) {
                             const QDBusMessage reply = finished->reply();
                             finished->deleteLater();
                             done(reply);
                         });
    }

    QDBusConnection m_bus;
    NotificationActions m_receiver;
};

} // namespace

std::shared_ptr<Notifications> Notifications::overDBus(const QString &busAddress)
{
    if (busAddress.isEmpty())
        return std::make_shared<DBusNotifications>(QDBusConnection::sessionBus());
    return std::make_shared<DBusNotifications>(
        QDBusConnection::connectToBus(busAddress, QStringLiteral("lumivox-notifications-") + busAddress));
}

} // namespace Lumivox::Native
