#pragma once

// The updater's own windows: the outcome of a check the user asked for. They never block the
// event loop (the tray and the hover keep working while one is open), and each carries an object
// name under "lumivox.update" so that the update glue can bring it forward.

#include "Native/Updates/Updater.h"

#include <QPointer>

class QMessageBox;

namespace Lumivox {

class UpdateAlerts final : public Native::UpdateUserDriver
{
public:
    ~UpdateAlerts() override;
    void showUpdateFound(const Native::UpdateItem &item, std::function<void(Native::UpdateChoice)> reply) override;
    void showUpToDate(const QString &currentVersion) override;
    void showCheckFailed(const QString &message) override;

private:
    void present(QMessageBox *box);

    QPointer<QMessageBox> m_open;
};

} // namespace Lumivox
