#include "Shared/Platform/ScreenGeometry.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::ScreenGeometry;

namespace {

ScreenInfo screenAt(double x, double y, double w, double h)
{
    return ScreenInfo {QRectF(x, y, w, h), QRectF(x, y, w, h - 25)};
}

} // namespace

TEST(ScreenGeometry, PrimaryIsTheScreenAtTheOriginWhateverItsIndex)
{
    const std::vector<ScreenInfo> sideBySide {screenAt(1920, 0, 1280, 1024), screenAt(0, 0, 1920, 1080)};
    EXPECT_EQ(primaryScreenMaxY(sideBySide), 1080.0);
    EXPECT_EQ(primaryScreenMaxY(std::vector<ScreenInfo> {screenAt(-100, 10, 800, 600)}), 610.0);
    EXPECT_FALSE(primaryScreenMaxY(std::vector<ScreenInfo> {}));
}

TEST(ScreenGeometry, ScreenContainingAPointFallsBackToTheMainScreen)
{
    const std::vector<ScreenInfo> list {screenAt(0, 0, 1920, 1080), screenAt(1920, 0, 1280, 1024)};
    EXPECT_EQ(screen(QPointF(1920, 500), list, list[0]), list[1]); // left edge belongs to the right screen
    EXPECT_EQ(screen(QPointF(1919.5, 500), list, list[1]), list[0]);
    EXPECT_EQ(screen(QPointF(5000, 5000), list, list[1]), list[1]);
    EXPECT_EQ(screen(QPointF(5000, 5000), list, std::nullopt), list[0]);
    EXPECT_FALSE(screen(QPointF(0, 0), {}, std::nullopt));
}

TEST(ScreenGeometry, FlipsAroundThePrimaryTopEdge)
{
    EXPECT_EQ(cgPoint(QPointF(10, 20), 1080.0), QPointF(10, 1060));
    EXPECT_EQ(cgPoint(QPointF(10, 20), std::nullopt), QPointF(10, 20));
    EXPECT_EQ(cocoaPoint(cgPoint(QPointF(-40, 1500), 1080.0), 1080.0), QPointF(-40, 1500));

    const QRectF crop(300, 200, 640, 80);
    // A box covering the whole crop is the crop itself, flipped.
    EXPECT_EQ(cocoaRect(crop, QRectF(0, 0, 1, 1), 1080.0), QRectF(300, 1080 - 280, 640, 80));
    // A box in the crop's top-right quarter (origin at the crop's bottom-left).
    EXPECT_EQ(cocoaRect(crop, QRectF(0.5, 0.5, 0.5, 0.5), 1080.0), QRectF(620, 1080 - 240, 320, 40));
    // Without screens the box's own bottom edge is the line: the result sits at y = 0.
    const QRectF alone = cocoaRect(crop, QRectF(0.25, 0.25, 0.5, 0.5), std::nullopt);
    EXPECT_EQ(alone.y(), 0.0);
    EXPECT_EQ(alone.size(), QSizeF(320, 40));
}

TEST(ScreenGeometry, LiveScreensAreInBottomLeftCoordinates)
{
    const auto list = screens();
    ASSERT_FALSE(list.empty());
    const auto maxY = primaryScreenMaxY();
    ASSERT_TRUE(maxY);
    EXPECT_EQ(*maxY, list.front().frame.bottom());
    EXPECT_EQ(list.front().frame.topLeft(), QPointF(0, 0));
    EXPECT_EQ(visibleFrame(QPointF(1, 1)), screen(QPointF(1, 1))->visibleFrame);
    // A Qt window at the top-left corner is at the top of the primary screen.
    EXPECT_EQ(cocoaRectFromQt(QRectF(0, 0, 100, 50)), QRectF(0, *maxY - 50, 100, 50));
    EXPECT_EQ(qtPointFromCocoa(QPointF(7, *maxY - 9)), QPointF(7, 9));
}
