#pragma once

// AT-SPI roles under the role names the word lookup reads ("AXTextArea", "AXStaticText" …).

#include <QString>

#include <atspi/atspi.h>

namespace Lumivox::Native::Atspi {

/// The nearest role name for an AT-SPI role; "AXUnknown" for roles the lookup has no use for.
/// A menu's "AXMenuBarItem" depends on its parent and is decided by the caller.
QString roleName(AtspiRole role);

} // namespace Lumivox::Native::Atspi
