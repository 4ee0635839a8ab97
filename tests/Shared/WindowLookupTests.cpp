#include "Fakes/FakeClock.h"
#include "Fakes/FakeWindowList.h"
#include "Native/Services.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Platform/WindowLookup.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Lumivox;
using Testing::FakeWindowList;

namespace {

class WindowLookupTest : public ::testing::Test
{
protected:
    void SetUp() override { WindowLookup::resetBundleIDCache(clock); }
    void TearDown() override { WindowLookup::resetBundleIDCache(); }

    std::shared_ptr<Testing::FakeClock> clock = std::make_shared<Testing::FakeClock>();
    std::shared_ptr<FakeWindowList> list = std::make_shared<FakeWindowList>();
    Native::ScopedOverride<Native::WindowList> fake {list};
};

} // namespace

TEST_F(WindowLookupTest, TakesTheFrontmostWindowThatIsSeenAndComplete)
{
    auto glass = FakeWindowList::window(1, 100, QRectF(0, 0, 500, 500));
    glass.alpha = 0.0;
    auto nanAlpha = FakeWindowList::window(2, 100, QRectF(0, 0, 500, 500));
    nanAlpha.alpha = std::nan("");
    auto noPid = FakeWindowList::window(3, 100, QRectF(0, 0, 500, 500));
    noPid.pid.reset();
    auto noNumber = FakeWindowList::window(4, 100, QRectF(0, 0, 500, 500));
    noNumber.windowID.reset();
    auto behind = FakeWindowList::window(5, 200, QRectF(0, 0, 500, 500));
    behind.layer.reset();
    behind.alpha.reset();
    list->setWindows(
        {FakeWindowList::window(9, 300, QRectF(600, 0, 100, 100)), glass, nanAlpha, noPid, noNumber, behind});
    list->setApplicationID(200, QStringLiteral("org.example.Behind"));

    const auto hit = WindowLookup::window(QPointF(10, 10));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->windowID, 5u);
    EXPECT_EQ(hit->pid, 200);
    EXPECT_EQ(hit->layer, 0); // missing layer is 0, not a failure
    EXPECT_EQ(hit->bundleIdentifier, QStringLiteral("org.example.Behind"));
    EXPECT_EQ(hit->frame, QRectF(0, 0, 500, 500)) << "the window's bounds as the list gave them for the point";

    // Edges: the top-left corner is in, the far edges are out; nothing anywhere is a miss.
    EXPECT_TRUE(WindowLookup::window(QPointF(600, 0)));
    EXPECT_FALSE(WindowLookup::window(QPointF(700, 50)));
    EXPECT_FALSE(WindowLookup::window(QPointF(550, 550)));
}

TEST_F(WindowLookupTest, LayerTwentyAndAboveIsASystemOverlay)
{
    WindowLookup::Hit hit;
    hit.layer = 19;
    EXPECT_FALSE(hit.isSystemOverlay());
    hit.layer = 20;
    EXPECT_TRUE(hit.isSystemOverlay());
}

TEST_F(WindowLookupTest, AppIDsAreCachedForThirtySecondsAndMissesAreNot)
{
    list->setApplicationID(42, QStringLiteral("org.example.App"));
    EXPECT_EQ(WindowLookup::bundleIdentifier(42), QStringLiteral("org.example.App"));
    EXPECT_EQ(list->applicationIDQuestions(), 1);

    // The process has gone, but its cached id is still given until it expires.
    list->setApplicationID(42, std::nullopt);
    clock->advance(std::chrono::seconds(29));
    EXPECT_EQ(WindowLookup::bundleIdentifier(42), QStringLiteral("org.example.App"));
    EXPECT_EQ(list->applicationIDQuestions(), 1);
    clock->advance(std::chrono::seconds(1));
    EXPECT_FALSE(WindowLookup::bundleIdentifier(42));
    EXPECT_EQ(list->applicationIDQuestions(), 2);
    // A miss stores nothing: the next call asks again, and the expired entry is still there.
    EXPECT_FALSE(WindowLookup::bundleIdentifier(42));
    EXPECT_EQ(list->applicationIDQuestions(), 3);
    EXPECT_EQ(WindowLookup::bundleIDCacheCount(), 1u);

    // A window whose process has no application still gives a hit, without an app id.
    list->setWindows({FakeWindowList::window(7, 43, QRectF(0, 0, 10, 10))});
    const auto hit = WindowLookup::window(QPointF(1, 1));
    ASSERT_TRUE(hit);
    EXPECT_FALSE(hit->bundleIdentifier);

    // Our own process is known by our app id without asking the window server.
    const int asked = list->applicationIDQuestions();
    EXPECT_EQ(WindowLookup::bundleIdentifier(static_cast<std::int32_t>(AppIdentity::currentProcessID())),
              AppIdentity::bundleID());
    EXPECT_EQ(list->applicationIDQuestions(), asked);
}

TEST_F(WindowLookupTest, ExpiredEntriesAreDroppedOnlyOnceTheCacheHoldsMoreThan128)
{
    auto fill = [&](int from, int to) {
        for (int pid = from; pid < to; ++pid) {
            list->setApplicationID(pid, QStringLiteral("app.%1").arg(pid));
            ASSERT_TRUE(WindowLookup::bundleIdentifier(pid));
        }
    };
    // 128 entries, all expired: a miss adds one without dropping any.
    fill(1000, 1128);
    clock->advance(std::chrono::seconds(31));
    list->setApplicationID(5000, QStringLiteral("app.new"));
    WindowLookup::bundleIdentifier(5000);
    EXPECT_EQ(WindowLookup::bundleIDCacheCount(), 129u);

    // 129 entries, 128 of them expired: a miss drops exactly those, then adds itself.
    list->setApplicationID(5001, QStringLiteral("app.newer"));
    WindowLookup::bundleIdentifier(5001);
    EXPECT_EQ(WindowLookup::bundleIDCacheCount(), 2u);

    // A live entry survives pruning and is still answered from the cache.
    WindowLookup::resetBundleIDCache(clock);
    fill(1000, 1100);
    clock->advance(std::chrono::seconds(20));
    fill(2000, 2029); // 129 entries, the last 29 younger
    clock->advance(std::chrono::seconds(15));
    list->setApplicationID(6000, QStringLiteral("app.latest"));
    WindowLookup::bundleIdentifier(6000);
    EXPECT_EQ(WindowLookup::bundleIDCacheCount(), 30u);
    const int asked = list->applicationIDQuestions();
    EXPECT_EQ(WindowLookup::bundleIdentifier(2000), QStringLiteral("app.2000"));
    EXPECT_EQ(list->applicationIDQuestions(), asked);
}
