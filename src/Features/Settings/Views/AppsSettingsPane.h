#pragma once

// The Apps tab: "All apps" or "Only selected apps", then the installed applications with a search
// field, the All / Running / Selected filter and a checkbox per row. Rows, checks and the enabled
// state come from AppsSettingsModel. The catalogue is read after the pane's first paint, so opening
// the tab never waits for it.

#include "Features/Design/Appearance.h"
#include "Features/Settings/AppsSettingsModel.h"

#include <QWidget>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListView;
class QRadioButton;

namespace Lumivox {

class AppsSettingsPane final : public QWidget
{
    Q_OBJECT
public:
    AppsSettingsPane(HoverTextController &controller, AppsSettingsModel::Sources sources, const Appearance &appearance,
                     QWidget *parent = nullptr);

    AppsSettingsModel *model() const { return m_model; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showEnabled();
    void showEmpty();

    AppsSettingsModel *m_model;
    QLineEdit *m_search;
    QWidget *m_filter;
    QListView *m_list;
    QLabel *m_empty;
};

} // namespace Lumivox
