#include "Features/Words/Views/WordsStyle.h"

#include "Features/Design/Brand.h"

#include <QLabel>

namespace Lumivox::WordsStyle {

namespace {

qreal basePoints(const QFont &base)
{
    return base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
}

} // namespace

QFont sized(const QFont &base, qreal points, QFont::Weight weight)
{
    QFont font = base;
    font.setPointSizeF(qMax<qreal>(1.0, points));
    font.setWeight(weight);
    return font;
}

QFont callout(const QFont &base)
{
    return sized(base, basePoints(base) - 0.5);
}

QFont caption(const QFont &base)
{
    return sized(base, basePoints(base) - 1.5);
}

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QLabel *richLabel(const QString &html, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    // Nothing in these texts links anywhere; a link that slipped in must not open.
    label->setOpenExternalLinks(false);
    label->setText(html);
    return label;
}

void makeSecondary(QLabel *label, ColorScheme scheme, bool tertiary)
{
    const QColor color = (tertiary ? Brand::tertiaryText() : Brand::secondaryText()).resolved(scheme);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
}

} // namespace Lumivox::WordsStyle
