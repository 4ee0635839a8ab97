#pragma once

// How X's device pixels (origin at the top-left of the root window, y downwards) map onto the
// program's points. Qt decides the device pixel ratio (QT_SCALE_FACTOR, Xft.dpi), so the backends
// take Qt's answer rather than guessing their own and disagreeing with every widget.

namespace Lumivox::Native::X11 {

struct ScreenScale
{
    /// Device pixels per point.
    double devicePixelRatio = 1.0;
    /// The primary screen's top edge in bottom-left-origin points (its height): the line a y
    /// coordinate is flipped around between the two origins. 0 when no screen is known.
    double primaryMaxY = 0.0;
};

/// Any thread. Read afresh from Qt on the GUI thread; other threads get the last value the GUI
/// thread saw (or, before that, what the X server and QT_SCALE_FACTOR say).
ScreenScale screenScale();


} // namespace Lumivox::Native::X11
