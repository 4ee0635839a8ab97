// The X11 backends with no X server to talk to, and in a Wayland session: a clear log line and a
// miss, never a crash.

#include "Native/Accessibility/Accessibility.h"
#include "Native/Capture/ScreenCapture.h"
#include "Native/Input/HotKeys.h"
#include "Native/Input/Input.h"
#include "Native/Services.h"
#include "Native/Windows/WindowList.h"
#include "Shared/Platform/WindowLookup.h"
#include "Support/TestSupport.h"

#include <QCoreApplication>
#include <QMutex>
#include <QStringList>

#include <gtest/gtest.h>

using namespace Lumivox;

namespace {

QMutex logMutex;
QStringList logLines;

void recordLog(QtMsgType, const QMessageLogContext &context, const QString &message)
{
    QMutexLocker lock(&logMutex);
    logLines.append(QString::fromLatin1(context.category ? context.category : "") + QLatin1Char(' ') + message);
}

void clearLog()
{
    QMutexLocker lock(&logMutex);
    logLines.clear();
}

bool logged(const QString &category, const QString &words)
{
    QMutexLocker lock(&logMutex);
    for (const QString &line : logLines) {
        if (line.startsWith(category) && line.contains(words, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

TEST(UnreachableDisplay, InputAndWindowListMissWithAReason)
{
    // Nothing in this program has reached for X yet, so every connection below is attempted afresh.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
    qInstallMessageHandler(recordLog);

    const auto input = Native::Input::makeDefault();
    ASSERT_TRUE(input);
    EXPECT_FALSE(input->addMonitor([](const Native::InputEvent &) {}));
    EXPECT_TRUE(logged(QStringLiteral("app.lumivox.Input"), QStringLiteral("no X display")));
    EXPECT_EQ(input->mouseLocation(), QPointF());
    EXPECT_EQ(input->currentEventFlags(), 0u);
    EXPECT_GT(input->secondsSinceLastKeyPress(), 1.0e6);

    const auto windows = Native::WindowList::makeDefault();
    ASSERT_TRUE(windows);
    EXPECT_TRUE(windows->windows().empty());
    EXPECT_TRUE(windows->windowsAt(QPointF(10, 10)).empty());
    EXPECT_EQ(windows->topmostWindowNumber(QPointF(10, 10)), 0u);
    // Without X the app id still comes from the process itself.
    EXPECT_TRUE(windows->applicationID(static_cast<std::int32_t>(QCoreApplication::applicationPid())));
    EXPECT_FALSE(windows->applicationID(-5));

    qputenv("WAYLAND_DISPLAY", "wayland-0");
    const auto onWayland = Native::Input::makeDefault();
    EXPECT_FALSE(onWayland->addMonitor([](const Native::InputEvent &) {}));
    EXPECT_TRUE(logged(QStringLiteral("app.lumivox.Input"), QStringLiteral("Wayland")));
    EXPECT_TRUE(Native::WindowList::makeDefault()->windowsAt(QPointF(10, 10)).empty());
    EXPECT_TRUE(logged(QStringLiteral("app.lumivox.Windows"), QStringLiteral("Wayland")));
    qunsetenv("WAYLAND_DISPLAY");

    qInstallMessageHandler(nullptr);
}

TEST(UnreachableDisplay, ThePlatformFollowsTheOverrideThenTheSession)
{
    using enum Native::Platform;
    struct Case
    {
        std::string_view requested;
        bool wayland;
        bool reachable;
        Native::Platform expected;
        bool asksTheDisplay;
        bool warns;
    };
    const Case cases[] = {
        {"", false, true, x11, true, false},
        {"", false, false, unavailable, true, false},
        {"", true, true, unavailable, false, false}, // XWayland would see only the X clients
        {"null", false, true, unavailable, false, false},
        {"x11", true, false, x11, false, false},
        {"wayland", false, false, unavailable, true, true}, // an unknown value is ignored, and said so
    };
    qInstallMessageHandler(recordLog);
    for (const Case &c : cases) {
        clearLog();
        int asked = 0;
        const auto platform = Native::choosePlatform(c.requested, c.wayland, [&] {
            ++asked;
            return c.reachable;
        });
        EXPECT_EQ(platform, c.expected) << c.requested << ' ' << c.wayland << ' ' << c.reachable;
        EXPECT_EQ(asked > 0, c.asksTheDisplay) << c.requested << ' ' << c.wayland << ' ' << c.reachable;
        EXPECT_EQ(logged(QStringLiteral("app.lumivox.Platform"), QStringLiteral("neither")), c.warns) << c.requested;
    }
    qInstallMessageHandler(nullptr);
}

TEST(UnreachableDisplay, TheRegistryHandsOutStandInsThatSayUnavailable)
{
    // Decided at the registry's first use, which is below.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
    qunsetenv("LUMIVOX_PLATFORM");
    clearLog();
    qInstallMessageHandler(recordLog);
    ASSERT_EQ(Native::platform(), Native::Platform::unavailable);
    qInstallMessageHandler(nullptr);
    EXPECT_TRUE(logged(QStringLiteral("app.lumivox.Platform"), QStringLiteral("no X display is reachable")));

    const auto input = Native::service<Native::Input>();
    ASSERT_TRUE(input);
    EXPECT_EQ(input->mouseLocation(), QPointF());
    EXPECT_EQ(input->currentEventFlags(), 0u);
    EXPECT_GT(input->secondsSinceLastKeyPress(), 1.0e6);
    EXPECT_FALSE(input->addMonitor([](const Native::InputEvent &) {}));

    const auto hotKeys = Native::service<Native::HotKeys>();
    ASSERT_TRUE(hotKeys);
    const auto handler = hotKeys->installHandler([](Native::HotKeyID) { return Native::HotKeyEventResult::handled; });
    ASSERT_TRUE(handler);
    EXPECT_FALSE(hotKeys->registerHotKey(1, Native::HotKeyModifier::option, {0x4C4D5658, 1}));
    hotKeys->removeHandler(*handler);

    const auto capture = Native::service<Native::ScreenCapture>();
    ASSERT_TRUE(capture);
    EXPECT_FALSE(capture->hasScreenRecordingPermission());
    const auto content = capture->shareableContent(true, true);
    ASSERT_TRUE(std::holds_alternative<Native::CaptureFailure>(content));
    EXPECT_EQ(std::get<Native::CaptureFailure>(content).domain, Native::CaptureFailureCode::domain);
    EXPECT_EQ(std::get<Native::CaptureFailure>(content).code, Native::CaptureFailureCode::noDisplay);
    EXPECT_TRUE(std::holds_alternative<Native::CaptureFailure>(capture->captureWindow({}, {})));

    const auto accessibility = Native::service<Native::Accessibility>();
    ASSERT_TRUE(accessibility);
    EXPECT_FALSE(accessibility->isProcessTrusted());
    accessibility->requestTrust();
    EXPECT_FALSE(accessibility->isProcessTrusted());
    EXPECT_FALSE(accessibility->systemWideElement({}));
    EXPECT_FALSE(accessibility->applicationElement(static_cast<std::int32_t>(QCoreApplication::applicationPid())));

    // What sits on the window list answers "nothing there", while a process still names itself.
    const auto ownPID = static_cast<std::int32_t>(QCoreApplication::applicationPid());
    EXPECT_FALSE(WindowLookup::window(QPointF(10, 10)));
    EXPECT_TRUE(WindowLookup::runningBundleIDs().empty());
    EXPECT_EQ(Native::service<Native::WindowList>()->topmostWindowNumber(QPointF(10, 10)), 0u);
    EXPECT_EQ(Native::service<Native::WindowList>()->applicationID(ownPID),
              Native::WindowList::makeDefault()->applicationID(ownPID));
    EXPECT_FALSE(Native::service<Native::WindowList>()->applicationID(-5));
}
