#include "Features/Settings/AppearanceSettingsModel.h"

#include <algorithm>
#include <cmath>

namespace Lumivox {

AppearanceSettingsModel::AppearanceSettingsModel(HoverTextController &controller, QObject *parent)
    : QObject(parent)
    , m_controller(controller)
{
    connect(&m_controller, &HoverTextController::currentLanguageChanged, this, &AppearanceSettingsModel::changed);
    connect(&m_controller, &HoverTextController::currentFontChanged, this, &AppearanceSettingsModel::changed);
    connect(&m_controller, &HoverTextController::fontSizeChanged, this, &AppearanceSettingsModel::changed);
}

void AppearanceSettingsModel::chooseFont(const QString &name)
{
    if (name.isEmpty() || name == selectedFont())
        return;
    m_controller.setFont(name, m_controller.targetLanguage());
}

QString AppearanceSettingsModel::fontSubtitle() const
{
    return QStringLiteral("Used for %1 translations.").arg(m_controller.currentLanguage().name);
}

void AppearanceSettingsModel::setSliderValue(double points)
{
    // std::round takes halves away from zero.
    m_controller.setFontSize(std::round(std::clamp(points, minimumSize, maximumSize)));
}

QString AppearanceSettingsModel::sizeLabel() const
{
    const double size = fontSize();
    const long long whole = std::isfinite(size) ? static_cast<long long>(std::trunc(size)) : 0;
    return QStringLiteral("%1 pt").arg(whole);
}

TooltipContent AppearanceSettingsModel::preview() const
{
    TooltipContent content;
    content.text = QStringLiteral("coffee");
    content.fontName = m_controller.currentFont();
    content.fontSize = fontSize();
    return content;
}

QString AppearanceSettingsModel::previewDescription()
{
    return QStringLiteral("Tooltip preview: coffee shown over the word café");
}

} // namespace Lumivox
