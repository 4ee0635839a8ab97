#pragma once

// What one tooltip shows: everything the tooltip's view is drawn from, apart from the side its
// arrow is on and the colour scheme.

#include "Features/Overlay/WordStatus.h"
#include "Services/Learn/Glance.h"

#include <QString>

#include <optional>

namespace Lumivox {

/// The tooltip's edge that carries the arrow: `bottom` stands the tooltip above the point it
/// belongs to, `top` hangs it below.
enum class ArrowEdge { top, bottom };

struct TooltipContent
{
    /// Shown when there is no glance; empty while loading. Drawn as plain text.
    QString text;
    std::optional<Glance> glance;
    std::optional<WordStatus> status;
    bool isLoading = false;
    /// A font family; empty means the desktop's general font.
    QString fontName;
    /// Points. One that cannot be drawn (not finite, not positive) is drawn at the default size.
    double fontSize = 16;

    /// Compares the values themselves: two different contents never pass for the same one.
    bool operator==(const TooltipContent &) const = default;
};

} // namespace Lumivox
