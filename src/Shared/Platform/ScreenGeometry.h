#pragma once

// Conversions between the two screen coordinate systems the program uses:
//   Quartz: origin at the top-left of the primary screen, y downwards (window list, accessibility,
//           capture);
//   Cocoa:  origin at the bottom-left of the primary screen, y upwards (windows, panels, pointer).
// Every conversion flips y around the primary screen's top edge in Cocoa coordinates (primaryMaxY).
// All values are points.

#include <QPointF>
#include <QRectF>

#include <optional>
#include <vector>

namespace Lumivox {

/// One screen with its frame and its visible frame (the frame less panels and docks), in Cocoa
/// coordinates.
struct ScreenInfo
{
    QRectF frame;
    QRectF visibleFrame;
    bool operator==(const ScreenInfo &) const = default;
};

namespace ScreenGeometry {

/// The screens in the platform's order, in Cocoa coordinates. Main thread.
std::vector<ScreenInfo> screens();
/// The platform's main screen (Qt's primary screen), if any. Main thread.
std::optional<ScreenInfo> mainScreen();

/// The maximum y of the primary screen: the first screen at origin (0, 0), else the first screen.
std::optional<double> primaryScreenMaxY(const std::vector<ScreenInfo> &screens);
/// The live line, the same on every thread and for every conversion (see Native::ScreenLayout::flipLine).
std::optional<double> primaryScreenMaxY();

/// The first screen containing the point, else the main screen, else the first screen.
std::optional<ScreenInfo> screen(QPointF cocoaPoint, const std::vector<ScreenInfo> &screens,
                                 const std::optional<ScreenInfo> &mainScreen);
std::optional<ScreenInfo> screen(QPointF cocoaPoint);

/// The visible frame of the screen containing the point (same choice of screen as screen()).
std::optional<QRectF> visibleFrame(QPointF cocoaPoint);

QPointF cgPoint(QPointF cocoaPoint, std::optional<double> primaryMaxY);
QPointF cgPoint(QPointF cocoaPoint);
/// The inverse flip (Quartz to Cocoa) around the same line.
QPointF cocoaPoint(QPointF quartzPoint, std::optional<double> primaryMaxY);

/// Maps a recognised box (normalised to the crop, origin at its bottom-left) back to the screen.
QRectF cocoaRect(const QRectF &displayCropQuartz, const QRectF &visionBox, std::optional<double> primaryMaxY);

/// Qt's global window geometry (top-left origin, logical pixels) to Cocoa coordinates and back.
QRectF cocoaRectFromQt(const QRectF &qtRect);
QPointF qtPointFromCocoa(QPointF cocoaPoint);
QRectF qtRectFromCocoa(const QRectF &cocoaRect);
/// The same flips around a given line: the height of the screen at Qt's origin.
QRectF cocoaRectFromQt(const QRectF &qtRect, double qtFlipLine);
QRectF qtRectFromCocoa(const QRectF &cocoaRect, double qtFlipLine);

} // namespace ScreenGeometry

} // namespace Lumivox
