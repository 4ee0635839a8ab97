#include "Native/Geometry/ScreenLayout.h"

#include "Native/Geometry/Containment.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Lumivox::Native {

namespace {

// How far a point lies outside a rectangle (0 inside it).
double distance(const QRectF &r, QPointF p)
{
    const double dx = std::max({r.left() - p.x(), 0.0, p.x() - r.right()});
    const double dy = std::max({r.top() - p.y(), 0.0, p.y() - r.bottom()});
    return std::hypot(dx, dy);
}

// The screen whose rectangle (as `rectOf` gives it) holds the point, else the nearest one.
template<class RectOf>
const LayoutScreen *locate(const std::vector<LayoutScreen> &screens, QPointF p, RectOf rectOf)
{
    const LayoutScreen *nearest = nullptr;
    double best = std::numeric_limits<double>::infinity();
    for (const LayoutScreen &s : screens) {
        const QRectF r = rectOf(s);
        if (containsHalfOpen(r, p))
            return &s;
        if (const double d = distance(r, p); d < best) {
            best = d;
            nearest = &s;
        }
    }
    return nearest;
}

double usable(double factor)
{
    return std::isfinite(factor) && factor > 0 ? factor : 1.0;
}

} // namespace

ScreenLayout::ScreenLayout(std::vector<LayoutScreen> screens)
    : m_screens(std::move(screens))
{
    for (LayoutScreen &s : m_screens)
        s.factor = usable(s.factor);
}

QRectF ScreenLayout::pointRect(const LayoutScreen &s)
{
    return QRectF(QPointF(s.pixels.topLeft()), QSizeF(s.pixels.size()) / s.factor);
}

const LayoutScreen *ScreenLayout::byPixel(QPointF pixel) const
{
    return locate(m_screens, pixel, [](const LayoutScreen &s) { return QRectF(s.pixels); });
}

const LayoutScreen *ScreenLayout::byPoint(QPointF point) const
{
    return locate(m_screens, point, &ScreenLayout::pointRect);
}

QPointF ScreenLayout::toPoints(QPointF pixel) const
{
    const LayoutScreen *s = byPixel(pixel);
    if (!s)
        return pixel;
    const QPointF origin(s->pixels.topLeft());
    return origin + (pixel - origin) / s->factor;
}

QPointF ScreenLayout::pointOfPixel(QPoint pixel) const
{
    // A binary fraction: exact in doubles, so a pixel on a x1 monitor keeps whole coordinates plus it.
    constexpr double inset = 1.0 / 16.0;
    const QPointF corner(pixel);
    const LayoutScreen *s = byPixel(corner);
    if (!s)
        return corner + QPointF(inset, inset);
    const QPointF origin(s->pixels.topLeft());
    return origin + (corner + QPointF(inset, inset) - origin) / s->factor;
}

QPointF ScreenLayout::toPixels(QPointF point) const
{
    const LayoutScreen *s = byPoint(point);
    if (!s)
        return point;
    const QPointF origin(s->pixels.topLeft());
    return origin + (point - origin) * s->factor;
}

QRectF ScreenLayout::toPoints(const QRectF &pixels) const
{
    const LayoutScreen *s = byPixel(pixels.center());
    return s ? toPointsOn(*s, pixels) : pixels;
}

QRectF ScreenLayout::toPixels(const QRectF &points) const
{
    const LayoutScreen *s = byPoint(points.center());
    return s ? toPixelsOn(*s, points) : points;
}

QRectF ScreenLayout::toPointsOn(const LayoutScreen &s, const QRectF &pixels)
{
    const QPointF origin(s.pixels.topLeft());
    const double factor = usable(s.factor);
    return QRectF(origin + (pixels.topLeft() - origin) / factor, pixels.size() / factor);
}

QRectF ScreenLayout::toPixelsOn(const LayoutScreen &s, const QRectF &points)
{
    const QPointF origin(s.pixels.topLeft());
    const double factor = usable(s.factor);
    return QRectF(origin + (points.topLeft() - origin) * factor, points.size() * factor);
}

std::optional<LayoutScreen> ScreenLayout::screenAtPixel(QPointF pixel) const
{
    if (const LayoutScreen *s = byPixel(pixel))
        return *s;
    return std::nullopt;
}

double ScreenLayout::flipLine() const
{
    for (const LayoutScreen &s : m_screens) {
        if (s.pixels.topLeft() == QPoint(0, 0))
            return pointRect(s).height();
    }
    return m_screens.empty() ? 0.0 : pointRect(m_screens.front()).bottom();
}

ScreenLayout ScreenLayout::withFactor(double factor) const
{
    std::vector<LayoutScreen> screens = m_screens;
    for (LayoutScreen &s : screens)
        s.factor = factor;
    return ScreenLayout(std::move(screens));
}

} // namespace Lumivox::Native
