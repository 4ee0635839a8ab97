#include "Features/LanguagePicker/LanguagePickerPlacement.h"

#include <algorithm>

namespace Lumivox::LanguagePickerPlacement {

QPointF origin(QPointF p, QSizeF size, const QRectF &frame)
{
    const double w = size.width();
    const double h = size.height();
    // QRectF's top is its minimum y, which in bottom-left coordinates is the frame's bottom edge.
    const double minX = frame.left();
    const double maxX = frame.right();
    const double minY = frame.top();
    const double maxY = frame.bottom();

    double x = p.x() + pointerGap;
    if (x + w > maxX - edgeInset)
        x = p.x() - pointerGap - w;
    double y = p.y() - pointerGap - h;
    if (y < minY + edgeInset)
        y = p.y() + pointerGap;

    // max after min: when the panel is larger than the frame, its left and bottom edges stay inside.
    x = std::max(minX + edgeInset, std::min(x, maxX - w - edgeInset));
    y = std::max(minY + edgeInset, std::min(y, maxY - h - edgeInset));
    return {x, y};
}

QRectF frame(QPointF point, QSizeF size, const std::vector<ScreenInfo> &screens,
             const std::optional<ScreenInfo> &mainScreen)
{
    const auto screen = ScreenGeometry::screen(point, screens, mainScreen);
    const QRectF visible = screen ? screen->visibleFrame : QRectF();
    return QRectF(origin(point, size, visible), size);
}

} // namespace Lumivox::LanguagePickerPlacement
