#pragma once

// The desktop's animation switch through the settings portal (org.freedesktop.portal.Settings,
// org.gnome.desktop.interface enable-animations).

#include "Native/Desktop/MotionPreference.h"

#include <QDBusConnection>

class QDBusVariant;

namespace Lumivox::Native {

class PortalMotionPreference final : public MotionPreference
{
    Q_OBJECT
public:
    explicit PortalMotionPreference(std::chrono::milliseconds timeout);
    ~PortalMotionPreference() override;

    bool reducesMotion() const override { return m_reduces; }

private slots:
    void settingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void take(const QVariant &raw);

    QDBusConnection m_bus;
    bool m_listening = false;
    bool m_changeSignalled = false;
    bool m_reduces = false;
};

} // namespace Lumivox::Native
