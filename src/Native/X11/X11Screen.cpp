#include "Native/X11/X11Screen.h"

#include "Native/X11/X11Connection.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cmath>
#include <mutex>

namespace Lumivox::Native::X11 {

namespace {

std::mutex snapshotMutex;
std::shared_ptr<const ScreenSnapshot> published;
std::uint64_t generations = 0;
// The application whose screens are followed; another one (a test's next) is followed afresh.
QPointer<QCoreApplication> followed;

bool onGuiThread()
{
    auto *app = QCoreApplication::instance();
    return app && qobject_cast<QGuiApplication *>(app) && QThread::currentThread() == app->thread();
}

QSize monitorSizeAt(const std::vector<Monitor> &monitors, QPoint origin)
{
    for (const Monitor &m : monitors) {
        if (m.pixels.topLeft() == origin)
            return m.pixels.size();
    }
    return {};
}

// Qt keeps each screen's pixel origin as its origin in points; its pixel size is the monitor's, or
// where no monitor starts there (no RandR), the size in points times the ratio.
ScreenLayout fromQt()
{
    std::vector<Monitor> found;
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        found = monitors(display());
    std::vector<LayoutScreen> screens;
    for (QScreen *s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        const double factor = s->devicePixelRatio();
        QSize size = monitorSizeAt(found, g.topLeft());
        if (size.isEmpty())
            size = QSize(int(std::lround(g.width() * factor)), int(std::lround(g.height() * factor)));
        screens.push_back({QRect(g.topLeft(), size), factor});
    }
    return ScreenLayout(std::move(screens));
}

ScreenLayout fromServer()
{
    bool ok = false;
    const double factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    std::vector<LayoutScreen> screens;
    for (const Monitor &m : monitors(display()))
        screens.push_back({m.pixels, ok && factor > 0 ? factor : 1.0});
    return ScreenLayout(std::move(screens));
}

void publish(ScreenLayout layout)
{
    std::lock_guard lock(snapshotMutex);
    if (published && published->layout == layout)
        return;
    published = std::make_shared<const ScreenSnapshot>(ScreenSnapshot {std::move(layout), ++generations});
}

void refresh()
{
    publish(fromQt());
}

void follow(QScreen *screen)
{
    QObject::connect(screen, &QScreen::geometryChanged, qApp, refresh);
    QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, qApp, refresh);
}

void followScreens()
{
    followed = QCoreApplication::instance();
    auto *app = qGuiApp;
    QObject::connect(app, &QGuiApplication::screenAdded, app, [](QScreen *screen) {
        follow(screen);
        refresh();
    });
    // Qt still lists a screen while it announces its removal.
    QObject::connect(
        app, &QGuiApplication::screenRemoved, app, [] { refresh(); }, Qt::QueuedConnection);
    QObject::connect(app, &QGuiApplication::primaryScreenChanged, app, refresh);
    for (QScreen *screen : QGuiApplication::screens())
        follow(screen);
    refresh();
}

} // namespace

std::vector<Monitor> monitors(Display *d)
{
    std::vector<Monitor> out;
    if (!d)
        return out;
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (XRRQueryExtension(d, &event, &error) && XRRQueryVersion(d, &major, &minor)
        && (major > 1 || (major == 1 && minor >= 5))) {
        int count = 0;
        if (XRRMonitorInfo *list = XRRGetMonitors(d, DefaultRootWindow(d), True, &count)) {
            for (int i = 0; i < count; ++i) {
                const XRRMonitorInfo &m = list[i];
                if (m.width <= 0 || m.height <= 0)
                    continue;
                const Monitor monitor {static_cast<std::uint32_t>(m.name), QRect(m.x, m.y, m.width, m.height)};
                if (m.primary)
                    out.insert(out.begin(), monitor);
                else
                    out.push_back(monitor);
            }
            XRRFreeMonitors(list);
        }
    }
    if (out.empty()) {
        const Screen *screen = DefaultScreenOfDisplay(d);
        out.push_back({0, QRect(0, 0, WidthOfScreen(screen), HeightOfScreen(screen))});
    }
    return out;
}

std::shared_ptr<const ScreenSnapshot> screenSnapshot()
{
    if (onGuiThread() && followed != QCoreApplication::instance())
        followScreens();
    {
        std::lock_guard lock(snapshotMutex);
        if (published)
            return published;
    }
    // Asked before the GUI thread has read Qt's screens (or without a GUI at all): kept until it does.
    ScreenLayout layout = fromServer();
    std::lock_guard lock(snapshotMutex);
    if (!published)
        published = std::make_shared<const ScreenSnapshot>(ScreenSnapshot {std::move(layout), ++generations});
    return published;
}

} // namespace Lumivox::Native::X11
