#include "App/CompositionRoot.h"
#include "Native/Services.h"
#include "Native/X11/X11Connection.h"

#include <QApplication>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Without a display the toolkit would abort with a cryptic message; say it plainly instead.
    if (Lumivox::Native::X11::isWaylandSession() && qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "lumivox: this is a Wayland session without X11; Lumivox needs an X11 desktop.\n");
        return 1;
    }
    if (!Lumivox::Native::X11::isAvailable()) {
        std::fprintf(stderr, "lumivox: no X display is reachable (DISPLAY is unset or the server does not answer).\n");
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumivox"));
    QApplication::setOrganizationName(QStringLiteral("Lumivox"));
    QApplication::setDesktopFileName(QStringLiteral("app.lumivox"));
    QApplication::setQuitOnLastWindowClosed(false);

    Lumivox::CompositionRoot root(Lumivox::Native::services());
    return app.exec();
}
