#include "Fakes/FakeWindowList.h"
#include "Features/Overlay/OverlayPanel.h"
#include "Native/Services.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Platform/ScreenGeometry.h"
#include "Support/TestSupport.h"

#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

using namespace Lumivox;
using AppIdentity::Facts;

namespace {

Facts withEnvironment(std::map<QString, QString> environment)
{
    Facts facts;
    facts.environment = std::move(environment);
    return facts;
}

} // namespace

TEST(AppIdentity, TestHostAndCIAreRecognisedOnlyByTheirExactSigns)
{
    EXPECT_FALSE(AppIdentity::isHostingTests(Facts {}));
    for (const char *value : {"1", "TRUE", "True", " true", ""}) {
        const Facts f = withEnvironment({{QStringLiteral("GITHUB_ACTIONS"), QString::fromLatin1(value)}});
        EXPECT_FALSE(AppIdentity::isHostingTests(f)) << value;
        EXPECT_FALSE(AppIdentity::isRunningInCI(f)) << value;
    }
    for (const char *key : {"GITHUB_ACTIONS", "TEST_RUNNER_GITHUB_ACTIONS"}) {
        const Facts f = withEnvironment({{QString::fromLatin1(key), QStringLiteral("true")}});
        EXPECT_TRUE(AppIdentity::isHostingTests(f)) << key;
        EXPECT_TRUE(AppIdentity::isRunningInCI(f)) << key;
    }
    // The mere presence of these keys counts, whatever their value.
    const Facts xctest = withEnvironment({{QStringLiteral("XCTestSessionIdentifier"), QString()}});
    EXPECT_TRUE(AppIdentity::isHostingTests(xctest));
    EXPECT_FALSE(AppIdentity::isRunningInCI(xctest));

    Facts arguments;
    arguments.arguments = {QStringLiteral("/usr/bin/runner"), QStringLiteral("--bundle=Foo.XCTest")};
    EXPECT_TRUE(AppIdentity::isHostingTests(arguments));
    Facts modules;
    modules.loadedModulePaths = {QStringLiteral("/tmp/LumivoxTests.xctest"), QStringLiteral("/usr/lib/libc.so.6")};
    EXPECT_TRUE(AppIdentity::isHostingTests(modules));

    EXPECT_TRUE(
        AppIdentity::isHostingTests(withEnvironment({{QStringLiteral("LUMIVOX_HOSTING_TESTS"), QStringLiteral("1")}})));
    EXPECT_FALSE(
        AppIdentity::isHostingTests(withEnvironment({{QStringLiteral("LUMIVOX_HOSTING_TESTS"), QStringLiteral("0")}})));
    // This very program is a test host (ctest marks it).
    EXPECT_TRUE(AppIdentity::isHostingTests());
}

TEST(AppIdentity, ASeparatelyIdentifiedBuild)
{
    Facts ci;
    ci.bundleID = QStringLiteral("app.lumivox.ci");
    EXPECT_TRUE(AppIdentity::isHostingTests(ci));
    EXPECT_TRUE(AppIdentity::isRunningInCI(ci));
    EXPECT_TRUE(AppIdentity::isIsolatedFromDailyApp(ci.bundleID));

    Facts agent;
    agent.bundleID = QStringLiteral("app.lumivox.agent");
    EXPECT_FALSE(AppIdentity::isHostingTests(agent));
    EXPECT_FALSE(AppIdentity::isRunningInCI(agent));
    EXPECT_TRUE(AppIdentity::isIsolatedFromDailyApp(agent.bundleID));
    EXPECT_FALSE(AppIdentity::isIsolatedFromDailyApp(std::nullopt));
    EXPECT_FALSE(AppIdentity::isIsolatedFromDailyApp(QStringLiteral("app.lumivox")));
}

TEST(AppIdentity, OwnAndProtectedApplications)
{
    EXPECT_TRUE(AppIdentity::isCurrentApp(AppIdentity::bundleID()));
    EXPECT_FALSE(AppIdentity::isCurrentApp(std::optional<QString>()));
    EXPECT_FALSE(AppIdentity::isCurrentApp(QStringLiteral("app.lumivox.other")));
    EXPECT_TRUE(AppIdentity::isCurrentApp(static_cast<pid_t>(QCoreApplication::applicationPid())));
    EXPECT_TRUE(AppIdentity::isDRMProtected(QStringLiteral("com.apple.Music")));
    EXPECT_FALSE(AppIdentity::isDRMProtected(QStringLiteral("com.apple.music")));
    EXPECT_FALSE(AppIdentity::isDRMProtected(std::nullopt));
}

TEST(AppIdentity, PointInsideOwnWindow)
{
    auto list = std::make_shared<Testing::FakeWindowList>();
    Native::ScopedOverride<Native::WindowList> fake(list);
    const auto maxY = ScreenGeometry::primaryScreenMaxY();
    ASSERT_TRUE(maxY);
    auto cocoa = [&](double x, double y) { return ScreenGeometry::cocoaPoint(QPointF(x, y), maxY); };

    QWidget own;
    own.setGeometry(100, 100, 200, 100);
    own.show();
    ASSERT_TRUE(Testing::spinUntil([&] { return own.windowHandle() != nullptr; }));
    const auto ownID = static_cast<std::uint32_t>(own.windowHandle()->winId());

    // Outside every own window: no need to ask the window server.
    EXPECT_FALSE(AppIdentity::isPointInsideOwnWindow(cocoa(50, 50)));
    EXPECT_EQ(list->topmostQuestions(), 0);

    list->setWindows({Testing::FakeWindowList::window(ownID, 1, QRectF(100, 100, 200, 100))});
    EXPECT_TRUE(AppIdentity::isPointInsideOwnWindow(cocoa(150, 150)));
    // Covered there by another application's window.
    list->setWindows({Testing::FakeWindowList::window(ownID + 1000, 2, QRectF(140, 140, 20, 20)),
                      Testing::FakeWindowList::window(ownID, 1, QRectF(100, 100, 200, 100))});
    EXPECT_FALSE(AppIdentity::isPointInsideOwnWindow(cocoa(150, 150)));
    EXPECT_TRUE(AppIdentity::isPointInsideOwnWindow(cocoa(250, 150)));
    // The window server knows no window there.
    list->setWindows({});
    EXPECT_FALSE(AppIdentity::isPointInsideOwnWindow(cocoa(150, 150)));

    // A visible tooltip panel counts without asking, even where the server sees nothing of ours.
    OverlayPanel panel;
    panel.setGeometry(400, 300, 80, 40);
    panel.show();
    const int asked = list->topmostQuestions();
    EXPECT_TRUE(AppIdentity::isPointInsideOwnWindow(cocoa(420, 310)));
    EXPECT_EQ(list->topmostQuestions(), asked);
    panel.hide();
    EXPECT_FALSE(AppIdentity::isPointInsideOwnWindow(cocoa(420, 310)));
}
