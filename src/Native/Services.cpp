#include "Native/Services.h"

#include "Native/X11/X11Connection.h"

#include <QByteArray>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPlatform, "app.lumivox.Platform")

namespace Lumivox::Native {

Services &services()
{
    static Services registry;
    return registry;
}

Platform choosePlatform(std::string_view requested, bool waylandSession, const std::function<bool()> &displayReachable)
{
    if (requested == "x11")
        return Platform::x11;
    if (requested == "null")
        return Platform::unavailable;
    if (!requested.empty()) {
        qCWarning(lcPlatform).noquote() << "LUMIVOX_PLATFORM" << QString::fromUtf8(requested.data(), requested.size())
                                        << "is neither \"x11\" nor \"null\"; choosing by the session instead";
    }
    // Through XWayland only the X clients would be seen, and a point over a native Wayland window
    // would be blamed on whatever X window lies beneath it: better no answer than a wrong one.
    if (waylandSession)
        return Platform::unavailable;
    return displayReachable() ? Platform::x11 : Platform::unavailable;
}

Platform platform()
{
    static const Platform chosen = [] {
        const QByteArray requested = qgetenv("LUMIVOX_PLATFORM");
        const bool wayland = X11::isWaylandSession();
        const Platform platform = choosePlatform(std::string_view(requested.constData(), requested.size()), wayland,
                                                 [] { return X11::isAvailable(); });
        if (platform == Platform::unavailable) {
            const char *reason = requested == "null" ? "LUMIVOX_PLATFORM=null"
                : wayland                            ? "this is a Wayland session"
                                                     : "no X display is reachable";
            qCInfo(lcPlatform) << reason << "- the pointer, windows, screen capture, hot keys and accessibility"
                               << "are unavailable";
        }
        return platform;
    }();
    return chosen;
}

} // namespace Lumivox::Native
