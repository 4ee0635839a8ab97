#pragma once

// The program's icon: the tray icon's monogram, white on a blue tile, from the SVG built into the
// program (no icon theme can be assumed). Set once at start as the application's window icon, which
// every window and the About pane then show. Main thread.

#include <QIcon>

namespace Lumivox::AppIcon {

/// The icon, drawn from the SVG at the sizes panels, window lists and the About pane ask for.
QIcon icon();

} // namespace Lumivox::AppIcon
