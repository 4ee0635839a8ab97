#pragma once

// The General pane: translation, start-up, the two permissions, help, and the Google key row.
// Settings bind straight to the coordinator; this model carries what the pane adds: the
// automatic-update switch mirrored from the updater, whether the permission rows show, the key row's
// texts and the commands of the pane's buttons.

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Settings/SettingsServices.h"

#include <QObject>
#include <QPointer>

#include <functional>

namespace Lumivox {

class GeneralSettingsModel final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool checksForUpdates READ checksForUpdates WRITE setChecksForUpdates NOTIFY checksForUpdatesChanged)
    Q_PROPERTY(bool showsPermissionRows READ showsPermissionRows NOTIFY showsPermissionRowsChanged)
    Q_PROPERTY(bool hasStoredGoogleKey READ hasStoredGoogleKey NOTIFY hasStoredGoogleKeyChanged)
    Q_PROPERTY(bool showsNoTrayNote READ showsNoTrayNote NOTIFY showsNoTrayNoteChanged)

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
    /// The window was closed: the next opening shows "All set" again when nothing is missing.
    void disappear();
    /// Reads again whether a key is stored; also whenever the keyring's answer arrives.
    void refreshGoogleKey();

    static QString onDeviceSummary();

    /// How to tell whether the panel has a tray; asked now and each time the pane appears. None: it is
    /// taken to have one.
    void setTrayCheck(std::function<bool()> trayAvailable);
    /// Without a tray the program has no icon: the pane says how to come back to it.
    bool showsNoTrayNote() const { return m_showsNoTrayNote; }
    static QString noTrayNote();

signals:
    void checksForUpdatesChanged();
    void showsPermissionRowsChanged();
    void hasStoredGoogleKeyChanged();
    void showsNoTrayNoteChanged();

private:
    void permissionsChanged();
    void refreshTray();

    HoverTextController &m_controller;
    QPointer<SettingsUpdater> m_updater;
    bool m_checksForUpdates = false;
    bool m_showsPermissions = false;
    bool m_hasStoredGoogleKey = false;
    bool m_lastShowsRows = true;
    std::function<bool()> m_trayAvailable;
    bool m_showsNoTrayNote = false;
};

} // namespace Lumivox
