#include "Features/Shell/SettingsWindowOwner.h"

#include "Features/Coordinator/HoverTextController.h"
#include "Features/Settings/SettingsServices.h"
#include "Features/Settings/Views/SettingsWindow.h"
#include "Features/Shell/AppDelegate.h"
#include "Features/Words/Views/WordsSettingsPane.h"
#include "Native/Updates/Updater.h"
#include "Services/Words/ReviewReminder.h"

namespace Lumivox {

namespace {

/// The update switch and button of the General tab, over the program's updater.
class UpdaterForSettings final : public SettingsUpdater
{
public:
    UpdaterForSettings(Native::Updater &updater, QObject *parent)
        : SettingsUpdater(parent)
        , m_updater(updater)
    {
        connect(&updater, &Native::Updater::canCheckForUpdatesChanged, this,
                &SettingsUpdater::canCheckForUpdatesChanged);
    }

    bool canCheckForUpdates() const override { return m_updater.canCheckForUpdates(); }
    bool automaticallyChecksForUpdates() const override { return m_updater.automaticallyChecksForUpdates(); }
    void setAutomaticallyChecksForUpdates(bool checks) override { m_updater.setAutomaticallyChecksForUpdates(checks); }
    void checkForUpdates() override { m_updater.checkForUpdates(); }

private:
    Native::Updater &m_updater;
};

/// Whether the user hid the program with Ctrl+Q, as the application delegate keeps it.
class DelegatePresence final : public SettingsPresence
{
public:
    bool isHiddenByUser() const override { return AppDelegate::dockIconSuppressed; }
    void windowShown() override { AppDelegate::dockIconSuppressed = false; }
    // Nothing to hide: on Linux the program has no dock icon, only the tray icon that stays.
    void returnToTray() override { }
};

} // namespace

SettingsWindowOwner::SettingsWindowOwner(Context context)
    : m_context(context)
{ }

SettingsWindowOwner::~SettingsWindowOwner()
{
    delete m_window.data();
}

QWidget *SettingsWindowOwner::makeWindow(const Context &context)
{
    SettingsWindow::Dependencies deps;
    deps.controller = context.controller;
    deps.appearance = context.appearance;
    // The adaptor lives with the updater, which outlives every window.
    if (context.updater)
        deps.updater = new UpdaterForSettings(*context.updater, context.updater);
    deps.presence = std::make_shared<DelegatePresence>();
    deps.trayAvailable = context.trayAvailable;
    deps.reportProblem = [controller = QPointer<HoverTextController>(context.controller)] {
        if (controller)
            controller->emailDiagnosticReport();
    };
    auto *window = new SettingsWindow(std::move(deps));
    WordsSettingsModel::NotificationPermission permission;
    if (context.reminder)
        permission = [reminder = context.reminder] { return reminder->requestPermission(); };
    window->setWordsPane(new WordsSettingsPane(context.controller->wordBook(), *context.controller,
                                               std::move(permission), AppsSettingsModel::Sources::catalogue().installed,
                                               *context.appearance));
    return window;
}

void SettingsWindowOwner::show()
{
    AppDelegate::dockIconSuppressed = false;
    if (!m_window)
        m_window = makeWindow(m_context);
    if (auto *settings = qobject_cast<SettingsWindow *>(m_window.data())) {
        settings->present();
        return;
    }
    if (m_window->isMinimized())
        m_window->showNormal();
    else
        m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace Lumivox
