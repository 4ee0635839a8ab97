#pragma once

// The General pane: translation, start-up, the two permissions, help, and the Google key row.
// Settings bind straight to the coordinator; this model carries what the pane adds: the
// automatic-update switch mirrored from the updater, whether the permission rows show, the key row's
// texts and the commands of the pane's buttons.

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Settings/SettingsServices.h"

#include <QObject>
#include <QPointer>

namespace Lumivox {

class GeneralSettingsModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool checksForUpdates READ checksForUpdates WRITE setChecksForUpdates NOTIFY checksForUpdatesChanged)
    Q_PROPERTY(bool showsPermissionRows READ showsPermissionRows NOTIFY showsPermissionRowsChanged)
    Q_PROPERTY(bool hasStoredGoogleKey READ hasStoredGoogleKey NOTIFY hasStoredGoogleKeyChanged)

public:
    GeneralSettingsModel(HoverTextController &controller, SettingsUpdater *updater, QObject *parent = nullptr);

    HoverTextController &controller() const { return m_controller; }

    bool checksForUpdates() const { return m_checksForUpdates; }
    /// The user's change: written to the updater at once.
    void setChecksForUpdates(bool checks);

    bool allPermissionsGranted() const;
    /// The two rows, unless both permissions are granted and the user has not asked to review them.
    bool showsPermissionRows() const { return !allPermissionsGranted() || m_showsPermissions; }
    /// "Review…": the rows, whatever the permissions.
    void reviewPermissions();

    /// Any stored item counts, even a blank one.
    bool hasStoredGoogleKey() const { return m_hasStoredGoogleKey; }
    QString googleRowSubtitle() const;
    QString googleRowButtonTitle() const;
    /// Shows the key screen in place of this pane.
    void openGoogleKey();

    /// What the pane does each time it is shown: the updater's switch, the login item and the
    /// permissions read afresh.
    void appear();
    /// Reads again whether a key is stored.
    void refreshGoogleKey();

    static QString onDeviceSummary();

signals:
    void checksForUpdatesChanged();
    void showsPermissionRowsChanged();
    void hasStoredGoogleKeyChanged();

private:
    void permissionsChanged();

    HoverTextController &m_controller;
    QPointer<SettingsUpdater> m_updater;
    bool m_checksForUpdates = false;
    bool m_showsPermissions = false;
    bool m_hasStoredGoogleKey = false;
    bool m_lastShowsRows = true;
};

} // namespace Lumivox
