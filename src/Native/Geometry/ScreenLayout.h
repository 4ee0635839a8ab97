#pragma once

// Where the monitors are, in the X server's pixels (root window, top-left origin) and in the
// program's points (Qt's logical coordinates, the same origin), and the one mapping between them.
//
// Qt scales each screen from its own top-left corner: a screen's point rectangle keeps its pixel
// origin and divides its size by the screen's factor. Two monitors side by side, ×1 and ×2, are
// (0,0 1280x800) and (1280,0 1280x800) in points although the second is 2560 pixels wide; a global
// QT_SCALE_FACTOR follows the same rule, which leaves gaps between the screens' point rectangles. A
// value that lies on no screen is mapped through the nearest one, as Qt does for a window moved off
// every screen.

#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>

#include <optional>
#include <vector>

namespace Lumivox::Native {

struct LayoutScreen
{
    /// The monitor in root-window pixels.
    QRect pixels;
    /// Pixels per point on this monitor (Qt's device pixel ratio for it).
    double factor = 1.0;
    bool operator==(const LayoutScreen &) const = default;
};

class ScreenLayout
{
public:
    ScreenLayout() = default;
    /// `screens` in Qt's order: the first stands in where no screen sits at the origin.
    explicit ScreenLayout(std::vector<LayoutScreen> screens);

    const std::vector<LayoutScreen> &screens() const { return m_screens; }
    bool isEmpty() const { return m_screens.empty(); }

    /// The screen's rectangle in points.
    static QRectF pointRect(const LayoutScreen &screen);

    /// The point that stands for a whole pixel, such as the one under the pointer: on the pixel's own
    /// monitor, a sixteenth of a pixel in from its top-left corner. Inside the pixel, it lies on that
    /// monitor whichever way y is made to point, under the half-open test of either origin (the top
    /// row of a monitor would otherwise flip onto the excluded top edge in bottom-left coordinates);
    /// so near the corner, rounding or flooring it back to pixels gives the same pixel.
    QPointF pointOfPixel(QPoint pixel) const;

    /// Root-window pixels to points and back. Without screens both are the identity.
    QPointF toPoints(QPointF pixel) const;
    QPointF toPixels(QPointF point) const;
    /// A rectangle goes through the screen that holds its centre, so that it keeps its shape. Only
    /// where it lies on one screen is that where it is: one that reaches onto a screen of another
    /// factor has no one rectangle in points, and is compared in pixels, or seen from one screen.
    QRectF toPoints(const QRectF &pixels) const;
    QRectF toPixels(const QRectF &points) const;

    /// A rectangle as seen from `screen`: in its points, carried on past its edges at its factor.
    /// The part on that screen is where it is, and the rest one straight mapping of the pixels
    /// around it, so that a point of that screen lies inside exactly when its pixel does.
    static QRectF toPointsOn(const LayoutScreen &screen, const QRectF &pixels);
    static QRectF toPixelsOn(const LayoutScreen &screen, const QRectF &points);

    /// The screen that holds the pixel (else the nearest), if there is any screen.
    std::optional<LayoutScreen> screenAtPixel(QPointF pixel) const;

    /// The line y is flipped around between the top-left and bottom-left origins, in points: the
    /// height of the screen at the origin, else the bottom of the first screen; 0 without screens.
    double flipLine() const;

    /// The same monitors, every one at `factor`: the space of an application that scales all its
    /// screens alike from their own corners.
    ScreenLayout withFactor(double factor) const;

    bool operator==(const ScreenLayout &) const = default;

private:
    const LayoutScreen *byPixel(QPointF pixel) const;
    const LayoutScreen *byPoint(QPointF point) const;

    std::vector<LayoutScreen> m_screens;
};

} // namespace Lumivox::Native
