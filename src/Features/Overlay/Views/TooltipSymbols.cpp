#include "Features/Overlay/Views/TooltipSymbols.h"

#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <memory>

// Outside any namespace, as the resource system requires; the resources live in a static library,
// whose initialiser the linker would otherwise drop.
static void initSymbolResources()
{
    Q_INIT_RESOURCE(TooltipSymbols);
}

namespace Lumivox::TooltipSymbols {

namespace {

QSvgRenderer *renderer(const QString &name)
{
    static QHash<QString, std::shared_ptr<QSvgRenderer>> renderers;
    if (auto it = renderers.constFind(name); it != renderers.constEnd())
        return it->get();
    static const bool loaded = [] {
        initSymbolResources();
        return true;
    }();
    Q_UNUSED(loaded);
    auto made = std::make_shared<QSvgRenderer>(QStringLiteral(":/symbols/%1.svg").arg(name));
    if (!made->isValid())
        made.reset();
    renderers.insert(name, made);
    return made.get();
}

QImage tinted(QSvgRenderer *svg, QSize pixels, const QColor &colour)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    svg->render(&p, QRectF(QPointF(0, 0), QSizeF(pixels)));
    // The SVGs are drawn in black: keep their coverage, take the colour.
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(image.rect(), colour);
    return image;
}

} // namespace

QSizeF size(const QString &name, double height)
{
    QSvgRenderer *svg = renderer(name);
    if (!svg)
        return {};
    const QSizeF box = svg->viewBoxF().size();
    if (box.height() <= 0)
        return {};
    return QSizeF(height * box.width() / box.height(), height);
}

void draw(QPainter &painter, const QString &name, const QRectF &rect, const QColor &colour)
{
    QSvgRenderer *svg = renderer(name);
    if (!svg || rect.isEmpty())
        return;
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(static_cast<int>(std::ceil(rect.width() * ratio)),
                       static_cast<int>(std::ceil(rect.height() * ratio)));
    static QHash<QString, QImage> cache;
    const QString key =
        QStringLiteral("%1|%2x%3|%4").arg(name).arg(pixels.width()).arg(pixels.height()).arg(colour.rgba(), 8, 16);
    auto it = cache.find(key);
    if (it == cache.end()) {
        // Bounded by the few sizes and colours a session draws; cleared should it ever grow.
        if (cache.size() > 64)
            cache.clear();
        QImage image = tinted(svg, pixels, colour);
        image.setDevicePixelRatio(ratio);
        it = cache.insert(key, image);
    }
    painter.drawImage(rect, *it);
}

} // namespace Lumivox::TooltipSymbols
