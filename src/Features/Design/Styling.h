#pragma once

// The Brand look applied to a widget the same way everywhere. Each helper may be called again on the
// same widget: it updates what it applied before instead of adding to it. Backgrounds are drawn
// behind the widget's own content and resolve their colours when painted, so they follow the
// scheme of the Appearance they are given. Main thread.

class QWidget;

namespace Lumivox {

class Appearance;

/// Sets the Brand label font.
void brandLabel(QWidget *view);

/// Pads the content by 2 points on either side and puts a highlighter rounded rectangle behind it,
/// drawn only while `hovered`, in the scheme `appearance` draws in. The padding stays when not
/// hovered, so the text never shifts.
void hoveredWord(QWidget *view, bool hovered, const Appearance &appearance);

/// Pads the content by 10 points and puts it on a rounded surface with a 1-point rule outline, in the
/// scheme `appearance` draws in.
void previewSurface(QWidget *view, const Appearance &appearance);

/// Fills the whole widget with the text-background colour.
void windowBackground(QWidget *view);

/// For forms: the text-background colour behind the whole form, a scrolling form's own frame and
/// background left out so the colour shows through.
void whiteGroupedForm(QWidget *form);

} // namespace Lumivox
