#include "Native/Geometry/Containment.h"

#include <gtest/gtest.h>

#include <limits>

using Lumivox::Native::containsHalfOpen;

namespace {

const double notANumber = std::numeric_limits<double>::quiet_NaN();

struct Case
{
    const char *name;
    QRectF rect;
    QPointF point;
    bool inside;
};

} // namespace

TEST(Containment, MinimumEdgesAreInsideAndMaximumEdgesOutside)
{
    const QRectF r(10, 20, 100, 50); // x 10..110, y 20..70
    const Case cases[] = {
        {"centre", r, {60, 45}, true},
        {"left edge", r, {10, 45}, true},
        {"right edge", r, {110, 45}, false},
        {"just inside the right edge", r, {109.999, 45}, true},
        {"top edge", r, {60, 20}, true},
        {"bottom edge", r, {60, 70}, false},
        {"just inside the bottom edge", r, {60, 69.999}, true},
        {"minimum corner", r, {10, 20}, true},
        {"corner of minimum x and maximum y", r, {10, 70}, false},
        {"corner of maximum x and minimum y", r, {110, 20}, false},
        {"maximum corner", r, {110, 70}, false},
        {"left of the rectangle", r, {9.999, 45}, false},
        {"above the rectangle", r, {60, 19.999}, false},
        {"negative coordinates", QRectF(-50, -50, 10, 10), {-50, -41}, true},
        {"zero width", QRectF(10, 20, 0, 50), {10, 45}, false},
        {"zero height", QRectF(10, 20, 100, 0), {60, 20}, false},
        {"inverted width", QRectF(110, 20, -100, 50), {60, 45}, false},
        {"inverted height", QRectF(10, 70, 100, -50), {60, 45}, false},
        {"NaN point", r, {notANumber, 45}, false},
        {"NaN rectangle", QRectF(notANumber, 20, 100, 50), {60, 45}, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(containsHalfOpen(c.rect, c.point), c.inside) << c.name;
}

TEST(Containment, NeighboursSharingAnEdgeClaimThePointOnItOnce)
{
    // Two screens side by side, or two lines of recognised text one above the other: a point on
    // the shared edge belongs to exactly one of them, the one whose minimum edge it is.
    const QRectF left(0, 0, 100, 100);
    const QRectF right(100, 0, 100, 100);
    const QRectF lower(0, 0, 100, 20);
    const QRectF upper(0, 20, 100, 20);
    for (double y : {0.0, 50.0, 99.5}) {
        EXPECT_FALSE(containsHalfOpen(left, {100, y}));
        EXPECT_TRUE(containsHalfOpen(right, {100, y}));
    }
    EXPECT_FALSE(containsHalfOpen(lower, {50, 20}));
    EXPECT_TRUE(containsHalfOpen(upper, {50, 20}));
}
