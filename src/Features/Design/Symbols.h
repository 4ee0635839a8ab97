#pragma once

// The windows' symbols ("bookmark", "clock", "trash" …), drawn from SVGs of our own at the size and
// device pixel ratio they are shown at, in one colour: no icon theme can be assumed on every desktop.
// Main thread.

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QString>

class QPainter;
class QRectF;

namespace Lumivox::Symbols {

/// True when a symbol of that name exists.
bool exists(const QString &name);

/// Paints the symbol into the rectangle, keeping its square shape, in the colour.
void paint(QPainter &painter, const QRectF &rect, const QString &name, const QColor &color);

/// An icon that draws the symbol in the application palette's colour of `role` at paint time (the
/// disabled colour for a disabled button), so it follows a change of colour scheme.
QIcon icon(const QString &name, QPalette::ColorRole role = QPalette::ButtonText);

} // namespace Lumivox::Symbols
