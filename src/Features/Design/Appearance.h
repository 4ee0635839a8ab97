#pragma once

// Whether the program draws in the light or the dark scheme. The desktop's colour-scheme
// preference (the settings portal's org.freedesktop.appearance color-scheme) decides when it states
// one; otherwise the lightness of the application palette's window colour does. Either changing
// reaches observers through isDarkChanged.

#include <QDBusConnection>
#include <QObject>

#include <chrono>
#include <optional>

class QDBusVariant;

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
    /// waiting; until it answers, and when it stays silent past `portalTimeout`, the palette decides.
    explicit Appearance(std::optional<QDBusConnection> bus,
                        std::chrono::milliseconds portalTimeout = std::chrono::seconds(1), QObject *parent = nullptr);
    ~Appearance() override;

    ColorScheme scheme() const { return m_isDark ? ColorScheme::dark : ColorScheme::light; }
    bool isDark() const { return m_isDark; }

signals:
    void isDarkChanged(bool isDark);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void portalSettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void readPortal(std::chrono::milliseconds timeout);
    void takePortalValue(const QVariant &value);
    void reevaluate();

    std::optional<QDBusConnection> m_bus;
    std::optional<ColorScheme> m_preference;
    bool m_preferenceSignalled = false;
    bool m_isDark = false;
};

} // namespace Lumivox
