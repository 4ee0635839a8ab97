// The point where read-ahead joins the hover. Until it is built a shown glance reads nothing ahead.

#include "Features/Coordinator/HoverTextController.h"

namespace Lumivox {

void HoverTextController::scheduleReadAhead() { }

} // namespace Lumivox
