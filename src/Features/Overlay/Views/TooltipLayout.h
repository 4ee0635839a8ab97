#pragma once

// The tooltip laid out: every text shaped and every box placed, for one content and arrow edge.
// Independent of the colour scheme, so that a change of scheme only repaints. Building it is the
// costly part (text shaping); painting it is cheap.
//
// Geometry in points, in the view's own coordinates (origin top-left, y downwards). The whole
// size includes a transparent margin of 12 points around the bubble, which the panel's frame
// includes too.

#include "Features/Design/Appearance.h"
#include "Features/Overlay/TooltipContent.h"

#include <QPainterPath>
#include <QRectF>
#include <QRegion>
#include <QSizeF>
#include <QStringList>
#include <QTextLayout>

#include <memory>
#include <variant>
#include <vector>

class QPainter;

namespace Lumivox {

class TooltipLayout
{
public:
    static constexpr double margin = 12;
    /// The widest a meaning or plain text grows before it wraps (at most 3 lines, then elided).
    static constexpr double textMaxWidth = 320;

    /// The colours the layout draws in; resolved from the scheme when painted.
    enum class Ink { primary, secondary, tertiary, accent };

    struct Text
    {
        std::shared_ptr<QTextLayout> layout;
        /// Where the layout's own origin is drawn (lines are centred inside the layout's width).
        QPointF origin;
        QRectF frame;
        Ink ink = Ink::primary;
        double opacity = 1;
        /// Drawn in the primary colour: the strongly emphasised ranges.
        QList<QTextLayout::FormatRange> emphasis;
    };
    struct Symbol
    {
        QString name;
        QRectF frame;
        Ink ink = Ink::accent;
    };
    /// A rounded box drawn behind a text: the grammar chip and the key caps.
    struct Box
    {
        enum class Style { chip, keyCap };
        QRectF frame;
        Style style = Style::chip;
    };
    struct Rule
    {
        QRectF frame;
    };
    struct Spinner
    {
        QRectF frame;
    };
    using Element = std::variant<Text, Symbol, Box, Rule, Spinner>;

    TooltipLayout(const TooltipContent &content, ArrowEdge edge);

    /// The ideal size, margin included.
    QSizeF size() const { return m_size; }
    /// The bubble, arrow included.
    QRectF bubbleRect() const { return m_bubble; }
    /// The content inside the bubble's paddings.
    QRectF contentRect() const { return m_content; }
    ArrowEdge arrowEdge() const { return m_edge; }
    const std::vector<Element> &elements() const { return m_elements; }

    /// The texts drawn, top to bottom and left to right.
    QStringList texts() const;

    /// The bubble's outline.
    QPainterPath bubblePath() const;
    /// The pixels an opaque bubble covers: what a window without translucency is cut to.
    QRegion opaqueRegion() const;

    struct Paint
    {
        ColorScheme scheme = ColorScheme::light;
        /// No compositing: the bubble is drawn fully opaque, including the pixels the opaque
        /// region adds around its anti-aliased edge.
        bool opaque = false;
        /// 0…1: the loading indicator's turn.
        double spinnerPhase = 0;
        /// 0…1: the content fading in after a change of the loading state.
        double contentOpacity = 1;
    };
    void paint(QPainter &painter, const Paint &options) const;

private:
    QSizeF m_size;
    QRectF m_bubble;
    QRectF m_content;
    ArrowEdge m_edge;
    std::vector<Element> m_elements;
};

} // namespace Lumivox
