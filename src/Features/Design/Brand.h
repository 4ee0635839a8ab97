#pragma once

// The few colours and fonts that give the windows and the tooltip their look. Colours that differ
// between the light and the dark scheme are Color values, resolved each time they are drawn in the
// scheme of the Appearance a view is given, so a view only has to repaint to follow a change of
// scheme, and the program's Appearance (Appearance::shared()) repaints open windows itself.

#include "Features/Design/Appearance.h"

#include <QColor>
#include <QFont>

#include <cstdint>
#include <functional>

namespace Lumivox {

/// A colour resolved for the scheme it is drawn in.
class Color
{
public:
    /// Two 24-bit sRGB values, 0xRRGGBB (higher bits are ignored), opaque.
    Color(std::uint32_t light, std::uint32_t dark);
    explicit Color(std::function<QColor(ColorScheme)> resolve);

    QColor resolved(ColorScheme scheme) const;

private:
    std::function<QColor(ColorScheme)> m_resolve;
};

namespace Brand {

/// The background of a hovered word: the palette's accent at 38 % in the dark scheme, 16 % in the
/// light one.
const Color &highlighter();
/// The primary label colour at 8 %; the onboarding demonstration's ignored words.
const Color &ignored();
/// Rule lines and outlines, among them the tooltip's outline.
const Color &rule();
/// The tooltip's surface, which its view draws at reduced opacity.
const Color &tooltip();

/// The desktop's text and control colours in the scheme drawn: primary text, the quieter
/// secondary and tertiary text (the primary at 50 % and 26 %), hairline separators (10 %), the
/// face of a small control such as a key cap, and the user's accent (the palette's highlight).
const Color &primaryText();
const Color &secondaryText();
const Color &tertiaryText();
const Color &separator();
const Color &controlBackground();
const Color &accent();

/// The system's monospaced font at 11 points, medium weight. Main thread.
const QFont &label();
/// The system's serif design at `size` points, default weight. Main thread.
QFont title(qreal size);

} // namespace Brand

} // namespace Lumivox
