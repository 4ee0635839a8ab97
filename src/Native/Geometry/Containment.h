#pragma once

// The one point-in-rectangle test of the program. Every caller (screens, windows, capture
// displays, accessibility bounds, recognised word boxes) counts edges the way the design's
// platform does, so that a point on a shared edge belongs to exactly one of two neighbours.

#include <QPointF>
#include <QRectF>

namespace Lumivox::Native {

/// Half-open on both axes: the minimum edges are inside, the maximum edges outside. The test is the
/// same whichever way y points, so in a bottom-left-origin rectangle it is the lower edge that
/// counts as inside. An empty or inverted rectangle contains no point, and NaN contains nothing.
inline bool containsHalfOpen(const QRectF &r, QPointF p)
{
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}

} // namespace Lumivox::Native
