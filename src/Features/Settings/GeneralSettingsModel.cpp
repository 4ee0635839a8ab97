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

QString GeneralSettingsModel::onDeviceSummary()
{
    return QStringLiteral("%1 languages are translated on this computer. Add your key for Sinhala, Tamil and %2 more")
        .arg(GoogleKeyModel::onDeviceCount())
        .arg(GoogleKeyModel::moreThanNamedCount());
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

void GeneralSettingsModel::appear()
{
    // Loading the updater's value is no change of the user's: nothing is written back.
    if (m_updater
        && std::exchange(m_checksForUpdates, m_updater->automaticallyChecksForUpdates()) != m_checksForUpdates)
        emit checksForUpdatesChanged();
    m_controller.refreshLaunchAtLogin();
    m_controller.checkPermission();
    refreshGoogleKey();
}

} // namespace Lumivox
