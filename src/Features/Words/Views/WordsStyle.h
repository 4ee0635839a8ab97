#pragma once

// The text styles the Words windows share, relative to the desktop's own font so they scale with it:
// a callout and a caption a step below the body text. Colours come from Brand, resolved in the
// scheme of the Appearance each view is given.

#include "Features/Design/Appearance.h"

#include <QFont>

#include <optional>

class QLabel;
class QWidget;

namespace Lumivox::WordsStyle {

QFont callout(const QFont &base);
QFont caption(const QFont &base);
/// The base font at `points` (at least 1) and the weight.
QFont sized(const QFont &base, qreal points, QFont::Weight weight = QFont::Normal);

/// A label for text from other programs or the user: plain text, never markup.
QLabel *plainLabel(const QString &text, QWidget *parent = nullptr);
/// A label for rich text that the caller built from escaped pieces.
QLabel *richLabel(const QString &html, QWidget *parent = nullptr);
/// Paints the label's text in the secondary (or tertiary) text colour of the scheme; called again
/// when the scheme changes.
void makeSecondary(QLabel *label, ColorScheme scheme, bool tertiary = false);
/// The icon of the application a word was met in, `size` points square; the generic application
/// symbol when it has none.
QLabel *appIcon(const std::optional<QString> &appID, int size, ColorScheme scheme, QWidget *parent);
/// The design's sizes are given in pixels at 96 dots per inch; fonts take points.
inline qreal points(qreal pixels)
{
    return pixels * 0.75;
}

} // namespace Lumivox::WordsStyle
