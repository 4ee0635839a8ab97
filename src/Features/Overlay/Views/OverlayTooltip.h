#pragma once

// The tooltip's view: a rounded bubble with an arrow, holding a loading indicator, a plain text or
// a glance (meaning, grammar chip, marked sentence), an optional "saved" header and an optional
// footer. What it draws follows from its inputs alone: the content, the arrow edge, the colour
// scheme and whether the bubble must be opaque. The tooltip panel hosts it; other windows may
// embed it as a preview. Main thread.

#include "Features/Design/Appearance.h"
#include "Features/Overlay/TooltipContent.h"
#include "Features/Overlay/Views/TooltipLayout.h"

#include <QWidget>

#include <optional>

class QTimer;
class QVariantAnimation;

namespace Lumivox {

class OverlayTooltip : public QWidget
{
    Q_OBJECT

public:
    explicit OverlayTooltip(QWidget *parent = nullptr);
    ~OverlayTooltip() override;

    /// Lays the tooltip out anew only when the content or the edge differ from what it shows.
    void setContent(const TooltipContent &content, ArrowEdge edge);
    const TooltipContent &content() const { return m_content; }
    ArrowEdge arrowEdge() const { return m_layout.arrowEdge(); }
    const TooltipLayout &tooltipLayout() const { return m_layout; }

    /// The scheme drawn in; none (the default) follows the desktop's.
    void setColorScheme(std::optional<ColorScheme> scheme);
    /// For a window that cannot be translucent: the bubble is drawn fully opaque.
    void setOpaque(bool opaque);
    bool isOpaque() const { return m_opaque; }

    /// The ideal size, the transparent margin included, rounded up to whole points.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateSpinner();

    TooltipContent m_content;
    TooltipLayout m_layout;
    std::optional<ColorScheme> m_scheme;
    bool m_opaque = false;
    double m_spinnerPhase = 0;
    QTimer *m_spinner;
    QVariantAnimation *m_contentFade;
};

} // namespace Lumivox
