#pragma once

// Whether some client holds the pointer with an active grab. Qt reports its own pointer grab as
// taken whenever the request itself did not fail, also when the X server answered that another
// client holds the pointer; a window that must hold it asks the server here.

#include <memory>
#include <optional>

namespace Lumivox::Native {

class PointerGrab
{
public:
    virtual ~PointerGrab() = default;

    /// True while a client (this program included) holds the pointer; none when it cannot be told
    /// (no X display). Main thread.
    virtual std::optional<bool> isHeld() = 0;

    static std::shared_ptr<PointerGrab> makeDefault();
};

} // namespace Lumivox::Native
