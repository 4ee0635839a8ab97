#pragma once

// What the program does at launch, when it is opened again, and when something asks it to end.
// Ctrl+Q in one of its windows only closes the windows and leaves the program in the tray; its own
// Quit, a quit from another process (the bus's Quit, SIGTERM), a logout and any request while an
// update installs really end it, pending saves first.
//
// The design's Dock icon has no Linux counterpart; its suppression state is kept all the same,
// because the window openers and the reopen rule read it. The decisions are pure functions, tested
// without an application. Main thread.

#include "Shared/Async/Clock.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidgetList>

#include <functional>
#include <memory>
#include <optional>

namespace Lumivox {

class HoverTextController;
class PreferenceStore;

class AppDelegate final : public QObject
{
    Q_OBJECT
public:
    using Instant = Clock::Instant;

    /// The key press that asked to quit, as far as the decision needs it.
    struct KeyPress
    {
        bool isKeyDown = true;
        Qt::KeyboardModifiers modifiers;
        /// The key's text without modifiers (Shift or Caps Lock may make it upper-case).
        QString charactersIgnoringModifiers;
    };

    /// A request to end the program: the key press behind it, if any, and the process that sent it.
    struct TerminateRequest
    {
        std::optional<KeyPress> event;
        std::optional<qint64> senderPID;
    };

    enum class TerminateReply { terminateNow, terminateCancel };

    struct Dependencies
    {
        /// The coordinator whose windows a launch or reopen opens; none: nothing opens.
        HoverTextController *controller = nullptr;
        std::shared_ptr<PreferenceStore> defaults;
        std::shared_ptr<Clock> clock;
        bool hostingTests = false;
        /// The process's arguments; "--autostart" marks a launch at login.
        QStringList arguments;
        qint64 ownPID = 0;
        /// Ends the process: the pending saves are written first.
        std::function<void()> terminate;
        /// The program's top-level windows (QApplication's by default).
        std::function<QWidgetList()> windows;
    };

    explicit AppDelegate(Dependencies dependencies, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The state shared with the window openers and the update glue.
    static inline bool dockIconSuppressed = false;
    static inline std::optional<Instant> ignoreReopenUntil;
    static inline bool isExplicitQuitRequested = false;
    static inline bool updateInstallInProgress = false;

    /// Launch: in a test host nothing; otherwise Settings (or nothing while onboarding runs, which
    /// opens itself), unless the program was started at login.
    void applicationDidFinishLaunching();
    /// The program was opened again (a second launch). False when the reopen is ignored.
    bool applicationShouldHandleReopen();
    TerminateReply applicationShouldTerminate(const TerminateRequest &request);
    /// Asks to end the program; ends it unless the request only hides the windows.
    void terminate(const TerminateRequest &request);

    /// The program's own Quit: runs a waiting update installation first (ending 5 s later).
    void quitExplicitly();
    bool isLaunchedAtLoginOrService() const;
    static QWidgetList standardWindows(const QWidgetList &among);
    void hideWindows();
    static void beginUpdateInstallation() { updateInstallInProgress = true; }
    static void endUpdateInstallation() { updateInstallInProgress = false; }

    // The decisions.
    static bool shouldIgnoreReopen(bool dockIconSuppressed, std::optional<Instant> ignoreUntil, Instant now);
    static void noteDockIconHidden(Instant now);
    /// The sender of a quit request; a sender the kernel or the bus did not name (0) counts as none.
    static std::optional<qint64> quitSenderPID(std::optional<qint64> reported);
    static bool shouldHideInsteadOfTerminating(const std::optional<KeyPress> &event, bool explicitQuitRequested,
                                               std::optional<qint64> quitSenderPID, bool updateInstallInProgress,
                                               qint64 ownPID);
    static bool shouldClearUpdateInstallFlag(bool wasInstalling, bool hidInstead)
    {
        return wasInstalling && !hidInstead;
    }

    /// How long after a Ctrl+Q hide a reopen is ignored, and how long a waiting installation gets
    /// before the program ends.
    static constexpr std::chrono::seconds reopenGrace {1};
    static constexpr std::chrono::seconds installOnQuitDelay {5};

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openSettingsIfNeeded();

    Dependencies m_deps;
};

} // namespace Lumivox
