#pragma once

// Whether the program draws in the light or the dark scheme, and the one palette it draws with. The
// desktop's colour-scheme preference (the settings portal's org.freedesktop.appearance color-scheme)
// decides when it states one; otherwise the lightness of the desktop's palette does: the
// application palette as the toolkit or anyone but this class set it. (Once the program's own
// palette is in place, a toolkit theme that changes later shows through only in the roles ours
// leaves open, so only a palette set whole is seen; the portal is how desktops say it.) Either
// changing reaches observers through isDarkChanged.

#include <QDBusConnection>
#include <QObject>
#include <QPalette>

#include <chrono>
#include <optional>

namespace Lumivox {

enum class ColorScheme { light, dark };

class Appearance : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isDark READ isDark NOTIFY isDarkChanged)

public:
    /// The program's instance, on the session bus (a test host keeps to the palette). On a change it
    /// also repaints every open window, so colours drawn from Brand follow without their views
    /// watching. Made and handed out by the composition root. Main thread.
    static Appearance &shared();

    /// Follows the settings portal on `bus` (none: the palette alone). The portal is asked without
    /// waiting, and asked again when it stays silent past `portalTimeout` (see Native::PortalSetting);
    /// until it answers, the palette decides.
    explicit Appearance(std::optional<QDBusConnection> bus,
                        std::chrono::milliseconds portalTimeout = std::chrono::seconds(1), QObject *parent = nullptr);

    ColorScheme scheme() const { return m_isDark ? ColorScheme::dark : ColorScheme::light; }
    bool isDark() const { return m_isDark; }

    /// The program's colours in `scheme`: the window, the text background behind lists and forms,
    /// text, controls, selection, tooltips and links, for every state.
    static QPalette palette(ColorScheme scheme);

    /// From now on the application's palette (and the tooltips') is palette(scheme()): set at once,
    /// and again at each change of scheme before observers hear of it. So every window, pane,
    /// dialog and menu, the tray's included, takes background and text from the same scheme as the
    /// colours views draw from Brand. The program calls it once, on its shared instance.
    void keepApplicationPalette();

signals:
    void isDarkChanged(bool isDark);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void takePortalValue(const QVariant &value);
    void reevaluate();
    void applyPalette();

    std::optional<ColorScheme> m_preference;
    /// The desktop's palette is dark; a palette this class set is not the desktop's.
    bool m_paletteDark = false;
    bool m_keepsPalette = false;
    bool m_isDark = false;
};

} // namespace Lumivox
