#pragma once

// Whether one of the program's own menus is open, as the tray menu and any context menu show them.
// Every menu of the process counts, submenus included: tracking begins when the first menu opens
// and ends when the last one closes, so moving into a submenu and back is not an end. A menu shown
// as a widget is seen by itself; a menu that the panel draws (a status-notifier host, which gets the
// tray menu over D-Bus) is never shown as a widget, so it is followed through its aboutToShow and
// aboutToHide. Menus of other applications cannot be watched on X11. Main thread.

#include <QObject>
#include <QPointer>

#include <vector>

class QMenu;

namespace Lumivox {

class MenuTracking final : public QObject
{
    Q_OBJECT
public:
    /// Watches the menus of the running application (none when there is no application object).
    explicit MenuTracking(QObject *parent = nullptr);
    ~MenuTracking() override;

    bool isTracking() const { return !m_open.empty(); }
    /// Also follows the menu through aboutToShow and aboutToHide, which come where the panel draws it.
    void follow(QMenu &menu);

signals:
    void began();
    void ended();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void opened(QMenu *menu);
    void closed(QObject *menu);

    std::vector<QPointer<QObject>> m_open;
};

} // namespace Lumivox
