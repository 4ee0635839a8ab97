#pragma once

// Finds what a user would see cut off in a window as it is laid out now: a label whose text is
// elided or wider (or, wrapped, taller) than its geometry, a button or pop-up whose title does not
// fit, and a widget that lies outside its window, or outside the part of a scroll area that can be
// scrolled to (a scroll area without a horizontal bar shows only its viewport's width).

#include <QStringList>

class QWidget;

namespace Lumivox::Testing {

/// One line per fault, naming the widget ("class 'object name' text: what"); empty when nothing
/// is cut. Only widgets visible in `window` count.
QStringList layoutProblems(const QWidget *window);

} // namespace Lumivox::Testing
