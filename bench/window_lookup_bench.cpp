// Cost of finding the window under a point on a real X server, with a desktop of about 40 windows,
// first bare and then under openbox. Run inside the private session:
//   scripts/run-session.sh build/release/bench/window_lookup_bench
// The fixture windows come from LUMIVOX_FIXTURES_DIR (default: the build tree's fixtures folder).

#include "Native/Services.h"
#include "Native/Windows/WindowList.h"
#include "Shared/Platform/WindowLookup.h"
#include "Support/FixtureProcess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

using namespace Lumivox;

namespace {

xcb_connection_t *benchConnection = nullptr;

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()> &condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        runFor(20);
    }
    return true;
}

void measure(const char *what, int iterations, const std::function<void()> &fn)
{
    std::vector<double> micros;
    for (int i = 0; i < iterations; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        micros.push_back(t.nsecsElapsed() / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    double sum = 0;
    for (double m : micros)
        sum += m;
    std::printf("  %-44s mean %8.1f us  median %8.1f us  p95 %8.1f us\n", what, sum / micros.size(),
                micros[micros.size() / 2], micros[micros.size() * 95 / 100]);
    std::fflush(stdout);
}

QByteArray rootProperty(const char *name)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QString::fromLatin1(name)});
    xprop.waitForFinished(5000);
    return xprop.readAllStandardOutput();
}

void runAll(const char *title, QPointF overFixture, std::int32_t fixturePid)
{
    const auto list = Native::service<Native::WindowList>();
    std::printf("%s (%zu windows listed)\n", title, list->windows().size());
    measure("one bare round trip to the server (for scale)", 500, [] {
        std::free(xcb_get_input_focus_reply(benchConnection, xcb_get_input_focus(benchConnection), nullptr));
    });
    WindowLookup::resetBundleIDCache();
    (void)WindowLookup::window(overFixture);
    measure("WindowLookup::window (app id cached)", 500, [&] { (void)WindowLookup::window(overFixture); });
    measure("WindowList::windowsAt", 500, [&] { (void)list->windowsAt(overFixture); });
    measure("WindowList::topmostWindowNumber", 500, [&] { (void)list->topmostWindowNumber(overFixture); });
    measure("WindowLookup::window again", 500, [&] { (void)WindowLookup::window(overFixture); });
    measure("WindowList::windows (whole list)", 200, [&] { (void)list->windows(); });
    measure("WindowList::applicationID (uncached)", 200, [&] { (void)list->applicationID(fixturePid); });
    measure("WindowLookup::window (app id not cached)", 200, [&] {
        WindowLookup::resetBundleIDCache();
        (void)WindowLookup::window(overFixture);
    });
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // Thirty plain windows of another client, scattered, and three fixture applications on top.
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    benchConnection = c;
    if (xcb_connection_has_error(c)) {
        std::printf("no X display\n");
        return 1;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    for (int i = 0; i < 30; ++i) {
        const xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, static_cast<std::int16_t>(37 * i % 900),
                          static_cast<std::int16_t>(23 * i % 500), 300, 200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        xcb_map_window(c, w);
    }
    xcb_flush(c);

    std::vector<std::unique_ptr<Testing::FixtureProcess>> apps;
    std::int32_t fixturePid = 0;
    for (int i = 0; i < 3; ++i) {
        auto p = std::make_unique<Testing::FixtureProcess>();
        if (!p->start(QStringLiteral("plain_window"),
                      {QStringLiteral("--at"), QStringLiteral("%1,%2,400,300").arg(200 + 50 * i).arg(150 + 40 * i)})) {
            std::printf("the fixture window did not start (%s)\n",
                        qPrintable(Testing::FixtureProcess::fixturesDirectory()));
            return 1;
        }
        // "ready <window id> <pid>"
        fixturePid = p->readyLine().value(2).toInt();
        apps.push_back(std::move(p));
    }
    const QPointF overFixture(400, 330);
    runAll("Without a window manager", overFixture, fixturePid);

    QProcess openbox;
    openbox.start(QStringLiteral("openbox"), {});
    const bool managed = openbox.waitForStarted(5000)
        && waitFor([] { return rootProperty("_NET_CLIENT_LIST_STACKING").count("0x") >= 33; }, 15000);
    if (managed) {
        runFor(500);
        runAll("Under openbox", overFixture, fixturePid);
    } else {
        std::printf("openbox did not manage the windows; no figures with a window manager\n");
    }

    apps.clear();
    openbox.terminate();
    openbox.waitForFinished(3000);
    xcb_disconnect(c);
    return 0;
}
