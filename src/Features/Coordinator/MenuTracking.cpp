#include "Features/Coordinator/MenuTracking.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>

#include <algorithm>

namespace Lumivox {

MenuTracking::MenuTracking(QObject *parent)
    : QObject(parent)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

MenuTracking::~MenuTracking()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool MenuTracking::eventFilter(QObject *watched, QEvent *event)
{
    // Cheap for every other event: two integer compares.
    if (event->type() == QEvent::Show) {
        if (auto *menu = qobject_cast<QMenu *>(watched))
            opened(menu);
    } else if (event->type() == QEvent::Hide) {
        if (qobject_cast<QMenu *>(watched))
            closed(watched);
    }
    return false;
}

void MenuTracking::follow(QMenu &menu)
{
    // Where the menu is a widget these come beside its Show and Hide, which count once.
    connect(&menu, &QMenu::aboutToShow, this, [this, menu = &menu] { opened(menu); });
    connect(&menu, &QMenu::aboutToHide, this, [this, menu = &menu] { closed(menu); });
}

void MenuTracking::opened(QMenu *menu)
{
    const bool first = m_open.empty();
    if (std::find(m_open.begin(), m_open.end(), menu) != m_open.end())
        return;
    m_open.emplace_back(menu);
    // A menu destroyed while open sends no Hide; it still ends its part of the tracking.
    connect(menu, &QObject::destroyed, this, &MenuTracking::closed, Qt::UniqueConnection);
    if (first)
        emit began();
}

void MenuTracking::closed(QObject *menu)
{
    const auto before = m_open.size();
    std::erase_if(m_open, [menu](const QPointer<QObject> &open) { return !open || open == menu; });
    if (before != 0 && m_open.empty())
        emit ended();
}

} // namespace Lumivox
