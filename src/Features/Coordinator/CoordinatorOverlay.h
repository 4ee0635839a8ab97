#pragma once

// What the coordinator needs of the tooltip panel. The panel itself (a widget) lives with the
// tooltip; the application wires it to this interface, and tests put a fake in its place.

#include "Features/Overlay/TooltipContent.h"

#include <QPointF>
#include <QString>

namespace Lumivox {

class CoordinatorOverlay
{
public:
    virtual ~CoordinatorOverlay() = default;

    virtual bool isVisible() const = 0;
    /// Shows or updates the tooltip beside `near` (bottom-left-origin screen coordinates).
    virtual void display(const TooltipContent &content, QPointF near) = 0;
    /// Hides the tooltip; harmless when hidden.
    virtual void hide() = 0;
    /// Draws the tooltip on screen again, where it is, in this font family and size.
    virtual void setFont(const QString &family, double pointSize) = 0;
};

} // namespace Lumivox
