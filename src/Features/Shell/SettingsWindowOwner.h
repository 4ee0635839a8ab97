#pragma once

// The one place that makes the Settings window: on first use, kept when closed and reused, and
// brought to the front each time it is opened. Main thread.

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace Lumivox {

class Appearance;
class HoverTextController;
class ReviewReminder;
class UpdateNotifier;
namespace Native {
class Updater;
}

class SettingsWindowOwner
{
public:
    /// What the window is made with.
    struct Context
    {
        HoverTextController *controller = nullptr;
        Appearance *appearance = nullptr;
        UpdateNotifier *notifier = nullptr;
        Native::Updater *updater = nullptr;
        /// Asked whether notifications can be shown when the review reminder is turned on; none:
        /// they cannot.
        std::shared_ptr<ReviewReminder> reminder;
        /// Whether the panel has a tray for the program's icon; none: it is taken to have one.
        std::function<bool()> trayAvailable;
    };

    SettingsWindowOwner() = default;
    explicit SettingsWindowOwner(Context context);
    ~SettingsWindowOwner();
    /// The window is made on first use: the application may fill this in after making the owner.
    void setContext(Context context) { m_context = context; }

    /// Makes the window if needed, shows it and brings it forward; like every window opener, it
    /// ends the hidden state that Ctrl+Q left.
    void show();
    /// The window, once made.
    QWidget *window() const { return m_window.data(); }

    /// Makes the Settings window.
    static QWidget *makeWindow(const Context &context);

private:
    Context m_context;
    QPointer<QWidget> m_window;
};

} // namespace Lumivox
