#pragma once

// The update state the tray menu, the tray icon and Settings show: the version on offer, whether a
// check can start now, and whether an update waits to install on quit. Main thread.

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace Lumivox {

namespace Native {
class Updater;
}

class UpdateNotifier final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString availableVersion READ availableVersionText NOTIFY availableVersionChanged)
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool isReadyToInstall READ isReadyToInstall NOTIFY isReadyToInstallChanged)
public:
    using Action = std::function<void()>;

    using QObject::QObject;
    ~UpdateNotifier() override;

    /// The version the menu offers; nothing when none.
    const std::optional<QString> &availableVersion() const { return m_availableVersion; }
    QString availableVersionText() const { return m_availableVersion.value_or(QString()); }
    bool canCheckForUpdates() const { return m_canCheckForUpdates; }
    bool isReadyToInstall() const { return m_isReadyToInstall; }
    /// Installs the downloaded update and restarts at once.
    const Action &installNow() const { return m_installNow; }

    /// Copies the updater's "can check" and keeps it current.
    void track(Native::Updater &updater);

    void showReadyToInstall(const QString &version, Action installNow);
    void show(const QString &version);
    /// Drops the offer; an update waiting for the quit still installs then.
    void clear();

    /// The installation that the program's own Quit runs first, when an update waits for it.
    static Action &installOnQuit();
    static void clearInstallOnQuit();
    /// Which aborted update sessions drop the waiting installation: the installation failures of the
    /// updater's domain (4000 to 4999), except 4007 and 4008, after which the update can still install.
    static bool shouldClearInstallOnQuit(const QString &domain, int code);

signals:
    void availableVersionChanged();
    void canCheckForUpdatesChanged();
    void isReadyToInstallChanged();

private:
    void setAvailableVersion(std::optional<QString> version);
    void setReadyToInstall(bool ready);
    void setCanCheckForUpdates(bool can);

    std::optional<QString> m_availableVersion;
    bool m_canCheckForUpdates = false;
    bool m_isReadyToInstall = false;
    Action m_installNow;
    QMetaObject::Connection m_canCheckObservation;
};

} // namespace Lumivox
