#pragma once

// The row of one permission the program needs, in the General pane and in onboarding: its name,
// what it is for, and either "Granted" or the button that starts granting it. The caller passes the
// current state and the action; the row keeps nothing. On Linux there is no settings page to open,
// so the button names our own action, and a help line under a missing permission says what it takes.

#include "Features/Design/Appearance.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace Lumivox {

class SettingsRow;

class PermissionRowView final : public QWidget
{
    Q_OBJECT
public:
    struct Texts
    {
        QString title;
        QString subtitle;
        QString buttonTitle;
        /// Under the subtitle while the permission is missing.
        QString help;
    };

    PermissionRowView(const Texts &texts, std::function<void()> grantAction, const Appearance &appearance,
                      bool showsDivider, QWidget *parent = nullptr);

    void setGranted(bool granted);
    bool isGranted() const { return m_granted; }

    QPushButton *grantButton() const { return m_button; }
    QWidget *grantedLabel() const { return m_grantedLabel; }

    /// Where a row stands: the first-run guide says only how much each permission matters.
    enum class Place { settings, onboarding };

    /// Accessibility: turning on the accessibility bus.
    static Texts accessibility(Place place = Place::settings);
    /// Screen capture: allowed on X11, not under Wayland.
    static Texts screenCapture(Place place = Place::settings);

private:
    Texts m_texts;
    SettingsRow *m_row;
    QPushButton *m_button;
    QWidget *m_grantedLabel;
    bool m_granted = false;
};

} // namespace Lumivox
