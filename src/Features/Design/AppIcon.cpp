#include "Features/Design/AppIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace Lumivox::AppIcon {

QIcon icon()
{
    QSvgRenderer renderer(QStringLiteral(":/icons/lumivox.svg"));
    if (!renderer.isValid())
        return {};
    // Drawn at every size a window list, a task switcher or the About pane (88 points, twice that on
    // a high-density screen) takes, so none of them scales a bitmap.
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64, 88, 128, 176, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace Lumivox::AppIcon
