// The program: checks that it runs on an X11 desktop, makes sure it is the only copy in the session
// (a second launch brings the first one forward and ends), builds its long-lived objects, the one
// hover coordinator, the updater and the tray icon with its menu, and runs until the user or the
// session ends it. Every way of ending it (its Quit, the bus's Quit, SIGTERM, SIGINT, SIGHUP, a
// logout, the loss of the X server) ends the same way: the copy first gives up its name, so that a
// start from then on runs as the one copy, then writes what is pending, each write waited for a
// bounded time, and the process ends at once; a write that failed is told and ends it with status 1.

#include "App/CompositionRoot.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Features/Design/AppIcon.h"
#include "Features/Design/FormStyle.h"
#include "Features/Onboarding/OnboardingWindowOwner.h"
#include "Features/Shell/AppDelegate.h"
#include "Features/Shell/SettingsWindowOwner.h"
#include "Features/Shell/StartNotices.h"
#include "Features/Shell/TrayMenuModel.h"
#include "Features/Shell/UpdateNotifier.h"
#include "Features/Shell/UpdaterDelegate.h"
#include "Features/Shell/Views/TrayIcon.h"
#include "Features/Shell/Views/TrayMenu.h"
#include "Features/Shell/Views/UpdateAlerts.h"
#include "Native/Desktop/MotionPreference.h"
#include "Native/Services.h"
#include "Native/Session/SingleInstance.h"
#include "Native/Session/TerminationSignals.h"
#include "Native/Updates/AppcastUpdater.h"
#include "Native/X11/X11Connection.h"
#include "Services/Words/WordBook.h"
#include "Services/Words/WordBookStorage.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Preferences/PreferenceStore.h"

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

Q_LOGGING_CATEGORY(lcApp, "app.lumivox.App")

using namespace Lumivox;

namespace {

// Ends the process once what is pending has been written, without taking the program apart piece
// by piece: nothing is waited for then (a speech service still starting, worker threads, helper
// processes that end when their pipes close), and nothing is drawn or closed on an X connection that
// may be gone. The session's services drop what the process held (its bus name, its tray icon, its
// key grabs) when its connections close. A sanitizer build looks for leaks first, as an ordinary
// exit would.
[[noreturn]] void endProcess(int status)
{
    std::fflush(nullptr);
#ifdef __SANITIZE_ADDRESS__
    __lsan_do_leak_check();
#endif
    std::_Exit(status);
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();

    // Without a display the toolkit would abort with a cryptic message; say it plainly instead. Under
    // Wayland an X display may answer (XWayland), but the pointer and the screen of the other
    // programs stay out of reach, so that is no place to run either.
    if (Native::X11::isWaylandSession()) {
        std::fprintf(stderr,
                     "lumivox: this is a Wayland session; Lumivox needs an X11 desktop session to follow the"
                     " pointer and read the screen.\n");
        return 1;
    }
    if (!Native::X11::isAvailable()) {
        std::fprintf(stderr,
                     "lumivox: no X display is reachable (DISPLAY is unset or the server does not answer);"
                     " start Lumivox from an X11 desktop session.\n");
        return 1;
    }

    // The terminal gets what a user can act on. Debug lines (every pointer move, every hover stage)
    // and the hover outcomes are for QT_LOGGING_RULES to turn on ("app.lumivox.*=true": all of them).
    QLoggingCategory::setFilterRules(QStringLiteral("app.lumivox.*.debug=false\napp.lumivox.Outcomes=false"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumivox"));
    QApplication::setOrganizationName(QStringLiteral("Lumivox"));
    QApplication::setDesktopFileName(QStringLiteral("app.lumivox"));
    QApplication::setApplicationVersion(QStringLiteral(LUMIVOX_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    FormStyle::install();
    // Every window, the window list, Alt+Tab and the About pane show it.
    QApplication::setWindowIcon(AppIcon::icon());

    // A test run must not share the daily program's settings, words and bus name.
    const bool hostingTests = AppIdentity::isHostingTests();
    if (hostingTests && !AppIdentity::isIsolatedFromDailyApp()) {
        std::fputs("Refusing tests inside the daily Lumivox. Use scripts/lumivox-agent.sh\n", stderr);
        return 1;
    }

    const auto instance = Native::SingleInstance::claim(AppIdentity::bundleID().value_or(AppIdentity::appID));
    if (instance->role() == Native::SingleInstance::Role::secondary) {
        qCInfo(lcApp) << "Lumivox is already running (" << instance->mechanism() << "); it was asked to come forward";
        return 0;
    }
    if (instance->role() == Native::SingleInstance::Role::unanswered) {
        std::fprintf(stderr,
                     "lumivox: another copy holds the session's name \"app.lumivox\" but neither answers nor ends;"
                     " end it (for example with kill) and start Lumivox again.\n");
        return 1;
    }

    // A lost X server (it ended, or the session ended without a session manager) ends the program
    // like SIGTERM, pending saves first, with status 1; the toolkit would end it at once. Watched
    // before anything else of ours talks to the server, so that this watch hears of the loss first.
    std::function<void()> displayLost;
    Native::X11::watchConnectionLoss([&displayLost] {
        if (displayLost)
            displayLost();
        endProcess(EXIT_FAILURE);
    });

    CompositionRoot root(Native::services());
    HoverTextController &controller = *root.hoverController;
    const auto defaults = root.preferences;

    // The one way the program ends. A save still hanging (a stale network mount, say) ends it with
    // status 1: what could be written has been.
    const auto end = [&](int status) {
        instance->release();
        const bool written = root.writePending();
        endProcess(written ? status : EXIT_FAILURE);
    };

    // Updates: the feed is read once a day and on demand; an offer leads to the release's page.
    UpdateNotifier updateNotifier;
    AppUpdaterDelegate updaterDelegate(updateNotifier);
    UpdateAlerts updateAlerts;
    static const QString automaticChecksKey = QStringLiteral("automaticallyChecksForUpdates");
    static const QString skippedVersionKey = QStringLiteral("skippedUpdateVersion");
    Native::AppcastUpdater::Options updaterOptions;
    updaterOptions.feedURL = Native::AppcastUpdater::defaultFeedURL();
    updaterOptions.currentVersion = QCoreApplication::applicationVersion();
    updaterOptions.delegate = &updaterDelegate;
    updaterOptions.userDriver = &updateAlerts;
    updaterOptions.openURL = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    updaterOptions.skippedVersion = [defaults] { return defaults->string(skippedVersionKey).value_or(QString()); };
    updaterOptions.setSkippedVersion = [defaults](const QString &version) {
        defaults->set(skippedVersionKey, version);
    };
    updaterOptions.automaticChecks = !defaults->contains(automaticChecksKey) || defaults->boolValue(automaticChecksKey);
    updaterOptions.storeAutomaticChecks = [defaults](bool on) { defaults->set(automaticChecksKey, on); };
    Native::AppcastUpdater updater(std::move(updaterOptions));
    if (!hostingTests)
        updater.start();
    updateNotifier.track(updater);
    root.settingsWindow->setContext(
        {&controller, &root.appearance, &updateNotifier, &updater, root.reviewReminder,
         hostingTests ? std::function<bool()>() : [] { return QSystemTrayIcon::isSystemTrayAvailable(); }});
    root.onboardingWindow->setContext(
        {&controller, &root.appearance, root.platform.get<Native::MotionPreference>(), Clock::system()});

    AppDelegate::Dependencies delegateDependencies;
    delegateDependencies.controller = &controller;
    delegateDependencies.defaults = defaults;
    delegateDependencies.clock = Clock::system();
    delegateDependencies.hostingTests = hostingTests;
    delegateDependencies.arguments = QCoreApplication::arguments();
    delegateDependencies.ownPID = QCoreApplication::applicationPid();
    delegateDependencies.terminate = [&] { end(EXIT_SUCCESS); };
    AppDelegate delegate(std::move(delegateDependencies));
    QObject::connect(instance.get(), &Native::SingleInstance::activateRequested, &delegate,
                     [&delegate] { delegate.applicationShouldHandleReopen(); });
    QObject::connect(instance.get(), &Native::SingleInstance::quitRequested, &delegate, [&delegate](qint64 caller) {
        delegate.terminate({std::nullopt, caller});
    });
    // A logout ends the program at once (after the desktop has asked for its data).
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &delegate, [&delegate] { delegate.terminate({}); },
        Qt::QueuedConnection);
    // Possibly inside Xlib's handling of the broken connection: no window may be closed or drawn now.
    displayLost = [&end] { end(EXIT_FAILURE); };
    const auto terminationSignals = Native::TerminationSignals::install();
    if (terminationSignals) {
        QObject::connect(terminationSignals.get(), &Native::TerminationSignals::received, &app,
                         [&delegate](int, qint64 sender) {
                             delegate.terminate({std::nullopt, sender});
                         });
    }

    // The tray icon and its menu: the main way into the program. Not in a test host.
    std::unique_ptr<TrayMenuModel> trayMenuModel;
    std::unique_ptr<TrayMenu> trayMenu;
    std::unique_ptr<TrayIcon> trayIcon;
    if (!hostingTests) {
        trayMenuModel = std::make_unique<TrayMenuModel>(TrayMenuModel::Dependencies {
            &controller, &updateNotifier, &updater, Clock::system(), [&delegate] { delegate.quitExplicitly(); }});
        trayMenu = std::make_unique<TrayMenu>(*trayMenuModel);
        controller.followMenu(*trayMenu);
        trayIcon = std::make_unique<TrayIcon>(controller, updateNotifier, *trayMenu);
        QObject::connect(trayIcon.get(), &TrayIcon::embedded, &app,
                         [&sinceStart] { qCInfo(lcApp) << "tray icon shown after" << sinceStart.elapsed() << "ms"; });
        trayIcon->show();

        // Told once, by notification: files of the user's kept aside, and a panel without a tray (then
        // nothing of the program shows after a start at login). A panel may come up after a program
        // started at login, so the tray is judged then only once the icon has had time to be taken in.
        using KeptStore = StartNotices::KeptFile::Store;
        std::vector<StartNotices::KeptFile> kept;
        if (const auto keptAs = defaults->setAsideAs())
            kept.push_back({KeptStore::preferences, defaults->filePath(), *keptAs});
        for (const WordBook::SetAside &file : root.wordBook.setAsideAtStart()) {
            const bool history = QFileInfo(file.file).fileName() == WordBookStorage::historyFileName;
            const KeptStore store = !history ? KeptStore::savedWords
                : file.onlyUnreadableLines   ? KeptStore::historyLines
                                             : KeptStore::history;
            kept.push_back({store, file.file, file.keptAs});
        }
        if (const auto keptAs = root.diagnosticLog.setAsideAtStart())
            kept.push_back({KeptStore::diagnostics, DiagnosticLog::storeURL().value_or(QString()), *keptAs});
        StartNotices::sendKeptFiles(*root.notifications, kept);
        const auto tellIfNoTray = [notifications = root.notifications] {
            if (!QSystemTrayIcon::isSystemTrayAvailable())
                StartNotices::sendNoTray(*notifications);
        };
        if (delegate.isLaunchedAtLoginOrService())
            QTimer::singleShot(std::chrono::milliseconds(TrayIcon::trayGraceAtLogin), &app, tellIfNoTray);
        else
            tellIfNoTray();
    }

    QTimer::singleShot(0, &app, [&sinceStart, &delegate] {
        delegate.applicationDidFinishLaunching();
        qCDebug(lcApp) << "idle after" << sinceStart.elapsed() << "ms";
    });
    end(app.exec());
}
