#include "Shared/Platform/ScreenGeometry.h"

#include "Native/Geometry/Containment.h"
#include "Native/X11/X11Screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace Lumivox::ScreenGeometry {

namespace {

// The line Qt's y-down coordinates are flipped around: one definition for every thread and every
// backend, kept with the layout of the screens.
double qtFlipLine()
{
    return Native::X11::screenSnapshot()->layout.flipLine();
}

QRectF flipQt(const QRectF &r, double line)
{
    return QRectF(r.x(), line - r.y() - r.height(), r.width(), r.height());
}

ScreenInfo info(QScreen *s, double line)
{
    return ScreenInfo {flipQt(QRectF(s->geometry()), line), flipQt(QRectF(s->availableGeometry()), line)};
}

} // namespace

std::vector<ScreenInfo> screens()
{
    std::vector<ScreenInfo> out;
    if (!qGuiApp)
        return out;
    const double line = qtFlipLine();
    for (QScreen *s : QGuiApplication::screens())
        out.push_back(info(s, line));
    return out;
}

std::optional<ScreenInfo> mainScreen()
{
    if (!qGuiApp || !QGuiApplication::primaryScreen())
        return std::nullopt;
    return info(QGuiApplication::primaryScreen(), qtFlipLine());
}

std::optional<double> primaryScreenMaxY(const std::vector<ScreenInfo> &list)
{
    for (const ScreenInfo &s : list) {
        if (s.frame.topLeft() == QPointF(0, 0))
            return s.frame.bottom();
    }
    if (list.empty())
        return std::nullopt;
    return list.front().frame.bottom();
}

std::optional<double> primaryScreenMaxY()
{
    if (!qGuiApp || QGuiApplication::screens().isEmpty())
        return std::nullopt;
    return qtFlipLine();
}

std::optional<ScreenInfo> screen(QPointF p, const std::vector<ScreenInfo> &list, const std::optional<ScreenInfo> &main)
{
    for (const ScreenInfo &s : list) {
        if (Native::containsHalfOpen(s.frame, p))
            return s;
    }
    if (main)
        return main;
    if (!list.empty())
        return list.front();
    return std::nullopt;
}

std::optional<ScreenInfo> screen(QPointF p)
{
    return screen(p, screens(), mainScreen());
}

std::optional<QRectF> visibleFrame(QPointF p)
{
    if (auto s = screen(p))
        return s->visibleFrame;
    return std::nullopt;
}

QPointF cgPoint(QPointF p, std::optional<double> primaryMaxY)
{
    if (!primaryMaxY)
        return p;
    return QPointF(p.x(), *primaryMaxY - p.y());
}

QPointF cgPoint(QPointF p)
{
    return cgPoint(p, primaryScreenMaxY());
}

QPointF cocoaPoint(QPointF q, std::optional<double> primaryMaxY)
{
    return cgPoint(q, primaryMaxY);
}

QRectF cocoaRect(const QRectF &crop, const QRectF &box, std::optional<double> primaryMaxY)
{
    const double x = crop.left() + box.left() * crop.width();
    const double top = crop.top() + (1.0 - box.bottom()) * crop.height();
    const QRectF r(x, top, box.width() * crop.width(), box.height() * crop.height());
    const double flip = primaryMaxY.value_or(r.bottom());
    return QRectF(r.left(), flip - r.bottom(), r.width(), r.height());
}

QRectF cocoaRectFromQt(const QRectF &qtRect)
{
    return flipQt(qtRect, qtFlipLine());
}

QPointF qtPointFromCocoa(QPointF p)
{
    return QPointF(p.x(), qtFlipLine() - p.y());
}

QRectF qtRectFromCocoa(const QRectF &cocoaRect)
{
    return flipQt(cocoaRect, qtFlipLine());
}

QRectF cocoaRectFromQt(const QRectF &qtRect, double line)
{
    return flipQt(qtRect, line);
}

QRectF qtRectFromCocoa(const QRectF &cocoaRect, double line)
{
    // The flip is its own inverse: the rectangle's far edge becomes its near one.
    return flipQt(cocoaRect, line);
}

} // namespace Lumivox::ScreenGeometry
