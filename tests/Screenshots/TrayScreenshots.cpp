// Renders the tray icon in each variant, in the application's text colour, on a light and a dark
// panel (tray-icons.png, at 4× so the letters can be checked), and the tray menu in the
// needs-permission state with an update on offer (tray-menu-permission-update.png).

#include "Fakes/ShellHarness.h"
#include "Features/Design/FormStyle.h"
#include "Features/Shell/TablerIcon.h"
#include "Features/Shell/UpdateNotifier.h"
#include "Features/Shell/Views/TrayMenu.h"

#include <QApplication>
#include <QDir>
#include <QPainter>

#include <cstdio>

using namespace Lumivox;
using namespace Lumivox::Testing;

int main(int argc, char *argv[])
{
    qputenv("LUMIVOX_HOSTING_TESTS", "1");
    QApplication app(argc, argv);
    FormStyle::install();
    const QString out = qEnvironmentVariable("LUMIVOX_SCREENSHOTS_DIR", QStringLiteral("build/screenshots"));
    QDir().mkpath(out);

    using V = TablerIcon::Variant;
    const std::vector<V> variants {V::monogram, V::paused, V::badged, V::update, V::pausedUpdate};
    const qreal ratio = 4.0;
    QImage sheet(QSize(int(variants.size()) * 30, 2 * 26) * ratio, QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(ratio);
    QPainter painter(&sheet);
    // The program cannot know the panel's colour: each row draws the icons in the application's
    // text colour, as the tray gets them, on a light and on a dark panel.
    const QColor label = QApplication::palette().color(QPalette::Active, QPalette::WindowText);
    const QColor panels[] {QColor(240, 240, 240), QColor(32, 33, 36)};
    for (int row = 0; row < 2; ++row) {
        painter.fillRect(QRectF(0, row * 26, sheet.width(), 26), panels[row]);
        for (size_t i = 0; i < variants.size(); ++i)
            painter.drawImage(QPointF(i * 30 + 5, row * 26 + 4), TablerIcon::image(variants[i], ratio, label));
    }
    painter.end();
    sheet.save(out + QStringLiteral("/tray-icons.png"));

    ShellHarness h;
    h.accessibility->trusted = false;
    h.controller->checkPermission();
    h.notifier.show(QStringLiteral("2.0"));
    TrayMenu menu(*h.menu);
    menu.popup(QPoint(0, 0));
    app.processEvents();
    menu.grab().save(out + QStringLiteral("/tray-menu-permission-update.png"));
    std::printf("tray screenshots written to %s\n", qPrintable(out));
    return 0;
}
