// The program: checks that it runs on an X11 desktop, builds its long-lived objects and the one hover
// coordinator over the desktop's services and runs them until the user or the session ends it.
// SIGTERM and SIGINT end it the same way as quitting: the pending saves are written first, each
// waited for a bounded time.

#include "App/CompositionRoot.h"
#include "Native/Services.h"
#include "Native/Session/TerminationSignals.h"
#include "Native/X11/X11Connection.h"

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

    // Debug lines (every pointer move, every hover stage) are for QT_LOGGING_RULES to turn on.
    QLoggingCategory::setFilterRules(QStringLiteral("app.lumivox.*.debug=false"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumivox"));
    QApplication::setOrganizationName(QStringLiteral("Lumivox"));
    QApplication::setDesktopFileName(QStringLiteral("app.lumivox"));
    QApplication::setQuitOnLastWindowClosed(false);

    CompositionRoot root(Native::services());

    // A save still hanging (a stale network mount, say) must not keep the process alive: what could
    // be written has been, and the quit hooks of the stores would only wait for the same disk again.
    const auto endNowIfSavesHang = [](bool written) {
        if (!written) {
            std::fflush(nullptr);
            std::_Exit(EXIT_FAILURE);
        }
    };
    const auto terminationSignals = Native::TerminationSignals::install();
    if (terminationSignals) {
        QObject::connect(terminationSignals.get(), &Native::TerminationSignals::received, &app,
                         [&] { endNowIfSavesHang(root.quit()); });
    }

    QTimer::singleShot(0, &app, [&sinceStart] { qCDebug(lcApp) << "idle after" << sinceStart.elapsed() << "ms"; });
    const int status = app.exec();
    endNowIfSavesHang(root.quit());
    return status;
}
