#pragma once

// Display names of language codes in the Words windows: the language table's English name, else the
// English name Qt knows for the code, else the code itself.

#include <QString>

#include <optional>

namespace Lumivox::WordLanguages {

/// None for a missing or empty code.
std::optional<QString> name(const std::optional<QString> &code);

/// "English → French", or the target's name alone when there is no source.
QString pair(const std::optional<QString> &source, const QString &target);

} // namespace Lumivox::WordLanguages
