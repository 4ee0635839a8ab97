#include "Features/Overlay/TooltipPlacement.h"

#include <algorithm>

namespace Lumivox::TooltipPlacement {

namespace {

double maxY(const QRectF &r)
{
    return r.y() + r.height();
}

double maxX(const QRectF &r)
{
    return r.x() + r.width();
}

} // namespace

ArrowEdge arrowEdge(QPointF point, QSizeF size, const QRectF &visibleFrame)
{
    const double needed = size.height() + gap + screenMargin;
    const double above = maxY(visibleFrame) - point.y();
    const double below = point.y() - visibleFrame.y();
    if (needed <= above)
        return ArrowEdge::bottom;
    if (needed <= below)
        return ArrowEdge::top;
    return above >= below ? ArrowEdge::bottom : ArrowEdge::top;
}

QPointF origin(QPointF point, QSizeF size, ArrowEdge edge, const QRectF &visibleFrame)
{
    double y = edge == ArrowEdge::bottom ? point.y() + gap : point.y() - size.height() - gap;
    double x = point.x() - size.width() / 2;
    // max() last: a panel too large for the frame keeps its left (lower) edge inside it.
    x = std::max(visibleFrame.x() + screenMargin, std::min(maxX(visibleFrame) - size.width() - screenMargin, x));
    y = std::max(visibleFrame.y() + screenMargin, std::min(maxY(visibleFrame) - size.height() - screenMargin, y));
    return QPointF(x, y);
}

bool growsBeyondPlace(double shownHeight, double newHeight)
{
    return shownHeight > 0 && newHeight - shownHeight > growthToRefade;
}

} // namespace Lumivox::TooltipPlacement
