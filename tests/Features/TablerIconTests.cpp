// The tray icon's images: which one each state shows, their sizes, the dots and the faded monogram.

#include "Features/Shell/TablerIcon.h"

#include <gtest/gtest.h>

using namespace Lumivox;
using namespace Lumivox::TablerIcon;

namespace {

// The strongest alpha of the image's pixels.
int maxAlpha(const QImage &image)
{
    int alpha = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            alpha = std::max(alpha, qAlpha(image.pixel(x, y)));
    return alpha;
}

} // namespace

TEST(TablerIcon, EachStateHasItsImage)
{
    using S = MenuBarState;
    EXPECT_EQ(menuBar(S::on, false), Variant::monogram);
    EXPECT_EQ(menuBar(S::off, false), Variant::paused);
    EXPECT_EQ(menuBar(S::needsPermission, false), Variant::badged);
    EXPECT_EQ(menuBar(S::on, true), Variant::update);
    EXPECT_EQ(menuBar(S::off, true), Variant::pausedUpdate);
    EXPECT_EQ(menuBar(S::needsPermission, true), Variant::badged) << "the missing permission comes first";
}

TEST(TablerIcon, ImagesAreDrawnAtTheRatioWithTheirDotsAndFading)
{
    const QColor label(20, 20, 20);
    struct Row
    {
        Variant variant;
        int width; // pixels at ratio 2
        int letterAlpha; // the bubble's strongest alpha, left of any dot
        std::optional<QColor> dot; // colour near the top right corner
    };
    const std::vector<Row> rows {
        {Variant::monogram, 36, 255, std::nullopt},
        {Variant::paused, 36, 102, std::nullopt},
        {Variant::badged, 40, 255, label},
        {Variant::update, 40, 255, systemBlue()},
        {Variant::pausedUpdate, 40, 102, systemBlue()},
    };
    for (const Row &row : rows) {
        const QImage image = TablerIcon::image(row.variant, 2.0, label);
        SCOPED_TRACE(int(row.variant));
        EXPECT_EQ(image.width(), row.width);
        EXPECT_EQ(image.height(), 36);
        EXPECT_EQ(image.devicePixelRatio(), 2.0);
        EXPECT_NEAR(maxAlpha(image.copy(0, 20, 16, 16)), row.letterAlpha, 2);
        // The dot's circle reaches the top right corner: sample its centre.
        const int inset = row.variant == Variant::badged ? 8 : 7;
        const QColor centre = image.pixelColor(row.width - inset, inset);
        if (row.dot) {
            EXPECT_EQ(centre.rgb(), row.dot->rgb());
            EXPECT_EQ(centre.alpha(), 255) << "the dot keeps its full strength";
        }
    }
    // The ring that separates the dot from the bubble is transparent.
    const QImage update = TablerIcon::image(Variant::update, 2.0, label);
    EXPECT_EQ(qAlpha(update.pixel(40 - 16, 8)), 0);
    // The monogram is one path with the letters cut out: inside the band, some pixels are clear.
    const QImage monogram = TablerIcon::image(Variant::monogram, 1.0, label);
    EXPECT_EQ(monogram.width(), 18);
    EXPECT_LT(TablerIcon::monogramPath().boundingRect().left(), 2.0);
    EXPECT_FALSE(TablerIcon::monogramPath().contains(QPointF(6.4, 10))) << "inside the L's stem: cut out";
    EXPECT_TRUE(TablerIcon::monogramPath().contains(QPointF(3, 10)));
    EXPECT_TRUE(TablerIcon::monogramPath().contains(QPointF(6.3, 20))) << "the tail";

    EXPECT_EQ(statusDot(MenuBarState::needsPermission, 1.0).pixelColor(4, 4).rgb(),
              QColor::fromRgbF(0.91f, 0.54f, 0.05f).rgb());
    EXPECT_EQ(updateDot(1.0).size(), QSize(8, 8));
}
