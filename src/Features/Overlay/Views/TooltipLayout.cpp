#include "Features/Overlay/Views/TooltipLayout.h"

#include "Features/Design/Brand.h"
#include "Features/Overlay/Views/TooltipShape.h"
#include "Features/Overlay/Views/TooltipSymbols.h"
#include "Features/Overlay/Views/TooltipText.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Lumivox {

namespace {

using Element = TooltipLayout::Element;
using Ink = TooltipLayout::Ink;
using FormatRanges = QList<QTextLayout::FormatRange>;

/// One laid-out part of the tooltip, its elements relative to its own top-left corner.
struct Piece
{
    QSizeF size;
    std::vector<Element> elements;
    /// A rule: as wide as the stack it stands in.
    bool fillsWidth = false;
};

void translate(Element &element, QPointF by)
{
    std::visit(
        [&](auto &e) {
            e.frame.translate(by);
            if constexpr (std::is_same_v<std::decay_t<decltype(e)>, TooltipLayout::Text>)
                e.origin += by;
        },
        element);
}

void place(Piece &into, Piece &&piece, QPointF at)
{
    for (Element &e : piece.elements) {
        translate(e, at);
        into.elements.push_back(std::move(e));
    }
}

/// Side by side, centred vertically.
Piece hstack(std::vector<Piece> pieces, double spacing)
{
    Piece out;
    double width = 0;
    double height = 0;
    for (const Piece &p : pieces) {
        width += p.size.width();
        height = std::max(height, p.size.height());
    }
    if (!pieces.empty())
        width += spacing * static_cast<double>(pieces.size() - 1);
    out.size = QSizeF(width, height);
    double x = 0;
    for (Piece &p : pieces) {
        const double w = p.size.width();
        place(out, std::move(p), QPointF(x, (height - p.size.height()) / 2));
        x += w + spacing;
    }
    return out;
}

/// One above the other, centred horizontally; rules take the width of the widest other piece.
Piece vstack(std::vector<Piece> pieces, double spacing)
{
    Piece out;
    double width = 0;
    double height = 0;
    for (const Piece &p : pieces) {
        if (!p.fillsWidth)
            width = std::max(width, p.size.width());
        height += p.size.height();
    }
    if (!pieces.empty())
        height += spacing * static_cast<double>(pieces.size() - 1);
    out.size = QSizeF(width, height);
    double y = 0;
    for (Piece &p : pieces) {
        const double h = p.size.height();
        if (p.fillsWidth) {
            for (Element &e : p.elements) {
                if (auto *rule = std::get_if<TooltipLayout::Rule>(&e))
                    rule->frame.setWidth(width);
            }
            place(out, std::move(p), QPointF(0, y));
        } else {
            place(out, std::move(p), QPointF((width - p.size.width()) / 2, y));
        }
        y += h + spacing;
    }
    return out;
}

/// A 1-point rule with `above` points of space above it.
Piece rule(double above)
{
    Piece p;
    p.size = QSizeF(0, above + 1);
    p.elements.push_back(TooltipLayout::Rule {QRectF(0, above, 0, 1)});
    p.fillsWidth = true;
    return p;
}

struct Shaped
{
    std::shared_ptr<QTextLayout> layout;
    FormatRanges formats;
    double width = 0;
    double height = 0;
    bool complete = true;
    qsizetype lastLineStart = 0;
};

FormatRanges clipped(const FormatRanges &formats, qsizetype length)
{
    FormatRanges out;
    for (QTextLayout::FormatRange f : formats) {
        if (f.start >= length)
            continue;
        f.length = std::min<qsizetype>(f.length, length - f.start);
        out << f;
    }
    return out;
}

Shaped shape(const QString &text, const FormatRanges &formats, const QFont &font, double wrapWidth, int maxLines)
{
    Shaped s;
    s.layout = std::make_shared<QTextLayout>(text, font);
    s.formats = formats;
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    s.layout->setTextOption(option);
    s.layout->setFormats(formats);
    s.layout->setCacheEnabled(true);
    s.layout->beginLayout();
    qsizetype end = 0;
    for (int n = 0; n < maxLines; ++n) {
        QTextLine line = s.layout->createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(wrapWidth);
        line.setPosition(QPointF(0, s.height));
        s.height += line.height();
        s.width = std::max(s.width, line.naturalTextWidth());
        s.lastLineStart = line.textStart();
        end = line.textStart() + line.textLength();
    }
    s.layout->endLayout();
    s.complete = end >= text.size();
    return s;
}

/// At most `maxLines` lines; a text that needs more ends its last line with an ellipsis.
Shaped shapeElided(const QString &text, const FormatRanges &formats, const QFont &font, double wrapWidth, int maxLines)
{
    Shaped s = shape(text, formats, font, wrapWidth, maxLines);
    if (s.complete)
        return s;
    const QString head = text.left(s.lastLineStart);
    const QString tail = text.mid(s.lastLineStart);
    const QString ellipsis(QChar(0x2026));
    // A first guess in the base font; emphasised runs are wider, so the loop may shorten it further.
    const QString guess = QFontMetricsF(font).elidedText(tail, Qt::ElideRight, wrapWidth);
    qsizetype keep = guess.endsWith(ellipsis) ? guess.size() - 1 : guess.size();
    if (const qsizetype lineBreak = tail.indexOf(QChar::LineSeparator); lineBreak >= 0)
        keep = std::min(keep, lineBreak);
    keep = std::min(keep, tail.size());
    for (int attempt = 0;; ++attempt) {
        if (keep > 0 && tail.at(keep - 1).isHighSurrogate())
            --keep;
        QString kept = tail.left(keep);
        while (!kept.isEmpty() && kept.back().isSpace())
            kept.chop(1);
        const QString candidate = head + kept + ellipsis;
        Shaped c = shape(candidate, clipped(formats, head.size() + kept.size()), font, wrapWidth, maxLines);
        if (c.complete || keep == 0)
            return c;
        // Usually a character or two; halving bounds the work for a guess that was far off.
        keep = attempt < 8 ? keep - 1 : keep / 2;
    }
}

Piece textPiece(const StyledText &styled, const QFont &font, Ink ink, double maxWidth, int maxLines,
                std::optional<double> fixedWidth = std::nullopt, double opacity = 1)
{
    const QString text = TooltipText::plain(styled.text());
    FormatRanges weights;
    for (const TextRange &r : styled.stronglyEmphasizedRanges()) {
        QTextLayout::FormatRange f;
        f.start = static_cast<int>(r.location);
        f.length = static_cast<int>(r.length);
        f.format.setFontWeight(QFont::DemiBold);
        weights << f;
    }
    const double wrap = fixedWidth.value_or(maxWidth);
    Shaped s = shapeElided(text, clipped(weights, text.size()), font, wrap, maxLines);
    const double width = fixedWidth.value_or(s.width);

    TooltipLayout::Text t;
    t.layout = s.layout;
    // Lines are centred in the wrapping width; the piece is only as wide as its widest line.
    t.origin = QPointF(-(wrap - width) / 2, 0);
    t.frame = QRectF(0, 0, width, s.height);
    t.ink = ink;
    t.opacity = opacity;
    for (QTextLayout::FormatRange f : s.formats) {
        f.format = QTextCharFormat();
        t.emphasis << f;
    }
    Piece p;
    p.size = t.frame.size();
    p.elements.push_back(std::move(t));
    return p;
}

Piece textPiece(const QString &text, const QFont &font, Ink ink, double maxWidth = TooltipLayout::textMaxWidth)
{
    return textPiece(StyledText(text), font, ink, maxWidth, 1);
}

Piece symbolPiece(const QString &name, double height, Ink ink)
{
    Piece p;
    p.size = TooltipSymbols::size(name, height);
    p.elements.push_back(TooltipLayout::Symbol {name, QRectF(QPointF(0, 0), p.size), ink});
    return p;
}

/// A text centred on a rounded box of at least `minWidth` × `height`, padded left and right.
Piece boxed(Piece text, TooltipLayout::Box::Style style, double padding, double minWidth, double height)
{
    Piece p;
    p.size = QSizeF(std::max(minWidth, text.size.width() + 2 * padding), std::max(height, text.size.height()));
    p.elements.push_back(TooltipLayout::Box {QRectF(QPointF(0, 0), p.size), style});
    const QPointF at((p.size.width() - text.size.width()) / 2, (p.size.height() - text.size.height()) / 2);
    place(p, std::move(text), at);
    return p;
}

Piece keyCap(const QString &label, const QString &action)
{
    Piece key = boxed(textPiece(keyCapText(label), TooltipText::systemFont(10.5, QFont::DemiBold), Ink::primary),
                      TooltipLayout::Box::Style::keyCap, 4, 18, 18);
    std::vector<Piece> items;
    items.push_back(std::move(key));
    items.push_back(textPiece(action, TooltipText::systemFont(12), Ink::secondary));
    return hstack(std::move(items), 5);
}

Piece savedHeader(int met)
{
    std::vector<Piece> items;
    items.push_back(symbolPiece(QStringLiteral("bookmark.fill"), 11, Ink::accent));
    items.push_back(textPiece(QStringLiteral("Saved"), TooltipText::systemFont(11.5, QFont::DemiBold), Ink::accent));
    if (const auto text = TooltipText::metText(met))
        items.push_back(textPiece(*text, TooltipText::systemFont(11.5), Ink::secondary));
    return hstack(std::move(items), 5);
}

std::optional<Piece> statusFooter(const WordStatus::Row &row, const TooltipKeyLabels &keys)
{
    using Kind = WordStatus::Row::Kind;
    if (!TooltipText::hasFooter(row))
        return std::nullopt;
    const QFont font = TooltipText::systemFont(12);
    std::vector<Piece> items;
    if (row.kind == Kind::keys) {
        items.push_back(keyCap(keys.save, QStringLiteral("Save")));
        items.push_back(keyCap(keys.copy, QStringLiteral("Copy")));
        if (keys.hold)
            items.push_back(textPiece(QStringLiteral("while holding ") + keyCapText(*keys.hold), font, Ink::tertiary));
    } else if (row.kind == Kind::suggest) {
        items.push_back(textPiece(TooltipText::lookedUpText(row.count), font, Ink::secondary));
        items.push_back(keyCap(keys.save, QStringLiteral("Save")));
    } else if (row.flash) {
        using Flash = WordStatus::Flash::Kind;
        std::vector<Piece> label;
        switch (row.flash->kind) {
        case Flash::saved:
            label.push_back(symbolPiece(QStringLiteral("bookmark.fill"), 12, Ink::accent));
            label.push_back(
                textPiece(QStringLiteral("Saved to Words"), TooltipText::systemFont(12, QFont::DemiBold), Ink::accent));
            label.push_back(textPiece(TooltipText::wordCountText(row.flash->total), font, Ink::secondary));
            break;
        case Flash::removed:
            label.push_back(symbolPiece(QStringLiteral("bookmark.slash"), 12, Ink::secondary));
            label.push_back(textPiece(QStringLiteral("Removed from Words"), font, Ink::secondary));
            break;
        case Flash::copied:
            label.push_back(symbolPiece(QStringLiteral("doc.on.doc"), 12, Ink::secondary));
            label.push_back(textPiece(QStringLiteral("Copied"), font, Ink::secondary));
            break;
        }
        items.push_back(hstack(std::move(label), 5));
    }
    return hstack(std::move(items), 12);
}

Piece glanceContent(const Glance &glance, const QFont &font)
{
    std::vector<Piece> items;
    items.push_back(textPiece(StyledText(glance.meaning), font, Ink::primary, TooltipLayout::textMaxWidth, 3));
    if (glance.grammar) {
        Piece chip = boxed(textPiece(glance.grammar->tag, TooltipText::systemFont(11, QFont::Medium), Ink::primary),
                           TooltipLayout::Box::Style::chip, 6, 0, 18);
        // The tag reads a little softer than the meaning.
        for (Element &e : chip.elements) {
            if (auto *t = std::get_if<TooltipLayout::Text>(&e))
                t->opacity = 0.85;
        }
        std::vector<Piece> row;
        const double chipWidth = chip.size.width();
        row.push_back(std::move(chip));
        if (!glance.grammar->text.isEmpty()) {
            row.push_back(textPiece(TooltipText::grammarText(*glance.grammar), TooltipText::systemFont(12.5),
                                    Ink::secondary, std::max(40.0, TooltipLayout::textMaxWidth - chipWidth - 8), 1));
        }
        items.push_back(hstack(std::move(row), 8));
    }
    if (glance.sentence && !glance.sentence->isEmpty()) {
        items.push_back(rule(3));
        const double width = TooltipText::sentenceWidth(*glance.sentence);
        items.push_back(textPiece(*glance.sentence, TooltipText::systemFont(12.5), Ink::secondary, width, 4, width));
    }
    return vstack(std::move(items), 6);
}

QColor inkColor(Ink ink, ColorScheme scheme)
{
    switch (ink) {
    case Ink::primary:
        return Brand::primaryText().resolved(scheme);
    case Ink::secondary:
        return Brand::secondaryText().resolved(scheme);
    case Ink::tertiary:
        return Brand::tertiaryText().resolved(scheme);
    case Ink::accent:
        return Brand::accent().resolved(scheme);
    }
    return Brand::primaryText().resolved(scheme);
}

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

void drawSpinner(QPainter &p, const QRectF &frame, double phase, const QColor &color)
{
    constexpr int spokes = 8;
    const QPointF centre = frame.center();
    const double outer = std::min(frame.width(), frame.height()) / 2 - 1.5;
    const double inner = outer * 0.5;
    const int lead = static_cast<int>(std::floor(phase * spokes)) % spokes;
    for (int i = 0; i < spokes; ++i) {
        const double angle = 2 * std::numbers::pi * i / spokes - std::numbers::pi / 2;
        // The leading spoke is the darkest; the ones behind it fade out.
        const int behind = (lead - i + spokes) % spokes;
        QPen pen(withOpacity(color, 1.0 - 0.75 * behind / (spokes - 1)), 2, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        const QPointF direction(std::cos(angle), std::sin(angle));
        p.drawLine(centre + direction * inner, centre + direction * outer);
    }
}

} // namespace

TooltipLayout::TooltipLayout(const TooltipContent &content, ArrowEdge edge)
    : m_edge(edge)
{
    const bool showsGlance = !content.isLoading && content.glance;
    std::vector<Piece> items;
    if (content.isLoading) {
        Piece spinner;
        spinner.size = QSizeF(20, 20);
        spinner.elements.push_back(Spinner {QRectF(0, 0, 20, 20)});
        items.push_back(std::move(spinner));
    } else {
        const auto row = content.status ? std::optional(content.status->row()) : std::nullopt;
        if (row && row->kind == WordStatus::Row::Kind::saved)
            items.push_back(savedHeader(row->count));
        const QFont font = TooltipText::overlayFont(content.fontName, content.fontSize);
        if (content.glance)
            items.push_back(glanceContent(*content.glance, font));
        else
            items.push_back(textPiece(StyledText(content.text), font, Ink::primary, textMaxWidth, 3));
        if (row) {
            if (auto footer = statusFooter(*row, content.status->keys)) {
                items.push_back(rule(2));
                items.push_back(std::move(*footer));
            }
        }
    }
    Piece stack = vstack(std::move(items), 6);

    const double horizontal = showsGlance ? 16 : 14;
    const double top = (showsGlance ? 10 : 8) + (edge == ArrowEdge::top ? TooltipShape::arrowHeight : 0);
    const double bottom = (showsGlance ? 11 : 8) + (edge == ArrowEdge::bottom ? TooltipShape::arrowHeight : 0);
    const QSizeF bubble(stack.size.width() + 2 * horizontal, stack.size.height() + top + bottom);
    m_bubble = QRectF(QPointF(margin, margin), bubble);
    m_content = QRectF(QPointF(margin + horizontal, margin + top), stack.size);
    m_size = QSizeF(bubble.width() + 2 * margin, bubble.height() + 2 * margin);
    for (Element &e : stack.elements)
        translate(e, m_content.topLeft());
    m_elements = std::move(stack.elements);
}

QStringList TooltipLayout::texts() const
{
    QStringList out;
    for (const Element &e : m_elements) {
        if (const auto *t = std::get_if<Text>(&e))
            out << t->layout->text();
    }
    return out;
}

QPainterPath TooltipLayout::bubblePath() const
{
    // Half a point inside, so that the 1-point outline centred on it ends at the bubble's edge and
    // falls on whole pixels.
    return TooltipShape::path(m_bubble.adjusted(0.5, 0.5, -0.5, -0.5), m_edge);
}

QRegion TooltipLayout::opaqueRegion() const
{
    return QRegion(bubblePath().toFillPolygon().toPolygon(), Qt::WindingFill);
}

void TooltipLayout::paint(QPainter &p, const Paint &o) const
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPainterPath path = bubblePath();
    const QColor surface = Brand::tooltip().resolved(o.scheme);
    const QColor ruleColor = Brand::rule().resolved(o.scheme);
    if (o.opaque) {
        // The window is cut to whole pixels around the outline: cover them all, so no pixel of
        // the cut shows the black of a window without translucency.
        p.save();
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(ruleColor, 2));
        p.setBrush(surface);
        p.drawPath(path);
        p.restore();
        p.fillPath(path, surface);
    } else {
        // Nothing blurs what lies behind an X11 window; a second, lighter layer of the surface
        // stands in for the frosted material, keeping the text legible over any background.
        p.fillPath(path, withOpacity(surface, 0.7));
        p.fillPath(path, withOpacity(surface, 0.9));
    }

    p.setOpacity(std::clamp(o.contentOpacity, 0.0, 1.0));
    const QColor strong = inkColor(Ink::primary, o.scheme);
    const QColor quiet = inkColor(Ink::secondary, o.scheme);
    for (const Element &e : m_elements) {
        if (const auto *t = std::get_if<Text>(&e)) {
            p.setPen(withOpacity(inkColor(t->ink, o.scheme), t->opacity));
            FormatRanges selections = t->emphasis;
            for (QTextLayout::FormatRange &f : selections)
                f.format.setForeground(strong);
            t->layout->draw(&p, t->origin, selections);
        } else if (const auto *s = std::get_if<Symbol>(&e)) {
            TooltipSymbols::draw(p, s->name, s->frame, inkColor(s->ink, o.scheme));
        } else if (const auto *b = std::get_if<Box>(&e)) {
            const QRectF inside = b->frame.adjusted(0.5, 0.5, -0.5, -0.5);
            if (b->style == Box::Style::chip) {
                p.setPen(QPen(withOpacity(quiet, 0.45), 1));
                p.setBrush(Qt::NoBrush);
                p.drawRoundedRect(inside, 5, 5);
            } else {
                p.setPen(QPen(Brand::separator().resolved(o.scheme), 1));
                p.setBrush(Brand::controlBackground().resolved(o.scheme));
                p.drawRoundedRect(inside, 4, 4);
            }
        } else if (const auto *r = std::get_if<Rule>(&e)) {
            p.fillRect(r->frame, ruleColor);
        } else if (const auto *sp = std::get_if<Spinner>(&e)) {
            drawSpinner(p, sp->frame, o.spinnerPhase, quiet);
        }
    }
    p.setOpacity(1);

    p.setPen(QPen(ruleColor, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

} // namespace Lumivox
