#pragma once

// What the tray icon and the menu's status line show.

namespace Lumivox {

enum class MenuBarState { on, off, needsPermission };

} // namespace Lumivox
