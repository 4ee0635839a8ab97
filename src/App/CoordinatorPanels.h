#pragma once

// The tooltip panel and the language picker as the hover coordinator sees them. The panels are
// widgets of their own features and know nothing of the coordinator; these adapters translate its
// few requests into theirs.

#include "Features/Coordinator/CoordinatorOverlay.h"
#include "Features/Coordinator/CoordinatorPicker.h"

#include <QPointF>

namespace Lumivox {

class LanguagePickerPanel;
class OverlayPanel;

namespace App {

class TooltipOverlay final : public CoordinatorOverlay
{
public:
    explicit TooltipOverlay(OverlayPanel &panel);

    /// A tooltip that is fading out already counts as gone.
    bool isVisible() const override;
    void display(const TooltipContent &content, QPointF near) override;
    void hide() override;
    /// Draws the same content again beside the same point, in the new font.
    void setFont(const QString &family, double pointSize) override;
    bool frameContains(QPointF point) const override;

private:
    OverlayPanel &m_panel;
    QPointF m_lastNear;
};

class PickerPanel final : public CoordinatorPicker
{
public:
    explicit PickerPanel(LanguagePickerPanel &panel);
    ~PickerPanel() override;

    bool isVisible() const override;
    void prepare(const QString &currentID, const QStringList &recentIDs, bool hasGoogleKey) override;
    void setHasGoogleKey(bool hasGoogleKey) override;
    bool isLocked(const Language &language) const override;
    void show(QPointF near) override;
    void dismiss() override;

private:
    LanguagePickerPanel &m_panel;
};

} // namespace App
} // namespace Lumivox
