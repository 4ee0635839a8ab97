#pragma once

// Where an application's accessibility coordinates are on screen. Toolkits report positions in
// their own units, not in the screen's pixels: GTK 3 at GDK_SCALE=2 reports a word drawn at pixel
// (248,294) as (124,147), scaling from the root window's corner; Qt at QT_SCALE_FACTOR scales each
// screen from its own corner, as our own program does. Neither says which, and our own device pixel
// ratio says nothing about theirs, so the space is told from what the application reports: its
// accessible window's frame against the X window's geometry.

#include "Native/Geometry/ScreenLayout.h"

#include <QPoint>
#include <QRect>
#include <QRectF>

#include <optional>

namespace Lumivox::Native::Atspi {

struct AppSpace
{
    /// Screen pixels per unit of the application.
    double scale = 1.0;
    /// Scaled from each screen's own corner (Qt); else from the root window's (GTK).
    bool fromScreenCorners = false;
    bool operator==(const AppSpace &) const = default;

    /// The space in which the application reports `reported` for its window at `window` (pixels);
    /// none when the two do not describe the same window. Where both ways of scaling put the window
    /// at the same place (on the screen at the origin), `previous`'s way is kept.
    static std::optional<AppSpace> measure(const QRect &window, const QRect &reported, const ScreenLayout &screens,
                                           std::optional<AppSpace> previous = std::nullopt);
};

/// Converts between the program's points and one application's coordinates, over one layout of the
/// screens. A lookup reads around one point: its boxes are seen from that point's screen (in its
/// points, carried on past its edges), so that a box across monitors of different scales holds the
/// point exactly when it does on screen.
class AppCoordinates
{
public:
    /// `anchorPixel`: the point the boxes are seen from (root pixels); without it each box goes
    /// through the screen that holds its centre.
    AppCoordinates(ScreenLayout screens, AppSpace space, std::optional<QPointF> anchorPixel = std::nullopt);

    const AppSpace &space() const { return m_space; }
    /// A pixel of the root window in the application's units, and back.
    QPoint fromPixel(QPointF pixel) const;
    QRectF toPixels(const QRect &reported) const;
    /// A point of ours in the application's units; a reported box in our points.
    QPoint fromPoint(QPointF point) const;
    QRectF toPoints(const QRect &reported) const;

private:
    ScreenLayout m_screens;
    AppSpace m_space;
    ScreenLayout m_scaled; // the screens as the application sees them, when it scales from their corners
    std::optional<LayoutScreen> m_anchor;
};

} // namespace Lumivox::Native::Atspi
