#pragma once

// Where the tooltip goes beside the point it belongs to. Points, rectangles and sizes are in
// bottom-left-origin screen coordinates (y grows upwards; a rectangle's y is its lower edge), in
// points. Pure functions.

#include "Features/Overlay/TooltipContent.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace Lumivox::TooltipPlacement {

/// A tooltip that grows by more than this while on screen fades in anew at its new place.
constexpr double growthToRefade = 24;

/// Between the point and the panel's edge.
constexpr double gap = 6;
/// Kept free between the panel and every edge of the visible frame.
constexpr double screenMargin = 4;

/// Above the point when the tooltip fits there, else below when it fits there, else on the side
/// with more room; above wins every tie. Only the size's height takes part.
ArrowEdge arrowEdge(QPointF point, QSizeF size, const QRectF &visibleFrame);

/// The panel's lower-left corner: centred on the point, `gap` above or below it, then kept
/// `screenMargin` inside the visible frame. A panel larger than the frame less the margins keeps its
/// left (lower) edge at the frame's left (lower) edge plus the margin.
QPointF origin(QPointF point, QSizeF size, ArrowEdge edge, const QRectF &visibleFrame);

/// Whether a tooltip on screen at `shownHeight` (0: none shown) that becomes `newHeight` high has
/// grown enough to fade in anew rather than change in place.
bool growsBeyondPlace(double shownHeight, double newHeight);

} // namespace Lumivox::TooltipPlacement
