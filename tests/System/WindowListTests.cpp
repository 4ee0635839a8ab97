// The X11 window list and the window-under-a-point lookup against a real X server, with fixture
// windows of our own: without a window manager first, then under openbox, which the last test
// starts itself.

#include "Features/Overlay/OverlayPanel.h"
#include "Native/Services.h"
#include "Native/Windows/WindowList.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Platform/ScreenGeometry.h"
#include "Shared/Platform/WindowLookup.h"
#include "Support/FixtureProcess.h"
#include "Support/TestSupport.h"
#include "Support/WindowManager.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace Lumivox;
using Testing::rootProperty;
using Testing::windowManagerReady;
using Testing::windowManagerRunning;

namespace {

struct FixtureWindow
{
    Testing::FixtureProcess process;
    std::uint32_t windowID = 0;
    std::int32_t pid = 0;
};

// Starts the fixture window and waits until it is on screen. Fails the test when it does not come up.
std::unique_ptr<FixtureWindow> launch(const QStringList &args,
                                      const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    auto fixture = std::make_unique<FixtureWindow>();
    if (!fixture->process.start(QStringLiteral("plain_window"), args, env)) {
        QProcess tree;
        tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        tree.waitForFinished(5000);
        ADD_FAILURE() << "the fixture window did not report that it is on screen; windows:\n"
                      << tree.readAllStandardOutput().toStdString();
        return nullptr;
    }
    // "ready <window id> <pid>"
    const QList<QByteArray> &parts = fixture->process.readyLine();
    fixture->windowID = parts.value(1).toUInt();
    fixture->pid = parts.value(2).toInt();
    return fixture;
}

std::optional<Native::WindowInfo> listed(std::uint32_t id)
{
    for (const Native::WindowInfo &w : Native::service<Native::WindowList>()->windows()) {
        if (w.windowID == id)
            return w;
    }
    return std::nullopt;
}

// Waits until the window list shows the window with its final bounds (a window manager maps and
// moves it a little after the fixture is exposed).
bool waitUntilListed(std::uint32_t id, std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    return Testing::spinUntil([&] { return listed(id).has_value(); }, timeout);
}

class WithoutWindowManager : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(windowManagerRunning()) << "these cases need a bare X server (run-session.sh without --wm); the "
                                                "window-manager case starts openbox itself";
        WindowLookup::resetBundleIDCache();
    }
};

} // namespace

TEST_F(WithoutWindowManager, TheWindowUnderAPointIsTheFixtureWithItsPidAndAppID)
{
    auto fixture = launch({QStringLiteral("--at"), QStringLiteral("200,150,400,300")});
    ASSERT_TRUE(fixture);
    ASSERT_TRUE(waitUntilListed(fixture->windowID));

    const auto info = listed(fixture->windowID);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->bounds, QRectF(200, 150, 400, 300));
    EXPECT_EQ(info->pid, fixture->pid);
    EXPECT_EQ(info->layer, 0);
    EXPECT_EQ(info->title, QStringLiteral("Plain window"));

    const auto hit = WindowLookup::window(QPointF(400, 300));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->windowID, fixture->windowID);
    EXPECT_EQ(hit->pid, fixture->pid);
    EXPECT_EQ(hit->bundleIdentifier, QStringLiteral("plain_window"));
    EXPECT_FALSE(hit->isSystemOverlay());

    // Edges as the window server counts them: the top-left corner is inside, the far edges are not.
    EXPECT_TRUE(WindowLookup::window(QPointF(200, 150)));
    EXPECT_FALSE(WindowLookup::window(QPointF(600, 300)));
    EXPECT_FALSE(WindowLookup::window(QPointF(400, 450)));
    // The bare root is no window.
    EXPECT_FALSE(WindowLookup::window(QPointF(1200, 780)));
}

TEST_F(WithoutWindowManager, StackingTransparencyAndPopups)
{
    auto back = launch({QStringLiteral("--at"), QStringLiteral("100,100,500,400")});
    ASSERT_TRUE(back);
    auto front = launch({QStringLiteral("--at"), QStringLiteral("300,200,400,300")});
    ASSERT_TRUE(front);
    ASSERT_TRUE(waitUntilListed(front->windowID));

    // Where they overlap, the later (upper) one; elsewhere the one that is there.
    EXPECT_EQ(WindowLookup::window(QPointF(400, 300)).value_or(WindowLookup::Hit {}).windowID, front->windowID);
    EXPECT_EQ(WindowLookup::window(QPointF(150, 150)).value_or(WindowLookup::Hit {}).windowID, back->windowID);
    EXPECT_EQ(Native::service<Native::WindowList>()->topmostWindowNumber(QPointF(400, 300)), front->windowID);

    // A fully transparent window on top is passed over.
    auto glass = launch(
        {QStringLiteral("--at"), QStringLiteral("350,250,100,100"), QStringLiteral("--opacity"), QStringLiteral("0")});
    ASSERT_TRUE(glass);
    ASSERT_TRUE(waitUntilListed(glass->windowID));
    EXPECT_EQ(listed(glass->windowID)->alpha, 0.0);
    EXPECT_EQ(WindowLookup::window(QPointF(400, 300)).value_or(WindowLookup::Hit {}).windowID, front->windowID);

    // A popup (override-redirect, like a menu or a tooltip) is a system overlay.
    auto popup = launch({QStringLiteral("--at"), QStringLiteral("120,120,50,50"), QStringLiteral("--popup")});
    ASSERT_TRUE(popup);
    ASSERT_TRUE(waitUntilListed(popup->windowID));
    const auto overPopup = WindowLookup::window(QPointF(140, 140));
    ASSERT_TRUE(overPopup);
    EXPECT_EQ(overPopup->windowID, popup->windowID);
    EXPECT_TRUE(overPopup->isSystemOverlay());

    // Front to back in the whole list too.
    const auto all = Native::service<Native::WindowList>()->windows();
    auto position = [&](std::uint32_t id) {
        return std::find_if(all.begin(), all.end(), [&](const auto &w) { return w.windowID == id; }) - all.begin();
    };
    EXPECT_LT(position(popup->windowID), position(glass->windowID));
    EXPECT_LT(position(glass->windowID), position(front->windowID));
    EXPECT_LT(position(front->windowID), position(back->windowID));
}

TEST_F(WithoutWindowManager, AppIDsFollowTheIdentityRule)
{
    // The desktop-file table is read once per process, so this file exists before the first look-up
    // that reaches it.
    auto desktopEnv = QProcessEnvironment::systemEnvironment();
    desktopEnv.insert(QStringLiteral("GIO_LAUNCHED_DESKTOP_FILE"),
                      QStringLiteral("/usr/share/applications/org.example.Launched.desktop"));
    auto launched = launch({QStringLiteral("--at"), QStringLiteral("10,10,100,100")}, desktopEnv);
    ASSERT_TRUE(launched);
    EXPECT_EQ(Native::service<Native::WindowList>()->applicationID(launched->pid),
              QStringLiteral("org.example.Launched"));

    auto plain = launch({QStringLiteral("--at"), QStringLiteral("10,200,100,100")});
    ASSERT_TRUE(plain);
    EXPECT_EQ(Native::service<Native::WindowList>()->applicationID(plain->pid), QStringLiteral("plain_window"));

    // Our own process is known by our app id, not by the test program's name.
    EXPECT_EQ(WindowLookup::bundleIdentifier(static_cast<std::int32_t>(QCoreApplication::applicationPid())),
              AppIdentity::bundleID());

    // A process that has ended has no app id, and a cached one outlives it only for the cache's lifetime.
    const std::int32_t endedPid = plain->pid;
    plain.reset();
    EXPECT_FALSE(Native::service<Native::WindowList>()->applicationID(endedPid));
}

TEST_F(WithoutWindowManager, OwnWindowsAreRecognisedUnlessCovered)
{
    QWidget own;
    own.setGeometry(700, 100, 300, 200);
    own.show();
    ASSERT_TRUE(Testing::spinUntil([&] { return own.windowHandle() && own.windowHandle()->isExposed(); }));
    ASSERT_TRUE(waitUntilListed(static_cast<std::uint32_t>(own.winId())));

    const auto primaryMaxY = ScreenGeometry::primaryScreenMaxY();
    ASSERT_TRUE(primaryMaxY);
    auto cocoa = [&](double x, double y) { return ScreenGeometry::cocoaPoint(QPointF(x, y), primaryMaxY); };

    EXPECT_TRUE(AppIdentity::isPointInsideOwnWindow(cocoa(800, 150)));
    EXPECT_FALSE(AppIdentity::isPointInsideOwnWindow(cocoa(650, 150)));

    auto cover = launch({QStringLiteral("--at"), QStringLiteral("750,120,100,100")});
    ASSERT_TRUE(cover);
    ASSERT_TRUE(waitUntilListed(cover->windowID));
    EXPECT_FALSE(AppIdentity::isPointInsideOwnWindow(cocoa(800, 150)));
    EXPECT_TRUE(AppIdentity::isPointInsideOwnWindow(cocoa(950, 250)));

    // A visible tooltip panel counts without asking the window server, covered or not.
    OverlayPanel panel;
    panel.setGeometry(760, 130, 60, 40);
    panel.show();
    ASSERT_TRUE(Testing::spinUntil([&] { return panel.windowHandle() && panel.windowHandle()->isExposed(); }));
    EXPECT_TRUE(AppIdentity::isPointInsideOwnWindow(cocoa(780, 150)));
    panel.hide();
    Testing::spinUntil([&] { return !panel.isVisible(); });
    EXPECT_FALSE(AppIdentity::isPointInsideOwnWindow(cocoa(780, 150)));
}

TEST_F(WithoutWindowManager, WindowsThatVanishMidQueryAreLeftOutWithoutACrash)
{
    // Another client creates, maps and destroys windows as fast as it can while we list them.
    std::atomic<bool> done {false};
    std::atomic<int> churned {0};
    std::thread churn([&] {
        int screenNumber = 0;
        xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            return;
        }
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        while (!done.load()) {
            std::vector<xcb_window_t> made;
            for (int i = 0; i < 20; ++i) {
                const xcb_window_t w = xcb_generate_id(c);
                xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, static_cast<std::int16_t>(20 * i), 500, 200,
                                  200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
                xcb_map_window(c, w);
                made.push_back(w);
            }
            xcb_flush(c);
            for (xcb_window_t w : made)
                xcb_destroy_window(c, w);
            xcb_flush(c);
            churned.fetch_add(1);
        }
        xcb_disconnect(c);
    });

    const auto list = Native::service<Native::WindowList>();
    for (int i = 0; i < 300; ++i) {
        for (const Native::WindowInfo &w : list->windows()) {
            ASSERT_TRUE(w.windowID);
            ASSERT_TRUE(w.bounds);
        }
        for (const Native::WindowInfo &w : list->windowsAt(QPointF(210, 600)))
            ASSERT_TRUE(w.windowID);
        (void)WindowLookup::window(QPointF(210, 600));
    }
    done.store(true);
    churn.join();
    EXPECT_GT(churned.load(), 0);
    // Nothing of the churn remains once it has stopped.
    EXPECT_FALSE(WindowLookup::window(QPointF(210, 600)));
}

TEST(WithWindowManager, TheClientUnderAPointNotItsFrame)
{
    // Runs last: it leaves openbox's properties on the root window behind.
    std::unique_ptr<QProcess> openbox;
    if (!windowManagerRunning()) {
        openbox = std::make_unique<QProcess>();
        openbox->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        openbox->start(QStringLiteral("openbox"), {});
        ASSERT_TRUE(openbox->waitForStarted(5000)) << "openbox did not start";
        ASSERT_TRUE(Testing::spinUntil(windowManagerReady, std::chrono::seconds(10))) << "openbox did not start";
    }
    WindowLookup::resetBundleIDCache();

    auto back = launch({QStringLiteral("--at"), QStringLiteral("100,100,500,400")});
    ASSERT_TRUE(back);
    auto fixture = launch({QStringLiteral("--at"), QStringLiteral("300,200,400,300")});
    ASSERT_TRUE(fixture);
    ASSERT_TRUE(Testing::spinUntil([&] {
        return rootProperty("_NET_CLIENT_LIST_STACKING")
            .contains(QByteArray("0x") + QByteArray::number(fixture->windowID, 16));
    })) << "openbox did not manage the fixture window";
    ASSERT_TRUE(waitUntilListed(fixture->windowID));
    // Openbox reparents the window into its frame after mapping it; the frame's title bar
    // belongs to the window it decorates, so the listed bounds grow past the client's 300.
    ASSERT_TRUE(Testing::spinUntil([&] {
        const auto framed = listed(fixture->windowID);
        return framed && framed->bounds && framed->bounds->height() > 300;
    })) << "openbox did not frame the fixture window";

    const auto info = listed(fixture->windowID);
    ASSERT_TRUE(info);
    ASSERT_TRUE(info->bounds);
    EXPECT_EQ(info->pid, fixture->pid);

    const auto hit = WindowLookup::window(info->bounds->center());
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->windowID, fixture->windowID);
    EXPECT_EQ(hit->pid, fixture->pid);
    EXPECT_EQ(hit->bundleIdentifier, QStringLiteral("plain_window"));

    const QPointF titleBar(info->bounds->center().x(), info->bounds->top() + 3);
    const auto onTitle = WindowLookup::window(titleBar);
    ASSERT_TRUE(onTitle);
    EXPECT_EQ(onTitle->windowID, fixture->windowID);

    const auto backInfo = listed(back->windowID);
    ASSERT_TRUE(backInfo);
    const QPointF onlyBack(backInfo->bounds->left() + 5, backInfo->bounds->bottom() - 5);
    if (!info->bounds->contains(onlyBack)) {
        const auto backHit = WindowLookup::window(onlyBack);
        ASSERT_TRUE(backHit);
        EXPECT_EQ(backHit->windowID, back->windowID);
    }

    fixture.reset();
    back.reset();
    if (!openbox)
        return;
    // Gone, openbox leaves its client list on the root; windows mapped afterwards must still count.
    openbox->terminate();
    ASSERT_TRUE(openbox->waitForFinished(5000));
    ASSERT_TRUE(rootProperty("_NET_CLIENT_LIST_STACKING").startsWith("_NET_CLIENT_LIST_STACKING(WINDOW)"));
    auto later = launch({QStringLiteral("--at"), QStringLiteral("900,500,200,100")});
    ASSERT_TRUE(later);
    ASSERT_TRUE(waitUntilListed(later->windowID));
    EXPECT_EQ(WindowLookup::window(QPointF(1000, 550)).value_or(WindowLookup::Hit {}).windowID, later->windowID);
}
