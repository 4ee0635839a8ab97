#include "Features/Shell/SettingsWindowOwner.h"

#include "Features/Shell/AppDelegate.h"
#include "Features/Shell/PlaceholderSettingsWindow.h"

namespace Lumivox {

SettingsWindowOwner::SettingsWindowOwner(Context context)
    : m_context(context)
{ }

SettingsWindowOwner::~SettingsWindowOwner()
{
    delete m_window.data();
}

QWidget *SettingsWindowOwner::makeWindow(const Context &)
{
    return new PlaceholderSettingsWindow();
}

void SettingsWindowOwner::show()
{
    AppDelegate::dockIconSuppressed = false;
    if (!m_window)
        m_window = makeWindow(m_context);
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace Lumivox
