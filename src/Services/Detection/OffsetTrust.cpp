#include "Services/Detection/OffsetTrust.h"

#include "Native/Geometry/Containment.h"

#include <algorithm>
#include <cmath>

namespace Lumivox::OffsetTrust {

namespace {

constexpr double sideTolerance = 8;
constexpr double probeInset = 2;

} // namespace

BoxVerdict judgeBox(const std::optional<QRectF> &box, QPointF point)
{
    if (!box)
        return BoxVerdict::none;
    const bool wide = box->width() > 0;
    const bool tall = box->height() > 0;
    if (!wide && !tall)
        return BoxVerdict::none;
    if (!wide || !tall)
        return BoxVerdict::flat;
    return holds(*box, point) ? BoxVerdict::holdsPoint : BoxVerdict::elsewhere;
}

bool holds(const QRectF &box, QPointF point)
{
    const double vertical = std::min(sideTolerance, box.height() / 4);
    return Native::containsHalfOpen(box.adjusted(-sideTolerance, -vertical, sideTolerance, vertical), point);
}

std::optional<QPointF> probePoint(const QRectF &element, QPointF point)
{
    const QRectF inside = element.adjusted(probeInset, probeInset, -probeInset, -probeInset);
    if (!(inside.width() > 0) || !(inside.height() > 0))
        return std::nullopt;
    std::optional<QPointF> best;
    double bestDistance = 0;
    for (const QPointF corner : {inside.topLeft(), inside.topRight(), inside.bottomLeft(), inside.bottomRight()}) {
        const double distance = std::hypot(corner.x() - point.x(), corner.y() - point.y());
        if (distance >= farApart && distance > bestDistance) {
            best = corner;
            bestDistance = distance;
        }
    }
    return best;
}

bool isDefaultIndexFarIn(const std::optional<QRectF> &element, qint64 index, QPointF point)
{
    return element && element->width() > farApart && index >= 0 && index <= 1
        && (point.x() - element->left()) / element->width() > 0.12;
}

QString flatBoxesDoubt()
{
    return QStringLiteral("offsets untrusted: character boxes without height");
}

QString defaultIndexDoubt()
{
    return QStringLiteral("offsets untrusted: offset 0 far into the text");
}

QString oneOffsetDoubt()
{
    return QStringLiteral("offsets untrusted: one offset for points far apart");
}

} // namespace Lumivox::OffsetTrust
