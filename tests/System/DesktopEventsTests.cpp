// Window and desktop switches as the X11 backends see them under a real window manager: the root
// window's _NET_ACTIVE_WINDOW and _NET_CURRENT_DESKTOP changes arrive as events (nothing is polled),
// and the active window names its process and application.

#include "Native/Input/Input.h"
#include "Native/Windows/WindowList.h"
#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"
#include "Support/WindowManager.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

using namespace Lumivox;
using namespace Lumivox::Testing;

namespace {

bool run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

TEST(DesktopEvents, ActiveWindowAndDesktopSwitchesArriveAsEvents)
{
    QProcess openbox;
    openbox.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    openbox.start(QStringLiteral("openbox"), {});
    ASSERT_TRUE(openbox.waitForStarted(5000)) << "openbox did not start";
    ASSERT_TRUE(spinUntil(windowManagerReady, std::chrono::seconds(10))) << "openbox did not start";

    FixtureProcess first;
    FixtureProcess second;
    ASSERT_TRUE(
        first.start(QStringLiteral("plain_window"), {QStringLiteral("--at"), QStringLiteral("100,100,300,200")}));
    ASSERT_TRUE(
        second.start(QStringLiteral("plain_window"), {QStringLiteral("--at"), QStringLiteral("500,100,300,200")}));

    const auto input = Native::Input::makeDefault();
    const auto windows = Native::WindowList::makeDefault();
    std::vector<Native::DesktopEvent::Type> events;
    auto monitor = input->addDesktopMonitor([&](const Native::DesktopEvent &e) { events.push_back(e.type); });
    ASSERT_TRUE(monitor);

    for (FixtureProcess *fixture : {&first, &second}) {
        // "ready <window id> <pid>"
        const std::uint32_t windowID = fixture->readyLine().value(1).toUInt();
        events.clear();
        ASSERT_TRUE(run(QStringLiteral("xdotool"),
                        {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(windowID)}));
        ASSERT_TRUE(spinUntil([&] { return !events.empty(); })) << "no event for an activated window";
        EXPECT_EQ(events.front(), Native::DesktopEvent::Type::activeWindowChanged);
        // The window manager may pass through "no active window" on its way to the new one; the
        // event says a change happened, the property settles a moment later.
        std::optional<Native::ActiveWindow> active;
        ASSERT_TRUE(spinUntil([&] {
            active = windows->activeWindow();
            return active && active->windowID == windowID;
        })) << "the activated window never became the active one";
        EXPECT_EQ(active->windowID, windowID);
        EXPECT_EQ(active->pid, fixture->pid());
        EXPECT_EQ(active->applicationID, QStringLiteral("plain_window"));
    }

    events.clear();
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("set_desktop"), QStringLiteral("1")}));
    ASSERT_TRUE(spinUntil([&] {
        return std::find(events.begin(), events.end(), Native::DesktopEvent::Type::desktopChanged) != events.end();
    })) << "no event for another desktop";

    // Once the monitor is gone nothing more is delivered: a monitor installed after it hears the next
    // switch, and by then the first would have too.
    const auto count = events.size();
    monitor.reset();
    bool witnessed = false;
    auto witness = input->addDesktopMonitor([&](const Native::DesktopEvent &e) {
        witnessed = witnessed || e.type == Native::DesktopEvent::Type::desktopChanged;
    });
    ASSERT_TRUE(witness);
    ASSERT_TRUE(run(QStringLiteral("xdotool"), {QStringLiteral("set_desktop"), QStringLiteral("0")}));
    ASSERT_TRUE(spinUntil([&] { return witnessed; })) << "no event for the switch back";
    EXPECT_EQ(events.size(), count);

    openbox.terminate();
    openbox.waitForFinished(5000);
}
