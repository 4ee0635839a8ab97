#include "Services/Detection/ScreenCaptureService.h"
#include "Shared/Platform/AppIdentity.h"

#include "Fakes/FakeCapture.h"
#include "Fakes/FakeClock.h"
#include "Support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace Lumivox;
using Lumivox::Testing::FakeCapture;
using Lumivox::Testing::FakeClock;
using Outcome = ScreenCaptureService::Outcome;

namespace {

const QSizeF strip(640, 80);

class ScreenCaptureServiceTest : public ::testing::Test
{
protected:
    ScreenCaptureServiceTest()
    {
        Native::ShareableContent content;
        // A 2x display at the origin and a 1x display to its right.
        content.displays = {{1, QRectF(0, 0, 1280, 800), 2560, 1600}, {2, QRectF(1280, 0, 1000, 700), 1000, 700}};
        content.windows = {{77, QRectF(100, 100, 800, 600), 500}};
        content.applications = {{500, QStringLiteral("org.gnome.TextEditor")}};
        backend->setContent(content);
    }

    Outcome capture(QPointF point, std::optional<WindowLookup::Hit> hit = std::nullopt, QSizeF size = strip)
    {
        return Testing::await(service.captureRegion(point, std::move(hit), size));
    }

    std::shared_ptr<FakeCapture> backend = std::make_shared<FakeCapture>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    ScreenCaptureService service {backend, clock};
};

WindowLookup::Hit hit(std::int32_t pid, long layer = 0, std::optional<QString> bundle = std::nullopt,
                      std::uint32_t windowID = 77)
{
    return WindowLookup::Hit {windowID, pid, layer, std::move(bundle)};
}

TEST_F(ScreenCaptureServiceTest, StripIsCutAtTheDisplayEdgeAndSizedInPixels)
{
    // 10 points from the left edge of the second display: half the strip falls off it.
    const Outcome edge = capture(QPointF(1290, 300));
    ASSERT_TRUE(edge.result);
    ASSERT_EQ(backend->displayCalls().size(), 1u);
    const auto call = backend->displayCalls().front();
    EXPECT_EQ(call.filter.display.displayID, 2u);
    EXPECT_EQ(call.configuration.sourceRect, QRectF(0, 260, 330, 80));
    EXPECT_EQ(call.configuration.outputSize, QSize(330, 80));
    EXPECT_FALSE(call.configuration.showsCursor);
    EXPECT_EQ(edge.result->cropRect, QRectF(1280, 260, 330, 80));
    EXPECT_EQ(edge.result->mouse, QPointF(1290, 300));

    // On the 2x display the image has twice as many pixels as the crop has points.
    const Outcome dense = capture(QPointF(640, 400));
    ASSERT_TRUE(dense.result);
    EXPECT_EQ(dense.result->image.size(), QSize(1280, 160));
    EXPECT_EQ(dense.result->cropRect, QRectF(320, 360, 640, 80));
}

TEST_F(ScreenCaptureServiceTest, NoDisplayOrATinyCropIsAMissThatForgetsTheContent)
{
    // 5 points from the left edge a 20-point square keeps only 15 points.
    EXPECT_TRUE(capture(QPointF(5, 300), std::nullopt, QSizeF(20, 20)).isMiss());
    EXPECT_TRUE(capture(QPointF(-50, -50)).isMiss());
    EXPECT_TRUE(capture(QPointF(5000, 300)).isMiss());
    EXPECT_TRUE(backend->displayCalls().empty());
    // Each miss dropped the content, so every call fetched it anew.
    EXPECT_EQ(backend->fetchCount(), 3);
}

TEST_F(ScreenCaptureServiceTest, OwnWindowsAndSystemOverlaysAreNeverCaptured)
{
    EXPECT_TRUE(capture(QPointF(300, 300), hit(AppIdentity::currentProcessID())).isMiss());
    EXPECT_TRUE(capture(QPointF(300, 300), hit(500, 20)).isMiss());
    EXPECT_EQ(backend->fetchCount(), 0);
    EXPECT_TRUE(capture(QPointF(300, 300), hit(500, 19)).result);
}

TEST_F(ScreenCaptureServiceTest, DisplayCaptureLeavesOutOwnAndProtectedApplications)
{
    Native::ShareableContent content;
    content.displays = {{1, QRectF(0, 0, 1280, 800), 1280, 800}};
    content.applications = {{AppIdentity::currentProcessID(), std::nullopt},
                            {200, AppIdentity::bundleID()}, // another copy of this program
                            {300, QStringLiteral("com.apple.tv")},
                            {400, QStringLiteral("org.gnome.TextEditor")},
                            {401, std::nullopt}};
    backend->setContent(content);
    ASSERT_TRUE(capture(QPointF(300, 300)).result);
    EXPECT_THAT(backend->displayCalls().front().filter.excludedApplicationPIDs,
                ::testing::UnorderedElementsAre(AppIdentity::currentProcessID(), 200, 300));
}

TEST_F(ScreenCaptureServiceTest, ChromeWindowsAreCapturedAloneAndFallBackToTheDisplay)
{
    const Outcome alone = capture(QPointF(150, 400), hit(500, 0, QStringLiteral("com.google.Chrome")));
    ASSERT_TRUE(alone.result);
    ASSERT_EQ(backend->windowCalls().size(), 1u);
    EXPECT_EQ(backend->windowCalls().front().window.windowID, 77u);
    EXPECT_EQ(backend->windowCalls().front().configuration.sourceRect, QRectF(0, 260, 370, 80));
    EXPECT_EQ(backend->windowCalls().front().configuration.outputSize, QSize(740, 160));
    EXPECT_EQ(alone.result->cropRect, QRectF(100, 360, 370, 80));
    EXPECT_TRUE(backend->displayCalls().empty());

    // A window the content does not list, and a window capture that fails, go to the display.
    EXPECT_TRUE(capture(QPointF(150, 400), hit(500, 0, QStringLiteral("org.chromium.Chrome"), 78)).result);
    EXPECT_EQ(backend->windowCalls().size(), 1u);
    EXPECT_EQ(backend->displayCalls().size(), 1u);

    backend->setWindowFailure(Native::CaptureFailure {QStringLiteral("Capture"), 5, QStringLiteral("gone")});
    const Outcome fallback = capture(QPointF(150, 400), hit(500, 0, QStringLiteral("com.google.Chrome")));
    ASSERT_TRUE(fallback.result);
    EXPECT_FALSE(fallback.error);
    EXPECT_EQ(backend->windowCalls().size(), 2u);
    // The strip, and the window's end beside it.
    EXPECT_EQ(backend->displayCalls().size(), 3u);
    EXPECT_EQ(fallback.result->cropRect, QRectF(0, 360, 470, 80));

    // Other applications are always captured from the display; the window's frame goes with the
    // strip where the content lists it.
    const Outcome display = capture(QPointF(150, 400), hit(500, 0, QStringLiteral("google-chrome")));
    ASSERT_TRUE(display.result);
    EXPECT_EQ(display.result->windowFrame, QRectF(100, 100, 800, 600));
    EXPECT_EQ(alone.result->windowFrame, QRectF(100, 100, 800, 600));
    EXPECT_FALSE(capture(QPointF(150, 400), hit(500, 0, QStringLiteral("google-chrome"), 78)).result->windowFrame);
    EXPECT_EQ(backend->windowCalls().size(), 2u);
}

TEST_F(ScreenCaptureServiceTest, AStripCrossesIntoTheNeighbouringMonitorAndReadsTheWindowsEndBesideIt)
{
    // Two monitors side by side, each reaching over the whole desktop; a window across both, whose
    // frame as the lookup saw it from the pointer differs from the content's.
    Native::ShareableContent content;
    content.displays = {{1, QRectF(0, 0, 1280, 800), 1280, 800, QRectF(0, 0, 2560, 800)},
                        {2, QRectF(1280, 0, 1280, 800), 1280, 800, QRectF(0, 0, 2560, 800)}};
    content.windows = {{77, QRectF(100, 100, 800, 600), 500}};
    backend->setContent(content);
    WindowLookup::Hit across = hit(500);
    across.frame = QRectF(100, 100, 1400, 600);

    const Outcome border = capture(QPointF(1270, 300), across);
    ASSERT_TRUE(border.result);
    EXPECT_EQ(border.result->cropRect, QRectF(950, 260, 640, 80));
    EXPECT_EQ(border.result->windowFrame, across.frame);
    EXPECT_FALSE(border.result->windowEnd) << "the strip holds the window's end";
    ASSERT_EQ(backend->displayCalls().size(), 1u);
    EXPECT_EQ(backend->displayCalls().front().filter.display.displayID, 1u);
    EXPECT_EQ(backend->displayCalls().front().configuration.sourceRect, QRectF(950, 260, 640, 80));

    // At the window's left edge the strip leaves its right end out: that is read beside it.
    const Outcome start = capture(QPointF(110, 300), across);
    ASSERT_TRUE(start.result);
    EXPECT_EQ(start.result->cropRect, QRectF(0, 260, 430, 80));
    ASSERT_TRUE(start.result->windowEnd);
    EXPECT_EQ(start.result->windowEnd->rect, QRectF(1436, 260, 64, 80));
    EXPECT_EQ(start.result->windowEnd->image.size(), QSize(64, 80));

    // A window whose end is off the desktop leaves it unknown.
    across.frame = QRectF(100, 100, 2600, 600);
    const Outcome off = capture(QPointF(110, 300), across);
    ASSERT_TRUE(off.result);
    EXPECT_FALSE(off.result->windowEnd);
}

TEST_F(ScreenCaptureServiceTest, ContentIsKeptForThirtySeconds)
{
    capture(QPointF(300, 300));
    capture(QPointF(300, 300));
    EXPECT_EQ(backend->fetchCount(), 1);
    clock->advance(std::chrono::milliseconds(29'999));
    capture(QPointF(300, 300));
    EXPECT_EQ(backend->fetchCount(), 1);
    clock->advance(std::chrono::milliseconds(1));
    capture(QPointF(300, 300));
    EXPECT_EQ(backend->fetchCount(), 2);

    service.invalidateCache();
    capture(QPointF(300, 300));
    EXPECT_EQ(backend->fetchCount(), 3);
    Testing::await(service.refreshCache());
    EXPECT_EQ(backend->fetchCount(), 4);
    capture(QPointF(300, 300));
    EXPECT_EQ(backend->fetchCount(), 4);
}

TEST_F(ScreenCaptureServiceTest, ConcurrentCapturesShareOneFetch)
{
    backend->holdFetches();
    auto first = service.captureRegion(QPointF(300, 300), std::nullopt, strip);
    auto second = service.captureRegion(QPointF(1500, 300), std::nullopt, strip);
    ASSERT_TRUE(Testing::spinUntil([&] { return backend->waitingFetches() == 1; }));
    Testing::spinUntil([] { return false; }, std::chrono::milliseconds(50)); // let the second one ask too
    backend->releaseFetches();
    EXPECT_TRUE(Testing::await(std::move(first)).result);
    EXPECT_TRUE(Testing::await(std::move(second)).result);
    EXPECT_EQ(backend->fetchCount(), 1);
}

TEST_F(ScreenCaptureServiceTest, ContentFetchedAcrossAnInvalidationServesItsCallerButIsNotKept)
{
    backend->holdFetches();
    auto pending = service.captureRegion(QPointF(300, 300), std::nullopt, strip);
    ASSERT_TRUE(Testing::spinUntil([&] { return backend->waitingFetches() == 1; }));
    service.invalidateCache();
    backend->releaseFetches();
    EXPECT_TRUE(Testing::await(std::move(pending)).result);
    capture(QPointF(300, 300));
    EXPECT_EQ(backend->fetchCount(), 2);
    capture(QPointF(300, 300));
    EXPECT_EQ(backend->fetchCount(), 2);
}

TEST_F(ScreenCaptureServiceTest, FailuresComeBackAsValues)
{
    backend->setContentFailure(Native::CaptureFailure {QStringLiteral("Capture"), 2, QStringLiteral("no")});
    const Outcome noContent = capture(QPointF(300, 300));
    ASSERT_TRUE(noContent.error);
    EXPECT_FALSE(noContent.result);
    EXPECT_EQ(noContent.error->errorInfo().domain, QStringLiteral("Capture"));
    EXPECT_EQ(noContent.error->errorInfo().code, 2);
    backend->setContentFailure(std::nullopt);

    // A failed capture drops the content: the next capture fetches it again.
    backend->setDisplayFailure(Native::CaptureFailure {QStringLiteral("Capture"), 4, QStringLiteral("unreadable")});
    const Outcome unreadable = capture(QPointF(300, 300));
    ASSERT_TRUE(unreadable.error);
    EXPECT_EQ(unreadable.error->code, 4);
    EXPECT_EQ(backend->fetchCount(), 2);
    backend->setDisplayFailure(std::nullopt);
    EXPECT_TRUE(capture(QPointF(300, 300)).result);
    EXPECT_EQ(backend->fetchCount(), 3);
}

} // namespace
