#include "Features/Words/Views/WordsStyle.h"

#include "Features/Design/Brand.h"
#include "Features/Design/Symbols.h"
#include "Features/Words/AppIcons.h"

#include <QLabel>
#include <QPainter>

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

QLabel *appIcon(const std::optional<QString> &appID, int size, ColorScheme scheme, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFixedSize(size, size);
    label->setAccessibleName(QString());
    const qreal ratio = parent ? parent->devicePixelRatioF() : 1.0;
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    if (const QIcon icon = AppIcons::icon(appID); !icon.isNull())
        icon.paint(&painter, QRect(0, 0, size, size));
    else
        Symbols::paint(painter, QRectF(0, 0, size, size), QStringLiteral("app"),
                       Brand::secondaryText().resolved(scheme));
    painter.end();
    label->setPixmap(pixmap);
    return label;
}

} // namespace Lumivox::WordsStyle
