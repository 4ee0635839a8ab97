#pragma once

// The desktop's colour-scheme preference in the private session, as the settings portal
// (xdg-desktop-portal with its GTK backend, started on demand) reports it.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QString>

namespace Lumivox::Testing {

/// Sets the preference the portal reads: "prefer-dark", "prefer-light" or "default".
inline bool setDesktopScheme(const char *value)
{
    return QProcess::execute(QStringLiteral("gsettings"),
                             {QStringLiteral("set"), QStringLiteral("org.gnome.desktop.interface"),
                              QStringLiteral("color-scheme"), QString::fromLatin1(value)})
        == 0;
}

/// Starts the portal (by activation) and waits until it answers; the error when it does not.
inline QDBusMessage askPortalForScheme()
{
    QDBusMessage read = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    read << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
    return QDBusConnection::sessionBus().call(read, QDBus::Block, 20000);
}

} // namespace Lumivox::Testing
