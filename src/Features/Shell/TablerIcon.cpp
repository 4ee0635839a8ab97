#include "Features/Shell/TablerIcon.h"

#include <QPainter>
#include <QPolygonF>

#include <map>
#include <optional>
#include <tuple>

namespace Lumivox::TablerIcon {

namespace {

constexpr qreal monogramSide = 18.0;
constexpr qreal dottedExtraWidth = 2.0;
constexpr qreal badgeDiameter = 8.0;
constexpr qreal updateDotDiameter = 7.0;
// The transparent ring that separates a dot from the letters beneath it.
constexpr qreal dotRing = 1.5;
// The rim in the label's opposite tone around the bubble (half outside it) and around the badge.
constexpr qreal rimWidth = 2.0;

QPainterPath buildMonogram()
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    // The bubble: a rounded rectangle whose lower edge opens, between x 6.5 and 10, into a tail that
    // points down and to the left.
    const qreal left = 1.5, right = 22.5, top = 2.5, bottom = 17.5, r = 4.0;
    path.moveTo(left + r, top);
    path.lineTo(right - r, top);
    path.arcTo(QRectF(right - 2 * r, top, 2 * r, 2 * r), 90, -90);
    path.lineTo(right, bottom - r);
    path.arcTo(QRectF(right - 2 * r, bottom - 2 * r, 2 * r, 2 * r), 0, -90);
    path.lineTo(10.0, bottom);
    path.lineTo(6.0, 21.5);
    path.lineTo(6.5, bottom);
    path.lineTo(left + r, bottom);
    path.arcTo(QRectF(left, bottom - 2 * r, 2 * r, 2 * r), 270, -90);
    path.lineTo(left, top + r);
    path.arcTo(QRectF(left, top, 2 * r, 2 * r), 180, -90);
    path.closeSubpath();
    // A serif capital L and a lower-case v, cut out of the bubble.
    path.addPolygon(QPolygonF({{4.2, 5.97},
                               {8.6, 5.97},
                               {8.6, 6.8},
                               {7.2, 6.8},
                               {7.2, 13.0},
                               {10.4, 13.0},
                               {10.4, 11.6},
                               {11.2, 11.6},
                               {11.2, 13.85},
                               {4.2, 13.85},
                               {4.2, 13.0},
                               {5.6, 13.0},
                               {5.6, 6.8},
                               {4.2, 6.8},
                               {4.2, 5.97}}));
    path.addPolygon(QPolygonF({{12.0, 8.6},
                               {13.7, 8.6},
                               {16.25, 11.9},
                               {18.9, 8.6},
                               {20.48, 8.6},
                               {16.8, 13.85},
                               {15.6, 13.85},
                               {12.0, 8.6}}));
    return path;
}

QImage blank(QSizeF points, qreal ratio)
{
    QImage image((points * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

// The label colour's opposite, for the rim that keeps the icon visible on a panel of the label's
// own tone.
QColor rimColor(const QColor &label)
{
    return label.lightnessF() < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
}

// The bubble in the label colour, its letters and a thin rim around it in the opposite tone. A Linux
// panel neither tints the icon nor says what colour it is, so the icon must read on light and dark
// panels alike: whichever the panel is, either the bubble or its rim and letters stand out.
void drawMonogram(QPainter &painter, const QColor &color, qreal opacity)
{
    // Drawn whole, then faded as one: a faded bubble over its faded rim would let the rim show through.
    const qreal ratio = painter.device()->devicePixelRatioF();
    QImage layer = blank(QSizeF(monogramSide, monogramSide), ratio);
    {
        QPainter inLayer(&layer);
        inLayer.setRenderHint(QPainter::Antialiasing);
        inLayer.scale(monogramSide / 24.0, monogramSide / 24.0);
        // A stroke 2 points wide around every edge: half of it is the rim outside the bubble, and
        // it fills the letters, which are narrower than that.
        const QPainterPath &path = monogramPath();
        inLayer.strokePath(
            path, QPen(rimColor(color), rimWidth * 24.0 / monogramSide, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        inLayer.fillPath(path, color);
    }
    painter.save();
    painter.setOpacity(opacity);
    painter.drawImage(QPointF(0, 0), layer);
    painter.restore();
}

// A dot of `diameter` in the top right corner of `width`, after clearing a ring around it. `rim`
// outlines it in that colour, so a dot in the label colour shows on a panel of the same tone.
void drawCornerDot(QPainter &painter, qreal width, qreal diameter, const QColor &color,
                   const std::optional<QColor> &rim = std::nullopt)
{
    const QRectF dot(width - diameter, 0, diameter, diameter);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setBrush(Qt::black);
    painter.drawEllipse(dot.adjusted(-dotRing, -dotRing, dotRing, dotRing));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (rim) {
        painter.setBrush(*rim);
        painter.drawEllipse(dot);
        painter.setBrush(color);
        painter.drawEllipse(dot.adjusted(rimWidth / 2, rimWidth / 2, -rimWidth / 2, -rimWidth / 2));
    } else {
        painter.setBrush(color);
        painter.drawEllipse(dot);
    }
    painter.restore();
}

QImage draw(Variant variant, qreal ratio, const QColor &label)
{
    QImage image = blank(size(variant), ratio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal width = size(variant).width();
    switch (variant) {
    case Variant::monogram:
        drawMonogram(painter, label, 1.0);
        break;
    case Variant::paused:
        drawMonogram(painter, label, 0.4);
        break;
    case Variant::badged:
        drawMonogram(painter, label, 1.0);
        drawCornerDot(painter, width, badgeDiameter, label, rimColor(label));
        break;
    case Variant::update:
    case Variant::pausedUpdate:
        // Faded or not, the blue dot keeps its full strength.
        drawMonogram(painter, label, variant == Variant::update ? 1.0 : 0.4);
        drawCornerDot(painter, width, updateDotDiameter, systemBlue());
        break;
    }
    return image;
}

QImage dot(const QColor &color, qreal ratio)
{
    QImage image = blank(QSizeF(8, 8), ratio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, 8, 8));
    return image;
}

} // namespace

Variant menuBar(MenuBarState state, bool updateAvailable)
{
    if (updateAvailable && state != MenuBarState::needsPermission)
        return state == MenuBarState::on ? Variant::update : Variant::pausedUpdate;
    switch (state) {
    case MenuBarState::on:
        return Variant::monogram;
    case MenuBarState::off:
        return Variant::paused;
    case MenuBarState::needsPermission:
        return Variant::badged;
    }
    return Variant::monogram;
}

QSizeF size(Variant variant)
{
    const bool withDot = variant == Variant::badged || variant == Variant::update || variant == Variant::pausedUpdate;
    return {monogramSide + (withDot ? dottedExtraWidth : 0.0), monogramSide};
}

QImage image(Variant variant, qreal ratio, const QColor &label)
{
    using Key = std::tuple<int, qreal, QRgb>;
    static std::map<Key, QImage> cache;
    const Key key {int(variant), ratio, label.rgba()};
    if (const auto it = cache.find(key); it != cache.end())
        return it->second;
    return cache.emplace(key, draw(variant, ratio, label)).first->second;
}

QImage updateDot(qreal ratio)
{
    return dot(systemBlue(), ratio);
}

QImage statusDot(MenuBarState state, qreal ratio)
{
    return dot(statusColor(state), ratio);
}

QColor statusColor(MenuBarState state)
{
    switch (state) {
    case MenuBarState::on:
        return QColor::fromRgbF(0.16f, 0.65f, 0.27f);
    case MenuBarState::off:
        return QColor::fromRgbF(0.56f, 0.56f, 0.58f);
    case MenuBarState::needsPermission:
        return QColor::fromRgbF(0.91f, 0.54f, 0.05f);
    }
    return {};
}

QColor systemBlue()
{
    return QColor(0, 122, 255);
}

const QPainterPath &monogramPath()
{
    static const QPainterPath path = buildMonogram();
    return path;
}

} // namespace Lumivox::TablerIcon
