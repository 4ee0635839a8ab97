#pragma once

// The updater the application drives: it checks the update feed once a day and when the user asks,
// and tells its delegate what it finds and what the user chose. It never downloads or installs:
// on Linux the package manager or the user does that, so an offer leads to the release's page.
//
// The delegate's calls may arrive on any thread; the delegate moves them to the main thread.

#include "Native/Updates/Appcast.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace Lumivox::Native {

using UpdateItem = Appcast::Item;

/// The domain of the errors that end an update session. Codes below 4000 are failures to check
/// (1: network, 2: invalid feed, 3: insecure address); 4000 to 4999 are failures to install.
inline const QString updaterErrorDomain = QStringLiteral("app.lumivox.Updates");

/// What the user chose in the offer of an update.
enum class UpdateChoice {
    /// Skip this version: it is not offered again.
    skip = 0,
    /// Go for it (here: open the release's page).
    install = 1,
    /// Decide later.
    dismiss = 2,
};

/// The program's side of the updater.
class UpdaterDelegate
{
public:
    virtual ~UpdaterDelegate() = default;

    /// A downloaded update will install when the program quits; `installNow` installs it at once.
    virtual void willInstallUpdateOnQuit(const UpdateItem &item, std::function<void()> installNow) = 0;
    virtual void willInstallUpdate(const UpdateItem &item) = 0;
    /// The update session ended with an error (`domain` and `code` say which).
    virtual void didAbortWithError(const QString &domain, int code) = 0;
    virtual void userDidMakeChoice(UpdateChoice choice, const UpdateItem &item) = 0;
    /// One of the updater's windows is about to show, and has shown.
    virtual void willShowModalAlert() = 0;
    virtual void didShowModalAlert() = 0;
    /// Whether a scheduled check shows its offer itself; otherwise the program offers it gently.
    virtual bool shouldHandleShowingScheduledUpdate(const UpdateItem &item, bool immediateFocus) = 0;
    virtual void willHandleShowingUpdate(bool handleShowing, const UpdateItem &item) = 0;
    /// The user's attention went to the offer.
    virtual void didReceiveUserAttention(const UpdateItem &item) = 0;
    virtual void willFinishUpdateSession() = 0;
};

/// What the user sees of a check they asked for: the updater's own windows. The program supplies
/// them (the platform layer draws no widgets).
class UpdateUserDriver
{
public:
    virtual ~UpdateUserDriver() = default;
    virtual void showUpdateFound(const UpdateItem &item, std::function<void(UpdateChoice)> reply) = 0;
    virtual void showUpToDate(const QString &currentVersion) = 0;
    virtual void showCheckFailed(const QString &message) = 0;
};

class Updater : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
public:
    using QObject::QObject;

    /// False while a check runs (and before the updater has started).
    virtual bool canCheckForUpdates() const = 0;
    /// Starts the daily checks (when automatic checks are on).
    virtual void start() = 0;
    /// The check the user asked for: its outcome shows in the updater's windows.
    virtual void checkForUpdates() = 0;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool on) = 0;

signals:
    void canCheckForUpdatesChanged();
};

} // namespace Lumivox::Native
