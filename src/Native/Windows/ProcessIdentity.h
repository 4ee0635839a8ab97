#pragma once

// What a process tells about its application by itself, without asking the window server: the
// desktop file it was launched from and its executable. The window list adds what only the
// server knows (a window's GTK application id or WM_CLASS) between the two.

#include <QString>

#include <cstdint>
#include <optional>

namespace Lumivox::Native::ProcessIdentity {

/// The desktop-file id (without ".desktop") the launcher put in GIO_LAUNCHED_DESKTOP_FILE.
std::optional<QString> desktopFileFromEnvironment(std::int32_t pid);

/// The executable's file name, else the process's command name.
std::optional<QString> executableName(std::int32_t pid);

/// The application id by the process alone: the launcher's desktop file, else the executable name;
/// absent when the process is gone.
std::optional<QString> applicationID(std::int32_t pid);

} // namespace Lumivox::Native::ProcessIdentity
