#pragma once

// The About tab: the icon and name, the version, the definition of the name, "Check for Updates…"
// (enabled while the updater can check), "Report a Problem…", and the copyright line.

#include "Features/Design/Appearance.h"
#include "Features/Settings/AboutSettingsModel.h"

#include <QWidget>

class QPushButton;

namespace Lumivox {

class AboutSettingsPane final : public QWidget
{
    Q_OBJECT
public:
    AboutSettingsPane(AboutSettingsModel *model, const Appearance &appearance, QWidget *parent = nullptr);

    AboutSettingsModel *model() const { return m_model; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const Appearance &m_appearance;
    AboutSettingsModel *m_model;
    QWidget *m_definition;
    QPushButton *m_check;
};

} // namespace Lumivox
