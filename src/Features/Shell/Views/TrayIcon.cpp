#include "Features/Shell/Views/TrayIcon.h"

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Shell/TablerIcon.h"
#include "Features/Shell/UpdateNotifier.h"
#include "Features/Shell/Views/TrayMenu.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QPalette>
#include <QPixmap>

namespace Lumivox {

TrayIcon::TrayIcon(HoverTextController &controller, UpdateNotifier &notifier, TrayMenu &menu, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
    , m_notifier(notifier)
    , m_menu(menu)
{
    m_icon.setObjectName(QStringLiteral("trayIcon"));
    m_icon.setContextMenu(&m_menu);
    connect(&m_controller, &HoverTextController::menuBarStateChanged, this, &TrayIcon::refresh);
    connect(&m_controller, &HoverTextController::statusTitleChanged, this, &TrayIcon::refresh);
    connect(&m_notifier, &UpdateNotifier::availableVersionChanged, this, &TrayIcon::refresh);
    // A left click opens the same menu: the icon has nothing else to do.
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_menu.popup(QCursor::pos());
    });
    if (qApp)
        qApp->installEventFilter(this);
    refresh();
}

void TrayIcon::show()
{
    m_icon.show();
    m_waitingForTray = true;
    noticeEmbedding();
}

void TrayIcon::noticeEmbedding()
{
    if (!m_waitingForTray || m_icon.geometry().isEmpty())
        return;
    m_waitingForTray = false;
    emit embedded();
}

void TrayIcon::refresh()
{
    const auto variant = TablerIcon::menuBar(m_controller.menuBarState(), m_notifier.availableVersion().has_value());
    const QColor label = QGuiApplication::palette().color(QPalette::Active, QPalette::WindowText);
    QIcon icon;
    // The panel picks the size it needs; both ratios keep the bubble sharp on either kind of screen.
    for (qreal ratio : {1.0, 2.0})
        icon.addPixmap(QPixmap::fromImage(TablerIcon::image(variant, ratio, label)));
    m_icon.setIcon(icon);
    m_icon.setToolTip(m_controller.statusTitle());
}

bool TrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        refresh();
    // The toolkit gives the icon a window of its own once a tray is there, and shows it: looked at
    // then, never polled, so a desktop without a tray does not keep waking the program.
    if (m_waitingForTray && event->type() == QEvent::Show && watched->isWidgetType())
        noticeEmbedding();
    return QObject::eventFilter(watched, event);
}

} // namespace Lumivox
