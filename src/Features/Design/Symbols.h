#pragma once

// The windows' symbols ("bookmark", "clock", "trash" …) as icons and painted shapes, drawn with the
// tooltip's symbol renderer from the SVGs under :/symbols: no icon theme can be assumed on every
// desktop. Main thread.

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QString>

class QPainter;
class QRectF;

namespace Lumivox::Symbols {

/// Paints the symbol as large as fits the rectangle, centred and keeping its proportions, in the
/// colour. An unknown name paints nothing.
void paint(QPainter &painter, const QRectF &rect, const QString &name, const QColor &color);

/// The symbol on a transparent square of `side` points, for a device pixel ratio of `ratio`.
QPixmap pixmap(const QString &name, int side, const QColor &color, qreal ratio);

/// An icon that draws the symbol in the application palette's colour of `role` at paint time (the
/// disabled colour for a disabled button), so it follows a change of colour scheme.
QIcon icon(const QString &name, QPalette::ColorRole role = QPalette::ButtonText);

} // namespace Lumivox::Symbols
