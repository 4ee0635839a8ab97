// The tooltip panel on a real X server with a real window manager (openbox), with and without a
// compositing manager (xcompmgr): it shows without taking the focus from the focused window, a
// click on it reaches the window below, it is override-redirect, its transparent margin never
// shows black, and it goes away.

#include "Features/Overlay/OverlayPanel.h"
#include "Native/Services.h"
#include "Native/Windows/Compositing.h"
#include "Native/X11/X11Connection.h"
#include "Shared/Platform/ScreenGeometry.h"
#include "Support/FocusedWindow.h"
#include "Support/TestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <memory>

using namespace Lumivox;

namespace {

bool runs(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (output)
        *output = p.readAllStandardOutput();
    return true;
}

bool windowManagerIsReady()
{
    QByteArray check;
    QByteArray stacking;
    return runs(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}, &check)
        && check.contains("window id")
        && runs(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")},
                &stacking)
        && stacking.startsWith("_NET_CLIENT_LIST_STACKING(WINDOW)");
}

std::uint32_t inputFocus()
{
    xcb_connection_t *c = Native::X11::xcbConnection();
    std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&free)> reply(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &free);
    return reply ? reply->focus : 0;
}

struct Attributes
{
    bool overrideRedirect = false;
    bool viewable = false;
};

std::optional<Attributes> attributes(std::uint32_t window)
{
    xcb_connection_t *c = Native::X11::xcbConnection();
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&free)> reply(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr), &free);
    if (!reply)
        return std::nullopt;
    return Attributes {reply->override_redirect != 0, reply->map_state == XCB_MAP_STATE_VIEWABLE};
}

QRgb screenPixel(QPoint at)
{
    return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixel(0, 0);
}

bool near(QRgb a, QRgb b, int tolerance = 8)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

class OverlayPanelSession : public ::testing::TestWithParam<bool>
{
protected:
    static void SetUpTestSuite()
    {
        s_windowManager = new QProcess;
        s_windowManager->start(QStringLiteral("openbox"), {});
        ASSERT_TRUE(s_windowManager->waitForStarted()) << "openbox did not start";
        ASSERT_TRUE(Testing::spinUntil(windowManagerIsReady, std::chrono::seconds(10))) << "openbox is not ready";
    }
    static void TearDownTestSuite()
    {
        s_windowManager->kill();
        s_windowManager->waitForFinished();
        delete s_windowManager;
        s_windowManager = nullptr;
    }

    void SetUp() override
    {
        if (GetParam()) {
            m_compositor.start(QStringLiteral("xcompmgr"), {QStringLiteral("-n")});
            ASSERT_TRUE(m_compositor.waitForStarted()) << "xcompmgr did not start";
        }
        ASSERT_TRUE(Testing::spinUntil([] { return Native::service<Native::Compositing>()->isActive() == GetParam(); },
                                       std::chrono::seconds(10)))
            << "the compositing manager did not " << (GetParam() ? "start" : "go");
    }
    void TearDown() override
    {
        if (m_compositor.state() != QProcess::NotRunning) {
            m_compositor.terminate();
            m_compositor.waitForFinished();
        }
    }

    static inline QProcess *s_windowManager = nullptr;
    QProcess m_compositor;
};

} // namespace

TEST_P(OverlayPanelSession, ShowsWithoutFocusLetsClicksThroughAndHides)
{
    Testing::FocusedWindow below;
    ASSERT_NE(below.windowID(), 0u) << "the fixture window did not come up focused";
    ASSERT_TRUE(Testing::spinUntil([&] { return inputFocus() == below.windowID(); }));
    // What the window below looks like where the panel's transparent corner will be.
    const QPoint pointer(400, 330);

    OverlayPanel panel;
    TooltipContent content;
    content.text = QStringLiteral("casa");
    panel.display(content, ScreenGeometry::cocoaPoint(QPointF(pointer), ScreenGeometry::primaryScreenMaxY()));
    ASSERT_TRUE(Testing::spinUntil([&] { return panel.windowHandle()->isExposed() && panel.windowOpacity() == 1; }));
    const QRect frame = panel.geometry();
    ASSERT_TRUE(QRect(200, 150, 400, 300).contains(frame)) << "the panel must lie over the fixture";
    const auto shown = attributes(static_cast<std::uint32_t>(panel.windowHandle()->winId()));
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->overrideRedirect);
    EXPECT_TRUE(shown->viewable);

    // The focused window keeps the focus.
    Testing::spinUntil([] { return false; }, std::chrono::milliseconds(300));
    EXPECT_EQ(inputFocus(), below.windowID());
    EXPECT_FALSE(below.lines().contains("inactive"));

    // The margin shows the window below, never black; the bubble shows the tooltip's surface.
    const QPoint corner = frame.topLeft() + QPoint(3, 3);
    const QRgb background = screenPixel(QPoint(210, 160));
    EXPECT_TRUE(Testing::spinUntil([&] { return near(screenPixel(corner), background); }))
        << std::hex << screenPixel(corner) << " against " << background;
    EXPECT_GT(qGray(screenPixel(QPoint(frame.center().x(), frame.top() + 16))), 235);

    // A click on the bubble reaches the window below.
    const QPoint click(frame.center().x(), frame.top() + 20);
    ASSERT_TRUE(runs(QStringLiteral("xdotool"),
                     {QStringLiteral("mousemove"), QString::number(click.x()), QString::number(click.y()),
                      QStringLiteral("click"), QStringLiteral("1")}));
    const QByteArray press = QStringLiteral("press %1 %2").arg(click.x()).arg(click.y()).toLatin1();
    EXPECT_TRUE(Testing::spinUntil([&] { return below.lines().contains(press); }))
        << "the click did not reach the window below";
    EXPECT_EQ(inputFocus(), below.windowID());

    panel.hideTooltip();
    EXPECT_TRUE(Testing::spinUntil([&] {
        const auto now = attributes(static_cast<std::uint32_t>(panel.windowHandle()->winId()));
        return now && !now->viewable;
    }));
    EXPECT_FALSE(panel.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Compositing, OverlayPanelSession, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "WithCompositor" : "WithoutCompositor"; });
