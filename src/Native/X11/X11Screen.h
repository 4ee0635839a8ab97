#pragma once

// The monitors as the program sees them, for every thread: Qt decides each screen's device pixel
// ratio (QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS, Xft.dpi), so the backends take Qt's answer rather
// than guessing their own and disagreeing with every widget. The GUI thread reads the layout from
// Qt once and again whenever a screen is added, removed or changes; other threads get what it last
// read.

#include "Native/Geometry/ScreenLayout.h"

#include <QRect>

#include <cstdint>
#include <memory>
#include <vector>

typedef struct _XDisplay Display;

namespace Lumivox::Native::X11 {

struct Monitor
{
    std::uint32_t name = 0; // the monitor's name atom; 0 for the whole root window
    QRect pixels;
};

/// The RandR monitors, the primary first; without them (or without RandR 1.5) the root window.
std::vector<Monitor> monitors(Display *display);

struct ScreenSnapshot
{
    ScreenLayout layout;
    /// Grows with every change of the screens: whatever was worked out against an older layout
    /// (an application's scale) is stale.
    std::uint64_t generation = 0;
};

/// Any thread; never null. Before the GUI thread has read Qt's screens, the X server's monitors at
/// QT_SCALE_FACTOR, under the same rules.
std::shared_ptr<const ScreenSnapshot> screenSnapshot();

inline ScreenLayout screenLayout()
{
    return screenSnapshot()->layout;
}

} // namespace Lumivox::Native::X11
