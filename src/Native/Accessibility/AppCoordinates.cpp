#include "Native/Accessibility/AppCoordinates.h"

#include <cmath>

namespace Lumivox::Native::Atspi {

namespace {

// A scale this close to a quarter step is that step: a frame's size in the application's units is
// rounded, which blurs the ratio by a pixel's worth.
constexpr double snapTolerance = 0.02;
// Width and height ratios further apart than this are two different windows.
constexpr double sameWindowTolerance = 0.08;

double snapped(double scale)
{
    const double step = std::round(scale * 4.0) / 4.0;
    return std::abs(scale - step) <= snapTolerance * step ? step : scale;
}

double manhattan(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) + std::abs(a.y() - b.y());
}

} // namespace

std::optional<AppSpace> AppSpace::measure(const QRect &window, const QRect &reported, const ScreenLayout &screens,
                                          std::optional<AppSpace> previous)
{
    if (window.width() < 1 || window.height() < 1 || reported.width() < 1 || reported.height() < 1)
        return std::nullopt;
    const double across = double(window.width()) / reported.width();
    const double down = double(window.height()) / reported.height();
    if (std::abs(across - down) > sameWindowTolerance * std::max(across, down))
        return std::nullopt;
    const double scale = snapped((across + down) / 2.0);
    // An application never reports in units smaller than a pixel; a small frame around the window
    // (decorations) must not pass for a scale.
    if (scale < 1.0 + snapTolerance)
        return AppSpace {};
    const QPointF corner(reported.topLeft());
    const QPointF byRoot = corner * scale;
    const QPointF byScreen = screens.withFactor(scale).toPixels(corner);
    const double offRoot = manhattan(byRoot, QPointF(window.topLeft()));
    const double offScreen = manhattan(byScreen, QPointF(window.topLeft()));
    bool fromCorners = offScreen < offRoot;
    if (manhattan(byRoot, byScreen) < 1.0)
        fromCorners = previous ? previous->fromScreenCorners : false;
    return AppSpace {scale, fromCorners};
}

AppCoordinates::AppCoordinates(ScreenLayout screens, AppSpace space, std::optional<QPointF> anchorPixel)
    : m_screens(std::move(screens))
    , m_space(space)
    , m_scaled(m_space.fromScreenCorners ? m_screens.withFactor(m_space.scale) : ScreenLayout())
    , m_anchor(anchorPixel ? m_screens.screenAtPixel(*anchorPixel) : std::nullopt)
{ }

QPoint AppCoordinates::fromPixel(QPointF pixel) const
{
    const QPointF p = m_space.fromScreenCorners ? m_scaled.toPoints(pixel) : pixel / m_space.scale;
    return QPoint(int(std::lround(p.x())), int(std::lround(p.y())));
}

QRectF AppCoordinates::toPixels(const QRect &reported) const
{
    const QRectF r(reported);
    if (m_space.fromScreenCorners)
        return m_scaled.toPixels(r);
    return QRectF(r.topLeft() * m_space.scale, r.size() * m_space.scale);
}

QPoint AppCoordinates::fromPoint(QPointF point) const
{
    return fromPixel(m_screens.toPixels(point));
}

QRectF AppCoordinates::toPoints(const QRect &reported) const
{
    const QRectF pixels = toPixels(reported);
    return m_anchor ? ScreenLayout::toPointsOn(*m_anchor, pixels) : m_screens.toPoints(pixels);
}

} // namespace Lumivox::Native::Atspi
