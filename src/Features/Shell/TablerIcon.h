#pragma once

// The tray icon's images: the monogram in a speech bubble, and its variants for the off state
// (faded), the missing permission (a badge dot) and an update on offer (a blue dot). Linux panels do
// not tint icons, so the images that the design leaves to the panel's tint are drawn in the panel's
// text colour; callers pass it, and draw again when it changes. Drawn with vector paths at the
// screen's device pixel ratio and kept per colour and ratio. Main thread.

#include "Features/Coordinator/MenuBarState.h"

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QSizeF>

namespace Lumivox::TablerIcon {

enum class Variant { monogram, paused, badged, update, pausedUpdate };

/// The image of the tray icon for a state.
Variant menuBar(MenuBarState state, bool updateAvailable);

/// Sizes in points: the monogram is 18 by 18; the variants with a dot are 2 points wider.
QSizeF size(Variant variant);
/// The image at `devicePixelRatio`, with the monogram in `labelColor`.
QImage image(Variant variant, qreal devicePixelRatio, const QColor &labelColor);

/// The dot of the menu's update row, 8 by 8 points.
QImage updateDot(qreal devicePixelRatio);
/// The dot of the menu's status line, 8 by 8 points, drawn anew at each call.
QImage statusDot(MenuBarState state, qreal devicePixelRatio);
QColor statusColor(MenuBarState state);
/// The blue of the update dot.
QColor systemBlue();

/// The bubble with the two letters cut out (even-odd), in a 24 by 24 box with y growing downwards.
const QPainterPath &monogramPath();

} // namespace Lumivox::TablerIcon
