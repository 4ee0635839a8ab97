#include "Features/Settings/GeneralSettingsModel.h"

#include "Features/Settings/GoogleKeyModel.h"
#include "Shared/Platform/KeychainStorage.h"

namespace Lumivox {

GeneralSettingsModel::GeneralSettingsModel(HoverTextController &controller, SettingsUpdater *updater, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_updater(updater)
{
    m_lastShowsRows = showsPermissionRows();
    connect(&m_controller, &HoverTextController::hasAccessibilityPermissionChanged, this,
            &GeneralSettingsModel::permissionsChanged);
    connect(&m_controller, &HoverTextController::hasScreenRecordingPermissionChanged, this,
            &GeneralSettingsModel::permissionsChanged);
    // Back from the key screen: the row tells what the screen left stored.
    connect(&m_controller, &HoverTextController::showsGoogleKeyScreenChanged, this,
            &GeneralSettingsModel::refreshGoogleKey);
    // The keyring's answer may arrive after the pane was built (Settings opens at start).
    connect(&KeychainStorage::announcer(), &KeychainStorage::Announcer::answerCached, this,
            [this](const QString &key, const QString &service) {
                if (key == KeychainStorage::googleAPIKeyAccount && service == KeychainStorage::licenseService)
                    refreshGoogleKey();
            });
    refreshGoogleKey();
}

void GeneralSettingsModel::setChecksForUpdates(bool checks)
{
    if (std::exchange(m_checksForUpdates, checks) == checks)
        return;
    emit checksForUpdatesChanged();
    if (m_updater)
        m_updater->setAutomaticallyChecksForUpdates(checks);
}

bool GeneralSettingsModel::allPermissionsGranted() const
{
    return m_controller.hasAccessibilityPermission() && m_controller.hasScreenRecordingPermission();
}

void GeneralSettingsModel::permissionsChanged()
{
    const bool shows = showsPermissionRows();
    if (std::exchange(m_lastShowsRows, shows) != shows)
        emit showsPermissionRowsChanged();
}

void GeneralSettingsModel::reviewPermissions()
{
    m_showsPermissions = true;
    permissionsChanged();
}

void GeneralSettingsModel::disappear()
{
    m_showsPermissions = false;
    permissionsChanged();
}

QString GeneralSettingsModel::onDeviceSummary()
{
    const int onDevice = GoogleKeyModel::onDeviceCount();
    const QString here = onDevice == 0 ? QStringLiteral("No language is translated on this computer.")
        : onDevice == 1                ? QStringLiteral("1 language is translated on this computer.")
                                       : QStringLiteral("%1 languages are translated on this computer.").arg(onDevice);
    return here
        + QStringLiteral(" Add your key for Sinhala, Tamil and %1 more").arg(GoogleKeyModel::moreThanNamedCount());
}

QString GeneralSettingsModel::googleRowSubtitle() const
{
    return m_hasStoredGoogleKey ? QStringLiteral("Your Google Cloud key is active in your keyring") : onDeviceSummary();
}

QString GeneralSettingsModel::googleRowButtonTitle() const
{
    return m_hasStoredGoogleKey ? QStringLiteral("Manage Key…") : QStringLiteral("Add Key…");
}

void GeneralSettingsModel::openGoogleKey()
{
    m_controller.setShowsGoogleKeyScreen(true);
}

void GeneralSettingsModel::refreshGoogleKey()
{
    const bool stored =
        KeychainStorage::get(KeychainStorage::googleAPIKeyAccount, KeychainStorage::licenseService).has_value();
    if (std::exchange(m_hasStoredGoogleKey, stored) != stored)
        emit hasStoredGoogleKeyChanged();
}

QString GeneralSettingsModel::noTrayNote()
{
    return QStringLiteral("Your panel has no tray: start Lumivox again to open Settings.");
}

void GeneralSettingsModel::setTrayCheck(std::function<bool()> trayAvailable)
{
    m_trayAvailable = std::move(trayAvailable);
    refreshTray();
}

void GeneralSettingsModel::refreshTray()
{
    const bool shows = m_trayAvailable && !m_trayAvailable();
    if (std::exchange(m_showsNoTrayNote, shows) != shows)
        emit showsNoTrayNoteChanged();
}

void GeneralSettingsModel::appear()
{
    // Loading the updater's value is no change of the user's: nothing is written back.
    if (m_updater
        && std::exchange(m_checksForUpdates, m_updater->automaticallyChecksForUpdates()) != m_checksForUpdates)
        emit checksForUpdatesChanged();
    m_controller.refreshLaunchAtLogin();
    m_controller.checkPermission();
    refreshGoogleKey();
    refreshTray();
}

} // namespace Lumivox
