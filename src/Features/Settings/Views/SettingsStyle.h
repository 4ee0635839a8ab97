#pragma once

// The settings window's look, shared by its panes: text tones that follow the scheme, the caption
// font, and a two-way binding of a control to a property of the coordinator or of a pane's model.
// Main thread.

#include "Features/Design/Brand.h"

#include <QPalette>

#include <functional>

class QComboBox;
class QLabel;
class QObject;
class QWidget;

namespace Lumivox {

/// Draws the widget's text in `color`, in whatever scheme `appearance` draws now and later.
void tone(QWidget *widget, const Color &color, const Appearance &appearance);

/// The small secondary line under a row's title, and error and hint texts.
QFont captionFont();

/// A label for text of any origin: never read as rich text.
QLabel *plainLabel(const QString &text, QWidget *parent = nullptr);

/// Keeps `widgetProperty` of `widget` and `sourceProperty` of `source` equal: the source's value is
/// shown at once and on each of its notifications; the user's change is written to the source.
/// Showing a value never writes it back. Converters map between the two when their types differ.
void bindProperty(QObject *source, const char *sourceProperty, QWidget *widget, const char *widgetProperty,
                  std::function<QVariant(const QVariant &)> toWidget = {},
                  std::function<QVariant(const QVariant &)> toSource = {});

/// The hold-key menu, one item per trigger mode, bound to the coordinator's "holdKey"; a stored
/// value that names no mode shows as Alt, as the coordinator reads it.
QComboBox *holdKeyMenu(QObject *controller);

} // namespace Lumivox
