#include "Native/Services.h"

namespace Lumivox::Native {

Services &services()
{
    static Services registry;
    return registry;
}

} // namespace Lumivox::Native
