// A compositing manager announces itself by owning the selection _NET_WM_CM_S<screen> (EWMH).

#include "Native/Windows/Compositing.h"

#include "Native/X11/X11Connection.h"

#include <X11/Xlib.h>

#include <string>

namespace Lumivox::Native {

namespace {

class X11Compositing final : public Compositing
{
public:
    bool isActive() override
    {
        Display *d = X11::display();
        if (!d)
            return false;
        if (m_display != d) {
            const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d));
            m_selection = XInternAtom(d, name.c_str(), False);
            m_display = d;
        }
        return XGetSelectionOwner(d, m_selection) != 0;
    }

private:
    Display *m_display = nullptr;
    Atom m_selection = 0;
};

} // namespace

std::shared_ptr<Compositing> Compositing::makeDefault()
{
    return std::make_shared<X11Compositing>();
}

} // namespace Lumivox::Native
