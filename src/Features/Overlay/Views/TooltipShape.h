#pragma once

// The outline of the tooltip's bubble: a rounded rectangle with a small arrow at the horizontal
// centre of its top or bottom edge. In the view's own coordinates (y grows downwards).

#include "Features/Overlay/TooltipContent.h"

#include <QPainterPath>
#include <QRectF>

namespace Lumivox::TooltipShape {

constexpr double arrowWidth = 16;
constexpr double arrowHeight = 7;
constexpr double cornerRadius = 10;

/// The body (the rectangle less the arrow's height on the arrow's side) with corners of
/// min(10, half the body's width, half its height), and the arrow's tip on the rectangle's edge.
QPainterPath path(const QRectF &rect, ArrowEdge edge);

} // namespace Lumivox::TooltipShape
