#pragma once

// The one place that makes the first-run window. Asked to show it while it is on screen, it only
// brings it forward; asked while it is closed (or not yet made), it shows a fresh window that starts
// at the first step. Main thread.

#include "Shared/Async/Clock.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace Lumivox {

class Appearance;
class HoverTextController;
class OnboardingWindow;
namespace Native {
class MotionPreference;
}

class OnboardingWindowOwner final : public QObject
{
    Q_OBJECT
public:
    struct Context
    {
        HoverTextController *controller = nullptr;
        const Appearance *appearance = nullptr;
        std::shared_ptr<Native::MotionPreference> motion;
        std::shared_ptr<Clock> clock;
    };

    OnboardingWindowOwner() = default;
    ~OnboardingWindowOwner() override;
    /// The window is made on first use: the application may fill this in after making the owner.
    void setContext(Context context) { m_context = std::move(context); }

    void show();
    bool isVisible() const;
    /// Closes the window; it is made afresh the next time.
    void close();
    OnboardingWindow *window() const;

signals:
    /// The window left the screen, by its close button or because the guide was finished.
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Context m_context;
    // Untyped, so that events a window gets while it is being destroyed never cast it.
    QPointer<QWidget> m_window;
};

} // namespace Lumivox
