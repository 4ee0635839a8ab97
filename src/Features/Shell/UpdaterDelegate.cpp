#include "Features/Shell/UpdaterDelegate.h"

#include "Features/Shell/AppDelegate.h"
#include "Features/Shell/UpdateNotifier.h"

#include <QApplication>
#include <QThread>
#include <QTimer>
#include <QWidget>

namespace Lumivox {

AppUpdaterDelegate::AppUpdaterDelegate(UpdateNotifier &notifier)
    : m_notifier(&notifier)
{ }

void AppUpdaterDelegate::notify(std::function<void(UpdateNotifier &)> change)
{
    UpdateNotifier *notifier = m_notifier.data();
    if (!notifier)
        return;
    const auto apply = [notifier = QPointer<UpdateNotifier>(notifier), change = std::move(change)] {
        if (notifier)
            change(*notifier);
    };
    if (QThread::currentThread() == notifier->thread())
        apply();
    else
        QMetaObject::invokeMethod(notifier, apply, Qt::QueuedConnection);
}

void AppUpdaterDelegate::willInstallUpdateOnQuit(const Native::UpdateItem &item, std::function<void()> installNow)
{
    notify([version = item.displayVersion, installNow = std::move(installNow)](UpdateNotifier &notifier) {
        notifier.showReadyToInstall(version, installNow);
    });
}

void AppUpdaterDelegate::willInstallUpdate(const Native::UpdateItem &)
{
    notify([](UpdateNotifier &) { AppDelegate::beginUpdateInstallation(); });
}

void AppUpdaterDelegate::didAbortWithError(const QString &domain, int code)
{
    notify([clearPending = UpdateNotifier::shouldClearInstallOnQuit(domain, code)](UpdateNotifier &) {
        AppDelegate::endUpdateInstallation();
        if (clearPending)
            UpdateNotifier::clearInstallOnQuit();
    });
}

void AppUpdaterDelegate::userDidMakeChoice(Native::UpdateChoice choice, const Native::UpdateItem &)
{
    if (choice != Native::UpdateChoice::skip)
        return;
    notify([](UpdateNotifier &) {
        AppDelegate::endUpdateInstallation();
        UpdateNotifier::clearInstallOnQuit();
    });
}

void AppUpdaterDelegate::willShowModalAlert()
{
    notify([](UpdateNotifier &) { UpdateWindows::willShow(); });
}

void AppUpdaterDelegate::didShowModalAlert()
{
    // The program has no Dock state to return to on Linux: it stays in the tray either way.
}

bool AppUpdaterDelegate::shouldHandleShowingScheduledUpdate(const Native::UpdateItem &, bool immediateFocus)
{
    return immediateFocus;
}

void AppUpdaterDelegate::willHandleShowingUpdate(bool handleShowing, const Native::UpdateItem &item)
{
    if (handleShowing)
        return;
    notify([version = item.displayVersion](UpdateNotifier &notifier) { notifier.show(version); });
}

void AppUpdaterDelegate::didReceiveUserAttention(const Native::UpdateItem &)
{
    notify([](UpdateNotifier &notifier) { notifier.clear(); });
}

void AppUpdaterDelegate::willFinishUpdateSession()
{
    notify([](UpdateNotifier &notifier) {
        AppDelegate::endUpdateInstallation();
        notifier.clear();
    });
}

namespace UpdateWindows {

void willShow()
{
    AppDelegate::dockIconSuppressed = false;
    using namespace std::chrono_literals;
    for (auto delay : {50ms, 150ms, 300ms, 600ms, 1000ms})
        QTimer::singleShot(delay, qApp, [] { raise(); });
}

void raise()
{
    if (!qApp || QGuiApplication::applicationState() == Qt::ApplicationActive)
        return;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->objectName().startsWith(windowNamePrefix)) {
            window->raise();
            window->activateWindow();
        }
    }
}

void checkForUpdates(Native::Updater &updater)
{
    willShow();
    updater.checkForUpdates();
}

} // namespace UpdateWindows

} // namespace Lumivox
