#pragma once

// Whether a compositing manager draws the screen. Only with one do a window's opacity and its
// translucent pixels show; without one a translucent pixel shows as black, so a window with a shape
// of its own has to be cut to it instead.

#include <memory>

namespace Lumivox::Native {

class Compositing
{
public:
    virtual ~Compositing() = default;

    /// True while a compositing manager runs on the default screen. Asked afresh each time, as one
    /// may start or stop while the program runs. Main thread.
    virtual bool isActive() = 0;

    static std::shared_ptr<Compositing> makeDefault();
};

} // namespace Lumivox::Native
