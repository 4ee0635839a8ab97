// The settings portal's Read answers with the value wrapped in one variant more than its
// SettingChanged signal carries; both are unwrapped to the plain boolean. The question is asked
// without waiting, so a desktop without a portal costs nothing but the time-out on the bus.

#include "Native/Desktop/PortalMotionPreference.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcMotion, "app.lumivox.Motion")

namespace Lumivox::Native {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString interfaceGroup = QStringLiteral("org.gnome.desktop.interface");
const QString animationsKey = QStringLiteral("enable-animations");

QVariant unwrapped(QVariant value)
{
    for (int depth = 0; depth < 4 && value.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

} // namespace

PortalMotionPreference::PortalMotionPreference(std::chrono::milliseconds timeout)
    : m_bus(QDBusConnection::sessionBus())
{
    if (!m_bus.isConnected()) {
        qCInfo(lcMotion) << "no session bus: animations stay on";
        return;
    }
    qRegisterMetaType<QDBusVariant>();
    // Listening starts before the question, so a change in between is not lost.
    m_listening = m_bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                                SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read =
        QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    read << interfaceGroup << animationsKey;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(read, int(timeout.count())), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            qCInfo(lcMotion) << "the desktop does not say whether to animate; animations stay on:" << reply.errorName();
            return;
        }
        // A change signalled while the question was under way is newer than this answer.
        if (!m_changeSignalled)
            take(reply.arguments().constFirst());
    });
}

PortalMotionPreference::~PortalMotionPreference()
{
    if (m_listening) {
        m_bus.disconnect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                         SLOT(settingChanged(QString, QString, QDBusVariant)));
    }
}

void PortalMotionPreference::settingChanged(const QString &group, const QString &key, const QDBusVariant &value)
{
    if (group != interfaceGroup || key != animationsKey)
        return;
    m_changeSignalled = true;
    take(value.variant());
}

void PortalMotionPreference::take(const QVariant &raw)
{
    const QVariant value = unwrapped(raw);
    if (value.userType() != QMetaType::Bool) {
        qCDebug(lcMotion) << "ignoring an animation setting of type" << value.typeName();
        return;
    }
    const bool reduces = !value.toBool();
    if (reduces == m_reduces)
        return;
    m_reduces = reduces;
    emit reducesMotionChanged(reduces);
}

std::shared_ptr<MotionPreference> MotionPreference::overPortal(std::chrono::milliseconds timeout)
{
    return std::make_shared<PortalMotionPreference>(timeout);
}

} // namespace Lumivox::Native
