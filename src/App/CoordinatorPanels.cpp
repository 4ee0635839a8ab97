#include "App/CoordinatorPanels.h"

#include "Features/LanguagePicker/LanguagePickerModel.h"
#include "Features/LanguagePicker/Views/LanguagePickerPanel.h"
#include "Features/Overlay/OverlayPanel.h"
#include "Features/Overlay/Views/OverlayTooltip.h"
#include "Native/Geometry/Containment.h"

namespace Lumivox::App {

TooltipOverlay::TooltipOverlay(OverlayPanel &panel)
    : m_panel(panel)
{ }

bool TooltipOverlay::isVisible() const
{
    return m_panel.isVisible() && !m_panel.isHiding();
}

void TooltipOverlay::display(const TooltipContent &content, QPointF near)
{
    m_lastNear = near;
    m_panel.display(content, near);
}

void TooltipOverlay::hide()
{
    m_panel.hideTooltip();
}

void TooltipOverlay::setFont(const QString &family, double pointSize)
{
    if (!isVisible())
        return;
    TooltipContent content = m_panel.tooltip()->content();
    content.fontName = family;
    content.fontSize = pointSize;
    m_panel.display(content, m_lastNear);
}

bool TooltipOverlay::frameContains(QPointF point) const
{
    return m_panel.isVisible() && Native::containsHalfOpen(m_panel.cocoaFrame(), point);
}

PickerPanel::PickerPanel(LanguagePickerPanel &panel)
    : m_panel(panel)
{
    // The model hands over the user's decision; what it means is the coordinator's to decide.
    m_panel.model()->onChoose = [this](const Language &language) { emit chosen(language); };
    m_panel.model()->onCancel = [this] { emit cancelled(); };
}

PickerPanel::~PickerPanel()
{
    m_panel.model()->onChoose = nullptr;
    m_panel.model()->onCancel = nullptr;
}

bool PickerPanel::isVisible() const
{
    return m_panel.isVisible();
}

void PickerPanel::prepare(const QString &currentID, const QStringList &recentIDs, bool hasGoogleKey)
{
    m_panel.model()->prepare(currentID, recentIDs, hasGoogleKey);
}

void PickerPanel::setHasGoogleKey(bool hasGoogleKey)
{
    m_panel.model()->setHasGoogleKey(hasGoogleKey);
}

bool PickerPanel::isLocked(const Language &language) const
{
    return m_panel.model()->isLocked(language);
}

void PickerPanel::show(QPointF near)
{
    m_panel.showNear(near);
}

void PickerPanel::dismiss()
{
    m_panel.dismiss();
}

} // namespace Lumivox::App
