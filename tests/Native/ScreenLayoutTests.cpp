// The mapping between the X server's pixels and the program's points over layouts of monitors, the
// point that stands for the pixel under the pointer, and the spaces other applications report their
// accessibility coordinates in.

#include "Native/Accessibility/AppCoordinates.h"
#include "Native/Geometry/Containment.h"
#include "Native/Geometry/ScreenLayout.h"
#include "Shared/Platform/ScreenGeometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Lumivox::Native;
using Lumivox::Native::Atspi::AppCoordinates;
using Lumivox::Native::Atspi::AppSpace;

namespace {

const ScreenLayout single2x({{QRect(0, 0, 2560, 1600), 2.0}});
// A laptop at ×1 with a ×2 monitor to its right.
const ScreenLayout mixed({{QRect(0, 0, 1280, 800), 1.0}, {QRect(1280, 0, 2560, 1600), 2.0}});

struct Probe
{
    QPointF pixel;
    QPointF point;
};

} // namespace

TEST(ScreenLayout, EachScreenIsScaledFromItsOwnCorner)
{
    struct Row
    {
        const char *layout;
        ScreenLayout screens;
        double flipLine;
        std::vector<Probe> probes; // each maps both ways
    };
    const std::vector<Row> rows {
        {"one screen at x1", ScreenLayout({{QRect(0, 0, 1280, 800), 1.0}}), 800, {{{100, 200}, {100, 200}}}},
        {"one screen at x2", single2x, 800, {{{248, 294}, {124, 147}}, {{2559, 1599}, {1279.5, 799.5}}}},
        {"x1 and x2 side by side",
         mixed,
         800,
         {{{2000, 300}, {1640, 150}}, {{1270, 10}, {1270, 10}}, {{1280, 0}, {1280, 0}}, {{-50, 300}, {-50, 300}}}},
        {"x2 and x1 side by side",
         ScreenLayout({{QRect(0, 0, 2560, 1600), 2.0}, {QRect(2560, 0, 1280, 800), 1.0}}),
         800,
         {{{2000, 300}, {1000, 150}}, {{2600, 100}, {2600, 100}}, {{-100, 100}, {-50, 50}}}},
        {"x1 above x2",
         ScreenLayout({{QRect(0, 0, 1920, 1080), 1.0}, {QRect(0, 1080, 3840, 2160), 2.0}}),
         1080,
         {{{1000, 2000}, {500, 1540}}, {{1000, 1000}, {1000, 1000}}}},
        {"the primary right of a taller screen at the origin",
         ScreenLayout({{QRect(1280, 0, 1920, 1080), 1.0}, {QRect(0, 0, 1280, 1024), 1.0}}),
         1024,
         {{{1500, 50}, {1500, 50}}}},
        {"no screen at the origin: the first one's bottom",
         ScreenLayout({{QRect(0, 1024, 1280, 800), 1.0}, {QRect(1280, 0, 1920, 1080), 1.0}}),
         1824,
         {{{10, 1100}, {10, 1100}}}},
        {"x1.5 beside x1",
         ScreenLayout({{QRect(0, 0, 2880, 1800), 1.5}, {QRect(2880, 0, 1920, 1080), 1.0}}),
         1200,
         {{{300, 150}, {200, 100}}, {{3000, 10}, {3000, 10}}}},
        {"one factor for all (QT_SCALE_FACTOR=2) leaves a gap",
         ScreenLayout({{QRect(0, 0, 1280, 800), 2.0}, {QRect(1280, 0, 2560, 1600), 2.0}}),
         400,
         {{{1300, 100}, {1290, 50}}, {{640, 400}, {320, 200}}}},
        {"no screens", ScreenLayout(), 0, {{{5, 7}, {5, 7}}}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.layout);
        EXPECT_EQ(row.screens.flipLine(), row.flipLine);
        for (const Probe &p : row.probes) {
            SCOPED_TRACE(testing::Message() << "pixel " << p.pixel.x() << "," << p.pixel.y());
            EXPECT_EQ(row.screens.toPoints(p.pixel), p.point);
            EXPECT_EQ(row.screens.toPixels(p.point), p.pixel);
            // A box keeps its corner and is scaled as a whole by its screen.
            const double factor = row.screens.screenAtPixel(p.pixel).value_or(LayoutScreen {}).factor;
            const QRectF box(p.point, QSizeF(10, 6) / factor);
            EXPECT_EQ(row.screens.toPoints(QRectF(p.pixel, QSizeF(10, 6))), box);
            EXPECT_EQ(row.screens.toPixels(box), QRectF(p.pixel, QSizeF(10, 6)));
        }
    }
    // A point in the gap between two screens' points goes through the nearer screen.
    const ScreenLayout gap({{QRect(0, 0, 2560, 1600), 2.0}, {QRect(2560, 0, 1280, 800), 1.0}});
    EXPECT_EQ(gap.toPixels(QPointF(2000, 100)), QPointF(2000, 100));
    EXPECT_EQ(gap.toPixels(QPointF(1500, 100)), QPointF(3000, 200));
    EXPECT_EQ(gap.toPixels(QPointF(1920, 100)), QPointF(3840, 200)) << "as near to both: the first";
    // A screen without a usable factor is taken at x1.
    EXPECT_EQ(ScreenLayout({{QRect(0, 0, 100, 100), 0.0}}).toPoints(QPointF(50, 40)), QPointF(50, 40));
}

TEST(ScreenLayout, ARectangleAcrossTwoScalesHoldsAPointWhereItsPixelsDoSeenFromThatPointsScreen)
{
    // A window from pixel 1000 to 1700 across the border of the x1 and the x2 monitor, its centre on
    // the x2 one. Through its centre's screen it misses points of the x1 part; seen from each
    // point's own screen it holds exactly the points whose pixels it holds.
    const QRectF window(1000, 100, 700, 300);
    EXPECT_FALSE(containsHalfOpen(mixed.toPoints(window), mixed.toPoints(QPointF(1100, 350))));
    for (const QPointF pixel : {QPointF(1001, 101), QPointF(1100, 350), QPointF(1279, 399), QPointF(1280, 100),
                                QPointF(1699, 399), QPointF(999, 200), QPointF(1700, 200), QPointF(1500, 400)}) {
        SCOPED_TRACE(testing::Message() << "pixel " << pixel.x() << "," << pixel.y());
        const LayoutScreen screen = *mixed.screenAtPixel(pixel);
        const QRectF seen = ScreenLayout::toPointsOn(screen, window);
        EXPECT_EQ(containsHalfOpen(seen, mixed.toPoints(pixel)), containsHalfOpen(window, pixel));
        EXPECT_EQ(ScreenLayout::toPixelsOn(screen, seen), window);
    }
    // An application's box is seen from the point the lookup reads at.
    const AppCoordinates fromLeft(mixed, AppSpace {}, QPointF(1100, 350));
    EXPECT_EQ(fromLeft.toPoints(QRect(1000, 100, 700, 300)), window);
    const AppCoordinates fromRight(mixed, AppSpace {}, QPointF(1500, 350));
    EXPECT_EQ(fromRight.toPoints(QRect(1000, 100, 700, 300)), QRectF(1140, 50, 350, 150));
}

TEST(AppSpace, IsToldFromTheWindowFrameAnApplicationReports)
{
    struct Row
    {
        const char *application;
        ScreenLayout screens;
        QRect window; // the X window, pixels
        QRect reported; // its accessible frame
        std::optional<AppSpace> previous;
        std::optional<AppSpace> space;
        Probe probe; // a pixel and the application's point for it (in `point`)
    };
    const AppSpace unscaled;
    const AppSpace gtk2 {2.0, false};
    const AppSpace qt2 {2.0, true};
    const std::vector<Row> rows {
        {"GTK at x2 on the screen at the origin",
         single2x,
         {80, 80, 1120, 840},
         {40, 40, 560, 420},
         {},
         gtk2,
         {{248, 294}, {124, 147}}},
        {"GTK at x2 on the right-hand monitor",
         mixed,
         {1400, 100, 1120, 840},
         {700, 50, 560, 420},
         {},
         gtk2,
         {{1500, 200}, {750, 100}}},
        {"Qt at x2 on the right-hand monitor",
         mixed,
         {1400, 100, 1120, 840},
         {1340, 50, 560, 420},
         {},
         qt2,
         {{1500, 200}, {1390, 100}}},
        {"where both ways agree, the way seen before stays",
         single2x,
         {80, 80, 1120, 840},
         {40, 40, 560, 420},
         qt2,
         qt2,
         {{248, 294}, {124, 147}}},
        {"at x1.5",
         mixed,
         {150, 150, 840, 630},
         {100, 100, 560, 420},
         {},
         AppSpace {1.5, false},
         {{300, 300}, {200, 200}}},
        {"at x1, a title bar in its frame",
         mixed,
         {100, 100, 800, 600},
         {100, 78, 800, 622},
         {},
         unscaled,
         {{500, 500}, {500, 500}}},
        {"a frame larger than the window",
         mixed,
         {100, 100, 400, 300},
         {50, 50, 800, 600},
         {},
         unscaled,
         {{500, 500}, {500, 500}}},
        {"a dialog's frame is another window", mixed, {0, 0, 800, 600}, {10, 10, 300, 500}, {}, std::nullopt, {}},
        {"a frame without area", mixed, {0, 0, 800, 600}, {10, 10, 0, 0}, {}, std::nullopt, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.application);
        const auto space = AppSpace::measure(row.window, row.reported, row.screens, row.previous);
        EXPECT_EQ(space, row.space);
        if (!space)
            continue;
        const AppCoordinates coordinates(row.screens, *space);
        if (space->scale > 1) {
            EXPECT_EQ(coordinates.toPixels(row.reported), QRectF(row.window))
                << "the frame lies on the window once converted";
        }
        EXPECT_EQ(QPointF(coordinates.fromPixel(row.probe.pixel)), row.probe.point);
        // Our own points go through our layout: the same pixel, whatever our own scale.
        EXPECT_EQ(QPointF(coordinates.fromPoint(row.screens.toPoints(row.probe.pixel))), row.probe.point);
        const QRect box(row.probe.point.toPoint(), QSize(10, 5));
        EXPECT_EQ(coordinates.toPoints(box), row.screens.toPoints(coordinates.toPixels(box)));
        EXPECT_EQ(coordinates.toPixels(box).topLeft(), row.probe.pixel);
    }
}

TEST(ScreenLayout, EveryPixelOfAMonitorStandsOnThatMonitorWhicheverWayYPoints)
{
    // Stacked and side by side, at different scales, with and without a screen at the origin.
    const std::vector<std::pair<const char *, ScreenLayout>> layouts {
        {"x1, a x2 to its right", mixed},
        {"x2 to the left of x1", ScreenLayout({{QRect(0, 0, 2560, 1600), 2.0}, {QRect(2560, 0, 1280, 800), 1.0}})},
        {"x1 above x2", ScreenLayout({{QRect(0, 0, 1920, 1080), 1.0}, {QRect(0, 1080, 3840, 2160), 2.0}})},
        {"x2 above x1", ScreenLayout({{QRect(0, 0, 2560, 1600), 2.0}, {QRect(0, 1600, 1280, 800), 1.0}})},
        {"x1.5 beside x1, and x1 under both",
         ScreenLayout(
             {{QRect(0, 0, 2880, 1800), 1.5}, {QRect(2880, 0, 1280, 800), 1.0}, {QRect(1000, 1800, 1920, 1080), 1.0}})},
        {"none at the origin: x2 right of and above x1",
         ScreenLayout({{QRect(1280, 0, 2560, 1600), 2.0}, {QRect(0, 1600, 1280, 800), 1.0}})},
    };
    for (const auto &[name, layout] : layouts) {
        SCOPED_TRACE(name);
        const double line = layout.flipLine();
        // The monitors as the program places windows on them: in points, origin at the bottom left.
        std::vector<Lumivox::ScreenInfo> cocoa;
        for (const LayoutScreen &s : layout.screens()) {
            const QRectF r = ScreenLayout::pointRect(s);
            cocoa.push_back({QRectF(r.x(), line - r.bottom(), r.width(), r.height()), {}});
        }
        for (std::size_t i = 0; i < layout.screens().size(); ++i) {
            const QRect m = layout.screens()[i].pixels;
            const QPoint middle = m.center();
            for (const QPoint pixel :
                 {m.topLeft(), QPoint(middle.x(), m.top()), m.topRight(), QPoint(m.left(), middle.y()),
                  QPoint(m.right(), middle.y()), m.bottomLeft(), QPoint(middle.x(), m.bottom()), m.bottomRight()}) {
                SCOPED_TRACE(testing::Message() << "monitor " << i << ", pixel " << pixel.x() << "," << pixel.y());
                const QPointF point = layout.pointOfPixel(pixel);
                EXPECT_TRUE(containsHalfOpen(ScreenLayout::pointRect(layout.screens()[i]), point));
                const QPointF flipped(point.x(), line - point.y());
                const auto found = Lumivox::ScreenGeometry::screen(flipped, cocoa, std::nullopt);
                EXPECT_TRUE(found && found->frame == cocoa[i].frame)
                    << "flipped to " << flipped.x() << "," << flipped.y();
                // Back to pixels, rounded or floored, it is the same pixel.
                const QPointF back = layout.toPixels(Lumivox::ScreenGeometry::cgPoint(flipped, line));
                EXPECT_EQ(QPoint(int(std::floor(back.x())), int(std::floor(back.y()))), pixel);
                EXPECT_EQ(QPoint(int(std::lround(back.x())), int(std::lround(back.y()))), pixel);
            }
        }
    }
}
