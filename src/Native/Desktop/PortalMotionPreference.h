#pragma once

// The desktop's animation switch through the settings portal (org.gnome.desktop.interface
// enable-animations).

#include "Native/Desktop/MotionPreference.h"

class QVariant;

namespace Lumivox::Native {

class PortalMotionPreference final : public MotionPreference
{
    Q_OBJECT
public:
    explicit PortalMotionPreference(std::chrono::milliseconds timeout);

    bool reducesMotion() const override { return m_reduces; }

private:
    void take(const QVariant &value);

    bool m_reduces = false;
};

} // namespace Lumivox::Native
