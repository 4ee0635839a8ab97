// The X server tells no one who holds the pointer; a grab of our own tells whether anyone does: it
// fails while another client (the program's own toolkit connection included) holds it, and when it
// succeeds it is let go at once.

#include "Native/Input/PointerGrab.h"
#include "Native/X11/X11Connection.h"

#include <X11/Xlib.h>

namespace Lumivox::Native {

namespace {

class X11PointerGrab final : public PointerGrab
{
public:
    std::optional<bool> isHeld() override
    {
        Display *d = X11::display();
        if (!d)
            return std::nullopt;
        const int status =
            XGrabPointer(d, DefaultRootWindow(d), False, 0, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (status == GrabSuccess) {
            XUngrabPointer(d, CurrentTime);
            XSync(d, False);
            return false;
        }
        // Frozen by another client's grab counts as held; an invalid time or an unviewable root
        // tells nothing.
        if (status == AlreadyGrabbed || status == GrabFrozen)
            return true;
        return std::nullopt;
    }
};

} // namespace

std::shared_ptr<PointerGrab> PointerGrab::makeDefault()
{
    return std::make_shared<X11PointerGrab>();
}

} // namespace Lumivox::Native
