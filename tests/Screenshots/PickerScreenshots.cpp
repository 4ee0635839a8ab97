// The floating language picker and the Settings language control, light and dark: the list as it
// opens (recent languages, the current one highlighted), a search, a search that finds nothing, and
// locked rows. Each is drawn on a plain backdrop so the rounded corners show; one more shot takes the
// real screen around the picker as shown at the pointer.

#include "Features/Design/AppIcon.h"
#include "Features/Design/Appearance.h"
#include "Features/Design/FormStyle.h"
#include "Features/LanguagePicker/Views/LanguagePicker.h"
#include "Features/LanguagePicker/Views/LanguagePickerPanel.h"
#include "Features/LanguagePicker/Views/LanguagePickerView.h"
#include "Support/TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <cstdio>

using namespace Lumivox;

namespace {

QString outputDir()
{
    return qEnvironmentVariable("LUMIVOX_SCREENSHOTS_DIR", QStringLiteral("build/screenshots"));
}

QPalette palette(bool dark)
{
    if (!dark)
        return QApplication::style()->standardPalette();
    QPalette p;
    const QColor window(0x2B, 0x2B, 0x2D);
    const QColor base(0x1E, 0x1E, 0x1E);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, QColor(0xEB, 0xEB, 0xF0));
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, window);
        p.setColor(group, QPalette::Text, QColor(0xEB, 0xEB, 0xF0));
        p.setColor(group, QPalette::Button, QColor(0x3A, 0x3A, 0x3C));
        p.setColor(group, QPalette::ButtonText, QColor(0xEB, 0xEB, 0xF0));
        p.setColor(group, QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
        p.setColor(group, QPalette::HighlightedText, Qt::white);
        p.setColor(group, QPalette::PlaceholderText, QColor(0x8E, 0x8E, 0x93));
        p.setColor(group, QPalette::Light, QColor(0x48, 0x48, 0x4A));
        p.setColor(group, QPalette::Midlight, QColor(0x3A, 0x3A, 0x3C));
        p.setColor(group, QPalette::Mid, QColor(0x2C, 0x2C, 0x2E));
        p.setColor(group, QPalette::Dark, QColor(0x1C, 0x1C, 0x1E));
        p.setColor(group, QPalette::Shadow, Qt::black);
    }
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6C, 0x6C, 0x70));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6C, 0x6C, 0x70));
    return p;
}

bool save(const QImage &image, const QString &name, bool dark)
{
    const QString path =
        outputDir() + QLatin1Char('/') + name + (dark ? QStringLiteral("-dark") : QString()) + QStringLiteral(".png");
    if (image.isNull() || !image.save(path)) {
        std::fprintf(stderr, "PickerScreenshots: could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// The widget drawn without its window background, on a backdrop like a desktop's.
QImage onBackdrop(QWidget *widget, bool dark)
{
    const int margin = 24;
    const qreal ratio = widget->devicePixelRatioF();
    QImage image((widget->size() + QSize(2 * margin, 2 * margin)) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(dark ? QColor(0x3C, 0x3F, 0x46) : QColor(0xD9, 0xDD, 0xE3));
    QPainter painter(&image);
    widget->render(&painter, QPoint(margin, margin), QRegion(), QWidget::DrawChildren);
    return image;
}

struct PickerState
{
    const char *name;
    QString current;
    QStringList recents;
    bool hasKey;
    QString query;
    int moves;
};

} // namespace

int main(int argc, char **argv)
{
    // Colours follow the palette set below rather than the session's desktop preference.
    qputenv("LUMIVOX_HOSTING_TESTS", "1");
    QApplication app(argc, argv);
    FormStyle::install();
    // What the language pairs the project installs translate into, as the program finds at start.
    LanguageCatalog::setOnDevicePairs(Testing::installedPairs());
    QApplication::setWindowIcon(AppIcon::icon());
    QDir().mkpath(outputDir());

    const std::vector<PickerState> states {
        {"picker-recents",
         QStringLiteral("fr"),
         {QStringLiteral("fr"), QStringLiteral("ja"), QStringLiteral("bn"), QStringLiteral("de")},
         false,
         QString(),
         0},
        {"picker-search", QStringLiteral("fr"), {QStringLiteral("fr")}, true, QStringLiteral("an"), 2},
        {"picker-no-match", QStringLiteral("fr"), {QStringLiteral("fr")}, true, QStringLiteral("klingon"), 0},
        {"picker-locked",
         QStringLiteral("de"),
         {QStringLiteral("de"), QStringLiteral("bn"), QStringLiteral("ta")},
         false,
         QString(),
         1},
    };

    bool ok = true;
    LanguagePickerPanel panel(Appearance::shared());
    LanguagePicker control(QStringLiteral("Translate to"));
    control.setSelection(QStringLiteral("zh-CN"));
    control.resize(360, control.sizeHint().height());

    for (const bool dark : {false, true}) {
        QApplication::setPalette(palette(dark));
        QApplication::processEvents();
        if (Appearance::shared().isDark() != dark) {
            std::fprintf(stderr, "PickerScreenshots: the %s scheme did not take\n", dark ? "dark" : "light");
            return 1;
        }
        for (const PickerState &state : states) {
            panel.model()->prepare(state.current, state.recents, state.hasKey);
            panel.showNear(QPointF(200, 600));
            panel.model()->setQuery(state.query);
            for (int i = 0; i < state.moves; ++i)
                panel.model()->moveSelection(1);
            Testing::spinUntil([&] { return panel.windowHandle() && panel.windowHandle()->isExposed(); },
                               std::chrono::milliseconds(2000));
            Testing::spinUntil([] { return false; }, std::chrono::milliseconds(100));
            ok &= save(onBackdrop(panel.view(), dark), QString::fromLatin1(state.name), dark);
            if (!dark && state.query.isEmpty() && state.moves == 0) {
                // The real screen around the picker, as the X server shows it.
                const QRect around = panel.frameGeometry().adjusted(-40, -40, 40, 40);
                ok &= save(
                    panel.screen()->grabWindow(0, around.x(), around.y(), around.width(), around.height()).toImage(),
                    QStringLiteral("picker-on-screen"), false);
            }
            panel.dismiss();
        }

        control.show();
        Testing::spinUntil([] { return false; }, std::chrono::milliseconds(100));
        ok &= save(onBackdrop(&control, dark), QStringLiteral("settings-language-control"), dark);
        control.menu()->showPopup();
        Testing::spinUntil([] { return false; }, std::chrono::milliseconds(300));
        QWidget *popup = control.menu()->view()->window();
        ok &= save(popup->grab().toImage(), QStringLiteral("settings-language-menu"), dark);
        control.menu()->hidePopup();
        control.hide();
    }
    return ok ? 0 : 1;
}
