#include "Features/Overlay/WordStatus.h"

namespace Lumivox {

WordStatus::Row WordStatus::row() const
{
    if (flash)
        return Row::flashing(*flash);
    if (isSaved)
        return Row::saved(met);
    if (!hasKeys)
        return Row::none();
    if (suggestAfter > 0 && lookups >= suggestAfter)
        return Row::suggest(lookups);
    if (!showsKeyHints && lookups < 2)
        return Row::none();
    return Row::keys();
}

} // namespace Lumivox
