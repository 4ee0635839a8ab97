#include "Features/Shell/UpdateNotifier.h"

#include "Native/Updates/Updater.h"

#include <QPointer>

namespace Lumivox {

UpdateNotifier::~UpdateNotifier()
{
    disconnect(m_canCheckObservation);
}

void UpdateNotifier::track(Native::Updater &updater)
{
    setCanCheckForUpdates(updater.canCheckForUpdates());
    disconnect(m_canCheckObservation);
    const QPointer<Native::Updater> source(&updater);
    m_canCheckObservation = connect(&updater, &Native::Updater::canCheckForUpdatesChanged, this, [this, source] {
        if (source)
            setCanCheckForUpdates(source->canCheckForUpdates());
    });
}

void UpdateNotifier::showReadyToInstall(const QString &version, Action installNow)
{
    setAvailableVersion(version);
    m_installNow = installNow;
    setReadyToInstall(true);
    installOnQuit() = std::move(installNow);
}

void UpdateNotifier::show(const QString &version)
{
    setAvailableVersion(version);
    m_installNow = nullptr;
    setReadyToInstall(false);
    installOnQuit() = nullptr;
}

void UpdateNotifier::clear()
{
    setAvailableVersion(std::nullopt);
    m_installNow = nullptr;
    setReadyToInstall(false);
}

UpdateNotifier::Action &UpdateNotifier::installOnQuit()
{
    static Action action;
    return action;
}

void UpdateNotifier::clearInstallOnQuit()
{
    installOnQuit() = nullptr;
}

bool UpdateNotifier::shouldClearInstallOnQuit(const QString &domain, int code)
{
    if (domain != Native::updaterErrorDomain)
        return false;
    return code >= 4000 && code < 5000 && code != 4007 && code != 4008;
}

void UpdateNotifier::setAvailableVersion(std::optional<QString> version)
{
    if (m_availableVersion == version)
        return;
    m_availableVersion = std::move(version);
    emit availableVersionChanged();
}

void UpdateNotifier::setReadyToInstall(bool ready)
{
    if (m_isReadyToInstall == ready)
        return;
    m_isReadyToInstall = ready;
    emit isReadyToInstallChanged();
}

void UpdateNotifier::setCanCheckForUpdates(bool can)
{
    if (m_canCheckForUpdates == can)
        return;
    m_canCheckForUpdates = can;
    emit canCheckForUpdatesChanged();
}

} // namespace Lumivox
