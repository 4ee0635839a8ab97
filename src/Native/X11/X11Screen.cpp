#include "Native/X11/X11Screen.h"

#include "Native/X11/X11Connection.h"

#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <X11/Xlib.h>

#include <mutex>
#include <optional>

namespace Lumivox::Native::X11 {

namespace {

std::mutex scaleMutex;
std::optional<ScreenScale> lastSeen;

ScreenScale fromQt()
{
    ScreenScale scale;
    const auto screens = QGuiApplication::screens();
    if (QScreen *primary = QGuiApplication::primaryScreen())
        scale.devicePixelRatio = primary->devicePixelRatio();
    // The same choice of primary screen as the geometry helpers: the one at Qt's origin, else the first.
    for (QScreen *s : screens) {
        if (s->geometry().topLeft() == QPoint(0, 0)) {
            scale.primaryMaxY = s->geometry().height();
            return scale;
        }
    }
    if (!screens.isEmpty())
        scale.primaryMaxY = screens.first()->geometry().y() + screens.first()->geometry().height();
    return scale;
}

ScreenScale fromServer()
{
    ScreenScale scale;
    bool ok = false;
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    if (ok && factor > 0)
        scale.devicePixelRatio = factor;
    if (Display *d = display())
        scale.primaryMaxY = DisplayHeight(d, DefaultScreen(d)) / scale.devicePixelRatio;
    return scale;
}

bool onGuiThread()
{
    auto *app = QCoreApplication::instance();
    return app && qobject_cast<QGuiApplication *>(app) && QThread::currentThread() == app->thread();
}

} // namespace

ScreenScale screenScale()
{
    if (onGuiThread() && !QGuiApplication::screens().isEmpty()) {
        const ScreenScale scale = fromQt();
        std::lock_guard lock(scaleMutex);
        lastSeen = scale;
        return scale;
    }
    {
        std::lock_guard lock(scaleMutex);
        if (lastSeen)
            return *lastSeen;
    }
    return fromServer();
}

} // namespace Lumivox::Native::X11
