// Read answers with the value wrapped in one variant more than SettingChanged carries it; both are
// unwrapped to the plain value. Questions are asked without waiting, so a desktop without a portal
// costs a few failed calls on the bus and nothing on the main thread.

#include "Native/Desktop/PortalSetting.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QLoggingCategory>
#include <QTimer>

Q_LOGGING_CATEGORY(lcPortal, "app.lumivox.Portal")

namespace Lumivox::Native {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");

QVariant unwrapped(QVariant value)
{
    for (int depth = 0; depth < 4 && value.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

// The portal's own word that it has no such setting, or no settings at all: asking again changes
// nothing. Everything else (no answer in time, the portal not yet on the bus, failing to start) may
// pass.
bool isFinal(const QString &errorName)
{
    return errorName == QLatin1String("org.freedesktop.portal.Error.NotFound")
        || errorName == QDBusError::errorString(QDBusError::UnknownMethod)
        || errorName == QDBusError::errorString(QDBusError::UnknownInterface)
        || errorName == QDBusError::errorString(QDBusError::UnknownObject);
}

} // namespace

PortalSetting::PortalSetting(QDBusConnection bus, QString group, QString key, std::chrono::milliseconds wait,
                             QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_group(std::move(group))
    , m_key(std::move(key))
    , m_wait(std::max(wait, std::chrono::milliseconds(1)))
    , m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &PortalSetting::ask);
    if (!m_bus.isConnected())
        return;
    // The slot's argument types are matched by name, and QtDBus may not have named its variant type
    // yet; without it the connection fails.
    qRegisterMetaType<QDBusVariant>();
    // Listening starts before the question, so a change in between is not lost.
    m_listening = m_bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                                SLOT(settingChanged(QString, QString, QDBusVariant)));
    if (!m_listening)
        qCWarning(lcPortal).noquote() << "cannot follow changes of the desktop's setting" << m_key;
    // A portal that starts (or starts again) after the questions were given up on is asked afresh.
    auto *arrivals = new QDBusServiceWatcher(portalService, m_bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(arrivals, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        qCDebug(lcPortal).noquote() << "the settings portal came onto the bus: asking it for" << m_key;
        startAsking();
    });
    startAsking();
}

PortalSetting::~PortalSetting()
{
    if (m_listening) {
        m_bus.disconnect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                         SLOT(settingChanged(QString, QString, QDBusVariant)));
    }
}

void PortalSetting::startAsking()
{
    m_retry->stop();
    m_attempt = 0;
    ask();
}

void PortalSetting::ask()
{
    const quint64 question = ++m_question;
    const quint64 changesBefore = m_changes;
    const std::chrono::milliseconds wait = m_wait * (1 << m_attempt);
    ++m_attempt;
    QDBusMessage read =
        QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    read << m_group << m_key;
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(read, int(wait.count())), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, question, changesBefore](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                // A newer question is under way, or a change signalled meanwhile is newer than this answer.
                if (question != m_question || m_changes != changesBefore)
                    return;
                const QDBusMessage reply = w->reply();
                if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
                    emit valueChanged(unwrapped(reply.arguments().constFirst()));
                    return;
                }
                const QString error = reply.errorName();
                qCDebug(lcPortal).noquote() << "the settings portal did not answer question" << m_attempt << "for"
                                            << m_key << "(" << error << reply.errorMessage() << ")";
                if (isFinal(error) || m_attempt >= attempts) {
                    emit unanswered();
                    return;
                }
                const std::chrono::milliseconds pause = m_wait / 2 * (1 << (m_attempt - 1));
                qCDebug(lcPortal).noquote() << "asking again for" << m_key << "in" << pause.count() << "ms";
                m_retry->start(pause);
            });
}

void PortalSetting::settingChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    if (group != m_group || key != m_key)
        return;
    ++m_changes;
    m_retry->stop();
    emit valueChanged(unwrapped(value.variant()));
}

} // namespace Lumivox::Native
