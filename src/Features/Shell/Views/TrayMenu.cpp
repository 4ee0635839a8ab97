#include "Features/Shell/Views/TrayMenu.h"

#include "Features/Shell/TablerIcon.h"
#include "Features/Shell/TrayMenuModel.h"

#include <QActionGroup>
#include <QHash>
#include <QPixmap>
#include <QShortcut>
#include <QWidgetAction>

namespace Lumivox {

TrayMenu::TrayMenu(TrayMenuModel &model, QWidget *parent)
    : QMenu(parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("trayMenu"));
    connect(this, &QMenu::aboutToShow, this, &TrayMenu::rebuild);
    // Queued: a change often comes from one of this menu's own items while it is being triggered,
    // and that item must outlive its signal.
    connect(&m_model, &TrayMenuModel::changed, this, &TrayMenu::rebuild, Qt::QueuedConnection);
    rebuild();
}

void TrayMenu::rebuild()
{
    // Submenus and action groups are children of this menu: clearing takes the actions, the rest
    // goes with the old children.
    clear();
    for (QObject *child : children()) {
        if (qobject_cast<QMenu *>(child) || qobject_cast<QActionGroup *>(child) || qobject_cast<QShortcut *>(child))
            child->deleteLater();
    }
    fill(*this, m_model.rows());
}

void TrayMenu::fill(QMenu &menu, const std::vector<TrayMenuRow> &rows)
{
    QHash<QString, QActionGroup *> groups;
    const qreal ratio = devicePixelRatioF();
    for (const TrayMenuRow &row : rows) {
        switch (row.kind) {
        case TrayMenuRow::Kind::separator:
            menu.addSeparator();
            continue;
        case TrayMenuRow::Kind::submenu: {
            auto *sub = new QMenu(row.text, this);
            sub->setObjectName(row.id);
            fill(*sub, row.children);
            menu.addMenu(sub);
            continue;
        }
        case TrayMenuRow::Kind::label:
        case TrayMenuRow::Kind::action:
            break;
        }
        QAction *item = menu.addAction(row.text);
        item->setObjectName(row.id);
        // A label is a disabled item: it reads as text and cannot be chosen.
        item->setEnabled(row.kind == TrayMenuRow::Kind::action && row.enabled);
        if (row.icon != TrayMenuRow::Icon::none) {
            const QPixmap dot =
                QPixmap::fromImage(row.icon == TrayMenuRow::Icon::updateDot ? TablerIcon::updateDot(ratio)
                                                                            : TablerIcon::statusDot(row.state, ratio));
            // The status line is a disabled item; its dot keeps its colour all the same.
            QIcon icon(dot);
            icon.addPixmap(dot, QIcon::Disabled);
            item->setIcon(icon);
        }
        if (row.isCheckable()) {
            QActionGroup *&group = groups[row.group];
            if (!group) {
                group = new QActionGroup(this);
                group->setExclusive(true);
            }
            item->setCheckable(true);
            item->setChecked(row.checked);
            group->addAction(item);
        }
        if (row.kind == TrayMenuRow::Kind::action && row.trigger)
            connect(item, &QAction::triggered, this, [trigger = row.trigger] { trigger(); });
        if (!row.shortcut.isEmpty()) {
            // The item shows its key; Qt gives an item's key only to menus that a window holds, not
            // to a tray's, so this menu takes the key itself while it is open.
            item->setShortcut(row.shortcut);
            auto *key = new QShortcut(row.shortcut, this);
            connect(key, &QShortcut::activated, item, [this, item] {
                close();
                if (item->isEnabled())
                    item->trigger();
            });
        }
    }
}

} // namespace Lumivox
