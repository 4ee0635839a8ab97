#pragma once

// Where the floating picker opens: beside the pointer, inside the visible frame of the pointer's
// screen. Everything here is in the program's bottom-left-origin points; the panel converts the
// result to Qt's coordinates through ScreenGeometry.

#include "Shared/Platform/ScreenGeometry.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>
#include <vector>

namespace Lumivox::LanguagePickerPlacement {

/// Gap between the pointer and the panel, and the least distance kept from the frame's edges.
inline constexpr double pointerGap = 10;
inline constexpr double edgeInset = 4;

/// The panel's bottom-left corner: right of and below the pointer, else left of it and above it
/// where it would not fit. A panel larger than the frame keeps its left and bottom edges 4 points
/// inside it.
QPointF origin(QPointF point, QSizeF size, const QRectF &visibleFrame);

/// The panel's frame near `point` on the screen that holds it (see ScreenGeometry::screen); with no
/// screen at all, the zero frame's rule puts it at (4, 4).
QRectF frame(QPointF point, QSizeF size, const std::vector<ScreenInfo> &screens,
             const std::optional<ScreenInfo> &mainScreen);

} // namespace Lumivox::LanguagePickerPlacement
