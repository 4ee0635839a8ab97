#pragma once

// The program's icon in the panel's tray: the image of the coordinator's state and the update offer,
// the state's title as its tooltip (what screen readers read), and the tray menu. Drawn again when
// the state, the offer or the desktop's colours change.

#include <QObject>
#include <QSystemTrayIcon>

namespace Lumivox {

class HoverTextController;
class UpdateNotifier;
class TrayMenu;

class TrayIcon final : public QObject
{
    Q_OBJECT
public:
    /// How long after a start at login a panel that comes up later has to take the icon in before
    /// the program tells there is no tray.
    static constexpr qint64 trayGraceAtLogin = 10000; // ms

    TrayIcon(HoverTextController &controller, UpdateNotifier &notifier, TrayMenu &menu, QObject *parent = nullptr);

    void show();
    QSystemTrayIcon &icon() { return m_icon; }
    /// Draws the icon for the current state and colours.
    void refresh();

signals:
    /// The tray host has taken the icon in (it has a place on screen): at show(), or whenever a tray
    /// comes later.
    void embedded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void noticeEmbedding();

    HoverTextController &m_controller;
    UpdateNotifier &m_notifier;
    TrayMenu &m_menu;
    QSystemTrayIcon m_icon;
    bool m_waitingForTray = false;
};

} // namespace Lumivox
