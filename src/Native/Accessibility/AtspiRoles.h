#pragma once

// AT-SPI roles under the role names the word lookup reads ("AXTextArea", "AXStaticText" …).

#include <QString>

#include <atspi/atspi.h>

namespace Lumivox::Native::Atspi {

/// The nearest role name for an AT-SPI role; "AXUnknown" for roles the lookup has no use for.
/// A menu's "AXMenuBarItem" depends on its parent and is decided by the caller.
QString roleName(AtspiRole role);

/// Roles of elements that only lay others out (fillers, panels, panes, notebooks and their pages,
/// windows): where a toolkit's hit test stops at one without text, the text is further down or
/// beside it.
bool onlyHoldsOthers(AtspiRole role);

} // namespace Lumivox::Native::Atspi
