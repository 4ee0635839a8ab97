#pragma once

// The tray menu on screen: the model's rows as menu items, rebuilt when the menu is about to show
// and whenever the model changes. Radio rows of one group share an exclusive action group.

#include <QMenu>

namespace Lumivox {

class TrayMenuModel;
struct TrayMenuRow;

class TrayMenu final : public QMenu
{
    Q_OBJECT
public:
    explicit TrayMenu(TrayMenuModel &model, QWidget *parent = nullptr);

    /// Puts the model's current rows in place of the items.
    void rebuild();

private:
    void fill(QMenu &menu, const std::vector<TrayMenuRow> &rows);

    TrayMenuModel &m_model;
};

} // namespace Lumivox
