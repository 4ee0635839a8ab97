#include "Features/Onboarding/OnboardingWindowOwner.h"

#include "Features/Onboarding/Views/OnboardingWindow.h"
#include "Features/Shell/AppDelegate.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

namespace Lumivox {

OnboardingWindowOwner::~OnboardingWindowOwner()
{
    if (m_window)
        m_window->removeEventFilter(this);
    delete m_window.data();
}

void OnboardingWindowOwner::show()
{
    if (!m_context.controller || !m_context.appearance)
        return;
    AppDelegate::dockIconSuppressed = false;
    if (m_window && !m_window->isVisible()) {
        // A closed guide starts over: a new window, at the first step, with the loop at its start.
        m_window->removeEventFilter(this);
        delete m_window.data();
    }
    if (!m_window) {
        m_window =
            new OnboardingWindow(*m_context.controller, m_context.motion, m_context.clock, *m_context.appearance);
        m_window->installEventFilter(this);
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), m_window->size());
            frame.moveCenter(screen->availableGeometry().center());
            m_window->move(frame.topLeft());
        }
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

OnboardingWindow *OnboardingWindowOwner::window() const
{
    return static_cast<OnboardingWindow *>(m_window.data());
}

bool OnboardingWindowOwner::isVisible() const
{
    return m_window && m_window->isVisible();
}

void OnboardingWindowOwner::close()
{
    if (m_window)
        m_window->close();
}

bool OnboardingWindowOwner::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Hide)
        emit closed();
    return QObject::eventFilter(watched, event);
}

} // namespace Lumivox
