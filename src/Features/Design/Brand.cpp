#include "Features/Design/Brand.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPalette>

namespace Lumivox {

namespace {

QColor rgb(std::uint32_t value)
{
    return QColor::fromRgb((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

QPalette applicationPalette()
{
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QGuiApplication::palette();
    return QPalette();
}

// The palette's text colour when the palette itself is in the asked scheme; otherwise (the desktop
// prefers dark while the toolkit's palette is light, or the reverse) the palette's text would
// vanish on our surfaces, so plain black or white stands in.
QColor primaryLabel(ColorScheme scheme)
{
    const QPalette palette = applicationPalette();
    const bool paletteDark = palette.color(QPalette::Active, QPalette::Window).lightness() < 128;
    if (paletteDark == (scheme == ColorScheme::dark))
        return palette.color(QPalette::Active, QPalette::WindowText);
    return scheme == ColorScheme::dark ? QColor(Qt::white) : QColor(Qt::black);
}

QColor primaryLabel(ColorScheme scheme, float opacity)
{
    QColor label = primaryLabel(scheme);
    label.setAlphaF(label.alphaF() * opacity);
    return label;
}

} // namespace

Color::Color(std::uint32_t light, std::uint32_t dark)
    : m_resolve([light, dark](ColorScheme scheme) { return rgb(scheme == ColorScheme::dark ? dark : light); })
{ }

Color::Color(std::function<QColor(ColorScheme)> resolve)
    : m_resolve(std::move(resolve))
{ }

QColor Color::resolved(ColorScheme scheme) const
{
    return m_resolve(scheme);
}

namespace Brand {

const Color &highlighter()
{
    static const Color color([](ColorScheme scheme) {
        QColor accent = applicationPalette().color(QPalette::Active, QPalette::Highlight);
        accent.setAlphaF(scheme == ColorScheme::dark ? 0.38f : 0.16f);
        return accent;
    });
    return color;
}

const Color &ignored()
{
    static const Color color([](ColorScheme scheme) { return primaryLabel(scheme, 0.08f); });
    return color;
}

const Color &rule()
{
    static const Color color(0xE5E5EA, 0x3A3A3C);
    return color;
}

const Color &tooltip()
{
    static const Color color(0xFFFFFF, 0x2C2C2E);
    return color;
}

const Color &primaryText()
{
    static const Color color([](ColorScheme scheme) { return primaryLabel(scheme); });
    return color;
}

const Color &secondaryText()
{
    static const Color color([](ColorScheme scheme) { return primaryLabel(scheme, 0.5f); });
    return color;
}

const Color &tertiaryText()
{
    static const Color color([](ColorScheme scheme) { return primaryLabel(scheme, 0.26f); });
    return color;
}

const Color &separator()
{
    static const Color color([](ColorScheme scheme) { return primaryLabel(scheme, 0.1f); });
    return color;
}

const Color &controlBackground()
{
    static const Color color(0xFFFFFF, 0x1E1E1E);
    return color;
}

const Color &accent()
{
    static const Color color(
        [](ColorScheme) { return applicationPalette().color(QPalette::Active, QPalette::Highlight); });
    return color;
}

const QFont &label()
{
    static const QFont font = [] {
        QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        f.setStyleHint(QFont::Monospace);
        // Without a desktop theme the "fixed" system font is the general one.
        if (!QFontInfo(f).fixedPitch())
            f.setFamilies({QStringLiteral("monospace")});
        f.setPointSizeF(11);
        f.setWeight(QFont::Medium);
        return f;
    }();
    return font;
}

QFont title(qreal size)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setFamilies({QStringLiteral("serif")});
    f.setStyleHint(QFont::Serif);
    f.setWeight(QFont::Normal);
    if (size > 0)
        f.setPointSizeF(size);
    return f;
}

} // namespace Brand

} // namespace Lumivox
