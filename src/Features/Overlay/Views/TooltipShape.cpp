#include "Features/Overlay/Views/TooltipShape.h"

#include <algorithm>

namespace Lumivox::TooltipShape {

QPainterPath path(const QRectF &rect, ArrowEdge edge)
{
    QRectF body = rect;
    if (edge == ArrowEdge::top)
        body.setTop(rect.top() + arrowHeight);
    else
        body.setBottom(rect.bottom() - arrowHeight);
    const double r = std::max(0.0, std::min({cornerRadius, body.width() / 2, body.height() / 2}));
    const double midX = rect.center().x();
    const double halfArrow = arrowWidth / 2;

    QPainterPath p;
    p.moveTo(body.left() + r, body.top());
    if (edge == ArrowEdge::top) {
        p.lineTo(midX - halfArrow, body.top());
        p.lineTo(midX, rect.top());
        p.lineTo(midX + halfArrow, body.top());
    }
    p.lineTo(body.right() - r, body.top());
    p.arcTo(QRectF(body.right() - 2 * r, body.top(), 2 * r, 2 * r), 90, -90);
    p.lineTo(body.right(), body.bottom() - r);
    p.arcTo(QRectF(body.right() - 2 * r, body.bottom() - 2 * r, 2 * r, 2 * r), 0, -90);
    if (edge == ArrowEdge::bottom) {
        p.lineTo(midX + halfArrow, body.bottom());
        p.lineTo(midX, rect.bottom());
        p.lineTo(midX - halfArrow, body.bottom());
    }
    p.lineTo(body.left() + r, body.bottom());
    p.arcTo(QRectF(body.left(), body.bottom() - 2 * r, 2 * r, 2 * r), 270, -90);
    p.lineTo(body.left(), body.top() + r);
    p.arcTo(QRectF(body.left(), body.top(), 2 * r, 2 * r), 180, -90);
    p.closeSubpath();
    return p;
}

} // namespace Lumivox::TooltipShape
