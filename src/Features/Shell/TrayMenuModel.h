#pragma once

// The tray menu as data: every row's text, whether it is enabled, shown or checked, its icon and
// what choosing it does. The view (Views/TrayMenu) only turns rows into menu items; tests read the
// rows. Built afresh each time the menu opens (the due count is read then) and whenever the
// coordinator or the update state changes. Main thread.

#include "Features/Coordinator/MenuBarState.h"
#include "Shared/Async/Clock.h"

#include <QKeySequence>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace Lumivox {

class HoverTextController;
class UpdateNotifier;

namespace Native {
class Updater;
}

struct TrayMenuRow
{
    enum class Kind { action, label, separator, submenu };
    enum class Icon { none, updateDot, statusDot };

    Kind kind = Kind::action;
    /// The item's object name ("" for separators).
    QString id;
    QString text;
    bool enabled = true;
    /// Radio rows: their group's name, and whether this one is chosen.
    QString group;
    bool checked = false;
    Icon icon = Icon::none;
    /// For the status dot.
    MenuBarState state = MenuBarState::on;
    /// The key that chooses the row while the menu is open, shown beside its text; empty for none.
    QKeySequence shortcut;
    std::vector<TrayMenuRow> children;
    std::function<void()> trigger;

    bool isCheckable() const { return !group.isEmpty(); }
};

class TrayMenuModel final : public QObject
{
    Q_OBJECT
public:
    struct Dependencies
    {
        HoverTextController *controller = nullptr;
        UpdateNotifier *notifier = nullptr;
        Native::Updater *updater = nullptr;
        std::shared_ptr<Clock> clock;
        /// The program's own Quit.
        std::function<void()> quit;
    };

    explicit TrayMenuModel(Dependencies dependencies, QObject *parent = nullptr);

    std::vector<TrayMenuRow> rows() const;
    /// The saved words due for review now.
    int dueCount() const;

    /// Finds a row by object name, submenus included; null when absent.
    static const TrayMenuRow *find(const std::vector<TrayMenuRow> &rows, const QString &id);

signals:
    /// Something the rows show has changed.
    void changed();

private:
    void checkForUpdates() const;
    TrayMenuRow translateToMenu() const;
    TrayMenuRow translateWhenMenu() const;

    Dependencies m_deps;
};

} // namespace Lumivox
