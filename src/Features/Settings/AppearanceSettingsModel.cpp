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

AppearanceSettingsModel::PreviewSentence AppearanceSettingsModel::previewSentence() const
{
    if (m_controller.currentLanguage().id == QLatin1String("en"))
        return {QStringLiteral("Dites "), QStringLiteral("bonjour"), QStringLiteral(" à tous.")};
    return {QStringLiteral("Say "), QStringLiteral("hello"), QStringLiteral(" to everyone.")};
}

TooltipContent AppearanceSettingsModel::preview() const
{
    // The preview shows what the font is chosen for: a word in the target language's own script.
    const Language language = m_controller.currentLanguage();
    TooltipContent content;
    content.text = language.sampleWords.isEmpty() ? language.nativeName : language.sampleWords.constFirst();
    content.fontName = m_controller.currentFont();
    content.fontSize = fontSize();
    return content;
}

QString AppearanceSettingsModel::previewDescription() const
{
    return QStringLiteral("Tooltip preview: %1 shown over the word %2").arg(preview().text, previewSentence().word);
}

} // namespace Lumivox
