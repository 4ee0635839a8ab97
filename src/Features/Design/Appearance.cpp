#include "Features/Design/Appearance.h"

#include "Features/Design/Brand.h"
#include "Native/Desktop/PortalSetting.h"
#include "Shared/Platform/AppIdentity.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPalette>
#include <QPointer>
#include <QToolTip>
#include <QWidget>

Q_LOGGING_CATEGORY(lcAppearance, "app.lumivox.Appearance")

namespace Lumivox {

namespace {

const QString appearanceGroup = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

// Set while an instance puts the program's palette in place: the change that causes is not the
// desktop's, and no instance takes it for the desktop's scheme.
bool settingProgramPalette = false;

bool paletteIsDark()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Window).lightness() < 128;
}

void repaintOpenWindows()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    for (QWidget *window : QApplication::topLevelWidgets())
        window->update();
}

} // namespace

Appearance &Appearance::shared()
{
    static QPointer<Appearance> instance;
    if (!instance) {
        std::optional<QDBusConnection> bus;
        if (!AppIdentity::isHostingTests()) {
            QDBusConnection session = QDBusConnection::sessionBus();
            if (session.isConnected())
                bus = session;
        }
        instance = new Appearance(bus, std::chrono::seconds(1), QCoreApplication::instance());
        connect(instance, &Appearance::isDarkChanged, instance, &repaintOpenWindows);
    }
    return *instance;
}

Appearance::Appearance(std::optional<QDBusConnection> bus, std::chrono::milliseconds portalTimeout, QObject *parent)
    : QObject(parent)
{
    m_paletteDark = paletteIsDark();
    m_isDark = m_paletteDark;
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
    if (bus && bus->isConnected()) {
        auto *setting = new Native::PortalSetting(*bus, appearanceGroup, colorSchemeKey, portalTimeout, this);
        connect(setting, &Native::PortalSetting::valueChanged, this, &Appearance::takePortalValue);
        connect(setting, &Native::PortalSetting::unanswered, this, [] {
            qCInfo(lcAppearance) << "the desktop does not say whether it prefers light or dark windows; its palette"
                                    " decides";
        });
    }
}

void Appearance::takePortalValue(const QVariant &value)
{
    const int type = value.userType();
    if (type != QMetaType::UInt && type != QMetaType::Int) {
        qCDebug(lcAppearance) << "ignoring a colour-scheme setting of type" << value.typeName();
        return;
    }
    // 1 prefers dark, 2 prefers light; 0 (no preference) and values yet to be defined leave it to
    // the palette.
    switch (value.toLongLong()) {
    case 1:
        m_preference = ColorScheme::dark;
        break;
    case 2:
        m_preference = ColorScheme::light;
        break;
    default:
        m_preference.reset();
        break;
    }
    reevaluate();
}

bool Appearance::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange && watched == QCoreApplication::instance()
        && !settingProgramPalette) {
        m_paletteDark = paletteIsDark();
        reevaluate();
    }
    return QObject::eventFilter(watched, event);
}

void Appearance::reevaluate()
{
    const bool dark = m_preference ? *m_preference == ColorScheme::dark : m_paletteDark;
    if (dark == m_isDark)
        return;
    m_isDark = dark;
    qCDebug(lcAppearance, "colour scheme: %s", dark ? "dark" : "light");
    if (m_keepsPalette)
        applyPalette();
    emit isDarkChanged(dark);
}

QPalette Appearance::palette(ColorScheme scheme)
{
    const bool dark = scheme == ColorScheme::dark;
    const QColor text = Brand::primaryText().resolved(scheme);
    const QColor base = dark ? QColor(0x1e, 0x1e, 0x1e) : QColor(Qt::white);
    const QColor window = dark ? QColor(0x2b, 0x2b, 0x2b) : QColor(0xec, 0xec, 0xec);
    const QColor button = dark ? QColor(0x3c, 0x3c, 0x3c) : QColor(0xf6, 0xf6, 0xf6);
    const QColor tip = dark ? QColor(0x3a, 0x3a, 0x3c) : QColor(0xff, 0xff, 0xff);
    const QColor accent = Brand::accent().resolved(scheme);
    // On a dark surface the accent is lifted, or a link in it would not read.
    const QColor link = dark ? accent.lighter(150) : accent;
    QPalette palette;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::Base, base);
        palette.setColor(group, QPalette::AlternateBase, window);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::BrightText, dark ? QColor(Qt::white) : QColor(Qt::black));
        palette.setColor(group, QPalette::Button, button);
        palette.setColor(group, QPalette::Highlight, accent);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::PlaceholderText, Brand::tertiaryText().resolved(scheme));
        palette.setColor(group, QPalette::Light, dark ? window.lighter(130) : QColor(Qt::white));
        palette.setColor(group, QPalette::Midlight, dark ? window.lighter(115) : QColor(0xf8, 0xf8, 0xf8));
        palette.setColor(group, QPalette::Mid, Brand::separator().resolved(scheme));
        palette.setColor(group, QPalette::Dark, dark ? QColor(Qt::black) : QColor(0xa0, 0xa0, 0xa0));
        palette.setColor(group, QPalette::Shadow, Qt::black);
        palette.setColor(group, QPalette::ToolTipBase, tip);
        palette.setColor(group, QPalette::ToolTipText, text);
        palette.setColor(group, QPalette::Link, link);
        palette.setColor(group, QPalette::LinkVisited, link);
    }
    const QColor disabled = Brand::tertiaryText().resolved(scheme);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

void Appearance::keepApplicationPalette()
{
    m_keepsPalette = true;
    applyPalette();
}

void Appearance::applyPalette()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    const QPalette program = palette(scheme());
    settingProgramPalette = true;
    QApplication::setPalette(program);
    // A tooltip keeps a palette of its own, which the application's does not reach.
    QToolTip::setPalette(program);
    settingProgramPalette = false;
}

} // namespace Lumivox
