#pragma once

// The tooltip's small symbols ("bookmark.fill", "bookmark.slash", "doc.on.doc"): SVGs of our own,
// drawn in the colour of the text beside them. Each is rasterised once per size, device pixel
// ratio and colour, then kept. Main thread.

#include <QColor>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;

namespace Lumivox::TooltipSymbols {

/// The symbol's size when it is `height` points high; empty for an unknown name.
QSizeF size(const QString &name, double height);

/// Draws the symbol filling `rect`, tinted `colour`, sharp at the painter's device pixel ratio.
/// An unknown name draws nothing.
void draw(QPainter &painter, const QString &name, const QRectF &rect, const QColor &colour);

} // namespace Lumivox::TooltipSymbols
