#include "Features/Shell/Views/UpdateAlerts.h"

#include "Features/Shell/UpdaterDelegate.h"

#include <QMessageBox>
#include <QPushButton>

namespace Lumivox {

UpdateAlerts::~UpdateAlerts()
{
    delete m_open.data();
}

void UpdateAlerts::present(QMessageBox *box)
{
    // One updater window at a time: a second check replaces the first one's answer.
    if (m_open)
        m_open->close();
    m_open = box;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Software Update"));
    box->setWindowModality(Qt::NonModal);
    box->show();
    box->raise();
    box->activateWindow();
}

void UpdateAlerts::showUpdateFound(const Native::UpdateItem &item, std::function<void(Native::UpdateChoice)> reply)
{
    auto *box = new QMessageBox(QMessageBox::Information, QString(),
                                QStringLiteral("Lumivox %1 is available.").arg(item.displayVersion));
    // The version comes from the feed: shown as text, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->setObjectName(UpdateWindows::windowNamePrefix + QStringLiteral(".found"));
    box->setInformativeText(QStringLiteral(
        "Install it with your package manager, or download it from the release page. Lumivox does not install "
        "updates by itself."));
    QPushButton *download = box->addButton(QStringLiteral("Open Release Page"), QMessageBox::AcceptRole);
    download->setObjectName(QStringLiteral("openReleasePage"));
    QPushButton *skip = box->addButton(QStringLiteral("Skip This Version"), QMessageBox::DestructiveRole);
    skip->setObjectName(QStringLiteral("skipVersion"));
    QPushButton *later = box->addButton(QStringLiteral("Remind Me Later"), QMessageBox::RejectRole);
    later->setObjectName(QStringLiteral("remindLater"));
    box->setDefaultButton(download);
    box->setEscapeButton(later);
    // Exactly one answer, whichever way the window goes (closing it counts as "later").
    auto answered = std::make_shared<bool>(false);
    QObject::connect(box, &QMessageBox::finished, box, [box, download, skip, reply, answered] {
        if (std::exchange(*answered, true))
            return;
        QAbstractButton *clicked = box->clickedButton();
        reply(clicked == download   ? Native::UpdateChoice::install
                  : clicked == skip ? Native::UpdateChoice::skip
                                    : Native::UpdateChoice::dismiss);
    });
    present(box);
}

void UpdateAlerts::showUpToDate(const QString &currentVersion)
{
    auto *box = new QMessageBox(QMessageBox::Information, QString(), QStringLiteral("You’re up to date!"));
    box->setObjectName(UpdateWindows::windowNamePrefix + QStringLiteral(".upToDate"));
    box->setInformativeText(
        QStringLiteral("Lumivox %1 is currently the newest version available.").arg(currentVersion));
    present(box);
}

void UpdateAlerts::showCheckFailed(const QString &message)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QString(),
                                QStringLiteral("Lumivox could not check for updates: %1.").arg(message));
    box->setObjectName(UpdateWindows::windowNamePrefix + QStringLiteral(".failed"));
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(QStringLiteral("Try again later."));
    present(box);
}

} // namespace Lumivox
