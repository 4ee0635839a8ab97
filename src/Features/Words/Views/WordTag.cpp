#include "Features/Words/Views/WordTag.h"

#include "Features/Design/Brand.h"
#include "Features/Words/Views/WordsStyle.h"

#include <QFontMetricsF>
#include <QPainter>

namespace Lumivox {

namespace {

constexpr qreal padding = 5;

} // namespace

WordTag::WordTag(QString text, const Appearance &appearance, QWidget *parent)
    : QWidget(parent)
    , m_text(std::move(text))
    , m_appearance(appearance)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(m_text);
    connect(&appearance, &Appearance::isDarkChanged, this, qOverload<>(&QWidget::update));
}

QFont WordTag::font(const QFont &base)
{
    return WordsStyle::sized(base, 8, QFont::Medium);
}

qreal WordTag::width(const QString &text, const QFont &base)
{
    return QFontMetricsF(font(base)).horizontalAdvance(text) + 2 * padding;
}

QSize WordTag::sizeHint() const
{
    return QSizeF(width(m_text, QWidget::font()), tagHeight).toSize() + QSize(1, 0);
}

void WordTag::paint(QPainter &painter, QPointF topLeft, const QString &text, const QFont &base, ColorScheme scheme)
{
    const QRectF box(topLeft, QSizeF(width(text, base), tagHeight));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink = Brand::secondaryText().resolved(scheme);
    QColor outline = ink;
    outline.setAlphaF(outline.alphaF() * 0.6f);
    painter.setPen(QPen(outline, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.setFont(font(base));
    painter.setPen(ink);
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.restore();
}

void WordTag::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QPointF(0, (height() - tagHeight) / 2), m_text, QWidget::font(), m_appearance.scheme());
}

} // namespace Lumivox
