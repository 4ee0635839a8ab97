#pragma once

// The General tab: translation (target language, hold key, word filter), start-up (login, updates),
// the permissions (a compact "All set" row when both are granted), help, and the Google key row.
// Controls bind to the coordinator through bindProperty; texts and decisions come from
// GeneralSettingsModel.

#include "Features/Design/Appearance.h"
#include "Features/Settings/GeneralSettingsModel.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace Lumivox {

class LanguagePicker;
class PermissionRowView;

class GeneralSettingsPane final : public QWidget
{
    Q_OBJECT
public:
    GeneralSettingsPane(HoverTextController &controller, SettingsUpdater *updater, const Appearance &appearance,
                        QWidget *parent = nullptr);

    GeneralSettingsModel *model() const { return m_model; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showPermissions();
    void showGoogleRow();

    GeneralSettingsModel *m_model;
    // One of the two shows; a hidden card takes no room (a stacked widget would keep the taller's height).
    QWidget *m_allSet;
    QWidget *m_permissionRows;
    PermissionRowView *m_accessibility;
    PermissionRowView *m_screenRecording;
    QLabel *m_googleSubtitle;
    QPushButton *m_googleButton;
};

} // namespace Lumivox
