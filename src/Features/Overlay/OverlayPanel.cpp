#include "Features/Overlay/OverlayPanel.h"

#include "Features/Overlay/TooltipPlacement.h"
#include "Features/Overlay/Views/OverlayTooltip.h"
#include "Native/Services.h"
#include "Native/Windows/Compositing.h"
#include "Shared/Platform/AppIdentity.h"
#include "Shared/Platform/ScreenGeometry.h"

#include <QPropertyAnimation>
#include <QWindow>

namespace Lumivox {

namespace {

// Below this the tooltip is as good as invisible: taking it away needs no fade.
constexpr double nearlyTransparent = 0.01;

} // namespace

OverlayPanel::OverlayPanel(QWidget *parent)
    : QWidget(parent,
              Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
                  | Qt::WindowTransparentForInput | Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint)
    , m_tooltip(new OverlayTooltip(this))
    , m_fade(new QPropertyAnimation(this, "windowOpacity", this))
{
    setObjectName(AppIdentity::tooltipPanelObjectName);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Always an ARGB window: whether a compositor shows its alpha is decided at each fade-in.
    setAttribute(Qt::WA_TranslucentBackground);
    resize(100, 32);
    // The end of a fade-out orders the panel out, unless a display came meanwhile (it clears the
    // flag, and stops the fade besides).
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        if (m_isHiding) {
            QWidget::hide();
            m_isHiding = false;
        }
    });
    // The window exists from the start, so that the first display only maps it, and carries the
    // name by which the own-window test can know it without knowing this class.
    create();
    if (QWindow *window = windowHandle())
        window->setObjectName(AppIdentity::tooltipPanelObjectName);
}

OverlayPanel::~OverlayPanel() = default;

QRectF OverlayPanel::cocoaFrame() const
{
    return ScreenGeometry::cocoaRectFromQt(QRectF(geometry()));
}

void OverlayPanel::display(const TooltipContent &content, QPointF near)
{
    m_isHiding = false;
    const QRectF visibleFrame = ScreenGeometry::visibleFrame(near).value_or(QRectF());

    // The view lays out anew only when the content (compared by value) or the edge changed.
    m_tooltip->setContent(content, m_lastArrowEdge);
    const ArrowEdge edge = TooltipPlacement::arrowEdge(near, QSizeF(m_tooltip->sizeHint()), visibleFrame);
    m_tooltip->setContent(content, edge);
    const QSize size = m_tooltip->sizeHint();
    const QPointF origin = TooltipPlacement::origin(near, QSizeF(size), edge, visibleFrame);

    const bool shown = isVisible() && windowOpacity() > 0;
    const bool grown = shown && TooltipPlacement::growsBeyondPlace(m_lastSize.height(), size.height());
    m_lastSize = QSizeF(size);
    m_lastArrowEdge = edge;

    if (shown && !grown) {
        // Stays on screen: jumps to the new place and is fully there, also when it was fading.
        m_fade->stop();
        setCocoaFrame(origin, size);
        setWindowOpacity(1);
        return;
    }

    m_fade->stop();
    setWindowOpacity(0);
    applyTranslucency(Native::service<Native::Compositing>()->isActive());
    setCocoaFrame(origin, size);
    show();
    raise();
    if (!m_translucent) {
        setWindowOpacity(1);
        return;
    }
    m_fade->setDuration(fadeInMs);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    m_fade->start();
}

void OverlayPanel::hideTooltip()
{
    if (!isVisible())
        return;
    m_isHiding = true;
    m_lastSize = QSizeF(0, 0);
    if (!m_translucent || windowOpacity() <= nearlyTransparent) {
        dismissWithoutAnimation();
        return;
    }
    m_fade->stop();
    m_fade->setDuration(fadeOutMs);
    m_fade->setStartValue(windowOpacity());
    m_fade->setEndValue(0.0);
    m_fade->start();
}

void OverlayPanel::dismissWithoutAnimation()
{
    m_fade->stop();
    setWindowOpacity(0);
    QWidget::hide();
    m_isHiding = false;
}

void OverlayPanel::applyTranslucency(bool translucent)
{
    m_translucent = translucent;
    m_tooltip->setOpaque(!translucent);
}

void OverlayPanel::setCocoaFrame(QPointF origin, QSize size)
{
    // The tooltip's top-left corner, from its bottom-left one.
    const QPointF topLeft = ScreenGeometry::qtPointFromCocoa(QPointF(origin.x(), origin.y() + size.height()));
    setGeometry(QRect(topLeft.toPoint(), size));
    m_tooltip->setGeometry(rect());
    // Without a compositor the window is cut to the bubble, or its transparent margin and corners
    // would show black.
    if (m_translucent)
        clearMask();
    else
        setMask(m_tooltip->tooltipLayout().opaqueRegion());
}

} // namespace Lumivox
