#include "Features/Design/Symbols.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <memory>

namespace Lumivox::Symbols {

namespace {

QString resourcePath(const QString &name)
{
    return QStringLiteral(":/symbols/") + name + QStringLiteral(".svg");
}

QSvgRenderer *renderer(const QString &name)
{
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    if (const auto it = renderers.constFind(name); it != renderers.cend())
        return it->get();
    auto made = std::make_shared<QSvgRenderer>(resourcePath(name));
    QSvgRenderer *raw = made->isValid() ? made.get() : nullptr;
    renderers.insert(name, raw ? made : nullptr);
    return raw;
}

// Drawn black into an image of the target's pixel size, then tinted: the shapes' own colours are
// only masks.
QImage tinted(const QString &name, QSize pixelSize, const QColor &color)
{
    QImage image(pixelSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (QSvgRenderer *svg = renderer(name); svg && !pixelSize.isEmpty()) {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        svg->render(&p, QRectF(QPointF(0, 0), QSizeF(pixelSize)));
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(image.rect(), color);
    }
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
        QPixmap pixmap = QPixmap::fromImage(tinted(m_name, size * scale, color(mode)));
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return {side, side};
    }

    QIconEngine *clone() const override { return new SymbolEngine(m_name, m_role); }
    QString key() const override { return QStringLiteral("lumivox-symbol"); }
    bool isNull() override { return renderer(m_name) == nullptr; }

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

bool exists(const QString &name)
{
    return QFile::exists(resourcePath(name));
}

void paint(QPainter &painter, const QRectF &rect, const QString &name, const QColor &color)
{
    const qreal side = qMin(rect.width(), rect.height());
    if (side <= 0)
        return;
    const QRectF square(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    const qreal scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QImage image = tinted(name, QSizeF(side * scale, side * scale).toSize(), color);
    image.setDevicePixelRatio(scale);
    painter.drawImage(square, image);
}

QIcon icon(const QString &name, QPalette::ColorRole role)
{
    return QIcon(new SymbolEngine(name, role));
}

} // namespace Lumivox::Symbols
