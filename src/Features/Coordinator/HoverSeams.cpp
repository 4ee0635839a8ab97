// The points where the look-up's bookkeeping, the tooltip's save and copy keys and read-ahead join
// the hover. Until they are built a shown word is neither recorded nor given keys or read-ahead, and
// the tooltip has no footer.

#include "Features/Coordinator/HoverTextController.h"

namespace Lumivox {

void HoverTextController::beginLookup(const QString &, const std::optional<Glance> &) { }

std::optional<WordStatus> HoverTextController::wordStatus() const
{
    return std::nullopt;
}

void HoverTextController::claimTooltipKeys() { }

bool HoverTextController::areTooltipKeysActive() const
{
    return false;
}

void HoverTextController::deactivateTooltipKeys() { }

} // namespace Lumivox
