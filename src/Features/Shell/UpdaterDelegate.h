#pragma once

// The program's answers to the updater: its findings become the notifier's state (the tray menu's
// offer, the icon's dot), an installation in progress lets the quit through, and the updater's
// windows are brought in front of other applications. The updater may call from any thread; every
// change to the notifier and the shared state happens on the main thread.

#include "Native/Updates/Updater.h"

#include <QPointer>

#include <functional>

namespace Lumivox {

class UpdateNotifier;

class AppUpdaterDelegate final : public Native::UpdaterDelegate
{
public:
    explicit AppUpdaterDelegate(UpdateNotifier &notifier);

    void willInstallUpdateOnQuit(const Native::UpdateItem &item, std::function<void()> installNow) override;
    void willInstallUpdate(const Native::UpdateItem &item) override;
    void didAbortWithError(const QString &domain, int code) override;
    void userDidMakeChoice(Native::UpdateChoice choice, const Native::UpdateItem &item) override;
    void willShowModalAlert() override;
    void didShowModalAlert() override;
    bool shouldHandleShowingScheduledUpdate(const Native::UpdateItem &item, bool immediateFocus) override;
    void willHandleShowingUpdate(bool handleShowing, const Native::UpdateItem &item) override;
    void didReceiveUserAttention(const Native::UpdateItem &item) override;
    void willFinishUpdateSession() override;
    /// Scheduled offers are shown gently (the tray's dot and menu row), not in a window.
    static constexpr bool supportsGentleScheduledUpdateReminders = true;

private:
    /// Runs `change` on the main thread: at once when called there, else queued.
    void notify(std::function<void(UpdateNotifier &)> change);

    QPointer<UpdateNotifier> m_notifier;
};

/// Brings the updater's windows forward: the program usually sits in the tray, not in front.
namespace UpdateWindows {

/// The object name every updater window starts with.
inline const QString windowNamePrefix = QStringLiteral("lumivox.update");

/// Clears the hidden state, activates the program and raises the updater's windows now and at
/// 0.05, 0.15, 0.3, 0.6 and 1.0 s (a window may take that long to map).
void willShow();
/// Raises the visible updater windows; nothing while the program is active.
void raise();
/// The check the user asked for (menu, About).
void checkForUpdates(Native::Updater &updater);

} // namespace UpdateWindows

} // namespace Lumivox
