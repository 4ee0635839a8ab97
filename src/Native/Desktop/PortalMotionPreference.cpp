#include "Native/Desktop/PortalMotionPreference.h"

#include "Native/Desktop/PortalSetting.h"

#include <QDBusConnection>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcMotion, "app.lumivox.Motion")

namespace Lumivox::Native {

PortalMotionPreference::PortalMotionPreference(std::chrono::milliseconds timeout)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcMotion) << "no session bus: animations stay on";
        return;
    }
    auto *setting = new PortalSetting(bus, QStringLiteral("org.gnome.desktop.interface"),
                                      QStringLiteral("enable-animations"), timeout, this);
    connect(setting, &PortalSetting::valueChanged, this, &PortalMotionPreference::take);
    connect(setting, &PortalSetting::unanswered, this,
            [] { qCInfo(lcMotion) << "the desktop does not say whether to animate; animations stay on"; });
}

void PortalMotionPreference::take(const QVariant &value)
{
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
