#pragma once

// The one floating window the tooltip is shown in. It floats above every other window on every
// desktop, never takes focus, never shows in a task bar, and lets every click through to the
// window below (an override-redirect X11 window with an empty input shape). The coordinator owns
// it and drives it with display() and hideTooltip(); the panel decides on which side of the point
// the tooltip goes, keeps it inside the screen, moves it in place while it stays on screen and
// fades it in and out when a compositing manager runs (otherwise it shows and hides at once,
// opaque and cut to the bubble's shape).
//
// Other parts of the program recognise it by its class name (Lumivox::OverlayPanel) or by the
// object name "lumivox.tooltip", which both the widget and its window carry. Its frame includes
// the tooltip's transparent margin. Main thread.

#include "Features/Overlay/TooltipContent.h"

#include <QPointF>
#include <QSizeF>
#include <QWidget>

class QPropertyAnimation;

namespace Lumivox {

class OverlayTooltip;

class OverlayPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int fadeInMs = 80;
    static constexpr int fadeOutMs = 100;
    explicit OverlayPanel(QWidget *parent = nullptr);
    ~OverlayPanel() override;

    /// Shows or updates the tooltip beside `near` (bottom-left-origin screen coordinates).
    void display(const TooltipContent &content, QPointF near);
    void display(const QString &text, const std::optional<Glance> &glance, const std::optional<WordStatus> &status,
                 QPointF near, bool isLoading, const QString &fontName, double fontSize)
    {
        display(TooltipContent {text, glance, status, isLoading, fontName, fontSize}, near);
    }

    /// Takes the tooltip away: a fade-out, or at once without a compositing manager or when it is
    /// hardly visible yet. Nothing when it is not shown.
    void hideTooltip();

    /// A fade-out is running.
    bool isHiding() const { return m_isHiding; }
    /// The size set by the last display; empty again after hideTooltip().
    QSizeF lastSize() const { return m_lastSize; }
    ArrowEdge lastArrowEdge() const { return m_lastArrowEdge; }
    /// The panel's frame in bottom-left-origin screen coordinates.
    QRectF cocoaFrame() const;
    OverlayTooltip *tooltip() const { return m_tooltip; }

private:
    void dismissWithoutAnimation();
    void applyTranslucency(bool translucent);
    void setCocoaFrame(QPointF origin, QSize size);

    OverlayTooltip *m_tooltip;
    QPropertyAnimation *m_fade;
    bool m_isHiding = false;
    /// A compositing manager ran when the tooltip last faded in.
    bool m_translucent = true;
    QSizeF m_lastSize;
    ArrowEdge m_lastArrowEdge = ArrowEdge::bottom;
};

} // namespace Lumivox
