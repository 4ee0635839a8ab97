#include "App/ShellWindows.h"

#include <QLoggingCategory>

namespace Lumivox::App {

namespace {
Q_LOGGING_CATEGORY(lcApp, "app.lumivox.App")
}

void ShellWindows::showPermissionHelp(Permission permission)
{
    if (permission == Permission::accessibility) {
        qCWarning(lcApp) << "the accessibility bus is off: words are read from the screen only. Turn on"
                            " assistive technologies in your desktop's settings, then restart the"
                            " applications you read from";
    } else {
        qCWarning(lcApp) << "the screen cannot be read in this session (Lumivox needs X11)";
    }
}

} // namespace Lumivox::App
