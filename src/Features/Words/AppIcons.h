#pragma once

// The name and icon of an application by its id, as the Words windows show where a word was met.
// Looked up once per id and kept for the life of the process (an application installed or renamed
// later keeps what was first seen until the next start). Main thread only.

#include <QIcon>
#include <QString>

#include <optional>

namespace Lumivox::AppIcons {

/// The desktop entry's name, else a known name, else the id itself.
QString name(const QString &appID);

/// The application's icon: its desktop entry's, else the themed icon named like the id; a null icon
/// when there is neither (the views then draw a generic application symbol).
QIcon icon(const std::optional<QString> &appID);

} // namespace Lumivox::AppIcons
