#include "Features/Design/Symbols.h"

#include "Features/Overlay/Views/TooltipSymbols.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

namespace Lumivox::Symbols {

namespace {

QPixmap painted(const QString &name, const QSize &size, const QColor &color, qreal ratio)
{
    QPixmap image(size * ratio);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    Symbols::paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), name, color);
    return image;
}

class SymbolEngine final : public QIconEngine
{
public:
    SymbolEngine(QString name, QPalette::ColorRole role)
        : m_name(std::move(name))
        , m_role(role)
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        Symbols::paint(*painter, rect, m_name, color(mode));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        return painted(m_name, size, color(mode), scale);
    }

    QIconEngine *clone() const override { return new SymbolEngine(m_name, m_role); }
    QString key() const override { return QStringLiteral("lumivox-symbol"); }
    bool isNull() override { return TooltipSymbols::size(m_name, 1).isEmpty(); }

private:
    QColor color(QIcon::Mode mode) const
    {
        const QPalette palette = QGuiApplication::palette();
        return palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active, m_role);
    }

    QString m_name;
    QPalette::ColorRole m_role;
};

} // namespace

void paint(QPainter &painter, const QRectF &rect, const QString &name, const QColor &color)
{
    QSizeF size = TooltipSymbols::size(name, rect.height());
    if (size.isEmpty())
        return;
    if (size.width() > rect.width())
        size *= rect.width() / size.width();
    const QRectF fitted(rect.center().x() - size.width() / 2, rect.center().y() - size.height() / 2, size.width(),
                        size.height());
    TooltipSymbols::draw(painter, name, fitted, color);
}

QPixmap pixmap(const QString &name, int side, const QColor &color, qreal ratio)
{
    return painted(name, QSize(side, side), color, ratio);
}

QIcon icon(const QString &name, QPalette::ColorRole role)
{
    return QIcon(new SymbolEngine(name, role));
}

} // namespace Lumivox::Symbols
