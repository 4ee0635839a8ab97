// The program: checks that it runs on an X11 desktop, builds the one hover coordinator over the
// desktop's services and runs it until the user or the session ends it. SIGTERM and SIGINT end it the
// same way as quitting: the pending saves are written first, each waited for a bounded time.

#include "App/AbsentViews.h"
#include "Features/Coordinator/HoverTextController.h"
#include "Native/Accessibility/Accessibility.h"
#include "Native/Capture/ScreenCapture.h"
#include "Native/Input/Input.h"
#include "Native/Services.h"
#include "Native/Session/LoginItem.h"
#include "Native/Session/TerminationSignals.h"
#include "Native/Windows/WindowList.h"
#include "Native/X11/X11Connection.h"
#include "Services/Translation/AppleTranslateService.h"
#include "Services/Words/WordBook.h"
#include "Shared/Diagnostics/DiagnosticLog.h"
#include "Shared/Platform/AppIdentity.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcApp, "app.lumivox.App")

using namespace Lumivox;

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();

    // Without a display the toolkit would abort with a cryptic message; say it plainly instead.
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

    // Debug lines (every pointer move, every hover stage) are for QT_LOGGING_RULES to turn on.
    QLoggingCategory::setFilterRules(QStringLiteral("app.lumivox.*.debug=false"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumivox"));
    QApplication::setOrganizationName(QStringLiteral("Lumivox"));
    QApplication::setDesktopFileName(QStringLiteral("app.lumivox"));
    QApplication::setQuitOnLastWindowClosed(false);

    HoverTextController::Dependencies dependencies;
    dependencies.defaults = PreferenceStore::standard();
    dependencies.wordBook = &WordBook::shared();
    dependencies.clock = Clock::system();
    dependencies.input = Native::service<Native::Input>();
    dependencies.windowList = Native::service<Native::WindowList>();
    dependencies.accessibility = Native::service<Native::Accessibility>();
    dependencies.capture = Native::service<Native::ScreenCapture>();
    dependencies.loginItem = Native::LoginItem::autostartEntry(Native::LoginItem::userAutostartFolder(),
                                                               QCoreApplication::applicationFilePath(),
                                                               AppIdentity::bundleID().value_or(AppIdentity::appID));
    dependencies.overlay = std::make_shared<App::AbsentOverlay>();
    dependencies.picker = std::make_shared<App::AbsentPicker>();
    dependencies.windows = std::make_shared<App::AbsentWindows>();
    dependencies.prepareOnDeviceSession = [](const QString &source, const QString &target) {
        AppleTranslateService::shared().prepareSession(source, target);
    };
    dependencies.flushDiagnostics = [](std::chrono::milliseconds limit) {
        return DiagnosticLog::shared().flushBeforeQuit(limit);
    };
    dependencies.hostingTests = AppIdentity::isHostingTests();
    HoverTextController controller(std::move(dependencies));

    // A save still hanging (a stale network mount, say) must not keep the process alive: what could
    // be written has been, and the quit hooks of the stores would only wait for the same disk again.
    const auto endNowIfSavesHang = [&controller] {
        if (!controller.applicationWillTerminate()) {
            std::fflush(nullptr);
            std::_Exit(EXIT_FAILURE);
        }
    };
    const auto terminationSignals = Native::TerminationSignals::install();
    if (terminationSignals) {
        QObject::connect(terminationSignals.get(), &Native::TerminationSignals::received, &app, [&endNowIfSavesHang] {
            endNowIfSavesHang();
            QCoreApplication::quit();
        });
    }

    QTimer::singleShot(0, &app, [&sinceStart] { qCDebug(lcApp) << "idle after" << sinceStart.elapsed() << "ms"; });
    const int status = app.exec();
    endNowIfSavesHang();
    return status;
}
