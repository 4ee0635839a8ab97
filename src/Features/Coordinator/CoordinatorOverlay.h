#pragma once

// What the coordinator needs of the tooltip panel. The panel itself (a widget) lives with the
// tooltip; the application wires it to this interface, and tests put a fake in its place.

#include <QString>

namespace Lumivox {

class CoordinatorOverlay
{
public:
    virtual ~CoordinatorOverlay() = default;

    virtual bool isVisible() const = 0;
    /// Hides the tooltip; harmless when hidden.
    virtual void hide() = 0;
    /// Draws the tooltip on screen again, where it is, in this font family and size.
    virtual void setFont(const QString &family, double pointSize) = 0;
};

} // namespace Lumivox
