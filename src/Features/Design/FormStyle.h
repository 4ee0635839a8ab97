#pragma once

// The one style of the program's windows: the toolkit's Fusion drawing, with the few things it
// gets wrong under our palettes put right, the same way in the light and the dark scheme.
//   - Fusion outlines its controls (check boxes, radio buttons, fields, pop-up buttons) in the
//     window colour made darker, which vanishes on a dark surface. The outline is drawn in the
//     palette's text colour faded onto its base colour instead, so it shows in both schemes.
//   - Fusion's scroll bar draws its handle lighter than its trough, so the trough reads as the
//     handle. Ours is a slim trough with a rounded handle in the text colour, without arrows.
//   - A pop-up button with more choices than it shows at once opens a scrolling list at the
//     choice, not a menu that runs past the screen.
//   - Progress bars are outlined like the other controls, so an empty one still shows its track.
//   - Dialog buttons carry their titles alone: the toolkit's stand-in pictures (a green tick, a red
//     cross) come only on desktops without an icon theme of their own, and look like no desktop.
// Main thread, like every style.

#include <QProxyStyle>

class QStyleOptionSlider;

namespace Lumivox {

class FormStyle final : public QProxyStyle
{
    Q_OBJECT
public:
    FormStyle();

    /// Sets the style on the application; every window made afterwards draws with it.
    static void install();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl subControl,
                         const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;

    /// The outline of a control drawn on `palette`: its text colour faded onto its base colour.
    static QColor outline(const QPalette &palette);
    /// `palette` with the window colour set so that Fusion's outline comes out as outline().
    static QPalette outlined(const QPalette &palette);

private:
    void drawScrollBar(const QStyleOptionSlider *bar, QPainter *painter) const;
};

} // namespace Lumivox
